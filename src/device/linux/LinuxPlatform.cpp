#include "device/linux/LinuxPlatform.h"

#include <sys/sysmacros.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "device/WindowsLayouts.h"
#include "device/linux/DeviceAnswers.h"
#include "device/linux/DevicePath.h"
#include "device/linux/DiskIdentity.h"
#include "device/linux/DiskUsers.h"
#include "device/linux/LinuxFile.h"
#include "device/linux/ProgramDisk.h"

namespace kalvorin::device {

std::unique_ptr<Platform> CreateNativePlatform() {
  return std::make_unique<linuxbackend::LinuxPlatform>();
}

}  // namespace kalvorin::device

namespace kalvorin::device::linuxbackend {
namespace {

// The program's volume: a handle with no data that answers the extents of
// the disk holding the executable.
class ProgramVolumeFile final : public File {
 public:
  explicit ProgramVolumeFile(std::vector<DiskExtent> extents) : extents_(std::move(extents)) {}
  bool Seek(std::uint64_t) override { return false; }
  bool Read(void*, std::uint32_t, std::uint32_t& transferred) override {
    transferred = 0;
    return false;
  }
  bool Write(const void*, std::uint32_t, std::uint32_t& transferred) override {
    transferred = 0;
    return false;
  }
  bool Size(std::uint64_t& bytes) override {
    bytes = 0;
    return false;
  }
  bool DeviceIoControl(std::uint32_t code, const void*, std::uint32_t, void* out,
                       std::uint32_t outSize, std::uint32_t& returned) override {
    returned = 0;
    if (closed_ || code != kIoctlVolumeGetVolumeDiskExtents) return false;
    return AnswerDiskExtents(extents_, out, outSize, returned);
  }
  bool ReadUncached(std::uint64_t, void*, std::uint32_t) override { return false; }
  void AdviseSequential(std::uint64_t, std::uint64_t) override {}
  void AdviseWillNeed(std::uint64_t, std::uint64_t) override {}
  bool Close() override {
    const bool wasOpen = !closed_;
    closed_ = true;
    return wasOpen;
  }

