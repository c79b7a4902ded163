// The table handler's cursor in natural order: deleted records, filters, skips,
// read-ahead, pack and field search.
#include "engine/foundation/gs6_dbsy.h"

#include <gtest/gtest.h>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_tool.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::TempDir;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

class HandlerTest : public ::testing::Test {
 protected:
  TempDir dir;
  // Records "R1".."Rn" with N = i; the listed records deleted.
  std::string Table(int n, std::vector<int> deleted = {}, const std::string& name = "H.DBF") {
    DbfFixture f(0x03, {{"NAME", 'C', 10}, {"N", 'N', 4}, {"D", 'D', 8}, {"L", 'L', 1}});
    for (int i = 1; i <= n; ++i) {
      bool del = std::find(deleted.begin(), deleted.end(), i) != deleted.end();
      std::string num = std::to_string(i);
      f.AddRecord({"R" + num, std::string(4 - num.size(), ' ') + num,
                   "2024010" + std::to_string(i % 10), i % 2 ? "T" : "F"},
                  del);
    }
    std::string path = dir.File(name);
    f.Write(path);
    return path;
  }
  static std::string Name(GSO_dBHandler& h) { return TrimRightZ(h.GetStr(1)); }
};

TEST_F(HandlerTest, HiddenDeletedRecordsAreSkippedBothWays) {
  GSO_dBHandler h(Table(6, {1, 3, 6}), true, false);
  h.use_deleted = false;
  h.GetRecord(kMoveFirst);
  EXPECT_EQ(h.RecordNumber(), 2);
  h.GetRecord(kMoveNext);
  EXPECT_EQ(h.RecordNumber(), 4);
  h.GetRecord(kMoveLast);
  EXPECT_EQ(h.RecordNumber(), 5);
  h.GetRecord(kMoveNext);
  EXPECT_TRUE(h.Eof());
  h.GetRecord(3);  // a direct record number always counts
  EXPECT_EQ(h.RecordNumber(), 3);
  EXPECT_TRUE(h.IsDeleted());
}

TEST_F(HandlerTest, AllRecordsDeletedEndsAtEndOfFileWithBufferUnchanged) {
  GSO_dBHandler h(Table(3, {1, 2, 3}), true, false);
  h.use_deleted = false;
  h.GetRecord(kMoveFirst);
  EXPECT_TRUE(h.Eof());
}

TEST_F(HandlerTest, FilterSetDrivesNaturalOrder) {
  GSO_dBHandler h(Table(10), true, false);
  h.SetFilterExpression("N > 3 .AND. N < 8", false, false);
  h.SetFilterActive(true);
  ASSERT_TRUE(h.FilterSetInUse());
  h.GetRecord(kMoveFirst);
  EXPECT_EQ(h.RecordNumber(), 4);
  h.GetRecord(kMoveLast);
  EXPECT_EQ(h.RecordNumber(), 7);
  h.GetRecord(kMoveNext);
  EXPECT_TRUE(h.Eof());
  h.GetRecord(kMovePrevious);
  EXPECT_EQ(h.RecordNumber(), 6);
  std::vector<int> seen;
  for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) seen.push_back(h.RecordNumber());
  EXPECT_EQ(seen, (std::vector<int>{4, 5, 6, 7}));

  h.SetFilterExpression("N > 100", false, false);
  h.GetRecord(kMoveFirst);
  EXPECT_TRUE(h.Eof());
  EXPECT_TRUE(h.Bof());
}

TEST_F(HandlerTest, FilterMustBeLogicalAndFollowsWrites) {
  GSO_dBHandler h(Table(5), true, false);
  EXPECT_EQ(ErrorOf([&] { h.SetFilterExpression("N + 1", false, false); }),
            "Filter expression must return boolean result");
  EXPECT_FALSE(h.FilterSetInUse());
  h.SetFilterActive(true);
  h.SetFilterExpression("NAME = 'R2'", false, false);
  h.GetRecord(kMoveFirst);
  EXPECT_EQ(h.RecordNumber(), 2);
  h.GetRecord(4);
  h.PutStr(1, "R2");
  h.WriteRecord(4);
  EXPECT_TRUE(h.FilterSet().Has(4));
  h.GetRecord(kMoveLast);
  EXPECT_EQ(h.RecordNumber(), 4);
  h.SetFilterExpression("NAME = 'r2'", true, false);
  h.GetRecord(kMoveFirst);
  EXPECT_EQ(h.RecordNumber(), 2);
}

TEST_F(HandlerTest, SkipJumpsAndStopsAtTheEnds) {
  GSO_dBHandler h(Table(8, {7}), true, false);
  h.GetRecord(5);
  h.Skip(5);
  EXPECT_EQ(h.RecordNumber(), 8);
  EXPECT_TRUE(h.Eof());
  h.GetRecord(3);
  h.Skip(-5);
  EXPECT_EQ(h.RecordNumber(), 1);
  EXPECT_TRUE(h.Bof());
  h.use_deleted = false;
  h.GetRecord(5);
  h.Skip(2);  // steps over the deleted record 7
  EXPECT_EQ(h.RecordNumber(), 8);
  h.Skip(0);
  EXPECT_EQ(h.RecordNumber(), 8);
}

