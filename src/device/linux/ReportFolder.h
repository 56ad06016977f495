// Where an installed program keeps its working job report.
//
// Run from its own folder (a build tree, a copy beside its scripts), the
// program writes "Rapport.txt" there. Installed, its executable lies in the
// system's bin folder, which a package must never write to (and which may be
// read-only): the report goes to a folder of the program's own that
// survives the program, so that a report neither saved nor deleted can be
// found afterwards.
#pragma once

#include <sys/types.h>

#include <string>

#include "device/Platform.h"

namespace kalvorin::device::linuxbackend {

struct ReportFolderSetting {
  std::string installBinFolder;  // where the installed executable lies
  std::string stateFolder;       // the administrator's folder (<localstatedir>/lib/kalvorin)
  uid_t user = 0;                // the effective user
  std::string xdgStateHome;      // $XDG_STATE_HOME, empty when unset
  std::string home;              // $HOME, empty when unset
};

// `programFolder` (with its separator) unless it is the install bin folder.
// Installed: as the administrator (user 0) `stateFolder`, otherwise
// $XDG_STATE_HOME/kalvorin or $HOME/.local/state/kalvorin (relative values
// are ignored, as the XDG rules ask). The folder is made (mode 0700) when
// missing, with its missing parents; it is then opened without
// following a link and refused unless it is a directory owned by the user
// that neither group nor others may write to, so that nobody else can plant
// a link or a file where the report is created.
Platform::ReportFolder ChooseReportFolder(const std::string& programFolder,
                                          const ReportFolderSetting& setting);

}  // namespace kalvorin::device::linuxbackend
