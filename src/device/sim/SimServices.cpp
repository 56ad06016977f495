// The simulated machine's services other than opening: drive letters, free
// space, file moves, the rescan command, the management query and clocks.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

#include "device/sim/HostFile.h"
#include "device/sim/SimIdentity.h"
#include "device/sim/SimulatedPlatform.h"

namespace kalvorin::device::sim {

namespace {
char Upper(char letter) {
  return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}
}  // namespace

int SimulatedPlatform::DriveType(char letter) {
  const LetterDescription* entry = folder_.Current().FindLetter(Upper(letter));
  return entry == nullptr ? kDriveNoRootDir : entry->driveType;
}

std::optional<std::string> SimulatedPlatform::VolumeLabel(char letter) {
  const LetterDescription* entry = folder_.Current().FindLetter(Upper(letter));
  if (entry == nullptr) return std::nullopt;
  return entry->label;
}

std::optional<std::uint64_t> SimulatedPlatform::FreeBytes(const std::string& path) {
  const MachineDescription& machine = folder_.Current();
  if (machine.freeBytes) return machine.freeBytes;
  std::filesystem::path where = PathFromUtf8(path);
  std::error_code error;
  if (!std::filesystem::is_directory(where, error)) where = where.parent_path();
  if (where.empty()) where = ".";
  // Some standard libraries answer for the nearest existing parent: a
  // folder that does not exist has no free space.
  if (!std::filesystem::is_directory(where, error)) return std::nullopt;
  const std::filesystem::space_info space = std::filesystem::space(where, error);
  if (error) return std::nullopt;
  return static_cast<std::uint64_t>(space.available);
}

bool SimulatedPlatform::MoveFile(const std::string& from, const std::string& to) {
  const std::filesystem::path source = PathFromUtf8(from);
  const std::filesystem::path target = PathFromUtf8(to);
  std::error_code error;
  if (!std::filesystem::is_regular_file(source, error)) return false;
  if (std::filesystem::is_directory(target, error)) return false;
  std::filesystem::rename(source, target, error);
  if (!error) return true;
  // Another volume: copy, then delete the source only once the copy is whole.
  error.clear();
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                             error);
  if (error) return false;
  return std::filesystem::remove(source, error) && !error;
}

bool SimulatedPlatform::DeleteFile(const std::string& path) {
  const std::filesystem::path file = PathFromUtf8(path);
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) return false;
  return std::filesystem::remove(file, error) && !error;
}

int SimulatedPlatform::RunCommand(const std::string& commandLine) {
  std::ofstream log(folder_.folder() / "rescan.log", std::ios::binary | std::ios::app);
  log << commandLine << '\n';
  log.flush();
  return log ? 0 : -1;
}

std::vector<WmiObject> SimulatedPlatform::QueryWmi(const std::string& selection) {
  return AnswerWmiQuery(folder_.Current(), selection);
}

std::string SimulatedPlatform::ProgramPath() { return Utf8FromPath(folder_.folder() / "kalvorin"); }

LocalTime SimulatedPlatform::Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm calendar{};
#ifdef _WIN32
  localtime_s(&calendar, &seconds);
#else
  localtime_r(&seconds, &calendar);
#endif
  LocalTime time;
  time.year = calendar.tm_year + 1900;
  time.month = calendar.tm_mon + 1;
  time.day = calendar.tm_mday;
  time.hour = calendar.tm_hour;
  time.minute = calendar.tm_min;
  time.second = calendar.tm_sec;
  time.millisecond = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return time;
}

std::uint64_t SimulatedPlatform::MonotonicMilliseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

std::string SimulatedPlatform::FormatLongTime(int hour, int minute, int second) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
  return text;
}

}  // namespace kalvorin::device::sim
