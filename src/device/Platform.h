// The platform layer: the operating-system services the logic needs, in the
// shape of the Windows calls. The logic above is written once against this
// interface; win32/, linux/ and sim/ each answer it in their own way.
//
// Paths are UTF-8. The logic forms device paths exactly as on Windows:
//   "\\.\PHYSICALDRIVE%d" (any case)  a whole physical disk, numbers 0..127
//   "\\.\%c:"                          the volume of a drive letter C..Z
// anything else is a path of the file system (image files, reports).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvorin::device {

// Read and ReadWrite are the jobs' modes. Inspect is for identification and
// detection, which only ask the device's queries and read its first sectors:
// Windows opens read-write for them as the system expects, Linux read-only
// (closing a disk opened for writing makes the system probe it again).
// On Linux a disk opened ReadWrite is held exclusively and locked against
// other writers and readers; one opened Read is locked against writers.
enum class Access { Read, ReadWrite, Inspect };
enum class Share { Read, ReadWrite };
enum class Disposition { OpenExisting, CreateAlways };

// An open file, volume or disk (the Windows HANDLE). Destroying it closes it
// without reporting; call Close() where a failed flush matters.
class File {
 public:
  virtual ~File() = default;

  // SetFilePointerEx(FILE_BEGIN). False when the position is refused.
  virtual bool Seek(std::uint64_t byteOffset) = 0;
  // ReadFile / WriteFile at the current position. The result is the call's
  // own success; `transferred` receives the bytes moved (may be fewer than
  // asked: the caller decides whether a short transfer is a failure).
  virtual bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) = 0;
  virtual bool Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) = 0;
  // GetFileSizeEx: size in bytes (files, and devices where the OS answers).
  virtual bool Size(std::uint64_t& bytes) = 0;
  // DeviceIoControl with the Windows byte layouts of WindowsLayouts.h.
  // `returned` receives the bytes written to `out`.
  virtual bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                               std::uint32_t outSize, std::uint32_t& returned) = 0;

  // Reads exactly `bytes` at `byteOffset` bypassing any cache of the OS
  // (O_DIRECT on Linux, unbuffered on Windows). Used to decide which block an
  // I/O error belongs to when read-ahead may have failed a whole window.
  // Does not move the position used by Read/Write. True only when every byte
  // was read.
  virtual bool ReadUncached(std::uint64_t byteOffset, void* buffer, std::uint32_t bytes) = 0;
  // Hints for a sequential walk from `byteOffset`, `bytes` long (0: to the
  // end). Backends without such hints ignore them.
  virtual void AdviseSequential(std::uint64_t byteOffset, std::uint64_t bytes) = 0;
  virtual void AdviseWillNeed(std::uint64_t byteOffset, std::uint64_t bytes) = 0;

  // Flushes what was written to the medium and closes. False when the flush
  // or the close failed: written data may not be on the medium. After
  // Close() the object only answers failures.
  virtual bool Close() = 0;

  // The system's sequence number of the medium now behind this handle (a
  // new medium under the same device name gets a new one); nullopt where
  // the system has none.
  virtual std::optional<std::uint64_t> MediumSequence() { return std::nullopt; }
  // True once a transfer has failed because the device itself is gone
  // (unplugged, its connection lost), not because of a bad sector.
  virtual bool MediumGone() { return false; }
  // Makes the system read the partition table of this disk again, through
  // this handle (a disk held exclusively refuses a re-read asked from
  // elsewhere). False where the system refused or has no such request.
  virtual bool RereadPartitions() { return false; }
};

// What keeps a disk from being opened for a job.
struct DiskUse {
  std::vector<std::string> mountPoints;  // mounted file systems of the disk
  std::vector<std::string> systemUsers;  // arrays, mapped devices, swap built on it
  bool otherProgram = false;             // held or being written by another program
};

// One object of the management query: "Name=value" lines in the order the
// service gives them.
using WmiObject = std::vector<std::string>;

