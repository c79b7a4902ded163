// The main window over the sample catalog and over other programs' tables: start,
// views, title clicks, the Edit menu, delete, pack and reindex, the bars.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include "app/CatalogCmds.h"
#include "app/DataMod.h"
#include "app/Main.h"
#include "app/Views.h"
#include "engine/foundation/gs6_os.h"
#include "platform/qt/application.h"
#include "platform/qt/db_grid.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

std::string TitleOf(TDevazozDataSet& table) { return table.FieldByName("TITLE")->AsString(); }

// The record count stored in a table's header (bytes 4..7, little-endian).
uint32_t HeaderRecordCount(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  return uint32_t(bytes.at(4)) | uint32_t(bytes.at(5)) << 8 | uint32_t(bytes.at(6)) << 16 |
         uint32_t(bytes.at(7)) << 24;
}

class MainWindowTest : public ProgramFixture {
 protected:
  void StartOnSample(int titles = 48) {
    MakeSampleCatalog(dir_.path(), titles);
    Start(dir_.path());
  }
  QString Panel(int i) const { return MainForm->StatusPanel[i]->text(); }
  bool PanelShown(int i) const { return !MainForm->StatusPanel[i]->isHidden(); }
  int ColumnOf(const std::string& field) {
    auto& columns = MainForm->DBGrid->Columns();
    for (int i = 0; i < columns.Count(); ++i)
      if (columns.Items(i).FieldName() == field) return i;
    return -1;
  }
  void ClickTitle(const std::string& field) {
    int column = ColumnOf(field);
    ASSERT_GE(column, 0) << field;
    RunAsEvent([column] { emit MainForm->DBGrid->TitleHeader()->sectionClicked(column); });
  }
  TempDir dir_;
};

TEST_F(MainWindowTest, StartsOnTheCatalogInTitleOrderAtTheFirstRecord) {
  StartOnSample();
  EXPECT_EQ(MainForm->windowTitle(), CatalogCaption(dir_.path()));
  EXPECT_EQ(MainForm->CurrentView(), 1);
  EXPECT_EQ(MainForm->TitlePanel1->text(), " Catalog");
  EXPECT_EQ(MainForm->TitlePanel2->width(), 1);
  EXPECT_EQ(Panel(1), "48 Items");
  EXPECT_EQ(Panel(2), "Ordered By Title");
  EXPECT_FALSE(PanelShown(0));
  EXPECT_EQ(Panel(0), "Filter Applied");
  ASSERT_TRUE(MastData->QvxcatTable.Active());
  ASSERT_TRUE(MastData->CategoryTable.Active());
  ASSERT_TRUE(MastData->DevdistTable.Active());
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "TITLE");
  EXPECT_TRUE(MastData->QvxcatTable.Bof());
  // The first record in title order is the smallest title.
  std::string first = TitleOf(MastData->QvxcatTable);
  MastData->QvxcatTable.Next();
  EXPECT_LE(first, TitleOf(MastData->QvxcatTable));
  // Default columns from the visible fields, titled with their display labels.
  auto& columns = MainForm->DBGrid->Columns();
  QStringList titles;
  for (int i = 0; i < columns.Count(); ++i) titles << columns.Items(i).Title();
  EXPECT_EQ(titles.join(","),
            "Title,Category,Developer,Distributor,Players,Memory Blocks,Analog,Dual Shock");
  EXPECT_EQ(MainForm->DBGrid->CellText(0, 6).isEmpty(), false);
  EXPECT_TRUE(MainForm->ToolBar->isVisible());
  EXPECT_TRUE(MainForm->StatusBar->isVisible());
  EXPECT_TRUE(MainForm->ServiceTrackingBar->isVisible());
  EXPECT_TRUE(MainForm->ViewToolbar->isChecked() && MainForm->ViewStatusBar->isChecked() &&
              MainForm->ViewSpeedBar->isChecked());
}

