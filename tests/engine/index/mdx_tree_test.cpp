// Building, walking, seeking and maintaining MDX tags: page splits and root
// splits, changed and deleted keys, descending tags stored highest first,
// numeric and date keys, unique and FOR tags, tag replacement and deletion,
// rebuilds, renaming, and the table handler on a production MDX.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_mdxnode.h"
#include "tests/engine/index/mdx_fixture.h"

namespace {

using devazoz::ByteView;
using devazoz::GSobjIndexTag;
using devazoz::GSobjMDXFile;
using qvx_test::At;
using qvx_test::IndexedTable;
using qvx_test::KeyList;
using qvx_test::ListKeys;
using qvx_test::MdxCheckText;
using qvx_test::ReadFileBytes;
using qvx_test::TempDir;
using qvx_test::TextKey;

// Trimmed titles by key, then record (ascending tags list equal keys so).
KeyList Expected(const std::vector<std::string>& titles) {
  KeyList out;
  for (size_t i = 0; i < titles.size(); ++i) {
    std::string t = titles[i].substr(0, 40);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    out.push_back({t, int32_t(i + 1)});
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> KeysOnly(const KeyList& list) {
  std::vector<std::string> out;
  for (const auto& k : list) out.push_back(k.first);
  return out;
}

class MdxTree : public ::testing::Test {
 protected:
  std::string Table(const std::vector<std::string>& titles, const std::string& name = "CAT.DBF") {
    std::string path = dir_.File(name);
    qvx_test::WriteCatalogTable(path, titles);
    return path;
  }
  TempDir dir_;
};

TEST_F(MdxTree, BuildWalksBothWaysAndSeeks) {
  auto titles = qvx_test::RandomTitles(3000, 7, 12);
  std::string t = Table(titles);
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, dir_.File("CAT.MDX"), false, true, true, false);
  ASSERT_TRUE(mdx.AddTag("TITLE", "TITLE", false, true, ""));
  GSobjIndexTag* tag = mdx.FindTag("title");
  ASSERT_NE(tag, nullptr);
  KeyList expected = Expected(titles);
  EXPECT_EQ(ListKeys(tag), expected);
  EXPECT_EQ(qvx_test::ListKeysBackwards(tag), expected);
  EXPECT_EQ(MdxCheckText(mdx), "");
  tag->LoadTree(0);
  for (size_t i = 0; i < expected.size(); i += 37) {
    size_t first = i;
    while (first > 0 && expected[first - 1].first == expected[i].first) --first;
    EXPECT_EQ(tag->Find(TextKey(expected[i].first)), expected[first].second) << i;
    if (first + 1 < expected.size()) {
      EXPECT_EQ(tag->Navigate(devazoz::kNavNext), expected[first + 1].second);
    }
  }
  std::string prefix = expected[1500].first.substr(0, 2);
  size_t first = 0;
  while (expected[first].first.compare(0, 2, prefix) != 0) ++first;
  table.exact_comparison = false;
  EXPECT_EQ(tag->Find(TextKey(prefix)), expected[first].second);
  EXPECT_EQ(tag->Find(TextKey("\xFF\xFF")), 0);
  EXPECT_TRUE(tag->Eof());
  tag->ReleaseTree();
}

TEST_F(MdxTree, AppendsSplitPagesAndTheRoot) {
  std::string t = Table({});
  std::string path = dir_.File("A.MDX");
  auto titles = qvx_test::RandomTitles(1500, 11);
  {
    IndexedTable table(t);
    GSobjMDXFile mdx(&table, path, false, true, true, false);
    ASSERT_TRUE(mdx.AddTag("TITLE", "TITLE", false, true, ""));
    table.index = &mdx;
    GSobjIndexTag* tag = mdx.FindTag("TITLE");
    int32_t first_root = tag->RootPointer();
    // An empty table's root is one all-zero page.
    std::vector<uint8_t> b = ReadFileBytes(path);
    ByteView root = At(b, size_t(first_root));
    for (size_t i = 0; i < 1024; i += 4) ASSERT_EQ(root.U32LE(i), 0u) << i;
    bool split_seen = false;
    for (size_t i = 0; i < titles.size(); ++i) {
      table.BlankRecord();
      table.PutStrByName("TITLE", titles[i]);
      table.AppendRecord();
      if (!split_seen && tag->RootPointer() != first_root) {
        split_seen = true;
        // 23 keys of 40 bytes overflow the 22 a page takes: 12 go to a new
        // page on the left, 11 stay; the new root holds one separator.
        ASSERT_TRUE(mdx.Disk()->WritePending());
        b = ReadFileBytes(path);
        ByteView r = At(b, size_t(tag->RootPointer()));
        ASSERT_EQ(r.U32LE(0), 1u);
        uint32_t left = r.U32LE(8), right = r.U32LE(8 + 44);
        EXPECT_EQ(right * 512, uint32_t(first_root));
        EXPECT_GT(left * 512, uint32_t(first_root));
        ByteView l = At(b, left * 512), rr = At(b, right * 512);
        EXPECT_EQ(l.U32LE(0), 12u);
        EXPECT_EQ(rr.U32LE(0), 11u);
        EXPECT_EQ(r.Text(12, 40), l.Text(8 + 11 * 44 + 4, 40));  // the separator
        // The tag header follows the root.
        ByteView header = At(b, size_t(tag->HeaderPosition()));
        EXPECT_EQ(header.U32LE(0) * 512, uint32_t(tag->RootPointer()));
      }
    }
    EXPECT_TRUE(split_seen);
    EXPECT_EQ(ListKeys(tag), Expected(titles));
    EXPECT_EQ(MdxCheckText(mdx), "");
  }
  // What was written reads back.
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, path, false, false, false, false);
  ASSERT_TRUE(mdx.Valid()) << mdx.ErrorText();
  EXPECT_EQ(ListKeys(mdx.FindTag("TITLE")), Expected(titles));
  EXPECT_EQ(MdxCheckText(mdx), "");
  std::vector<uint8_t> b = ReadFileBytes(path);
  EXPECT_EQ(int64_t(ByteView(b.data(), b.size()).U32LE(32)) * 512, int64_t(b.size()));
}

TEST_F(MdxTree, ChangedRecordsMoveTheirKeys) {
  auto titles = qvx_test::RandomTitles(800, 5);
  std::string t = Table(titles);
  std::string path = dir_.File("K.MDX");
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, path, false, true, true, false);
  ASSERT_TRUE(mdx.AddTag("TITLE", "TITLE", false, true, ""));
  ASSERT_TRUE(mdx.AddTag("SOME", "TITLE", false, true, "CATEGORY = 'Action'"));
  table.index = &mdx;
  ASSERT_TRUE(mdx.Disk()->WritePending());
  std::vector<uint8_t> before = ReadFileBytes(path);
  table.ReadRecord(17);
  table.PutStrByName("PRICE", "1");
  table.WriteRecord(17);
  ASSERT_TRUE(mdx.Disk()->WritePending());
  EXPECT_EQ(ReadFileBytes(path), before);  // the same key writes nothing
  table.ReadRecord(17);
  table.PutStrByName("TITLE", "AAAA first of all");
  table.WriteRecord(17);
  titles[16] = "AAAA first of all";
  EXPECT_EQ(ListKeys(mdx.FindTag("TITLE")), Expected(titles));
  table.ReadRecord(1);  // Action
  size_t some = ListKeys(mdx.FindTag("SOME")).size();
  table.PutStrByName("CATEGORY", "Puzzle");
  table.WriteRecord(1);
  EXPECT_EQ(ListKeys(mdx.FindTag("SOME")).size() + 1, some);
  table.ReadRecord(2);  // Puzzle
  table.PutStrByName("CATEGORY", "Action");
  table.WriteRecord(2);
  EXPECT_EQ(ListKeys(mdx.FindTag("SOME")).size(), some);
  for (int i = 0; i < 600; ++i) {
    int32_t rec = 1 + (i * 37) % 800;
    table.ReadRecord(rec);
    titles[size_t(rec - 1)] = titles[size_t((i * 11) % 800)] + "x";
    table.PutStrByName("TITLE", titles[size_t(rec - 1)]);
    table.WriteRecord(rec);
  }
  // Equal keys are not ordered by record number: a changed key goes after
  // the keys equal to it.
  KeyList listed = ListKeys(mdx.FindTag("TITLE"));
  EXPECT_EQ(KeysOnly(listed), KeysOnly(Expected(titles)));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, Expected(titles));
  EXPECT_EQ(MdxCheckText(mdx), "");
  // Every record leaves the FOR condition: pages empty, the root becomes an
  // empty leaf again, and the tag stays usable.
  for (int32_t rec = 1; rec <= 800; ++rec) {
    table.ReadRecord(rec);
    if (table.GetStrByName("CATEGORY").rfind("Action", 0) != 0) continue;
    table.PutStrByName("CATEGORY", "Gone");
    table.WriteRecord(rec);
  }
  EXPECT_EQ(ListKeys(mdx.FindTag("SOME")).size(), 0u);
  table.ReadRecord(5);
  table.PutStrByName("CATEGORY", "Action");
  table.WriteRecord(5);
  EXPECT_EQ(ListKeys(mdx.FindTag("SOME")).size(), 1u);
  EXPECT_EQ(MdxCheckText(mdx), "");
}

