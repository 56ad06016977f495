#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, creating the prefix
# on first use. Usage: scripts/wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# The prefix is the build's own: never the user's ~/.wine.
set -euo pipefail
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko install prompts (headless CI).
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
if [ ! -f "$prefix/.ready" ]; then
  mkdir -p "$prefix"
  # Parallel first runs: one creates the prefix, the others wait for it.
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.ready" ]; then
    wineboot -i >/dev/null 2>&1
    # The registry is on disk once the server has gone.
    wineserver -w
    touch "$prefix/.ready"
  fi
  flock -u 9
  exec 9>&-
fi
[ "$#" -gt 0 ] || exit 0

# Wine starts its desktop process (explorer.exe) from the first program that
# opens a window, and that process inherits the program's standard output.
# Under ctest that is the test's pipe, held open until the desktop closes
# after the last window test: the test then seemed to last minutes. So the
# program writes into a file of its own, passed on as it grows by a tail that
# ends with the program.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
# Runs the program once: its exit status in `status`, and in `wrote` whether
# it wrote anything.
run() {
  : >"$output"
  wine "$@" >"$output" 2>&1 &
  local program=$!
  tail -s 0.1 -n +1 -f --pid="$program" "$output" &
  local shown=$!
  status=0
  wait "$program" || status=$?
  wait "$shown" || true
  wrote=false
  if [ -s "$output" ]; then wrote=true; fi
}
run "$@"
# Rarely, while other tests start, the loader fails at once without a word
# (0.01 s, before the program's first line): such a start is made once more,
# and says so. A program that runs and fails, or is killed, is not.
if [ "$status" != 0 ] && [ "$status" -lt 128 ] && ! $wrote; then
  echo "wine-run: wine ended with status $status before the program wrote anything; starting it again"
  run "$@"
fi
exit "$status"
