// NDX index files: layout, key forms (empty dates last), trees of several
// levels, updates and deletions against a model, and the same keys as an NTX
// built for the same table.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using devazoz::ByteView;
using devazoz::GSobjNDXFile;
using qvx_test::KeyList;
using qvx_test::ListKeys;
using qvx_test::ListKeysBackwards;
using qvx_test::ReadFileBytes;
using qvx_test::TempDir;
using qvx_test::TextKey;

KeyList Expected(const std::vector<std::string>& titles) {
  KeyList out;
  for (size_t i = 0; i < titles.size(); ++i) out.push_back({titles[i], int32_t(i + 1)});
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}

KeyList Sorted(KeyList keys) {
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_LE(keys[i - 1].first, keys[i].first) << i;
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::string Problems(GSobjNDXFile& file) {
  std::string s;
  for (const std::string& p : devazoz::CheckNdxFile(file)) s += p + "\n";
  return s;
}

class Ndx : public ::testing::Test {
 protected:
  std::string Table(const std::vector<std::string>& titles) {
    std::string path = dir_.File("T.DBF");
    qvx_test::WriteCatalogTable(path, titles);
    return path;
  }
  TempDir dir_;
};

TEST_F(Ndx, NewFileOverAnEmptyTableAndItsHeader) {
  std::string t = Table({});
  devazoz::GSO_dBaseFld table(t, false, true);
  {
    GSobjNDXFile ndx(&table, dir_.File("E.NDX"), false, true, true, false);
    ASSERT_TRUE(ndx.AddTag("E", "LEFT(TITLE,10)", true, true, ""));
    EXPECT_THROW(ndx.AddTag("E", "TITLE", false, true, "TITLE = 'A'"), devazoz::EDevazozError);
    EXPECT_THROW(ndx.AddTag("E", "TITLE", false, false, ""), devazoz::EDevazozError);
  }
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("E.NDX"));
  ASSERT_EQ(b.size(), 1024u);
  ByteView v(b.data(), b.size());
  EXPECT_EQ(v.I32LE(0), 1);
  EXPECT_EQ(v.I32LE(4), 2);
  EXPECT_EQ(v.U16LE(12), 10);
  EXPECT_EQ(v.U16LE(14), 25);
  EXPECT_EQ(v.U16LE(16), 0);
  EXPECT_EQ(v.U16LE(18), 20);
  EXPECT_EQ(v.U8(23), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[24])), "LEFT(TITLE,10)");
  for (size_t i = 512; i < 1024; ++i) ASSERT_EQ(b[i], 0) << i;
  GSobjNDXFile again(&table, dir_.File("E.NDX"), false, false, true, false);
  ASSERT_TRUE(again.Valid()) << again.ErrorText();
  EXPECT_TRUE(again.Tag()->Unique());
  EXPECT_TRUE(ListKeys(again.Tag()).empty());
}

TEST_F(Ndx, NumericAndDateKeysWithEmptyDatesLast) {
  qvx_test::DbfFixture f(0x03, {{"PRICE", 'N', 8, 2}, {"DAY", 'D', 8}});
  f.AddRecord({"   12.50", ""})
      .AddRecord({"   -3.00", "19991231"})
      .AddRecord({"    0.00", "20240131"});
  f.AddRecord({" -120.25", ""}).AddRecord({"    7.00", "19800101"});
  std::string t = dir_.File("N.DBF");
  f.Write(t);
  devazoz::GSO_dBaseFld table(t, false, true);
  GSobjNDXFile price(&table, dir_.File("P.NDX"), false, true, true, false);
  ASSERT_TRUE(price.AddTag("P", "PRICE", false, true, ""));
  EXPECT_EQ(price.Tag()->KeyType(), 'N');
  EXPECT_EQ(price.Tag()->EntrySize(), 20);
  EXPECT_EQ(price.Tag()->MaxInteriorKeys(), 25);
  std::vector<int32_t> records;
  for (const auto& k : ListKeys(price.Tag())) records.push_back(k.second);
  EXPECT_EQ(records, (std::vector<int32_t>{4, 2, 3, 5, 1}));
  EXPECT_EQ(price.Tag()->Find(TextKey("7")), 5);
  EXPECT_THROW(price.Tag()->Find(TextKey("seven")), devazoz::EDevazozError);
  price.Tag()->ReleaseTree();
  GSobjNDXFile day(&table, dir_.File("D.NDX"), false, true, true, false);
  ASSERT_TRUE(day.AddTag("D", "DAY", false, true, ""));
  EXPECT_EQ(day.Tag()->KeyType(), 'D');
  EXPECT_EQ(day.Tag()->EntrySize(), 16);
  EXPECT_EQ(day.Tag()->MaxInteriorKeys(), 31);
  records.clear();
  for (const auto& k : ListKeys(day.Tag())) records.push_back(k.second);
  EXPECT_EQ(records, (std::vector<int32_t>{5, 2, 3, 1, 4}));
  EXPECT_EQ(Problems(price), "");
  EXPECT_EQ(Problems(day), "");
  // Stored as doubles: the empty date as 1.0E100.
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("D.NDX"));
  ByteView leaf(b.data() + 512, 512);
  EXPECT_EQ(leaf.U32LE(0), 5u);
  EXPECT_EQ(leaf.F64LE(4 + 4 * 16 + 8), 1.0E100);
  EXPECT_EQ(ByteView(b.data(), 512).U16LE(12), 8);
  EXPECT_EQ(ByteView(b.data(), 512).U16LE(16), 1);
}

