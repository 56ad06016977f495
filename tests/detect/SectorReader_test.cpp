#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "DetectFixture.h"
#include "detect/SectorReader.h"
#include "device/WindowsLayouts.h"
#include "device/sim/demo/ImageFile.h"

namespace kalvorin::detect {
namespace {

TEST(LittleEndianReaders, AssembleBytesAtAnyAlignment) {
  const std::uint8_t bytes[] = {0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88, 0xFF};
  EXPECT_EQ(ReadU16LE(bytes + 1), 0x0201);
  EXPECT_EQ(ReadU32LE(bytes + 1), 0x04030201u);
  EXPECT_EQ(ReadU64LE(bytes + 1), 0x8807060504030201ull);
  EXPECT_EQ(ReadU16LE(bytes + 8), 0xFF88);
}

class SectorReaderTest : public test::DetectFixture {
 protected:
  void SetUp() override {
    AddDisk(3, 64);
    std::vector<std::uint8_t> marks(64 * 512);
    for (std::size_t i = 0; i < marks.size(); ++i) marks[i] = static_cast<std::uint8_t>(i / 512);
    ASSERT_TRUE(demo::WriteAt(Image(3), 0, marks));
  }
};

TEST_F(SectorReaderTest, ReadsExactlyTheAskedBytes) {
  auto node = DiskNode(3, 64);
  MediumScope medium(*platform, node);
  ASSERT_TRUE(node.HandleSupport);
  std::vector<std::uint8_t> buffer(1024);
  ASSERT_TRUE(ReadSectors(node, 5, buffer.data(), 1024));
  EXPECT_EQ(buffer[0], 5);
  EXPECT_EQ(buffer[1023], 6);
  // A read that reaches past the end returns fewer bytes: a failure.
  EXPECT_TRUE(ReadSectors(node, 63, buffer.data(), 512));
  EXPECT_FALSE(ReadSectors(node, 63, buffer.data(), 1024));
  EXPECT_FALSE(ReadSectors(node, 64, buffer.data(), 512));
}

TEST_F(SectorReaderTest, RefusesOffsetsAndSizesOutOfReason) {
  auto node = DiskNode(3, 64);
  MediumScope medium(*platform, node);
  std::vector<std::uint8_t> buffer(kMaxReadBytes + 512);
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  EXPECT_FALSE(ReadSectors(node, kMax, buffer.data(), 512));
  EXPECT_FALSE(ReadSectors(node, kMax / 512, buffer.data(), 512));
  EXPECT_FALSE(ReadSectors(node, (kMax / 512) - 1, buffer.data(), 1024));
  EXPECT_FALSE(ReadSectors(node, 0, buffer.data(), kMaxReadBytes + 512));
}

TEST_F(SectorReaderTest, OpensByKindAndClosesAtTheEndOfTheScope) {
  auto disk = DiskNode(3, 64);
  {
    MediumScope medium(*platform, disk);
    EXPECT_TRUE(disk.HandleSupport);
  }
  EXPECT_FALSE(disk.HandleSupport);

  media::listeSupport image;
  image.TypeSupport = media::kImage;
  image.CheminImage = Image(3);
  {
    MediumScope medium(*platform, image);
    std::uint8_t sector[512];
    ASSERT_TRUE(ReadSectors(image, 9, sector, 512));
    EXPECT_EQ(sector[0], 9);
  }

  media::listeSupport header;  // a group header has no medium
  MediumScope medium(*platform, header);
  std::uint8_t sector[512];
  EXPECT_FALSE(header.HandleSupport);
  EXPECT_FALSE(ReadSectors(header, 0, sector, 512));
}

TEST_F(SectorReaderTest, DiskThatDoesNotOpenFailsEveryRead) {
  machine.Disk(3).opens = false;
  Commit();
  auto node = DiskNode(3, 64);
  MediumScope medium(*platform, node);
  std::uint8_t sector[512];
  EXPECT_FALSE(ReadSectors(node, 0, sector, 512));
}

TEST(ReadErrorMessage, TextCaptionAndStyle) {
  test::ScriptedWindow window;
  media::listeSupport node;
  node.Libelle = "WDC WD10EZEX";
  ShowReadError(window, node, 18446744073709551615ull);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text,
            "Erreur Lecture Support WDC WD10EZEX au Secteur 18446744073709551615");
  EXPECT_EQ(window.messages[0].caption, "Erreur Lecture Support");
  EXPECT_EQ(window.messages[0].style, device::kMbTaskModal | device::kMbIconError);
}

}  // namespace
}  // namespace kalvorin::detect
