// Not a test: walks the window on the demo machine and saves a picture of
// each step, for a person to look at.
//   ui_screens OUTPUT_FOLDER      (run under Xvfb, or with QT_QPA_PLATFORM=offscreen)
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <cstdio>

#include "UiHarness.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/DemoMachine.h"
#include "device/sim/demo/ImageFile.h"
#include "ui/MediaTreeModel.h"
#include "ui/StartUp.h"
#include "ui/TargetDialog.h"

namespace {

QString output;

void Save(QWidget& widget, const char* name) {
  QApplication::processEvents();
  const QString path = QDir(output).filePath(QString::fromLatin1(name) + ".png");
  widget.grab().save(path);
  std::printf("%s\n", qPrintable(path));
}

bool Select(kalvorin::ui::Form1& form,
            const std::function<bool(const kalvorin::media::listeSupport&)>& match) {
  const kalvorin::media::MediaNode* found = nullptr;
  form.State().tree.ForEach([&](kalvorin::media::MediaNode& node) {
    if (!found && match(*node.record)) found = &node;
  });
  if (!found) return false;
  auto* tree = form.findChild<QTreeView*>("VST_Support");
  tree->setCurrentIndex(form.TreeModel().IndexOf(found));
  return true;
}

void SetSectors(kalvorin::ui::Form1& form, const char* count) {
  form.findChild<QLineEdit*>("Edit_NBSctCopie")->setText(QString::fromLatin1(count));
}

void Trigger(kalvorin::ui::Form1& form, const char* name) {
  form.findChild<QAction*>(QString::fromLatin1(name))->trigger();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  if (argc < 2) return 2;
  output = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(output);

  QTemporaryDir folder;
  std::string error;
  if (!kalvorin::demo::BuildDemoMachine(folder.path().toStdString(), error)) return 1;
  auto platform = kalvorin::device::CreateSimulatedPlatform(folder.path().toStdString(), error);
  if (!platform) return 1;
  kalvorin::test::ScriptedDialogs dialogs;
  kalvorin::ui::Form1 form(*platform, dialogs);
  form.show();
  Save(form, "01-main");

  Trigger(form, "ToolButton_DetectPartition");
  Save(form, "02-volumes");

  // The dock selected: its texts stay red on the selection.
  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume == 0 && r.NumDisque == 5; });
  Save(form, "02b-dock-selected");

  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume == 0 && r.NumDisque == 1; });
  Trigger(form, "ToolButton_Check");
  Save(form, "03-panel-check");

  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume != 0 && r.NumDisque == 4; });
  Trigger(form, "ToolButton_Erase");
  Save(form, "04-panel-erase");

  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume == 0 && r.NumDisque == 1; });
  Trigger(form, "ToolButton_Copy");
  Save(form, "05-panel-copy");
  dialogs.onModal = [](QDialog& dialog) {
    auto* list = dialog.findChild<QTreeView*>("VST_SupportCbl");
    list->setCurrentIndex(list->model()->index(1, 0, list->model()->index(0, 0)));
    Save(dialog, "06-target-dialog");
    dialog.findChild<QAction*>("ToolButton1")->trigger();
  };
  form.findChild<QPushButton*>("B_HDSource")->click();
  Save(form, "07-panel-copy-target");

  // A running check, seen at its first progress refresh.
  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume == 0 && r.NumDisque == 3; });
  Trigger(form, "ToolButton_Check");
  auto* start = form.findChild<QPushButton*>("Button_Traitement");
  QTimer::singleShot(0, &form, [&] {
    Save(form, "08-job-running");
    start->click();
  });
  start->click();
  Save(form, "09-job-stopped");

  const std::string image = folder.filePath("sauvegarde.img").toStdString();
  kalvorin::demo::CreateSparseImage(image, 131072);
  dialogs.saveAnswers.push_back(QString::fromStdString(image));
  Trigger(form, "ToolButton_AddImg");
  Select(form, [](const auto& r) { return r.TypeSupport == 2; });
  Trigger(form, "ToolButton_Copy");
  dialogs.saveAnswers.push_back(folder.filePath("copie.img"));
  form.findChild<QPushButton*>("B_FILESource")->click();
  Save(form, "10-panel-copy-image");

  // Every job to its end, answering yes and keeping each report.
  dialogs.defaultYesNo = kalvorin::device::kIdYes;
  dialogs.onMessage = [](const kalvorin::test::ShownBox& box) -> std::optional<int> {
    std::printf("  [%s] %s\n", qPrintable(box.caption), qPrintable(box.text));
    return std::nullopt;
  };
  int reportNumber = 0;
  const auto run = [&](const char* what) {
    std::printf("%s\n", what);
    dialogs.saveAnswers.push_back(
        QDir(output).filePath(QStringLiteral("rapport-%1.txt").arg(++reportNumber)));
    start->click();
    std::printf("  status: %s\n", qPrintable(form.findChild<QLabel*>("StatusBar1Panel1")->text()));
  };
  SetSectors(form, "100000");
  run("copy image -> file");
  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume != 0 && r.NumDisque == 4; });
  Trigger(form, "ToolButton_Check");
  run("check volume of disk 4");
  Trigger(form, "ToolButton_Erase");
  run("erase volume of disk 4");
  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume == 0 && r.NumDisque == 2; });
  Trigger(form, "ToolButton_Check");
  run("check disk 2 (an unreadable block)");
  Select(form,
         [](const auto& r) { return r.TypeSupport == 1 && r.TypeVolume == 0 && r.NumDisque == 1; });
  Trigger(form, "ToolButton_Copy");
  form.findChild<QPushButton*>("B_HDSource")->click();  // disk 3, as above
  SetSectors(form, "200000");
  run("copy disk 1 -> disk 3");
  Trigger(form, "ToolButton_Copy");
  dialogs.saveAnswers.push_back(folder.filePath("disque1.img"));
  form.findChild<QPushButton*>("B_FILESource")->click();
  SetSectors(form, "200000");
  run("copy disk 1 -> file");
  Save(form, "11-after-jobs");

  // Qt's own windows, in French as the program shows them: the image
  // file's save dialog, and the offer made to a user without the rights.
  QTranslator qtFrench;
  kalvorin::ui::InstallQtFrenchTranslation(qtFrench);
  kalvorin::ui::QtDialogService real;
  const auto saveAndClose = [](const char* name) {
    QTimer::singleShot(200, [name] {
      if (QWidget* shown = QApplication::activeModalWidget()) {
        Save(*shown, name);
        shown->close();
      }
    });
  };
  saveAndClose("12-save-dialog");
  real.SaveFile({QStringLiteral("Sélection du fichier image"), QStringLiteral("Image disque|*.img"),
                 QStringLiteral("img"), folder.filePath("copie.img"), true});
  saveAndClose("13-administrator-offer");
  kalvorin::ui::OfferDemoMachine(real);
  return 0;
}
