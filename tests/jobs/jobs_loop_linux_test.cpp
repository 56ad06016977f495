// The jobs on the kernel's real block devices: loop devices the test attaches
// over its own images (never a disk of the machine), and a loop device over a
// small FUSE file system of the test's own that fails reads of chosen
// sectors, so the I/O errors come from the kernel.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "detect/PartitionTable.h"
#include "device/linux/LinuxPlatform.h"
#include "device/sim/demo/ImageFile.h"
#include "jobs/Jobs.h"
#include "jobs/LoopJobFixture.h"
#include "media/Identify.h"
#include "support/LoopDevice.h"

#if __has_include(<fuse3/fuse.h>)
#define FUSE_USE_VERSION 31
#include <fuse3/fuse.h>
#define KALVORIN_HAVE_FUSE 1
#endif

namespace kalvorin::test {
namespace {

constexpr std::uint64_t kSectors = 32768;  // 16 MiB images

std::vector<std::uint8_t> Pattern(std::uint64_t sectors) {
  std::vector<std::uint8_t> bytes(sectors * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 512);
  }
  bytes[510] = 0x55;
  bytes[511] = 0xAA;
  return bytes;
}

class LoopJobs : public LoopJobTest {
 protected:
  media::listeSupport DiskOf(const LoopDevice& loop) {
    media::listeSupport record = Record(loop.name(), loop.name());
    record.NBSct = record.NBSctDisque = kSectors;
    return record;
  }
  std::string Report() const {
    const auto bytes = demo::ReadAt(dir.file("Rapport.txt"), 0, 1 << 20);
    return std::string(bytes.begin(), bytes.end());
  }
  // The report's lines between the header and the end line.
  std::vector<std::string> FailureLines() const {
    std::vector<std::string> lines;
    const std::string text = Report();
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t stop = text.find('\n', start);
      lines.push_back(text.substr(start, stop - start));
      start = stop == std::string::npos ? text.size() : stop + 1;
    }
    // header, "", ..., "", end line
    if (lines.size() < 4) return {};
    return {lines.begin() + 2, lines.end() - 2};
  }
};

TEST_F(LoopJobs, CheckEraseAndCopyOnLoopDevices) {
  const std::string imageA = dir.file("a.img"), imageB = dir.file("b.img");
  const auto pattern = Pattern(kSectors);
  ASSERT_TRUE(demo::CreateSparseImage(imageA, kSectors));
  ASSERT_TRUE(demo::WriteAt(imageA, 0, pattern));
  ASSERT_TRUE(demo::CreateSparseImage(imageB, kSectors));
  auto loopA = Attach(imageA);
  if (!loopA) GTEST_SKIP() << skipReason;
  auto loopB = Attach(imageB);
  if (!loopB) GTEST_SKIP() << skipReason;
  media::listeSupport a = DiskOf(*loopA), b = DiskOf(*loopB);

  jobs::ControlerSupport(*context, a, 0, kSectors);
  EXPECT_TRUE(FailureLines().empty()) << Report();
  ASSERT_EQ(window.messages.size(), 1u);

  // A whole disk onto the other, boot signature included once the job has ended.
  window = ScriptedWindow{};
  jobs::CopierSupport(*context, a, b, 0, 0, kSectors);
  EXPECT_TRUE(FailureLines().empty()) << Report();
  EXPECT_EQ(demo::ReadAt(imageB, 0, kSectors * 512), pattern);
  EXPECT_EQ(platform.commands.size(), 1u);

  // Erase a volume of B: its range and the disk's first 128 sectors only.
  window = ScriptedWindow{};
  jobs::FormaterSupport(*context, b, 2048, 4096);
  const auto erased = demo::ReadAt(imageB, 0, kSectors * 512);
  auto expected = pattern;
  std::fill(expected.begin(), expected.begin() + 128 * 512, 0);
  std::fill(expected.begin() + 2048 * 512, expected.begin() + 6144 * 512, 0);
  EXPECT_EQ(erased, expected);

  // A disk to an image file.
  window = ScriptedWindow{};
  media::listeSupport image;
  image.TypeSupport = media::kImage;
  image.CheminImage = dir.file("copie.img");
  jobs::CopierSupport(*context, a, image, 0, 0, kSectors);
  EXPECT_EQ(demo::ReadAt(image.CheminImage, 0, kSectors * 512), pattern);
}

// A loop device with 4096-byte logical sectors, partitioned by the usual
// tools: the volumes lie where partx (which counts 512-byte sectors) puts
// them, and erasing one zeroes exactly that partition.
class LargeSectorLoop : public LoopJobs {
 protected:
  static constexpr std::uint64_t kDiskSectors = 131072;  // 64 MiB

