#!/usr/bin/env bash
# Four checks at once with kalvorin-cli, one process per loop device, against
# four `dd bs=1M iflag=direct` at once on the same devices; then the CPU time
# per GiB of one check against one dd. Prints the aggregate throughputs, their
# ratio (cli / dd) and the CPU seconds per GiB. A benchmark, not a test: the
# figures depend on the machine and on what else runs on it.
#
#   tools/bench/cli-parallel.sh [path/to/kalvorin-cli] [MiB per device, default 512]
#
# Needs root (loop devices; dropping the page cache before each run, without
# which the figures are warm ones, and it says so).
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=$(realpath "${1:-build/kalvorin-cli}")
mib=${2:-512}
bytes=$((mib * 1048576))
rounds=${ROUNDS:-3}

[ "$(id -u)" = 0 ] || { echo "needs root (loop devices)"; exit 1; }
scratch=$(mktemp -d /var/tmp/kalvorin-cli-bench.XXXXXX)
loops=()
cleanup() {
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Four fully written images (no holes: every read reaches the medium).
for i in 1 2 3 4; do
  head -c "$bytes" /dev/urandom > "$scratch/disk$i.img"
  loops+=("$(losetup -f --show "$scratch/disk$i.img")")
done
sync

source tools/bench/common.sh

# Seconds for the four commands run at once.
four_checks() {
  local start end i
  start=$(now)
  for i in 0 1 2 3; do
    "$cli" check "${loops[$i]}" --ignorer-erreurs --rapport "$scratch/r$i-$RANDOM.txt" \
      > /dev/null 2>&1 &
  done
  wait
  end=$(now)
  echo "$end - $start" | bc -l
}
four_dd() {
  local start end i
  start=$(now)
  for i in 0 1 2 3; do
    dd if="${loops[$i]}" of=/dev/null bs=1M iflag=direct status=none &
  done
  wait
  end=$(now)
  echo "$end - $start" | bc -l
}

# Best of $rounds, the two interleaved so the load of a shared machine weighs
# on both alike.
best_cli=1000000; best_dd=1000000
for round in $(seq "$rounds"); do
  drop; t=$(four_checks); best_cli=$(min "$best_cli" "$t")
  drop; t=$(four_dd); best_dd=$(min "$best_dd" "$t")
done
total_mib=$((4 * mib))
cli_mbs=$(echo "scale=1; $total_mib / $best_cli" | bc -l)
dd_mbs=$(echo "scale=1; $total_mib / $best_dd" | bc -l)
echo "four at once, $mib MiB each: kalvorin-cli $cli_mbs MiB/s, dd bs=1M iflag=direct $dd_mbs MiB/s," \
  "ratio $(echo "scale=2; $best_dd / $best_cli" | bc -l)"

# CPU (user + system) seconds per GiB of one check, and of one dd.
cpu() {  # command...: prints user+system seconds of the command and its children
  local TIMEFORMAT='%U %S'
  { time "$@" > /dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}
best_cpu_cli=1000000; best_cpu_dd=1000000
for round in $(seq "$rounds"); do
  drop; c=$(cpu "$cli" check "${loops[0]}" --ignorer-erreurs --rapport "$scratch/cpu-$RANDOM.txt")
  best_cpu_cli=$(min "$best_cpu_cli" "$c")
  drop; c=$(cpu dd if="${loops[0]}" of=/dev/null bs=1M iflag=direct status=none)
  best_cpu_dd=$(min "$best_cpu_dd" "$c")
done
per_gib() { echo "scale=3; $1 * 1024 / $mib" | bc -l; }
echo "CPU per GiB, one at a time: kalvorin-cli check $(per_gib "$best_cpu_cli") s," \
  "dd bs=1M iflag=direct $(per_gib "$best_cpu_dd") s"
echo "cold cache: $cold; best of $rounds rounds"
