#include "device/linux/DiskUsers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxEntries = 4096;  // bound on what is listed from the system

void AddOnce(std::vector<std::string>& list, const std::string& item) {
  if (!item.empty() && std::find(list.begin(), list.end(), item) == list.end()) {
    list.push_back(item);
  }
}

bool OnDisk(const SystemPaths& paths, const WholeDisk& disk, unsigned major, unsigned minor) {
  const auto location = LocateBlockDevice(paths, major, minor);
  return location && location->disk == disk.name;
}

// The devices built on the disk or on one of its partitions (md arrays,
// device-mapper devices): the entries of their "holders" folders.
void AddHolders(const SystemPaths& paths, const WholeDisk& disk, std::vector<std::string>& users) {
  const fs::path base = fs::path(paths.sys) / "block" / disk.name;
  std::vector<fs::path> folders{base / "holders"};
  std::error_code error;
  std::size_t seen = 0;
  for (fs::directory_iterator it(base, error), end; !error && it != end && seen < kMaxEntries;
       it.increment(error), ++seen) {
    if (fs::exists(it->path() / "partition", error)) folders.push_back(it->path() / "holders");
  }
  for (const fs::path& folder : folders) {
    seen = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end && seen < kMaxEntries;
         it.increment(error), ++seen) {
      AddOnce(users, it->path().filename().string());
    }
    error.clear();
  }
}

void AddSwaps(const SystemPaths& paths, const WholeDisk& disk, std::vector<std::string>& users) {
  std::ifstream file(paths.proc + "/swaps");
  std::stringstream text;
  text << file.rdbuf();
  for (const std::string& device : ParseSwaps(text.str())) {
    struct stat status {};
    if (::stat(device.c_str(), &status) == 0 && S_ISBLK(status.st_mode) &&
        OnDisk(paths, disk, major(status.st_rdev), minor(status.st_rdev))) {
      AddOnce(users, "swap " + device);
    }
  }
}

// Whether another program keeps the disk from a job: a job that writes
// needs the exclusive claim and the exclusive lock; one that reads, the
// shared lock.
bool HeldByAnotherProgram(const SystemPaths& paths, const WholeDisk& disk, Access access) {
  const std::string node = paths.dev + "/" + disk.name;
  const int claim = access == Access::ReadWrite ? O_EXCL : 0;
  const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | claim);
  if (fd < 0) return errno == EBUSY;
  const int lock = access == Access::ReadWrite ? LOCK_EX : LOCK_SH;
  const bool locked = ::flock(fd, lock | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked;
}

}  // namespace

std::vector<std::string> ParseSwaps(std::string_view text) {
  std::vector<std::string> devices;
  bool header = true;
  while (!text.empty() && devices.size() < kMaxEntries) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (header) {
      header = false;
      if (line.rfind("Filename", 0) == 0) continue;
    }
    const std::size_t field = line.find_first_of(" \t");
    const std::string_view name = line.substr(0, field);
    if (!name.empty() && name[0] == '/') devices.push_back(DecodeOctal(name));
  }
  return devices;
}

std::optional<DiskUse> FindDiskUsers(const SystemPaths& paths, const WholeDisk& disk,
                                     const std::vector<MountEntry>& mounts, Access access) {
  DiskUse use;
  if (access == Access::ReadWrite) {
    for (const MountEntry& mount : mounts) {
      const auto device = MountBlockDevice(paths, mount);
      if (device && OnDisk(paths, disk, device->first, device->second)) {
        AddOnce(use.mountPoints, mount.mountPoint);
      }
    }
    AddHolders(paths, disk, use.systemUsers);
    AddSwaps(paths, disk, use.systemUsers);
  }
  if (use.mountPoints.empty() && use.systemUsers.empty()) {
    use.otherProgram = HeldByAnotherProgram(paths, disk, access);
    if (!use.otherProgram) return std::nullopt;
  }
  return use;
}

}  // namespace kalvorin::device::linuxbackend
