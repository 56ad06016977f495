// Images made by the usual Linux tools, read by the detection, and compared
// with what those tools say (partition walks) or with what the detection
// rules say of such images (file systems). Each test is skipped, with the
// reason, where its tool is missing.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "DetectFixture.h"
#include "detect/PartitionTable.h"
#include "detect/VolumeDetection.h"
#include "device/sim/demo/ImageFile.h"

namespace kalvorin::detect {
namespace {

using Slot = std::tuple<int, std::uint64_t, std::uint64_t>;  // type, first, count

// The tool's full path, from PATH or the system folders root's PATH holds.
std::string FindTool(const std::string& name) {
  std::vector<std::string> folders{"/usr/sbin", "/sbin", "/usr/bin", "/bin"};
  if (const char* path = std::getenv("PATH")) {
    std::stringstream list(path);
    std::string folder;
    while (std::getline(list, folder, ':')) folders.insert(folders.begin(), folder);
  }
  for (const auto& folder : folders) {
    const auto candidate = std::filesystem::path(folder) / name;
    if (std::filesystem::exists(candidate)) return candidate.string();
  }
  return {};
}

#define REQUIRE_TOOL(variable, name)           \
  const std::string variable = FindTool(name); \
  if (variable.empty())                        \
  GTEST_SKIP() << name << " is not installed (scripts/install-deps.sh installs it)"

// Runs `command` through the shell, with `input` (when given) on its
// standard input; its standard output, or nullopt when it fails.
std::optional<std::string> RunTool(const std::string& command, const std::string& input = {}) {
  std::string line = command + " 2>/dev/null";
  std::string inputFile;
  if (!input.empty()) {
    inputFile = (std::filesystem::temp_directory_path() /
                 ("kalvorin-tool-input-" + std::to_string(::getpid())))
                    .string();
    std::ofstream(inputFile) << input;
    line += " <" + inputFile;
  }
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string output;
  std::array<char, 4096> chunk{};
  while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) {
    output.append(chunk.data(), n);
  }
  const int status = pclose(pipe);
  if (!inputFile.empty()) std::filesystem::remove(inputFile);
  if (status != 0) return std::nullopt;
  return output;
}

class RealToolsTest : public test::DetectFixture {
 protected:
  static constexpr int kDisk = 4;
  std::uint64_t sectors = 0;