TEST_F(MainWindowTest, MissingTableShowsOneErrorAndAnHonestWindow) {
  MakeSampleCatalog(dir_.path());
  ASSERT_EQ(std::remove(dir_.File("QVXCAT.DBF").c_str()), 0);
  ModalAnswers answers;
  answers.Press("OK");
  Start(dir_.path());
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_TRUE(answers.Texts()[0].startsWith("Cannot find file "))
      << answers.Texts()[0].toStdString();
  EXPECT_TRUE(answers.Texts()[0].endsWith("QVXCAT.DBF"));
  EXPECT_TRUE(MainForm->isVisible());
  // The other tables open all the same; the catalog view shows nothing.
  EXPECT_TRUE(MastData->CategoryTable.Active());
  EXPECT_TRUE(MastData->DevdistTable.Active());
  EXPECT_EQ(MainForm->CurrentView(), 1);
  EXPECT_EQ(Panel(1), "0 Items");
  // Commands that need the title table are disabled, and the status bar says why.
  for (QAction* command :
       {MainForm->FileNew, MainForm->FileOpen, MainForm->FileDelete, MainForm->FilePrint,
        MainForm->FilePrintPreview, MainForm->EditFind, MainForm->ViewSort, MainForm->ViewFilter})
    EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
  const QString note = MainForm->StatusNote->text();
  EXPECT_TRUE(note.startsWith("QVXCAT.DBF could not be opened: Cannot find file "))
      << note.toStdString();
  EXPECT_EQ(MainForm->FileNew->statusTip(), note);
  for (QAction* command :
       {MainForm->FileExit, MainForm->HelpAbout, MainForm->HelpHelpTopics, MainForm->FilePrintSetup,
        MainForm->GoCategories, MainForm->ToolsReindexData})
    EXPECT_TRUE(command->isEnabled()) << command->objectName().toStdString();
  // Enter and the grid's double click do nothing either.
  RunAsEvent([] {
    MainForm->FileNewClick();
    MainForm->FileOpenClick();
    MainForm->EditNextClick();
    MainForm->FileDeleteClick();
  });
  EXPECT_EQ(answers.Texts().size(), 1);
  // The categories are there to work on.
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  EXPECT_TRUE(MainForm->FileNew->isEnabled());
  EXPECT_TRUE(MainForm->StatusNote->text().isEmpty());
  EXPECT_NE(Panel(1), "0 Items");
  SaveShot("failed-start");
}

TEST_F(MainWindowTest, AFolderWithoutACatalogSaysSoInWordsAndDisablesTheTableCommands) {
  ModalAnswers answers;
  answers.Press("OK");
  Start(dir_.path());
  ASSERT_EQ(answers.Texts().size(), 1);
  char real[4096];
  ASSERT_NE(realpath(dir_.path().c_str(), real), nullptr);
  EXPECT_TRUE(
      answers.Texts()[0].startsWith(QString("There is no catalog in this folder (") + real + "). "))
      << answers.Texts()[0].toStdString();
  for (const TView& view : Views()) EXPECT_FALSE(view.Table().Active());
  for (int view = 1; view <= 3; ++view) {
    RunAsEvent([view] { MainForm->ShowView(view); });
    EXPECT_FALSE(MainForm->FileNew->isEnabled());
    EXPECT_FALSE(MainForm->FileOpen->isEnabled());
    EXPECT_FALSE(MainForm->EditFind->isEnabled());
    EXPECT_FALSE(MainForm->ToolsPackData->isEnabled());
    EXPECT_EQ(MainForm->StatusNote->text(), "There is no catalog in this folder.");
    EXPECT_EQ(Panel(1), "0 Items");
  }
  EXPECT_TRUE(MainForm->FileExit->isEnabled());
  EXPECT_TRUE(MainForm->HelpAbout->isEnabled());
  RunAsEvent([] { MainForm->FileExitClick(); });
  EXPECT_FALSE(MainForm->isVisible());
}

TEST_F(MainWindowTest, ATableWithoutAPersistentFieldIsRejected) {
  MakeSampleCatalog(dir_.path());
  // Other programs' table with TITLE, CATEGORY, PLAYERS, ANALOG, PRICE, RELEASED and
  // NOTES: no DEVELOPER field.
  CopyTestData("dbf/perl_t_0xf5.dbf", dir_.path(), "QVXCAT.DBF");
  CopyTestData("dbf/perl_t_0xf5.fpt", dir_.path(), "QVXCAT.FPT");
  ModalAnswers answers;
  answers.Press("OK");
  Start(dir_.path());
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_EQ(answers.Texts()[0], "Field 'DEVELOPER' not found");
  EXPECT_FALSE(MastData->QvxcatTable.Active());
  EXPECT_FALSE(MainForm->FileOpen->isEnabled());
}

