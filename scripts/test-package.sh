#!/usr/bin/env bash
# The Debian package as a technician gets it: builds it (build-package/,
# prefix /usr), installs it with apt-get, checks the installed files, starts
# the installed program on its demo machine under Xvfb (a screenshot, then
# it quits), drives a check job of the installed program as administrator on
# a loop device of its own (with xdotool) whose report must land in the
# program's state folder and nothing beside its executable, and purges the
# package again (its state folder with it), leaving the machine's package
# list as it found it. Needs root (apt-get).
#   scripts/test-package.sh [SCREENSHOT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
shots=${1:-build-package/screenshots}
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive

bash scripts/build.sh build-package -DCMAKE_INSTALL_PREFIX=/usr \
  -DKALVORIN_TESTS=OFF -DKALVORIN_BENCHMARKS=OFF
(cd build-package && cpack -G DEB >/dev/null)
version=$(sed -n 's/^#define KALVORIN_VERSION "\(.*\)"$/\1/p' build-package/generated/BuildInfo.h)
deb=build-package/kalvorin_${version}_$(dpkg --print-architecture).deb
echo "== $deb"
dpkg-deb --field "$deb" Package Version Maintainer Installed-Size Depends Recommends
# sed, not head: head would close the pipe early and, under pipefail, the
# SIGPIPE that dpkg-deb then gets would end the whole test.
dpkg-deb --field "$deb" Description | sed -n 1p

if dpkg-query -W -f='${Status}' kalvorin 2>/dev/null | grep -q "install ok installed"; then
  echo "kalvorin is already installed here: not installing over it (the test removes what it installs)."
  exit 1
fi
# Where the installed program run as administrator keeps its working report.
state_dir=$(sed -n 's/^#define KALVORIN_STATE_DIR "\(.*\)"$/\1/p' build-package/generated/BuildInfo.h)
if [ -e "$state_dir" ]; then
  echo "$state_dir exists (reports of an earlier installation?): the test purges it, so it stops here."
  exit 1
fi

before=$(mktemp)
after=$(mktemp)
trap 'rm -f "$before" "$after"' EXIT
dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' | grep ' installed$' | sort >"$before"

status=0
fail() { echo "FAIL: $*"; status=1; }

remove_package() {
  $SUDO apt-get purge -y -qq kalvorin >/dev/null
  # What the installation brought in for it goes too.
  dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' | grep ' installed$' | sort >"$after"
  local added
  added=$(comm -13 "$before" "$after" | cut -d' ' -f1)
  if [ -n "$added" ]; then
    # shellcheck disable=SC2086
    $SUDO apt-get remove -y -qq $added >/dev/null
  fi
}

echo "== apt-get install ./$deb"
$SUDO apt-get install -y -qq "./$deb" >/dev/null
trap 'remove_package; rm -f "$before" "$after"' EXIT

echo "== installed files"
for file in /usr/bin/kalvorin /usr/bin/kalvorin-admin /usr/libexec/kalvorin/kalvorin-as-root \
            /usr/libexec/kalvorin/RescanDisks.sh; do
  [ -x "$file" ] || fail "$file missing or not executable"