TEST_F(MdxTree, DescendingTagsStoreTheHighestKeyFirst) {
  std::string t = Table({"Bravo", "Delta", "Alpha", "Charlie"});
  std::string path = dir_.File("DS.MDX");
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, path, false, true, true, false);
  ASSERT_TRUE(mdx.AddTag("DOWN", "TITLE", false, false, ""));
  GSobjIndexTag* tag = mdx.FindTag("DOWN");
  EXPECT_TRUE(tag->Descending());
  EXPECT_EQ(ListKeys(tag), (KeyList{{"Delta", 2}, {"Charlie", 4}, {"Bravo", 1}, {"Alpha", 3}}));
  std::vector<uint8_t> b = ReadFileBytes(path);
  ByteView root = At(b, size_t(tag->RootPointer()));
  EXPECT_EQ(root.Text(12, 5), "Delta");
  tag->LoadTree(0);
  EXPECT_EQ(tag->Navigate(devazoz::kNavFirst), 2);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 4);
  EXPECT_EQ(tag->Navigate(devazoz::kNavLast), 3);
  EXPECT_EQ(tag->Navigate(devazoz::kNavPrior), 1);
  EXPECT_EQ(tag->Find(TextKey("Charlie")), 4);
  EXPECT_EQ(tag->Find(TextKey("Beta")), 0);  // lands on Alpha, below Beta
  tag->ReleaseTree();
  // Appends keep the order through splits.
  table.index = &mdx;
  auto more = qvx_test::RandomTitles(700, 3);
  for (const std::string& s : more) {
    table.BlankRecord();
    table.PutStrByName("TITLE", s);
    table.AppendRecord();
  }
  more.insert(more.begin(), {"Bravo", "Delta", "Alpha", "Charlie"});
  std::vector<std::string> keys = KeysOnly(Expected(more));
  std::reverse(keys.begin(), keys.end());
  EXPECT_EQ(KeysOnly(ListKeys(tag)), keys);
  EXPECT_EQ(KeysOnly(qvx_test::ListKeysBackwards(tag)), keys);
  EXPECT_EQ(MdxCheckText(mdx), "");
}

