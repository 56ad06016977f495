// Fonts, icons and the row look shared by the main window and the dialog.
#pragma once

#include <QFont>
#include <QIcon>
#include <QStyledItemDelegate>
#include <QVariant>

#include "ui/TreePresentation.h"

class QTreeView;

namespace kalvorin::ui {

// The interface font: Tahoma where installed, else a close sans-serif.
// `compact` prefers a condensed fallback, for texts laid out at Tahoma's
// width in fixed places (the processing panel).
QFont InterfaceFont(int pointSize, bool compact = false);
// ":/icons/<name>.svg"; an empty icon when the resource is missing.
QIcon LoadIcon(const char* name);

// Role answering the resource name of a cell's icon (column 0 only).
inline constexpr int kIconNameRole = Qt::UserRole + 1;

// The Qt roles of one cell, computed from the presentation rules.
QVariant TreeCellData(const media::listeSupport& record, int column, int role,
                      const std::string& idUSBDock, bool dialogIcons);
QVariant TreeHeaderData(int section, Qt::Orientation orientation, int role);

// Rows of 32 pixels with horizontal and vertical grid lines. A row's own
// text colour (the dock's red) is kept when the row is selected.
class GridRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  static constexpr int kRowHeight = 32;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// The application's style with dotted lines joining each node to its parent
// and siblings in the tree's indentation, for styles that draw none (Fusion
// draws only the expand arrows). One instance per application, owned by it.
QStyle* TreeLinesStyle();

// Columns, fonts, colours and behaviour common to VST_Support and VST_SupportCbl.
void SetUpMediaTreeView(QTreeView& view);

}  // namespace kalvorin::ui
