// Linux md superblocks written into image files, where each metadata format
// puts them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvorin::demo {

enum class MdFormat { k0_90, k1_0, k1_1, k1_2 };

struct MdMemberSpec {
  MdFormat format = MdFormat::k1_2;
  std::int32_t level = 5;
  std::uint32_t layout = 2;
  std::uint32_t chunkSectors = 128;
  std::uint32_t raidDisks = 4;
  std::uint64_t dataOffset = 2048;  // sectors from the member's start
  std::uint32_t deviceNumber = 0;
};

// The sector, counted from the member's start, where `format` keeps its
// superblock on a member of `memberSectors` sectors.
std::uint64_t MdSuperblockSector(MdFormat format, std::uint64_t memberSectors);

// The superblock's 4096 bytes (format 1: a version-1 superblock with a valid
// checksum; 0.90: a version-0 one).
std::vector<std::uint8_t> MakeMdSuperblock(const MdMemberSpec& spec, std::uint64_t memberSectors);

// Writes the superblock of a member occupying [first, first + sectors) of an
// existing image.
bool WriteMdMember(const std::string& path, std::uint64_t first, std::uint64_t sectors,
                   const MdMemberSpec& spec);

}  // namespace kalvorin::demo
