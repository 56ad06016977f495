// The Linux backend's readers of kernel texts and its Windows-shaped answers,
// over fake sysfs trees and texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/WindowsLayouts.h"
#include "device/linux/AtaIdentify.h"
#include "device/linux/DevicePath.h"
#include "device/linux/DiskIdentity.h"
#include "device/linux/DiskNumbering.h"
#include "device/linux/DiskUsers.h"
#include "device/linux/LinuxPlatform.h"
#include "device/linux/Mounts.h"
#include "device/linux/SysfsDisks.h"
#include "media/Identify.h"
#include "support/TempDir.h"

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text << "\n";
}

// A /sys/block entry of a fake tree.
struct FakeDisk {
  std::string name;
  std::string dev;
  int ro = 0;
  int hidden = 0;
  std::string backing;  // loop devices
};

std::vector<std::string> Names(const std::vector<WholeDisk>& disks) {
  std::vector<std::string> names;
  for (const auto& disk : disks) names.push_back(disk.name);
  return names;
}

TEST(LinuxDiskListing, KeepsPhysicalDisksInStableOrder) {
  test::TempDir root;
  const std::vector<FakeDisk> fakes = {
      {"loop10", "7:10", 0, 0, "/images/b.img"},
      {"loop2", "7:2", 0, 0, "/images/a.img"},
      {"loop3", "7:3", 0, 0, ""},             // nothing attached
      {"loop4", "7:4", 1, 0, "/snap/x.img"},  // attached read-only
      {"vda", "254:0", 0, 0, ""},
      {"sdaa", "65:160", 0, 0, ""},
      {"sdb", "8:16", 0, 0, ""},
      {"sdc", "8:32", 1, 0, ""},  // write-protected: still a disk
      {"nvme0n1", "259:0", 0, 0, ""},
      {"nvme0c0n1", "259:9", 0, 1, ""},  // hidden multipath path
      {"mmcblk0", "179:0", 0, 0, ""},
      {"mmcblk0boot0", "179:8", 0, 0, ""},
      {"zram0", "252:0", 0, 0, ""},
      {"ram0", "1:0", 0, 0, ""},
      {"dm-0", "253:0", 0, 0, ""},
      {"md127", "9:127", 0, 0, ""},
      {"sr0", "11:0", 0, 0, ""},
      {"nbd0", "43:0", 0, 0, ""},
  };
  for (const auto& fake : fakes) {
    const fs::path base = root.path() / "block" / fake.name;
    WriteText(base / "dev", fake.dev);
    WriteText(base / "ro", std::to_string(fake.ro));
    WriteText(base / "hidden", std::to_string(fake.hidden));
    WriteText(base / "removable", "0");
    if (fake.name.rfind("loop", 0) == 0) WriteText(base / "loop" / "backing_file", fake.backing);
  }
  SystemPaths paths;
  paths.sys = root.path().string();
  const auto disks = ListWholeDisks(paths);
  EXPECT_EQ(Names(disks), (std::vector<std::string>{"sdb", "sdc", "sdaa", "nvme0n1", "vda",
                                                    "mmcblk0", "loop2", "loop10"}));
  EXPECT_TRUE(disks[1].readOnly);
  EXPECT_TRUE(disks[6].loop);
}

WholeDisk Disk(const std::string& name, const std::string& sequence) {
  WholeDisk disk;
  disk.name = name;
  disk.identity = name + "/" + sequence;
  return disk;
}

