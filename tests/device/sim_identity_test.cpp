// The identity answers of simulated disks, byte for byte in the Windows
// layouts, and the management query.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "device/WindowsLayouts.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/MachineBuilder.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

// The characters of IDENTIFY words first..last, high byte first.
std::string AtaText(const std::uint8_t* identify, int first, int last) {
  std::string text;
  for (int word = first; word <= last; ++word) {
    text += static_cast<char>(identify[word * 2 + 1]);
    text += static_cast<char>(identify[word * 2]);
  }
  return text;
}

class SimIdentity : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.AddDisk(1, 2048)
        .Smart("ORVANTA HD500-7K", "OV7K20A1B2C3", 0x11)
        .Descriptor("ORVANTA HD500", "  ABC123  ")
        .Wmi("Model", "ORVANTA HD500-7K SCSI Disk Device")
        .Wmi("InterfaceType", "IDE")
        .WmiArray("Capabilities", {"3", "4"});
    machine.AddDisk(2, 1000)
        .Smart("ATAPI WRITER", "PKT1", 0x10, true)
        .Descriptor(std::nullopt, "3132");
    machine.AddDisk(3, 1000).geometry = false;
    std::string error;
    ASSERT_TRUE(machine.Write(error)) << error;
    platform = CreateSimulatedPlatform(machine.folder(), error);
    ASSERT_NE(platform, nullptr) << error;
  }
  std::unique_ptr<File> Disk(int number) {
    return platform->Open("\\\\.\\PhysicalDrive" + std::to_string(number), Access::ReadWrite,
                          Share::ReadWrite, Disposition::OpenExisting);
  }
  bool Identify(File& disk, std::uint8_t command, std::vector<std::uint8_t>& answer) {
    std::array<std::uint8_t, 33> request{};
    PutU32(request.data(), 512);
    request[send_cmd_in::kCommand] = command;
    answer.assign(545, 0);
    std::uint32_t returned = 0;
    return disk.DeviceIoControl(kSmartRcvDriveData, request.data(), 33, answer.data(), 545,
                                returned) &&
           returned == send_cmd_out::kSize;
  }

  test::TempDir dir;
  demo::MachineBuilder machine{dir.path().string()};
  std::unique_ptr<Platform> platform;
};

TEST_F(SimIdentity, SmartAnswersTheDeviceMapAndIdentifyInAtaByteOrder) {
  auto disk = Disk(1);
  ASSERT_NE(disk, nullptr);
  std::array<std::uint8_t, 24> version{};
  std::uint32_t returned = 0;
  ASSERT_TRUE(disk->DeviceIoControl(kSmartGetVersion, nullptr, 0, version.data(), 24, returned));
  EXPECT_EQ(version[smart_version::kIdeDeviceMap], 0x11);

  std::vector<std::uint8_t> answer;
  ASSERT_TRUE(Identify(*disk, kAtaIdentifyDevice, answer));
  const std::uint8_t* identify = answer.data() + send_cmd_out::kBuffer;
  EXPECT_EQ(AtaText(identify, 27, 46), "ORVANTA HD500-7K" + std::string(24, ' '));
  EXPECT_EQ(AtaText(identify, 10, 19), "OV7K20A1B2C3" + std::string(8, ' '));
  EXPECT_EQ(identify[27 * 2 + 1], 'O');  // first character in the high byte
  EXPECT_FALSE(Identify(*disk, kAtaIdentifyPacketDevice, answer));
  // The answer never goes past the caller's buffer.
  std::array<std::uint8_t, 527> small{};
  std::array<std::uint8_t, 32> request{};
  request[send_cmd_in::kCommand] = kAtaIdentifyDevice;
  EXPECT_FALSE(
      disk->DeviceIoControl(kSmartRcvDriveData, request.data(), 32, small.data(), 527, returned));
  EXPECT_FALSE(disk->DeviceIoControl(kSmartGetVersion, nullptr, 0, version.data(), 23, returned));
}

TEST_F(SimIdentity, APacketDeviceAnswersOnlyIdentifyPacketDevice) {
  auto disk = Disk(2);
  ASSERT_NE(disk, nullptr);
  std::vector<std::uint8_t> answer;
  EXPECT_FALSE(Identify(*disk, kAtaIdentifyDevice, answer));
  ASSERT_TRUE(Identify(*disk, kAtaIdentifyPacketDevice, answer));
  EXPECT_EQ(AtaText(answer.data() + send_cmd_out::kBuffer, 10, 11), "PKT1");
}

