#include "device/linux/SysfsDisks.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Kinds that are not physical disks, whatever their size.
bool IsExcludedKind(const std::string& name) {
  static constexpr std::array<std::string_view, 8> kPrefixes = {"ram", "zram", "dm-", "md",
                                                                "sr",  "fd",   "nbd", "zd"};
  for (auto prefix : kPrefixes) {
    if (StartsWith(name, prefix)) return true;
  }
  if (StartsWith(name, "mmcblk") &&
      (name.find("boot") != std::string::npos || name.find("rpmb") != std::string::npos)) {
    return true;
  }
  return false;
}

int KindRank(const std::string& name) {
  static constexpr std::array<std::string_view, 6> kOrder = {"sd", "hd",  "nvme",
                                                             "vd", "xvd", "mmcblk"};
  if (StartsWith(name, "loop")) return static_cast<int>(kOrder.size()) + 1;
  for (std::size_t i = 0; i < kOrder.size(); ++i) {
    if (StartsWith(name, kOrder[i])) return static_cast<int>(i);
  }
  return static_cast<int>(kOrder.size());
}

bool ComesBefore(const WholeDisk& a, const WholeDisk& b) {
  const int rankA = KindRank(a.name), rankB = KindRank(b.name);
  if (rankA != rankB) return rankA < rankB;
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
  return a.name < b.name;
}

}  // namespace

std::optional<std::string> ReadAttribute(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  if (in.bad()) return std::nullopt;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

std::optional<std::uint64_t> ReadNumber(const std::string& path) {
  auto text = ReadAttribute(path);
  if (!text) return std::nullopt;
  std::string_view view = *text;
  while (!view.empty() && view.front() == ' ') view.remove_prefix(1);
  while (!view.empty() && view.back() == ' ') view.remove_suffix(1);
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  if (error != std::errc() || end != view.data() + view.size() || view.empty()) {
    return std::nullopt;
  }
  return value;
}

bool ParseMajorMinor(const std::string& text, unsigned& major, unsigned& minor) {
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  auto first = std::from_chars(begin, begin + colon, major);
  if (first.ec != std::errc() || first.ptr != begin + colon) return false;
  auto second = std::from_chars(begin + colon + 1, end, minor);
  return second.ec == std::errc() && second.ptr == end;
}

std::vector<WholeDisk> ListWholeDisks(const SystemPaths& paths) {
  std::vector<WholeDisk> disks;
  std::error_code error;
  const fs::path blockDir = fs::path(paths.sys) / "block";
  for (fs::directory_iterator it(blockDir, error), end; !error && it != end; it.increment(error)) {
    WholeDisk disk;
    disk.name = it->path().filename().string();
    if (disk.name.empty() || IsExcludedKind(disk.name)) continue;
    const std::string base = it->path().string() + "/";
    disk.loop = StartsWith(disk.name, "loop");
    // Most loop devices of a machine are unattached: they are left out on
    // their first attribute (every open and every job lists the disks).
    if (disk.loop) {
      auto backing = ReadAttribute(base + "loop/backing_file");
      if (!backing || backing->empty()) continue;
    }
    auto devText = ReadAttribute(base + "dev");
    if (!devText || !ParseMajorMinor(*devText, disk.major, disk.minor)) continue;
    if (ReadNumber(base + "hidden").value_or(0) != 0) continue;
    disk.readOnly = ReadNumber(base + "ro").value_or(0) != 0;
    disk.removable = ReadNumber(base + "removable").value_or(0) != 0;
    if (disk.loop && disk.readOnly) continue;
    disk.identity = disk.name + "/" + *devText;
    if (auto sequence = ReadAttribute(base + "diskseq")) disk.identity += "/" + *sequence;
    disks.push_back(std::move(disk));
  }
  std::sort(disks.begin(), disks.end(), ComesBefore);
  return disks;
}

std::optional<BlockLocation> LocateBlockDevice(const SystemPaths& paths, unsigned major,
                                               unsigned minor) {
  std::error_code error;
  const fs::path link =
      fs::path(paths.sys) / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor));
  const fs::path device = fs::canonical(link, error);
  if (error) return std::nullopt;
  BlockLocation location;
  location.name = device.filename().string();
  location.partition = fs::exists(device / "partition", error);
  if (location.partition) {
    location.disk = device.parent_path().filename().string();
    auto start = ReadNumber((device / "start").string());
    if (!start) return std::nullopt;
    location.firstSector = *start;
  } else {
    location.disk = location.name;
  }
  auto size = ReadNumber((device / "size").string());
  if (!size) return std::nullopt;
  location.sectors = *size;
  return location;
}

std::vector<std::pair<unsigned, unsigned>> SlaveDevices(const SystemPaths& paths,
                                                        const std::string& name) {
  std::vector<std::pair<unsigned, unsigned>> slaves;
  std::error_code error;
  const fs::path dir = fs::path(paths.sys) / "class" / "block" / name / "slaves";
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    unsigned major = 0, minor = 0;
    auto devText = ReadAttribute((it->path() / "dev").string());
    if (devText && ParseMajorMinor(*devText, major, minor)) slaves.emplace_back(major, minor);
    if (slaves.size() >= 64) break;
  }
  return slaves;
}

}  // namespace kalvorin::device::linuxbackend
