#include "detect/SectorReader.h"

#include <cstdio>
#include <limits>
#include <string>

#include "device/WindowsLayouts.h"

namespace kalvorin::detect {

void OpenMedium(device::Platform& platform, media::listeSupport& node) {
  node.HandleSupport.reset();
  std::string path;
  if (node.TypeSupport == media::kPhysical) {
    char name[40];
    std::snprintf(name, sizeof name, "\\\\.\\PHYSICALDRIVE%d", node.NumDisque);
    path = name;
  } else if (node.TypeSupport == media::kImage) {
    path = node.CheminImage;
  } else {
    return;
  }
  // Detection only reads.
  node.HandleSupport = platform.Open(path, device::Access::Inspect, device::Share::ReadWrite,
                                     device::Disposition::OpenExisting);
}

void CloseMedium(media::listeSupport& node) { node.HandleSupport.reset(); }

bool ReadSectors(media::listeSupport& node, std::uint64_t lba, std::uint8_t* buffer,
                 std::uint32_t byteCount) {
  if (!node.HandleSupport || buffer == nullptr || byteCount > kMaxReadBytes) return false;
  constexpr std::uint64_t kLastAddressable =
      std::numeric_limits<std::uint64_t>::max() / media::kSectorSize;
  if (lba > kLastAddressable) return false;
  const std::uint64_t offset = lba * media::kSectorSize;
  // The end of the read must be addressable as well.
  if (byteCount > std::numeric_limits<std::uint64_t>::max() - offset) return false;
  if (!node.HandleSupport->Seek(offset)) return false;
  std::uint32_t transferred = 0;
  node.HandleSupport->Read(buffer, byteCount, transferred);
  return transferred == byteCount;
}

std::uint16_t ReadU16LE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32LE(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t ReadU64LE(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(ReadU32LE(p)) |
         (static_cast<std::uint64_t>(ReadU32LE(p + 4)) << 32);
}

void ShowReadError(media::WindowPort& window, const media::listeSupport& node,
                   std::uint64_t sector) {
  window.MessageBox(
      "Erreur Lecture Support " + node.Libelle + " au Secteur " + std::to_string(sector),
      "Erreur Lecture Support", device::kMbTaskModal | device::kMbIconError);
}

}  // namespace kalvorin::detect
