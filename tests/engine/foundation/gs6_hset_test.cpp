#include "engine/foundation/gs6_hset.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace devazoz {
namespace {

TEST(HugeSet, NewSetIsEmpty) {
  TgsHugeSet set;
  EXPECT_EQ(set.HighestBit(), -1);
  EXPECT_EQ(set.PageCount(), 0u);
  EXPECT_FALSE(set.Has(0));
  EXPECT_FALSE(set.Has(200000));
  EXPECT_FALSE(set.Has(-1));
}

TEST(HugeSet, SetBitBeyondFirstPage) {
  TgsHugeSet set;
  EXPECT_FALSE(set.Has(200000));
  set.Change(200000, TgsHugeSet::kSet);
  EXPECT_TRUE(set.Has(200000));
  EXPECT_EQ(set.PageCount(), 2u);
  EXPECT_EQ(set.HighestBit(), 200000);
  EXPECT_FALSE(set.Has(199999));
  EXPECT_FALSE(set.Has(200001));
  EXPECT_FALSE(set.Has(200000 - 131072));  // same place in the first page
}

TEST(HugeSet, PageBoundaries) {
  TgsHugeSet set;
  set.Change(131071, TgsHugeSet::kSet);
  EXPECT_EQ(set.PageCount(), 1u);
  set.Change(131072, TgsHugeSet::kSet);
  EXPECT_EQ(set.PageCount(), 2u);
  EXPECT_TRUE(set.Has(131071));
  EXPECT_TRUE(set.Has(131072));
  EXPECT_FALSE(set.Has(0));
  set.Change(0, TgsHugeSet::kSet);
  EXPECT_EQ(set.HighestBit(), 131072);  // never lowered by a smaller bit
}

TEST(HugeSet, ClearToggleAndSet) {
  TgsHugeSet set;
  set.Change(9, TgsHugeSet::kToggle);
  EXPECT_TRUE(set.Has(9));
  set.Change(9, TgsHugeSet::kToggle);
  EXPECT_FALSE(set.Has(9));
  set.Change(9, TgsHugeSet::kSet);
  set.Change(9, TgsHugeSet::kSet);
  EXPECT_TRUE(set.Has(9));
  set.Change(8, TgsHugeSet::kClear);  // a neighbour in the same byte
  EXPECT_TRUE(set.Has(9));
  set.Change(9, TgsHugeSet::kClear);
  EXPECT_FALSE(set.Has(9));
  // Clearing a bit still extends the set and its highest bit.
  set.Change(300000, TgsHugeSet::kClear);
  EXPECT_EQ(set.HighestBit(), 300000);
  EXPECT_EQ(set.PageCount(), 3u);
}

TEST(HugeSet, UnknownOperationLeavesBit) {
  TgsHugeSet set;
  set.Change(5, TgsHugeSet::kSet);
  set.Change(5, 7);
  EXPECT_TRUE(set.Has(5));
  set.Change(6, -1);
  EXPECT_FALSE(set.Has(6));
}

TEST(HugeSet, NegativeBitsAreIgnored) {
  TgsHugeSet set;
  set.Change(-5, TgsHugeSet::kSet);
  EXPECT_EQ(set.HighestBit(), -1);
  EXPECT_EQ(set.PageCount(), 0u);
}

TEST(HugeSet, ClearKeepsPages) {
  TgsHugeSet set;
  set.Change(200000, TgsHugeSet::kSet);
  set.Change(3, TgsHugeSet::kSet);
  set.Clear();
  EXPECT_EQ(set.PageCount(), 2u);
  EXPECT_EQ(set.HighestBit(), -1);
  EXPECT_FALSE(set.Has(3));
  EXPECT_FALSE(set.Has(200000));
  set.Change(4, TgsHugeSet::kSet);
  EXPECT_FALSE(set.Has(3));  // the page was zeroed, not only hidden
  EXPECT_TRUE(set.Has(4));
}

TEST(HugeSet, AgreesWithOrderedSetOverRandomChanges) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int32_t> bit(0, 400000);
  std::uniform_int_distribution<int> op(0, 2);
  TgsHugeSet set;
  std::set<int32_t> model;
  int32_t highest = -1;
  for (int i = 0; i < 20000; ++i) {
    int32_t n = bit(rng);
    int o = op(rng);
    set.Change(n, o);
    if (o == 0)
      model.erase(n);
    else if (o == 1)
      model.insert(n);
    else if (!model.erase(n))
      model.insert(n);
    highest = std::max(highest, n);
  }
  EXPECT_EQ(set.HighestBit(), highest);
  for (int32_t n = 0; n <= 400001; ++n) ASSERT_EQ(set.Has(n), model.count(n) == 1) << n;
}

}  // namespace
}  // namespace devazoz
