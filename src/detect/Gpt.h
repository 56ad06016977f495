#pragma once

#include <cstdint>

#include "detect/PartitionSlots.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::detect {

// Entry arrays are accepted up to this size; the standard array is 16 KiB.
inline constexpr std::uint64_t kMaxGptArrayBytes = 1u << 20;
inline constexpr std::uint32_t kMinGptEntrySize = 128;

// Reads the GPT whose header is at `headerSector` of the disk's open medium
// and adds one slot of type 0xEE per entry with a non-zero type GUID. A
// failed read shows the read-error message and adds nothing. A header whose
// entry size is under 128 bytes, or whose array would exceed
// kMaxGptArrayBytes, adds nothing. Entries whose last sector lies before
// their first, or whose first sector lies at or past the end of the disk
// (its NBSctDisque), are skipped.
// `headerSector` and the positions in the GPT count logical sectors of
// `logicalSize` bytes; the slots count sectors of 512 bytes. An entry whose
// sectors cannot be numbered in 64 bits is skipped.
void ReadGpt(media::WindowPort& window, media::listeSupport& disk, std::uint32_t logicalSize,
             std::uint64_t headerSector, SlotList& slots);

}  // namespace kalvorin::detect
