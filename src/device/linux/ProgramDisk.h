// The disk that holds the program's executable.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/linux/DeviceAnswers.h"
#include "device/linux/DiskNumbering.h"
#include "device/linux/SysfsDisks.h"

namespace kalvorin::device::linuxbackend {

// The disk number answered when the executable lies in memory or on a
// network file system: it names no disk, so every disk is listed.
inline constexpr std::uint32_t kNoDisk = 0xFFFFFFFF;

// The extents of the file system that holds `file`, followed through
// device-mapper and md layers, loop devices that are not disks (to the disk
// of their backing file) and overlay layers down to the numbered disks; the
// upper layer's disk comes first. One extent naming kNoDisk when the file
// lies in memory (tmpfs, ramfs, zram) or on a network file system. nullopt
// when the way down to a disk is lost (a FUSE file system, an overlay whose
// layers are out of sight): the disk is then unknown, not absent.
std::optional<std::vector<DiskExtent>> ExtentsHoldingFile(const SystemPaths& paths,
                                                          const DiskNumbering& numbering,
                                                          const std::string& file);

}  // namespace kalvorin::device::linuxbackend
