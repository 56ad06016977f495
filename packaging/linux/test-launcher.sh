#!/usr/bin/env bash
# The administrator launcher's argument and environment handling, through its
# --dry-run option (no polkit agent needed, nothing started).
#   test-launcher.sh ADMIN AS_ROOT PROGRAM INSTALLED_AS_ROOT
# ADMIN and AS_ROOT are the generated scripts; PROGRAM and INSTALLED_AS_ROOT
# the installed paths they name.
set -uo pipefail
admin=$1 as_root=$2 program=$3 installed_as_root=$4
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$admin" "$work/kalvorin-admin"
chmod 755 "$work" "$work/kalvorin-admin"

expect() {  # expect NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/  /'
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}

# The user side, as a normal user: runs as nobody when the test is root.
as_user() {
  if [ "$(id -u)" = 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"
  else
    "$@"
  fi
}

# A Wayland session with XWayland: the socket by its full path, the
# language, the time format; the loader and session-bus settings are not passed.
out=$(cd / && as_user env -i PATH=/usr/bin:/bin HOME=/nonexistent DISPLAY=:7 \
  XAUTHORITY=/run/user/1000/.mutter-Xwaylandauth.AB12 WAYLAND_DISPLAY=wayland-0 \
  XDG_RUNTIME_DIR=/run/user/1000 LANG=fr_FR.UTF-8 LC_TIME=fr_FR.UTF-8 \
  LD_LIBRARY_PATH=/tmp/evil DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus QT_SCALE_FACTOR=2 \
  sh "$work/kalvorin-admin" --dry-run --machine "/srv/machine d'essai" --demo)
expect "Wayland session, options with spaces and quotes kept" "pkexec
$installed_as_root
DISPLAY=:7
XAUTHORITY=/run/user/1000/.mutter-Xwaylandauth.AB12
WAYLAND_DISPLAY=/run/user/1000/wayland-0
LANG=fr_FR.UTF-8
LC_TIME=fr_FR.UTF-8
QT_SCALE_FACTOR=2
--
--machine
/srv/machine d'essai
--demo" "$out"

# X11 without XAUTHORITY: the home folder's authority file; a value with a
# line break is dropped; a file-name pattern stays as it is.
mkdir -p "$work/home" && touch "$work/home/.Xauthority" && chmod -R a+rX "$work/home"
out=$(cd / && as_user env -i PATH=/usr/bin:/bin HOME="$work/home" DISPLAY=:0 LANG='*' \
  LANGUAGE="$(printf 'fr\nLD_LIBRARY_PATH=/tmp/evil')" sh "$work/kalvorin-admin" --dry-run)
expect "X11, authority file from the home folder" "pkexec
$installed_as_root
DISPLAY=:0
XAUTHORITY=$work/home/.Xauthority
LANG=*
--" "$out"

# Already administrator (sudo): no pkexec.
if [ "$(id -u)" = 0 ]; then
  out=$(env -i PATH=/usr/bin:/bin DISPLAY=:1 sh "$work/kalvorin-admin" --dry-run --demo)
  expect "root: no password asked" "$installed_as_root
DISPLAY=:1
--
--demo" "$out"
fi

# The root side: a clean environment, a runtime folder of its own, the
# program's options after "--" (even one that looks like a setting).
out=$(env -i PATH=/usr/bin:/bin sh "$as_root" --dry-run DISPLAY=:7 LANG=fr_FR.UTF-8 \
  -- --machine "LD_PRELOAD=x")
expect "root side: environment and program" "env
-i
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
HOME=/root
USER=root
LOGNAME=root
DISPLAY=:7
LANG=fr_FR.UTF-8
XDG_RUNTIME_DIR=/run/kalvorin-XXXXXX
$program
--machine
LD_PRELOAD=x" "$out"

# The root side refuses names it does not know and relative Wayland sockets.
for refused in LD_PRELOAD=/tmp/evil.so QT_PLUGIN_PATH=/tmp WAYLAND_DISPLAY=wayland-0 \
               "$(printf 'LANG=fr\nLD_PRELOAD=x')"; do
  err=$(env -i PATH=/usr/bin:/bin sh "$as_root" --dry-run "$refused" -- 2>&1 >/dev/null)
  status=$?
  if [ "$status" = 2 ] && [[ "$err" == *"refusé"* ]]; then
    echo "ok: root side refuses ${refused%%=*}"
  else
    echo "FAIL: root side accepted ${refused%%=*} (status $status, $err)"
    failures=$((failures + 1))
  fi
done

[ "$failures" = 0 ]
