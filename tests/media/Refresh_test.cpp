// The media list refresh over simulated machines.
#include <gtest/gtest.h>

#include "SimMachine.h"
#include "device/sim/demo/PartitionBuilders.h"

namespace kalvorin::media {
namespace {

const std::string kDockLabel = "DOCK For MORVESTANIX (Protégé en écriture)";

void MakeUsb(demo::MachineDisk& disk, const std::string& interfaceType,
             const std::string& pnpDeviceId) {
  disk.Wmi("InterfaceType", interfaceType).Wmi("PNPDeviceID", pnpDeviceId);
}

TEST(RefreshMediaList, ListsEveryDiskButTheProgramsInIncreasingOrder) {
  test::SimMachine sim;
  sim.machine.AddDisk(0, 2048).Smart("SYSTEM DISK", "SYS1");
  sim.machine.AddDisk(5, 4096).Smart("DISK FIVE", "ABC123");
  sim.machine.AddDisk(2, 1024).Descriptor("Flash", std::nullopt);
  sim.machine.AddDisk(127, 512);
  sim.machine.AddDisk(3, 512).opens = false;
  sim.state.NumDisqueProgramme = 0;
  ASSERT_TRUE(sim.Refresh());

  const auto& top = sim.state.tree.TopLevel();
  ASSERT_EQ(top.size(), 1u);
  const listeSupport& header = *top[0]->record;
  EXPECT_EQ(header.Libelle, "Support(s) connecté(s)");
  EXPECT_EQ(header.TypeSupport, kGroupHeader);
  EXPECT_EQ(header.TypeVolume, 0);
  EXPECT_TRUE(top[0]->expanded);
  EXPECT_EQ(sim.DiskNumbers(), (std::vector<int>{2, 5, 127}));

  const listeSupport& five = sim.DiskRecord(5);
  EXPECT_EQ(five.Libelle, "DISK FIVE");
  EXPECT_EQ(five.NumSerie, " S/N : ABC123");
  EXPECT_EQ(five.TypeSupport, kPhysical);
  EXPECT_EQ(five.TypeVolume, 0);
  EXPECT_EQ(five.FirstSct, 0u);
  EXPECT_EQ(five.NBSct, 4096u);
  EXPECT_EQ(five.NBSctDisque, 4096u);
  EXPECT_EQ(sim.DiskRecord(2).NumSerie, "");
  EXPECT_EQ(sim.DiskRecord(2).Libelle, "Flash");
  EXPECT_TRUE(sim.DiskNode(5).expanded);
  EXPECT_TRUE(sim.window.messages.empty());
}

TEST(RefreshNamedDisks, ListsOnlyTheNamedDisksThatAnswerNeverTheProgramsOne) {
  test::SimMachine sim;
  sim.machine.AddDisk(0, 2048).Smart("SYSTEM DISK", "SYS1");
  sim.machine.AddDisk(2, 1024).Smart("DISK TWO", "TWO2");
  sim.machine.AddDisk(4, 1024).Smart("DISK FOUR", "FOUR4");
  sim.machine.AddDisk(5, 4096).Smart("DISK FIVE", "ABC123");
  sim.state.NumDisqueProgramme = 0;
  ASSERT_TRUE(sim.Write());
  // Any order, repeated, absent and out-of-range numbers, the program's disk.
  media::RefreshNamedDisks(*sim.platform, sim.window, sim.state, detect::AddVolumeNodes,
                           {5, 0, 9, 2, 5, -1, 128});
  EXPECT_EQ(sim.DiskNumbers(), (std::vector<int>{2, 5}));
  EXPECT_EQ(sim.DiskRecord(5).NumSerie, " S/N : ABC123");
  EXPECT_TRUE(sim.Supports().expanded);
}

TEST(RefreshMediaList, OnlyTheProgramDiskGivesTheHeaderAlone) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 2048).Smart("PROGRAM", "P1");
  sim.state.NumDisqueProgramme = 1;
  ASSERT_TRUE(sim.Refresh());
  ASSERT_EQ(sim.state.tree.TopLevel().size(), 1u);
  EXPECT_TRUE(sim.Supports().children.empty());
  EXPECT_TRUE(sim.Supports().expanded);
}

TEST(RefreshMediaList, ShowsManagementTextsInTheirCharacters) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 2048)
      .Wmi("Model", "Disque \xC3\xA9tendu SCSI Disk Device")
      .Wmi("SerialNumber", "N\xC2\xB0 42");
  sim.state.NumDisqueProgramme = 0;
  ASSERT_TRUE(sim.Refresh());
  EXPECT_EQ(sim.DiskRecord(1).Libelle, "Disque \xC3\xA9tendu");
  EXPECT_EQ(sim.DiskRecord(1).NumSerie,
            " S/N : N\xC2\xB0"
            "42");
}

