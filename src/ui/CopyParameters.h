// Checks of a copy's parameters before the job may start. Plain functions:
// the window reads its fields and shows the refusal texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kalvorin::ui {

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

}  // namespace kalvorin::ui