 private:
  std::vector<DiskExtent> extents_;
  bool closed_ = false;
};

std::uint64_t DeviceNumber(unsigned devMajor, unsigned devMinor) {
  return static_cast<std::uint64_t>(makedev(devMajor, devMinor));
}

}  // namespace

LinuxPlatform::LinuxPlatform(SystemPaths paths) : paths_(std::move(paths)) { RefreshDisks(); }

void LinuxPlatform::RefreshDisks() { numbering_.Update(ListWholeDisks(paths_)); }

std::optional<int> LinuxPlatform::DiskNumberOf(const std::string& kernelName) {
  RefreshDisks();
  return numbering_.NumberOf(kernelName);
}

std::vector<AttachedDisk> LinuxPlatform::AttachedDisks() {
  RefreshDisks();
  std::vector<AttachedDisk> disks;
  for (int n = 0; n < kMaxDiskNumbers; ++n) {
    if (const WholeDisk* disk = numbering_.Find(n))
      disks.push_back({n, paths_.dev + "/" + disk->name});
  }
  return disks;
}

std::string LinuxPlatform::DiskDevicePath(int number) {
  RefreshDisks();
  const WholeDisk* disk = numbering_.Find(number);
  return disk != nullptr ? paths_.dev + "/" + disk->name : std::string();
}

std::vector<LetterEntry> LinuxPlatform::Letters() {
  RefreshDisks();
  return AssignLetters(paths_, numbering_, ReadMountInfo(paths_));
}

std::unique_ptr<File> LinuxPlatform::Open(const std::string& path, Access access, Share,
                                          Disposition disposition) {
  const DevicePath device = ParseDevicePath(path);
  switch (device.kind) {
    case DevicePath::Kind::PhysicalDrive:
      return OpenDisk(device.number, access, disposition);
    case DevicePath::Kind::Volume:
      return OpenVolume(device.letter, access, disposition);
    case DevicePath::Kind::ProgramVolume:
      return OpenProgramVolume();
    case DevicePath::Kind::UnknownDevice:
      return nullptr;
    case DevicePath::Kind::File:
      break;
  }
  if (path.empty()) return nullptr;
  OpenRequest request;
  request.path = path;
  request.access = access;
  request.disposition = disposition;
  return LinuxFile::Open(request, nullptr);
}

std::unique_ptr<File> LinuxPlatform::OpenDisk(int number, Access access, Disposition disposition) {
  if (disposition != Disposition::OpenExisting) return nullptr;
  RefreshDisks();
  const WholeDisk* disk = numbering_.Find(number);
  if (disk == nullptr) return nullptr;
  OpenRequest request;
  request.path = paths_.dev + "/" + disk->name;
  request.access = access;
  request.readOnlyFallback = true;
  request.kernelReadOnly = disk->readOnly;
  request.expectedDevice = DeviceNumber(disk->major, disk->minor);
  request.forJob = access != Access::Inspect;
  const bool scsi = disk->name.rfind("sd", 0) == 0;
  return LinuxFile::Open(request, MakeDiskQueries(ReadDiskIdentity(paths_, *disk), scsi));
}

std::unique_ptr<File> LinuxPlatform::OpenVolume(char letter, Access access,
                                                Disposition disposition) {
  if (disposition != Disposition::OpenExisting) return nullptr;
  for (const auto& entry : Letters()) {
    if (entry.letter != letter) continue;
    OpenRequest request;
    request.path = paths_.dev + "/" + entry.location.name;
    request.access = access;
    request.readOnlyFallback = true;
    request.kernelReadOnly = ReadNumber(paths_.sys + "/dev/block/" + std::to_string(entry.major) +
                                        ":" + std::to_string(entry.minor) + "/ro")
                                 .value_or(0) != 0;
    request.expectedDevice = DeviceNumber(entry.major, entry.minor);
    std::vector<DiskExtent> extents{{static_cast<std::uint32_t>(entry.diskNumber),
                                     entry.location.firstSector * 512,
                                     entry.location.sectors * 512}};
    return LinuxFile::Open(request, MakeVolumeQueries(std::move(extents)));
  }
  return nullptr;
}

std::unique_ptr<File> LinuxPlatform::OpenProgramVolume() {
  RefreshDisks();
  // Unknown extents leave the extents query failing, so the logic keeps its
  // guess rather than offering a disk that may hold the program.
  return std::make_unique<ProgramVolumeFile>(
      ExtentsHoldingFile(paths_, numbering_, paths_.proc + "/self/exe")
          .value_or(std::vector<DiskExtent>{}));
}

int LinuxPlatform::DriveType(char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const auto& entry : Letters()) {
    if (entry.letter == letter) return entry.removable ? kDriveRemovable : kDriveFixed;
  }
  return kDriveNoRootDir;
}

std::optional<std::string> LinuxPlatform::VolumeLabel(char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const auto& entry : Letters()) {
    if (entry.letter == letter) return LetterDisplayText(paths_, entry);
  }
  return std::nullopt;
}

std::vector<WmiObject> LinuxPlatform::QueryWmi(const std::string& selection) {
  const int number = ParseDiskDriveSelection(selection);
  if (number < 0) return {};
  RefreshDisks();
  const WholeDisk* disk = numbering_.Find(number);
  if (disk == nullptr) return {};
  const auto sectors = ReadNumber(paths_.sys + "/block/" + disk->name + "/size").value_or(0);
  const std::uint64_t bytes = sectors <= UINT64_MAX / 512 ? sectors * 512 : 0;
  return {BuildWmiObject(ReadDiskIdentity(paths_, *disk), number, bytes)};
}

std::string LinuxPlatform::ProgramPath() {
  std::error_code error;
  const auto target = std::filesystem::read_symlink(paths_.proc + "/self/exe", error);
  return error ? std::string() : target.string();
}

std::string LinuxPlatform::ProgramVolumePath() { return kProgramVolumePath; }

std::optional<DiskUse> LinuxPlatform::DiskInUse(int number, Access access) {
  RefreshDisks();
  const WholeDisk* disk = numbering_.Find(number);
  if (disk == nullptr) return std::nullopt;
  return FindDiskUsers(paths_, *disk, ReadMountInfo(paths_), access);
}

}  // namespace kalvorin::device::linuxbackend
