// devazoz with NTX and NDX files: the listings of another program's NTX files,
// files built here read back by an independent reader (Perl's XBase::Index),
// numeric and date keys, seeks and dumps through the table handler, check and
// reindex.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/support/dbf_fixture.h"

namespace {

using qvx_test::CopyTestData;
using qvx_test::ReadFileBytes;
using qvx_test::ReadFileText;
using qvx_test::RunCommand;
using qvx_test::TempDir;
using qvx_test::TestDataPath;

std::string Tool() { return QVX_DEVAZOZ_TOOL; }
std::string Q(const std::string& s) { return "'" + s + "'"; }

int Tool_(const std::string& args, std::string* out, std::string* err = nullptr) {
  return RunCommand(Tool() + " " + args, out, err);
}

// KEY<TAB>RECNO lines as XBase::Index lists an index file, keys without
// trailing blanks.
std::string PerlListing(const std::string& path, const std::string& type) {
  std::string out, err;
  std::string script =
      "use XBase::Index; my $i = XBase::Index->new(shift, type => shift) or die XBase->errstr; "
      "$i->prepare_select; while (my @d = $i->fetch) { $d[0] =~ s/ +$//; print "
      "\"$d[0]\\t$d[1]\\n\"; }";
  int rc = RunCommand("perl -e " + Q(script) + " " + Q(path) + " " + type, &out, &err);
  EXPECT_EQ(rc, 0) << err;
  return out;
}

std::string Records(const std::string& listing) {
  std::istringstream in(listing);
  std::string line, out;
  while (std::getline(in, line)) out += line.substr(line.find('\t') + 1) + "\n";
  return out;
}

class DevazozNtxNdx : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = CopyTestData("ntx1k/catalog.dbf", dir_.path());
    CopyTestData("ntx1k/catalog.dbt", dir_.path());
  }
  TempDir dir_;
  std::string table_;
};

TEST_F(DevazozNtxNdx, ForeignFilesListAsTheirListings) {
  std::string out, err;
  for (const char* name : {"TITLE", "CATEGORY"}) {
    std::string lower = name == std::string("TITLE") ? "title" : "category";
    std::string ntx = CopyTestData("ntx1k/" + lower + ".ntx", dir_.path());
    ASSERT_EQ(Tool_("tags " + Q(table_) + " " + Q(ntx), &out, &err), 0) << err;
    EXPECT_EQ(out, std::string(name) + "\tC\t" + (lower == "title" ? "40" : "30") + "\t" + name +
                       "\t\t-\n");
    ASSERT_EQ(Tool_("keys " + Q(table_) + " " + Q(ntx) + " " + name, &out, &err), 0) << err;
    EXPECT_EQ(out, ReadFileText(TestDataPath(std::string("ntx1k/") + name + ".keys")));
    ASSERT_EQ(Tool_("check " + Q(table_) + " " + Q(ntx), &out, &err), 0) << out << err;
    EXPECT_EQ(out, "ok\n");
  }
  std::string ntx = dir_.File("title.ntx");
  ASSERT_EQ(Tool_("seek " + Q(table_) + " " + Q(ntx) + " TITLE 'Army Bandit'", &out, &err), 0)
      << err;
  EXPECT_EQ(out, "354\tT\n");
  ASSERT_EQ(Tool_("seek " + Q(table_) + " " + Q(ntx) + " TITLE 'Army B' --partial", &out, &err), 0);
  EXPECT_EQ(out, "354\tT\n");
  ASSERT_EQ(Tool_("seek " + Q(table_) + " " + Q(ntx) + " TITLE 'Army Bz' --soft", &out, &err), 0);
  EXPECT_EQ(out, "270\tF\n");
  ASSERT_EQ(Tool_("dump " + Q(table_) + " --index " + Q(ntx) + " --tag TITLE", &out, &err), 0)
      << err;
  EXPECT_EQ(out.substr(out.find('\n') + 1, 4), "301\t");
}