TEST_F(MainWindowTest, OtherProgramsCatalogShowsInItsTitleOrder) {
  MakeSampleCatalog(dir_.path());
  CopyTestData("cdx1k/catalog.dbf", dir_.path(), "QVXCAT.DBF");
  CopyTestData("cdx1k/catalog.fpt", dir_.path(), "QVXCAT.FPT");
  CopyTestData("cdx1k/catalog.cdx", dir_.path(), "QVXCAT.CDX");
  Start(dir_.path());
  EXPECT_EQ(Panel(1), "1,000 Items");
  std::string keys = ReadFileText(TestDataPath("cdx1k/TITLE.keys"));
  std::string first_key = keys.substr(0, keys.find('\t'));
  EXPECT_EQ(MainForm->DBGrid->CellText(0, 0).toStdString(), first_key);
  ClickTitle("CATEGORY");
  RunAsEvent([] { MainForm->EditFirstClick(); });
  std::string cat_keys = ReadFileText(TestDataPath("cdx1k/CATEGORY.keys"));
  EXPECT_EQ(MainForm->DBGrid->CellText(0, 1).toStdString(),
            cat_keys.substr(0, cat_keys.find('\t')));
  EXPECT_EQ(Panel(2), "Ordered By Category");
}

TEST_F(MainWindowTest, ViewsMoveToTheFirstRecordOnlyWhenTheViewChanges) {
  StartOnSample();
  RunAsEvent([] {
    MainForm->EditNextClick();
    MainForm->EditNextClick();
  });
  const std::string third = TitleOf(MastData->QvxcatTable);
  RunAsEvent([] { MainForm->GoCatalogClick(); });
  EXPECT_EQ(TitleOf(MastData->QvxcatTable), third);

  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  EXPECT_EQ(MainForm->CurrentView(), 2);
  EXPECT_EQ(MainForm->TitlePanel1->text(), " Categories");
  EXPECT_EQ(Panel(1), "11 Items");
  EXPECT_EQ(Panel(2), "Ordered By Category");
  ASSERT_EQ(MainForm->DBGrid->Columns().Count(), 1);
  EXPECT_EQ(MainForm->DBGrid->Columns().Items(0).Title(), "Category");
  EXPECT_EQ(MainForm->DBGrid->CellText(0, 0), "Action");
  SaveShot("categories");

  RunAsEvent([] { MainForm->GoDevelopersClick(); });
  EXPECT_EQ(MainForm->TitlePanel1->text(), " Developers/Distributors");
  EXPECT_EQ(Panel(2), "Ordered By Developer/Distributor");
  EXPECT_EQ(MainForm->DBGrid->Columns().Items(0).Title(), "Developer/Distributor");
  SaveShot("developers");

  RunAsEvent([] { MainForm->SpeedButton3->click(); });
  EXPECT_EQ(MainForm->CurrentView(), 1);
  EXPECT_TRUE(MastData->QvxcatTable.Bof());
  EXPECT_NE(TitleOf(MastData->QvxcatTable), third);
  EXPECT_EQ(MainForm->DBGrid->Columns().Count(), 8);
}

TEST_F(MainWindowTest, TitleClicksOrderTheCatalogByTitleOrCategoryOnly) {
  StartOnSample();
  RunAsEvent([] { MainForm->EditNextClick(); });
  const std::string current = TitleOf(MastData->QvxcatTable);
  ClickTitle("CATEGORY");
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "CATEGORY");
  EXPECT_EQ(Panel(2), "Ordered By Category");
  // The same title stays current, now in its category place.
  EXPECT_EQ(TitleOf(MastData->QvxcatTable), current);
  RunAsEvent([] { MainForm->EditFirstClick(); });
  EXPECT_EQ(MainForm->DBGrid->CellText(0, 1), "Action");
  EXPECT_LE(MainForm->DBGrid->CellText(0, 1), MainForm->DBGrid->CellText(1, 1));
  ClickTitle("DEVELOPER");
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "CATEGORY");
  ClickTitle("TITLE");
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "TITLE");
  EXPECT_EQ(Panel(2), "Ordered By Title");
  // In the other views title clicks do nothing.
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  ClickTitle("CATEGORY");
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "TITLE");
}