TEST_F(SimIdentity, DescriptorHoldsTheTextsExactlyAndZeroForAnAbsentField) {
  std::array<std::uint8_t, 12> query{};
  std::vector<std::uint8_t> answer(10000, 0xAA);
  std::uint32_t returned = 0;
  auto disk = Disk(1);
  ASSERT_TRUE(disk->DeviceIoControl(kIoctlStorageQueryProperty, query.data(), 12, answer.data(),
                                    10000, returned));
  const std::uint32_t product = GetU32(&answer[storage_descriptor::kProductIdOffset]);
  const std::uint32_t serial = GetU32(&answer[storage_descriptor::kSerialNumberOffset]);
  ASSERT_GT(product, 0u);
  ASSERT_GT(serial, 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&answer[product]), "ORVANTA HD500");
  EXPECT_STREQ(reinterpret_cast<const char*>(&answer[serial]), "  ABC123  ");
  EXPECT_EQ(answer[returned], 0xAA);  // nothing written past the answer

  auto packet = Disk(2);
  ASSERT_TRUE(packet->DeviceIoControl(kIoctlStorageQueryProperty, query.data(), 12, answer.data(),
                                      10000, returned));
  EXPECT_EQ(GetU32(&answer[storage_descriptor::kProductIdOffset]), 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(
                   &answer[GetU32(&answer[storage_descriptor::kSerialNumberOffset])]),
               "3132");
  // Too small an answer buffer, or no descriptor: the query fails.
  EXPECT_FALSE(disk->DeviceIoControl(kIoctlStorageQueryProperty, query.data(), 12, answer.data(),
                                     50, returned));
  EXPECT_FALSE(Disk(3)->DeviceIoControl(kIoctlStorageQueryProperty, query.data(), 12, answer.data(),
                                        10000, returned));
}

TEST_F(SimIdentity, GeometryGivesTheImageSizeUnlessRefused) {
  std::array<std::uint8_t, 40> answer{};
  std::uint32_t returned = 0;
  ASSERT_TRUE(Disk(1)->DeviceIoControl(kIoctlDiskGetDriveGeometryEx, nullptr, 0, answer.data(), 40,
                                       returned));
  EXPECT_EQ(GetU64(&answer[geometry_ex::kDiskSize]), 2048u * 512);
  EXPECT_EQ(GetU32(&answer[geometry_ex::kBytesPerSector]), 512u);
  EXPECT_FALSE(Disk(1)->DeviceIoControl(kIoctlDiskGetDriveGeometryEx, nullptr, 0, answer.data(), 39,
                                        returned));
  auto bare = Disk(3);
  ASSERT_NE(bare, nullptr);
  EXPECT_FALSE(
      bare->DeviceIoControl(kIoctlDiskGetDriveGeometryEx, nullptr, 0, answer.data(), 40, returned));
  EXPECT_FALSE(bare->DeviceIoControl(kSmartGetVersion, nullptr, 0, answer.data(), 40, returned));
}

TEST_F(SimIdentity, ManagementQueryAnswersTheDiskObjectAsNameValueLines) {
  const std::vector<WmiObject> expected = {
      {"Model=ORVANTA HD500-7K SCSI Disk Device", "InterfaceType=IDE", "Capabilities=3, 4"}};
  EXPECT_EQ(platform->QueryWmi("WIN32_DiskDrive where Index=1"), expected);
  EXPECT_EQ(platform->QueryWmi("  win32_diskdrive  WHERE  Index = 1 "), expected);
  EXPECT_EQ(platform->QueryWmi("WIN32_DiskDrive"), expected);  // every object
  const char* nothing[] = {
      "WIN32_DiskDrive where Index=2",  "WIN32_DiskDrive where Index=9",
      "WIN32_DiskDrive where Index=",   "WIN32_DiskDrive where Index=1 or 1=1",
      "WIN32_DiskDrive where Index=-1", "WIN32_DiskDrive where Index=99999999999999",
      "WIN32_Volume where Index=1",     "",
  };
  for (const char* selection : nothing) {
    SCOPED_TRACE(selection);
    EXPECT_TRUE(platform->QueryWmi(selection).empty());
  }
}

}  // namespace
}  // namespace kalvorin::device
