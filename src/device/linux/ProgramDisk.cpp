#include "device/linux/ProgramDisk.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "device/linux/Mounts.h"

namespace kalvorin::device::linuxbackend {
namespace {

constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxExtents = 32;

// File systems that lie on no local disk.
bool InMemoryOrRemote(const std::string& fsType) {
  static constexpr std::array<std::string_view, 12> kTypes = {
      "tmpfs", "ramfs", "nfs",  "nfs4",     "cifs", "smb3",
      "smbfs", "9p",    "ceph", "virtiofs", "afs",  "fuse.sshfs"};
  return std::find(kTypes.begin(), kTypes.end(), fsType) != kTypes.end();
}

class Resolver {
 public:
  Resolver(const SystemPaths& paths, const DiskNumbering& numbering)
      : paths_(paths), numbering_(numbering), mounts_(ReadMountInfo(paths)) {}

  void File(const std::string& path, int depth) {
    struct stat status {};
    if (depth > kMaxDepth || ::stat(path.c_str(), &status) != 0) {
      lost = true;
      return;
    }
    FileSystem(major(status.st_dev), minor(status.st_dev), depth);
  }

  std::vector<DiskExtent> extents;
  bool lost = false;  // some way down could not be followed

 private:
  void FileSystem(unsigned devMajor, unsigned devMinor, int depth) {
    if (LocateBlockDevice(paths_, devMajor, devMinor)) {
      BlockDevice(devMajor, devMinor, depth);
      return;
    }
    for (const auto& mount : mounts_) {
      if (mount.major != devMajor || mount.minor != devMinor) continue;
      if (mount.fsType == "overlay") {
        Overlay(mount.superOptions, depth);
      } else if (auto device = MountBlockDevice(paths_, mount)) {
        BlockDevice(device->first, device->second, depth);
      } else if (!InMemoryOrRemote(mount.fsType)) {
        lost = true;
      }
      return;
    }
    lost = true;
  }

  // upperdir first (where the files written since lie), then each lowerdir.
  void Overlay(const std::string& options, int depth) {
    std::vector<std::string> layers;
    std::size_t start = 0;
    while (start <= options.size()) {
      std::size_t end = options.find(',', start);
      if (end == std::string::npos) end = options.size();
      const std::string option = options.substr(start, end - start);
      if (option.rfind("upperdir=", 0) == 0) layers.insert(layers.begin(), option.substr(9));
      if (option.rfind("lowerdir=", 0) == 0) {
        std::string layer;
        const std::string list = option.substr(9);
        for (std::size_t i = 0; i < list.size(); ++i) {
          if (list[i] == '\\' && i + 1 < list.size()) {
            layer += list[++i];
          } else if (list[i] == ':') {
            layers.push_back(layer);
            layer.clear();
          } else {
            layer += list[i];
          }
        }
        if (!layer.empty()) layers.push_back(layer);
      }
      start = end + 1;
    }
    for (const auto& layer : layers) File(layer, depth + 1);
  }

  void BlockDevice(unsigned devMajor, unsigned devMinor, int depth) {
    if (depth > kMaxDepth || extents.size() >= kMaxExtents) return;
    auto location = LocateBlockDevice(paths_, devMajor, devMinor);
    if (!location) {
      lost = true;
      return;
    }
    if (auto number = numbering_.NumberOf(location->disk)) {
      const DiskExtent extent{static_cast<std::uint32_t>(*number), location->firstSector * 512,
                              location->sectors * 512};
      const bool known = std::any_of(extents.begin(), extents.end(), [&](const DiskExtent& e) {
        return e.diskNumber == extent.diskNumber && e.startingOffset == extent.startingOffset;
      });
      if (!known) extents.push_back(extent);
      return;
    }
    if (location->disk.rfind("loop", 0) == 0) {
      auto backing = ReadAttribute(paths_.sys + "/block/" + location->disk + "/loop/backing_file");
      if (backing && !backing->empty()) {
        File(*backing, depth + 1);
      } else {
        lost = true;
      }
      return;
    }
    const auto slaves = SlaveDevices(paths_, location->name);
    for (const auto& [slaveMajor, slaveMinor] : slaves) {
      BlockDevice(slaveMajor, slaveMinor, depth + 1);
    }
    const bool memory = location->disk.rfind("zram", 0) == 0 || location->disk.rfind("ram", 0) == 0;
    if (slaves.empty() && !memory) lost = true;
  }

  const SystemPaths& paths_;
  const DiskNumbering& numbering_;
  std::vector<MountEntry> mounts_;
};

}  // namespace

std::optional<std::vector<DiskExtent>> ExtentsHoldingFile(const SystemPaths& paths,
                                                          const DiskNumbering& numbering,
                                                          const std::string& file) {
  Resolver resolver(paths, numbering);
  resolver.File(file, 0);
  if (!resolver.extents.empty()) return resolver.extents;
  if (resolver.lost) return std::nullopt;
  return std::vector<DiskExtent>{DiskExtent{kNoDisk, 0, 0}};
}

}  // namespace kalvorin::device::linuxbackend
