// The OS file's clock, current directory and short reads: the table's update date
// and DATE() come from the clock; relative names resolve against the current
// directory; reads that the system delivers piecemeal or cut short are handled.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/index/gs6_cdx.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "tests/support/dbf_fixture.h"

namespace devazoz {
namespace {

platform::LocalTime FixedTime() {
  platform::LocalTime t;
  t.year = 2031;
  t.month = 7;
  t.day = 14;
  t.hour = 9;
  t.minute = 30;
  t.second = 5;
  t.millisecond = 250;
  return t;
}

size_t g_piece = 0;      // bytes per transfer, 0 for no limit
int64_t g_cut_at = -1;   // offset where reads of the cut file end, -1 for none
std::string g_cut_path;  // the file whose reads end early

size_t ShortReads(const std::string& path, int64_t offset, size_t count) {
  if (g_cut_at >= 0 && path == g_cut_path)
    return offset >= g_cut_at ? 0 : std::min<size_t>(count, size_t(g_cut_at - offset));
  return g_piece ? std::min(count, g_piece) : count;
}

class OsClockAndReads : public ::testing::Test {
 protected:
  void SetUp() override {
    qvx_test::DbfFixture f(0x03, {{"TITLE", 'C', 20}, {"PLAYERS", 'N', 3, 0}});
    for (int i = 1; i <= 40; ++i)
      f.AddRecord({"Title " + std::to_string(100 - i), std::to_string(i % 4 + 1)});
    table_ = dir_.File("GAMES.DBF");
    f.Write(table_);
  }
  void TearDown() override {
    platform::SetClock(nullptr);
    os::SetShortReadHook(nullptr);
    g_piece = 0;
    g_cut_at = -1;
  }
  qvx_test::TempDir dir_;
  std::string table_;
};

TEST_F(OsClockAndReads, TheUpdateDateAndDateComeFromTheClock) {
  platform::SetClock(&FixedTime);
  int32_t today = 0;
  ASSERT_TRUE(platform::TryEncodeDate(2031, 7, 14, today));
  EXPECT_EQ(os::CurrentDate(), today);
  EXPECT_EQ(DBFDate().Today(), today + 2415019);
  {
    GSO_dBaseFld t(table_, false, true);
    t.ReadRecord(1);
    t.PutStrByName("TITLE", "Changed");
    t.WriteRecord(1);
    TgsExpHandler date(t.ExpressionLink(), false, "DTOS(DATE())");
    TgsExpValue value;
    date.Evaluate(value);
    EXPECT_EQ(value.text, "20310714");
  }
  std::vector<uint8_t> header = qvx_test::ReadFileBytes(table_);
  EXPECT_EQ(header[1], 31);  // year - 1900, kept to two digits
  EXPECT_EQ(header[2], 7);
  EXPECT_EQ(header[3], 14);
  platform::SetClock(nullptr);
  platform::LocalTime now = os::CurrentLocalTime();
  EXPECT_GE(now.year, 2024);
}

TEST_F(OsClockAndReads, RelativeNamesResolveAgainstTheCurrentDirectory) {
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  std::string here = os::CurrentDirectory();
  std::string expanded = os::ExpandFileName("sub/../games.dbf");
  int records = -1;
  try {
    GSO_dBaseFld t("games", false, false);
    records = t.RecordCount();
  } catch (...) {
  }
  ASSERT_EQ(chdir(saved), 0);
  char real[4096];
  ASSERT_NE(realpath(dir_.path().c_str(), real), nullptr);
  EXPECT_EQ(here, real);
  EXPECT_EQ(expanded, here + "/games.dbf");
  EXPECT_EQ(records, 40);
  EXPECT_EQ(os::ExpandFileName("/a/./b/../c.dbf"), "/a/c.dbf");
  EXPECT_FALSE(os::ExecutableDirectory().empty());
}

// Every record and every key read one byte, or three, per transfer is what a whole read gives.
TEST_F(OsClockAndReads, PiecemealReadsGiveTheSameRecordsAndKeys) {
  std::string cdx = dir_.File("GAMES.CDX");
  auto listing = [&] {
    GSO_dBaseFld t(table_, false, false);
    GSobjCDXFile index(&t, cdx, false, false, false, false);
    std::string out;
    GSobjIndexTag* tag = index.FindTag("TITLE");
    tag->LoadTree(0);
    for (tag->Navigate(kNavFirst); !tag->Eof(); tag->Navigate(kNavNext)) {
      t.ReadRecord(tag->CurrentKey().TreePointer);
      out += t.GetStrByName("TITLE") + "|" + t.GetStrByName("PLAYERS") + "\n";
    }
    tag->ReleaseTree();
    return out;
  };
  {
    GSO_dBaseFld t(table_, false, true);
    GSobjCDXFile index(&t, cdx, false, true, true, false);
    ASSERT_TRUE(index.AddTag("TITLE", "TITLE", false, true, ""));
  }
  std::string whole = listing();
  ASSERT_EQ(std::count(whole.begin(), whole.end(), '\n'), 40);
  EXPECT_EQ(whole.substr(0, 25), "Title 60            |1  \n");
  os::SetShortReadHook(&ShortReads);
  for (size_t piece : {1u, 3u, 511u}) {
    g_piece = piece;
    EXPECT_EQ(listing(), whole) << piece;
  }
}

// A read that ends before the bytes the header promises (the file was cut by
// another writer meanwhile) is never filled up with stale bytes: a header cut short
// is an error, and the part of a record past the end reads as blanks.
TEST_F(OsClockAndReads, AReadCutShortIsHandled) {
  GSO_dBaseFld probe(table_, false, false);
  int32_t header = probe.HeaderLength(), length = probe.RecordLength();
  g_cut_path = probe.RealPath();
  os::SetShortReadHook(&ShortReads);
  g_cut_at = 20;
  EXPECT_THROW(GSO_dBaseFld(table_, false, false), EDevazozError);
  // Cut 7 bytes into record 5: the deletion flag and "Title " arrive.
  g_cut_at = header + 4 * length + 7;
  for (bool shared : {false, true}) {  // exclusive tables read ahead, shared ones do not
    GSO_dBaseFld t(table_, shared, false);
    t.ReadRecord(4);
    EXPECT_EQ(t.GetStrByName("TITLE"), "Title 96            ");
    t.ReadRecord(5);
    EXPECT_EQ(t.GetStrByName("TITLE"), "Title               ") << shared;
    EXPECT_EQ(t.GetStrByName("PLAYERS"), "   ");
    t.ReadRecord(6);
    EXPECT_EQ(t.GetStrByName("TITLE"), std::string(20, ' '));
    EXPECT_FALSE(t.IsDeleted());
    g_cut_at = -1;  // the whole file again
    t.ReadRecord(5);
    EXPECT_EQ(t.GetStrByName("TITLE"), "Title 95            ");
    g_cut_at = header + 4 * length + 7;
  }
}

}  // namespace
}  // namespace devazoz
