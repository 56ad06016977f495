#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Windows cross-build need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

packages=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  nlohmann-json3-dev libgtest-dev libgmock-dev
  libfuse3-dev fuse3
  fdisk gdisk util-linux e2fsprogs dosfstools exfatprogs ntfs-3g xfsprogs
  xvfb xauth xdotool fonts-dejavu-core
  qt6-translations-l10n desktop-file-utils appstream librsvg2-bin dpkg-dev file pkexec polkitd
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 googletest
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
