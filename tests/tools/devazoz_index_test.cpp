// devazoz tags, keys, index, reindex and check: output byte for byte and exit codes.
#include <gtest/gtest.h>

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

class DevazozIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = CopyTestData("cdx1k/catalog.dbf", dir_.path());
    CopyTestData("cdx1k/catalog.fpt", dir_.path());
    cdx_ = CopyTestData("cdx1k/catalog.cdx", dir_.path());
  }
  int Run(const std::string& args, std::string* out, std::string* err = nullptr) {
    return RunCommand(Tool() + " " + args, out, err);
  }
  TempDir dir_;
  std::string table_, cdx_;
};

TEST_F(DevazozIndex, TagsAndKeysOfAForeignFile) {
  std::string out, err;
  ASSERT_EQ(Run("tags " + Q(table_) + " " + Q(cdx_), &out, &err), 0) << err;
  EXPECT_EQ(out, "CATEGORY\tC\t30\tCATEGORY\t\t-\nTITLE\tC\t40\tTITLE\t\t-\n");
  for (const char* tag : {"TITLE", "CATEGORY"}) {
    ASSERT_EQ(Run("keys " + Q(table_) + " " + Q(cdx_) + " " + tag, &out, &err), 0) << err;
    EXPECT_EQ(out, ReadFileText(TestDataPath(std::string("cdx1k/") + tag + ".keys"))) << tag;
  }
  ASSERT_EQ(Run("check " + Q(table_) + " " + Q(cdx_), &out, &err), 0) << out << err;
  EXPECT_EQ(out, "ok\n");
}

TEST_F(DevazozIndex, IndexAddsAndReplacesTagsWithTheirOptions) {
  std::string cdx = dir_.File("NEW.CDX"), out, err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(cdx) + " TITLE TITLE", &out, &err), 0) << err;
  ASSERT_EQ(Run("keys " + Q(table_) + " " + Q(cdx) + " title", &out, &err), 0) << err;
  EXPECT_EQ(out, ReadFileText(TestDataPath("cdx1k/TITLE.keys")));
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(cdx) +
                    " CAT CATEGORY --unique --descending --for \"CATEGORY # 'Sports'\"",
                &out, &err),
            0)
      << err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(cdx) + " TITLE \"UPPER(TITLE)\"", &out, &err), 0);
  ASSERT_EQ(Run("tags " + Q(table_) + " " + Q(cdx), &out, &err), 0) << err;
  EXPECT_EQ(out,
            "CAT\tC\t30\tCATEGORY\tCATEGORY # 'Sports'\tunique,descending\n"
            "TITLE\tC\t40\tUPPER(TITLE)\t\t-\n");
  ASSERT_EQ(Run("keys " + Q(table_) + " " + Q(cdx) + " CAT", &out, &err), 0) << err;
  // One key per category but Sports, highest first, each its first record.
  std::string listing = ReadFileText(TestDataPath("cdx1k/CATEGORY.keys"));
  std::vector<std::string> expected;
  std::string last;
  size_t at = 0;
  while (at < listing.size()) {
    size_t nl = listing.find('\n', at);
    std::string line = listing.substr(at, nl - at);
    at = nl + 1;
    std::string key = line.substr(0, line.find('\t'));
    if (key != last && key != "Sports") expected.insert(expected.begin(), line + "\n");
    last = key;
  }
  std::string joined;
  for (const std::string& e : expected) joined += e;
  EXPECT_EQ(out, joined);
  ASSERT_EQ(Run("check " + Q(table_) + " " + Q(cdx), &out, &err), 0) << out;
}

TEST_F(DevazozIndex, NumericAndDateKeysAreFormatted) {
  qvx_test::DbfFixture f(0x03, {{"PRICE", 'N', 8, 2}, {"DAY", 'D', 8}});
  f.AddRecord({"   12.50", "20240131"})
      .AddRecord({"   -3.00", "19991231"})
      .AddRecord({"    0.00", ""});
  std::string t = dir_.File("N.DBF"), cdx = dir_.File("N.CDX");
  f.Write(t);
  std::string out, err;
  ASSERT_EQ(Run("index " + Q(t) + " " + Q(cdx) + " PRICE PRICE", &out, &err), 0) << err;
  ASSERT_EQ(Run("index " + Q(t) + " " + Q(cdx) + " DAY DAY", &out, &err), 0) << err;
  ASSERT_EQ(Run("tags " + Q(t) + " " + Q(cdx), &out, &err), 0);
  EXPECT_EQ(out, "DAY\tD\t8\tDAY\t\t-\nPRICE\tN\t8\tPRICE\t\t-\n");
  ASSERT_EQ(Run("keys " + Q(t) + " " + Q(cdx) + " PRICE", &out, &err), 0) << err;
  EXPECT_EQ(out, "-3\t2\n0\t3\n12.5\t1\n");
  ASSERT_EQ(Run("keys " + Q(t) + " " + Q(cdx) + " DAY", &out, &err), 0) << err;
  EXPECT_EQ(out, "        \t3\n19991231\t2\n20240131\t1\n");
  EXPECT_EQ(Run("check " + Q(t) + " " + Q(cdx), &out, &err), 0) << out;
}

