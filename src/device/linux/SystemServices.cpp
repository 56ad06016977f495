// Files, commands and clocks of the Linux platform.
#include <fcntl.h>
#include <locale.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "device/linux/LinuxPlatform.h"

extern char** environ;

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Copies `from` beside `to` under a temporary name, flushes it, then puts it
// in place of `to`, so `to` is either the old file or the whole new one.
bool CopyReplacing(const std::string& from, const std::string& to) {
  const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return false;
  struct stat status {};
  if (::fstat(source, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(source);
    return false;
  }
  std::string temporary = to + ".XXXXXX";
  const int target = ::mkstemp(temporary.data());
  if (target < 0) {
    ::close(source);
    return false;
  }
  bool ok = ::fchmod(target, status.st_mode & 07777) == 0;
  std::vector<char> buffer(1 << 16);
  while (ok) {
    const ssize_t n = ::read(source, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    ok = WriteAll(target, buffer.data(), static_cast<std::size_t>(n));
  }
  ok = ok && ::fsync(target) == 0;
  ok = ::close(target) == 0 && ok;
  ::close(source);
  ok = ok && ::rename(temporary.c_str(), to.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  return ::unlink(from.c_str()) == 0;
}

}  // namespace

std::optional<std::uint64_t> LinuxPlatform::FreeBytes(const std::string& path) {
  struct statvfs info {};
  int result = ::statvfs(path.c_str(), &info);
  if (result != 0 && errno == ENOENT) {
    const fs::path folder = fs::path(path).parent_path();
    result = ::statvfs(folder.empty() ? "." : folder.c_str(), &info);
  }
  if (result != 0) return std::nullopt;
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<std::uint64_t>(info.f_bavail),
                             static_cast<std::uint64_t>(info.f_frsize), &bytes)) {
    bytes = UINT64_MAX;
  }
  return bytes;
}

bool LinuxPlatform::MoveFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  return errno == EXDEV && CopyReplacing(from, to);
}

bool LinuxPlatform::DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

int LinuxPlatform::RunCommand(const std::string& commandLine) {
  std::string shell = "/bin/sh", option = "-c", command = commandLine;
  char* argv[] = {shell.data(), option.data(), command.data(), nullptr};
  pid_t child = 0;
  if (::posix_spawn(&child, shell.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

LocalTime LinuxPlatform::Now() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  LocalTime time;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = std::min(local.tm_sec, 59);
  time.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return time;
}

std::uint64_t LinuxPlatform::MonotonicMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
         static_cast<std::uint64_t>(now.tv_nsec / 1000000);
}

std::string LinuxPlatform::FormatLongTime(int hour, int minute, int second) {
  std::tm time{};
  time.tm_hour = std::clamp(hour, 0, 23);
  time.tm_min = std::clamp(minute, 0, 59);
  time.tm_sec = std::clamp(second, 0, 59);
  char text[128] = {};
  // The user's time format, whatever the program set as its own locale.
  locale_t user = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  std::size_t length = 0;
  if (user != static_cast<locale_t>(0)) {
    length = ::strftime_l(text, sizeof text, "%X", &time, user);
    ::freelocale(user);
  }
  if (length == 0) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.tm_hour, time.tm_min, time.tm_sec);
  }
  return text;
}

}  // namespace kalvorin::device::linuxbackend
