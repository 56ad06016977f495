// The disk rescan: an external script that makes the system re-read the
// partition tables of the attached disks, run after a disk's partition area
// was wiped.
#pragma once

#include <string>

#include "device/Platform.h"

namespace kalvorin::jobs {

// "RescanDisks.bat" on Windows, "RescanDisks.sh" elsewhere.
const char* RescanScriptName();

// The command line that runs the script by its full path. The script runs
// as administrator, so it is taken only from the program's own folder or,
// when that holds none, from the installed scripts' folder
// (KALVORIN_LIBEXEC_DIR, not on Windows); never from the current folder or
// the search path. When neither holds it, the line names the program
// folder's script anyway and the interpreter reports it missing. Empty when
// the program's folder is unknown.
std::string RescanCommandLine(const std::string& programFolder);

// Runs the script through the command interpreter and waits for it; the exit
// status is not looked at. Nothing is run when the program's folder is unknown.
void RescanDisks(device::Platform& platform, const std::string& programFolder);

}  // namespace kalvorin::jobs