TEST_F(Ndx, SameKeysAsAnNtxForTheSameTable) {
  std::vector<std::string> titles = qvx_test::RandomTitles(5000, 4, 40);
  for (size_t i = 0; i < titles.size(); i += 9) titles[i] = "TWIN";
  std::string t = Table(titles);
  devazoz::GSO_dBaseFld table(t, false, true);
  GSobjNDXFile ndx(&table, dir_.File("S.NDX"), false, true, true, false);
  ASSERT_TRUE(ndx.AddTag("S", "TITLE", false, true, ""));
  devazoz::GSobjNTXFile ntx(&table, dir_.File("S.NTX"), false, true, true, false);
  ASSERT_TRUE(ntx.AddTag("S", "TITLE", false, true, ""));
  KeyList want = Expected(titles);
  EXPECT_EQ(ListKeys(ndx.Tag()), want);
  EXPECT_EQ(ListKeysBackwards(ndx.Tag()), want);
  EXPECT_EQ(ListKeys(ntx.Tag()), want);
  EXPECT_EQ(Problems(ndx), "");
  table.exact_comparison = false;
  for (size_t i = 0; i < want.size(); i += 41) {
    auto first = std::find_if(want.begin(), want.end(),
                              [&](const auto& k) { return k.first == want[i].first; });
    EXPECT_EQ(ndx.Tag()->Find(TextKey(want[i].first)), first->second);
  }
  ndx.Tag()->ReleaseTree();
  // Header: root and next free block inside the file.
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("S.NDX"));
  ByteView h(b.data(), 512);
  EXPECT_EQ(int64_t(h.I32LE(4)) * 512, int64_t(b.size()));
  EXPECT_LT(int64_t(h.I32LE(0)) * 512, int64_t(b.size()));
}

TEST_F(Ndx, UpdatesSplitAndDeleteAgainstAModel) {
  std::vector<std::string> titles = qvx_test::RandomTitles(300, 15, 12);
  std::string t = Table(titles);
  std::string path = dir_.File("M.NDX");
  qvx_test::IndexedTable table(t);
  auto ndx = std::make_unique<GSobjNDXFile>(&table, path, false, true, true, false);
  ASSERT_TRUE(ndx->AddTag("M", "TITLE", false, true, ""));
  table.index = ndx.get();
  std::mt19937 rng(13);
  std::vector<std::string> model = titles;
  for (int step = 0; step < 2500; ++step) {
    int what = int(rng() % 3);
    std::string title = qvx_test::RandomTitles(1, rng(), 12)[0];
    if (what == 0) {
      table.BlankRecord();
      table.PutStrByName("TITLE", title);
      table.AppendRecord();
      model.push_back(title);
    } else {
      int32_t rec = int32_t(rng() % model.size()) + 1;
      std::string now = what == 1 ? title : model[size_t(rec - 1)].substr(0, 2);
      table.ReadRecord(rec);
      table.PutStrByName("TITLE", now);
      table.WriteRecord(rec);
      model[size_t(rec - 1)] = now;
    }
    if (step % 500 == 499) {
      ASSERT_EQ(Sorted(ListKeys(ndx->Tag())), Sorted(Expected(model))) << step;
      ASSERT_EQ(Problems(*ndx), "") << step;
    }
  }
  ndx.reset();
  GSobjNDXFile again(&table, path, false, false, true, false);
  KeyList listed = ListKeys(again.Tag());
  EXPECT_EQ(Sorted(listed), Sorted(Expected(model)));
  EXPECT_EQ(ListKeysBackwards(again.Tag()), listed);
  EXPECT_EQ(Problems(again), "");
  // Deleting everything, the highest keys first.
  KeyList left = listed;
  std::vector<std::pair<std::string, int32_t>> order = listed;
  std::shuffle(order.begin(), order.end(), rng);
  std::sort(order.begin(), order.begin() + 100, [](const auto& a, const auto& b) { return a > b; });
  for (size_t i = 0; i < order.size(); ++i) {
    ASSERT_TRUE(again.Tag()->DeleteKey(TextKey(order[i].first, order[i].second))) << i;
    left.erase(std::find(left.begin(), left.end(), order[i]));
    if (i % 211 == 0) {
      ASSERT_EQ(ListKeys(again.Tag()), left) << i;
    }
  }
  EXPECT_TRUE(ListKeys(again.Tag()).empty());
}

TEST_F(Ndx, EmptyIndexAndRebuild) {
  std::vector<std::string> titles = qvx_test::RandomTitles(800, 2, 30);
  std::string t = Table(titles);
  devazoz::GSO_dBaseFld table(t, false, true);
  std::string path = dir_.File("R.NDX");
  GSobjNDXFile ndx(&table, path, false, true, true, false);
  ASSERT_TRUE(ndx.AddTag("R", "TITLE", false, true, ""));
  ndx.EmptyIndex();
  std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_EQ(b.size(), 1024u);
  EXPECT_EQ(ByteView(b.data(), 512).I32LE(0), 1);
  EXPECT_EQ(ByteView(b.data(), 512).I32LE(4), 2);
  EXPECT_TRUE(ListKeys(ndx.Tag()).empty());
  ndx.RebuildAll();
  EXPECT_EQ(ListKeys(ndx.Tag()), Expected(titles));
  EXPECT_EQ(Problems(ndx), "");
}

}  // namespace
