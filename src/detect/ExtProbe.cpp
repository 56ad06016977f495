#include <cstring>

#include "detect/FileSystemProbes.h"
#include "detect/SectorReader.h"
#include "media/Text.h"

namespace kalvorin::detect {
namespace {

// Superblock at byte 1024 of the volume; offsets from the buffer's start.
constexpr std::size_t kMagic = 1024 + 56;
constexpr std::uint16_t kExtMagic = 0xEF53;
constexpr std::size_t kVolumeName = 1024 + 120;
constexpr std::size_t kVolumeNameSize = 16;
constexpr std::size_t kLastMounted = 1024 + 136;
constexpr std::size_t kLastMountedSize = 64;
constexpr std::size_t kJournalBackupType = 1024 + 253;
// First word of the journal inode's block map backup: the extent header
// magic when the journal inode uses extents.
constexpr std::size_t kJournalBlocks = 1024 + 268;
constexpr std::uint16_t kExtentMagic = 0xF30A;

}  // namespace

// No journal: ext2. A journal whose inode uses extents: ext4; block pointers:
// ext3. Column 1: the volume name, or the last mount point when unnamed.
bool ProbeExt(media::InSupport& identity, const std::uint8_t* buffer) {
  if (ReadU16LE(buffer + kMagic) != kExtMagic) return false;
  if (buffer[kJournalBackupType] == 0) {
    identity.TypeVolume = media::kVolumeExt2;
    identity.LibelleVolume = "Linux Ext2";
  } else if ((ReadU32LE(buffer + kJournalBlocks) & 0xFFFF) == kExtentMagic) {
    identity.TypeVolume = media::kVolumeExt4;
    identity.LibelleVolume = "Linux Ext4";
  } else {
    identity.TypeVolume = media::kVolumeExt3;
    identity.LibelleVolume = "Linux Ext3";
  }
  std::string text = media::FixedField(buffer + kVolumeName, kVolumeNameSize);
  if (text.empty()) text = media::FixedField(buffer + kLastMounted, kLastMountedSize);
  identity.InfoVolume = media::AnsiToUtf8(text);
  return true;
}

}  // namespace kalvorin::detect
