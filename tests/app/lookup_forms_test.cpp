// The category and developer/distributor forms through the main window's views:
// New with Enter and Esc, renaming a category that titles use, Apply's one use,
// errors while posting.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/CategFrm.h"
#include "app/DataMod.h"
#include "app/DevFrm.h"
#include "app/Main.h"
#include "platform/qt/db_edit.h"
#include "tests/app/app_test_support.h"
#include "tests/support_qt/qt_test.h"

namespace qvx_test {
namespace {

using platform::TDataSetState;

class LookupFormsTest : public ProgramFixture {
 protected:
  void SetUp() override {
    MakeSampleCatalog(dir_.path());
    Start(dir_.path());
  }
  // The texts of field `name` of `table` in its current order.
  static std::vector<std::string> Walk(TDevazozDataSet& table, const char* name) {
    std::vector<std::string> out;
    platform::TBookmark at = table.GetBookmark();
    for (table.First(); !table.Eof(); table.Next())
      out.push_back(table.FieldByName(name)->AsString());
    if (!at.empty()) table.GotoBookmark(at);
    return out;
  }
  TempDir dir_;
};

TEST_F(LookupFormsTest, FormsCarryTheirCaptionsLabelsAndButtons) {
  EXPECT_EQ(CategoryForm->windowTitle(), "Categories");
  EXPECT_EQ(CategoryForm->Label1->text(), "Category:");
  EXPECT_EQ(CategoryForm->DBEditCategory->maxLength(), 30);
  EXPECT_EQ(CategoryForm->DefaultButton(), CategoryForm->ButtonOK);
  EXPECT_EQ(CategoryForm->CancelButton(), CategoryForm->ButtonCancel);
  EXPECT_EQ(CategoryForm->ButtonApply->text(), "&Apply");
  EXPECT_EQ(DeveloperForm->windowTitle(), "Developers/Distributors");
  EXPECT_EQ(DeveloperForm->Label1->text(), "Developer/Distributor:");
  EXPECT_EQ(DeveloperForm->DBEditDevdist->maxLength(), 30);
  EXPECT_EQ(DeveloperForm->DefaultButton(), DeveloperForm->ButtonOK);
}

TEST_F(LookupFormsTest, NewCategoryWithEnterIsStoredInItsSortedPlace) {
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  ModalAnswers answers;
  answers.Then([](QWidget* modal) {
    EXPECT_EQ(modal, CategoryForm);
    EXPECT_EQ(CategoryForm->focusWidget(), CategoryForm->DBEditCategory);
    TypeText(CategoryForm->DBEditCategory, "Music");
    QTest::keyClick(CategoryForm->DBEditCategory, Qt::Key_Return);
  });
  RunAsEvent([] { MainForm->FileNewClick(); });
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_FALSE(CategoryForm->isVisible());
  TDevazozDataSet& table = MastData->CategoryTable;
  EXPECT_EQ(table.FieldByName("CATEGORY")->AsString(), "Music");
  EXPECT_EQ(MainForm->StatusPanel[1]->text(), "12 Items");
  std::vector<std::string> names = Walk(table, "CATEGORY");
  ASSERT_EQ(names.size(), 12u);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_NE(std::find(names.begin(), names.end(), "Music"), names.end());
}

TEST_F(LookupFormsTest, NewDeveloperAndEscWithoutTypingAsksAndNoLeavesTheTable) {
  RunAsEvent([] { MainForm->GoDevelopersClick(); });
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    EXPECT_EQ(MastData->DevdistTable.State(), TDataSetState::dsInsert);
    QTest::keyClick(DeveloperForm->DBEditDevdist, Qt::Key_Escape);
  });
  answers.Button(QMessageBox::No);
  RunAsEvent([] { MainForm->FileNewClick(); });
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "Do you want to save changes?");
  EXPECT_EQ(answers.Seen()[0].icon, QMessageBox::Warning);
  EXPECT_EQ(MastData->DevdistTable.RecordCount(), 16);
  EXPECT_EQ(MastData->DevdistTable.State(), TDataSetState::dsBrowse);
}

