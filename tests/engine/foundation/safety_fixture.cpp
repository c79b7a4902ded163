#include "tests/engine/foundation/safety_fixture.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_os.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxcheck.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace qvx_test {

using namespace devazoz;
namespace fs = std::filesystem;

const IndexKind kCdx{".CDX", {{"TITLE", "TITLE"}, {"SEQ", "STR(SEQ,6)"}, {"BACK", "SEQ"}}};
const IndexKind kMdx{".MDX", {{"TITLE", "TITLE"}, {"SEQ", "SEQ"}}};
const IndexKind kNtx{".NTX", {{"P", "TITLE"}}};
const IndexKind kNdx{".NDX", {{"P", "SEQ"}}};

std::vector<IndexKind> AllIndexKinds() { return {kCdx, kMdx, kNtx, kNdx}; }

std::string KindName(const IndexKind& kind) { return std::string(kind.ext + 1); }

std::string TitleOf(int i) { return "T" + std::to_string((i * 7919) % 100003); }

std::string NoteOf(int i) {
  return "note of record " + std::to_string(i) + std::string(size_t(i % 700), 'x');
}

std::unique_ptr<GSobjIndexFile> MakeIndexFile(GSO_dBaseFld* table, const std::string& path,
                                              bool create) {
  std::string ext = path.substr(path.size() - 4);
  bool rw = table ? table->ReadWrite() : true;
  if (ext == ".MDX") return std::make_unique<GSobjMDXFile>(table, path, create, create, rw, false);
  if (ext == ".NTX") return std::make_unique<GSobjNTXFile>(table, path, create, create, rw, false);
  if (ext == ".NDX") return std::make_unique<GSobjNDXFile>(table, path, create, create, rw, false);
  return std::make_unique<GSobjCDXFile>(table, path, create, create, rw, false);
}

void WriteTable(const std::string& dir, int count, const std::vector<IndexKind>& kinds,
                bool deleted_too) {
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
    f.AddRecord({TitleOf(i), seq, block}, deleted_too && i % 3 == 1);
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

std::vector<std::string> CheckIndex(GSobjIndexFile& file) {
  if (auto* f = dynamic_cast<GSobjMDXFile*>(&file)) return CheckMdxFile(*f);
  if (auto* f = dynamic_cast<GSobjNTXFile*>(&file)) return CheckNtxFile(*f);
  if (auto* f = dynamic_cast<GSobjNDXFile*>(&file)) return CheckNdxFile(*f);
  return CheckCdxFile(*dynamic_cast<GSobjCDXFile*>(&file));
}

std::vector<std::string> CheckIndexIn(const std::string& dir, const IndexKind& kind) {
  GSO_dBaseFld table(dir + "/P.DBF", false, false);
  auto file = MakeIndexFile(&table, dir + "/P" + kind.ext, false);
  if (!file->Valid()) return {"cannot be opened: " + file->ErrorText()};
  return CheckIndex(*file);
}

std::vector<int32_t> FirstTagWalk(const std::string& dir, const IndexKind& kind) {
  GSO_dBHandler h(dir + "/P.DBF", false, false);
  h.OpenIndexFile(dir + "/P" + kind.ext);
  std::string tag = kind.tags[0].first;
  h.SelectTag(&tag, false);
  std::vector<int32_t> seen;
  for (h.GetRecord(kMoveFirst); !h.Eof() && !h.Bof(); h.GetRecord(kMoveNext))
    seen.push_back(h.RecordNumber());
  return seen;
}

namespace {
long g_calls = 0;
long g_kill_at = 0;

int32_t CountCalls(os::Call, const std::string&) {
  ++g_calls;
  return 0;
}

int32_t KillAtCall(os::Call, const std::string&) {
  if (++g_calls == g_kill_at) raise(SIGKILL);
  return 0;
}
}  // namespace

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

long CountedCalls(const std::string& pristine,
                  const std::function<void(const std::string&)>& action) {
  TempDir work;
  CopyDir(pristine, work.path());
  g_calls = 0;
  os::SetFaultHook(&CountCalls);
  try {
    action(work.path());
  } catch (...) {
    os::SetFaultHook(nullptr);
    throw;
  }
  os::SetFaultHook(nullptr);
  return g_calls;
}

std::vector<long> KillPoints(long calls, long most) {
  std::vector<long> out;
  long step = std::max<long>(1, (calls + most - 1) / most);
  for (long k = 1; k <= calls; k += step) out.push_back(k);
  if (out.empty() || out.back() != calls) out.push_back(calls);
  return out;
}

}  // namespace qvx_test
