// The main window on a simulated machine: layout, the tree as shown, the
// list commands and the selection change.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "UiHarness.h"
#include "UiTests.h"
#include "ui/Appearance.h"
#include "ui/MediaTreeModel.h"

using kalvorin::test::WindowHarness;

namespace {

struct ShownRow {
  QStringList texts;
  QString icon;
  bool bold = false;
  bool red = false;
};

ShownRow RowAt(const QAbstractItemModel& model, const QModelIndex& first) {
  ShownRow row;
  for (int column = 0; column < model.columnCount(first.parent()); ++column) {
    row.texts << model.index(first.row(), column, first.parent()).data().toString();
  }
  row.icon = first.data(kalvorin::ui::kIconNameRole).toString();
  row.bold = first.data(Qt::FontRole).value<QFont>().bold();
  const QVariant foreground = first.data(Qt::ForegroundRole);
  row.red = foreground.isValid() && foreground.value<QBrush>().color() == QColor(255, 0, 0);
  return row;
}

// Pixels of `area` of the tree's viewport, as drawn, that satisfy `match`.
int CountPixels(QTreeView& tree, const QRect& area, const std::function<bool(QColor)>& match) {
  const QImage image = tree.viewport()->grab().toImage();
  int count = 0;
  for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y) {
    for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x) {
      if (match(image.pixelColor(x, y))) ++count;
    }
  }
  return count;
}

// The indentation column just left of a row's first cell, where the lines
// to that row are drawn.
QRect BranchColumn(QTreeView& tree, const QModelIndex& index) {
  const QRect cell = tree.visualRect(index);
  return QRect(cell.left() - tree.indentation(), cell.top(), tree.indentation(), cell.height());
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void startsWithItsLayout();
  void readsTheTree();
  void modelStaysConsistent();
  void toggleShowsAndRemovesVolumes();
  void imageCommand();
  void selectionChangeClearsThePanel();
  void addingAnImageKeepsWhatTheUserCollapsed();
  void dockRowStaysRedWhenSelected();
  void treeLinesJoinTheNodes();
  void copyCaptionsEndBeforeTheirFields();
  void commandsPerNodeKind_data();
  void commandsPerNodeKind();
};

void MainWindowTest::startsWithItsLayout() {
  WindowHarness window;
  kalvorin::ui::Form1& form = window.form();
  QCOMPARE(form.objectName(), QStringLiteral("Form1"));
  QCOMPARE(form.windowTitle(), QStringLiteral("Kalvorin 2"));
  QCOMPARE(form.minimumSize(), QSize(1018, 561));
  QCOMPARE(form.maximumSize(), QSize(1018, 561));
  QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));

  const char* names[] = {"VST_Support",
                         "ToolBar1",
                         "Panel1",
                         "Panel2",
                         "Label_SupportSource",
                         "GroupBox1",
                         "CheckBox_Erreur",
                         "Button_Traitement",
                         "GroupBox_SelSupportCible",
                         "B_HDSource",
                         "B_FILESource",
                         "Label2",
                         "Edit1",
                         "GroupBox_ParamCopie",
                         "Label3",
                         "Label4",
                         "Label5",
                         "Edit_FirstSctSource",
                         "Edit_FirstSctCible",
                         "Edit_NBSctCopie",
                         "StatusBar1",
                         "ProgressBar1"};
  for (const char* name : names) QVERIFY2(window.child<QWidget>(name), name);

  const std::pair<const char*, const char*> tools[] = {
      {"ToolButton_Refresh", "Rafraîchir la liste des supports"},
      {"ToolButton_DetectPartition", "Détection des volumes logiques"},
      {"ToolButton_AddImg", "Ajouter une image disque"},
      {"ToolButton_Check", "Contrôler l'intégrité du support"},
      {"ToolButton_Copy", "Copier le support"},
      {"ToolButton_Erase", "Formater le support"}};
  QToolBar* toolbar = window.child<QToolBar>("ToolBar1");
  QStringList order;
  for (QAction* action : toolbar->actions()) {
    order << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
  }
  QCOMPARE(order, (QStringList{"ToolButton_Refresh", "|", "ToolButton_DetectPartition", "|",
                               "ToolButton_AddImg", "|", "ToolButton_Check", "ToolButton_Copy",
                               "ToolButton_Erase"}));
  for (const auto& [name, tip] : tools) {
    auto* action = window.child<QAction>(name);
    auto* button = window.child<QToolButton>(name);
    QVERIFY2(action && button, name);
    QCOMPARE(action->toolTip(), QString::fromUtf8(tip));
    QCOMPARE(button->size(), QSize(55, 54));
    QCOMPARE(toolbar->widgetForAction(action), button);
  }

  QVERIFY(window.child<QWidget>("Panel2")->isHidden());
  QCOMPARE(window.child<QProgressBar>("ProgressBar1")->value(), 0);
  QCOMPARE(window.child<QProgressBar>("ProgressBar1")->maximum(), 100);
  QCOMPARE(window.child<QProgressBar>("ProgressBar1")->width(), 600);
  QVERIFY(window.child<QLabel>("StatusBar1Panel1")->text().isEmpty());
  QVERIFY(window.tree().selectionModel()->selectedRows().isEmpty());
  QVERIFY(!window.child<QCheckBox>("CheckBox_Erreur")->isChecked());
  QCOMPARE(window.child<QPushButton>("Button_Traitement")->text(),
           QStringLiteral("Démarrer le traitement"));
  QCOMPARE(window.child<QGroupBox>("GroupBox1")->title(), QStringLiteral("Paramètre"));
  QVERIFY(window.child<QGroupBox>("GroupBox1")->font().bold());
  QVERIFY(!window.child<QCheckBox>("CheckBox_Erreur")->font().bold());
  QVERIFY(window.dialogs.messages.empty());
}

