#include "device/sim/demo/PartitionBuilders.h"

#include <algorithm>
#include <cstdlib>

#include "device/sim/demo/ImageFile.h"

namespace kalvorin::demo {
namespace {

void PutLe(std::uint8_t* p, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

constexpr std::uint64_t kHeaderSize = 92;

std::vector<std::uint8_t> MakeGptHeader(std::uint64_t myLba, std::uint64_t alternateLba,
                                        std::uint64_t firstUsable, std::uint64_t lastUsable,
                                        std::uint64_t arrayLba, const GptLayout& layout,
                                        std::uint32_t arrayCrc) {
  std::vector<std::uint8_t> header(512, 0);
  std::copy_n("EFI PART", 8, header.begin());
  PutLe(&header[8], 0x00010000, 4);
  PutLe(&header[12], kHeaderSize, 4);
  PutLe(&header[24], myLba, 8);
  PutLe(&header[32], alternateLba, 8);
  PutLe(&header[40], firstUsable, 8);
  PutLe(&header[48], lastUsable, 8);
  const Guid diskGuid = GuidFromText("5A1E0B2C-3D4F-4A6B-8C9D-0E1F2A3B4C5D");
  std::copy(diskGuid.begin(), diskGuid.end(), header.begin() + 56);
  PutLe(&header[72], arrayLba, 8);
  PutLe(&header[80], layout.entryCount, 4);
  PutLe(&header[84], layout.entrySize, 4);
  PutLe(&header[88], arrayCrc, 4);
  PutLe(&header[16], Crc32(header.data(), kHeaderSize), 4);
  return header;
}

}  // namespace

std::vector<std::uint8_t> MakeTableSector(const std::vector<MbrEntry>& entries, std::uint8_t mark) {
  std::vector<std::uint8_t> sector(512, 0);
  for (std::size_t i = 0; i < entries.size() && i < 4; ++i) {
    std::uint8_t* entry = &sector[446 + i * 16];
    entry[0] = entries[i].status;
    // CHS fields: the "use the LBA fields" value.
    entry[1] = entry[5] = 0xFE;
    entry[2] = entry[6] = 0xFF;
    entry[3] = entry[7] = 0xFF;
    entry[4] = entries[i].type;
    PutLe(entry + 8, entries[i].start, 4);
    PutLe(entry + 12, entries[i].count, 4);
  }
  sector[510] = 0x55;
  sector[511] = mark;
  return sector;
}

bool WriteTableSector(const std::string& path, std::uint64_t sector,
                      const std::vector<MbrEntry>& entries, std::uint8_t mark) {
  return WriteAt(path, sector * 512, MakeTableSector(entries, mark));
}

bool WriteExtendedLayout(const std::string& path, const std::vector<MbrEntry>& primaries,
                         std::uint8_t extendedType, std::uint32_t extendedStart,
                         std::uint32_t extendedCount, const std::vector<LogicalDrive>& logicals) {
  std::vector<MbrEntry> mbr = primaries;
  mbr.push_back({extendedType, extendedStart, extendedCount});
  if (!WriteTableSector(path, 0, mbr)) return false;
  for (std::size_t i = 0; i < logicals.size(); ++i) {
    const LogicalDrive& drive = logicals[i];
    std::vector<MbrEntry> record{{drive.type, drive.first - drive.recordSector, drive.count}};
    if (i + 1 < logicals.size()) {
      const LogicalDrive& next = logicals[i + 1];
      record.push_back(
          {0x05, next.recordSector - extendedStart, next.first + next.count - next.recordSector});
    }
    if (!WriteTableSector(path, drive.recordSector, record)) return false;
  }
  return true;
}

Guid GuidFromText(const std::string& text) {
  std::string hex;
  for (const char c : text) {
    if (c != '-') hex += c;
  }
  hex.resize(32, '0');
  std::array<std::uint8_t, 16> plain{};
  for (std::size_t i = 0; i < 16; ++i) {
    plain[i] = static_cast<std::uint8_t>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
  }
  // The first three groups are stored least significant byte first.
  return {plain[3], plain[2], plain[1],  plain[0],  plain[5],  plain[4],  plain[7],  plain[6],
          plain[8], plain[9], plain[10], plain[11], plain[12], plain[13], plain[14], plain[15]};
}

const Guid kGuidLinuxData = GuidFromText("0FC63DAF-8483-4772-8E79-3D69D8477DE4");
const Guid kGuidBasicData = GuidFromText("EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
const Guid kGuidEfiSystem = GuidFromText("C12A7328-F81F-11D2-BA4B-00A0C93EC93B");
const Guid kGuidLinuxRaid = GuidFromText("A19D880F-05FC-4D3B-A006-743F0F84911E");

bool WriteGpt(const std::string& path, std::uint64_t diskSectors,
              const std::vector<GptPartition>& partitions, const GptLayout& layout) {
  const std::uint64_t arrayBytes = std::uint64_t{layout.entryCount} * layout.entrySize;
  const std::uint64_t arraySectors = (arrayBytes + 511) / 512;
  if (diskSectors < 2 * arraySectors + 4) return false;
  std::vector<std::uint8_t> array(arraySectors * 512, 0);
  for (std::size_t i = 0; i < partitions.size(); ++i) {
    const std::uint64_t slot = i < layout.slots.size() ? layout.slots[i] : i;
    if (slot >= layout.entryCount || layout.entrySize < 128) return false;
    std::uint8_t* entry = &array[slot * layout.entrySize];
    const GptPartition& partition = partitions[i];
    std::copy(partition.type.begin(), partition.type.end(), entry);
    // A unique GUID per entry, told apart by its last byte.
    Guid unique = GuidFromText("7C3B9E12-45AD-4F60-9A81-D2E4F6A8B000");
    unique[15] = static_cast<std::uint8_t>(i + 1);
    std::copy(unique.begin(), unique.end(), entry + 16);
    PutLe(entry + 32, partition.first, 8);
    PutLe(entry + 40, partition.last, 8);
    for (std::size_t c = 0; c < partition.name.size() && c < 36; ++c) {
      entry[56 + 2 * c] = static_cast<std::uint8_t>(partition.name[c]);
    }
  }
  const std::uint32_t arrayCrc = Crc32(array.data(), static_cast<std::size_t>(arrayBytes));
  const std::uint64_t lastLba = diskSectors - 1;
  const std::uint64_t firstUsable = 2 + arraySectors;
  const std::uint64_t lastUsable = lastLba - 1 - arraySectors;
  const std::uint64_t backupArray = lastLba - arraySectors;

  std::vector<MbrEntry> mbr = layout.hybridMbr;
  if (mbr.empty()) {
    mbr.push_back(
        {0xEE, 1, static_cast<std::uint32_t>(std::min<std::uint64_t>(lastLba, 0xFFFFFFFF))});
  }
  return WriteTableSector(path, 0, mbr) &&
         WriteAt(path, 512,
                 MakeGptHeader(1, lastLba, firstUsable, lastUsable, 2, layout, arrayCrc)) &&
         WriteAt(path, 2 * 512, array) && WriteAt(path, backupArray * 512, array) &&
         WriteAt(path, lastLba * 512,
                 MakeGptHeader(lastLba, 1, firstUsable, lastUsable, backupArray, layout, arrayCrc));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

}  // namespace kalvorin::demo
