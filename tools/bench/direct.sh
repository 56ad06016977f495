#!/usr/bin/env bash
# The jobs on loop devices against dd reading and writing the same devices
# without the page cache, in the same run:
#   (a) loop devices over files in /dev/shm: the software ceiling;
#   (b) loop devices over files on disk (in $SCRATCH, default /var/tmp).
# The page cache is dropped before each run; each figure is the best of
# $ROUNDS (default 3) runs, the job and dd runs interleaved so that the load
# of a shared machine weighs on both alike. Then the growth of the page cache
# while a check walks a 4 GiB loop device, and the peak memory of the jobs.
# (Recent kernels count a block device's cached pages in Cached, not in
# Buffers, mixed with the files' pages: the growth is counted on the device.)
# Needs root (loop devices, dropping the cache).
#
#   tools/bench/direct.sh [path/to/kalvorin_bench] [size in MiB, default 1024]
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/bench/common.sh
bench=$(realpath "${1:-build/tools/bench/kalvorin_bench}")
mib=${2:-1024}
sectors=$((mib * 2048))
bytes=$((mib * 1048576))
rounds=${ROUNDS:-3}
if [ "$(id -u)" != 0 ]; then
  echo "direct.sh needs root (loop devices, dropping the page cache)" >&2
  exit 1
fi

shm=$(mktemp -d /dev/shm/kalvorin-bench.XXXXXX)
disk=$(mktemp -d "${SCRATCH:-/var/tmp}/kalvorin-bench.XXXXXX")
loops=()
sampler=""
cleanup() {
  [ -n "$sampler" ] && kill "$sampler" 2>/dev/null || true
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$shm" "$disk"
}
trap cleanup EXIT

attached=""
attach() {  # file: sets $attached to its loop device, detached at the end
  attached=$(losetup -f --show "$1")
  loops+=("$attached")
}
drop() {
  sync
  echo 3 > /proc/sys/vm/drop_caches
}
mbs() { echo "scale=0; $bytes / 1048576 / $1" | bc -l; }
ratio() { echo "scale=2; $2 / $1" | bc -l; }  # job time, dd time: job speed / dd speed

job() {  # kalvorin_bench arguments: prints the seconds, keeps the peak memory
  local out
  out=$(TMPDIR="$disk" "$bench" "$@")
  echo "${out##* }" >> "$disk/rss"
  echo "${out%% *}"
}

printf '%-6s %-12s %9s %9s %-28s %6s %s\n' medium job "job MB/s" "dd MB/s" "dd" "ratio" "goal"
row() {  # medium job tjob tdd ddlabel goal
  local r ok
  r=$(ratio "$3" "$4")
  ok=$(echo "$r >= $6" | bc -l)
  printf '%-6s %-12s %9s %9s %-28s %6s >= %s %s\n' "$1" "$2" "$(mbs "$3")" "$(mbs "$4")" "$5" "$r" \
    "$6" "$([ "$ok" = 1 ] && echo met || echo MISSED)"
}

measure() {  # medium folder: one table row per comparison
  local medium=$1 folder=$2 a b i t
  local bc1=1000000 bd1=1000000 bd64=1000000 be=1000000 bde=1000000
  local bcd=1000000 bdd=1000000 bci=1000000 bdi=1000000
  head -c "$bytes" /dev/urandom > "$folder/a.img"
  truncate -s "$bytes" "$folder/b.img"
  attach "$folder/a.img"
  a=$attached
  attach "$folder/b.img"
  b=$attached
  for i in $(seq "$rounds"); do
    drop; t=$(job check "$a" "$sectors"); bc1=$(min "$bc1" "$t")
    drop; t=$(timed dd if="$a" of=/dev/null bs=1M iflag=direct); bd1=$(min "$bd1" "$t")
    drop; t=$(timed dd if="$a" of=/dev/null bs=64K iflag=direct); bd64=$(min "$bd64" "$t")
    drop; t=$(job copy "$a" "$sectors" "$b"); bcd=$(min "$bcd" "$t")
    drop; t=$(timed dd if="$a" of="$b" bs=1M iflag=direct oflag=direct conv=fsync); bdd=$(min "$bdd" "$t")
    rm -f "$folder/copy.img"; drop
    t=$(job copy "$a" "$sectors" "$folder/copy.img"); bci=$(min "$bci" "$t")
    rm -f "$folder/copy.img"; drop
    t=$(timed dd if="$a" of="$folder/copy.img" bs=1M iflag=direct oflag=direct conv=fsync)
    bdi=$(min "$bdi" "$t")
    rm -f "$folder/copy.img"
    drop; t=$(job erase "$b" "$sectors"); be=$(min "$be" "$t")
    drop; t=$(timed dd if=/dev/zero of="$b" bs=1M count="$mib" oflag=direct conv=fsync); bde=$(min "$bde" "$t")
  done
  row "$medium" check "$bc1" "$bd1" "bs=1M iflag=direct" 0.90
  row "$medium" check "$bc1" "$bd64" "bs=64K iflag=direct" 1.00
  row "$medium" erase "$be" "$bde" "bs=1M oflag=direct fsync" 0.90
  row "$medium" copy-disk "$bcd" "$bdd" "bs=1M i/oflag=direct fsync" 0.85
  row "$medium" copy-image "$bci" "$bdi" "bs=1M i/oflag=direct fsync" 0.85
  for loop in "$a" "$b"; do losetup -d "$loop"; done
  loops=()
  rm -f "$folder/a.img" "$folder/b.img"
}

measure shm "$shm"
measure disk "$disk"

# The page cache of a 4 GiB loop device while a check walks it, counted on
# the device itself (mincore over a mapping of it), as the whole machine's
# figures move with whatever else runs. A sparse file: the cache would fill
# the same with data, only slower.
truncate -s 4G "$disk/big.img"
attach "$disk/big.img"
big=$attached
four=$((4 << 30))
peak_cached() {  # command...: the most MiB of the device cached while it runs
  local peakfile=$disk/peak
  drop
  echo 0 > "$peakfile"
  (
    peak=0
    while :; do
      c=$("$bench" cached "$big" "$four")
      [ "$c" -gt "$peak" ] && peak=$c && echo "$peak" > "$peakfile"
      sleep 0.1
    done
  ) &
  sampler=$!
  "$@" > /dev/null 2>&1
  kill "$sampler" 2>/dev/null || true
  wait "$sampler" 2>/dev/null || true
  sampler=""
  cat "$peakfile"
}
during=$(peak_cached job check "$big" $((4 * 1024 * 2048)))
ddcached=$(peak_cached dd if="$big" of=/dev/null bs=64K)
echo "check of a 4 GiB loop device: at most $during MiB of it in the page cache (goal < 64 MiB;" \
  "a buffered dd bs=64K of the device: $ddcached MiB)"
echo "peak resident memory of a job: $(sort -n "$disk/rss" | tail -1) KiB, whatever the range"
