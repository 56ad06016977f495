#include "ui/Appearance.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QFile>
#include <QHeaderView>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTreeView>

// The icons are compiled into this static library; its resources must be
// registered by name before the first use.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace kalvorin::ui {

QFont InterfaceFont(int pointSize, bool compact) {
  QFont font;
  QStringList families{QStringLiteral("Tahoma")};
  if (compact) families << QStringLiteral("DejaVu Sans Condensed");
  families << QStringLiteral("DejaVu Sans") << QStringLiteral("Sans Serif");
  font.setFamilies(families);
  font.setPointSize(pointSize);
  // Explicit, so that a control inside a bold group box stays regular.
  font.setBold(false);
  return font;
}

QIcon LoadIcon(const char* name) {
  static const bool registered = (RegisterIconResources(), true);
  (void)registered;
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QString::fromUtf8(name));
  if (!QFile::exists(path)) return QIcon();
  return QIcon(path);
}

namespace {

const QIcon& TreeIconPixmap(TreeIcon icon) {
  static const std::array<QIcon, static_cast<int>(TreeIcon::Count)> icons = [] {
    std::array<QIcon, static_cast<int>(TreeIcon::Count)> loaded;
    for (int i = 0; i < static_cast<int>(TreeIcon::Count); ++i) {
      loaded[static_cast<std::size_t>(i)] = LoadIcon(TreeIconName(static_cast<TreeIcon>(i)));
    }
    return loaded;
  }();
  return icons[static_cast<std::size_t>(icon)];
}

}  // namespace

QVariant TreeCellData(const media::listeSupport& record, int column, int role,
                      const std::string& idUSBDock, bool dialogIcons) {
  const ColumnSpec* spec = ColumnOf(column);
  if (!spec) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
      const std::string text = CellText(record, column);
      if (text.empty()) return {};
      return QString::fromStdString(text);
    }
    case Qt::DecorationRole: {
      if (column != static_cast<int>(Column::Libelle)) return {};
      const TreeIcon icon =
          dialogIcons ? DialogIconOf(record, idUSBDock) : IconOf(record, idUSBDock);
      return TreeIconPixmap(icon);
    }
    case kIconNameRole: {
      if (column != static_cast<int>(Column::Libelle)) return {};
      const TreeIcon icon =
          dialogIcons ? DialogIconOf(record, idUSBDock) : IconOf(record, idUSBDock);
      return QString::fromLatin1(TreeIconName(icon));
    }
    case Qt::FontRole: {
      const RowStyle style = RowStyleOf(record, idUSBDock);
      QFont font = InterfaceFont(10);
      font.setBold(style.bold);
      return font;
    }
    case Qt::ForegroundRole:
      if (RowStyleOf(record, idUSBDock).red) return QBrush(QColor(255, 0, 0));
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(
          Qt::Alignment((spec->centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant TreeHeaderData(int section, Qt::Orientation orientation, int role) {
  const ColumnSpec* spec = ColumnOf(section);
  if (!spec || orientation != Qt::Horizontal) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromUtf8(spec->caption);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(
          Qt::Alignment((spec->centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
      return {};
  }
}

QSize GridRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(kRowHeight);
  return size;
}

void GridRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  painter->save();
  painter->setPen(QColor(0xC8, 0xC8, 0xC8));
  const QRect cell = option.rect;
  painter->drawLine(cell.bottomLeft(), cell.bottomRight());
  painter->drawLine(cell.topRight(), cell.bottomRight());
  painter->restore();
}

void GridRowDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  // The styles draw a selected row's text in the highlighted-text colour.
  const QVariant foreground = index.data(Qt::ForegroundRole);
  if (foreground.canConvert<QBrush>()) {
    option->palette.setBrush(QPalette::HighlightedText, qvariant_cast<QBrush>(foreground));
  }
}

namespace {

class TreeLineStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_IndicatorBranch) DrawBranchLines(*option, *painter);
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }

 private:
  // The cell left of a row, or one indentation column of it: a horizontal
  // line to the row when it is an item, a vertical line down when a sibling
  // follows, and up to the parent's line above. Around the expand arrow of
  // a node with children the lines leave room for it.
  static void DrawBranchLines(const QStyleOption& option, QPainter& painter) {
    const QRect& r = option.rect;
    const int midX = r.left() + r.width() / 2;
    const int midY = r.top() + r.height() / 2;
    const int gap = (option.state & State_Children) ? 6 : 0;
    const QBrush dots(option.palette.color(QPalette::Dark), Qt::Dense4Pattern);
    painter.save();
    if (option.state & State_Item) {
      if (option.direction == Qt::RightToLeft) {
        painter.fillRect(QRect(r.left(), midY, midX - gap - r.left(), 1), dots);
      } else {
        painter.fillRect(QRect(midX + gap, midY, r.right() - midX - gap + 1, 1), dots);
      }
    }
    if (option.state & State_Sibling) {
      painter.fillRect(QRect(midX, midY + gap, 1, r.bottom() - midY - gap + 1), dots);
    }
    if (option.state & (State_Open | State_Children | State_Item | State_Sibling)) {
      painter.fillRect(QRect(midX, r.top(), 1, midY - gap - r.top()), dots);
    }
    painter.restore();
  }
};

}  // namespace

QStyle* TreeLinesStyle() {
  static QPointer<QStyle> style;
  if (!style) {
    style = new TreeLineStyle(QApplication::style()->name());
    style->setParent(qApp);
  }
  return style;
}

void SetUpMediaTreeView(QTreeView& view) {
  view.setStyle(TreeLinesStyle());
  view.setFont(InterfaceFont(10));
  view.setItemDelegate(new GridRowDelegate(&view));
  view.setUniformRowHeights(true);
  view.setIconSize(QSize(32, 32));
  view.setRootIsDecorated(true);
  view.setItemsExpandable(true);
  view.setSelectionMode(QAbstractItemView::SingleSelection);
  view.setSelectionBehavior(QAbstractItemView::SelectRows);
  view.setDragEnabled(false);
  view.setAllColumnsShowFocus(true);
  view.setEditTriggers(QAbstractItemView::NoEditTriggers);
  view.setExpandsOnDoubleClick(false);
  QPalette palette = view.palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  view.setPalette(palette);
  QHeaderView* header = view.header();
  header->setFont(InterfaceFont(8));
  header->setStretchLastSection(false);
  header->setSectionsMovable(true);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setCascadingSectionResizes(false);
  for (int column = 0; column < kColumnCount; ++column) {
    header->resizeSection(column, ColumnOf(column)->width);
  }
}

}  // namespace kalvorin::ui
