#!/usr/bin/env bash
# Cross-builds the program as Windows executables (mingw-w64) and runs its
# tests with ctest under Wine, in a Wine prefix inside the build folder.
# With the static Qt for mingw-w64 in its cache (scripts/build-qt-mingw.sh)
# the window is built too: kalvorin.exe, the window tests and a picture of
# the window on the demo machine, on a virtual X display (Xvfb). Without it,
# the logic and its tests only.
# Usage: scripts/test-windows.sh [BUILD_DIR]   (default build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}

qt=$(bash scripts/build-qt-mingw.sh --prefix)
if [ -f "$qt/.complete" ]; then
  echo "Windows build with the window, Qt from $qt"
  kind="window $qt"
  options=(-DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake"
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DKALVORIN_UI=ON)
else
  echo "SKIPPED: the Windows window (kalvorin.exe, the window tests under Wine):" \
    "no static Qt for mingw-w64 in $qt."
  echo "  Build it once with: bash scripts/build-qt-mingw.sh   (about 25 minutes on 2 free cores;" \
    "the logic's Windows tests run without it)"
  kind=logic
  options=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKALVORIN_UI=OFF)
fi
# A folder set up for the other kind (or another Qt) is configured anew
# (folders from before the window was built here are of the logic kind).
if [ -f "$dir/build.ninja" ] && [ "$(cat "$dir/.windows-kind" 2>/dev/null || echo logic)" != "$kind" ]; then
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles" "$dir/build.ninja"
fi
bash scripts/build.sh "$dir" "${options[@]}" -DKALVORIN_BENCHMARKS=OFF
echo "$kind" >"$dir/.windows-kind"

export WINEPREFIX="$PWD/$dir/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
if [ "$kind" != logic ]; then
  # The window draws on a display of its own, started before Wine's services.
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
fi
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
wineboot -i </dev/null >/dev/null 2>&1

cd "$dir"
# Discover the tests of freshly linked executables once, before the parallel
# run, so that no two test processes rewrite a discovery list at once.
ctest -N >/dev/null
status=0
ctest --output-on-failure -j2 --timeout 300 || status=$?
if [ -f tests/ui/kalvorin-demo.png ]; then
  echo "Picture of kalvorin.exe on the demo machine: $dir/tests/ui/kalvorin-demo.png"
fi
exit $status
