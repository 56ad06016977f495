// Disk identification over the simulated machine: which source answers,
// which one wins, and what a disk without answers looks like.
#include <gtest/gtest.h>

#include <functional>

#include "SimMachine.h"
#include "media/Identify.h"

namespace kalvorin::media {
namespace {

using demo::MachineDisk;

struct SourceCase {
  const char* name;
  std::function<void(MachineDisk&)> describe;
  std::string model;
  std::string serial;
};

TEST(IdentifyDisk, LaterSourcesOverwriteEarlierOnes) {
  const SourceCase cases[] = {
      {"SMART only", [](MachineDisk& d) { d.Smart("WDC WD10EZEX-08WN4A0", "  WD-WCC6Y 1234"); },
       "WDC WD10EZEX-08WN4A0", "WD-WCC6Y1234"},
      {"descriptor only, hex serial",
       [](MachineDisk& d) { d.Descriptor("  Flash Disk  ", "2020202057442d5743"); }, "Flash Disk",
       "WD-WC"},
      {"fixed-command SMART after the descriptor",
       [](MachineDisk& d) {
         d.Smart("SMART MODEL", "SMARTSERIAL");
         d.Descriptor("DESCRIPTOR MODEL", "DESCSERIAL");
       },
       "SMART MODEL", "SMARTSERIAL"},
      {"descriptor after a packet device's SMART",
       [](MachineDisk& d) {
         d.Smart("PACKET MODEL", "PACKETSERIAL", 0x20, true);
         d.Descriptor("DESCRIPTOR MODEL", "DESCSERIAL");
       },
       "DESCRIPTOR MODEL", "DESCSERIAL"},
      {"packet bit of the device map selects IDENTIFY PACKET",
       [](MachineDisk& d) { d.Smart("PACKET MODEL", "PACKETSERIAL", 0x20, true); }, "PACKET MODEL",
       "PACKETSERIAL"},
      {"packet device asked with IDENTIFY DEVICE answers nothing",
       [](MachineDisk& d) { d.Smart("PACKET MODEL", "PACKETSERIAL", 0x02, true); }, "", ""},
      {"descriptor without product: the model is emptied",
       [](MachineDisk& d) {
         d.Smart("SMART MODEL", "S1", 0x20, true);
         d.Descriptor(std::nullopt, "DESCSERIAL");
       },
       "", "DESCSERIAL"},
      {"management model after the descriptor, its serial not taken",
       [](MachineDisk& d) {
         d.Descriptor("DESCRIPTOR MODEL", "DESCSERIAL");
         d.Wmi("Model", "WMI MODEL SCSI Disk Device").Wmi("SerialNumber", "WMISERIAL");
       },
       "WMI MODEL", "DESCSERIAL"},
      {"shorter management model replaces a longer one",
       [](MachineDisk& d) {
         d.Smart("A VERY LONG MODEL NAME FROM SMART", "S1");
         d.Wmi("Model", "Short");
       },
       "Short", "S1"},
      {"management serial when no earlier source gave one",
       [](MachineDisk& d) {
         d.Descriptor("DESCRIPTOR MODEL", std::nullopt);
         d.Wmi("SerialNumber", "  WD-WCC6Y 1234567  ");
       },
       "DESCRIPTOR MODEL", "WD-WCC6Y1234567"},
      {"no source answers", [](MachineDisk&) {}, "", ""},
  };
  for (const auto& c : cases) {
    test::SimMachine sim;
    c.describe(sim.machine.AddDisk(1, 2048));
    ASSERT_TRUE(sim.Write());
    InSupport identity;
    identity.Modele = "LEFT FROM THE DISK BEFORE";
    identity.NoSerie = "OLDSERIAL";
    EXPECT_TRUE(IdentifyDisk(*sim.platform, identity, 1)) << c.name;
    EXPECT_EQ(identity.Modele, c.model) << c.name;
    EXPECT_EQ(identity.NoSerie, c.serial) << c.name;
    EXPECT_EQ(identity.NBSctDisque, 2048u) << c.name;
  }
}

TEST(IdentifyDisk, CapacityComesFromTheGeometry) {
#ifdef _WIN32
  GTEST_SKIP() << "a 1 TB image is not sparse on Windows and would fill the disk";
#endif
  test::SimMachine sim;
  sim.machine.AddDisk(1, 1000204886016ull / 512);
  sim.machine.AddDisk(2, 2048).geometry = false;
  ASSERT_TRUE(sim.Write());
  InSupport identity;
  ASSERT_TRUE(IdentifyDisk(*sim.platform, identity, 1));
  EXPECT_EQ(identity.NBSctDisque, 1953525168u);
  ASSERT_TRUE(IdentifyDisk(*sim.platform, identity, 2));
  EXPECT_EQ(identity.NBSctDisque, 0u);
}

TEST(IdentifyDisk, ADiskThatDoesNotOpenIsAbsentAndCleared) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 2048).Smart("MODEL", "SERIAL");
  sim.machine.AddDisk(2, 2048).opens = false;
  ASSERT_TRUE(sim.Write());
  InSupport identity;
  ASSERT_TRUE(IdentifyDisk(*sim.platform, identity, 1));
  EXPECT_FALSE(IdentifyDisk(*sim.platform, identity, 2));
  EXPECT_FALSE(IdentifyDisk(*sim.platform, identity, 3));
  EXPECT_EQ(identity.Modele, "");
  EXPECT_EQ(identity.NoSerie, "");
  EXPECT_EQ(identity.NBSctDisque, 0u);
}

TEST(IdentifyDisk, ADiskWithoutManagementAnswerInheritsNoInterface) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 2048)
      .Wmi("InterfaceType", "USB")
      .Wmi("PNPDeviceID", "USBSTOR\\DISK&VEN_X\\201804ABCDEF&0");
  sim.machine.AddDisk(2, 2048).Smart("INTERNAL", "S2");
  ASSERT_TRUE(sim.Write());
  InSupport identity;
  ASSERT_TRUE(IdentifyDisk(*sim.platform, identity, 1));
  EXPECT_EQ(identity.TypeInterface, "USB");
  ASSERT_TRUE(IdentifyDisk(*sim.platform, identity, 2));
  EXPECT_EQ(identity.TypeInterface, "");
  EXPECT_EQ(identity.PNPDeviceID, "");
}

}  // namespace
}  // namespace kalvorin::media
