#!/usr/bin/env bash
# Installs what is needed, builds and runs every test suite:
#  1. the normal build: logic and window tests;
#  2. the address+undefined sanitizer build: the same tests;
#  3. the fuzz targets (clang, sanitizers) for a few seconds each;
#  4. the Windows build (mingw-w64) of the logic and its tests, under Wine;
#  5. the Debian package: built, installed, started under Xvfb, removed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
status=0

echo "== normal build"
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j2 --timeout 300) || status=1

echo "== sanitizer build (address, undefined)"
bash scripts/build.sh build-asan -DKALVORIN_SANITIZE=ON -DKALVORIN_BENCHMARKS=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2 --timeout 600) || status=1

if [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "== fuzz targets (short runs)"
  bash scripts/build.sh build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DKALVORIN_FUZZ=ON -DKALVORIN_UI=OFF -DKALVORIN_TESTS=OFF -DKALVORIN_BENCHMARKS=OFF
  bash scripts/run-fuzz.sh 10 || status=1
fi

if [ -f cmake/mingw-w64.cmake ]; then
  echo "== Windows build under Wine"
  bash scripts/test-windows.sh || status=1
fi

echo "== Debian package (install, start under Xvfb, remove)"
bash scripts/test-package.sh build-package/screenshots || status=1

exit $status
