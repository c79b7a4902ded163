// The program with a user's data at risk: a table cut short opens read-only (no
// phantom rows, nothing written, the writing commands disabled with the reason) or
// is repaired at the user's choice; a missing memo file leaves the titles usable
// and the Notes page says what is missing; an index left out of step by a crash is
// rebuilt at open under a progress window and the status bar says so; every
// command that changed data ends with the changes forced to the disk.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "app/CatalFrm.h"
#include "app/DataMod.h"
#include "app/Main.h"
#include "engine/foundation/gs6_os.h"
#include "platform/qt/db_edit.h"
#include "platform/qt/db_grid.h"
#include "platform/qt/db_memo.h"
#include "platform/qt/progress_window.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

namespace fs = std::filesystem;
namespace os = devazoz::os;

// Leaves the first `records` whole records of the table (the header still counts all).
void CutTable(const std::string& path, size_t records) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  const size_t header = b[8] | b[9] << 8, length = b[10] | b[11] << 8;
  b.resize(header + records * length);
  WriteFileBytes(path, b);
}

std::map<std::string, std::vector<uint8_t>> Files(const std::string& dir) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::directory_iterator(dir))
    files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
  return files;
}

// The flushes (fdatasync) asked of each file, by file name.
std::map<std::string, int> g_flushes;
int32_t CountFlushes(os::Call call, const std::string& path) {
  if (call == os::Call::Flush) ++g_flushes[fs::path(path).filename().string()];
  return 0;
}
int32_t FailFlushes(os::Call call, const std::string&) {
  return call == os::Call::Flush ? 5 /* EIO */ : 0;
}

class CatalogSafetyTest : public ProgramFixture {
 protected:
  void TearDown() override {
    os::SetFaultHook(nullptr);
    ProgramFixture::TearDown();
  }
  std::string Check(const std::string& table, const std::string& index) {
    return DevazozCheck(dir_, table, index);
  }
  QString Note() const { return MainForm->StatusNote->text(); }
  TempDir dir_;
};

TEST_F(CatalogSafetyTest, ACutShortTableOpenedReadOnlyShowsItsWholeRecordsAndWritesNothing) {
  MakeSampleCatalog(dir_.path());
  CutTable(dir_.File("QVXCAT.DBF"), 30);
  const auto before = Files(dir_.path());
  ModalAnswers answers;
  answers.Press("Open &Read-Only");
  Start(dir_.path());
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_EQ(answers.Texts()[0],
            "QVXCAT.DBF is damaged: the header says 48 records, the file holds 30. Open it "
            "read-only, or repair it (keeps the 30 whole records)?");
  ASSERT_TRUE(MastData->QvxcatTable.Active());
  EXPECT_TRUE(MastData->QvxcatTable.ReadOnly());
  // No phantom rows: the title order walks the 30 whole records, none blank.
  int rows = 0;
  for (MastData->QvxcatTable.First(); !MastData->QvxcatTable.Eof(); MastData->QvxcatTable.Next()) {
    EXPECT_FALSE(MastData->QvxcatTableTITLE->AsString().empty());
    ++rows;
  }
  EXPECT_EQ(rows, 30);
  for (QAction* command : {MainForm->FileNew, MainForm->FileDelete, MainForm->ToolsPackData,
                           MainForm->ToolsReindexData, MainForm->FileImport})
    EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
  EXPECT_TRUE(MainForm->FileOpen->isEnabled());
  EXPECT_EQ(Note(),
            "QVXCAT.DBF is damaged: the header says 48 records, the file holds 30. It is open "
            "only for reading.");
  // The other views write as usual.
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  EXPECT_TRUE(MainForm->FileNew->isEnabled());
  RunAsEvent([] { MainForm->GoCatalogClick(); });
  // A record opened in the form cannot be changed.
  answers.Then([](QWidget* form) {
    auto* catalog = qobject_cast<TCatalogForm*>(form);
    ASSERT_NE(catalog, nullptr);
    EXPECT_TRUE(catalog->DBEditTitle->isReadOnly());
    catalog->ButtonOK->click();
  });
  RunAsEvent([] { MainForm->FileOpenClick(); });
  Stop();
  EXPECT_EQ(Files(dir_.path()), before);
}

TEST_F(CatalogSafetyTest, ACutShortTableRepairedKeepsItsWholeRecordsAndTheOriginal) {
  MakeSampleCatalog(dir_.path());
  CutTable(dir_.File("QVXCAT.DBF"), 30);
  ModalAnswers answers;
  answers.Press("&Repair");
  Start(dir_.path());
  ASSERT_EQ(answers.Texts().size(), 1);
  ASSERT_TRUE(MastData->QvxcatTable.Active());
  EXPECT_FALSE(MastData->QvxcatTable.ReadOnly());
  EXPECT_EQ(MainForm->StatusPanel[1]->text(), "30 Items");
  EXPECT_TRUE(MainForm->FileNew->isEnabled());
  EXPECT_EQ(Note(),
            "QVXCAT.DBF was repaired: it keeps its 30 whole records; the damaged file is kept "
            "as QVXCAT.DBF.bak.");
  Stop();
  EXPECT_TRUE(fs::exists(dir_.File("QVXCAT.DBF.bak")));
  EXPECT_EQ(Check("QVXCAT.DBF", "QVXCAT.CDX"), "ok\n");
}

