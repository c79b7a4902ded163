// Report rows from a dataset of the data-access framework: the walk follows the
// dataset (hidden records stay hidden), keeps its controls quiet and puts the
// dataset back where it was.
#include <gtest/gtest.h>

#include "platform/dataset/field.h"
#include "report/DataSetSource.h"
#include "report/Report.h"
#include "report/ReportLayout.h"
#include "tests/report/report_test_support.h"
#include "tests/support/mem_dataset.h"

namespace {

class DataSetSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureReportApp();
    for (int i = 1; i <= 130; ++i)
      table_.AddRow({"Name" + std::to_string(i), std::to_string(i * 10)});
    table_.SetDeleted(5, true);  // "Name5" is not visible
  }

  void MakeReport(TReport& report) {
    TReportBand* detail = report.AddBand("Detail", TReportBandType::Detail, 5);
    detail->AddExpr("E1", "[NAME]: [NUM]")->Width = 60;
    report.AddBand("Footer", TReportBandType::PageFooter, 10)
        ->AddSysData("P", TReportSysDataKind::PageNumber, "Page ");
  }

  qvx_test::TMemDataSet table_;
};

TEST_F(DataSetSourceTest, WalksVisibleRowsAndRestoresThePosition) {
  table_.Open();
  table_.MoveBy(41);
  const std::string name_before = table_.FieldByName("NAME")->AsString();
  TReportDataSetSource source(&table_);
  TReport report;
  MakeReport(report);
  report.SetDataSource(&source);
  QStringList texts;
  {
    TReportLayout layout(report);
    EXPECT_TRUE(table_.ControlsDisabled());
    for (int n = 1; const TReportPageContent* page = layout.Page(n); ++n)
      for (const TReportItem& item : page->Items)
        if (item.Control->Name == "E1") texts << item.Lines.join("");
  }
  EXPECT_FALSE(table_.ControlsDisabled());
  EXPECT_EQ(table_.FieldByName("NAME")->AsString(), name_before);
  ASSERT_EQ(texts.size(), 129);
  EXPECT_EQ(texts[0], "Name1: 10");
  EXPECT_EQ(texts[4], "Name6: 60");
  EXPECT_FALSE(texts.contains("Name5: 50"));
  EXPECT_EQ(texts.last(), "Name130: 1300");
}

TEST_F(DataSetSourceTest, ClosedDatasetIsRefusedAndEmptyOneGivesNoPages) {
  TReportDataSetSource source(&table_);
  TReport report;
  MakeReport(report);
  report.PrintIfEmpty = false;
  report.SetDataSource(&source);
  EXPECT_ANY_THROW(report.CreateLayout());
  EXPECT_FALSE(table_.ControlsDisabled());
  for (int r = 1; r <= table_.StoredCount(); ++r) table_.SetDeleted(r, true);
  table_.Open();
  {
    auto layout = report.CreateLayout();
    EXPECT_EQ(layout->PageCount(), 0);
  }
  EXPECT_FALSE(table_.ControlsDisabled());
  EXPECT_EQ(source.FieldIndex("NOSUCH"), -1);
}

}  // namespace