TEST_F(MainWindowTest, EditMenuDisablesTheMovesThatCannotGo) {
  StartOnSample();
  auto open_edit_menu = [] { RunAsEvent([] { emit MainForm->EditMenu->aboutToShow(); }); };
  open_edit_menu();
  EXPECT_FALSE(MainForm->EditFirst->isEnabled());
  EXPECT_FALSE(MainForm->EditPrevious->isEnabled());
  EXPECT_TRUE(MainForm->EditNext->isEnabled());
  EXPECT_TRUE(MainForm->EditLast->isEnabled());
  RunAsEvent([] { MainForm->EditLast->trigger(); });
  open_edit_menu();
  EXPECT_TRUE(MainForm->EditFirst->isEnabled());
  EXPECT_FALSE(MainForm->EditNext->isEnabled());
  EXPECT_FALSE(MainForm->EditLast->isEnabled());
  RunAsEvent([] { MainForm->EditPrevious->trigger(); });
  open_edit_menu();
  for (QAction* a :
       {MainForm->EditFirst, MainForm->EditPrevious, MainForm->EditNext, MainForm->EditLast})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
}

TEST_F(MainWindowTest, EditMenuOnAnEmptyTableDisablesAllFourMoves) {
  MakeSampleCatalog(dir_.path(), 0);
  Start(dir_.path());
  EXPECT_EQ(Panel(1), "0 Items");
  RunAsEvent([] { emit MainForm->EditMenu->aboutToShow(); });
  for (QAction* a :
       {MainForm->EditFirst, MainForm->EditPrevious, MainForm->EditNext, MainForm->EditLast})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
}

TEST_F(MainWindowTest, DeleteAsksAndCancelKeepsTheRecord) {
  StartOnSample();
  RunAsEvent([] { MainForm->EditNextClick(); });
  const std::string second = TitleOf(MastData->QvxcatTable);
  MainForm->StatusPanel[1]->setText("stale");
  ModalAnswers answers;
  answers.Press("Cancel");
  RunAsEvent([] { MainForm->FileDelete->trigger(); });
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_EQ(answers.Texts()[0], "Delete record?");
  EXPECT_EQ(TitleOf(MastData->QvxcatTable), second);
  EXPECT_EQ(Panel(1), "48 Items");

  MainForm->StatusPanel[1]->setText("stale");
  answers.Press("OK");
  RunAsEvent([] { MainForm->FileDeleteClick(); });
  EXPECT_NE(TitleOf(MastData->QvxcatTable), second);
  // The count is what the grid shows: the deleted record is gone from it.
  EXPECT_EQ(Panel(1), "47 Items");
  EXPECT_FALSE(MastData->QvxcatTable.Locate("TITLE", second, 0));
}

TEST_F(MainWindowTest, GridCtrlDeleteConfirmsWithoutRefreshingTheStatusBar) {
  StartOnSample();
  const std::string first = TitleOf(MastData->QvxcatTable);
  ModalAnswers answers;
  answers.Press("Cancel");
  RunAsEvent([] {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
    QApplication::sendEvent(MainForm->DBGrid, &key);
  });
  EXPECT_EQ(answers.Texts().value(0), "Delete record?");
  EXPECT_EQ(TitleOf(MastData->QvxcatTable), first);
  answers.Press("OK");
  RunAsEvent([] {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
    QApplication::sendEvent(MainForm->DBGrid, &key);
  });
  EXPECT_NE(TitleOf(MastData->QvxcatTable), first);
  EXPECT_EQ(answers.Texts().size(), 2);
}

