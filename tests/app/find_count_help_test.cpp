// The main window's quick search box (each view, accents, several words, with a
// filter, Ctrl+K, / and Esc), honest counts in the status bar, Find Next (F3),
// Reports > Statistics, help from every entry point, and Pack and Reindex with
// their progress window: stopped and failing.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <string>
#include <vector>

#include "app/AboutDlg.h"
#include "app/BackgroundWork.h"
#include "app/CatalFrm.h"
#include "app/CategFrm.h"
#include "app/DataMod.h"
#include "app/DevFrm.h"
#include "app/FiltFrm.h"
#include "app/FindDlg.h"
#include "app/HelpWin.h"
#include "app/Main.h"
#include "app/SortDlg.h"
#include "app/StatsFrm.h"
#include "engine/foundation/gs6_mark.h"
#include "engine/foundation/gs6_os.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/db_grid.h"
#include "platform/qt/progress_window.h"
#include "platform/services/codepage.h"
#include "tests/app/app_test_support.h"
#include "tests/support_qt/qt_test.h"

namespace qvx_test {
namespace {

// The progress window's timings for the length of a scope: (0, 0) shows it at
// once and lets events through at every step; a long delay keeps it from showing.
struct ProgressTimings {
  ProgressTimings(int show_delay_ms, int pump_ms) {
    platform::qt::TProgressWindow::SetShowDelay(show_delay_ms);
    platform::qt::TProgressWindow::SetPumpInterval(pump_ms);
  }
  ~ProgressTimings() {
    platform::qt::TProgressWindow::SetShowDelay(300);
    platform::qt::TProgressWindow::SetPumpInterval(50);
  }
};

// An answer that clicks Cancel on the progress window, keeping its stage's text.
ModalAnswers::Answer CancelProgress(QString* stage) {
  return [stage](QWidget* modal) {
    auto* progress = qobject_cast<platform::qt::TProgressWindow*>(modal);
    ASSERT_NE(progress, nullptr);
    *stage = progress->StageText();
    progress->findChild<QPushButton*>("CancelBtn")->click();
  };
}

class FindCountTest : public ProgramFixture {
 protected:
  void StartOn(int titles) {
    MakeSampleCatalog(dir_.path(), titles);
    Start(dir_.path());
  }
  TDevazozDataSet& Titles() { return MastData->QvxcatTable; }
  // The status bar's count once the background has read what it needs (at most
  // 20 s), as a user who waits sees it.
  QString Count() {
    QElapsedTimer clock;
    clock.start();
    while (MainForm->BackgroundWork()->Running() && clock.elapsed() < 20000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(MainForm->BackgroundWork()->Running()) << "still counting after 20 s";
    return MainForm->StatusPanel[1]->text();
  }
  std::string Title() { return Titles().FieldByName("TITLE")->AsString(); }
  // Types into the search box as the user does, after clearing it.
  void Search(const QString& text) {
    MainForm->QuickSearchEdit->clear();
    TypeText(MainForm->QuickSearchEdit, text);
  }
  std::vector<std::string> Shown(TDevazozDataSet& table, const char* field) {
    std::vector<std::string> out;
    for (table.First(); !table.Eof(); table.Next())
      out.push_back(table.FieldByName(field)->AsString());
    table.First();
    return out;
  }
  static void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
  }
  TempDir dir_;
};

TEST_F(FindCountTest, QuickSearchNarrowsEachViewAsTheUserTypes) {
  StartOn(48);
  EXPECT_EQ(Count(), "48 Items");
  // An accented title, typed without its accent.
  Titles().First();
  Titles().Edit();
  Titles().FieldByName("TITLE")->SetAsString("Tiny Pok\xE9mon Garden");
  Titles().Post();
  Search("TINY");
  const std::vector<std::string> tiny = Shown(Titles(), "TITLE");
  ASSERT_GE(tiny.size(), 3u);
  for (const std::string& t : tiny) EXPECT_EQ(t.substr(0, 5), "Tiny ") << t;
  EXPECT_EQ(Count(), QString("%1 Items").arg(tiny.size()));
  EXPECT_EQ(MainForm->DBGrid->DataSource(), &MastData->QvxcatSource);
  Search("pokemon tiny");
  EXPECT_EQ(Shown(Titles(), "TITLE"), std::vector<std::string>{"Tiny Pok\xE9mon Garden"});
  EXPECT_EQ(Count(), "1 Items");
  // Words in other columns: the category and a company.
  Search("racing amber");
  for (TDevazozDataSet& t = Titles(); !t.Eof(); t.Next()) {
    EXPECT_EQ(t.FieldByName("CATEGORY")->AsString(), "Racing");
    const std::string companies =
        t.FieldByName("DEVELOPER")->AsString() + t.FieldByName("DISTRIBUTR")->AsString();
    EXPECT_NE(companies.find("Amber"), std::string::npos);
  }

  // With the filter of the Filter dialog: both apply.
  Search("tiny");
  Titles().SetFilter("ANALOG = True");
  Titles().SetFiltered(true);
  MainForm->ShowView(1);
  std::vector<std::string> both;
  for (Titles().First(); !Titles().Eof(); Titles().Next()) {
    EXPECT_TRUE(Titles().FieldByName("ANALOG")->AsBoolean());
    both.push_back(Title());
  }
  EXPECT_LT(both.size(), tiny.size());
  EXPECT_EQ(Count(), QString("%1 Items").arg(both.size()));
  EXPECT_TRUE(MainForm->StatusPanel[0]->isVisible());
  Titles().SetFiltered(false);

  // The other views have their own search; the catalog's comes back with it.
  MainForm->GoCategoriesClick();
  EXPECT_EQ(MainForm->QuickSearchEdit->text(), "");
  Search("ra");
  EXPECT_EQ(Shown(MastData->CategoryTable, "CATEGORY"),
            (std::vector<std::string>{"Racing", "Strategy"}));
  EXPECT_EQ(Count(), "2 Items");
  MainForm->GoDevelopersClick();
  Search("games");
  EXPECT_EQ(Shown(MastData->DevdistTable, "DEVDIST"),
            (std::vector<std::string>{"Blue Lantern Games", "Harbor Moth Games"}));
  MainForm->GoCatalogClick();
  EXPECT_EQ(MainForm->QuickSearchEdit->text(), "tiny");
  EXPECT_EQ(Count(), QString("%1 Items").arg(tiny.size()));

  // Esc in the box ends the search and goes back to the grid; / and Ctrl+K come back.
  MainForm->QuickSearchEdit->setFocus();
  Key(MainForm->QuickSearchEdit, Qt::Key_Escape);
  EXPECT_EQ(MainForm->QuickSearchEdit->text(), "");
  EXPECT_EQ(Count(), "48 Items");
  Key(MainForm->DBGrid, Qt::Key_Slash, Qt::NoModifier, "/");
  EXPECT_EQ(QApplication::focusWidget(), MainForm->QuickSearchEdit);
  EXPECT_EQ(MainForm->QuickSearchEdit->text(), "");
}

TEST_F(FindCountTest, CountsAreWhatTheViewShowsWithThousandsSeparators) {
  StartOn(2000);
  EXPECT_EQ(Count(), "2,000 Items");
  Titles().First();
  Titles().Delete();
  MainForm->ShowView(1);
  EXPECT_EQ(Count(), "1,999 Items");
  EXPECT_EQ(Titles().RecordCount(), 2000);  // the file still holds it
  Titles().SetFilter("CATEGORY = 'Racing'");
  Titles().SetFiltered(true);
  MainForm->ShowView(1);
  int racing = 0;
  for (Titles().First(); !Titles().Eof(); Titles().Next()) ++racing;
  EXPECT_EQ(Count(), QString("%1 Items").arg(racing));
  Titles().SetFiltered(false);
  ProgressTimings hidden(3600 * 1000, 50);  // only the boxes are answered here
  ModalAnswers answers;
  answers.Button(QMessageBox::Yes).Button(QMessageBox::Ok);
  RunAsEvent([] { MainForm->ToolsPackDataClick(); });
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Titles().RecordCount(), 1999);
  EXPECT_EQ(Count(), "1,999 Items");
}

TEST_F(FindCountTest, FindNextRepeatsTheLastFindFromTheNextRecord) {
  StartOn(48);
  EXPECT_EQ(MainForm->EditFindNext->shortcut(), QKeySequence(Qt::Key_F3));
  // Nothing found yet: Find Next asks what to find.
  {
    ModalAnswers answers;
    answers.Then([](QWidget* modal) {
      EXPECT_EQ(modal, FindDialog);
      FindDialog->SearchForEdit->setText("tiny");
      FindDialog->OKBtn->click();
    });
    RunAsEvent([] { MainForm->EditFindNextClick(); });
    EXPECT_EQ(answers.Pending(), 0);
  }
  const std::string first = Title();
  ASSERT_EQ(first.substr(0, 4), "Tiny");
  RunAsEvent([] { MainForm->EditFindNextClick(); });
  const std::string second = Title();
  EXPECT_EQ(second.substr(0, 4), "Tiny");
  EXPECT_GT(second, first);
  // At the end: the not-found message, and the record stays.
  ModalAnswers end;
  for (int i = 0; i < 10; ++i) end.Button(QMessageBox::Ok);
  std::string last;
  for (int i = 0; i < 10 && end.Seen().empty(); ++i) {
    last = Title();
    RunAsEvent([] { MainForm->EditFindNextClick(); });
  }
  ASSERT_EQ(end.Seen().size(), 1u);
  EXPECT_EQ(end.Seen()[0].text, "\"tiny\" not found.");
  EXPECT_EQ(Title(), last);
}

TEST_F(FindCountTest, StatisticsAndHelpOpenFromTheirMenusKeysAndButtons) {
  StartOn(48);
  {
    ModalAnswers answers;
    answers.Then([](QWidget* modal) {
      auto* form = qobject_cast<TStatisticsForm*>(modal);
      ASSERT_NE(form, nullptr);
      EXPECT_EQ(form->Tabs()->count(), 6);
      EXPECT_EQ(form->Breakdowns()[0].Total, 48);
      form->close();
    });
    RunAsEvent([] { MainForm->ReportsStatistics->trigger(); });
    EXPECT_EQ(answers.Pending(), 0);
  }

  // Help > Help Topics, F1 and the tool bar's button open the contents.
  auto help_shown = [] {
    THelpWindow* help = THelpWindow::Shared();
    const bool shown = help != nullptr && help->isVisible() && help->CurrentPage() == "index.html";
    if (help != nullptr) help->close();
    ProcessEvents();
    return shown;
  };
  RunAsEvent([] { MainForm->HelpHelpTopics->trigger(); });
  EXPECT_TRUE(help_shown());
  EXPECT_EQ(MainForm->HelpHelpTopics->shortcut(), QKeySequence(QKeySequence::HelpContents));
  QApplication::setActiveWindow(MainForm);
  QTest::keyClick(MainForm->DBGrid, Qt::Key_F1);
  ProcessEvents();
  EXPECT_TRUE(help_shown());
  auto* button = MainForm->ToolBar->findChild<QAction*>("ToolButton13");
  ASSERT_NE(button, nullptr);
  RunAsEvent([button] { button->trigger(); });
  EXPECT_TRUE(help_shown());

  // F1 in a dialog: the dialog's topic, over the dialog.
  ModalAnswers find;
  find.Then([](QWidget* modal) {
    QTest::keyClick(modal, Qt::Key_F1);
    auto* window = qobject_cast<THelpWindow*>(QApplication::activeModalWidget());
    EXPECT_NE(window, nullptr);
    if (window != nullptr) {
      EXPECT_EQ(window->CurrentPage(), "find.html");
      EXPECT_EQ(window->parentWidget(), FindDialog);
      window->close();
    }
    FindDialog->CancelBtn->click();
  });
  RunAsEvent([] { MainForm->EditFindClick(); });
  EXPECT_EQ(find.Pending(), 0);
}

TEST_F(FindCountTest, PackStopsWhileCopyingAndSaysWhatWasDone) {
  StartOn(100000);
  Titles().First();
  Titles().Delete();
  const int records = Titles().RecordCount();
  {
    ProgressTimings eager(0, 0);
    ModalAnswers answers;
    QString stage;
    answers.Button(QMessageBox::Yes).Then(CancelProgress(&stage)).Button(QMessageBox::Ok);
    RunAsEvent([] { MainForm->ToolsPackDataClick(); });
    EXPECT_EQ(answers.Pending(), 0);
    EXPECT_TRUE(stage.startsWith("Packing QVXCAT.DBF")) << stage.toStdString();
    ASSERT_EQ(answers.Seen().size(), 2u);
    EXPECT_EQ(answers.Seen()[1].text,
              "Packing was stopped; QVXCAT.DBF is as it was. Already packed: none. Not packed: "
              "CATEGORY.DBF, DEVDIST.DBF.");
  }
  EXPECT_EQ(Titles().RecordCount(), records);
  EXPECT_EQ(Count(), "99,999 Items");
  EXPECT_TRUE(QDir(QString::fromStdString(dir_.path())).entryList({"*.tmp"}).isEmpty());

  // A pack failing on the second table names it and says what was done.
  MastData->CategoryTable.First();
  MastData->CategoryTable.Delete();
  QDir(QString::fromStdString(dir_.path())).mkdir("CATEGORY.DBF.tmp");
  ProgressTimings hidden(3600 * 1000, 50);  // only the boxes are answered here
  ModalAnswers failing;
  failing.Button(QMessageBox::Yes).Button(QMessageBox::Ok);
  RunAsEvent([] { MainForm->ToolsPackDataClick(); });
  ASSERT_EQ(failing.Seen().size(), 2u);
  const QString message = failing.Seen()[1].text;
  EXPECT_TRUE(message.startsWith("Packing CATEGORY.DBF failed: ")) << message.toStdString();
  EXPECT_TRUE(message.endsWith("Already packed: QVXCAT.DBF. Not packed: DEVDIST.DBF."))
      << message.toStdString();
  EXPECT_EQ(Titles().RecordCount(), records - 1);
}

TEST_F(FindCountTest, ReindexStopsAndLeavesTheIndexesWhole) {
  StartOn(100000);
  ProgressTimings eager(0, 0);
  ModalAnswers answers;
  QString stage;
  answers.Button(QMessageBox::Yes).Then(CancelProgress(&stage)).Button(QMessageBox::Ok);
  RunAsEvent([] { MainForm->ToolsReindexDataClick(); });
  ASSERT_EQ(answers.Seen().size(), 2u);
  EXPECT_TRUE(
      answers.Seen()[1].text.startsWith("Reindexing was stopped; QVXCAT.DBF is as it was."));
  // The catalog still walks in title order, all of it.
  int n = 0;
  std::string previous;
  for (Titles().First(); !Titles().Eof(); Titles().Next(), ++n) {
    EXPECT_LE(previous, Title());
    previous = Title();
  }
  EXPECT_EQ(n, 100000);
  Stop();  // the program holds its tables exclusively
  std::string out, err;
  EXPECT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " check '" + dir_.File("QVXCAT.DBF") +
                           "' '" + dir_.File("QVXCAT.CDX") + "'",
                       &out, &err),
            0)
      << out << err;
}

