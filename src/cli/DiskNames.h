// A disk named on the command line: by its number, its device path or its
// serial number.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/Platform.h"
#include "media/MediaState.h"

namespace kalvorin::cli {

struct NamedDisk {
  media::MediaNode* node = nullptr;  // a disk node of state.tree
  std::string error;                 // why none, in French
};

// The disk node `name` designates. A name with a slash or a backslash is a
// device path and only that. Refused: a name that designates no listed disk
// (the program's own disk is never listed) or several.
NamedDisk FindDisk(device::Platform& platform, const media::MediaState& state,
                   const std::string& name);

// The numbers of the disks whose device path is `name`, found without
// opening any disk; nullopt when `name` is no device path (a number or a
// serial, which only the identification of every disk resolves).
std::optional<std::vector<int>> DiskNumbersAtPath(device::Platform& platform,
                                                  const std::string& name);

// The disk nodes of the tree, in display order.
std::vector<media::MediaNode*> DiskNodes(const media::MediaState& state);

// The serial number of a disk node: its NumSerie less " S/N : "; empty for
// the dock and for a disk without one.
std::string SerialOf(const media::listeSupport& disk);

}  // namespace kalvorin::cli