// A physical disk's number and the name the system's own tools give it
// (Platform::DiskDevicePath).
struct AttachedDisk {
  int number = 0;
  std::string devicePath;
};

// Local calendar time, as GetLocalTime gives it.
struct LocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Drive types of GetDriveTypeW.
enum DriveType : int {
  kDriveUnknown = 0,
  kDriveNoRootDir = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdrom = 5,
  kDriveRamdisk = 6,
};

class Platform {
 public:
  virtual ~Platform() = default;

  // CreateFileW. nullptr when the open fails (INVALID_HANDLE_VALUE).
  virtual std::unique_ptr<File> Open(const std::string& path, Access access, Share share,
                                     Disposition disposition) = 0;

  // GetDriveTypeW("X:\").
  virtual int DriveType(char letter) = 0;
  // GetVolumeInformationW("X:\") label only; nullopt when the call fails.
  virtual std::optional<std::string> VolumeLabel(char letter) = 0;
  // GetDiskFreeSpaceExW: bytes free to the caller on the volume that holds
  // `path` (the path itself need not exist; its folder must). nullopt on failure.
  virtual std::optional<std::uint64_t> FreeBytes(const std::string& path) = 0;
  // MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED).
  virtual bool MoveFile(const std::string& from, const std::string& to) = 0;
  // DeleteFileW.
  virtual bool DeleteFile(const std::string& path) = 0;
  // Runs `commandLine` through the command interpreter and waits for it.
  // The exit status, or -1 when it could not be started.
  virtual int RunCommand(const std::string& commandLine) = 0;
  // The management query "Select * from " + selection (WIN32_DiskDrive).
  virtual std::vector<WmiObject> QueryWmi(const std::string& selection) = 0;
  // Full path of the program's executable.
  virtual std::string ProgramPath() = 0;
  // Device path of the volume that holds the program, to be opened and asked
  // for its disk extents (Windows: "\\.\" and the executable's drive, "C:").
  virtual std::string ProgramVolumePath() = 0;
  // The local clock.
  virtual LocalTime Now() = 0;
  // A clock that never runs backwards, in milliseconds from an arbitrary origin.
  virtual std::uint64_t MonotonicMilliseconds() = 0;
  // The user's long time format applied to a time of day, e.g. "21:47:05".
  virtual std::string FormatLongTime(int hour, int minute, int second) = 0;
  // Why physical disk `number` cannot be opened for `access` now; nullopt
  // when nothing is known to hold it (the open failed for another reason, or
  // the system does not refuse busy disks).
  virtual std::optional<DiskUse> DiskInUse(int number, Access access) {
    (void)number;
    (void)access;
    return std::nullopt;
  }
  // The physical disks that may answer now, by increasing number: a number
  // left out is one no disk answers to, so a listing need not try to open
  // it. By default every number, 0..127, under its DiskDevicePath name.
  virtual std::vector<AttachedDisk> AttachedDisks() {
    std::vector<AttachedDisk> disks;
    for (int n = 0; n < 128; ++n) disks.push_back({n, DiskDevicePath(n)});
    return disks;
  }
  // The folder, with its separator, where the jobs write their working
  // report "Rapport.txt", given the program's own folder. By default, and
  // wherever the program is run from its own folder (Windows, a build tree,
  // the simulated machine), that folder. `refusal` (French, a sentence)
  // is set when the folder cannot be used safely; `folder` still names it.
  struct ReportFolder {
    std::string folder;
    std::string refusal;
  };
  virtual ReportFolder WorkingReportFolder(const std::string& programFolder) {
    return {programFolder, {}};
  }
  // The name the system's own tools give physical disk `number`: on Linux
  // "/dev/sdb" (empty when no disk holds that number); on Windows, and by
  // default, "\\.\PHYSICALDRIVE<number>".
  virtual std::string DiskDevicePath(int number) {
    return "\\\\.\\PHYSICALDRIVE" + std::to_string(number);
  }
};

// The platform of the machine the program runs on (win32/ or linux/).
std::unique_ptr<Platform> CreateNativePlatform();

}  // namespace kalvorin::device
