#include "detect/Gpt.h"

#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "detect/SectorReader.h"

namespace kalvorin::detect {
namespace {

constexpr std::size_t kEntryCountField = 80;
constexpr std::size_t kEntrySizeField = 84;
constexpr std::size_t kEntryFirst = 32;
constexpr std::size_t kEntryLast = 40;

// The type GUID as the usual mixed-endian text; an empty entry reads as
// "00000000-0000-0000-0000-000000000000", which is all 16 bytes being zero.
bool IsEmptyTypeGuid(const std::uint8_t* entry) {
  static constexpr std::array<std::uint8_t, 16> kZero{};
  return std::memcmp(entry, kZero.data(), kZero.size()) == 0;
}

}  // namespace

void ReadGpt(media::WindowPort& window, media::listeSupport& disk, std::uint32_t logicalSize,
             std::uint64_t headerSector, SlotList& slots) {
  const std::uint64_t unit = logicalSize / media::kSectorSize;  // 1..128
  std::array<std::uint8_t, media::kSectorSize> header{};
  // headerSector < 2^33 at every caller: the products below cannot overflow.
  if (!ReadWholeSectors(disk, logicalSize, headerSector * unit, header.data(),
                        media::kSectorSize)) {
    ShowReadError(window, disk, headerSector * unit);
    return;
  }
  const std::uint64_t count = ReadU32LE(&header[kEntryCountField]);
  const std::uint64_t size = ReadU32LE(&header[kEntrySizeField]);
  if (size < kMinGptEntrySize || size > kMaxGptArrayBytes) return;
  const std::uint64_t arrayBytes = count * size;  // both below 2^32: no overflow
  if (arrayBytes == 0 || arrayBytes > kMaxGptArrayBytes) return;
  // Whole sectors, as a physical disk only reads whole sectors.
  const std::uint64_t readBytes =
      (arrayBytes + media::kSectorSize - 1) / media::kSectorSize * media::kSectorSize;
  const std::uint64_t arraySector = (headerSector + 1) * unit;
  std::vector<std::uint8_t> block(readBytes);
  if (!ReadWholeSectors(disk, logicalSize, arraySector, block.data(),
                        static_cast<std::uint32_t>(readBytes))) {
    ShowReadError(window, disk, arraySector);
    return;
  }
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = block.data() + i * size;  // i * size + size <= arrayBytes
    if (IsEmptyTypeGuid(entry)) continue;
    const std::uint64_t first = ReadU64LE(entry + kEntryFirst);
    const std::uint64_t last = ReadU64LE(entry + kEntryLast);
    if (last < first || last - first == std::numeric_limits<std::uint64_t>::max()) continue;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (first > kMax / unit || last - first + 1 > kMax / unit) continue;
    if (first * unit >= disk.NBSctDisque) continue;  // not a partition of this disk
    slots.Add(0xEE, first * unit, (last - first + 1) * unit);
  }
}

}  // namespace kalvorin::detect
