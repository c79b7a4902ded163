// The find, sort and filter dialogs through the main window: locate options, the
// not-found message, sort entries and captions, the condition builder, filters on
// and off, rejected filters and tags keeping the dialog open.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cctype>

#include "app/DataMod.h"
#include "app/FiltFrm.h"
#include "app/FindDlg.h"
#include "app/Main.h"
#include "app/SortDlg.h"
#include "app/Views.h"
#include "tests/app/app_test_support.h"
#include "tests/support/mem_dataset.h"
#include "tests/support_qt/qt_test.h"

namespace qvx_test {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class DialogsTest : public ProgramFixture {
 protected:
  void SetUp() override {
    MakeSampleCatalog(dir_.path());
    Start(dir_.path());
  }
  TDevazozDataSet& Titles() { return MastData->QvxcatTable; }
  std::string Title() { return Titles().FieldByName("TITLE")->AsString(); }
  // The titles in the table's current order (the cursor comes back).
  std::vector<std::string> WalkTitles() {
    std::vector<std::string> out;
    platform::TBookmark at = Titles().GetBookmark();
    for (Titles().First(); !Titles().Eof(); Titles().Next()) out.push_back(Title());
    if (!at.empty()) Titles().GotoBookmark(at);
    return out;
  }
  // Fills the find dialog and presses OK.
  static ModalAnswers::Answer FindAnswer(int line, const QString& text, bool case_sensitive,
                                         bool exact) {
    return [=](QWidget* modal) {
      EXPECT_EQ(modal, FindDialog);
      FindDialog->SearchByComboBox->setCurrentIndex(line);
      TypeText(FindDialog->SearchForEdit, text);
      FindDialog->CaseSensitiveCheckBox->setChecked(case_sensitive);
      FindDialog->ExactMatchCheckBox->setChecked(exact);
      FindDialog->OKBtn->click();
    };
  }
  static void Find() {
    RunAsEvent([] { MainForm->EditFindClick(); });
  }
  static void Sort() {
    RunAsEvent([] { MainForm->ViewSortClick(); });
  }
  static void Filter() {
    RunAsEvent([] { MainForm->ViewFilterClick(); });
  }
  // Builds field, operator, value with the builder and presses Add.
  static void Build(const QString& field, int op, const QString& value) {
    TFilterForm* f = FilterForm;
    f->FieldCombo->setCurrentIndex(f->FieldCombo->findText(field));
    f->OperatorCombo->setCurrentIndex(op);
    f->ValueEdit->setText(value);
    f->AddBtn->click();
  }
  TempDir dir_;
};

// ---- Find

TEST_F(DialogsTest, FindDialogShowsItsFieldsByLabelAndStartsEmpty) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TFindDialog* f = FindDialog;
    EXPECT_EQ(f->windowTitle(), "Find");
    EXPECT_EQ(f->SearchByComboBox->count(), 2);
    EXPECT_EQ(f->SearchByComboBox->itemText(0), "Title");
    EXPECT_EQ(f->SearchByComboBox->itemText(1), "Category");
    EXPECT_EQ(f->SearchByComboBox->currentIndex(), 0);
    EXPECT_EQ(f->SearchForEdit->text(), "");
    EXPECT_EQ(f->focusWidget(), f->SearchByComboBox);
    EXPECT_FALSE(f->CaseSensitiveCheckBox->isChecked());
    EXPECT_FALSE(f->ExactMatchCheckBox->isChecked());
    EXPECT_EQ(f->DefaultButton(), f->OKBtn);
    f->CaseSensitiveCheckBox->setChecked(true);
    TypeText(f->SearchForEdit, "anything");
    f->CancelBtn->click();
  });
  answers.Then([](QWidget*) {
    // The text is cleared on every show; the check boxes keep their state.
    EXPECT_EQ(FindDialog->SearchForEdit->text(), "");
    EXPECT_TRUE(FindDialog->CaseSensitiveCheckBox->isChecked());
    EXPECT_EQ(FindDialog->SearchByComboBox->count(), 1);
    EXPECT_EQ(FindDialog->SearchByComboBox->itemText(0), "Category");
    QTest::keyClick(FindDialog->SearchForEdit, Qt::Key_Escape);
  });
  const std::string before = Title();
  Find();
  EXPECT_EQ(Title(), before);
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  Find();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
}