  std::string MakeDisk(std::uint64_t diskSectors) {
    sectors = diskSectors;
    AddDisk(kDisk, sectors);
    return Image(kDisk);
  }
  std::vector<Slot> WalkSlots() {
    auto disk = DiskNode(kDisk, sectors);
    ReadPartitionTable(*platform, window, identity, disk);
    std::vector<Slot> slots;
    for (const auto& slot : identity.TablePartition) {
      if (slot.TypePartition == 0) break;
      slots.emplace_back(slot.TypePartition, slot.FirstSct, slot.NBSct);
    }
    return slots;
  }
  bool DetectWholeImage() {
    auto disk = DiskNode(kDisk, sectors);
    return DetectVolume(*platform, window, identity, disk);
  }
};

// The partitions sfdisk lists, extended containers left out, as slots: MBR
// entries with their type byte, GPT entries with 0xEE.
std::vector<Slot> SfdiskSlots(const std::string& sfdisk, const std::string& image) {
  const auto output = RunTool(sfdisk + " --json " + image);
  if (!output) return {};
  const auto table = nlohmann::json::parse(*output)["partitiontable"];
  const bool gpt = table["label"] == "gpt";
  std::vector<Slot> slots;
  for (const auto& partition : table["partitions"]) {
    const int type = gpt ? 0xEE : std::stoi(partition["type"].get<std::string>(), nullptr, 16);
    if (type == 0x05 || type == 0x0F) continue;
    slots.emplace_back(type, partition["start"].get<std::uint64_t>(),
                       partition["size"].get<std::uint64_t>());
  }
  return slots;
}

// The same from partx, a second reader of the same tables.
std::vector<Slot> PartxSlots(const std::string& partx, const std::string& image, bool gpt) {
  const auto output = RunTool(partx + " -g -o START,SECTORS,TYPE --raw " + image);
  std::vector<Slot> slots;
  if (!output) return slots;
  std::istringstream lines(*output);
  std::uint64_t start = 0, count = 0;
  std::string type;
  while (lines >> start >> count >> type) {
    const int code = gpt ? 0xEE : std::stoi(type, nullptr, 16);
    if (code != 0x05 && code != 0x0F) slots.emplace_back(code, start, count);
  }
  return slots;
}

TEST_F(RealToolsTest, SfdiskExtendedLayoutsMatchSfdiskAndPartx) {
  REQUIRE_TOOL(sfdisk, "sfdisk");
  REQUIRE_TOOL(partx, "partx");
  // Type E (0x05) and type f (0x0F), each listed after and before a primary.
  const std::string logicals =
      "start=8192, size=2048, type=83\nstart=12288, size=2048, type=7\n"
      "start=16384, size=2048, type=82\nstart=20480, size=4096, type=c\n";
  const std::string layouts[] = {
      "start=2048, size=4096, type=83\nstart=6144, size=40960, type=E\n",
      "start=2048, size=4096, type=83\nstart=6144, size=40960, type=f\n",
      "start=6144, size=40960, type=E\nstart=2048, size=4096, type=83\n",
      "start=6144, size=40960, type=f\nstart=2048, size=4096, type=83\n",
  };
  const std::string image = MakeDisk(131072);
  for (const std::string& primaries : layouts) {
    ASSERT_TRUE(demo::CreateSparseImage(image, sectors));
    ASSERT_TRUE(
        RunTool(sfdisk + " -q " + image, "label: dos\nunit: sectors\n" + primaries + logicals));
    const auto expected = SfdiskSlots(sfdisk, image);
    ASSERT_EQ(expected.size(), 5u) << primaries;
    EXPECT_EQ(PartxSlots(partx, image, false), expected);
    EXPECT_EQ(WalkSlots(), expected) << primaries;
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(RealToolsTest, SgdiskGptMatchesSfdisk) {
  REQUIRE_TOOL(sgdisk, "sgdisk");
  REQUIRE_TOOL(sfdisk, "sfdisk");
  REQUIRE_TOOL(partx, "partx");
  const std::string image = MakeDisk(131072);
  ASSERT_TRUE(RunTool(sgdisk + " -n 1:2048:+1M -t 1:ef00 -n 2:0:+2M -t 2:0700 -n 3:0:0 -t 3:8300 " +
                      image));
  const auto expected = SfdiskSlots(sfdisk, image);
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(PartxSlots(partx, image, true), expected);
  EXPECT_EQ(WalkSlots(), expected);
}

// A hybrid MBR as sgdisk writes it: the MBR copy of partition 1, then the
// protective entry. The MBR entry's slot comes first, then the GPT's.
TEST_F(RealToolsTest, SgdiskHybridMbrGivesTheMbrEntryThenTheGpt) {
  REQUIRE_TOOL(sgdisk, "sgdisk");
  REQUIRE_TOOL(sfdisk, "sfdisk");
  const std::string image = MakeDisk(131072);
  ASSERT_TRUE(RunTool(sgdisk + " -n 1:2048:+1M -t 1:0700 -n 2:0:+2M -t 2:8300 " + image));
  const auto gpt = SfdiskSlots(sfdisk, image);
  ASSERT_TRUE(RunTool(sgdisk + " -h 1:EE " + image));
  std::vector<Slot> expected{{0x07, 2048, 2048}};
  expected.insert(expected.end(), gpt.begin(), gpt.end());
  EXPECT_EQ(WalkSlots(), expected);
}

struct ExtCase {
  const char* tool;
  std::string options;
  int kind;
  std::string libelle, info;
};

TEST_F(RealToolsTest, MkfsExtVolumesByJournalAndNames) {
  const ExtCase cases[] = {
      {"mkfs.ext2", "-L racine", 2, "Linux Ext2", "racine"},
      {"mkfs.ext3", "-L journal -M /srv/x", 3, "Linux Ext3", "journal"},
      {"mkfs.ext3", "-M /srv/donnees", 3, "Linux Ext3", "/srv/donnees"},
      {"mkfs.ext4", "-L 0123456789ABCDEF", 4, "Linux Ext4", "0123456789ABCDEF"},
      {"mkfs.ext4", "", 4, "Linux Ext4", ""},
  };
  const std::string image = MakeDisk(65536);
  for (const ExtCase& c : cases) {
    const std::string tool = FindTool(c.tool);
    if (tool.empty()) GTEST_SKIP() << c.tool << " is not installed";
    ASSERT_TRUE(demo::CreateSparseImage(image, sectors));
    ASSERT_TRUE(RunTool(tool + " -q -F " + c.options + " " + image)) << c.tool;
    EXPECT_TRUE(DetectWholeImage());
    EXPECT_EQ(identity.TypeVolume, c.kind) << c.tool << " " << c.options;
    EXPECT_EQ(identity.LibelleVolume, c.libelle);
    EXPECT_EQ(identity.InfoVolume, c.info);
  }
}

// mkfs.vfat writes the OEM name "mkfs.fat", which only MSDOS-named volumes
// pass; other readers recognise such a volume as FAT.
TEST_F(RealToolsTest, MkfsVfatVolumeIsNotRecognisedDifferingOnPurposeFromBlkid) {
  REQUIRE_TOOL(mkfs, "mkfs.vfat");
  const std::string image = MakeDisk(131072);
  ASSERT_TRUE(RunTool(mkfs + " -F 32 -n CLEUSB " + image));
  EXPECT_FALSE(DetectWholeImage());
  EXPECT_EQ(identity.LibelleVolume, "INCONNU");
}

// The same volumes with the OEM name MSDOS5.0 show the type and label
// mkfs.vfat wrote.
TEST_F(RealToolsTest, MkfsVfatVolumesRenamedMsdosShowTypeAndLabel) {
  REQUIRE_TOOL(mkfs, "mkfs.vfat");
  struct Case {
    std::string options, libelle, info;
  };
  const Case cases[] = {{"-F 32 -n CLEUSB", "FAT32", "CLEUSB"},
                        {"-F 16 -n DISQUE", "FAT16", "DISQUE"},
                        {"-F 12 -n PETIT", "FAT12", "PETIT"},
                        {"-F 32", "FAT32", "NO NAME"}};
  const std::string image = MakeDisk(131072);
  for (const Case& c : cases) {
    ASSERT_TRUE(demo::CreateSparseImage(image, c.libelle == "FAT12" ? 8192 : sectors));
    ASSERT_TRUE(RunTool(mkfs + " " + c.options + " " + image)) << c.options;
    ASSERT_TRUE(demo::WriteAt(image, 3, {'M', 'S', 'D', 'O', 'S', '5', '.', '0'}));
    EXPECT_TRUE(DetectWholeImage());
    EXPECT_EQ(identity.TypeVolume, 5);
    EXPECT_EQ(identity.LibelleVolume, c.libelle) << c.options;
    EXPECT_EQ(identity.InfoVolume, c.info) << c.options;
  }
}

TEST_F(RealToolsTest, MkntfsVolumeIsNtfsWithColumnOneUnchanged) {
  REQUIRE_TOOL(mkntfs, "mkntfs");
  const std::string image = MakeDisk(131072);
  ASSERT_TRUE(RunTool(mkntfs + " -F -f -q -L Donnees " + image));
  EXPECT_TRUE(DetectWholeImage());
  EXPECT_EQ(identity.TypeVolume, 6);
  EXPECT_EQ(identity.LibelleVolume, "NTFS");
  EXPECT_EQ(identity.InfoVolume, "");
}

// The boot code of an exFAT volume fills the partition-entry area and ends in
// 0x55 0xAA: a whole-disk exFAT stick must show no partition and no read error.
TEST_F(RealToolsTest, MkfsExfatWholeDiskGivesNoPhantomPartition) {
  REQUIRE_TOOL(mkfs, "mkfs.exfat");
  const std::string image = MakeDisk(65536);
  ASSERT_TRUE(RunTool(mkfs + " -L CLEUSB " + image));
  EXPECT_FALSE(DetectWholeImage());
  EXPECT_TRUE(WalkSlots().empty());
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(RealToolsTest, MkfsXfsVolumeIsXfs) {
  REQUIRE_TOOL(mkfs, "mkfs.xfs");
  const std::string image = MakeDisk(320 * 2048);  // the smallest size recent tools accept
  ASSERT_TRUE(RunTool(mkfs + " -q -f -L xfsvol " + image));
  EXPECT_TRUE(DetectWholeImage());
  EXPECT_EQ(identity.TypeVolume, 8);
  EXPECT_EQ(identity.LibelleVolume, "XFS");
}

// A disk partitioned by sfdisk with a file system made by its tool inside a
// logical drive: the volume found by the walk is the one the tool wrote.
TEST_F(RealToolsTest, FileSystemInsideALogicalDriveIsFoundAtItsPlace) {
  REQUIRE_TOOL(sfdisk, "sfdisk");
  REQUIRE_TOOL(mkfs, "mkfs.ext4");
  const std::string image = MakeDisk(131072);
  ASSERT_TRUE(RunTool(sfdisk + " -q " + image,
                      "label: dos\nunit: sectors\nstart=2048, size=4096, type=83\n"
                      "start=6144, size=100000, type=E\nstart=8192, size=8192, type=83\n"
                      "start=18432, size=32768, type=83\n"));
  ASSERT_TRUE(RunTool(mkfs + " -q -F -E offset=" + std::to_string(18432 * 512) + " -L logique " +
                      image + " 16384k"));
  const auto slots = WalkSlots();
  ASSERT_EQ(slots.size(), 3u);
  auto volume = VolumeNode(kDisk, sectors, std::get<1>(slots[2]), std::get<2>(slots[2]));
  EXPECT_TRUE(DetectVolume(*platform, window, identity, volume));
  EXPECT_EQ(identity.LibelleVolume, "Linux Ext4");
  EXPECT_EQ(identity.InfoVolume, "logique");
}

}  // namespace
}  // namespace kalvorin::detect
