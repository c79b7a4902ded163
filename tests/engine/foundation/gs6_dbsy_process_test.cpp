// The handler across processes: a writer killed in the middle of its appends,
// and two writers appending to one shared table with its index open.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_indxtag.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::TempDir;

// A table with TITLE and WRITER tags and no records.
std::string MakeIndexedTable(const TempDir& dir) {
  DbfFixture f(0x03, {{"TITLE", 'C', 20}, {"WRITER", 'C', 2}, {"SEQ", 'N', 7}});
  std::string path = dir.File("P.DBF");
  f.Write(path);
  GSO_dBaseFld table(path, false, true);
  GSobjCDXFile cdx(&table, dir.File("P.CDX"), true, true, true, false);
  EXPECT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  EXPECT_TRUE(cdx.AddTag("WRITER", "WRITER", false, true, ""));
  return path;
}

// Appends count records (or until killed) as writer w; exit status 0 on success.
[[noreturn]] void AppendInChild(const std::string& path, const std::string& cdx, int w, int count,
                                bool shared) {
  int status = 0;
  // The other writer may hold the index lock for long in slow (sanitizer) builds
  // on a loaded machine; wait up to a minute rather than the usual five seconds.
  Settings().lock_wait_time = 60000;
  try {
    GSO_dBHandler h(path, true, shared);
    h.OpenIndexFile(cdx);
    for (int i = 0; i < count; ++i) {
      h.BlankRecord();
      h.PutStr(1, "T" + std::to_string((i * 7919 + w * 104729) % 100000));
      h.PutStr(2, "W" + std::to_string(w));
      h.PutNum(3, i);
      h.AppendRecord();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "writer %d: %s\n", w, e.what());
    status = 1;
  }
  _exit(status);
}

// Every record appears once in the TITLE tag and the keys are in order.
void ExpectIndexMatchesTable(const std::string& path, const std::string& cdx, int32_t records) {
  GSO_dBHandler h(path, true, false);
  ASSERT_EQ(h.RecordCount(), records);
  h.OpenIndexFile(cdx);
  std::string tag = "TITLE";
  h.SelectTag(&tag, false);
  std::set<int32_t> seen;
  std::string previous;
  for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
    std::string title = TrimRightZ(h.GetStr(1));
    ASSERT_LE(previous, title);
    previous = title;
    ASSERT_TRUE(seen.insert(h.RecordNumber()).second) << "record twice: " << h.RecordNumber();
  }
  EXPECT_EQ(int32_t(seen.size()), records);
}

TEST(HandlerProcesses, KilledWriterLeavesAConsistentTableThatReindexRepairs) {
  TempDir dir;
  std::string path = MakeIndexedTable(dir);
  std::string cdx = dir.File("P.CDX");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) AppendInChild(path, cdx, 1, 1000000, false);
  // Let it append for a while, then kill it without warning.
  for (int i = 0; i < 400; ++i) {
    os::SleepMilliseconds(10);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && st.st_size > 200000) break;
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  GSO_dBaseFld table(path, false, false);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  int32_t whole = int32_t((st.st_size - table.HeaderLength()) / table.RecordLength());
  ASSERT_GT(whole, 100);
  EXPECT_EQ(table.RecordCount(), whole);  // every record whose bytes were written counts
  table.ReadRecord(whole);
  EXPECT_EQ(table.GetNum(3), whole - 1);  // and the last of them is whole
  {
    GSO_dBHandler h(path, true, false);
    h.OpenIndexFile(cdx);
    h.Reindex();
  }
  ExpectIndexMatchesTable(path, cdx, whole);
}

TEST(HandlerProcesses, TwoSharedWritersLoseNoRecord) {
  TempDir dir;
  std::string path = MakeIndexedTable(dir);
  std::string cdx = dir.File("P.CDX");
  const int kEach = 10000;
  pid_t a = fork();
  ASSERT_GE(a, 0);
  if (a == 0) AppendInChild(path, cdx, 1, kEach, true);
  pid_t b = fork();
  ASSERT_GE(b, 0);
  if (b == 0) AppendInChild(path, cdx, 2, kEach, true);
  int sa = 0, sb = 0;
  waitpid(a, &sa, 0);
  waitpid(b, &sb, 0);
  ASSERT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0);
  ASSERT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 0);
  ExpectIndexMatchesTable(path, cdx, 2 * kEach);
  // Each writer's records are all there, in its own order.
  GSO_dBaseFld table(path, false, false);
  int next[3] = {0, 0, 0};
  for (int32_t r = 1; r <= table.RecordCount(); ++r) {
    table.ReadRecord(r);
    int w = TrimRightZ(table.GetStr(2)) == "W1" ? 1 : 2;
    EXPECT_EQ(table.GetNum(3), next[w]++);
  }
  EXPECT_EQ(next[1], kEach);
  EXPECT_EQ(next[2], kEach);
}

}  // namespace
