// The devazoz tool's info and dump output, byte for byte, and its exit codes.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/dbf_fixture.h"

namespace {
using qvx_test::CopyTestTable;
using qvx_test::DbfFixture;
using qvx_test::RunCommand;
using qvx_test::TempDir;
using qvx_test::TestDataPath;

std::string Tool() { return QVX_DEVAZOZ_TOOL; }

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The expected listing without its last column (memo contents).
std::string DropLastColumn(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) out += line.substr(0, line.rfind('\t')) + "\n";
  return out;
}

TEST(DevazozInfo, PrintsHeaderValuesAndFields) {
  TempDir dir;
  std::string out, err;
  ASSERT_EQ(RunCommand(Tool() + " info " + Quote(CopyTestTable("dbf/perl_t_0xf5.dbf", dir.path())),
                       &out, &err),
            0)
      << err;
  EXPECT_EQ(out,
            "version 0xf5\nrecords 4\nheader 257\nreclen 103\nfields 7\n"
            "TITLE\tC\t40\t0\nCATEGORY\tC\t30\t0\nPLAYERS\tC\t5\t0\nANALOG\tL\t1\t0\n"
            "PRICE\tN\t8\t2\nRELEASED\tD\t8\t0\nNOTES\tM\t10\t0\n");
}

TEST(DevazozDump, MatchesTheIndependentListingOfOtherProgramsTables) {
  for (const char* name : {"perl_t_0x8b", "perl_t_0xf5", "pydbf_t_vfp"}) {
    TempDir dir;
    std::string table = CopyTestTable(std::string("dbf/") + name + ".dbf", dir.path());
    std::string expected =
        qvx_test::ReadFileText(TestDataPath(std::string("dbf/") + name + ".memo.tsv"));
    std::string out, err;
    ASSERT_EQ(RunCommand(Tool() + " dump --deleted " + Quote(table), &out, &err), 0) << err;
    EXPECT_EQ(DropLastColumn(out), DropLastColumn(expected)) << name;
  }
}

TEST(DevazozDump, HidesDeletedRecordsUnlessAsked) {
  TempDir dir;
  std::string out;
  ASSERT_EQ(
      RunCommand(Tool() + " dump " + Quote(CopyTestTable("dbf/perl_t_0x8b.dbf", dir.path())), &out),
      0);
  EXPECT_EQ(out.find("\n3\t"), std::string::npos);
  EXPECT_NE(out.find("\n4\t"), std::string::npos);
}

TEST(DevazozDump, EscapesAndFormatsEveryType) {
  TempDir dir;
  DbfFixture f(0x30, {{"C", 'C', 12},
                      {"N", 'N', 6, 2},
                      {"L", 'L', 1},
                      {"D", 'D', 8},
                      {"I", 'I', 4},
                      {"Y", 'Y', 8},
                      {"T", 'T', 8},
                      {"M", 'M', 4},
                      {"X", 'X', 4}});
  std::string i_bytes("\xFE\xFF\xFF\xFF", 4);                  // -2
  std::string y_bytes("\x98\x3A\x00\x00\x00\x00\x00\x00", 8);  // 15000 = 1.5
  std::string t_bytes("\xD0\x4B\x25\x00\x10\x27\x00\x00", 8);  // day 2444240, 10000 ms
  std::string m_bytes("\x00\x00\x00\x00", 4);
  f.AddRecord(
      {"a\tb\\c\r\nd", "  1.50", "T", "20240229", i_bytes, y_bytes, t_bytes, m_bytes, " x "});
  f.AddRecord({"", "", "", "", i_bytes, y_bytes, t_bytes, m_bytes, ""}, true);
  std::string path = dir.File("ALL.DBF");
  f.Write(path);
  std::string out, err;
  ASSERT_EQ(RunCommand(Tool() + " dump --deleted " + Quote(path), &out, &err), 0) << err;
  EXPECT_EQ(out,
            "RECNO\tDEL\tC\tN\tL\tD\tI\tY\tT\tM\tX\n"
            "1\t\ta\\tb\\\\c\\r\\nd\t1.50\tT\t20240229\t-2\t1.5000\t2444240.10000\t0\tx\n"
            "2\t*\t\t0.00\tF\t\t-2\t1.5000\t2444240.10000\t0\t\n");
}

TEST(DevazozDump, ShowsMemoBlockNumbersAsNumbers) {
  TempDir dir;
  DbfFixture f(0x03, {{"T", 'C', 2}, {"NOTES", 'M', 10}});
  f.AddRecord({"a", "0000000001"});
  f.AddRecord({"b", "        12"});
  f.AddRecord({"c", "0000000000"});
  f.AddRecord({"d", ""});
  f.AddRecord({"e", "00x1"});
  std::string path = dir.File("M.DBF");
  f.Write(path);
  std::string out, err;
  ASSERT_EQ(RunCommand(Tool() + " dump " + Quote(path), &out, &err), 0) << err;
  EXPECT_EQ(out,
            "RECNO\tDEL\tT\tNOTES\n1\t\ta\t1\n2\t\tb\t12\n3\t\tc\t0\n4\t\td\t0\n"
            "5\t\te\t00x1\n");
}

