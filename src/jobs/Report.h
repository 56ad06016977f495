// The job report "Rapport.txt": 8-bit text (texts narrowed to Latin-1),
// line feeds only.
#pragma once

#include <cstdint>
#include <fstream>
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
  // Creates or truncates `path` (UTF-8) and writes the header. False when
  // the file cannot be created or the header cannot be written.
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
  std::ofstream file_;
};

}  // namespace kalvorin::jobs
