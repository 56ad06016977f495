#include "detect/MdSuperblock.h"

#include <string>

#include "detect/SectorReader.h"

namespace kalvorin::detect {
namespace {

std::string LevelText(std::int32_t level) {
  switch (level) {
    case 0:
      return " - RAID 0 Striped";
    case 1:
      return " - RAID 1";
    case 4:
      return " - RAID 4";
    case 5:
      return " - RAID 5";
    case 6:
      return " - RAID 6";
    case 10:
      return " - RAID 10";
    default:
      return "";
  }
}

const char* LayoutText(std::uint32_t layout) {
  switch (layout) {
    case 0:
      return "Gauche Asymétrique ";
    case 1:
      return "Droite Asymétrique ";
    case 2:
      return "Gauche Symétrique ";
    case 3:
      return "Droite Symétrique ";
    default:
      return nullptr;
  }
}

}  // namespace

MdMember DecodeMdSuperblock(const RaidSuperblock& superblock) {
  const std::uint8_t* sb = superblock.data();
  MdMember member;
  member.majorVersion = ReadU32LE(sb + 4);
  member.level = static_cast<std::int32_t>(ReadU32LE(sb + 72));
  member.layout = ReadU32LE(sb + 76);
  member.chunkSectors = ReadU32LE(sb + 88);
  member.raidDisks = ReadU32LE(sb + 92);
  member.dataOffset = ReadU64LE(sb + 128);
  member.deviceNumber = ReadU32LE(sb + 160);
  return member;
}

void DescribeMdMember(const MdMember& member, media::InSupport& identity) {
  identity.InfoVolume = "ID " + std::to_string(member.deviceNumber) + LevelText(member.level) +
                        " (" + std::to_string(member.raidDisks) + " HD)" + " - Début Raid au sct " +
                        std::to_string(member.dataOffset);
  identity.LibelleVolume = identity.InfoVolume;
  if (member.chunkSectors == 0) return;
  const std::string chunk = std::to_string(member.chunkSectors) + " Sct";
  if (const char* layout = LayoutText(member.layout)) {
    identity.InfoVolume = layout + chunk;
  } else {
    // Layouts with no parity text (RAID 10's near/far copies, for example)
    // keep the member's description and show the chunk size after it.
    identity.InfoVolume += " - " + chunk;
  }
}

}  // namespace kalvorin::detect
