// Building, walking, seeking and maintaining CDX tags: splits, root splits,
// full interior nodes, deletions, unique and FOR tags, descending order, ranges,
// numeric and date keys, tag replacement and deletion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_glbl.h"
#include "engine/table/gs6_sqlbase.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using devazoz::ByteView;
using devazoz::GSobjCDXFile;
using devazoz::GSobjIndexTag;
using qvx_test::IndexedTable;
using qvx_test::KeyList;
using qvx_test::ListKeys;
using qvx_test::TempDir;
using qvx_test::TextKey;

// The expected listing of a text tag: trimmed keys by key, then record.
KeyList Expected(const std::vector<std::string>& titles, bool unique = false) {
  KeyList out;
  for (size_t i = 0; i < titles.size(); ++i) {
    std::string t = titles[i].substr(0, 40);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    out.push_back({t, int32_t(i + 1)});
  }
  std::sort(out.begin(), out.end());
  if (unique) {
    KeyList u;
    for (auto& k : out)
      if (u.empty() || u.back().first != k.first) u.push_back(k);
    return u;
  }
  return out;
}

struct RawNode {
  int32_t page;
  uint16_t attributes;
  devazoz::NodeData data;
};

RawNode ReadRaw(const std::string& path, int32_t page, int key_length, bool text = true) {
  std::vector<uint8_t> b = qvx_test::ReadFileBytes(path);
  RawNode n;
  ByteView v(b.data() + page, 512);
  n.page = page;
  n.attributes = v.U16LE(0);
  std::string why;
  devazoz::CdxKeyShape shape{key_length, text, false};
  EXPECT_TRUE(devazoz::DecodeCdxNode(v, shape, n.data, &why)) << why;
  return n;
}

int32_t RootOf(const std::string& path, int32_t header) {
  std::vector<uint8_t> b = qvx_test::ReadFileBytes(path);
  return ByteView(b.data(), b.size()).I32LE(size_t(header));
}

// Leaves of the tag, left to right, following the tree.
void CollectLeaves(const std::string& path, int32_t page, int key_length, std::vector<RawNode>& out,
                   int* depth = nullptr, int level = 0) {
  RawNode n = ReadRaw(path, page, key_length);
  if (n.data.leaf) {
    if (depth) *depth = level;
    out.push_back(n);
    return;
  }
  for (const auto& e : n.data.entries)
    CollectLeaves(path, e.pointer, key_length, out, depth, level + 1);
}

class CdxTree : public ::testing::Test {
 protected:
  std::string Table(const std::vector<std::string>& titles, const std::string& name = "CAT.DBF") {
    std::string path = dir_.File(name);
    qvx_test::WriteCatalogTable(path, titles);
    return path;
  }
  TempDir dir_;
};

TEST_F(CdxTree, AFieldKeyGivesWhatTheExpressionGives) {
  // Titles with a NUL inside (the text ends there), with blanks inside and at
  // the end, and empty ones: the bare field key is read from the record, the
  // other goes through the expression evaluator; both list the same keys.
  auto titles = qvx_test::RandomTitles(600, 5);
  for (size_t i = 0; i < titles.size(); i += 7)
    titles[i] = titles[i].substr(0, 5) + '\0' + "HIDDEN";
  for (size_t i = 3; i < titles.size(); i += 11) titles[i] = "";
  for (size_t i = 5; i < titles.size(); i += 13) titles[i] = "  " + titles[i].substr(0, 8) + "  ";
  std::string t = Table(titles);
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir_.File("F.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("BARE", "TITLE", false, true, ""));
  ASSERT_TRUE(cdx.AddTag("EVAL", "TITLE+''", false, true, ""));
  EXPECT_EQ(cdx.FindTag("BARE")->KeyLength(), cdx.FindTag("EVAL")->KeyLength());
  EXPECT_EQ(ListKeys(cdx.FindTag("BARE")), ListKeys(cdx.FindTag("EVAL")));
  // Kept current alike on changes and appends.
  table.index = &cdx;
  for (int32_t rec = 1; rec <= 600; rec += 9) {
    table.ReadRecord(rec);
    table.PutStrByName("TITLE",
                       rec % 2 ? std::string("NEW\0X", 5) : "Renamed " + std::to_string(rec));
    table.WriteRecord(rec);
  }
  for (int i = 0; i < 50; ++i) {
    table.BlankRecord();
    table.PutStrByName("TITLE", i % 3 ? "Added " + std::to_string(i) : std::string());
    table.AppendRecord();
  }
  KeyList bare = ListKeys(cdx.FindTag("BARE"));
  EXPECT_EQ(bare.size(), 650u);
  EXPECT_EQ(bare, ListKeys(cdx.FindTag("EVAL")));
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, BuildWalksInKeyThenRecordOrder) {
  auto titles = qvx_test::RandomTitles(3000, 7);
  for (size_t i = 0; i < 300; ++i) titles[i * 10] = titles[5];  // many equal keys
  std::string t = Table(titles);
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir_.File("X.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  const auto s = table.status;
  KeyList expected = Expected(titles);
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), expected);
  EXPECT_EQ(qvx_test::ListKeysBackwards(cdx.FindTag("TITLE")), expected);
  // The table is left one past its last record.
  EXPECT_EQ(table.RecordNumber(), 3001);
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
  // Progress: (-1,1,n), one (1,rec,0) per record, (0,0,0), (-1,2,n), (2,k,0) per key, (0,0,0).
  ASSERT_EQ(s.size(), 3000u + 3000u + 4u);
  EXPECT_EQ(s[0].what, -1);
  EXPECT_EQ(s[0].done, 1);
  EXPECT_EQ(s[0].total, 3000);
  EXPECT_EQ(s[3000].done, 3000);
  EXPECT_EQ(s[3002].what, -1);
  EXPECT_EQ(s[3002].done, 2);
  EXPECT_EQ(s[3003].what, 2);
  EXPECT_EQ(s.back().what, 0);
}

