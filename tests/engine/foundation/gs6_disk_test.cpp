#include "engine/foundation/gs6_disk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_glbl.h"
#include "engine/foundation/gs6_os.h"
#include "platform/services/codepage.h"
#include "platform/services/paths.h"
#include "tests/support/dbf_fixture.h"

namespace devazoz {
namespace {

// ---------------------------------------------------------------------------
// Error capture: a hook that records reports and returns, so a test can see the
// code and sub-code of each one.

struct Report {
  int32_t code, sub_code;
  std::string info;
};
std::vector<Report> g_reports;

void CaptureHook(int32_t code, int32_t sub_code, const char* info) {
  g_reports.push_back({code, sub_code, info ? info : ""});
}

// ---------------------------------------------------------------------------
// Other processes. A child is this same program started again with QVX_DISK_CHILD
// naming what to do; it acts before main runs and leaves with a status code, so it
// shares nothing with the parent but the file system.

int32_t CodeOfLastReport() { return g_reports.empty() ? 0 : g_reports.back().code; }

uint32_t EnvNumber(const char* name) {
  const char* v = std::getenv(name);
  return v ? uint32_t(std::strtoul(v, nullptr, 0)) : 0;
}

int ChildMain(const std::string& action) {
  std::string path = std::getenv("QVX_CHILD_PATH") ? std::getenv("QVX_CHILD_PATH") : "";
  uint32_t offset = EnvNumber("QVX_CHILD_OFFSET");
  uint32_t length = EnvNumber("QVX_CHILD_LENGTH");
  bool shared = EnvNumber("QVX_CHILD_SHARED") != 0;
  if (action == "probe") {
    // Is any lock held on the region? Plain system calls, no flock.
    int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0) return 90;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = off_t(length);
    if (fcntl(fd, F_GETLK, &fl) != 0) return 91;
    return fl.l_type == F_UNLCK ? 0 : 1;
  }
  if (action == "open-message") {
    // The default error routine's message for a refused open.
    GSO_DiskFile f(path, true, shared);
    try {
      f.Open();
      return 0;
    } catch (const EDevazozError& e) {
      return e.Message() == "File access denied - " + f.RealPath() ? 32 : 99;
    }
  }
  SetErrorHook(&CaptureHook);
  GSO_DiskFile f(path, true, shared);
  if (action == "open") {
    f.Open();
    return CodeOfLastReport();
  }
  if (action == "create") {
    f.CreateFile();
    return CodeOfLastReport();
  }
  if (action == "lock" || action == "hold") {
    f.Open();
    if (CodeOfLastReport() != 0) return 100 + CodeOfLastReport() % 100;
    int result = 0;
    if (length > 0 && !f.LockRegion(offset, length)) result = f.LastError();
    if (action == "hold") {
      // Tell the parent, then keep the file (and lock) until the parent lets go.
      char ready = char(result);
      if (write(1, &ready, 1) != 1) return 92;
      char done;
      while (read(0, &done, 1) > 0) {
      }
    }
    return result;
  }
  return 98;
}

struct ChildDispatch {
  ChildDispatch() {
    if (const char* action = std::getenv("QVX_DISK_CHILD")) _exit(ChildMain(action));
  }
} g_child_dispatch;

struct ChildArgs {
  std::string action;
  std::string path;
  uint32_t offset = 0;
  uint32_t length = 0;
  bool shared = true;
};

void ExecChild(const ChildArgs& args) {
  setenv("QVX_DISK_CHILD", args.action.c_str(), 1);
  setenv("QVX_CHILD_PATH", args.path.c_str(), 1);
  setenv("QVX_CHILD_OFFSET", std::to_string(args.offset).c_str(), 1);
  setenv("QVX_CHILD_LENGTH", std::to_string(args.length).c_str(), 1);
  setenv("QVX_CHILD_SHARED", args.shared ? "1" : "0", 1);
  char name[] = "disk-child";
  char* argv[] = {name, nullptr};
  execv("/proc/self/exe", argv);
  _exit(97);
}

int ExitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

// Runs one child action to its end; returns its status.
int RunChild(const ChildArgs& args) {
  pid_t pid = fork();
  if (pid == 0) ExecChild(args);
  return ExitStatus(pid);
}

// A child that opens the file (and locks a region when a length is given) and
// holds it until Release.
class HoldingChild {
 public:
  explicit HoldingChild(const ChildArgs& args) {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    ChildArgs hold = args;
    hold.action = "hold";
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to_child[0], 0);
      dup2(from_child[1], 1);
      close(to_child[1]);
      close(from_child[0]);
      ExecChild(hold);
    }
    close(to_child[0]);
    close(from_child[1]);
    to_child_ = to_child[1];
    from_child_ = from_child[0];
    char ready;
    ready_ = read(from_child_, &ready, 1) == 1 && ready == 0;
  }
  ~HoldingChild() { Release(); }
  bool ready() const { return ready_; }
  int Release() {
    if (pid_ <= 0) return status_;
    close(to_child_);
    close(from_child_);
    status_ = ExitStatus(pid_);
    pid_ = -1;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int to_child_ = -1, from_child_ = -1;
  bool ready_ = false;
  int status_ = -1;
};

// ---------------------------------------------------------------------------
// Fault injection: fail one kind of call on one path with one code.

os::Call g_fault_call;
int32_t g_fault_code = 0;
std::string g_fault_path;

int32_t FaultHook(os::Call call, const std::string& path) {
  return (call == g_fault_call && path == g_fault_path) ? g_fault_code : 0;
}

// ---------------------------------------------------------------------------

class DiskFileTest : public ::testing::Test {
 protected:
  void SetUp() override { g_reports.clear(); }
  void TearDown() override {
    SetErrorHook(nullptr);
    os::SetFaultHook(nullptr);
    g_reports.clear();
  }

  // A file in the temporary directory with the given bytes; returns its path.
  std::string Make(const std::string& name, const std::string& bytes) {
    std::string path = dir_.File(name);
    qvx_test::WriteFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return path;
  }
  std::string Read(const std::string& path) { return qvx_test::ReadFileText(path); }
  std::string RealDir() {
    char buf[PATH_MAX];
    return realpath(dir_.path().c_str(), buf) ? std::string(buf) : dir_.path();
  }
  void Capture() { SetErrorHook(&CaptureHook); }
  // The one report since the last call, or a failure.
  Report TakeReport() {
    EXPECT_EQ(g_reports.size(), 1u);
    Report r = g_reports.empty() ? Report{0, 0, ""} : g_reports.back();
    g_reports.clear();
    return r;
  }