TEST_F(DialogsTest, FindByTitlePrefixInAnyCaseFindsTheFirstInTheCurrentOrder) {
  // The expected record: the first title, in the catalog's current (title) order,
  // that begins with the text in any letter case.
  std::vector<std::string> titles = WalkTitles();
  const std::string want = "sil";
  auto hit = std::find_if(titles.begin(), titles.end(),
                          [&](const std::string& t) { return Lower(t).rfind(want, 0) == 0; });
  ASSERT_NE(hit, titles.end());
  RunAsEvent([] { MainForm->EditLastClick(); });
  ModalAnswers answers;
  answers.Then(FindAnswer(0, "sil", false, false));
  Find();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_EQ(Title(), *hit);
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "TITLE");
}

TEST_F(DialogsTest, FindWithExactMatchNeedsTheWholeTextAndReportsNotFound) {
  std::vector<std::string> titles = WalkTitles();
  const std::string target = titles[5];
  ModalAnswers answers;
  answers.Then(FindAnswer(0, QString::fromStdString(Lower(target)), false, true));
  Find();
  EXPECT_EQ(Title(), target);
  // A prefix is not the whole title: the message, and the record stays.
  const QString prefix = QString::fromStdString(target.substr(0, 4));
  answers.Then(FindAnswer(0, prefix, false, true));
  answers.Button(QMessageBox::Ok);
  Find();
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "\"" + prefix + "\" not found.");
  EXPECT_EQ(answers.Seen()[0].icon, QMessageBox::Information);
  EXPECT_EQ(answers.Seen()[0].buttons, std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});
  EXPECT_EQ(Title(), target);
  EXPECT_FALSE(FindDialog->isVisible());
}

TEST_F(DialogsTest, FindCaseSensitiveUsesTheLetterCase) {
  std::vector<std::string> titles = WalkTitles();
  const std::string target = titles[7];
  ModalAnswers answers;
  answers.Then(FindAnswer(0, QString::fromStdString(Lower(target)), true, true));
  answers.Button(QMessageBox::Ok);
  answers.Then(FindAnswer(0, QString::fromStdString(target.substr(0, 5)), true, false));
  Find();
  EXPECT_EQ(Title(), titles[0]);
  Find();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Title().substr(0, 5), target.substr(0, 5));
  EXPECT_EQ(answers.Seen().size(), 1u);
}

TEST_F(DialogsTest, FindByCategoryInTheCatalog) {
  ModalAnswers answers;
  answers.Then(FindAnswer(1, "puzzle", false, true));
  Find();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Titles().FieldByName("CATEGORY")->AsString(), "Puzzle");
}

TEST_F(DialogsTest, FindWithAnEmptyTextOrCancelDoesNothing) {
  RunAsEvent([] { MainForm->EditNextClick(); });
  const std::string before = Title();
  ModalAnswers answers;
  answers.Then(FindAnswer(0, "", false, false));
  answers.Then([](QWidget*) {
    TypeText(FindDialog->SearchForEdit, "Crimson");
    FindDialog->CancelBtn->click();
  });
  Find();
  Find();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_EQ(Title(), before);
}

// A dataset whose Locate fails, to show that an error keeps the dialog open.
class FailingLocate : public qvx_test::TMemDataSet {
 public:
  FailingLocate() : TMemDataSet({{"TITLE", platform::TFieldType::ftString, 40}}) {}
  bool Locate(const std::string&, const platform::TVariant&, platform::TLocateOptions) override {
    platform::DatabaseError("Index file is damaged");
  }
};

