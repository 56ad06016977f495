#include "device/linux/Mounts.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

std::string CleanLabel(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, text.find('\0'))) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string LabelFromIoctl(const std::string& mountPoint) {
  const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  std::array<char, FSLABEL_MAX + 1> label{};
  const bool ok = ::ioctl(fd, FS_IOC_GETFSLABEL, label.data()) == 0;
  ::close(fd);
  return ok ? CleanLabel(std::string_view(label.data(), FSLABEL_MAX)) : std::string();
}

// udev's /dev/disk/by-label names, with their \xNN escapes.
std::string LabelFromUdevLinks(const SystemPaths& paths, const std::string& deviceName) {
  std::error_code error;
  const fs::path device = fs::path(paths.dev) / deviceName;
  int seen = 0;
  for (fs::directory_iterator it(fs::path(paths.dev) / "disk" / "by-label", error), end;
       !error && it != end && seen < 1000; it.increment(error), ++seen) {
    std::error_code ignored;
    if (!fs::equivalent(it->path(), device, ignored)) continue;
    const std::string name = it->path().filename().string();
    std::string label;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
          std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
          std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
        label += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        label += name[i];
      }
    }
    return CleanLabel(label);
  }
  return {};
}

// The label field of the ext and FAT superblocks.
std::string LabelFromSuperblock(const SystemPaths& paths, const LetterEntry& entry) {
  const bool ext = entry.fsType.rfind("ext", 0) == 0;
  const bool fat = entry.fsType == "vfat" || entry.fsType == "msdos";
  if (!ext && !fat) return {};
  const int fd = ::open((paths.dev + "/" + entry.location.name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::array<char, 2048> block{};
  const ssize_t got = ::pread(fd, block.data(), block.size(), 0);
  ::close(fd);
  if (got != static_cast<ssize_t>(block.size())) return {};
  if (ext) {
    const bool magic = static_cast<unsigned char>(block[1024 + 56]) == 0x53 &&
                       static_cast<unsigned char>(block[1024 + 57]) == 0xEF;
    return magic ? CleanLabel(std::string_view(block.data() + 1024 + 120, 16)) : std::string();
  }
  const bool fat32 = std::string_view(block.data() + 0x52, 5) == "FAT32";
  std::string label = CleanLabel(std::string_view(block.data() + (fat32 ? 0x47 : 0x2B), 11));
  return label == "NO NAME" ? std::string() : label;
}

}  // namespace

// mountinfo writes blank, tab, line feed and backslash as \ooo.
std::string DecodeOctal(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
        text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                               (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line) && mounts.size() < 100000) {
    std::vector<std::string> fields;
    std::istringstream words(line);
    for (std::string word; words >> word && fields.size() < 64;) fields.push_back(word);
    const auto separator = std::find(fields.begin(), fields.end(), "-");
    if (fields.size() < 7 || separator == fields.end() || separator - fields.begin() < 6 ||
        fields.end() - separator < 3) {
      continue;
    }
    MountEntry mount;
    if (!ParseMajorMinor(fields[2], mount.major, mount.minor)) continue;
    mount.root = DecodeOctal(fields[3]);
    mount.mountPoint = DecodeOctal(fields[4]);
    mount.fsType = DecodeOctal(*(separator + 1));
    mount.source = DecodeOctal(*(separator + 2));
    if (fields.end() - separator >= 4) mount.superOptions = DecodeOctal(*(separator + 3));
    mounts.push_back(std::move(mount));
  }
  return mounts;
}

std::vector<MountEntry> ReadMountInfo(const SystemPaths& paths) {
  std::ifstream in(paths.proc + "/self/mountinfo");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseMountInfo(text.str());
}

std::optional<std::pair<unsigned, unsigned>> MountBlockDevice(const SystemPaths& paths,
                                                              const MountEntry& mount) {
  std::error_code error;
  const std::string own = std::to_string(mount.major) + ":" + std::to_string(mount.minor);
  if (mount.major != 0 && fs::exists(fs::path(paths.sys) / "dev" / "block" / own, error)) {
    return std::make_pair(mount.major, mount.minor);
  }
  struct stat status {};
  if (mount.source.rfind("/dev/", 0) == 0 && ::stat(mount.source.c_str(), &status) == 0 &&
      S_ISBLK(status.st_mode)) {
    return std::make_pair(static_cast<unsigned>(major(status.st_rdev)),
                          static_cast<unsigned>(minor(status.st_rdev)));
  }
  return std::nullopt;
}

std::vector<LetterEntry> AssignLetters(const SystemPaths& paths, const DiskNumbering& numbering,
                                       const std::vector<MountEntry>& mounts) {
  // One entry per block device: the first mount of its whole file system
  // (root "/") wins over bind mounts of a subtree.
  std::map<std::pair<unsigned, unsigned>, LetterEntry> byDevice;
  std::map<std::pair<unsigned, unsigned>, bool> wholeTree;
  for (const auto& mount : mounts) {
    auto device = MountBlockDevice(paths, mount);
    if (!device) continue;
    const bool whole = mount.root == "/";
    auto known = byDevice.find(*device);
    if (known != byDevice.end() && (wholeTree[*device] || !whole)) continue;
    auto location = LocateBlockDevice(paths, device->first, device->second);
    if (!location) continue;
    auto number = numbering.NumberOf(location->disk);
    if (!number) continue;
    LetterEntry entry;
    entry.diskNumber = *number;
    entry.location = *location;
    entry.major = device->first;
    entry.minor = device->second;
    entry.mountPoint = mount.mountPoint;
    entry.fsType = mount.fsType;
    entry.removable = numbering.Find(*number)->removable;
    byDevice[*device] = std::move(entry);
    wholeTree[*device] = whole;
  }
  std::vector<LetterEntry> letters;
  for (auto& [device, entry] : byDevice) letters.push_back(std::move(entry));
  std::sort(letters.begin(), letters.end(), [](const LetterEntry& a, const LetterEntry& b) {
    if (a.diskNumber != b.diskNumber) return a.diskNumber < b.diskNumber;
    return a.location.firstSector < b.location.firstSector;
  });
  if (letters.size() > 24) letters.resize(24);
  for (std::size_t i = 0; i < letters.size(); ++i) {
    letters[i].letter = static_cast<char>('C' + i);
  }
  return letters;
}

std::string LetterDisplayText(const SystemPaths& paths, const LetterEntry& entry) {
  std::string label = LabelFromIoctl(entry.mountPoint);
  if (label.empty()) label = LabelFromUdevLinks(paths, entry.location.name);
  if (label.empty()) label = LabelFromSuperblock(paths, entry);
  return label.empty() ? entry.mountPoint : label + " sur " + entry.mountPoint;
}

}  // namespace kalvorin::device::linuxbackend
