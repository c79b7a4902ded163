// Pack and reindex against a process killed at any moment and a disk that fills up.
// A child process is killed with SIGKILL at the Nth system call of a pack or a
// reindex (the fault hook counts the calls, so every moment is reached
// deterministically), and at a few timed moments; every outcome is checked: the
// table holds either its records as before or the packed records, no record twice
// and no memo lost; after the next open (which rebuilds what the change marker
// names) every index file keeps its tags and passes its check. A full disk is
// simulated by the fault hook at every write of pack and reindex: the error says
// so and the files stay as they were.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxcheck.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_indxtag.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "engine/table/gs6_dbfcheck.h"
#include "tests/engine/foundation/safety_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
namespace fs = std::filesystem;
using namespace qvx_test;

// ---------------------------------------------------------------------------
// A full disk

long g_full_at = 0;  // writes from this one on fail as on a full disk
long g_writes = 0;

int32_t FullFromWrite(os::Call call, const std::string&) {
  if (call == os::Call::Write && ++g_writes >= g_full_at) return kErrDiskFull;
  return 0;
}

struct HookReset {
  ~HookReset() { os::SetFaultHook(nullptr); }
};

// Each record as its raw bytes, with its memo text appended.
std::vector<std::string> Records(const std::string& path) {
  GSO_dBaseFld t(path, false, false);
  std::vector<std::string> out;
  for (int32_t r = 1; r <= t.RecordCount(); ++r) {
    t.ReadRecord(r);
    std::string rec(reinterpret_cast<const char*>(t.CurrentRecord()), size_t(t.RecordLength()));
    int32_t size = t.MemoSize(3);
    std::string memo(size_t(std::max(size, 0)), '\0');
    if (size > 0) t.MemoRead(3, memo.data(), size);
    out.push_back(rec + "|" + memo.substr(0, size_t(std::max(size, 0))));
  }
  return out;
}

std::vector<std::string> Packed(const std::vector<std::string>& records) {
  std::vector<std::string> out;
  for (const std::string& r : records)
    if (r[0] != '*') out.push_back(r);
  return out;
}

// Every record once under the first tag, whatever check said: a stale index that
// check let pass would show here.
void ExpectFirstTagComplete(const std::string& dir, const IndexKind& kind, const std::string& at) {
  GSO_dBHandler h(dir + "/P.DBF", true, false);
  ASSERT_EQ(h.OpenIndexFile(dir + "/P" + kind.ext), 0) << at;
  std::string tag = kind.tags[0].first;
  h.SelectTag(&tag, false);
  std::map<int32_t, int> seen;
  for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) ++seen[h.RecordNumber()];
  EXPECT_EQ(int32_t(seen.size()), h.RecordCount()) << at;
  for (const auto& [record, times] : seen) EXPECT_EQ(times, 1) << at << " record " << record;
}

// The next open through a handler (which rebuilds what a change marker names);
// true when it rebuilt an index.
bool OpenAgain(const std::string& dir, const std::vector<IndexKind>& kinds) {
  GSO_dBHandler h(dir + "/P.DBF", true, false);
  for (const IndexKind& k : kinds) EXPECT_EQ(h.OpenIndexFile(dir + "/P" + k.ext), 0);
  return !h.RebuiltIndexes().empty();
}

// The index keeps all its tags and passes its check.
void ExpectIndexSound(const std::string& dir, const IndexKind& kind, const std::string& at) {
  {
    GSO_dBaseFld table(dir + "/P.DBF", false, false);
    auto file = MakeIndexFile(&table, dir + "/P" + kind.ext, false);
    ASSERT_TRUE(file->Valid()) << at << ": " << file->ErrorText();
    ASSERT_EQ(file->TagCount(), int(kind.tags.size())) << at;
    if (kind.tags.size() > 1) {
      for (const auto& tag : kind.tags) EXPECT_TRUE(file->FindTag(tag.first)) << at;
    }
    std::vector<std::string> problems = CheckIndex(*file);
    EXPECT_TRUE(problems.empty()) << at << ": " << (problems.empty() ? "" : problems[0]);
  }
  ExpectFirstTagComplete(dir, kind, at);
  EXPECT_FALSE(fs::exists(dir + "/P.DBF.changing")) << at;
}

