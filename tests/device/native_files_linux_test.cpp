// Files of the Linux platform: positioned transfers, short reads, the
// uncached read, the flush on close, and the file services.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <vector>

#include "device/Platform.h"
#include "device/linux/LinuxPlatform.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 512);
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

class LinuxFiles : public ::testing::Test {
 protected:
  linuxbackend::LinuxPlatform platform;
  test::TempDir dir;
};

TEST_F(LinuxFiles, ReadsWritesAndReportsShortTransfers) {
  const auto content = Pattern(8 * 512 + 100);  // ends in a partial sector
  WriteFile(dir.file("image.img"), content);
  auto file = platform.Open(dir.file("image.img"), Access::ReadWrite, Share::ReadWrite,
                            Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  std::uint64_t size = 0;
  ASSERT_TRUE(file->Size(size));
  EXPECT_EQ(size, content.size());

  std::vector<std::uint8_t> buffer(1024);
  std::uint32_t moved = 0;
  ASSERT_TRUE(file->Seek(512));
  ASSERT_TRUE(file->Read(buffer.data(), 1024, moved));
  EXPECT_EQ(moved, 1024u);
  EXPECT_EQ(std::memcmp(buffer.data(), content.data() + 512, 1024), 0);
  // The position moved on: the next read follows.
  ASSERT_TRUE(file->Read(buffer.data(), 512, moved));
  EXPECT_EQ(std::memcmp(buffer.data(), content.data() + 1536, 512), 0);

  // A read across the end succeeds short; at the end it moves nothing.
  ASSERT_TRUE(file->Seek(8 * 512));
  ASSERT_TRUE(file->Read(buffer.data(), 512, moved));
  EXPECT_EQ(moved, 100u);
  ASSERT_TRUE(file->Read(buffer.data(), 512, moved));
  EXPECT_EQ(moved, 0u);

  const std::vector<std::uint8_t> ones(512, 0x11);
  ASSERT_TRUE(file->Seek(1024));
  ASSERT_TRUE(file->Write(ones.data(), 512, moved));
  EXPECT_EQ(moved, 512u);
  ASSERT_TRUE(file->Seek(1024));
  ASSERT_TRUE(file->Read(buffer.data(), 512, moved));
  EXPECT_EQ(std::memcmp(buffer.data(), ones.data(), 512), 0);
  EXPECT_TRUE(file->Close());

  // After Close() only failures.
  EXPECT_FALSE(file->Seek(0));
  EXPECT_FALSE(file->Read(buffer.data(), 512, moved));
  EXPECT_EQ(moved, 0u);
  EXPECT_FALSE(file->Close());
}

TEST_F(LinuxFiles, RefusesAbsurdPositionsAndKeepsThePositionOfTheLastGoodSeek) {
  WriteFile(dir.file("image.img"), Pattern(4096));
  auto file =
      platform.Open(dir.file("image.img"), Access::Read, Share::Read, Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Seek(2048));
  EXPECT_FALSE(file->Seek(0x8000000000000000ULL));
  EXPECT_FALSE(file->Seek(UINT64_MAX));
  std::vector<std::uint8_t> buffer(512);
  std::uint32_t moved = 0;
  ASSERT_TRUE(file->Read(buffer.data(), 512, moved));
  EXPECT_EQ(std::memcmp(buffer.data(), Pattern(4096).data() + 2048, 512), 0);
  // Just below the largest offset: a transfer that would pass it fails.
  ASSERT_TRUE(file->Seek(0x7FFFFFFFFFFFFF00ULL));
  EXPECT_FALSE(file->Read(buffer.data(), 512, moved));
  // A file opened for reading refuses writes.
  ASSERT_TRUE(file->Seek(0));
  EXPECT_FALSE(file->Write(buffer.data(), 512, moved));
}

TEST_F(LinuxFiles, UncachedReadsAnyRangeIntoAnyBufferWithoutMovingThePosition) {
  const auto content = Pattern(3 * 65536 + 1000);
  WriteFile(dir.file("image.img"), content);
  auto file = platform.Open(dir.file("image.img"), Access::ReadWrite, Share::ReadWrite,
                            Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Seek(512));
  struct Case {
    std::uint64_t offset;
    std::uint32_t bytes;
    bool complete;
  };
  const std::vector<Case> cases = {
      {0, 65536, true},                // aligned block
      {512, 65536, true},              // sector-aligned, not page-aligned
      {777, 3000, true},               // nothing aligned
      {65536 * 3, 1000, true},         // the file's last partial granule
      {65536 * 3 + 500, 1000, false},  // runs past the end
      {UINT64_MAX - 10, 512, false},   // absurd
  };
  std::vector<std::uint8_t> storage(65536 + 64);
  std::uint8_t* misaligned = storage.data() + 3;  // the caller's buffer is not aligned
  for (const auto& c : cases) {
    std::memset(misaligned, 0xEE, 65536 + 16);
    EXPECT_EQ(file->ReadUncached(c.offset, misaligned, c.bytes), c.complete) << c.offset;
    if (c.complete) {
      EXPECT_EQ(std::memcmp(misaligned, content.data() + c.offset, c.bytes), 0) << c.offset;
      EXPECT_EQ(misaligned[c.bytes], 0xEE) << "wrote past the asked bytes at " << c.offset;
    }
  }
  std::vector<std::uint8_t> buffer(512);
  std::uint32_t moved = 0;
  ASSERT_TRUE(file->Read(buffer.data(), 512, moved));
  EXPECT_EQ(std::memcmp(buffer.data(), content.data() + 512, 512), 0);
}

TEST_F(LinuxFiles, UncachedReadSeesWhatWasWrittenThroughTheCache) {
  WriteFile(dir.file("image.img"), std::vector<std::uint8_t>(8192, 0));
  auto file = platform.Open(dir.file("image.img"), Access::ReadWrite, Share::ReadWrite,
                            Disposition::OpenExisting);
  ASSERT_NE(file, nullptr);
  const auto block = Pattern(4096);
  std::uint32_t moved = 0;
  ASSERT_TRUE(file->Seek(4096));
  ASSERT_TRUE(file->Write(block.data(), 4096, moved));
  std::vector<std::uint8_t> read(4096);
  ASSERT_TRUE(file->ReadUncached(4096, read.data(), 4096));
  EXPECT_EQ(read, block);
  EXPECT_TRUE(file->Close());
}

TEST_F(LinuxFiles, CreateAlwaysTruncatesAndCloseFlushesTheWrittenFile) {
  WriteFile(dir.file("target.img"), Pattern(10000));
  auto file = platform.Open(dir.file("target.img"), Access::ReadWrite, Share::ReadWrite,
                            Disposition::CreateAlways);
  ASSERT_NE(file, nullptr);
  std::uint64_t size = 1;
  ASSERT_TRUE(file->Size(size));
  EXPECT_EQ(size, 0u);
  const auto block = Pattern(65536);
  std::uint32_t moved = 0;
  ASSERT_TRUE(file->Write(block.data(), 65536, moved));
  EXPECT_EQ(moved, 65536u);
  file->AdviseSequential(0, 0);
  file->AdviseWillNeed(0, 65536);
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(fs::file_size(dir.file("target.img")), 65536u);

  // Existing only: a missing file does not open, nor does a folder.
  EXPECT_EQ(platform.Open(dir.file("missing.img"), Access::ReadWrite, Share::ReadWrite,
                          Disposition::OpenExisting),
            nullptr);
  EXPECT_EQ(
      platform.Open(dir.path().string(), Access::Read, Share::Read, Disposition::OpenExisting),
      nullptr);
  // A Windows device path that means nothing here creates no file.
  EXPECT_EQ(platform.Open("\\\\.\\GLOBALROOT", Access::ReadWrite, Share::ReadWrite,
                          Disposition::CreateAlways),
            nullptr);
}

TEST_F(LinuxFiles, OpensOnlyRegularFilesAndBlockDevices) {
  EXPECT_EQ(
      platform.Open("/dev/full", Access::ReadWrite, Share::ReadWrite, Disposition::OpenExisting),
      nullptr);
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  EXPECT_EQ(platform.Open(dir.file("pipe"), Access::Read, Share::Read, Disposition::OpenExisting),
            nullptr);  // and does not wait for a writer
}

// The copy's new image file: a link to a regular file is followed, but
// nothing that is not a regular file is opened for writing, and a dangling
// link never creates a file where it points.
TEST_F(LinuxFiles, CreateAlwaysOpensOnlyANewOrRegularFile) {
  WriteFile(dir.file("old.img"), Pattern(4096));
  fs::create_symlink(dir.file("old.img"), dir.path() / "to-old.img");
  fs::create_symlink(dir.file("nowhere.img"), dir.path() / "dangling.img");
  fs::create_symlink("/dev/null", dir.path() / "to-null.img");
  fs::create_directory(dir.path() / "folder");
  ASSERT_EQ(::mkfifo(dir.file("pipe.img").c_str(), 0600), 0);

  auto linked = platform.Open(dir.file("to-old.img"), Access::ReadWrite, Share::ReadWrite,
                              Disposition::CreateAlways);
  ASSERT_NE(linked, nullptr);
  linked->Close();
  EXPECT_EQ(fs::file_size(dir.file("old.img")), 0u);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "to-old.img"));
  for (const char* name : {"dangling.img", "to-null.img", "folder", "pipe.img"}) {
    EXPECT_EQ(platform.Open(dir.file(name), Access::ReadWrite, Share::ReadWrite,
                            Disposition::CreateAlways),
              nullptr)
        << name;
  }
  EXPECT_FALSE(fs::exists(dir.file("nowhere.img")));
  auto fresh = platform.Open(dir.file("new.img"), Access::ReadWrite, Share::ReadWrite,
                             Disposition::CreateAlways);
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(fresh->MediumSequence().has_value());  // a file has none
  EXPECT_FALSE(fresh->MediumGone());
  EXPECT_TRUE(fresh->Close());
}

