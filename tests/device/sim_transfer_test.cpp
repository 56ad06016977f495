// Transfers on simulated disks: faults at block granularity, the end of the
// image, and plain files.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device/sim/SimPlatform.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/MachineBuilder.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

constexpr std::uint32_t kBlock = 128 * 512;

class SimTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.AddDisk(1, 4096).ReadFault(1000, 8).WriteFault(2000, 1).SeekFault(3000, 2);
    std::string error;
    ASSERT_TRUE(machine.Write(error)) << error;
    platform = CreateSimulatedPlatform(machine.folder(), error);
    ASSERT_NE(platform, nullptr) << error;
  }
  std::unique_ptr<File> OpenDisk1() {
    return platform->Open("\\\\.\\PHYSICALDRIVE1", Access::ReadWrite, Share::ReadWrite,
                          Disposition::OpenExisting);
  }

  test::TempDir dir;
  demo::MachineBuilder machine{dir.path().string()};
  std::unique_ptr<Platform> platform;
};

TEST_F(SimTransfer, FaultsFailEveryBlockThatTouchesAListedSector) {
  auto disk = OpenDisk1();
  ASSERT_NE(disk, nullptr);
  std::vector<std::uint8_t> buffer(kBlock);
  struct Case {
    std::uint64_t firstSector;
    std::uint32_t sectors;
    bool readSucceeds;
  };
  // Faulty read sectors: 1000..1007.
  const Case cases[] = {
      {896, 104, true},   // ends at 999
      {896, 105, false},  // ends at 1000
      {1007, 1, false},  {1008, 128, true}, {992, 128, false}, {0, 128, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firstSector);
    ASSERT_TRUE(disk->Seek(c.firstSector * 512));
    std::uint32_t transferred = 99;
    EXPECT_EQ(disk->Read(buffer.data(), c.sectors * 512, transferred), c.readSucceeds);
    if (c.readSucceeds) {
      EXPECT_EQ(transferred, c.sectors * 512);
    }
    EXPECT_EQ(disk->ReadUncached(c.firstSector * 512, buffer.data(), c.sectors * 512),
              c.readSucceeds);
  }
  // A faulty read range does not affect writes, and the reverse.
  std::uint32_t transferred = 0;
  ASSERT_TRUE(disk->Seek(1000 * 512));
  EXPECT_TRUE(disk->Write(buffer.data(), 512, transferred));
  ASSERT_TRUE(disk->Seek(1936 * 512));
  EXPECT_FALSE(disk->Write(buffer.data(), kBlock, transferred));
  EXPECT_EQ(transferred, 0u);
  ASSERT_TRUE(disk->Seek(1936 * 512));
  EXPECT_TRUE(disk->Read(buffer.data(), kBlock, transferred));
  // Seeking onto a listed sector fails; next to it succeeds.
  EXPECT_FALSE(disk->Seek(3000 * 512));
  EXPECT_FALSE(disk->Seek(3001 * 512 + 100));
  EXPECT_TRUE(disk->Seek(2999 * 512));
  EXPECT_TRUE(disk->Seek(3002 * 512));
}

TEST_F(SimTransfer, WritesReachTheImageAndReadsComeBack) {
  auto disk = OpenDisk1();
  ASSERT_NE(disk, nullptr);
  std::vector<std::uint8_t> pattern(1024);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 7);
  std::uint32_t transferred = 0;
  ASSERT_TRUE(disk->Seek(10 * 512));
  ASSERT_TRUE(disk->Write(pattern.data(), 1024, transferred));
  EXPECT_EQ(transferred, 1024u);
  // The position advanced by the transfer.
  ASSERT_TRUE(disk->Write(pattern.data(), 512, transferred));
  EXPECT_TRUE(disk->Close());
  EXPECT_EQ(demo::ReadAt(machine.ImagePath(1), 10 * 512, 1024), pattern);
  EXPECT_EQ(demo::ReadAt(machine.ImagePath(1), 12 * 512, 512),
            std::vector<std::uint8_t>(pattern.begin(), pattern.begin() + 512));
  // After Close() the file only fails.
  EXPECT_FALSE(disk->Seek(0));
  EXPECT_FALSE(disk->Read(pattern.data(), 512, transferred));
  EXPECT_FALSE(disk->Close());
}