TEST_F(MdxTree, NumericAndDateKeysWithEmptyDatesLast) {
  qvx_test::DbfFixture f(0x03, {{"PRICE", 'N', 10, 2}, {"DAY", 'D', 8}});
  for (int i = 0; i < 400; ++i) {
    char price[16];
    std::snprintf(price, sizeof price, "%10.2f", (i % 2 ? -1.0 : 1.0) * (i * 7 % 400) / 4.0);
    char day[16];
    std::snprintf(day, sizeof day, "2%03d%02d%02d", i % 50, i % 12 + 1, i % 28 + 1);
    f.AddRecord({price, i % 9 == 4 ? "" : day});
  }
  std::string t = dir_.File("N.DBF");
  f.Write(t);
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, dir_.File("N.MDX"), false, true, true, false);
  ASSERT_TRUE(mdx.AddTag("PRICE", "PRICE", false, true, ""));
  ASSERT_TRUE(mdx.AddTag("DOWN", "PRICE", false, false, ""));
  ASSERT_TRUE(mdx.AddTag("DAY", "DAY", false, true, ""));
  EXPECT_EQ(mdx.FindTag("PRICE")->KeyType(), 'N');
  EXPECT_EQ(mdx.FindTag("PRICE")->KeyLength(), 12);
  EXPECT_EQ(mdx.FindTag("DAY")->KeyType(), 'D');
  auto numbers = [](const KeyList& keys, char type) {
    std::vector<double> out;
    for (const auto& k : keys)
      out.push_back(devazoz::MdxKeyNumber(type, reinterpret_cast<const uint8_t*>(k.first.data()),
                                          uint32_t(k.first.size())));
    return out;
  };
  std::vector<double> up = numbers(ListKeys(mdx.FindTag("PRICE")), 'N');
  ASSERT_EQ(up.size(), 400u);
  EXPECT_TRUE(std::is_sorted(up.begin(), up.end()));
  EXPECT_EQ(up.front(), -99.75);
  std::vector<double> down = numbers(ListKeys(mdx.FindTag("DOWN")), 'N');
  std::reverse(down.begin(), down.end());
  EXPECT_EQ(down, up);
  KeyList days = ListKeys(mdx.FindTag("DAY"));
  std::vector<double> d = numbers(days, 'D');
  // 44 empty dates (day 0 here) come after every dated record.
  size_t dated = 400 - 44;
  EXPECT_TRUE(std::is_sorted(d.begin(), d.begin() + std::ptrdiff_t(dated)));
  for (size_t i = dated; i < d.size(); ++i) EXPECT_EQ(d[i], 0) << i;
  EXPECT_GT(d[dated - 1], 0);
  GSobjIndexTag* price = mdx.FindTag("PRICE");
  price->LoadTree(0);
  devazoz::GSobjIndexKeyData k;
  k.RecordNumber = -1;
  k.Value.SetNumber(-1.75);  // record 2
  EXPECT_EQ(price->Find(k), 2);
  k.Value.SetNumber(0);
  EXPECT_EQ(price->Find(k), 1);
  price->ReleaseTree();
  GSobjIndexTag* day = mdx.FindTag("DAY");
  day->LoadTree(0);
  k.Value.SetDate(devazoz::DBFDate().StorageToDay("20010202"));  // record 2
  EXPECT_EQ(day->Find(k), 2);
  day->ReleaseTree();
  // Appends and changes of numbers and dates keep the tags sound.
  table.index = &mdx;
  for (int i = 0; i < 200; ++i) {
    table.BlankRecord();
    table.PutStrByName("PRICE", std::to_string((i * 13) % 97 - 48));
    if (i % 3) table.PutStrByName("DAY", "2020" + std::string(i % 2 ? "0115" : "1231"));
    table.AppendRecord();
  }
  table.ReadRecord(7);
  table.PutStrByName("PRICE", "0");
  table.PutStrByName("DAY", "");
  table.WriteRecord(7);
  up = numbers(ListKeys(mdx.FindTag("PRICE")), 'N');
  EXPECT_EQ(up.size(), 600u);
  EXPECT_TRUE(std::is_sorted(up.begin(), up.end()));
  EXPECT_EQ(MdxCheckText(mdx), "");
}

