// Form_SelSupportCbl: the modal choice of a copy's target disk.
#pragma once

#include <QAbstractItemModel>
#include <QDialog>
#include <memory>
#include <vector>

#include "media/MediaState.h"
#include "media/Selection.h"
#include "ui/DialogService.h"

class QToolBar;
class QToolButton;
class QTreeView;

namespace kalvorin::ui {

// Result codes of the dialog.
inline constexpr int kTargetOk = 1;
inline constexpr int kTargetNone = 7;    // validated without a selection
inline constexpr int kTargetCancel = 2;  // closed by its close box or Escape

// Two levels: the dialog's own heading, and under it the eligible records
// (owned by the main tree).
class TargetListModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit TargetListModel(const std::string& idUSBDock, QObject* parent = nullptr);
  void Rebuild(std::vector<media::listeSupport*> targets);
  void Clear();
  media::listeSupport* RecordOf(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const std::string& idUSBDock_;
  std::unique_ptr<media::listeSupport> heading_;  // nullptr: empty list
  std::vector<media::listeSupport*> targets_;
};

class Form_SelSupportCbl : public QDialog {
  Q_OBJECT
 public:
  Form_SelSupportCbl(const media::MediaState& state, DialogService& dialogs,
                     QWidget* parent = nullptr);

  // Rebuilds the list for a copy from `source`, shows the dialog modally and
  // returns its result code. When the result is kTargetOk,
  // SupportSelectionne() is a disk record, or nullptr when the heading was
  // validated.
  int Execute(const media::listeSupport* source);
  media::listeSupport* SupportSelectionne() const { return SupportSelectionne_; }

  void FormShow(const media::listeSupport* source);
  void ToolButton1Click();
  void VST_SupportCblDblClick();

  void done(int result) override;
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Validate();

  const media::MediaState& state_;
  DialogService& dialogs_;
  TargetListModel* model_;
  QToolBar* ToolBar1_;
  QToolButton* ToolButton1_;
  QTreeView* VST_SupportCbl_;
  media::listeSupport* SupportSelectionne_ = nullptr;
};

}  // namespace kalvorin::ui
