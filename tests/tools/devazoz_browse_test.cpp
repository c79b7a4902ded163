// devazoz browse: the output format byte for byte, the actions, and exit codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "tests/support/dataset_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace {
using qvx_test::RunCommand;
using qvx_test::TempDir;

class DevazozBrowse : public ::testing::Test {
 protected:
  void SetUp() override { table_ = qvx_test::WriteCatalog(dir_.path()); }
  int Run(const std::string& extra, std::string* out, std::string* err = nullptr) {
    return RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " browse '" + table_ + "' " + extra, out,
                      err);
  }
  std::string Out(const std::string& extra) {
    std::string out, err;
    EXPECT_EQ(Run(extra, &out, &err), 0) << extra << ": " << err;
    return out;
  }
  std::string Index() { return "--index '" + dir_.File("CATALOG.CDX") + "' "; }
  TempDir dir_;
  std::string table_;
};

const char* kHeader = "RECNO\tTITLE\tCATEGORY\tPLAYERS\tCOUNT\tPRICE\tANALOG\tRELEASED\tNOTES\n";

TEST_F(DevazozBrowse, ListsVisibleRecordsInNaturalOrder) {
  EXPECT_EQ(Out(""), std::string("count\t10\n") + kHeader +
                         "1\tGran Turismo\tRacing\t2\t150\t39.99\tTrue\t1998-05-12\tFast cars\n"
                         "2\tApe Escape\tPlatform\t1\t20\t29.5\tTrue\t1999-06-01\t\\N\n"
                         "4\tTekken 3\tFighting\t2\t300\t34\tFalse\t\\N\tIron fist\n"
                         "6\tBushido Blade\tFighting\t2\t7\t44.5\tFalse\t1998-03-01\t\\N\n"
                         "7\t\\N\tPuzzle\t1\t0\t0\tFalse\t\\N\t\\N\n"
                         "9\tSpyro\tPlatform\t1\t88\t28\tTrue\t1998-09-09\t\\N\n"
                         "10\tAbe's Oddysee\tPlatform\t1\t60\t27.25\tFalse\t1997-09-19\t\\N\n");
}

TEST_F(DevazozBrowse, TagOrderBackwardFilterAndExactCount) {
  std::string out = Out(Index() + "--tag TITLE --backward --exact-count");
  EXPECT_EQ(out.substr(0, out.find('\n')), "count\t7");
  EXPECT_NE(out.find(std::string(kHeader) + "4\tTekken 3\t"), std::string::npos);
  out = Out(Index() + "--tag TITLE --filter \"CATEGORY = 'platform'\" --ignore-case --exact-count");
  EXPECT_EQ(out, std::string("count\t3\n") + kHeader +
                     "10\tAbe's Oddysee\tPlatform\t1\t60\t27.25\tFalse\t1997-09-19\t\\N\n"
                     "2\tApe Escape\tPlatform\t1\t20\t29.5\tTrue\t1999-06-01\t\\N\n"
                     "9\tSpyro\tPlatform\t1\t88\t28\tTrue\t1998-09-09\t\\N\n");
  out = Out("--deleted");
  EXPECT_NE(out.find("\n3\tCrash\tPlatform\t1\t10\t19.99\tFalse\t\\N\t\\N\n"), std::string::npos);
}

TEST_F(DevazozBrowse, EscapesAndConvertsToUtf8) {
  qvx_test::DbfFixture f(0x03, {{"NAME", 'C', 12}});
  f.AddRecord({"A\tB\\C\x81"});
  f.Write(dir_.File("ESC.DBF"));
  std::string out, err;
  ASSERT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " browse '" + dir_.File("ESC.DBF") + "'",
                       &out, &err),
            0)
      << err;
  EXPECT_EQ(out, "count\t1\nRECNO\tNAME\n1\tA\\tB\\\\C\xC3\xBC\n");  // 0x81 = u-umlaut
  ASSERT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " browse '" + dir_.File("ESC.DBF") +
                           "' --no-translate",
                       &out, &err),
            0);
  EXPECT_EQ(out, "count\t1\nRECNO\tNAME\n1\tA\\tB\\\\C\xC2\x81\n");  // 0x81 read as Windows-1252
}

TEST_F(DevazozBrowse, LocateAndLookup) {
  EXPECT_EQ(Out(Index() + "--tag CATEGORY --locate TITLE Spyro"), "count\t10\nlocate\tT\t9\n");
  EXPECT_EQ(Out(Index() + "--locate TITLE spy --partial --nocase"), "count\t10\nlocate\tT\t9\n");
  EXPECT_EQ(Out(Index() + "--locate TITLE Nothing"), "count\t10\nlocate\tF\t1\n");
  EXPECT_EQ(Out(Index() + "--tag TITLE --lookup TITLE 'Tekken 3' CATEGORY"),
            "count\t10\nlookup\tFighting\t7\n");
  EXPECT_EQ(Out(Index() + "--tag TITLE --lookup TITLE Missing CATEGORY"),
            "count\t10\nlookup\t\\N\t7\n");
}