// The table as before or as packed, readable and sound by check.
void ExpectTableBeforeOrPacked(const std::string& dir, const std::vector<std::string>& before,
                               const std::string& at, int* packed_count) {
  std::vector<std::string> now = Records(dir + "/P.DBF");
  bool as_before = now == before, as_packed = now == Packed(before);
  EXPECT_TRUE(as_before || as_packed) << at << ": " << now.size() << " records";
  if (as_packed && !as_before) ++*packed_count;
  GSO_dBaseFld table(dir + "/P.DBF", false, false);
  std::vector<std::string> problems = CheckDbfTable(table);
  EXPECT_TRUE(problems.empty()) << at << ": " << (problems.empty() ? "" : problems[0]);
}

void PackWith(const std::string& dir, const std::vector<IndexKind>& kinds) {
  GSO_dBHandler h(dir + "/P.DBF", true, false);
  for (const IndexKind& k : kinds) h.OpenIndexFile(dir + "/P" + k.ext);
  h.Pack();
}

void ReindexWith(const std::string& dir, const std::vector<IndexKind>& kinds) {
  GSO_dBHandler h(dir + "/P.DBF", true, false);
  for (const IndexKind& k : kinds) h.OpenIndexFile(dir + "/P" + k.ext);
  h.Reindex();
}

// ---------------------------------------------------------------------------

class PackCrash : public ::testing::TestWithParam<IndexKind> {};

TEST_P(PackCrash, KilledAtEverySystemCallLeavesTheTableAndItsIndexesInStep) {
  const IndexKind& kind = GetParam();
  TempDir pristine;
  const std::vector<IndexKind> kinds{kind};
  WriteTable(pristine.path(), 300, kinds);
  std::vector<std::string> before = Records(pristine.path() + "/P.DBF");
  ASSERT_EQ(before.size(), 300u);
  long calls = CountedCalls(pristine.path(), [&](const std::string& d) { PackWith(d, kinds); });
  ASSERT_GT(calls, 10);
  int killed = 0, packed = 0, repaired = 0;
  for (long k : KillPoints(calls, 60)) {
    TempDir work;
    CopyDir(pristine.path(), work.path());
    if (KilledAt(k, [&] { PackWith(work.path(), kinds); })) ++killed;
    std::string at =
        KindName(kind) + " killed at call " + std::to_string(k) + " of " + std::to_string(calls);
    ExpectTableBeforeOrPacked(work.path(), before, at, &packed);
    // Read-only, a stale index shows no record twice and none past the end.
    std::vector<int32_t> walk = FirstTagWalk(work.path(), kind);
    const size_t records = Records(work.path() + "/P.DBF").size();
    std::map<int32_t, int> seen;
    for (int32_t r : walk) ++seen[r];
    for (const auto& [record, times] : seen) {
      EXPECT_EQ(times, 1) << at << " record " << record;
      EXPECT_LE(size_t(record), records) << at;
    }
    if (OpenAgain(work.path(), kinds)) ++repaired;
    ExpectIndexSound(work.path(), kind, at);
  }
  // The kills reached both sides of the table's replacement, and the index rebuild.
  EXPECT_GT(killed, 5);
  EXPECT_GT(packed, 0);
  EXPECT_LT(packed, killed);
  EXPECT_GT(repaired, 0);
  std::printf("pack %s: %ld system calls, %d kills, %d left packed, %d indexes rebuilt at open\n",
              kind.ext, calls, killed, packed, repaired);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PackCrash, ::testing::ValuesIn(AllIndexKinds()),
                         [](const auto& info) { return KindName(info.param); });

