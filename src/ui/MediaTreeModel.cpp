#include "ui/MediaTreeModel.h"

#include "ui/Appearance.h"
#include "ui/TreePresentation.h"

namespace kalvorin::ui {

MediaTreeModel::MediaTreeModel(const media::MediaState& state, QObject* parent)
    : QAbstractItemModel(parent), state_(state) {}

void MediaTreeModel::BeginTreeChange() {
  if (changing_) return;
  beginResetModel();
  changing_ = true;
}

void MediaTreeModel::EndTreeChange() {
  if (!changing_) return;
  changing_ = false;
  endResetModel();
}

media::MediaNode* MediaTreeModel::NodeOf(const QModelIndex& index) const {
  if (changing_ || !index.isValid() || index.model() != this) return nullptr;
  return static_cast<media::MediaNode*>(index.internalPointer());
}

QModelIndex MediaTreeModel::IndexOf(const media::MediaNode* node) const {
  if (changing_ || !node) return {};
  const int row = state_.tree.RowOf(node);
  if (row < 0) return {};
  return createIndex(row, 0, const_cast<media::MediaNode*>(node));
}

const std::vector<std::unique_ptr<media::MediaNode>>* MediaTreeModel::ChildrenOf(
    const QModelIndex& parent) const {
  if (changing_) return nullptr;
  if (!parent.isValid()) return &state_.tree.TopLevel();
  if (parent.column() != 0) return nullptr;
  const media::MediaNode* node = NodeOf(parent);
  return node ? &node->children : nullptr;
}

QModelIndex MediaTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!hasIndex(row, column, parent)) return {};
  const auto* children = ChildrenOf(parent);
  if (!children || row >= static_cast<int>(children->size())) return {};
  return createIndex(row, column, (*children)[static_cast<std::size_t>(row)].get());
}

QModelIndex MediaTreeModel::parent(const QModelIndex& child) const {
  const media::MediaNode* node = NodeOf(child);
  if (!node || !node->parent) return {};
  return IndexOf(node->parent);
}

int MediaTreeModel::rowCount(const QModelIndex& parent) const {
  const auto* children = ChildrenOf(parent);
  return children ? static_cast<int>(children->size()) : 0;
}

int MediaTreeModel::columnCount(const QModelIndex& /*parent*/) const { return kColumnCount; }

QVariant MediaTreeModel::data(const QModelIndex& index, int role) const {
  const media::MediaNode* node = NodeOf(index);
  if (!node || !node->record) return {};
  return TreeCellData(*node->record, index.column(), role, state_.IdUSBDock, false);
}

QVariant MediaTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  return TreeHeaderData(section, orientation, role);
}

Qt::ItemFlags MediaTreeModel::flags(const QModelIndex& index) const {
  if (!NodeOf(index)) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace kalvorin::ui
