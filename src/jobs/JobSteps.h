// Steps the three jobs share around their block loop: opening media, the
// overwrite confirmation, the report's creation and end, the save offer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/Platform.h"
#include "jobs/Jobs.h"
#include "jobs/Report.h"
#include "media/Records.h"

namespace kalvorin::jobs {

// "\\.\PHYSICALDRIVE<n>" for a disk or volume record, CheminImage for an image.
std::string MediumPath(const media::listeSupport& medium);
// Opens the medium into its HandleSupport; false when it cannot be opened.
bool OpenMedium(device::Platform& platform, media::listeSupport& medium, device::Access access,
                device::Disposition disposition);
// Closes HandleSupport; false when what was written may not be on the medium.
bool CloseMedium(media::listeSupport& medium);
// Whether the medium open in HandleSupport has gone (unplugged, connection lost).
bool MediumGone(const media::listeSupport& medium);
// How messages name a medium: "N°<n> - <label>", or an image's path in « ».
std::string MediumName(const media::listeSupport& medium);

// Zeroes sectors 0 to 127 of the open disk (its partition table area, whatever
// the job's range) from the zero-filled `zeros`, then makes the system read
// its partitions again: through the job's own handle (a disk the job holds
// exclusively refuses a re-read asked from elsewhere), then by the rescan
// script. Failures there are not failures of the job.
void WipePartitionArea(JobContext& context, media::listeSupport& disk, const std::uint8_t* zeros);

// True (after telling the user) when `medium` is the disk that holds the program.
bool RefuseProgramDisk(JobContext& context, const media::listeSupport& medium);
// The warning before a disk is overwritten; true on Yes.
bool ConfirmOverwrite(JobContext& context, const media::listeSupport& disk);

// Creates the report (ReportPath, or "Rapport.txt" in the platform's working
// report folder: the program's folder, or an installed program's own) with
// the panel title; tells the user and returns false when it cannot be
// created or its folder is refused.
bool CreateReport(JobContext& context, Report& report, std::uint64_t first, std::uint64_t end);
// Ends the report now; the date-time text of the end for the saved name.
std::string FinishReport(JobContext& context, Report& report);

// Default name of a saved report: job word + label + " - " + date-time text,
// made usable as a file name. An image's label is a path: only its file name,
// less its extension, is kept.
std::string DefaultReportName(const std::string& jobWord, const std::string& label,
                              bool imageSource, const std::string& dateTime);
// Asks whether to keep the report; moves it to the chosen name or deletes it.
void OfferToSave(JobContext& context, const std::string& reportPath,
                 const std::string& defaultName);

}  // namespace kalvorin::jobs