TEST_F(MainWindowTest, PackAnsweredNoChangesNothingAndYesPacksAllThree) {
  StartOnSample();
  // One deleted record in each table.
  ModalAnswers answers;
  for (int view = 1; view <= 3; ++view) {
    answers.Press("OK");
    RunAsEvent([view] {
      MainForm->ShowView(view);
      MainForm->FileDeleteClick();
    });
  }
  const std::string files[] = {"QVXCAT.DBF", "CATEGORY.DBF", "DEVDIST.DBF"};
  const uint32_t before[] = {48, 11, 16};
  answers.Press("&No");
  RunAsEvent([] { MainForm->ToolsPackData->trigger(); });
  EXPECT_EQ(answers.Texts().back().toStdString(),
            "Packing will permenantly remove deleted records and reclaim space used by them. "
            "Do you wish to continue?");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(HeaderRecordCount(dir_.File(files[i])), before[i]);

  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  answers.Press("&Yes");
  answers.Press("OK");
  RunAsEvent([] { MainForm->ToolsPackDataClick(); });
  EXPECT_EQ(answers.Texts().back(), "Packing successfully completed.");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(HeaderRecordCount(dir_.File(files[i])), before[i] - 1);
}

// Every write to the category table's files fails, as on a full disk.
int32_t FailCategoryWrites(devazoz::os::Call call, const std::string& path) {
  const bool category = path.find("CATEGORY") != std::string::npos;
  return category && (call == devazoz::os::Call::Write || call == devazoz::os::Call::Create)
             ? devazoz::os::MapErrno(ENOSPC)
             : 0;
}

TEST_F(MainWindowTest, PackFailingOnTheSecondTableSaysSoAndLeavesItWhole) {
  StartOnSample();
  ModalAnswers answers;
  for (int view = 1; view <= 2; ++view) {
    answers.Press("OK");
    RunAsEvent([view] {
      MainForm->ShowView(view);
      MainForm->FileDeleteClick();
    });
  }
  answers.Press("&Yes");
  answers.Then([](QWidget* box) { box->close(); });  // the error
  devazoz::os::SetFaultHook(&FailCategoryWrites);
  RunAsEvent([] { MainForm->ToolsPackDataClick(); });
  devazoz::os::SetFaultHook(nullptr);
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_FALSE(answers.Texts().contains("Packing successfully completed."));
  ASSERT_FALSE(answers.Seen().empty());
  EXPECT_EQ(answers.Seen().back().icon, QMessageBox::Critical)
      << answers.Texts().join(" | ").toStdString();
  // The titles were packed; the categories keep every record, deleted one included.
  EXPECT_EQ(HeaderRecordCount(dir_.File("QVXCAT.DBF")), 47u);
  EXPECT_EQ(HeaderRecordCount(dir_.File("CATEGORY.DBF")), 11u);
  // And the program goes on: the categories can be walked and packed again.
  RunAsEvent([] {
    MainForm->GoCategoriesClick();
    MastData->CategoryTable.First();
  });
  answers.Press("&Yes");
  answers.Press("OK");
  RunAsEvent([] { MainForm->ToolsPackDataClick(); });
  EXPECT_EQ(answers.Texts().back(), "Packing successfully completed.");
  EXPECT_EQ(HeaderRecordCount(dir_.File("CATEGORY.DBF")), 10u);
}

TEST_F(MainWindowTest, ReindexAsksAndReportsSuccess) {
  StartOnSample();
  ModalAnswers answers;
  answers.Press("&No");
  RunAsEvent([] { MainForm->ToolsReindexDataClick(); });
  EXPECT_EQ(answers.Texts().back(),
            "Reindexing will recreate corrupt index files. Do you wish to continue?");
  answers.Press("&Yes");
  answers.Press("OK");
  RunAsEvent([] { MainForm->ToolsReindexDataClick(); });
  EXPECT_EQ(answers.Texts().back(), "Reindexing successfully completed.");
  EXPECT_EQ(answers.Texts().size(), 3);
  RunAsEvent([] { MainForm->GoCatalogClick(); });
  EXPECT_EQ(Panel(1), "48 Items");
}

