// The demo machine shows the rows it is made for, as disk identification
// reads them.
#include <gtest/gtest.h>

#include <array>

#include "device/WindowsLayouts.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/DemoMachine.h"
#include "device/sim/demo/ImageFile.h"
#include "media/Identify.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

TEST(SimDemo, DemoMachineShowsEachKindOfDisk) {
  test::TempDir dir;
  std::string error;
  ASSERT_TRUE(demo::BuildDemoMachine(dir.path().string(), error)) << error;
  auto platform = CreateSimulatedPlatform(dir.path().string(), error);
  ASSERT_NE(platform, nullptr) << error;

  // The program's volume is on disk 0.
  auto volume = platform->Open(platform->ProgramVolumePath(), Access::ReadWrite, Share::ReadWrite,
                               Disposition::OpenExisting);
  ASSERT_NE(volume, nullptr);
  std::array<std::uint8_t, 1024> extents{};
  std::uint32_t returned = 0;
  ASSERT_TRUE(volume->DeviceIoControl(kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, extents.data(),
                                      1024, returned));
  EXPECT_EQ(GetU32(extents.data() + disk_extents::kFirstExtent), 0u);

  struct Row {
    int number;
    const char* model;
    const char* serial;
    const char* interfaceType;
    const char* pnpLastSegmentStart;
  };
  const Row rows[] = {
      {1, "ORVANTA HD500-7K", "OV7K20A1B2C3", "IDE", "4&1A2B3C"},
      {2, "NEXORA NX-2000", "NX2000A477F1", "IDE", "4&2B3C4D"},
      {3, "TERRAVOLT TV-SAS900", "TVS900X4471", "SCSI", "5&3C4D5E"},
      {4, "KALPA DataPocket 3.0 USB Device", "0019E06B9C1AF150A7B3", "USB",
       "0019E06B9C1AF150A7B3&0"},
      {5, "PROTECTA WriteBlock USB Device", "201804000317", "USB", "201804"},
      {6, "", "", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.number);
    media::InSupport identity;
    ASSERT_TRUE(media::IdentifyDisk(*platform, identity, row.number));
    EXPECT_EQ(identity.Modele, row.model);
    EXPECT_EQ(identity.NoSerie, row.serial);
    EXPECT_EQ(identity.TypeInterface, row.interfaceType);
    const std::string pnp = identity.PNPDeviceID;
    const std::string lastSegment = pnp.substr(pnp.rfind('\\') + 1);
    EXPECT_EQ(lastSegment.rfind(row.pnpLastSegmentStart, 0), 0u) << pnp;
    if (row.number == 6) {
      EXPECT_EQ(identity.NBSctDisque, 0u);
    } else {
      EXPECT_GE(identity.NBSctDisque, 64u * 2048);
      EXPECT_LE(identity.NBSctDisque, 512u * 2048);
    }
  }
  media::InSupport absent;
  EXPECT_FALSE(media::IdentifyDisk(*platform, absent, 7));

  // Disk 2 has a read fault to show the error policy.
  auto faulty = platform->Open("\\\\.\\PHYSICALDRIVE2", Access::ReadWrite, Share::ReadWrite,
                               Disposition::OpenExisting);
  ASSERT_NE(faulty, nullptr);
  std::array<std::uint8_t, 512> sector{};
  EXPECT_FALSE(faulty->ReadUncached(65536ULL * 512, sector.data(), 512));
  // Disks with a partition carry an MBR.
  EXPECT_EQ(demo::ReadAt((dir.path() / "disk1.img").string(), 510, 2),
            (std::vector<std::uint8_t>{0x55, 0xAA}));
}

}  // namespace
}  // namespace kalvorin::device
