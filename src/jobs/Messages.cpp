#include "jobs/Messages.h"

#include <vector>

namespace kalvorin::jobs {

std::string BlockCaption(std::int32_t disk) {
  return "ID" + std::to_string(disk) + " - ERREUR DISQUE";
}

std::string BlockMessage(Outcome outcome, std::uint64_t p) {
  const std::string sector = std::to_string(p);
  switch (outcome) {
    case Outcome::ReadFailed:
      return "Lecture du support au secteur " + sector + " impossible.";
    case Outcome::WriteFailed:
      return "Ecriture du support au secteur " + sector + " impossible.";
    case Outcome::SeekFailed:
      return "Positionnement du support au secteur " + sector + " impossible.";
    case Outcome::Success:
      break;
  }
  return {};
}

std::string ConfirmOverwriteText(std::int32_t disk, const std::string& label) {
  return "Toutes les données du support N°" + std::to_string(disk) + " - " + label +
         " seront inaccessibles.\rVoulez-vous continuer ?";
}

std::string ProgramDiskRefused(std::int32_t disk) {
  return "Le support N°" + std::to_string(disk) +
         " contient le programme en cours d'exécution : il ne sera pas modifié.";
}

std::string ReportNotCreated(const std::string& reportPath) {
  return "Le rapport du traitement « " + reportPath +
         " » ne peut pas être créé. Le traitement n'est pas lancé.";
}

std::string ReportIncomplete(const std::string& reportPath) {
  return "Le rapport du traitement « " + reportPath + " » n'a pas pu être écrit entièrement.";
}

std::string ReportNotMoved(const std::string& reportPath, const std::string& chosenPath) {
  return "Le rapport n'a pas pu être enregistré sous « " + chosenPath +
         " ». Il reste sous le nom « " + reportPath + " ».";
}

std::string FlushFailed(const std::string& medium) {
  return "Ecriture du support " + medium +
         " impossible à la fermeture : les données écrites ne sont peut-être pas sur le support.";
}

std::string BootSectorNotRestored(std::int32_t disk, const std::string& label,
                                  std::uint64_t sector) {
  return "Restauration du secteur " + std::to_string(sector) + " du support cible N°" +
         std::to_string(disk) + " - " + label + " impossible.";
}

std::string DiskChangedText(std::int32_t disk) {
  return "Le support N°" + std::to_string(disk) +
         " a changé depuis la dernière actualisation. Actualiser la liste des supports.";
}

namespace {

std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

std::string DiskBusyText(std::int32_t disk, const std::string& label, const device::DiskUse& use) {
  std::string text = "Le support N°" + std::to_string(disk) + " - " + label + " est utilisé";
  if (!use.mountPoints.empty()) {
    text += " : ses volumes sont montés sur " + Listed(use.mountPoints);
    if (!use.systemUsers.empty())
      text += ", et le système s'en sert (" + Listed(use.systemUsers) + ")";
    return text + ".\rLe traitement n'est pas lancé : démonter ses volumes puis recommencer.";
  }
  if (!use.systemUsers.empty()) {
    return text + " par le système (" + Listed(use.systemUsers) +
           ").\rLe traitement n'est pas lancé.";
  }
  return text + " par un autre programme.\rLe traitement n'est pas lancé.";
}

std::string MediumGoneText(const std::string& medium, std::uint64_t p) {
  return "Le support " + medium + " a été déconnecté au secteur " + std::to_string(p) +
         " : le traitement est arrêté.";
}

std::string ImageTargetNotFile(const std::string& path) {
  return "La cible « " + path +
         " » n'est pas un fichier : un périphérique, un dossier, un tube ou une socket ne peut "
         "pas recevoir l'image. Choisir un nouveau fichier.";
}

}  // namespace kalvorin::jobs