TEST(RefreshMediaList, RecognisesTheDockByTheStartOfItsUsbSerial) {
  struct Case {
    const char* name;
    std::string interfaceType;
    std::string pnpDeviceId;
    std::string idUsb;
    bool dock;
  };
  const Case cases[] = {
      {"dock", "USB", "USBSTOR\\DISK&VEN_MORV&PROD_DOCK\\201804ABCDEF&0", "201804", true},
      {"other USB disk", "USB", "USBSTOR\\DISK&VEN_X\\4C530001230807&0", "4C5300", false},
      {"four-character last segment", "USB", "USBSTOR\\DISK&VEN_X\\2018", "2018", false},
      {"lower-case interface", "usb", "USBSTOR\\DISK&VEN_X\\201804ABCDEF&0", "", false},
      {"blank before the interface", " usb", "USBSTOR\\DISK&VEN_X\\201804ABCDEF&0", "", false},
      {"no backslash: the whole id", "USB", "201804XYZ", "201804", true},
      {"ends with a backslash", "USB", "USBSTOR\\DISK\\", "", false},
      {"internal disk", "IDE", "SCSI\\DISK&VEN_WDC\\201804&0", "", false},
  };
  for (const auto& c : cases) {
    test::SimMachine sim;
    auto& disk = sim.machine.AddDisk(3, 2048).Smart("DOCK DISK", "SERIAL99");
    MakeUsb(disk, c.interfaceType, c.pnpDeviceId);
    sim.state.NumDisqueProgramme = 0;
    ASSERT_TRUE(sim.Refresh());
    const listeSupport& record = sim.DiskRecord(3);
    EXPECT_EQ(record.TypeInterface, c.interfaceType) << c.name;
    EXPECT_EQ(record.IdUSB, c.idUsb) << c.name;
    EXPECT_EQ(record.NumSerie, c.dock ? kDockLabel : " S/N : SERIAL99") << c.name;
    EXPECT_EQ(sim.state.NumDisqueDock, c.dock ? 3 : -1) << c.name;
  }
}

TEST(RefreshMediaList, RemembersTheDockAfterItIsUnplugged) {
  test::SimMachine sim;
  MakeUsb(sim.machine.AddDisk(4, 2048), "USB", "USBSTOR\\DISK\\201804ABCDEF&0");
  sim.machine.AddDisk(1, 2048);
  sim.state.NumDisqueProgramme = 0;
  ASSERT_TRUE(sim.Refresh());
  EXPECT_EQ(sim.state.NumDisqueDock, 4);

  sim.machine.RemoveDisk(4);
  ASSERT_TRUE(sim.Refresh());
  EXPECT_EQ(sim.DiskNumbers(), std::vector<int>{1});
  EXPECT_EQ(sim.state.NumDisqueDock, 4);
}

TEST(RefreshMediaList, ADiskWithoutManagementAnswerAfterTheDockIsNotTheDock) {
  test::SimMachine sim;
  MakeUsb(sim.machine.AddDisk(2, 2048), "USB", "USBSTOR\\DISK\\201804ABCDEF&0");
  sim.machine.AddDisk(3, 2048).Smart("PLAIN DISK", "P3");
  sim.state.NumDisqueProgramme = 0;
  ASSERT_TRUE(sim.Refresh());
  const listeSupport& plain = sim.DiskRecord(3);
  EXPECT_EQ(plain.TypeInterface, "");
  EXPECT_EQ(plain.IdUSB, "");
  EXPECT_EQ(plain.NumSerie, " S/N : P3");
  EXPECT_EQ(sim.state.NumDisqueDock, 2);
}

TEST(RefreshMediaList, VolumeDetectionSkipsADiskOfNoSectors) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 4096).geometry = false;
  sim.machine.AddDisk(2, 4096);
  ASSERT_TRUE(sim.Write());
  for (int n : {1, 2}) {
    ASSERT_TRUE(demo::WriteTableSector(sim.machine.ImagePath(n), 0, {{0x83, 2048, 1024}}));
  }
  sim.state.NumDisqueProgramme = 0;
  sim.state.DetectionVolumes = true;
  ASSERT_TRUE(sim.Refresh());
  EXPECT_EQ(sim.DiskRecord(1).NBSct, 0u);
  EXPECT_TRUE(sim.DiskNode(1).children.empty());
  EXPECT_EQ(sim.DiskNode(2).children.size(), 1u);

  sim.state.DetectionVolumes = false;
  ASSERT_TRUE(sim.Refresh());
  EXPECT_TRUE(sim.DiskNode(2).children.empty());
}

}  // namespace
}  // namespace kalvorin::media