  qvx_test::TempDir dir_;
};

bool FdIsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

// ---------------------------------------------------------------------------
// Names

TEST_F(DiskFileTest, NameIsAbsoluteAndUpperCasedAndNothingIsOpened) {
  GSO_DiskFile f(dir_.path() + "/Sub/../cat.dbf", true, false);
  EXPECT_EQ(f.FileName(), platform::AnsiUpper(dir_.path() + "/cat.dbf"));
  EXPECT_TRUE(f.Closed());
  EXPECT_FALSE(f.Exists());
  EXPECT_EQ(f.Handle(), 0);
  EXPECT_EQ(f.Position(), 0);
  EXPECT_EQ(f.LockCount(), 0);
  EXPECT_FALSE(f.Dirty());
  EXPECT_TRUE(f.ReadWrite());
  EXPECT_FALSE(f.Shared());
  Make("there.dbf", "x");
  GSO_DiskFile g(dir_.File("there.dbf"), false, true);
  EXPECT_TRUE(g.Exists());
  EXPECT_TRUE(g.Closed());
}

TEST_F(DiskFileTest, BareNameIsExpandedAgainstCurrentDirectory) {
  std::string old = platform::CurrentDirectory();
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  GSO_DiskFile f("qvxcat.dbf", false, false);
  EXPECT_EQ(f.FileName(), platform::AnsiUpper(RealDir() + "/qvxcat.dbf"));
  ASSERT_EQ(chdir(old.c_str()), 0);
}

TEST_F(DiskFileTest, NamesWithServerOrDriveAreUsedUnchanged) {
  EXPECT_EQ(GSO_DiskFile("\\\\server\\share\\x.dbf", false, false).FileName(),
            "\\\\SERVER\\SHARE\\X.DBF");
  EXPECT_EQ(GSO_DiskFile("C:\\X.DBF", false, false).FileName(), "C:\\X.DBF");
  EXPECT_EQ(GSO_DiskFile("c:\\data\\qvxcat.dbf", false, false).FileName(), "C:\\DATA\\QVXCAT.DBF");
  EXPECT_EQ(GSO_DiskFile::MakeAbsolute("d:x.dbf"), "d:x.dbf");
  // A colon in first place is no drive.
  EXPECT_EQ(GSO_DiskFile::MakeAbsolute(":x")[0], '/');
}

TEST_F(DiskFileTest, OverlongNamesAreRefused) {
  std::string longest = "/" + std::string(kMaxPathLength - 1, 'a');
  EXPECT_NO_THROW(GSO_DiskFile(longest, false, false));
  try {
    GSO_DiskFile f(longest + "b", false, false);
    FAIL() << "accepted a name of " << longest.size() + 1 << " characters";
  } catch (const EDevazozError& e) {
    EXPECT_NE(e.Message().find("File name too long (4096 characters, at most 4095)"),
              std::string::npos)
        << e.Message();
  }
  // Rename refuses such a name before touching the file.
  GSO_DiskFile f(dir_.File("r.dbf"), true, false);
  f.CreateFile();
  EXPECT_THROW(f.Rename(longest + "b"), EDevazozError);
  EXPECT_FALSE(f.Closed());
  EXPECT_EQ(f.FileName(), platform::AnsiUpper(dir_.File("r.dbf")));
}

TEST_F(DiskFileTest, OpensRealFileFoundWithoutRegardToCase) {
  Make("catalog.dbf", "lower");
  GSO_DiskFile upper(dir_.File("CATALOG.DBF"), false, false);
  EXPECT_TRUE(upper.Exists());
  upper.Open();
  EXPECT_FALSE(upper.Closed());
  char buf[5];
  EXPECT_EQ(upper.ReadAt(0, buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "lower");
  EXPECT_EQ(upper.RealPath(), dir_.File("catalog.dbf"));

  Make("QVXCAT.DBF", "UPPER");
  GSO_DiskFile lower(dir_.File("qvxcat.dbf"), false, false);
  lower.Open();
  EXPECT_EQ(lower.ReadAt(0, buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "UPPER");
  EXPECT_EQ(lower.FileName(), platform::AnsiUpper(dir_.File("qvxcat.dbf")));

  // Every directory of the path is matched the same way.
  GSO_DiskFile shouted(platform::AnsiUpper(RealDir()) + "/CATALOG.DBF", false, false);
  shouted.Open();
  EXPECT_EQ(shouted.RealPath(), RealDir() + "/catalog.dbf");
}

TEST_F(DiskFileTest, CreatedFileKeepsTheCaseItWasGiven) {
  GSO_DiskFile f(dir_.File("New.Dbf"), true, false);
  f.CreateFile();
  f.Close();
  struct stat st;
  EXPECT_EQ(stat(dir_.File("New.Dbf").c_str(), &st), 0);
  GSO_DiskFile g(dir_.File("NEW.DBF"), true, false);
  g.Open();
  EXPECT_EQ(g.RealPath(), dir_.File("New.Dbf"));
}

TEST_F(DiskFileTest, NameMatchingSeveralFilesPicksTheSameOneEachTime) {
  Make("dup.dbf", "a");
  Make("DUP.dbf", "b");
  Make("Dup.dbf", "c");
  // An exact match wins; otherwise the first in byte order, whatever the order in
  // which the directory lists them.
  GSO_DiskFile exact(dir_.File("dup.dbf"), false, false);
  exact.Open();
  EXPECT_EQ(exact.RealPath(), dir_.File("dup.dbf"));
  exact.Close();
  for (const char* name : {"DUP.DBF", "dUP.DBF", "Dup.DBF"}) {
    GSO_DiskFile f(dir_.File(name), false, false);
    f.Open();
    EXPECT_EQ(f.RealPath(), dir_.File("DUP.dbf")) << name;
  }
}

// ---------------------------------------------------------------------------
// Open, create, transfers

TEST_F(DiskFileTest, OpenOfMissingFileReportsFileNotFound) {
  GSO_DiskFile f(dir_.File("none.dbf"), true, false);
  try {
    f.Open();
    FAIL();
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Message(), "File not found - " + f.RealPath());
  }
  EXPECT_TRUE(f.Closed());
  EXPECT_EQ(f.LastError(), kErrFileNotFound);
  EXPECT_EQ(LastOsError(), kErrFileNotFound);
  Capture();
  f.Open();
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrFileNotFound);
  EXPECT_EQ(r.sub_code, kSubOpen);
  EXPECT_EQ(r.info, f.RealPath());
  GSO_DiskFile g(dir_.File("nodir/none.dbf"), true, false);
  g.Open();
  EXPECT_EQ(TakeReport().code, kErrPathNotFound);
  g.CreateFile();
  r = TakeReport();
  EXPECT_EQ(r.code, kErrPathNotFound);
  EXPECT_EQ(r.sub_code, kSubCreate);
}

