// The start/stop button: copy validation, the run of a job from the window,
// stopping it, and what the window allows while a job holds its media.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <filesystem>

#include "UiHarness.h"
#include "UiTests.h"

using kalvorin::test::ShownBox;
using kalvorin::test::WindowHarness;

namespace {

const QString kInvalid = QStringLiteral("Saisie invalide");

void SetFields(WindowHarness& window, const QString& firstSource, const QString& firstTarget,
               const QString& count) {
  window.child<QLineEdit>("Edit_FirstSctSource")->setText(firstSource);
  window.child<QLineEdit>("Edit_FirstSctCible")->setText(firstTarget);
  window.child<QLineEdit>("Edit_NBSctCopie")->setText(count);
}

// Prepares a copy of disk 1 to disk 2 through the target dialog.
void PrepareCopyToDisk2(WindowHarness& window) {
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  window.dialogs.onModal = [](QDialog& dialog) {
    auto* list = dialog.findChild<QTreeView*>("VST_SupportCbl");
    list->setCurrentIndex(list->model()->index(0, 0, list->model()->index(0, 0)));
    dialog.findChild<QAction*>("ToolButton1")->trigger();
  };
  window.button("B_HDSource")->click();
  QCOMPARE(window.form().Job().SupportCible->NumDisque, 2);
}

// Prepares a copy of disk 1 to a new image file `path`.
void PrepareCopyToFile(WindowHarness& window, const std::string& path) {
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  window.dialogs.saveAnswers.push_back(QString::fromStdString(path));
  window.button("B_FILESource")->click();
}

void Start(WindowHarness& window) { window.button("Button_Traitement")->click(); }

int Count(const std::vector<ShownBox>& boxes, const QString& part) {
  int count = 0;
  for (const ShownBox& box : boxes) count += box.text.contains(part) ? 1 : 0;
  return count;
}

}  // namespace

class JobTest : public QObject {
  Q_OBJECT
 private slots:
  void copyFieldsDefaultToTheNode();
  void copyToDiskNeedsRoomBeforeTheLastSector();
  void copyToFileNeedsFreeSpace();
  void fileTargetCommand();
  void refusesFieldsThatAreNotSectorNumbers_data();
  void refusesFieldsThatAreNotSectorNumbers();
  void refusesToCopyAnImageOntoItself();
  void withoutTargetNothingStarts();
  void checkRunsAndKeepsItsReport();
  void checkOfTheDemoDiskWritesTheExpectedReport();
  void eraseAsksBeforeOverwriting();
  void stopWithTheButton();
  void clicksDuringEndDialogsStartNothing();
  void replacingTheTargetFileDuringACopy();
};

void JobTest::copyFieldsDefaultToTheNode() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(window.SelectVolume(1, 206848));
  window.Trigger("ToolButton_Copy");
  QCOMPARE(window.child<QLabel>("Label_SupportSource")->text(),
           QStringLiteral("Copier le support N° 1 - WDC WD10EZEX-08WN4A0"));
  QCOMPARE(window.child<QLineEdit>("Edit_FirstSctSource")->text(), QStringLiteral("206848"));
  QCOMPARE(window.child<QLineEdit>("Edit_FirstSctCible")->text(), QStringLiteral("206848"));
  QCOMPARE(window.child<QLineEdit>("Edit_NBSctCopie")->text(), QStringLiteral("204800"));
  QCOMPARE(window.form().Job().LibelleSource, std::string("WDC WD10EZEX-08WN4A0"));
  // The fields accept digits only.
  auto* field = window.child<QLineEdit>("Edit_NBSctCopie");
  field->clear();
  QTest::keyClicks(field, QStringLiteral("12a-3.4"));
  QCOMPARE(field->text(), QStringLiteral("1234"));
}

