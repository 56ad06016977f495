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
exec wine "$@"
