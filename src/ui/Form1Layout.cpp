// Construction of the main window: the controls, their places and the
// start-up steps.
#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "media/Refresh.h"
#include "ui/Appearance.h"
#include "ui/Form1.h"
#include "ui/MediaTreeModel.h"
#include "ui/TargetDialog.h"

namespace kalvorin::ui {

namespace {

constexpr int kCaptionLeft = 16;
constexpr int kFieldLeft = 165;
constexpr int kCaptionGap = 4;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLineEdit* SectorField(QWidget* parent, const char* name, int top) {
  auto* field = Named(new QLineEdit(parent), name);
  field->setGeometry(kFieldLeft, top, 108, 21);
  field->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
  field->setFont(InterfaceFont(8, true));
  return field;
}

// The captions of the copy fields are placed for Tahoma's widths: with a
// wider fallback font a caption is set smaller, down to 6 points, until it
// ends kCaptionGap pixels before its field.
QLabel* FieldLabel(QWidget* parent, const char* name, const QString& text, int top) {
  auto* label = Named(new QLabel(text, parent), name);
  QFont font = InterfaceFont(8, true);
  const int room = kFieldLeft - kCaptionGap - kCaptionLeft;
  while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > 6.0) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  label->setFont(font);
  label->setGeometry(kCaptionLeft, top, kFieldLeft - kCaptionLeft, 17);
  return label;
}

QGroupBox* CaptionedBox(QWidget* parent, const char* name, const QString& caption,
                        const QRect& place) {
  auto* box = Named(new QGroupBox(caption, parent), name);
  QFont bold = InterfaceFont(8, true);
  bold.setBold(true);
  box->setFont(bold);
  box->setGeometry(place);
  // The caption sits on the frame's top line, the controls' places below it.
  box->setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 2px; }"));
  return box;
}

}  // namespace

Form1::Form1(device::Platform& platform, DialogService& dialogs, QWidget* parent)
    : QMainWindow(parent), platform_(platform), dialogs_(dialogs) {
  BuildLayout();
  media::FindProgramDisk(platform_, *this, state_);
  state_.IdUSBDock = "201804";
  state_.NumDisqueDock = -1;
  state_.DetectionVolumes = false;
  ToolButton_RefreshClick();
  Panel2_->hide();
  job_.TraitementEnCours = false;
  state_.GroupeImages = false;
  targetDialog_ = std::make_unique<Form_SelSupportCbl>(state_, dialogs_);
}

Form1::~Form1() {
  // The view must not reach the tree while the window's children are
  // destroyed, after state_ is gone.
  VST_Support_->setModel(nullptr);
  delete model_;
}

void Form1::BuildLayout() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Kalvorin 2"));
  setWindowIcon(LoadIcon("app"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(InterfaceFont(8));
  setFixedSize(1018, 561);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(central);

  Panel1_ = Named(new QWidget(central), "Panel1");
  auto* panel1Layout = new QVBoxLayout(Panel1_);
  panel1Layout->setContentsMargins(0, 0, 0, 0);
  panel1Layout->setSpacing(0);
  BuildToolBar(Panel1_);
  panel1Layout->addWidget(ToolBar1_);

  model_ = new MediaTreeModel(state_, this);
  VST_Support_ = Named(new QTreeView(Panel1_), "VST_Support");
  VST_Support_->setModel(model_);
  SetUpMediaTreeView(*VST_Support_);
  connect(VST_Support_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &Form1::VST_SupportChange);
  // Each node remembers whether the user left it open, so that a node he
  // collapsed stays collapsed when the model is reset (adding an image).
  connect(VST_Support_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
    if (media::MediaNode* node = model_->NodeOf(index)) node->expanded = true;
  });
  connect(VST_Support_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
    if (media::MediaNode* node = model_->NodeOf(index)) node->expanded = false;
  });
  panel1Layout->addWidget(VST_Support_, 1);
  layout->addWidget(Panel1_, 1);

  BuildPanel2();
  layout->addWidget(Panel2_);

  StatusBar1_ = Named(new QStatusBar(this), "StatusBar1");
  StatusBar1_->setSizeGripEnabled(false);
  StatusBar1_->setFixedHeight(30);
  ProgressBar1_ = Named(new QProgressBar(StatusBar1_), "ProgressBar1");
  ProgressBar1_->setRange(0, 100);
  ProgressBar1_->setValue(0);
  ProgressBar1_->setTextVisible(false);
  ProgressBar1_->setFixedSize(600, 30);
  statusText_ = Named(new QLabel(StatusBar1_), "StatusBar1Panel1");
  statusText_->setMinimumWidth(50);
  StatusBar1_->addWidget(ProgressBar1_, 0);
  StatusBar1_->addWidget(statusText_, 1);
  StatusBar1_->setContentsMargins(0, 0, 0, 0);
  StatusBar1_->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
  setStatusBar(StatusBar1_);
}

