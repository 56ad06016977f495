#include "device/linux/DevicePath.h"

#include <cctype>
#include <string_view>

namespace kalvorin::device::linuxbackend {

DevicePath ParseDevicePath(const std::string& path) {
  DevicePath result;
  const std::string_view text = path;
  if (text.substr(0, 4) != "\\\\.\\" && text.substr(0, 4) != "\\\\?\\") return result;
  result.kind = DevicePath::Kind::UnknownDevice;
  if (path == kProgramVolumePath) {
    result.kind = DevicePath::Kind::ProgramVolume;
    return result;
  }
  const std::string_view rest = text.substr(4);
  if (rest.size() == 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
    result.kind = DevicePath::Kind::Volume;
    result.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
    return result;
  }
  constexpr std::string_view kDrive = "physicaldrive";
  if (rest.size() <= kDrive.size() || rest.size() > kDrive.size() + 3) return result;
  for (std::size_t i = 0; i < kDrive.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(rest[i])) != kDrive[i]) return result;
  }
  const std::string_view digits = rest.substr(kDrive.size());
  int number = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return result;
    number = number * 10 + (c - '0');
  }
  if ((digits.size() > 1 && digits[0] == '0') || number > 127) return result;
  result.kind = DevicePath::Kind::PhysicalDrive;
  result.number = number;
  return result;
}

}  // namespace kalvorin::device::linuxbackend
