// The job report "Rapport.txt": 8-bit text (texts narrowed to Latin-1),
// line feeds only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "device/Platform.h"

namespace kalvorin::jobs {

inline constexpr const char* kReportName = "Rapport.txt";

// The report's lines, as the 8-bit bytes written.
std::string ReportHeader(std::string_view titleUtf8, std::uint64_t first, std::uint64_t end);
std::string ReportLine(std::string_view messageUtf8);
std::string ReportStopLine(std::uint64_t p);
std::string ReportEndLine(const device::LocalTime& end);
// "%d-%d-%d_%dh%dmin" (day, month, year, hour, minute): the end of the job
// in the default name of a saved report.
std::string DateTimeText(const device::LocalTime& end);

class Report {
 public:
  Report() = default;
  ~Report();
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  // Creates `path` (UTF-8) afresh and writes the header. The program runs as
  // administrator in a folder others may write to: a regular file left
  // there by an earlier job is removed, and the report is then created
  // exclusively, never through a link or into a file someone put there
  // meanwhile. False when the file cannot be created that way or the header
  // cannot be written.
  bool Create(const std::string& path, std::string_view titleUtf8, std::uint64_t first,
              std::uint64_t end);
  void Line(std::string_view messageUtf8);
  void Stop(std::uint64_t p);
  // Writes the end line and closes. False when any write or the close failed.
  bool Finish(const device::LocalTime& end);
  const std::string& path() const { return path_; }

 private:
  void Put(const std::string& bytes);

  std::string path_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;  // a write failed
};

}  // namespace kalvorin::jobs
