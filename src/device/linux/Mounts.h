// Mounted file systems in the part of drive letters: every mounted partition
// or whole disk of the numbered disks gets a letter from C upwards, ordered
// by disk number and then first sector, so letters stay put while the mounts
// do. At most 24 letters (C..Z).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/linux/DiskNumbering.h"
#include "device/linux/SysfsDisks.h"

namespace kalvorin::device::linuxbackend {

struct MountEntry {
  unsigned major = 0;  // st_dev of the mounted file system
  unsigned minor = 0;
  std::string root;        // the mounted subtree of the file system
  std::string mountPoint;  // escapes decoded
  std::string fsType;
  std::string source;
  std::string superOptions;
};

// A path as mountinfo and /proc/swaps write it: blank, tab, line feed and
// backslash escaped as \ooo.
std::string DecodeOctal(std::string_view text);

// The lines of /proc/self/mountinfo; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
std::vector<MountEntry> ReadMountInfo(const SystemPaths& paths);

// The block device behind a mount: its own device number, or the device its
// source names (btrfs reports an anonymous device number).
std::optional<std::pair<unsigned, unsigned>> MountBlockDevice(const SystemPaths& paths,
                                                              const MountEntry& mount);

struct LetterEntry {
  char letter = 0;
  int diskNumber = 0;
  BlockLocation location;  // partition (or whole disk) and its extent
  unsigned major = 0;
  unsigned minor = 0;
  std::string mountPoint;
  std::string fsType;
  bool removable = false;
};

std::vector<LetterEntry> AssignLetters(const SystemPaths& paths, const DiskNumbering& numbering,
                                       const std::vector<MountEntry>& mounts);

// What the user sees for a letter: "<label> sur <mount point>", or the mount
// point alone when the file system has no label.
std::string LetterDisplayText(const SystemPaths& paths, const LetterEntry& entry);

}  // namespace kalvorin::device::linuxbackend
