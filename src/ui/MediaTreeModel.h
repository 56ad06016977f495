// The media tree as a Qt model. It owns nothing and decides nothing: each
// answer is a presentation rule applied to the node's record.
#pragma once

#include <QAbstractItemModel>

#include "media/MediaState.h"

namespace kalvorin::ui {

class MediaTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  // `state` (its tree and IdUSBDock) must outlive the model.
  explicit MediaTreeModel(const media::MediaState& state, QObject* parent = nullptr);

  // Bracket every change of the tree. Between the two calls the model
  // answers as if empty, so that a view repainted meanwhile (a message box
  // shown by a refresh) never reaches a destroyed node.
  void BeginTreeChange();
  void EndTreeChange();

  media::MediaNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const media::MediaNode* node) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const std::vector<std::unique_ptr<media::MediaNode>>* ChildrenOf(const QModelIndex& parent) const;

  const media::MediaState& state_;
  bool changing_ = false;
};

}  // namespace kalvorin::ui
