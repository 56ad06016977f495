// The Windows backend on ordinary files: transfers at sector offsets, the end
// of a file, the unbuffered read, move, delete and free space.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/Platform.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

constexpr std::uint32_t kSector = 512;

std::vector<std::uint8_t> Pattern(std::uint64_t firstSector, std::uint32_t sectors) {
  std::vector<std::uint8_t> bytes(std::size_t{sectors} * kSector);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>((firstSector + i / kSector) * 7 + i % 251);
  }
  return bytes;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

class NativeFiles : public ::testing::Test {
 protected:
  // A file of `sectors` sectors, each holding Pattern's bytes.
  std::string MakeImage(const std::string& name, std::uint32_t sectors) {
    const std::string path = dir.file(name);
    const auto bytes = Pattern(0, sectors);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  test::TempDir dir;
  std::unique_ptr<Platform> platform = CreateNativePlatform();
};

TEST_F(NativeFiles, WritesAndReadsBackAtSectorOffsets) {
  const std::string path = dir.file("disk.img");
  auto file = platform->Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::CreateAlways);
  ASSERT_NE(file, nullptr);

  struct Block {
    std::uint64_t sector;
    std::uint32_t sectors;
  };
  const Block blocks[] = {{0, 1}, {7, 3}, {2048, 128}, {1, 1}};
  for (const Block& block : blocks) {
    const auto bytes = Pattern(block.sector, block.sectors);
    std::uint32_t written = 0;
    ASSERT_TRUE(file->Seek(block.sector * kSector)) << block.sector;
    ASSERT_TRUE(file->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), written));
    EXPECT_EQ(written, bytes.size());
  }
  std::uint64_t size = 0;
  ASSERT_TRUE(file->Size(size));
  EXPECT_EQ(size, (2048u + 128u) * kSector);

  for (const Block& block : blocks) {
    std::vector<std::uint8_t> bytes(std::size_t{block.sectors} * kSector);
    std::uint32_t read = 0;
    ASSERT_TRUE(file->Seek(block.sector * kSector));
    ASSERT_TRUE(file->Read(bytes.data(), static_cast<std::uint32_t>(bytes.size()), read));
    EXPECT_EQ(read, bytes.size());
    EXPECT_EQ(bytes, Pattern(block.sector, block.sectors)) << "sector " << block.sector;
  }
  // Sectors never written read back as zeros.
  std::vector<std::uint8_t> gap(kSector, 0xFF);
  std::uint32_t read = 0;
  ASSERT_TRUE(file->Seek(100 * kSector));
  ASSERT_TRUE(file->Read(gap.data(), kSector, read));
  EXPECT_EQ(gap, std::vector<std::uint8_t>(kSector, 0));

  EXPECT_TRUE(file->Close());
  EXPECT_FALSE(file->Seek(0));
  EXPECT_FALSE(file->Read(gap.data(), kSector, read));
  EXPECT_FALSE(file->Close());

  // What was written is in the file for everyone else.
  const std::string content = ReadText(path);
  ASSERT_EQ(content.size(), (2048u + 128u) * kSector);
  const auto expected = Pattern(7, 3);
  EXPECT_EQ(content.substr(7 * kSector, 3 * kSector),
            std::string(expected.begin(), expected.end()));
}

TEST_F(NativeFiles, OpenFailuresGiveNoFile) {
  EXPECT_EQ(platform->Open(dir.file("missing.img"), Access::ReadWrite, Share::ReadWrite,
                           Disposition::OpenExisting),
            nullptr);
  EXPECT_EQ(platform->Open(dir.file("no-folder\\new.img"), Access::ReadWrite, Share::ReadWrite,
                           Disposition::CreateAlways),
            nullptr);
  // Malformed UTF-8 never opens some other file.
  EXPECT_EQ(platform->Open(dir.path().string() + "\\bad\xff.img", Access::ReadWrite,
                           Share::ReadWrite, Disposition::CreateAlways),
            nullptr);
}