  // The data partitions partx lists: (first, count) in 512-byte sectors.
  static std::vector<std::pair<std::uint64_t, std::uint64_t>> PartxVolumes(
      const std::string& device) {
    std::string output;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> volumes;
    if (RunShell("partx -g -o START,SECTORS,TYPE " + device, &output) != 0) return volumes;
    std::istringstream lines(output);
    std::uint64_t start = 0, sectors = 0;
    std::string type;
    while (lines >> start >> sectors >> type) {
      if (type == "0x5" || type == "0xf") continue;  // the extended partition holds no volume
      volumes.emplace_back(start, sectors);
    }
    return volumes;
  }

  void CheckVolumesAndEraseOne(const std::string& image, const std::string& partitionCommand) {
    if (RunShell("command -v partx >/dev/null") != 0) GTEST_SKIP() << "partx is missing";
    // Every byte non-zero, so that an erase shows wherever it lands.
    ASSERT_TRUE(demo::CreateSparseImage(image, kDiskSectors));
    ASSERT_TRUE(demo::WriteAt(image, 0, std::vector<std::uint8_t>(kDiskSectors * 512, 0xA5)));
    std::string whyNot;
    auto loop = LoopDevice::Attach(image, {.sectorSize = 4096}, whyNot);
    if (!loop) GTEST_SKIP() << whyNot;
    ASSERT_EQ(RunShell(partitionCommand + " " + loop->path() + " >/dev/null 2>&1"), 0);
    const auto expected = PartxVolumes(loop->path());
    ASSERT_EQ(expected.size(), 3u);

    media::listeSupport disk = DiskOf(*loop);
    disk.NBSct = disk.NBSctDisque = kDiskSectors;
    media::InSupport identity;
    detect::ReadPartitionTable(platform, window, identity, disk);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> slots;
    for (const auto& slot : identity.TablePartition) {
      if (slot.TypePartition == 0) break;
      slots.emplace_back(slot.FirstSct, slot.NBSct);
    }
    EXPECT_EQ(slots, expected);
    EXPECT_TRUE(window.messages.empty());

    // Erase the second volume: its partition and the disk's first 128 sectors.
    const auto before = demo::ReadAt(image, 0, kDiskSectors * 512);
    const auto [first, count] = expected[1];
    jobs::FormaterSupport(*context, disk, first, count);
    EXPECT_TRUE(FailureLines().empty()) << Report();
    loop.reset();
    auto after = demo::ReadAt(image, 0, kDiskSectors * 512);
    auto wanted = before;
    std::fill_n(wanted.begin(), 128 * 512, 0);
    std::fill_n(wanted.begin() + static_cast<std::ptrdiff_t>(first * 512), count * 512, 0);
    EXPECT_TRUE(after == wanted);
  }
};

TEST_F(LargeSectorLoop, MbrWithAnExtendedPartition) {
  CheckVolumesAndEraseOne(dir.file("mbr.img"),
                          "printf 'label: dos\\nstart=256, size=2048, type=83\\n"
                          "start=4096, size=8192, type=5\\nstart=4352, size=1024, type=83\\n"
                          "start=6144, size=1024, type=82\\n' | sfdisk -q");
}

TEST_F(LargeSectorLoop, Gpt) {
  if (RunShell("command -v sgdisk >/dev/null") != 0) GTEST_SKIP() << "sgdisk is missing";
  CheckVolumesAndEraseOne(dir.file("gpt.img"),
                          "sgdisk -n 1:256:2303 -n 2:4096:5119 -t 2:8300 -n 3:6144:12287");
}

#ifdef KALVORIN_HAVE_FUSE

// One file "disk.img" serving an image, failing with EIO every read and
// every write that touches a bad sector (a write that fails writes nothing). The server runs in a
// child process; the mount is undone and the child reaped when the object ends. What the server
// process serves (set before it forks).
struct Served {
  int fd = -1;
  std::uint64_t size = 0;
  std::vector<std::uint64_t> badSectors;
};
Served served_;

