// Record changes through the handler are in the files when they return; a kill
// inside one is repaired by the next open (the change marker); bulk scopes hold
// index writes until they end; keys past the table's end are never shown.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_mark.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_indx.h"
#include "platform/services/codepage.h"
#include "tests/engine/foundation/safety_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using namespace qvx_test;
namespace fs = std::filesystem;

class Durable : public ::testing::TestWithParam<IndexKind> {};

std::string MarkerOf(const std::string& dir) { return dir + "/P.DBF.changing"; }

// The files as another process would find them now: copied byte by byte.
std::string Snapshot(const std::string& dir, const TempDir& into) {
  for (const auto& e : fs::directory_iterator(into.path())) fs::remove(e.path());
  for (const auto& e : fs::directory_iterator(dir))
    fs::copy_file(e.path(), into.path() + "/" + e.path().filename().string());
  return into.path();
}

void ExpectSound(const std::string& dir, const IndexKind& kind, const std::string& at) {
  std::vector<std::string> problems = CheckIndexIn(dir, kind);
  EXPECT_TRUE(problems.empty()) << at << ": " << (problems.empty() ? "" : problems[0]);
}

void Open(GSO_dBHandler& h, const std::string& dir, const IndexKind& kind) {
  ASSERT_EQ(h.OpenIndexFile(dir + "/P" + kind.ext), 0);
  std::string tag = kind.tags[0].first;
  h.SelectTag(&tag, false);  // the current tag keeps its path loaded
}

// Appends a record named prefix and i, numbered base + i.
void AppendNamed(GSO_dBHandler& h, const std::string& prefix, int i, int base) {
  h.BlankRecord();
  h.PutStr(1, prefix + std::to_string(i));
  h.PutNum(2, base + i);
  h.AppendRecord();
}

TEST_P(Durable, EachChangeIsInTheFilesWhenItReturns) {
  const IndexKind& kind = GetParam();
  TempDir dir, copy;
  WriteTable(dir.path(), 400, {kind});
  GSO_dBHandler h(dir.File("P.DBF"), true, false);
  Open(h, dir.path(), kind);
  for (int i = 0; i < 30; ++i) {
    AppendNamed(h, "NEW", i, 5000);
    ExpectSound(Snapshot(dir.path(), copy), kind, "after append " + std::to_string(i));
    h.GetRecord(5 + i * 7);
    h.PutStr(1, "RENAMED" + std::to_string(i));
    h.PutNum(2, 9000 + i);
    h.WriteRecord(h.RecordNumber());
    ExpectSound(Snapshot(dir.path(), copy), kind, "after rename " + std::to_string(i));
    h.GetRecord(6 + i * 7);
    h.DeleteRecord();
    ExpectSound(Snapshot(dir.path(), copy), kind, "after delete " + std::to_string(i));
  }
  EXPECT_FALSE(fs::exists(MarkerOf(dir.path())));
}

// What a killed child had completed: the shared page counts returned changes.
struct Progress {
  int returned = 0;
};

// Appends and renames through the handler, counting each change that returned.
void ChangeLoop(const std::string& dir, const IndexKind& kind, Progress* progress, int changes) {
  GSO_dBHandler h(dir + "/P.DBF", true, false);
  h.OpenIndexFile(dir + "/P" + kind.ext);
  std::string tag = kind.tags[0].first;
  h.SelectTag(&tag, false);
  for (int i = 0; i < changes; ++i) {
    if (i % 2 == 0) {
      AppendNamed(h, "ADD", i, 7000);
    } else {
      h.GetRecord(3 + i);
      h.PutStr(1, "REN" + std::to_string(i));
      h.PutNum(2, 8000 + i);
      h.WriteRecord(h.RecordNumber());
    }
    progress->returned = i + 1;
  }
}

