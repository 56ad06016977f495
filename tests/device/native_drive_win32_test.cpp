// "\\.\E:" read and written as a device. Under Wine, scripts/wine-mapped-drive.sh
// points E: at an image it creates and names that image in
// KALVORIN_MAPPED_E_IMAGE; without it the test has nothing safe to write to.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "device/Platform.h"
#include "device/WindowsLayouts.h"

namespace kalvorin::device {
namespace {

constexpr std::uint32_t kSector = 512;

std::vector<std::uint8_t> ReadImage(const std::string& path, std::uint64_t sector) {
  std::vector<std::uint8_t> bytes(kSector);
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(sector * kSector));
  in.read(reinterpret_cast<char*>(bytes.data()), kSector);
  return bytes;
}

TEST(NativeMappedDrive, VolumeOfALetterReadsAndWritesTheImage) {
  const char* image = std::getenv("KALVORIN_MAPPED_E_IMAGE");
  if (image == nullptr || *image == '\0') {
    GTEST_SKIP() << "E: is mapped to an image only by scripts/wine-mapped-drive.sh";
  }
  auto platform = CreateNativePlatform();

  // A signature only this run knows, put in the image by the path of the file:
  // the volume is written only once it is seen to be that image.
  std::vector<std::uint8_t> signature(kSector);
  std::mt19937 random(std::random_device{}());
  for (auto& byte : signature) byte = static_cast<std::uint8_t>(random());
  {
    auto file =
        platform->Open(image, Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting);
    ASSERT_NE(file, nullptr) << image;
    std::uint32_t written = 0;
    ASSERT_TRUE(file->Seek(3 * kSector));
    ASSERT_TRUE(file->Write(signature.data(), kSector, written));
    ASSERT_TRUE(file->Close());
  }

  auto volume =
      platform->Open("\\\\.\\E:", Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting);
  if (volume == nullptr) GTEST_SKIP() << "Wine refused to open \\\\.\\E:";
  std::vector<std::uint8_t> sector(kSector);
  std::uint32_t moved = 0;
  ASSERT_TRUE(volume->Seek(3 * kSector));
  ASSERT_TRUE(volume->Read(sector.data(), kSector, moved));
  ASSERT_EQ(moved, kSector);
  ASSERT_EQ(sector, signature) << "\\\\.\\E: is not the image: nothing is written to it";

  std::vector<std::uint8_t> pattern(2 * kSector);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 13);
  ASSERT_TRUE(volume->Seek(2048 * kSector));
  ASSERT_TRUE(volume->Write(pattern.data(), 2 * kSector, moved));
  EXPECT_EQ(moved, 2 * kSector);

  // The device queries are answered or refused, never a fault.
  std::vector<std::uint8_t> answer(8192);
  std::uint32_t returned = 0;
  if (volume->DeviceIoControl(kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(),
                              static_cast<std::uint32_t>(answer.size()), returned)) {
    EXPECT_LE(returned, answer.size());
  }
  EXPECT_TRUE(volume->Close());

  EXPECT_EQ(ReadImage(image, 2048),
            std::vector<std::uint8_t>(pattern.begin(), pattern.begin() + kSector));
  EXPECT_EQ(ReadImage(image, 2049),
            std::vector<std::uint8_t>(pattern.begin() + kSector, pattern.end()));
}

}  // namespace
}  // namespace kalvorin::device
