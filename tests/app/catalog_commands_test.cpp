// The File menu's catalog commands driven through the main window, offscreen: Open
// Catalog and New Catalog (and the folder in the title), Import with its dialog,
// summary and undo, Export of the shown view; and the start-up choice of the folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/CatalogCmds.h"
#include "app/DataMod.h"
#include "app/ImportDlg.h"
#include "app/ImportSumDlg.h"
#include "app/Main.h"
#include "app/StartWnd.h"
#include "app/qvxcat.h"
#include "catalog/catalog_files.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Answers the next file or folder chooser: a folder is opened, a file chosen (with
// the name filter, when given).
void Choose(ModalAnswers& answers, const std::string& path, const QString& filter = {}) {
  answers.Then([path, filter](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(chooser, nullptr) << modal->metaObject()->className();
    if (chooser->fileMode() == QFileDialog::Directory) {
      chooser->setDirectory(QString::fromStdString(path));
      QMetaObject::invokeMethod(chooser, "accept");
      return;
    }
    // The name typed as a user types it.
    if (!filter.isEmpty()) chooser->selectNameFilter(filter);
    auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(path));
    QMetaObject::invokeMethod(chooser, "accept");
  });
}

class CatalogCommandsTest : public ProgramFixture {
 protected:
  QString Items() const { return MainForm->StatusPanel[1]->text(); }
  bool HasTitle(const std::string& title) {
    return MastData->QvxcatTable.Locate("TITLE", platform::TVariant(title), {});
  }
  TempDir dir_;
};

TEST_F(CatalogCommandsTest, OpenCatalogSwitchesFoldersAndTheTitleNamesIt) {
  TempDir other, empty;
  MakeSampleCatalog(dir_.path());
  MakeSampleCatalog(other.path(), 100);
  Start(dir_.path());
  EXPECT_EQ(MainForm->windowTitle(), CatalogCaption(dir_.path()));
  EXPECT_TRUE(MainForm->windowTitle().endsWith(" - QVX Catalog"));
  EXPECT_EQ(MainForm->FileOpenCatalog->text(), "Open &Catalog…");
  EXPECT_EQ(MainForm->FileNewCatalog->text(), "Ne&w Catalog…");
  EXPECT_EQ(MainForm->FileImport->text(), "&Import…");
  EXPECT_EQ(MainForm->FileExport->text(), "&Export…");
  // The order and filter of this catalog are not carried to the next: it opens as
  // after exit and a new start.
  RunAsEvent([] {
    MastData->QvxcatTable.SetFilter("CATEGORY = \"Racing\"");
    MastData->QvxcatTable.SetFiltered(true);
    MastData->QvxcatTable.SetIndexName("CATEGORY");
    MastData->CategoryTable.SetFilter("CATEGORY = \"Racing\"");
    MastData->CategoryTable.SetFiltered(true);
    MainForm->GoCategoriesClick();
  });
  ModalAnswers answers;
  Choose(answers, other.path());
  RunAsEvent([] { MainForm->FileOpenCatalog->trigger(); });
  EXPECT_EQ(MastData->CatalogFolder(), other.path());
  EXPECT_EQ(Items(), "100 Items");
  EXPECT_EQ(MainForm->windowTitle(), CatalogCaption(other.path()));
  EXPECT_EQ(MainForm->CurrentView(), 1);
  EXPECT_FALSE(MastData->QvxcatTable.Filtered());
  EXPECT_FALSE(MastData->CategoryTable.Filtered());
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "TITLE");
  EXPECT_EQ(MainForm->StatusPanel[2]->text(), "Ordered By Title");
  // A folder without the three tables is named and refused; the catalog stays.
  Choose(answers, empty.path());
  answers.Press("OK");
  RunAsEvent([] { MainForm->FileOpenCatalog->trigger(); });
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_TRUE(answers.Texts()[0].startsWith("There is no catalog in the folder"));
  EXPECT_EQ(MastData->CatalogFolder(), other.path());
  EXPECT_TRUE(MastData->QvxcatTable.Active());
  // A catalog whose table cannot be opened: the error is shown, the previous one
  // comes back.
  TempDir broken;
  catalog::CreateCatalog(broken.path());
  WriteText(broken.File("CATEGORY.DBF"), "not a table");
  Choose(answers, broken.path());
  answers.Then([](QWidget* box) { QMetaObject::invokeMethod(box, "accept"); });
  RunAsEvent([] { MainForm->FileOpenCatalog->trigger(); });
  EXPECT_EQ(MastData->CatalogFolder(), other.path());
  EXPECT_EQ(Items(), "100 Items");
  EXPECT_EQ(answers.Pending(), 0);
}

TEST_F(CatalogCommandsTest, NewCatalogMakesAndOpensAnEmptyCatalog) {
  TempDir fresh;
  MakeSampleCatalog(dir_.path());
  Start(dir_.path());
  ModalAnswers answers;
  Choose(answers, fresh.path());
  RunAsEvent([] { MainForm->FileNewCatalog->trigger(); });
  EXPECT_TRUE(catalog::HoldsCatalog(fresh.path()));
  EXPECT_EQ(MastData->CatalogFolder(), fresh.path());
  EXPECT_EQ(Items(), "0 Items");
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "TITLE");
  // A folder that holds catalog files is refused by name.
  Choose(answers, dir_.path());
  answers.Press("OK");
  RunAsEvent([] { MainForm->FileNewCatalog->trigger(); });
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_TRUE(answers.Texts()[0].contains("already holds QVXCAT.DBF"))
      << answers.Texts()[0].toStdString();
  EXPECT_EQ(MastData->CatalogFolder(), fresh.path());
}

