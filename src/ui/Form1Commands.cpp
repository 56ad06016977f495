// The toolbar commands, the tree's selection change and the copy target
// commands.
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeView>

#include "detect/VolumeNodes.h"
#include "device/WindowsLayouts.h"
#include "media/Refresh.h"
#include "media/Selection.h"
#include "ui/Form1.h"
#include "ui/MediaTreeModel.h"
#include "ui/TargetDialog.h"

namespace kalvorin::ui {

namespace {

const char* const kSelectConnected =
    "Sélectionner un support dans la liste des supports connectés.";
const char* const kSelectValid = "Sélectionner un support dans la liste des supports valides.";
const char* const kSelectionCaption = "AVERTISSEMENT Sélection support";

QString Number(std::uint64_t value) { return QString::number(value); }

}  // namespace

void Form1::ShowExpansion() {
  state_.tree.ForEach([this](media::MediaNode& node) {
    if (!node.children.empty()) VST_Support_->setExpanded(model_->IndexOf(&node), node.expanded);
  });
}

void Form1::ToolButton_RefreshClick() {
  Panel2_->hide();
  ProgressBar1_->setValue(0);
  SetStatusText("");
  // The records the prepared job pointed at are about to be destroyed.
  job_.SupportSource = nullptr;
  job_.SupportCible = nullptr;
  model_->BeginTreeChange();
  media::RefreshMediaList(platform_, *this, state_, detect::AddVolumeNodes);
  model_->EndTreeChange();
  ShowExpansion();
}

void Form1::ToolButton_DetectPartitionClick() {
  state_.DetectionVolumes = !state_.DetectionVolumes;
  ToolButton_RefreshClick();
}

void Form1::ToolButton_AddImgClick() {
  SaveFileRequest request{QStringLiteral("Sélection du fichier image"),
                          QStringLiteral("Image disque|*.img"), QStringLiteral("img"),
                          saveDialog2Name_, false};
  const std::optional<QString> chosen = dialogs_.SaveFile(request);
  if (!chosen || chosen->isEmpty()) return;
  saveDialog2Name_ = *chosen;
  // Adding keeps every existing node: the selection (and a prepared job)
  // stays valid, so the reset is the model's only.
  media::MediaNode* selected = nullptr;
  const QModelIndexList rows = VST_Support_->selectionModel()->selectedRows(0);
  if (!rows.isEmpty()) selected = model_->NodeOf(rows.front());
  const bool panelShown = Panel2_->isVisible();
  model_->BeginTreeChange();
  media::AddImage(platform_, state_, chosen->toStdString());
  model_->EndTreeChange();
  ShowExpansion();
  if (selected) {
    const QSignalBlocker blocker(VST_Support_->selectionModel());
    VST_Support_->selectionModel()->select(
        model_->IndexOf(selected), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    VST_Support_->setCurrentIndex(model_->IndexOf(selected));
  }
  Panel2_->setVisible(panelShown);
}

void Form1::VST_SupportChange() {
  Panel2_->hide();
  ProgressBar1_->setValue(0);
  SetStatusText("");
}

media::MediaNode* Form1::SelectedNode() {
  const QModelIndexList rows = VST_Support_->selectionModel()->selectedRows(0);
  media::MediaNode* node = rows.isEmpty() ? nullptr : model_->NodeOf(rows.front());
  if (!node || !node->record) {
    ShowSelectionWarning(kSelectConnected);
    return nullptr;
  }
  return node;
}

void Form1::ShowSelectionWarning(const char* text) {
  MessageBox(text, kSelectionCaption, device::kMbIconWarning);
}

void Form1::PrepareRange(media::MediaNode& node, std::int32_t type, const QString& title,
                         bool copy) {
  media::listeSupport& record = *node.record;
  Panel2_->show();
  GroupBox_SelSupportCible_->setVisible(copy);
  GroupBox_ParamCopie_->setVisible(copy);
  Label_SupportSource_->setText(title);
  if (copy) {
    Edit_FirstSctSource_->setText(Number(record.FirstSct));
    Edit_FirstSctCible_->setText(Number(record.FirstSct));
    Edit_NBSctCopie_->setText(Number(record.NBSct));
  } else {
    job_.FirstSctSource = record.FirstSct;
    job_.NBSctTraitement = record.NBSct;
  }
  job_.SupportSource = &record;
  job_.TypeTraitement = type;
}

void Form1::ToolButton_CheckClick() {
  media::MediaNode* node = SelectedNode();
  if (!node) return;
  if (node->record->TypeSupport != media::kPhysical) {
    ShowSelectionWarning(kSelectConnected);
    return;
  }
  job_.LibelleSource = media::SourceLabel(*node);
  PrepareRange(
      *node, kJobCheck,
      QString::fromStdString(media::CheckTitle(node->record->NumDisque, job_.LibelleSource)),
      false);
}

void Form1::ToolButton_EraseClick() {
  media::MediaNode* node = SelectedNode();
  if (!node) return;
  if (node->record->NumDisque == state_.NumDisqueDock) {
    ShowSelectionWarning(media::kDockEraseRefused);
    return;
  }
  if (node->record->TypeSupport != media::kPhysical) {
    ShowSelectionWarning(kSelectConnected);
    return;
  }
  job_.LibelleSource = media::SourceLabel(*node);
  PrepareRange(
      *node, kJobErase,
      QString::fromStdString(media::EraseTitle(node->record->NumDisque, job_.LibelleSource)),
      false);
}

void Form1::ToolButton_CopyClick() {
  media::MediaNode* node = SelectedNode();
  if (!node) return;
  job_.SupportCible = nullptr;
  Edit1_->clear();
  const media::listeSupport& record = *node->record;
  QString title;
  if (record.TypeSupport == media::kPhysical) {
    job_.LibelleSource = media::SourceLabel(*node);
    title = QStringLiteral("Copier le support N° %1 - %2")
                .arg(record.NumDisque)
                .arg(QString::fromStdString(job_.LibelleSource));
  } else if (record.TypeSupport == media::kImage) {
    job_.LibelleSource = record.Libelle;
    title = QString::fromStdString(media::CopyImageTitle(record.Libelle));
  } else {
    ShowSelectionWarning(kSelectValid);
    return;
  }
  PrepareRange(*node, kJobCopy, title, true);
}

void Form1::B_HDSourceClick() {
  if (targetDialog_->Execute(job_.SupportSource) != kTargetOk) return;
  media::listeSupport* chosen = targetDialog_->SupportSelectionne();
  if (!chosen) return;  // the heading was validated: the target stays as it was
  job_.SupportCible = chosen;
  Edit1_->setText(QStringLiteral("Support N°%1 - %2")
                      .arg(chosen->NumDisque)
                      .arg(QString::fromStdString(chosen->Libelle)));
}

void Form1::B_FILESourceClick() {
  saveDialog2Name_ = QStringLiteral("Copie - ") + QString::fromStdString(job_.LibelleSource);
  SaveFileRequest request{QStringLiteral("Sélection du fichier image"),
                          QStringLiteral("Image disque|*.img"), QStringLiteral("img"),
                          saveDialog2Name_, true};
  const std::optional<QString> chosen = dialogs_.SaveFile(request);
  if (!chosen || chosen->isEmpty()) return;
  saveDialog2Name_ = *chosen;
  // A running job keeps its own reference to the record it writes to.
  auto target = std::make_shared<media::listeSupport>();
  target->CheminImage = chosen->toStdString();
  target->TypeSupport = media::kImage;
  job_.targetFile = target;
  job_.SupportCible = target.get();
  Edit1_->setText(QStringLiteral("Fichier image ") + *chosen);
}

}  // namespace kalvorin::ui
