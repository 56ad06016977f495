// The real message box: French buttons, the icon of the style, the answer
// codes, and the line breaks of the texts.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include "UiTests.h"
#include "device/WindowsLayouts.h"
#include "ui/DialogService.h"
#include "ui/StartUp.h"

namespace {

struct Seen {
  QStringList buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text, title;
};

// Shows a box with `style`, clicks the button labelled `click`, returns the answer.
int Answer(std::uint32_t style, const QString& click, Seen& seen) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen.icon = box->icon();
    seen.text = box->text();
    seen.title = box->windowTitle();
    QAbstractButton* target = nullptr;
    for (QAbstractButton* button : box->buttons()) {
      seen.buttons << button->text();
      if (button->text() == click) target = button;
    }
    if (target) target->click();
  });
  kalvorin::ui::QtDialogService dialogs;
  return dialogs.MessageBox(QStringLiteral("Lecture impossible.\n\rVoulez_vous continuer ?"),
                            QStringLiteral("ID2 - ERREUR DISQUE"), style);
}

}  // namespace

class DialogServiceTest : public QObject {
  Q_OBJECT
 private slots:
  void frenchButtonsAndAnswers();
  void lineBreaks();
  void saveDialogInFrench();
};

void DialogServiceTest::frenchButtonsAndAnswers() {
  using namespace kalvorin::device;
  Seen seen;
  QCOMPARE(Answer(kMbYesNo | kMbIconError | kMbSystemModal, QStringLiteral("Non"), seen), kIdNo);
  QCOMPARE(seen.buttons.size(), 2);
  QVERIFY(seen.buttons.contains(QStringLiteral("Oui")) &&
          seen.buttons.contains(QStringLiteral("Non")));
  QCOMPARE(seen.icon, QMessageBox::Critical);
  QCOMPARE(seen.title, QStringLiteral("ID2 - ERREUR DISQUE"));
  QCOMPARE(seen.text, QStringLiteral("Lecture impossible.\nVoulez_vous continuer ?"));

  seen = {};
  QCOMPARE(Answer(kMbYesNo | kMbIconWarning, QStringLiteral("Oui"), seen), kIdYes);
  QCOMPARE(seen.icon, QMessageBox::Warning);

  seen = {};
  QCOMPARE(Answer(kMbYesNo | kMbIconQuestion, QStringLiteral("Oui"), seen), kIdYes);
  QCOMPARE(seen.icon, QMessageBox::Question);

  seen = {};
  QCOMPARE(Answer(kMbIconWarning, QStringLiteral("OK"), seen), kIdOk);
  QCOMPARE(seen.buttons, QStringList{QStringLiteral("OK")});
}

void DialogServiceTest::lineBreaks() {
  using kalvorin::ui::MessageLines;
  QCOMPARE(MessageLines(QStringLiteral("a.\rb ?")), QStringLiteral("a.\nb ?"));
  QCOMPARE(MessageLines(QStringLiteral("a.\n\rb ?")), QStringLiteral("a.\nb ?"));
  QCOMPARE(MessageLines(QStringLiteral("a.\r\nb\nc")), QStringLiteral("a.\nb\nc"));
}

// Qt's own save dialog (the one this program uses outside Windows), with
// Qt's French catalogue installed as the program does at start-up.
void DialogServiceTest::saveDialogInFrench() {
  QTranslator qtFrench;
  QVERIFY2(kalvorin::ui::InstallQtFrenchTranslation(qtFrench),
           "Qt's French catalogue qtbase_fr.qm is missing (Debian: qt6-translations-l10n)");
  QStringList seen;
  bool nonNative = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
      auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
      seen << (label ? label->text() : QStringLiteral("(absent)"));
    }
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    if (buttons) {
      seen << buttons->button(QDialogButtonBox::Save)->text()
           << buttons->button(QDialogButtonBox::Cancel)->text();
    }
    dialog->reject();
  });
  kalvorin::ui::QtDialogService dialogs;
  const std::optional<QString> chosen = dialogs.SaveFile(
      {QStringLiteral("Sélection du fichier image"), QStringLiteral("Image disque|*.img"),
       QStringLiteral("img"), QString(), true});
  QApplication::removeTranslator(&qtFrench);
  QVERIFY(!chosen);
  QVERIFY(nonNative);
  QCOMPARE(seen, (QStringList{QStringLiteral("Voir dans :"), QStringLiteral("&Nom de fichier :"),
                              QStringLiteral("Fichiers de type :"), QStringLiteral("&Enregistrer"),
                              QStringLiteral("Annuler")}));
}

KALVORIN_UI_TEST(DialogServiceTest)
#include "DialogServiceTest.moc"
