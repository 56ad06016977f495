#include "device/linux/ReportFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "BuildInfo.h"
#include "device/linux/LinuxPlatform.h"

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

bool SameFolder(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code error;
  const bool same = fs::equivalent(a, b, error);
  return same && !error;
}

// An absolute folder without its trailing separators; empty when `text` is
// not absolute.
std::string AbsoluteFolder(const std::string& text) {
  if (text.empty() || text[0] != '/') return {};
  std::string folder = fs::path(text).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// The installed program's folder for `setting`'s user; empty when the user
// has no absolute home.
std::string InstalledFolder(const ReportFolderSetting& setting) {
  if (setting.user == 0) return AbsoluteFolder(setting.stateFolder);
  if (std::string state = AbsoluteFolder(setting.xdgStateHome); !state.empty()) {
    return state == "/" ? "/kalvorin" : state + "/kalvorin";
  }
  const std::string home = AbsoluteFolder(setting.home);
  if (home.empty()) return {};
  return (home == "/" ? std::string() : home) + "/.local/state/kalvorin";
}

// mkdir(`mode`) of `folder` when missing, its missing parents first with
// `parentMode`. A link or file in its place is left for the check to refuse.
bool MakeFolder(const std::string& folder, mode_t mode, mode_t parentMode) {
  if (::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return false;
  const std::size_t slash = folder.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return false;
  if (!MakeFolder(folder.substr(0, slash), parentMode, parentMode)) return false;
  return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

// Why `folder` may not hold the report; empty when it may.
std::string FolderRefusal(const std::string& folder, uid_t user) {
  const std::string named = "Le dossier « " + folder + " »";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENOTDIR) {
      return named +
             " n'est pas un vrai dossier (un lien symbolique ou un fichier est à sa place).";
    }
    return named + " ne peut pas être ouvert.";
  }
  struct stat status {};
  const bool stated = ::fstat(fd, &status) == 0;
  ::close(fd);
  if (!stated || !S_ISDIR(status.st_mode)) return named + " ne peut pas être vérifié.";
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return named + " peut être modifié par d'autres utilisateurs que son propriétaire.";
  }
  if (status.st_uid != user) {
    return named + (user == 0 ? " n'appartient pas à l'administrateur (root)."
                              : " n'appartient pas à l'utilisateur qui lance le programme.");
  }
  return {};
}

}  // namespace

Platform::ReportFolder ChooseReportFolder(const std::string& programFolder,
                                          const ReportFolderSetting& setting) {
  if (!SameFolder(programFolder, setting.installBinFolder)) return {programFolder, {}};
  const std::string folder = InstalledFolder(setting);
  if (folder.empty()) {
    return {programFolder,
            "Aucun dossier personnel (HOME) n'est connu pour y garder le rapport du traitement."};
  }
  Platform::ReportFolder answer{folder + "/", {}};
  // The administrator's missing parents are system folders (a program
  // installed under /usr/local keeps its state in /usr/local/var/lib); the
  // user's are private, as the XDG rules ask.
  if (!MakeFolder(folder, 0700, setting.user == 0 ? 0755 : 0700)) {
    answer.refusal = "Le dossier « " + folder + " » ne peut pas être créé.";
  } else {
    answer.refusal = FolderRefusal(folder, setting.user);
  }
  return answer;
}

Platform::ReportFolder LinuxPlatform::WorkingReportFolder(const std::string& programFolder) {
  const auto variable = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value != nullptr ? value : "");
  };
  return ChooseReportFolder(programFolder, {KALVORIN_BIN_DIR, KALVORIN_STATE_DIR, ::geteuid(),
                                            variable("XDG_STATE_HOME"), variable("HOME")});
}

}  // namespace kalvorin::device::linuxbackend
