#include "jobs/Report.h"

#include <fcntl.h>

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

#include "media/Text.h"

namespace kalvorin::jobs {

namespace {

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The report file, created exclusively (see Report::Create).
std::FILE* CreateFresh(const std::string& path) {
  const std::filesystem::path name = PathFromUtf8(path);
  std::error_code error;
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(name, error))) {
    std::filesystem::remove(name, error);
  }
#ifdef _WIN32
  int fd = -1;
  if (_wsopen_s(&fd, name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYWR,
                _S_IREAD | _S_IWRITE) != 0) {
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
#else
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) ::close(fd);
#endif
  return file;
}

}  // namespace

std::string ReportHeader(std::string_view titleUtf8, std::uint64_t first, std::uint64_t end) {
  return media::Utf8ToLatin1Truncated(titleUtf8) + " du secteur " + std::to_string(first) +
         " au secteur " + std::to_string(end) + "\n\n";
}

std::string ReportLine(std::string_view messageUtf8) {
  return media::Utf8ToLatin1Truncated(messageUtf8) + "\n";
}

std::string ReportStopLine(std::uint64_t p) {
  return media::Utf8ToLatin1Truncated("Arrêt du traitement au secteur ") + std::to_string(p) + "\n";
}

std::string ReportEndLine(const device::LocalTime& end) {
  return "\nFin du traitement -> le " + std::to_string(end.day) + "/" + std::to_string(end.month) +
         "/" + std::to_string(end.year) + media::Utf8ToLatin1Truncated(" à ") +
         std::to_string(end.hour) + ":" + std::to_string(end.minute) + "\n";
}

std::string DateTimeText(const device::LocalTime& end) {
  return std::to_string(end.day) + "-" + std::to_string(end.month) + "-" +
         std::to_string(end.year) + "_" + std::to_string(end.hour) + "h" +
         std::to_string(end.minute) + "min";
}

bool Report::Create(const std::string& path, std::string_view titleUtf8, std::uint64_t first,
                    std::uint64_t end) {
  path_ = path;
  if (file_ != nullptr) std::fclose(file_);
  failed_ = false;
  file_ = CreateFresh(path);
  if (file_ == nullptr) return false;
  Put(ReportHeader(titleUtf8, first, end));
  if (std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}

Report::~Report() {
  if (file_ != nullptr) std::fclose(file_);
}

void Report::Line(std::string_view messageUtf8) { Put(ReportLine(messageUtf8)); }

void Report::Stop(std::uint64_t p) { Put(ReportStopLine(p)); }

bool Report::Finish(const device::LocalTime& end) {
  if (file_ == nullptr) return false;
  Put(ReportEndLine(end));
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

void Report::Put(const std::string& bytes) {
  if (file_ != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    failed_ = true;
  }
}

}  // namespace kalvorin::jobs
