// CDX index speed on a 1,000,000-record table shaped like the title table
// (record length 177, title-shaped 40-byte titles and 30-byte categories, see
// bench_titles.h): building the TITLE tag, the CATEGORY tag, a numeric tag and
// both catalog tags into one file, rebuilding that file (reindex), 100,000 random
// exact seeks, a walk of every key in tag order, 100,000 appends with the two
// catalog tags kept current and a rebuild after them. Builds, rebuilds, seeks
// and the walk run five times each (median and mean are reported); the appends
// once, as they change the files. The index file size after each is the counter
// index_bytes.
//
// Two more take the table handler's way, as the program does: the same seeks
// through FindKey, which reads each record found, and 100,000 appends through
// the handler with TITLE as the controlling tag (each on a fresh copy of the
// table and its index, five runs).
//   build-rel/bench/bench_cdx
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_index.h"
#include "bench/bench_table.h"
#include "bench/bench_titles.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/index/gs6_cdx.h"
#include "engine/table/gs6_dbfld.h"

namespace {
using namespace devazoz;
using namespace bench_index;

constexpr int kRecords = 1000000;

BenchTitles g_random;
uint32_t NextRandom() { return g_random.Next(); }
std::string RandomTitle() { return g_random.Title(); }

std::vector<std::string> g_titles;

void WriteTable(const std::string& path, int count) {
  g_titles.reserve(size_t(count));
  WriteBenchTable(
      path, kTitleTableFields, kTitleTableFieldCount, count, [&](int, std::string& record) {
        std::string title = RandomTitle();
        g_titles.push_back(title);
        std::memcpy(&record[1], title.data(), 40);
        std::string cat = g_random.Category();
        std::memcpy(&record[41], cat.data(), 30);
        char price[16];
        std::snprintf(price, sizeof price, "%12.2f", double(NextRandom() % 1000000) / 100.0);
        std::memcpy(&record[1 + 40 + 30 * 3 + 5 + 5 + 1 + 1 + 10 + 8], price, 12);
      });
}

struct Files {
  std::string table = BenchPath("bench_cdx.dbf");
  // The handler picks an index file's format by its extension.
  std::string index = BenchPath("bench_cdx") + ".cdx";
  std::string numeric = BenchPath("bench_num.cdx");
  std::string single = BenchPath("bench_one.cdx");
  Files() { WriteTable(table, kRecords); }
  ~Files() {
    std::remove(table.c_str());
    std::remove(index.c_str());
    std::remove(single.c_str());
    std::remove(numeric.c_str());
  }
};

Files& Shared() {
  static Files files;
  return files;
}

// Builds the given tags, one after the other, into a new index file at path.
void BuildTags(benchmark::State& state, const std::string& path,
               std::initializer_list<const char*> tags) {
  Files& f = Shared();
  for (auto _ : state) {
    std::remove(path.c_str());
    GSO_dBaseFld table(f.table, false, true);
    GSobjCDXFile cdx(&table, path, true, true, true, false);
    for (const char* tag : tags)
      if (!cdx.AddTag(tag, tag, false, true, "")) state.SkipWithError("no tag");
  }
  state.counters["index_bytes"] = double(SizeOf(path));
}

void BM_BuildTitleTag(benchmark::State& state) { BuildTags(state, Shared().single, {"TITLE"}); }
BENCHMARK(BM_BuildTitleTag)->Apply(FiveRuns);

void BM_BuildCategoryTag(benchmark::State& state) {
  BuildTags(state, Shared().single, {"CATEGORY"});
}
BENCHMARK(BM_BuildCategoryTag)->Apply(FiveRuns);

void BM_BuildNumericTag(benchmark::State& state) { BuildTags(state, Shared().numeric, {"PRICE"}); }
BENCHMARK(BM_BuildNumericTag)->Apply(FiveRuns);

// The catalog's index file: TITLE, then CATEGORY added to it.
void BM_BuildBothTags(benchmark::State& state) {
  BuildTags(state, Shared().index, {"TITLE", "CATEGORY"});
}
BENCHMARK(BM_BuildBothTags)->Apply(FiveRuns);

// The catalog's index file (TITLE and CATEGORY) that the rebuilds, seeks, the
// walk and the appends work on: the build benchmark leaves it; run on their own
// (with a filter) they build it untimed.
Files& WithCatalogIndex() {
  Files& f = Shared();
  if (SizeOf(f.index) <= 0) {
    GSO_dBaseFld table(f.table, false, true);
    GSobjCDXFile cdx(&table, f.index, true, true, true, false);
    for (const char* tag : {"TITLE", "CATEGORY"}) cdx.AddTag(tag, tag, false, true, "");
  }
  return f;
}

// Rebuilds every tag of the catalog's index file from the table (reindex).
void RebuildIndex(benchmark::State& state) {
  Files& f = WithCatalogIndex();
  for (auto _ : state) {
    GSO_dBaseFld table(f.table, false, true);
    GSobjCDXFile cdx(&table, f.index, false, false, true, false);
    cdx.RebuildAll();
  }
  state.counters["index_bytes"] = double(SizeOf(f.index));
}

void BM_ReindexBothTags(benchmark::State& state) { RebuildIndex(state); }
BENCHMARK(BM_ReindexBothTags)->Apply(FiveRuns);

void BM_RandomExactSeeks(benchmark::State& state) {
  Files& f = WithCatalogIndex();
  GSO_dBaseFld table(f.table, false, false);
  GSobjCDXFile cdx(&table, f.index, false, false, false, false);
  TimeRandomSeeks(state, cdx.FindTag("TITLE"), g_titles, NextRandom);
  state.counters["index_bytes"] = double(SizeOf(f.index));
}
BENCHMARK(BM_RandomExactSeeks)->Apply(FiveRuns);

// The seeks of BM_RandomExactSeeks through the handler's FindKey, which reads
// the record of each key found.
void BM_RandomSeeksReadingRecords(benchmark::State& state) {
  Files& f = WithCatalogIndex();
  GSO_dBHandler h(f.table, false, false);
  h.OpenIndexFile(f.index);
  std::string tag = "TITLE";
  h.SelectTag(&tag, false);
  std::vector<std::string> keys;
  for (int i = 0; i < 100000; ++i) keys.push_back(g_titles[NextRandom() % g_titles.size()]);
  int64_t found = 0;
  for (auto _ : state)
    for (const std::string& k : keys) found += h.FindKey(k) && h.CurrentRecord()[0] != 0;
  if (found != 100000) state.SkipWithError("a seek failed");
}
BENCHMARK(BM_RandomSeeksReadingRecords)->Apply(FiveRuns);

void BM_WalkInTagOrder(benchmark::State& state) {
  Files& f = WithCatalogIndex();
  GSO_dBaseFld table(f.table, false, false);
  GSobjCDXFile cdx(&table, f.index, false, false, false, false);
  TimeWalk(state, cdx.FindTag("TITLE"), kRecords);
}
BENCHMARK(BM_WalkInTagOrder)->Apply(FiveRuns);

void BM_AppendsWithTwoTags(benchmark::State& state) {
  Files& f = WithCatalogIndex();
  std::vector<std::string> titles;
  std::vector<std::string> categories;
  for (int i = 0; i < 100000; ++i) {
    titles.push_back(RandomTitle());
    categories.push_back(g_random.Category());
  }
  {
    AppendingTable table(f.table, false, true);
    GSobjCDXFile cdx(&table, f.index, false, false, true, false);
    table.indexes = {&cdx};
    for (auto _ : state) {
      for (int i = 0; i < 100000; ++i) {
        table.BlankRecord();
        table.PutStr(1, titles[size_t(i)]);
        table.PutStr(2, categories[size_t(i)]);
        table.AppendRecord();
      }
      // What the index holds back reaches the disk inside the measurement.
      cdx.Disk()->WritePending();
    }
  }
  state.counters["index_bytes"] = double(SizeOf(f.index));
}
BENCHMARK(BM_AppendsWithTwoTags)->Iterations(1)->Unit(benchmark::kMillisecond);

// 100,000 appends through the table handler with the catalog's index open and
// TITLE controlling, on a copy of the table and its index made untimed.
// Bulk scopes where the handler has them (an older engine, compared side by
// side, has none and held its index writes anyway).
template <class Handler>
void BeginBulkWork(Handler& h) {
  if constexpr (requires { h.BeginBulk(); }) h.BeginBulk();
}
template <class Handler>
void EndBulkWork(Handler& h) {
  if constexpr (requires { h.EndBulk(); }) h.EndBulk();
}

void BM_AppendsTitleControlling(benchmark::State& state) {
  Files& f = WithCatalogIndex();
  std::string table_copy = BenchPath("bench_app.dbf");
  std::string index_copy = BenchPath("bench_app") + ".cdx";
  std::vector<std::string> titles, categories;
  BenchTitles random(7);
  for (int i = 0; i < 100000; ++i) {
    titles.push_back(random.Title());
    categories.push_back(random.Category());
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::system(
        ("cp '" + f.table + "' '" + table_copy + "' && cp '" + f.index + "' '" + index_copy + "'")
            .c_str());
    {
      GSO_dBHandler h(table_copy, true, false);
      h.OpenIndexFile(index_copy);
      std::string tag = "TITLE";
      h.SelectTag(&tag, false);
      state.ResumeTiming();
      // A loop of appends is bulk work: where the handler has a bulk scope the
      // appends run inside it (posts outside one are each made durable).
      BeginBulkWork(h);
      for (int i = 0; i < 100000; ++i) {
        h.BlankRecord();
        h.PutStr(1, titles[size_t(i)]);
        h.PutStr(2, categories[size_t(i)]);
        h.AppendRecord();
      }
      EndBulkWork(h);
      // Closing (inside the measurement) gives what the files hold back to the system.
    }
    state.PauseTiming();
    state.counters["index_bytes"] = double(SizeOf(index_copy));
    std::remove(table_copy.c_str());
    std::remove(index_copy.c_str());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AppendsTitleControlling)->Apply(FiveRuns);

// The same rebuild on the grown table (1,100,000 records).
void BM_ReindexAfterAppends(benchmark::State& state) { RebuildIndex(state); }
BENCHMARK(BM_ReindexAfterAppends)->Apply(FiveRuns);

}  // namespace

BENCHMARK_MAIN();
