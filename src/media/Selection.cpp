#include "media/Selection.h"

namespace kalvorin::media {

std::string SourceLabel(const MediaNode& node) {
  const listeSupport& record = *node.record;
  if (record.TypeSupport == kPhysical && record.TypeVolume != 0 && node.parent &&
      node.parent->record) {
    return node.parent->record->Libelle;
  }
  return record.Libelle;
}

std::string CheckTitle(std::int32_t disk, const std::string& sourceLabel) {
  return "Contrôler l'intégrité du support N° " + std::to_string(disk) + " - " + sourceLabel;
}

std::string EraseTitle(std::int32_t disk, const std::string& sourceLabel) {
  return "Formater le support N° " + std::to_string(disk) + " - " + sourceLabel;
}

std::string CopyTitle(std::int32_t disk, const std::string& sourceLabel) {
  return "Copier le support N° " + std::to_string(disk) + " - " + sourceLabel;
}

std::string CopyImageTitle(const std::string& imageLabel) {
  return "Copier l'image du support " + imageLabel;
}

std::vector<listeSupport*> EligibleTargets(const MediaState& state, const listeSupport* source) {
  std::vector<listeSupport*> targets;
  state.tree.ForEach([&](MediaNode& node) {
    listeSupport* record = node.record.get();
    if (!record || record->TypeSupport != kPhysical) return;
    if (record->NumDisque == state.NumDisqueProgramme) return;
    if (record->NumDisque == state.NumDisqueDock) return;
    if (source && record->NumDisque == source->NumDisque) return;
    targets.push_back(record);
  });
  return targets;
}

}  // namespace kalvorin::media
