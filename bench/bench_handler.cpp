// The table handler on a 1,000,000-record title-shaped table (record length 177)
// with pseudo-random titles and the catalog's TITLE and CATEGORY tags:
// natural-order and TITLE-order walks reading every record, building the filter
// set for CATEGORY = 'Racing', walking the filtered view, reindexing both tags and
// packing a table with 10 % deleted records.
//   build-rel/bench/bench_handler
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/index/gs6_cdx.h"

namespace {
using namespace devazoz;

constexpr int kRecords = 1000000;
const char* const kCategories[] = {"Action", "Adventure", "Fighting", "Platform", "Puzzle",
                                   "Racing", "Role Playing", "Shooter", "Simulation", "Sports"};

using Field = BenchField;
const Field kFields[] = {{"TITLE", 'C', 40},   {"CATEGORY", 'C', 30}, {"DEVELOPER", 'C', 30},
                         {"DISTRIBUTR", 'C', 30}, {"PLAYERS", 'C', 5}, {"MEMORYBLKS", 'C', 5},
                         {"ANALOG", 'L', 1},   {"DUALSHOCK", 'L', 1}, {"NOTES", 'C', 10},
                         {"RELEASED", 'D', 8}, {"PRICE", 'N', 8},     {"RATING", 'C', 8}};
constexpr int kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

std::string Dir() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_handler." + std::to_string(getpid());
}

// Writes the table with every tenth record deleted when asked.
void WriteTable(const std::string& path, bool some_deleted) {
  std::mt19937 rng(42);
  const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz";
  WriteBenchTable(path, kFields, kFieldCount, kRecords, [&](int r, std::string& record) {
    record[0] = (some_deleted && r % 10 == 3) ? '*' : ' ';
    for (int k = 0; k < 40; ++k) record[size_t(1 + k)] = letters[rng() % 53];
    const char* cat = kCategories[rng() % 10];
    std::memcpy(&record[41], cat, std::strlen(cat));
  });
}

struct Fixture {
  std::string dir = Dir();
  std::string table = dir + "/TITLES.DBF";
  std::string index = dir + "/TITLES.CDX";
  Fixture() {
    std::system(("mkdir -p '" + dir + "'").c_str());
    WriteTable(table, false);
    GSO_dBaseFld t(table, false, true);
    GSobjCDXFile cdx(&t, index, true, true, true, false);
    cdx.AddTag("TITLE", "TITLE", false, true, "");
    cdx.AddTag("CATEGORY", "CATEGORY", false, true, "");
  }
  ~Fixture() { std::system(("rm -rf '" + dir + "'").c_str()); }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void Rate(benchmark::State& state, int64_t per_iteration) {
  state.counters["records/s"] = benchmark::Counter(double(per_iteration) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

// Visits every record the cursor shows, first to last, reading each one.
void WalkEveryRecord(benchmark::State& state, GSO_dBHandler& h) {
  int64_t n = 0;
  for (auto _ : state) {
    n = 0;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
      benchmark::DoNotOptimize(h.CurrentRecord()[1]);
      ++n;
    }
  }
  if (n != kRecords) state.SkipWithError("wrong count");
  Rate(state, n);
}

void BM_NaturalWalk(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.SetReadAhead(true);
  WalkEveryRecord(state, h);
}
BENCHMARK(BM_NaturalWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TitleOrderWalk(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.OpenIndexFile(f.index);
  std::string tag = "TITLE";
  h.SelectTag(&tag, false);
  WalkEveryRecord(state, h);
}
BENCHMARK(BM_TitleOrderWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildFilterSet(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.SetFilterActive(true);
  int n = 0;
  for (auto _ : state) {
    h.SetFilterExpression("CATEGORY = 'Racing'", false, true);
    state.PauseTiming();
    h.SetFilterExpression("", false, true);
    state.ResumeTiming();
    ++n;
  }
  Rate(state, kRecords);
}
BENCHMARK(BM_BuildFilterSet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FilteredWalk(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.SetFilterActive(true);
  h.SetFilterExpression("CATEGORY = 'Racing'", false, true);
  int64_t n = 0;
  for (auto _ : state) {
    n = 0;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) ++n;
  }
  state.counters["visible"] = double(n);
  Rate(state, n);
}
BENCHMARK(BM_FilteredWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReindexBothTags(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, true, false);
  h.OpenIndexFile(f.index);
  for (auto _ : state) h.Reindex();
  Rate(state, kRecords);
}
BENCHMARK(BM_ReindexBothTags)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_PackTenPercentDeleted(benchmark::State& state) {
  std::string dir = Dir() + ".pack";
  std::system(("mkdir -p '" + dir + "'").c_str());
  std::string table = dir + "/PACK.DBF";
  for (auto _ : state) {
    state.PauseTiming();
    WriteTable(table, true);
    state.ResumeTiming();
    GSO_dBHandler h(table, true, false);
    h.Pack();
    if (h.RecordCount() != kRecords - kRecords / 10) state.SkipWithError("wrong count");
  }
  Rate(state, kRecords);
  std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_PackTenPercentDeleted)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