TEST_F(DialogsTest, AnErrorFromLocateIsShownAndTheFindDialogStaysOpen) {
  FailingLocate data;
  data.AddRow({"One"});
  data.Open();
  platform::TDataSource source(&data);
  FindDialog->FieldNames = {"TITLE"};
  FindDialog->DataSource = &source;
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TypeText(FindDialog->SearchForEdit, "x");
    FindDialog->OKBtn->click();
    EXPECT_TRUE(FindDialog->isVisible());
    EXPECT_EQ(FindDialog->ModalResult(), platform::qt::mrNone);
    FindDialog->CancelBtn->click();
  });
  answers.Button(QMessageBox::Ok);
  RunAsEvent([] { FindDialog->ShowModal(); });
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "Index file is damaged");
  EXPECT_FALSE(FindDialog->isVisible());
  FindDialog->DataSource = nullptr;
}

TEST_F(DialogsTest, FindWithoutFieldNamesOffersTheVisibleFields) {
  FindDialog->FieldNames.clear();
  FindDialog->DataSource = &MastData->QvxcatSource;
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    EXPECT_EQ(FindDialog->SearchByComboBox->count(), 8);
    EXPECT_EQ(FindDialog->SearchByComboBox->itemText(7), "Dual Shock");
    FindDialog->CancelBtn->click();
  });
  RunAsEvent([] { FindDialog->ShowModal(); });
  EXPECT_EQ(answers.Pending(), 0);
}

// ---- Sort

TEST_F(DialogsTest, SortByCategoryOrdersTheGridAndShowsTheCaption) {
  ModalAnswers answers;
  answers.Then([](QWidget* modal) {
    EXPECT_EQ(modal, SortDialog);
    EXPECT_EQ(SortDialog->windowTitle(), "Sort");
    EXPECT_EQ(SortDialog->SortByLabel->text(), "Sort By:");
    ASSERT_EQ(SortDialog->SortByComboBox->count(), 2);
    EXPECT_EQ(SortDialog->SortByComboBox->itemText(0), "Title");
    EXPECT_EQ(SortDialog->SortByComboBox->itemText(1), "Category");
    EXPECT_EQ(SortDialog->SortByComboBox->currentIndex(), 0);
    SortDialog->SortByComboBox->setCurrentIndex(1);
    SortDialog->OKBtn->click();
  });
  answers.Then([](QWidget*) {
    EXPECT_EQ(SortDialog->SortByComboBox->currentIndex(), 1);
    SortDialog->CancelBtn->click();
  });
  Sort();
  EXPECT_EQ(Titles().IndexName(), "CATEGORY");
  EXPECT_EQ(MainForm->StatusPanel[2]->text(), "Ordered By Category");
  std::vector<std::string> categories;
  for (Titles().First(); !Titles().Eof(); Titles().Next())
    categories.push_back(Titles().FieldByName("CATEGORY")->AsString());
  EXPECT_TRUE(std::is_sorted(categories.begin(), categories.end()));
  Sort();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Titles().IndexName(), "CATEGORY");
}

TEST_F(DialogsTest, SortKeepsTheCurrentTitle) {
  RunAsEvent([] { MainForm->EditNextClick(); });
  RunAsEvent([] { MainForm->EditNextClick(); });
  const std::string before = Title();
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    SortDialog->SortByComboBox->setCurrentIndex(1);
    QTest::keyClick(SortDialog->SortByComboBox, Qt::Key_Return);
  });
  Sort();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Title(), before);
}

TEST_F(DialogsTest, CategoriesAndDevelopersOfferOneSortEntry) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    ASSERT_EQ(SortDialog->SortByComboBox->count(), 1);
    EXPECT_EQ(SortDialog->SortByComboBox->itemText(0), "Category");
    EXPECT_EQ(SortDialog->SortByComboBox->currentIndex(), 0);
    SortDialog->OKBtn->click();
  });
  answers.Then([](QWidget*) {
    ASSERT_EQ(SortDialog->SortByComboBox->count(), 1);
    EXPECT_EQ(SortDialog->SortByComboBox->itemText(0), "Developer/Distributor");
    SortDialog->OKBtn->click();
  });
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  Sort();
  EXPECT_EQ(MainForm->StatusPanel[2]->text(), "Ordered By Category");
  RunAsEvent([] { MainForm->GoDevelopersClick(); });
  Sort();
  EXPECT_EQ(MainForm->StatusPanel[2]->text(), "Ordered By Developer/Distributor");
  EXPECT_EQ(answers.Pending(), 0);
}