TEST(LinuxDiskNumbering, NumbersStayWithTheirDiskWhileOthersComeAndGo) {
  DiskNumbering numbering;
  numbering.Update({Disk("sdb", "1"), Disk("vda", "2"), Disk("loop0", "3")});
  EXPECT_EQ(numbering.NumberOf("vda"), 1);

  // sda is plugged in: sorted first, yet vda keeps number 1.
  numbering.Update({Disk("sda", "4"), Disk("sdb", "1"), Disk("vda", "2"), Disk("loop0", "3")});
  EXPECT_EQ(numbering.NumberOf("sdb"), 0);
  EXPECT_EQ(numbering.NumberOf("vda"), 1);
  EXPECT_EQ(numbering.NumberOf("loop0"), 2);
  EXPECT_EQ(numbering.NumberOf("sda"), 3);

  // sdb leaves; the next newcomer takes its number.
  numbering.Update({Disk("sda", "4"), Disk("vda", "2"), Disk("loop0", "3")});
  EXPECT_EQ(numbering.Find(0), nullptr);
  numbering.Update({Disk("sda", "4"), Disk("vda", "2"), Disk("loop0", "3"), Disk("loop1", "5")});
  EXPECT_EQ(numbering.NumberOf("loop1"), 0);

  // Another image attached under the same name is another disk.
  numbering.Update({Disk("sda", "4"), Disk("vda", "2"), Disk("loop0", "6"), Disk("loop1", "5")});
  EXPECT_EQ(numbering.NumberOf("loop0"), 2);
  EXPECT_EQ(numbering.Find(2)->identity, "loop0/6");
  EXPECT_EQ(numbering.Find(-1), nullptr);
  EXPECT_EQ(numbering.Find(128), nullptr);
}

TEST(LinuxPlatformDisks, OnlyTheNumbersOfAttachedDisksAreOffered) {
  test::TempDir root;
  for (const FakeDisk& fake :
       {FakeDisk{"sdb", "8:16", 0, 0, ""}, FakeDisk{"vda", "254:0", 0, 0, ""},
        FakeDisk{"loop2", "7:2", 0, 0, "/images/a.img"}, FakeDisk{"loop3", "7:3", 0, 0, ""}}) {
    const fs::path base = root.path() / "block" / fake.name;
    WriteText(base / "dev", fake.dev);
    if (!fake.backing.empty()) WriteText(base / "loop" / "backing_file", fake.backing);
  }
  SystemPaths paths;
  paths.sys = root.path().string();
  paths.dev = "/fake-dev";
  LinuxPlatform platform(paths);
  const auto numbers = [&platform] {
    std::vector<std::pair<int, std::string>> attached;
    for (const AttachedDisk& disk : platform.AttachedDisks()) {
      attached.emplace_back(disk.number, disk.devicePath);
    }
    return attached;
  };
  using Attached = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(numbers(),
            (Attached{{0, "/fake-dev/sdb"}, {1, "/fake-dev/vda"}, {2, "/fake-dev/loop2"}}));

  // sdb leaves: its number is no longer offered, the others keep theirs.
  fs::remove_all(root.path() / "block" / "sdb");
  EXPECT_EQ(numbers(), (Attached{{1, "/fake-dev/vda"}, {2, "/fake-dev/loop2"}}));
  EXPECT_EQ(platform.DiskDevicePath(0), "");
}

TEST(LinuxDiskNumbering, DisksBeyond128StayUnnumbered) {
  std::vector<WholeDisk> disks;
  for (int i = 0; i < 130; ++i) disks.push_back(Disk("loop" + std::to_string(i), "1"));
  DiskNumbering numbering;
  numbering.Update(disks);
  EXPECT_EQ(numbering.NumberOf("loop127"), 127);
  EXPECT_FALSE(numbering.NumberOf("loop128").has_value());
}

