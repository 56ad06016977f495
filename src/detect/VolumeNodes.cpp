#include "detect/VolumeNodes.h"

#include <algorithm>
#include <memory>

#include "detect/PartitionTable.h"
#include "detect/VolumeDetection.h"
#include "media/Refresh.h"

namespace kalvorin::detect {

using media::listeSupport;

void AddVolumeNodes(device::Platform& platform, media::WindowPort& window,
                    media::InSupport& identity, const media::Utilitaires& letters,
                    media::MediaTree& tree, media::MediaNode& diskNode) {
  listeSupport& disk = *diskNode.record;
  auto& slots = identity.TablePartition;
  for (auto& slot : slots) slot.TypePartition = 0;
  if (DetectVolume(platform, window, identity, disk)) {
    slots[0] = {1, disk.FirstSct, disk.NBSct};
    slots[1].TypePartition = 0;
  } else {
    ReadPartitionTable(platform, window, identity, disk);
  }

  for (std::size_t k = 0; k < slots.size() && slots[k].TypePartition != 0; ++k) {
    auto record = std::make_unique<listeSupport>();
    record->NumDisque = disk.NumDisque;
    record->Libelle = "Inconnu";
    record->TypeVolume = media::kVolumeUnknown;
    record->TypeSupport = media::kPhysical;
    record->FirstSct = slots[k].FirstSct;
    record->NBSct = slots[k].NBSct;
    record->NBSctDisque = disk.NBSct;
    listeSupport& volume = *tree.Add(&diskNode, std::move(record))->record;

    if (DetectVolume(platform, window, identity, volume)) {
      volume.TypeVolume = identity.TypeVolume;
      volume.Libelle = identity.LibelleVolume;
      volume.NumSerie = identity.InfoVolume;
    }
    const auto filled = static_cast<std::size_t>(
        std::clamp(letters.count, 0, static_cast<int>(letters.MAPLetterPartition.size())));
    for (std::size_t i = 0; i < filled; ++i) {
      const auto& entry = letters.MAPLetterPartition[i];
      if (static_cast<std::int64_t>(entry.NumDisque) == volume.NumDisque &&
          entry.FirstSct == volume.FirstSct && entry.NBSct == volume.NBSct) {
        volume.NumSerie = entry.Affichage;
      }
    }
  }
}

void ToggleVolumeDetection(device::Platform& platform, media::WindowPort& window,
                           media::MediaState& state) {
  state.DetectionVolumes = !state.DetectionVolumes;
  media::RefreshMediaList(platform, window, state, AddVolumeNodes);
}

}  // namespace kalvorin::detect
