// What the three memo layouts share: finding and opening the file, routing errors to
// the owning table, and the memo lock with its regions and retries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_glbl.h"
#include "engine/foundation/gs6_os.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_memo.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using devazoz::EDevazozError;
using devazoz::GSobjFXMemo20;
using devazoz::GSobjMemo;
using devazoz::GSobjMemo4;
using devazoz::TgsLokProtocol;
using qvx_test::MemoFixture;
using qvx_test::MemoLayout;
using qvx_test::ReadFileBytes;
using qvx_test::ReadWholeMemo;
using qvx_test::RecordingErrorHook;
using qvx_test::TempDir;
using qvx_test::WriteText;

TEST(MemoOpen, MissingFileIsReportedAsFileNotFound) {
  TempDir dir;
  try {
    GSobjMemo memo(nullptr, 0x83, false, true, dir.File("NONE.DBF"));
    FAIL() << "opened a memo file that does not exist";
  } catch (const EDevazozError& e) {
    EXPECT_NE(std::string(e.what()).find("NONE.DBT"), std::string::npos) << e.what();
  }
  RecordingErrorHook hook;
  GSobjFXMemo20 memo(nullptr, 0xF5, false, true, dir.File("NONE.DBF"));
  EXPECT_TRUE(hook.Has(devazoz::kErrFileNotFound, devazoz::kSubMemoOpen));
  EXPECT_TRUE(memo.Closed());
}

TEST(MemoOpen, ExtensionFollowsTheVersionAndCaseIsIgnored) {
  TempDir dir;
  MemoFixture(MemoLayout::kDbt3).Write(dir.File("lower.dbt"));
  MemoFixture(MemoLayout::kDbt4).Write(dir.File("Mixed.Dbt"));
  MemoFixture(MemoLayout::kFpt).Write(dir.File("fox.fpt"));
  GSobjMemo a(nullptr, 0x83, false, true, "  " + dir.File("LOWER.DBF") + "  ");
  EXPECT_EQ(a.RealPath(), dir.File("lower.dbt"));
  GSobjMemo4 b(nullptr, 0x8B, false, true, dir.File("mixed.dbf"));
  EXPECT_EQ(b.RealPath(), dir.File("Mixed.Dbt"));
  GSobjFXMemo20 c(nullptr, 0xF5, false, true, dir.File("FOX.DBF"));
  EXPECT_EQ(c.RealPath(), dir.File("fox.fpt"));
  GSobjFXMemo20 d(nullptr, 0x30, false, false, dir.File("fox"));
  EXPECT_EQ(d.RealPath(), dir.File("fox.fpt"));
  // Renaming keeps the extension as the file system spells it.
  ASSERT_TRUE(a.RenameMemo(dir.File("NEWNAME.DBF")));
  EXPECT_EQ(a.RealPath(), dir.File("NEWNAME.dbt"));
}

// A table that records the errors reported through it before raising them.
class RecordingTable : public devazoz::GSO_dBaseFld {
 public:
  using GSO_dBaseFld::GSO_dBaseFld;
  void ReportError(int32_t code, int32_t sub_code, const char* info) override {
    codes.emplace_back(code, sub_code);
    GSO_dBaseFld::ReportError(code, sub_code, info);
  }
  std::vector<std::pair<int32_t, int32_t>> codes;
};

TEST(MemoErrors, GoThroughTheOwningTable) {
  TempDir dir;
  qvx_test::DbfFixture t(0x83, {{"NOTES", 'M', 10}});
  t.AddRecord({qvx_test::MemoFieldValue(1)});
  t.Write(dir.File("T.DBF"));
  RecordingTable table(dir.File("T.DBF"), false, true);
  table.ReadRecord(1);
  EXPECT_THROW(table.MemoSize(1), EDevazozError);
  ASSERT_EQ(table.codes.size(), 1u);
  EXPECT_EQ(table.codes[0], std::make_pair(devazoz::kErrFileNotFound, devazoz::kSubMemoOpen));

  MemoFixture f(MemoLayout::kDbt3);
  f.AddRaw("");
  f.Write(dir.File("T.DBT"));
  GSobjMemo memo(&table, 0x83, false, true, dir.File("T.DBF"));
  EXPECT_THROW(memo.MemoLength(77), EDevazozError);
  ASSERT_EQ(table.codes.size(), 2u);
  EXPECT_EQ(table.codes[1], std::make_pair(devazoz::kErrMemoFormat, devazoz::kSubMemoFormat));
}

