// The catalog's title table changed through the dataset adapter by a child
// process that is killed with SIGKILL at random moments, as desktops end
// programs: titles added (with notes), renamed and deleted, notes edited, each
// followed by FlushBuffers as the program does at the end of a command. After
// each kill the next open (which repairs what an interrupted change left) must
// show every change whose call had returned, and each title exactly once in
// title order; the one change under way may be there or not, never half; and
// `devazoz check` passes on the table and its index.
//
// CI runs 20 kills on a catalog of 2,000 titles. The full run:
//   QVX_KILL_COUNT=200 QVX_KILL_TITLES=100000
//     build/tests/test_engine_dataset --gtest_filter='KillTest.*'
// prints its figures (kills, kills inside a change, indexes rebuilt at open).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/dataset/Zavaz6UZ.h"
#include "engine/foundation/gs6_tool.h"
#include "platform/dataset/stream.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::RunCommand;
using qvx_test::TempDir;
namespace fs = std::filesystem;

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

enum Kind : int32_t { kAdd, kRename, kDelete, kNotes };

// One change as the child logs it before making it.
struct Op {
  int32_t kind;
  int32_t record;  // the record changed (for kAdd: the one it becomes)
  char title[24];  // kAdd, kRename: the new title
  char notes[24];  // kAdd, kNotes: the new notes
};

constexpr int kMostOps = 100000;

// Shared with the child: started counts changes begun, returned those whose
// call returned (started - returned is 1 while one is under way).
struct Journal {
  int32_t started;
  int32_t returned;
  int32_t posting;  // 1 from the change's start until its Post or Delete returned
  int32_t opened;   // 1 once the child's catalog is open (its repairs done)
  Op ops[kMostOps];
};

struct Row {
  std::string title;
  bool deleted = false;
  std::string notes;
  bool operator==(const Row& o) const {
    return title == o.title && deleted == o.deleted && notes == o.notes;
  }
};

std::vector<Row> ReadRows(const std::string& path) {
  GSO_dBaseFld t(path, false, false);
  int notes = t.FieldNumber("NOTES");
  std::vector<Row> rows;
  for (int32_t r = 1; r <= t.RecordCount(); ++r) {
    t.ReadRecord(r);
    Row row;
    row.title = TrimRightZ(t.GetStrByName("TITLE"));
    row.deleted = t.IsDeleted();
    int32_t size = t.MemoSize(notes);
    if (size > 0) {
      row.notes.resize(size_t(size));
      t.MemoRead(notes, row.notes.data(), size);
      row.notes.resize(size_t(size));
    }
    rows.push_back(row);
  }
  return rows;
}

void Apply(const Op& op, std::vector<Row>& rows) {
  size_t i = size_t(op.record - 1);
  switch (op.kind) {
    case kAdd:
      if (rows.size() == i) rows.push_back({op.title, false, op.notes});
      break;
    case kRename:
      rows[i].title = op.title;
      break;
    case kDelete:
      rows[i].deleted = true;
      break;
    case kNotes:
      rows[i].notes = op.notes;
      break;
  }
}

std::unique_ptr<TDevazozDataSet> OpenCatalog(const std::string& dir) {
  auto ds = std::make_unique<TDevazozDataSet>();
  ds->SetDatabaseName(dir);
  ds->SetTableName("QVXCAT.DBF");
  ds->SetIndexFiles({"QVXCAT.CDX"});
  ds->SetIndexName("TITLE");
  ds->SetExclusive(true);
  ds->Open();
  return ds;
}

void SetNotes(TDevazozDataSet& ds, const std::string& text) {
  auto stream = ds.CreateBlobStream(ds.FieldByName("NOTES"), platform::TBlobStreamMode::bmWrite);
  stream->Write(text.data(), int32_t(text.size()));
}

// The child: changes until killed, logging each change before and after.
[[noreturn]] void ChangeUntilKilled(const std::string& dir, Journal* journal, int32_t seq) {
  try {
    std::vector<Row> rows = ReadRows(dir + "/QVXCAT.DBF");
    std::vector<int32_t> live;
    for (size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].deleted) live.push_back(int32_t(i + 1));
    auto ds = OpenCatalog(dir);
    journal->opened = 1;
    std::mt19937 rng{uint32_t(seq)};
    for (int n = 0; n < kMostOps; ++n, ++seq) {
      Op op{};
      op.kind = live.size() < 50 ? kAdd : int32_t(rng() % 4);
      std::snprintf(op.title, sizeof op.title, "K%08d", seq);
      std::snprintf(op.notes, sizeof op.notes, "notes of %d", seq);
      size_t pick = live.empty() ? 0 : rng() % live.size();
      if (op.kind == kAdd) {
        op.record = int32_t(rows.size()) + 1;
      } else {
        op.record = live[pick];
      }
      journal->ops[n] = op;
      journal->posting = 1;
      journal->started = n + 1;
      if (op.kind == kAdd) {
        ds->Append();
        ds->FieldByName("TITLE")->SetAsString(op.title);
        ds->FieldByName("CATEGORY")->SetAsString("Puzzle");
        SetNotes(*ds, op.notes);
        ds->Post();
        rows.push_back({op.title, false, op.notes});
        live.push_back(op.record);
      } else {
        if (!ds->Locate("TITLE", platform::TVariant(rows[size_t(op.record - 1)].title), 0) ||
            ds->RecNo() != op.record) {
          std::fprintf(stderr, "child: record %d not found\n", op.record);
          _exit(4);
        }
        if (op.kind == kDelete) {
          ds->Delete();
          live.erase(live.begin() + std::ptrdiff_t(pick));
        } else {
          ds->Edit();
          if (op.kind == kRename) ds->FieldByName("TITLE")->SetAsString(op.title);
          if (op.kind == kNotes) SetNotes(*ds, op.notes);
          ds->Post();
        }
        Apply(op, rows);
      }
      journal->posting = 0;
      ds->FlushBuffers();
      journal->returned = n + 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "child: %s\n", e.what());
    _exit(3);
  }
  _exit(0);
}

