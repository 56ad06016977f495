#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "device/Platform.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::detect {

inline constexpr std::uint32_t kWorkBufferBytes = 65536;

// Tells what the node's extent holds: an md member (TypeVolume 1 with the
// RAID texts) or a file system (TypeVolume 2..8). True when recognised, and
// also after a read failure of the work buffer or of a RAID 1 data area.
// False without reading on a medium whose logical sector size is unusable.
bool DetectVolume(device::Platform& platform, media::WindowPort& window, media::InSupport& identity,
                  media::listeSupport& node);

// The md superblock of the node's extent (the node's medium is open), from
// the work buffer or read near the end of the extent in whole logical
// sectors of `logicalSize` bytes; nullopt when none.
using RaidSuperblock = std::array<std::uint8_t, 4096>;
std::optional<RaidSuperblock> FindRaidSuperblock(media::WindowPort& window,
                                                 media::listeSupport& node,
                                                 const std::uint8_t* workBuffer,
                                                 std::uint32_t logicalSize = 512);

}  // namespace kalvorin::detect