TEST_F(CdxTree, LeafEntryWidthFollowsTheRecordCount) {
  for (int count : {1000, 4096}) {
    std::string t =
        Table(qvx_test::RandomTitles(size_t(count), 3), "W" + std::to_string(count) + ".DBF");
    std::string cdx_path = dir_.File("W" + std::to_string(count) + ".CDX");
    {
      IndexedTable table(t);
      GSobjCDXFile cdx(&table, cdx_path, false, true, true, false);
      ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
      EXPECT_EQ(qvx_test::CheckText(cdx), "");
    }
    std::vector<RawNode> leaves;
    int depth = 0;
    CollectLeaves(cdx_path, RootOf(cdx_path, 1536), 40, leaves, &depth);
    ASSERT_GT(leaves.size(), 1u);
    EXPECT_GE(depth, 2);
    for (const RawNode& n : leaves) {
      EXPECT_EQ(n.data.params.bytes_per_entry, count == 1000 ? 3 : 4);
      EXPECT_EQ(n.data.params.record_bits, count == 1000 ? 12 : 20);
      EXPECT_EQ(n.data.params.dup_bits, 6);
      EXPECT_EQ(n.attributes, 2);
    }
    EXPECT_EQ(leaves.front().data.left, -1);
    EXPECT_EQ(leaves.back().data.right, -1);
  }
}

TEST_F(CdxTree, EmptyTablesAndUnmetConditionsGiveOneEmptyRootLeaf) {
  std::string t = Table({});
  IndexedTable table(t);
  std::string path = dir_.File("E.CDX");
  {
    GSobjCDXFile cdx(&table, path, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
    EXPECT_TRUE(ListKeys(cdx.FindTag("TITLE")).empty());
  }
  RawNode root = ReadRaw(path, RootOf(path, 1536), 40);
  EXPECT_EQ(root.attributes, 3);
  EXPECT_EQ(root.data.entries.size(), 0u);
  EXPECT_EQ(qvx_test::ReadFileBytes(path).size(), 1536u + 1024 + 512);

  std::string t2 = Table({"Alpha", "Beta"}, "F.DBF");
  IndexedTable table2(t2);
  std::string path2 = dir_.File("F.CDX");
  GSobjCDXFile cdx(&table2, path2, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("NONE", "TITLE", false, true, "TITLE = 'Zeta'"));
  EXPECT_TRUE(ListKeys(cdx.FindTag("NONE")).empty());
  EXPECT_EQ(ReadRaw(path2, RootOf(path2, 1536), 40).attributes, 3);
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, FewKeysFitOneRootLeaf) {
  std::string t = Table({"Delta", "Alpha", "Charlie", "Bravo"});
  IndexedTable table(t);
  std::string path = dir_.File("S.CDX");
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  RawNode root = ReadRaw(path, RootOf(path, 1536), 40);
  EXPECT_EQ(root.attributes, 3);
  EXPECT_EQ(root.data.left, -1);
  EXPECT_EQ(root.data.right, -1);
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")),
            (KeyList{{"Alpha", 2}, {"Bravo", 4}, {"Charlie", 3}, {"Delta", 1}}));
  // Header, two tag header blocks and the root leaf.
  EXPECT_EQ(qvx_test::ReadFileBytes(path).size(), 1536u + 1024 + 512);
  std::vector<uint8_t> b = qvx_test::ReadFileBytes(path);
  ByteView h(b.data() + 1536, 1024);
  EXPECT_EQ(h.U16LE(12), 40);
  EXPECT_EQ(h.U8(14), 0x60);
  EXPECT_EQ(h.U16LE(504), 6);
  EXPECT_EQ(h.U16LE(506), 1);
  EXPECT_EQ(h.U16LE(510), 6);
  EXPECT_EQ(h.Text(512, 6), std::string("TITLE\0", 6));
}