done
app_id=$(sed -n 's/^#define KALVORIN_APP_ID "\(.*\)"$/\1/p' build-package/generated/BuildInfo.h)
desktop=/usr/share/applications/$app_id.desktop
metainfo=/usr/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
[ -f "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "SVG icon missing"
for size in 16 22 24 32 48 64 128 256; do
  png=/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  [ "$(file -b "$png" 2>/dev/null | grep -o "$size x $size")" = "$size x $size" ] ||
    fail "icon $png missing or not $size x $size"
done
policy=$(grep -l /usr/libexec/kalvorin/kalvorin-as-root /usr/share/polkit-1/actions/*.policy || true)
if [ -z "$policy" ]; then
  fail "no polkit action names /usr/libexec/kalvorin/kalvorin-as-root"
else
  grep -q 'exec.allow_gui">true' "$policy" || fail "the polkit action does not allow a window"
  grep -q '<allow_active>auth_admin</allow_active>' "$policy" ||
    fail "the polkit action does not ask for the administrator password"
fi

echo "== --help, --version and a refused option without a display"
no_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/kalvorin "$@" 2>&1; }
[ "$(no_display --version)" = "Kalvorin 2, version $version" ] || fail "--version without a display"
[[ "$(no_display --help)" == *"--machine <DOSSIER>"* ]] || fail "--help without a display"
[[ "$(no_display --bogus)" == "Option inconnue ou incomplète : --bogus"* ]] ||
  fail "an unknown option without a display is not refused in French"

echo "== the installed program on its demo machine, under Xvfb"
# Installed, the program never writes beside its executable.
bin_before=$(ls -A /usr/bin)
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)
rm -f "$shots"/installed-*.png
run_x() {  # run_x LOG COMMAND...: under a fresh Xvfb, without the offscreen platform
  local log=$1
  shift
  (cd / && env -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR timeout 120 \
    xvfb-run -a -s "-screen 0 1280x800x24" "$@") >"$log" 2>&1
}
run_x "$shots/installed-direct.log" /usr/bin/kalvorin --demo --screenshot "$shots/installed-direct.png" ||
  fail "the installed program did not start on its demo machine (see $shots/installed-direct.log)"
# The menu's launcher; as root it asks no password and runs the root side,
# which gives the window a private runtime folder and removes it after.
runtime_folders() { find /run /tmp -maxdepth 1 \( -name 'kalvorin-*' -o -name 'kalvorin-runtime-*' \) -type d | sort; }
runtime_before=$(runtime_folders)
run_x "$shots/installed-admin.log" /usr/bin/kalvorin-admin --demo --screenshot "$shots/installed-admin.png" ||
  fail "kalvorin-admin did not start the window (see $shots/installed-admin.log)"
runtime_after=$(runtime_folders)
[ "$runtime_after" = "$runtime_before" ] || fail "the launcher left its runtime folder behind"
! grep -q XDG_RUNTIME_DIR "$shots/installed-admin.log" ||
  fail "warnings about the runtime folder under the launcher: $(cat "$shots/installed-admin.log")"
for shot in installed-direct installed-admin; do
  [ "$(file -b "$shots/$shot.png" 2>/dev/null | cut -d, -f1)" = "PNG image data" ] ||
    fail "no screenshot $shots/$shot.png"
done

echo "== a check job of the installed program as administrator, on a loop device of its own"
# Run as administrator, the installed program keeps its working report in
# $state_dir (made private), never beside its executable.
job_image=""
job_loop=""
detach_job_loop() {
  if [ -n "$job_loop" ]; then $SUDO losetup -d "$job_loop" || true; fi
  if [ -n "$job_image" ]; then rm -f "$job_image"; fi
  job_loop=""
  job_image=""
}
if command -v xdotool >/dev/null 2>&1; then
  job_image=$(mktemp /var/tmp/kalvorin-package-XXXXXX.img)
  trap 'detach_job_loop; remove_package; rm -f "$before" "$after"' EXIT
  truncate -s 64M "$job_image"
  job_loop=$($SUDO losetup -f --show "$job_image")
  run_x "$shots/installed-job.log" bash "$PWD/packaging/linux/test-installed-job.sh" \
    "$job_loop" "$state_dir" ||
    fail "the check job of the installed program did not go as expected: $(cat "$shots/installed-job.log")"
  head -1 "$state_dir/Rapport.txt" 2>/dev/null | grep -aq "Loop device $job_loop du secteur 0 " ||
    fail "no report of the check of $job_loop in $state_dir"
  [ "$(stat -c '%U %a %F' "$state_dir" 2>/dev/null)" = "root 700 directory" ] ||
    fail "$state_dir is not a folder private to root: $(stat -c '%U %a %F' "$state_dir" 2>&1)"
  detach_job_loop
  trap 'remove_package; rm -f "$before" "$after"' EXIT
else
  echo "SKIPPED: xdotool is not installed (scripts/install-deps.sh installs it); no job driven"
fi
if [ -e /usr/bin/Rapport.txt ] || [ "$(ls -A /usr/bin)" != "$bin_before" ]; then
  fail "the installed program wrote into /usr/bin: $(diff <(echo "$bin_before") <(ls -A /usr/bin))"
  # Its report goes: the machine is left as the test found it.
  grep -qx Rapport.txt <<<"$bin_before" || $SUDO rm -f /usr/bin/Rapport.txt
fi

echo "== apt-get remove, then purge"
# A report a job left there (the user neither saved nor deleted it) outlives
# a removal; a purge takes the folder away.
if [ ! -e "$state_dir/Rapport.txt" ]; then  # no job was driven: left as a job would
  $SUDO install -d -m 0700 "$state_dir"
  echo "rapport laissé par un traitement" | $SUDO tee "$state_dir/Rapport.txt" >/dev/null
fi
$SUDO apt-get remove -y -qq kalvorin >/dev/null
[ ! -e /usr/bin/kalvorin ] && [ ! -e /usr/libexec/kalvorin ] && [ ! -e "$desktop" ] ||
  fail "files left after removal"
[ -f "$state_dir/Rapport.txt" ] || fail "the removal took the report left in $state_dir"
remove_package
trap 'rm -f "$before" "$after"' EXIT
[ ! -e "$state_dir" ] || fail "$state_dir left after purge"
[ -z "$(dpkg-query -W -f='${Status}' kalvorin 2>/dev/null | grep -v '^unknown ok not-installed$' || true)" ] ||
  fail "kalvorin still known to dpkg after purge: $(dpkg-query -W -f='${Status}' kalvorin)"
dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' | grep ' installed$' | sort >"$after"
cmp -s "$before" "$after" || fail "the package list differs from before: $(diff "$before" "$after")"

[ "$status" = 0 ] && echo "package test passed"
exit $status
