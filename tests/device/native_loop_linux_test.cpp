// The Linux platform over real block devices: loop devices attached by the
// test over its own images (never a disk of the machine), detached at the end.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "device/WindowsLayouts.h"
#include "device/linux/LinuxFile.h"
#include "device/linux/LinuxPlatform.h"
#include "device/linux/ProgramDisk.h"
#include "media/Identify.h"
#include "media/LetterMap.h"
#include "media/Records.h"
#include "support/LoopDevice.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

namespace fs = std::filesystem;
using linuxbackend::LinuxPlatform;
using test::LoopDevice;

constexpr std::uint64_t kImageBytes = 64ULL << 20;

std::string DrivePath(int number) { return "\\\\.\\PHYSICALDRIVE" + std::to_string(number); }

std::vector<std::uint8_t> Pattern(std::size_t size, int seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + seed);
  return bytes;
}

class LinuxLoopDisks : public ::testing::Test {
 protected:
  // A sparse image of kImageBytes in the test's folder.
  std::string MakeImage(const std::string& name) {
    const std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary).close();
    fs::resize_file(path, kImageBytes);
    return path;
  }

  std::unique_ptr<File> OpenDisk(const LoopDevice& loop, int& number) {
    auto found = platform.DiskNumberOf(loop.name());
    if (!found) return nullptr;
    number = *found;
    return platform.Open(DrivePath(number), Access::ReadWrite, Share::ReadWrite,
                         Disposition::OpenExisting);
  }

  test::TempDir dir;
  LinuxPlatform platform;
};

struct Extent {
  std::uint32_t disk = 0;
  std::uint64_t start = 0;
  std::uint64_t length = 0;
};

std::optional<Extent> FirstExtent(File& file) {
  std::vector<std::uint8_t> answer(1024);
  std::uint32_t returned = 0;
  if (!file.DeviceIoControl(kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(),
                            static_cast<std::uint32_t>(answer.size()), returned) ||
      GetU32(answer.data()) < 1) {
    return std::nullopt;
  }
  const std::uint8_t* first = answer.data() + disk_extents::kFirstExtent;
  return Extent{GetU32(first + disk_extents::kDiskNumber),
                GetU64(first + disk_extents::kStartingOffset),
                GetU64(first + disk_extents::kExtentLength)};
}

// The disk number of the numbered disk that holds this executable, found
// from sysfs independently of the backend's own walk.
std::optional<int> DiskOfExecutable(LinuxPlatform& platform) {
  struct stat status {};
  if (::stat("/proc/self/exe", &status) != 0) return std::nullopt;
  std::error_code error;
  const fs::path device = fs::canonical("/sys/dev/block/" + std::to_string(major(status.st_dev)) +
                                            ":" + std::to_string(minor(status.st_dev)),
                                        error);
  if (error) return std::nullopt;
  const fs::path disk = fs::exists(device / "partition") ? device.parent_path() : device;
  return platform.DiskNumberOf(disk.filename().string());
}

