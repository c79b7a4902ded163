// The real program, started as a child process offscreen on damaged catalogs: a
// table cut short at ten lengths, random bytes in the records, each index file
// missing, the memo file missing, an index made for a table of another size. On
// each it must keep running with its main window shown (the window log says what
// showed), and it must write nothing while it waits for the user: every file of
// the folder keeps its bytes and no file is added.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/app_test_support.h"
#include "tests/support/child_process.h"

namespace qvx_test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& dir) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename() != "windows.log" && entry.path().filename() != "qvxcat.err")
      files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
  return files;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

struct TableShape {
  size_t header, record, count;
};
TableShape ShapeOf(const std::string& path) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  return {Le16(b, 8), Le16(b, 10), Le32(b, 4)};
}

void CutTo(const std::string& path, size_t length) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  b.resize(std::min(length, b.size()));
  WriteFileBytes(path, b);
}

// One damaged catalog: a name and what is done to a sample catalog of 48 titles
// (`other` holds a sample of 200 titles, for files of another size).
struct Damage {
  std::string name;
  std::function<void(const std::string& dir, const std::string& other)> apply;
};

std::vector<Damage> Damages() {
  std::vector<Damage> list;
  // Cut inside the header, at its end, inside and between records, one byte short.
  const std::vector<std::function<size_t(const TableShape&)>> cuts = {
      [](const TableShape&) { return size_t(10); },
      [](const TableShape&) { return size_t(32); },
      [](const TableShape& s) { return s.header - 1; },
      [](const TableShape& s) { return s.header; },
      [](const TableShape& s) { return s.header + s.record / 2; },
      [](const TableShape& s) { return s.header + 30 * s.record; },
      [](const TableShape& s) { return s.header + 30 * s.record + 17; },
      [](const TableShape& s) { return s.header + (s.count - 1) * s.record; },
      [](const TableShape& s) { return s.header + s.count * s.record - 1; },
      [](const TableShape& s) { return s.header + s.count * s.record; },  // no end byte
  };
  for (size_t i = 0; i < cuts.size(); ++i) {
    list.push_back(
        {"cut" + std::to_string(i), [cut = cuts[i]](const std::string& dir, const std::string&) {
           std::string table = dir + "/QVXCAT.DBF";
           CutTo(table, cut(ShapeOf(table)));
         }});
  }
  list.push_back({"random-record-bytes", [](const std::string& dir, const std::string&) {
                    std::string table = dir + "/QVXCAT.DBF";
                    TableShape s = ShapeOf(table);
                    std::vector<uint8_t> b = ReadFileBytes(table);
                    std::mt19937 random(22);
                    for (size_t at = s.header; at < s.header + s.count * s.record; ++at)
                      if (random() % 4 == 0) b[at] = uint8_t(random());
                    WriteFileBytes(table, b);
                  }});
  for (const char* index : {"QVXCAT.CDX", "CATEGORY.CDX", "DEVDIST.CDX"}) {
    list.push_back(
        {std::string("missing-") + index,
         [index](const std::string& dir, const std::string&) { fs::remove(dir + "/" + index); }});
  }
  list.push_back({"missing-memo", [](const std::string& dir, const std::string&) {
                    fs::remove(dir + "/QVXCAT.FPT");
                  }});
  list.push_back({"index-of-another-size", [](const std::string& dir, const std::string& other) {
                    fs::copy_file(other + "/QVXCAT.CDX", dir + "/QVXCAT.CDX",
                                  fs::copy_options::overwrite_existing);
                  }});
  return list;
}

struct ProgramRun {
  Damage damage;
  std::unique_ptr<TempDir> dir;
  std::map<std::string, std::vector<uint8_t>> before;
  ChildProcess program;
};

TEST(DamagedCatalogs, TheProgramKeepsRunningWithItsWindowAndWritesNothing) {
  TempDir other;
  MakeSampleCatalog(other.path(), 200);
  std::vector<std::unique_ptr<ProgramRun>> runs;
  for (const Damage& damage : Damages()) {
    auto run = std::make_unique<ProgramRun>();
    run->damage = damage;
    run->dir = std::make_unique<TempDir>();
    MakeSampleCatalog(run->dir->path());
    damage.apply(run->dir->path(), other.path());
    run->before = Snapshot(run->dir->path());
    runs.push_back(std::move(run));
  }
  // All at once: each waits for its user once its window is up.
  for (auto& run : runs) {
    const std::string& dir = run->dir->path();
    ASSERT_TRUE(run->program.Start(
        {QVX_QVXCAT_APP},
        {{"QT_QPA_PLATFORM", "offscreen"}, {"QVX_WINDOW_LOG", dir + "/windows.log"}}, dir,
        dir + "/qvxcat.err"));
  }
  for (auto& run : runs) {
    const std::string log_path = run->dir->File("windows.log");
    bool shown = false;
    for (auto end = Clock::now() + milliseconds(60000); !shown && Clock::now() < end;) {
      shown = fs::exists(log_path) &&
              ReadFileText(log_path).find("show\tMainForm\t") != std::string::npos;
      if (!shown) std::this_thread::sleep_for(milliseconds(50));
    }
    EXPECT_TRUE(shown) << run->damage.name << ": no main window";
  }
  // A while longer, for whatever the start does after the window shows.
  std::this_thread::sleep_for(milliseconds(1500));
  for (auto& run : runs) {
    const std::string& name = run->damage.name;
    EXPECT_TRUE(run->program.Running()) << name << ": the program ended\n"
                                        << ReadFileText(run->dir->File("qvxcat.err"));
    run->program.Kill(SIGKILL);
    EXPECT_EQ(Snapshot(run->dir->path()), run->before) << name << ": files changed";
    std::string log = ReadFileText(run->dir->File("windows.log"));
    EXPECT_EQ(log.find("show\tMainForm\t"), 0u) << name << ": the main window comes first\n" << log;
  }
}

}  // namespace
}  // namespace qvx_test
