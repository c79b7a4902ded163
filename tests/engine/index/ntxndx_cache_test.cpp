// NTX and NDX files opened exclusively keep decoded pages cached (NTX pages in
// the form the tree presents them, with the key that follows them): seeks,
// steps and changes through the cache must see what the file holds. Runs of
// equal keys make the same page reachable with different endings.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using qvx_test::KeyList;
using qvx_test::ListKeys;
using qvx_test::ListKeysBackwards;
using qvx_test::TempDir;
using qvx_test::TextKey;

std::string Problems(devazoz::GSobjNTXFile& file) {
  std::string s;
  for (const std::string& p : devazoz::CheckNtxFile(file)) s += p + "\n";
  return s;
}
std::string Problems(devazoz::GSobjNDXFile& file) {
  std::string s;
  for (const std::string& p : devazoz::CheckNdxFile(file)) s += p + "\n";
  return s;
}

// The model's keys by key and record (equal keys keep no record order).
KeyList Sorted(const std::vector<std::string>& model) {
  KeyList out;
  for (size_t i = 0; i < model.size(); ++i) {
    std::string k = model[i];
    while (!k.empty() && k.back() == ' ') k.pop_back();
    out.push_back({k, int32_t(i + 1)});
  }
  std::sort(out.begin(), out.end());
  return out;
}

KeyList ByKeyAndRecord(KeyList keys) {
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_LE(keys[i - 1].first, keys[i].first) << i;
  std::sort(keys.begin(), keys.end());
  return keys;
}

template <typename File>
class CachedPages : public ::testing::Test {
 protected:
  TempDir dir_;
};

using Formats = ::testing::Types<devazoz::GSobjNTXFile, devazoz::GSobjNDXFile>;
TYPED_TEST_SUITE(CachedPages, Formats);

TYPED_TEST(CachedPages, SeeksStepsAndChangesSeeTheFile) {
  // Few distinct titles: long runs of equal keys across many pages.
  std::vector<std::string> pool = qvx_test::RandomTitles(12, 77, 9);
  std::mt19937 rng(5);
  std::vector<std::string> model;
  for (int i = 0; i < 700; ++i) model.push_back(pool[rng() % pool.size()]);
  std::string t = this->dir_.File("C.DBF");
  qvx_test::WriteCatalogTable(t, model);
  std::string path =
      this->dir_.File(std::is_same_v<TypeParam, devazoz::GSobjNTXFile> ? "C.NTX" : "C.NDX");
  qvx_test::IndexedTable table(t);
  auto file = std::make_unique<TypeParam>(&table, path, false, true, true, false);
  ASSERT_TRUE(file->AddTag("C", "TITLE", false, true, ""));
  table.index = file.get();
  devazoz::GSobjIndexTag* tag = file->TagAt(0);
  for (int step = 0; step < 1500; ++step) {
    int what = int(rng() % 4);
    std::string title =
        rng() % 3 ? pool[rng() % pool.size()] : qvx_test::RandomTitles(1, rng(), 9)[0];
    if (what == 0) {
      table.BlankRecord();
      table.PutStrByName("TITLE", title);
      table.AppendRecord();
      model.push_back(title);
    } else if (what == 1) {
      int32_t rec = int32_t(rng() % model.size()) + 1;
      table.ReadRecord(rec);
      table.PutStrByName("TITLE", title);
      table.WriteRecord(rec);
      model[size_t(rec - 1)] = title;
    } else {
      // A seek on a loaded path, then steps from where it landed.
      std::string want = model[rng() % model.size()];
      while (!want.empty() && want.back() == ' ') want.pop_back();
      tag->LoadTree(0);
      int32_t rec = tag->Find(TextKey(want));
      ASSERT_NE(rec, 0) << step << " " << want;
      const auto& v = tag->CurrentKey().Value;
      ASSERT_EQ(std::string(reinterpret_cast<const char*>(v.Data()), v.Length()), want) << step;
      ASSERT_EQ(model[size_t(rec - 1)].substr(0, want.size()), want) << step;
      std::string before = want;
      for (int s = 0; s < 25 && tag->Navigate(what == 2 ? devazoz::kNavNext : devazoz::kNavPrior);
           ++s) {
        std::string now(reinterpret_cast<const char*>(tag->CurrentKey().Value.Data()),
                        tag->CurrentKey().Value.Length());
        if (what == 2)
          ASSERT_LE(before, now) << step;
        else
          ASSERT_GE(before, now) << step;
        before = now;
      }
      tag->ReleaseTree();
    }
    if (step % 300 == 299) {
      ASSERT_EQ(ByKeyAndRecord(ListKeys(tag)), Sorted(model)) << step;
      ASSERT_EQ(ListKeysBackwards(tag), ListKeys(tag)) << step;
      ASSERT_EQ(Problems(*file), "") << step;
    }
  }
  table.index = nullptr;
  file.reset();
  // What the cache showed is what the file holds.
  TypeParam again(&table, path, false, false, true, false);
  KeyList listed = ListKeys(again.TagAt(0));
  EXPECT_EQ(ByKeyAndRecord(listed), Sorted(model));
  EXPECT_EQ(ListKeysBackwards(again.TagAt(0)), listed);
  EXPECT_EQ(Problems(again), "");
}

}  // namespace
