// The target selection dialog: which media it offers, its result codes and
// what "Disque" does with them.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "UiHarness.h"
#include "UiTests.h"
#include "ui/Appearance.h"
#include "ui/TargetDialog.h"

using kalvorin::test::WindowHarness;
using kalvorin::ui::Form_SelSupportCbl;
using kalvorin::ui::TargetListModel;

namespace {

struct Offered {
  int disk;
  std::uint64_t first;
  bool volume;
};

QTreeView& ListOf(QDialog& dialog) { return *dialog.findChild<QTreeView*>("VST_SupportCbl"); }
TargetListModel& ModelOf(QDialog& dialog) {
  return *qobject_cast<TargetListModel*>(ListOf(dialog).model());
}

// The records listed under the heading, as (disk, first sector, volume).
std::vector<Offered> OfferedTargets(QDialog& dialog) {
  TargetListModel& model = ModelOf(dialog);
  std::vector<Offered> offered;
  const QModelIndex heading = model.index(0, 0);
  for (int row = 0; row < model.rowCount(heading); ++row) {
    const auto* record = model.RecordOf(model.index(row, 0, heading));
    offered.push_back({record->NumDisque, record->FirstSct, record->TypeVolume != 0});
  }
  return offered;
}

// Selects the listed record of `disk` starting at `first` (the disk itself
// for a volume flag false).
bool SelectOffered(QDialog& dialog, int disk, std::uint64_t first, bool volume) {
  TargetListModel& model = ModelOf(dialog);
  const QModelIndex heading = model.index(0, 0);
  for (int row = 0; row < model.rowCount(heading); ++row) {
    const QModelIndex index = model.index(row, 0, heading);
    const auto* record = model.RecordOf(index);
    if (record->NumDisque == disk && record->FirstSct == first &&
        (record->TypeVolume != 0) == volume) {
      ListOf(dialog).setCurrentIndex(index);
      return true;
    }
  }
  return false;
}

void Validate(QDialog& dialog) { dialog.findChild<QAction*>("ToolButton1")->trigger(); }

bool operator==(const Offered& a, const Offered& b) {
  return a.disk == b.disk && a.first == b.first && a.volume == b.volume;
}

}  // namespace

class TargetDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void layout();
  void offersNeitherSourceNorDock();
  void sourceVolumeExcludesItsWholeDisk();
  void dockNumberStaysExcludedAfterUnplugging();
  void neverOffersImages();
  void resultCodes();
  void refusesVolumes();
  void headingClosesWithoutAChoice();
  void presentation();
};

void TargetDialogTest::layout() {
  WindowHarness window;
  Form_SelSupportCbl& dialog = window.form().TargetDialog();
  QCOMPARE(dialog.objectName(), QStringLiteral("Form_SelSupportCbl"));
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Sélection du support cible"));
  QCOMPARE(dialog.minimumSize(), QSize(1016, 362));
  QCOMPARE(dialog.maximumSize(), QSize(1016, 362));
  QCOMPARE(dialog.toolTip(), QStringLiteral("Valider la sélection du support cible"));
  QVERIFY(dialog.findChild<QWidget*>("ToolBar1"));
  auto* button = dialog.findChild<QToolButton*>("ToolButton1");
  QVERIFY(button);
  QCOMPARE(button->toolTip(), QStringLiteral("Valider"));
  QCOMPARE(button->size(), QSize(39, 38));
  QVERIFY(dialog.isHidden());
}

void TargetDialogTest::offersNeitherSourceNorDock() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  std::vector<Offered> offered;
  QString heading;
  window.dialogs.onModal = [&](QDialog& dialog) {
    offered = OfferedTargets(dialog);
    heading = ModelOf(dialog).index(0, 0).data().toString();
    QVERIFY(ListOf(dialog).isExpanded(ModelOf(dialog).index(0, 0)));
  };
  window.button("B_HDSource")->click();
  QCOMPARE(heading, QStringLiteral("Support(s) connecté(s)"));
  // Disk 0 holds the program, 1 is the source, 3 the dock: only disk 2 and
  // its volume, in the tree's order.
  const std::vector<Offered> expected{{2, 0, false}, {2, 2048, true}};
  QVERIFY(offered == expected);
}

