// Volume nodes under the disks, with volume detection switched on.
#include <gtest/gtest.h>

#include "device/sim/demo/FileSystemBuilders.h"
#include "device/sim/demo/PartitionBuilders.h"
#include "media/SimMachine.h"

namespace kalvorin::media {
namespace {

struct Volume {
  std::int32_t type;
  std::string label;
  std::string details;
  std::uint64_t first;
  std::uint64_t count;
};

std::vector<Volume> VolumesOf(const test::SimMachine& sim, int disk) {
  std::vector<Volume> volumes;
  for (const auto* v : sim.Records(sim.DiskNode(disk))) {
    EXPECT_EQ(v->NumDisque, disk);
    EXPECT_EQ(v->TypeSupport, kPhysical);
    EXPECT_EQ(v->NBSctDisque, sim.DiskRecord(disk).NBSct);
    volumes.push_back({v->TypeVolume, v->Libelle, v->NumSerie, v->FirstSct, v->NBSct});
  }
  return volumes;
}

void ExpectVolumes(const std::vector<Volume>& actual, const std::vector<Volume>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].type, expected[i].type) << "volume " << i;
    EXPECT_EQ(actual[i].label, expected[i].label) << "volume " << i;
    EXPECT_EQ(actual[i].details, expected[i].details) << "volume " << i;
    EXPECT_EQ(actual[i].first, expected[i].first) << "volume " << i;
    EXPECT_EQ(actual[i].count, expected[i].count) << "volume " << i;
  }
}

class VolumeNodes : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.state.NumDisqueProgramme = 0;
    sim.state.DetectionVolumes = true;
  }
  bool Put(int disk, std::uint64_t first, const std::vector<std::uint8_t>& volume) {
    return demo::WriteVolume(sim.machine.ImagePath(disk), first, volume);
  }
  test::SimMachine sim;
};

TEST_F(VolumeNodes, OneNodePerSlotLabelledByDetectionAndDriveLetters) {
  sim.machine.AddDisk(1, 65536).Smart("DISK ONE", "S1");
  sim.machine.AddDisk(2, 65536);
  sim.machine.AddLetter('D').Extent(1, 2048, 8192).label = "DATA";
  sim.machine.AddLetter('E').Extent(2, 10240, 8192).label = "AUTRE";  // same extent, disk 2
  sim.machine.AddLetter('F').Extent(1, 18432, 8192).label = "PREMIER";
  sim.machine.AddLetter('G').Extent(1, 18432, 8192).label = "SECOND";
  sim.machine.AddLetter('H').Extent(1, 26624, 4095).label = "COURT";  // one sector short
  ASSERT_TRUE(sim.Write());
  ASSERT_TRUE(demo::WriteTableSector(
      sim.machine.ImagePath(1), 0,
      {{0x83, 2048, 8192}, {0x83, 10240, 8192}, {0x07, 18432, 8192}, {0x82, 26624, 4096}}));
  ASSERT_TRUE(Put(1, 2048, demo::MakeExtVolume({demo::ExtKind::kExt4, "DONNEES", ""}, 8192)));
  ASSERT_TRUE(Put(1, 10240, demo::MakeExtVolume({demo::ExtKind::kExt3, "", "/srv"}, 8192)));
  ASSERT_TRUE(Put(1, 18432, demo::MakeNtfsVolume(8192)));
  ASSERT_TRUE(sim.Refresh());

  ExpectVolumes(VolumesOf(sim, 1), {
                                       {kVolumeExt4, "Linux Ext4", "DATA (D:)", 2048, 8192},
                                       {kVolumeExt3, "Linux Ext3", "/srv", 10240, 8192},
                                       {kVolumeNtfs, "NTFS", "SECOND (G:)", 18432, 8192},
                                       {kVolumeUnknown, "Inconnu", "", 26624, 4096},
                                   });
  EXPECT_TRUE(sim.DiskNode(2).children.empty());  // no table, nothing recognised
  EXPECT_TRUE(sim.window.messages.empty());
  EXPECT_TRUE(sim.DiskNode(1).expanded);
  EXPECT_TRUE(sim.DiskNode(1).children[0]->expanded);
}

TEST_F(VolumeNodes, ADiskFormattedAsAWholeIsOneVolume) {
  sim.machine.AddDisk(3, 20480);
  sim.machine.AddLetter('D').Extent(3, 0, 20480).label = "ENTIER";
  ASSERT_TRUE(sim.Write());
  ASSERT_TRUE(Put(3, 0, demo::MakeXfsVolume(20480)));
  ASSERT_TRUE(sim.Refresh());
  ExpectVolumes(VolumesOf(sim, 3), {{kVolumeXfs, "XFS", "ENTIER (D:)", 0, 20480}});
}

TEST_F(VolumeNodes, GptSlotsBecomeNodesInSlotOrder) {
  sim.machine.AddDisk(1, 40960);
  ASSERT_TRUE(sim.Write());
  ASSERT_TRUE(demo::WriteGpt(
      sim.machine.ImagePath(1), 40960,
      {{demo::kGuidEfiSystem, 2048, 4095, "EFI"}, {demo::kGuidBasicData, 4096, 20479, "DATA"}}));
  ASSERT_TRUE(Put(1, 4096, demo::MakeNtfsVolume(16384)));
  ASSERT_TRUE(sim.Refresh());
  ExpectVolumes(VolumesOf(sim, 1), {{kVolumeUnknown, "Inconnu", "", 2048, 2048},
                                    {kVolumeNtfs, "NTFS", "", 4096, 16384}});
}

TEST_F(VolumeNodes, ADiskWhoseFirstSectorsFailIsOneUnknownVolume) {
  sim.machine.AddDisk(1, 8192).ReadFault(0, 1);
  ASSERT_TRUE(sim.Refresh());
  const auto volumes = VolumesOf(sim, 1);
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].first, 0u);
  EXPECT_EQ(volumes[0].count, 8192u);
  EXPECT_EQ(volumes[0].type, kVolumeUnknown);
  EXPECT_FALSE(sim.window.messages.empty());
  for (const auto& message : sim.window.messages) {
    EXPECT_EQ(message.caption, "Erreur Lecture Support");
  }
}

}  // namespace
}  // namespace kalvorin::media
