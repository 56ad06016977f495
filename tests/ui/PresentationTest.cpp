// The presentation rules of the media tree and the copy-parameter checks:
// plain functions, no window.
#include <QTest>

#include "UiTests.h"
#include "jobs/CopyParameters.h"
#include "ui/TreePresentation.h"

using kalvorin::media::listeSupport;
using kalvorin::ui::TreeIcon;

namespace {

const std::string kDock = "201804";

listeSupport Record(int typeSupport, int typeVolume, const std::string& interface = "",
                    const std::string& idUsb = "") {
  listeSupport record;
  record.NumDisque = typeSupport == 1 ? 3 : kalvorin::media::kNoDisk;
  record.Libelle = "Libellé";
  record.NumSerie = "Série";
  record.TypeSupport = typeSupport;
  record.TypeVolume = typeVolume;
  record.TypeInterface = interface;
  record.IdUSB = idUsb;
  record.FirstSct = typeVolume != 0 && typeSupport == 1 ? 2048 : 0;
  record.NBSct = 204800;
  return record;
}

}  // namespace

Q_DECLARE_METATYPE(listeSupport*)
Q_DECLARE_METATYPE(TreeIcon)

class PresentationTest : public QObject {
  Q_OBJECT
 private slots:
  void rulesPerNodeKind_data();
  void rulesPerNodeKind();
  void columnsAndCaptions();
  void sectorFields_data();
  void sectorFields();
  void copyBoundaries();
};

void PresentationTest::rulesPerNodeKind_data() {
  QTest::addColumn<int>("typeSupport");
  QTest::addColumn<int>("typeVolume");
  QTest::addColumn<QString>("interface");
  QTest::addColumn<QString>("idUsb");
  QTest::addColumn<QStringList>("texts");  // columns 1 to 4
  QTest::addColumn<TreeIcon>("icon");
  QTest::addColumn<TreeIcon>("dialogIcon");
  QTest::addColumn<bool>("bold");
  QTest::addColumn<bool>("red");

  const QStringList diskTexts{"Série", "0", "204800", "3"};
  QTest::newRow("group header") << 0 << 0 << ""
                                << "" << QStringList{"Série", "", "", ""} << TreeIcon::Group
                                << TreeIcon::Group << false << false;
  QTest::newRow("internal disk") << 1 << 0 << "IDE"
                                 << "" << diskTexts << TreeIcon::Disk << TreeIcon::Disk << true
                                 << false;
  QTest::newRow("usb in lower case is no USB")
      << 1 << 0 << "usb"
      << "" << diskTexts << TreeIcon::Disk << TreeIcon::Disk << true << false;
  QTest::newRow("usb stick") << 1 << 0 << "USB"
                             << "4C5300" << diskTexts << TreeIcon::Usb << TreeIcon::Usb << true
                             << false;
  QTest::newRow("dock") << 1 << 0 << "USB"
                        << "201804" << diskTexts << TreeIcon::Dock << TreeIcon::Dock << true
                        << true;
  QTest::newRow("volume") << 1 << 6 << ""
                          << "" << QStringList{"Série", "2048", "204800", "3"} << TreeIcon::Volume
                          << TreeIcon::Volume << false << false;
  QTest::newRow("unrecognised volume") << 1 << 1 << ""
                                       << "" << QStringList{"Série", "2048", "204800", "3"}
                                       << TreeIcon::Volume << TreeIcon::Volume << false << false;
  QTest::newRow("image") << 2 << 1 << ""
                         << "" << QStringList{"Série", "0", "204800", ""} << TreeIcon::Image
                         << TreeIcon::Volume << false << false;
  QTest::newRow("copy-target file record") << 2 << 0 << ""
                                           << "" << QStringList{"Série", "0", "204800", ""}
                                           << TreeIcon::Image << TreeIcon::Disk << true << false;
  QTest::newRow("unknown kind") << 5 << 0 << ""
                                << "" << QStringList{"Série", "0", "204800", ""} << TreeIcon::Disk
                                << TreeIcon::Disk << true << false;
}

