#include <string>

#include "device/win32/WideText.h"
#include "device/win32/Win32Services.h"
#include "device/win32/WindowsApi.h"

namespace kalvorin::device::win32 {
namespace {

std::wstring RootOf(char letter) {
  return std::wstring{static_cast<wchar_t>(static_cast<unsigned char>(letter)), L':', L'\\'};
}

std::optional<std::uint64_t> FreeBytesOfFolder(const std::wstring& folder) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

}  // namespace

int DriveTypeOf(char letter) { return static_cast<int>(GetDriveTypeW(RootOf(letter).c_str())); }

std::optional<std::string> VolumeLabelOf(char letter) {
  wchar_t label[80] = {};
  if (!GetVolumeInformationW(RootOf(letter).c_str(), label, 80, nullptr, nullptr, nullptr, nullptr,
                             0)) {
    return std::nullopt;
  }
  label[79] = L'\0';
  return Narrow(std::wstring(label));
}

// The target of a copy usually does not exist yet, and the call wants a
// folder: ask the path itself when it is a folder, else the folder that holds
// (or will hold) it.
std::optional<std::uint64_t> FreeBytesFor(const std::string& path) {
  const std::wstring wide = Widen(path);
  if (wide.empty()) return std::nullopt;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FreeBytesOfFolder(wide);
  }
  const std::size_t separator = wide.find_last_of(L"\\/");
  if (separator != std::wstring::npos) return FreeBytesOfFolder(wide.substr(0, separator + 1));
  if (wide.size() >= 2 && wide[1] == L':') return FreeBytesOfFolder(wide.substr(0, 2) + L".");
  return FreeBytesOfFolder(L".");
}

bool MoveReplacing(const std::string& from, const std::string& to) {
  const std::wstring source = Widen(from);
  const std::wstring target = Widen(to);
  if (source.empty() || target.empty()) return false;
  return MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool Delete(const std::string& path) {
  const std::wstring wide = Widen(path);
  return !wide.empty() && DeleteFileW(wide.c_str()) != FALSE;
}

}  // namespace kalvorin::device::win32
