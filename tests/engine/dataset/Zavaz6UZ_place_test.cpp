// The dataset's place in its view, for the scroll bar: the active record's position
// among the records shown as a fraction, and moving to a fraction, checked against
// a walk of the view, in natural and tag order, under a filter, a quick search, a
// key range and with deleted records, on one-level and many-level trees, and after
// edits.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "catalog/sample_catalog.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "tests/support/dbf_fixture.h"

namespace qvx_test {
namespace {

using devazoz::TDevazozDataSet;

class PlaceTest : public ::testing::Test {
 protected:
  void Make(int titles) { catalog::WriteSampleCatalog(dir.path(), titles); }
  std::unique_ptr<TDevazozDataSet> Open(const std::string& tag) {
    auto ds = std::make_unique<TDevazozDataSet>();
    ds->SetDatabaseName(dir.path());
    ds->SetTableName("QVXCAT.DBF");
    ds->SetIndexFiles({"QVXCAT.CDX"});
    ds->SetIndexName(tag);
    ds->SetExclusive(true);
    ds->Open();
    return ds;
  }
  // The records the view shows, in its order, by walking it.
  static std::vector<int> View(TDevazozDataSet& ds) {
    std::vector<int> view;
    for (ds.First(); !ds.Eof(); ds.Next()) view.push_back(ds.RecNo());
    return view;
  }
  static double Share(size_t i, size_t n) { return n > 1 ? double(i) / double(n - 1) : 0.0; }
  // Every `every`-th record's fraction is its index in the walk; moving to a
  // fraction lands on the record at that index. `tolerance` in records.
  static void ExpectTruth(TDevazozDataSet& ds, size_t every = 1, int tolerance = 0,
                          bool rows_known = true) {
    const std::vector<int> view = View(ds);
    ASSERT_FALSE(view.empty());
    const size_t n = view.size();
    size_t i = 0;
    for (ds.First(); !ds.Eof(); ds.Next(), ++i) {
      if (i % every != 0 && i + 1 != n) continue;
      int rows = -1;
      const double fraction = ds.RecordFraction(&rows);
      EXPECT_NEAR(fraction, Share(i, n), (tolerance + 1e-6) / double(n)) << "record " << i;
      if (rows_known) {
        EXPECT_EQ(rows, int(n));
      }
    }
    for (size_t k = 0; k < n; k += every) {
      ASSERT_TRUE(ds.MoveToFraction(Share(k, n)));
      if (tolerance == 0) {
        EXPECT_EQ(ds.RecNo(), view[k]) << "to " << k;
      } else {
        const auto at = std::find(view.begin(), view.end(), ds.RecNo());
        ASSERT_NE(at, view.end());
        EXPECT_NEAR(double(at - view.begin()), double(k), tolerance) << "to " << k;
      }
    }
  }