// Lock calls fail while this is set, counting how often they are tried.
int g_lock_attempts = 0;
int32_t FailLocks(devazoz::os::Call call, const std::string&) {
  if (call != devazoz::os::Call::Lock) return 0;
  ++g_lock_attempts;
  return devazoz::kErrLockViolation;
}

class MemoLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = devazoz::Settings();
    MemoFixture(MemoLayout::kFpt).Write(dir_.File("T.FPT"));
  }
  void TearDown() override {
    devazoz::os::SetFaultHook(nullptr);
    devazoz::Settings() = saved_;
  }
  std::unique_ptr<GSobjFXMemo20> OpenShared() {
    return std::make_unique<GSobjFXMemo20>(nullptr, 0xF5, true, true, dir_.File("T.DBF"));
  }
  devazoz::EngineSettings saved_;
  TempDir dir_;
};

TEST_F(MemoLockTest, RegionsFollowTheLockProtocol) {
  struct Case {
    TgsLokProtocol protocol;
    uint32_t offset, length;
  };
  auto memo = OpenShared();
  for (Case c :
       {Case{TgsLokProtocol::Default, 0x7FFFFFFD, 1}, Case{TgsLokProtocol::FoxLock, 0x7FFFFFFD, 1},
        Case{TgsLokProtocol::DB4Lock, 0xEFFFFFFE, 2},
        Case{TgsLokProtocol::ClipLock, 1000000000, 1}}) {
    memo->SetLockProtocol(c.protocol);
    ASSERT_TRUE(memo->LockMemo());
    EXPECT_EQ(memo->LockOffset(), c.offset);
    EXPECT_EQ(memo->LockLength(), c.length);
    EXPECT_EQ(memo->LockCount(), 1);
    EXPECT_TRUE(memo->UnlockRegion());
  }
}

TEST_F(MemoLockTest, SharedWriteHoldsTheLockOnlyWhileWriting) {
  auto memo = OpenShared();
  int32_t a = WriteText(*memo, 0, "shared");
  EXPECT_EQ(a, 8);
  EXPECT_EQ(memo->LockCount(), 0);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "shared");
}

TEST_F(MemoLockTest, FailedLockIsTriedForTheWaitTimeThenReported) {
  devazoz::Settings().lock_wait_time = 200;
  devazoz::Settings().retry_interval = 50;
  auto memo = OpenShared();
  auto before = ReadFileBytes(dir_.File("T.FPT"));
  g_lock_attempts = 0;
  devazoz::os::SetFaultHook(&FailLocks);
  int32_t block = 0;
  EXPECT_THROW(memo->WriteMemo("x", block, 1), EDevazozError);
  EXPECT_EQ(g_lock_attempts, 4);
  {
    RecordingErrorHook hook;
    g_lock_attempts = 0;
    EXPECT_EQ(memo->WriteMemo("x", block, 1), 0);
    EXPECT_EQ(block, 0);
    EXPECT_TRUE(hook.Has(devazoz::kErrLockViolation, devazoz::kSubMemoLock));
    EXPECT_EQ(g_lock_attempts, 4);
  }
  devazoz::os::SetFaultHook(nullptr);
  EXPECT_EQ(ReadFileBytes(dir_.File("T.FPT")), before);
  // The default wait is 100 attempts at 50 ms.
  EXPECT_EQ(saved_.lock_wait_time / saved_.retry_interval, 100);
}

TEST_F(MemoLockTest, LockHeldByAnotherProcessStopsTheWrite) {
  devazoz::Settings().lock_wait_time = 100;
  devazoz::Settings().retry_interval = 50;
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = open(dir_.File("T.FPT").c_str(), O_RDWR);
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0x7FFFFFFD;
    fl.l_len = 1;
    char c = fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    if (read(done[0], &c, 1) != 1) _exit(3);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  auto memo = OpenShared();
  {
    RecordingErrorHook hook;
    int32_t block = 0;
    EXPECT_EQ(memo->WriteMemo("blocked", block, 7), 0);
    EXPECT_TRUE(hook.Has(devazoz::kErrLockViolation, devazoz::kSubMemoLock));
    // Another protocol's region is free.
    memo->SetLockProtocol(TgsLokProtocol::ClipLock);
    EXPECT_EQ(memo->WriteMemo("passes", block, 6), 8);
  }
  c = 'x';
  ASSERT_EQ(write(done[1], &c, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

}  // namespace
