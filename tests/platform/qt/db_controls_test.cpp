// The data-aware edit, memo, check box and lookup combo box over an in-memory
// dataset: showing fields, following the record, starting edits, writing back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "platform/dataset/dataset.h"
#include "platform/qt/db_check_box.h"
#include "platform/qt/db_edit.h"
#include "platform/qt/db_lookup_combo_box.h"
#include "platform/qt/db_memo.h"
#include "platform/services/exception.h"
#include "tests/support/mem_dataset.h"
#include "tests/support_qt/qt_test.h"

namespace {

using platform::TDataSetState;
using platform::TDataSource;
using platform::TFieldType;
using platform::qt::TDBCheckBox;
using platform::qt::TDBEdit;
using platform::qt::TDBLookupComboBox;
using platform::qt::TDBMemo;
using qvx_test::TMemDataSet;

class DbControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qvx_test::EnsureApplication();
    titles_.AddRow({"Crimson Harbor", "Racing", "T", "first line\r\nsecond line"});
    titles_.AddRow({"Silent Meadow", "Puzzle", "F", ""});
    titles_.AddRow({"Turbo Comet", "Gone Category", "", ""});
    categories_.AddRow({"Racing"});
    categories_.AddRow({"Action"});
    categories_.AddRow({"Puzzle"});
    categories_.SetIndexField("CATEGORY");
    titles_.Open();
    categories_.Open();
    window_ = std::make_unique<QWidget>();
    layout_ = new QVBoxLayout(window_.get());
  }

  // Shows the window and gives it the focus, as a user would see it.
  void ShowWindow() {
    window_->show();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  template <class C>
  C* Add(const std::string& field) {
    auto* control = new C(window_.get());
    layout_->addWidget(control);
    control->SetDataSource(&title_source_);
    control->SetDataField(field);
    return control;
  }

  std::string Current(const std::string& field) { return titles_.FieldByName(field)->AsString(); }

  TMemDataSet titles_{{{"TITLE", TFieldType::ftString, 40},
                       {"CATEGORY", TFieldType::ftString, 30},
                       {"ANALOG", TFieldType::ftBoolean, 0},
                       {"NOTES", TFieldType::ftMemo, 0}}};
  TMemDataSet categories_{{{"CATEGORY", TFieldType::ftString, 30}}};
  TDataSource title_source_{&titles_};
  TDataSource category_source_{&categories_};
  std::unique_ptr<QWidget> window_;
  QVBoxLayout* layout_ = nullptr;
};

// ---- Edit

TEST_F(DbControlsTest, EditShowsTheFieldFollowsTheRecordAndTakesTheFieldSize) {
  TDBEdit* edit = Add<TDBEdit>("TITLE");
  EXPECT_EQ(edit->text(), "Crimson Harbor");
  EXPECT_EQ(edit->maxLength(), 40);
  EXPECT_FALSE(edit->isReadOnly());
  titles_.Next();
  EXPECT_EQ(edit->text(), "Silent Meadow");
  titles_.Last();
  EXPECT_EQ(edit->text(), "Turbo Comet");
  titles_.Close();
  EXPECT_EQ(edit->text(), "");
  EXPECT_TRUE(edit->isReadOnly());
}

TEST_F(DbControlsTest, EditFirstKeystrokeStartsEditingBeforeTheChangeEvent) {
  TDBEdit* edit = Add<TDBEdit>("TITLE");
  ShowWindow();
  std::vector<TDataSetState> states;
  QObject::connect(edit, &TDBEdit::Change, [&] { states.push_back(titles_.State()); });
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_End);
  QTest::keyClicks(edit, " 2");
  EXPECT_EQ(titles_.State(), TDataSetState::dsEdit);
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0], TDataSetState::dsEdit);
  EXPECT_EQ(edit->text(), "Crimson Harbor 2");
  EXPECT_EQ(titles_.Stored(1, "TITLE"), "Crimson Harbor");
  titles_.Post();
  EXPECT_EQ(titles_.Stored(1, "TITLE"), "Crimson Harbor 2");
  EXPECT_EQ(edit->text(), "Crimson Harbor 2");
}

