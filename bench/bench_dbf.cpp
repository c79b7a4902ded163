// Table file throughput on a 1,000,000-record table shaped like the title table
// (record length 177): a natural-order read of every record, and 100,000 appends.
//   build-rel/bench/bench_dbf
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "engine/table/gs6_dbfld.h"

namespace {
using namespace devazoz;

using Field = BenchField;
// 176 bytes of fields + the deletion flag = 177.
const Field kFields[] = {{"TITLE", 'C', 40},      {"CATEGORY", 'C', 30}, {"DEVELOPER", 'C', 30},
                         {"DISTRIBUTR", 'C', 30}, {"PLAYERS", 'C', 5},   {"MEMORYBLKS", 'C', 5},
                         {"ANALOG", 'L', 1},      {"DUALSHOCK", 'L', 1}, {"NOTES", 'M', 10},
                         {"RELEASED", 'D', 8},    {"PRICE", 'N', 8},     {"RATING", 'C', 8}};
constexpr int kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

void WriteTable(const std::string& path, int count) {
  WriteBenchTable(path, kFields, kFieldCount, count, [](int r, std::string& record) {
    std::string title = "Title number " + std::to_string(r);
    std::memcpy(&record[1], title.data(), title.size());
  });
}

void BM_NaturalOrderRead(benchmark::State& state) {
  const int count = 1000000;
  std::string path = BenchPath("bench_read.dbf");
  WriteTable(path, count);
  for (auto _ : state) {
    GSO_dBaseFld table(path, false, false);
    table.ReadRecord(kMoveFirst);
    int64_t seen = 0;
    while (!table.Eof()) {
      benchmark::DoNotOptimize(table.CurrentRecord()[1]);
      ++seen;
      table.ReadRecord(kMoveNext);
    }
    if (seen != count) state.SkipWithError("wrong record count");
  }
  state.counters["records/s"] =
      benchmark::Counter(double(count) * double(state.iterations()), benchmark::Counter::kIsRate);
  std::remove(path.c_str());
}
BENCHMARK(BM_NaturalOrderRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Append(benchmark::State& state) {
  const int count = 100000;
  std::string path = BenchPath("bench_append.dbf");
  for (auto _ : state) {
    state.PauseTiming();
    WriteTable(path, 0);
    state.ResumeTiming();
    GSO_dBaseFld table(path, false, true);
    for (int i = 0; i < count; ++i) {
      table.BlankRecord();
      table.PutStr(1, "Appended title");
      table.PutLogic(7, true);
      table.AppendRecord();
    }
  }
  state.counters["records/s"] =
      benchmark::Counter(double(count) * double(state.iterations()), benchmark::Counter::kIsRate);
  std::remove(path.c_str());
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
