// What the media tree shows for one record: texts, icon, font. Plain
// functions of the record (and of the dock's USB id), so that the rules are
// tested without a window; the Qt models only call them.
#pragma once

#include <string>

#include "media/Records.h"

namespace kalvorin::ui {

enum class Column { Libelle, NumSerie, FirstSct, NBSct, NumDisque, Count };
inline constexpr int kColumnCount = static_cast<int>(Column::Count);

struct ColumnSpec {
  const char* caption;  // UTF-8
  int width;
  bool centred;
};
// Caption, width and alignment of `column`; nullptr outside 0..kColumnCount-1.
const ColumnSpec* ColumnOf(int column);

// Icons of the media tree (the main list holds all six, the target dialog
// the first five).
enum class TreeIcon { Group, Disk, Usb, Dock, Volume, Image, Count };
// Resource name of an icon (":/icons/<name>.svg").
const char* TreeIconName(TreeIcon icon);

// Text of a cell; empty for a column outside the table.
std::string CellText(const media::listeSupport& record, int column);

// Icon of column 0 in the main list.
TreeIcon IconOf(const media::listeSupport& record, const std::string& idUSBDock);
// Icon of column 0 in the target dialog: image records show the volume icon.
TreeIcon DialogIconOf(const media::listeSupport& record, const std::string& idUSBDock);

struct RowStyle {
  bool bold = false;
  bool red = false;
};
RowStyle RowStyleOf(const media::listeSupport& record, const std::string& idUSBDock);

}  // namespace kalvorin::ui
