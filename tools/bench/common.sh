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
