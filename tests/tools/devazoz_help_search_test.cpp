// devazoz help and --help on every command; search's named options against the
// option bits they stand for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/dbf_fixture.h"

namespace {
using qvx_test::DbfFixture;
using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Tool() { return QVX_DEVAZOZ_TOOL; }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

const std::vector<std::string> kCommands = {"browse", "check", "dump", "eval", "index",
                                            "info",   "keys",  "memo", "pack", "reindex",
                                            "search", "seek",  "tags", "help"};

TEST(DevazozHelp, ListsEveryCommandWithItsSummary) {
  std::string out, err;
  ASSERT_EQ(RunCommand(Tool() + " help", &out, &err), 0) << err;
  EXPECT_EQ(out.rfind("devazoz: ", 0), 0u) << out;
  for (const std::string& c : kCommands)
    EXPECT_NE(out.find("\n  " + c + " "), std::string::npos) << c << "\n" << out;
  EXPECT_NE(out.find("  search   scans a table's records for a field value\n"), std::string::npos)
      << out;
  std::string same;
  EXPECT_EQ(RunCommand(Tool() + " --help", &same, &err), 0);
  EXPECT_EQ(same, out);
  EXPECT_EQ(RunCommand(Tool() + " -h", &same, &err), 0);
  EXPECT_EQ(same, out);
  // Without a command the list goes to stderr and the exit code is a usage error.
  EXPECT_EQ(RunCommand(Tool(), &same, &err), 2);
  EXPECT_EQ(same, "");
  EXPECT_EQ(err, out);
}

TEST(DevazozHelp, EveryCommandExplainsItselfTheSameWayThreeTimes) {
  for (const std::string& c : kCommands) {
    std::string help, err;
    ASSERT_EQ(RunCommand(Tool() + " help " + c, &help, &err), 0) << c << ": " << err;
    EXPECT_EQ(help.rfind("devazoz " + c + ": ", 0), 0u) << help;
    EXPECT_NE(help.find("\nusage: devazoz " + c), std::string::npos) << help;
    EXPECT_NE(help.find("\n  --help, -h "), std::string::npos) << help;
    std::string other;
    EXPECT_EQ(RunCommand(Tool() + " " + c + " --help", &other, &err), 0) << c;
    EXPECT_EQ(other, help) << c;
    // Help wins over arguments that would be wrong.
    EXPECT_EQ(RunCommand(Tool() + " " + c + " a b c d e f -h", &other, &err), 0) << c;
    EXPECT_EQ(other, help) << c;
    EXPECT_EQ(RunCommand(Tool() + " " + c + " --no-such-option --help", &other, &err), 0) << c;
    EXPECT_EQ(other, help) << c;
  }
}

TEST(DevazozHelp, ExplainsEveryOptionOfACommand) {
  std::string help, err;
  ASSERT_EQ(RunCommand(Tool() + " help dump", &help, &err), 0);
  for (const char* option : {"--deleted", "--memo", "--index FILE", "--tag NAME",
                             "--filter EXPRESSION", "--ignore-case", "--range LOW HIGH"})
    EXPECT_NE(help.find("\n  " + std::string(option) + " "), std::string::npos) << option;
  ASSERT_EQ(RunCommand(Tool() + " help search", &help, &err), 0);
  for (const char* option : {"--ignore-case, --no-case", "--whole-field", "--wildcards",
                             "--anchored", "--keep-state", "--keep-tag", "--options N"})
    EXPECT_NE(help.find("\n  " + std::string(option)), std::string::npos) << option;
}

TEST(DevazozHelp, UsageErrorsSayWhatIsWrong) {
  std::string out, err;
  EXPECT_EQ(RunCommand(Tool() + " help nosuch", &out, &err), 2);
  EXPECT_NE(err.find("unknown command 'nosuch'"), std::string::npos) << err;
  EXPECT_EQ(RunCommand(Tool() + " nosuch", &out, &err), 2);
  EXPECT_NE(err.find("devazoz help"), std::string::npos) << err;
  EXPECT_EQ(RunCommand(Tool() + " dump x.dbf --tag", &out, &err), 2);
  EXPECT_EQ(err,
            "devazoz dump: --tag needs a value (NAME)\nusage: devazoz dump TABLE [--deleted] "
            "[--memo] [--index FILE]... [--tag NAME] [--filter EXPRESSION] [--ignore-case] "
            "[--range LOW HIGH]\n");
  EXPECT_EQ(RunCommand(Tool() + " seek a b c d --fast", &out, &err), 2);
  EXPECT_EQ(err.rfind("devazoz seek: unknown option --fast", 0), 0u) << err;
  EXPECT_EQ(RunCommand(Tool() + " dump x.dbf --tag A --tag B", &out, &err), 2);
  EXPECT_EQ(err.rfind("devazoz dump: --tag is given more than once", 0), 0u) << err;
  EXPECT_EQ(RunCommand(Tool() + " search x.dbf F V --options 65536", &out, &err), 2);
  EXPECT_EQ(RunCommand(Tool() + " search x.dbf F V --options -1", &out, &err), 2);
}

class DevazozSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    DbfFixture f(0x03, {{"TITLE", 'C', 12}, {"PLAYERS", 'N', 3, 0}, {"ANALOG", 'L', 1}});
    for (const char* title :
         {"Ridge Racer", "ridge", "Tekken 2", "Racer", "Wipeout", "Ridge", "RIDGE RACER", "Tekken"})
      f.AddRecord({title, "  2", "T"});
    f.AddRecord({"Driver", "  1", "F"});
    table_ = dir_.File("GAMES.DBF");
    f.Write(table_);
  }
  std::string Search(const std::string& field, const std::string& value, const std::string& extra) {
    std::string out, err;
    EXPECT_EQ(
        RunCommand(Tool() + " search " + Quote(table_) + " " + field + " " + Quote(value) + extra,
                   &out, &err),
        0)
        << extra << ": " << err;
    return out;
  }
  TempDir dir_;
  std::string table_;
};

