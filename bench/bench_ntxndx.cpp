// NTX and NDX index speed on a 1,000,000-record table shaped like the title
// table (record length 177, pseudo-random 40-byte titles), per format: building
// the TITLE tag, 100,000 random exact seeks, a walk of every key in tag order,
// and 100,000 appends with two single-tag files (TITLE, CATEGORY) kept
// current. Each is measured five times and the median is the figure: builds
// write a new file each time, appends work on fresh copies of the table and
// index files, seeks and the walk use fresh objects. The index file size is a
// counter.
//   build-rel/bench/bench_ntxndx
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "engine/table/gs6_dbfld.h"

namespace {
using namespace devazoz;

constexpr int kRecords = 1000000;

uint32_t g_random = 2463534242u;
uint32_t NextRandom() {
  g_random ^= g_random << 13;
  g_random ^= g_random >> 17;
  g_random ^= g_random << 5;
  return g_random;
}

std::string RandomTitle() {
  std::string t(40, ' ');
  for (int i = 0; i < 40; ++i) t[size_t(i)] = i % 7 == 6 ? ' ' : char('A' + NextRandom() % 26);
  return t;
}

std::vector<std::string> g_titles;

void WriteTable(const std::string& path, int count) {
  const char* cats[] = {"Action", "Adventure", "Puzzle", "Racing", "Sports", "Shooter"};
  g_titles.reserve(size_t(count));
  WriteBenchTable(
      path, kTitleTableFields, kTitleTableFieldCount, count, [&](int r, std::string& record) {
        std::string title = RandomTitle();
        g_titles.push_back(title);
        std::memcpy(&record[1], title.data(), 40);
        std::string cat = cats[r % 6];
        cat.resize(30, ' ');
        std::memcpy(&record[41], cat.data(), 30);
        char price[16];
        std::snprintf(price, sizeof price, "%12.2f", double(NextRandom() % 1000000) / 100.0);
        std::memcpy(&record[1 + 40 + 30 * 3 + 5 + 5 + 1 + 1 + 10 + 8], price, 12);
      });
}

struct Files {
  std::string table = BenchPath("bench_ntxndx.dbf");
  Files() { WriteTable(table, kRecords); }
  ~Files() {
    std::remove(table.c_str());
    for (const char* e : {".NTX", ".NDX"}) {
      std::remove(Index(e).c_str());
      std::remove(Category(e).c_str());
    }
  }
  static std::string Index(const char* extension) { return BenchPath("TITLE") + extension; }
  static std::string Category(const char* extension) { return BenchPath("CATEGORY") + extension; }
};

Files& Shared() {
  static Files files;
  return files;
}

template <typename File>
const char* Extension() {
  return std::is_same_v<File, GSobjNTXFile> ? ".NTX" : ".NDX";
}

// The TITLE index file the seeks, the walk and the appends work on: the build
// benchmark leaves it; run on their own (with a filter) they build it untimed.
template <typename File>
Files& WithTitleIndex() {
  Files& f = Shared();
  std::string path = Files::Index(Extension<File>());
  if (SizeOf(path) <= 0) {
    GSO_dBaseFld table(f.table, false, true);
    File file(&table, path, true, true, true, false);
    file.AddTag("TITLE", "TITLE", false, true, "");
  }
  return f;
}

template <typename File>
void BM_BuildTitleTag(benchmark::State& state) {
  Files& f = Shared();
  std::string path = Files::Index(Extension<File>());
  double system = 0;
  for (auto _ : state) {
    std::remove(path.c_str());
    SystemTime clock;
    GSO_dBaseFld table(f.table, false, true);
    File file(&table, path, true, true, true, false);
    if (!file.AddTag("TITLE", "TITLE", false, true, "")) state.SkipWithError("no tag");
    system += clock.Seconds();
  }
  state.counters["index_bytes"] = double(SizeOf(path));
  state.counters["system_s"] = system;
}
BENCHMARK_TEMPLATE(BM_BuildTitleTag, GSobjNTXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_BuildTitleTag, GSobjNDXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

template <typename File>
void BM_RandomExactSeeks(benchmark::State& state) {
  Files& f = WithTitleIndex<File>();
  std::string path = Files::Index(Extension<File>());
  GSO_dBaseFld table(f.table, false, false);
  File file(&table, path, false, false, false, false);
  GSobjIndexTag* tag = file.TagAt(0);
  std::vector<std::unique_ptr<GSobjIndexKeyData>> keys;
  for (int i = 0; i < 100000; ++i) {
    auto k = std::make_unique<GSobjIndexKeyData>();
    k->Value.SetText(g_titles[NextRandom() % g_titles.size()]);
    k->RecordNumber = -1;
    keys.push_back(std::move(k));
  }
  tag->LoadTree(0);
  int64_t found = 0;
  for (auto _ : state)
    for (const auto& k : keys) found += tag->Find(*k) != 0;
  tag->ReleaseTree();
  if (found != 100000) state.SkipWithError("a seek failed");
}
BENCHMARK_TEMPLATE(BM_RandomExactSeeks, GSobjNTXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_RandomExactSeeks, GSobjNDXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

template <typename File>
void BM_WalkInTagOrder(benchmark::State& state) {
  Files& f = WithTitleIndex<File>();
  GSO_dBaseFld table(f.table, false, false);
  File file(&table, Files::Index(Extension<File>()), false, false, false, false);
  GSobjIndexTag* tag = file.TagAt(0);
  tag->LoadTree(0);
  int64_t n = 0;
  for (auto _ : state)
    for (int32_t r = tag->Navigate(kNavFirst); r != 0; r = tag->Navigate(kNavNext)) ++n;
  tag->ReleaseTree();
  if (n != kRecords) state.SkipWithError("the walk missed keys");
}
BENCHMARK_TEMPLATE(BM_WalkInTagOrder, GSobjNTXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_WalkInTagOrder, GSobjNDXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The table handler's work after each append: UpdateKeys on each open file.
class AppendingTable : public GSO_dBaseFld {
 public:
  using GSO_dBaseFld::GSO_dBaseFld;
  void Notify(uint8_t code, int32_t value) override {
    GSO_dBaseFld::Notify(code, value);
    if (code == kEventAfterWrite)
      for (GSobjIndexFile* index : indexes) index->UpdateKeys(RecordNumber(), value == 0);
  }
  std::vector<GSobjIndexFile*> indexes;
};

template <typename File>
void BM_AppendsWithTwoFiles(benchmark::State& state) {
  Files& f = WithTitleIndex<File>();
  const char* e = Extension<File>();
  std::string table_copy = BenchPath("bench_appends.dbf");
  std::string title = BenchPath("ATITLE") + e, category = BenchPath("ACATEGORY") + e;
  std::filesystem::copy_file(f.table, table_copy,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(Files::Index(e), title,
                             std::filesystem::copy_options::overwrite_existing);
  {
    GSO_dBaseFld table(table_copy, false, true);
    File file(&table, category, true, true, true, false);
    file.AddTag("CATEGORY", "CATEGORY", false, true, "");
  }
  std::vector<std::string> titles;
  for (int i = 0; i < 100000; ++i) titles.push_back(RandomTitle());
  {
    AppendingTable table(table_copy, false, true);
    File by_title(&table, title, false, false, true, false);
    File by_category(&table, category, false, false, true, false);
    table.indexes = {&by_title, &by_category};
    for (auto _ : state) {
      SystemTime clock;
      for (int i = 0; i < 100000; ++i) {
        table.BlankRecord();
        table.PutStr(1, titles[size_t(i)]);
        table.PutStr(2, i % 2 ? "Racing" : "Puzzle");
        table.AppendRecord();
      }
      // What the index files hold back reaches the disk inside the measurement.
      by_title.Disk()->WritePending();
      by_category.Disk()->WritePending();
      state.counters["system_s"] = clock.Seconds();
    }
  }
  state.counters["title_bytes"] = double(SizeOf(title));
  state.counters["category_bytes"] = double(SizeOf(category));
  std::remove(table_copy.c_str());
  std::remove(title.c_str());
  std::remove(category.c_str());
}
BENCHMARK_TEMPLATE(BM_AppendsWithTwoFiles, GSobjNTXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_AppendsWithTwoFiles, GSobjNDXFile)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
