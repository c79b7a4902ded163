#include "engine/foundation/gs6_coll.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/foundation/gs6_disk.h"

namespace devazoz {
namespace {

// Records its own destruction.
class Tracked : public TgsObject {
 public:
  Tracked(std::vector<int>* log, int id) : log_(log), id_(id) {}
  ~Tracked() override { log_->push_back(id_); }

 private:
  std::vector<int>* log_;
  int id_;
};

// A list that refers to its items and never frees them.
class Referring : public TgsCollection {
 public:
  ~Referring() override { FreeAll(); }
  void FreeItem(TgsObject*) override { ++freed_calls; }
  int freed_calls = 0;
};

TEST(Collection, FreeAllFreesEveryItemAndEmpties) {
  std::vector<int> log;
  TgsCollection list;
  for (int i = 0; i < 3; ++i) list.Add(new Tracked(&log, i));
  EXPECT_EQ(list.Count(), 3u);
  list.FreeAll();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(log, (std::vector<int>{0, 1, 2}));
  list.FreeAll();
  EXPECT_EQ(log.size(), 3u);
}

TEST(Collection, DestructionFreesItems) {
  std::vector<int> log;
  {
    TgsCollection list;
    list.Add(new Tracked(&log, 7));
    list.Add(new Tracked(&log, 8));
  }
  EXPECT_EQ(log, (std::vector<int>{7, 8}));
}

TEST(Collection, RemoveAndFree) {
  std::vector<int> log;
  TgsCollection list;
  auto* a = new Tracked(&log, 1);
  auto* b = new Tracked(&log, 2);
  list.Add(a);
  list.Add(b);
  list.RemoveAndFree(a);
  EXPECT_EQ(log, (std::vector<int>{1}));
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.IndexOf(b), 0);
  EXPECT_EQ(list.IndexOf(a), -1);
}

TEST(Collection, ListOperations) {
  std::vector<int> log;
  TgsCollection list;
  auto* a = new Tracked(&log, 1);
  auto* b = new Tracked(&log, 2);
  auto* c = new Tracked(&log, 3);
  list.Add(a);
  list.Insert(0, b);
  list.Insert(99, c);  // past the end: appended
  EXPECT_EQ(list.At(0), b);
  EXPECT_EQ(list.At(1), a);
  EXPECT_EQ(list.At(2), c);
  EXPECT_THROW(list.At(3), std::out_of_range);
  EXPECT_TRUE(list.Remove(a));
  EXPECT_FALSE(list.Remove(a));
  list.Delete(5);  // out of range: nothing
  list.Delete(0);  // b leaves the list without being freed
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_TRUE(log.empty());
  delete a;
  delete b;
}

TEST(Collection, DescendantThatRefersFreesNothing) {
  std::vector<int> log;
  Tracked a(&log, 1), b(&log, 2);
  {
    Referring list;
    list.Add(&a);
    list.Add(&b);
    list.RemoveAndFree(&a);
    EXPECT_EQ(list.freed_calls, 1);
  }
  EXPECT_TRUE(log.empty());
}

TEST(Collection, FileRegistryDoesNotOwnItsFiles) {
  GSO_DiskFile file("/no/such/dir/X.DBF", false, false);
  {
    GSobjFileColl registry;
    registry.AddFile(&file);
    registry.AddFile(&file);  // listed once
    EXPECT_EQ(registry.Count(), 1u);
    registry.FreeItem(&file);
    EXPECT_EQ(registry.IndexOfFile(&file), 0);
    registry.FreeAll();
    EXPECT_EQ(registry.Count(), 0u);
    registry.AddFile(&file);
  }
  // Still alive after the registry that listed it is gone.
  EXPECT_EQ(file.FileName(), "/NO/SUCH/DIR/X.DBF");
}

}  // namespace
}  // namespace devazoz
