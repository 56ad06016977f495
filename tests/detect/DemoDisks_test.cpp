// The demo machine's disks show every volume kind that detection knows.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "detect/PartitionTable.h"
#include "detect/VolumeDetection.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/DemoMachine.h"
#include "support/ScriptedWindow.h"
#include "support/TempDir.h"

namespace kalvorin::detect {
namespace {

struct Row {
  int kind;
  std::string libelle, info;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << "{" << row.kind << ", \"" << row.libelle << "\", \"" << row.info << "\"}";
}

class DemoDisksTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::unique_ptr<device::Platform> platform;
  test::ScriptedWindow window;

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(demo::BuildDemoMachine(dir.path().string(), error)) << error;
    platform = device::CreateSimulatedPlatform(dir.path().string(), error);
    ASSERT_TRUE(platform) << error;
  }

  // The rows detection gives under a medium, as the volume step makes them:
  // the medium as a whole when recognised, else one row per partition slot.
  std::vector<Row> Volumes(media::listeSupport medium) {
    media::InSupport identity;
    if (DetectVolume(*platform, window, identity, medium)) {
      identity.TablePartition[0] = {1, medium.FirstSct, medium.NBSct};
      identity.TablePartition[1].TypePartition = 0;
    } else {
      ReadPartitionTable(*platform, window, identity, medium);
    }
    std::vector<Row> rows;
    for (const auto& slot : identity.TablePartition) {
      if (slot.TypePartition == 0) break;
      media::listeSupport volume;
      volume.NumDisque = medium.NumDisque;
      volume.TypeSupport = medium.TypeSupport;
      volume.CheminImage = medium.CheminImage;
      volume.Libelle = "Inconnu";
      volume.FirstSct = slot.FirstSct;
      volume.NBSct = slot.NBSct;
      volume.NBSctDisque = medium.NBSctDisque;
      Row row{1, "Inconnu", ""};
      if (DetectVolume(*platform, window, identity, volume)) {
        row = {identity.TypeVolume, identity.LibelleVolume, identity.InfoVolume};
      }
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<Row> DiskVolumes(int number, std::uint64_t sectors) {
    media::listeSupport disk;
    disk.NumDisque = number;
    disk.TypeSupport = media::kPhysical;
    disk.Libelle = "Disque " + std::to_string(number);
    disk.NBSct = disk.NBSctDisque = sectors;
    return Volumes(std::move(disk));
  }
};

constexpr std::uint64_t kMiB = 2048;

TEST_F(DemoDisksTest, ExtendedPartitionWithLogicalDrives) {
  EXPECT_EQ(DiskVolumes(8, 256 * kMiB), (std::vector<Row>{{6, "NTFS", ""},
                                                          {4, "Linux Ext4", "donnees"},
                                                          {3, "Linux Ext3", "/home"},
                                                          {2, "Linux Ext2", ""},
                                                          {5, "FAT16", "PARTAGE"}}));
}

TEST_F(DemoDisksTest, GptAndHybridMbr) {
  EXPECT_EQ(DiskVolumes(9, 256 * kMiB),
            (std::vector<Row>{
                {5, "FAT32", "EFI"}, {6, "NTFS", ""}, {8, "XFS", ""}, {4, "Linux Ext4", ""}}));
  EXPECT_EQ(DiskVolumes(10, 128 * kMiB),
            (std::vector<Row>{{5, "FAT32", "COMMUN"}, {5, "FAT32", "COMMUN"}, {7, "HFS+", ""}}));
}

TEST_F(DemoDisksTest, RaidMembersOfEachFormat) {
  const std::string at = " - Début Raid au sct ";
  EXPECT_EQ(DiskVolumes(11, 512 * kMiB),
            (std::vector<Row>{
                {1, "ID 2 - RAID 5 (4 HD)" + at + "2048", "Gauche Symétrique 128 Sct"},
                {6, "NTFS", "ID 0 - RAID 1 (2 HD)" + at + "0"},
                {1, "ID 1 - RAID 0 Striped (3 HD)" + at + "2048", "Gauche Asymétrique 1024 Sct"},
                {1, "ID 3 - RAID 10 (4 HD)" + at + "2048",
                 "ID 3 - RAID 10 (4 HD)" + at + "2048 - 1024 Sct"},
                {2, "Linux Ext2", "ancien"},
                {4, "Linux Ext4", "miroir"}}));
  EXPECT_EQ(
      DiskVolumes(12, 64 * kMiB),
      (std::vector<Row>{{1, "ID 4 - RAID 6 (6 HD)" + at + "2048", "Gauche Symétrique 1024 Sct"}}));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(DemoDisksTest, BadSectorInThePartitionTableArea) {
  EXPECT_EQ(DiskVolumes(13, 128 * kMiB),
            (std::vector<Row>{{4, "Linux Ext4", "systeme"}, {3, "Linux Ext3", "var"}}));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Erreur Lecture Support Disque 13 au Secteur 131072");
}

TEST_F(DemoDisksTest, ImageFileToAdd) {
  media::listeSupport image;
  image.TypeSupport = media::kImage;
  image.CheminImage = dir.file("exemple.img");
  image.NBSct = image.NBSctDisque = 64 * kMiB;
  EXPECT_EQ(Volumes(std::move(image)),
            (std::vector<Row>{{5, "FAT32", "EXEMPLE"}, {4, "Linux Ext4", "exemple"}}));
}

}  // namespace
}  // namespace kalvorin::detect
