// The import dialog on lists as other programs write them, the summary, and the
// start window offered for a folder without a catalog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/ImportDlg.h"
#include "app/ImportSumDlg.h"
#include "app/StartWnd.h"
#include "catalog/catalog_files.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

std::vector<catalog::TargetField> TitleFields() {
  return {{"TITLE", 'C', 40, "Title"},         {"CATEGORY", 'C', 30, "Category"},
          {"DEVELOPER", 'C', 30, "Developer"}, {"DISTRIBUTR", 'C', 30, "Distributor"},
          {"PLAYERS", 'C', 5, "Players"},      {"MEMORYBLKS", 'C', 5, "Memory Blocks"},
          {"ANALOG", 'L', 1, "Analog"},        {"DUALSHOCK", 'L', 1, "Dual Shock"},
          {"NOTES", 'M', 10, "Notes"}};
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

QStringList Mapping(const TImportDialog& dialog) {
  QStringList names;
  for (int c = 0; c < dialog.PreviewGrid->columnCount(); ++c)
    names << dialog.ColumnBox(c)->currentText();
  return names;
}

TEST(ImportDialogTest, ShowsTheDetectedFormatMappingAndFirstRows) {
  TempDir dir;
  WriteText(dir.File("games.csv"),
            "Name;Platform;Genre;Publisher;Vibration\r\n"
            "Pok\xE9mon Snap;N64;Photo;Nintendo;yes\r\n"
            "\"Multi\r\nline\";PS1;Racing;Sony;no\r\n"
            "Short;row\r\n");
  TImportDialog dialog(QString::fromStdString(dir.File("games.csv")), TitleFields(), 0);
  EXPECT_EQ(dialog.EncodingComboBox->currentText(), "Windows-1252");
  EXPECT_EQ(dialog.SeparatorComboBox->currentText(), "Semicolon");
  EXPECT_EQ(Mapping(dialog),
            (QStringList{"Title", "(ignored)", "Category", "Distributor", "Dual Shock"}));
  EXPECT_EQ(dialog.PreviewGrid->horizontalHeaderItem(2)->text(), "Genre");
  EXPECT_EQ(dialog.PreviewGrid->item(1, 0)->text(), QString::fromUtf8("Pokémon Snap"));
  EXPECT_EQ(dialog.PreviewGrid->item(2, 0)->text(), "Multi line");
  // Rows are headed by their line numbers.
  EXPECT_EQ(dialog.PreviewGrid->verticalHeaderItem(3)->text(), "5");
  EXPECT_TRUE(dialog.ImportBtn->isEnabled());
  EXPECT_TRUE(dialog.StatusLabel->text().startsWith("3 rows to import (Windows-1252, semicolon"))
      << dialog.StatusLabel->text().toStdString();
  EXPECT_TRUE(
      dialog.StatusLabel->text().contains("1 row has another number of columns than the "
                                          "header (the first on line 5)"));
  catalog::ImportChoices choices = dialog.Choices();
  EXPECT_EQ(choices.columns, (std::vector<int>{0, -1, 1, 3, 7}));
  EXPECT_EQ(choices.format.separator, ';');
  EXPECT_EQ(choices.format.encoding, catalog::Encoding::kCp1252);
  EXPECT_FALSE(choices.add_duplicates);
  dialog.DuplicatesCheckBox->setChecked(true);
  EXPECT_TRUE(dialog.Choices().add_duplicates);
}

TEST(ImportDialogTest, TheUserChangesMappingCharacterSetAndSeparator) {
  TempDir dir;
  WriteText(dir.File("list.csv"), "Game,Notes,Extra\nCaf\xC3\xA9,a;b,x\n");
  TImportDialog dialog(QString::fromStdString(dir.File("list.csv")), TitleFields(), 0);
  EXPECT_EQ(dialog.EncodingComboBox->currentText(), "UTF-8");
  EXPECT_EQ(Mapping(dialog), (QStringList{"Title", "Notes", "(ignored)"}));
  // A field takes one column: Title chosen for Extra leaves Game.
  dialog.ColumnBox(2)->setCurrentIndex(1);
  EXPECT_EQ(Mapping(dialog), (QStringList{"(ignored)", "Notes", "Title"}));
  // Without a column for the title nothing can be imported.
  dialog.ColumnBox(2)->setCurrentIndex(0);
  EXPECT_FALSE(dialog.ImportBtn->isEnabled());
  EXPECT_TRUE(dialog.StatusLabel->text().contains("Choose the column that holds the title."));
  dialog.ColumnBox(0)->setCurrentIndex(1);
  EXPECT_TRUE(dialog.ImportBtn->isEnabled());
  // The character set read otherwise keeps the mapping.
  dialog.EncodingComboBox->setCurrentIndex(1);
  EXPECT_EQ(dialog.PreviewGrid->item(1, 0)->text(), QString::fromUtf8("CafÃ©"));
  EXPECT_EQ(Mapping(dialog), (QStringList{"Title", "Notes", "(ignored)"}));
  // Another separator gives other columns, mapped afresh.
  dialog.SeparatorComboBox->setCurrentIndex(1);
  EXPECT_EQ(dialog.PreviewGrid->columnCount(), 1);
  EXPECT_EQ(dialog.PreviewGrid->horizontalHeaderItem(0)->text(), "Game,Notes,Extra");
  EXPECT_FALSE(dialog.ImportBtn->isEnabled());
}

TEST(ImportDialogTest, ADamagedListIsNamedAndCannotBeImported) {
  TempDir dir;
  WriteText(dir.File("bad.csv"), "Title,Genre\nA,B\n\"Open,B\nC,D\n");
  TImportDialog dialog(QString::fromStdString(dir.File("bad.csv")), TitleFields(), 0);
  EXPECT_FALSE(dialog.ImportBtn->isEnabled());
  EXPECT_TRUE(dialog.StatusLabel->text().startsWith(
      "This list cannot be imported: line 3: a quoted value that begins here is never closed"))
      << dialog.StatusLabel->text().toStdString();
  WriteText(dir.File("utf8.csv"), "\xEF\xBB\xBFTitle\nCaf\xE9\n");
  TImportDialog invalid(QString::fromStdString(dir.File("utf8.csv")), TitleFields(), 0);
  EXPECT_FALSE(invalid.ImportBtn->isEnabled());
  EXPECT_TRUE(invalid.StatusLabel->text().contains("line 2: the text is not valid UTF-8"));
  // Windows-1252 chosen, the same file reads.
  invalid.EncodingComboBox->setCurrentIndex(1);
  EXPECT_TRUE(invalid.ImportBtn->isEnabled());
  TImportDialog missing(QString::fromStdString(dir.File("none.csv")), TitleFields(), 0);
  EXPECT_FALSE(missing.ImportBtn->isEnabled());
  EXPECT_TRUE(missing.StatusLabel->text().contains("Cannot open"));
}

TEST(ImportSummaryDialogTest, ShowsTheLinesAndOffersUndoWhenSomethingWasAdded) {
  TImportSummaryDialog done({"Rows read: 3", "Titles added: 2", "Caf\xE9"}, true);
  EXPECT_EQ(done.SummaryMemo->toPlainText(),
            QString::fromUtf8("Rows read: 3\nTitles added: 2\nCafé"));
  EXPECT_TRUE(done.UndoBtn->isEnabled());
  EXPECT_EQ(done.UndoBtn->text(), "&Undo this import");
  TImportSummaryDialog nothing({"Rows read: 0"}, false);
  EXPECT_FALSE(nothing.UndoBtn->isEnabled());
}

// Answers the next folder chooser with folder.
void ChooseFolder(ModalAnswers& answers, const std::string& folder) {
  answers.Then([folder](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(chooser, nullptr) << modal->metaObject()->className();
    chooser->setDirectory(QString::fromStdString(folder));
    QMetaObject::invokeMethod(chooser, "accept");
  });
}

TEST(StartWindowTest, NewCatalogHereMakesTheCatalogInTheFolder) {
  TempDir dir;
  TStartWindow start(dir.path());
  EXPECT_TRUE(start.MessageLabel->text().startsWith(
      QString::fromStdString("There is no catalog in this folder (" + dir.path() + ")")));
  int result = 0;
  RunAsEvent([&] {
    QMetaObject::invokeMethod(start.NewHereBtn, "click", Qt::QueuedConnection);
    result = start.ShowModal();
  });
  EXPECT_EQ(result, platform::qt::mrOk);
  EXPECT_EQ(start.Folder(), dir.path());
  EXPECT_TRUE(catalog::HoldsCatalog(dir.path()));
}

TEST(StartWindowTest, OpenACatalogElsewhereOrTheSample) {
  TempDir here, other, empty, sample;
  catalog::CreateCatalog(other.path());
  TStartWindow start(here.path());
  ModalAnswers answers;
  // A folder without a catalog is refused with a message; the window stays.
  ChooseFolder(answers, empty.path());
  answers.Press("OK");
  RunAsEvent([&] { start.OpenBtnClick(); });
  EXPECT_EQ(start.ModalResult(), platform::qt::mrNone);
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_TRUE(answers.Texts()[0].startsWith("There is no catalog in the folder"))
      << answers.Texts()[0].toStdString();
  // A folder with one is taken.
  ChooseFolder(answers, other.path());
  RunAsEvent([&] { start.OpenBtnClick(); });
  EXPECT_EQ(start.ModalResult(), platform::qt::mrOk);
  EXPECT_EQ(start.Folder(), other.path());
  EXPECT_TRUE(catalog::HoldsNoCatalog(here.path()));

  // The sample goes into the folder picked, and only into one without catalog files.
  TStartWindow try_sample(here.path());
  ChooseFolder(answers, other.path());
  answers.Press("OK");
  RunAsEvent([&] { try_sample.SampleBtnClick(); });
  EXPECT_EQ(try_sample.ModalResult(), platform::qt::mrNone);
  EXPECT_TRUE(answers.Texts().back().contains("already holds"))
      << answers.Texts().back().toStdString();
  ChooseFolder(answers, sample.path());
  RunAsEvent([&] { try_sample.SampleBtnClick(); });
  EXPECT_EQ(try_sample.ModalResult(), platform::qt::mrOk);
  EXPECT_EQ(try_sample.Folder(), sample.path());
  EXPECT_TRUE(catalog::HoldsCatalog(sample.path()));
  EXPECT_EQ(answers.Pending(), 0);
}

TEST(StartWindowTest, QuitLeavesTheFolderAsItWas) {
  TempDir here;
  TStartWindow start(here.path());
  int result = 0;
  RunAsEvent([&] {
    QMetaObject::invokeMethod(start.QuitBtn, "click", Qt::QueuedConnection);
    result = start.ShowModal();
  });
  EXPECT_EQ(result, platform::qt::mrCancel);
  EXPECT_TRUE(catalog::HoldsNoCatalog(here.path()));
}

}  // namespace
}  // namespace qvx_test
