// TDevazozDataSet on a 1,000,000-record title-shaped table with its CDX (tags
// TITLE and CATEGORY): opening in TITLE order, Last, a TITLE-order walk reading
// TITLE, Locate through the tag and a case-insensitive sequential Locate for a
// missing value, switching on a filter with a 30-row grid's first screen, and the
// exact record count of the filtered view. Each is repeated five times; the
// median is the figure to quote (the machine is shared, single runs are noisy).
//   build/bench/bench_dataset --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "bench/bench_table.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "engine/index/gs6_cdx.h"

namespace {
using namespace devazoz;

constexpr int kRecords = 1000000;
const char* const kCategories[] = {"Action", "Adventure",    "Fighting", "Platform",   "Puzzle",
                                   "Racing", "Role Playing", "Shooter",  "Simulation", "Sports"};
const BenchField kFields[] = {
    {"TITLE", 'C', 40},  {"CATEGORY", 'C', 30},  {"DEVELOPER", 'C', 30}, {"DISTRIBUTR", 'C', 30},
    {"PLAYERS", 'C', 5}, {"MEMORYBLKS", 'C', 5}, {"ANALOG", 'L', 1},     {"DUALSHOCK", 'L', 1},
    {"NOTES", 'C', 10},  {"RELEASED", 'D', 8},   {"PRICE", 'N', 8},      {"RATING", 'C', 8}};
constexpr int kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

struct Fixture {
  std::string dir;
  Fixture() {
    const char* tmp = std::getenv("TMPDIR");
    dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_dataset." + std::to_string(getpid());
    std::system(("mkdir -p '" + dir + "'").c_str());
    std::mt19937 rng(42);
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz";
    WriteBenchTable(dir + "/TITLES.DBF", kFields, kFieldCount, kRecords,
                    [&](int, std::string& record) {
                      for (int k = 0; k < 40; ++k) record[size_t(1 + k)] = letters[rng() % 53];
                      const char* cat = kCategories[rng() % 10];
                      std::memcpy(&record[41], cat, std::strlen(cat));
                    });
    GSO_dBaseFld t(dir + "/TITLES.DBF", false, true);
    GSobjCDXFile cdx(&t, dir + "/TITLES.CDX", true, true, true, false);
    cdx.AddTag("TITLE", "TITLE", false, true, "");
    cdx.AddTag("CATEGORY", "CATEGORY", false, true, "");
  }
  ~Fixture() { std::system(("rm -rf '" + dir + "'").c_str()); }

  void SetUp(TDevazozDataSet& ds) const {
    ds.SetDatabaseName(dir);
    ds.SetTableName("TITLES.DBF");
    ds.SetIndexFiles({"TITLES.CDX"});
    ds.SetIndexName("TITLE");
    ds.SetExclusive(true);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_OpenTitleOrder(benchmark::State& state) {
  Fixture& f = Shared();
  TDevazozDataSet ds;
  f.SetUp(ds);
  for (auto _ : state) {
    ds.Open();
    benchmark::DoNotOptimize(ds.FieldByName("TITLE")->AsString());
    state.PauseTiming();
    ds.Close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenTitleOrder)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10)
    ->Repetitions(5);

void BM_Last(benchmark::State& state) {
  Fixture& f = Shared();
  TDevazozDataSet ds;
  f.SetUp(ds);
  ds.Open();
  for (auto _ : state) {
    ds.Last();
    state.PauseTiming();
    ds.First();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Last)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20)->Repetitions(5);

void BM_TitleWalkAsString(benchmark::State& state) {
  Fixture& f = Shared();
  TDevazozDataSet ds;
  f.SetUp(ds);
  ds.Open();
  platform::TField* title = ds.FieldByName("TITLE");
  int64_t n = 0;
  for (auto _ : state) {
    n = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      benchmark::DoNotOptimize(title->AsString());
      ++n;
    }
  }
  if (n != kRecords) state.SkipWithError("wrong count");
}
BENCHMARK(BM_TitleWalkAsString)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

// The same walk on the handler alone, in the same process: the reference that
// shows the dataset's own share when the machine's load moves both.
void BM_HandlerTitleWalk(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.dir + "/TITLES.DBF", false, false);
  h.OpenIndexFile(f.dir + "/TITLES.CDX");
  std::string tag = "TITLE";
  h.SelectTag(&tag, false);
  int64_t n = 0;
  for (auto _ : state) {
    n = 0;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
      benchmark::DoNotOptimize(h.GetStr(1));
      ++n;
    }
  }
  if (n != kRecords) state.SkipWithError("wrong count");
}
BENCHMARK(BM_HandlerTitleWalk)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

void BM_LocateWithTag(benchmark::State& state) {
  Fixture& f = Shared();
  TDevazozDataSet ds;
  f.SetUp(ds);
  ds.Open();
  ds.MoveBy(123456);
  std::string wanted = ds.FieldByName("TITLE")->AsString();
  for (auto _ : state) {
    state.PauseTiming();
    ds.First();
    state.ResumeTiming();
    if (!ds.Locate("TITLE", wanted, 0)) state.SkipWithError("not found");
  }
}
BENCHMARK(BM_LocateWithTag)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(50)
    ->Repetitions(5);

void BM_LocateNoCaseMissing(benchmark::State& state) {
  Fixture& f = Shared();
  TDevazozDataSet ds;
  f.SetUp(ds);
  ds.Open();
  for (auto _ : state)
    if (ds.Locate("TITLE", "no such title at all", platform::loCaseInsensitive))
      state.SkipWithError("found");
}
BENCHMARK(BM_LocateNoCaseMissing)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

void BM_FilteredFirstScreen(benchmark::State& state) {
  Fixture& f = Shared();
  TDevazozDataSet ds;
  f.SetUp(ds);
  platform::TDataSource source(&ds);
  platform::TDataLink grid;
  grid.SetBufferCount(30);
  grid.SetDataSource(&source);
  ds.Open();
  ds.SetFilter("CATEGORY = 'Racing'");
  platform::TField* title = ds.FieldByName("TITLE");
  for (auto _ : state) {
    ds.SetFiltered(true);
    for (int row = 0; row < grid.RecordCount(); ++row) {
      grid.SetActiveRecord(row);
      benchmark::DoNotOptimize(title->AsString());
    }
    grid.SetActiveRecord(0);
    state.PauseTiming();
    if (grid.RecordCount() != 30) state.SkipWithError("short screen");
    ds.Close();  // a new handler builds the filter set again
    ds.SetFiltered(false);
    ds.Open();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FilteredFirstScreen)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

void BM_ExactCountFiltered(benchmark::State& state) {
  Fixture& f = Shared();
  TDevazozDataSet ds;
  f.SetUp(ds);
  ds.Open();
  ds.SetFilter("CATEGORY = 'Racing'");
  ds.SetFiltered(true);
  ds.SetExactCount(true);
  int count = 0;
  for (auto _ : state) count = ds.RecordCount();
  state.counters["visible"] = count;
}
BENCHMARK(BM_ExactCountFiltered)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
