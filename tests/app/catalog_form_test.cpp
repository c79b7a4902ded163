// The catalog record form over the sample catalog, used through the main window's
// New and Open: Apply, OK, Cancel and Esc with the close question, lookup boxes,
// notes, and errors while posting.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/CatalFrm.h"
#include "app/DataMod.h"
#include "app/Main.h"
#include "platform/qt/db_check_box.h"
#include "platform/qt/db_edit.h"
#include "platform/qt/db_lookup_combo_box.h"
#include "platform/qt/db_memo.h"
#include "tests/app/app_test_support.h"
#include "tests/support_qt/qt_test.h"

namespace qvx_test {
namespace {

using platform::TDataSetState;

class CatalogFormTest : public ProgramFixture {
 protected:
  void SetUp() override {
    MakeSampleCatalog(dir_.path());
    Start(dir_.path());
    // Each test starts with Apply as a fresh program has it.
    CatalogForm->ButtonApply->setEnabled(false);
  }
  TDevazozDataSet& Titles() { return MastData->QvxcatTable; }
  std::string Field(const char* name) { return Titles().FieldByName(name)->AsString(); }
  TDataSetState State() { return Titles().State(); }
  // Types at the end of the title edit, as the user would.
  static void TypeInTitle(const QString& text) {
    CatalogForm->DBEditTitle->setFocus();
    QTest::keyClick(CatalogForm->DBEditTitle, Qt::Key_End);
    TypeText(CatalogForm->DBEditTitle, text);
  }
  static void Open() {
    RunAsEvent([] { MainForm->FileOpenClick(); });
  }
  static void New() {
    RunAsEvent([] { MainForm->FileNewClick(); });
  }
  TempDir dir_;
};

TEST_F(CatalogFormTest, LayoutCaptionsButtonsAndTabOrder) {
  TCatalogForm* f = CatalogForm;
  EXPECT_EQ(f->windowTitle(), "Catalog");
  ASSERT_EQ(f->PageControl->count(), 2);
  EXPECT_EQ(f->PageControl->tabText(0), "General");
  EXPECT_EQ(f->PageControl->tabText(1), "Notes");
  EXPECT_EQ(f->LabelTitle->text(), "Title:");
  EXPECT_EQ(f->LabelMemory->text(), "Mem. Blocks:");
  EXPECT_EQ(f->DBCheckBoxAnalog->text(), "Analog Compatible");
  EXPECT_EQ(f->DBCheckBoxDualshock->text(), "Dual Shock Compatible");
  EXPECT_EQ(f->DBCheckBoxAnalog->ValueChecked(), "True");
  EXPECT_EQ(f->DBCheckBoxAnalog->ValueUnchecked(), "False");
  EXPECT_EQ(f->ButtonOK->text(), "OK");
  EXPECT_EQ(f->ButtonCancel->text(), "Cancel");
  EXPECT_EQ(f->ButtonApply->text(), "&Apply");
  EXPECT_EQ(f->DefaultButton(), nullptr);
  EXPECT_EQ(f->CancelButton(), f->ButtonCancel);
  EXPECT_EQ(f->DBEditTitle->maxLength(), 40);
  EXPECT_EQ(f->DBEditPlayers->maxLength(), 5);
  EXPECT_EQ(f->DBEditMemory->maxLength(), 5);
  QWidget* expected[] = {f->DBEditTitle,
                         f->DBLookupComboBoxCategory,
                         f->DBLookupComboBoxDeveloper,
                         f->DBLookupComboBoxDistributor,
                         f->DBEditPlayers,
                         f->DBEditMemory,
                         f->DBCheckBoxAnalog,
                         f->DBCheckBoxDualshock,
                         f->ButtonOK,
                         f->ButtonCancel,
                         f->ButtonApply};
  for (size_t i = 1; i < std::size(expected); ++i)
    EXPECT_EQ(expected[i - 1]->nextInFocusChain(), expected[i]) << i;
}

TEST_F(CatalogFormTest, OpenAndCancelWithoutChangesClosesWithoutAQuestion) {
  const std::string title = Field("TITLE");
  ModalAnswers answers;
  answers.Then([&](QWidget* modal) {
    EXPECT_EQ(modal, CatalogForm);
    EXPECT_EQ(CatalogForm->PageControl->currentIndex(), 0);
    EXPECT_EQ(CatalogForm->focusWidget(), CatalogForm->DBEditTitle);
    EXPECT_EQ(CatalogForm->DBEditTitle->text().toStdString(), title);
    EXPECT_FALSE(CatalogForm->DBLookupComboBoxCategory->DisplayText().isEmpty());
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    CatalogForm->ButtonCancel->click();
  });
  Open();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_FALSE(CatalogForm->isVisible());
  EXPECT_EQ(Field("TITLE"), title);
}

TEST_F(CatalogFormTest, ApplyStoresTheChangeDisablesItselfAndTheFormStaysOpen) {
  const std::string title = Field("TITLE");
  ModalAnswers answers;
  answers.Then([&](QWidget*) {
    EXPECT_FALSE(CatalogForm->ButtonApply->isEnabled());
    TypeInTitle(" X");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_TRUE(CatalogForm->ButtonApply->isEnabled());
    CatalogForm->ButtonApply->click();
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Field("TITLE"), title + " X");
    EXPECT_FALSE(CatalogForm->ButtonApply->isEnabled());
    EXPECT_TRUE(CatalogForm->isVisible());
    EXPECT_EQ(CatalogForm->DBEditTitle->text().toStdString(), title + " X");
    TypeInTitle("Y");
    EXPECT_TRUE(CatalogForm->ButtonApply->isEnabled());
    CatalogForm->ButtonOK->click();
  });
  Open();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_EQ(Field("TITLE"), title + " XY");
  // The grid shows the changed title in its place after the main window's refresh.
  EXPECT_EQ(MainForm->StatusPanel[1]->text(), "48 Items");
}

TEST_F(CatalogFormTest, ApplyKeepsItsStateBetweenUses) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TypeInTitle("1");
    CatalogForm->ButtonApply->click();
    CatalogForm->ButtonCancel->click();
  });
  answers.Then([](QWidget*) {
    EXPECT_FALSE(CatalogForm->ButtonApply->isEnabled());
    CatalogForm->DBEditPlayers->setFocus();
    TypeText(CatalogForm->DBEditPlayers, "9");
    EXPECT_TRUE(CatalogForm->ButtonApply->isEnabled());
    CatalogForm->ButtonCancel->click();
  });
  answers.Button(QMessageBox::No);
  answers.Then([](QWidget*) {
    EXPECT_TRUE(CatalogForm->ButtonApply->isEnabled());
    CatalogForm->ButtonCancel->click();
  });
  Open();
  RunAsEvent([] { MainForm->EditNextClick(); });
  Open();
  Open();
  EXPECT_EQ(answers.Pending(), 0);
}

