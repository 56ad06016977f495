// The jobs on the kernel's block devices, on loop devices the tests attach
// over their own images: a medium swapped under the same device name, a disk
// with a mounted partition, image targets that are devices or FIFOs, and a
// refresh that must not open disks for writing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "detect/VolumeNodes.h"
#include "device/linux/LinuxPlatform.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/PartitionBuilders.h"
#include "jobs/Jobs.h"
#include "jobs/LoopJobFixture.h"
#include "jobs/Messages.h"
#include "media/Identify.h"
#include "media/MediaState.h"
#include "media/Refresh.h"
#include "support/LoopDevice.h"

namespace kalvorin::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSectors = 65536;  // 32 MiB images

std::vector<std::uint8_t> Pattern(std::uint64_t sectors, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(sectors * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 13 + seed);
  }
  return bytes;
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// A loop device attached on a chosen node, detached at the end of the test.
class AttachedOn {
 public:
  AttachedOn(const std::string& node, const std::string& image) : node_(node) {
    attached_ = RunShell("losetup " + Quote(node) + " " + Quote(image) + " >/dev/null 2>&1") == 0;
  }
  ~AttachedOn() {
    for (int attempt = 0; attached_ && attempt < 20; ++attempt) {
      if (RunShell("losetup -d " + Quote(node_) + " >/dev/null 2>&1") == 0) return;
      ::usleep(100'000);
    }
  }
  bool attached() const { return attached_; }

 private:
  std::string node_;
  bool attached_ = false;
};

class RealDisks : public LoopJobTest {
 protected:
  std::unique_ptr<LoopDevice> Attach(const std::string& image, bool partitions = false) {
    LoopDevice::Options options;
    options.partitions = partitions;
    return LoopJobTest::Attach(image, options);
  }
  media::listeSupport Listed(const std::string& kernelName, const std::string& label) {
    media::listeSupport record = Record(kernelName, label);
    EXPECT_TRUE(record.Identite.has_value()) << kernelName << " was not identified";
    return record;
  }
  std::vector<std::uint8_t> Content(const std::string& image) const {
    return demo::ReadAt(image, 0, kSectors * 512);
  }
};

// (a) The medium listed is detached and another image of the same size, with
// the same file name, is attached on the same loop device before the erase.
TEST_F(RealDisks, AMediumSwappedUnderTheSameDeviceIsRefused) {
  fs::create_directory(dir.path() / "first");
  fs::create_directory(dir.path() / "second");
  const std::string first = (dir.path() / "first" / "disk.img").string();
  const std::string second = (dir.path() / "second" / "disk.img").string();
  ASSERT_TRUE(demo::CreateSparseImage(first, kSectors));
  ASSERT_TRUE(demo::CreateSparseImage(second, kSectors));
  const auto content = Pattern(kSectors, 3);
  ASSERT_TRUE(demo::WriteAt(second, 0, content));

  auto loop = Attach(first);
  if (!loop) GTEST_SKIP() << skipReason;
  const std::string node = loop->path(), name = loop->name();
  media::listeSupport listed = Listed(name, "disk.img");
  ASSERT_TRUE(listed.Identite && listed.Identite->NumSequence) << "no diskseq on this kernel";
  loop.reset();
  AttachedOn swapped(node, second);
  if (!swapped.attached()) GTEST_SKIP() << "another program took " << node;
  // The newcomer answers to the number the user saw.
  listed.NumDisque = native.DiskNumberOf(name).value_or(-1);

  jobs::FormaterSupport(*context, listed, 0, kSectors);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, jobs::DiskChangedText(listed.NumDisque));
  EXPECT_EQ(Content(second), content);
  EXPECT_FALSE(fs::exists(dir.file("Rapport.txt")));
}

// (b) A partition of the disk is mounted: an erase of the disk or of one of
// its volumes, and a copy onto it of an image that lies on that partition,
// are refused naming the mount point; once unmounted the erase runs, and the
// kernel forgets the partitions it wiped.
TEST_F(RealDisks, ADiskWithAMountedPartitionIsRefusedUntilUnmounted) {
  const std::string image = dir.file("parted.img");
  ASSERT_TRUE(demo::CreateSparseImage(image, kSectors));
  ASSERT_TRUE(demo::WriteTableSector(image, 0, {{0x83, 2048, 40960}, {0x83, 43008, 20480}}));
  auto loop = Attach(image, true);
  if (!loop) GTEST_SKIP() << skipReason;
  if (RunShell("mkfs.ext4 -q -F " + Quote(loop->partition(1)) + " >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "mkfs.ext4 is missing or refused";
  }
  const fs::path mountPoint = dir.path() / "point de montage";
  fs::create_directory(mountPoint);
  std::string whyNot;
  auto mounted = MountedFileSystem::Mount(loop->partition(1), mountPoint.string(), whyNot);
  if (!mounted) GTEST_SKIP() << whyNot;
  const std::string inside = (mountPoint / "source.img").string();
  ASSERT_TRUE(demo::CreateSparseImage(inside, 64));
  // The sectors before the file system, which the mounted file system never
  // writes and every refused job would have written first.
  const auto before = demo::ReadAt(image, 0, 2048 * 512);

  media::listeSupport disk = Listed(loop->name(), "LOOP");
  media::listeSupport volume = Listed(loop->name(), "EXT4");
  volume.FirstSct = 2048;
  volume.NBSct = 40960;
  media::listeSupport sourceImage;
  sourceImage.TypeSupport = media::kImage;
  sourceImage.CheminImage = inside;

  for (int job = 0; job < 3; ++job) {
    SCOPED_TRACE(job);
    window = ScriptedWindow{};
    if (job == 0) jobs::FormaterSupport(*context, disk, 0, disk.NBSct);
    if (job == 1) jobs::FormaterSupport(*context, volume, 2048, 40960);
    if (job == 2) jobs::CopierSupport(*context, sourceImage, disk, 0, 0, 64);
    ASSERT_EQ(window.messages.size(), 1u) << "refused before the confirmation";
    EXPECT_NE(window.messages[0].text.find("montés sur " + mountPoint.string()), std::string::npos)
        << window.messages[0].text;
    EXPECT_EQ(window.messages[0].caption,
              job == 2 ? "ERREUR support cible" : "ERREUR support source");
  }
  // Reading a disk whose partition is mounted is allowed.
  window = ScriptedWindow{};
  jobs::ControlerSupport(*context, disk, 0, 4096);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Enregistrer le rapport ?");
  EXPECT_EQ(demo::ReadAt(image, 0, 2048 * 512), before);
  mounted.reset();

  const std::string partitionEntry = "/sys/block/" + loop->name() + "/" + loop->name() + "p1";
  ASSERT_TRUE(fs::exists(partitionEntry));
  window = ScriptedWindow{};
  jobs::FormaterSupport(*context, disk, 0, 4096);
  ASSERT_GE(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].caption, "Formater le support");
  EXPECT_EQ(demo::ReadAt(image, 0, 4096 * 512), std::vector<std::uint8_t>(4096 * 512, 0));
  // The job holds the disk exclusively; the partition table it wiped still
  // reached the kernel.
  EXPECT_FALSE(fs::exists(partitionEntry));
}

