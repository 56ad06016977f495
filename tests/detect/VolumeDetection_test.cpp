#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "DetectFixture.h"
#include "detect/SectorReader.h"
#include "detect/VolumeDetection.h"
#include "device/sim/demo/FileSystemBuilders.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/RaidBuilders.h"

namespace kalvorin::detect {
namespace {

using demo::MdFormat;
using demo::MdMemberSpec;

constexpr int kDisk = 2;
constexpr std::uint64_t kDiskSectors = 1 << 18;
constexpr std::uint64_t kMaxSector = std::numeric_limits<std::uint64_t>::max();

class VolumeDetectionTest : public test::DetectFixture {
 protected:
  void SetUp() override { AddDisk(kDisk, kDiskSectors); }
  bool Detect(media::listeSupport& node) { return DetectVolume(*platform, window, identity, node); }
  media::listeSupport Volume(std::uint64_t first, std::uint64_t count) const {
    return VolumeNode(kDisk, kDiskSectors, first, count);
  }
  void Member(std::uint64_t first, std::uint64_t count, const MdMemberSpec& spec) {
    ASSERT_TRUE(demo::WriteMdMember(Image(kDisk), first, count, spec));
  }
  void Volume(std::uint64_t first, const std::vector<std::uint8_t>& head) {
    ASSERT_TRUE(demo::WriteVolume(Image(kDisk), first, head));
  }
};

TEST_F(VolumeDetectionTest, Raid5OnFormat12MakesNoFileSystemTest) {
  Member(2048, 100000, {MdFormat::k1_2, 5, 2, 128, 4, 16, 2});
  Volume(2048 + 16, demo::MakeNtfsVolume(1000));  // data area: not looked at
  ASSERT_TRUE(demo::WriteAt(Image(kDisk), 2048 * 512 + 3, {'M', 'S', 'D', 'O', 'S'}));
  auto node = Volume(2048, 100000);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 1);
  EXPECT_EQ(identity.LibelleVolume, "ID 2 - RAID 5 (4 HD) - Début Raid au sct 16");
  EXPECT_EQ(identity.InfoVolume, "Gauche Symétrique 128 Sct");
  EXPECT_EQ(identity.FirstSctRaid, 2048u + 16u);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(VolumeDetectionTest, Raid1OnFormat10WithNtfsInside) {
  const std::uint64_t first = 4096, count = 64000;  // a multiple of 16
  Member(first, count, {MdFormat::k1_0, 1, 0, 0, 2, 0, 1});
  EXPECT_EQ(demo::MdSuperblockSector(MdFormat::k1_0, count), count - 16);
  Volume(first, demo::MakeNtfsVolume(count - 16));
  auto node = Volume(first, count);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 6);
  EXPECT_EQ(identity.LibelleVolume, "NTFS");
  EXPECT_EQ(identity.InfoVolume, "ID 1 - RAID 1 (2 HD) - Début Raid au sct 0");
  EXPECT_EQ(identity.FirstSctRaid, first);
}

TEST_F(VolumeDetectionTest, Format10WhereTheSizeLeavesEightOrMore) {
  const std::uint64_t first = 4096, count = 64000 + 12;
  Member(first, count, {MdFormat::k1_0, 6, 1, 256, 5, 0, 3});
  EXPECT_EQ(demo::MdSuperblockSector(MdFormat::k1_0, count), 64000 - 8);
  auto node = Volume(first, count);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.LibelleVolume, "ID 3 - RAID 6 (5 HD) - Début Raid au sct 0");
  EXPECT_EQ(identity.InfoVolume, "Droite Asymétrique 256 Sct");
}

// md counts in 512-byte sectors whatever the disk: on a disk of 16 KiB
// logical sectors the format-1.0 superblock (8 KiB before the end, here not
// at a logical sector's start) is found by reading the whole logical sector.
TEST_F(VolumeDetectionTest, Format10OnADiskOfLargeLogicalSectors) {
  machine.Disk(kDisk).logicalSectorSize = 16384;
  Commit();
  const std::uint64_t first = 4096, count = 64000 + 8;
  Member(first, count, {MdFormat::k1_0, 1, 0, 0, 2, 0, 1});
  Volume(first, demo::MakeNtfsVolume(count - 16));
  auto node = Volume(first, count);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 6);
  EXPECT_EQ(identity.InfoVolume, "ID 1 - RAID 1 (2 HD) - Début Raid au sct 0");
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(VolumeDetectionTest, Raid1DataAreaDecidesColumnOneForExtAndFat) {
  Member(8192, 50000, {MdFormat::k1_2, 1, 0, 0, 2, 2048, 0});
  Volume(8192 + 2048, demo::MakeExtVolume({demo::ExtKind::kExt4, "miroir", ""}, 40000));
  auto node = Volume(8192, 50000);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 4);
  EXPECT_EQ(identity.LibelleVolume, "Linux Ext4");
  EXPECT_EQ(identity.InfoVolume, "miroir");
  EXPECT_EQ(identity.FirstSctRaid, 8192u + 2048u);
}

