#include "ui/TargetDialog.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "device/WindowsLayouts.h"
#include "ui/Appearance.h"

namespace kalvorin::ui {

Form_SelSupportCbl::Form_SelSupportCbl(const media::MediaState& state, DialogService& dialogs,
                                       QWidget* parent)
    : QDialog(parent), state_(state), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form_SelSupportCbl"));
  setWindowTitle(QStringLiteral("Sélection du support cible"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(LoadIcon("app"));
  setFont(InterfaceFont(8));
  setToolTip(QStringLiteral("Valider la sélection du support cible"));
  setFixedSize(1016, 362);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  ToolBar1_ = new QToolBar(this);
  ToolBar1_->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1_->setFixedHeight(38);
  ToolBar1_->setIconSize(QSize(32, 32));
  ToolBar1_->setMovable(false);
  QAction* validate = ToolBar1_->addAction(LoadIcon("tick"), QStringLiteral("Valider"));
  validate->setObjectName(QStringLiteral("ToolButton1"));
  validate->setToolTip(QStringLiteral("Valider"));
  ToolButton1_ = qobject_cast<QToolButton*>(ToolBar1_->widgetForAction(validate));
  ToolButton1_->setObjectName(QStringLiteral("ToolButton1"));
  ToolButton1_->setFixedSize(39, 38);
  ToolButton1_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  connect(validate, &QAction::triggered, this, &Form_SelSupportCbl::ToolButton1Click);
  layout->addWidget(ToolBar1_);

  model_ = new TargetListModel(state_.IdUSBDock, this);
  VST_SupportCbl_ = new QTreeView(this);
  VST_SupportCbl_->setObjectName(QStringLiteral("VST_SupportCbl"));
  VST_SupportCbl_->setModel(model_);
  SetUpMediaTreeView(*VST_SupportCbl_);
  // A double click anywhere on the list validates, on a row or not.
  VST_SupportCbl_->viewport()->installEventFilter(this);
  layout->addWidget(VST_SupportCbl_);
}

bool Form_SelSupportCbl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == VST_SupportCbl_->viewport() && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    VST_SupportCblDblClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

int Form_SelSupportCbl::Execute(const media::listeSupport* source) {
  FormShow(source);
  return dialogs_.RunModal(*this);
}

void Form_SelSupportCbl::FormShow(const media::listeSupport* source) {
  setResult(0);
  model_->Rebuild(media::EligibleTargets(state_, source));
  VST_SupportCbl_->expand(model_->index(0, 0));
  VST_SupportCbl_->clearSelection();
  VST_SupportCbl_->setCurrentIndex(QModelIndex());
}

void Form_SelSupportCbl::ToolButton1Click() { Validate(); }

void Form_SelSupportCbl::VST_SupportCblDblClick() { Validate(); }

void Form_SelSupportCbl::Validate() {
  const QModelIndexList selected = VST_SupportCbl_->selectionModel()->selectedRows(0);
  media::listeSupport* record = selected.isEmpty() ? nullptr : model_->RecordOf(selected.front());
  if (!record) {
    done(kTargetNone);
    return;
  }
  // The heading is no medium: the dialog closes with OK and no choice, so
  // that the copy keeps the target it had. (Its record belongs to the list,
  // which is dropped as the dialog closes.)
  if (record->TypeSupport == media::kGroupHeader) {
    SupportSelectionne_ = nullptr;
    done(kTargetOk);
    return;
  }
  // A copy writes a whole disk from its first target sector: a volume or an
  // image is not a target and is refused rather than silently replaced by
  // something else.
  if (record->TypeSupport != media::kPhysical || record->TypeVolume != 0) {
    dialogs_.MessageBox(
        QStringLiteral("Sélectionner un disque : la copie s'écrit sur un disque entier, "
                       "pas sur un volume logique."),
        QStringLiteral("AVERTISSEMENT Sélection support"), device::kMbIconWarning);
    return;
  }
  SupportSelectionne_ = record;
  done(kTargetOk);
}

void Form_SelSupportCbl::done(int result) {
  // The list points at records of the main tree; it is dropped as soon as
  // the dialog closes so that it never outlives them.
  model_->Clear();
  QDialog::done(result);
}

void Form_SelSupportCbl::reject() { done(kTargetCancel); }

}  // namespace kalvorin::ui
