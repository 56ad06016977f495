#include "jobs/Report.h"

#include <filesystem>

#include "media/Text.h"

namespace kalvorin::jobs {

namespace {

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
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
  file_.open(PathFromUtf8(path), std::ios::binary | std::ios::out | std::ios::trunc);
  if (!file_.is_open()) return false;
  Put(ReportHeader(titleUtf8, first, end));
  file_.flush();
  return file_.good();
}

void Report::Line(std::string_view messageUtf8) { Put(ReportLine(messageUtf8)); }

void Report::Stop(std::uint64_t p) { Put(ReportStopLine(p)); }

bool Report::Finish(const device::LocalTime& end) {
  Put(ReportEndLine(end));
  file_.close();
  return !file_.fail();
}

void Report::Put(const std::string& bytes) {
  if (file_.is_open()) file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kalvorin::jobs