TEST_F(DevazozBrowse, AppendEditDeleteRecall) {
  EXPECT_EQ(Out(Index() + "--append 'TITLE=Vib Ribbon' CATEGORY=Music RELEASED=1999-12-12 "
                          "'NOTES=Line one\nline two' ANALOG=T PRICE=9.5"),
            "count\t10\nposted\t11\n");
  std::string out = Out(Index() + "--tag TITLE --locate TITLE 'Vib Ribbon'");
  EXPECT_EQ(out, "count\t11\nlocate\tT\t11\n");
  out = Out("");
  EXPECT_NE(out.find("11\tVib Ribbon\tMusic\t0\t0\t9.5\tTrue\t1999-12-12\tLine one\\nline two\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(Out(Index() + "--edit 2 PLAYERS=4 'TITLE=Ape Escape 2'"), "count\t11\nposted\t2\n");
  EXPECT_NE(Out("").find("\n2\tApe Escape 2\tPlatform\t4\t"), std::string::npos);
  EXPECT_EQ(Out(Index() + "--tag TITLE --delete 4"),
            "count\t11\ndeleted\t4\t11\n");  // Vib Ribbon follows
  EXPECT_EQ(Out(Index() + "--recall 4"), "count\t11\nrecalled\t4\t4\n");
  EXPECT_EQ(Out("--delete 10"), "count\t11\ndeleted\t10\t11\n");
}

TEST_F(DevazozBrowse, ExitCodes) {
  std::string out, err;
  EXPECT_EQ(Run("--delete 3", &out, &err), 1);  // deleted: not in the view
  EXPECT_EQ(Run("--edit 2 NOFIELD=1", &out, &err), 1);
  EXPECT_EQ(err, "Field 'NOFIELD' not found\n");
  EXPECT_EQ(Run("--locate TITLE", &out, &err), 2);
  EXPECT_EQ(Run("--delete x", &out, &err), 2);
  EXPECT_EQ(Run("--bogus", &out, &err), 2);
  EXPECT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " browse '" + dir_.File("NONE.DBF") + "'",
                       &out, &err),
            1);
  EXPECT_EQ(err, "Cannot find file " + dir_.File("NONE.DBF") + "\n");
}

// Text in filters, locate and appends meets the table in its code page (437):
// a literal is translated as field values are, and a character the code page
// has not is refused, never stored or searched for as another one.
TEST_F(DevazozBrowse, TextMeetsTheTableInItsCodePage) {
  std::string out, err;
  ASSERT_EQ(Run(Index() + "--append 'TITLE=Café Racer'", &out, &err), 0) << err;
  EXPECT_EQ(out, "count\t10\nposted\t11\n");
  out = Out("--filter \"TITLE = 'Café Racer'\"");
  EXPECT_NE(out.find("\n11\tCafé Racer\t"), std::string::npos) << out;
  out = Out("--filter \"TITLE = 'CAFÉ RACER'\" --ignore-case");
  EXPECT_NE(out.find("\n11\tCafé Racer\t"), std::string::npos) << out;
  EXPECT_EQ(Out("--locate TITLE Caf --partial"), "count\t11\nlocate\tT\t11\n");
  EXPECT_EQ(Out(Index() + "--locate TITLE 'Café Racer'"), "count\t11\nlocate\tT\t11\n");
  // Characters the code page lacks: Windows-1252 has no Cyrillic, 437 no euro.
  for (const char* action : {"--locate TITLE Ж --partial", "--locate TITLE 'Ж' --partial --nocase",
                             "--append TITLE=Привет", "--filter \"TITLE = 'Ж'\""}) {
    EXPECT_EQ(Run(action, &out, &err), 1) << action;
    EXPECT_NE(err.find("cannot be used with table " + table_ + ": its code page has no character"),
              std::string::npos)
        << action << ": " << err;
  }
  EXPECT_EQ(Run("--append 'TITLE=5 €'", &out, &err), 1);
  EXPECT_NE(err.find("its code page (437) has no character"), std::string::npos) << err;
  EXPECT_EQ(Run(Index() + "--locate TITLE '€' --partial", &out, &err), 1);
  EXPECT_NE(err.find("its code page (437) has no character"), std::string::npos) << err;
  // Nothing was appended by the refused appends.
  EXPECT_EQ(Out("--locate TITLE Caf --partial"), "count\t11\nlocate\tT\t11\n");
}

// Keys of text outside ASCII are kept in the code page in every index format:
// an appended title is found through the tag, and check passes.
TEST_F(DevazozBrowse, EachIndexFormatKeepsKeysInTheTablesCodePage) {
  std::string out, err;
  for (const char* ext : {"NTX", "NDX", "MDX"}) {
    std::string path = dir_.File(std::string("X.") + ext);
    ASSERT_EQ(
        RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " index '" + table_ + "' '" + path + "' X TITLE",
                   &out, &err),
        0)
        << err;
    std::string index = "--index '" + path + "' --tag X ";
    ASSERT_EQ(Run(index + "--append 'TITLE=Ça Ira " + ext + "'", &out, &err), 0) << err;
    std::string locate = Out(index + "--locate TITLE 'Ça Ira " + ext + "'");
    EXPECT_EQ(locate.substr(locate.find('\n') + 1, 9), "locate\tT\t") << ext << ": " << locate;
    EXPECT_EQ(Run(index + "--locate TITLE 'Ж' --partial", &out, &err), 1) << ext;
    EXPECT_NE(err.find("its code page has no character \"Ж\""), std::string::npos) << err;
    ASSERT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " check '" + table_ + "' '" + path + "'",
                         &out, &err),
              0)
        << ext << ": " << out;
  }
}

// A table that another program holds for its own use (as the catalog program
// holds its tables) is said to be open elsewhere, not "File access denied".
TEST_F(DevazozBrowse, ATableHeldByAnotherProgramIsSaidToBeOpenElsewhere) {
  int held = ::open(table_.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  std::string out, err;
  EXPECT_EQ(Run("", &out, &err), 1);
  EXPECT_EQ(
      err, "This catalog is open in another window: " + table_ + " is in use by another program\n");
  EXPECT_EQ(Run("--append TITLE=Zebra", &out, &err), 1);
  EXPECT_EQ(err.rfind("This catalog is open in another window", 0), 0u) << err;
  ::close(held);
  EXPECT_EQ(Run("", &out, &err), 0) << err;
}

}  // namespace