TEST_F(DevazozIndex, CheckReportsDamageAndReindexRepairsIt) {
  std::string out, err;
  std::vector<uint8_t> b = ReadFileBytes(cdx_);
  // A key byte of the first leaf of TITLE changed: order or table keys break.
  size_t root = size_t(b[1536]) | size_t(b[1537]) << 8 | size_t(b[1538]) << 16;
  b[root + 511] ^= 0x20;
  b[root + 12] = 0x7F;  // the leaf's free bytes no longer add up
  qvx_test::WriteFileBytes(cdx_, b);
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(cdx_), &out, &err), 1);
  EXPECT_NE(out, "ok\n");
  EXPECT_NE(out.find("TITLE: "), std::string::npos) << out;
  ASSERT_EQ(Run("reindex " + Q(table_) + " " + Q(cdx_), &out, &err), 0) << err;
  ASSERT_EQ(Run("check " + Q(table_) + " " + Q(cdx_), &out, &err), 0) << out;
  ASSERT_EQ(Run("keys " + Q(table_) + " " + Q(cdx_) + " TITLE", &out, &err), 0);
  EXPECT_EQ(out, ReadFileText(TestDataPath("cdx1k/TITLE.keys")));
  // Shortened: every tag header but the directory's is gone.
  b = ReadFileBytes(cdx_);
  b.resize(1700);
  qvx_test::WriteFileBytes(cdx_, b);
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(cdx_), &out, &err), 1);
  EXPECT_EQ(Run("keys " + Q(table_) + " " + Q(cdx_) + " TITLE", &out, &err), 1);
  EXPECT_NE(err.find("header"), std::string::npos) << err;
  // Commands that open the index through the table say the same after the code.
  for (const char* command : {"dump", "pack"}) {
    EXPECT_EQ(Run(std::string(command) + " " + Q(table_) + " --index " + Q(cdx_), &out, &err), 1);
    EXPECT_EQ(err.rfind("Index file cannot be used - ", 0), 0u) << err;
    EXPECT_NE(err.find(cdx_), std::string::npos) << err;
    EXPECT_EQ(err.find('\r'), std::string::npos) << err;
    EXPECT_NE(err.find("lies beyond the end of the file"), std::string::npos) << err;
  }
}

TEST_F(DevazozIndex, UsageAndMissingThings) {
  std::string out, err;
  EXPECT_EQ(Run("keys " + Q(table_), &out, &err), 2);
  EXPECT_EQ(Run("index " + Q(table_) + " x.cdx TAG", &out, &err), 2);
  EXPECT_EQ(Run("index " + Q(table_) + " x.cdx TAG KEY --bogus", &out, &err), 2);
  EXPECT_EQ(Run("keys " + Q(table_) + " " + Q(cdx_) + " NOSUCH", &out, &err), 1);
  EXPECT_NE(err.find("Cannot find index tag NOSUCH"), std::string::npos) << err;
  EXPECT_EQ(Run("tags " + Q(table_) + " " + Q(dir_.File("none.cdx")), &out, &err), 1);
  EXPECT_EQ(
      Run("index " + Q(table_) + " " + Q(dir_.File("E.CDX")) + " BAD \"NOFIELD\"", &out, &err), 1);
}