TEST_F(MainWindowTest, BarsHideAndShowAndTheSplitterReturnsBetweenBarAndGrid) {
  StartOnSample();
  RunAsEvent([] { MainForm->ViewToolbar->trigger(); });
  EXPECT_FALSE(MainForm->ToolBar->isVisible());
  EXPECT_FALSE(MainForm->ViewToolbar->isChecked());
  RunAsEvent([] { MainForm->ViewStatusBar->trigger(); });
  EXPECT_FALSE(MainForm->StatusBar->isVisible());
  EXPECT_FALSE(MainForm->ViewStatusBar->isChecked());
  RunAsEvent([] { MainForm->ViewSpeedBar->trigger(); });
  EXPECT_FALSE(MainForm->ServiceTrackingBar->isVisible());
  EXPECT_FALSE(MainForm->SplitterVisible());
  EXPECT_FALSE(MainForm->ViewSpeedBar->isChecked());
  RunAsEvent([] { MainForm->ViewSpeedBar->trigger(); });
  EXPECT_TRUE(MainForm->ViewSpeedBar->isChecked());
  ASSERT_TRUE(MainForm->ServiceTrackingBar->isVisible());
  ASSERT_TRUE(MainForm->SplitterVisible());
  const int bar_right = MainForm->ServiceTrackingBar->geometry().right();
  const QRect handle = MainForm->Splitter->handle(1)->geometry();
  const int grid_left = MainForm->DBGrid->parentWidget()->geometry().left();
  EXPECT_LE(bar_right, handle.left());
  EXPECT_LT(handle.left(), grid_left);
  EXPECT_LE(handle.right(), grid_left);
  RunAsEvent([] {
    MainForm->ViewToolbarClick();
    MainForm->ViewStatusBarClick();
  });
  EXPECT_TRUE(MainForm->ToolBar->isVisible());
  EXPECT_TRUE(MainForm->StatusBar->isVisible());
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsAndShortcuts) {
  StartOnSample();
  EXPECT_EQ(MainForm->FileNew->text(), "&New...");
  EXPECT_EQ(MainForm->FileNew->shortcut(), QKeySequence("Ctrl+N"));
  EXPECT_EQ(MainForm->FileOpen->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(MainForm->FileDelete->shortcut(), QKeySequence("Ctrl+D"));
  EXPECT_EQ(MainForm->FilePrint->shortcut(), QKeySequence("Ctrl+P"));
  EXPECT_EQ(MainForm->EditFind->shortcut(), QKeySequence("Ctrl+F"));
  EXPECT_EQ(MainForm->FilePrintSetup->text(), "Print Set&up...");
  EXPECT_EQ(MainForm->GoDevelopers->text(), "&Developers/Distributors");
  EXPECT_EQ(MainForm->ReportsQVXCatalogList->text(), "&QVX Catalog List");
  QStringList hints;
  for (QAction* a : MainForm->ToolBar->actions())
    if (!a->isSeparator() && qobject_cast<QWidgetAction*>(a) == nullptr) hints << a->toolTip();
  EXPECT_EQ(hints.join(","), "New,Open,Delete,Print,Print Preview,Find,Sort,Filter,Help");
  // The quick search box follows the buttons.
  EXPECT_EQ(MainForm->ToolBar->actions().back(),
            MainForm->ToolBar->actionAt(MainForm->QuickSearchEdit->geometry().center()));
  // What a screen reader says for the icon-only buttons and the invisible Enter button.
  QStringList spoken;
  for (QAction* a : MainForm->ToolBar->actions())
    if (!a->isSeparator() && qobject_cast<QWidgetAction*>(a) == nullptr)
      spoken << QAccessible::queryAccessibleInterface(MainForm->ToolBar->widgetForAction(a))
                    ->text(QAccessible::Name);
  EXPECT_EQ(spoken.join(","), hints.join(","));
  auto* enter = MainForm->findChild<QPushButton*>("Button1");
  ASSERT_NE(enter, nullptr);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(enter)->text(QAccessible::Name), "Open Record");
  EXPECT_EQ(MainForm->StatusPanel[1]->width(), 100);
  EXPECT_EQ(MainForm->StatusPanel[2]->width(), 200);
}

TEST_F(MainWindowTest, NewTitleStartsWithLogicalFieldsFalseAndTheRestBlank) {
  StartOnSample();
  ModalAnswers answers;
  bool checked = false;
  answers.Then([&checked](QWidget* form) {
    TDevazozDataSet& table = MastData->QvxcatTable;
    EXPECT_EQ(table.State(), platform::TDataSetState::dsInsert);
    EXPECT_FALSE(MastData->QvxcatTableANALOG->IsNull());
    EXPECT_FALSE(MastData->QvxcatTableANALOG->AsBoolean());
    EXPECT_FALSE(MastData->QvxcatTableDUALSHOCK->IsNull());
    EXPECT_FALSE(MastData->QvxcatTableDUALSHOCK->AsBoolean());
    EXPECT_TRUE(MastData->QvxcatTableTITLE->IsNull());
    EXPECT_TRUE(MastData->QvxcatTableCATEGORY->IsNull());
    EXPECT_TRUE(MastData->QvxcatTablePLAYERS->IsNull());
    checked = true;
    form->close();
  });
  // Closing a new record asks whether to save it; No drops it.
  answers.Press("&No");
  RunAsEvent([] { MainForm->FileNewClick(); });
  EXPECT_TRUE(checked);
  EXPECT_EQ(MastData->QvxcatTable.State(), platform::TDataSetState::dsBrowse);
}

