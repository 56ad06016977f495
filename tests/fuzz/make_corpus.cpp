// Writes the seed corpus: small images made with the image builders.
// Usage: fuzz_make_corpus DIR (writes DIR/<target>/<name>).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/sim/demo/FileSystemBuilders.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/PartitionBuilders.h"
#include "device/sim/demo/RaidBuilders.h"

namespace {

using namespace kalvorin::demo;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path root;

void Save(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(root / target);
  std::ofstream(root / target / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// An image of `sectors` sectors made by `build`, as bytes.
template <typename Build>
Bytes Image(std::uint64_t sectors, Build build) {
  const std::string path = (root / "scratch.img").string();
  CreateSparseImage(path, sectors);
  build(path);
  Bytes bytes = ReadAt(path, 0, sectors * 512);
  fs::remove(path);
  return bytes;
}

void PartitionSeeds() {
  Save("partition_walk", "mbr-primaries", MakeTableSector({{0x07, 2048, 4096}, {0x83, 8192, 100}}));
  Save("partition_walk", "mbr-bb-mark", MakeTableSector({{0x0C, 63, 1000}}, 0xBB));
  for (const std::uint8_t type : {std::uint8_t{0x05}, std::uint8_t{0x0F}}) {
    Save("partition_walk", type == 0x05 ? "extended-05" : "extended-0f", Image(8, [&](auto& path) {
           WriteExtendedLayout(path, {{0x83, 1, 1}}, type, 2, 6,
                               {{2, 0x83, 3, 1}, {4, 0x07, 5, 1}, {6, 0x82, 7, 1}});
         }));
  }
  Save("partition_walk", "extended-loop", Image(4, [](auto& path) {
         WriteTableSector(path, 0, {{0x0F, 2, 2}, {0x07, 1, 1}});
         WriteTableSector(path, 2, {{0x83, 1, 1}, {0x05, 0, 2}});
       }));
  GptLayout small;
  small.entryCount = 4;
  Save("partition_walk", "gpt", Image(16, [&](auto& path) {
         WriteGpt(path, 16, {{kGuidEfiSystem, 4, 5, "EFI"}, {kGuidLinuxData, 6, 9, "root"}}, small);
       }));
  GptLayout hybrid = small;
  hybrid.hybridMbr = {{0x0C, 4, 2}, {0xEE, 1, 15}};
  Save("partition_walk", "gpt-hybrid", Image(16, [&](auto& path) {
         WriteGpt(path, 16, {{kGuidBasicData, 4, 5, ""}, {kGuidLinuxData, 6, 9, ""}}, hybrid);
       }));
}

// flags, first sector, count, then the extent's first bytes.
Bytes Extent(std::uint8_t flags, std::uint64_t first, std::uint64_t count, const Bytes& data) {
  Bytes input{flags};
  for (const std::uint64_t value : {first, count}) {
    for (int i = 0; i < 8; ++i) input.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  input.insert(input.end(), data.begin(), data.end());
  return input;
}

Bytes Head(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

void VolumeSeeds() {
  Save("detect_volume", "ext4",
       Extent(3, 64, 4096, Head(MakeExtVolume({ExtKind::kExt4, "v", ""}, 4096), 2048)));
  Save("detect_volume", "ext3",
       Extent(3, 0, 4096, Head(MakeExtVolume({ExtKind::kExt3, "", "/mnt"}, 4096), 2048)));
  Save("detect_volume", "fat32", Extent(3, 0, 4096, Head(MakeFatVolume({}, 4096), 512)));
  Save("detect_volume", "fat16",
       Extent(3, 0, 4096, Head(MakeFatVolume({false, "MSDOS5.0", "DATA", true}, 4096), 512)));
  Save("detect_volume", "ntfs", Extent(3, 0, 4096, Head(MakeNtfsVolume(4096), 512)));
  Save("detect_volume", "hfsplus", Extent(3, 0, 4096, Head(MakeHfsPlusVolume(4096), 1536)));
  Save("detect_volume", "xfs", Extent(3, 0, 4096, Head(MakeXfsVolume(4096), 512)));
  // md members: 1.1 at the start, 1.2 at 4 KiB, 1.0 near the end of 32
  // sectors, with a mirror's data area holding NTFS.
  const Bytes sb11 = MakeMdSuperblock({MdFormat::k1_1, 5, 2, 128, 4, 16, 2}, 32);
  Save("detect_volume", "md-1.1", Extent(3, 0, 32, Head(sb11, 512)));
  Bytes at4k(4096, 0);
  const Bytes sb12 = MakeMdSuperblock({MdFormat::k1_2, 1, 0, 0, 2, 24, 0}, 32);
  at4k.insert(at4k.end(), sb12.begin(), sb12.begin() + 512);
  at4k.resize(24 * 512, 0);
  const Bytes ntfs = MakeNtfsVolume(8);
  at4k.insert(at4k.end(), ntfs.begin(), ntfs.begin() + 512);
  Save("detect_volume", "md-1.2-mirror", Extent(3, 0, 32, at4k));
  Bytes end10(16 * 512, 0);
  const Bytes sb10 = MakeMdSuperblock({MdFormat::k1_0, 10, 0x102, 1024, 4, 0, 3}, 32);
  end10.insert(end10.end(), sb10.begin(), sb10.begin() + 512);
  Save("detect_volume", "md-1.0", Extent(3, 0, 32, end10));
  Save("detect_volume", "far-extent", Extent(0, 0xFFFFFFFFFFFFFF00ull, 0x1000, {}));
}

void DecoderSeeds() {
  Bytes input{27, 0, 46, 0, 8, 0, 0, 0, 0, 0, 0, 0};
  const std::string model =
      "SWDC WD10EZEX-08WN4A0\x1f"
      "WD-WCC6Y1234567\x1f"
      "3537343132\x1f  serial";
  input.insert(input.end(), model.begin(), model.end());
  Save("identify_decoders", "texts", input);
  Bytes words{10, 0, 19, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 64; ++i)
    words.push_back(static_cast<std::uint8_t>(i % 2 ? 'A' + i % 26 : ' '));
  Save("identify_decoders", "words", words);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  root = argv[1];
  PartitionSeeds();
  VolumeSeeds();
  DecoderSeeds();
  return 0;
}
