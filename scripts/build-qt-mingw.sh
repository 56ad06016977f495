#!/usr/bin/env bash
# Builds a static, release, minimal Qt 6 (base: Core, Gui, Widgets, Test and
# the Windows platform plugin) for the mingw-w64 posix toolchain from Debian's
# source package, with the host's Qt tools (moc, rcc, uic), and installs it
# into a cache folder outside the repository. Debian ships no Qt for Windows;
# with this one the window is cross-built here (scripts/test-windows-ui.sh).
#
# Usage: scripts/build-qt-mingw.sh            build the cache, or reuse it
#        scripts/build-qt-mingw.sh --prefix   print the cache folder and exit
#
# The cache is $KALVORIN_QT_MINGW_CACHE/qt6-mingw-<version>-<options hash>
# (default /var/cache/kalvorin); it is reused while the Qt version and the
# options below are unchanged. The sources and the build (about 2.5 GB) go to
# $KALVORIN_QT_MINGW_WORK (default /var/tmp/kalvorin-qt-mingw), removed once
# installed unless KALVORIN_QT_MINGW_KEEP=1. The machine's apt configuration
# is left as it is: the source package comes through a deb-src list and an apt
# state of the work folder's own. Only qtbase: Debian's archive does not serve
# Qt SVG's sources, so the program's icons reach Windows as PNG renderings.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cache_root=${KALVORIN_QT_MINGW_CACHE:-/var/cache/kalvorin}
work=${KALVORIN_QT_MINGW_WORK:-/var/tmp/kalvorin-qt-mingw}
triplet=x86_64-w64-mingw32

# The target Qt must be the host tools' version: the cross build runs the
# host's moc/rcc/uic and reads their CMake packages.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$host_version" ]; then
  echo "build-qt-mingw: the host's Qt 6 (qt6-base-dev) is needed: run scripts/install-deps.sh" >&2
  exit 1
fi
source_version=${host_version#*:}
qt_version=${source_version%%+*}
qt_version=${qt_version%%-*}
host_cmake_dir=$(dirname "$(dirname "$(dpkg -L qt6-base-dev | grep '/cmake/Qt6/Qt6Config.cmake$' | sed -n 1p)")")

# The toolchain Qt is built with: mingw's posix threads, libraries found only
# under mingw's root, and the runtime linked in statically so that nothing
# built with this Qt asks for libgcc_s or libstdc++ DLLs.
toolchain=$(
  cat <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_CXX_COMPILER $triplet-g++-posix)
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
EOF
)

# Tablet events need the wintab headers Debian's tarball does not carry.
# Direct2D stays on: without it Qt 6.4's DirectWrite font code does not link.
options=(
  -xplatform win32-g++ -static -static-runtime -release
  -nomake tests -nomake examples
  -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-doubleconversion
  -no-freetype -no-fontconfig -no-icu -no-dbus -no-opengl -no-zstd
  -no-feature-vulkan -no-feature-tabletevent
  -no-feature-network -no-feature-sql -no-feature-printsupport -no-feature-concurrent
)
# Hash of what decides the result: options, toolchain, this script's version.
options_hash=$(printf '%s\n' "${options[@]}" "$toolchain" "$source_version" "recipe 1" |
  sha256sum | cut -c1-12)
prefix=$cache_root/qt6-mingw-$qt_version-$options_hash

if [ "${1:-}" = "--prefix" ]; then
  echo "$prefix"
  exit 0
fi

if [ -f "$prefix/.complete" ]; then
  echo "build-qt-mingw: reusing $prefix (Qt $(cat "$prefix/.complete"))"
  exit 0
fi

for tool in $triplet-g++-posix cmake ninja apt-get dpkg-source; do
  command -v "$tool" >/dev/null || {
    echo "build-qt-mingw: $tool is missing: run scripts/install-deps.sh" >&2
    exit 1
  }
done

start=$(date +%s)
mkdir -p "$work"
cd "$work"

# A private apt: its own source list, lists and cache; the machine's status
# file is only read.
apt_dir=$work/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/state" "$apt_dir/parts"
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mirror=${KALVORIN_DEBIAN_MIRROR:-http://deb.debian.org/debian}
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" \
  >"$apt_dir/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State=$apt_dir/state" -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::State::status=/var/lib/dpkg/status" -o "Dir::Cache=$apt_dir/cache"
  -o "APT::Sandbox::User=root"
)
src=$work/qt6-base-${source_version%-*}
if [ ! -f "$src/.fetched-$source_version" ]; then
  echo "build-qt-mingw: fetching the source package qt6-base $source_version"
  apt-get -q "${apt_options[@]}" update >/dev/null
  rm -rf "$src" "$work"/qt6-base_*
  apt-get -q "${apt_options[@]}" source "qt6-base=$source_version" >/dev/null
  touch "$src/.fetched-$source_version"
fi

printf '%s\n' "$toolchain" >"$work/toolchain.cmake"
# An interrupted build with the same options resumes where it stopped.
build=$work/build
if [ ! -f "$build/.configured-$options_hash" ]; then
  rm -rf "$build"
  mkdir -p "$build"
  cd "$build"
  echo "build-qt-mingw: configuring Qt $qt_version for $triplet into $prefix"
  "$src/configure" -prefix "$prefix" -qt-host-path /usr "${options[@]}" -- \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" >configure.log 2>&1 || {
    tail -40 configure.log >&2
    echo "build-qt-mingw: configure failed, see $build/configure.log" >&2
    exit 1
  }
  touch "$build/.configured-$options_hash"
fi
cd "$build"
echo "build-qt-mingw: building ($(grep -c '' <(ninja -t commands)) steps)"
cmake --build . --parallel "$(nproc)"
rm -rf "$prefix"
cmake --install . >/dev/null
echo "$source_version" >"$prefix/.complete"
if [ "${KALVORIN_QT_MINGW_KEEP:-0}" != 1 ]; then
  cd /
  rm -rf "$build"
fi
elapsed=$(($(date +%s) - start))
printf 'build-qt-mingw: Qt %s installed in %s (%s) in %dm%02ds\n' \
  "$source_version" "$prefix" "$(du -sh "$prefix" | cut -f1)" $((elapsed / 60)) $((elapsed % 60))