class FaultyFileSystem {
 public:
  static std::unique_ptr<FaultyFileSystem> Mount(const std::string& image,
                                                 std::vector<std::uint64_t> badSectors,
                                                 const std::string& mountPoint,
                                                 std::string& whyNot) {
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
      whyNot = "no usable /dev/fuse";
      return nullptr;
    }
    served_.fd = ::open(image.c_str(), O_RDWR);
    served_.size = std::filesystem::file_size(image);
    served_.badSectors = std::move(badSectors);
    const pid_t child = ::fork();
    if (child < 0) {
      whyNot = "fork failed";
      return nullptr;
    }
    if (child == 0) Serve(mountPoint);  // never returns
    ::close(served_.fd);
    std::unique_ptr<FaultyFileSystem> fs(new FaultyFileSystem(mountPoint, child));
    for (int attempt = 0; attempt < 100; ++attempt) {
      struct stat status {};
      if (::stat(fs->file().c_str(), &status) == 0 && S_ISREG(status.st_mode)) return fs;
      int childStatus = 0;
      if (::waitpid(child, &childStatus, WNOHANG) == child) {
        fs->child_ = -1;
        whyNot = "the FUSE server could not mount its file system";
        return nullptr;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    whyNot = "the FUSE file system did not appear";
    return nullptr;
  }

  ~FaultyFileSystem() {
    ::umount2(mountPoint_.c_str(), MNT_DETACH);
    if (child_ > 0) {
      for (int attempt = 0; attempt < 100; ++attempt) {
        if (::waitpid(child_, nullptr, WNOHANG) == child_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
  }

  std::string file() const { return mountPoint_ + "/disk.img"; }

 private:
  FaultyFileSystem(std::string mountPoint, pid_t child)
      : mountPoint_(std::move(mountPoint)), child_(child) {}

  static bool TouchesBadSector(std::uint64_t offset, std::uint64_t size) {
    if (size == 0) return false;
    const std::uint64_t first = offset / 512, last = (offset + size - 1) / 512;
    for (std::uint64_t bad : served_.badSectors) {
      if (bad >= first && bad <= last) return true;
    }
    return false;
  }

  static int GetAttr(const char* path, struct stat* status, fuse_file_info*) {
    std::memset(status, 0, sizeof *status);
    if (std::strcmp(path, "/") == 0) {
      status->st_mode = S_IFDIR | 0755;
      status->st_nlink = 2;
      return 0;
    }
    if (std::strcmp(path, "/disk.img") != 0) return -ENOENT;
    status->st_mode = S_IFREG | 0644;
    status->st_nlink = 1;
    status->st_size = static_cast<off_t>(served_.size);
    return 0;
  }
  static int Open(const char* path, fuse_file_info* info) {
    if (std::strcmp(path, "/disk.img") != 0) return -ENOENT;
    info->direct_io = 1;  // every read reaches the server with its own range
    return 0;
  }
  static int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info*) {
    if (TouchesBadSector(static_cast<std::uint64_t>(offset), size)) return -EIO;
    const ssize_t got = ::pread(served_.fd, buffer, size, offset);
    return got < 0 ? -errno : static_cast<int>(got);
  }
  static int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info*) {
    if (TouchesBadSector(static_cast<std::uint64_t>(offset), size)) return -EIO;
    const ssize_t put = ::pwrite(served_.fd, buffer, size, offset);
    return put < 0 ? -errno : static_cast<int>(put);
  }

  [[noreturn]] static void Serve(const std::string& mountPoint) {
    fuse_operations operations{};
    operations.getattr = GetAttr;
    operations.open = Open;
    operations.read = Read;
    operations.write = Write;
    char name[] = "kalvorin-faulty";
    char* argv[] = {name, nullptr};
    fuse_args args = FUSE_ARGS_INIT(1, argv);
    fuse* server = fuse_new(&args, &operations, sizeof operations, nullptr);
    if (server == nullptr || fuse_mount(server, mountPoint.c_str()) != 0) ::_exit(1);
    fuse_loop(server);
    fuse_unmount(server);
    fuse_destroy(server);
    ::_exit(0);
  }

  std::string mountPoint_;
  pid_t child_;
};

TEST_F(LoopJobs, TheReportNamesExactlyTheBlocksTheKernelCannotRead) {
  const std::string image = dir.file("faulty.img");
  ASSERT_TRUE(demo::CreateSparseImage(image, kSectors));
  ASSERT_TRUE(demo::WriteAt(image, 0, Pattern(kSectors)));
  const std::filesystem::path mountPoint = dir.path() / "fuse";
  std::filesystem::create_directory(mountPoint);
  // Sector 5000 lies in block 4992; 20000-20001 in block 19968; the last
  // sector in the last block; 8191 at the end of block 8064, before 8192.
  const std::vector<std::uint64_t> bad = {5000, 20000, 20001, 8191, kSectors - 1};
  std::string whyNot;
  auto fs = FaultyFileSystem::Mount(image, bad, mountPoint.string(), whyNot);
  if (!fs) GTEST_SKIP() << whyNot;

  for (const char* readAhead : {"0", "65536"}) {
    SCOPED_TRACE(std::string("read-ahead ") + readAhead);
    auto loop = Attach(fs->file());
    if (!loop) GTEST_SKIP() << skipReason;
    ASSERT_EQ(RunShell(std::string("blockdev --setra ") + readAhead + " " + loop->path()), 0);
    media::listeSupport disk = DiskOf(*loop);
    window = ScriptedWindow{};
    window.ignoreErrors = true;
    jobs::ControlerSupport(*context, disk, 0, kSectors);
    EXPECT_EQ(FailureLines(), (std::vector<std::string>{
                                  "Lecture du support au secteur 4992 impossible.",
                                  "Lecture du support au secteur 8064 impossible.",
                                  "Lecture du support au secteur 19968 impossible.",
                                  "Lecture du support au secteur 32640 impossible.",
                              }))
        << Report();
  }
}

// A loop device over a faulty FUSE file serving `image`, for the tests below.
class FaultyDisk {
 public:
  std::unique_ptr<FaultyFileSystem> fs;
  std::unique_ptr<LoopDevice> loop;
};

class FaultyLoopJobs : public LoopJobs {
 protected:
  // Sectors 5000 (block 4992), 20000-20001 (block 19968) and 8191 (the end of
  // block 8064) refuse reads and writes.
  const std::vector<std::uint64_t> bad = {5000, 20000, 20001, 8191};
  const std::vector<std::uint64_t> badBlocks = {4992, 8064, 19968};

  // False (with skipReason set) when FUSE or loop devices are not available.
  bool MountFaulty(const std::string& image, FaultyDisk& disk) {
    const std::filesystem::path mountPoint = dir.path() / "fuse";
    std::filesystem::create_directories(mountPoint);
    disk.fs = FaultyFileSystem::Mount(image, bad, mountPoint.string(), skipReason);
    if (!disk.fs) return false;
    disk.loop = Attach(disk.fs->file());
    return disk.loop != nullptr;
  }
  std::vector<std::string> Lines(const std::string& verb) const {
    std::vector<std::string> lines;
    for (const std::uint64_t p : badBlocks) {
      lines.push_back(verb + " du support au secteur " + std::to_string(p) + " impossible.");
    }
    return lines;
  }
  // Whether the image holds `written` (from sector `first`) outside the bad
  // blocks, and the pattern on the bad sectors. The rest of a bad block is
  // left unspecified: the kernel may split a request, and the part that
  // avoids the bad sectors lands.
  void ExpectWrittenExceptBadBlocks(const std::string& image, std::uint64_t first,
                                    const std::vector<std::uint8_t>& pattern,
                                    const std::vector<std::uint8_t>& written) {
    auto expected = pattern;
    std::copy(written.begin(), written.end(), expected.begin() + first * 512);
    auto actual = demo::ReadAt(image, 0, kSectors * 512);
    ASSERT_EQ(actual.size(), expected.size());
    for (const std::uint64_t p : badBlocks) {
      std::copy_n(actual.begin() + p * 512, 128 * 512, expected.begin() + p * 512);
    }
    for (const std::uint64_t sector : bad) {
      std::copy_n(pattern.begin() + sector * 512, 512, expected.begin() + sector * 512);
    }
    EXPECT_TRUE(actual == expected);
  }
};

TEST_F(FaultyLoopJobs, AnEraseReportsExactlyTheBlocksWhoseWritesFail) {
  const std::string image = dir.file("faulty.img");
  const auto pattern = Pattern(kSectors);
  ASSERT_TRUE(demo::CreateSparseImage(image, kSectors));
  ASSERT_TRUE(demo::WriteAt(image, 0, pattern));
  FaultyDisk faulty;
  if (!MountFaulty(image, faulty)) GTEST_SKIP() << skipReason;
  media::listeSupport disk = DiskOf(*faulty.loop);

  // Ignoring errors: every failed block in the report, everything else zeroed.
  window.ignoreErrors = true;
  jobs::FormaterSupport(*context, disk, 2048, kSectors - 2048);
  EXPECT_EQ(FailureLines(), Lines("Ecriture")) << Report();
  std::vector<std::uint8_t> zeros((kSectors - 2048) * 512, 0);
  auto withPartitionArea = pattern;
  std::fill_n(withPartitionArea.begin(), 128 * 512, 0);
  ExpectWrittenExceptBadBlocks(image, 2048, withPartitionArea, zeros);

  // The question at each failed block: Yes goes on, No stops there.
  ASSERT_TRUE(demo::WriteAt(image, 0, pattern));
  window = ScriptedWindow{};
  window.answers = {device::kIdYes, device::kIdYes, device::kIdYes, device::kIdNo};
  jobs::FormaterSupport(*context, disk, 2048, kSectors - 2048);
  ASSERT_EQ(window.messages.size(), 5u);  // confirmation, three questions, save
  EXPECT_EQ(window.messages[1].text,
            "Ecriture du support au secteur 4992 impossible.\n\rVoulez_vous continuer ?");
  EXPECT_EQ(window.messages[3].text,
            "Ecriture du support au secteur 19968 impossible.\n\rVoulez_vous continuer ?");
  auto lines = Lines("Ecriture");
  lines.push_back("Arr\xEAt du traitement au secteur 19968");
  EXPECT_EQ(FailureLines(), lines);
  // Nothing after the request that held the block where the user stopped
  // (its blocks after that one may have landed before it failed: [18432, 20480)).
  const auto after = demo::ReadAt(image, 20480 * 512, (kSectors - 20480) * 512);
  EXPECT_TRUE(std::equal(after.begin(), after.end(), pattern.begin() + 20480 * 512));
}

TEST_F(FaultyLoopJobs, ACopyToAFaultyDiskReportsExactlyTheBlocksWhoseWritesFail) {
  const std::string sourceImage = dir.file("source.img"), targetImage = dir.file("faulty.img");
  const auto pattern = Pattern(kSectors);
  std::vector<std::uint8_t> other(pattern.size());
  for (std::size_t i = 0; i < other.size(); ++i) other[i] = static_cast<std::uint8_t>(i * 13 + 5);
  ASSERT_TRUE(demo::CreateSparseImage(sourceImage, kSectors));
  ASSERT_TRUE(demo::WriteAt(sourceImage, 0, other));
  ASSERT_TRUE(demo::CreateSparseImage(targetImage, kSectors));
  ASSERT_TRUE(demo::WriteAt(targetImage, 0, pattern));
  FaultyDisk faulty;
  if (!MountFaulty(targetImage, faulty)) GTEST_SKIP() << skipReason;
  auto sourceLoop = Attach(sourceImage);
  if (!sourceLoop) GTEST_SKIP() << skipReason;
  media::listeSupport source = DiskOf(*sourceLoop), target = DiskOf(*faulty.loop);

  window.ignoreErrors = true;
  jobs::CopierSupport(*context, source, target, 2048, 2048, kSectors - 2048);
  EXPECT_EQ(FailureLines(), Lines("Ecriture")) << Report();
  auto withPartitionArea = pattern;
  std::fill_n(withPartitionArea.begin(), 128 * 512, 0);
  ExpectWrittenExceptBadBlocks(targetImage, 2048, withPartitionArea,
                               std::vector<std::uint8_t>(other.begin() + 2048 * 512, other.end()));
}

TEST_F(FaultyLoopJobs, ACheckReadsTheMediumWhileAnotherProgramHoldsTheDiskOpen) {
  const std::string image = dir.file("faulty.img");
  ASSERT_TRUE(demo::CreateSparseImage(image, kSectors));
  ASSERT_TRUE(demo::WriteAt(image, 0, Pattern(kSectors)));
  FaultyDisk faulty;
  if (!MountFaulty(image, faulty)) GTEST_SKIP() << skipReason;
  media::listeSupport disk = DiskOf(*faulty.loop);

  // Another program holds the disk open and writes it through the page cache:
  // the cache then holds every sector, the bad ones included, after the erase.
  const int held = ::open(faulty.loop->path().c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(held, 0);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{held};
  window.ignoreErrors = true;
  jobs::FormaterSupport(*context, disk, 0, kSectors);
  EXPECT_EQ(FailureLines(), Lines("Ecriture")) << Report();
  const std::vector<std::uint8_t> zeros(kSectors * 512, 0);
  ASSERT_EQ(::pwrite(held, zeros.data(), zeros.size(), 0), static_cast<ssize_t>(zeros.size()));
  ::fsync(held);  // fails for the bad sectors; their pages stay cached

  window = ScriptedWindow{};
  window.ignoreErrors = true;
  jobs::ControlerSupport(*context, disk, 0, kSectors);
  EXPECT_EQ(FailureLines(), Lines("Lecture")) << Report();
}

#endif  // KALVORIN_HAVE_FUSE

}  // namespace
}  // namespace kalvorin::test
