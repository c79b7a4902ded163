// Pack and reindex against a process killed at any moment and a disk that fills up.
// A child process is killed with SIGKILL at the Nth system call of a pack or a
// reindex (the fault hook counts the calls, so every moment is reached
// deterministically), and at a few timed moments; every outcome is checked: the
// table holds either its records as before or the packed records, no record twice
// and no memo lost; every index file keeps its tags and either passes its check or
// is flagged by it and repaired by a second reindex. A full disk is simulated by
// the fault hook at every write of pack and reindex: the error says so and the files
// stay as they were (or packed, when only the index rebuild failed).
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
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using namespace devazoz;
namespace fs = std::filesystem;
using qvx_test::DbfFixture;
using qvx_test::MemoFixture;
using qvx_test::MemoLayout;
using qvx_test::TempDir;

// ---------------------------------------------------------------------------
// Fault hooks

long g_calls = 0;
long g_kill_at = 0;  // SIGKILL at this call
long g_full_at = 0;  // writes from this one on fail as on a full disk
long g_writes = 0;

int32_t CountCalls(os::Call, const std::string&) {
  ++g_calls;
  return 0;
}

int32_t KillAtCall(os::Call, const std::string&) {
  if (++g_calls == g_kill_at) raise(SIGKILL);
  return 0;
}

int32_t FullFromWrite(os::Call call, const std::string&) {
  if (call == os::Call::Write && ++g_writes >= g_full_at) return kErrDiskFull;
  return 0;
}

struct HookReset {
  ~HookReset() { os::SetFaultHook(nullptr); }
};

// ---------------------------------------------------------------------------
// The table: TITLE C(12), SEQ N(6), NOTES M (dBASE IV memo); record i (0-based)
// is deleted when i % 3 == 1 and has a memo when i % 4 == 0.

struct IndexKind {
  const char* ext;
  std::vector<std::pair<std::string, std::string>> tags;  // name, key
};

const IndexKind kCdx{".CDX", {{"TITLE", "TITLE"}, {"SEQ", "STR(SEQ,6)"}, {"BACK", "SEQ"}}};
const IndexKind kMdx{".MDX", {{"TITLE", "TITLE"}, {"SEQ", "SEQ"}}};
const IndexKind kNtx{".NTX", {{"P", "TITLE"}}};
const IndexKind kNdx{".NDX", {{"P", "SEQ"}}};

std::string TitleOf(int i) { return "T" + std::to_string((i * 7919) % 100003); }
std::string NoteOf(int i) {
  return "note of record " + std::to_string(i) + std::string(size_t(i % 700), 'x');
}

std::unique_ptr<GSobjIndexFile> MakeIndexFile(GSO_dBaseFld* table, const std::string& path,
                                              bool create) {
  std::string ext = path.substr(path.size() - 4);
  if (ext == ".MDX")
    return std::make_unique<GSobjMDXFile>(table, path, create, create, true, false);
  if (ext == ".NTX")
    return std::make_unique<GSobjNTXFile>(table, path, create, create, true, false);
  if (ext == ".NDX")
    return std::make_unique<GSobjNDXFile>(table, path, create, create, true, false);
  return std::make_unique<GSobjCDXFile>(table, path, create, create, true, false);
}

// Writes P.DBF (+ P.DBT) with count records and the index files of kinds.
void WriteTable(const std::string& dir, int count, const std::vector<IndexKind>& kinds) {
  MemoFixture memo(MemoLayout::kDbt4, 512);
  DbfFixture f(0x8B, {{"TITLE", 'C', 12}, {"SEQ", 'N', 6}, {"NOTES", 'M', 10}});
  for (int i = 0; i < count; ++i) {
    std::string block;
    if (i % 4 == 0) {
      char text[16];
      std::snprintf(text, sizeof text, "%10d", memo.Add(NoteOf(i)));
      block = text;
    }
    char seq[16];
    std::snprintf(seq, sizeof seq, "%6d", i);
    f.AddRecord({TitleOf(i), seq, block}, i % 3 == 1);
  }
  f.Write(dir + "/P.DBF");
  memo.Write(dir + "/P.DBT");
  GSO_dBaseFld table(dir + "/P.DBF", false, true);
  for (const IndexKind& k : kinds) {
    auto file = MakeIndexFile(&table, dir + "/P" + k.ext, true);
    for (const auto& [name, key] : k.tags) ASSERT_TRUE(file->AddTag(name, key, false, true, ""));
  }
}

void CopyDir(const std::string& from, const std::string& to) {
  for (const auto& e : fs::directory_iterator(from))
    fs::copy_file(e.path(), to + "/" + e.path().filename().string(),
                  fs::copy_options::overwrite_existing);
}

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

