// CDX files written by another xBase program open, walk, seek and check here;
// a CDX built here for the same table lists the same keys.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/engine/index/index_fixture.h"

namespace {

using devazoz::GSO_dBaseFld;
using devazoz::GSobjCDXFile;
using qvx_test::CopyTestData;
using qvx_test::KeyList;
using qvx_test::TempDir;

KeyList ReadListing(const std::string& name) {
  std::istringstream in(qvx_test::ReadFileText(qvx_test::TestDataPath("cdx1k/" + name)));
  KeyList out;
  std::string line;
  while (std::getline(in, line)) {
    size_t tab = line.rfind('\t');
    out.push_back({line.substr(0, tab), std::stoi(line.substr(tab + 1))});
  }
  return out;
}

class CdxInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    table_path_ = CopyTestData("cdx1k/catalog.dbf", dir_.path());
    CopyTestData("cdx1k/catalog.fpt", dir_.path());
    cdx_path_ = CopyTestData("cdx1k/catalog.cdx", dir_.path());
  }
  TempDir dir_;
  std::string table_path_, cdx_path_;
};

TEST_F(CdxInterop, ForeignFileListsTheOtherProgramsKeys) {
  GSO_dBaseFld table(table_path_, false, false);
  GSobjCDXFile cdx(&table, cdx_path_, false, false, false, false);
  ASSERT_TRUE(cdx.Valid()) << cdx.ErrorText();
  ASSERT_EQ(cdx.TagCount(), 2);
  EXPECT_EQ(cdx.TagAt(0)->TagName(), "CATEGORY");
  EXPECT_EQ(cdx.TagAt(1)->TagName(), "TITLE");
  for (const char* name : {"TITLE", "CATEGORY"}) {
    devazoz::GSobjIndexTag* tag = cdx.FindTag(name);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->KeyType(), 'C');
    KeyList expected = ReadListing(std::string(name) + ".keys");
    ASSERT_EQ(expected.size(), 1000u);
    EXPECT_EQ(qvx_test::ListKeys(tag), expected) << name;
    EXPECT_EQ(qvx_test::ListKeysBackwards(tag), expected) << name;
  }
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxInterop, SeeksInTheForeignFile) {
  GSO_dBaseFld table(table_path_, false, false);
  GSobjCDXFile cdx(&table, cdx_path_, false, false, false, false);
  devazoz::GSobjIndexTag* tag = cdx.FindTag("TITLE");
  ASSERT_NE(tag, nullptr);
  KeyList expected = ReadListing("TITLE.keys");
  tag->LoadTree(0);
  for (size_t i = 0; i < expected.size(); i += 37) {
    // The first record with that key: equal keys come in record order.
    size_t first = i;
    while (first > 0 && expected[first - 1].first == expected[i].first) --first;
    EXPECT_EQ(tag->Find(qvx_test::TextKey(expected[i].first)), expected[first].second)
        << expected[i].first;
    // Exactly this record.
    EXPECT_EQ(tag->Find(qvx_test::TextKey(expected[i].first, expected[i].second)),
              expected[i].second);
    // Stepping on from a found key continues in index order.
    if (i + 1 < expected.size()) {
      tag->Find(qvx_test::TextKey(expected[i].first, expected[i].second));
      EXPECT_EQ(tag->Navigate(devazoz::kNavNext), expected[i + 1].second);
    }
  }
  // A prefix finds the first key that begins with it.
  std::string prefix = expected[500].first.substr(0, 3);
  size_t first = 0;
  while (expected[first].first.compare(0, 3, prefix) != 0) ++first;
  EXPECT_EQ(tag->Find(qvx_test::TextKey(prefix)), expected[first].second);
  // Beyond every key: 0 and EOF.
  EXPECT_EQ(tag->Find(qvx_test::TextKey("\xFF\xFF")), 0);
  EXPECT_TRUE(tag->Eof());
  tag->ReleaseTree();
}

TEST_F(CdxInterop, RebuiltFileListsTheSameKeys) {
  std::string own = dir_.File("OWN.CDX");
  {
    GSO_dBaseFld table(table_path_, false, true);
    GSobjCDXFile cdx(&table, own, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
    ASSERT_TRUE(cdx.AddTag("CATEGORY", "CATEGORY", false, true, ""));
    EXPECT_EQ(qvx_test::CheckText(cdx), "");
  }
  GSO_dBaseFld table(table_path_, false, false);
  GSobjCDXFile cdx(&table, own, false, false, false, false);
  ASSERT_EQ(cdx.TagCount(), 2);
  for (const char* name : {"TITLE", "CATEGORY"})
    EXPECT_EQ(qvx_test::ListKeys(cdx.FindTag(name)), ReadListing(std::string(name) + ".keys"));
  // Reindexing the foreign file in place gives the same listings too.
  GSO_dBaseFld rw(table_path_, false, true);
  {
    GSobjCDXFile foreign(&rw, cdx_path_, false, false, true, false);
    foreign.RebuildAll();
    EXPECT_EQ(qvx_test::CheckText(foreign), "");
  }
  GSobjCDXFile again(&rw, cdx_path_, false, false, false, false);
  for (const char* name : {"TITLE", "CATEGORY"})
    EXPECT_EQ(qvx_test::ListKeys(again.FindTag(name)), ReadListing(std::string(name) + ".keys"));
}

}  // namespace
