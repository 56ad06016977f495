#pragma once

#include <cstdint>

#include "media/Records.h"

namespace kalvorin::detect {

// Recognises ext2/3/4, MSDOS FAT, NTFS, HFS+ and XFS in the first 64 KiB of
// an extent (`buffer` holds kWorkBufferBytes bytes). On true, TypeVolume and
// LibelleVolume are set, and InfoVolume where the kind says so; on false
// nothing is written.
bool IdentifyFileSystem(media::InSupport& identity, const std::uint8_t* buffer);

}  // namespace kalvorin::detect