void MainWindowTest::readsTheTree() {
  WindowHarness window;
  QTreeView& tree = window.tree();
  const QAbstractItemModel& model = *tree.model();
  QCOMPARE(model.rowCount(), 1);
  const QModelIndex supports = model.index(0, 0);
  QVERIFY(tree.isExpanded(supports));
  const ShownRow header = RowAt(model, supports);
  QCOMPARE(header.texts, (QStringList{"Support(s) connecté(s)", "", "", "", ""}));
  QCOMPARE(header.icon, QStringLiteral("tree-group"));
  QVERIFY(!header.bold && !header.red);

  // Disk 0 holds the program: never listed.
  QCOMPARE(model.rowCount(supports), 3);
  const ShownRow internal = RowAt(model, model.index(0, 0, supports));
  QCOMPARE(internal.texts,
           (QStringList{"WDC WD10EZEX-08WN4A0", " S/N : WD-WCC6Y1234567", "0", "1000000", "1"}));
  QCOMPARE(internal.icon, QStringLiteral("tree-disk"));
  QVERIFY(internal.bold && !internal.red);

  const ShownRow stick = RowAt(model, model.index(1, 0, supports));
  QCOMPARE(stick.texts.mid(2), (QStringList{"0", "1000000", "2"}));
  QCOMPARE(stick.icon, QStringLiteral("tree-usb"));
  QVERIFY(stick.bold && !stick.red);

  const ShownRow dock = RowAt(model, model.index(2, 0, supports));
  QCOMPARE(dock.texts.mid(1),
           (QStringList{"DOCK For MORVESTANIX (Protégé en écriture)", "0", "500000", "3"}));
  QCOMPARE(dock.icon, QStringLiteral("tree-dock"));
  QVERIFY(dock.bold && dock.red);

  QCOMPARE(model.index(2, 4, supports).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHCenter,
           Qt::AlignHCenter);
  QVERIFY(model.index(0, 1, supports).data(Qt::DecorationRole).isNull());
  QVERIFY(!model.index(0, 0, supports).data(Qt::DecorationRole).value<QIcon>().isNull());

  const QStringList captions{"", "N° Série / Volume Logique", "1er Secteur", "Nb Secteurs", "ID"};
  const int widths[] = {350, 350, 125, 125, 62};
  for (int column = 0; column < 5; ++column) {
    QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), captions[column]);
    QCOMPARE(tree.header()->sectionSize(column), widths[column]);
  }
  QVERIFY(tree.header()->sectionsMovable());
  QVERIFY(!tree.header()->stretchLastSection());
  QCOMPARE(tree.visualRect(model.index(0, 0, supports)).height(), 32);
  QCOMPARE(tree.selectionMode(), QAbstractItemView::SingleSelection);
}