void JobTest::copyToDiskNeedsRoomBeforeTheLastSector() {
  WindowHarness window;
  PrepareCopyToDisk2(window);
  window.dialogs.messages.clear();
  SetFields(window, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1000000"));
  Start(window);
  QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
  QCOMPARE(window.dialogs.messages[0].text,
           QStringLiteral("Le nombre de secteurs du support cible est insuffisant."));
  QCOMPARE(window.dialogs.messages[0].caption, kInvalid);
  QCOMPARE(window.dialogs.messages[0].style, std::uint32_t(0x1010));
  QCOMPARE(window.button("Button_Traitement")->text(), QStringLiteral("Démarrer le traitement"));

  window.dialogs.messages.clear();
  SetFields(window, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("999999"));
  Start(window);  // accepted: the job asks before overwriting, and is told no
  QCOMPARE(Count(window.dialogs.messages, kInvalid), 0);
  QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
  QVERIFY(window.dialogs.messages[0].text.contains(QStringLiteral("support N°2")));
}

void JobTest::copyToFileNeedsFreeSpace() {
  WindowHarness window;  // 1 073 741 824 free bytes: 2 097 152 sectors
  const std::string target = window.dir.file("copie.img");
  PrepareCopyToFile(window, target);
  window.dialogs.messages.clear();
  SetFields(window, QStringLiteral("999000"), QStringLiteral("5"), QStringLiteral("2097152"));
  Start(window);
  QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
  QCOMPARE(window.dialogs.messages[0].text,
           QStringLiteral("L'espace disque du fichier image est insuffisant."));
  QCOMPARE(window.dialogs.messages[0].style, std::uint32_t(0x1010));
  QVERIFY(!std::filesystem::exists(target));

  // Accepted: the copy starts and meets the unreadable sector 999000 at once
  // (the user then stops it).
  window.dialogs.messages.clear();
  SetFields(window, QStringLiteral("999000"), QStringLiteral("5"), QStringLiteral("2097151"));
  Start(window);
  QCOMPARE(Count(window.dialogs.messages, kInvalid), 0);
  QCOMPARE(Count(window.dialogs.messages, QStringLiteral("999000")), 1);
  QVERIFY(std::filesystem::exists(target));
}

void JobTest::fileTargetCommand() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  window.button("B_FILESource")->click();  // cancelled
  QVERIFY(!window.form().Job().SupportCible);
  const kalvorin::ui::SaveFileRequest& request = window.dialogs.saveRequests.back();
  QCOMPARE(request.title, QStringLiteral("Sélection du fichier image"));
  QCOMPARE(request.filter, QStringLiteral("Image disque|*.img"));
  QCOMPARE(request.defaultSuffix, QStringLiteral("img"));
  QCOMPARE(request.fileName, QStringLiteral("Copie - WDC WD10EZEX-08WN4A0"));

  const QString path = QString::fromStdString(window.dir.file("copie.img"));
  window.dialogs.saveAnswers.push_back(path);
  window.button("B_FILESource")->click();
  const auto* target = window.form().Job().SupportCible;
  QVERIFY(target);
  QCOMPARE(target->TypeSupport, 2);
  QCOMPARE(QString::fromStdString(target->CheminImage), path);
  QCOMPARE(window.child<QLineEdit>("Edit1")->text(), QStringLiteral("Fichier image ") + path);
}

void JobTest::refusesFieldsThatAreNotSectorNumbers_data() {
  QTest::addColumn<int>("field");  // 0 first source, 1 first target, 2 count
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("label");
  const QString source = QStringLiteral("1er Secteur source");
  const QString target = QStringLiteral("1er Secteur cible");
  const QString count = QStringLiteral("Nombre de secteurs à copier");
  QTest::newRow("empty source") << 0 << "" << source;
  QTest::newRow("empty target") << 1 << "" << target;
  QTest::newRow("empty count") << 2 << "" << count;
  QTest::newRow("zero sectors") << 2 << "0" << count;
  QTest::newRow("beyond 64 bits") << 0 << "18446744073709551616" << source;
  QTest::newRow("offset beyond a file position") << 1 << "18014398509481984" << target;
}

