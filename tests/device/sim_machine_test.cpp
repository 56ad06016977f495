// The machine description: refused descriptions, letters and their extents,
// the program's volume, plugging between opens and the machine's services.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/WindowsLayouts.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/MachineBuilder.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Extent {
  std::uint32_t disk;
  std::uint64_t offset, length;
  bool operator==(const Extent&) const = default;
};

// The extents answered by the volume at `path`; nullopt when it does not
// open or the query fails.
std::optional<std::vector<Extent>> Extents(Platform& platform, const std::string& path) {
  auto volume = platform.Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting);
  if (!volume) return std::nullopt;
  std::array<std::uint8_t, 8192> answer{};
  std::uint32_t returned = 0;
  if (!volume->DeviceIoControl(kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(), 8192,
                               returned)) {
    return std::nullopt;
  }
  std::vector<Extent> extents;
  for (std::uint32_t i = 0; i < GetU32(answer.data()); ++i) {
    const std::uint8_t* record =
        answer.data() + disk_extents::kFirstExtent + i * disk_extents::kExtentSize;
    extents.push_back({GetU32(record), GetU64(record + 8), GetU64(record + 16)});
  }
  return extents;
}

TEST(SimMachine, MalformedDescriptionsAreRefusedNamingTheKey) {
  struct Case {
    const char* json;
    const char* key;
  };
  const Case cases[] = {
      {R"({"disks": [{"number": 128, "image": "a.img"}]})", "disks[0].number"},
      {R"({"disks": [{"number": -1, "image": "a.img"}]})", "disks[0].number"},
      {R"({"disks": [{"number": 1.5, "image": "a.img"}]})", "disks[0].number"},
      {R"({"disks": [{"image": "a.img"}]})", "disks[0].number"},
      {R"({"disks": [{"number": 1, "image": "a.img"}, {"number": 1, "image": "b.img"}]})",
       "disks[1].number"},
      {R"({"disks": [{"number": 1, "image": "/etc/passwd"}]})", "disks[0].image"},
      {R"({"disks": [{"number": 1, "image": "../outside.img"}]})", "disks[0].image"},
      {R"({"disks": [{"number": 1, "image": "sub/../../x.img"}]})", "disks[0].image"},
      {R"({"disks": [{"number": 1, "image": 3}]})", "disks[0].image"},
      {R"({"disks": [{"number": 1, "image": "a.img", "opens": "yes"}]})", "disks[0].opens"},
      {R"({"disks": [{"number": 1, "image": "a.img", "smart": {"device_map": 256}}]})",
       "disks[0].smart.device_map"},
      {R"({"disks": [{"number": 1, "image": "a.img", "smart": {"model": 5}}]})",
       "disks[0].smart.model"},
      {R"({"disks": [{"number": 1, "image": "a.img", "descriptor": {"serial": ["x"]}}]})",
       "disks[0].descriptor.serial"},
      {R"({"disks": [{"number": 1, "image": "a.img", "wmi": {"Model": {"a": 1}}}]})",
       "disks[0].wmi.Model"},
      {R"({"disks": [{"number": 1, "image": "a.img", "wmi": {"Caps": ["a", 2]}}]})",
       "disks[0].wmi.Caps"},
      {R"({"disks": [{"number": 1, "image": "a.img", "faults": {"read": [[1]]}}]})",
       "disks[0].faults.read[0]"},
      {R"({"disks": [{"number": 1, "image": "a.img", "faults": {"seek": [[1, -2]]}}]})",
       "disks[0].faults.seek[0][1]"},
      {R"({"disks": {}})", "disks"},
      {R"({"letters": [{"letter": "B"}]})", "letters[0].letter"},
      {R"({"letters": [{"letter": "DE"}]})", "letters[0].letter"},
      {R"({"letters": [{"letter": "D"}, {"letter": "d"}]})", "letters[1].letter"},
      {R"({"letters": [{"letter": "D", "drive_type": 7}]})", "letters[0].drive_type"},
      {R"({"letters": [{"letter": "D", "extents": [{"disk": 1, "first": 0}]}]})",
       "letters[0].extents[0].count"},
      {R"({"letters": [{"letter": "D", "extents": [{"disk": 1, "first": 18014398509481984,
           "count": 1}]}]})",
       "letters[0].extents[0].first"},
      {R"({"program_disk": "none"})", "program_disk"},
      {R"({"program_disk": 200})", "program_disk"},
      {R"({"free_bytes": -5})", "free_bytes"},
      {R"([1, 2])", "(racine)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    test::TempDir dir;
    WriteText(dir.path() / "machine.json", c.json);
    std::string error;
    EXPECT_EQ(CreateSimulatedPlatform(dir.path().string(), error), nullptr);
    EXPECT_NE(error.find(std::string("« ") + c.key + " »"), std::string::npos) << error;
  }
}

