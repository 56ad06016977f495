// The three jobs. Each runs to its end on the calling (window) thread,
// handling the window's events only at its progress refreshes and inside
// its message boxes.
#pragma once

#include <cstdint>
#include <string>

#include "device/Platform.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::jobs {

struct JobContext {
  device::Platform& platform;
  media::WindowPort& window;
  std::string CheminProgramme;  // the program's folder, with its separator
  std::string LibelleSource;    // label of the source medium (report name)
  int NumDisqueProgramme = 0;   // never written to
  // Where the report is written; empty: "Rapport.txt" in the platform's
  // WorkingReportFolder(CheminProgramme).
  // Jobs run side by side (one per disk) each need their own.
  std::string ReportPath = {};
};

void ControlerSupport(JobContext& context, media::listeSupport& source, std::uint64_t first,
                      std::uint64_t count);
void FormaterSupport(JobContext& context, media::listeSupport& source, std::uint64_t first,
                     std::uint64_t count);
void CopierSupport(JobContext& context, media::listeSupport& source, media::listeSupport& target,
                   std::uint64_t firstSource, std::uint64_t firstTarget, std::uint64_t count);

}  // namespace kalvorin::jobs