void PresentationTest::rulesPerNodeKind() {
  QFETCH(int, typeSupport);
  QFETCH(int, typeVolume);
  QFETCH(QString, interface);
  QFETCH(QString, idUsb);
  QFETCH(QStringList, texts);
  QFETCH(TreeIcon, icon);
  QFETCH(TreeIcon, dialogIcon);
  QFETCH(bool, bold);
  QFETCH(bool, red);
  const listeSupport record =
      Record(typeSupport, typeVolume, interface.toStdString(), idUsb.toStdString());
  QCOMPARE(QString::fromStdString(kalvorin::ui::CellText(record, 0)), QStringLiteral("Libellé"));
  for (int column = 1; column <= 4; ++column) {
    QCOMPARE(QString::fromStdString(kalvorin::ui::CellText(record, column)), texts[column - 1]);
  }
  QCOMPARE(kalvorin::ui::CellText(record, 5), std::string());
  QCOMPARE(kalvorin::ui::CellText(record, -1), std::string());
  QCOMPARE(kalvorin::ui::IconOf(record, kDock), icon);
  QCOMPARE(kalvorin::ui::DialogIconOf(record, kDock), dialogIcon);
  QCOMPARE(kalvorin::ui::RowStyleOf(record, kDock).bold, bold);
  QCOMPARE(kalvorin::ui::RowStyleOf(record, kDock).red, red);
}

void PresentationTest::columnsAndCaptions() {
  QCOMPARE(kalvorin::ui::kColumnCount, 5);
  const int widths[] = {350, 350, 125, 125, 62};
  const char* captions[] = {"", "N° Série / Volume Logique", "1er Secteur", "Nb Secteurs", "ID"};
  for (int column = 0; column < 5; ++column) {
    const auto* spec = kalvorin::ui::ColumnOf(column);
    QVERIFY(spec);
    QCOMPARE(spec->width, widths[column]);
    QCOMPARE(QString::fromUtf8(spec->caption), QString::fromUtf8(captions[column]));
    QCOMPARE(spec->centred, column == 4);
  }
  QVERIFY(!kalvorin::ui::ColumnOf(5));
  QVERIFY(!kalvorin::ui::ColumnOf(-1));
}

void PresentationTest::sectorFields_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<quint64>("value");
  QTest::newRow("zero") << "0" << true << quint64(0);
  QTest::newRow("leading zeros") << "00042" << true << quint64(42);
  QTest::newRow("exact beyond double precision")
      << "9007199254740993" << true << quint64(9007199254740993ULL);
  QTest::newRow("largest sector") << "18014398509481983" << true << quint64(18014398509481983ULL);
  QTest::newRow("one past the largest") << "18014398509481984" << false << quint64(0);
  QTest::newRow("beyond 64 bits") << "99999999999999999999999" << false << quint64(0);
  QTest::newRow("empty") << "" << false << quint64(0);
  QTest::newRow("sign") << "-1" << false << quint64(0);
  QTest::newRow("plus") << "+1" << false << quint64(0);
  QTest::newRow("decimal point") << "1.5" << false << quint64(0);
  QTest::newRow("exponent") << "1e6" << false << quint64(0);
  QTest::newRow("blank inside") << "12 3" << false << quint64(0);
}

void PresentationTest::sectorFields() {
  QFETCH(QString, text);
  QFETCH(bool, accepted);
  QFETCH(quint64, value);
  const auto read = kalvorin::jobs::ReadSectorField(text.toStdString());
  QCOMPARE(read.has_value(), accepted);
  if (accepted) QCOMPARE(quint64(*read), value);
}

void PresentationTest::copyBoundaries() {
  using kalvorin::jobs::FreeSpaceLargeEnough;
  using kalvorin::jobs::RangeWithinLimit;
  using kalvorin::jobs::TargetDiskLargeEnough;
  QVERIFY(TargetDiskLargeEnough(0, 999999, 1000000));
  QVERIFY(!TargetDiskLargeEnough(0, 1000000, 1000000));
  QVERIFY(TargetDiskLargeEnough(1, 999998, 1000000));
  QVERIFY(!TargetDiskLargeEnough(1000000, 0, 1000000));
  QVERIFY(!TargetDiskLargeEnough(UINT64_MAX, 2, 1000000));  // no wrap-around
  QVERIFY(!TargetDiskLargeEnough(2, UINT64_MAX, 1000000));
  QVERIFY(FreeSpaceLargeEnough(1073741824, 2097151));
  QVERIFY(!FreeSpaceLargeEnough(1073741824, 2097152));
  QVERIFY(!FreeSpaceLargeEnough(1073741824 + 511, 2097152));
  QVERIFY(RangeWithinLimit(kalvorin::jobs::kMaxSector - 10, 10));
  QVERIFY(!RangeWithinLimit(kalvorin::jobs::kMaxSector - 10, 11));
}

KALVORIN_UI_TEST(PresentationTest)
#include "PresentationTest.moc"
