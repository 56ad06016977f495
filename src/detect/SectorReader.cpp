#include "detect/SectorReader.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

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
  node.HandleSupport = platform.Open(path, device::Access::ReadWrite, device::Share::ReadWrite,
                                     device::Disposition::OpenExisting);
}

void CloseMedium(media::listeSupport& node) { node.HandleSupport.reset(); }

namespace {

// ReadSectors without the bound on byteCount.
bool ReadUnbounded(media::listeSupport& node, std::uint64_t lba, std::uint8_t* buffer,
                   std::uint32_t byteCount) {
  if (!node.HandleSupport || buffer == nullptr) return false;
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

}  // namespace

bool ReadSectors(media::listeSupport& node, std::uint64_t lba, std::uint8_t* buffer,
                 std::uint32_t byteCount) {
  return byteCount <= kMaxReadBytes && ReadUnbounded(node, lba, buffer, byteCount);
}

std::uint32_t LogicalSectorSize(media::listeSupport& node) {
  namespace ge = device::geometry_ex;
  if (!node.HandleSupport || node.TypeSupport != media::kPhysical) return media::kSectorSize;
  std::array<std::uint8_t, ge::kSize> geometry{};
  std::uint32_t returned = 0;
  if (!node.HandleSupport->DeviceIoControl(device::kIoctlDiskGetDriveGeometryEx, nullptr, 0,
                                           geometry.data(), ge::kSize, returned) ||
      returned < ge::kBytesPerSector + 4) {
    return media::kSectorSize;
  }
  const std::uint32_t size = device::GetU32(&geometry[ge::kBytesPerSector]);
  const bool powerOfTwo = (size & (size - 1)) == 0;
  return size >= 512 && size <= 65536 && powerOfTwo ? size : 0;
}

bool ReadWholeSectors(media::listeSupport& node, std::uint32_t logicalSize, std::uint64_t lba,
                      std::uint8_t* buffer, std::uint32_t byteCount) {
  const std::uint32_t perSector = logicalSize / media::kSectorSize;
  if (perSector <= 1) return ReadSectors(node, lba, buffer, byteCount);
  if (buffer == nullptr || byteCount > kMaxReadBytes) return false;
  // In 512-byte sectors: the span [first, last) of whole logical sectors.
  const std::uint64_t first = lba - lba % perSector;
  const std::uint64_t asked = (byteCount + media::kSectorSize - 1) / media::kSectorSize;
  if (lba > std::numeric_limits<std::uint64_t>::max() - asked - perSector) return false;
  std::uint64_t last = lba + asked;
  if (last % perSector != 0) last += perSector - last % perSector;
  const std::uint64_t spanBytes = (last - first) * media::kSectorSize;  // <= 1 MiB + 128 KiB
  std::vector<std::uint8_t> span(static_cast<std::size_t>(spanBytes));
  if (!ReadUnbounded(node, first, span.data(), static_cast<std::uint32_t>(spanBytes))) {
    return false;
  }
  std::memcpy(buffer, span.data() + (lba - first) * media::kSectorSize, byteCount);
  return true;
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