TEST_F(DialogsTest, CaptionProceduresMatchExactlyAndLeaveOtherNamesAlone) {
  std::string caption = "untouched";
  CatalogIndexCaption("title", caption);
  EXPECT_EQ(caption, "untouched");
  CatalogIndexCaption("CATEGORY", caption);
  EXPECT_EQ(caption, "Category");
  CategoryIndexCaption("CATEGORY", caption);
  EXPECT_EQ(caption, "Category");
  DevDistIndexCaption("DEVDIST", caption);
  EXPECT_EQ(caption, "Developer/Distributor");
  DevDistIndexCaption("TITLE", caption);
  EXPECT_EQ(caption, "Developer/Distributor");
}

TEST_F(DialogsTest, AMissingTagIsShownAndTheSortDialogStaysOpen) {
  SortDialog->IndexNames = {"NOSUCH", "TITLE"};
  SortDialog->IndexCaptions = {"Missing", "Title"};
  SortDialog->DataSet = &MastData->QvxcatTable;
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    SortDialog->SortByComboBox->setCurrentIndex(0);
    SortDialog->OKBtn->click();
    EXPECT_TRUE(SortDialog->isVisible());
    SortDialog->SortByComboBox->setCurrentIndex(1);
    SortDialog->OKBtn->click();
  });
  answers.Button(QMessageBox::Ok);
  RunAsEvent([] { SortDialog->ShowModal(); });
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(SortDialog->isVisible());
  EXPECT_EQ(Titles().IndexName(), "TITLE");
}

// ---- Filter

TEST_F(DialogsTest, FilterFieldListHoldsEveryFieldSortedAndTheOperatorTexts) {
  ModalAnswers answers;
  answers.Then([](QWidget* modal) {
    EXPECT_EQ(modal, FilterForm);
    TFilterForm* f = FilterForm;
    EXPECT_EQ(f->windowTitle(), "Filter");
    QStringList fields;
    for (int i = 0; i < f->FieldCombo->count(); ++i) fields << f->FieldCombo->itemText(i);
    EXPECT_EQ(fields.join(","),
              "ANALOG,CATEGORY,DEVELOPER,DISTRIBUTR,DUALSHOCK,MEMORYBLKS,PLAYERS,TITLE");
    QStringList ops;
    for (int i = 0; i < f->OperatorCombo->count(); ++i)
      ops << "[" + f->OperatorCombo->itemText(i) + "]";
    EXPECT_EQ(ops.join(""), "[ = ][ < ][ > ][ <= ][ >= ][ <> ][ AND ][ OR ][(][)]");
    EXPECT_EQ(f->FieldCombo->currentIndex(), -1);
    EXPECT_EQ(f->OperatorCombo->currentIndex(), -1);
    EXPECT_EQ(f->FieldCombo->maxVisibleItems(), 10);
    EXPECT_EQ(f->ConditionMemo->toPlainText(), "");
    EXPECT_TRUE(f->CaseSensitiveCheckBox->isChecked());
    EXPECT_FALSE(f->AddBtn->isEnabled());
    EXPECT_FALSE(f->ClearBtn->isEnabled());
    EXPECT_EQ(f->focusWidget(), f->FieldCombo);
    f->CancelBtn->click();
  });
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  // The list is emptied when the form closes.
  EXPECT_EQ(FilterForm->FieldCombo->count(), 0);
}

TEST_F(DialogsTest, AddIsEnabledOnlyWithFieldOperatorAndValueOrALoneConnective) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TFilterForm* f = FilterForm;
    f->FieldCombo->setCurrentIndex(0);
    EXPECT_FALSE(f->AddBtn->isEnabled());
    EXPECT_TRUE(f->ClearBtn->isEnabled());
    f->OperatorCombo->setCurrentIndex(0);
    EXPECT_FALSE(f->AddBtn->isEnabled());
    TypeText(f->ValueEdit, "x");
    EXPECT_TRUE(f->AddBtn->isEnabled());
    f->ValueEdit->clear();
    EXPECT_FALSE(f->AddBtn->isEnabled());
    for (int op = 6; op <= 9; ++op) {
      f->FieldCombo->setCurrentIndex(-1);
      f->OperatorCombo->setCurrentIndex(op);
      EXPECT_TRUE(f->AddBtn->isEnabled()) << op;
    }
    f->OperatorCombo->setCurrentIndex(5);
    EXPECT_FALSE(f->AddBtn->isEnabled());
    f->ClearBtnClick();
    EXPECT_FALSE(f->ClearBtn->isEnabled());
    f->CancelBtn->click();
  });
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
}

