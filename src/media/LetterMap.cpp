#include "media/LetterMap.h"

#include <array>

#include "device/WindowsLayouts.h"
#include "media/Records.h"

namespace kalvorin::media {

namespace dl = device;

void BuildLetterMap(device::Platform& platform, Utilitaires& map) {
  map = Utilitaires{};
  std::array<std::uint8_t, 8192> answer{};
  int i = 0;
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const int driveType = platform.DriveType(letter);
    if (driveType != dl::kDriveNoRootDir && driveType != dl::kDriveRemovable &&
        driveType != dl::kDriveFixed) {
      continue;
    }
    auto& entry = map.MAPLetterPartition[static_cast<std::size_t>(i)];
    const std::string root = std::string(1, letter) + ":\\";
    bool filled = false;
    if (auto volume = platform.Open(std::string("\\\\.\\") + letter + ":", dl::Access::Inspect,
                                    dl::Share::ReadWrite, dl::Disposition::OpenExisting)) {
      // Cleared for each letter, so a short answer never shows an extent of
      // the letter before.
      answer.fill(0);
      std::uint32_t returned = 0;
      const bool answered =
          volume->DeviceIoControl(dl::kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(),
                                  static_cast<std::uint32_t>(answer.size()), returned);
      constexpr std::size_t kOneExtent =
          dl::disk_extents::kFirstExtent + dl::disk_extents::kExtentSize;
      if (answered && returned >= kOneExtent &&
          dl::GetU32(&answer[dl::disk_extents::kCount]) == 1) {
        const std::uint8_t* extent = &answer[dl::disk_extents::kFirstExtent];
        entry.Lettre = letter;
        entry.Racine = root;
        entry.NumDisque = dl::GetU32(extent + dl::disk_extents::kDiskNumber);
        entry.FirstSct = dl::GetU64(extent + dl::disk_extents::kStartingOffset) / kSectorSize;
        entry.NBSct = dl::GetU64(extent + dl::disk_extents::kExtentLength) / kSectorSize;
        entry.TypeLecteur = driveType;
        filled = true;
      }
      volume->Close();
    }
    // The label is written even when the letter got no entry: the next
    // letter then reuses this index and overwrites it.
    entry.Affichage = platform.VolumeLabel(letter).value_or("") + " (" + letter + ":)";
    if (filled) ++i;
  }
  map.count = i;
}

}  // namespace kalvorin::media
