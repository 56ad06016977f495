// The disk rescan: an external script that makes the system re-read the
// partition tables of the attached disks, run after a disk's partition area
// was wiped.
#pragma once

#include <string>
#include <vector>

#include "device/Platform.h"

namespace kalvorin::jobs {

// "RescanDisks.bat" on Windows, "RescanDisks.sh" elsewhere.
const char* RescanScriptName();

// The command line that runs the script: the first of `programFolder`, the
// installed scripts' folder (KALVORIN_LIBEXEC_DIR, not on Windows), the
// current directory and the folders of `searchPath` that holds it, or the
// bare name (the interpreter then reports it missing) when none does.
std::string RescanCommandLine(const std::string& programFolder, const std::string& searchPath);

// Runs the script through the command interpreter and waits for it; the exit
// status is not looked at.
void RescanDisks(device::Platform& platform, const std::string& programFolder);

}  // namespace kalvorin::jobs
