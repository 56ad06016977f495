#include <memory>

#include "device/Platform.h"
#include "device/win32/Win32File.h"
#include "device/win32/Win32Services.h"

namespace kalvorin::device {
namespace {

class Win32Platform final : public Platform {
 public:
  std::unique_ptr<File> Open(const std::string& path, Access access, Share share,
                             Disposition disposition) override {
    return win32::OpenFile(path, access, share, disposition);
  }
  int DriveType(char letter) override { return win32::DriveTypeOf(letter); }
  std::optional<std::string> VolumeLabel(char letter) override {
    return win32::VolumeLabelOf(letter);
  }
  std::optional<std::uint64_t> FreeBytes(const std::string& path) override {
    return win32::FreeBytesFor(path);
  }
  bool MoveFile(const std::string& from, const std::string& to) override {
    return win32::MoveReplacing(from, to);
  }
  bool DeleteFile(const std::string& path) override { return win32::Delete(path); }
  int RunCommand(const std::string& commandLine) override {
    return win32::RunThroughInterpreter(commandLine);
  }
  std::vector<WmiObject> QueryWmi(const std::string& selection) override {
    return win32::RunWmiQuery(selection);
  }
  std::string ProgramPath() override { return win32::ExecutablePath(); }
  std::string ProgramVolumePath() override { return win32::VolumePathOf(ProgramPath()); }
  LocalTime Now() override { return win32::LocalNow(); }
  std::uint64_t MonotonicMilliseconds() override { return win32::TickMilliseconds(); }
  std::string FormatLongTime(int hour, int minute, int second) override {
    return win32::LongTimeText(hour, minute, second);
  }
};

}  // namespace

std::unique_ptr<Platform> CreateNativePlatform() { return std::make_unique<Win32Platform>(); }

}  // namespace kalvorin::device
