// The Windows device paths the logic forms, told apart from file paths.
#pragma once

#include <string>

namespace kalvorin::device::linuxbackend {

// Private to this backend: the program's own volume (see ProgramVolumePath).
inline constexpr const char* kProgramVolumePath = "\\\\.\\KALVORIN-PROGRAM-VOLUME";

struct DevicePath {
  enum class Kind {
    File,           // a path of the file system
    PhysicalDrive,  // "\\.\PHYSICALDRIVEn", any case, n in 0..127 without leading zeros
    Volume,         // "\\.\X:", X a letter, any case
    ProgramVolume,  // kProgramVolumePath
    UnknownDevice,  // any other "\\.\" or "\\?\" path: never opened
  };
  Kind kind = Kind::File;
  int number = -1;  // PhysicalDrive
  char letter = 0;  // Volume, upper case
};

DevicePath ParseDevicePath(const std::string& path);

}  // namespace kalvorin::device::linuxbackend