TEST_F(MdxTree, UniqueForAndEmptyBuilds) {
  std::vector<std::string> titles;
  for (int i = 0; i < 300; ++i) titles.push_back("Title " + std::to_string(i % 40));
  std::string t = Table(titles);
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, dir_.File("U.MDX"), false, true, true, false);
  ASSERT_TRUE(mdx.AddTag("ONCE", "TITLE", true, true, ""));
  KeyList once = ListKeys(mdx.FindTag("ONCE"));
  ASSERT_EQ(once.size(), 40u);
  for (const auto& k : once) EXPECT_EQ(k.second, std::stoi(k.first.substr(6)) + 1) << k.first;
  ASSERT_TRUE(mdx.AddTag("NONE", "TITLE", false, true, "CATEGORY = 'Nothing'"));
  EXPECT_EQ(ListKeys(mdx.FindTag("NONE")).size(), 0u);
  EXPECT_EQ(MdxCheckText(mdx), "");
  // A unique tag refuses a second key of a value.
  table.index = &mdx;
  table.BlankRecord();
  table.PutStrByName("TITLE", "Title 3");
  table.AppendRecord();
  EXPECT_EQ(ListKeys(mdx.FindTag("ONCE")).size(), 40u);
  table.BlankRecord();
  table.PutStrByName("TITLE", "Title new");
  table.PutStrByName("CATEGORY", "Nothing");
  table.AppendRecord();
  EXPECT_EQ(ListKeys(mdx.FindTag("ONCE")).size(), 41u);
  EXPECT_EQ(ListKeys(mdx.FindTag("NONE")), (KeyList{{"Title new", 302}}));
  EXPECT_EQ(MdxCheckText(mdx), "");
}

