#!/usr/bin/env bash
# Run under a display of its own (xvfb-run, no window manager) by
# scripts/test-package.sh, as root: starts the installed window through the
# menu's launcher on the real disks, checks the loop device LOOP (a check
# only reads) with the mouse and keyboard as a technician would, keeps the
# report where the program made it (Oui, then Annuler in the save dialog),
# and closes the window. Says what went wrong, if anything, and fails.
#   test-installed-job.sh LOOP STATE_DIR
# LOOP: /dev/loopN attached by the caller; STATE_DIR: where the installed
# program keeps its working report.
set -euo pipefail
loop=$1 state_dir=$2
report=$state_dir/Rapport.txt

/usr/bin/kalvorin-admin &
launcher=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kalvorin 2$' | sed -n 1p)
[ -n "$window" ] || { echo "the window did not open"; exit 1; }
program=$(xdotool getwindowpid "$window")
close_window() {
  kill "$program" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
}
trap close_window EXIT

# The window has a fixed size and no window manager moves it: its controls
# lie at fixed places. The tree takes the focus (its first row), a search
# typed in it selects the loop device's row, the toolbar's fourth button is
# "Contrôler", and the check's panel has "Démarrer le traitement" below.
xdotool mousemove --window "$window" 130 87 click 1
sleep 0.5
xdotool type --delay 20 "Loop device $loop"
sleep 0.5
xdotool mousemove --window "$window" 215 25 click 1
sleep 0.5
xdotool mousemove --window "$window" 113 503 click 1

# The report is finished before the question is asked.
for _ in $(seq 100); do
  grep -q '^Fin du traitement' "$report" 2>/dev/null && break
  sleep 0.2
done
grep -q '^Fin du traitement' "$report" 2>/dev/null || {
  echo "no finished report in $report"
  exit 1
}
sleep 0.5
xdotool key Return  # "Oui": save the report
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Sauvegarde du rapport' | sed -n 1p)
[ -n "$dialog" ] || { echo "no save dialog after Oui"; exit 1; }
xdotool key Escape  # "Annuler": the report stays where it is
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Sauvegarde du rapport' >/dev/null 2>&1 || break
  sleep 0.2
done
