// kalvorin-cli: list, detect, check, erase and copy from a terminal.
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Console.h"

#ifdef _WIN32
// clang-format off
#include "device/win32/WindowsApi.h"
#include <shellapi.h>
// clang-format on

#include "device/win32/WideText.h"

namespace {

// The arguments as typed, in UTF-8 (argv holds them in the ANSI code page).
std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(kalvorin::device::win32::Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace
#else
namespace {
std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}
}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // The texts are UTF-8.
  SetConsoleOutputCP(CP_UTF8);
#endif
  kalvorin::cli::Console& console = kalvorin::cli::SystemConsole();
  const int status = kalvorin::cli::RunCli(Arguments(argc, argv), console);
  console.Out().flush();
  return status;
}