void MainWindowTest::modelStaysConsistent() {
  WindowHarness window;
  QAbstractItemModelTester tester(&window.form().TreeModel(),
                                  QAbstractItemModelTester::FailureReportingMode::QtTest);
  window.Trigger("ToolButton_Refresh");
  window.Trigger("ToolButton_DetectPartition");
  window.AddImage("one.img", 2048);
  window.AddImage("two.img", 4096);
  QVERIFY(window.SelectVolume(1, 206848));
  window.Trigger("ToolButton_DetectPartition");
  window.Trigger("ToolButton_Refresh");
}

void MainWindowTest::toggleShowsAndRemovesVolumes() {
  WindowHarness window;
  window.AddImage("one.img", 2048);
  const auto& state = window.form().State();
  QCOMPARE(state.tree.TopLevel().size(), std::size_t(2));

  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(state.DetectionVolumes);
  QCOMPARE(state.tree.TopLevel().size(), std::size_t(1));  // images are gone
  const auto& disk1 = *state.tree.TopLevel()[0]->children[0];
  QCOMPARE(disk1.children.size(), std::size_t(2));
  QCOMPARE(disk1.children[0]->record->FirstSct, std::uint64_t(2048));
  QCOMPARE(disk1.children[1]->record->FirstSct, std::uint64_t(206848));
  const QModelIndex volume = window.form().TreeModel().IndexOf(disk1.children[0].get());
  QVERIFY(window.tree().isExpanded(volume.parent()));
  const ShownRow row = RowAt(*window.tree().model(), volume);
  QCOMPARE(row.icon, QStringLiteral("tree-volume"));
  QVERIFY(!row.bold && !row.red);
  QCOMPARE(row.texts.mid(2), (QStringList{"2048", "204800", "1"}));

  window.Trigger("ToolButton_DetectPartition");
  QVERIFY(!state.DetectionVolumes);
  QVERIFY(state.tree.TopLevel()[0]->children[0]->children.empty());
}

void MainWindowTest::imageCommand() {
  WindowHarness window;
  window.Trigger("ToolButton_AddImg");  // cancelled: nothing changes
  QCOMPARE(window.form().State().tree.TopLevel().size(), std::size_t(1));
  const kalvorin::ui::SaveFileRequest& request = window.dialogs.saveRequests.back();
  QCOMPARE(request.title, QStringLiteral("Sélection du fichier image"));
  QCOMPARE(request.filter, QStringLiteral("Image disque|*.img"));
  QCOMPARE(request.defaultSuffix, QStringLiteral("img"));
  QCOMPARE(kalvorin::ui::ToQtFilter(request.filter), QStringLiteral("Image disque (*.img)"));

  const std::string path = window.AddImage("one.img", 2048);
  window.AddImage("two.img", 1);
  const QAbstractItemModel& model = *window.tree().model();
  QCOMPARE(model.rowCount(), 2);
  const QModelIndex images = model.index(1, 0);
  QCOMPARE(images.data().toString(), QStringLiteral("Image(s) connecté(s)"));
  QVERIFY(window.tree().isExpanded(images));
  QCOMPARE(model.rowCount(images), 2);
  const ShownRow image = RowAt(model, model.index(0, 0, images));
  QCOMPARE(image.texts,
           (QStringList{QString::fromStdString(path.substr(1)), "Image Disque", "0", "2048", ""}));
  QCOMPARE(image.icon, QStringLiteral("tree-image"));
  QVERIFY(!image.bold && !image.red);
  // The dialog opens on the name it held last.
  QCOMPARE(window.dialogs.saveRequests.back().fileName,
           QString::fromStdString(window.dir.file("one.img")));
}