TEST_F(DialogsTest, TheBuilderQuotesByFieldType) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TFilterForm* f = FilterForm;
    Build("ANALOG", 0, "yes");
    EXPECT_EQ(f->ConditionMemo->toPlainText(), "ANALOG = True");
    EXPECT_EQ(f->FieldCombo->currentIndex(), -1);
    EXPECT_EQ(f->OperatorCombo->currentIndex(), -1);
    EXPECT_EQ(f->ValueEdit->text(), "");
    EXPECT_EQ(f->focusWidget(), f->FieldCombo);
    f->OperatorCombo->setCurrentIndex(6);
    f->AddBtn->click();
    Build("PLAYERS", 0, "2");
    EXPECT_EQ(f->ConditionMemo->toPlainText(), "ANALOG = True AND PLAYERS = '2'");
    f->OperatorCombo->setCurrentIndex(7);
    f->AddBtn->click();
    Build("DUALSHOCK", 5, "False");
    Build("TITLE", 1, "it's");
    EXPECT_EQ(f->ConditionMemo->toPlainText(),
              "ANALOG = True AND PLAYERS = '2' OR DUALSHOCK <> FalseTITLE < \"it's\"");
    f->CancelBtn->click();
  });
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  // Number and date fields of other tables.
  platform::TIntegerField number;
  EXPECT_EQ(FilterForm->QuoteValue(&number, "12"), "12");
  platform::TFloatField real;
  EXPECT_EQ(FilterForm->QuoteValue(&real, "1.5"), "1.5");
  platform::TDateField date;
  EXPECT_EQ(FilterForm->QuoteValue(&date, "1999-01-02"), "'1999-01-02'");
}

// Values that would have broken the condition: a logical value read by its
// usual spellings (anything else refused), a text holding a quote written with
// another delimiter, the case-sensitivity read alone among the options.
TEST_F(DialogsTest, TheBuilderWritesEveryValueSoThatTheFilterWorks) {
  {
    ModalAnswers answers;
    answers.Then([](QWidget*) {
      TFilterForm* f = FilterForm;
      Build("ANALOG", 0, "false");
      EXPECT_EQ(f->ConditionMemo->toPlainText(), "ANALOG = False");
      f->ClearBtn->click();
      Build("DUALSHOCK", 0, " No ");
      EXPECT_EQ(f->ConditionMemo->toPlainText(), "DUALSHOCK = False");
      f->ClearBtn->click();
      Build("TITLE", 0, "Say \"it's\"");
      EXPECT_EQ(f->ConditionMemo->toPlainText(), "TITLE = [Say \"it's\"]");
      f->ClearBtn->click();
      Build("TITLE", 0, "Lunar Comet's");
      EXPECT_EQ(f->ConditionMemo->toPlainText(), "TITLE = \"Lunar Comet's\"");
      f->OKBtn->click();
    });
    Filter();
    EXPECT_EQ(answers.Pending(), 0);
  }
  EXPECT_TRUE(Titles().Filtered());
  EXPECT_TRUE(WalkTitles().empty());  // a working condition that no title meets

  // Refused values leave the condition as it was and say why.
  {
    ModalAnswers refusals;
    refusals.Then([](QWidget*) {
      FilterForm->ClearBtn->click();
      Build("ANALOG", 0, "maybe");  // the error box is answered by the next answer
      EXPECT_EQ(FilterForm->ConditionMemo->toPlainText(), "");
      Build("TITLE", 0, "a'b\"c]d");
      EXPECT_EQ(FilterForm->ConditionMemo->toPlainText(), "");
      FilterForm->CancelBtn->click();
    });
    refusals.Button(QMessageBox::Ok).Button(QMessageBox::Ok);
    Filter();
    ASSERT_EQ(refusals.Seen().size(), 2u);
    EXPECT_EQ(refusals.Seen()[0].text, "'maybe' is not a logical value: type True or False");
    EXPECT_TRUE(refusals.Seen()[1].text.contains("both kinds of quotes"));
  }

  Titles().SetFilterOptions(platform::foCaseInsensitive | platform::foNoPartialCompare);
  ModalAnswers options;
  options.Then([](QWidget*) {
    EXPECT_FALSE(FilterForm->CaseSensitiveCheckBox->isChecked());
    FilterForm->CancelBtn->click();
  });
  Filter();
  EXPECT_EQ(options.Pending(), 0);
}

