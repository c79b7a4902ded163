// The table handler on a 1,000,000-record title-shaped table (record length 177)
// with title-shaped titles and categories (bench_titles.h) and the catalog's TITLE
// and CATEGORY tags: natural-order walks reading every record and reading one
// field (GetStr) of every record, a TITLE-order walk, building the filter set for
// CATEGORY = 'Racing', walking the filtered view, reindexing both tags (the index
// file size is the counter index_bytes) and packing a table with 10 % deleted
// records. Beside them: reading the table file in 1 MiB pieces (as cat does, from
// the page cache), the floor of a natural walk; the natural and TITLE-order walks
// looking at TITLE where the record holds it (PeekStr, no copy);
// and reindexing both tags of a table packed from 10 % deleted records.
//   build-rel/bench/bench_handler
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_table.h"
#include "bench/bench_titles.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/index/gs6_cdx.h"

namespace {
using namespace devazoz;

constexpr int kRecords = 1000000;

using Field = BenchField;
const Field kFields[] = {{"TITLE", 'C', 40},      {"CATEGORY", 'C', 30}, {"DEVELOPER", 'C', 30},
                         {"DISTRIBUTR", 'C', 30}, {"PLAYERS", 'C', 5},   {"MEMORYBLKS", 'C', 5},
                         {"ANALOG", 'L', 1},      {"DUALSHOCK", 'L', 1}, {"NOTES", 'C', 10},
                         {"RELEASED", 'D', 8},    {"PRICE", 'N', 8},     {"RATING", 'C', 8}};
constexpr int kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

std::string Dir() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_handler." + std::to_string(getpid());
}

// Writes the table with every tenth record deleted when asked.
void WriteTable(const std::string& path, bool some_deleted) {
  BenchTitles titles(42);
  WriteBenchTable(path, kFields, kFieldCount, kRecords, [&](int r, std::string& record) {
    record[0] = (some_deleted && r % 10 == 3) ? '*' : ' ';
    std::string title = titles.Title();
    std::memcpy(&record[1], title.data(), 40);
    std::string cat = titles.Category();
    std::memcpy(&record[41], cat.data(), 30);
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
  state.counters["records/s"] = benchmark::Counter(
      double(per_iteration) * double(state.iterations()), benchmark::Counter::kIsRate);
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

// The natural walk reading the TITLE field of every record as text.
void BM_NaturalWalkOneField(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.SetReadAhead(true);
  int field = h.FieldNumber("TITLE");
  int64_t n = 0, bytes = 0;
  for (auto _ : state) {
    n = 0;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
      std::string title = h.GetStr(field);
      bytes += int64_t(title.size());
      ++n;
    }
  }
  benchmark::DoNotOptimize(bytes);
  if (n != kRecords) state.SkipWithError("wrong count");
  Rate(state, n);
}
BENCHMARK(BM_NaturalWalkOneField)->Unit(benchmark::kMillisecond)->UseRealTime();

// The table file read from start to end in 1 MiB pieces, as cat reads it: what
// a natural walk cannot beat.
void BM_ReadTableFile(benchmark::State& state) {
  Fixture& f = Shared();
  std::vector<char> buffer(size_t(1) << 20);
  int64_t bytes = 0;
  for (auto _ : state) {
    int fd = open(f.table.c_str(), O_RDONLY);
    if (fd < 0) {
      state.SkipWithError("cannot open the table");
      return;
    }
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) bytes += n;
    close(fd);
  }
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_ReadTableFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TitleOrderWalk(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.OpenIndexFile(f.index);
  std::string tag = "TITLE";
  h.SelectTag(&tag, false);
  WalkEveryRecord(state, h);
}
BENCHMARK(BM_TitleOrderWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

// Walks every record the cursor shows, first to last, looking at the TITLE
// field's bytes where the record holds them (PeekStr, no copy).
void WalkPeekingTitle(benchmark::State& state, GSO_dBHandler& h) {
  int field = h.FieldNumber("TITLE");
  int64_t n = 0, bytes = 0;
  for (auto _ : state) {
    n = 0;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
      std::string_view title = h.PeekStr(field);
      bytes += int64_t(title.size()) + title[0];
      ++n;
    }
  }
  benchmark::DoNotOptimize(bytes);
  if (n != kRecords) state.SkipWithError("wrong count");
  Rate(state, n);
}

// The natural walk reading TITLE without copying it.
void BM_NaturalWalkPeekTitle(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.SetReadAhead(true);
  WalkPeekingTitle(state, h);
}
BENCHMARK(BM_NaturalWalkPeekTitle)->Unit(benchmark::kMillisecond)->UseRealTime();

// The TITLE-order walk reading TITLE without copying it.
void BM_TitleOrderWalkPeekTitle(benchmark::State& state) {
  Fixture& f = Shared();
  GSO_dBHandler h(f.table, false, false);
  h.OpenIndexFile(f.index);
  std::string tag = "TITLE";
  h.SelectTag(&tag, false);
  WalkPeekingTitle(state, h);
}
BENCHMARK(BM_TitleOrderWalkPeekTitle)->Unit(benchmark::kMillisecond)->UseRealTime();

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
  std::ifstream in(f.index, std::ios::binary | std::ios::ate);
  state.counters["index_bytes"] = double(in.tellg());
}
BENCHMARK(BM_ReindexBothTags)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Reindexing both catalog tags of a table packed from 1,000,000 records with
// every tenth deleted (900,000 left); the table, its index and the pack are made
// untimed.
void BM_ReindexAfterPack(benchmark::State& state) {
  std::string dir = Dir() + ".packed";
  std::system(("mkdir -p '" + dir + "'").c_str());
  std::string table = dir + "/PACKED.DBF";
  std::string index = dir + "/PACKED.CDX";
  WriteTable(table, true);
  {
    GSO_dBaseFld t(table, false, true);
    GSobjCDXFile cdx(&t, index, true, true, true, false);
    cdx.AddTag("TITLE", "TITLE", false, true, "");
    cdx.AddTag("CATEGORY", "CATEGORY", false, true, "");
  }
  {
    GSO_dBHandler h(table, true, false);
    h.OpenIndexFile(index);
    h.Pack();
    if (h.RecordCount() != kRecords - kRecords / 10) state.SkipWithError("wrong count");
    for (auto _ : state) h.Reindex();
  }
  Rate(state, kRecords - kRecords / 10);
  state.counters["index_bytes"] = double(SizeOf(index));
  std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_ReindexAfterPack)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

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