TEST_F(DbControlsTest, EditTakesAtMostTheFieldSizeAndCancelShowsTheFieldAgain) {
  TDBEdit* edit = Add<TDBEdit>("TITLE");
  ShowWindow();
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_End);
  QTest::keyClicks(edit, QString(60, QLatin1Char('x')));
  EXPECT_EQ(edit->text().size(), 40);
  titles_.Cancel();
  EXPECT_EQ(edit->text(), "Crimson Harbor");
  EXPECT_EQ(titles_.State(), TDataSetState::dsBrowse);
}

TEST_F(DbControlsTest, EditOnAReadOnlyDatasetRefusesTyping) {
  titles_.SetReadOnly(true);
  TDBEdit* edit = Add<TDBEdit>("TITLE");
  ShowWindow();
  edit->setFocus();
  QTest::keyClicks(edit, "abc");
  EXPECT_EQ(edit->text(), "Crimson Harbor");
  EXPECT_EQ(titles_.State(), TDataSetState::dsBrowse);
}

TEST_F(DbControlsTest, EditHandsItsTextToTheFieldWhenTheFocusLeaves) {
  TDBEdit* edit = Add<TDBEdit>("TITLE");
  TDBEdit* mirror = Add<TDBEdit>("TITLE");
  ShowWindow();
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Home);
  QTest::keyClicks(edit, "The ");
  EXPECT_EQ(Current("TITLE"), "Crimson Harbor");
  mirror->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Current("TITLE"), "The Crimson Harbor");
  EXPECT_EQ(mirror->text(), "The Crimson Harbor");
  EXPECT_EQ(titles_.State(), TDataSetState::dsEdit);
}

TEST_F(DbControlsTest, EditAccentedLettersReachTheFieldAsAnsi) {
  TDBEdit* edit = Add<TDBEdit>("TITLE");
  ShowWindow();
  edit->setFocus();
  edit->selectAll();
  qvx_test::TypeText(edit, QString::fromUtf8("Café Ñandú"));
  titles_.Post();
  EXPECT_EQ(titles_.Stored(1, "TITLE"), "Caf\xE9 \xD1\x61nd\xFA");
  titles_.Next();
  titles_.Prior();
  EXPECT_EQ(edit->text(), QString::fromUtf8("Café Ñandú"));
}

TEST_F(DbControlsTest, EditAndMemoRefuseTextTheCodePageCannotHoldAndStoreNoQuestionMarks) {
  TDBEdit* edit = Add<TDBEdit>("TITLE");
  TDBMemo* memo = Add<TDBMemo>("NOTES");
  ShowWindow();
  edit->setFocus();
  edit->selectAll();
  qvx_test::TypeText(edit, QString::fromUtf8("Привет"));
  EXPECT_THROW(titles_.Post(), platform::Exception);
  EXPECT_EQ(titles_.Stored(1, "TITLE"), "Crimson Harbor");
  // The typed text stays for the user to mend.
  EXPECT_EQ(titles_.State(), TDataSetState::dsEdit);
  EXPECT_EQ(edit->text(), QString::fromUtf8("Привет"));
  edit->selectAll();
  qvx_test::TypeText(edit, QStringLiteral("Privet"));
  memo->setFocus();
  memo->selectAll();
  qvx_test::TypeText(memo, QString::fromUtf8("日本"));
  EXPECT_THROW(titles_.Post(), platform::Exception);
  EXPECT_EQ(titles_.Stored(1, "NOTES"), "first line\r\nsecond line");
  memo->selectAll();
  qvx_test::TypeText(memo, QStringLiteral("Nihon"));
  titles_.Post();
  EXPECT_EQ(titles_.Stored(1, "TITLE"), "Privet");
  EXPECT_EQ(titles_.Stored(1, "NOTES"), "Nihon");
}

// ---- Memo

TEST_F(DbControlsTest, MemoShowsLinesAndEnterAddsALineBreakThatIsStoredAsCrLf) {
  TDBMemo* memo = Add<TDBMemo>("NOTES");
  ShowWindow();
  EXPECT_EQ(memo->toPlainText(), "first line\nsecond line");
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  memo->setFocus();
  QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(memo, Qt::Key_Return);
  qvx_test::TypeText(memo, QString::fromUtf8("third é"));
  EXPECT_EQ(titles_.State(), TDataSetState::dsEdit);
  titles_.Post();
  EXPECT_EQ(titles_.Stored(1, "NOTES"), "first line\r\nsecond line\r\nthird \xE9");
  titles_.Next();
  EXPECT_EQ(memo->toPlainText(), "");
  titles_.Prior();
  EXPECT_EQ(memo->toPlainText(), QString::fromUtf8("first line\nsecond line\nthird é"));
}