TEST_F(MdxTree, TagsAreReplacedDeletedRenamedAndRebuilt) {
  std::string t = Table(qvx_test::RandomTitles(500, 9), "PROD.DBF");
  std::string path = dir_.File("PROD.MDX");
  {
    IndexedTable table(t);
    EXPECT_FALSE(table.has_production_index);
    GSobjMDXFile mdx(&table, path, false, true, true, false);
    EXPECT_TRUE(table.has_production_index);
    ASSERT_TRUE(mdx.AddTag("TITLE", "TITLE", false, true, ""));
    ASSERT_TRUE(mdx.AddTag("CATEGORY", "CATEGORY", false, true, ""));
    ASSERT_TRUE(mdx.AddTag("title", "CATEGORY+TITLE", false, true, ""));
    EXPECT_EQ(mdx.TagCount(), 2);
    EXPECT_EQ(mdx.FindTag("TITLE")->KeyExpression(), "CATEGORY+TITLE");
    EXPECT_EQ(mdx.FindTag("TITLE")->KeyLength(), 70);
    // Appends leave pages spread; a rebuild gives the same keys in fewer bytes.
    table.index = &mdx;
    for (const std::string& s : qvx_test::RandomTitles(600, 4)) {
      table.BlankRecord();
      table.PutStrByName("TITLE", s);
      table.AppendRecord();
    }
    KeyList title = ListKeys(mdx.FindTag("TITLE")), category = ListKeys(mdx.FindTag("CATEGORY"));
    ASSERT_TRUE(mdx.Disk()->WritePending());
    size_t size = ReadFileBytes(path).size();
    mdx.RebuildAll();
    EXPECT_LT(ReadFileBytes(path).size(), size);
    EXPECT_EQ(ListKeys(mdx.FindTag("TITLE")), title);
    EXPECT_EQ(ListKeys(mdx.FindTag("CATEGORY")), category);
    EXPECT_EQ(MdxCheckText(mdx), "");
    EXPECT_FALSE(mdx.DeleteTag("NOSUCH"));
    EXPECT_TRUE(mdx.DeleteTag("category"));
    EXPECT_EQ(mdx.TagCount(), 1);
  }
  std::vector<uint8_t> h = ReadFileBytes(t);
  EXPECT_EQ(h[28] & 1, 1);
  {
    IndexedTable table(t);
    GSobjMDXFile mdx(&table, path, false, false, true, false);
    ASSERT_EQ(mdx.TagCount(), 1);
    EXPECT_EQ(mdx.TagAt(0)->TagName(), "TITLE");
    EXPECT_EQ(MdxCheckText(mdx), "");
    // The name field follows a rename.
    ASSERT_TRUE(mdx.RenameExtension(dir_.File("RENAMED.DBF")));
    EXPECT_EQ(mdx.FileName(), "RENAMED.MDX");
    // Deleting the last tag leaves an empty file.
    EXPECT_TRUE(mdx.DeleteTag("TITLE"));
  }
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("RENAMED.MDX"));
  ASSERT_EQ(b.size(), 2048u);
  ByteView v(b.data(), b.size());
  EXPECT_EQ(v.Text(4, 9), std::string("RENAMED\0\0", 9));
  EXPECT_EQ(v.U16LE(28), 0);
  EXPECT_EQ(v.U32LE(32), 4u);
}

