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

#include "bench/bench_table.h"
#include "engine/index/gs6_mdx.h"
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
  std::string table = BenchPath("bench_mdx.dbf");
  std::string index = BenchPath("bench_mdx.mdx");
  std::string numeric = BenchPath("bench_num.mdx");
  Files() { WriteTable(table, kRecords); }
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
BENCHMARK(BM_BuildTitleTag)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

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
BENCHMARK(BM_BuildNumericTag)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

void BM_RandomExactSeeks(benchmark::State& state) {
  Files& f = WithTitleIndex();
  GSO_dBaseFld table(f.table, false, false);
  GSobjMDXFile mdx(&table, f.index, false, false, false, false);
  GSobjIndexTag* tag = mdx.FindTag("TITLE");
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
  state.counters["index_bytes"] = double(SizeOf(f.index));
}
BENCHMARK(BM_RandomExactSeeks)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

void BM_WalkInTagOrder(benchmark::State& state) {
  Files& f = WithTitleIndex();
  GSO_dBaseFld table(f.table, false, false);
  GSobjMDXFile mdx(&table, f.index, false, false, false, false);
  GSobjIndexTag* tag = mdx.FindTag("TITLE");
  tag->LoadTree(0);
  int64_t n = 0;
  for (auto _ : state)
    for (int32_t r = tag->Navigate(kNavFirst); r != 0; r = tag->Navigate(kNavNext)) ++n;
  tag->ReleaseTree();
  if (n != kRecords) state.SkipWithError("the walk missed keys");
}
BENCHMARK(BM_WalkInTagOrder)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The table handler's work after each append: UpdateKeys on the open file.
class AppendingTable : public GSO_dBaseFld {
 public:
  using GSO_dBaseFld::GSO_dBaseFld;
  void Notify(uint8_t code, int32_t value) override {
    GSO_dBaseFld::Notify(code, value);
    if (code == kEventAfterWrite && index) index->UpdateKeys(RecordNumber(), value == 0);
  }
  GSobjIndexFile* index = nullptr;
};

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
  for (int i = 0; i < 100000; ++i) titles.push_back(RandomTitle());
  {
    AppendingTable table(table_copy, false, true);
    GSobjMDXFile mdx(&table, index_copy, false, false, true, false);
    table.index = &mdx;
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
BENCHMARK(BM_AppendsWithTwoTags)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
