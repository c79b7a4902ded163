// NTX index files: layout, key forms, trees of several levels with interior
// keys, updates with splits and deletions against a model, the foreign files
// of another xBase program, and files read back by an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_ntx.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using devazoz::ByteView;
using devazoz::GSobjNTXFile;
using qvx_test::KeyList;
using qvx_test::ListKeys;
using qvx_test::ListKeysBackwards;
using qvx_test::ReadFileBytes;
using qvx_test::TempDir;
using qvx_test::TextKey;

// The keys a fresh build must list: titles without trailing blanks, equal keys
// in record order.
KeyList Expected(const std::vector<std::string>& titles) {
  KeyList out;
  for (size_t i = 0; i < titles.size(); ++i) out.push_back({titles[i], int32_t(i + 1)});
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}

// Equal keys keep the order they were inserted in, not the record order: the
// listing sorted by key and record, after checking that keys ascend.
KeyList ByKeyAndRecord(KeyList keys) {
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_LE(keys[i - 1].first, keys[i].first) << i;
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::string Problems(GSobjNTXFile& file) {
  std::string s;
  for (const std::string& p : devazoz::CheckNtxFile(file)) s += p + "\n";
  return s;
}

class Ntx : public ::testing::Test {
 protected:
  std::string Table(const std::vector<std::string>& titles) {
    std::string path = dir_.File("T.DBF");
    qvx_test::WriteCatalogTable(path, titles);
    return path;
  }
  TempDir dir_;
};

TEST_F(Ntx, NewFileOverAnEmptyTable) {
  std::string t = Table({});
  devazoz::GSO_dBaseFld table(t, false, true);
  {
    GSobjNTXFile ntx(&table, dir_.File("E.NTX"), false, true, true, false);
    ASSERT_TRUE(ntx.Valid());
    EXPECT_EQ(ntx.TagCount(), 0);
    ASSERT_TRUE(ntx.AddTag("whatever", "LEFT(TITLE,10)", false, true, ""));
    EXPECT_EQ(ntx.Tag()->TagName(), "E");
  }
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("E.NTX"));
  ASSERT_EQ(b.size(), 2048u);
  ByteView v(b.data(), b.size());
  EXPECT_EQ(v.U16LE(0), 6);
  EXPECT_EQ(v.I32LE(4), 1024);
  EXPECT_EQ(v.U16LE(12), 18);
  EXPECT_EQ(v.U16LE(14), 10);
  EXPECT_EQ(v.U16LE(18), 50);
  EXPECT_EQ(v.U16LE(20), 25);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[22])), "LEFT(TITLE,10)");
  for (size_t i = 1024; i < 2048; ++i) ASSERT_EQ(b[i], 0) << i;
  // The same file read back: one tag named after the file.
  GSobjNTXFile again(&table, dir_.File("E"), false, false, true, false);
  ASSERT_TRUE(again.Valid()) << again.ErrorText();
  ASSERT_EQ(again.TagCount(), 1);
  EXPECT_EQ(again.TagAt(0)->KeyLength(), 10);
  EXPECT_TRUE(ListKeys(again.TagAt(0)).empty());
}

TEST_F(Ntx, PagesOfAKeyLengthTenAndTheSlotTable) {
  std::vector<std::string> titles;
  for (int i = 0; i < 120; ++i) titles.push_back("K" + std::to_string(1000 + i));
  std::string t = Table(titles);
  devazoz::GSO_dBaseFld table(t, false, true);
  {
    GSobjNTXFile ntx(&table, dir_.File("K.NTX"), false, true, true, false);
    ASSERT_TRUE(ntx.AddTag("K", "LEFT(TITLE,10)", false, true, ""));
  }
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("K.NTX"));
  ByteView page(b.data() + 1024, 1024);
  // A full leaf: 50 keys, slot 1 at 104, slots in standard order.
  EXPECT_EQ(page.U16LE(0), 50);
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(page.U16LE(2 + 2 * i), 104 + 18 * i);
  EXPECT_EQ(page.I32LE(104), 0);
  EXPECT_EQ(page.I32LE(108), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1024 + 112]), 10), "K1000     ");
  GSobjNTXFile ntx(&table, dir_.File("K.NTX"), false, false, true, false);
  EXPECT_EQ(ListKeys(ntx.TagAt(0)), Expected(titles));
  EXPECT_EQ(Problems(ntx), "");
}