TEST(LinuxDevicePath, TellsDevicePathsFromFiles) {
  using Kind = DevicePath::Kind;
  struct Case {
    std::string path;
    Kind kind;
    int number;
    char letter;
  };
  const std::vector<Case> cases = {
      {"\\\\.\\PHYSICALDRIVE0", Kind::PhysicalDrive, 0, 0},
      {"\\\\.\\PhysicalDrive127", Kind::PhysicalDrive, 127, 0},
      {"\\\\.\\physicaldrive12", Kind::PhysicalDrive, 12, 0},
      {"\\\\.\\PHYSICALDRIVE128", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\PHYSICALDRIVE007", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\PHYSICALDRIVE", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\PHYSICALDRIVE-1", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\PHYSICALDRIVE1x", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\PHYSICALDRIVE99999999999", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\C:", Kind::Volume, -1, 'C'},
      {"\\\\.\\z:", Kind::Volume, -1, 'Z'},
      {"\\\\.\\1:", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\C:\\", Kind::UnknownDevice, -1, 0},
      {"\\\\.\\GLOBALROOT", Kind::UnknownDevice, -1, 0},
      {kProgramVolumePath, Kind::ProgramVolume, -1, 0},
      {"/tmp/disk.img", Kind::File, -1, 0},
      {"Rapport.txt", Kind::File, -1, 0},
      {"\\.\\C:", Kind::File, -1, 0},
  };
  for (const auto& c : cases) {
    const DevicePath parsed = ParseDevicePath(c.path);
    EXPECT_EQ(parsed.kind, c.kind) << c.path;
    EXPECT_EQ(parsed.number, c.number) << c.path;
    EXPECT_EQ(parsed.letter, c.letter) << c.path;
  }
}

TEST(LinuxWmiSelection, ReadsTheDiskNumberDefensively) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"WIN32_DiskDrive where Index=3", 3},
      {"win32_diskdrive WHERE index = 127", 127},
      {"  WIN32_DiskDrive  where  Index=0  ", 0},
      {"WIN32_DiskDrive where Index=128", -1},
      {"WIN32_DiskDrive where Index=", -1},
      {"WIN32_DiskDrive where Index=-1", -1},
      {"WIN32_DiskDrive where Index=1 or Index=2", -1},
      {"WIN32_DiskDrive where Index=99999999999999999999", -1},
      {"WIN32_DiskDrive", -1},
      {"WIN32_LogicalDisk where Index=1", -1},
      {"", -1},
  };
  for (const auto& [selection, expected] : cases) {
    EXPECT_EQ(ParseDiskDriveSelection(selection), expected) << selection;
  }
}

TEST(LinuxStorageDescriptor, TextsComeBackWhatTheyWereThroughTheLogicsDecoder) {
  DiskIdentity identity;
  identity.vendor = "ATA";
  identity.model = "4142";  // plain, it would read as hex "AB"
  identity.serial = "  WD-123 456  ";
  identity.busType = 11;
  const auto descriptor = BuildStorageDescriptor(identity);
  ASSERT_GE(descriptor.size(), storage_descriptor::kRawData);
  const auto productOffset = GetU32(descriptor.data() + storage_descriptor::kProductIdOffset);
  const auto serialOffset = GetU32(descriptor.data() + storage_descriptor::kSerialNumberOffset);
  EXPECT_EQ(media::DecodeDescriptorText(descriptor.data(), descriptor.size(), productOffset),
            "4142");
  EXPECT_EQ(media::DecodeDescriptorText(descriptor.data(), descriptor.size(), serialOffset),
            "WD-123 456");
  EXPECT_EQ(GetU32(descriptor.data() + storage_descriptor::kBusType), 11u);
  EXPECT_EQ(GetU32(descriptor.data() + 4), descriptor.size());

  identity.serial.clear();
  identity.model = "Caf\xC3\xA9";  // not ASCII: kept readable, not emptied
  const auto second = BuildStorageDescriptor(identity);
  EXPECT_EQ(GetU32(second.data() + storage_descriptor::kSerialNumberOffset), 0u);
  EXPECT_EQ(
      media::DecodeDescriptorText(second.data(), second.size(),
                                  GetU32(second.data() + storage_descriptor::kProductIdOffset)),
      "Caf__");
}