std::vector<std::string> CheckIndex(GSobjIndexFile& file) {
  if (auto* f = dynamic_cast<GSobjMDXFile*>(&file)) return CheckMdxFile(*f);
  if (auto* f = dynamic_cast<GSobjNTXFile*>(&file)) return CheckNtxFile(*f);
  if (auto* f = dynamic_cast<GSobjNDXFile*>(&file)) return CheckNdxFile(*f);
  return CheckCdxFile(*dynamic_cast<GSobjCDXFile*>(&file));
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

// The index keeps all its tags; check passes, or flags it and a reindex repairs it.
void ExpectIndexSound(const std::string& dir, const IndexKind& kind, const std::string& at,
                      int* repaired = nullptr) {
  std::vector<std::string> problems;
  {
    GSO_dBaseFld table(dir + "/P.DBF", false, false);
    auto file = MakeIndexFile(&table, dir + "/P" + kind.ext, false);
    ASSERT_TRUE(file->Valid()) << at << ": " << file->ErrorText();
    ASSERT_EQ(file->TagCount(), int(kind.tags.size())) << at;
    if (kind.tags.size() > 1) {
      for (const auto& tag : kind.tags) EXPECT_TRUE(file->FindTag(tag.first)) << at;
    }
    problems = CheckIndex(*file);
  }
  if (!problems.empty()) {
    if (repaired) ++*repaired;
    {
      GSO_dBaseFld table(dir + "/P.DBF", false, true);
      auto file = MakeIndexFile(&table, dir + "/P" + kind.ext, false);
      file->RebuildAll();
    }
    GSO_dBaseFld table(dir + "/P.DBF", false, false);
    auto file = MakeIndexFile(&table, dir + "/P" + kind.ext, false);
    EXPECT_EQ(file->TagCount(), int(kind.tags.size())) << at;
    std::vector<std::string> after = CheckIndex(*file);
    EXPECT_TRUE(after.empty()) << at << ": " << (after.empty() ? "" : after[0]);
  }
  ExpectFirstTagComplete(dir, kind, at);
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

// Runs action in a child process killed at its call-th system call; true when the
// child was killed (false: it finished first).
bool KilledAt(long call, const std::function<void()>& action) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    g_calls = 0;
    g_kill_at = call;
    os::SetFaultHook(&KillAtCall);
    int status = 0;
    try {
      action();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child: %s\n", e.what());
      status = 3;
    }
    _exit(status);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGKILL;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "child failed at call " << call;
  return false;
}

// The system calls action makes, run here on a copy.
long CountedCalls(const std::string& pristine,
                  const std::function<void(const std::string&)>& action) {
  TempDir work;
  CopyDir(pristine, work.path());
  HookReset reset;
  g_calls = 0;
  os::SetFaultHook(&CountCalls);
  action(work.path());
  os::SetFaultHook(nullptr);
  return g_calls;
}

// Kill points: every call up to most of them, else most spread evenly.
std::vector<long> KillPoints(long calls, long most) {
  std::vector<long> out;
  long step = std::max<long>(1, (calls + most - 1) / most);
  for (long k = 1; k <= calls; k += step) out.push_back(k);
  if (out.back() != calls) out.push_back(calls);
  return out;
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

TEST(PackCrash, KilledAtEverySystemCallLeavesTheTableBeforeOrPacked) {
  TempDir pristine;
  const std::vector<IndexKind> kinds{kCdx, kMdx};
  WriteTable(pristine.path(), 300, kinds);
  std::vector<std::string> before = Records(pristine.path() + "/P.DBF");
  ASSERT_EQ(before.size(), 300u);
  long calls = CountedCalls(pristine.path(), [&](const std::string& d) { PackWith(d, kinds); });
  ASSERT_GT(calls, 10);
  int killed = 0, packed = 0, repaired = 0;
  for (long k : KillPoints(calls, 80)) {
    TempDir work;
    CopyDir(pristine.path(), work.path());
    if (KilledAt(k, [&] { PackWith(work.path(), kinds); })) ++killed;
    std::string at = "killed at call " + std::to_string(k) + " of " + std::to_string(calls);
    ExpectTableBeforeOrPacked(work.path(), before, at, &packed);
    for (const IndexKind& kind : kinds) ExpectIndexSound(work.path(), kind, at, &repaired);
  }
  // The kills reached both sides of the table's replacement, and the index rebuild.
  EXPECT_GT(killed, 5);
  EXPECT_GT(packed, 0);
  EXPECT_LT(packed, killed);
  EXPECT_GT(repaired, 0);
  std::printf("pack: %ld system calls, %d kills, %d left packed, %d indexes repaired\n", calls,
              killed, packed, repaired);
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
  int killed = 0, repaired = 0;
  for (long k : KillPoints(calls, 200)) {
    TempDir work;
    CopyDir(pristine.path(), work.path());
    if (KilledAt(k, [&] { ReindexWith(work.path(), {kind}); })) ++killed;
    std::string at = std::string(kind.ext) + " killed at call " + std::to_string(k) + " of " +
                     std::to_string(calls);
    EXPECT_EQ(Records(work.path() + "/P.DBF"), before) << at;
    ExpectIndexSound(work.path(), kind, at, &repaired);
  }
  EXPECT_GT(killed, 3);
  std::printf("reindex %s: %ld system calls, %d kills, %d indexes repaired\n", kind.ext, calls,
              killed, repaired);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ReindexCrash, ::testing::Values(kCdx, kMdx, kNtx, kNdx),
                         [](const auto& info) { return std::string(info.param.ext + 1); });

// ---------------------------------------------------------------------------
// A full disk

bool NoScratchLeft(const std::string& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".tmp") return false;
  return true;
}

TEST(PackFullDisk, EveryWriteFailingSaysTheDiskIsFullAndLosesNothing) {
  TempDir pristine;
  const std::vector<IndexKind> kinds{kCdx, kNtx};
  WriteTable(pristine.path(), 300, kinds);
  std::vector<std::string> before = Records(pristine.path() + "/P.DBF");
  int failures = 0, packed = 0, repaired = 0;
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
    for (const IndexKind& kind : kinds) ExpectIndexSound(work.path(), kind, at, &repaired);
    ASSERT_LT(w, 2000);
  }
  EXPECT_GT(failures, 3);
  EXPECT_GT(packed, 0);  // failures in the index rebuild, after the table was packed
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