void MainWindowTest::selectionChangeClearsThePanel() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Check");
  QWidget* panel = window.child<QWidget>("Panel2");
  QVERIFY(!panel->isHidden());
  window.form().SetProgress(40);
  window.form().SetStatusText("Sct 1 / 2");
  QVERIFY(window.SelectDisk(2));
  QVERIFY(panel->isHidden());
  QCOMPARE(window.child<QProgressBar>("ProgressBar1")->value(), 0);
  QVERIFY(window.child<QLabel>("StatusBar1Panel1")->text().isEmpty());

  window.Trigger("ToolButton_Check");
  window.form().SetProgress(40);
  window.Trigger("ToolButton_Refresh");
  QVERIFY(panel->isHidden());
  QCOMPARE(window.child<QProgressBar>("ProgressBar1")->value(), 0);
}

void MainWindowTest::addingAnImageKeepsWhatTheUserCollapsed() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QTreeView& tree = window.tree();
  const auto& model = window.form().TreeModel();
  const auto& supports = *window.form().State().tree.TopLevel()[0];
  const kalvorin::media::MediaNode* disk1 = supports.children[0].get();
  const kalvorin::media::MediaNode* disk2 = supports.children[1].get();
  QVERIFY(tree.isExpanded(model.IndexOf(disk1)) && tree.isExpanded(model.IndexOf(disk2)));

  // The user collapses disk 1 with a click on its arrow.
  const QRect arrow = BranchColumn(tree, model.IndexOf(disk1));
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, arrow.center());
  QVERIFY(!tree.isExpanded(model.IndexOf(disk1)));

  window.AddImage("one.img", 2048);
  QVERIFY(!tree.isExpanded(model.IndexOf(disk1)));
  QVERIFY(tree.isExpanded(model.IndexOf(disk2)));
  QVERIFY(tree.isExpanded(model.IndexOf(&supports)));
  const auto* images = window.form().State().NoeudImages;
  QVERIFY(tree.isExpanded(model.IndexOf(images)));

  // Opened again, it stays open at the next image.
  tree.expand(model.IndexOf(disk1));
  window.AddImage("two.img", 2048);
  QVERIFY(tree.isExpanded(model.IndexOf(disk1)));
  QCOMPARE(images->children.size(), std::size_t(2));
}

void MainWindowTest::dockRowStaysRedWhenSelected() {
  WindowHarness window;
  QTreeView& tree = window.tree();
  QVERIFY(window.SelectDisk(3));
  const QModelIndex dock = tree.currentIndex();
  // Columns 1 to 4: texts only (the dock's icon is orange).
  const QRect row =
      tree.visualRect(dock.siblingAtColumn(1))
          .united(tree.visualRect(dock.siblingAtColumn(kalvorin::ui::kColumnCount - 1)));
  const QColor highlight = tree.palette().color(QPalette::Active, QPalette::Highlight);
  const int background = CountPixels(tree, row, [&](QColor c) {
    return c == highlight || c == tree.palette().color(QPalette::Inactive, QPalette::Highlight);
  });
  QVERIFY2(background > row.width() * row.height() / 2, "the row is drawn selected");
  const int red = CountPixels(
      tree, row, [](QColor c) { return c.red() >= 200 && c.green() <= 80 && c.blue() <= 80; });
  QVERIFY2(red > 30, qPrintable(QStringLiteral("%1 red pixels").arg(red)));

  // Another selected disk is drawn in the highlighted-text colour.
  QVERIFY(window.SelectDisk(1));
  const QRect other = tree.visualRect(tree.currentIndex().siblingAtColumn(1));
  QCOMPARE(
      CountPixels(tree, other,
                  [](QColor c) { return c.red() >= 200 && c.green() <= 80 && c.blue() <= 80; }),
      0);
}