  TempDir dir;
};

TEST_F(PlaceTest, TheSampleInEachOrderIsExactRecordByRecord) {
  Make(48);
  for (const char* tag : {"TITLE", "CATEGORY", ""}) {
    SCOPED_TRACE(tag);
    auto ds = Open(tag);
    ExpectTruth(*ds);
  }
}

TEST_F(PlaceTest, ManyLevelTreesAreExactAndQuartersLandOnQuarters) {
  Make(20000);
  for (const char* tag : {"TITLE", "CATEGORY"}) {
    SCOPED_TRACE(tag);
    auto ds = Open(tag);
    ExpectTruth(*ds, 997);
    const std::vector<int> view = View(*ds);
    for (double quarter : {0.25, 0.5, 0.75}) {
      ASSERT_TRUE(ds->MoveToFraction(quarter));
      const size_t at = size_t(std::find(view.begin(), view.end(), ds->RecNo()) - view.begin());
      EXPECT_NEAR(double(at) / double(view.size() - 1), quarter, 1e-4);
      EXPECT_NEAR(ds->RecordFraction(), quarter, 1e-4);
    }
  }
}

TEST_F(PlaceTest, AFilterInTagOrderCountsOnlyTheRecordsShown) {
  Make(3000);
  // In CATEGORY order the racing titles are one band of the tag; in TITLE order
  // they are spread over it.
  for (const char* tag : {"CATEGORY", "TITLE"}) {
    SCOPED_TRACE(tag);
    auto ds = Open(tag);
    ds->SetFilter("CATEGORY = 'Racing'");
    ds->SetFiltered(true);
    ExpectTruth(*ds, 7);
  }
}

TEST_F(PlaceTest, AQuickSearchAndDeletedRecordsAreLeftOut) {
  Make(2000);
  auto ds = Open("TITLE");
  for (int i = 0; i < 40; ++i) {
    ds->MoveBy(i % 2 == 0 ? 17 : 3);
    ds->Delete();
  }
  ExpectTruth(*ds, 11);
  ds->SetQuickSearch("lunar");
  ExpectTruth(*ds);
  ds->SetQuickSearch("");
  ds->SetIndexName("");
  ExpectTruth(*ds, 11);
}

TEST_F(PlaceTest, AKeyRangeIsTheWholeView) {
  Make(1000);
  auto ds = Open("CATEGORY");
  ds->SetKeyRange("Puzzle", "Racing");
  ExpectTruth(*ds, 3);
  ds->SetKeyRange("", "");
  ExpectTruth(*ds, 29);
}

TEST_F(PlaceTest, EditsMoveRecordsWithoutAWalkAndTheTruthHolds) {
  // Big enough that a change does not read the tag again at once.
  Make(25000);
  auto ds = Open("TITLE");
  ASSERT_TRUE(ds->DoBackgroundWork(nullptr));
  ExpectTruth(*ds, 2499);
  // A title renamed to the front and one appended at the end, a few more renamed:
  // the places of the moved records come from their neighbours.
  ds->MoveToFraction(0.5);
  ds->Edit();
  ds->FieldByName("TITLE")->SetAsString("AAA First Of All");
  ds->Post();
  EXPECT_NEAR(ds->RecordFraction(), 0.0, 2.0 / 25000);
  ds->Append();
  ds->FieldByName("TITLE")->SetAsString("zzz Last Of All");
  ds->Post();
  EXPECT_NEAR(ds->RecordFraction(), 1.0, 2.0 / 25000);
  for (int i = 0; i < 10; ++i) {
    ds->MoveToFraction(0.1 * i);
    ds->Edit();
    ds->FieldByName("TITLE")->SetAsString("M" + std::to_string(i) + " Middle");
    ds->Post();
  }
  ExpectTruth(*ds, 2499, 12);
  // Past 1 % of the records changed the tag is read again: the places are no
  // further off than the changes since.
  for (int i = 0; i < 250; ++i) {
    ds->MoveToFraction(0.004 * i);
    ds->Edit();
    ds->FieldByName("TITLE")->SetAsString("N" + std::to_string(i) + " Moved");
    ds->Post();
  }
  ExpectTruth(*ds, 2499, 15);
}

TEST_F(PlaceTest, WithoutTheDigestABigTableStillGivesItsPlace) {
  Make(25000);
  auto ds = Open("TITLE");
  ds->MoveToFraction(0.25);
  int rows = -1;
  EXPECT_NEAR(ds->RecordFraction(&rows), 0.25, 1e-4);
  EXPECT_EQ(rows, 0);  // deleted records not known yet: no exact count
  ASSERT_TRUE(ds->DoBackgroundWork(nullptr));
  EXPECT_NEAR(ds->RecordFraction(&rows), 0.25, 1e-4);
  EXPECT_EQ(rows, 25000);
}

TEST_F(PlaceTest, AClosedOrEmptyViewHasNoPlace) {
  Make(48);
  auto ds = Open("TITLE");
  ds->SetFilter("CATEGORY = 'Nothing Like This'");
  ds->SetFiltered(true);
  EXPECT_LT(ds->RecordFraction(), 0.0);
  EXPECT_FALSE(ds->MoveToFraction(0.5));
  ds->Close();
  EXPECT_LT(ds->RecordFraction(), 0.0);
  EXPECT_FALSE(ds->MoveToFraction(0.5));
}

}  // namespace
}  // namespace qvx_test