TEST_F(SimTransfer, ReadingPastTheEndIsAShortSuccessfulRead) {
  auto disk = OpenDisk1();
  ASSERT_NE(disk, nullptr);
  std::vector<std::uint8_t> buffer(kBlock);
  std::uint32_t transferred = 0;
  ASSERT_TRUE(disk->Seek((4096 - 8) * 512));
  EXPECT_TRUE(disk->Read(buffer.data(), kBlock, transferred));
  EXPECT_EQ(transferred, 8u * 512);
  EXPECT_TRUE(disk->Read(buffer.data(), kBlock, transferred));
  EXPECT_EQ(transferred, 0u);
  EXPECT_FALSE(disk->ReadUncached((4096 - 8) * 512, buffer.data(), kBlock));
  std::uint64_t size = 0;
  EXPECT_TRUE(disk->Size(size));
  EXPECT_EQ(size, 4096u * 512);
}

TEST_F(SimTransfer, OpenedReadOnlyTheDiskRefusesWrites) {
  auto disk =
      platform->Open("\\\\.\\PhysicalDrive1", Access::Read, Share::Read, Disposition::OpenExisting);
  ASSERT_NE(disk, nullptr);
  std::uint8_t sector[512] = {};
  std::uint32_t transferred = 0;
  EXPECT_FALSE(disk->Write(sector, 512, transferred));
  EXPECT_TRUE(disk->Read(sector, 512, transferred));
}

TEST_F(SimTransfer, OtherPathsArePlainFiles) {
  const std::string path = dir.file("copy.img");
  EXPECT_EQ(platform->Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting),
            nullptr);
  auto created =
      platform->Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::CreateAlways);
  ASSERT_NE(created, nullptr);
  const char text[] = "0123456789";
  std::uint32_t transferred = 0;
  ASSERT_TRUE(created->Seek(512));
  ASSERT_TRUE(created->Write(text, 10, transferred));
  std::uint32_t returned = 0;
  std::uint8_t answer[64];
  EXPECT_FALSE(created->DeviceIoControl(0x00560000, nullptr, 0, answer, sizeof answer, returned));
  ASSERT_TRUE(created->Close());

  auto reopened = platform->Open(path, Access::Read, Share::Read, Disposition::OpenExisting);
  ASSERT_NE(reopened, nullptr);
  std::uint64_t size = 0;
  ASSERT_TRUE(reopened->Size(size));
  EXPECT_EQ(size, 522u);
  // CreateAlways truncates.
  reopened.reset();
  auto truncated =
      platform->Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::CreateAlways);
  ASSERT_NE(truncated, nullptr);
  ASSERT_TRUE(truncated->Size(size));
  EXPECT_EQ(size, 0u);
  // A folder is not a file.
  EXPECT_EQ(
      platform->Open(dir.path().string(), Access::Read, Share::Read, Disposition::OpenExisting),
      nullptr);
}

TEST_F(SimTransfer, DevicePathsOpenOnlyListedDisks) {
  const char* refused[] = {
      "\\\\.\\PHYSICALDRIVE0",
      "\\\\.\\PHYSICALDRIVE01",
      "\\\\.\\PHYSICALDRIVE128",
      "\\\\.\\PHYSICALDRIVE-1",
      "\\\\.\\PHYSICALDRIVE",
      "\\\\.\\PHYSICALDRIVE1x",
      "\\\\.\\PHYSICALDRIVE999",
      "\\\\.\\Something",
      "\\\\.\\D:",
      "\\\\.\\A:",
      "",
  };
  for (const char* path : refused) {
    SCOPED_TRACE(path);
    EXPECT_EQ(platform->Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting),
              nullptr);
  }
  EXPECT_NE(platform->Open("\\\\.\\physicaldrive1", Access::ReadWrite, Share::ReadWrite,
                           Disposition::OpenExisting),
            nullptr);
}

TEST_F(SimTransfer, OpeningADiskWithCreateAlwaysNeverTruncatesItsImage) {
  auto disk = platform->Open("\\\\.\\PHYSICALDRIVE1", Access::ReadWrite, Share::ReadWrite,
                             Disposition::CreateAlways);
  ASSERT_NE(disk, nullptr);
  std::uint64_t size = 0;
  ASSERT_TRUE(disk->Size(size));
  EXPECT_EQ(size, 4096u * 512);
}

}  // namespace
}  // namespace kalvorin::device