void MainWindowTest::treeLinesJoinTheNodes() {
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  QTreeView& tree = window.tree();
  const auto& model = window.form().TreeModel();
  const auto& disk1 = *window.form().State().tree.TopLevel()[0]->children[0];
  const QColor line = tree.palette().color(QPalette::Dark);
  const auto dotted = [&](QColor c) { return c.rgb() == line.rgb(); };
  // Disk 1's first volume: a line down to its sibling and one across to it.
  const QRect first = BranchColumn(tree, model.IndexOf(disk1.children[0].get()));
  const int midX = first.left() + first.width() / 2;
  const int midY = first.top() + first.height() / 2;
  QVERIFY(CountPixels(tree, QRect(midX, first.top(), 1, first.height()), dotted) >=
          first.height() / 3);
  QVERIFY(CountPixels(tree, QRect(midX + 1, midY, first.width() / 2 - 1, 1), dotted) >=
          first.width() / 6);
  // The volume below it is the last: the line comes down to it and stops.
  const QRect last = BranchColumn(tree, model.IndexOf(disk1.children[1].get()));
  QVERIFY(CountPixels(tree, QRect(midX, last.top(), 1, last.height() / 2), dotted) > 0);
  QCOMPARE(
      CountPixels(tree, QRect(midX, last.top() + last.height() / 2 + 1, 1, last.height() / 2 - 1),
                  dotted),
      0);
}

void MainWindowTest::copyCaptionsEndBeforeTheirFields() {
  WindowHarness window;
  QVERIFY(window.SelectDisk(1));
  window.Trigger("ToolButton_Copy");
  const std::pair<const char*, const char*> captions[] = {{"Label3", "Edit_FirstSctSource"},
                                                          {"Label4", "Edit_FirstSctCible"},
                                                          {"Label5", "Edit_NBSctCopie"}};
  for (const auto& [labelName, fieldName] : captions) {
    auto* label = window.child<QLabel>(labelName);
    auto* field = window.child<QWidget>(fieldName);
    const int textEnd = label->x() + label->contentsRect().left() +
                        label->fontMetrics().horizontalAdvance(label->text());
    QVERIFY2(textEnd + 4 <= field->x(),
             qPrintable(QStringLiteral("%1 ends at %2, its field starts at %3 (font %4)")
                            .arg(label->text())
                            .arg(textEnd)
                            .arg(field->x())
                            .arg(label->font().toString())));
    QVERIFY(label->font().pointSizeF() >= 6.0);
  }
}

enum class Pick { None, SupportsHeader, Disk, Volume, ImagesHeader, Image, Dock, DockVolume };
Q_DECLARE_METATYPE(Pick)

void MainWindowTest::commandsPerNodeKind_data() {
  QTest::addColumn<Pick>("pick");
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("warning");  // empty: the panel is prepared
  QTest::addColumn<QString>("title");
  const QString connected =
      QStringLiteral("Sélectionner un support dans la liste des supports connectés.");
  const QString valid =
      QStringLiteral("Sélectionner un support dans la liste des supports valides.");
  const QString dockRefusal =
      QStringLiteral("Il est impossible de formater le support présent sur le DOCK.");
  const QString disk = QStringLiteral("N° 1 - WDC WD10EZEX-08WN4A0");
  const QString dock = QStringLiteral("N° 3 - JMicron Dock USB Device");

  struct Row {
    const char* name;
    Pick pick;
    const char* command;
    QString warning, title;
  };
  const Row rows[] = {
      {"check, nothing", Pick::None, "ToolButton_Check", connected, {}},
      {"copy, nothing", Pick::None, "ToolButton_Copy", connected, {}},
      {"erase, nothing", Pick::None, "ToolButton_Erase", connected, {}},
      {"check, header", Pick::SupportsHeader, "ToolButton_Check", connected, {}},
      {"copy, header", Pick::SupportsHeader, "ToolButton_Copy", valid, {}},
      {"erase, header", Pick::SupportsHeader, "ToolButton_Erase", connected, {}},
      {"copy, images header", Pick::ImagesHeader, "ToolButton_Copy", valid, {}},
      {"check, disk",
       Pick::Disk,
       "ToolButton_Check",
       {},
       "Contrôler l'intégrité du support " + disk},
      {"copy, disk", Pick::Disk, "ToolButton_Copy", {}, "Copier le support " + disk},
      {"erase, disk", Pick::Disk, "ToolButton_Erase", {}, "Formater le support " + disk},
      {"check, volume",
       Pick::Volume,
       "ToolButton_Check",
       {},
       "Contrôler l'intégrité du support " + disk},
      {"copy, volume", Pick::Volume, "ToolButton_Copy", {}, "Copier le support " + disk},
      {"erase, volume", Pick::Volume, "ToolButton_Erase", {}, "Formater le support " + disk},
      {"check, image", Pick::Image, "ToolButton_Check", connected, {}},
      {"copy, image", Pick::Image, "ToolButton_Copy", {}, {}},  // title checked below
      {"erase, image", Pick::Image, "ToolButton_Erase", connected, {}},
      {"check, dock",
       Pick::Dock,
       "ToolButton_Check",
       {},
       "Contrôler l'intégrité du support " + dock},
      {"copy, dock", Pick::Dock, "ToolButton_Copy", {}, "Copier le support " + dock},
      {"erase, dock", Pick::Dock, "ToolButton_Erase", dockRefusal, {}},
      {"erase, dock volume", Pick::DockVolume, "ToolButton_Erase", dockRefusal, {}},
  };
  for (const Row& row : rows) {
    QTest::newRow(row.name) << row.pick << QString::fromLatin1(row.command) << row.warning
                            << row.title;
  }
}

