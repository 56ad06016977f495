#include "ui/Appearance.h"
#include "ui/TargetDialog.h"

namespace kalvorin::ui {

namespace {
// internalId of the heading row; its children carry kChildId.
constexpr quintptr kHeadingId = 0;
constexpr quintptr kChildId = 1;
}  // namespace

TargetListModel::TargetListModel(const std::string& idUSBDock, QObject* parent)
    : QAbstractItemModel(parent), idUSBDock_(idUSBDock) {}

void TargetListModel::Rebuild(std::vector<media::listeSupport*> targets) {
  beginResetModel();
  heading_ = std::make_unique<media::listeSupport>();
  heading_->Libelle = "Support(s) connecté(s)";
  heading_->TypeSupport = media::kGroupHeader;
  heading_->TypeVolume = 0;
  targets_ = std::move(targets);
  endResetModel();
}

void TargetListModel::Clear() {
  beginResetModel();
  heading_.reset();
  targets_.clear();
  endResetModel();
}

media::listeSupport* TargetListModel::RecordOf(const QModelIndex& index) const {
  if (!heading_ || !index.isValid() || index.model() != this) return nullptr;
  if (index.internalId() == kHeadingId) return index.row() == 0 ? heading_.get() : nullptr;
  if (index.row() < 0 || index.row() >= static_cast<int>(targets_.size())) return nullptr;
  return targets_[static_cast<std::size_t>(index.row())];
}

QModelIndex TargetListModel::index(int row, int column, const QModelIndex& parent) const {
  if (!hasIndex(row, column, parent)) return {};
  return createIndex(row, column, parent.isValid() ? kChildId : kHeadingId);
}

QModelIndex TargetListModel::parent(const QModelIndex& child) const {
  if (!heading_ || !child.isValid() || child.internalId() != kChildId) return {};
  return createIndex(0, 0, kHeadingId);
}

int TargetListModel::rowCount(const QModelIndex& parent) const {
  if (!heading_) return 0;
  if (!parent.isValid()) return 1;
  if (parent.column() == 0 && parent.internalId() == kHeadingId && parent.row() == 0) {
    return static_cast<int>(targets_.size());
  }
  return 0;
}

int TargetListModel::columnCount(const QModelIndex& /*parent*/) const { return kColumnCount; }

QVariant TargetListModel::data(const QModelIndex& index, int role) const {
  const media::listeSupport* record = RecordOf(index);
  if (!record) return {};
  return TreeCellData(*record, index.column(), role, idUSBDock_, true);
}

QVariant TargetListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  return TreeHeaderData(section, orientation, role);
}

Qt::ItemFlags TargetListModel::flags(const QModelIndex& index) const {
  if (!RecordOf(index)) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace kalvorin::ui