TEST_F(VolumeDetectionTest, Raid1WithNothingRecognisedInsideGivesFalse) {
  Member(8192, 50000, {MdFormat::k1_1, 1, 0, 0, 2, 2048, 0});
  auto node = Volume(8192, 50000);
  EXPECT_FALSE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 1);
}

TEST_F(VolumeDetectionTest, LevelAndLayoutTexts) {
  struct Case {
    std::int32_t level;
    std::uint32_t layout, chunk;
    std::string libelle, info;
  };
  const std::string tail = " (3 HD) - Début Raid au sct 2048";
  const Case cases[] = {
      {0, 0, 64, "ID 7 - RAID 0 Striped" + tail, "Gauche Asymétrique 64 Sct"},
      {1, 0, 0, "ID 7 - RAID 1" + tail, "ID 7 - RAID 1" + tail},
      {4, 3, 128, "ID 7 - RAID 4" + tail, "Droite Symétrique 128 Sct"},
      {5, 1, 512, "ID 7 - RAID 5" + tail, "Droite Asymétrique 512 Sct"},
      {6, 2, 8, "ID 7 - RAID 6" + tail, "Gauche Symétrique 8 Sct"},
      {10, 0x102, 1024, "ID 7 - RAID 10" + tail, "ID 7 - RAID 10" + tail + " - 1024 Sct"},
      {2, 0, 0, "ID 7" + tail, "ID 7" + tail},
      {3, 0, 0, "ID 7" + tail, "ID 7" + tail},
      {-1, 0, 0, "ID 7" + tail, "ID 7" + tail},
      {5, 4, 0, "ID 7 - RAID 5" + tail, "ID 7 - RAID 5" + tail},
  };
  for (const Case& c : cases) {
    Member(1024, 10000, {MdFormat::k1_1, c.level, c.layout, c.chunk, 3, 2048, 7});
    auto node = Volume(1024, 10000);
    Detect(node);
    EXPECT_EQ(identity.LibelleVolume, c.libelle) << c.level;
    EXPECT_EQ(identity.InfoVolume, c.info) << c.level;
  }
}

TEST_F(VolumeDetectionTest, Format090IsPassedOver) {
  const std::uint64_t first = 2048, count = 40000;
  Member(first, count, {MdFormat::k0_90, 5, 2, 128, 3, 0, 0});
  Volume(first, demo::MakeExtVolume({demo::ExtKind::kExt2, "", "/boot"}, count));
  auto node = Volume(first, count);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 2);
  EXPECT_EQ(identity.LibelleVolume, "Linux Ext2");
  EXPECT_EQ(identity.InfoVolume, "/boot");
  EXPECT_EQ(identity.FirstSctRaid, 0u);
}

TEST_F(VolumeDetectionTest, NothingRecognisedLeavesTheDefaults) {
  identity.InfoVolume = "previous volume";
  identity.FirstSctRaid = 99;
  auto node = Volume(2048, 4096);
  EXPECT_FALSE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 1);
  EXPECT_EQ(identity.LibelleVolume, "INCONNU");
  EXPECT_EQ(identity.InfoVolume, "");
  EXPECT_EQ(identity.FirstSctRaid, 0u);
  EXPECT_FALSE(node.HandleSupport);
}

TEST_F(VolumeDetectionTest, UnreadableFirstSectorGivesOneMessageAndTrue) {
  machine.Disk(kDisk).ReadFault(5000, 1);
  Commit();
  auto node = Volume(5000, 4096);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 1);
  EXPECT_EQ(identity.LibelleVolume, "INCONNU");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, ReadErrorText("Inconnu", 5000));
  EXPECT_FALSE(node.HandleSupport);
}

TEST_F(VolumeDetectionTest, UnreadableSuperblockPositionsAreReportedAndTheSearchGoesOn) {
  const std::uint64_t first = 4096, count = 64000;  // count / 128 = 500
  // Positions 3 and 4 both cover the last 8 sectors; position 5 holds a
  // format-0.90 superblock, which is passed over.
  machine.Disk(kDisk).ReadFault(first + count - 8, 1);
  Commit();
  Member(first, count, {MdFormat::k0_90, 5, 0, 64, 3, 0, 0});
  Volume(first, demo::MakeXfsVolume(count));
  auto node = Volume(first, count);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 8);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text, ReadErrorText("Inconnu", first + count - 8));
  EXPECT_EQ(window.messages[1].text, ReadErrorText("Inconnu", first + count - 16));
}

