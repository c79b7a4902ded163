// The handler's accept set: moves in tag order and in natural order skip the
// records outside it (together with the filter's set and deleted records), Skip
// does not jump over it, an empty set ends every move at once, and a record read
// by its number is read whatever the set says.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/index/gs6_cdx.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::TempDir;
using Numbers = std::vector<int32_t>;

class AcceptSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // NAME runs backwards through the records, so tag order is the reverse of
    // natural order; every seventh record is deleted.
    DbfFixture f(0x03, {{"NAME", 'C', 10}, {"ODD", 'L', 1}});
    for (int i = 1; i <= 30; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "N%03d", 100 - i);
      f.AddRecord({name, i % 2 ? "T" : "F"}, i % 7 == 0);
    }
    f.Write(dir.File("T.DBF"));
    GSO_dBaseFld table(dir.File("T.DBF"), false, true);
    GSobjCDXFile cdx(&table, dir.File("T.CDX"), true, true, true, false);
    cdx.AddTag("NAME", "NAME", false, true, "");
  }

  static Numbers Forward(GSO_dBHandler& h) {
    Numbers out;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) out.push_back(h.RecordNumber());
    return out;
  }
  static Numbers Backward(GSO_dBHandler& h) {
    Numbers out;
    for (h.GetRecord(kMoveLast); !h.Bof(); h.GetRecord(kMovePrevious))
      out.push_back(h.RecordNumber());
    return out;
  }

  TempDir dir;
};

TEST_F(AcceptSetTest, MovesSkipRecordsOutsideTheSetInEveryOrder) {
  GSO_dBHandler h(dir.File("T.DBF"), false, false);
  h.use_deleted = false;
  ASSERT_EQ(h.OpenIndexFile(dir.File("T.CDX")), 0);
  TgsHugeSet set;
  for (int32_t n : {3, 7, 10, 14, 21, 22, 29}) set.Change(n, TgsHugeSet::kSet);
  h.SetAcceptSet(&set);
  EXPECT_EQ(Forward(h), (Numbers{3, 10, 22, 29}));  // 7, 14 and 21 are deleted
  EXPECT_EQ(Backward(h), (Numbers{29, 22, 10, 3}));
  std::string tag = "NAME";
  h.SelectTag(&tag, false);
  EXPECT_EQ(Forward(h), (Numbers{29, 22, 10, 3}));
  EXPECT_EQ(Backward(h), (Numbers{3, 10, 22, 29}));

  // With the filter's set as well: both apply.
  h.SetFilterExpression("ODD", false, true);
  h.SetFilterActive(true);
  EXPECT_EQ(Forward(h), (Numbers{29, 3}));
  h.SelectTag(nullptr, false);
  EXPECT_EQ(Forward(h), (Numbers{3, 29}));
  h.SetFilterActive(false);

  // Deleted records shown, no filter: Skip steps through the set instead of
  // jumping over it.
  h.use_deleted = true;
  h.GetRecord(kMoveFirst);
  h.Skip(2);
  EXPECT_EQ(h.RecordNumber(), 10);
  h.Skip(-1);
  EXPECT_EQ(h.RecordNumber(), 7);

  // A record asked for by number is read whatever the set says.
  h.GetRecord(5);
  EXPECT_EQ(h.RecordNumber(), 5);
  EXPECT_FALSE(h.Eof() || h.Bof());

  TgsHugeSet empty;
  h.SetAcceptSet(&empty);
  h.SelectTag(&tag, false);
  h.GetRecord(kMoveFirst);
  EXPECT_TRUE(h.Eof() && h.Bof());
  h.GetRecord(kMoveLast);
  EXPECT_TRUE(h.Eof() && h.Bof());

  h.SetAcceptSet(nullptr);
  EXPECT_EQ(Forward(h).size(), 30u);
}

}  // namespace