TEST_F(HandlerTest, ReadAheadServesScansAndWritesReachIt) {
  GSO_dBHandler h(Table(500), true, false);
  h.SetReadAhead(true);
  ASSERT_TRUE(h.ReadAhead());
  int n = 0;
  for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
    ++n;
    ASSERT_EQ(Name(h), "R" + std::to_string(n));
  }
  EXPECT_EQ(n, 500);
  h.GetRecord(10);
  h.PutStr(1, "TEN");
  h.WriteRecord(10);
  h.GetRecord(9);
  h.GetRecord(kMoveNext);
  EXPECT_EQ(Name(h), "TEN");
  h.SetReadAheadAllowed(false);
  h.SetReadAhead(true);
  EXPECT_FALSE(h.ReadAhead());
}

TEST_F(HandlerTest, PackRemovesDeletedRecords) {
  std::string path = Table(5, {2, 4});
  {
    GSO_dBHandler h(path, true, false);
    h.Pack();
    EXPECT_EQ(h.RecordCount(), 3);
    EXPECT_EQ(h.RecordNumber(), 1);
    std::vector<std::string> names;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) names.push_back(Name(h));
    EXPECT_EQ(names, (std::vector<std::string>{"R1", "R3", "R5"}));
  }
  auto bytes = qvx_test::ReadFileBytes(path);
  GSO_dBaseFld t(path, false, false);
  EXPECT_EQ(bytes.size(), size_t(t.HeaderLength() + 3 * t.RecordLength() + 1));
  EXPECT_EQ(bytes.back(), 0x1A);
  EXPECT_EQ(bytes[4], 3);
}

TEST_F(HandlerTest, PackOfASharedTableIsRefused) {
  GSO_dBHandler h(Table(3, {1}), true, true);
  EXPECT_EQ(ErrorOf([&] { h.Pack(); }).rfind("File access denied - ", 0), 0u);
}

TEST_F(HandlerTest, SearchFieldOptions) {
  GSO_dBHandler h(Table(12), true, false);
  auto search = [&](const std::string& value, int field, uint16_t options, int32_t from = 0) {
    h.search_options = options;
    int32_t record = from;
    int f = field;
    return h.SearchField(value, f, 0, record) ? record : 0;
  };
  EXPECT_EQ(search("R1", 1, kSearchWholeField), 1);
  EXPECT_EQ(search("R1", 1, 0), 1);  // prefix and anywhere: R1, R10, R11, R12
  EXPECT_EQ(search("R1", 1, 0, 1), 10);
  EXPECT_EQ(search("r12", 1, kSearchCaseInsensitive | kSearchWholeField), 12);
  EXPECT_EQ(search("r12", 1, kSearchWholeField), 0);
  EXPECT_EQ(search("2", 1, kSearchAnchored), 0);
  EXPECT_EQ(search("2", 1, kSearchWholeField | kSearchAnchored), 0);
  EXPECT_EQ(search("1?", 1, kSearchWildcards | kSearchAnchored), 0);
  EXPECT_EQ(search("R?1", 1, kSearchWildcards), 11);
  EXPECT_EQ(search("*2", 1, kSearchWildcards), 2);
  EXPECT_EQ(search("7", 2, kSearchWholeField), 7);
  EXPECT_EQ(search("7.0", 2, 0), 7);
  EXPECT_EQ(search("20240105", 3, 0), 5);
  EXPECT_EQ(search("F", 4, 0), 2);
  EXPECT_EQ(search("nothing", 0, 0), 0);
  EXPECT_EQ(search("", 1, 0), 0);
  int big = 99;
  int32_t rec = 0;
  EXPECT_EQ(h.SearchField("x", big, 0, rec), 0);
  h.GetRecord(6);
  EXPECT_EQ(search("zzz", 1, 0), 0);
  EXPECT_EQ(h.RecordNumber(), 6);  // the record current at the start is read again
}

TEST_F(HandlerTest, UnknownIndexExtensionIsNotFound) {
  GSO_dBHandler h(Table(2), true, false);
  std::string msg = ErrorOf([&] { h.OpenIndexFile("FOO.XYZ"); });
  EXPECT_EQ(msg, "File not found - FOO.XYZ");
  EXPECT_FALSE(h.HasIndexOpen());
  EXPECT_EQ(ErrorOf([&] {
              std::string t = "NONE";
              h.SelectTag(&t, false);
            }),
            "Cannot find index tag NONE");
  EXPECT_NE(h.IndexFileName("x").find("/X.NDX"), std::string::npos);
}

}  // namespace