TEST_F(CdxTree, UniqueBuildKeepsTheFirstRecordOfEachKey) {
  std::vector<std::string> titles = {"Beta", "Alpha", "Beta", "Alpha", "Gamma", "Beta"};
  std::string t = Table(titles);
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir_.File("U.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", true, true, ""));
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), (KeyList{{"Alpha", 2}, {"Beta", 1}, {"Gamma", 5}}));
  // Appending a record whose key is present leaves the index unchanged.
  table.index = &cdx;
  table.BlankRecord();
  table.PutStrByName("TITLE", "Alpha");
  table.AppendRecord();
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), (KeyList{{"Alpha", 2}, {"Beta", 1}, {"Gamma", 5}}));
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, AppendsSplitLeavesAndTheRoot) {
  std::string t = Table({});
  IndexedTable table(t);
  std::string path = dir_.File("A.CDX");
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  table.index = &cdx;
  GSobjIndexTag* tag = cdx.FindTag("TITLE");
  int32_t first_root = tag->RootPointer();
  auto titles = qvx_test::RandomTitles(1500, 11);
  bool root_split_seen = false;
  for (size_t i = 0; i < titles.size(); ++i) {
    table.BlankRecord();
    table.PutStrByName("TITLE", titles[i]);
    table.AppendRecord();
    if (!root_split_seen && tag->RootPointer() != first_root) {
      root_split_seen = true;
      // The old root leaf kept its block and holds the upper keys; the new
      // block on its left holds the lower keys; the new root points at both.
      RawNode root = ReadRaw(path, tag->RootPointer(), 40);
      EXPECT_EQ(root.attributes, 1);
      ASSERT_EQ(root.data.entries.size(), 2u);
      int32_t left = root.data.entries[0].pointer, right = root.data.entries[1].pointer;
      EXPECT_EQ(right, first_root);
      EXPECT_GT(left, first_root);
      RawNode l = ReadRaw(path, left, 40), r = ReadRaw(path, right, 40);
      EXPECT_EQ(l.attributes, 2);
      EXPECT_EQ(r.attributes, 2);
      EXPECT_EQ(l.data.right, right);
      EXPECT_EQ(r.data.left, left);
      EXPECT_EQ(l.data.left, -1);
      EXPECT_EQ(r.data.right, -1);
      // The left part is what stays below 250 bytes.
      EXPECT_LT(488 - l.data.params.free_bytes, 250);
      // Every root entry is its child's highest key.
      const auto& le = l.data.entries.back();
      EXPECT_EQ(root.data.entries[0].record, le.record);
      std::vector<uint8_t> b = qvx_test::ReadFileBytes(path);
      EXPECT_EQ(ByteView(b.data(), b.size()).I32LE(1536), tag->RootPointer());
    }
  }
  EXPECT_TRUE(root_split_seen);
  EXPECT_EQ(ListKeys(tag), Expected(titles));
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, FullInteriorNodeSplitsFourteenAndFourteen) {
  // Key length 10: interior nodes hold 27 entries.
  qvx_test::DbfFixture f(0x03, {{"CODE", 'C', 10}});
  std::string t = dir_.File("C.DBF");
  f.Write(t);
  IndexedTable table(t);
  std::string path = dir_.File("C.CDX");
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("CODE", "CODE", false, true, ""));
  ASSERT_EQ(cdx.FindTag("CODE")->MaxInteriorKeys(), 27);
  table.index = &cdx;
  GSobjIndexTag* tag = cdx.FindTag("CODE");
  bool seen = false;
  std::vector<std::string> codes;
  uint32_t x = 99;
  for (int i = 0; i < 6000 && !seen; ++i) {
    x = x * 1103515245u + 12345u;
    char code[16];
    std::snprintf(code, sizeof code, "%010u", x % 1000000000u);
    codes.push_back(code);
    int32_t before = tag->RootPointer();
    table.BlankRecord();
    table.PutStrByName("CODE", code);
    table.AppendRecord();
    if (tag->RootPointer() == before) continue;
    RawNode root = ReadRaw(path, tag->RootPointer(), 10);
    RawNode child = ReadRaw(path, root.data.entries[0].pointer, 10);
    if (child.data.leaf) continue;
    // The first interior split: the old root (27 entries + 1) became 14 + 14.
    seen = true;
    ASSERT_EQ(root.data.entries.size(), 2u);
    RawNode right = ReadRaw(path, root.data.entries[1].pointer, 10);
    EXPECT_EQ(child.data.entries.size(), 14u);
    EXPECT_EQ(right.data.entries.size(), 14u);
    EXPECT_EQ(child.attributes, 0);
    EXPECT_EQ(child.data.right, root.data.entries[1].pointer);
  }
  EXPECT_TRUE(seen);
  KeyList expected;
  for (size_t i = 0; i < codes.size(); ++i) expected.push_back({codes[i], int32_t(i + 1)});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ListKeys(tag), expected);
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, ChangedRecordsMoveTheirKeys) {
  auto titles = qvx_test::RandomTitles(800, 5);
  std::string t = Table(titles);
  std::string path = dir_.File("K.CDX");
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  ASSERT_TRUE(cdx.AddTag("SOME", "TITLE", false, true, "CATEGORY = 'Action'"));
  table.index = &cdx;
  // Same key: nothing is written.
  std::vector<uint8_t> before = qvx_test::ReadFileBytes(path);
  table.ReadRecord(17);
  table.PutStrByName("PRICE", "1");
  table.WriteRecord(17);
  EXPECT_EQ(qvx_test::ReadFileBytes(path), before);
  // A new key replaces the old one.
  table.ReadRecord(17);
  table.PutStrByName("TITLE", "AAAA first of all");
  table.WriteRecord(17);
  titles[16] = "AAAA first of all";
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), Expected(titles));
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")).front(),
            (std::pair<std::string, int32_t>{"AAAA first of all", 17}));
  // Leaving the FOR condition only deletes; entering it inserts.
  table.ReadRecord(1);  // category Action
  KeyList some = ListKeys(cdx.FindTag("SOME"));
  table.PutStrByName("CATEGORY", "Puzzle");
  table.WriteRecord(1);
  KeyList after = ListKeys(cdx.FindTag("SOME"));
  EXPECT_EQ(after.size() + 1, some.size());
  table.ReadRecord(2);  // Puzzle
  table.PutStrByName("CATEGORY", "Action");
  table.WriteRecord(2);
  EXPECT_EQ(ListKeys(cdx.FindTag("SOME")).size(), some.size());
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
  // Many changes keep everything consistent.
  for (int i = 0; i < 400; ++i) {
    int32_t rec = 1 + (i * 37) % 800;
    table.ReadRecord(rec);
    titles[size_t(rec - 1)] = titles[size_t((i * 11) % 800)] + "x";
    table.PutStrByName("TITLE", titles[size_t(rec - 1)]);
    table.WriteRecord(rec);
  }
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), Expected(titles));
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, DeletingTheOnlyKeyOfALeafDropsItFromItsParent) {
  auto titles = qvx_test::RandomTitles(100, 21);
  std::string t = Table(titles);
  std::string path = dir_.File("D.CDX");
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("SOME", "TITLE", false, true, "CATEGORY # 'Gone'"));
  table.index = &cdx;
  GSobjIndexTag* tag = cdx.FindTag("SOME");
  std::vector<RawNode> leaves;
  CollectLeaves(path, tag->RootPointer(), 40, leaves);
  ASSERT_GT(leaves.size(), 3u);
  ASSERT_LE(leaves.size(), 10u);  // all below the root
  size_t victims = leaves[1].data.entries.size();
  RawNode root_before = ReadRaw(path, tag->RootPointer(), 40);
  int32_t leaf_page = root_before.data.entries[1].pointer;
  // Every record of the second leaf leaves the FOR condition.
  std::vector<int32_t> records;
  for (const auto& e : leaves[1].data.entries) records.push_back(e.record);
  for (int32_t rec : records) {
    table.ReadRecord(rec);
    table.PutStrByName("CATEGORY", "Gone");
    table.WriteRecord(rec);
  }
  // Key changes of an exclusively opened file are held until a flush.
  ASSERT_TRUE(cdx.Disk()->WritePending());
  RawNode root_after = ReadRaw(path, tag->RootPointer(), 40);
  EXPECT_EQ(root_after.data.entries.size() + 1, root_before.data.entries.size());
  EXPECT_EQ(root_after.data.entries[0].pointer, root_before.data.entries[0].pointer);
  EXPECT_EQ(root_after.data.entries[1].pointer, root_before.data.entries[2].pointer);
  RawNode emptied = ReadRaw(path, leaf_page, 40);
  EXPECT_EQ(emptied.data.entries.size(), 0u);
  EXPECT_NE(emptied.data.left, -1);
  EXPECT_NE(emptied.data.right, -1);
  EXPECT_EQ(ListKeys(tag).size(), 100u - victims);
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, DescendingTagsRunFromTheHighestKey) {
  std::string t = Table({"Bravo", "Delta", "Alpha", "Charlie"});
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir_.File("DS.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("DOWN", "TITLE", false, false, ""));
  GSobjIndexTag* tag = cdx.FindTag("DOWN");
  EXPECT_TRUE(tag->Descending());
  EXPECT_EQ(ListKeys(tag), (KeyList{{"Delta", 2}, {"Charlie", 4}, {"Bravo", 1}, {"Alpha", 3}}));
  tag->LoadTree(0);
  EXPECT_EQ(tag->Navigate(devazoz::kNavFirst), 2);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 4);
  EXPECT_EQ(tag->Navigate(devazoz::kNavLast), 3);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 0);
  EXPECT_TRUE(tag->Eof());
  EXPECT_EQ(tag->Navigate(devazoz::kNavFirst), 2);
  EXPECT_EQ(tag->Navigate(devazoz::kNavPrior), 0);
  EXPECT_TRUE(tag->Bof());
  tag->ReleaseTree();
  // The order byte is stored and read back.
  GSobjCDXFile again(&table, dir_.File("DS.CDX"), false, false, false, false);
  EXPECT_TRUE(again.FindTag("DOWN")->Descending());
  EXPECT_EQ(ListKeys(again.FindTag("DOWN")).front().first, "Delta");
}