TEST_F(DiskFileTest, OpenOfDirectoryIsRefused) {
  Capture();
  GSO_DiskFile f(dir_.path(), false, false);
  f.Open();
  EXPECT_EQ(TakeReport().code, kErrAccessDenied);
  EXPECT_TRUE(f.Closed());
}

TEST_F(DiskFileTest, CreateWriteReadAndSize) {
  GSO_DiskFile f(dir_.File("t.dbf"), true, false);
  f.CreateFile();
  EXPECT_FALSE(f.Closed());
  EXPECT_EQ(f.FileSize(), 0);
  f.WriteAt(0, "hello", 5);
  EXPECT_EQ(f.BytesDone(), 5);
  EXPECT_EQ(f.Position(), 5);
  EXPECT_TRUE(f.Dirty());
  char buf[8] = {};
  EXPECT_EQ(f.ReadAt(1, buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "ell");
  EXPECT_EQ(f.Position(), 4);
  EXPECT_EQ(f.LastError(), 0);
  f.Flush();
  EXPECT_FALSE(f.Dirty());
  f.WriteAt(10, "xyz", 3);  // past the end: the gap reads as zeros
  EXPECT_EQ(f.FileSize(), 13);
  EXPECT_EQ(f.ReadAt(4, buf, 8), 8);
  EXPECT_EQ(std::string(buf, 8), std::string("o\0\0\0\0\0xy", 8));
  f.Close();
  EXPECT_EQ(Read(dir_.File("t.dbf")), std::string("hello\0\0\0\0\0xyz", 13));
}

TEST_F(DiskFileTest, CreateEmptiesExistingFile) {
  std::string path = Make("full.dbf", "0123456789");
  GSO_DiskFile f(path, true, false);
  EXPECT_TRUE(f.Exists());
  f.CreateFile();
  EXPECT_EQ(f.FileSize(), 0);
  EXPECT_EQ(f.LastError(), 0);
}

TEST_F(DiskFileTest, ShortReadReturnsWhatIsThereWithoutError) {
  std::string path = Make("short.dbf", "0123456789");
  GSO_DiskFile f(path, false, false);
  f.Open();
  char buf[16];
  EXPECT_EQ(f.ReadAt(6, buf, 10), 4);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(f.BytesDone(), 4);
  EXPECT_EQ(f.LastError(), kErrShortRead);
  EXPECT_EQ(f.ReadAt(100, buf, 5), 0);
  EXPECT_EQ(f.LastError(), kErrShortRead);
  EXPECT_EQ(f.ReadAt(0, buf, 2), 2);
  EXPECT_EQ(f.LastError(), 0);
  EXPECT_EQ(f.ReadAt(0, buf, 0), 0);
  EXPECT_EQ(f.LastError(), 0);
}

TEST_F(DiskFileTest, OperationsOnClosedFileAndBadArguments) {
  Capture();
  std::string path = Make("c.dbf", "abc");
  GSO_DiskFile f(path, true, false);
  char buf[4];
  EXPECT_EQ(f.ReadAt(0, buf, 1), 0);
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrFileNotOpen);
  EXPECT_EQ(r.sub_code, kSubReadAt);
  f.WriteAt(0, "x", 1);
  EXPECT_EQ(TakeReport().sub_code, kSubWriteAt);
  EXPECT_EQ(f.FileSize(), 0);
  EXPECT_EQ(TakeReport().sub_code, kSubFileSize);
  f.Truncate(0);
  EXPECT_EQ(TakeReport().sub_code, kSubTruncate);
  f.Flush();  // nothing to flush: no report
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(f.Close());
  f.Open();
  f.ReadAt(-1, buf, 1);
  EXPECT_EQ(TakeReport().code, kErrInvalidParameter);
  f.ReadAt(0, buf, -5);
  EXPECT_EQ(TakeReport().code, kErrInvalidParameter);
  f.ReadAt(0, nullptr, 2);
  EXPECT_EQ(TakeReport().code, kErrInvalidParameter);
  f.WriteAt(-3, "x", 1);
  EXPECT_EQ(TakeReport().code, kErrInvalidParameter);
  f.Truncate(-1);
  EXPECT_EQ(TakeReport().code, kErrInvalidParameter);
  EXPECT_EQ(Read(path), "abc");
}

TEST_F(DiskFileTest, ReadOnlyFileRefusesWritesAndTruncation) {
  std::string path = Make("ro.dbf", "abc");
  GSO_DiskFile f(path, false, false);
  f.Open();
  try {
    f.WriteAt(0, "x", 1);
    FAIL();
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Message(), "File access denied - " + f.RealPath());
  }
  EXPECT_FALSE(f.Dirty());
  Capture();
  f.Truncate(1);
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrAccessDenied);
  EXPECT_EQ(r.sub_code, kSubTruncate);
  EXPECT_EQ(Read(path), "abc");
}

TEST_F(DiskFileTest, TruncateOfSharedFileNeedsWholeFileLock) {
  std::string path = Make("tr.dbf", "0123456789");
  Capture();
  GSO_DiskFile f(path, true, true);
  f.Open();
  EXPECT_FALSE(f.CanWriteExclusively());
  f.Truncate(5);
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrAccessDenied);
  EXPECT_EQ(r.sub_code, kSubTruncate);
  ASSERT_TRUE(f.LockRegion(0, 100));  // a lock, but not of the whole file
  f.Truncate(5);
  EXPECT_EQ(TakeReport().code, kErrAccessDenied);
  ASSERT_TRUE(f.UnlockRegion());
  ASSERT_TRUE(f.LockWholeFile());
  EXPECT_TRUE(f.CanWriteExclusively());
  f.Truncate(5);
  EXPECT_TRUE(g_reports.empty());
  EXPECT_EQ(f.FileSize(), 5);
  f.UnlockRegion();
  GSO_DiskFile excl(Make("tr2.dbf", "0123"), true, false);
  excl.Open();
  EXPECT_TRUE(excl.CanWriteExclusively());
  excl.Truncate(1);
  EXPECT_EQ(excl.FileSize(), 1);
  EXPECT_TRUE(g_reports.empty());
}