TEST_F(Ntx, ThreeLevelsStepEveryKeyOnceBothWays) {
  std::vector<std::string> titles = qvx_test::RandomTitles(6000, 11, 40);
  for (size_t i = 0; i < titles.size(); i += 7) titles[i] = "SAME KEY";
  std::string t = Table(titles);
  devazoz::GSO_dBaseFld table(t, false, true);
  GSobjNTXFile ntx(&table, dir_.File("T.NTX"), false, true, true, false);
  ASSERT_TRUE(ntx.AddTag("T", "TITLE", false, true, ""));
  KeyList want = Expected(titles);
  EXPECT_EQ(ListKeys(ntx.Tag()), want);
  EXPECT_EQ(ListKeysBackwards(ntx.Tag()), want);
  EXPECT_EQ(Problems(ntx), "");
  // Root, interior and leaf levels.
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("T.NTX"));
  int levels = 0;
  for (int32_t page = ByteView(b.data(), b.size()).I32LE(4); page != 0; ++levels) {
    ByteView p(b.data() + page, 1024);
    page = p.I32LE(p.U16LE(2));
  }
  EXPECT_EQ(levels, 3);
  // Every interior key is found, and a prefix finds the first key it begins.
  devazoz::GSobjIndexTag* tag = ntx.Tag();
  table.exact_comparison = false;
  for (size_t i = 0; i < want.size(); i += 37) {
    auto first = std::find_if(want.begin(), want.end(),
                              [&](const auto& k) { return k.first == want[i].first; });
    EXPECT_EQ(tag->Find(TextKey(want[i].first)), first->second) << want[i].first;
  }
  EXPECT_EQ(tag->Find(TextKey("SAME")),
            want[std::find_if(want.begin(), want.end(),
                              [](const auto& k) { return k.first == "SAME KEY"; }) -
                 want.begin()]
                .second);
  EXPECT_EQ(tag->Find(TextKey("\x7F")), 0);
  EXPECT_TRUE(tag->Eof());
  tag->ReleaseTree();
}

TEST_F(Ntx, NumericKeysPutNegativesBelowInReverseMagnitude) {
  qvx_test::DbfFixture f(0x03, {{"PRICE", 'N', 8, 2}, {"DAY", 'D', 8}});
  const char* prices[] = {"   12.50", "   -3.00", "    0.00", " -120.25", "   -0.50", "  999.99"};
  for (const char* p : prices) f.AddRecord({p, "20240131"});
  f.AddRecord({"    1.00", ""});
  std::string t = dir_.File("N.DBF");
  f.Write(t);
  devazoz::GSO_dBaseFld table(t, false, true);
  GSobjNTXFile ntx(&table, dir_.File("P.NTX"), false, true, true, false);
  ASSERT_TRUE(ntx.AddTag("P", "PRICE", false, true, ""));
  EXPECT_EQ(ntx.Tag()->KeyType(), 'N');
  EXPECT_EQ(ntx.Tag()->KeyLength(), 8);
  EXPECT_EQ(ntx.Tag()->Decimals(), 2);
  std::vector<double> numbers;
  std::vector<int32_t> records;
  for (const auto& [key, rec] : ListKeys(ntx.Tag())) {
    numbers.push_back(devazoz::GSobjNTXTag::DecodeNumber(
        reinterpret_cast<const uint8_t*>(key.data()), uint32_t(key.size())));
    records.push_back(rec);
  }
  EXPECT_EQ(numbers, (std::vector<double>{-120.25, -3, -0.5, 0, 1, 12.5, 999.99}));
  EXPECT_EQ(records, (std::vector<int32_t>{4, 2, 5, 3, 7, 1, 6}));
  devazoz::GSobjIndexKeyData k;
  k.Value.SetNumber(-3);
  k.RecordNumber = -1;
  EXPECT_EQ(ntx.Tag()->Find(k), 2);
  // A search text is read as a number; one that is none is refused.
  EXPECT_EQ(ntx.Tag()->Find(TextKey(" -120.25 ")), 4);
  EXPECT_THROW(ntx.Tag()->Find(TextKey("Iron")), devazoz::EDevazozError);
  ntx.Tag()->ReleaseTree();
  EXPECT_EQ(Problems(ntx), "");
  // Dates: eight digits, "00000000" for none, first.
  GSobjNTXFile dates(&table, dir_.File("D.NTX"), false, true, true, false);
  ASSERT_TRUE(dates.AddTag("D", "DAY", false, true, ""));
  KeyList keys = ListKeys(dates.Tag());
  ASSERT_EQ(keys.size(), 7u);
  EXPECT_EQ(keys[0], (std::pair<std::string, int32_t>{"00000000", 7}));
  EXPECT_EQ(keys[1].first, "20240131");
}

