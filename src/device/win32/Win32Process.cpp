#include <string>
#include <vector>

#include "device/win32/WideText.h"
#include "device/win32/Win32Services.h"
#include "device/win32/WindowsApi.h"

namespace kalvorin::device::win32 {
namespace {

// The interpreter of the system folder, never one found in the current folder.
std::wstring InterpreterPath() {
  std::vector<wchar_t> folder(MAX_PATH);
  UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length >= folder.size()) {
    folder.resize(length + 1);
    length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  }
  if (length == 0 || length >= folder.size()) return L"cmd.exe";
  return std::wstring(folder.data(), length) + L"\\cmd.exe";
}

}  // namespace

int RunThroughInterpreter(const std::string& commandLine) {
  const std::wstring command = Widen(commandLine);
  if (command.empty()) return -1;
  const std::wstring interpreter = InterpreterPath();
  // /s with the outer quotes hands the command to the interpreter verbatim,
  // whatever quotes it holds itself.
  std::wstring line = L"cmd.exe /s /c \"" + command + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(interpreter.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  DWORD exitCode = 0;
  const bool waited = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                      GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  return waited ? static_cast<int>(exitCode) : -1;
}

std::string ExecutablePath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return Narrow(path.data(), length);
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

// "\\.\" and the drive of the executable, e.g. "\\.\C:". A path given in the
// "\\?\C:\..." form has its prefix skipped first.
std::string VolumePathOf(const std::string& executablePath) {
  std::string path = executablePath;
  if (path.rfind("\\\\?\\", 0) == 0) path.erase(0, 4);
  return "\\\\.\\" + path.substr(0, 2);
}

}  // namespace kalvorin::device::win32
