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

#include "engine/foundation/gs6_bytes.h"
#include "engine/table/gs6_dbfld.h"

namespace {
using namespace devazoz;

struct Field {
  const char* name;
  char type;
  int length;
};
// 176 bytes of fields + the deletion flag = 177.
const Field kFields[] = {{"TITLE", 'C', 40},   {"CATEGORY", 'C', 30}, {"DEVELOPER", 'C', 30},
                         {"DISTRIBUTR", 'C', 30}, {"PLAYERS", 'C', 5}, {"MEMORYBLKS", 'C', 5},
                         {"ANALOG", 'L', 1},   {"DUALSHOCK", 'L', 1}, {"NOTES", 'M', 10},
                         {"RELEASED", 'D', 8}, {"PRICE", 'N', 8},     {"RATING", 'C', 8}};
constexpr int kFieldCount = sizeof(kFields) / sizeof(kFields[0]);
constexpr int kRecordLength = 177;

std::string BenchPath(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "." + std::to_string(getpid());
}

// Writes a table with count records; the engine itself never creates tables.
void WriteTable(const std::string& path, int count) {
  int header_length = 32 + 32 * kFieldCount + 1;
  std::vector<uint8_t> header(size_t(header_length), 0);
  ByteSpan h(header.data(), header.size());
  h.PutU8(0, 0x03);
  h.PutU32LE(4, uint32_t(count));
  h.PutU16LE(8, uint16_t(header_length));
  h.PutU16LE(10, kRecordLength);
  for (int i = 0; i < kFieldCount; ++i) {
    size_t at = 32 + 32 * size_t(i);
    h.PutBytes(at, kFields[i].name, std::strlen(kFields[i].name));
    h.PutU8(at + 11, uint8_t(kFields[i].type));
    h.PutU8(at + 16, uint8_t(kFields[i].length));
  }
  h.PutU8(size_t(header_length) - 1, 0x0D);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.data()), header_length);
  std::string record(kRecordLength, ' ');
  std::string chunk;
  for (int r = 0; r < count; ++r) {
    std::string title = "Title number " + std::to_string(r);
    std::memcpy(&record[1], title.data(), title.size());
    chunk += record;
    if (chunk.size() > (1 << 20)) {
      out.write(chunk.data(), std::streamsize(chunk.size()));
      chunk.clear();
    }
  }
  chunk += '\x1A';
  out.write(chunk.data(), std::streamsize(chunk.size()));
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
