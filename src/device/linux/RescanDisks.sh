#!/bin/sh
# Makes the kernel read the partition tables of the attached disks again,
# after a program has rewritten or wiped them. Reads only: nothing is written
# to any disk. Disks that are busy or refuse are left as they are.

for entry in /sys/block/*; do
  name=${entry##*/}
  case "$name" in
    ram* | zram* | dm-* | md* | sr* | fd* | nbd* | zd*) continue ;;
    loop*)
      # Only loop devices that have an image attached.
      [ -s "$entry/loop/backing_file" ] || continue ;;
  esac
  [ -b "/dev/$name" ] || continue
  # A disk with a mounted partition refuses a full re-read; partx then
  # updates the partitions that are not in use.
  blockdev --rereadpt "/dev/$name" 2>/dev/null || partx -u "/dev/$name" 2>/dev/null || true
done
exit 0
