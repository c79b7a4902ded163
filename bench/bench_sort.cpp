// Index-build sort throughput: 1,000,000 pseudo-random 40-byte title-like text
// keys (with and without a collation map, ascending and descending) and
// 1,000,000 doubles, each added with ascending record numbers and drained.
// Reports keys per second and the sort's peak memory (working area, index
// arrays and runs).
//   build-rel/bench/bench_sort
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/index/gs6_sort.h"

namespace {
using namespace devazoz;

constexpr int kKeys = 1000000;

// Titles built from a small vocabulary, so that keys share prefixes the way
// catalog titles do ("THE LEGEND OF ...", "SUPER ...").
const std::vector<std::string>& TitleKeys() {
  static const std::vector<std::string> keys = [] {
    static const char* const kWords[] = {
        "THE",    "LEGEND", "OF",    "SUPER",    "FINAL",   "FANTASY", "STREET",  "FIGHTER",
        "RACING", "WORLD",  "CUP",   "TENNIS",   "SOCCER",  "DRAGON",  "QUEST",   "METAL",
        "GEAR",   "SOLID",  "RIDGE", "RACER",    "TEKKEN",  "CRASH",   "SPYRO",   "TOMB",
        "RAIDER", "SILENT", "HILL",  "RESIDENT", "EVIL",    "GRAN",    "TURISMO", "CHRONO",
        "CROSS",  "WILD",   "ARMS",  "TWISTED",  "METAL",   "PRO",     "SKATER",  "2",
        "3",      "II",     "III",   "DELUXE",   "EDITION", "MONSTER", "RANCHER", "STAR"};
    constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
    std::mt19937 rng(12345);
    std::vector<std::string> out;
    out.reserve(kKeys);
    for (int i = 0; i < kKeys; ++i) {
      std::string t;
      size_t words = 2 + rng() % 5;
      for (size_t w = 0; w < words; ++w) {
        if (!t.empty()) t += ' ';
        t += kWords[rng() % kWordCount];
      }
      t += ' ';
      t += std::to_string(rng() % 100000);
      t.resize(40, ' ');  // a 40-character field, blank-padded
      out.push_back(std::move(t));
    }
    return out;
  }();
  return keys;
}

const std::vector<double>& Doubles() {
  static const std::vector<double> values = [] {
    std::mt19937_64 rng(777);
    std::uniform_real_distribution<double> dist(-1e6, 1e6);
    std::vector<double> out(kKeys);
    for (auto& v : out) v = dist(rng);
    return out;
  }();
  return values;
}

const uint8_t* UpperMap() {
  static uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
  return map;
}

void Report(benchmark::State& state, size_t peak, size_t runs) {
  state.counters["keys/s"] =
      benchmark::Counter(double(kKeys) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["peak_MiB"] = double(peak) / (1 << 20);
  state.counters["runs"] = double(runs);
}

// Adds kKeys keys (set(v, i) gives the i-th) and drains them, once per iteration.
template <typename SetValue>
void SortAll(benchmark::State& state, int max_length, const uint8_t* map, bool ascending,
             SetValue set) {
  size_t peak = 0, runs = 0;
  for (auto _ : state) {
    TgsSort sort(max_length, map, ascending, false);
    TgsVariant v(64);
    for (int i = 0; i < kKeys; ++i) {
      set(v, size_t(i));
      sort.AddKey(v, i + 1);
    }
    int32_t recno = 0;
    int64_t n = 0;
    while (sort.NextKey(v, recno)) ++n;
    benchmark::DoNotOptimize(n);
    peak = sort.PeakMemory();
    runs = sort.RunCount();
  }
  Report(state, peak, runs);
}

void SortTitles(benchmark::State& state, const uint8_t* map, bool ascending) {
  const auto& keys = TitleKeys();
  SortAll(state, 41, map, ascending, [&](TgsVariant& v, size_t i) { v.SetText(keys[i]); });
}

void BM_SortTitles(benchmark::State& state) { SortTitles(state, nullptr, true); }
void BM_SortTitlesMapped(benchmark::State& state) { SortTitles(state, UpperMap(), true); }
void BM_SortTitlesDescending(benchmark::State& state) { SortTitles(state, nullptr, false); }

void BM_SortDoubles(benchmark::State& state) {
  const auto& values = Doubles();
  SortAll(state, 9, nullptr, true, [&](TgsVariant& v, size_t i) { v.SetNumber(values[i]); });
}

BENCHMARK(BM_SortTitles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortTitlesMapped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortTitlesDescending)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortDoubles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