TEST(KillTest, EveryReturnedChangeSurvivesAKillAtAnyMoment) {
  const int kills = EnvInt("QVX_KILL_COUNT", 20);
  const int titles = EnvInt("QVX_KILL_TITLES", 2000);
  TempDir dir;
  std::string out, err;
  ASSERT_EQ(RunCommand(std::string(QVX_SAMPLECAT_TOOL) + " '" + dir.path() + "' --titles " +
                           std::to_string(titles),
                       &out, &err),
            0)
      << err;
  const std::string table = dir.File("QVXCAT.DBF"), cdx = dir.File("QVXCAT.CDX");
  auto* journal = static_cast<Journal*>(
      mmap(nullptr, sizeof(Journal), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(journal, MAP_FAILED);
  std::mt19937 random(20240);
  // Three kills in four come while the child changes titles: the delay counts
  // from the moment its catalog is open, which on a big catalog or a busy
  // machine takes longer than the changes the delay would allow. The fourth
  // counts from the start, so that some kills come while the open repairs.
  std::uniform_int_distribution<int> delay_ms(20, 400);
  std::uniform_int_distribution<int> from_start_ms(20, 400 + titles / 500);
  int32_t seq = 1;
  int inside = 0, posting = 0, rebuilt = 0, changes = 0;
  std::vector<Row> rows = ReadRows(table);
  for (int k = 0; k < kills; ++k) {
    journal->started = journal->returned = journal->posting = journal->opened = 0;
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) ChangeUntilKilled(dir.path(), journal, seq);
    if (k % 4 != 3) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
      siginfo_t ended{};  // a child that ended early is left for the check below
      while (!journal->opened && std::chrono::steady_clock::now() < deadline &&
             waitid(P_PID, id_t(child), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
             ended.si_pid == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms(random)));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(from_start_ms(random)));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    std::string at = "kill " + std::to_string(k + 1);
    ASSERT_TRUE(WIFSIGNALED(status)) << at << ": the child ended by itself";
    const int32_t started = journal->started, returned = journal->returned;
    changes += returned;
    if (started > returned) ++inside;
    if (journal->posting) ++posting;
    seq += started;
    // The next open repairs, and shows each title once in title order.
    std::multiset<std::string> walked;
    {
      auto ds = OpenCatalog(dir.path());
      rebuilt += int(ds->RebuiltIndexes().size());
      for (ds->First(); !ds->Eof(); ds->Next())
        walked.insert(TrimRightZ(ds->FieldByName("TITLE")->AsString()));
    }
    EXPECT_FALSE(fs::exists(table + ".changing")) << at;
    // Every returned change is there; the one under way is there or not.
    std::vector<Row> want = rows;
    for (int32_t i = 0; i < returned; ++i) Apply(journal->ops[i], want);
    std::vector<Row> got = ReadRows(table);
    std::vector<Row> with_last = want;
    if (started > returned) Apply(journal->ops[returned], with_last);
    EXPECT_TRUE(got == want || got == with_last)
        << at << ": " << got.size() << " records, " << want.size() << " expected after " << returned
        << " changes";
    std::multiset<std::string> live;
    for (const Row& r : got)
      if (!r.deleted) live.insert(r.title);
    EXPECT_EQ(walked, live) << at;
    for (const std::string& t : walked) EXPECT_EQ(walked.count(t), 1u) << at << ": " << t;
    ASSERT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " check '" + table + "' '" + cdx + "'",
                         &out, &err),
              0)
        << at << ": " << out << err;
    rows = got;
    if (::testing::Test::HasFailure()) break;
  }
  munmap(journal, sizeof(Journal));
  std::printf(
      "kill test: %d kills, %d changes returned; %d kills inside a command (%d inside its post, "
      "the others in FlushBuffers); %d indexes rebuilt at open\n",
      kills, changes, inside, posting, rebuilt);
  EXPECT_GT(changes, kills);
}

}  // namespace
