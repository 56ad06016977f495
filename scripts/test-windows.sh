#!/usr/bin/env bash
# Cross-builds the logic and its tests as Windows executables (mingw-w64) and
# runs them with ctest under Wine, in a Wine prefix inside the build folder.
# Usage: scripts/test-windows.sh [BUILD_DIR]   (default build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
bash scripts/build.sh "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DKALVORIN_UI=OFF -DKALVORIN_BENCHMARKS=OFF

export WINEPREFIX="$PWD/$dir/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Create the prefix once, then keep one server and Wine's own services alive
# for the whole run so that no test pays Wine's start-up. The services are
# started here, away from ctest's pipes: started by a test, they would hold
# its output open after it ended.
bash scripts/wine-run.sh "$WINEPREFIX"
# A server of this prefix may be left from an interrupted run: only one can
# serve it, and it must be the persistent one.
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i </dev/null >/dev/null 2>&1

cd "$dir"
# Discover the tests of freshly linked executables once, before the parallel
# run, so that no two test processes rewrite a discovery list at once.
ctest -N >/dev/null
ctest --output-on-failure -j2 --timeout 300