TEST_P(Durable, AKillInsideAChangeIsRepairedByTheNextOpen) {
  const IndexKind& kind = GetParam();
  TempDir pristine;
  WriteTable(pristine.path(), 300, {kind});
  constexpr int kChanges = 6;
  auto* progress = static_cast<Progress*>(
      mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(progress, MAP_FAILED);
  long calls = CountedCalls(pristine.path(),
                            [&](const std::string& d) { ChangeLoop(d, kind, progress, kChanges); });
  int killed = 0, repaired = 0;
  for (long k : KillPoints(calls, 120)) {
    TempDir work;
    CopyDir(pristine.path(), work.path());
    progress->returned = 0;
    if (KilledAt(k, [&] { ChangeLoop(work.path(), kind, progress, kChanges); })) ++killed;
    std::string at =
        KindName(kind) + " killed at call " + std::to_string(k) + " of " + std::to_string(calls);
    int returned = progress->returned;
    {
      GSO_dBHandler h(work.File("P.DBF"), true, false);
      ASSERT_EQ(h.OpenIndexFile(work.File(std::string("P") + kind.ext)), 0) << at;
      repaired += int(h.RebuiltIndexes().size());
      // Every change that returned is there.
      for (int i = 0; i < returned; ++i) {
        int32_t record = i % 2 == 0 ? 300 + i / 2 + 1 : 3 + i;
        ASSERT_LE(record, h.RecordCount()) << at;
        h.GetRecord(record);
        std::string want = (i % 2 == 0 ? "ADD" : "REN") + std::to_string(i);
        EXPECT_EQ(TrimRightZ(h.GetStr(1)), want) << at;
      }
    }
    EXPECT_FALSE(fs::exists(MarkerOf(work.path()))) << at;
    ExpectSound(work.path(), kind, at);
    std::vector<int32_t> walk = FirstTagWalk(work.path(), kind);
    std::map<int32_t, int> seen;
    for (int32_t r : walk) ++seen[r];
    GSO_dBaseFld t(work.File("P.DBF"), false, false);
    EXPECT_EQ(int32_t(seen.size()), t.RecordCount()) << at;
    for (const auto& [record, times] : seen) EXPECT_EQ(times, 1) << at << " record " << record;
  }
  munmap(progress, sizeof(Progress));
  EXPECT_GT(killed, 10);
  EXPECT_GT(repaired, 0);  // some kills fell inside a change
  std::printf("%s: %ld system calls, %d kills, %d indexes rebuilt\n", kind.ext, calls, killed,
              repaired);
}

TEST_P(Durable, AReadOnlyOpenMarksAnInterruptedIndexStaleAndAWritableOneRebuildsIt) {
  const IndexKind& kind = GetParam();
  TempDir dir;
  WriteTable(dir.path(), 50, {kind});
  std::string index = dir.File(std::string("P") + kind.ext);
  {
    // An index the table moved away from, and the marker a killed change leaves.
    GSO_dBaseFld t(dir.File("P.DBF"), false, true);
    t.ReadRecord(2);
    t.PutStr(1, "CHANGED");
    t.PutNum(2, 4242);
    t.WriteRecord(2);
  }
  TgsChangeMarker marker(os::ResolvePath(dir.File("P.DBF")));
  ASSERT_EQ(marker.Write({platform::AnsiUpper(GSO_DiskFile::MakeAbsolute(index))}, false), 0);
  {
    GSO_dBHandler h(dir.File("P.DBF"), false, false);
    ASSERT_EQ(h.OpenIndexFile(index), 0);
    EXPECT_TRUE(h.RebuiltIndexes().empty());
    ASSERT_EQ(h.StaleIndexReasons().size(), 1u);
    EXPECT_NE(h.StaleIndexReasons()[0].find("was interrupted"), std::string::npos);
  }
  EXPECT_TRUE(fs::exists(MarkerOf(dir.path())));
  std::vector<int32_t> reports;
  {
    struct Reporting : GSO_dBHandler {
      using GSO_dBHandler::GSO_dBHandler;
      std::vector<int32_t>* out = nullptr;
      void StatusUpdate(int32_t what, int32_t done, int32_t) override {
        if (what == -1) out->push_back(done);
      }
    } h(dir.File("P.DBF"), true, false);
    h.out = &reports;
    ASSERT_EQ(h.OpenIndexFile(index), 0);
    ASSERT_EQ(h.RebuiltIndexes().size(), 1u);
    EXPECT_TRUE(h.StaleIndexReasons().empty());
  }
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports[0], kStatusRepairIndex);
  EXPECT_FALSE(fs::exists(MarkerOf(dir.path())));
  ExpectSound(dir.path(), kind, "after the repair");
}