TEST_F(DevazozNtxNdx, BuiltFilesReadBackElsewhereAndAgreeAcrossFormats) {
  std::string out, err, ntx_keys;
  for (const char* file : {"BYTITLE.NTX", "BYTITLE.NDX"}) {
    std::string path = dir_.File(file);
    ASSERT_EQ(Tool_("index " + Q(table_) + " " + Q(path) + " ANY TITLE", &out, &err), 0) << err;
    ASSERT_EQ(Tool_("keys " + Q(table_) + " " + Q(path) + " BYTITLE", &out, &err), 0) << err;
    EXPECT_EQ(out, ReadFileText(TestDataPath("ntx1k/TITLE.keys"))) << file;
    std::string type = std::string(file).substr(8, 3) == "NTX" ? "ntx" : "ndx";
    EXPECT_EQ(PerlListing(path, type), out) << file;
    ASSERT_EQ(Tool_("check " + Q(table_) + " " + Q(path), &out, &err), 0) << out;
    ASSERT_EQ(Tool_("tags " + Q(table_) + " " + Q(path), &out, &err), 0) << err;
    EXPECT_EQ(out, "BYTITLE\tC\t40\tTITLE\t\t-\n");
  }
  // Through the table handler: a bare name is an NDX.
  ASSERT_EQ(Tool_("seek " + Q(table_) + " BYTITLE BYTITLE 'Army Bandit'", &out, &err), 0) << err;
  EXPECT_EQ(out, "354\tT\n");
  ASSERT_EQ(Tool_("dump " + Q(table_) + " --index BYTITLE.NTX --tag BYTITLE --range Army Army",
                  &out, &err),
            0)
      << err;
  EXPECT_EQ(out.substr(out.find('\n') + 1, 4), "301\t");
}

TEST_F(DevazozNtxNdx, ARefusedKeyLeavesNoNewEmptyFileButKeepsAnOldOne) {
  std::string out, err;
  for (const char* file : {"NEW.NTX", "NEW.NDX"}) {
    std::string path = dir_.File(file);
    EXPECT_EQ(Tool_("index " + Q(table_) + " " + Q(path) + " ANY NOSUCHFIELD", &out, &err), 1);
    EXPECT_FALSE(std::filesystem::exists(path)) << file;
    // An index that exists keeps its tag when a new key is refused.
    ASSERT_EQ(Tool_("index " + Q(table_) + " " + Q(path) + " ANY TITLE", &out, &err), 0) << err;
    EXPECT_EQ(Tool_("index " + Q(table_) + " " + Q(path) + " ANY NOSUCHFIELD", &out, &err), 1);
    ASSERT_EQ(Tool_("check " + Q(table_) + " " + Q(path), &out, &err), 0) << out << err;
  }
}

