#pragma once

#include <string>
#include <vector>

#include "device/Platform.h"
#include "media/LetterMap.h"
#include "media/MediaState.h"
#include "media/MediaTree.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::media {

// Adds the volume nodes of one disk under its node. Volume detection lives
// in the layer above this one, which hands its step to the refresh
// (detect::AddVolumeNodes).
using VolumeNodesStep = void (*)(device::Platform& platform, WindowPort& window,
                                 InSupport& identity, const Utilitaires& letters, MediaTree& tree,
                                 MediaNode& diskNode);

// Rebuilds state.tree from scratch: the supports group header, one disk node
// per disk that answers (never the program's own), the dock recognised, and
// with DetectionVolumes the volume nodes made by `addVolumeNodes` for each
// disk whose sector count is not 0 (none when it is null). The window's own
// part of a refresh (hiding the panel, clearing the progress) is the caller's.
void RefreshMediaList(device::Platform& platform, WindowPort& window, MediaState& state,
                      VolumeNodesStep addVolumeNodes);

// As RefreshMediaList, with only the disks of `numbers` tried (any order;
// the program's own disk never): for a command given its disks by name,
// which need not open every other disk of the machine.
void RefreshNamedDisks(device::Platform& platform, WindowPort& window, MediaState& state,
                       VolumeNodesStep addVolumeNodes, std::vector<int> numbers);

// Finds the disk that holds the program and CheminProgramme (start-up).
// Shows "IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS failed for drive" when the
// extents query fails or answers no extent; NumDisqueProgramme then keeps
// its value, as it does when the program's volume cannot be opened.
void FindProgramDisk(device::Platform& platform, WindowPort& window, MediaState& state);

// The label of an image node: a drive path ("C:\x.img") or a network path
// ("\\server\x.img") less its first three characters; a POSIX path less its
// leading "/".
std::string ImageLabel(const std::string& path);

// Adds the image file `path` under the images group header (created the
// first time). False, and nothing changed, when it cannot be opened or its
// size cannot be read.
bool AddImage(device::Platform& platform, MediaState& state, const std::string& path);

}  // namespace kalvorin::media