TEST_F(DialogsTest, AValueWithoutAFieldFailsAfterAppendingTheOperator) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    TFilterForm* f = FilterForm;
    f->OperatorCombo->setCurrentIndex(6);
    TypeText(f->ValueEdit, "x");
    f->AddBtn->click();
    EXPECT_EQ(f->ConditionMemo->toPlainText(), " AND ");
    EXPECT_EQ(f->ValueEdit->text(), "x");
    f->CancelBtn->click();
  });
  answers.Button(QMessageBox::Ok);
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "Field '' not found");
}

TEST_F(DialogsTest, FilterOnAnalogShowsTheMarkersAndAnEmptyConditionRemovesIt) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    Build("ANALOG", 0, "yes");
    FilterForm->OKBtn->click();
  });
  Filter();
  EXPECT_TRUE(Titles().Filtered());
  EXPECT_EQ(Titles().Filter(), "ANALOG = True");
  EXPECT_EQ(MainForm->TitlePanel2->width(), 100);
  EXPECT_FALSE(MainForm->StatusPanel[0]->isHidden());
  int visible = 0;
  for (Titles().First(); !Titles().Eof(); Titles().Next()) {
    EXPECT_TRUE(MastData->QvxcatTableANALOG->AsBoolean());
    ++visible;
  }
  EXPECT_EQ(visible, 24);
  // Reopening shows the condition in force; Cancel changes nothing.
  answers.Then([](QWidget*) {
    EXPECT_EQ(FilterForm->ConditionMemo->toPlainText(), "ANALOG = True");
    EXPECT_TRUE(FilterForm->CaseSensitiveCheckBox->isChecked());
    EXPECT_TRUE(FilterForm->ClearBtn->isEnabled());
    FilterForm->ConditionMemo->setPlainText("TITLE = 'x'");
    FilterForm->CancelBtn->click();
  });
  Filter();
  EXPECT_EQ(Titles().Filter(), "ANALOG = True");
  EXPECT_TRUE(Titles().Filtered());
  // OK with an empty condition removes the filter.
  answers.Then([](QWidget*) {
    FilterForm->ClearBtn->click();
    FilterForm->OKBtn->click();
  });
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_FALSE(Titles().Filtered());
  EXPECT_EQ(Titles().Filter(), "");
  EXPECT_EQ(MainForm->TitlePanel2->width(), 1);
  EXPECT_TRUE(MainForm->StatusPanel[0]->isHidden());
}

TEST_F(DialogsTest, CaseSensitivityIsKeptWithTheFilter) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    FilterForm->ConditionMemo->setPlainText("CATEGORY = 'racing'");
    FilterForm->CaseSensitiveCheckBox->setChecked(false);
    FilterForm->OKBtn->click();
  });
  answers.Then([](QWidget*) {
    EXPECT_FALSE(FilterForm->CaseSensitiveCheckBox->isChecked());
    EXPECT_EQ(FilterForm->ConditionMemo->toPlainText(), "CATEGORY = 'racing'");
    FilterForm->CaseSensitiveCheckBox->setChecked(true);
    FilterForm->OKBtn->click();
  });
  Filter();
  EXPECT_EQ(Titles().FilterOptions(), platform::foCaseInsensitive);
  int visible = 0;
  for (Titles().First(); !Titles().Eof(); Titles().Next()) {
    EXPECT_EQ(Titles().FieldByName("CATEGORY")->AsString(), "Racing");
    ++visible;
  }
  EXPECT_GT(visible, 0);
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(Titles().FilterOptions(), 0u);
  Titles().First();
  EXPECT_TRUE(Titles().Eof());
}

