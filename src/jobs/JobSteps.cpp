#include "jobs/JobSteps.h"

#include "jobs/BlockLoop.h"
#include "jobs/Messages.h"
#include "jobs/Rescan.h"
#include "jobs/TimeEstimate.h"

namespace kalvorin::jobs {

std::string MediumPath(const media::listeSupport& medium) {
  if (medium.TypeSupport == media::kImage) return medium.CheminImage;
  return "\\\\.\\PHYSICALDRIVE" + std::to_string(medium.NumDisque);
}

bool OpenMedium(device::Platform& platform, media::listeSupport& medium, device::Access access,
                device::Disposition disposition) {
  medium.HandleSupport =
      platform.Open(MediumPath(medium), access, device::Share::ReadWrite, disposition);
  return medium.HandleSupport != nullptr;
}

bool CloseMedium(media::listeSupport& medium) {
  if (!medium.HandleSupport) return true;
  const bool closed = medium.HandleSupport->Close();
  medium.HandleSupport.reset();
  return closed;
}

bool MediumGone(const media::listeSupport& medium) {
  return medium.HandleSupport && medium.HandleSupport->MediumGone();
}

std::string MediumName(const media::listeSupport& medium) {
  if (medium.TypeSupport == media::kImage) return "« " + medium.CheminImage + " »";
  return "N°" + std::to_string(medium.NumDisque) + " - " + medium.Libelle;
}

void WipePartitionArea(JobContext& context, media::listeSupport& disk, const std::uint8_t* zeros) {
  WriteBlock(*disk.HandleSupport, 0, zeros, kBlockSectors);
  disk.HandleSupport->RereadPartitions();
  RescanDisks(context.platform, context.CheminProgramme);
}

bool RefuseProgramDisk(JobContext& context, const media::listeSupport& medium) {
  if (medium.TypeSupport != media::kPhysical || medium.NumDisque != context.NumDisqueProgramme) {
    return false;
  }
  context.window.MessageBox(ProgramDiskRefused(medium.NumDisque), kTargetCaption, kStyleError);
  return true;
}

bool ConfirmOverwrite(JobContext& context, const media::listeSupport& disk) {
  return context.window.MessageBox(ConfirmOverwriteText(disk.NumDisque, disk.Libelle),
                                   kConfirmCaption, kStyleConfirmOverwrite) != device::kIdNo;
}

bool CreateReport(JobContext& context, Report& report, std::uint64_t first, std::uint64_t end) {
  std::string path = context.ReportPath;
  if (path.empty()) {
    const device::Platform::ReportFolder folder =
        context.platform.WorkingReportFolder(context.CheminProgramme);
    path = folder.folder + kReportName;
    if (!folder.refusal.empty()) {
      context.window.MessageBox(ReportNotCreated(path) + "\n" + folder.refusal, kReportCaption,
                                kStyleError);
      return false;
    }
  }
  if (report.Create(path, context.window.PanelTitle(), first, end)) return true;
  context.window.MessageBox(ReportNotCreated(path), kReportCaption, kStyleError);
  return false;
}

std::string FinishReport(JobContext& context, Report& report) {
  const device::LocalTime end = context.platform.Now();
  if (!report.Finish(end)) {
    context.window.MessageBox(ReportIncomplete(report.path()), kReportCaption, kStyleError);
  }
  return DateTimeText(end);
}

std::string DefaultReportName(const std::string& jobWord, const std::string& label,
                              bool imageSource, const std::string& dateTime) {
  std::string shown = label;
  if (imageSource) {
    const std::size_t slash = shown.find_last_of("\\/");
    if (slash != std::string::npos) shown.erase(0, slash + 1);
    if (shown.size() > 4 && shown[shown.size() - 4] == '.') shown.resize(shown.size() - 4);
  }
  std::string name = jobWord + shown + " - " + dateTime;
  for (char& c : name) {
    const bool reserved = c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
                          c == '<' || c == '>' || c == '|';
    if (reserved || (static_cast<unsigned char>(c) < 0x20)) c = '_';
  }
  return name;
}

void OfferToSave(JobContext& context, const std::string& reportPath,
                 const std::string& defaultName) {
  media::WindowPort& window = context.window;
  const int answer = window.MessageBox(kSaveQuestion, kSaveCaption, kStyleSaveReport);
  if (answer == device::kIdNo) context.platform.DeleteFile(reportPath);
  if (answer != device::kIdYes) return;
  const media::SaveDialogSpec spec{"Sauvegarde du rapport du traitement effectué",
                                   "Fichier texte|*.txt", "txt"};
  const std::optional<std::string> chosen = window.SaveDialog(spec, defaultName);
  if (!chosen || chosen->empty()) return;
  if (!context.platform.MoveFile(reportPath, *chosen)) {
    window.MessageBox(ReportNotMoved(reportPath, *chosen), kReportCaption, kStyleWarning);
  }
}

}  // namespace kalvorin::jobs