// Tags whose names or keys cannot be stored are refused with the reason; a FOR
// condition or a key that gives no usable value is an error, not an empty tag.
TEST_F(DevazozIndex, RefusedTagsSayWhy) {
  std::string cdx = dir_.File("R.CDX"), out, err;
  EXPECT_EQ(Run("index " + Q(table_) + " " + Q(cdx) + " VERYLONGTAGNAME1234 TITLE", &out, &err), 1);
  EXPECT_NE(err.find("Cannot create tag VERYLONGTAGNAME1234 on TITLE: a tag name has at most 10 "
                     "characters"),
            std::string::npos)
      << err;
  EXPECT_EQ(Run("index " + Q(table_) + " " + Q(cdx) + " \"MY TAG\" TITLE", &out, &err), 1);
  EXPECT_NE(err.find("a tag name has no blanks"), std::string::npos) << err;
  EXPECT_EQ(Run("index " + Q(table_) + " " + Q(cdx) + " BIG \"SPACE(300)\"", &out, &err), 1);
  EXPECT_NE(err.find("Cannot create tag BIG on SPACE(300): the key is too long (300 bytes, at "
                     "most 240)"),
            std::string::npos)
      << err;
  EXPECT_EQ(Run("index " + Q(table_) + " " + Q(cdx) + " T TITLE --for TITLE", &out, &err), 1);
  EXPECT_NE(err.find("the FOR condition does not give a logical value for record 1"),
            std::string::npos)
      << err;
  // Nothing was added: the file the failed commands would have made is not there.
  EXPECT_EQ(Run("tags " + Q(table_) + " " + Q(cdx), &out, &err), 1);
  EXPECT_EQ(err, "Cannot find file " + cdx + "\n");
}

TEST_F(DevazozIndex, ReindexRefusesKeysItCannotBuildAndShortFiles) {
  std::string out, err;
  // The expression area of the TITLE tag overwritten with a FOR condition of text.
  std::string cdx = dir_.File("F.CDX");
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(cdx) + " T TITLE --for \"TITLE = 'A'\"", &out, &err),
            0)
      << err;
  std::vector<uint8_t> b = ReadFileBytes(cdx);
  std::string text(reinterpret_cast<const char*>(b.data()), b.size());
  size_t at = text.find("TITLE = 'A'");
  ASSERT_NE(at, std::string::npos);
  for (size_t k = 0; k < 11; ++k) b[at + k] = uint8_t(std::string("TITLE      ")[k]);
  qvx_test::WriteFileBytes(cdx, b);
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(cdx), &out, &err), 1);
  EXPECT_NE(out.find("the FOR condition does not give a logical value"), std::string::npos) << out;
  EXPECT_EQ(Run("reindex " + Q(table_) + " " + Q(cdx), &out, &err), 1);
  EXPECT_NE(err.find("the FOR condition does not give a logical value"), std::string::npos) << err;
  ASSERT_EQ(Run("tags " + Q(table_) + " " + Q(cdx), &out, &err), 0) << err;
  EXPECT_EQ(out.substr(0, 2), "T\t");  // the tag is still listed

  // A file cut to less than a directory is damaged, not a new index.
  for (size_t size : {0, 100, 512}) {
    b = ReadFileBytes(cdx_);
    b.resize(size);
    qvx_test::WriteFileBytes(cdx_, b);
    EXPECT_EQ(Run("reindex " + Q(table_) + " " + Q(cdx_), &out, &err), 1) << size;
    EXPECT_NE(err.find("is too short for a compound index (" + std::to_string(size) + " bytes"),
              std::string::npos)
        << err;
    EXPECT_EQ(ReadFileBytes(cdx_).size(), size);
  }
}

TEST(SampleCatalogIndexes, EachTableHasItsCompoundIndex) {
  TempDir dir;
  std::string out, err;
  ASSERT_EQ(RunCommand(std::string(QVX_SAMPLECAT_TOOL) + " " + Q(dir.path()), &out, &err), 0)
      << err;
  struct Expect {
    const char* table;
    const char* cdx;
    const char* tags;
  } files[] = {
      {"QVXCAT.DBF", "QVXCAT.CDX", "CATEGORY\tC\t30\tCATEGORY\t\t-\nTITLE\tC\t40\tTITLE\t\t-\n"},
      {"CATEGORY.DBF", "CATEGORY.CDX", "CATEGORY\tC\t30\tCATEGORY\t\t-\n"},
      {"DEVDIST.DBF", "DEVDIST.CDX", "DEVDIST\tC\t30\tDEVDIST\t\t-\n"}};
  for (const Expect& e : files) {
    std::string t = Q(dir.File(e.table)), c = Q(dir.File(e.cdx));
    ASSERT_EQ(RunCommand(Tool() + " tags " + t + " " + c, &out, &err), 0) << err;
    EXPECT_EQ(out, e.tags);
    EXPECT_EQ(RunCommand(Tool() + " check " + t + " " + c, &out, &err), 0) << out;
    // The production-index flag of the table.
    EXPECT_EQ(ReadFileBytes(dir.File(e.table))[28] & 1, 1) << e.table;
  }
  ASSERT_EQ(RunCommand(Tool() + " keys " + Q(dir.File("CATEGORY.DBF")) + " " +
                           Q(dir.File("CATEGORY.CDX")) + " CATEGORY",
                       &out, &err),
            0);
  EXPECT_EQ(out.substr(0, 18), "Action\t1\nAdventure");
}

}  // namespace
