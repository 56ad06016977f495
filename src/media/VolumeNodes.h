// The volume nodes of the media tree: one per partition slot or RAID member
// of a disk, labelled by volume detection and by the drive-letter map.
#pragma once

#include "device/Platform.h"
#include "media/LetterMap.h"
#include "media/MediaState.h"
#include "media/MediaTree.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::media {

// Adds under `diskNode` one volume node per slot of the disk: a single node
// covering the whole disk when detection recognises the disk as a whole,
// else one per partition-table slot, in slot order. Each node is then
// labelled by volume detection, and a drive letter whose extent equals the
// node's exactly (same disk, first sector and count; the last such entry
// wins) replaces its details.
void AddVolumeNodes(device::Platform& platform, WindowPort& window, InSupport& identity,
                    const Utilitaires& letters, MediaTree& tree, MediaNode& diskNode);

// Switches volume detection on or off, then rebuilds the list.
void ToggleVolumeDetection(device::Platform& platform, WindowPort& window, MediaState& state);

}  // namespace kalvorin::media