TEST_F(FindCountTest, AnIndexRebuiltAtStartShowsItsProgressAndMayBeStopped) {
  MakeSampleCatalog(dir_.path(), 30000);
  // The program ended during a change of the titles' index: the next start rebuilds it.
  devazoz::TgsChangeMarker marker(devazoz::os::ResolvePath(dir_.File("QVXCAT.DBF")));
  ASSERT_EQ(marker.Write({platform::AnsiUpper(dir_.File("QVXCAT.CDX"))}, false), 0);
  {
    ProgressTimings eager(0, 0);
    ModalAnswers answers;
    QString stage;
    answers.Then(CancelProgress(&stage));
    Start(dir_.path());
    EXPECT_EQ(answers.Pending(), 0);
    EXPECT_TRUE(stage.startsWith("Rebuilding the index of QVXCAT.DBF")) << stage.toStdString();
    EXPECT_FALSE(Titles().Active());
    EXPECT_TRUE(MastData->CategoryTable.Active());
    EXPECT_EQ(MainForm->StatusNote->text(),
              "Opening QVXCAT.DBF was stopped while its index was rebuilt; it is not open.");
    EXPECT_TRUE(marker.Read().exists);
  }
  Stop();
  // Left to run, the rebuild ends with the table open and says what it did.
  Start(dir_.path());
  ASSERT_TRUE(Titles().Active());
  EXPECT_EQ(MainForm->StatusNote->text(),
            "The index of QVXCAT.DBF was rebuilt: the program had ended during a change of it.");
  EXPECT_FALSE(marker.Read().exists);
  EXPECT_EQ(Count(), "30,000 Items");
}

TEST_F(FindCountTest, DialogsHaveACloseButtonOnlyAndTheMainWindowGrowsWithItsScreen) {
  StartOn(48);
  const std::vector<QWidget*> dialogs = {CatalogForm, CategoryForm, DeveloperForm, FindDialog,
                                         SortDialog,  FilterForm,   AboutDialog};
  for (QWidget* dialog : dialogs) {
    const Qt::WindowFlags flags = dialog->windowFlags();
    // Without the customize hint a window manager adds its default buttons.
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << dialog->objectName().toStdString();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint) << dialog->objectName().toStdString();
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
        << dialog->objectName().toStdString();
  }
  // Three quarters of the screen's free area (up to 1200 by 800), never less than
  // the designed 620 by 406.
  const QRect area = MainForm->screen()->availableGeometry();
  EXPECT_GE(MainForm->width(), std::max(620, std::min(area.width() * 3 / 4, 1200)));
  EXPECT_GE(MainForm->height(), std::max(406, std::min(area.height() * 3 / 4, 800)));
  EXPECT_EQ(MainForm->minimumSize(), QSize(620, 406));
}

}  // namespace
}  // namespace qvx_test