TEST_F(CdxTree, RangesAndPrefixSearches) {
  std::string t = Table({"Apple", "Banana", "Berry", "Cherry", "Date", "Dune", "Elder"});
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir_.File("R.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  GSobjIndexTag* tag = cdx.FindTag("TITLE");
  tag->LoadTree(0);
  // A prefix finds the first key that begins with it, unless exact is on.
  EXPECT_EQ(tag->Find(TextKey("Be")), 3);
  table.exact_comparison = true;
  EXPECT_EQ(tag->Find(TextKey("Be")), 0);
  EXPECT_EQ(tag->Find(TextKey("Berry")), 3);
  table.exact_comparison = false;
  EXPECT_EQ(tag->Find(TextKey("Zebra")), 0);
  EXPECT_TRUE(tag->Eof());
  EXPECT_FALSE(tag->Bof());
  // As after LoadTree(0): the current key is the first one, the path at the end.
  EXPECT_EQ(tag->CurrentKey().RecordNumber, 1);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 0);
  EXPECT_EQ(tag->Navigate(devazoz::kNavPrior), 7);
  // Lookup leaves the position alone.
  EXPECT_EQ(tag->Find(TextKey("Date")), 5);
  EXPECT_EQ(tag->Lookup(TextKey("Elder")), 7);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 6);
  // [B, D], both flags set as the handler sets them.
  TextKey low("B"), high("D");
  EXPECT_EQ(tag->SetRange(&low, true, true, &high), 2);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 3);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 4);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 5);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 6);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 0);
  EXPECT_TRUE(tag->Eof());
  EXPECT_EQ(tag->Navigate(devazoz::kNavLast), 6);
  EXPECT_EQ(tag->Find(TextKey("Apple")), 0);
  EXPECT_EQ(tag->Find(TextKey("Cherry")), 4);
  tag->SetRange(nullptr, false, false, nullptr);
  EXPECT_EQ(tag->Navigate(devazoz::kNavFirst), 1);
  tag->ReleaseTree();
}