TEST_F(Ntx, DescendingTagsAreRefusedAndAFileMarkedDescendingDoesNotOpen) {
  std::string t = Table({"A", "B"});
  devazoz::GSO_dBaseFld table(t, false, true);
  {
    GSobjNTXFile ntx(&table, dir_.File("D.NTX"), false, true, true, false);
    try {
      ntx.AddTag("D", "TITLE", false, false, "");
      FAIL() << "no error";
    } catch (const devazoz::EDevazozError& e) {
      EXPECT_NE(std::string(e.what()).find("cannot be descending"), std::string::npos) << e.what();
    }
    ASSERT_TRUE(ntx.AddTag("D", "TITLE", false, true, ""));
  }
  std::vector<uint8_t> b = ReadFileBytes(dir_.File("D.NTX"));
  b[279] = 1;
  qvx_test::WriteFileBytes(dir_.File("D.NTX"), b);
  GSobjNTXFile ntx(&table, dir_.File("D.NTX"), false, false, true, false);
  EXPECT_FALSE(ntx.Valid());
  EXPECT_NE(ntx.ErrorText().find("descending"), std::string::npos) << ntx.ErrorText();
}

TEST_F(Ntx, UniqueTagsKeepTheFirstRecordOfEachKey) {
  std::string t = Table({"B", "A", "B", "C", "A"});
  qvx_test::IndexedTable table(t);
  GSobjNTXFile ntx(&table, dir_.File("U.NTX"), false, true, true, false);
  ASSERT_TRUE(ntx.AddTag("U", "TITLE", true, true, ""));
  EXPECT_EQ(ListKeys(ntx.Tag()), (KeyList{{"A", 2}, {"B", 1}, {"C", 4}}));
  table.index = &ntx;
  table.BlankRecord();
  table.PutStrByName("TITLE", "C");
  table.AppendRecord();
  EXPECT_EQ(ListKeys(ntx.Tag()), (KeyList{{"A", 2}, {"B", 1}, {"C", 4}}));
}

// Random appends, key changes and deletions against a model; the tree stays
// sound and lists what the model holds, read back here and by a fresh file.
TEST_F(Ntx, UpdatesSplitAndDeleteAgainstAModel) {
  std::vector<std::string> titles = qvx_test::RandomTitles(400, 5, 12);
  std::string t = Table(titles);
  std::string path = dir_.File("M.NTX");
  qvx_test::IndexedTable table(t);
  auto ntx = std::make_unique<GSobjNTXFile>(&table, path, false, true, true, false);
  ASSERT_TRUE(ntx->AddTag("M", "TITLE", false, true, ""));
  table.index = ntx.get();
  std::mt19937 rng(3);
  std::vector<std::string> model = titles;
  for (int step = 0; step < 2500; ++step) {
    int what = int(rng() % 3);
    std::string title = qvx_test::RandomTitles(1, rng(), 12)[0];
    if (what == 0 || model.empty()) {
      table.BlankRecord();
      table.PutStrByName("TITLE", title);
      table.AppendRecord();
      model.push_back(title);
    } else {
      int32_t rec = int32_t(rng() % model.size()) + 1;
      table.ReadRecord(rec);
      table.PutStrByName("TITLE", what == 1 ? title : model[size_t(rec - 1)].substr(0, 3));
      table.WriteRecord(rec);
      model[size_t(rec - 1)] = what == 1 ? title : model[size_t(rec - 1)].substr(0, 3);
    }
    if (step % 500 == 499) {
      ASSERT_EQ(ByKeyAndRecord(ListKeys(ntx->Tag())), ByKeyAndRecord(Expected(model))) << step;
      ASSERT_EQ(Problems(*ntx), "") << step;
    }
  }
  ntx.reset();
  GSobjNTXFile again(&table, path, false, false, true, false);
  KeyList listed = ListKeys(again.Tag());
  EXPECT_EQ(ByKeyAndRecord(listed), ByKeyAndRecord(Expected(model)));
  EXPECT_EQ(ListKeysBackwards(again.Tag()), listed);
  EXPECT_EQ(Problems(again), "");
}

