#include "jobs/Rescan.h"

#include "BuildInfo.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kalvorin::jobs {

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = ';';
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }
std::string RunScript(const std::string& path) { return Quoted(path); }
#else
constexpr char kPathSeparator = ':';
std::string Quoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
// Through sh, so the script need not be executable.
std::string RunScript(const std::string& path) { return "/bin/sh " + Quoted(path); }
#endif

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

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

std::string RescanCommandLine(const std::string& programFolder, const std::string& searchPath) {
  std::vector<std::filesystem::path> folders;
  if (!programFolder.empty()) folders.push_back(PathFromUtf8(programFolder));
#ifndef _WIN32
  // An installed program keeps its scripts apart from its executable.
  folders.push_back(PathFromUtf8(KALVORIN_LIBEXEC_DIR));
#endif
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  if (!error) folders.push_back(current);
  std::size_t start = 0;
  while (start <= searchPath.size()) {
    std::size_t stop = searchPath.find(kPathSeparator, start);
    if (stop == std::string::npos) stop = searchPath.size();
    if (stop > start) folders.push_back(PathFromUtf8(searchPath.substr(start, stop - start)));
    start = stop + 1;
  }
  for (const std::filesystem::path& folder : folders) {
    const std::filesystem::path script = folder / RescanScriptName();
    if (!IsFile(script)) continue;
    std::filesystem::path full = std::filesystem::absolute(script, error);
    return RunScript(Utf8FromPath(error ? script : full));
  }
  return RescanScriptName();
}

void RescanDisks(device::Platform& platform, const std::string& programFolder) {
  const char* path = std::getenv("PATH");
  platform.RunCommand(RescanCommandLine(programFolder, path != nullptr ? path : ""));
}

}  // namespace kalvorin::jobs