TEST_F(CdxTree, NumericAndDateKeys) {
  std::vector<std::string> titles(300, "x");
  std::string t = Table(titles);
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir_.File("N.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("PRICE", "PRICE", false, false, ""));
  ASSERT_TRUE(cdx.AddTag("RELEASED", "RELEASED", false, true, ""));
  GSobjIndexTag* price = cdx.FindTag("PRICE");
  EXPECT_EQ(price->KeyType(), 'N');
  EXPECT_EQ(price->KeyLength(), 8);
  EXPECT_EQ(cdx.FindTag("RELEASED")->KeyType(), 'D');
  // Prices rise with the record number (-98.5 .. 350): descending runs 300..1.
  KeyList keys = ListKeys(price);
  ASSERT_EQ(keys.size(), 300u);
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i].second, int32_t(300 - i));
  KeyList dates = ListKeys(cdx.FindTag("RELEASED"));
  for (size_t i = 1; i < dates.size(); ++i) EXPECT_LE(dates[i - 1].first, dates[i].first);
  price->LoadTree(0);
  devazoz::GSobjIndexKeyData k;
  k.Value.SetNumber(-1.0);  // record 66: 66 * 1.5 - 100
  k.RecordNumber = -1;
  EXPECT_EQ(price->Find(k), 66);
  k.Value.SetNumber(0.5);  // record 67
  EXPECT_EQ(price->Find(k), 67);
  price->ReleaseTree();
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, TagsAreReplacedDeletedAndMarkTheProductionIndex) {
  std::string t = Table({"One", "Two", "Three"}, "PROD.DBF");
  std::string path = dir_.File("PROD.CDX");
  {
    IndexedTable table(t);
    EXPECT_FALSE(table.has_production_index);
    GSobjCDXFile cdx(&table, path, false, true, true, false);
    EXPECT_TRUE(table.has_production_index);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
    ASSERT_TRUE(cdx.AddTag("CATEGORY", "CATEGORY", false, true, ""));
    int64_t size = int64_t(qvx_test::ReadFileBytes(path).size());
    // The same name again replaces the tag; its old blocks stay behind.
    ASSERT_TRUE(cdx.AddTag("title", "CATEGORY+TITLE", false, true, ""));
    EXPECT_EQ(cdx.TagCount(), 2);
    EXPECT_EQ(cdx.FindTag("TITLE")->KeyExpression(), "CATEGORY+TITLE");
    EXPECT_GT(int64_t(qvx_test::ReadFileBytes(path).size()), size);
    // A shorter name is another tag, not a replacement.
    ASSERT_TRUE(cdx.AddTag("CAT", "TITLE", false, true, ""));
    EXPECT_EQ(cdx.TagCount(), 3);
    EXPECT_EQ(qvx_test::CheckText(cdx), "");
  }
  std::vector<uint8_t> h = qvx_test::ReadFileBytes(t);
  EXPECT_EQ(h[28] & 1, 1);
  {
    IndexedTable table(t);
    GSobjCDXFile cdx(&table, path, false, false, true, false);
    ASSERT_EQ(cdx.TagCount(), 3);
    EXPECT_EQ(cdx.TagAt(0)->TagName(), "CAT");
    EXPECT_EQ(cdx.TagAt(1)->TagName(), "CATEGORY");
    EXPECT_EQ(cdx.TagAt(2)->TagName(), "TITLE");
    EXPECT_FALSE(cdx.DeleteTag("NOPE"));
    EXPECT_TRUE(cdx.DeleteTag("CATEGORY"));
    EXPECT_TRUE(cdx.DeleteTag("CAT"));
    EXPECT_EQ(cdx.TagCount(), 1);
    EXPECT_EQ(qvx_test::CheckText(cdx), "");
    EXPECT_TRUE(cdx.DeleteTag("TITLE"));
    EXPECT_EQ(cdx.TagCount(), 0);
  }
  EXPECT_EQ(qvx_test::ReadFileBytes(path).size(), 1536u);
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, false, true, false);
  EXPECT_EQ(cdx.TagCount(), 0);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")).size(), 3u);
}

TEST_F(CdxTree, RebuildAllRewritesEveryTagCompactly) {
  auto titles = qvx_test::RandomTitles(500, 9);
  std::string t = Table(titles);
  std::string path = dir_.File("RB.CDX");
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  ASSERT_TRUE(cdx.AddTag("PRICE", "PRICE", false, true, "PRICE > 0"));
  table.index = &cdx;
  for (int i = 0; i < 200; ++i) {
    table.ReadRecord(1 + i);
    table.PutStrByName("TITLE", "Changed " + std::to_string(i));
    titles[size_t(i)] = "Changed " + std::to_string(i);
    table.WriteRecord(1 + i);
  }
  size_t grown = qvx_test::ReadFileBytes(path).size();
  cdx.RebuildAll();
  EXPECT_LT(qvx_test::ReadFileBytes(path).size(), grown);
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), Expected(titles));
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

