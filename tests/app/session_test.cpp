// A whole session as a user would have it: three new titles with accented notes,
// a renamed category, find, sort by category, a filter on ANALOG, a deleted title,
// pack and reindex, close; then the program is started again and shows the same
// texts, the index files pass the checker and the table holds exactly the records
// expected, with the texts in the OEM code page.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <sstream>

#include "app/CatalFrm.h"
#include "app/CategFrm.h"
#include "app/DataMod.h"
#include "app/FiltFrm.h"
#include "app/FindDlg.h"
#include "app/Main.h"
#include "app/SortDlg.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/db_check_box.h"
#include "platform/qt/db_edit.h"
#include "platform/qt/db_lookup_combo_box.h"
#include "platform/qt/db_memo.h"
#include "platform/services/codepage.h"
#include "tests/app/app_test_support.h"
#include "tests/support_qt/qt_test.h"

namespace qvx_test {
namespace {

struct NewTitle {
  QString title;
  int category;   // entry of the category box (picked with the keyboard)
  int developer;  // entries of the company boxes
  int distributor;
  QString players;
  QString memory;
  bool analog;
  bool dualshock;
  QString notes;  // lines separated by \n
};

const NewTitle kNewTitles[] = {
    {QString::fromUtf8("École Rally"), 1, 0, 2, "1-2", "3", true, false,
     QString::fromUtf8("Première course: très rapide.\nDeux joueurs à la fois.")},
    {QString::fromUtf8("Über Racer"), 2, 5, 5, "1-4", "12", false, true,
     QString::fromUtf8("Fünf Strecken, schöne Grafik.\nÄrger mit dem Speicher: 2 Blöcke.")},
    {QString::fromUtf8("Niño Quest"), 1, 15, 3, "1", "1", true, true,
     QString::fromUtf8("Año nuevo, misión nueva.\nÇa marche très bien, garçon!")},
};

const char* const kCategories[] = {"Action", "Adventure", "Fighting"};
const char* const kCompanies[] = {
    "Amber Fox Works", "Blue Lantern Games",  "Cobalt Owl Studio", "Driftwood Interactive",
    "Ember Gate",      "Foggy Pier Software", "Granite Kite",      "Harbor Moth Games",
    "Iron Tulip",      "Juniper Arcade",      "Kestrel Byte",      "Lumen Quarry",
    "Maple Circuit",   "Nimbus Yard",         "Orchid Engine",     "Pebble Forge"};

std::string Oem(const QString& text) {
  return platform::AnsiToOem(platform::qt::QStringToAnsi(text));
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class SessionTest : public ProgramFixture {
 protected:
  std::string Tool(const std::string& arguments) {
    std::string out, err;
    EXPECT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " " + arguments, &out, &err), 0) << err;
    return out;
  }
  std::string Dump(const char* table) {
    return Tool("dump --memo '" + dir_.path() + "/" + table + "'");
  }
  static void AddTitle(ModalAnswers& answers, const NewTitle& t) {
    answers.Then([&t](QWidget*) {
      TCatalogForm* f = CatalogForm;
      TypeText(f->DBEditTitle, t.title);
      f->DBLookupComboBoxCategory->setFocus();
      for (int i = 0; i <= t.category; ++i)
        QTest::keyClick(f->DBLookupComboBoxCategory, Qt::Key_Down);
      f->DBLookupComboBoxDeveloper->SelectEntry(t.developer);
      f->DBLookupComboBoxDistributor->SelectEntry(t.distributor);
      f->DBEditPlayers->setFocus();
      TypeText(f->DBEditPlayers, t.players);
      f->DBEditMemory->setFocus();
      TypeText(f->DBEditMemory, t.memory);
      if (t.analog) QTest::mouseClick(f->DBCheckBoxAnalog, Qt::LeftButton);
      if (t.dualshock) QTest::mouseClick(f->DBCheckBoxDualshock, Qt::LeftButton);
      f->PageControl->setCurrentIndex(1);
      f->DBMemoNotes->setFocus();
      const QStringList lines = t.notes.split('\n');
      for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) QTest::keyClick(f->DBMemoNotes, Qt::Key_Return);
        TypeText(f->DBMemoNotes, lines[i]);
      }
      f->ButtonOK->click();
    });
  }
  TempDir dir_;
};