TEST_F(DialogsTest, AConditionOverSeveralLinesIsOneFilter) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    FilterForm->ConditionMemo->setPlainText("ANALOG = True\nAND DUALSHOCK = True");
    FilterForm->OKBtn->click();
  });
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_EQ(Titles().Filter(), "ANALOG = True\r\nAND DUALSHOCK = True");
  int visible = 0;
  for (Titles().First(); !Titles().Eof(); Titles().Next()) ++visible;
  EXPECT_EQ(visible, 8);  // titles 0, 6, 12, ... of 48
}

TEST_F(DialogsTest, ARejectedFilterIsShownTheFormStaysOpenAndTheLaterStepsAreSkipped) {
  ModalAnswers answers;
  answers.Then([&](QWidget*) {
    FilterForm->ConditionMemo->setPlainText("TITLE");
    FilterForm->CaseSensitiveCheckBox->setChecked(false);
    FilterForm->OKBtn->click();
    EXPECT_TRUE(FilterForm->isVisible());
    EXPECT_EQ(FilterForm->ModalResult(), platform::qt::mrNone);
    // The case option and the emptying of the field list were skipped.
    EXPECT_EQ(Titles().FilterOptions(), 0u);
    EXPECT_EQ(FilterForm->FieldCombo->count(), 8);  // every field but the memo
    FilterForm->ConditionMemo->setPlainText("ANALOG = False");
    FilterForm->OKBtn->click();
  });
  answers.Button(QMessageBox::Ok);
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "Filter expression must return boolean result");
  EXPECT_FALSE(FilterForm->isVisible());
  EXPECT_EQ(Titles().Filter(), "ANALOG = False");
  EXPECT_EQ(Titles().FilterOptions(), platform::foCaseInsensitive);
  int visible = 0;
  for (Titles().First(); !Titles().Eof(); Titles().Next()) ++visible;
  EXPECT_EQ(visible, 24);
}

TEST_F(DialogsTest, EachTableKeepsItsOwnFilter) {
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    FilterForm->ConditionMemo->setPlainText("ANALOG = True");
    FilterForm->OKBtn->click();
  });
  answers.Then([](QWidget*) {
    EXPECT_EQ(FilterForm->ConditionMemo->toPlainText(), "");
    QStringList fields;
    for (int i = 0; i < FilterForm->FieldCombo->count(); ++i)
      fields << FilterForm->FieldCombo->itemText(i);
    EXPECT_EQ(fields.join(","), "CATEGORY");
    Build("CATEGORY", 4, "R");
    FilterForm->OKBtn->click();
  });
  Filter();
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  Filter();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_EQ(MastData->CategoryTable.Filter(), "CATEGORY >= 'R'");
  EXPECT_EQ(MainForm->TitlePanel2->width(), 100);
  RunAsEvent([] { MainForm->GoCatalogClick(); });
  EXPECT_EQ(Titles().Filter(), "ANALOG = True");
  EXPECT_TRUE(Titles().Filtered());
}

}  // namespace
}  // namespace qvx_test

namespace qvx_test {
namespace {

// Disabled: the dataset's Locate compares the typed (ANSI) text with the table's
// OEM bytes without translating it, so accented titles are not found yet.
TEST_F(DialogsTest, FindsAccentedTitlesWithAndWithoutRegardToCase) {
  TDevazozDataSet& t = MastData->QvxcatTable;
  t.Append();
  t.FieldByName("TITLE")->SetAsString(
      "\xDC"
      "ber Racer");  // "Über Racer" in ANSI
  t.Post();
  t.First();
  ModalAnswers answers;
  answers.Then(FindAnswer(0, QString::fromUtf8("über"), false, false));
  answers.Then(FindAnswer(0, QString::fromUtf8("Über Racer"), true, true));
  Find();
  EXPECT_EQ(Title(),
            "\xDC"
            "ber Racer");
  t.First();
  Find();
  EXPECT_EQ(Title(),
            "\xDC"
            "ber Racer");
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
}

}  // namespace
}  // namespace qvx_test