// Deleting every key in random order empties leaves on both edges of the
// tree and moves separators down; each key left stays listed.
TEST_F(Ntx, DeletingEveryKeyKeepsTheRestListed) {
  std::vector<std::string> titles = qvx_test::RandomTitles(1500, 21, 30);
  std::string t = Table(titles);
  devazoz::GSO_dBaseFld table(t, false, true);
  GSobjNTXFile ntx(&table, dir_.File("X.NTX"), false, true, true, false);
  ASSERT_TRUE(ntx.AddTag("X", "TITLE", false, true, ""));
  KeyList left = Expected(titles);
  std::mt19937 rng(8);
  std::vector<std::pair<std::string, int32_t>> order = left;
  std::shuffle(order.begin(), order.end(), rng);
  // The highest keys first, then the rest in random order.
  std::sort(order.begin(), order.begin() + 200, [](const auto& a, const auto& b) { return a > b; });
  for (size_t i = 0; i < order.size(); ++i) {
    ASSERT_TRUE(ntx.Tag()->DeleteKey(TextKey(order[i].first, order[i].second))) << i;
    left.erase(std::find(left.begin(), left.end(), order[i]));
    if (i % 97 == 0 || left.size() < 5) {
      ASSERT_EQ(ListKeys(ntx.Tag()), left) << i;
      ASSERT_EQ(ListKeysBackwards(ntx.Tag()), left) << i;
    }
  }
  EXPECT_TRUE(ListKeys(ntx.Tag()).empty());
  // Inserting again into the emptied tree.
  devazoz::GSobjIndexKeyData k;
  k.Value.SetText("AGAIN");
  k.RecordNumber = 3;
  EXPECT_TRUE(ntx.Tag()->InsertKey(k));
  ntx.Tag()->ReleaseTree();
  EXPECT_EQ(ListKeys(ntx.Tag()), (KeyList{{"AGAIN", 3}}));
}

TEST_F(Ntx, ForConditionCounterEmptyAndRebuild) {
  std::vector<std::string> titles = qvx_test::RandomTitles(300, 9, 20);
  std::string t = Table(titles);
  qvx_test::IndexedTable table(t);
  std::string path = dir_.File("F.NTX");
  {
    GSobjNTXFile ntx(&table, path, false, true, true, false);
    ASSERT_TRUE(ntx.AddTag("F", "TITLE", false, true, "CATEGORY = 'Action'"));
    table.index = &ntx;
    KeyList want;
    for (const auto& k : Expected(titles))
      if ((k.second - 1) % 5 == 0) want.push_back(k);
    EXPECT_EQ(ListKeys(ntx.Tag()), want);
    EXPECT_EQ(ntx.Tag()->ChangeCounter(), 0);
    table.ReadRecord(1);
    table.PutStrByName("CATEGORY", "Sports");
    table.WriteRecord(1);
    EXPECT_EQ(ntx.Tag()->ChangeCounter(), 1);
    want.erase(std::find(want.begin(), want.end(), std::make_pair(titles[0], 1)));
    EXPECT_EQ(ListKeys(ntx.Tag()), want);
    EXPECT_EQ(Problems(ntx), "");
    ntx.Tag()->SetChangeCounter(32767);
    ntx.UpdateKeys(2, false);
    EXPECT_EQ(ntx.Tag()->ChangeCounter(), 1);
    ntx.EmptyIndex();
    EXPECT_EQ(ReadFileBytes(path).size(), 2048u);
    EXPECT_TRUE(ListKeys(ntx.Tag()).empty());
    ntx.RebuildAll();
    EXPECT_EQ(ListKeys(ntx.Tag()), want);
    table.index = nullptr;
  }
  std::vector<uint8_t> b = ReadFileBytes(path);
  EXPECT_EQ(ByteView(b.data(), b.size()).U16LE(0), 7);
  EXPECT_EQ(ByteView(b.data(), b.size()).U16LE(2), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[282])), "CATEGORY = 'Action'");
}