// A pack made without the index leaves it stale: its keys past the table's new end
// are never shown, and the index is reported stale; a pack with nothing deleted
// rebuilds a damaged index.
TEST_P(PackCrash, AnIndexLeftOutOfAPackShowsNoPhantomRecords) {
  const IndexKind& kind = GetParam();
  TempDir dir;
  WriteTable(dir.path(), 300, {kind});
  PackWith(dir.path(), {});
  GSO_dBaseFld t(dir.File("P.DBF"), false, false);
  ASSERT_EQ(t.RecordCount(), 200);
  std::vector<int32_t> walk = FirstTagWalk(dir.path(), kind);
  std::map<int32_t, int> seen;
  for (int32_t r : walk) ++seen[r];
  EXPECT_EQ(seen.size(), 200u);
  for (const auto& [record, times] : seen) {
    EXPECT_LE(record, 200);
    EXPECT_EQ(times, 1) << record;
  }
  GSO_dBHandler h(dir.File("P.DBF"), false, false);
  h.OpenIndexFile(dir.File(std::string("P") + kind.ext));
  std::string tag = kind.tags[0].first;
  h.SelectTag(&tag, false);
  for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
  }
  EXPECT_EQ(h.SkippedKeys(), 100);
  EXPECT_EQ(h.StaleIndexReasons().size(), 1u);
}

TEST_P(PackCrash, APackWithNothingDeletedRebuildsADamagedIndex) {
  const IndexKind& kind = GetParam();
  TempDir dir, other;
  WriteTable(dir.path(), 120, {kind}, false);
  // The index of another table with the same fields: keys that do not match.
  WriteTable(other.path(), 90, {kind}, false);
  {
    GSO_dBaseFld t(other.File("P.DBF"), false, true);
    for (int32_t r = 1; r <= t.RecordCount(); ++r) {
      t.ReadRecord(r);
      t.PutStr(1, "OTHER" + std::to_string(r));
      t.PutNum(2, 500 + r);
      t.WriteRecord(r);
    }
    auto file = MakeIndexFile(&t, other.File(std::string("P") + kind.ext), false);
    file->RebuildAll();
  }
  fs::copy_file(other.File(std::string("P") + kind.ext), dir.File(std::string("P") + kind.ext),
                fs::copy_options::overwrite_existing);
  ASSERT_FALSE(CheckIndexIn(dir.path(), kind).empty());
  PackWith(dir.path(), {kind});
  EXPECT_TRUE(CheckIndexIn(dir.path(), kind).empty());
  ExpectIndexSound(dir.path(), kind, "after the pack");
}

TEST(PackCrash, TimedKillsOfALargePackLeaveTheTableBeforeOrPacked) {
  TempDir pristine;
  const std::vector<IndexKind> kinds{kCdx};
  WriteTable(pristine.path(), 10000, kinds);
  std::vector<std::string> before = Records(pristine.path() + "/P.DBF");
  int packed = 0;
  for (int delay_us : {0, 2000, 8000, 20000, 40000, 80000}) {
    TempDir work;
    CopyDir(pristine.path(), work.path());
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      try {
        PackWith(work.path(), kinds);
      } catch (...) {
        _exit(3);
      }
      _exit(0);
    }
    usleep(useconds_t(delay_us));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::string at = "killed after " + std::to_string(delay_us) + " us";
    ExpectTableBeforeOrPacked(work.path(), before, at, &packed);
    OpenAgain(work.path(), kinds);
    ExpectIndexSound(work.path(), kCdx, at);
  }
}

class ReindexCrash : public ::testing::TestWithParam<IndexKind> {};