// ---------------------------------------------------------------------------
// One handle per path

TEST_F(DiskFileTest, ObjectsOnOnePathShareOneHandle) {
  std::string path = Make("s.dbf", "shared");
  GSO_DiskFile a(path, true, false), b(path, true, false);
  a.Open();
  b.Open();
  int fd = a.Handle();
  EXPECT_EQ(b.Handle(), fd);
  EXPECT_GE(FileRegistry().IndexOfFile(&a), 0);
  EXPECT_GE(FileRegistry().IndexOfFile(&b), 0);
  EXPECT_EQ(FileRegistry().FindOpen(a.FileName()), &a);
  EXPECT_EQ(FileRegistry().FindOpen(a.FileName(), &a), &b);

  // Closing the first leaves the second working.
  a.WriteAt(0, "S", 1);
  EXPECT_TRUE(a.Close());
  EXPECT_TRUE(a.Closed());
  EXPECT_EQ(a.Handle(), 0);
  EXPECT_EQ(a.Position(), 0);
  EXPECT_FALSE(a.Dirty());
  EXPECT_EQ(FileRegistry().IndexOfFile(&a), -1);
  EXPECT_TRUE(FdIsOpen(fd));
  char buf[6];
  EXPECT_EQ(b.ReadAt(0, buf, 6), 6);
  EXPECT_EQ(std::string(buf, 6), "Shared");
  b.WriteAt(6, "!", 1);
  EXPECT_EQ(b.FileSize(), 7);

  // The first may open again and shares the handle once more.
  a.Open();
  EXPECT_EQ(a.Handle(), fd);
  a.Close();
  // Closing the last one closes the handle.
  b.Close();
  EXPECT_FALSE(FdIsOpen(fd));
  EXPECT_EQ(FileRegistry().FindOpen(a.FileName()), nullptr);
  EXPECT_EQ(Read(path), "Shared!");
}

TEST_F(DiskFileTest, LaterObjectsTakeSharedFlagOfTheFirst) {
  std::string path = Make("f.dbf", "x");
  GSO_DiskFile a(path, true, false), b(path, true, true);
  a.Open();
  b.Open();
  EXPECT_FALSE(b.Shared());
  a.Close();
  b.Close();
  GSO_DiskFile c(path, true, true), d(path, true, false);
  c.Open();
  d.Open();
  EXPECT_TRUE(d.Shared());
}

TEST_F(DiskFileTest, ObjectSharingReadOnlyHandleCannotWrite) {
  std::string path = Make("rw.dbf", "abc");
  GSO_DiskFile reader(path, false, false), writer(path, true, false);
  reader.Open();
  writer.Open();
  Capture();
  writer.WriteAt(0, "x", 1);
  EXPECT_EQ(TakeReport().code, kErrAccessDenied);
  EXPECT_EQ(Read(path), "abc");
}

TEST_F(DiskFileTest, CreateOfPathOpenInThisProcessGivesCode12) {
  std::string path = Make("busy.dbf", "keep me");
  GSO_DiskFile a(path, true, false), b(path, true, false);
  a.Open();
  try {
    b.CreateFile();
    FAIL();
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Message(), "Invalid file access code - " + b.RealPath());
  }
  Capture();
  b.CreateFile();
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrInvalidAccess);
  EXPECT_EQ(r.sub_code, kSubCreate);
  a.CreateFile();  // the open object itself
  EXPECT_EQ(TakeReport().code, kErrInvalidAccess);
  EXPECT_TRUE(b.Closed());
  EXPECT_EQ(Read(path), "keep me");
}

TEST_F(DiskFileTest, DestructionClosesAndUnlists) {
  std::string path = Make("d.dbf", "x");
  int fd;
  {
    GSO_DiskFile f(path, true, true);
    f.Open();
    ASSERT_TRUE(f.LockRegion(0, 1));
    fd = f.Handle();
  }
  EXPECT_FALSE(FdIsOpen(fd));
  EXPECT_EQ(FileRegistry().FindOpen(platform::AnsiUpper(path)), nullptr);
  EXPECT_EQ(RunChild({"lock", path, 0, 1}), 0);
}

// ---------------------------------------------------------------------------
// Rename

TEST_F(DiskFileTest, RenameMovesFileAndKeepsItOpen) {
  std::string path = Make("old.dbf", "content");
  GSO_DiskFile f(path, true, false);
  f.Open();
  EXPECT_TRUE(f.Rename(dir_.File("Renamed.dbf")));
  EXPECT_EQ(f.FileName(), platform::AnsiUpper(dir_.File("Renamed.dbf")));
  EXPECT_FALSE(f.Closed());
  EXPECT_EQ(f.LastError(), 0);
  struct stat st;
  EXPECT_NE(stat(path.c_str(), &st), 0);
  EXPECT_EQ(Read(dir_.File("Renamed.dbf")), "content");
  char buf[7];
  EXPECT_EQ(f.ReadAt(0, buf, 7), 7);
  // A change of case only.
  EXPECT_TRUE(f.Rename(dir_.File("RENAMED.DBF")));
  EXPECT_EQ(Read(dir_.File("RENAMED.DBF")), "content");
  EXPECT_NE(stat(dir_.File("Renamed.dbf").c_str(), &st), 0);
  // To the same name.
  EXPECT_TRUE(f.Rename(dir_.File("RENAMED.DBF")));
  EXPECT_FALSE(f.Closed());
}

TEST_F(DiskFileTest, RenameNeverReplacesAnotherFile) {
  std::string path = Make("a.dbf", "AAA");
  std::string other = Make("b.dbf", "BBB");
  GSO_DiskFile f(path, true, false);
  f.Open();
  Capture();
  EXPECT_FALSE(f.Rename(other));
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrAlreadyExists);
  EXPECT_EQ(r.sub_code, kSubRename);
  EXPECT_FALSE(f.Rename(dir_.File("B.DBF")));  // the same file without regard to case
  EXPECT_EQ(TakeReport().code, kErrAlreadyExists);
  EXPECT_EQ(Read(path), "AAA");
  EXPECT_EQ(Read(other), "BBB");
  EXPECT_FALSE(f.Closed());  // opened again under its old name
  EXPECT_EQ(f.FileName(), platform::AnsiUpper(path));
}

