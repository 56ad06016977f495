#include "detect/VolumeDetection.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "detect/FileSystem.h"
#include "detect/MdSuperblock.h"
#include "detect/SectorReader.h"

namespace kalvorin::detect {
namespace {

constexpr std::uint64_t kMaxSector = std::numeric_limits<std::uint64_t>::max();
constexpr std::int32_t kLevelMirror = 1;

bool HasMdMagic(const std::uint8_t* p) { return ReadU32LE(p) == kMdMagic; }

// A superblock position near the end of the extent: the sector that lies
// `back` sectors before the extent's size rounded down to `alignment`.
struct EndPosition {
  std::uint64_t alignment;
  std::uint64_t back;
  std::uint32_t readBytes;
};

// Format 1.0 sits 8 to 12 KiB before the end (read 4 KiB when the size
// modulo 16 is 8 or more, 8 KiB otherwise); format 0.90 in the last
// 64 KiB-aligned block of 64 KiB.
constexpr EndPosition kEndPositions[] = {{16, 8, 4096}, {16, 16, 8192}, {128, 128, 8192}};

// The absolute sector of `position` in the node's extent, or nullopt when it
// falls before the extent's first sector, past the addressable range, or not
// below the medium's sector count. The read then stays inside the extent.
std::optional<std::uint64_t> EndPositionSector(const media::listeSupport& node,
                                               const EndPosition& position) {
  const std::uint64_t aligned = node.NBSct / position.alignment * position.alignment;
  if (aligned < position.back) return std::nullopt;
  const std::uint64_t relative = aligned - position.back;
  if (relative > kMaxSector - node.FirstSct) return std::nullopt;
  const std::uint64_t sector = node.FirstSct + relative;
  if (node.NBSctDisque <= sector) return std::nullopt;
  return sector;
}

}  // namespace

std::optional<RaidSuperblock> FindRaidSuperblock(media::WindowPort& window,
                                                 media::listeSupport& node,
                                                 const std::uint8_t* workBuffer,
                                                 std::uint32_t logicalSize) {
  RaidSuperblock found{};
  // Format 1.2 lies 4 KiB into the extent, format 1.1 at its start.
  for (const std::size_t offset : {std::size_t{4096}, std::size_t{0}}) {
    if (HasMdMagic(workBuffer + offset)) {
      std::copy_n(workBuffer + offset, found.size(), found.begin());
      return found;
    }
  }
  std::vector<std::uint8_t> superblock(8192);
  for (const EndPosition& position : kEndPositions) {
    const auto sector = EndPositionSector(node, position);
    if (!sector) continue;
    if (!ReadWholeSectors(node, logicalSize, *sector, superblock.data(), position.readBytes)) {
      ShowReadError(window, node, *sector);
      continue;
    }
    if (HasMdMagic(superblock.data())) {
      std::copy_n(superblock.begin(), found.size(), found.begin());
      return found;
    }
  }
  return std::nullopt;
}

bool DetectVolume(device::Platform& platform, media::WindowPort& window, media::InSupport& identity,
                  media::listeSupport& node) {
  identity.TypeVolume = media::kVolumeUnknown;
  identity.LibelleVolume = "INCONNU";
  identity.InfoVolume.clear();
  identity.FirstSctRaid = 0;
  MediumScope medium(platform, node);
  // md places its superblocks and counts its data offset in 512-byte
  // sectors whatever the disk's logical sector size; only the reads keep to
  // whole logical sectors.
  const std::uint32_t logicalSize = LogicalSectorSize(node);
  if (logicalSize == 0) return false;
  std::vector<std::uint8_t> work(kWorkBufferBytes);
  if (!ReadWholeSectors(node, logicalSize, node.FirstSct, work.data(), kWorkBufferBytes)) {
    ShowReadError(window, node, node.FirstSct);
    return true;
  }
  if (const auto superblock = FindRaidSuperblock(window, node, work.data(), logicalSize)) {
    const MdMember member = DecodeMdSuperblock(*superblock);
    if (member.majorVersion == 1) {
      DescribeMdMember(member, identity);
      // A data offset that does not fit ends past every medium: the read
      // below then fails instead of wrapping to the start of the disk.
      identity.FirstSctRaid = member.dataOffset > kMaxSector - node.FirstSct
                                  ? kMaxSector
                                  : node.FirstSct + member.dataOffset;
      if (member.level != kLevelMirror) return true;
      if (!ReadWholeSectors(node, logicalSize, identity.FirstSctRaid, work.data(),
                            kWorkBufferBytes)) {
        ShowReadError(window, node, identity.FirstSctRaid);
        return true;
      }
    }
  }
  return IdentifyFileSystem(identity, work.data());
}

}  // namespace kalvorin::detect
