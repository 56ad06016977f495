// Partition tables written into image files: MBR and extended boot records,
// GPT with its protective (or hybrid) MBR.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kalvorin::demo {

// One 16-byte entry of an MBR or extended boot record, fields as stored.
struct MbrEntry {
  std::uint8_t type = 0;
  std::uint32_t start = 0;
  std::uint32_t count = 0;
  std::uint8_t status = 0;
};

// A 512-byte table sector: up to four entries, then 0x55 and `mark`.
std::vector<std::uint8_t> MakeTableSector(const std::vector<MbrEntry>& entries,
                                          std::uint8_t mark = 0xAA);
// Writes a table sector at `sector` of an existing image.
bool WriteTableSector(const std::string& path, std::uint64_t sector,
                      const std::vector<MbrEntry>& entries, std::uint8_t mark = 0xAA);

// One logical drive: its extended boot record's sector and the drive's
// absolute first sector and count (both inside the extended partition).
struct LogicalDrive {
  std::uint32_t recordSector = 0;
  std::uint8_t type = 0x83;
  std::uint32_t first = 0;
  std::uint32_t count = 0;
};

// An MBR with `primaries` followed by one extended entry of `extendedType`
// (0x05 or 0x0F) covering [extendedStart, extendedStart + extendedCount), and
// the chain of extended boot records the usual tools write: in each record
// the drive's start relative to the record, and a 0x05 link relative to the
// extended partition's start. The first record must be at extendedStart.
bool WriteExtendedLayout(const std::string& path, const std::vector<MbrEntry>& primaries,
                         std::uint8_t extendedType, std::uint32_t extendedStart,
                         std::uint32_t extendedCount, const std::vector<LogicalDrive>& logicals);

// A GPT partition type GUID in its on-disk (mixed-endian) byte order.
using Guid = std::array<std::uint8_t, 16>;
// "0FC63DAF-8483-4772-8E79-3D69D8477DE4" style text to on-disk bytes.
Guid GuidFromText(const std::string& text);
extern const Guid kGuidLinuxData;
extern const Guid kGuidBasicData;
extern const Guid kGuidEfiSystem;
extern const Guid kGuidLinuxRaid;

struct GptPartition {
  Guid type{};
  std::uint64_t first = 0;
  std::uint64_t last = 0;  // inclusive
  std::string name;        // ASCII, at most 36 characters
};

struct GptLayout {
  std::uint32_t entryCount = 128;
  std::uint32_t entrySize = 128;
  // Entries written in these slots of the array (default: 0, 1, 2...).
  std::vector<std::uint32_t> slots;
  // MBR entries written instead of the protective one (a hybrid MBR); they
  // must hold a 0xEE entry to be read as a GPT.
  std::vector<MbrEntry> hybridMbr;
};

// A GPT over an image of `diskSectors` sectors: protective MBR, primary
// header at 1 with its entry array from 2, and the backup array and header at
// the end, with valid CRCs so that the usual tools accept it.
bool WriteGpt(const std::string& path, std::uint64_t diskSectors,
              const std::vector<GptPartition>& partitions, const GptLayout& layout = {});

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

}  // namespace kalvorin::demo
