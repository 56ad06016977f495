// File-system signatures written at the start of an extent of an image file:
// enough of each format's first blocks for detection, not a usable volume.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvorin::demo {

enum class ExtKind { kExt2, kExt3, kExt4 };

struct ExtVolume {
  ExtKind kind = ExtKind::kExt4;
  std::string volumeName;   // at most 16 bytes, written as given (8-bit)
  std::string lastMounted;  // at most 64 bytes
};

struct FatVolume {
  bool fat32 = true;                 // FAT32 layout, else FAT16
  std::string oemName = "MSDOS5.0";  // 8 bytes, blank-padded
  std::string label = "NO NAME";     // 11 bytes, blank-padded
  bool extendedBpb = true;           // the 0x29 signature and its fields
};

// Each builder returns the first bytes of the volume (a buffer of at least
// 4096 bytes, zero where the format has nothing to say); `sectors` is the
// volume's size.
std::vector<std::uint8_t> MakeExtVolume(const ExtVolume& volume, std::uint64_t sectors);
std::vector<std::uint8_t> MakeFatVolume(const FatVolume& volume, std::uint64_t sectors);
std::vector<std::uint8_t> MakeNtfsVolume(std::uint64_t sectors);
std::vector<std::uint8_t> MakeHfsPlusVolume(std::uint64_t sectors);
std::vector<std::uint8_t> MakeXfsVolume(std::uint64_t sectors);

// Writes `volume` at sector `first` of an existing image.
bool WriteVolume(const std::string& path, std::uint64_t first,
                 const std::vector<std::uint8_t>& volume);

}  // namespace kalvorin::demo
