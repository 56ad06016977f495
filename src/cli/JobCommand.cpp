#include "cli/JobCommand.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "cli/DiskNames.h"
#include "cli/JsonOutput.h"
#include "jobs/CopyParameters.h"
#include "jobs/Jobs.h"
#include "media/Selection.h"

namespace kalvorin::cli {

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(PathOf(path), error));
}

// The prepared job, as the window's commands and panel leave it.
struct PreparedJob {
  media::listeSupport* source = nullptr;
  media::listeSupport* target = nullptr;  // disk record, or `targetFile`
  std::unique_ptr<media::listeSupport> targetFile;
  std::string sourceLabel;  // LibelleSource
  std::string title;
  std::uint64_t first = 0, firstTarget = 0, count = 0;
  int confirmDisk = -1;  // the disk a confirmation names
};

class Refusal {
 public:
  Refusal(Console& console, bool json) : console_(console), json_(json) {}
  int operator()(const std::string& text) const {
    console_.Err() << "kalvorin-cli : " << text << '\n';
    if (json_) {
      WriteJsonLine(console_.Out(), Json{{"evenement", "fin"},
                                         {"statut", kStatusRefused},
                                         {"message", text},
                                         {"blocs_en_echec", 0},
                                         {"erreurs", 0},
                                         {"arrete", false},
                                         {"rapport", nullptr}});
    }
    return kStatusRefused;
  }

 private:
  Console& console_;
  bool json_;
};

// Why the range may not be taken from `disk`, or an empty text.
std::string RangeProblem(const media::listeSupport& disk, std::uint64_t first,
                         std::uint64_t count) {
  if (const auto refusal = jobs::RangeRefusal(first, first, count)) return *refusal;
  if (disk.NBSctDisque != 0 && first + count > disk.NBSctDisque) {
    return "La plage du secteur " + std::to_string(first) + " au secteur " +
           std::to_string(first + count) + " dépasse la fin du support N°" +
           std::to_string(disk.NumDisque) + " (" + std::to_string(disk.NBSctDisque) + " secteurs).";
  }
  return {};
}

const char* JobWord(Command command) {
  switch (command) {
    case Command::Check:
      return "controle";
    case Command::Erase:
      return "formatage";
    default:
      return "copie";
  }
}

// A yes/no question on the terminal; --oui answers it in advance.
bool AskYesNo(Console& console, bool assumeYes, const std::string& question) {
  console.Err() << question << '\n';
  if (assumeYes) return true;
  if (!console.Interactive()) return false;
  console.Err() << "Voulez-vous continuer ? (o/n) : ";
  console.Err().flush();
  const std::optional<std::string> answer = console.ReadLine();
  return answer && IsYes(*answer);
}

}  // namespace

std::string UniqueReportName(const std::string& word, int disk, const device::LocalTime& now,
                             long processId) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  const std::string stem = "Rapport-" + word + "-" + std::to_string(disk) + "-" + stamp + "-" +
                           std::to_string(processId);
  std::string name = stem + ".txt";
  for (int suffix = 2; Exists(name) && suffix < 1000; ++suffix) {
    name = stem + "-" + std::to_string(suffix) + ".txt";
  }
  return name;
}