// Two programs on one shared file: the counter tells the other one that keys
// changed, and its next search reads the new root and pages.
TEST_F(Ntx, SharedFilesSeeEachOthersChanges) {
  std::string t = Table(qvx_test::RandomTitles(2000, 31, 30));
  std::string path = dir_.File("S.NTX");
  {
    devazoz::GSO_dBaseFld table(t, false, true);
    GSobjNTXFile ntx(&table, path, false, true, true, false);
    ASSERT_TRUE(ntx.AddTag("S", "TITLE", false, true, ""));
  }
  qvx_test::IndexedTable one(t, true), other(t, true);
  GSobjNTXFile a(&one, path, false, false, true, true), b(&other, path, false, false, true, true);
  one.index = &a;
  EXPECT_FALSE(b.ChangedByOther());
  EXPECT_EQ(b.Tag()->Find(TextKey("ZZZ NEW TITLE")), 0);
  for (int i = 0; i < 300; ++i) {
    one.BlankRecord();
    one.PutStrByName("TITLE", "ZZZ NEW TITLE " + std::to_string(i));
    one.AppendRecord();
  }
  EXPECT_TRUE(b.ChangedByOther());
  other.exact_comparison = false;
  EXPECT_EQ(b.Tag()->Find(TextKey("ZZZ NEW TITLE 299")), 2300);
  b.Tag()->ReleaseTree();
  EXPECT_EQ(ListKeys(b.Tag()).size(), 2300u);
  // The other table object has not re-read its record count; the writer's has.
  EXPECT_EQ(Problems(a), "");
}

TEST(NtxForeign, FilesOfAnotherProgramWalkAndSeekAsTheirListings) {
  TempDir dir;
  std::string t = qvx_test::CopyTestData("ntx1k/catalog.dbf", dir.path());
  qvx_test::CopyTestData("ntx1k/catalog.dbt", dir.path());
  for (const char* name : {"title", "category"}) {
    std::string path = qvx_test::CopyTestData(std::string("ntx1k/") + name + ".ntx", dir.path());
    std::string upper = name == std::string("title") ? "TITLE" : "CATEGORY";
    KeyList want;
    std::string listing =
        qvx_test::ReadFileText(qvx_test::TestDataPath("ntx1k/" + upper + ".keys"));
    for (size_t at = 0; at < listing.size();) {
      size_t tab = listing.find('\t', at), nl = listing.find('\n', at);
      want.push_back(
          {listing.substr(at, tab - at), std::stoi(listing.substr(tab + 1, nl - tab - 1))});
      at = nl + 1;
    }
    devazoz::GSO_dBHandler table(t, false, false);
    ASSERT_EQ(table.OpenIndexFile(path), 0);
    GSobjNTXFile* ntx = static_cast<GSobjNTXFile*>(table.IndexFile(1));
    EXPECT_EQ(ntx->Tag()->TagName(), upper);
    EXPECT_EQ(ListKeys(ntx->Tag()), want) << name;
    EXPECT_EQ(ListKeysBackwards(ntx->Tag()), want) << name;
    EXPECT_EQ(Problems(*ntx), "") << name;
    table.SelectTag(&upper, false);
    for (size_t i = 0; i < want.size(); i += 13) {
      size_t first = i;
      while (first > 0 && want[first - 1].first == want[i].first) --first;
      ASSERT_TRUE(table.FindKey(want[i].first)) << want[i].first;
      EXPECT_EQ(table.RecordNumber(), want[first].second) << want[i].first;
    }
  }
}

TEST(NtxHandler, NamesChooseTheFormatAndABareNameIsAnNdx) {
  TempDir dir;
  std::string t = dir.File("T.DBF");
  qvx_test::WriteCatalogTable(t, {"B", "A", "C"});
  {
    devazoz::GSO_dBaseFld table(t, false, true);
    GSobjNTXFile ntx(&table, dir.File("BYNTX.NTX"), false, true, true, false);
    ASSERT_TRUE(ntx.AddTag("", "TITLE", false, true, ""));
  }
  devazoz::GSO_dBHandler handler(t, false, true);
  ASSERT_EQ(handler.OpenIndexFile("byntx.ntx"), 0);
  std::string tag = "BYNTX";
  handler.SelectTag(&tag, false);
  handler.GetRecord(devazoz::kMoveFirst);
  EXPECT_EQ(handler.RecordNumber(), 2);
  EXPECT_THROW(handler.OpenIndexFile("BYNTX"), devazoz::EDevazozError);  // looks for BYNTX.NDX
}

}  // namespace