TEST_P(ReindexCrash, KilledAtEverySystemCallKeepsEveryTag) {
  const IndexKind& kind = GetParam();
  TempDir pristine;
  WriteTable(pristine.path(), 400, {kind});
  // A table changed behind the index's back: the reindex has work to show.
  {
    GSO_dBaseFld t(pristine.path() + "/P.DBF", false, true);
    t.ReadRecord(5);
    t.PutStr(1, "CHANGED");
    t.WriteRecord(5);
  }
  std::vector<std::string> before = Records(pristine.path() + "/P.DBF");
  long calls = CountedCalls(pristine.path(), [&](const std::string& d) { ReindexWith(d, {kind}); });
  int killed = 0;
  for (long k : KillPoints(calls, 200)) {
    TempDir work;
    CopyDir(pristine.path(), work.path());
    if (KilledAt(k, [&] { ReindexWith(work.path(), {kind}); })) ++killed;
    std::string at = std::string(kind.ext) + " killed at call " + std::to_string(k) + " of " +
                     std::to_string(calls);
    EXPECT_EQ(Records(work.path() + "/P.DBF"), before) << at;
    // The old file or the rebuilt one: each matches the table as far as it is
    // unchanged, and the one record changed behind its back is all check finds.
    std::vector<std::string> problems = CheckIndexIn(work.path(), kind);
    EXPECT_LE(problems.size(), 2u) << at;
  }
  EXPECT_GT(killed, 3);
  std::printf("reindex %s: %ld system calls, %d kills\n", kind.ext, calls, killed);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ReindexCrash, ::testing::ValuesIn(AllIndexKinds()),
                         [](const auto& info) { return KindName(info.param); });

// ---------------------------------------------------------------------------
// A full disk

bool NoScratchLeft(const std::string& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".tmp") return false;
  return true;
}

// Every write of a pack failing in turn: the error says the disk is full and the
// table and its indexes stay exactly as they were (a failure never comes after the
// table was packed).
TEST(PackFullDisk, EveryWriteFailingSaysTheDiskIsFullAndLeavesTheOldFiles) {
  TempDir pristine;
  const std::vector<IndexKind> kinds{kCdx, kMdx, kNtx, kNdx};
  WriteTable(pristine.path(), 300, kinds);
  std::vector<std::string> before = Records(pristine.path() + "/P.DBF");
  std::map<std::string, std::vector<uint8_t>> old_files;
  for (const IndexKind& kind : kinds)
    old_files[kind.ext] = ReadFileBytes(pristine.File(std::string("P") + kind.ext));
  int failures = 0, packed = 0;
  for (long w = 1;; ++w) {
    TempDir work;
    CopyDir(pristine.path(), work.path());
    std::string error;
    {
      HookReset reset;
      g_writes = 0;
      g_full_at = w;
      os::SetFaultHook(&FullFromWrite);
      try {
        PackWith(work.path(), kinds);
      } catch (const EDevazozError& e) {
        error = e.what();
      }
    }
    std::string at = "disk full from write " + std::to_string(w);
    if (error.empty()) break;  // the pack needed fewer writes
    ++failures;
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << at << ": " << error;
    EXPECT_TRUE(NoScratchLeft(work.path())) << at;
    ExpectTableBeforeOrPacked(work.path(), before, at, &packed);
    for (const IndexKind& kind : kinds) {
      EXPECT_EQ(ReadFileBytes(work.File(std::string("P") + kind.ext)), old_files[kind.ext])
          << at << " " << kind.ext;
      ExpectIndexSound(work.path(), kind, at);
    }
    ASSERT_LT(w, 4000);
  }
  EXPECT_GT(failures, 3);
  EXPECT_EQ(packed, 0);
}

