// The one checked reader every detection step uses, and the little-endian
// field readers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/Platform.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::detect {

// Opens the node's medium into node.HandleSupport: "\\.\PHYSICALDRIVE%d"
// for TypeSupport 1, CheminImage for 2, nothing otherwise. A failed open
// leaves HandleSupport empty (every ReadSectors then fails).
void OpenMedium(device::Platform& platform, media::listeSupport& node);
// Closes node.HandleSupport (without reporting).
void CloseMedium(media::listeSupport& node);

// Closes the node's medium when it goes out of scope, on every path.
class MediumScope {
 public:
  MediumScope(device::Platform& platform, media::listeSupport& node) : node_(node) {
    OpenMedium(platform, node);
  }
  ~MediumScope() { CloseMedium(node_); }
  MediumScope(const MediumScope&) = delete;
  MediumScope& operator=(const MediumScope&) = delete;

 private:
  media::listeSupport& node_;
};

enum class ReadResult { kOk, kOutsideMedium, kIoError };

// Reads `byteCount` bytes at sector `lba` of the node's open medium into
// `buffer`. True only when exactly that many bytes were read. The offset
// arithmetic cannot overflow: an lba whose byte offset does not fit in 64
// bits fails without any I/O. byteCount is bounded by kMaxReadBytes.
inline constexpr std::uint32_t kMaxReadBytes = 1u << 20;
bool ReadSectors(media::listeSupport& node, std::uint64_t lba, std::uint8_t* buffer,
                 std::uint32_t byteCount);

// The logical sector size of the node's open medium, in bytes, as its
// geometry states it: 512 for a medium that answers no geometry (an image
// file). 0 when the stated size is not a power of two from 512 to 65536:
// nothing of such a medium can be placed, so no volume is looked for on it.
std::uint32_t LogicalSectorSize(media::listeSupport& node);

// ReadSectors through whole logical sectors of `logicalSize` bytes (a valid
// size, see above): the logical sectors that hold the asked bytes are read,
// and only the asked bytes are copied out. A disk with large sectors reads
// nothing smaller than one of them.
bool ReadWholeSectors(media::listeSupport& node, std::uint32_t logicalSize, std::uint64_t lba,
                      std::uint8_t* buffer, std::uint32_t byteCount);

std::uint16_t ReadU16LE(const std::uint8_t* p);
std::uint32_t ReadU32LE(const std::uint8_t* p);
std::uint64_t ReadU64LE(const std::uint8_t* p);

// "Erreur Lecture Support " + node.Libelle + " au Secteur " + sector, caption
// "Erreur Lecture Support", error icon, OK, task-modal.
void ShowReadError(media::WindowPort& window, const media::listeSupport& node,
                   std::uint64_t sector);

}  // namespace kalvorin::detect
