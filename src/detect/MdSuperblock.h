// The Linux md superblock (metadata format 1; the same magic marks 0.90).
#pragma once

#include <cstdint>

#include "detect/VolumeDetection.h"
#include "media/Records.h"

namespace kalvorin::detect {

inline constexpr std::uint32_t kMdMagic = 0xA92B4EFC;

struct MdMember {
  std::uint32_t majorVersion = 0;
  std::int32_t level = 0;
  std::uint32_t layout = 0;
  std::uint32_t chunkSectors = 0;
  std::uint32_t raidDisks = 0;
  std::uint64_t dataOffset = 0;  // sectors from the start of the member
  std::uint32_t deviceNumber = 0;
};

MdMember DecodeMdSuperblock(const RaidSuperblock& superblock);

// Sets LibelleVolume and InfoVolume of an md member: "ID n - RAID l (d HD) -
// Début Raid au sct o" in both, then InfoVolume becomes the parity layout and
// chunk size when a chunk size is given.
void DescribeMdMember(const MdMember& member, media::InSupport& identity);

}  // namespace kalvorin::detect
