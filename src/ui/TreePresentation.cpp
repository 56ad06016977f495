#include "ui/TreePresentation.h"

#include <array>

namespace kalvorin::ui {

namespace {

constexpr std::array<ColumnSpec, kColumnCount> kColumns{{
    {"", 350, false},
    {"N° Série / Volume Logique", 350, false},
    {"1er Secteur", 125, false},
    {"Nb Secteurs", 125, false},
    {"ID", 62, true},
}};

constexpr std::array<const char*, static_cast<int>(TreeIcon::Count)> kIconNames{
    "tree-group", "tree-disk", "tree-usb", "tree-dock", "tree-volume", "tree-image"};

TreeIcon IconByKind(const media::listeSupport& record, const std::string& idUSBDock) {
  switch (record.TypeSupport) {
    case media::kGroupHeader:
      return TreeIcon::Group;
    case media::kPhysical:
      if (record.TypeInterface != "USB") return TreeIcon::Disk;
      return record.IdUSB == idUSBDock ? TreeIcon::Dock : TreeIcon::Usb;
    case media::kImage:
      return TreeIcon::Image;
    default:
      return TreeIcon::Disk;
  }
}

}  // namespace

const ColumnSpec* ColumnOf(int column) {
  if (column < 0 || column >= kColumnCount) return nullptr;
  return &kColumns[static_cast<std::size_t>(column)];
}

const char* TreeIconName(TreeIcon icon) {
  const auto index = static_cast<std::size_t>(icon);
  return index < kIconNames.size() ? kIconNames[index] : "";
}

std::string CellText(const media::listeSupport& record, int column) {
  switch (column) {
    case static_cast<int>(Column::Libelle):
      return record.Libelle;
    case static_cast<int>(Column::NumSerie):
      return record.NumSerie;
    case static_cast<int>(Column::FirstSct):
      return record.TypeSupport != media::kGroupHeader ? std::to_string(record.FirstSct) : "";
    case static_cast<int>(Column::NBSct):
      return record.TypeSupport != media::kGroupHeader ? std::to_string(record.NBSct) : "";
    case static_cast<int>(Column::NumDisque):
      return record.TypeSupport == media::kPhysical ? std::to_string(record.NumDisque) : "";
    default:
      return "";
  }
}

TreeIcon IconOf(const media::listeSupport& record, const std::string& idUSBDock) {
  if (record.TypeVolume != 0 && record.TypeSupport != media::kImage) return TreeIcon::Volume;
  return IconByKind(record, idUSBDock);
}

TreeIcon DialogIconOf(const media::listeSupport& record, const std::string& idUSBDock) {
  if (record.TypeVolume != 0) return TreeIcon::Volume;
  const TreeIcon icon = IconByKind(record, idUSBDock);
  // The dialog has no image icon: an image record of another kind counts as a disk.
  return icon == TreeIcon::Image ? TreeIcon::Disk : icon;
}

RowStyle RowStyleOf(const media::listeSupport& record, const std::string& idUSBDock) {
  RowStyle style;
  if (record.TypeVolume != 0) return style;
  style.bold = record.TypeSupport != media::kGroupHeader;
  style.red = record.IdUSB == idUSBDock;
  return style;
}

}  // namespace kalvorin::ui