TEST_F(DiskFileTest, RenameIsRefusedWhileAnotherObjectUsesTheFile) {
  std::string path = Make("r.dbf", "r");
  GSO_DiskFile a(path, true, false), b(path, true, false);
  a.Open();
  b.Open();
  Capture();
  EXPECT_FALSE(a.Rename(dir_.File("moved.dbf")));
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrSharingViolation);
  EXPECT_EQ(r.sub_code, kSubRename);
  EXPECT_FALSE(a.Closed());
  EXPECT_EQ(Read(path), "r");
  char c;
  EXPECT_EQ(b.ReadAt(0, &c, 1), 1);
}

TEST_F(DiskFileTest, RenameOfMissingFileReports) {
  Capture();
  GSO_DiskFile f(dir_.File("ghost.dbf"), true, false);
  EXPECT_FALSE(f.Rename(dir_.File("ghost2.dbf")));
  // The move fails, then the open of the old name fails too.
  ASSERT_EQ(g_reports.size(), 2u);
  EXPECT_EQ(g_reports[0].sub_code, kSubOpen);
  EXPECT_EQ(g_reports[1].code, kErrFileNotFound);
  EXPECT_EQ(g_reports[1].sub_code, kSubRename);
}

// ---------------------------------------------------------------------------
// Region locks

TEST_F(DiskFileTest, LocksOfUnsharedFileNestAndTakeNoSystemLock) {
  std::string path = Make("u.dbf", std::string(100, 'u'));
  GSO_DiskFile f(path, true, false);
  f.Open();
  EXPECT_TRUE(f.LockRegion(10, 5));
  EXPECT_TRUE(f.LockRegion(10, 5));
  EXPECT_TRUE(f.LockRegion(50, 1));  // another region: still granted
  EXPECT_EQ(f.LockCount(), 3);
  EXPECT_EQ(f.LockOffset(), 50u);
  EXPECT_EQ(f.LockLength(), 1u);
  EXPECT_TRUE(f.LockWholeFile());
  EXPECT_EQ(f.LockCount(), 3);  // granted without counting
  EXPECT_EQ(RunChild({"probe", path, 0, 1000}), 0);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(f.UnlockRegion());
  EXPECT_EQ(f.LockCount(), 0);
  EXPECT_TRUE(f.UnlockRegion());  // one too many: harmless
  EXPECT_EQ(f.LockCount(), 0);
}

TEST_F(DiskFileTest, SharedLockNestsAndOnlyOutermostUnlockReleases) {
  std::string path = Make("n.dbf", "n");
  GSO_DiskFile f(path, true, true);
  f.Open();
  ASSERT_TRUE(f.LockRegion(100, 10));
  ASSERT_TRUE(f.LockRegion(100, 10));
  EXPECT_EQ(f.LockCount(), 2);
  EXPECT_EQ(RunChild({"probe", path, 100, 10}), 1);
  EXPECT_TRUE(f.UnlockRegion());
  EXPECT_EQ(f.LockCount(), 1);
  EXPECT_EQ(RunChild({"lock", path, 100, 10}), kErrLockViolation);
  EXPECT_TRUE(f.UnlockRegion());
  EXPECT_EQ(f.LockCount(), 0);
  EXPECT_EQ(RunChild({"lock", path, 100, 10}), 0);
}

TEST_F(DiskFileTest, SharedFileHoldsOneRegionAtATime) {
  std::string path = Make("one.dbf", "1");
  GSO_DiskFile f(path, true, true);
  f.Open();
  ASSERT_TRUE(f.LockRegion(0, 10));
  EXPECT_FALSE(f.LockRegion(20, 10));
  EXPECT_EQ(f.LastError(), kErrLockViolation);
  EXPECT_EQ(f.LockCount(), 1);
  EXPECT_EQ(f.LockOffset(), 0u);
  EXPECT_EQ(RunChild({"lock", path, 20, 10}), 0);  // the refused region was never locked
}

TEST_F(DiskFileTest, TwoProcessesExcludeEachOther) {
  std::string path = Make("x.dbf", "x");
  GSO_DiskFile f(path, true, true);
  f.Open();
  ASSERT_TRUE(f.LockRegion(1000, 10));
  EXPECT_EQ(RunChild({"lock", path, 1000, 10}), kErrLockViolation);
  EXPECT_EQ(RunChild({"lock", path, 1005, 20}), kErrLockViolation);  // overlapping
  EXPECT_EQ(RunChild({"lock", path, 1010, 5}), 0);                   // just after
  f.UnlockRegion();
  EXPECT_EQ(RunChild({"lock", path, 1000, 10}), 0);

  // And the other way round: the child holds, the parent is refused.
  HoldingChild child({"hold", path, 1000, 10});
  ASSERT_TRUE(child.ready());
  EXPECT_FALSE(f.LockRegion(1000, 10));
  EXPECT_EQ(f.LastError(), kErrLockViolation);
  EXPECT_EQ(f.LockCount(), 0);
  EXPECT_FALSE(f.LockWholeFile());
  EXPECT_EQ(f.LastError(), kErrLockViolation);
  EXPECT_EQ(child.Release(), 0);
  EXPECT_TRUE(f.LockRegion(1000, 10));
}