int RunJobCommand(const Options& options, Console& console, TerminalWindow& window,
                  device::Platform& platform, media::MediaState& state) {
  console.CatchStopSignals();
  const Refusal refuse(console, options.json);
  const NamedDisk named = FindDisk(platform, state, options.disk);
  if (named.node == nullptr) return refuse(named.error);

  media::MediaNode* node = named.node;
  if (options.volume) {
    const auto index = static_cast<std::size_t>(*options.volume);
    if (index > node->children.size()) {
      return refuse("Le support N°" + std::to_string(node->record->NumDisque) +
                    " n'a pas de volume " + std::to_string(*options.volume) + " (" +
                    std::to_string(node->children.size()) +
                    " volume(s) détecté(s) : voir « kalvorin-cli detect »).");
    }
    node = node->children[index - 1].get();
  }
  media::listeSupport& disk = *named.node->record;

  PreparedJob job;
  job.source = node->record.get();
  job.sourceLabel = media::SourceLabel(*node);
  job.first = options.first.value_or(job.source->FirstSct);
  job.firstTarget = options.firstTarget.value_or(job.source->FirstSct);
  job.count = options.count.value_or(job.source->NBSct);
  const bool destructive = options.command == Command::Erase || !options.targetDisk.empty();

  switch (options.command) {
    case Command::Check:
      job.title = media::CheckTitle(job.source->NumDisque, job.sourceLabel);
      break;
    case Command::Erase:
      if (job.source->NumDisque == state.NumDisqueDock) return refuse(media::kDockEraseRefused);
      job.title = media::EraseTitle(job.source->NumDisque, job.sourceLabel);
      job.confirmDisk = job.source->NumDisque;
      break;
    case Command::Copy:
      job.title = media::CopyTitle(job.source->NumDisque, job.sourceLabel);
      if (!options.targetDisk.empty()) {
        const NamedDisk target = FindDisk(platform, state, options.targetDisk);
        if (target.node == nullptr) return refuse(target.error);
        media::listeSupport* record = target.node->record.get();
        const auto eligible = media::EligibleTargets(state, job.source);
        if (std::find(eligible.begin(), eligible.end(), record) == eligible.end()) {
          if (record->NumDisque == job.source->NumDisque) {
            return refuse("La cible d'une copie ne peut pas être le support source lui-même.");
          }
          return refuse("Le support N°" + std::to_string(record->NumDisque) +
                        " ne peut pas être la cible d'une copie (DOCK protégé en écriture).");
        }
        job.target = record;
        job.confirmDisk = record->NumDisque;
      } else {
        job.targetFile = std::make_unique<media::listeSupport>();
        job.targetFile->CheminImage = options.image;
        job.targetFile->TypeSupport = media::kImage;
        job.target = job.targetFile.get();
      }
      break;
    default:
      return kStatusRefused;
  }

  if (const std::string problem = RangeProblem(disk, job.first, job.count); !problem.empty()) {
    return refuse(problem);
  }
  if (job.target != nullptr) {
    if (const auto refusal = jobs::RangeRefusal(job.first, job.firstTarget, job.count)) {
      return refuse(*refusal);
    }
    if (const auto refusal = jobs::CopyTargetRefusal(platform, *job.source, *job.target,
                                                     job.firstTarget, job.count)) {
      return refuse(*refusal);
    }
  }
  if (destructive && !options.yes && !console.Interactive()) {
    return refuse(
        "Sans terminal pour confirmer, formater un support ou copier vers un support demande "
        "l'option --oui.");
  }
  if (job.targetFile && Exists(job.targetFile->CheminImage) &&
      !AskYesNo(console, options.yes,
                "Le fichier image « " + job.targetFile->CheminImage +
                    " » existe déjà : il sera remplacé.")) {
    return refuse("Le fichier image « " + job.targetFile->CheminImage +
                  " » existe déjà : rien n'est écrit (--oui pour le remplacer).");
  }

  std::string reportPath = options.report;
  if (reportPath.empty()) {
    reportPath = UniqueReportName(JobWord(options.command), job.source->NumDisque, platform.Now(),
                                  console.ProcessId());
  } else if (Exists(reportPath)) {
    return refuse("Le fichier de rapport « " + reportPath +
                  " » existe déjà : choisir un autre nom (un rapport n'en remplace pas un autre).");
  }

  window.PrepareJob(job.title, job.confirmDisk);
  if (options.json) {
    Json start{{"evenement", "debut"},         {"commande", CommandName(options.command)},
               {"titre", job.title},           {"support", job.source->NumDisque},
               {"premier_secteur", job.first}, {"nombre_secteurs", job.count},
               {"fin", job.first + job.count}, {"rapport", reportPath}};
    if (job.target != nullptr) {
      start["cible"] =
          job.targetFile ? Json(job.targetFile->CheminImage) : Json(job.target->NumDisque);
      start["premier_secteur_cible"] = job.firstTarget;
    }
    WriteJsonLine(console.Out(), start);
  }

  jobs::JobContext context{
      platform,  window, state.CheminProgramme, job.sourceLabel, state.NumDisqueProgramme,
      reportPath};
  switch (options.command) {
    case Command::Check:
      jobs::ControlerSupport(context, *job.source, job.first, job.count);
      break;
    case Command::Erase:
      jobs::FormaterSupport(context, *job.source, job.first, job.count);
      break;
    default:
      jobs::CopierSupport(context, *job.source, *job.target, job.first, job.firstTarget, job.count);
      break;
  }
  window.EndProgressLine();

  const bool stopped = console.StopRequested();
  const bool reported = Exists(reportPath);
  int status = kStatusDone;
  if (stopped) {
    status = kStatusStopped;
  } else if (!reported) {
    status = kStatusRefused;
  } else if (window.failedBlocks() > 0 || window.errors() > 0) {
    status = kStatusFailedBlocks;
  }

  if (options.json) {
    WriteJsonLine(console.Out(), Json{{"evenement", "fin"},
                                      {"statut", status},
                                      {"blocs_en_echec", window.failedBlocks()},
                                      {"erreurs", window.errors()},
                                      {"arrete", stopped},
                                      {"rapport", reported ? Json(reportPath) : Json(nullptr)}});
  } else {
    if (reported) console.Out() << "Rapport : " << reportPath << '\n';
    switch (status) {
      case kStatusDone:
        console.Err() << "Traitement terminé sans bloc en échec.\n";
        break;
      case kStatusFailedBlocks:
        console.Err() << "Traitement terminé : " << window.failedBlocks() << " bloc(s) en échec"
                      << (window.errors() > 0
                              ? ", " + std::to_string(window.errors()) + " autre(s) erreur(s)"
                              : std::string())
                      << ".\n";
        break;
      case kStatusStopped:
        console.Err() << "Traitement arrêté à la demande de l'utilisateur.\n";
        break;
      default:
        console.Err() << "Traitement non effectué.\n";
        break;
    }
  }
  return status;
}

}  // namespace kalvorin::cli