TEST_F(CatalogFormTest, EscQuestionCancelKeepsEditingAndNoDropsTheChange) {
  const std::string title = Field("TITLE");
  ModalAnswers answers;
  answers.Then([&](QWidget*) {
    TypeInTitle(" changed");
    QTest::keyClick(CatalogForm->DBEditTitle, Qt::Key_Escape);
    // The question was answered Cancel meanwhile.
    EXPECT_TRUE(CatalogForm->isVisible());
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(CatalogForm->DBEditTitle->text().toStdString(), title + " changed");
    QTest::keyClick(CatalogForm->DBEditTitle, Qt::Key_Escape);
  });
  answers.Button(QMessageBox::Cancel);
  answers.Button(QMessageBox::No);
  Open();
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 2u);
  for (const auto& seen : answers.Seen()) {
    EXPECT_EQ(seen.text, "Do you want to save changes?");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, (std::vector<QMessageBox::StandardButton>{
                                QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}));
  }
  EXPECT_FALSE(CatalogForm->isVisible());
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Field("TITLE"), title);
}

TEST_F(CatalogFormTest, CloseBoxWithAChangeAndYesPostsIt) {
  const std::string title = Field("TITLE");
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TypeInTitle("!");
    CatalogForm->close();
  });
  answers.Button(QMessageBox::Yes);
  Open();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_FALSE(CatalogForm->isVisible());
  EXPECT_EQ(Field("TITLE"), title + "!");
}

TEST_F(CatalogFormTest, NewThenOkStoresABlankTitleThatIsNeitherAnalogNorDualShock) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    EXPECT_EQ(MastData->QvxcatTable.State(), TDataSetState::dsInsert);
    EXPECT_EQ(CatalogForm->DBEditTitle->text(), "");
    EXPECT_EQ(CatalogForm->DBCheckBoxAnalog->checkState(), Qt::Unchecked);
    EXPECT_EQ(CatalogForm->DBCheckBoxDualshock->checkState(), Qt::Unchecked);
    EXPECT_EQ(CatalogForm->DBLookupComboBoxCategory->DisplayText(), "");
    CatalogForm->ButtonOK->click();
  });
  New();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_EQ(Titles().RecordCount(), 49);
  EXPECT_EQ(MainForm->StatusPanel[1]->text(), "49 Items");
  // The new record is current: blank texts, logicals False (not blank).
  for (const char* name : {"TITLE", "CATEGORY", "DEVELOPER", "DISTRIBUTR", "PLAYERS", "MEMORYBLKS"})
    EXPECT_TRUE(Titles().FieldByName(name)->IsNull()) << name;
  EXPECT_FALSE(MastData->QvxcatTableANALOG->IsNull());
  EXPECT_FALSE(MastData->QvxcatTableANALOG->AsBoolean());
  EXPECT_FALSE(MastData->QvxcatTableDUALSHOCK->IsNull());
  EXPECT_FALSE(MastData->QvxcatTableDUALSHOCK->AsBoolean());
}

TEST_F(CatalogFormTest, NewUntouchedCancelAsksAndNoDropsTheBlankRecord) {
  ModalAnswers answers;
  answers.Then([](QWidget*) { CatalogForm->ButtonCancel->click(); });
  answers.Button(QMessageBox::No);
  New();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Titles().RecordCount(), 48);
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
}