TEST_F(CatalogCommandsTest, ImportAddsTheListShowsTheSummaryAndUndoTakesItOut) {
  MakeSampleCatalog(dir_.path());
  WriteText(dir_.File("mine.csv"),
            "Game;Genre;Publisher;Notes\n"
            "Imported One;Karting;New Corp;first\n"
            "Crimson Harbor;Action;;already there\n"
            "Imported Two;Action;New Corp;\n");
  Start(dir_.path());
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  QString summary;
  ModalAnswers answers;
  Choose(answers, dir_.File("mine.csv"));
  answers.Then([](QWidget* modal) {
    auto* dialog = qobject_cast<TImportDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->SeparatorComboBox->currentText(), "Semicolon");
    dialog->ImportBtn->click();
  });
  answers.Then([&summary](QWidget* modal) {
    auto* result = qobject_cast<TImportSummaryDialog*>(modal);
    ASSERT_NE(result, nullptr);
    summary = result->SummaryMemo->toPlainText();
    result->CloseBtn->click();
  });
  RunAsEvent([] { MainForm->FileImport->trigger(); });
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(
      summary.startsWith("Rows read: 3\nTitles added: 2\nRows skipped: 1\n"
                         "    line 3: \"Crimson Harbor\" is already in the catalog"))
      << summary.toStdString();
  EXPECT_TRUE(summary.contains("Categories added to their list: 1"));
  EXPECT_EQ(MainForm->CurrentView(), 1);
  EXPECT_EQ(Items(), "50 Items");
  EXPECT_TRUE(HasTitle("Imported One"));
  EXPECT_TRUE(MastData->CategoryTable.Locate("CATEGORY", platform::TVariant("Karting"), {}));

  // The same list again, undone from the summary.
  WriteText(dir_.File("more.csv"), "Title,Genre\nUndone Title,Brand New\n");
  Choose(answers, dir_.File("more.csv"));
  answers.Then([](QWidget* modal) { qobject_cast<TImportDialog*>(modal)->ImportBtn->click(); });
  answers.Then([](QWidget* modal) {
    auto* result = qobject_cast<TImportSummaryDialog*>(modal);
    ASSERT_TRUE(result->UndoBtn->isEnabled());
    result->UndoBtn->click();
  });
  RunAsEvent([] { MainForm->FileImport->trigger(); });
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_FALSE(HasTitle("Undone Title"));
  EXPECT_TRUE(HasTitle("Imported One"));
  EXPECT_FALSE(MastData->CategoryTable.Locate("CATEGORY", platform::TVariant("Brand New"), {}));
  // Cancel in the dialog imports nothing.
  Choose(answers, dir_.File("more.csv"));
  answers.Then([](QWidget* modal) { qobject_cast<TImportDialog*>(modal)->CancelBtn->click(); });
  RunAsEvent([] { MainForm->FileImport->trigger(); });
  EXPECT_FALSE(HasTitle("Undone Title"));
}

TEST_F(CatalogCommandsTest, ExportWritesTheShownViewInItsOrderAndFilter) {
  MakeSampleCatalog(dir_.path());
  Start(dir_.path());
  RunAsEvent([] {
    MastData->QvxcatTable.SetFilter("CATEGORY = \"Racing\"");
    MastData->QvxcatTable.SetFiltered(true);
    MainForm->ShowView(1);
  });
  ModalAnswers answers;
  Choose(answers, dir_.File("racing.csv"), "CSV list (*.csv)");
  RunAsEvent([] { MainForm->FileExport->trigger(); });
  std::string csv = ReadFileText(dir_.File("racing.csv"));
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "TITLE,CATEGORY,DEVELOPER,DISTRIBUTR,PLAYERS,MEMORYBLKS,ANALOG,DUALSHOCK,NOTES");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 4) << csv;
  EXPECT_EQ(csv.find(",Action,"), std::string::npos);
  // Categories as JSON, the extension added.
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  Choose(answers, dir_.File("categories"), "JSON list (*.json)");
  RunAsEvent([] { MainForm->FileExport->trigger(); });
  std::string json = ReadFileText(dir_.File("categories.json"));
  EXPECT_EQ(json.substr(0, 30), "[\n  {\"CATEGORY\": \"Action\"},\n  ");
  EXPECT_EQ(answers.Pending(), 0);
}

TEST(StartFolderTest, TheStartWindowOnlyWhereThereIsNoCatalogAtAll) {
  TempDir with, without, partial;
  MakeSampleCatalog(with.path());
  catalog::CreateCatalog(partial.path());
  ASSERT_EQ(std::remove(partial.File("DEVDIST.DBF").c_str()), 0);
  CreateForms();
  std::string folder = with.path();
  EXPECT_TRUE(ChooseStartFolder(folder));
  EXPECT_EQ(folder, with.path());
  // Some tables missing: the open will say which; no start window.
  folder = partial.path();
  EXPECT_TRUE(ChooseStartFolder(folder));
  ModalAnswers answers;
  answers.Then([](QWidget* modal) {
    auto* start = qobject_cast<TStartWindow*>(modal);
    ASSERT_NE(start, nullptr) << modal->metaObject()->className();
    start->QuitBtn->click();
  });
  folder = without.path();
  bool chosen = true;
  RunAsEvent([&] { chosen = ChooseStartFolder(folder); });
  EXPECT_FALSE(chosen);
  answers.Then([](QWidget* modal) { qobject_cast<TStartWindow*>(modal)->NewHereBtn->click(); });
  RunAsEvent([&] { chosen = ChooseStartFolder(folder); });
  EXPECT_TRUE(chosen);
  EXPECT_EQ(folder, without.path());
  EXPECT_TRUE(catalog::HoldsCatalog(without.path()));
  DestroyForms();
}

}  // namespace
}  // namespace qvx_test
