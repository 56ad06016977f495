// The checks a job makes on its media before it asks anything or transfers a
// byte: the disk it opened is the disk the user saw, a disk held by the
// system or another program is refused with the reason, and an image target
// is a file. Shared by every front end.
#pragma once

#include <optional>
#include <string>

#include "device/Platform.h"
#include "jobs/Jobs.h"
#include "media/Records.h"

namespace kalvorin::jobs {

enum class MediumRole { Source, Target };

// Opens the medium into HandleSupport. When that fails, tells the user why
// (what holds a busy disk, or that it cannot be opened) and returns false.
// A disk that opened is then checked with CheckSameDisk.
bool OpenJobMedium(JobContext& context, media::listeSupport& medium, device::Access access,
                   device::Disposition disposition, MediumRole role);

// For a disk record: identifies the disk now behind its number, with the
// medium sequence number of the one open in HandleSupport, and compares that
// with the identity the record kept at the refresh. When it is another
// disk (or the record kept none), closes it, tells the user and returns
// false. Images pass.
bool CheckSameDisk(JobContext& context, media::listeSupport& medium, MediumRole role);

// Why `targetPath` cannot be the copy's new image file, nullopt when it can:
// it must not exist yet or be a regular file (links followed), must not name
// a device ("\\.\..."), and must not be the source image itself.
std::optional<std::string> ImageTargetRefusal(const media::listeSupport& source,
                                              const std::string& targetPath);

// True when both paths name the same existing file, however spelled
// (relative, "..", links, case on case-insensitive systems); for paths that
// do not exist, true when they resolve to the same location.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace kalvorin::jobs
