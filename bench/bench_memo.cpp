// Memo file throughput: writes 100,000 memos of 200 bytes to 4 KiB into a fresh
// memo file of each layout, then reads them all back. Reports memos per second for
// each phase and the memo file's size against the bytes stored.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/table/gs6_memo.h"

namespace {

constexpr int kMemos = 100000;

struct Layout {
  const char* name;
  uint8_t version;
  int block_size;
};

const Layout kLayouts[] = {
    {"dBASE III DBT", 0x83, 512},
    {"dBASE IV DBT", 0x8B, 512},
    {"FoxPro FPT", 0xF5, 64},
};

// An empty memo file as other programs create it.
void WriteEmptyMemoFile(const std::string& path, const Layout& l) {
  std::vector<char> header(512, 0);
  auto put = [&](size_t at, uint32_t v, bool big_endian) {
    for (int i = 0; i < 4; ++i) header[at + size_t(i)] = char(v >> (8 * (big_endian ? 3 - i : i)));
  };
  if (l.version == 0x83) {
    put(0, 1, false);
  } else if (l.version == 0x8B) {
    put(0, 1, false);
    put(20, uint32_t(l.block_size), false);
  } else {
    put(0, uint32_t(512 / l.block_size), true);
    put(4, uint32_t(l.block_size), true);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(header.data(), long(header.size()));
}

std::unique_ptr<devazoz::GSobjMemo> Open(const Layout& l, const std::string& table) {
  if (l.version == 0x83)
    return std::make_unique<devazoz::GSobjMemo>(nullptr, 0x83, false, true, table);
  if (l.version == 0x8B)
    return std::make_unique<devazoz::GSobjMemo4>(nullptr, 0x8B, false, true, table);
  return std::make_unique<devazoz::GSobjFXMemo20>(nullptr, 0xF5, false, true, table);
}

void BM_WriteAndReadMemos(benchmark::State& state) {
  const Layout& l = kLayouts[state.range(0)];
  state.SetLabel(l.name);
  const char* base = std::getenv("TMPDIR");
  std::string dir =
      std::string(base && *base ? base : "/tmp") + "/bench_memo." + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  std::string table = dir + "/B.DBF";
  std::string file = dir + (l.version == 0xF5 ? "/B.FPT" : "/B.DBT");

  std::mt19937 rng(20261209);
  std::uniform_int_distribution<int> length(200, 4096);
  std::vector<int32_t> sizes(kMemos);
  int64_t stored = 0;
  for (int32_t& s : sizes) stored += (s = length(rng));
  std::string text(4096, ' ');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('A' + i % 26);  // no 0x1A

  using Clock = std::chrono::steady_clock;
  double write_seconds = 0, read_seconds = 0;
  int64_t file_size = 0;
  for (auto _ : state) {
    WriteEmptyMemoFile(file, l);
    auto memo = Open(l, table);
    std::vector<int32_t> blocks(kMemos);
    auto t0 = Clock::now();
    for (int i = 0; i < kMemos; ++i) {
      int32_t block = 0;
      memo->WriteMemo(text.data(), block, sizes[size_t(i)]);
      blocks[size_t(i)] = block;
    }
    memo->Flush();
    auto t1 = Clock::now();
    std::string buffer(4096, '\0');
    int64_t read_bytes = 0;
    for (int i = 0; i < kMemos; ++i) {
      int32_t size = memo->MemoLength(blocks[size_t(i)]);
      memo->ReadMemo(buffer.data(), blocks[size_t(i)], size);
      read_bytes += size;
    }
    auto t2 = Clock::now();
    if (read_bytes != stored) state.SkipWithError("memos did not read back whole");
    benchmark::DoNotOptimize(buffer.data());
    file_size = memo->FileSize();
    write_seconds += std::chrono::duration<double>(t1 - t0).count();
    read_seconds += std::chrono::duration<double>(t2 - t1).count();
  }
  std::filesystem::remove_all(dir);
  double iterations = double(state.iterations());
  state.counters["write_memos_per_s"] = kMemos * iterations / write_seconds;
  state.counters["read_memos_per_s"] = kMemos * iterations / read_seconds;
  state.counters["stored_MB"] = double(stored) / 1e6;
  state.counters["file_MB"] = double(file_size) / 1e6;
  state.counters["file_per_stored"] = double(file_size) / double(stored);
  state.SetItemsProcessed(int64_t(2 * kMemos * iterations));
}

BENCHMARK(BM_WriteAndReadMemos)
    ->DenseRange(0, 2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
