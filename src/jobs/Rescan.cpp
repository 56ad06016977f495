#include "jobs/Rescan.h"

#include <filesystem>
#include <system_error>

#include "BuildInfo.h"

namespace kalvorin::jobs {

namespace {

#ifdef _WIN32
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }
std::string RunScript(const std::string& path) { return Quoted(path); }
#else
std::string Quoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
// Through sh, so the script need not be executable.
std::string RunScript(const std::string& path) { return "/bin/sh " + Quoted(path); }
#endif

#ifndef _WIN32
bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}
#endif

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

const char* RescanScriptName() {
#ifdef _WIN32
  return "RescanDisks.bat";
#else
  return "RescanDisks.sh";
#endif
}

std::string RescanCommandLine(const std::string& programFolder) {
  if (programFolder.empty()) return {};
  std::filesystem::path script = PathFromUtf8(programFolder) / RescanScriptName();
#ifndef _WIN32
  // An installed program keeps its scripts apart from its executable.
  const std::filesystem::path installed = PathFromUtf8(KALVORIN_LIBEXEC_DIR) / RescanScriptName();
  if (!IsFile(script) && IsFile(installed)) script = installed;
#endif
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(script, error);
  return RunScript(Utf8FromPath(error ? script : full.lexically_normal()));
}

void RescanDisks(device::Platform& platform, const std::string& programFolder) {
  const std::string commandLine = RescanCommandLine(programFolder);
  if (!commandLine.empty()) platform.RunCommand(commandLine);
}

}  // namespace kalvorin::jobs