TEST_F(LinuxLoopDisks, AttachedImageIsListedWithItsCapacityAndTheProgramDiskIsNot) {
  std::string whyNot;
  auto loop = LoopDevice::Attach(MakeImage("disk.img"), {}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;

  int number = -1;
  auto disk = OpenDisk(*loop, number);
  ASSERT_NE(disk, nullptr) << loop->name() << " is not listed";

  std::vector<std::uint8_t> geometry(geometry_ex::kSize);
  std::uint32_t returned = 0;
  ASSERT_TRUE(disk->DeviceIoControl(kIoctlDiskGetDriveGeometryEx, nullptr, 0, geometry.data(),
                                    geometry_ex::kSize, returned));
  EXPECT_EQ(returned, geometry_ex::kSize);
  EXPECT_EQ(GetU64(geometry.data() + geometry_ex::kDiskSize), kImageBytes);
  EXPECT_EQ(GetU32(geometry.data() + geometry_ex::kBytesPerSector), 512u);
  // A disk answers no extents (only volumes do), and a loop device no SMART.
  std::vector<std::uint8_t> answer(1024);
  EXPECT_FALSE(disk->DeviceIoControl(kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(),
                                     1024, returned));
  EXPECT_FALSE(disk->DeviceIoControl(kSmartGetVersion, nullptr, 0, answer.data(),
                                     smart_version::kSize, returned));
  ASSERT_TRUE(disk->Close());

  const auto objects = platform.QueryWmi("WIN32_DiskDrive where Index=" + std::to_string(number));
  ASSERT_EQ(objects.size(), 1u);
  const auto& object = objects[0];
  EXPECT_NE(std::find(object.begin(), object.end(), "Index=" + std::to_string(number)),
            object.end());
  EXPECT_NE(std::find(object.begin(), object.end(), "SerialNumber=disk.img"), object.end());

  // The identification of the logic, end to end.
  media::InSupport identity;
  ASSERT_TRUE(media::IdentifyDisk(platform, identity, number));
  EXPECT_EQ(identity.Modele, "Loop device " + loop->path());
  EXPECT_EQ(identity.NoSerie, "disk.img");
  EXPECT_EQ(identity.NBSctDisque, kImageBytes / 512);
  EXPECT_EQ(identity.TypeInterface, "SCSI");

  auto programVolume = platform.Open(platform.ProgramVolumePath(), Access::ReadWrite,
                                     Share::ReadWrite, Disposition::OpenExisting);
  ASSERT_NE(programVolume, nullptr);
  const auto programExtent = FirstExtent(*programVolume);
  ASSERT_TRUE(programExtent.has_value());
  EXPECT_NE(programExtent->disk, static_cast<std::uint32_t>(number));
  const auto expected = DiskOfExecutable(platform);
  EXPECT_EQ(programExtent->disk,
            expected ? static_cast<std::uint32_t>(*expected) : linuxbackend::kNoDisk);
}

TEST_F(LinuxLoopDisks, ReadOnlyLoopDeviceIsNotADisk) {
  std::string whyNot;
  auto loop = LoopDevice::Attach(MakeImage("system.img"), {.readOnly = true}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  EXPECT_FALSE(platform.DiskNumberOf(loop->name()).has_value());
}

TEST_F(LinuxLoopDisks, WriteProtectedDeviceOpensForReadingAndRefusesWrites) {
  std::string whyNot;
  auto loop = LoopDevice::Attach(MakeImage("disk.img"), {}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  // The kernel keeps the flag after the detach: put it back before.
  struct Writable {
    std::string path;
    ~Writable() { test::RunShell("blockdev --setrw " + path); }
  } writable{loop->path()};
  ASSERT_EQ(test::RunShell("blockdev --setro " + loop->path()), 0);
  struct stat status {};
  ASSERT_EQ(::stat(loop->path().c_str(), &status), 0);
  linuxbackend::OpenRequest request;
  request.path = loop->path();
  request.readOnlyFallback = true;
  request.kernelReadOnly = true;
  request.expectedDevice = status.st_rdev;
  auto file = linuxbackend::LinuxFile::Open(request, nullptr);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->openedReadOnly());
  std::vector<std::uint8_t> buffer(4096);
  std::uint32_t moved = 0;
  ASSERT_TRUE(file->Read(buffer.data(), 4096, moved));
  EXPECT_EQ(moved, 4096u);
  ASSERT_TRUE(file->Seek(0));
  EXPECT_FALSE(file->Write(buffer.data(), 4096, moved));
  EXPECT_EQ(moved, 0u);
  // Another block device than the one asked for is refused.
  request.expectedDevice = status.st_rdev + 1;
  EXPECT_EQ(linuxbackend::LinuxFile::Open(request, nullptr), nullptr);
}

TEST_F(LinuxLoopDisks, TransfersOnTheDeviceLandInTheImage) {
  const std::string image = MakeImage("disk.img");
  std::string whyNot;
  auto loop = LoopDevice::Attach(image, {}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  int number = -1;
  auto disk = OpenDisk(*loop, number);
  ASSERT_NE(disk, nullptr);
  std::uint64_t size = 0;
  ASSERT_TRUE(disk->Size(size));
  EXPECT_EQ(size, kImageBytes);

  const auto block = Pattern(65536, 5);
  std::uint32_t moved = 0;
  ASSERT_TRUE(disk->Seek(100 * 512));
  ASSERT_TRUE(disk->Write(block.data(), 65536, moved));
  EXPECT_EQ(moved, 65536u);
  // Past the end: the position is taken, a read moves nothing, a write fails.
  ASSERT_TRUE(disk->Seek(kImageBytes + 512));
  std::vector<std::uint8_t> buffer(65536 + 16);
  ASSERT_TRUE(disk->Read(buffer.data(), 512, moved));
  EXPECT_EQ(moved, 0u);
  ASSERT_TRUE(disk->Seek(kImageBytes - 512));
  ASSERT_TRUE(disk->Read(buffer.data(), 4096, moved));
  EXPECT_EQ(moved, 512u);
  ASSERT_TRUE(disk->Seek(kImageBytes));
  EXPECT_FALSE(disk->Write(block.data(), 512, moved));
  ASSERT_TRUE(disk->Close());

  // Flushed by Close: the image file holds the block.
  std::vector<char> stored(65536);
  std::ifstream in(image, std::ios::binary);
  in.seekg(100 * 512);
  in.read(stored.data(), 65536);
  EXPECT_EQ(std::memcmp(stored.data(), block.data(), 65536), 0);

  disk = platform.Open(DrivePath(number), Access::ReadWrite, Share::ReadWrite,
                       Disposition::OpenExisting);
  ASSERT_NE(disk, nullptr);
  std::uint8_t* misaligned = buffer.data() + 1;
  ASSERT_TRUE(disk->ReadUncached(100 * 512 + 3, misaligned, 1000));
  EXPECT_EQ(std::memcmp(misaligned, block.data() + 3, 1000), 0);
  ASSERT_TRUE(disk->ReadUncached(100 * 512, misaligned, 65536));
  EXPECT_EQ(std::memcmp(misaligned, block.data(), 65536), 0);
  EXPECT_FALSE(disk->ReadUncached(kImageBytes - 512, misaligned, 1024));
  EXPECT_TRUE(disk->Close());
}

TEST_F(LinuxLoopDisks, AWriteThatCannotReachTheMediumFailsAtThatWrite) {
  // The image lies on a 1 MiB tmpfs: what the loop device writes beyond that
  // cannot land. The write itself must say so, not only the flush at Close,
  // whether the buffer suits direct transfers or not.
  const std::string small = dir.file("small");
  fs::create_directory(small);
  std::string whyNot;
  if (::geteuid() != 0 ||
      test::RunShell("mount -t tmpfs -o size=1m tmpfs '" + small + "' 2>/dev/null") != 0) {
    GTEST_SKIP() << "mounting a small tmpfs is not allowed here";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { test::RunShell("umount '" + path + "' 2>/dev/null"); }
  } unmount{small};
  const std::string image = small + "/disk.img";
  std::ofstream(image).close();
  fs::resize_file(image, 16 << 20);
  auto loop = LoopDevice::Attach(image, {}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  constexpr std::uint32_t kBlock = 1 << 20;
  auto* storage = static_cast<std::uint8_t*>(std::aligned_alloc(4096, kBlock + 4096));
  std::unique_ptr<std::uint8_t, decltype(&std::free)> owner(storage, &std::free);
  for (const std::size_t shift : {0, 512}) {  // direct, then through the cache
    SCOPED_TRACE(shift);
    auto file =
        platform.Open(loop->path(), Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting);
    ASSERT_NE(file, nullptr);
    const auto block = Pattern(kBlock, 9);
    std::copy(block.begin(), block.end(), storage + shift);
    std::uint32_t moved = 0;
    ASSERT_TRUE(file->Seek(8ULL << 20));
    EXPECT_FALSE(file->Write(storage + shift, kBlock, moved) &&
                 file->Write(storage + shift, kBlock, moved))
        << "a lost write was reported as success";
    file->Close();
  }
}

TEST_F(LinuxLoopDisks, MountedPartitionIsADriveLetterWithItsExtentAndMountPoint) {
  const std::string image = MakeImage("parted.img");
  if (test::RunShell("command -v sfdisk >/dev/null && command -v mkfs.ext4 >/dev/null") != 0) {
    GTEST_SKIP() << "sfdisk or mkfs.ext4 is not installed";
  }
  ASSERT_EQ(test::RunShell("printf 'label: dos\\nstart=2048, size=40960, type=83\\n"
                           "start=43008, type=83\\n' | sfdisk -q '" +
                           image + "' >/dev/null 2>&1"),
            0);
  std::string whyNot;
  auto loop = LoopDevice::Attach(image, {.partitions = true}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  ASSERT_EQ(test::RunShell("mkfs.ext4 -q -F -L KALTEST " + loop->partition(1) + " 2>&1"), 0);
  const std::string mountPoint = dir.file("mnt");
  fs::create_directory(mountPoint);
  auto mounted = test::MountedFileSystem::Mount(loop->partition(1), mountPoint, whyNot);
  if (!mounted) GTEST_SKIP() << whyNot;

  const auto number = platform.DiskNumberOf(loop->name());
  ASSERT_TRUE(number.has_value());
  char letter = 0;
  for (char candidate = 'C'; candidate <= 'Z' && letter == 0; ++candidate) {
    if (platform.DriveType(candidate) == kDriveNoRootDir) continue;
    auto volume = platform.Open(std::string("\\\\.\\") + candidate + ":", Access::ReadWrite,
                                Share::ReadWrite, Disposition::OpenExisting);
    if (!volume) continue;  // a device the user may not open, as the machine's own disk here
    const auto extent = FirstExtent(*volume);
    ASSERT_TRUE(extent.has_value()) << candidate;
    if (extent->disk == static_cast<std::uint32_t>(*number)) {
      EXPECT_EQ(extent->start, 2048u * 512);
      EXPECT_EQ(extent->length, 40960u * 512);
      letter = candidate;
    }
  }
  ASSERT_NE(letter, 0) << "no letter for " << loop->partition(1);
  EXPECT_EQ(platform.DriveType(letter), kDriveFixed);
  EXPECT_EQ(platform.VolumeLabel(letter), "KALTEST sur " + mountPoint);

  // The logic's map shows where the volume is mounted.
  media::Utilitaires map;
  media::BuildLetterMap(platform, map);
  bool shown = false;
  for (int i = 0; i < map.count; ++i) {
    const auto& entry = map.MAPLetterPartition[static_cast<std::size_t>(i)];
    if (entry.NumDisque == static_cast<std::uint32_t>(*number)) {
      EXPECT_EQ(entry.FirstSct, 2048u);
      EXPECT_EQ(entry.NBSct, 40960u);
      EXPECT_EQ(entry.Affichage, "KALTEST sur " + mountPoint + " (" + letter + ":)");
      shown = true;
    }
  }
  EXPECT_TRUE(shown);
}

TEST_F(LinuxLoopDisks, TheDiskHoldingAFileIsFoundThroughMountsAndOverlays) {
  if (test::RunShell("command -v mkfs.ext4 >/dev/null") != 0) GTEST_SKIP() << "no mkfs.ext4";
  std::string whyNot;
  auto loop = LoopDevice::Attach(MakeImage("disk.img"), {}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  ASSERT_EQ(test::RunShell("mkfs.ext4 -q -F " + loop->path() + " 2>&1"), 0);
  const std::string mountPoint = dir.file("mnt");
  fs::create_directory(mountPoint);
  auto mounted = test::MountedFileSystem::Mount(loop->path(), mountPoint, whyNot);
  if (!mounted) GTEST_SKIP() << whyNot;
  // The number in the numbering the extents are asked with: the fixture's
  // platform numbered the loop devices other programs had attached first.
  linuxbackend::SystemPaths paths;
  linuxbackend::DiskNumbering numbering;
  numbering.Update(linuxbackend::ListWholeDisks(paths));
  const auto number = numbering.NumberOf(loop->name());
  ASSERT_TRUE(number.has_value());

  for (const char* folder : {"lower", "upper", "work"})
    fs::create_directory(mountPoint + "/" + folder);
  std::ofstream(mountPoint + "/lower/program").close();
  auto onDisk = linuxbackend::ExtentsHoldingFile(paths, numbering, mountPoint + "/lower/program");
  ASSERT_TRUE(onDisk.has_value());
  EXPECT_EQ(onDisk->front().diskNumber, static_cast<std::uint32_t>(*number));
  EXPECT_EQ(onDisk->front().startingOffset, 0u);
  EXPECT_EQ(onDisk->front().length, kImageBytes);

  // Nothing on a disk: tmpfs. Lost: a file that is not there.
  const auto inMemory = linuxbackend::ExtentsHoldingFile(paths, numbering, "/dev/shm");
  ASSERT_TRUE(inMemory.has_value());
  EXPECT_EQ(inMemory->front().diskNumber, linuxbackend::kNoDisk);
  EXPECT_FALSE(linuxbackend::ExtentsHoldingFile(paths, numbering, dir.file("missing")).has_value());

  const std::string merged = dir.file("merged");
  fs::create_directory(merged);
  if (test::RunShell("mount -t overlay overlay -o lowerdir=" + mountPoint +
                     "/lower,upperdir=" + mountPoint + "/upper,workdir=" + mountPoint + "/work " +
                     merged + " 2>/dev/null") != 0) {
    GTEST_SKIP() << "overlay mounts are not allowed here";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { test::RunShell("umount '" + path + "' 2>/dev/null"); }
  } unmount{merged};
  auto throughOverlay = linuxbackend::ExtentsHoldingFile(paths, numbering, merged + "/program");
  ASSERT_TRUE(throughOverlay.has_value());
  EXPECT_EQ(throughOverlay->front().diskNumber, static_cast<std::uint32_t>(*number));
}

TEST_F(LinuxLoopDisks, RescanScriptMakesTheKernelForgetAWipedPartitionTable) {
  const std::string image = MakeImage("parted.img");
  if (test::RunShell("command -v sfdisk >/dev/null") != 0) GTEST_SKIP() << "sfdisk is missing";
  ASSERT_EQ(
      test::RunShell("printf 'label: dos\\nstart=2048, size=40960, type=83\\n' | sfdisk -q '" +
                     image + "' >/dev/null 2>&1"),
      0);
  std::string whyNot;
  auto loop = LoopDevice::Attach(image, {.partitions = true}, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  const std::string partitionFolder = "/sys/block/" + loop->name() + "/" + loop->name() + "p1";
  ASSERT_TRUE(fs::exists(partitionFolder));

  // Wipe the table the way the erase job does: through the disk, no re-read.
  int number = -1;
  auto disk = OpenDisk(*loop, number);
  ASSERT_NE(disk, nullptr);
  const std::vector<std::uint8_t> zeros(128 * 512, 0);
  std::uint32_t moved = 0;
  ASSERT_TRUE(disk->Write(zeros.data(), static_cast<std::uint32_t>(zeros.size()), moved));
  ASSERT_TRUE(disk->Close());
  ASSERT_TRUE(fs::exists(partitionFolder));

  const char* sourceDir = std::getenv("KALVORIN_SOURCE_DIR");
  const fs::path root = sourceDir ? fs::path(sourceDir)
                                  : fs::path(__FILE__).parent_path().parent_path().parent_path();
  EXPECT_EQ(platform.RunCommand("sh '" + (root / "src/device/linux/RescanDisks.sh").string() + "'"),
            0);
  EXPECT_FALSE(fs::exists(partitionFolder));
}

}  // namespace
}  // namespace kalvorin::device