TEST_F(MainWindowTest, ClosingTheWindowClosesTheThreeTables) {
  StartOnSample();
  RunAsEvent([] { MainForm->FileExitClick(); });
  EXPECT_FALSE(MainForm->isVisible());
  EXPECT_FALSE(MastData->QvxcatTable.Active());
  EXPECT_FALSE(MastData->CategoryTable.Active());
  EXPECT_FALSE(MastData->DevdistTable.Active());
}

TEST_F(MainWindowTest, AnErrorInsideACommandIsShownAndTheProgramGoesOn) {
  StartOnSample();
  MastData->QvxcatTable.AfterScroll = [](platform::TDataSet&) {
    throw platform::EDatabaseError("Scrolling refused");
  };
  ModalAnswers answers;
  answers.Press("OK");
  RunAsEvent([] { MainForm->EditNextClick(); });
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_EQ(answers.Texts()[0], "Scrolling refused");
  MastData->QvxcatTable.AfterScroll = nullptr;
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  RunAsEvent([] { MainForm->GoCatalogClick(); });
  EXPECT_EQ(Panel(1), "48 Items");
}

}  // namespace
}  // namespace qvx_test

namespace qvx_test {
namespace {

TEST_F(MainWindowTest, AFilteredTableShowsTheMarkerAndTheStatusPanel) {
  StartOnSample();
  RunAsEvent([] {
    MastData->QvxcatTable.SetFilter("CATEGORY = 'Racing'");
    MastData->QvxcatTable.SetFiltered(true);
    MainForm->ShowView(MainForm->CurrentView());
  });
  EXPECT_EQ(MainForm->TitlePanel2->width(), 100);
  EXPECT_EQ(MainForm->TitlePanel2->text(), "(Filter Applied)");
  EXPECT_TRUE(PanelShown(0));
  // The design width, or wider when the installed font needs it for the whole text.
  EXPECT_GE(MainForm->StatusPanel[0]->width(), 72);
  EXPECT_GE(MainForm->StatusPanel[0]->contentsRect().width(),
            MainForm->StatusPanel[0]->fontMetrics().horizontalAdvance("Filter Applied"));
  // The count is what the filter lets through.
  int racing = 0;
  for (MastData->QvxcatTable.First(); !MastData->QvxcatTable.Eof(); MastData->QvxcatTable.Next())
    ++racing;
  MastData->QvxcatTable.First();
  EXPECT_GT(racing, 0);
  EXPECT_LT(racing, 48);
  EXPECT_EQ(Panel(1), QString("%1 Items").arg(racing));
  EXPECT_EQ(MainForm->DBGrid->CellText(0, 1), "Racing");
  SaveShot("filtered");
  // Another view has no filter; the catalog keeps its own.
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  EXPECT_EQ(MainForm->TitlePanel2->width(), 1);
  EXPECT_FALSE(PanelShown(0));
  RunAsEvent([] { MainForm->GoCatalogClick(); });
  EXPECT_EQ(MainForm->TitlePanel2->width(), 100);
}

}  // namespace
}  // namespace qvx_test

namespace qvx_test {
namespace {

TEST_F(MainWindowTest, PrintSetupRunsThePrinterSetUpDialogAndFocusesTheGrid) {
  StartOnSample();
  ModalAnswers answers;
  QString title;
  answers.Then([&title](QWidget* dialog) {
    title = dialog->windowTitle();
    dialog->close();
  });
  RunAsEvent([] { MainForm->FilePrintSetup->trigger(); });
  EXPECT_EQ(title, "Print Setup");
  EXPECT_EQ(answers.Pending(), 0);
}

}  // namespace
}  // namespace qvx_test