TEST_F(DiskFileTest, LockRegionsOfEveryConvention) {
  std::string path = Make("conv.dbf", "c");
  GSO_DiskFile f(path, true, true);
  f.Open();
  for (TgsLokProtocol p : {TgsLokProtocol::Default, TgsLokProtocol::DB4Lock,
                           TgsLokProtocol::ClipLock, TgsLokProtocol::FoxLock}) {
    LockConstants c = LockConstantsFor(p);
    // The table's file lock and a record lock beneath its record anchor.
    ASSERT_TRUE(f.LockRegion(c.lock_base, c.file_lock_length)) << int(p);
    EXPECT_EQ(RunChild({"lock", path, c.lock_base, 1}), kErrLockViolation) << int(p);
    f.UnlockRegion();
    ASSERT_TRUE(f.LockRegion(c.record_anchor - 5, 1)) << int(p);
    EXPECT_EQ(RunChild({"lock", path, c.record_anchor - 5, 1}), kErrLockViolation) << int(p);
    EXPECT_EQ(RunChild({"lock", path, c.record_anchor - 6, 1}), 0) << int(p);
    f.UnlockRegion();
  }
  ASSERT_TRUE(f.LockWholeFile());
  EXPECT_EQ(f.LockLength(), kWholeFileLockLength);
  EXPECT_EQ(RunChild({"lock", path, 0x7FFFFFFE, 1}), kErrLockViolation);
  EXPECT_EQ(RunChild({"lock", path, 0x7FFFFFFF, 1}), 0);
}

TEST_F(DiskFileTest, ZeroLengthLockLocksNothing) {
  std::string path = Make("z.dbf", "z");
  GSO_DiskFile f(path, true, true);
  f.Open();
  ASSERT_TRUE(f.LockRegion(5, 0));
  EXPECT_EQ(f.LockCount(), 1);
  EXPECT_EQ(RunChild({"lock", path, 0, 1000}), 0);
  EXPECT_TRUE(f.UnlockRegion());
}

TEST_F(DiskFileTest, ObjectsSharingHandleExcludeEachOther) {
  std::string path = Make("in.dbf", "in");
  GSO_DiskFile a(path, true, true), b(path, true, true);
  a.Open();
  b.Open();
  ASSERT_TRUE(a.LockRegion(10, 5));
  EXPECT_FALSE(b.LockRegion(12, 5));
  EXPECT_EQ(b.LastError(), kErrLockViolation);
  ASSERT_TRUE(b.LockRegion(20, 5));
  // Releasing b's region leaves a's region locked.
  ASSERT_TRUE(b.UnlockRegion());
  EXPECT_EQ(RunChild({"lock", path, 10, 5}), kErrLockViolation);
  EXPECT_EQ(RunChild({"lock", path, 20, 5}), 0);
  ASSERT_TRUE(a.UnlockRegion());
  EXPECT_TRUE(b.LockRegion(10, 5));
}

TEST_F(DiskFileTest, CloseReleasesRegionAtAnyDepth) {
  std::string path = Make("cl.dbf", "cl");
  GSO_DiskFile a(path, true, true), b(path, true, true);
  a.Open();
  b.Open();
  ASSERT_TRUE(a.LockRegion(0, 10));
  ASSERT_TRUE(a.LockRegion(0, 10));
  ASSERT_TRUE(a.LockRegion(0, 10));
  a.Close();  // b keeps the handle open
  EXPECT_EQ(a.LockCount(), 0);
  EXPECT_EQ(RunChild({"lock", path, 0, 10}), 0);
  EXPECT_TRUE(b.LockRegion(0, 10));
}

TEST_F(DiskFileTest, ShutdownReleasesHeldLocks) {
  std::string path = Make("sd.dbf", "sd");
  GSO_DiskFile f(path, true, true), g(path, true, true);
  f.Open();
  g.Open();
  ASSERT_TRUE(f.LockRegion(30, 3));
  ASSERT_TRUE(f.LockRegion(30, 3));
  ASSERT_TRUE(g.LockRegion(40, 3));
  FileRegistry().ReleaseAllLocks();
  EXPECT_EQ(f.LockCount(), 0);
  EXPECT_EQ(g.LockCount(), 0);
  EXPECT_EQ(RunChild({"lock", path, 30, 3}), 0);
  EXPECT_EQ(RunChild({"lock", path, 40, 3}), 0);
  EXPECT_FALSE(f.Closed());  // the files themselves stay open
}

// ---------------------------------------------------------------------------
// Sharing modes between processes

TEST_F(DiskFileTest, ExclusiveOpenRefusesOtherProcesses) {
  std::string path = Make("ex.dbf", "exclusive");
  {
    GSO_DiskFile f(path, true, false);
    f.Open();
    EXPECT_EQ(RunChild({"open", path, 0, 0, true}), kErrSharingViolation);
    EXPECT_EQ(RunChild({"open", path, 0, 0, false}), kErrSharingViolation);
    EXPECT_EQ(RunChild({"open-message", path, 0, 0, true}), kErrSharingViolation);
    EXPECT_EQ(RunChild({"create", path, 0, 0, false}), kErrSharingViolation);
  }
  EXPECT_EQ(Read(path), "exclusive");  // the refused create emptied nothing
  EXPECT_EQ(RunChild({"open", path, 0, 0, false}), 0);
}

TEST_F(DiskFileTest, SharedOpenAdmitsSharedOpenersOnly) {
  std::string path = Make("sh.dbf", "shared");
  GSO_DiskFile f(path, true, true);
  f.Open();
  EXPECT_EQ(RunChild({"open", path, 0, 0, true}), 0);
  EXPECT_EQ(RunChild({"open", path, 0, 0, false}), kErrSharingViolation);
}

TEST_F(DiskFileTest, FileHeldByAnotherProcessCannotBeOpenedCreatedOrMoved) {
  std::string path = Make("held.dbf", "held");
  HoldingChild child({"hold", path, 0, 0, false});
  ASSERT_TRUE(child.ready());
  Capture();
  GSO_DiskFile f(path, true, true);
  f.Open();
  Report r = TakeReport();
  EXPECT_EQ(r.code, kErrSharingViolation);
  EXPECT_EQ(r.sub_code, kSubOpen);
  f.CreateFile();
  r = TakeReport();
  EXPECT_EQ(r.code, kErrSharingViolation);
  EXPECT_EQ(r.sub_code, kSubCreate);
  EXPECT_FALSE(f.Rename(dir_.File("away.dbf")));
  ASSERT_EQ(g_reports.size(), 2u);  // the open after the move is refused too
  EXPECT_EQ(g_reports[1].code, kErrSharingViolation);
  EXPECT_EQ(g_reports[1].sub_code, kSubRename);
  g_reports.clear();
  EXPECT_EQ(Read(path), "held");
  EXPECT_EQ(child.Release(), 0);
  f.Open();
  EXPECT_TRUE(g_reports.empty());
}

// ---------------------------------------------------------------------------
// Failing system calls

struct FaultCase {
  os::Call call;
  int32_t code;
  int32_t sub_code;
};

