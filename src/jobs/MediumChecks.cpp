#include "jobs/MediumChecks.h"

#include <filesystem>
#include <system_error>

#include "jobs/JobSteps.h"
#include "jobs/Messages.h"
#include "media/Identify.h"

namespace kalvorin::jobs {

namespace {

namespace fs = std::filesystem;

const char* Caption(MediumRole role) {
  return role == MediumRole::Source ? kSourceCaption : kTargetCaption;
}

fs::path PathFromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

// "\\.\", "\\?\" and their forward-slash spellings reach devices on Windows.
bool DeviceNamespace(const std::string& path) {
  if (path.size() < 4) return false;
  const auto slash = [](char c) { return c == '\\' || c == '/'; };
  return slash(path[0]) && slash(path[1]) && (path[2] == '.' || path[2] == '?') && slash(path[3]);
}

}  // namespace

bool OpenJobMedium(JobContext& context, media::listeSupport& medium, device::Access access,
                   device::Disposition disposition, MediumRole role) {
  if (OpenMedium(context.platform, medium, access, disposition)) {
    return CheckSameDisk(context, medium, role);
  }
  std::string text = role == MediumRole::Source ? kSourceOpenFailed : kTargetOpenFailed;
  if (medium.TypeSupport == media::kPhysical) {
    if (const auto use = context.platform.DiskInUse(medium.NumDisque, access)) {
      text = DiskBusyText(medium.NumDisque, medium.Libelle, *use);
    }
  }
  context.window.MessageBox(text, Caption(role), kStyleWarning);
  return false;
}

bool CheckSameDisk(JobContext& context, media::listeSupport& medium, MediumRole role) {
  if (medium.TypeSupport != media::kPhysical || !medium.HandleSupport) return true;
  // The device's queries are asked as the refresh asked them (a handle open
  // for reading only is refused some of them on Windows); the sequence
  // number comes from the job's own handle, so a medium that took the name
  // in between is still told apart where the system numbers media.
  media::InSupport opened;
  const bool identified = media::IdentifyDisk(context.platform, opened, medium.NumDisque);
  opened.NumSequence = medium.HandleSupport->MediumSequence();
  if (identified && medium.Identite &&
      media::SameDisk(*medium.Identite, media::IdentityOf(opened))) {
    return true;
  }
  CloseMedium(medium);
  context.window.MessageBox(DiskChangedText(medium.NumDisque), Caption(role), kStyleWarning);
  return false;
}

std::optional<std::string> ImageTargetRefusal(const media::listeSupport& source,
                                              const std::string& targetPath) {
  if (targetPath.empty() || DeviceNamespace(targetPath)) return ImageTargetNotFile(targetPath);
  std::error_code error;
  const fs::file_status status = fs::status(PathFromUtf8(targetPath), error);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (error || status.type() != fs::file_type::regular) return ImageTargetNotFile(targetPath);
  if (source.TypeSupport == media::kImage && SameFile(source.CheminImage, targetPath)) {
    return std::string(kImageTargetIsSource);
  }
  return std::nullopt;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const fs::path first = PathFromUtf8(a), second = PathFromUtf8(b);
  if (fs::equivalent(first, second, error)) return true;
  const fs::path canonicalFirst = fs::weakly_canonical(first, error);
  if (error) return false;
  const fs::path canonicalSecond = fs::weakly_canonical(second, error);
  if (error) return false;
  return canonicalFirst == canonicalSecond;
}

}  // namespace kalvorin::jobs