// A build packs every leaf but the last until the next key no longer fits; a
// rebuild reads the table once for all tags and gives each the keys a build of
// that tag alone gives.
TEST_F(CdxTree, BuildsPackLeavesFullAndRebuildsKeepEveryTag) {
  auto titles = qvx_test::RandomTitles(3000, 21, 12);
  std::string t = Table(titles);
  std::string path = dir_.File("FULL.CDX");
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  ASSERT_TRUE(cdx.AddTag("CATEGORY", "CATEGORY", false, true, ""));
  ASSERT_TRUE(cdx.AddTag("PRICE", "PRICE", false, true, "PRICE > 0"));
  ASSERT_TRUE(cdx.AddTag("UPTITLE", "UPPER(TITLE)", true, true, ""));
  KeyList title = ListKeys(cdx.FindTag("TITLE")), category = ListKeys(cdx.FindTag("CATEGORY"));
  KeyList price = ListKeys(cdx.FindTag("PRICE")), upper = ListKeys(cdx.FindTag("UPTITLE"));
  EXPECT_EQ(title, Expected(titles));
  cdx.RebuildAll();
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), title);
  EXPECT_EQ(ListKeys(cdx.FindTag("CATEGORY")), category);
  EXPECT_EQ(ListKeys(cdx.FindTag("PRICE")), price);
  EXPECT_EQ(ListKeys(cdx.FindTag("UPTITLE")), upper);
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
  for (const char* name : {"TITLE", "CATEGORY"}) {
    SCOPED_TRACE(name);
    GSobjIndexTag* tag = cdx.FindTag(name);
    std::vector<RawNode> leaves;
    CollectLeaves(path, RootOf(path, tag->HeaderPosition()), tag->KeyLength(), leaves);
    ASSERT_GT(leaves.size(), 2u);
    for (size_t i = 0; i + 1 < leaves.size(); ++i) {
      const devazoz::NodeData& a = leaves[i].data;
      const devazoz::NodeData& b = leaves[i + 1].data;
      const devazoz::NodeEntry& last = a.entries.back();
      const devazoz::NodeEntry& next = b.entries.front();
      std::string x(reinterpret_cast<const char*>(a.pool.data()) + last.offset, last.length);
      std::string y(reinterpret_cast<const char*>(b.pool.data()) + next.offset, next.length);
      size_t dup = 0;
      while (dup < x.size() && dup < y.size() && x[dup] == y[dup]) ++dup;
      int cost = int(y.size() - dup) + a.params.bytes_per_entry;
      EXPECT_LT(a.params.free_bytes, cost) << "leaf " << i << " had room for the next key";
    }
  }
}

// Inserts into the full leaves of a build: an overflowing leaf shares its keys
// with a neighbour (two leaves into three), and keys added at the end of a run
// of equal keys leave full leaves behind, so the leaves stay well filled
// instead of each first insert splitting a full leaf into two half-full ones.
// The tree stays whole: keys in order, sibling links matching the tree, every
// parent key its child's highest, and the same after reopening.
TEST_F(CdxTree, InsertsIntoFullLeavesSpreadOverNeighbours) {
  auto titles = qvx_test::RandomTitles(4000, 41);
  std::string t = Table(titles);
  std::string path = dir_.File("GROW.CDX");
  auto leaves_of = [&](GSobjIndexTag* tag) {
    std::vector<RawNode> leaves;
    CollectLeaves(path, RootOf(path, tag->HeaderPosition()), tag->KeyLength(), leaves);
    return leaves;
  };
  size_t built_title = 0, built_category = 0;
  {
    IndexedTable table(t);
    GSobjCDXFile cdx(&table, path, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
    ASSERT_TRUE(cdx.AddTag("CATEGORY", "CATEGORY", false, true, ""));
    built_title = leaves_of(cdx.FindTag("TITLE")).size();
    built_category = leaves_of(cdx.FindTag("CATEGORY")).size();
    table.index = &cdx;
    // A fifth more titles at random places; every category gets a run of new
    // records at the end of its equal keys.
    auto more = qvx_test::RandomTitles(800, 43);
    const char* cats[] = {"Action", "Puzzle", "Racing", "Sports", "Shooter"};
    for (size_t i = 0; i < more.size(); ++i) {
      table.BlankRecord();
      table.PutStrByName("TITLE", more[i]);
      table.PutStrByName("CATEGORY", cats[i % 5]);
      table.AppendRecord();
      titles.push_back(more[i]);
    }
    EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), Expected(titles));
    EXPECT_EQ(qvx_test::CheckText(cdx), "");
  }
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, true, true, false);
  EXPECT_EQ(ListKeys(cdx.FindTag("TITLE")), Expected(titles));
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
  for (const char* name : {"TITLE", "CATEGORY"}) {
    SCOPED_TRACE(name);
    GSobjIndexTag* tag = cdx.FindTag(name);
    auto leaves = leaves_of(tag);
    size_t built = std::string(name) == "TITLE" ? built_title : built_category;
    // 20 % more keys: split in halves the leaves would nearly double.
    EXPECT_LE(leaves.size(), built * 3 / 2) << "built " << built;
    int used = 0;
    for (size_t i = 0; i < leaves.size(); ++i) {
      const devazoz::NodeData& d = leaves[i].data;
      used += 488 - d.params.free_bytes;
      EXPECT_EQ(d.left, i ? leaves[i - 1].page : -1) << "leaf " << i;
      EXPECT_EQ(d.right, i + 1 < leaves.size() ? leaves[i + 1].page : -1) << "leaf " << i;
    }
    EXPECT_GT(double(used) / (488.0 * double(leaves.size())), 0.75);
  }
}