TEST_F(VolumeDetectionTest, UnreadableRaid1DataArea) {
  Member(8192, 50000, {MdFormat::k1_2, 1, 0, 0, 2, 2048, 4});
  machine.Disk(kDisk).ReadFault(8192 + 2048 + 100, 1);
  Commit();
  auto node = Volume(8192, 50000);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.LibelleVolume, "ID 4 - RAID 1 (2 HD) - Début Raid au sct 2048");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, ReadErrorText("Inconnu", 8192 + 2048));
}

TEST_F(VolumeDetectionTest, WholeDiskAsMember) {
  Member(0, kDiskSectors, {MdFormat::k1_0, 0, 0, 128, 2, 0, 1});
  auto node = DiskNode(kDisk, kDiskSectors);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.LibelleVolume, "ID 1 - RAID 0 Striped (2 HD) - Début Raid au sct 0");
  EXPECT_TRUE(window.messages.empty());
}

// Positions near the end are computed from the extent; a short extent far
// from the start of the disk must not read before its first sector.
TEST_F(VolumeDetectionTest, ShortExtentsNeverReadBeforeTheirStart) {
  for (const std::uint64_t count : {1u, 8u, 15u, 100u}) {
    const std::uint64_t first = 100000;
    // Superblocks where a wrapped computation would look.
    for (const std::uint64_t back : {8u, 16u, 128u}) {
      ASSERT_TRUE(demo::WriteAt(Image(kDisk), (first - back) * 512,
                                demo::MakeMdSuperblock({MdFormat::k1_1, 5, 0, 64, 3, 0, 9}, 64)));
    }
    auto node = Volume(first, count);
    EXPECT_FALSE(Detect(node)) << count;
    EXPECT_EQ(identity.LibelleVolume, "INCONNU");
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(VolumeDetectionTest, ExtentUnderSixteenSectorsAtTheStart) {
  machine.Disk(kDisk).ReadFault(200, 1);  // only a read of a later position would touch it
  Commit();
  auto node = Volume(0, 15);
  node.NBSctDisque = kDiskSectors;
  EXPECT_FALSE(Detect(node));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(VolumeDetectionTest, ExtentArithmeticNeverWraps) {
  // first + count overflows: no position near the "end" is read, so the
  // superblocks at the wrapped sectors stay unseen.
  for (const std::uint64_t wrapped : {76u, 68u}) {
    ASSERT_TRUE(demo::WriteAt(Image(kDisk), wrapped * 512,
                              demo::MakeMdSuperblock({MdFormat::k1_1, 1, 0, 0, 2, 0, 9}, 64)));
  }
  std::vector<std::uint8_t> work(kWorkBufferBytes, 0);
  auto node = Volume(100, kMaxSector);
  OpenMedium(*platform, node);
  EXPECT_FALSE(FindRaidSuperblock(window, node, work.data()));
  CloseMedium(node);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(VolumeDetectionTest, DataOffsetPastEveryMediumIsAReadFailure) {
  Member(100, 10000, {MdFormat::k1_1, 1, 0, 0, 2, kMaxSector - 5, 3});
  // Where a wrapped offset would land.
  ASSERT_TRUE(demo::WriteAt(Image(kDisk), 94 * 512 + 3, {'N', 'T', 'F', 'S'}));
  auto node = Volume(100, 10000);
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 1);
  EXPECT_EQ(identity.FirstSctRaid, kMaxSector);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, ReadErrorText("Inconnu", kMaxSector));
}

TEST_F(VolumeDetectionTest, ImageNodesAreReadLikeDisks) {
  const std::string path = dir.file("volume.img");
  ASSERT_TRUE(demo::CreateSparseImage(path, 4096));
  ASSERT_TRUE(demo::WriteVolume(path, 0, demo::MakeXfsVolume(4096)));
  media::listeSupport node;
  node.TypeSupport = media::kImage;
  node.CheminImage = path;
  node.NBSct = node.NBSctDisque = 4096;
  EXPECT_TRUE(Detect(node));
  EXPECT_EQ(identity.TypeVolume, 8);
  EXPECT_EQ(identity.LibelleVolume, "XFS");
}

}  // namespace
}  // namespace kalvorin::detect