QAction* Form1::AddToolButton(const char* name, const char* icon, const QString& tooltip,
                              void (Form1::*handler)()) {
  QAction* action = ToolBar1_->addAction(LoadIcon(icon), tooltip);
  action->setObjectName(QString::fromLatin1(name));
  action->setToolTip(tooltip);
  auto* button = qobject_cast<QToolButton*>(ToolBar1_->widgetForAction(action));
  button->setObjectName(QString::fromLatin1(name));
  button->setFixedSize(55, 54);
  connect(action, &QAction::triggered, this, handler);
  return action;
}

void Form1::BuildToolBar(QWidget* panel) {
  ToolBar1_ = Named(new QToolBar(panel), "ToolBar1");
  ToolBar1_->setFixedHeight(54);
  ToolBar1_->setIconSize(QSize(48, 48));
  ToolBar1_->setMovable(false);
  ToolBar1_->setFloatable(false);
  ToolBar1_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar1_->setContextMenuPolicy(Qt::PreventContextMenu);
  ToolBar1_->setStyleSheet(
      QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: none; }"
                     "QToolBar::separator { width: 8px; }"));
  AddToolButton("ToolButton_Refresh", "refresh", QStringLiteral("Rafraîchir la liste des supports"),
                &Form1::ToolButton_RefreshClick);
  ToolBar1_->addSeparator();
  AddToolButton("ToolButton_DetectPartition", "detect",
                QStringLiteral("Détection des volumes logiques"),
                &Form1::ToolButton_DetectPartitionClick);
  ToolBar1_->addSeparator();
  AddToolButton("ToolButton_AddImg", "addimage", QStringLiteral("Ajouter une image disque"),
                &Form1::ToolButton_AddImgClick);
  ToolBar1_->addSeparator();
  AddToolButton("ToolButton_Check", "check", QStringLiteral("Contrôler l'intégrité du support"),
                &Form1::ToolButton_CheckClick);
  AddToolButton("ToolButton_Copy", "copy", QStringLiteral("Copier le support"),
                &Form1::ToolButton_CopyClick);
  AddToolButton("ToolButton_Erase", "erase", QStringLiteral("Formater le support"),
                &Form1::ToolButton_EraseClick);
}

