#include <cstring>
#include <string>

#include "detect/FileSystemProbes.h"
#include "detect/SectorReader.h"
#include "media/Text.h"

namespace kalvorin::detect {
namespace {

constexpr std::size_t kOemName = 3;
constexpr char kMsdos[] = "MSDOS";
// BPB: sectors per FAT in 16 bits; 0 on FAT32, whose extended BPB follows a
// longer BPB.
constexpr std::size_t kFatSize16 = 22;
constexpr std::uint8_t kExtendedBootSignature = 0x29;

// Where the extended BPB keeps its fields (FAT12/16, FAT32).
struct ExtendedBpb {
  std::size_t signature;
  std::size_t label;  // 11 bytes, blank-padded
  std::size_t type;   // 8 bytes, blank-padded: "FAT12   ", "FAT16   ", "FAT32   "
};
constexpr ExtendedBpb kFat16Bpb{38, 43, 54};
constexpr ExtendedBpb kFat32Bpb{66, 71, 82};

// The bytes of a blank-padded field up to the first blank or zero byte.
std::string FieldUpToBlank(const std::uint8_t* field, std::size_t size) {
  std::size_t n = 0;
  while (n < size && field[n] != ' ' && field[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(field), n);
}

// The bytes of a blank-padded field up to the first zero, trailing blanks cut.
std::string FieldTrimmed(const std::uint8_t* field, std::size_t size) {
  std::string text = media::FixedField(field, size);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

// An MSDOS-formatted volume. Column 0 shows the extended BPB's file-system
// type ("FAT12", "FAT16", "FAT32"), column 1 its volume label. The extended
// BPB lies after the FAT32 BPB when the 16-bit FAT size is 0, after the
// FAT12/16 BPB otherwise; without its 0x29 signature those bytes are boot
// code, and the volume shows "FAT" with an empty column 1. A blank type
// field shows "FAT" as well.
bool ProbeFat(media::InSupport& identity, const std::uint8_t* buffer) {
  if (std::memcmp(buffer + kOemName, kMsdos, 5) != 0) return false;
  const ExtendedBpb& bpb = ReadU16LE(buffer + kFatSize16) == 0 ? kFat32Bpb : kFat16Bpb;
  identity.TypeVolume = media::kVolumeFat;
  identity.LibelleVolume = "FAT";
  identity.InfoVolume.clear();
  if (buffer[bpb.signature] != kExtendedBootSignature) return true;
  const std::string type = FieldUpToBlank(buffer + bpb.type, 8);
  if (!type.empty()) identity.LibelleVolume = media::AnsiToUtf8(type);
  identity.InfoVolume = media::AnsiToUtf8(FieldTrimmed(buffer + bpb.label, 11));
  return true;
}

}  // namespace kalvorin::detect
