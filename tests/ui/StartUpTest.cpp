// The command line, the --help text and the offer of the demo machine to a
// user without administrator rights.
#include <QTest>

#include "UiHarness.h"
#include "UiTests.h"
#include "ui/StartUp.h"

using kalvorin::ui::StartOptions;

class StartUpTest : public QObject {
  Q_OBJECT
 private slots:
  void commandLine_data();
  void commandLine();
  void helpText();
  void demoMachineOffered();
};

void StartUpTest::commandLine_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("machine");
  QTest::addColumn<bool>("demo");
  QTest::addColumn<bool>("help");
  QTest::addColumn<bool>("version");
  QTest::addColumn<QString>("error");
  const QString unknown = QStringLiteral(
      "Option inconnue ou incomplète : %1\n\nUtilisation : kalvorin [--demo | --machine DOSSIER]");
  const QString both = QStringLiteral("Choisir --demo ou --machine, pas les deux.");
  QTest::newRow("real disks") << QStringList{} << QString() << false << false << false << QString();
  QTest::newRow("demo") << QStringList{"--demo"} << QString() << true << false << false
                        << QString();
  QTest::newRow("single dash") << QStringList{"-demo"} << QString() << true << false << false
                               << QString();
  QTest::newRow("machine") << QStringList{"--machine", "/srv/m 1"} << "/srv/m 1" << false << false
                           << false << QString();
  QTest::newRow("machine=") << QStringList{"--machine=/srv/m"} << "/srv/m" << false << false
                            << false << QString();
  QTest::newRow("help") << QStringList{"--help"} << QString() << false << true << false
                        << QString();
  QTest::newRow("-h") << QStringList{"-h"} << QString() << false << true << false << QString();
  QTest::newRow("version") << QStringList{"--version"} << QString() << false << false << true
                           << QString();
  QTest::newRow("-v") << QStringList{"-v"} << QString() << false << false << true << QString();
  QTest::newRow("help with an unknown option") << QStringList{"--bogus", "--help"} << QString()
                                               << false << true << false << unknown.arg("--bogus");
  QTest::newRow("unknown") << QStringList{"--demo", "--bogus=1"} << QString() << true << false
                           << false << unknown.arg("--bogus=1");
  QTest::newRow("value missing") << QStringList{"--machine"} << QString() << false << false << false
                                 << unknown.arg("--machine");
  QTest::newRow("empty value") << QStringList{"--machine", ""} << QString() << false << false
                               << false << unknown.arg("--machine");
  QTest::newRow("argument") << QStringList{"disque.img"} << QString() << false << false << false
                            << unknown.arg("disque.img");
  QTest::newRow("both") << QStringList{"--demo", "--machine", "m"} << "m" << true << false << false
                        << both;
}

void StartUpTest::commandLine() {
  QFETCH(QStringList, arguments);
  arguments.prepend(QStringLiteral("kalvorin"));
  const StartOptions options = kalvorin::ui::ReadStartOptions(arguments);
  QTEST(options.machine, "machine");
  QTEST(options.demo, "demo");
  QTEST(options.help, "help");
  QTEST(options.version, "version");
  QTEST(options.error, "error");
}

void StartUpTest::helpText() {
  const QString help = kalvorin::ui::StartHelpText();
  for (const char* expected : {"--demo", "--machine <DOSSIER>", "--version", "--help",
                               "Ouvre la machine de démonstration", "administrateur"}) {
    QVERIFY2(help.contains(QString::fromUtf8(expected)), expected);
  }
  QVERIFY(!help.contains(QStringLiteral("--screenshot")));
  QVERIFY(kalvorin::ui::StartVersionText().contains(QStringLiteral("Kalvorin 2, version ")));
}

void StartUpTest::demoMachineOffered() {
  using namespace kalvorin::device;
  for (const int answer : {kIdYes, kIdNo}) {
    kalvorin::test::ScriptedDialogs dialogs;
    dialogs.defaultYesNo = answer;
    QCOMPARE(kalvorin::ui::OfferDemoMachine(dialogs), answer == kIdYes);
    QCOMPARE(dialogs.messages.size(), 1u);
    const kalvorin::test::ShownBox& box = dialogs.messages.front();
    QVERIFY(box.text.contains(QStringLiteral("administrateur pour voir les disques réels")));
    QVERIFY(box.text.contains(QStringLiteral("kalvorin-admin")));
    QVERIFY(
        box.text.endsWith(QStringLiteral("Ouvrir la machine de démonstration (disques "
                                         "simulés) à la place ?")));
    QCOMPARE(box.style & 0xFFu, kMbYesNo | kMbIconWarning);
  }
}

KALVORIN_UI_TEST(StartUpTest)
#include "StartUpTest.moc"
