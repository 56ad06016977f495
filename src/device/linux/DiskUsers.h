// What holds a whole disk, so that a refused job can say why: the mounted
// file systems of its partitions, the arrays and mapped devices built on it,
// its swap areas, or another program holding it exclusively or locked.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/Platform.h"
#include "device/linux/Mounts.h"
#include "device/linux/SysfsDisks.h"

namespace kalvorin::device::linuxbackend {

// The block devices named in /proc/swaps (first field, escapes decoded);
// the header and malformed lines are skipped.
std::vector<std::string> ParseSwaps(std::string_view text);

// Why `disk` cannot be opened for `access` by a job (Read: only another
// program writing it; ReadWrite: anything that holds it). nullopt when
// nothing holds it.
std::optional<DiskUse> FindDiskUsers(const SystemPaths& paths, const WholeDisk& disk,
                                     const std::vector<MountEntry>& mounts, Access access);

}  // namespace kalvorin::device::linuxbackend