void Form1::BuildPanel2() {
  Panel2_ = Named(new QWidget(centralWidget()), "Panel2");
  Panel2_->setFixedHeight(124);

  Label_SupportSource_ = Named(new QLabel(Panel2_), "Label_SupportSource");
  Label_SupportSource_->setGeometry(0, 0, 1018, 19);
  Label_SupportSource_->setAlignment(Qt::AlignCenter);
  Label_SupportSource_->setFont(InterfaceFont(12));
  Label_SupportSource_->setAutoFillBackground(true);
  QPalette title = Label_SupportSource_->palette();
  title.setColor(QPalette::Window, QColor(0, 255, 255));
  title.setColor(QPalette::WindowText, QColor(255, 0, 0));
  Label_SupportSource_->setPalette(title);

  auto* groupBox1 =
      CaptionedBox(Panel2_, "GroupBox1", QStringLiteral("Paramètre"), QRect(1, 26, 225, 39));
  CheckBox_Erreur_ =
      Named(new QCheckBox(QStringLiteral("Ignorer les erreurs"), groupBox1), "CheckBox_Erreur");
  CheckBox_Erreur_->setFont(InterfaceFont(8, true));
  CheckBox_Erreur_->setGeometry(12, 16, 125, 17);
  CheckBox_Erreur_->setChecked(false);

  Button_Traitement_ = Named(new QPushButton(Panel2_), "Button_Traitement");
  Button_Traitement_->setGeometry(1, 71, 225, 50);
  Button_Traitement_->setFont(InterfaceFont(12, true));
  Button_Traitement_->setIconSize(QSize(32, 32));
  Button_Traitement_->setStyleSheet(QStringLiteral("text-align: left; padding-left: 5px;"));
  SetButtonRunning(false);
  connect(Button_Traitement_, &QPushButton::clicked, this, &Form1::Button_TraitementClick);

  GroupBox_SelSupportCible_ =
      CaptionedBox(Panel2_, "GroupBox_SelSupportCible",
                   QStringLiteral("Sélection du support cible"), QRect(232, 26, 498, 95));
  auto* disk = Named(
      new QPushButton(LoadIcon("small-drive"), QStringLiteral("Disque"), GroupBox_SelSupportCible_),
      "B_HDSource");
  disk->setFont(InterfaceFont(8, true));
  disk->setGeometry(50, 19, 81, 25);
  disk->setIconSize(QSize(20, 20));
  connect(disk, &QPushButton::clicked, this, &Form1::B_HDSourceClick);
  auto* file = Named(
      new QPushButton(LoadIcon("diskette"), QStringLiteral("Fichier"), GroupBox_SelSupportCible_),
      "B_FILESource");
  file->setFont(InterfaceFont(8, true));
  file->setGeometry(137, 18, 81, 25);
  file->setIconSize(QSize(20, 20));
  connect(file, &QPushButton::clicked, this, &Form1::B_FILESourceClick);
  auto* targetLabel =
      Named(new QLabel(QStringLiteral("Cible : "), GroupBox_SelSupportCible_), "Label2");
  targetLabel->setFont(InterfaceFont(8, true));
  targetLabel->setGeometry(11, 52, 38, 17);
  Edit1_ = Named(new QLineEdit(GroupBox_SelSupportCible_), "Edit1");
  Edit1_->setFont(InterfaceFont(8, true));
  Edit1_->setGeometry(50, 50, 439, 21);
  Edit1_->setReadOnly(true);

  GroupBox_ParamCopie_ =
      CaptionedBox(Panel2_, "GroupBox_ParamCopie", QStringLiteral("Paramètres de copie"),
                   QRect(736, 25, 281, 96));
  FieldLabel(GroupBox_ParamCopie_, "Label3", QStringLiteral("1er Secteur source :"), 18);
  Edit_FirstSctSource_ = SectorField(GroupBox_ParamCopie_, "Edit_FirstSctSource", 15);
  FieldLabel(GroupBox_ParamCopie_, "Label4", QStringLiteral("1er Secteur cible :"), 45);
  Edit_FirstSctCible_ = SectorField(GroupBox_ParamCopie_, "Edit_FirstSctCible", 42);
  FieldLabel(GroupBox_ParamCopie_, "Label5", QStringLiteral("Nombre de secteurs à copier :"), 72);
  Edit_NBSctCopie_ = SectorField(GroupBox_ParamCopie_, "Edit_NBSctCopie", 69);
}

void Form1::SetButtonRunning(bool running) {
  Button_Traitement_->setText(running ? QStringLiteral("Arrêter le traitement")
                                      : QStringLiteral("Démarrer le traitement"));
  Button_Traitement_->setIcon(LoadIcon(running ? "cross" : "tick"));
}

}  // namespace kalvorin::ui