// A CDX grown by inserts that spread over neighbouring leaves reads back in the
// same order with an independent reader (Perl's XBase::Index).
TEST_F(CdxTree, GrownFileReadsBackWithAnIndependentReader) {
  auto titles = qvx_test::RandomTitles(3000, 51);
  std::string t = Table(titles);
  std::string path = dir_.File("PERL.CDX");
  {
    IndexedTable table(t);
    GSobjCDXFile cdx(&table, path, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
    table.index = &cdx;
    for (const std::string& title : qvx_test::RandomTitles(900, 53)) {
      table.BlankRecord();
      table.PutStrByName("TITLE", title);
      table.AppendRecord();
      titles.push_back(title);
    }
  }
  std::string script =
      "use XBase::Index; my $i = XBase::Index->new(shift, type => 'cdx', tag => 'TITLE') or die "
      "XBase::Index->errstr; $i->prepare_select; while (my @d = $i->fetch) { $d[0] =~ s/ +$//; "
      "print \"$d[0]\\t$d[1]\\n\"; }";
  std::string out, err;
  ASSERT_EQ(qvx_test::RunCommand("perl -e '" + script + "' '" + path + "'", &out, &err), 0) << err;
  std::string expected;
  for (const auto& [key, record] : Expected(titles))
    expected += key + "\t" + std::to_string(record) + "\n";
  EXPECT_EQ(out, expected);
}

TEST_F(CdxTree, KeyLengthLimits) {
  qvx_test::DbfFixture f(0x03, {{"LONG", 'C', 240}, {"LESS", 'C', 239}});
  f.AddRecord({"b", "b"}).AddRecord({"a", "a"});
  std::string t = dir_.File("L.DBF");
  f.Write(t);
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir_.File("L.CDX"), false, true, true, false);
  size_t empty = qvx_test::ReadFileBytes(dir_.File("L.CDX")).size();
  EXPECT_TRUE(cdx.AddTag("LESS", "LESS", false, true, ""));
  size_t one_tag = qvx_test::ReadFileBytes(dir_.File("L.CDX")).size() - empty;
  EXPECT_EQ(ListKeys(cdx.FindTag("LESS")), (KeyList{{"a", 2}, {"b", 1}}));
  try {
    cdx.AddTag("LONG", "LONG", false, true, "");
    FAIL() << "a key of 240 bytes was built";
  } catch (const devazoz::EDevazozError& e) {
    EXPECT_STREQ(e.what(), "Sort key length greater than 240 bytes");
  }
  EXPECT_EQ(cdx.TagCount(), 1);
  // Nothing of the refused tags stays in the file (the 240-byte tag's zeroed
  // header block is given back and reused).
  size_t size = empty + one_tag;
  EXPECT_FALSE(cdx.AddTag("BAD", "", false, true, ""));
  EXPECT_THROW(cdx.AddTag("BAD", "NOFIELD", false, true, ""), devazoz::EDevazozExpression);
  ASSERT_TRUE(cdx.AddTag("LESS2", "LESS", false, true, ""));
  EXPECT_EQ(qvx_test::ReadFileBytes(dir_.File("L.CDX")).size(), size + one_tag);
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
}

TEST_F(CdxTree, SharedFilesSeeOtherWritersAndLockWithRetries) {
  std::string t = Table({"Alpha", "Beta"});
  std::string path = dir_.File("SH.CDX");
  {
    IndexedTable table(t);
    GSobjCDXFile cdx(&table, path, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  }
  IndexedTable table(t, true);
  GSobjCDXFile a(&table, path, false, false, true, true);
  GSobjCDXFile b(&table, path, false, false, true, true);
  EXPECT_FALSE(a.ChangedByOther());
  table.index = &a;
  table.BlankRecord();
  table.PutStrByName("TITLE", "Gamma");
  table.AppendRecord();
  EXPECT_FALSE(a.ChangedByOther());
  EXPECT_TRUE(b.ChangedByOther());
  EXPECT_EQ(ListKeys(b.FindTag("TITLE")).size(), 3u);
  // A held index lock makes the other object retry, then give up.
  ASSERT_TRUE(a.LockIndexFile());
  devazoz::Settings().lock_wait_time = 100;
  try {
    b.LockIndexFile();
    ADD_FAILURE() << "the lock was granted twice";
  } catch (const devazoz::EDevazozError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error 33 in Lock of ", 0), 0u) << e.what();
  }
  devazoz::Settings().lock_wait_time = 5000;
  a.UnlockIndexFile();
  EXPECT_TRUE(b.LockIndexFile());
  b.UnlockIndexFile();
}

TEST_F(CdxTree, GeneralCollationTagsStoreWeights) {
  std::vector<std::string> titles = {"banana",
                                     "Apple",
                                     "cherry",
                                     "apple",
                                     "\xE9"
                                     "clair",
                                     "eclair"};
  std::string t = Table(titles);
  std::string path = dir_.File("G.CDX");
  {
    IndexedTable table(t);
    GSobjCDXFile cdx(&table, path, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  }
  // Turn the tag into a general-collation tag (as another program writes it)
  // and rebuild it: keys become weights of twice the length.
  std::vector<uint8_t> b = qvx_test::ReadFileBytes(path);
  devazoz::ByteSpan h(b.data() + 1536, 1024);
  h.PutU16LE(12, 80);
  h.PutBytes(494, "GENERAL", 8);
  h.PutU8(15, 2);
  qvx_test::WriteFileBytes(path, b);
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, false, true, false);
  ASSERT_TRUE(cdx.Valid()) << cdx.ErrorText();
  cdx.RebuildAll();
  GSobjIndexTag* tag = cdx.FindTag("TITLE");
  EXPECT_EQ(tag->KeyLength(), 80);
  KeyList keys = ListKeys(tag);
  std::vector<int32_t> order;
  for (const auto& k : keys) order.push_back(k.second);
  // Case does not count; the accent sorts after the plain letter.
  EXPECT_EQ(order, (std::vector<int32_t>{2, 4, 1, 3, 6, 5}));
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
  // Seeking translates the search key the same way.
  tag->LoadTree(0);
  EXPECT_EQ(tag->Find(TextKey("APPLE")), 2);
  EXPECT_EQ(tag->Find(TextKey("\xE9"
                              "clair")),
            5);
  tag->ReleaseTree();
  // Appends keep the weights in order too.
  table.index = &cdx;
  table.BlankRecord();
  table.PutStrByName("TITLE", "BANANA");
  table.AppendRecord();
  keys = ListKeys(tag);
  EXPECT_EQ(keys[3].second, 7);
  EXPECT_EQ(qvx_test::CheckText(cdx), "");
  std::vector<uint8_t> after = qvx_test::ReadFileBytes(path);
  EXPECT_EQ(devazoz::ByteView(after.data(), after.size()).Text(1536 + 494, 7), "GENERAL");
}

}  // namespace