void JobTest::refusesFieldsThatAreNotSectorNumbers() {
  QFETCH(int, field);
  QFETCH(QString, text);
  QFETCH(QString, label);
  WindowHarness window;
  const std::string target = window.dir.file("copie.img");
  PrepareCopyToFile(window, target);
  window.dialogs.messages.clear();
  const char* names[] = {"Edit_FirstSctSource", "Edit_FirstSctCible", "Edit_NBSctCopie"};
  window.child<QLineEdit>(names[field])->setText(text);
  Start(window);
  QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
  QCOMPARE(window.dialogs.messages[0].caption, kInvalid);
  QCOMPARE(window.dialogs.messages[0].style, std::uint32_t(0x1010));
  QVERIFY2(window.dialogs.messages[0].text.contains(QStringLiteral("« ") + label + " »"),
           qPrintable(window.dialogs.messages[0].text));
  QVERIFY(!std::filesystem::exists(target));
  QVERIFY(!std::filesystem::exists(window.dir.file("Rapport.txt")));
  QVERIFY(!window.form().JobActive());
  QVERIFY(window.child<QWidget>("Panel1")->isEnabled());
}

void JobTest::refusesToCopyAnImageOntoItself() {
  WindowHarness window;
  const std::string image = window.AddImage("source.img", 4096);
  std::filesystem::create_directory(window.dir.path() / "sub");
  QVERIFY(window.SelectImage());
  window.Trigger("ToolButton_Copy");
  QCOMPARE(window.child<QLineEdit>("Edit_NBSctCopie")->text(), QStringLiteral("4096"));
  window.dialogs.saveAnswers.push_back(
      QString::fromStdString(window.dir.file("sub/../source.img")));
  window.button("B_FILESource")->click();
  window.dialogs.messages.clear();
  Start(window);
  QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
  QCOMPARE(window.dialogs.messages[0].caption, kInvalid);
  QVERIFY(window.dialogs.messages[0].text.contains(QStringLiteral("l'image source elle-même")));
  QCOMPARE(std::filesystem::file_size(image), std::uintmax_t(4096 * 512));
}

void JobTest::withoutTargetNothingStarts() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  window.dialogs.messages.clear();
  Start(window);
  QVERIFY(window.dialogs.messages.empty());
  QVERIFY(!window.form().JobActive());
  QCOMPARE(window.button("Button_Traitement")->text(), QStringLiteral("Démarrer le traitement"));
}

void JobTest::checkRunsAndKeepsItsReport() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(window.SelectVolume(1, 2048));
  window.Trigger("ToolButton_Check");
  const std::string kept = window.dir.file("rapport-controle.txt");
  window.dialogs.saveAnswers.push_back(QString::fromStdString(kept));
  window.dialogs.messages.clear();
  window.dialogs.defaultYesNo = kalvorin::device::kIdYes;
  Start(window);
  QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
  QCOMPARE(window.dialogs.messages[0].text, QStringLiteral("Enregistrer le rapport ?"));
  QFile report(QString::fromStdString(kept));
  QVERIFY(report.open(QIODevice::ReadOnly));
  QVERIFY(report.readAll().contains("Contr"));
  QVERIFY(!std::filesystem::exists(window.dir.file("Rapport.txt")));
  // The job's last progress stays shown.
  QVERIFY(window.child<QLabel>("StatusBar1Panel1")->text().startsWith(QStringLiteral("Sct ")));
}