TEST(ReindexFullDisk, EveryWriteFailingKeepsTheOldIndex) {
  for (const IndexKind& kind : {kCdx, kMdx, kNtx, kNdx}) {
    TempDir pristine;
    WriteTable(pristine.path(), 300, {kind});
    for (long w = 1;; ++w) {
      TempDir work;
      CopyDir(pristine.path(), work.path());
      std::vector<uint8_t> old_index =
          qvx_test::ReadFileBytes(work.File(std::string("P") + kind.ext));
      std::string error;
      {
        HookReset reset;
        g_writes = 0;
        g_full_at = w;
        os::SetFaultHook(&FullFromWrite);
        try {
          ReindexWith(work.path(), {kind});
        } catch (const EDevazozError& e) {
          error = e.what();
        }
      }
      if (error.empty()) break;
      std::string at = std::string(kind.ext) + " full from write " + std::to_string(w);
      EXPECT_NE(error.find("the disk is full"), std::string::npos) << at << ": " << error;
      EXPECT_TRUE(NoScratchLeft(work.path())) << at;
      // The old file stands as it was, and the object went on with it.
      EXPECT_EQ(qvx_test::ReadFileBytes(work.File(std::string("P") + kind.ext)), old_index) << at;
      ExpectIndexSound(work.path(), kind, at);
      ASSERT_LT(w, 2000);
    }
  }
}

// A new tag of a single-tag file replaces the file's tag: a full disk keeps the old.
TEST(IndexFullDisk, ANewTagOfANtxOrNdxFileKeepsTheOldTagWhenTheDiskIsFull) {
  for (const IndexKind& kind : {kNtx, kNdx}) {
    TempDir pristine;
    WriteTable(pristine.path(), 300, {kind});
    for (long w = 1;; ++w) {
      TempDir work;
      CopyDir(pristine.path(), work.path());
      std::string index = work.File(std::string("P") + kind.ext);
      std::vector<uint8_t> old_index = qvx_test::ReadFileBytes(index);
      std::string error;
      {
        GSO_dBaseFld table(work.File("P.DBF"), false, true);
        auto file = MakeIndexFile(&table, index, false);
        HookReset reset;
        g_writes = 0;
        g_full_at = w;
        os::SetFaultHook(&FullFromWrite);
        try {
          file->AddTag("P", "STR(SEQ,6)+TITLE", false, true, "");
        } catch (const EDevazozError& e) {
          error = e.what();
        }
        os::SetFaultHook(nullptr);
        if (!error.empty()) {
          // The object went on with the old file and its tag.
          ASSERT_EQ(file->TagCount(), 1);
          EXPECT_EQ(file->TagAt(0)->KeyExpression(), kind.tags[0].second);
        }
      }
      if (error.empty()) break;
      std::string at = std::string(kind.ext) + " full from write " + std::to_string(w);
      EXPECT_NE(error.find("the disk is full"), std::string::npos) << at << ": " << error;
      EXPECT_EQ(qvx_test::ReadFileBytes(index), old_index) << at;
      EXPECT_TRUE(NoScratchLeft(work.path())) << at;
      ASSERT_LT(w, 2000);
    }
  }
}

// After a failed reindex the same objects go on: the tags were read again from the
// old file and keep working, and a later reindex succeeds.
TEST(ReindexFullDisk, TheIndexObjectGoesOnWithTheOldFile) {
  TempDir dir;
  WriteTable(dir.path(), 200, {kCdx, kMdx});
  GSO_dBHandler h(dir.File("P.DBF"), true, false);
  h.OpenIndexFile(dir.File("P.CDX"));
  h.OpenIndexFile(dir.File("P.MDX"));
  std::string tag = "SEQ";
  h.SelectTag(&tag, false);
  {
    HookReset reset;
    g_writes = 0;
    g_full_at = 3;
    os::SetFaultHook(&FullFromWrite);
    EXPECT_THROW(h.Reindex(), EDevazozError);
  }
  EXPECT_TRUE(h.FindKey("    42"));
  EXPECT_EQ(h.RecordNumber(), 43);
  h.BlankRecord();
  h.PutStr(1, "APPENDED");
  h.PutNum(2, 999);
  h.AppendRecord();
  h.Reindex();
  EXPECT_TRUE(h.FindKey("   999"));
  EXPECT_EQ(h.RecordNumber(), 201);
}

}  // namespace