TEST_F(DiskFileTest, FailingSystemCallsAreReportedWithTheirPlace) {
  std::string path = Make("fault.dbf", "0123456789");
  GSO_DiskFile f(path, true, false);
  f.Open();
  os::SetFaultHook(&FaultHook);
  g_fault_path = f.RealPath();
  Capture();
  const int32_t eio = os::MapErrno(EIO), enospc = os::MapErrno(ENOSPC);
  EXPECT_EQ(eio, kErrDiskRead);
  EXPECT_EQ(enospc, kErrDiskFull);
  char buf[4];

  g_fault_call = os::Call::Read;
  g_fault_code = eio;
  EXPECT_EQ(f.ReadAt(0, buf, 4), 0);
  Report r = TakeReport();
  EXPECT_EQ(r.code, eio);
  EXPECT_EQ(r.sub_code, kSubReadAt);
  EXPECT_EQ(r.info, f.RealPath());
  EXPECT_EQ(f.LastError(), eio);  // not turned into a short read
  EXPECT_EQ(LastOsError(), eio);

  g_fault_call = os::Call::Write;
  g_fault_code = enospc;
  f.WriteAt(0, "ab", 2);
  r = TakeReport();
  EXPECT_EQ(r.code, enospc);
  EXPECT_EQ(r.sub_code, kSubWriteAt);
  EXPECT_FALSE(f.Dirty());

  g_fault_call = os::Call::Flush;
  g_fault_code = eio;
  f.Flush();
  r = TakeReport();
  EXPECT_EQ(r.code, eio);
  EXPECT_EQ(r.sub_code, kSubFlush);

  const FaultCase more[] = {
      {os::Call::Size, eio, kSubFileSize},
      {os::Call::Truncate, enospc, kSubTruncate},
  };
  for (const FaultCase& c : more) {
    g_fault_call = c.call;
    g_fault_code = c.code;
    if (c.call == os::Call::Size)
      f.FileSize();
    else
      f.Truncate(3);
    r = TakeReport();
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.sub_code, c.sub_code);
  }

  // The object stays usable once the system behaves again.
  os::SetFaultHook(nullptr);
  EXPECT_EQ(f.ReadAt(0, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  f.Close();

  os::SetFaultHook(&FaultHook);
  g_fault_call = os::Call::Open;
  g_fault_code = kErrTooManyOpenFiles;
  f.Open();
  r = TakeReport();
  EXPECT_EQ(r.code, kErrTooManyOpenFiles);
  EXPECT_EQ(r.sub_code, kSubOpen);
  EXPECT_TRUE(f.Closed());

  g_fault_call = os::Call::Create;
  g_fault_code = kErrAccessDenied;
  f.CreateFile();
  r = TakeReport();
  EXPECT_EQ(r.sub_code, kSubCreate);
  EXPECT_EQ(Read(path), "0123456789");

  g_fault_call = os::Call::Rename;
  g_fault_code = kErrAccessDenied;
  EXPECT_FALSE(f.Rename(dir_.File("nowhere.dbf")));
  r = TakeReport();
  EXPECT_EQ(r.sub_code, kSubRename);
  EXPECT_FALSE(f.Closed());
}

TEST_F(DiskFileTest, FailuresRaiseMessagesOfTheDefaultRoutine) {
  std::string path = Make("msg.dbf", "0123456789");
  GSO_DiskFile f(path, true, false);
  f.Open();
  os::SetFaultHook(&FaultHook);
  g_fault_path = f.RealPath();
  char buf[4];
  g_fault_call = os::Call::Read;
  g_fault_code = os::MapErrno(EIO);
  try {
    f.ReadAt(0, buf, 4);
    FAIL();
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Message(), "Disk read error - " + f.RealPath());
  }
  g_fault_call = os::Call::Write;
  g_fault_code = os::MapErrno(ENOSPC);
  try {
    f.WriteAt(0, "x", 1);
    FAIL();
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Message(), "Cannot write, the disk is full - " + f.RealPath() + " (while writing)");
  }
  g_fault_call = os::Call::Flush;
  g_fault_code = os::MapErrno(EIO);
  EXPECT_THROW(f.Flush(), EDevazozError);
  os::SetFaultHook(nullptr);
}

TEST_F(DiskFileTest, LockCallsThatFailLeaveTheirCode) {
  std::string path = Make("lf.dbf", "lf");
  GSO_DiskFile f(path, true, true);
  f.Open();
  os::SetFaultHook(&FaultHook);
  g_fault_path = f.RealPath();
  g_fault_call = os::Call::Lock;
  g_fault_code = kErrGeneralFailure;
  Capture();
  EXPECT_FALSE(f.LockRegion(0, 1));
  EXPECT_EQ(f.LastError(), kErrGeneralFailure);
  EXPECT_EQ(f.LockCount(), 0);
  EXPECT_TRUE(g_reports.empty());  // locks never report
  g_fault_call = os::Call::Unlock;
  ASSERT_TRUE(f.LockRegion(0, 1));
  EXPECT_FALSE(f.UnlockRegion());
  EXPECT_EQ(f.LockCount(), 1);  // still held
  os::SetFaultHook(nullptr);
  EXPECT_TRUE(f.UnlockRegion());
  EXPECT_EQ(f.LockCount(), 0);
}

TEST(OsErrors, ErrnoValuesMapToEngineNumbers) {
  EXPECT_EQ(os::MapErrno(0), 0);
  EXPECT_EQ(os::MapErrno(ENOENT), kErrFileNotFound);
  EXPECT_EQ(os::MapErrno(ENOTDIR), kErrPathNotFound);
  EXPECT_EQ(os::MapErrno(EMFILE), kErrTooManyOpenFiles);
  EXPECT_EQ(os::MapErrno(EACCES), kErrAccessDenied);
  EXPECT_EQ(os::MapErrno(EROFS), kErrAccessDenied);
  EXPECT_EQ(os::MapErrno(EAGAIN), kErrLockViolation);
  EXPECT_EQ(os::MapErrno(ENOSPC), kErrDiskFull);
  EXPECT_EQ(os::MapErrno(EEXIST), kErrAlreadyExists);
  EXPECT_EQ(os::MapErrno(EIO), kErrDiskRead);
  EXPECT_EQ(os::MapErrno(ELOOP), kErrGeneralFailure);
}

// ---------------------------------------------------------------------------
// Virtual operations

