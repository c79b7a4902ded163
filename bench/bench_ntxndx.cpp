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

#include "bench/bench_index.h"
#include "bench/bench_table.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "engine/table/gs6_dbfld.h"

namespace {
using namespace devazoz;
using namespace bench_index;

constexpr int kRecords = 1000000;

LetterTitles g_random;
std::vector<std::string> g_titles;

struct Files {
  std::string table = BenchPath("bench_ntxndx.dbf");
  Files() { WriteLetterTitleTable(table, kRecords, g_random, &g_titles); }
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
BENCHMARK_TEMPLATE(BM_BuildTitleTag, GSobjNTXFile)->Apply(FiveRuns);
BENCHMARK_TEMPLATE(BM_BuildTitleTag, GSobjNDXFile)->Apply(FiveRuns);

template <typename File>
void BM_RandomExactSeeks(benchmark::State& state) {
  Files& f = WithTitleIndex<File>();
  GSO_dBaseFld table(f.table, false, false);
  File file(&table, Files::Index(Extension<File>()), false, false, false, false);
  TimeRandomSeeks(state, file.TagAt(0), g_titles, [] { return g_random.Next(); });
}
BENCHMARK_TEMPLATE(BM_RandomExactSeeks, GSobjNTXFile)->Apply(FiveRuns);
BENCHMARK_TEMPLATE(BM_RandomExactSeeks, GSobjNDXFile)->Apply(FiveRuns);

template <typename File>
void BM_WalkInTagOrder(benchmark::State& state) {
  Files& f = WithTitleIndex<File>();
  GSO_dBaseFld table(f.table, false, false);
  File file(&table, Files::Index(Extension<File>()), false, false, false, false);
  TimeWalk(state, file.TagAt(0), kRecords);
}
BENCHMARK_TEMPLATE(BM_WalkInTagOrder, GSobjNTXFile)->Apply(FiveRuns);
BENCHMARK_TEMPLATE(BM_WalkInTagOrder, GSobjNDXFile)->Apply(FiveRuns);

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
  for (int i = 0; i < 100000; ++i) titles.push_back(g_random.Title());
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
BENCHMARK_TEMPLATE(BM_AppendsWithTwoFiles, GSobjNTXFile)->Apply(FiveRuns);
BENCHMARK_TEMPLATE(BM_AppendsWithTwoFiles, GSobjNDXFile)->Apply(FiveRuns);

}  // namespace

BENCHMARK_MAIN();