void MainWindowTest::commandsPerNodeKind() {
  QFETCH(Pick, pick);
  QFETCH(QString, command);
  QFETCH(QString, warning);
  QFETCH(QString, title);
  WindowHarness window;
  window.Trigger("ToolButton_DetectPartition");
  const std::string image = window.AddImage("source.img", 4096);
  window.dialogs.messages.clear();
  switch (pick) {
    case Pick::None:
      window.ClearSelection();
      break;
    case Pick::SupportsHeader:
      QVERIFY(window.SelectHeader("Support(s) connecté(s)"));
      break;
    case Pick::ImagesHeader:
      QVERIFY(window.SelectHeader("Image(s) connecté(s)"));
      break;
    case Pick::Disk:
      QVERIFY(window.SelectDisk(1));
      break;
    case Pick::Volume:
      QVERIFY(window.SelectVolume(1, 206848));
      break;
    case Pick::Image:
      QVERIFY(window.SelectImage());
      title =
          QStringLiteral("Copier l'image du support ") + QString::fromStdString(image.substr(1));
      break;
    case Pick::Dock:
      QVERIFY(window.SelectDisk(3));
      break;
    case Pick::DockVolume:
      QVERIFY(window.SelectVolume(3, 2048));
      break;
  }
  window.Trigger(command.toLatin1().constData());

  QWidget* panel = window.child<QWidget>("Panel2");
  if (!warning.isEmpty()) {
    QCOMPARE(window.dialogs.messages.size(), std::size_t(1));
    QCOMPARE(window.dialogs.messages[0].text, warning);
    QCOMPARE(window.dialogs.messages[0].caption, QStringLiteral("AVERTISSEMENT Sélection support"));
    QCOMPARE(window.dialogs.messages[0].style, std::uint32_t(0x30));
    QVERIFY(panel->isHidden());
    return;
  }
  QVERIFY(window.dialogs.messages.empty());
  QVERIFY(!panel->isHidden());
  QCOMPARE(window.child<QLabel>("Label_SupportSource")->text(), title);
  const bool copy = command == QLatin1String("ToolButton_Copy");
  QCOMPARE(!window.child<QWidget>("GroupBox_SelSupportCible")->isHidden(), copy);
  QCOMPARE(!window.child<QWidget>("GroupBox_ParamCopie")->isHidden(), copy);
  const int type = command == QLatin1String("ToolButton_Check") ? 0 : copy ? 1 : 2;
  QCOMPARE(window.form().Job().TypeTraitement, type);
  QVERIFY(window.form().Job().SupportSource);
}

KALVORIN_UI_TEST(MainWindowTest)
#include "MainWindowTest.moc"
