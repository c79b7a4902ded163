// devazoz memo: one memo's raw bytes on stdout, and its argument checks; dump --memo
// of other programs' tables against their independent listings.
#include <gtest/gtest.h>

#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using qvx_test::CopyTestTable;
using qvx_test::RunCommand;
using qvx_test::TempDir;
using qvx_test::TestDataPath;

std::string Tool() { return QVX_DEVAZOZ_TOOL; }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

TEST(DevazozMemo, WritesTheRawBytesOfOneMemo) {
  TempDir dir;
  qvx_test::MemoFixture memo(qvx_test::MemoLayout::kFpt, 32);
  std::string binary("\0\x1A\r\n\tend", 8);
  int32_t a = memo.Add(binary);
  memo.Write(dir.File("t.fpt"));
  qvx_test::DbfFixture t(0xF5, {{"NAME", 'C', 4}, {"NOTES", 'M', 10}});
  t.AddRecord({"one", qvx_test::MemoFieldValue(a)});
  t.AddRecord({"two", ""});
  t.Write(dir.File("t.dbf"));
  std::string out, err;
  ASSERT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("T.DBF")) + " 1 notes", &out, &err), 0)
      << err;
  EXPECT_EQ(out, binary);
  ASSERT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("t.dbf")) + " 2 NOTES", &out, &err), 0);
  EXPECT_EQ(out, "");
  // Bad arguments are usage errors.
  EXPECT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("t.dbf")) + " 3 NOTES", &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("t.dbf")) + " 1 NAME", &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("t.dbf")) + " 1 NOPE", &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("t.dbf")) + " x NOTES", &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("t.dbf")), &out, &err), 2);
  // A damaged memo is an engine error.
  qvx_test::DbfFixture bad(0xF5, {{"NOTES", 'M', 10}});
  bad.AddRecord({qvx_test::MemoFieldValue(5000)});
  bad.Write(dir.File("t.dbf"));
  EXPECT_EQ(RunCommand(Tool() + " memo " + Quote(dir.File("t.dbf")) + " 1 NOTES", &out, &err), 1);
  EXPECT_NE(err.find("memo"), std::string::npos) << err;
}

TEST(DevazozMemo, ReadsOtherProgramsMemoFiles) {
  TempDir dir;
  std::string out;
  ASSERT_EQ(RunCommand(Tool() + " memo " + Quote(CopyTestTable("dbf/perl_t_0x8b.dbf", dir.path())) +
                           " 4 NOTES",
                       &out),
            0);
  EXPECT_EQ(out, "Fourth; memo with plain ASCII text");
  ASSERT_EQ(RunCommand(Tool() + " memo " + Quote(CopyTestTable("dbf/perl_t_0xf5.dbf", dir.path())) +
                           " 1 NOTES",
                       &out),
            0);
  EXPECT_EQ(out, "First entry.");
}

class DevazozDumpMemo : public ::testing::TestWithParam<const char*> {};

TEST_P(DevazozDumpMemo, MatchesTheIndependentListing) {
  {
    const char* name = GetParam();
    TempDir dir;
    std::string table = CopyTestTable(std::string("dbf/") + name + ".dbf", dir.path());
    std::string expected =
        qvx_test::ReadFileText(TestDataPath(std::string("dbf/") + name + ".memo.tsv"));
    std::string out, err;
    ASSERT_EQ(RunCommand(Tool() + " dump --deleted --memo " + Quote(table), &out, &err), 0) << err;
    // pydbf_t_vfp leaves the memo flag (byte 28, bit 1) clear although it has memo
    // fields and a memo file: its memos must show all the same.
    EXPECT_EQ(out, expected) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DevazozDumpMemo,
                         ::testing::Values("perl_t_0x8b", "perl_t_0xf5", "pydbf_t_vfp"));

}  // namespace
