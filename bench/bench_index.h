// What the index benchmarks (CDX, MDX, NTX and NDX) share: the registration of
// five runs, the letter titles of the MDX, NTX and NDX figures, the timed seek
// and walk loops, and a table that keeps its open index files current after
// each append, as the table handler does.
#ifndef BENCH_BENCH_INDEX_H_
#define BENCH_BENCH_INDEX_H_

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_indxtag.h"
#include "engine/table/gs6_dbfld.h"

namespace bench_index {

// One iteration, five times; the median and mean are the figures, in ms.
inline void FiveRuns(benchmark::internal::Benchmark* b) {
  b->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
}

// Pseudo-random 40-byte titles of capital letters with a blank every seventh
// byte: the titles of the MDX, NTX and NDX figures.
class LetterTitles {
 public:
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  std::string Title() {
    std::string t(40, ' ');
    for (int i = 0; i < 40; ++i) t[size_t(i)] = i % 7 == 6 ? ' ' : char('A' + Next() % 26);
    return t;
  }

 private:
  uint32_t state_ = 2463534242u;
};

// Writes the title table with count records: letter titles (each also added
// to titles), six categories in turn and random prices.
inline void WriteLetterTitleTable(const std::string& path, int count, LetterTitles& random,
                                  std::vector<std::string>* titles) {
  const char* cats[] = {"Action", "Adventure", "Puzzle", "Racing", "Sports", "Shooter"};
  titles->reserve(size_t(count));
  WriteBenchTable(
      path, kTitleTableFields, kTitleTableFieldCount, count, [&](int r, std::string& record) {
        std::string title = random.Title();
        titles->push_back(title);
        std::memcpy(&record[1], title.data(), 40);
        std::string cat = cats[r % 6];
        cat.resize(30, ' ');
        std::memcpy(&record[41], cat.data(), 30);
        char price[16];
        std::snprintf(price, sizeof price, "%12.2f", double(random.Next() % 1000000) / 100.0);
        std::memcpy(&record[1 + 40 + 30 * 3 + 5 + 5 + 1 + 1 + 10 + 8], price, 12);
      });
}

// Times 100,000 exact seeks of titles picked by next() from titles; each must
// find its key.
template <class Next>
void TimeRandomSeeks(benchmark::State& state, devazoz::GSobjIndexTag* tag,
                     const std::vector<std::string>& titles, Next next) {
  std::vector<std::unique_ptr<devazoz::GSobjIndexKeyData>> keys;
  for (int i = 0; i < 100000; ++i) {
    auto k = std::make_unique<devazoz::GSobjIndexKeyData>();
    k->Value.SetText(titles[next() % titles.size()]);
    k->RecordNumber = -1;
    keys.push_back(std::move(k));
  }
  tag->LoadTree(0);
  int64_t found = 0;
  for (auto _ : state)
    for (const auto& k : keys) found += tag->Find(*k) != 0;
  tag->ReleaseTree();
  if (found != 100000) state.SkipWithError("a seek failed");
}

// Times a walk of every key in tag order; it must meet expected keys.
inline void TimeWalk(benchmark::State& state, devazoz::GSobjIndexTag* tag, int64_t expected) {
  tag->LoadTree(0);
  int64_t n = 0;
  for (auto _ : state)
    for (int32_t r = tag->Navigate(devazoz::kNavFirst); r != 0;
         r = tag->Navigate(devazoz::kNavNext))
      ++n;
  tag->ReleaseTree();
  if (n != expected) state.SkipWithError("the walk missed keys");
}

// The table handler's work after each append: UpdateKeys on each open file.
class AppendingTable : public devazoz::GSO_dBaseFld {
 public:
  using GSO_dBaseFld::GSO_dBaseFld;
  void Notify(uint8_t code, int32_t value) override {
    GSO_dBaseFld::Notify(code, value);
    if (code == devazoz::kEventAfterWrite)
      for (devazoz::GSobjIndexFile* index : indexes) index->UpdateKeys(RecordNumber(), value == 0);
  }
  std::vector<devazoz::GSobjIndexFile*> indexes;
};

}  // namespace bench_index

#endif  // BENCH_BENCH_INDEX_H_
