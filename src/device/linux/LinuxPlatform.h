// The platform of a Linux machine: whole disks as physical disks, mounted
// file systems as drive letters, sysfs for identity.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/Platform.h"
#include "device/linux/DiskNumbering.h"
#include "device/linux/Mounts.h"
#include "device/linux/SysfsDisks.h"

namespace kalvorin::device::linuxbackend {

class LinuxPlatform final : public Platform {
 public:
  explicit LinuxPlatform(SystemPaths paths = {});

  // "\\.\PHYSICALDRIVEn" opens the disk's /dev node: Inspect read-only;
  // ReadWrite read-write (read-only when the disk is write-protected; a
  // loop device attached read-only is not a disk), claimed exclusively and
  // locked; Read read-only under the shared lock. "\\.\X:" opens the
  // mounted block device of letter X.
  // ProgramVolumePath() opens a handle that answers only the extents query.
  // Any other "\\.\" path fails; everything else is a file path.
  std::unique_ptr<File> Open(const std::string& path, Access access, Share share,
                             Disposition disposition) override;
  // 2 for a letter on a removable disk, 3 on a fixed one, 1 for an unused letter.
  int DriveType(char letter) override;
  // "<label> sur <mount point>", or the mount point alone.
  std::optional<std::string> VolumeLabel(char letter) override;
  std::optional<std::uint64_t> FreeBytes(const std::string& path) override;
  bool MoveFile(const std::string& from, const std::string& to) override;
  bool DeleteFile(const std::string& path) override;
  // /bin/sh -c, waited for; 128 + the signal number when a signal ended it.
  int RunCommand(const std::string& commandLine) override;
  std::vector<WmiObject> QueryWmi(const std::string& selection) override;
  std::string ProgramPath() override;
  // A path private to this backend whose extents name the disk that holds
  // the executable; disk 0xFFFFFFFF (none) when the executable lies in memory
  // or on a network file system; no extents (the query fails) when the way
  // down to a disk is lost.
  std::string ProgramVolumePath() override;
  LocalTime Now() override;
  std::uint64_t MonotonicMilliseconds() override;
  std::string FormatLongTime(int hour, int minute, int second) override;
  // The mount points of its partitions, the md/dm devices and swap areas on
  // it, or another program holding it exclusively or locked.
  std::optional<DiskUse> DiskInUse(int number, Access access) override;
  // The disks attached now, from one listing.
  std::vector<AttachedDisk> AttachedDisks() override;
  // Installed in the system's bin folder: the program's folder of working
  // state (see ReportFolder.h); run from elsewhere, `programFolder`.
  ReportFolder WorkingReportFolder(const std::string& programFolder) override;
  // "/dev/<kernel name>" of the disk holding `number`.
  std::string DiskDevicePath(int number) override;

  // After a fresh listing: the number of the disk named `kernelName`.
  std::optional<int> DiskNumberOf(const std::string& kernelName);
  // The current drive letters.
  std::vector<LetterEntry> Letters();

 private:
  void RefreshDisks();
  std::unique_ptr<File> OpenDisk(int number, Access access, Disposition disposition);
  std::unique_ptr<File> OpenVolume(char letter, Access access, Disposition disposition);
  std::unique_ptr<File> OpenProgramVolume();

  SystemPaths paths_;
  DiskNumbering numbering_;
};

}  // namespace kalvorin::device::linuxbackend