TEST_F(CatalogSafetyTest, AMissingMemoFileLeavesTheTitlesAndTheNotesPageSaysSo) {
  MakeSampleCatalog(dir_.path());
  fs::remove(dir_.File("QVXCAT.FPT"));
  ModalAnswers answers;
  Start(dir_.path());
  EXPECT_TRUE(answers.Texts().empty());
  ASSERT_TRUE(MastData->QvxcatTable.Active());
  EXPECT_EQ(MainForm->StatusPanel[1]->text(), "48 Items");
  EXPECT_TRUE(MainForm->FileNew->isEnabled());
  EXPECT_TRUE(Note().startsWith("The memo file QVXCAT.FPT is missing")) << Note().toStdString();
  answers.Then([](QWidget* form) {
    auto* catalog = qobject_cast<TCatalogForm*>(form);
    ASSERT_NE(catalog, nullptr);
    EXPECT_TRUE(catalog->LabelNotesProblem->isVisibleTo(catalog->TabSheet2));
    EXPECT_TRUE(
        catalog->LabelNotesProblem->text().startsWith("The memo file QVXCAT.FPT is missing"));
    EXPECT_TRUE(catalog->DBMemoNotes->isReadOnly());
    EXPECT_FALSE(catalog->DBEditTitle->isReadOnly());
    catalog->ButtonCancel->click();
  });
  RunAsEvent([] { MainForm->FileOpenClick(); });
  EXPECT_EQ(answers.Pending(), 0);
}

TEST_F(CatalogSafetyTest, AnIndexLeftOutOfStepByACrashIsRebuiltUnderAProgressWindow) {
  MakeSampleCatalog(dir_.path());
  TempDir other;
  MakeSampleCatalog(other.path(), 20);
  fs::copy_file(other.File("QVXCAT.CDX"), dir_.File("QVXCAT.CDX"),
                fs::copy_options::overwrite_existing);
  const std::string marker = "devazoz change in progress\nQVXCAT.CDX\n";
  WriteFileBytes(dir_.File("QVXCAT.DBF.changing"),
                 std::vector<uint8_t>(marker.begin(), marker.end()));
  platform::qt::TProgressWindow::SetShowDelay(0);
  // Which progress windows showed, and with what stage.
  struct Watch : QObject {
    QStringList stages;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Show)
        if (auto* progress = qobject_cast<platform::qt::TProgressWindow*>(watched))
          stages << progress->StageText();
      return false;
    }
  } watch;
  qApp->installEventFilter(&watch);
  Start(dir_.path());
  qApp->removeEventFilter(&watch);
  platform::qt::TProgressWindow::SetShowDelay(300);
  ASSERT_FALSE(watch.stages.isEmpty());
  EXPECT_TRUE(watch.stages.front().startsWith("Rebuilding the index of QVXCAT.DBF"))
      << watch.stages.front().toStdString();
  EXPECT_EQ(Note(),
            "The index of QVXCAT.DBF was rebuilt: the program had ended during a change of it.");
  EXPECT_EQ(MainForm->StatusPanel[1]->text(), "48 Items");
  EXPECT_FALSE(fs::exists(dir_.File("QVXCAT.DBF.changing")));
  Stop();
  EXPECT_EQ(Check("QVXCAT.DBF", "QVXCAT.CDX"), "ok\n");
}

TEST_F(CatalogSafetyTest, CommandsThatChangedDataEndWithTheChangesOnTheDisk) {
  MakeSampleCatalog(dir_.path());
  Start(dir_.path());
  ModalAnswers answers;
  os::SetFaultHook(CountFlushes);
  g_flushes.clear();
  // Opened and closed without a change: nothing to force.
  answers.Then([](QWidget* form) { qobject_cast<TCatalogForm*>(form)->ButtonCancel->click(); });
  RunAsEvent([] { MainForm->FileOpenClick(); });
  ProcessEvents();
  EXPECT_TRUE(g_flushes.empty());
  // OK after a change of title and notes: the table, its memo and its index reach
  // the disk.
  answers.Then([](QWidget* form) {
    auto* catalog = qobject_cast<TCatalogForm*>(form);
    catalog->DBEditTitle->setText("Renamed Title");
    catalog->DBMemoNotes->setPlainText("New notes");
    catalog->ButtonOK->click();
  });
  RunAsEvent([] { MainForm->FileOpenClick(); });
  ProcessEvents();
  EXPECT_GE(g_flushes["QVXCAT.DBF"], 1);
  EXPECT_GE(g_flushes["QVXCAT.CDX"], 1);
  EXPECT_GE(g_flushes["QVXCAT.FPT"], 1);
  EXPECT_EQ(MastData->QvxcatTableNOTES->AsString(), "New notes");
  EXPECT_EQ(g_flushes.count("CATEGORY.DBF"), 0u);
  // A delete, in another view.
  g_flushes.clear();
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  answers.Press("OK");
  RunAsEvent([] { MainForm->FileDeleteClick(); });
  ProcessEvents();
  EXPECT_GE(g_flushes["CATEGORY.DBF"], 1);
  EXPECT_EQ(g_flushes.count("QVXCAT.DBF"), 0u);
  // A flush that fails is shown, and the program goes on.
  os::SetFaultHook(FailFlushes);
  answers.Press("OK");
  answers.Press("OK");
  RunAsEvent([] { MainForm->FileDeleteClick(); });
  ProcessEvents();
  os::SetFaultHook(nullptr);
  ASSERT_EQ(answers.Texts().size(), 3);
  EXPECT_NE(answers.Texts()[2].indexOf("CATEGORY"), -1) << answers.Texts()[2].toStdString();
  EXPECT_TRUE(MainForm->isVisible());
}

}  // namespace
}  // namespace qvx_test
