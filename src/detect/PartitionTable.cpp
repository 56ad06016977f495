#include "detect/PartitionTable.h"

#include <array>
#include <optional>
#include <vector>

#include "detect/Gpt.h"
#include "detect/PartitionSlots.h"
#include "detect/SectorReader.h"

namespace kalvorin::detect {
namespace {

constexpr std::size_t kFirstEntry = 446;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kEntryType = 4;
constexpr std::size_t kEntryStart = 8;
constexpr std::size_t kEntryCount = 12;
constexpr std::uint8_t kTypeFree = 0x00;
constexpr std::uint8_t kTypeExtended = 0x05;
constexpr std::uint8_t kTypeExtendedLba = 0x0F;
constexpr std::uint8_t kTypeProtective = 0xEE;

// Table sectors read for one disk, the MBR included. Far more extended boot
// records than any real disk holds, yet a looping or endless chain stops.
constexpr std::size_t kMaxTableSectors = 256;

bool HasMark(const std::array<std::uint8_t, media::kSectorSize>& sector) {
  return sector[510] == 0x55 && (sector[511] == 0xAA || sector[511] == 0xBB);
}

bool IsExtended(std::uint8_t type) { return type == kTypeExtended || type == kTypeExtendedLba; }

}  // namespace

// The MBR's entries are absolute. Its first extended entry (0x05 or 0x0F)
// starts the chain of extended boot records. In an extended boot record a
// data entry starts at that record's own sector plus its start field, and an
// extended entry links to the next record at the MBR's extended start plus
// its start field. A 0xEE entry reads the GPT and ends the walk; the slots
// found before it stay.
//
// Only entries that start inside the disk are partitions of it: boot code of
// a file system written over the entry area (exFAT fills it with 0xFF bytes,
// BitLocker and others leave code there) would otherwise give volumes and
// read errors at sectors the disk does not have. Such an entry gives no slot,
// a link past the end is not followed, a 0xEE entry past the end reads no GPT.
// An entry that starts inside and runs past the end is still listed.
//
// Positions and counts of the tables are in the disk's logical sectors
// (4096 bytes on some disks); the slots, like every sector number of the
// program, are in sectors of 512 bytes.
bool ReadPartitionTable(device::Platform& platform, media::WindowPort& window,
                        media::InSupport& identity, media::listeSupport& disk) {
  MediumScope medium(platform, disk);
  SlotList slots(identity);
  const std::uint32_t logicalSize = LogicalSectorSize(disk);
  if (logicalSize == 0) return false;
  const std::uint64_t unit = logicalSize / media::kSectorSize;  // 1..128
  const std::uint64_t capacity = disk.NBSctDisque;
  // Every logical position below is under 2^34, so unit times it cannot overflow.
  const auto inside = [capacity, unit](std::uint64_t first) { return first * unit < capacity; };
  std::optional<std::uint64_t> extendedStart;
  std::vector<std::uint64_t> visited;
  std::uint64_t sector = 0;  // below 2^33: a 32-bit base plus a 32-bit start
  for (std::size_t tables = 0; tables < kMaxTableSectors; ++tables) {
    std::array<std::uint8_t, media::kSectorSize> table{};
    if (!ReadWholeSectors(disk, logicalSize, sector * unit, table.data(), media::kSectorSize)) {
      ShowReadError(window, disk, sector * unit);
      return false;
    }
    if (!HasMark(table)) return false;
    visited.push_back(sector);
    const bool isMbr = tables == 0;
    std::optional<std::uint64_t> next;
    for (int e = 0; e < 4; ++e) {
      const std::uint8_t* entry = &table[kFirstEntry + static_cast<std::size_t>(e) * kEntrySize];
      const std::uint8_t type = entry[kEntryType];
      const std::uint64_t start = ReadU32LE(entry + kEntryStart);
      const std::uint64_t count = ReadU32LE(entry + kEntryCount);
      if (type == kTypeFree) continue;
      if (type == kTypeProtective) {
        if (!inside(start)) continue;
        ReadGpt(window, disk, logicalSize, start, slots);
        return true;
      }
      if (IsExtended(type)) {
        if (isMbr && !extendedStart) {
          if (!inside(start)) continue;
          extendedStart = start;
          next = start;
        } else if (!isMbr && !next) {
          // A link past the end ends the chain with the drives found so far.
          if (!inside(*extendedStart + start)) continue;
          next = *extendedStart + start;
        }
        continue;
      }
      const std::uint64_t first = isMbr ? start : sector + start;
      if (inside(first)) slots.Add(type, first * unit, count * unit);
    }
    if (!next) return true;
    for (const std::uint64_t seen : visited) {
      if (seen == *next) return true;
    }
    sector = *next;
  }
  return true;
}

}  // namespace kalvorin::detect
