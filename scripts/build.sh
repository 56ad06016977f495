#!/usr/bin/env bash
# Configures and builds one build folder. Usage: scripts/build.sh DIR [cmake options...]
# Compiles through ccache when it is installed, so that several build folders
# (normal, sanitizer, other work trees) share the objects they have in common.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
if [ ! -f "$dir/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
fi
# Paths below the checkout's parent are hashed relative to it, and the build
# folder's own path is left out, so work trees side by side hit one cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd .. && pwd)}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
cmake --build "$dir" -j"$(nproc)"
