// Form1: the main window, its job state and its command handlers. It is
// also the window the logic talks to (media::WindowPort).
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <string>

#include "device/Platform.h"
#include "media/MediaState.h"
#include "media/WindowPort.h"
#include "ui/DialogService.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolBar;
class QTreeView;
class QWidget;

namespace kalvorin::ui {

class MediaTreeModel;
class Form_SelSupportCbl;

enum TypeTraitementCode : std::int32_t { kJobCheck = 0, kJobCopy = 1, kJobErase = 2 };

// The prepared job, as the commands leave it for the start button.
struct JobState {
  std::int32_t TypeTraitement = kJobCheck;
  bool TraitementEnCours = false;
  media::listeSupport* SupportSource = nullptr;     // a record of the media tree
  media::listeSupport* SupportCible = nullptr;      // a disk record, or *targetFile
  std::shared_ptr<media::listeSupport> targetFile;  // record made by "Fichier"
  std::uint64_t FirstSctSource = 0;
  std::uint64_t FirstSctCible = 0;
  std::uint64_t NBSctTraitement = 0;
  std::string LibelleSource;
};

class Form1 : public QMainWindow, public media::WindowPort {
  Q_OBJECT
 public:
  // Builds the window, finds the program's disk and lists the media.
  // `platform` and `dialogs` must outlive the window.
  Form1(device::Platform& platform, DialogService& dialogs, QWidget* parent = nullptr);
  ~Form1() override;

  const media::MediaState& State() const { return state_; }
  const JobState& Job() const { return job_; }
  // True from a job's start until it has returned (its end dialogs included).
  bool JobActive() const { return jobActive_; }
  MediaTreeModel& TreeModel() { return *model_; }
  Form_SelSupportCbl& TargetDialog() { return *targetDialog_; }

  // media::WindowPort
  int MessageBox(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::optional<std::string> SaveDialog(const media::SaveDialogSpec& spec,
                                        const std::string& fileName) override;
  void SetProgress(int percent) override;
  void SetStatusText(const std::string& text) override;
  void ProcessEvents() override;
  bool JobRunning() override;
  void StopJob() override;
  bool IgnoreErrors() override;
  std::string PanelTitle() override;

 public slots:
  void ToolButton_RefreshClick();
  void ToolButton_DetectPartitionClick();
  void ToolButton_AddImgClick();
  void ToolButton_CheckClick();
  void ToolButton_CopyClick();
  void ToolButton_EraseClick();
  void B_HDSourceClick();
  void B_FILESourceClick();
  void Button_TraitementClick();
  void VST_SupportChange();

 protected:
  // Refused while a job holds its media: the job must be stopped first.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void BuildToolBar(QWidget* panel);
  void BuildPanel2();
  QAction* AddToolButton(const char* name, const char* icon, const QString& tooltip,
                         void (Form1::*handler)());
  void ShowExpansion();
  // The selected node, or nullptr after the "no selection" warning.
  media::MediaNode* SelectedNode();
  void ShowSelectionWarning(const char* text);
  void PrepareRange(media::MediaNode& node, std::int32_t type, const QString& title, bool copy);
  void SetButtonRunning(bool running);
  void RunPreparedJob();
  bool ReadCopyFields();
  bool CopyTargetAccepted();
  void RefuseInput(const std::string& text);

  device::Platform& platform_;
  DialogService& dialogs_;
  media::MediaState state_;
  JobState job_;
  bool jobActive_ = false;
  QString saveDialog2Name_;

  MediaTreeModel* model_ = nullptr;
  std::unique_ptr<Form_SelSupportCbl> targetDialog_;

  QWidget* Panel1_ = nullptr;
  QToolBar* ToolBar1_ = nullptr;
  QTreeView* VST_Support_ = nullptr;
  QWidget* Panel2_ = nullptr;
  QLabel* Label_SupportSource_ = nullptr;
  QCheckBox* CheckBox_Erreur_ = nullptr;
  QPushButton* Button_Traitement_ = nullptr;
  QGroupBox* GroupBox_SelSupportCible_ = nullptr;
  QGroupBox* GroupBox_ParamCopie_ = nullptr;
  QLineEdit* Edit1_ = nullptr;
  QLineEdit* Edit_FirstSctSource_ = nullptr;
  QLineEdit* Edit_FirstSctCible_ = nullptr;
  QLineEdit* Edit_NBSctCopie_ = nullptr;
  QStatusBar* StatusBar1_ = nullptr;
  QProgressBar* ProgressBar1_ = nullptr;
  QLabel* statusText_ = nullptr;
};

}  // namespace kalvorin::ui
