// The list and detect commands: the disks and their volumes, as a table for
// people or as one JSON document.
#pragma once

#include <string>

#include "cli/Console.h"
#include "device/Platform.h"
#include "media/MediaState.h"

namespace kalvorin::cli {

// The disks of `state` (the program's disk is never in it).
void PrintDisks(Console& console, device::Platform& platform, const media::MediaState& state,
                bool json);

// The volume nodes of the disk named `disk`, or of every disk when it is
// empty. The exit status: refused when the name designates no single disk.
int PrintVolumes(Console& console, device::Platform& platform, const media::MediaState& state,
                 const std::string& disk, bool json);

}  // namespace kalvorin::cli