// What Find gives for a key, worked out from the ordered list of a tag's keys:
// the first entry the key (normalized, with its record: -1 any) does not come after; a text
// key that is a proper prefix of an entry's compares as mode (0 equal, -1 less).
struct Expectation {
  int32_t found = 0;  // Find's result
  bool positioned = false;
  std::pair<std::string, int32_t> at;  // the entry the tag then stands on
};

Expectation ExpectedFind(const KeyList& keys, std::string s, int32_t record, int mode) {
  // The key as the tag normalizes it: at most the key length, no trailing blanks.
  s = s.substr(0, 40);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  auto compare = [&](const std::string& k, int32_t rec) {
    int r;
    if (s.empty() || k.empty()) {
      r = s.size() == k.size() ? 0 : (s.empty() ? -1 : 1);
    } else {
      size_t n = std::min(s.size(), k.size());
      int c = std::memcmp(s.data(), k.data(), n);
      if (c != 0)
        r = c < 0 ? -1 : 1;
      else if (s.size() == k.size())
        r = 0;
      else
        r = s.size() < k.size() ? mode : 1;
    }
    if (r == 0 && record != -1) r = rec < record ? 1 : (rec > record ? -1 : 0);
    return r;
  };
  Expectation e;
  for (const auto& k : keys) {
    int r = compare(k.first, k.second);
    if (r <= 0) {
      e.positioned = true;
      e.at = k;
      e.found = r == 0 ? k.second : 0;
      return e;
    }
  }
  return e;
}

TEST_F(CdxTree, SeeksThroughUnreadLeavesAgreeWithTheOrderedKeys) {
  // Many keys sharing long beginnings, repeated keys, keys with bytes below
  // the blank and empty keys: the leaves a seek passes through are searched
  // on their blocks (undecoded) when the file is opened again.
  auto titles = qvx_test::RandomTitles(4000, 11);
  for (size_t i = 0; i < titles.size(); i += 3) titles[i] = "SHARED BEGINNING " + titles[i];
  for (size_t i = 1; i < titles.size(); i += 17) titles[i] = titles[i / 2];
  for (size_t i = 2; i < titles.size(); i += 29) titles[i] = titles[i].substr(0, 6) + "\x01Z";
  for (size_t i = 4; i < titles.size(); i += 97) titles[i] = "";
  std::string t = Table(titles);
  std::string path = dir_.File("S.CDX");
  {
    IndexedTable table(t);
    GSobjCDXFile cdx(&table, path, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  }
  IndexedTable table(t);
  GSobjCDXFile cdx(&table, path, false, false, true, false);
  GSobjIndexTag* tag = cdx.FindTag("TITLE");
  ASSERT_NE(tag, nullptr);
  const KeyList keys = Expected(titles);
  std::vector<std::pair<std::string, int32_t>> probes;
  for (size_t i = 0; i < keys.size(); i += 5) {
    const std::string& k = keys[i].first;
    probes.push_back({k, -1});
    probes.push_back({k, keys[i].second});
    probes.push_back({k, keys[i].second + 1});
    probes.push_back({k.substr(0, k.size() / 2), -1});
    probes.push_back({k + "\x01", -1});
    if (!k.empty()) probes.push_back({k.substr(0, k.size() - 1) + char(k.back() + 1), -1});
  }
  probes.push_back({"", -1});
  probes.push_back({"\xFF", -1});
  for (bool exact : {false, true}) {
    table.exact_comparison = exact;
    for (const auto& [text, record] : probes) {
      // A record number orders equal keys; a prefix counting as equal would
      // make that order no order at all.
      if (record != -1 && !exact) continue;
      Expectation want = ExpectedFind(keys, text, record, exact ? -1 : 0);
      int32_t got = tag->Find(TextKey(text, record));
      ASSERT_EQ(got, want.found) << "'" << text << "' record " << record << " exact " << exact;
      if (want.positioned) {
        ASSERT_FALSE(tag->Eof()) << "'" << text << "'";
        EXPECT_EQ(tag->CurrentKey().Value.AsText(), want.at.first) << "'" << text << "'";
        EXPECT_EQ(tag->CurrentKey().RecordNumber, want.at.second) << "'" << text << "'";
      } else {
        EXPECT_TRUE(tag->Eof()) << "'" << text << "'";
      }
    }
  }
  // A walk from a key found goes on from there.
  table.exact_comparison = false;
  ASSERT_NE(tag->Find(TextKey(keys[1000].first, keys[1000].second)), 0);
  for (size_t i = 1001; i < 1100; ++i) {
    ASSERT_EQ(tag->Navigate(devazoz::kNavNext), keys[i].second);
    EXPECT_EQ(tag->CurrentKey().Value.AsText(), keys[i].first);
  }
}
