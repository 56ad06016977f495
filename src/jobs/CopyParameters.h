// Checks of a copy's parameters before the job may start. Plain functions:
// the window and the terminal read their fields and show the refusal texts
// ("Saisie invalide").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/Platform.h"
#include "media/Records.h"

namespace kalvorin::jobs {

// The largest sector number whose byte offset fits a signed 64-bit file
// position; no field or range end may go past it.
inline constexpr std::uint64_t kMaxSector = INT64_MAX / 512;

// The exact value of a field holding only decimal digits, at most
// kMaxSector; nullopt for an empty field, any other character, or a larger
// number.
std::optional<std::uint64_t> ReadSectorField(std::string_view text);

// "Saisie invalide" text naming a field whose content is refused.
std::string InvalidFieldMessage(std::string_view fieldLabel, std::uint64_t minimum);

// firstTarget + count < diskSectors, computed without overflow.
bool TargetDiskLargeEnough(std::uint64_t firstTarget, std::uint64_t count,
                           std::uint64_t diskSectors);
// freeBytes / 512 > count.
bool FreeSpaceLargeEnough(std::uint64_t freeBytes, std::uint64_t count);
// first + count stays within kMaxSector (both at most kMaxSector).
bool RangeWithinLimit(std::uint64_t first, std::uint64_t count);

// Why a range may not be copied: a source or target range that ends past
// kMaxSector. nullopt when it may.
std::optional<std::string> RangeRefusal(std::uint64_t firstSource, std::uint64_t firstTarget,
                                        std::uint64_t count);
// Why `target` (a disk record, or an image file record) may not take `count`
// sectors at `firstTarget`: a disk too small, an image target that is no
// file or is the source image itself, free space unknown or too small. nullopt when it may.
std::optional<std::string> CopyTargetRefusal(device::Platform& platform,
                                             const media::listeSupport& source,
                                             const media::listeSupport& target,
                                             std::uint64_t firstTarget, std::uint64_t count);

}  // namespace kalvorin::jobs
