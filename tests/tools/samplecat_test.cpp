// The sample-catalog maker: sizes, the classic sample kept as it was, usage errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/dbf_fixture.h"

namespace {
using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Quote(const std::string& s) { return "'" + s + "'"; }
std::string Maker() { return QVX_SAMPLECAT_TOOL; }
std::string Tool() { return QVX_DEVAZOZ_TOOL; }

int DumpLines(const std::string& table) {
  std::string out, err;
  EXPECT_EQ(RunCommand(Tool() + " dump " + Quote(table), &out, &err), 0) << err;
  return int(std::count(out.begin(), out.end(), '\n'));
}

TEST(SampleCatalogSize, TitlesOptionSetsTheCountAndDefaultStaysTheClassicSample) {
  TempDir classic, sized, empty;
  std::string out, err;
  ASSERT_EQ(RunCommand(Maker() + " " + Quote(classic.path()), &out, &err), 0) << err;
  ASSERT_EQ(RunCommand(Maker() + " " + Quote(sized.path()) + " --titles 3000", &out, &err), 0)
      << err;
  ASSERT_EQ(RunCommand(Maker() + " --titles 0 " + Quote(empty.path()), &out, &err), 0) << err;
  int classic_lines = DumpLines(classic.File("QVXCAT.DBF"));
  int sized_lines = DumpLines(sized.File("QVXCAT.DBF"));
  // One header line plus one line per record.
  EXPECT_EQ(sized_lines - classic_lines, 3000 - 48);
  EXPECT_EQ(DumpLines(empty.File("QVXCAT.DBF")) + 48, classic_lines);
  ASSERT_EQ(RunCommand(Tool() + " info " + Quote(sized.File("QVXCAT.DBF")), &out, &err), 0);
  EXPECT_NE(out.find("records 3000\n"), std::string::npos) << out;
  // The first 48 titles are the same in both.
  std::string a, b;
  ASSERT_EQ(
      RunCommand(Tool() + " dump " + Quote(classic.File("QVXCAT.DBF")) + " | head -20 | cut -f1-3",
                 &a, &err),
      0);
  ASSERT_EQ(
      RunCommand(Tool() + " dump " + Quote(sized.File("QVXCAT.DBF")) + " | head -20 | cut -f1-3",
                 &b, &err),
      0);
  EXPECT_EQ(a, b);
}

TEST(SampleCatalogSize, RejectsBadArguments) {
  TempDir dir;
  std::string out, err;
  EXPECT_EQ(RunCommand(Maker(), &out, &err), 2);
  EXPECT_EQ(RunCommand(Maker() + " " + Quote(dir.path()) + " --titles", &out, &err), 2);
  EXPECT_EQ(RunCommand(Maker() + " " + Quote(dir.path()) + " --titles -5", &out, &err), 2);
  EXPECT_EQ(RunCommand(Maker() + " " + Quote(dir.path()) + " --titles 12x", &out, &err), 2);
  EXPECT_EQ(RunCommand(Maker() + " " + Quote(dir.path()) + " --bogus", &out, &err), 2);
  EXPECT_NE(err.find("usage: qvx_samplecat DIRECTORY [--titles N]"), std::string::npos);
}

}  // namespace
