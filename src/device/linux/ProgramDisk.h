// The disk that holds the program's executable.
#pragma once

#include <string>
#include <vector>

#include "device/linux/DeviceAnswers.h"
#include "device/linux/DiskNumbering.h"
#include "device/linux/SysfsDisks.h"

namespace kalvorin::device::linuxbackend {

// The disk number answered when the executable lies on no numbered disk
// (tmpfs, a network file system): it names no disk, so every disk is listed.
inline constexpr std::uint32_t kNoDisk = 0xFFFFFFFF;

// The extents of the file system that holds `file`, followed through
// device-mapper and md layers, read-only loop devices (to the disk of their
// backing file) and overlay layers down to the numbered disks; the first is
// the disk the file's data lies on where there are several. One extent
// naming kNoDisk when none is found.
std::vector<DiskExtent> ExtentsHoldingFile(const SystemPaths& paths, const DiskNumbering& numbering,
                                           const std::string& file);

}  // namespace kalvorin::device::linuxbackend