TEST_F(MdxTree, TheTagTableHoldsFortySevenTags) {
  std::string t = Table({"a", "b"});
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, dir_.File("MANY.MDX"), false, true, true, false);
  for (int i = 0; i < 47; ++i)
    ASSERT_TRUE(mdx.AddTag("T" + std::to_string(i), "TITLE", false, true, ""));
  // A 48th would be listed where the first page lies.
  EXPECT_THROW(mdx.AddTag("T47", "TITLE", false, true, ""), devazoz::EDevazozError);
  EXPECT_TRUE(mdx.AddTag("T3", "CATEGORY", false, true, ""));  // replacing is fine
  EXPECT_EQ(mdx.TagCount(), 47);
  EXPECT_EQ(MdxCheckText(mdx), "");
}

TEST_F(MdxTree, TheHandlerOpensAProductionMdx) {
  auto titles = qvx_test::RandomTitles(400, 31);
  std::string t = Table(titles, "GAMES.DBF");
  {
    devazoz::GSO_dBaseFld table(t, false, true);
    GSobjMDXFile mdx(&table, dir_.File("GAMES.MDX"), false, true, true, false);
    ASSERT_TRUE(mdx.AddTag("TITLE", "TITLE", false, true, ""));
    ASSERT_TRUE(mdx.AddTag("PRICE", "PRICE", false, false, ""));
  }
  devazoz::GSO_dBHandler h(t, true, false);
  ASSERT_EQ(h.OpenIndexFile("games.mdx"), 0);
  EXPECT_EQ(h.OpenIndexFile("GAMES.MDX"), -1);
  std::string name = "TITLE";
  EXPECT_EQ(h.SelectTag(&name, false), 1);
  KeyList expected = Expected(titles);
  EXPECT_EQ(h.RecordNumber(), expected[0].second);
  ASSERT_TRUE(h.FindKey(expected[200].first));
  h.BlankRecord();
  h.PutStrByName("TITLE", "AAA added through the handler");
  h.AppendRecord();
  h.GetRecord(devazoz::kMoveFirst);
  EXPECT_EQ(h.RecordNumber(), 401);
  name = "PRICE";
  h.SelectTag(&name, false);
  EXPECT_EQ(h.RecordNumber(), 400);  // the highest price first
  EXPECT_TRUE(h.FindKey("350"));
  EXPECT_EQ(h.RecordNumber(), 300);
  h.Reindex();
  h.GetRecord(devazoz::kMoveFirst);
  EXPECT_EQ(h.RecordNumber(), 400);
}

}  // namespace

namespace {

TEST_F(MdxTree, RangesOnAscendingAndDescendingTags) {
  std::string t =
      Table({"Apple", "Banana", "Blueberry", "Cherry", "Date", "Dragonfruit", "Elder", "Fig"});
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, dir_.File("R.MDX"), false, true, true, false);
  ASSERT_TRUE(mdx.AddTag("UP", "TITLE", false, true, ""));
  ASSERT_TRUE(mdx.AddTag("DOWN", "TITLE", false, false, ""));
  table.exact_comparison = false;
  GSobjIndexTag* up = mdx.FindTag("UP");
  up->LoadTree(0);
  TextKey low("B"), high("D");
  EXPECT_EQ(up->SetRange(&low, true, true, &high), 2);
  for (int32_t rec : {3, 4, 5, 6}) EXPECT_EQ(up->Navigate(devazoz::kNavNext), rec);
  EXPECT_EQ(up->Navigate(devazoz::kNavNext), 0);
  EXPECT_TRUE(up->Eof());
  EXPECT_EQ(up->Navigate(devazoz::kNavLast), 6);
  EXPECT_EQ(up->Find(TextKey("Apple")), 0);
  EXPECT_EQ(up->Find(TextKey("Ch")), 4);
  up->ReleaseTree();
  GSobjIndexTag* down = mdx.FindTag("DOWN");
  down->LoadTree(0);
  EXPECT_EQ(down->Navigate(devazoz::kNavFirst), 8);
  EXPECT_EQ(down->Find(TextKey("Dr")), 6);
  EXPECT_EQ(down->Navigate(devazoz::kNavNext), 5);
  down->ReleaseTree();
}