void TargetDialogTest::sourceVolumeExcludesItsWholeDisk() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(window.SelectVolume(2, 2048));
  window.Trigger("ToolButton_Copy");
  std::vector<Offered> offered;
  window.dialogs.onModal = [&](QDialog& dialog) { offered = OfferedTargets(dialog); };
  window.button("B_HDSource")->click();
  const std::vector<Offered> expected{{1, 0, false}, {1, 2048, true}, {1, 206848, true}};
  QVERIFY(offered == expected);
}

void TargetDialogTest::dockNumberStaysExcludedAfterUnplugging() {
  WindowHarness window;
  window.machine.RemoveDisk(3);
  window.Rewrite();
  window.Trigger("ToolButton_Refresh");
  window.machine.AddDisk(3, 300000).Smart("OTHER DISK", "OTHER1");
  window.Rewrite();
  window.Trigger("ToolButton_Refresh");
  QCOMPARE(window.form().State().NumDisqueDock, 3);
  QVERIFY(window.SelectDisk(3));  // listed in the main tree...
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  std::vector<Offered> offered;
  window.dialogs.onModal = [&](QDialog& dialog) { offered = OfferedTargets(dialog); };
  window.button("B_HDSource")->click();
  const std::vector<Offered> expected{{2, 0, false}};  // ...but never a target
  QVERIFY(offered == expected);
}

void TargetDialogTest::neverOffersImages() {
  WindowHarness window;
  window.AddImage("one.img", 2048);
  QVERIFY(window.SelectImage());
  window.Trigger("ToolButton_Copy");
  std::vector<Offered> offered;
  window.dialogs.onModal = [&](QDialog& dialog) { offered = OfferedTargets(dialog); };
  window.button("B_HDSource")->click();
  // From an image every disk but the program's and the dock's is offered.
  const std::vector<Offered> expected{{1, 0, false}, {2, 0, false}};
  QVERIFY(offered == expected);
}

void TargetDialogTest::resultCodes() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  Form_SelSupportCbl& dialog = window.form().TargetDialog();
  auto* edit = window.child<QLineEdit>("Edit1");

  window.dialogs.onModal = [](QDialog& shown) {
    QVERIFY(SelectOffered(shown, 2, 0, false));
    Validate(shown);
  };
  QCOMPARE(dialog.Execute(window.form().Job().SupportSource), kalvorin::ui::kTargetOk);
  QCOMPARE(dialog.SupportSelectionne()->NumDisque, 2);
  window.button("B_HDSource")->click();
  QCOMPARE(window.form().Job().SupportCible, dialog.SupportSelectionne());
  QCOMPARE(edit->text(), QStringLiteral("Support N°2 - ") +
                             QString::fromStdString(dialog.SupportSelectionne()->Libelle));

  // Nothing selected: 7, and the choice is kept.
  window.dialogs.onModal = [](QDialog& shown) { Validate(shown); };
  QCOMPARE(dialog.Execute(window.form().Job().SupportSource), kalvorin::ui::kTargetNone);
  window.button("B_HDSource")->click();
  QCOMPARE(window.form().Job().SupportCible, dialog.SupportSelectionne());
  QVERIFY(edit->text().startsWith(QStringLiteral("Support N°2 - ")));

  // Closed by its close box.
  window.dialogs.onModal = {};
  QCOMPARE(dialog.Execute(window.form().Job().SupportSource), kalvorin::ui::kTargetCancel);

  // A double click on the list validates like the button: on a row...
  window.dialogs.onModal = [](QDialog& shown) {
    QTreeView& list = ListOf(shown);
    QVERIFY(SelectOffered(shown, 2, 0, false));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                       list.visualRect(list.currentIndex()).center());
  };
  QCOMPARE(dialog.Execute(window.form().Job().SupportSource), kalvorin::ui::kTargetOk);
  QCOMPARE(dialog.SupportSelectionne()->NumDisque, 2);
  // ...and on its empty part, with nothing selected: 7.
  window.dialogs.onModal = [](QDialog& shown) {
    QTreeView& list = ListOf(shown);
    const QPoint empty(list.viewport()->width() / 2, list.viewport()->height() - 5);
    QVERIFY(!list.indexAt(empty).isValid());
    QVERIFY(list.selectionModel()->selectedRows().isEmpty());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, empty);
  };
  QCOMPARE(dialog.Execute(window.form().Job().SupportSource), kalvorin::ui::kTargetNone);

  // A new copy command forgets the target.
  window.Trigger("ToolButton_Copy");
  QVERIFY(edit->text().isEmpty());
  QVERIFY(!window.form().Job().SupportCible);
  QVERIFY(window.dialogs.messages.empty());
}

