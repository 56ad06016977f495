#!/usr/bin/env bash
# Points drive E: of a Wine prefix at an image file made for the occasion,
# runs the test that reads and writes "\\.\E:", then removes both.
# Usage: scripts/wine-mapped-drive.sh PREFIX device_tests.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
program=$2
bash "$here/wine-run.sh" "$prefix"

link="$prefix/dosdevices/e::"
if [ -e "$link" ] || [ -L "$link" ]; then
  echo "E: of $prefix is already mapped ($(readlink "$link")): not touching it" >&2
  exit 1
fi
image=$(mktemp "$prefix-e-drive.XXXXXX.img")
cleanup() { rm -f "$link" "$image"; }
trap cleanup EXIT
truncate -s 2M "$image"
ln -s "$image" "$link"

KALVORIN_MAPPED_E_IMAGE="Z:${image//\//\\}" \
  bash "$here/wine-run.sh" "$prefix" "$program" --gtest_filter='NativeMappedDrive.*'