// Another program writing the disk (holding its lock) keeps a check from
// reading it, and a job from writing it.
TEST_F(RealDisks, ADiskLockedByAnotherProgramIsRefused) {
  const std::string image = dir.file("locked.img");
  ASSERT_TRUE(demo::CreateSparseImage(image, kSectors));
  auto loop = Attach(image);
  if (!loop) GTEST_SKIP() << skipReason;
  media::listeSupport disk = Listed(loop->name(), "LOOP");
  const int holder = ::open(loop->path().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  for (int job = 0; job < 2; ++job) {
    window = ScriptedWindow{};
    if (job == 0) jobs::ControlerSupport(*context, disk, 0, 1024);
    if (job == 1) jobs::FormaterSupport(*context, disk, 0, 1024);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_NE(window.messages[0].text.find("utilisé par un autre programme"), std::string::npos)
        << window.messages[0].text;
  }
  ::close(holder);
}

// (c) A device, a link to it and a FIFO as the copy's new image file.
TEST_F(RealDisks, ImageTargetsThatAreNotFilesAreRefused) {
  const std::string image = dir.file("target-disk.img"), source = dir.file("source.img");
  ASSERT_TRUE(demo::CreateSparseImage(image, kSectors));
  const auto content = Pattern(kSectors, 9);
  ASSERT_TRUE(demo::WriteAt(image, 0, content));
  ASSERT_TRUE(demo::CreateSparseImage(source, 256));
  auto loop = Attach(image);
  if (!loop) GTEST_SKIP() << skipReason;
  fs::create_symlink(loop->path(), dir.path() / "link.img");
  ASSERT_EQ(::mkfifo(dir.file("fifo.img").c_str(), 0600), 0);

  media::listeSupport sourceImage;
  sourceImage.TypeSupport = media::kImage;
  sourceImage.CheminImage = source;
  for (const std::string& path : {loop->path(), dir.file("link.img"), dir.file("fifo.img")}) {
    SCOPED_TRACE(path);
    window = ScriptedWindow{};
    media::listeSupport target;
    target.TypeSupport = media::kImage;
    target.CheminImage = path;
    jobs::CopierSupport(*context, sourceImage, target, 0, 0, 256);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, jobs::ImageTargetNotFile(path));
    // Should the name change after that check, the open refuses what it finds.
    EXPECT_EQ(native.Open(path, device::Access::ReadWrite, device::Share::ReadWrite,
                          device::Disposition::CreateAlways),
              nullptr);
  }
  EXPECT_EQ(Content(image), content);
  EXPECT_TRUE(fs::is_fifo(dir.file("fifo.img")));
}

// (d) A refresh with volume detection only reads the disks: no descriptor
// opened for writing is closed on them (which makes the system probe again).
TEST_F(RealDisks, ARefreshOpensNoDiskForWriting) {
  const std::string image = dir.file("watched.img");
  ASSERT_TRUE(demo::CreateSparseImage(image, kSectors));
  ASSERT_TRUE(demo::WriteTableSector(image, 0, {{0x83, 2048, 40960}}));
  auto loop = Attach(image, true);
  if (!loop) GTEST_SKIP() << skipReason;
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, loop->path().c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);

  media::MediaState state;
  state.NumDisqueProgramme = -1;
  state.DetectionVolumes = true;
  media::RefreshMediaList(native, window, state, detect::AddVolumeNodes);

  int closedAfterWriting = 0, closedAfterReading = 0;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_CLOSE_WRITE) ++closedAfterWriting;
      if (event->mask & IN_CLOSE_NOWRITE) ++closedAfterReading;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  ::close(watch);
  EXPECT_EQ(closedAfterWriting, 0);
  EXPECT_GT(closedAfterReading, 0) << "the refresh did not open the disk at all";
}

}  // namespace
}  // namespace kalvorin::test
