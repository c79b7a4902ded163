// MDX index speed on a 1,000,000-record table shaped like the title table
// (record length 177, pseudo-random 40-byte titles): building the TITLE tag and
// a numeric tag, 100,000 random exact seeks, a walk of every key in tag order,
// and 100,000 appends with the two catalog tags (TITLE, CATEGORY) kept current.
// Each is measured five times and the median is the figure: builds write a new
// file each time, appends work on fresh copies of the table and index, seeks
// and the walk use fresh objects. The index file size is a counter.
//   build-rel/bench/bench_mdx
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
#include "engine/index/gs6_mdx.h"
#include "engine/table/gs6_dbfld.h"

namespace {
using namespace devazoz;
using namespace bench_index;

constexpr int kRecords = 1000000;

LetterTitles g_random;
std::vector<std::string> g_titles;

struct Files {
  std::string table = BenchPath("bench_mdx.dbf");
  std::string index = BenchPath("bench_mdx.mdx");
  std::string numeric = BenchPath("bench_num.mdx");
  Files() { WriteLetterTitleTable(table, kRecords, g_random, &g_titles); }
  ~Files() {
    std::remove(table.c_str());
    std::remove(index.c_str());
    std::remove(numeric.c_str());
  }
};

Files& Shared() {
  static Files files;
  return files;
}

// The TITLE index the seeks, the walk and the appends work on: the build
// benchmark leaves it; run on their own (with a filter) they build it untimed.
Files& WithTitleIndex() {
  Files& f = Shared();
  if (SizeOf(f.index) <= 0) {
    GSO_dBaseFld table(f.table, false, true);
    GSobjMDXFile mdx(&table, f.index, true, true, true, false);
    mdx.AddTag("TITLE", "TITLE", false, true, "");
  }
  return f;
}

void BM_BuildTitleTag(benchmark::State& state) {
  Files& f = Shared();
  double system = 0;
  for (auto _ : state) {
    std::remove(f.index.c_str());
    SystemTime clock;
    GSO_dBaseFld table(f.table, false, true);
    GSobjMDXFile mdx(&table, f.index, true, true, true, false);
    if (!mdx.AddTag("TITLE", "TITLE", false, true, "")) state.SkipWithError("no tag");
    system += clock.Seconds();
  }
  state.counters["index_bytes"] = double(SizeOf(f.index));
  state.counters["system_s"] = system;
}
BENCHMARK(BM_BuildTitleTag)->Apply(FiveRuns);

void BM_BuildNumericTag(benchmark::State& state) {
  Files& f = Shared();
  for (auto _ : state) {
    std::remove(f.numeric.c_str());
    GSO_dBaseFld table(f.table, false, true);
    GSobjMDXFile mdx(&table, f.numeric, true, true, true, false);
    if (!mdx.AddTag("PRICE", "PRICE", false, true, "")) state.SkipWithError("no tag");
  }
  state.counters["index_bytes"] = double(SizeOf(f.numeric));
}
BENCHMARK(BM_BuildNumericTag)->Apply(FiveRuns);

void BM_RandomExactSeeks(benchmark::State& state) {
  Files& f = WithTitleIndex();
  GSO_dBaseFld table(f.table, false, false);
  GSobjMDXFile mdx(&table, f.index, false, false, false, false);
  TimeRandomSeeks(state, mdx.FindTag("TITLE"), g_titles, [] { return g_random.Next(); });
  state.counters["index_bytes"] = double(SizeOf(f.index));
}
BENCHMARK(BM_RandomExactSeeks)->Apply(FiveRuns);

void BM_WalkInTagOrder(benchmark::State& state) {
  Files& f = WithTitleIndex();
  GSO_dBaseFld table(f.table, false, false);
  GSobjMDXFile mdx(&table, f.index, false, false, false, false);
  TimeWalk(state, mdx.FindTag("TITLE"), kRecords);
}
BENCHMARK(BM_WalkInTagOrder)->Apply(FiveRuns);

void BM_AppendsWithTwoTags(benchmark::State& state) {
  Files& f = WithTitleIndex();
  // Copies of the table and its TITLE index, with CATEGORY added: untimed.
  std::string table_copy = BenchPath("bench_mdx_appends.dbf");
  std::string index_copy = BenchPath("bench_mdx_appends.mdx");
  std::filesystem::copy_file(f.table, table_copy,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(f.index, index_copy,
                             std::filesystem::copy_options::overwrite_existing);
  {
    GSO_dBaseFld table(table_copy, false, true);
    GSobjMDXFile mdx(&table, index_copy, false, false, true, false);
    mdx.AddTag("CATEGORY", "CATEGORY", false, true, "");
  }
  std::vector<std::string> titles;
  for (int i = 0; i < 100000; ++i) titles.push_back(g_random.Title());
  {
    AppendingTable table(table_copy, false, true);
    GSobjMDXFile mdx(&table, index_copy, false, false, true, false);
    table.indexes = {&mdx};
    for (auto _ : state) {
      SystemTime clock;
      for (int i = 0; i < 100000; ++i) {
        table.BlankRecord();
        table.PutStr(1, titles[size_t(i)]);
        table.PutStr(2, i % 2 ? "Racing" : "Puzzle");
        table.AppendRecord();
      }
      // What the index holds back reaches the disk inside the measurement.
      mdx.Disk()->WritePending();
      state.counters["system_s"] = clock.Seconds();
    }
  }
  state.counters["index_bytes"] = double(SizeOf(index_copy));
  std::remove(table_copy.c_str());
  std::remove(index_copy.c_str());
}
BENCHMARK(BM_AppendsWithTwoTags)->Apply(FiveRuns);

}  // namespace

BENCHMARK_MAIN();