// A table cut in the middle: info shows both counts, check TABLE reports the count,
// the cut-off record and memo blocks beyond the memo file.
TEST(DevazozCheck, ReportsATruncatedTableAndMemoBlocksBeyondTheMemoFile) {
  TempDir dir;
  DbfFixture f(0x03, {{"T", 'C', 8}});
  for (int i = 1; i <= 11; ++i) f.AddRecord({"rec" + std::to_string(i)});
  auto bytes = f.Bytes();
  std::string path = dir.File("CUT.DBF");
  size_t cut = size_t(f.HeaderLength() + 7 * f.RecordLength() + 4);
  qvx_test::WriteFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut)));
  std::string out, err;
  ASSERT_EQ(RunCommand(Tool() + " info " + Quote(path), &out, &err), 0) << err;
  EXPECT_NE(out.find("records 7 (the header says 11)\n"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(Tool() + " check " + Quote(path), &out, &err), 1) << err;
  EXPECT_EQ(out, path + ": the header says 11 records, the file holds 7\n" + path +
                     ": the last record is cut off (4 of 9 bytes)\n");
  f.Write(path);
  EXPECT_EQ(RunCommand(Tool() + " check " + Quote(path), &out, &err), 0) << err;
  EXPECT_EQ(out, "ok\n");

  std::string table = CopyTestTable("dbf/perl_t_0xf5.dbf", dir.path());
  ASSERT_EQ(RunCommand(Tool() + " check " + Quote(table), &out, &err), 0) << out << err;
  std::string memo = table.substr(0, table.size() - 3) + "fpt";
  auto memo_bytes = qvx_test::ReadFileBytes(memo);
  memo_bytes.resize(memo_bytes.size() / 2);
  qvx_test::WriteFileBytes(memo, memo_bytes);
  EXPECT_EQ(RunCommand(Tool() + " check " + Quote(table), &out, &err), 1) << err;
  EXPECT_NE(out.find("lies beyond the end of the memo file"), std::string::npos) << out;
}

TEST(DevazozTool, ExitCodes) {
  std::string out, err;
  EXPECT_EQ(RunCommand(Tool(), &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " frobnicate", &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " info", &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " dump --bogus x.dbf", &out, &err), 2);
  TempDir dir;
  EXPECT_EQ(RunCommand(Tool() + " info " + Quote(dir.File("NOPE.DBF")), &out, &err), 1);
  EXPECT_EQ(err.rfind("File not found - ", 0), 0u) << err;
  EXPECT_EQ(RunCommand(Tool() + " info /nonexistent/NOPE.DBF", &out, &err), 1);
  EXPECT_EQ(err.rfind("Path not found - ", 0), 0u) << err;
}

TEST(SampleCatalog, WritesTheThreeTablesWithTheirFields) {
  TempDir dir;
  std::string out, err;
  ASSERT_EQ(RunCommand(std::string(QVX_SAMPLECAT_TOOL) + " " + Quote(dir.path()), &out, &err), 0)
      << err;
  ASSERT_EQ(RunCommand(Tool() + " info " + Quote(dir.File("QVXCAT.DBF")), &out, &err), 0) << err;
  EXPECT_NE(
      out.find("TITLE\tC\t40\t0\nCATEGORY\tC\t30\t0\nDEVELOPER\tC\t30\t0\nDISTRIBUTR\tC\t30\t0\n"
               "PLAYERS\tC\t5\t0\nMEMORYBLKS\tC\t5\t0\nANALOG\tL\t1\t0\nDUALSHOCK\tL\t1\t0\n"
               "NOTES\tM\t10\t0\n"),
      std::string::npos)
      << out;
  ASSERT_EQ(RunCommand(Tool() + " info " + Quote(dir.File("CATEGORY.DBF")), &out, &err), 0) << err;
  EXPECT_NE(out.find("fields 1\nCATEGORY\tC\t30\t0\n"), std::string::npos);
  ASSERT_EQ(RunCommand(Tool() + " info " + Quote(dir.File("DEVDIST.DBF")), &out, &err), 0) << err;
  EXPECT_NE(out.find("fields 1\nDEVDIST\tC\t30\t0\n"), std::string::npos);
  ASSERT_EQ(RunCommand(Tool() + " dump " + Quote(dir.File("QVXCAT.DBF")), &out, &err), 0) << err;
  EXPECT_GT(std::count(out.begin(), out.end(), '\n'), 30);
}

}  // namespace
