// Memo access through the table: other programs' tables with their memo files,
// writing memos into fields, and the memo file following the table's flush and rename.
#include <gtest/gtest.h>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_memo.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using devazoz::EDevazozError;
using devazoz::GSO_dBaseFld;
using qvx_test::CopyTestData;
using qvx_test::DbfFixture;
using qvx_test::MemoFieldValue;
using qvx_test::MemoFixture;
using qvx_test::MemoLayout;
using qvx_test::ReadFileBytes;
using qvx_test::TempDir;

std::string ReadField(GSO_dBaseFld& table, int n) {
  int32_t size = table.MemoSize(n);
  std::string out(size_t(std::max(size, 0)), '\0');
  if (size > 0) {
    EXPECT_TRUE(table.MemoRead(n, out.data(), size));
  }
  out.resize(size_t(std::max(size, 0)));
  return out;
}

// Writes text as the memo of field n of the current record and stores the record.
int32_t WriteField(GSO_dBaseFld& table, int n, const std::string& text) {
  int32_t size = int32_t(text.size());
  int32_t block = table.MemoWrite(n, text.data(), size);
  table.WriteRecord(table.RecordNumber());
  return block;
}

std::string Lines27() {
  std::string s;
  for (int i = 1; i <= 27; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "Line %03d: the quick brown fox jumps over the lazy dog.\n",
                  i);
    s += line;
  }
  return s;
}

class OtherProgramsTables : public ::testing::TestWithParam<const char*> {};

TEST_P(OtherProgramsTables, MemosReadAndWriteThroughTheTable) {
  TempDir dir;
  std::string name = GetParam();
  std::string table_path = CopyTestData("dbf/" + name + ".dbf", dir.path());
  CopyTestData("dbf/" + name + (name == "perl_t_0x8b" ? ".dbt" : ".fpt"), dir.path());
  GSO_dBaseFld table(table_path, false, true);
  int notes = table.FieldNumber("NOTES");
  ASSERT_GT(notes, 0);
  ASSERT_NE(table.MemoFileFor(notes), nullptr);
  table.ReadRecord(1);
  EXPECT_EQ(ReadField(table, notes), "First entry.");
  table.ReadRecord(2);
  EXPECT_EQ(ReadField(table, notes), Lines27());
  table.ReadRecord(4);
  EXPECT_EQ(ReadField(table, notes), "Fourth; memo with plain ASCII text");

  // A new memo for record 1, bytes of every value, then a longer rewrite of record 4.
  std::string binary;
  for (int i = 0; i < 512; ++i) binary += char(i * 37);
  table.ReadRecord(1);
  ReadField(table, notes);
  int32_t b1 = WriteField(table, notes, binary);
  EXPECT_GT(b1, 0);
  table.ReadRecord(4);
  ReadField(table, notes);
  int32_t b4 = WriteField(table, notes, Lines27() + Lines27());
  EXPECT_GT(b4, b1);

  GSO_dBaseFld again(table_path, false, false);
  int n = again.FieldNumber("NOTES");
  again.ReadRecord(1);
  std::string first = ReadField(again, n);
  EXPECT_EQ(first, binary);
  again.ReadRecord(2);
  EXPECT_EQ(ReadField(again, n), Lines27());
  again.ReadRecord(4);
  EXPECT_EQ(ReadField(again, n), Lines27() + Lines27());
}

INSTANTIATE_TEST_SUITE_P(Files, OtherProgramsTables,
                         ::testing::Values("perl_t_0x8b", "perl_t_0xf5", "pydbf_t_vfp"));

TEST(MemoTable, DbaseIIITableGetsBlockNumbersInItsField) {
  TempDir dir;
  MemoFixture memo(MemoLayout::kDbt3);
  int32_t a = memo.Add("existing");
  memo.Write(dir.File("t.dbt"));
  DbfFixture t(0x83, {{"NAME", 'C', 8}, {"NOTES", 'M', 10}});
  t.AddRecord({"one", MemoFieldValue(a)});
  t.AddRecord({"two", ""});
  t.Write(dir.File("t.dbf"));
  GSO_dBaseFld table(dir.File("T.DBF"), false, true);
  table.ReadRecord(1);
  EXPECT_EQ(ReadField(table, 2), "existing");
  EXPECT_EQ(table.MemoSize(1), 0);  // not a memo field
  EXPECT_EQ(table.MemoFileFor(1), nullptr);
  table.ReadRecord(2);
  EXPECT_EQ(ReadField(table, 2), "");
  // An empty memo for a field without block stays absent.
  int32_t size = 0;
  EXPECT_EQ(table.MemoWrite(2, "", size), 0);
  EXPECT_EQ(table.GetNum(2), 0);
  int32_t b = WriteField(table, 2, "second\r\nline");
  EXPECT_EQ(b, 2);
  EXPECT_EQ(table.GetStr(2), "         2");
  EXPECT_EQ(ReadField(table, 2), "second\r\nline");
}

TEST(MemoTable, VersionThirtyUsesEncodedBlocksWhenItsFlagSaysSo) {
  TempDir dir;
  MemoFixture memo(MemoLayout::kFpt, 64);
  int32_t a = memo.Add("vfp memo");
  memo.Write(dir.File("V.FPT"));
  DbfFixture t(0x30, {{"NOTES", 'M', 4}, {"PIC", 'G', 4}});
  t.flags = 0x02;
  t.AddRecord({MemoFieldValue(a, 4, true), MemoFieldValue(0, 4, true)});
  t.Write(dir.File("V.DBF"));
  GSO_dBaseFld table(dir.File("V.DBF"), false, true);
  table.ReadRecord(1);
  EXPECT_EQ(ReadField(table, 1), "vfp memo");
  int32_t g = WriteField(table, 2, std::string("\x89PNG\0\x1A", 6));
  EXPECT_EQ(g, a + 1);
  EXPECT_EQ(ReadField(table, 2), std::string("\x89PNG\0\x1A", 6));
}

TEST(MemoTable, MissingMemoFileIsReportedWhenFirstNeeded) {
  TempDir dir;
  DbfFixture t(0x8B, {{"NOTES", 'M', 10}});
  t.AddRecord({MemoFieldValue(1)});
  t.Write(dir.File("T.DBF"));
  GSO_dBaseFld table(dir.File("T.DBF"), false, true);  // opening needs no memo file
  table.ReadRecord(1);
  try {
    table.MemoSize(1);
    FAIL() << "no error for a missing memo file";
  } catch (const EDevazozError& e) {
    EXPECT_NE(std::string(e.what()).find("T.DBT"), std::string::npos) << e.what();
  }
}

TEST(MemoTable, RenameAndFlushTakeTheMemoFileAlong) {
  TempDir dir;
  MemoFixture memo(MemoLayout::kDbt4, 1024);
  int32_t a = memo.Add("travels");
  memo.Write(dir.File("old.dbt"));
  DbfFixture t(0x8B, {{"NOTES", 'M', 10}});
  t.AddRecord({MemoFieldValue(a)});
  t.Write(dir.File("old.dbf"));
  GSO_dBaseFld table(dir.File("old.dbf"), false, true);
  EXPECT_NO_THROW(table.Flush());
  ASSERT_TRUE(table.Rename(dir.File("NEW.DBF")));
  auto bytes = ReadFileBytes(dir.File("NEW.dbt"));
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 17), std::string("NEW\0\0\0\0\0\0", 9));
  table.ReadRecord(1);
  EXPECT_EQ(ReadField(table, 1), "travels");
}

}  // namespace