TEST_F(CatalogFormTest, ACategoryWithoutAnEntryShowsEmptyAndIsKeptUntilTheUserPicksOne) {
  Titles().Edit();
  MastData->QvxcatTableCATEGORY->SetAsString("Gone Category");
  Titles().Post();
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    EXPECT_EQ(CatalogForm->DBLookupComboBoxCategory->DisplayText(), "");
    EXPECT_FALSE(CatalogForm->DBLookupComboBoxDeveloper->DisplayText().isEmpty());
    CatalogForm->DBEditPlayers->setFocus();
    CatalogForm->DBEditPlayers->selectAll();
    TypeText(CatalogForm->DBEditPlayers, "3");
    CatalogForm->ButtonOK->click();
  });
  answers.Then([](QWidget*) {
    // The user picks the first entry with the keyboard.
    auto* box = CatalogForm->DBLookupComboBoxCategory;
    EXPECT_EQ(box->Items().first(), "Action");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->DisplayText(), "Action");
    EXPECT_TRUE(CatalogForm->ButtonApply->isEnabled());
    CatalogForm->ButtonOK->click();
  });
  Open();
  EXPECT_EQ(Field("CATEGORY"), "Gone Category");
  EXPECT_EQ(Field("PLAYERS"), "3");
  Open();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Field("CATEGORY"), "Action");
}

TEST_F(CatalogFormTest, LookupBoxesListTheirTablesAndTheSameCompaniesTwice) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    QStringList categories = CatalogForm->DBLookupComboBoxCategory->Items();
    EXPECT_EQ(categories.size(), 11);
    QStringList sorted = categories;
    sorted.sort();
    EXPECT_EQ(categories, sorted);
    EXPECT_EQ(CatalogForm->DBLookupComboBoxDeveloper->Items().size(), 16);
    EXPECT_EQ(CatalogForm->DBLookupComboBoxDeveloper->Items(),
              CatalogForm->DBLookupComboBoxDistributor->Items());
    // One company may be both developer and distributor.
    CatalogForm->DBLookupComboBoxDeveloper->SelectEntry(2);
    CatalogForm->DBLookupComboBoxDistributor->SelectEntry(2);
    CatalogForm->ButtonOK->click();
  });
  Open();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Field("DEVELOPER"), Field("DISTRIBUTR"));
  EXPECT_EQ(Field("DEVELOPER"), "Cobalt Owl Studio");
}

TEST_F(CatalogFormTest, EnterInTheTitleKeepsTheFormOpenAndEnterInTheNotesAddsALine) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TypeInTitle("2");
    QTest::keyClick(CatalogForm->DBEditTitle, Qt::Key_Return);
    EXPECT_TRUE(CatalogForm->isVisible());
    CatalogForm->PageControl->setCurrentIndex(1);
    platform::qt::TDBMemo* memo = CatalogForm->DBMemoNotes;
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    TypeText(memo, "line one");
    QTest::keyClick(memo, Qt::Key_Return);
    TypeText(memo, "line two");
    EXPECT_TRUE(CatalogForm->isVisible());
    CatalogForm->ButtonOK->click();
  });
  Open();
  EXPECT_EQ(answers.Pending(), 0);
  const std::string notes = MastData->QvxcatTableNOTES->AsString();
  EXPECT_NE(notes.find("line one\r\nline two"), std::string::npos) << notes;
}

TEST_F(CatalogFormTest, APostingErrorIsShownAndTheFormStaysOpenInEditingState) {
  const std::string title = Field("TITLE");
  bool fail = true;
  Titles().BeforePost = [&](platform::TDataSet&) {
    if (fail) platform::DatabaseError("Disk is full");
  };
  ModalAnswers answers;
  answers.Then([&](QWidget*) {
    TypeInTitle("?");
    CatalogForm->ButtonApply->click();
    EXPECT_TRUE(CatalogForm->isVisible());
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_TRUE(CatalogForm->ButtonApply->isEnabled());
    CatalogForm->ButtonOK->click();
    EXPECT_TRUE(CatalogForm->isVisible());
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    CatalogForm->ButtonCancel->click();
    EXPECT_TRUE(CatalogForm->isVisible());
    fail = false;
    CatalogForm->ButtonOK->click();
  });
  answers.Button(QMessageBox::Ok);   // Apply's error
  answers.Button(QMessageBox::Ok);   // OK's error
  answers.Button(QMessageBox::Yes);  // the close question: Yes, and posting fails
  answers.Button(QMessageBox::Ok);
  Open();
  Titles().BeforePost = nullptr;
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 4u);
  EXPECT_EQ(answers.Seen()[0].text, "Disk is full");
  EXPECT_EQ(answers.Seen()[0].icon, QMessageBox::Critical);
  EXPECT_EQ(answers.Seen()[2].text, "Do you want to save changes?");
  EXPECT_FALSE(CatalogForm->isVisible());
  EXPECT_EQ(Field("TITLE"), title + "?");
}

}  // namespace
}  // namespace qvx_test
