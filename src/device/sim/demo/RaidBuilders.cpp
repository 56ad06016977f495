#include "device/sim/demo/RaidBuilders.h"

#include "device/sim/demo/ImageFile.h"

namespace kalvorin::demo {
namespace {

constexpr std::uint32_t kMagic = 0xA92B4EFC;

void PutLe(std::uint8_t* p, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t GetLe(const std::uint8_t* p, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

// The version-1 checksum over the superblock and its device-role table.
std::uint32_t Version1Checksum(const std::vector<std::uint8_t>& sb, std::size_t size) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i + 4 <= size; i += 4) {
    if (i != 216) sum += GetLe(&sb[i], 4);
  }
  return static_cast<std::uint32_t>((sum & 0xFFFFFFFF) + (sum >> 32));
}

}  // namespace

std::uint64_t MdSuperblockSector(MdFormat format, std::uint64_t memberSectors) {
  switch (format) {
    case MdFormat::k0_90:
      return (memberSectors & ~std::uint64_t{127}) - 128;
    case MdFormat::k1_0:
      return (memberSectors - 16) & ~std::uint64_t{7};
    case MdFormat::k1_1:
      return 0;
    case MdFormat::k1_2:
      return 8;
  }
  return 0;
}

std::vector<std::uint8_t> MakeMdSuperblock(const MdMemberSpec& spec, std::uint64_t memberSectors) {
  std::vector<std::uint8_t> sb(4096, 0);
  PutLe(&sb[0], kMagic, 4);
  if (spec.format == MdFormat::k0_90) {
    PutLe(&sb[4], 0, 4);
    PutLe(&sb[8], 90, 4);
    PutLe(&sb[20], 0x6B8B4567, 4);  // set_uuid0
    PutLe(&sb[28], static_cast<std::uint32_t>(spec.level), 4);
    PutLe(&sb[32], (memberSectors & ~std::uint64_t{127}) / 2 - 64, 4);  // size in KiB
    PutLe(&sb[36], spec.raidDisks, 4);
    PutLe(&sb[40], spec.raidDisks, 4);
    PutLe(&sb[256], spec.layout, 4);  // personality section
    PutLe(&sb[260], spec.chunkSectors * 512, 4);
    return sb;
  }
  const std::uint64_t superblockSector = MdSuperblockSector(spec.format, memberSectors);
  PutLe(&sb[4], 1, 4);
  for (int i = 0; i < 16; ++i) sb[16 + i] = static_cast<std::uint8_t>(0x5A + 7 * i);  // set_uuid
  const std::string name = "demo:0";
  for (std::size_t i = 0; i < name.size(); ++i) sb[32 + i] = static_cast<std::uint8_t>(name[i]);
  PutLe(&sb[64], 1700000000, 8);  // creation time
  PutLe(&sb[72], static_cast<std::uint32_t>(spec.level), 4);
  PutLe(&sb[76], spec.layout, 4);
  const std::uint64_t dataSize =
      spec.format == MdFormat::k1_0 ? superblockSector : memberSectors - spec.dataOffset;
  PutLe(&sb[80], dataSize, 8);
  PutLe(&sb[88], spec.chunkSectors, 4);
  PutLe(&sb[92], spec.raidDisks, 4);
  PutLe(&sb[128], spec.dataOffset, 8);
  PutLe(&sb[136], dataSize, 8);
  PutLe(&sb[144], superblockSector, 8);
  PutLe(&sb[160], spec.deviceNumber, 4);
  for (int i = 0; i < 16; ++i)
    sb[168 + i] = static_cast<std::uint8_t>(0x11 * (i + 1));  // device_uuid
  PutLe(&sb[192], 1700000100, 8);                             // update time
  PutLe(&sb[200], 1, 8);                                      // events
  PutLe(&sb[208], ~std::uint64_t{0}, 8);
  const std::uint32_t roles = spec.raidDisks > 384 ? 384 : spec.raidDisks;
  PutLe(&sb[220], roles, 4);  // max_dev
  for (std::uint32_t i = 0; i < roles; ++i) PutLe(&sb[256 + 2 * i], i, 2);
  PutLe(&sb[216], Version1Checksum(sb, 256 + 2 * std::size_t{roles}), 4);
  return sb;
}

bool WriteMdMember(const std::string& path, std::uint64_t first, std::uint64_t sectors,
                   const MdMemberSpec& spec) {
  const std::uint64_t sector = first + MdSuperblockSector(spec.format, sectors);
  return WriteAt(path, sector * 512, MakeMdSuperblock(spec, sectors));
}

}  // namespace kalvorin::demo