void TargetDialogTest::refusesVolumes() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  bool refusedWhileOpen = false;
  window.dialogs.onModal = [&](QDialog& shown) {
    QVERIFY(SelectOffered(shown, 2, 2048, true));
    Validate(shown);
    refusedWhileOpen = shown.result() == 0 && shown.isVisible();
  };
  window.button("B_HDSource")->click();
  QVERIFY(refusedWhileOpen);
  QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
  QVERIFY(window.dialogs.messages[0].text.contains(QStringLiteral("disque")));
  QCOMPARE(window.dialogs.messages[0].caption, QStringLiteral("AVERTISSEMENT Sélection support"));
  QVERIFY(!window.form().Job().SupportCible);
  QVERIFY(window.child<QLineEdit>("Edit1")->text().isEmpty());
}

void TargetDialogTest::headingClosesWithoutAChoice() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  Form_SelSupportCbl& dialog = window.form().TargetDialog();
  const auto validateHeading = [](QDialog& shown) {
    ListOf(shown).setCurrentIndex(ModelOf(shown).index(0, 0));
    Validate(shown);
  };
  window.dialogs.onModal = validateHeading;
  QCOMPARE(dialog.Execute(window.form().Job().SupportSource), kalvorin::ui::kTargetOk);
  QVERIFY(!dialog.SupportSelectionne());

  // Through "Disque", with a target chosen before: it is kept as it was.
  window.dialogs.onModal = [](QDialog& shown) {
    QVERIFY(SelectOffered(shown, 2, 0, false));
    Validate(shown);
  };
  window.button("B_HDSource")->click();
  const kalvorin::media::listeSupport* chosen = window.form().Job().SupportCible;
  QVERIFY(chosen && chosen->NumDisque == 2);
  const QString shown = window.child<QLineEdit>("Edit1")->text();
  window.dialogs.onModal = validateHeading;
  window.button("B_HDSource")->click();
  QCOMPARE(window.form().Job().SupportCible, chosen);
  QCOMPARE(window.child<QLineEdit>("Edit1")->text(), shown);
  QVERIFY(window.dialogs.messages.empty());
}

void TargetDialogTest::presentation() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(window.SelectDisk(3));  // the dock as source: both other disks offered
  window.Trigger("ToolButton_Copy");
  window.dialogs.onModal = [&](QDialog& shown) {
    TargetListModel& model = ModelOf(shown);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QModelIndex heading = model.index(0, 0);
    QCOMPARE(heading.data(kalvorin::ui::kIconNameRole).toString(), QStringLiteral("tree-group"));
    QVERIFY(!heading.data(Qt::FontRole).value<QFont>().bold());
    for (int row = 0; row < model.rowCount(heading); ++row) {
      const QModelIndex index = model.index(row, 0, heading);
      const auto* record = model.RecordOf(index);
      const bool volume = record->TypeVolume != 0;
      const QString icon = volume                   ? QStringLiteral("tree-volume")
                           : record->NumDisque == 2 ? QStringLiteral("tree-usb")
                                                    : QStringLiteral("tree-disk");
      QCOMPARE(index.data(kalvorin::ui::kIconNameRole).toString(), icon);
      QCOMPARE(index.data(Qt::FontRole).value<QFont>().bold(), !volume);
      QCOMPARE(model.index(row, 4, heading).data().toString(), QString::number(record->NumDisque));
    }
    QCOMPARE(ListOf(shown).visualRect(heading).height(), 32);
  };
  window.button("B_HDSource")->click();
}

KALVORIN_UI_TEST(TargetDialogTest)
#include "TargetDialogTest.moc"
