#!/usr/bin/env bash
# Times the check, the copy to an image file and the erase of kalvorin_bench
# against dd on the same medium in the same run: (a) a 2 GiB image file,
# (b) a loop device over a 2 GiB image. Prints the throughputs and the ratios
# job / dd. Needs root for the loop device and for dropping the page cache
# (without it the cold figures are warm ones, and it says so).
#
#   tools/bench/run.sh [path/to/kalvorin_bench] [size in MiB, default 2048]
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/bench/common.sh
bench=${1:-build/tools/bench/kalvorin_bench}
mib=${2:-2048}
sectors=$((mib * 2048))
bytes=$((mib * 1048576))

scratch=$(mktemp -d /tmp/kalvorin-bench.XXXXXX)
loop=""
cleanup() {
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

mbs() { echo "scale=1; $bytes / 1048576 / $1" | bc -l; }
ratio() { echo "scale=2; $2 / $1" | bc -l; }  # job time $1, dd time $2: dd / job = job speed / dd speed

maxrss=0
run_job() {  # job medium sectors [target]: sets tj (seconds) and maxrss (KiB)
  local out
  out=$(TMPDIR="$scratch" "$bench" "$@")
  tj=${out%% *}
  local rss=${out##* }
  [ "$rss" -gt "$maxrss" ] && maxrss=$rss
  return 0
}

printf '%-8s %-12s %10s %10s %10s %8s %8s\n' medium job "job MB/s" "dd64K" "dd1M" "/dd64K" "/dd1M"
report() {  # medium job tjob t64 t1m
  printf '%-8s %-12s %10s %10s %10s %8s %8s\n' "$1" "$2" "$(mbs "$3")" "$(mbs "$4")" "$(mbs "$5")" \
    "$(ratio "$3" "$4")" "$(ratio "$3" "$5")"
}

# Each figure is the best of $rounds runs, the job and dd runs interleaved, so
# that the load of a shared machine weighs on both alike.
rounds=${ROUNDS:-3}
measure() {  # label medium ddflags_for_writes
  local label=$1 medium=$2 wflags=$3 round tj t64 t1m bj b64 b1m
  bj=1000000000; b64=1000000000; b1m=1000000000
  for round in $(seq "$rounds"); do  # check: cold cache before each run
    drop; run_job check "$medium" "$sectors"; bj=$(min "$bj" "$tj")
    drop; t64=$(timed dd if="$medium" of=/dev/null bs=64K count=$((bytes / 65536))); b64=$(min "$b64" "$t64")
    drop; t1m=$(timed dd if="$medium" of=/dev/null bs=1M count="$mib"); b1m=$(min "$b1m" "$t1m")
  done
  report "$label" check "$bj" "$b64" "$b1m"

  bj=1000000000; b64=1000000000; b1m=1000000000
  for round in $(seq "$rounds"); do  # copy to a new image file, flushed at the end
    drop; run_job copy "$medium" "$sectors" "$scratch/copy.img"; bj=$(min "$bj" "$tj")
    rm -f "$scratch/copy.img"; drop
    t64=$(timed dd if="$medium" of="$scratch/copy.img" bs=64K count=$((bytes / 65536)) conv=fsync); b64=$(min "$b64" "$t64")
    rm -f "$scratch/copy.img"; drop
    t1m=$(timed dd if="$medium" of="$scratch/copy.img" bs=1M count="$mib" conv=fsync); b1m=$(min "$b1m" "$t1m")
    rm -f "$scratch/copy.img"
  done
  report "$label" copy-image "$bj" "$b64" "$b1m"

  bj=1000000000; b64=1000000000; b1m=1000000000
  for round in $(seq "$rounds"); do  # erase: zeros over the whole range, flushed at the end
    drop; run_job erase "$medium" "$sectors"; bj=$(min "$bj" "$tj")
    drop; t64=$(timed dd if=/dev/zero of="$medium" bs=64K count=$((bytes / 65536)) conv=fsync$wflags); b64=$(min "$b64" "$t64")
    drop; t1m=$(timed dd if=/dev/zero of="$medium" bs=1M count="$mib" conv=fsync$wflags); b1m=$(min "$b1m" "$t1m")
  done
  report "$label" erase "$bj" "$b64" "$b1m"
}

# A fully allocated image with data in it, so reads come from the medium.
head -c "$bytes" /dev/urandom > "$scratch/medium.img"
measure image "$scratch/medium.img" ",notrunc"

if [ "$(id -u)" = 0 ] && loop=$(losetup -f --show "$scratch/medium.img" 2>/dev/null); then
  head -c "$bytes" /dev/urandom | dd of="$loop" bs=1M conv=fsync status=none
  measure loop "$loop" ""
else
  echo "loop device: skipped (needs root and a free loop device)"
fi
echo "cold cache: $cold; peak resident memory of a job: $maxrss KiB (whatever the size of the range)"
