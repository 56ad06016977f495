// The simulated machine's Platform. Device paths reach the description:
//   "\\.\PHYSICALDRIVEn" (any case)  disk n's image; fails when the disk is
//                                    not listed, `opens` is false or the
//                                    image is missing;
//   "\\.\X:"                         the letter's volume (extents only);
//   kProgramVolumePath               the program's volume (program_disk).
// Any other "\\.\" path fails; every other path is a real file.
// The program lives at <folder>/kalvorin, so its reports land in the folder.
#pragma once

#include <memory>
#include <string>

#include "device/Platform.h"
#include "device/sim/MachineFolder.h"

namespace kalvorin::device::sim {

inline constexpr const char* kProgramVolumePath = "\\\\.\\SIMULATED-PROGRAM-VOLUME";

class SimulatedPlatform : public Platform {
 public:
  explicit SimulatedPlatform(MachineFolder folder) : folder_(std::move(folder)) {}

  std::unique_ptr<File> Open(const std::string& path, Access access, Share share,
                             Disposition disposition) override;
  int DriveType(char letter) override;
  std::optional<std::string> VolumeLabel(char letter) override;
  std::optional<std::uint64_t> FreeBytes(const std::string& path) override;
  bool MoveFile(const std::string& from, const std::string& to) override;
  bool DeleteFile(const std::string& path) override;
  // Appends the command line and a line feed to rescan.log in the folder;
  // 0, or -1 when the log cannot be written.
  int RunCommand(const std::string& commandLine) override;
  std::vector<WmiObject> QueryWmi(const std::string& selection) override;
  std::string ProgramPath() override;
  std::string ProgramVolumePath() override;
  LocalTime Now() override;
  std::uint64_t MonotonicMilliseconds() override;
  std::string FormatLongTime(int hour, int minute, int second) override;
  // What the description says holds a disk (`busy`): only a write is refused.
  std::optional<DiskUse> DiskInUse(int number, Access access) override;

 private:
  std::unique_ptr<File> OpenDisk(int number, Access access);
  std::unique_ptr<File> OpenLetter(char letter);
  std::unique_ptr<File> OpenProgramVolume();

  MachineFolder folder_;
};

}  // namespace kalvorin::device::sim