TEST_F(DevazozNtxNdx, NumericAndDateKeysListAndReadBack) {
  qvx_test::DbfFixture f(0x03, {{"PRICE", 'N', 8, 2}, {"DAY", 'D', 8}});
  f.AddRecord({"   12.50", "20240131"})
      .AddRecord({"   -3.00", "19991231"})
      .AddRecord({"    0.00", ""});
  f.AddRecord({"  -40.25", "20010101"});
  std::string t = dir_.File("N.DBF");
  f.Write(t);
  std::string out, err;
  struct Case {
    const char* file;
    const char* key;
    const char* tags;
    const char* keys;
  } cases[] = {
      {"PRICE.NTX", "PRICE", "PRICE\tN\t8\tPRICE\t\t-\n", "-40.25\t4\n-3\t2\n0\t3\n12.5\t1\n"},
      {"DAY.NTX", "DAY", "DAY\tD\t8\tDAY\t\t-\n",
       "        \t3\n19991231\t2\n20010101\t4\n20240131\t1\n"},
      {"PRICE.NDX", "PRICE", "PRICE\tN\t8\tPRICE\t\t-\n", "-40.25\t4\n-3\t2\n0\t3\n12.5\t1\n"},
      {"DAY.NDX", "DAY", "DAY\tD\t8\tDAY\t\t-\n",
       "19991231\t2\n20010101\t4\n20240131\t1\n        \t3\n"},
  };
  for (const Case& c : cases) {
    std::string path = dir_.File(c.file);
    ASSERT_EQ(Tool_("index " + Q(t) + " " + Q(path) + " X " + c.key, &out, &err), 0) << err;
    ASSERT_EQ(Tool_("tags " + Q(t) + " " + Q(path), &out, &err), 0) << err;
    EXPECT_EQ(out, c.tags) << c.file;
    ASSERT_EQ(Tool_("keys " + Q(t) + " " + Q(path) + " " + c.key, &out, &err), 0) << err;
    EXPECT_EQ(out, c.keys) << c.file;
    EXPECT_EQ(Tool_("check " + Q(t) + " " + Q(path), &out, &err), 0) << out;
    std::string type = std::string(c.file).find(".NTX") != std::string::npos ? "ntx" : "ndx";
    EXPECT_EQ(Records(PerlListing(path, type)), Records(c.keys)) << c.file;
  }
  ASSERT_EQ(Tool_("seek " + Q(t) + " " + Q(dir_.File("PRICE.NTX")) + " PRICE -3", &out, &err), 0)
      << err;
  EXPECT_EQ(out, "2\tT\n");
  ASSERT_EQ(Tool_("seek " + Q(t) + " " + Q(dir_.File("PRICE.NDX")) + " PRICE -40.25", &out, &err),
            0)
      << err;
  EXPECT_EQ(out, "4\tT\n");
  EXPECT_EQ(
      Tool_("index " + Q(t) + " " + Q(dir_.File("D.NTX")) + " X PRICE --descending", &out, &err),
      1);
  EXPECT_NE(err.find("cannot be descending"), std::string::npos) << err;
  EXPECT_EQ(Tool_("index " + Q(t) + " " + Q(dir_.File("F.NDX")) + " X PRICE --for 'PRICE > 0'",
                  &out, &err),
            1);
  EXPECT_NE(err.find("no FOR condition"), std::string::npos) << err;
}

TEST_F(DevazozNtxNdx, CheckFindsDamageAndReindexRepairsIt) {
  std::string out, err;
  for (const char* file : {"C.NTX", "C.NDX"}) {
    std::string path = dir_.File(file);
    ASSERT_EQ(Tool_("index " + Q(table_) + " " + Q(path) + " C CATEGORY", &out, &err), 0) << err;
    std::vector<uint8_t> b = ReadFileBytes(path);
    bool ntx = std::string(file) == "C.NTX";
    // A key byte in the first page after the header.
    size_t page = ntx ? 1024 : 512;
    size_t key = ntx ? page + b[page + 2] + size_t(b[page + 3]) * 256 + 8 : page + 12;
    b[key] ^= 0x20;
    qvx_test::WriteFileBytes(path, b);
    EXPECT_EQ(Tool_("check " + Q(table_) + " " + Q(path), &out, &err), 1) << file;
    EXPECT_NE(out.find("C: "), std::string::npos) << out;
    ASSERT_EQ(Tool_("reindex " + Q(table_) + " " + Q(path), &out, &err), 0) << err;
    ASSERT_EQ(Tool_("check " + Q(table_) + " " + Q(path), &out, &err), 0) << out;
    ASSERT_EQ(Tool_("keys " + Q(table_) + " " + Q(path) + " C", &out, &err), 0);
    EXPECT_EQ(out, ReadFileText(TestDataPath("ntx1k/CATEGORY.keys"))) << file;
    b.resize(700);
    qvx_test::WriteFileBytes(path, b);
    EXPECT_EQ(Tool_("keys " + Q(table_) + " " + Q(path) + " C", &out, &err), 1) << file;
    EXPECT_EQ(Tool_("check " + Q(table_) + " " + Q(path), &out, &err), 1) << file;
  }
}

}  // namespace
