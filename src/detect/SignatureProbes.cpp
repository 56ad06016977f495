#include <cstring>

#include "detect/FileSystemProbes.h"

namespace kalvorin::detect {
namespace {

bool Matches(const std::uint8_t* buffer, std::size_t offset, const char* signature,
             std::size_t size) {
  return std::memcmp(buffer + offset, signature, size) == 0;
}

}  // namespace

// These three keep column 1 as it was, so a RAID 1 member holding one of
// them still shows its array there.

// NTFS: OEM identifier "NTFS" at byte 3.
bool ProbeNtfs(media::InSupport& identity, const std::uint8_t* buffer) {
  if (!Matches(buffer, 3, "NTFS", 4)) return false;
  identity.TypeVolume = media::kVolumeNtfs;
  identity.LibelleVolume = "NTFS";
  return true;
}

// HFS+: volume header signature "H+" at byte 1024.
bool ProbeHfsPlus(media::InSupport& identity, const std::uint8_t* buffer) {
  if (!Matches(buffer, 1024, "H+", 2)) return false;
  identity.TypeVolume = media::kVolumeHfsPlus;
  identity.LibelleVolume = "HFS+";
  return true;
}

// XFS: superblock magic "XFSB" (big-endian) at byte 0.
bool ProbeXfs(media::InSupport& identity, const std::uint8_t* buffer) {
  if (!Matches(buffer, 0, "XFSB", 4)) return false;
  identity.TypeVolume = media::kVolumeXfs;
  identity.LibelleVolume = "XFS";
  return true;
}

}  // namespace kalvorin::detect
