// The Windows backend's system services: the command interpreter, the
// management query, the program's location and the clocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "device/Platform.h"
#include "device/win32/ComInit.h"
#include "support/TempDir.h"

namespace kalvorin::device {
namespace {

bool ComReady() {
  static const bool ready = win32::InitializeComForWmi();
  return ready;
}

class NativeSystem : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::unique_ptr<Platform> platform = CreateNativePlatform();
};

TEST_F(NativeSystem, BatchFileIsWaitedForAndGivesItsExitStatus) {
  const auto folder = dir.path() / "with space";
  std::filesystem::create_directory(folder);
  const std::string batch = (folder / "run.bat").string();
  const std::string marker = (folder / "ran.txt").string();
  // The marker is written just before the end: it exists on return only if
  // the run was waited for.
  std::ofstream(batch, std::ios::binary)
      << "@echo off\r\nping -n 1 127.0.0.1 >nul\r\necho done> \"%~dp0ran.txt\"\r\n"
         "exit /b 7\r\n";

  EXPECT_EQ(platform->RunCommand("\"" + batch + "\""), 7);
  EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(NativeSystem, BatchFileIsFoundByNameInTheCurrentFolder) {
  std::ofstream(dir.file("RescanDisks.bat"), std::ios::binary) << "@echo off\r\nexit /b 0\r\n";
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const int status = platform->RunCommand("RescanDisks.bat");
  std::filesystem::current_path(previous);
  EXPECT_EQ(status, 0);

  EXPECT_NE(platform->RunCommand("kalvorin-no-such-command"), 0);
}

TEST_F(NativeSystem, ManagementQueryDecodesDiskZero) {
  ASSERT_TRUE(ComReady());
  const auto objects = platform->QueryWmi("WIN32_DiskDrive where Index=0");
  if (objects.empty()) GTEST_SKIP() << "the management service has no WIN32_DiskDrive here";
  const WmiObject& disk = objects.front();
  ASSERT_FALSE(disk.empty());
  for (const std::string& line : disk) {
    const auto equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    EXPECT_GT(equals, 0u) << line;
  }
  EXPECT_NE(std::find(disk.begin(), disk.end(), "Index=0"), disk.end());
}

TEST_F(NativeSystem, ManagementQueryFailuresGiveNoObject) {
  ASSERT_TRUE(ComReady());
  EXPECT_TRUE(platform->QueryWmi("WIN32_DiskDrive where Index=127").empty());
  EXPECT_TRUE(platform->QueryWmi("Kalvorin_NoSuchClass").empty());
  EXPECT_TRUE(platform->QueryWmi("").empty());
}

TEST_F(NativeSystem, ProgramPathAndItsVolume) {
  const std::string path = platform->ProgramPath();
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  EXPECT_EQ(path[1], ':');
  EXPECT_EQ(platform->ProgramVolumePath(), "\\\\.\\" + path.substr(0, 2));
}

TEST_F(NativeSystem, Clocks) {
  const LocalTime now = platform->Now();
  EXPECT_GE(now.year, 2000);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);

  const std::uint64_t first = platform->MonotonicMilliseconds();
  EXPECT_GE(platform->MonotonicMilliseconds(), first);

  const std::string text = platform->FormatLongTime(21, 47, 5);
  EXPECT_NE(text.find("47"), std::string::npos) << text;
  EXPECT_NE(text.find("05"), std::string::npos) << text;
}

}  // namespace
}  // namespace kalvorin::device