TEST(SimMachine, UnreadableDescriptionsAreRefusedWithAMessage) {
  test::TempDir dir;
  std::string error;
  EXPECT_EQ(CreateSimulatedPlatform((dir.path() / "missing").string(), error), nullptr);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(CreateSimulatedPlatform(dir.path().string(), error), nullptr);  // no machine.json
  EXPECT_NE(error.find("machine.json"), std::string::npos);
  WriteText(dir.path() / "machine.json", "{\"disks\": [");
  EXPECT_EQ(CreateSimulatedPlatform(dir.path().string(), error), nullptr);
  EXPECT_NE(error.find("JSON"), std::string::npos) << error;
  // Unknown keys are ignored; an empty machine is valid.
  WriteText(dir.path() / "machine.json", R"({"comment": "x", "disks": [], "future": {"a": 1}})");
  EXPECT_NE(CreateSimulatedPlatform(dir.path().string(), error), nullptr) << error;
}

TEST(SimMachine, LettersAnswerTypeLabelAndExtents) {
  test::TempDir dir;
  demo::MachineBuilder machine(dir.path().string());
  machine.AddDisk(1, 8192);
  machine.AddDisk(2, 8192);
  machine.AddLetter('D').Extent(1, 2048, 4096).label = "DATA";
  machine.AddLetter('E', kDriveRemovable).label = std::nullopt;  // card reader, no medium
  machine.AddLetter('F').Extent(1, 6144, 2048).Extent(2, 0, 8192);
  machine.AddLetter('G').Extent(2, 0, 100).opens = false;
  std::string error;
  ASSERT_TRUE(machine.Write(error)) << error;
  auto platform = CreateSimulatedPlatform(machine.folder(), error);
  ASSERT_NE(platform, nullptr) << error;

  EXPECT_EQ(Extents(*platform, "\\\\.\\D:"), (std::vector<Extent>{{1, 2048 * 512, 4096 * 512}}));
  EXPECT_EQ(Extents(*platform, "\\\\.\\d:"), (std::vector<Extent>{{1, 2048 * 512, 4096 * 512}}));
  EXPECT_EQ(Extents(*platform, "\\\\.\\F:"),
            (std::vector<Extent>{{1, 6144 * 512, 2048 * 512}, {2, 0, 8192 * 512}}));
  EXPECT_EQ(Extents(*platform, "\\\\.\\E:"), std::nullopt);
  EXPECT_EQ(Extents(*platform, "\\\\.\\G:"), std::nullopt);
  EXPECT_EQ(Extents(*platform, "\\\\.\\H:"), std::nullopt);

  EXPECT_EQ(platform->DriveType('D'), kDriveFixed);
  EXPECT_EQ(platform->DriveType('E'), kDriveRemovable);
  EXPECT_EQ(platform->DriveType('H'), kDriveNoRootDir);
  EXPECT_EQ(platform->DriveType('A'), kDriveNoRootDir);
  EXPECT_EQ(platform->VolumeLabel('D'), "DATA");
  EXPECT_EQ(platform->VolumeLabel('F'), "");
  EXPECT_EQ(platform->VolumeLabel('E'), std::nullopt);
  EXPECT_EQ(platform->VolumeLabel('H'), std::nullopt);

  // The extents answer respects the caller's buffer: one extent needs 32 bytes.
  auto volume =
      platform->Open("\\\\.\\D:", Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting);
  std::array<std::uint8_t, 32> answer{};
  std::uint32_t returned = 0;
  EXPECT_FALSE(volume->DeviceIoControl(kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(),
                                       31, returned));
  EXPECT_TRUE(volume->DeviceIoControl(kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(),
                                      32, returned));
  EXPECT_EQ(returned, 32u);
}

TEST(SimMachine, ProgramVolumeFollowsProgramDisk) {
  test::TempDir dir;
  demo::MachineBuilder machine(dir.path().string());
  machine.AddDisk(0, 8192);
  std::string error;
  ASSERT_TRUE(machine.Write(error));
  auto platform = CreateSimulatedPlatform(machine.folder(), error);
  ASSERT_NE(platform, nullptr);
  const std::string path = platform->ProgramVolumePath();

  // Absent: the volume does not open.
  EXPECT_EQ(platform->Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting),
            nullptr);
  machine.SetProgramDisk(0);
  ASSERT_TRUE(machine.Write(error));
  const auto extents = Extents(*platform, path);
  ASSERT_TRUE(extents.has_value());
  ASSERT_EQ(extents->size(), 1u);
  EXPECT_EQ((*extents)[0].disk, 0u);
  machine.SetProgramDisk(5);  // a disk that is not attached still names its number
  ASSERT_TRUE(machine.Write(error));
  EXPECT_EQ(Extents(*platform, path).value().at(0).disk, 5u);
  machine.SetProgramDiskFails();
  ASSERT_TRUE(machine.Write(error));
  EXPECT_NE(platform->Open(path, Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting),
            nullptr);
  EXPECT_EQ(Extents(*platform, path), std::nullopt);

  // The program lives in the folder, so that its reports land there.
  EXPECT_EQ(std::filesystem::path(platform->ProgramPath()).parent_path(), dir.path());
}