// The whole check of the demo machine's disk 2 (unreadable sectors 65536 to
// 65543), byte for byte, on every system the program is built for. Only the
// end line's date and time vary; they are checked for their form.
void JobTest::checkOfTheDemoDiskWritesTheExpectedReport() {
  WindowHarness window{WindowHarness::Demo{}};
  QVERIFY(window.SelectDisk(2));
  window.Trigger("ToolButton_Check");
  const std::string kept = window.dir.file("rapport-demo.txt");
  window.dialogs.saveAnswers.push_back(QString::fromStdString(kept));
  window.dialogs.defaultYesNo = kalvorin::device::kIdYes;
  Start(window);
  QVERIFY(!window.form().JobActive());
  QCOMPARE(window.dialogs.Texts(),
           (QStringList{QStringLiteral("Lecture du support au secteur 65536 impossible.\n\r"
                                       "Voulez_vous continuer ?"),
                        QStringLiteral("Enregistrer le rapport ?")}));

  QFile report(QString::fromStdString(kept));
  QVERIFY(report.open(QIODevice::ReadOnly));
  QByteArray bytes = report.readAll();
  const QByteArray endMark("\nFin du traitement -> le ");
  const qsizetype end = bytes.lastIndexOf(endMark);
  QVERIFY(end >= 0);
  const QRegularExpression endLine(QStringLiteral(
      "^\\nFin du traitement -> le \\d{1,2}/\\d{1,2}/\\d{4} \\x{E0} \\d{1,2}:\\d{1,2}\\n$"));
  QVERIFY2(endLine.match(QString::fromLatin1(bytes.mid(end))).hasMatch(),
           bytes.mid(end).constData());
  bytes.truncate(end);
  bytes += "\nFin du traitement -> le J/M/AAAA \xE0 H:M\n";

  QFile expected(qEnvironmentVariable("KALVORIN_SOURCE_DIR") +
                 QStringLiteral("/tests/ui/expected/demo-disk2-check.txt"));
  QVERIFY2(expected.open(QIODevice::ReadOnly), qPrintable(expected.fileName()));
  QCOMPARE(bytes, expected.readAll());
}

void JobTest::eraseAsksBeforeOverwriting() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(2));
  window.Trigger("ToolButton_Erase");
  window.dialogs.messages.clear();
  Start(window);  // told no
  QVERIFY(!window.dialogs.messages.empty());
  QVERIFY(window.dialogs.messages[0].text.contains(QStringLiteral("support N°2")));
  QCOMPARE(window.button("Button_Traitement")->text(), QStringLiteral("Démarrer le traitement"));
  QVERIFY(window.child<QWidget>("Panel1")->isEnabled());
}

void JobTest::stopWithTheButton() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(2));
  window.Trigger("ToolButton_Check");
  QAbstractButton* button = window.button("Button_Traitement");
  auto* toolbar = window.child<QToolBar>("ToolBar1");

  struct Seen {
    bool visited = false;
    bool toolbarEnabled = true, treeEnabled = true, panel2Enabled = false, checkBoxEnabled = false;
    QString runningText, afterStopText;
    bool runningAfterStop = true, buttonEnabledAfterStop = true, panel1EnabledAfterStop = true;
    bool panel1EnabledAtEnd = true;
    bool closed = true;
  } seen;
  // Runs at the job's first progress refresh.
  QTimer::singleShot(0, &window.form(), [&] {
    seen.visited = true;
    seen.toolbarEnabled = toolbar->isEnabled();
    seen.treeEnabled = window.tree().isEnabled();
    seen.panel2Enabled = window.child<QWidget>("Panel2")->isEnabled();
    seen.checkBoxEnabled = window.child<QCheckBox>("CheckBox_Erreur")->isEnabled();
    seen.runningText = button->text();
    seen.closed = window.form().close();
    QTest::mouseClick(button, Qt::LeftButton);
    seen.runningAfterStop = window.form().Job().TraitementEnCours;
    seen.afterStopText = button->text();
    seen.buttonEnabledAfterStop = button->isEnabled();
    seen.panel1EnabledAfterStop = window.child<QWidget>("Panel1")->isEnabled();
  });
  window.dialogs.onMessage = [&](const ShownBox&) -> std::optional<int> {
    seen.panel1EnabledAtEnd = window.child<QWidget>("Panel1")->isEnabled();
    button->click();  // harmless: the job still holds its report
    return kalvorin::device::kIdNo;
  };
  Start(window);

  QVERIFY(seen.visited);
  QVERIFY(!seen.closed);  // the window stays while the job holds its media
  QVERIFY(window.form().isVisible());
  QVERIFY(!seen.toolbarEnabled);
  QVERIFY(!seen.treeEnabled);
  QVERIFY(seen.panel2Enabled);
  QVERIFY(seen.checkBoxEnabled);
  QCOMPARE(seen.runningText, QStringLiteral("Arrêter le traitement"));
  QVERIFY(!seen.runningAfterStop);
  QCOMPARE(seen.afterStopText, QStringLiteral("Démarrer le traitement"));
  QVERIFY(!seen.buttonEnabledAfterStop);
  QVERIFY(!seen.panel1EnabledAfterStop);
  QVERIFY(!seen.panel1EnabledAtEnd);
  QCOMPARE(window.dialogs.Texts(), QStringList{QStringLiteral("Enregistrer le rapport ?")});
  // Stopped at the first refresh, before the block at 128 000.
  QVERIFY(window.child<QLabel>("StatusBar1Panel1")
              ->text()
              .startsWith(QStringLiteral("Sct 128000 / 1000000 - ")));

  QVERIFY(!window.form().JobActive());
  QVERIFY(toolbar->isEnabled());
  QVERIFY(window.tree().isEnabled());
  QVERIFY(button->isEnabled());
  QCOMPARE(button->text(), QStringLiteral("Démarrer le traitement"));
}