TEST_F(DbControlsTest, MemoReadsNothingWhileHiddenAndTheCurrentTextWhenShown) {
  TDBMemo* memo = Add<TDBMemo>("NOTES");
  const int before = titles_.BlobReads();
  titles_.Next();
  titles_.Next();
  titles_.First();
  EXPECT_EQ(titles_.BlobReads(), before);
  ShowWindow();
  EXPECT_EQ(titles_.BlobReads(), before + 1);
  EXPECT_EQ(memo->toPlainText(), "first line\nsecond line");
  EXPECT_EQ(memo->FieldText(), "first line\r\nsecond line");
}

TEST_F(DbControlsTest, MemoTypedOnANewRecordIsPostedWithIt) {
  TDBMemo* memo = Add<TDBMemo>("NOTES");
  ShowWindow();
  titles_.Append();
  EXPECT_EQ(memo->toPlainText(), "");
  memo->setFocus();
  QTest::keyClicks(memo, "new");
  titles_.Post();
  EXPECT_EQ(titles_.StoredCount(), 4);
  EXPECT_EQ(titles_.Stored(4, "NOTES"), "new");
}

// ---- Check box

TEST_F(DbControlsTest, CheckBoxShowsTrueFalseAndNoValue) {
  TDBCheckBox* box = Add<TDBCheckBox>("ANALOG");
  EXPECT_EQ(box->checkState(), Qt::Checked);
  titles_.Next();
  EXPECT_EQ(box->checkState(), Qt::Unchecked);
  titles_.Next();
  EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
}

TEST_F(DbControlsTest, CheckBoxClickStartsEditingFiresClickAndPostStoresTheValue) {
  TDBCheckBox* box = Add<TDBCheckBox>("ANALOG");
  ShowWindow();
  titles_.Next();
  std::vector<TDataSetState> states;
  QObject::connect(box, &TDBCheckBox::Click, [&] { states.push_back(titles_.State()); });
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_EQ(box->checkState(), Qt::Checked);
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0], TDataSetState::dsEdit);
  titles_.Post();
  EXPECT_EQ(titles_.Stored(2, "ANALOG"), "T");
  // A grayed box (no value) becomes ticked, then unticked.
  titles_.Next();
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(box->checkState(), Qt::Checked);
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(box->checkState(), Qt::Unchecked);
  titles_.Post();
  EXPECT_EQ(titles_.Stored(3, "ANALOG"), "F");
}

TEST_F(DbControlsTest, CheckBoxOnATextFieldUsesItsValueLists) {
  TMemDataSet flags{{{"FLAG", TFieldType::ftString, 5}}};
  flags.AddRow({"y"});
  flags.AddRow({"No"});
  flags.AddRow({"maybe"});
  flags.Open();
  TDataSource source(&flags);
  auto box = std::make_unique<TDBCheckBox>();
  box->SetValueChecked("Yes;Y");
  box->SetValueUnchecked("No;N");
  box->SetDataSource(&source);
  box->SetDataField("FLAG");
  EXPECT_EQ(box->checkState(), Qt::Checked);
  flags.Next();
  EXPECT_EQ(box->checkState(), Qt::Unchecked);
  box->click();
  flags.Post();
  EXPECT_EQ(flags.Stored(2, "FLAG"), "Yes");
  flags.Next();
  EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
  box->click();
  box->click();
  flags.Post();
  EXPECT_EQ(flags.Stored(3, "FLAG"), "No");
}

// ---- Lookup combo box

TDBLookupComboBox* BindLookup(TDBLookupComboBox* box, TDataSource* list) {
  box->SetListSource(list);
  box->SetKeyField("CATEGORY");
  box->SetListField("CATEGORY");
  return box;
}

TEST_F(DbControlsTest, LookupListsItsTableInItsCurrentOrderAndFilter) {
  auto* box = BindLookup(Add<TDBLookupComboBox>("CATEGORY"), &category_source_);
  EXPECT_EQ(box->Items(), QStringList({"Action", "Puzzle", "Racing"}));
  categories_.SetIndexField("");
  EXPECT_EQ(box->Items(), QStringList({"Racing", "Action", "Puzzle"}));
  categories_.OnFilterRecord = [](platform::TDataSet& d, bool& accept) {
    accept = d.FieldByName("CATEGORY")->AsString() != "Action";
  };
  categories_.SetFiltered(true);
  EXPECT_EQ(box->Items(), QStringList({"Racing", "Puzzle"}));
}

