// The check, erase and copy commands: the same choices as the window's
// commands and processing panel, then the job itself.
#pragma once

#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/TerminalWindow.h"
#include "device/Platform.h"
#include "media/MediaState.h"

namespace kalvorin::cli {

// Runs the job `options` asks for on the listed media of `state`; the exit
// status (see Options.h).
int RunJobCommand(const Options& options, Console& console, TerminalWindow& window,
                  device::Platform& platform, media::MediaState& state);

// A report name of the current folder that no other run takes:
// "Rapport-<word>-<disk>-<date>-<time>-<process id>.txt", with a suffix in
// the unlikely case it exists already.
std::string UniqueReportName(const std::string& word, int disk, const device::LocalTime& now,
                             long processId);

}  // namespace kalvorin::cli