TEST_F(MdxTree, SharedFilesSeeOtherWriters) {
  std::string t = Table({"Alpha", "Beta"});
  std::string path = dir_.File("SH.MDX");
  {
    IndexedTable table(t);
    GSobjMDXFile mdx(&table, path, false, true, true, false);
    ASSERT_TRUE(mdx.AddTag("TITLE", "TITLE", false, true, ""));
  }
  IndexedTable table(t, true);
  GSobjMDXFile a(&table, path, false, false, true, true);
  GSobjMDXFile b(&table, path, false, false, true, true);
  ASSERT_TRUE(a.Valid() && b.Valid());
  table.index = &a;
  auto titles = qvx_test::RandomTitles(300, 19);
  for (const std::string& s : titles) {
    table.BlankRecord();
    table.PutStrByName("TITLE", s);
    table.AppendRecord();
  }
  // The other object follows the new root and reads the new pages.
  EXPECT_EQ(ListKeys(b.FindTag("TITLE")).size(), 302u);
  table.index = &b;
  table.BlankRecord();
  table.PutStrByName("TITLE", "Omega");
  table.AppendRecord();
  EXPECT_EQ(ListKeys(a.FindTag("TITLE")).size(), 303u);
  EXPECT_EQ(MdxCheckText(a), "");
}

}  // namespace

namespace {

TEST_F(MdxTree, EmptyingALeafDropsItFromItsParent) {
  auto titles = qvx_test::RandomTitles(100, 21);
  std::string t = Table(titles);
  std::string path = dir_.File("D.MDX");
  IndexedTable table(t);
  GSobjMDXFile mdx(&table, path, false, true, true, false);
  ASSERT_TRUE(mdx.AddTag("SOME", "TITLE", false, true, "CATEGORY # 'Gone'"));
  table.index = &mdx;
  GSobjIndexTag* tag = mdx.FindTag("SOME");
  // 100 keys of 40 bytes: four full leaves of 22 and one of 12 under the root.
  std::vector<uint8_t> b = ReadFileBytes(path);
  ByteView root = At(b, size_t(tag->RootPointer()));
  ASSERT_EQ(root.U32LE(0), 4u);
  std::vector<uint32_t> children;
  for (size_t i = 0; i <= 4; ++i) children.push_back(root.U32LE(8 + i * 44));
  ByteView second = At(b, children[1] * 512);
  ASSERT_EQ(second.U32LE(0), 22u);
  std::vector<int32_t> records;
  for (size_t i = 0; i < 22; ++i) records.push_back(int32_t(second.U32LE(8 + i * 44)));
  for (int32_t rec : records) {
    table.ReadRecord(rec);
    table.PutStrByName("CATEGORY", "Gone");
    table.WriteRecord(rec);
  }
  ASSERT_TRUE(mdx.Disk()->WritePending());
  b = ReadFileBytes(path);
  root = At(b, size_t(tag->RootPointer()));
  ASSERT_EQ(root.U32LE(0), 3u);
  EXPECT_EQ(root.U32LE(8), children[0]);
  EXPECT_EQ(root.U32LE(8 + 44), children[2]);
  EXPECT_EQ(root.U32LE(8 + 3 * 44), children[4]);
  // The emptied leaf stays in the file, without keys.
  EXPECT_EQ(At(b, children[1] * 512).U32LE(0), 0u);
  EXPECT_EQ(ListKeys(tag).size(), 78u);
  EXPECT_EQ(MdxCheckText(mdx), "");
}

}  // namespace