TEST_F(DbControlsTest, LookupShowsTheLocatedEntryAndMakesItTheListsCurrentRecord) {
  auto* box = BindLookup(Add<TDBLookupComboBox>("CATEGORY"), &category_source_);
  ShowWindow();
  EXPECT_EQ(box->DisplayText(), "Racing");
  EXPECT_EQ(categories_.FieldByName("CATEGORY")->AsString(), "Racing");
  titles_.Next();
  EXPECT_EQ(box->DisplayText(), "Puzzle");
  EXPECT_EQ(categories_.FieldByName("CATEGORY")->AsString(), "Puzzle");
}

TEST_F(DbControlsTest, LookupWithoutAnEntryShowsEmptyAndKeepsTheStoredText) {
  auto* box = BindLookup(Add<TDBLookupComboBox>("CATEGORY"), &category_source_);
  TDBEdit* title = Add<TDBEdit>("TITLE");
  ShowWindow();
  titles_.Last();
  EXPECT_EQ(box->DisplayText(), "");
  title->setFocus();
  QTest::keyClicks(title, "!");
  titles_.Post();
  EXPECT_EQ(titles_.Stored(3, "CATEGORY"), "Gone Category");
  EXPECT_EQ(titles_.Stored(3, "TITLE"), "Turbo Comet!");
}

TEST_F(DbControlsTest, LookupPickStartsEditingStoresTheKeyAndFiresClick) {
  auto* box = BindLookup(Add<TDBLookupComboBox>("CATEGORY"), &category_source_);
  ShowWindow();
  QSignalSpy clicks(box, &TDBLookupComboBox::Click);
  box->setFocus();
  // From "Racing" (the last entry) one step up is "Puzzle".
  QTest::keyClick(box, Qt::Key_Up);
  EXPECT_EQ(titles_.State(), TDataSetState::dsEdit);
  EXPECT_EQ(Current("CATEGORY"), "Puzzle");
  EXPECT_EQ(box->DisplayText(), "Puzzle");
  EXPECT_EQ(clicks.count(), 1);
  titles_.Post();
  EXPECT_EQ(titles_.Stored(1, "CATEGORY"), "Puzzle");
  // A title without an entry gets one only when the user picks it.
  titles_.Last();
  box->SelectEntry(0);
  EXPECT_EQ(Current("CATEGORY"), "Action");
  EXPECT_EQ(box->DisplayText(), "Action");
}

TEST_F(DbControlsTest, LookupPopupSelectsTheCurrentEntry) {
  auto* box = BindLookup(Add<TDBLookupComboBox>("CATEGORY"), &category_source_);
  ShowWindow();
  titles_.Next();
  box->showPopup();
  EXPECT_EQ(box->currentIndex(), 1);
  box->hidePopup();
  titles_.Last();
  box->showPopup();
  EXPECT_EQ(box->currentIndex(), -1);
  box->hidePopup();
}

TEST_F(DbControlsTest, LookupReadsTheListAgainAfterTheListTableChanged) {
  auto* box = BindLookup(Add<TDBLookupComboBox>("CATEGORY"), &category_source_);
  ShowWindow();
  EXPECT_EQ(box->Items().size(), 3);
  // Moving the catalog locates entries without reading the list again.
  const int walks_before = categories_.LocateCount();
  titles_.Next();
  titles_.First();
  EXPECT_EQ(categories_.LocateCount(), walks_before + 2);
  categories_.Append();
  categories_.FieldByName("CATEGORY")->SetAsString("Gone Category");
  categories_.Post();
  EXPECT_EQ(box->Items(), QStringList({"Action", "Gone Category", "Puzzle", "Racing"}));
  titles_.Last();
  EXPECT_EQ(box->DisplayText(), "Gone Category");
}

TEST_F(DbControlsTest, LookupOnAReadOnlyLinkStoresNothing) {
  auto* box = BindLookup(Add<TDBLookupComboBox>("CATEGORY"), &category_source_);
  box->SetReadOnly(true);
  ShowWindow();
  box->SelectEntry(0);
  EXPECT_EQ(titles_.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Current("CATEGORY"), "Racing");
}

}  // namespace