TEST_F(LinuxFiles, MoveReplacesWithinAndAcrossFileSystems) {
  WriteFile(dir.file("report.txt"), {'a', 'b'});
  WriteFile(dir.file("kept.txt"), {'o', 'l', 'd'});
  ASSERT_TRUE(platform.MoveFile(dir.file("report.txt"), dir.file("kept.txt")));
  EXPECT_FALSE(fs::exists(dir.file("report.txt")));
  EXPECT_EQ(fs::file_size(dir.file("kept.txt")), 2u);
  EXPECT_FALSE(platform.MoveFile(dir.file("report.txt"), dir.file("other.txt")));

  // /dev/shm is another file system than the temporary folder here.
  struct stat here {
  }, shm{};
  if (::stat(dir.path().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second file system to move across (/dev/shm)";
  }
  const std::string across = "/dev/shm/kalvorin-move-" + std::to_string(::getpid());
  WriteFile(across, {'x'});
  ASSERT_TRUE(platform.MoveFile(dir.file("kept.txt"), across));
  EXPECT_FALSE(fs::exists(dir.file("kept.txt")));
  EXPECT_EQ(fs::file_size(across), 2u);
  EXPECT_TRUE(platform.DeleteFile(across));
  EXPECT_FALSE(platform.DeleteFile(across));
}

TEST_F(LinuxFiles, FreeSpaceOfAPathNotYetCreated) {
  const auto existing = platform.FreeBytes(dir.path().string());
  const auto future = platform.FreeBytes(dir.file("new-image.img"));
  ASSERT_TRUE(existing.has_value());
  ASSERT_TRUE(future.has_value());
  EXPECT_GT(*future, 0u);
  EXPECT_FALSE(platform.FreeBytes(dir.file("no-folder/new-image.img")).has_value());
}

TEST_F(LinuxFiles, RunsCommandsAndAnswersTheirExitStatus) {
  EXPECT_EQ(platform.RunCommand("exit 3"), 3);
  EXPECT_EQ(platform.RunCommand("true"), 0);
  const std::string touched = dir.file("ran");
  EXPECT_EQ(platform.RunCommand("touch '" + touched + "'"), 0);
  EXPECT_TRUE(fs::exists(touched));
  EXPECT_EQ(platform.RunCommand("kill -TERM $$"), 128 + 15);
}

TEST_F(LinuxFiles, ClocksAndTimeFormat) {
  const LocalTime now = platform.Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond < 1000);
  const auto first = platform.MonotonicMilliseconds();
  EXPECT_GE(platform.MonotonicMilliseconds(), first);
  const std::string text = platform.FormatLongTime(21, 47, 5);
  EXPECT_NE(text.find("47"), std::string::npos) << text;
  EXPECT_NE(text.find("05"), std::string::npos) << text;
  EXPECT_FALSE(platform.FormatLongTime(99, -1, 75).empty());
}

TEST_F(LinuxFiles, ProgramPathIsThisExecutable) {
  const std::string path = platform.ProgramPath();
  EXPECT_TRUE(fs::path(path).is_absolute());
  EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

}  // namespace
}  // namespace kalvorin::device
