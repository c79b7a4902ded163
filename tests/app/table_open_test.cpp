// The start on a catalog with a missing index file: one box names it and offers to
// make it again from the table (the catalog's tags are known); Yes makes an index
// that the checker passes and the program uses, No leaves that table closed with
// the reason in the status bar while the other tables work.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <cstdio>

#include "app/DataMod.h"
#include "app/Main.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

class TableOpenTest : public ProgramFixture {
 protected:
  std::string Check(const std::string& table, const std::string& index) {
    return DevazozCheck(dir_, table, index);
  }
  TempDir dir_;
};

TEST_F(TableOpenTest, AMissingIndexIsNamedOnceAndMadeAgainFromTheTable) {
  MakeSampleCatalog(dir_.path());
  ASSERT_EQ(std::remove(dir_.File("QVXCAT.CDX").c_str()), 0);
  ModalAnswers answers;
  answers.Press("&Yes");
  Start(dir_.path());
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_TRUE(answers.Texts()[0].startsWith("The index file "));
  EXPECT_TRUE(answers.Texts()[0].endsWith("/QVXCAT.CDX is missing. Make it again from QVXCAT.DBF?"))
      << answers.Texts()[0].toStdString();
  ASSERT_TRUE(MastData->QvxcatTable.Active());
  EXPECT_EQ(MastData->QvxcatTable.IndexName(), "TITLE");
  EXPECT_EQ(MainForm->StatusPanel[1]->text(), "48 Items");
  EXPECT_EQ(MainForm->StatusNote->text(), "QVXCAT.CDX was made again from QVXCAT.DBF.");
  EXPECT_TRUE(MainForm->FileNew->isEnabled());
  // Both tags, in title order.
  std::string previous;
  int seen = 0;
  for (MastData->QvxcatTable.First(); !MastData->QvxcatTable.Eof();
       MastData->QvxcatTable.Next(), ++seen) {
    std::string title = MastData->QvxcatTable.FieldByName("TITLE")->AsString();
    EXPECT_LE(previous, title);
    previous = title;
  }
  EXPECT_EQ(seen, 48);
  RunAsEvent([] { MastData->QvxcatTable.SetIndexName("CATEGORY"); });
  Stop();
  EXPECT_EQ(Check("QVXCAT.DBF", "QVXCAT.CDX"), "ok\n");
}

TEST_F(TableOpenTest, NoLeavesThatTableClosedAndTheOthersWorking) {
  MakeSampleCatalog(dir_.path());
  ASSERT_EQ(std::remove(dir_.File("CATEGORY.CDX").c_str()), 0);
  ModalAnswers answers;
  answers.Press("&No");
  Start(dir_.path());
  ASSERT_EQ(answers.Texts().size(), 1);
  EXPECT_TRUE(
      answers.Texts()[0].endsWith("/CATEGORY.CDX is missing. Make it again from CATEGORY.DBF?"));
  EXPECT_TRUE(MastData->QvxcatTable.Active());
  EXPECT_FALSE(MastData->CategoryTable.Active());
  EXPECT_TRUE(MastData->DevdistTable.Active());
  EXPECT_TRUE(MainForm->FileNew->isEnabled());
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  EXPECT_FALSE(MainForm->FileNew->isEnabled());
  EXPECT_EQ(MainForm->StatusNote->text(), "CATEGORY.CDX is missing, so CATEGORY.DBF is not open.");
  EXPECT_FALSE(ReadFileText(dir_.path() + "/CATEGORY.DBF").empty());
  Stop();
  std::string out;
  RunCommand("ls '" + dir_.path() + "'", &out);
  EXPECT_EQ(out.find("CATEGORY.CDX"), std::string::npos);
}

}  // namespace
}  // namespace qvx_test