void JobTest::clicksDuringEndDialogsStartNothing() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(window.SelectVolume(2, 2048));
  window.Trigger("ToolButton_Check");
  QAbstractButton* button = window.button("Button_Traitement");
  int clicksAnswered = 0;
  bool activeAtEnd = false;
  window.dialogs.onMessage = [&](const ShownBox&) -> std::optional<int> {
    // The job has run to its end and asks about its report.
    activeAtEnd = window.form().JobActive();
    for (int i = 0; i < 3; ++i) button->click();
    ++clicksAnswered;
    return kalvorin::device::kIdNo;
  };
  Start(window);
  QVERIFY(activeAtEnd);
  QCOMPARE(clicksAnswered, 1);
  QCOMPARE(window.dialogs.Texts(), QStringList{QStringLiteral("Enregistrer le rapport ?")});
  QVERIFY(!window.form().JobActive());
  QVERIFY(button->isEnabled());
  QVERIFY(window.child<QWidget>("Panel1")->isEnabled());

  // The prepared job can be started again.
  Start(window);
  QCOMPARE(clicksAnswered, 2);
}

void JobTest::replacingTheTargetFileDuringACopy() {
  WindowHarness window;
  const std::string first = window.dir.file("premier.img");
  const std::string second = window.dir.file("second.img");
  PrepareCopyToFile(window, first);
  SetFields(window, QStringLiteral("999000"), QStringLiteral("0"), QStringLiteral("256"));
  window.dialogs.onMessage = [&](const ShownBox& box) -> std::optional<int> {
    if (!box.text.contains(QStringLiteral("999000"))) return kalvorin::device::kIdNo;
    // At the read error: the user picks another file, then goes on.
    window.dialogs.saveAnswers.push_back(QString::fromStdString(second));
    window.button("B_FILESource")->click();
    return kalvorin::device::kIdYes;
  };
  Start(window);
  QCOMPARE(window.child<QLineEdit>("Edit1")->text(),
           QStringLiteral("Fichier image ") + QString::fromStdString(second));
  // The running copy wrote its second block to the file it was started with.
  QVERIFY(std::filesystem::exists(first));
  QCOMPARE(std::filesystem::file_size(first), std::uintmax_t(256 * 512));
  QVERIFY(!std::filesystem::exists(second));
}

KALVORIN_UI_TEST(JobTest)
#include "JobTest.moc"