TEST(LinuxWmiObject, CarriesThePropertiesTheIdentificationReads) {
  DiskIdentity identity;
  identity.model = "Generic Flash Disk";
  identity.serial = "201804ABCDEF";
  identity.interfaceType = "USB";
  identity.pnpDeviceId = "USBSTOR\\DISK&VEN_GENERIC&PROD_FLASH_DISK&REV_8.07\\201804ABCDEF&0";
  const auto object = BuildWmiObject(identity, 5, 1000204886016ULL);
  auto has = [&object](const std::string& line) {
    return std::find(object.begin(), object.end(), line) != object.end();
  };
  EXPECT_TRUE(has("Index=5"));
  EXPECT_TRUE(has("Model=Generic Flash Disk"));
  EXPECT_TRUE(has("SerialNumber=201804ABCDEF"));
  EXPECT_TRUE(has("InterfaceType=USB"));
  EXPECT_TRUE(has("PNPDeviceID=" + identity.pnpDeviceId));
  identity.serial.clear();
  const auto noSerial = BuildWmiObject(identity, 5, 0);
  for (const auto& line : noSerial) EXPECT_NE(line.rfind("SerialNumber", 0), 0u) << line;
}

TEST(LinuxAtaIdentify, AcceptsOnlyPlausibleIdentifyData) {
  IdentifyData data{};
  EXPECT_FALSE(IdentifyDataLooksValid(data));  // nothing came
  data[0] = 0x40;
  data[54] = 'S';
  EXPECT_TRUE(IdentifyDataLooksValid(data));
  data[1] = 0x85;  // a packet device's word 0
  EXPECT_FALSE(IdentifyDataLooksValid(data));
  data[1] = 0;
  data[510] = 0xA5;  // signature: the checksum must then hold
  std::uint8_t sum = 0;
  for (int i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
  data[511] = static_cast<std::uint8_t>(0x100 - sum);
  EXPECT_TRUE(IdentifyDataLooksValid(data));
  data[511] ^= 1;
  EXPECT_FALSE(IdentifyDataLooksValid(data));
}

TEST(LinuxSwaps, ReadsTheDevicePathsOfTheSwapAreas) {
  EXPECT_EQ(ParseSwaps("Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
                       "/dev/sdb2                               partition\t1048572\t0\t-2\n"
                       "/swap\\040file                           file\t\t4096\t\t0\t\t-3\n"
                       "garbage\n\n"
                       "/dev/dm-1 partition 1 0 -4"),
            (std::vector<std::string>{"/dev/sdb2", "/swap file", "/dev/dm-1"}));
  EXPECT_TRUE(ParseSwaps("").empty());
  EXPECT_TRUE(ParseSwaps("Filename Type Size Used Priority\n").empty());
}

TEST(LinuxMountInfo, ReadsFieldsAndSkipsMalformedLines) {
  const auto mounts = ParseMountInfo(
      "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
      "90 26 7:1 /sub /media/my\\040disk rw shared:4 master:1 - vfat /dev/loop1p1 rw\n"
      "garbage\n"
      "91 26 x:y / /bad rw - ext4 /dev/sdz rw\n"
      "92 26 8:1 / /no-separator rw ext4 /dev/sda1 rw\n"
      "93 26 0:40 / /merged rw - overlay overlay rw,lowerdir=/l1:/l2,upperdir=/u\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[0].major, 254u);
  EXPECT_EQ(mounts[0].mountPoint, "/");
  EXPECT_EQ(mounts[0].source, "/dev/vda");
  EXPECT_EQ(mounts[1].mountPoint, "/media/my disk");
  EXPECT_EQ(mounts[1].root, "/sub");
  EXPECT_EQ(mounts[1].fsType, "vfat");
  EXPECT_EQ(mounts[2].superOptions, "rw,lowerdir=/l1:/l2,upperdir=/u");
}

// A fake sysfs in which /sys/dev/block/M:m links to each device's folder.
class FakeBlockTree {
 public:
  FakeBlockTree() { paths.sys = root.path().string(); }

  void AddDisk(const std::string& name, const std::string& dev, std::uint64_t sectors) {
    const fs::path dir = root.path() / "devices" / name;
    WriteText(dir / "dev", dev);
    WriteText(dir / "size", std::to_string(sectors));
    WriteText(dir / "ro", "0");
    WriteText(dir / "removable", "0");
    fs::create_directories(root.path() / "block");
    fs::create_directory_symlink(dir, root.path() / "block" / name);
    Link(dev, dir);
  }
  void AddPartition(const std::string& disk, const std::string& name, const std::string& dev,
                    std::uint64_t start, std::uint64_t sectors) {
    const fs::path dir = root.path() / "devices" / disk / name;
    WriteText(dir / "dev", dev);
    WriteText(dir / "partition", "1");
    WriteText(dir / "start", std::to_string(start));
    WriteText(dir / "size", std::to_string(sectors));
    Link(dev, dir);
  }

  test::TempDir root;
  SystemPaths paths;

 private:
  void Link(const std::string& dev, const fs::path& dir) {
    fs::create_directories(root.path() / "dev" / "block");
    fs::create_directory_symlink(dir, root.path() / "dev" / "block" / dev);
  }
};

TEST(LinuxLetters, OrderedByDiskThenFirstSectorOneLetterPerDevice) {
  FakeBlockTree tree;
  tree.AddDisk("sda", "8:0", 1000000);
  tree.AddPartition("sda", "sda1", "8:1", 2048, 4096);
  tree.AddPartition("sda", "sda2", "8:2", 8192, 4096);
  tree.AddDisk("sdb", "8:16", 500000);  // a file system on the whole disk
  DiskNumbering numbering;
  numbering.Update(ListWholeDisks(tree.paths));
  ASSERT_EQ(numbering.NumberOf("sda"), 0);
  const auto mounts = ParseMountInfo(
      "1 0 8:16 / /media/whole rw - ext4 /dev/sdb rw\n"
      "2 0 8:2 /data /srv/bind rw - ext4 /dev/sda2 rw\n"  // bind of a subtree first
      "3 0 8:2 / /home rw - ext4 /dev/sda2 rw\n"
      "4 0 8:1 / /boot rw - ext4 /dev/sda1 rw\n"
      "5 0 254:7 / /elsewhere rw - ext4 /dev/dm-7 rw\n"  // not a numbered disk
      "6 0 0:30 / /tmp rw - tmpfs tmpfs rw\n");
  const auto letters = AssignLetters(tree.paths, numbering, mounts);
  ASSERT_EQ(letters.size(), 3u);
  EXPECT_EQ(letters[0].letter, 'C');
  EXPECT_EQ(letters[0].mountPoint, "/boot");
  EXPECT_EQ(letters[0].location.firstSector, 2048u);
  EXPECT_EQ(letters[1].letter, 'D');
  EXPECT_EQ(letters[1].mountPoint, "/home");
  EXPECT_EQ(letters[1].location.sectors, 4096u);
  EXPECT_EQ(letters[2].letter, 'E');
  EXPECT_EQ(letters[2].diskNumber, 1);
  EXPECT_EQ(letters[2].location.firstSector, 0u);
  EXPECT_EQ(letters[2].location.sectors, 500000u);
}

TEST(LinuxLetters, NoMoreThanTwentyFourLetters) {
  FakeBlockTree tree;
  tree.AddDisk("sda", "8:0", 1000000);
  std::string mountinfo;
  for (int i = 1; i <= 30; ++i) {
    const std::string dev = "259:" + std::to_string(i);
    tree.AddPartition("sda", "sda" + std::to_string(i), dev, 1000u * i, 100);
    mountinfo +=
        std::to_string(i) + " 0 " + dev + " / /m" + std::to_string(i) + " rw - ext4 /dev/x rw\n";
  }
  DiskNumbering numbering;
  numbering.Update(ListWholeDisks(tree.paths));
  const auto letters = AssignLetters(tree.paths, numbering, ParseMountInfo(mountinfo));
  ASSERT_EQ(letters.size(), 24u);
  EXPECT_EQ(letters.back().letter, 'Z');
  EXPECT_EQ(letters.back().mountPoint, "/m24");
}

}  // namespace
}  // namespace kalvorin::device::linuxbackend