TEST_F(LookupFormsTest, RenamingACategoryLeavesTheTitlesThatUseIt) {
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  TDevazozDataSet& categories = MastData->CategoryTable;
  ASSERT_TRUE(categories.Locate("CATEGORY", platform::TVariant("Racing"), 0));
  const auto uses_before = Walk(MastData->QvxcatTable, "CATEGORY");
  const long racing = std::count(uses_before.begin(), uses_before.end(), "Racing");
  ASSERT_GT(racing, 0);
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    CategoryForm->DBEditCategory->selectAll();
    TypeText(CategoryForm->DBEditCategory, "Driving");
    CategoryForm->ButtonOK->click();
  });
  RunAsEvent([] { MainForm->FileOpenClick(); });
  EXPECT_EQ(answers.Pending(), 0);
  std::vector<std::string> names = Walk(categories, "CATEGORY");
  EXPECT_EQ(std::count(names.begin(), names.end(), "Racing"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Driving"), 1);
  const auto uses_after = Walk(MastData->QvxcatTable, "CATEGORY");
  EXPECT_EQ(std::count(uses_after.begin(), uses_after.end(), "Racing"), racing);
  EXPECT_EQ(uses_after, uses_before);
}

TEST_F(LookupFormsTest, ApplyWorksOnceInTheWholeRun) {
  RunAsEvent([] { MainForm->GoDevelopersClick(); });
  ModalAnswers answers;
  answers.Then([](QWidget*) {
    EXPECT_TRUE(DeveloperForm->ButtonApply->isEnabled());
    QTest::keyClick(DeveloperForm->DBEditDevdist, Qt::Key_End);
    TypeText(DeveloperForm->DBEditDevdist, " Ltd");
    DeveloperForm->ButtonApply->click();
    EXPECT_FALSE(DeveloperForm->ButtonApply->isEnabled());
    EXPECT_EQ(MastData->DevdistTable.State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(DeveloperForm->isVisible());
    TypeText(DeveloperForm->DBEditDevdist, "!");
    // Nothing enables Apply again.
    EXPECT_FALSE(DeveloperForm->ButtonApply->isEnabled());
    DeveloperForm->ButtonOK->click();
  });
  answers.Then([](QWidget*) {
    EXPECT_FALSE(DeveloperForm->ButtonApply->isEnabled());
    DeveloperForm->ButtonCancel->click();
  });
  RunAsEvent([] { MainForm->FileOpenClick(); });
  EXPECT_EQ(MastData->DevdistTable.FieldByName("DEVDIST")->AsString(), "Amber Fox Works Ltd!");
  RunAsEvent([] { MainForm->EditLastClick(); });
  RunAsEvent([] { MainForm->FileOpenClick(); });
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_TRUE(answers.Seen().empty());
}

TEST_F(LookupFormsTest, APostingErrorKeepsTheFormOpenInEditingState) {
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  TDevazozDataSet& categories = MastData->CategoryTable;
  categories.BeforePost = [](platform::TDataSet&) { platform::DatabaseError("Write refused"); };
  ModalAnswers answers;
  answers.Then([&](QWidget*) {
    QTest::keyClick(CategoryForm->DBEditCategory, Qt::Key_End);
    TypeText(CategoryForm->DBEditCategory, "X");
    CategoryForm->ButtonOK->click();
    EXPECT_TRUE(CategoryForm->isVisible());
    EXPECT_EQ(categories.State(), TDataSetState::dsEdit);
    categories.BeforePost = nullptr;
    CategoryForm->ButtonOK->click();
  });
  answers.Button(QMessageBox::Ok);
  RunAsEvent([] { MainForm->FileOpenClick(); });
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "Write refused");
  EXPECT_FALSE(CategoryForm->isVisible());
  EXPECT_EQ(categories.FieldByName("CATEGORY")->AsString(), "ActionX");
}

}  // namespace
}  // namespace qvx_test