TEST(SimMachine, DisksPlugAndUnplugBetweenOpens) {
  test::TempDir dir;
  demo::MachineBuilder machine(dir.path().string());
  machine.AddDisk(1, 2048);
  std::string error;
  ASSERT_TRUE(machine.Write(error));
  auto platform = CreateSimulatedPlatform(machine.folder(), error);
  ASSERT_NE(platform, nullptr);
  auto opens = [&](int number) {
    return platform->Open("\\\\.\\PHYSICALDRIVE" + std::to_string(number), Access::ReadWrite,
                          Share::ReadWrite, Disposition::OpenExisting) != nullptr;
  };
  EXPECT_TRUE(opens(1));
  EXPECT_FALSE(opens(2));

  machine.AddDisk(2, 2048).Wmi("InterfaceType", "USB");
  ASSERT_TRUE(machine.Write(error));
  EXPECT_TRUE(opens(2));
  EXPECT_EQ(platform->QueryWmi("WIN32_DiskDrive where Index=2").size(), 1u);

  machine.RemoveDisk(1);
  machine.Disk(2).opens = false;
  ASSERT_TRUE(machine.Write(error));
  EXPECT_FALSE(opens(1));
  EXPECT_FALSE(opens(2));

  // A description broken meanwhile leaves the last good one in force.
  WriteText(dir.path() / "machine.json", "{broken");
  EXPECT_FALSE(opens(2));
  EXPECT_EQ(platform->QueryWmi("WIN32_DiskDrive where Index=2").size(), 1u);

  // A listed disk whose image is missing does not open.
  machine.Disk(2).opens = true;
  ASSERT_TRUE(machine.Write(error));
  std::filesystem::remove(machine.ImagePath(2));
  EXPECT_FALSE(opens(2));
}

TEST(SimMachine, ServicesOfTheMachine) {
  test::TempDir dir;
  demo::MachineBuilder machine(dir.path().string());
  std::string error;
  ASSERT_TRUE(machine.Write(error));
  auto platform = CreateSimulatedPlatform(machine.folder(), error);
  ASSERT_NE(platform, nullptr);

  EXPECT_EQ(platform->RunCommand("RescanDisks.bat"), 0);
  EXPECT_EQ(platform->RunCommand("RescanDisks.bat"), 0);
  EXPECT_EQ(ReadText(dir.path() / "rescan.log"), "RescanDisks.bat\nRescanDisks.bat\n");

  // Free space: the real one, until the description gives one.
  const auto real = platform->FreeBytes(dir.file("not-yet.img"));
  ASSERT_TRUE(real.has_value());
  EXPECT_GT(*real, 0u);
  EXPECT_EQ(platform->FreeBytes(dir.file("no-such-folder/x.img")), std::nullopt);
  machine.SetFreeBytes(12345);
  ASSERT_TRUE(machine.Write(error));
  EXPECT_EQ(platform->FreeBytes(dir.file("x.img")), 12345u);

  // Move replaces an existing target; delete removes files only.
  WriteText(dir.path() / "Rapport.txt", "report");
  WriteText(dir.path() / "kept.txt", "old");
  EXPECT_TRUE(platform->MoveFile(dir.file("Rapport.txt"), dir.file("kept.txt")));
  EXPECT_EQ(ReadText(dir.path() / "kept.txt"), "report");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "Rapport.txt"));
  EXPECT_FALSE(platform->MoveFile(dir.file("Rapport.txt"), dir.file("kept.txt")));
  EXPECT_TRUE(platform->DeleteFile(dir.file("kept.txt")));
  EXPECT_FALSE(platform->DeleteFile(dir.file("kept.txt")));
  EXPECT_FALSE(platform->DeleteFile(dir.path().string()));

  EXPECT_EQ(platform->FormatLongTime(9, 7, 5), "09:07:05");
  const LocalTime now = platform->Now();
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  const std::uint64_t first = platform->MonotonicMilliseconds();
  EXPECT_GE(platform->MonotonicMilliseconds(), first);
}

}  // namespace
}  // namespace kalvorin::device
