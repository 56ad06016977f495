#!/usr/bin/env bash
# Runs each fuzz target of build-fuzz for SECONDS seconds, starting from the
# seed corpus of tests/fuzz/corpus. Fails when a target finds a crash, a
# sanitizer report or a timeout (the input is kept under build-fuzz/fuzz-artifacts).
# Usage: scripts/run-fuzz.sh SECONDS [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: scripts/run-fuzz.sh SECONDS [BUILD_DIR]}
build=${2:-build-fuzz}
status=0
mkdir -p "$build/fuzz-artifacts"
for target in partition_walk detect_volume identify_decoders linux_answers machine_description; do
  binary="$build/tests/fuzz/fuzz_$target"
  if [ ! -x "$binary" ]; then
    echo "fuzz: $binary is missing (configure with -DKALVORIN_FUZZ=ON)" >&2
    status=1
    continue
  fi
  # New inputs go to a working corpus, never into the seeds of the repository.
  work="$build/fuzz-corpus/$target"
  mkdir -p "$work"
  log="$build/fuzz-artifacts/$target.log"
  if ASAN_OPTIONS=detect_leaks=1 "$binary" -max_total_time="$seconds" -max_len=65536 \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$target-" \
      "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz: $target: $runs executions, no finding"
  else
    echo "fuzz: $target: FINDING (see $log)" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
done
exit $status