TEST_F(NativeFiles, ReadingPastTheEndIsAShortRead) {
  auto file = platform->Open(MakeImage("ten.img", 10), Access::Read, Share::Read,
                             Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> buffer(4 * kSector);
  struct Case {
    std::uint64_t sector;
    std::uint32_t expected;
  };
  for (const Case& c : {Case{9, kSector}, Case{10, 0}, Case{100, 0}, Case{6, 4 * kSector}}) {
    std::uint32_t read = 12345;
    ASSERT_TRUE(file->Seek(c.sector * kSector)) << c.sector;
    EXPECT_TRUE(file->Read(buffer.data(), 4 * kSector, read)) << c.sector;
    EXPECT_EQ(read, c.expected) << c.sector;
  }
  EXPECT_FALSE(file->Seek(std::uint64_t{1} << 63));
  std::uint64_t size = 0;
  ASSERT_TRUE(file->Size(size));
  EXPECT_EQ(size, 10u * kSector);
}

TEST_F(NativeFiles, ReadOnlyHandleRefusesWritesAndClosesCleanly) {
  auto file =
      platform->Open(MakeImage("ro.img", 4), Access::Read, Share::Read, Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> buffer(kSector, 0xAA);
  std::uint32_t written = 99;
  EXPECT_FALSE(file->Write(buffer.data(), kSector, written));
  EXPECT_EQ(written, 0u);
  // Nothing to flush: closing a read-only handle is a success.
  EXPECT_TRUE(file->Close());
}

TEST_F(NativeFiles, DeviceControlOnAFileFailsWithoutFault) {
  auto file = platform->Open(MakeImage("plain.img", 4), Access::ReadWrite, Share::ReadWrite,
                             Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> answer(8192);
  std::uint32_t returned = 0;
  // 0x00560000: the volume extents query, which an ordinary file cannot answer.
  if (file->DeviceIoControl(0x00560000, nullptr, 0, answer.data(),
                            static_cast<std::uint32_t>(answer.size()), returned)) {
    EXPECT_LE(returned, answer.size());
  } else {
    EXPECT_EQ(returned, 0u);
  }
}

TEST_F(NativeFiles, UncachedReadGivesTheBytesAndKeepsThePosition) {
  auto file = platform->Open(MakeImage("sixty-four.img", 64), Access::Read, Share::Read,
                             Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Seek(5 * kSector));

  struct Case {
    std::uint64_t sector;
    std::uint32_t sectors;
  };
  // Offsets inside and across 4096-byte units, a long read, the last sector.
  for (const Case& c : {Case{9, 3}, Case{0, 1}, Case{7, 2}, Case{1, 62}, Case{63, 1}}) {
    std::vector<std::uint8_t> bytes(std::size_t{c.sectors} * kSector);
    ASSERT_TRUE(file->ReadUncached(c.sector * kSector, bytes.data(),
                                   static_cast<std::uint32_t>(bytes.size())))
        << c.sector;
    const auto whole = Pattern(0, 64);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), whole.begin() + c.sector * kSector))
        << c.sector;
  }
  std::vector<std::uint8_t> bytes(4 * kSector);
  EXPECT_FALSE(file->ReadUncached(62 * kSector, bytes.data(), 4 * kSector));
  EXPECT_FALSE(file->ReadUncached(64 * kSector, bytes.data(), kSector));
  EXPECT_FALSE(file->ReadUncached(~std::uint64_t{0} - kSector + 1, bytes.data(), kSector));

  std::uint32_t read = 0;
  ASSERT_TRUE(file->Read(bytes.data(), kSector, read));
  ASSERT_EQ(read, kSector);
  const auto sector5 = Pattern(0, 6);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + kSector, sector5.begin() + 5 * kSector));
}

TEST_F(NativeFiles, MoveReplacesTheTargetAndDeleteRemoves) {
  const std::string report = dir.file("Rapport.txt");
  const std::string kept = dir.file("kept.txt");
  WriteText(report, "new report\n");
  WriteText(kept, "older and longer content\n");

  EXPECT_TRUE(platform->MoveFile(report, kept));
  EXPECT_EQ(ReadText(kept), "new report\n");
  EXPECT_FALSE(Exists(report));
  EXPECT_FALSE(platform->MoveFile(report, kept));  // the source is gone

  EXPECT_TRUE(platform->DeleteFile(kept));
  EXPECT_FALSE(Exists(kept));
  EXPECT_FALSE(platform->DeleteFile(kept));
}

TEST_F(NativeFiles, FreeSpaceOfAFolderAndOfAFileNotYetThere) {
  const auto ofFolder = platform->FreeBytes(dir.path().string());
  ASSERT_TRUE(ofFolder.has_value());
  EXPECT_GT(*ofFolder, 0u);

  const auto ofNewFile = platform->FreeBytes(dir.file("copy-target.img"));
  ASSERT_TRUE(ofNewFile.has_value());
  EXPECT_GT(*ofNewFile, 0u);

  const std::string existing = MakeImage("existing.img", 1);
  EXPECT_TRUE(platform->FreeBytes(existing).has_value());

  EXPECT_FALSE(platform->FreeBytes(dir.file("no-folder\\target.img")).has_value());
}

}  // namespace
}  // namespace kalvorin::device