TEST_P(Durable, ABulkScopeHoldsIndexWritesUntilItEnds) {
  const IndexKind& kind = GetParam();
  TempDir dir, copy;
  WriteTable(dir.path(), 400, {kind});
  {
    GSO_dBHandler h(dir.File("P.DBF"), true, false);
    Open(h, dir.path(), kind);
    TgsBulkScope scope(&h);
    EXPECT_TRUE(h.InBulk());
    EXPECT_TRUE(fs::exists(MarkerOf(dir.path())));
    for (int i = 0; i < 200; ++i) {
      AppendNamed(h, "BULK", i, 6000);
    }
    // Held: a copy taken now needs the repair the marker asks for.
    std::string snap = Snapshot(dir.path(), copy);
    EXPECT_FALSE(CheckIndexIn(snap, kind).empty());
    {
      GSO_dBHandler again(snap + "/P.DBF", true, false);
      ASSERT_EQ(again.OpenIndexFile(snap + "/P" + kind.ext), 0);
      EXPECT_EQ(again.RebuiltIndexes().size(), 1u);
    }
    ExpectSound(snap, kind, "the copy, repaired");
    scope.End();
    EXPECT_FALSE(h.InBulk());
    EXPECT_FALSE(fs::exists(MarkerOf(dir.path())));
    ExpectSound(Snapshot(dir.path(), copy), kind, "after the scope");
  }
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The record count the table file's header gives.
uint32_t HeaderCount(const std::string& table) {
  std::vector<uint8_t> bytes = ReadFileBytes(table);
  return bytes.size() < 8 ? 0 : ByteView(bytes.data(), 8).U32LE(4);
}

// Inside a bulk scope each record goes to the table as it is appended, the header
// once when the scope ends: a copy taken meanwhile (what a kill leaves) counts
// fewer records than it holds, and its next open takes them all, with indexes
// rebuilt to match. A shared table writes its header at every append.
TEST_P(Durable, ABulkScopeWritesTheTableHeaderWhenItEnds) {
  const IndexKind& kind = GetParam();
  TempDir dir, copy;
  WriteTable(dir.path(), 400, {kind});
  {
    GSO_dBHandler h(dir.File("P.DBF"), true, false);
    Open(h, dir.path(), kind);
    TgsBulkScope scope(&h);
    for (int i = 0; i < 150; ++i) {
      AppendNamed(h, "HELD", i, 7000);
    }
    h.GetRecord(3);
    h.PutStr(1, "RENAMED");
    h.WriteRecord(3);
    std::string snap = Snapshot(dir.path(), copy);
    EXPECT_EQ(HeaderCount(snap + "/P.DBF"), 400u);
    {
      GSO_dBHandler again(snap + "/P.DBF", true, false);
      EXPECT_EQ(again.RecordCount(), 550);
      ASSERT_EQ(again.OpenIndexFile(snap + "/P" + kind.ext), 0);
      again.GetRecord(550);
      EXPECT_EQ(Trimmed(again.GetStr(1)), "HELD149");
      again.GetRecord(3);
      EXPECT_EQ(Trimmed(again.GetStr(1)), "RENAMED");
    }
    EXPECT_EQ(HeaderCount(snap + "/P.DBF"), 550u);
    ExpectSound(snap, kind, "the copy, reopened");
    scope.End();
    EXPECT_EQ(HeaderCount(dir.File("P.DBF")), 550u);
    ExpectSound(Snapshot(dir.path(), copy), kind, "after the scope");
    // A scope left open at close: the header is written before the marker goes.
    h.BeginBulk();
    h.BlankRecord();
    h.PutStr(1, "LAST");
    h.AppendRecord();
  }
  EXPECT_EQ(HeaderCount(dir.File("P.DBF")), 551u);
  EXPECT_FALSE(fs::exists(MarkerOf(dir.path())));
  ExpectSound(dir.path(), kind, "after a close inside a scope");
  {
    GSO_dBHandler shared(dir.File("P.DBF"), true, true);
    ASSERT_EQ(shared.OpenIndexFile(dir.path() + "/P" + kind.ext), 0);
    TgsBulkScope scope(&shared);
    shared.BlankRecord();
    shared.PutStr(1, "SHARED");
    shared.AppendRecord();
    EXPECT_EQ(HeaderCount(dir.File("P.DBF")), 552u);
  }
}

// A table shorter than its index: the keys past its end are skipped in every walk.
TEST_P(Durable, KeysPastTheTablesEndAreNeverShownAsRecords) {
  const IndexKind& kind = GetParam();
  TempDir dir, small;
  WriteTable(dir.path(), 40, {kind}, false);
  WriteTable(small.path(), 25, {}, false);
  fs::copy_file(small.File("P.DBF"), dir.File("P.DBF"), fs::copy_options::overwrite_existing);
  GSO_dBHandler h(dir.File("P.DBF"), false, false);
  Open(h, dir.path(), kind);
  std::map<int32_t, int> seen;
  for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) ++seen[h.RecordNumber()];
  EXPECT_EQ(seen.size(), 25u);
  for (const auto& [record, times] : seen) {
    EXPECT_LE(record, 25);
    EXPECT_EQ(times, 1) << record;
  }
  EXPECT_EQ(h.SkippedKeys(), 15);
  ASSERT_EQ(h.StaleIndexReasons().size(), 1u);
  EXPECT_NE(h.StaleIndexReasons()[0].find("reindex"), std::string::npos);
  // Backwards, and from the last key.
  int back = 0;
  for (h.GetRecord(kMoveLast); !h.Bof(); h.GetRecord(kMovePrevious)) {
    EXPECT_LE(h.RecordNumber(), 25);
    ++back;
  }
  EXPECT_EQ(back, 25);
  // Jumps with deleted records visible.
  h.use_deleted = true;
  h.GetRecord(kMoveFirst);
  for (int i = 0; i < 30 && !h.Eof(); ++i) {
    h.Skip(3);
    EXPECT_LE(h.RecordNumber(), 25);
  }
  // A seek of a key whose record is gone lands on a record of the table.
  h.SelectTag(nullptr, false);
  std::string tag = kind.tags[0].first;
  h.SelectTag(&tag, false);
  for (int i = 25; i < 40; ++i) {
    std::string key = kind.tags[0].second == "TITLE" ? TitleOf(i) : std::to_string(i);
    h.soft_seek = true;
    h.FindKey(key);
    if (!h.Eof()) {
      EXPECT_LE(h.RecordNumber(), 25) << key;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, Durable, ::testing::ValuesIn(AllIndexKinds()),
                         [](const auto& info) { return KindName(info.param); });

}  // namespace