TEST_F(DevazozSearch, NamedOptionsGiveWhatTheirBitsGive) {
  const std::vector<std::pair<int, std::string>> named = {
      {1, " --ignore-case"}, {2, " --whole-field"}, {4, " --wildcards"},
      {8, " --keep-state"},  {16, " --keep-tag"},   {32, " --anchored"}};
  const std::vector<std::string> values = {"ridge", "Racer", "*er", "R?dge*", "Tekken"};
  for (int bits = 0; bits < 64; ++bits) {
    std::string options;
    for (const auto& [bit, option] : named)
      if (bits & bit) options += option;
    for (const std::string& v : values) {
      std::string by_mask = Search("TITLE", v, " --options " + std::to_string(bits));
      EXPECT_EQ(Search("TITLE", v, options), by_mask) << v << options;
      // Named options and the mask combine.
      if (bits % 7 == 0) {
        EXPECT_EQ(Search("TITLE", v, options + " --options " + std::to_string(bits & 5)), by_mask);
      }
    }
  }
}

TEST_F(DevazozSearch, TheOptionsDoWhatTheirHelpSays) {
  EXPECT_EQ(Search("TITLE", "Racer", ""), "1\n");  // anywhere, as a prefix
  EXPECT_EQ(Search("TITLE", "Racer", " --anchored"), "4\n");
  EXPECT_EQ(Search("TITLE", "ridge", ""), "2\n");
  EXPECT_EQ(Search("TITLE", "Ridge", " --whole-field"), "6\n");
  EXPECT_EQ(Search("TITLE", "ridge racer", " --no-case --whole-field"), "1\n");
  EXPECT_EQ(Search("TITLE", "*ER", " --ignore-case --wildcards"), "1\n");
  EXPECT_EQ(Search("TITLE", "Tek*", " --wildcards"), "3\n");
  EXPECT_EQ(Search("TITLE", "Tekken", " --wildcards"), "8\n");
  EXPECT_EQ(Search("TITLE", "nothing", ""), "0\n");
  EXPECT_EQ(Search("PLAYERS", "1", ""), "9\n");
  EXPECT_EQ(Search("ANALOG", "F", ""), "9\n");
}

TEST_F(DevazozSearch, KeepTagScansInTheOrderOfTheSelectedTag) {
  std::string out, err;
  std::string cdx = dir_.File("GAMES.CDX");
  ASSERT_EQ(
      RunCommand(Tool() + " index " + Quote(table_) + " " + Quote(cdx) + " TITLE 'UPPER(TITLE)'",
                 &out, &err),
      0)
      << err;
  std::string tag = " --index " + Quote(cdx) + " --tag TITLE";
  EXPECT_EQ(Search("TITLE", "Racer", tag), "1\n");  // record order: "Ridge Racer"
  // Tag order: DRIVER, RACER, RIDGE (2, 6), RIDGE RACER (1, 7), TEKKEN, TEKKEN 2, ...
  EXPECT_EQ(Search("TITLE", "Racer", tag + " --keep-tag --keep-state"), "4\n");
  EXPECT_EQ(Search("TITLE", "Ridge", tag + " --keep-tag --keep-state"), "6\n");
  EXPECT_EQ(Search("TITLE", "Tekken", tag), "3\n");
  EXPECT_EQ(Search("TITLE", "Tekken", tag + " --keep-tag --keep-state"), "8\n");
  EXPECT_EQ(Search("TITLE", "Tekken", tag + " --options 24"), "8\n");
  EXPECT_EQ(RunCommand(Tool() + " search " + Quote(table_) + " TITLE x --tag TITLE", &out, &err),
            2);
}

}  // namespace
