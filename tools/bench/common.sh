# Helpers the benchmark scripts share (sourced).

now() { date +%s.%N; }
# Seconds taken by the command, its output discarded.
timed() {
  local start end
  start=$(now)
  "$@" > /dev/null 2>&1
  end=$(now)
  echo "$end - $start" | bc -l
}
min() { echo "if ($1 < $2) $1 else $2" | bc -l; }

# Drops the page cache before a cold run; where that is refused, $cold says
# "no" so that the figures are reported as warm ones.
cold="yes"
drop() {
  sync
  if ! { echo 3 > /proc/sys/vm/drop_caches; } 2>/dev/null; then cold="no"; fi
}
