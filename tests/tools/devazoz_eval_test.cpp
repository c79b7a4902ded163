// devazoz eval: one line per evaluation, type letter and value, and its exit codes.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/dbf_fixture.h"

namespace {
using qvx_test::DbfFixture;
using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class DevazozEval : public ::testing::Test {
 protected:
  void SetUp() override {
    DbfFixture f(0x83, {{"TITLE", 'C', 12},
                        {"PRICE", 'N', 8, 2},
                        {"RELEASED", 'D', 8},
                        {"ANALOG", 'L', 1},
                        {"NOTES", 'M', 10}});
    f.AddRecord({"Tab\there\\", "   49.95", "19980903", "T", "         1"});
    f.AddRecord({"Second", "    0.10", "", "F", ""}, true);
    table_ = dir_.File("CAT.DBF");
    f.Write(table_);
  }
  int Run(const std::string& expression, const std::string& extra, std::string* out,
          std::string* err) {
    return RunCommand(
        std::string(QVX_DEVAZOZ_TOOL) + " eval " + Quote(table_) + " " + Quote(expression) + extra,
        out, err);
  }
  std::string Line(const std::string& expression, const std::string& extra = "") {
    std::string out, err;
    EXPECT_EQ(Run(expression, extra, &out, &err), 0) << expression << ": " << err;
    return out;
  }
  TempDir dir_;
  std::string table_;
};

TEST_F(DevazozEval, PrintsTheTypeLetterAndTheValue) {
  EXPECT_EQ(Line("TITLE"), "C\tTab\\there\\\\   \n");
  EXPECT_EQ(Line("UPPER(TRIM(TITLE)) + '|'"), "C\tTAB\\tHERE\\\\|\n");
  EXPECT_EQ(Line("PRICE * 2"), "N\t99.9\n");
  EXPECT_EQ(Line("1/3"), "N\t0.3333333333\n");
  EXPECT_EQ(Line("7%4"), "N\t3\n");
  EXPECT_EQ(Line("RECNO()"), "N\t1\n");
  EXPECT_EQ(Line("RELEASED + 1"), "N\t2451061\n");
  EXPECT_EQ(Line("1 + RELEASED"), "D\t19980904\n");
  EXPECT_EQ(Line("CTOD('')"), "D\t\n");
  EXPECT_EQ(Line("ANALOG .AND. .NOT. DELETED()"), "L\tT\n");
  EXPECT_EQ(Line("NOTES"), "U\t\n");
  EXPECT_EQ(Line("()"), "U\t\n");
  EXPECT_EQ(Line(""), "U\t\n");
}

TEST_F(DevazozEval, ChoosesTheRecord) {
  EXPECT_EQ(Line("RECNO()", " --recno 2"), "N\t2\n");
  EXPECT_EQ(Line("DELETED()", " --recno 2"), "L\tT\n");
  EXPECT_EQ(Line("RELEASED", " --recno 2"), "D\t\n");
  EXPECT_EQ(Line("RECNO()", " --recno 0"), "N\t0\n");
  EXPECT_EQ(Line("TITLE", " --recno 0"), "C\t            \n");
  EXPECT_EQ(Line("EOF()", " --recno 3"), "L\tT\n");
}

TEST_F(DevazozEval, ErrorsGoToStderrWithExitCode1) {
  std::string out, err;
  EXPECT_EQ(Run("UPPER (TITLE)", "", &out, &err), 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "There is no function for UPPER (nor a field of that name)\n");
  EXPECT_EQ(Run(".T. .AND. 1", "", &out, &err), 1);
  EXPECT_EQ(err, "The two sides of an operation do not match\n");
  EXPECT_EQ(Run("TITLE*TITLE", "", &out, &err), 1);
  EXPECT_EQ(err, "The operation * cannot be used on text (in TITLE*TITLE)\n");
  EXPECT_EQ(Run("'open", "", &out, &err), 1);
  EXPECT_EQ(err, "Missing closing quote (') for the text at position 1\n");
  EXPECT_EQ(Run("1", " --recno 9", &out, &err), 1);
  EXPECT_NE(err, "");
}

TEST_F(DevazozEval, UsageErrorsExitWith2) {
  std::string out, err;
  EXPECT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " eval " + Quote(table_), &out, &err), 2);
  EXPECT_EQ(Run("1", " --recno", &out, &err), 2);
  EXPECT_EQ(Run("1", " --recno x", &out, &err), 2);
  EXPECT_EQ(Run("1", " extra", &out, &err), 2);
}

}  // namespace