// Records which operations were reached through the virtual slots.
class Recorder : public GSO_DiskFile {
 public:
  using GSO_DiskFile::GSO_DiskFile;
  ~Recorder() override { GSO_DiskFile::Close(); }
  std::vector<std::string> log;

  bool Close() override { return Note("Close"), GSO_DiskFile::Close(); }
  void ReportError(int32_t, int32_t sub_code, const char*) override {
    Note("ReportError " + std::to_string(sub_code));
  }
  int64_t FileSize() override { return Note("FileSize"), GSO_DiskFile::FileSize(); }
  void Flush() override { Note("Flush"), GSO_DiskFile::Flush(); }
  bool LockWholeFile() override { return Note("LockWholeFile"), GSO_DiskFile::LockWholeFile(); }
  bool LockRegion(uint32_t o, uint32_t l) override {
    return Note("LockRegion"), GSO_DiskFile::LockRegion(o, l);
  }
  int32_t ReadAt(int64_t o, void* b, int32_t c) override {
    return Note("ReadAt"), GSO_DiskFile::ReadAt(o, b, c);
  }
  bool Rename(const std::string& n) override { return Note("Rename"), GSO_DiskFile::Rename(n); }
  void Open() override { Note("Open"), GSO_DiskFile::Open(); }
  void CreateFile() override { Note("CreateFile"), GSO_DiskFile::CreateFile(); }
  void StatusUpdate(int32_t a, int32_t b, int32_t c) override {
    Note("StatusUpdate"), GSO_DiskFile::StatusUpdate(a, b, c);
  }
  void Truncate(int64_t o) override { Note("Truncate"), GSO_DiskFile::Truncate(o); }
  bool UnlockRegion() override { return Note("UnlockRegion"), GSO_DiskFile::UnlockRegion(); }
  void WriteAt(int64_t o, const void* b, int32_t c) override {
    Note("WriteAt"), GSO_DiskFile::WriteAt(o, b, c);
  }

 private:
  void Note(const std::string& what) { log.push_back(what); }
};

using Log = std::vector<std::string>;

TEST_F(DiskFileTest, OperationsCallEachOtherThroughTheirSlots) {
  Recorder f(dir_.File("v.dbf"), true, true);
  f.CreateFile();
  EXPECT_EQ(f.log, (Log{"CreateFile", "Open"}));
  f.log.clear();
  ASSERT_TRUE(f.LockWholeFile());
  EXPECT_EQ(f.log, (Log{"LockWholeFile", "LockRegion"}));
  f.log.clear();
  f.Close();
  EXPECT_EQ(f.log, (Log{"Close", "UnlockRegion"}));
  f.log.clear();
  EXPECT_TRUE(f.Rename(dir_.File("w.dbf")));
  EXPECT_EQ(f.log, (Log{"Rename", "Close", "Open"}));
  f.log.clear();
  f.StatusUpdate(1, 2, 3);
  f.Truncate(0);  // shared without the whole-file lock: reported, through the slot
  EXPECT_EQ(f.log, (Log{"StatusUpdate", "Truncate", "ReportError 1109"}));
  f.log.clear();
  char c;
  f.ReadAt(0, &c, 1);  // a short read reports nothing
  f.WriteAt(-1, &c, 1);
  EXPECT_EQ(f.log, (Log{"ReadAt", "WriteAt", "ReportError 1102"}));
}

#if defined(__x86_64__) && defined(__GNUC__)
// In the Itanium ABI a pointer to a virtual member holds 1 + its byte offset in the
// table, so the slots can be checked in order.
template <typename F>
ptrdiff_t SlotOffset(F member) {
  ptrdiff_t words[2];
  static_assert(sizeof(member) == sizeof(words));
  std::memcpy(words, &member, sizeof words);
  return words[0] - 1;
}

TEST(DiskFileSlots, FourteenOperationsInFixedOrder) {
  const ptrdiff_t slots[14] = {
      SlotOffset(&GSO_DiskFile::Close),         SlotOffset(&GSO_DiskFile::ReportError),
      SlotOffset(&GSO_DiskFile::FileSize),      SlotOffset(&GSO_DiskFile::Flush),
      SlotOffset(&GSO_DiskFile::LockWholeFile), SlotOffset(&GSO_DiskFile::LockRegion),
      SlotOffset(&GSO_DiskFile::ReadAt),        SlotOffset(&GSO_DiskFile::Rename),
      SlotOffset(&GSO_DiskFile::Open),          SlotOffset(&GSO_DiskFile::CreateFile),
      SlotOffset(&GSO_DiskFile::StatusUpdate),  SlotOffset(&GSO_DiskFile::Truncate),
      SlotOffset(&GSO_DiskFile::UnlockRegion),  SlotOffset(&GSO_DiskFile::WriteAt),
  };
  // The two destructor entries of the root object come first.
  EXPECT_EQ(slots[0], 2 * ptrdiff_t(sizeof(void*)));
  for (int i = 1; i < 14; ++i) EXPECT_EQ(slots[i], slots[i - 1] + ptrdiff_t(sizeof(void*))) << i;
}
#endif

// ---------------------------------------------------------------------------
// Threads

TEST_F(DiskFileTest, ThreadsSharingAHandleKeepTheirTransfersApart) {
  std::string path = Make("th.dbf", std::string(2 * 64, ' '));
  GSO_DiskFile keeper(path, true, false);
  keeper.Open();
  auto work = [&](int id) {
    GSO_DiskFile f(path, true, false);
    for (int i = 0; i < 100; ++i) {
      f.Open();
      std::string block(64, char('a' + (i + id) % 26));
      f.WriteAt(id * 64, block.data(), 64);
      char back[64];
      if (f.ReadAt(id * 64, back, 64) != 64 || std::string(back, 64) != block) {
        ADD_FAILURE() << "thread " << id << " round " << i;
        break;
      }
      f.Close();
    }
  };
  std::thread t1(work, 0), t2(work, 1);
  t1.join();
  t2.join();
  char all[128];
  EXPECT_EQ(keeper.ReadAt(0, all, 128), 128);
  EXPECT_EQ(std::string(all, 64), std::string(64, char('a' + 99 % 26)));
  EXPECT_EQ(std::string(all + 64, 64), std::string(64, char('a' + 100 % 26)));
}

}  // namespace
}  // namespace devazoz
