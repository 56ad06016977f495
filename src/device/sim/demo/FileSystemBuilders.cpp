#include "device/sim/demo/FileSystemBuilders.h"

#include <algorithm>

#include "device/sim/demo/ImageFile.h"

namespace kalvorin::demo {
namespace {

constexpr std::size_t kVolumeHead = 4096;

void PutLe(std::uint8_t* p, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutBe(std::uint8_t* p, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

// `text` into a field of `size` bytes, padded with `pad`.
void PutText(std::uint8_t* p, const std::string& text, std::size_t size, char pad) {
  for (std::size_t i = 0; i < size; ++i) {
    p[i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : pad);
  }
}

void PutBootMark(std::vector<std::uint8_t>& volume) {
  volume[510] = 0x55;
  volume[511] = 0xAA;
}

std::uint32_t Clamp32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFF));
}

}  // namespace

std::vector<std::uint8_t> MakeExtVolume(const ExtVolume& volume, std::uint64_t sectors) {
  std::vector<std::uint8_t> bytes(kVolumeHead, 0);
  std::uint8_t* sb = &bytes[1024];
  const std::uint64_t blocks = sectors / 8;                   // 4 KiB blocks
  PutLe(sb + 0, std::max<std::uint64_t>(blocks / 4, 16), 4);  // inodes
  PutLe(sb + 4, blocks, 4);
  PutLe(sb + 24, 2, 4);  // log2(block size) - 10
  PutLe(sb + 32, 32768, 4);
  PutLe(sb + 40, 8192, 4);
  PutLe(sb + 56, 0xEF53, 2);
  PutLe(sb + 58, 1, 2);  // clean
  PutLe(sb + 76, 1, 4);  // dynamic revision
  PutLe(sb + 88, 256, 2);
  PutText(sb + 120, volume.volumeName, 16, '\0');
  PutText(sb + 136, volume.lastMounted, 64, '\0');
  if (volume.kind != ExtKind::kExt2) {
    PutLe(sb + 92, 0x4, 4);  // has_journal
    PutLe(sb + 224, 8, 4);   // journal inode
    sb[253] = 1;             // journal backup: the inode's blocks
    if (volume.kind == ExtKind::kExt4) {
      PutLe(sb + 96, 0x40, 4);  // extents
      // The journal inode's block map: an extent header.
      PutLe(sb + 268, 0xF30A, 2);
      PutLe(sb + 270, 1, 2);
      PutLe(sb + 272, 4, 2);
    } else {
      PutLe(sb + 268, 1234, 4);  // a direct block pointer
    }
  }
  return bytes;
}

std::vector<std::uint8_t> MakeFatVolume(const FatVolume& volume, std::uint64_t sectors) {
  std::vector<std::uint8_t> bytes(kVolumeHead, 0);
  std::uint8_t* b = bytes.data();
  b[0] = 0xEB;
  b[1] = volume.fat32 ? 0x58 : 0x3C;
  b[2] = 0x90;
  PutText(b + 3, volume.oemName, 8, ' ');
  PutLe(b + 11, 512, 2);
  b[13] = 8;                                 // sectors per cluster
  PutLe(b + 14, volume.fat32 ? 32 : 4, 2);   // reserved sectors
  b[16] = 2;                                 // FATs
  PutLe(b + 17, volume.fat32 ? 0 : 512, 2);  // root entries
  if (sectors < 65536) {
    PutLe(b + 19, sectors, 2);
  } else {
    PutLe(b + 32, Clamp32(sectors), 4);
  }
  b[21] = 0xF8;
  PutLe(b + 24, 63, 2);
  PutLe(b + 26, 255, 2);
  const std::uint32_t fatSectors = Clamp32(sectors / 8 * (volume.fat32 ? 4 : 2) / 512 + 1);
  std::size_t ext = 36;
  if (volume.fat32) {
    PutLe(b + 36, fatSectors, 4);
    PutLe(b + 44, 2, 4);  // root cluster
    PutLe(b + 48, 1, 2);  // FSInfo
    PutLe(b + 50, 6, 2);  // backup boot sector
    ext = 64;
  } else {
    PutLe(b + 22, fatSectors, 2);
  }
  b[ext] = 0x80;  // drive number
  if (volume.extendedBpb) {
    b[ext + 2] = 0x29;
    PutLe(b + ext + 3, 0x1234ABCD, 4);
    PutText(b + ext + 7, volume.label, 11, ' ');
    PutText(b + ext + 18, volume.fat32 ? "FAT32" : "FAT16", 8, ' ');
  }
  PutBootMark(bytes);
  return bytes;
}

std::vector<std::uint8_t> MakeNtfsVolume(std::uint64_t sectors) {
  std::vector<std::uint8_t> bytes(kVolumeHead, 0);
  std::uint8_t* b = bytes.data();
  b[0] = 0xEB;
  b[1] = 0x52;
  b[2] = 0x90;
  PutText(b + 3, "NTFS", 8, ' ');
  PutLe(b + 11, 512, 2);
  b[13] = 8;
  b[21] = 0xF8;
  PutLe(b + 24, 63, 2);
  PutLe(b + 26, 255, 2);
  PutLe(b + 40, sectors == 0 ? 0 : sectors - 1, 8);
  PutLe(b + 48, 4, 8);  // $MFT cluster
  PutLe(b + 56, sectors / 16, 8);
  b[64] = 0xF6;  // 1 KiB records
  b[68] = 1;
  PutLe(b + 72, 0x5E2A7C10D3B8F146ull, 8);
  PutBootMark(bytes);
  return bytes;
}

std::vector<std::uint8_t> MakeHfsPlusVolume(std::uint64_t sectors) {
  std::vector<std::uint8_t> bytes(kVolumeHead, 0);
  std::uint8_t* h = &bytes[1024];
  h[0] = 'H';
  h[1] = '+';
  PutBe(h + 2, 4, 2);  // version
  PutBe(h + 40, 4096, 4);
  PutBe(h + 44, sectors / 8, 4);
  return bytes;
}

std::vector<std::uint8_t> MakeXfsVolume(std::uint64_t sectors) {
  std::vector<std::uint8_t> bytes(kVolumeHead, 0);
  std::uint8_t* s = bytes.data();
  PutText(s, "XFSB", 4, ' ');
  PutBe(s + 4, 4096, 4);
  PutBe(s + 8, sectors / 8, 8);
  PutBe(s + 102, 512, 2);  // sector size
  return bytes;
}

bool WriteVolume(const std::string& path, std::uint64_t first,
                 const std::vector<std::uint8_t>& volume) {
  return WriteAt(path, first * 512, volume);
}

}  // namespace kalvorin::demo
