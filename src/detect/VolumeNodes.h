// The volume nodes of the media tree: one per partition slot or RAID member
// of a disk, labelled by volume detection and by the drive-letter map. The
// list refresh (media/Refresh.h) is given AddVolumeNodes by its caller, so
// that the media layer itself never runs detection.
#pragma once

#include "device/Platform.h"
#include "media/LetterMap.h"
#include "media/MediaState.h"
#include "media/MediaTree.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::detect {

// Adds under `diskNode` one volume node per slot of the disk: a single node
// covering the whole disk when detection recognises the disk as a whole,
// else one per partition-table slot, in slot order. Each node is then
// labelled by volume detection, and a drive letter whose extent equals the
// node's exactly (same disk, first sector and count; the last such entry
// wins) replaces its details.
void AddVolumeNodes(device::Platform& platform, media::WindowPort& window,
                    media::InSupport& identity, const media::Utilitaires& letters,
                    media::MediaTree& tree, media::MediaNode& diskNode);

// Switches volume detection on or off, then rebuilds the list.
void ToggleVolumeDetection(device::Platform& platform, media::WindowPort& window,
                           media::MediaState& state);

}  // namespace kalvorin::detect