TEST_F(SessionTest, AWholeSessionKeepsTheCatalogSound) {
  MakeSampleCatalog(dir_.path());
  const std::vector<std::string> before = Lines(Dump("QVXCAT.DBF"));
  ASSERT_EQ(before.size(), 49u);
  Start(dir_.path());
  TDevazozDataSet& titles = MastData->QvxcatTable;

  // Three new titles.
  {
    ModalAnswers answers;
    for (const NewTitle& t : kNewTitles) {
      AddTitle(answers, t);
      RunAsEvent([] { MainForm->FileNewClick(); });
    }
    EXPECT_EQ(answers.Pending(), 0);
    EXPECT_TRUE(answers.Seen().empty());
    EXPECT_EQ(MainForm->StatusPanel[1]->text(), "51 Items");
  }

  // Rename a category: find it in the Categories view, open it, type the new name.
  {
    ModalAnswers answers;
    answers.Then([](QWidget*) {
      TypeText(FindDialog->SearchForEdit, "puzzle");
      FindDialog->ExactMatchCheckBox->setChecked(true);
      FindDialog->OKBtn->click();
    });
    answers.Then([](QWidget*) {
      EXPECT_EQ(CategoryForm->DBEditCategory->text(), "Puzzle");
      QTest::keyClick(CategoryForm->DBEditCategory, Qt::Key_End);
      TypeText(CategoryForm->DBEditCategory, "s");
      QTest::keyClick(CategoryForm->DBEditCategory, Qt::Key_Return);
    });
    RunAsEvent([] { MainForm->GoCategoriesClick(); });
    RunAsEvent([] { MainForm->EditFindClick(); });
    RunAsEvent([] { MainForm->FileOpenClick(); });
    EXPECT_EQ(answers.Pending(), 0);
    EXPECT_EQ(MastData->CategoryTable.FieldByName("CATEGORY")->AsString(), "Puzzles");
  }

  // Back in the catalog: find, sort by category, filter on ANALOG = True.
  RunAsEvent([] { MainForm->GoCatalogClick(); });
  {
    ModalAnswers answers;
    answers.Then([](QWidget*) {
      TypeText(FindDialog->SearchForEdit, "crimson h");
      FindDialog->ExactMatchCheckBox->setChecked(false);
      FindDialog->OKBtn->click();
    });
    answers.Then([](QWidget*) {
      SortDialog->SortByComboBox->setCurrentIndex(1);
      SortDialog->OKBtn->click();
    });
    answers.Then([](QWidget*) {
      FilterForm->FieldCombo->setCurrentIndex(FilterForm->FieldCombo->findText("ANALOG"));
      FilterForm->OperatorCombo->setCurrentIndex(0);
      TypeText(FilterForm->ValueEdit, "True");
      FilterForm->AddBtn->click();
      FilterForm->OKBtn->click();
    });
    RunAsEvent([] { MainForm->EditFindClick(); });
    EXPECT_EQ(titles.FieldByName("TITLE")->AsString(), "Crimson Harbor");
    RunAsEvent([] { MainForm->ViewSortClick(); });
    EXPECT_EQ(MainForm->StatusPanel[2]->text(), "Ordered By Category");
    EXPECT_EQ(titles.FieldByName("TITLE")->AsString(), "Crimson Harbor");
    RunAsEvent([] { MainForm->ViewFilterClick(); });
    EXPECT_EQ(titles.Filter(), "ANALOG = True");
    EXPECT_EQ(MainForm->TitlePanel2->width(), 100);
    int visible = 0;
    std::string last_category;
    for (titles.First(); !titles.Eof(); titles.Next()) {
      EXPECT_TRUE(MastData->QvxcatTableANALOG->AsBoolean());
      EXPECT_LE(last_category, titles.FieldByName("CATEGORY")->AsString());
      last_category = titles.FieldByName("CATEGORY")->AsString();
      ++visible;
    }
    EXPECT_EQ(visible, 24 + 2);
    EXPECT_EQ(answers.Pending(), 0);
  }

  // Delete the title found before (it is analog), then pack and reindex.
  {
    ASSERT_TRUE(titles.Locate("TITLE", platform::TVariant("Crimson Harbor"), 0));
    ModalAnswers answers;
    answers.Button(QMessageBox::Ok);   // Delete record?
    answers.Button(QMessageBox::Yes);  // pack question
    answers.Button(QMessageBox::Ok);   // Packing successfully completed.
    answers.Button(QMessageBox::Yes);  // reindex question
    answers.Button(QMessageBox::Ok);   // Reindexing successfully completed.
    RunAsEvent([] { MainForm->FileDeleteClick(); });
    RunAsEvent([] { MainForm->ToolsPackDataClick(); });
    RunAsEvent([] { MainForm->ToolsReindexDataClick(); });
    EXPECT_EQ(answers.Pending(), 0);
    ASSERT_EQ(answers.Seen().size(), 5u);
    EXPECT_EQ(answers.Seen()[2].text, "Packing successfully completed.");
    EXPECT_EQ(answers.Seen()[4].text, "Reindexing successfully completed.");
  }
  Stop();

  // Started again: the new titles and their notes read back the same.
  Start(dir_.path());
  {
    TDevazozDataSet& table = MastData->QvxcatTable;
    EXPECT_EQ(table.RecordCount(), 50);
    ModalAnswers answers;
    for (const NewTitle& t : kNewTitles) {
      bool found = false;
      for (table.First(); !table.Eof(); table.Next()) {
        if (platform::qt::AnsiToQString(table.FieldByName("TITLE")->AsString()) == t.title) {
          found = true;
          break;
        }
      }
      ASSERT_TRUE(found) << t.title.toStdString();
      QString notes = t.notes;
      notes.replace("\n", "\r\n");
      EXPECT_EQ(platform::qt::AnsiToQString(MastData->QvxcatTableNOTES->AsString()), notes);
      answers.Then([&t](QWidget*) {
        EXPECT_EQ(CatalogForm->DBEditTitle->text(), t.title);
        CatalogForm->PageControl->setCurrentIndex(1);
        EXPECT_EQ(CatalogForm->DBMemoNotes->toPlainText(), t.notes);
        CatalogForm->ButtonCancel->click();
      });
      RunAsEvent([] { MainForm->FileOpenClick(); });
    }
    EXPECT_EQ(answers.Pending(), 0);
    EXPECT_TRUE(answers.Seen().empty());
  }
  Stop();

  // Every index file passes the checker.
  for (const char* base : {"QVXCAT", "CATEGORY", "DEVDIST"}) {
    const std::string dbf = dir_.path() + "/" + base + ".DBF";
    const std::string cdx = dir_.path() + "/" + base + ".CDX";
    EXPECT_EQ(Tool("check '" + dbf + "' '" + cdx + "'"), "ok\n") << base;
  }

  // The title table holds the 47 remaining sample titles, renumbered by the pack,
  // then the three new ones, their texts in the OEM code page.
  std::vector<std::string> expected;
  expected.push_back(before[0]);
  int recno = 0;
  for (size_t i = 1; i < before.size(); ++i) {
    std::string line = before[i];
    std::string rest = line.substr(line.find('\t'));
    if (rest.rfind("\t\tCrimson Harbor\t", 0) == 0) continue;
    expected.push_back(std::to_string(++recno) + rest);
  }
  ASSERT_EQ(expected.size(), 48u);
  for (const NewTitle& t : kNewTitles) {
    QString notes = t.notes;
    notes.replace("\n", "\r\n");
    expected.push_back(std::to_string(++recno) + "\t\t" + Oem(t.title) + "\t" +
                       kCategories[t.category] + "\t" + kCompanies[t.developer] + "\t" +
                       kCompanies[t.distributor] + "\t" + t.players.toStdString() + "\t" +
                       t.memory.toStdString() + "\t" + (t.analog ? "T" : "F") + "\t" +
                       (t.dualshock ? "T" : "F") + "\t" + Escape(Oem(notes)));
  }
  const std::vector<std::string> after = Lines(Dump("QVXCAT.DBF"));
  EXPECT_EQ(after, expected);
  // The OEM bytes themselves (code page 437): É is 0x90, ü is 0x81, ñ is 0xA4.
  EXPECT_EQ(Oem(QString::fromUtf8("É")), "\x90");
  EXPECT_EQ(Oem(QString::fromUtf8("ü")), "\x81");
  EXPECT_EQ(Oem(QString::fromUtf8("ñ")), "\xA4");
  ASSERT_EQ(after.size(), 51u);
  EXPECT_EQ(after[48].substr(0, 7),
            "48\t\t\x90"
            "co");

  const std::vector<std::string> categories = Lines(Dump("CATEGORY.DBF"));
  ASSERT_EQ(categories.size(), 12u);
  EXPECT_EQ(categories[5], "5\t\tPuzzles");
}

}  // namespace
}  // namespace qvx_test
