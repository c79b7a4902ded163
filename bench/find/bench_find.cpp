// Finding and counting on the 1,000,000-title sample catalog, at the dataset
// (what the main window's search box, status bar and statistics window call):
//   BM_DigestRead        reading the title table into the dataset's digest, all at
//                        once (the program reads it in slices between events; the
//                        status bar says "counting..." meanwhile); digest_MB counter
//   BM_QuickSearchKey    typing "crimson harbor legends" key by key: per key the
//                        search, the grid's first screen (30 rows) and the exact count
//   BM_QuickSearchRare   "legends 434", which 144 titles meet, in title order: the same steps
//   BM_CountFiltered     the exact count under a filter (CATEGORY = 'Racing')
//   BM_Statistics        the six breakdowns of the statistics window
//   BM_FindFirstInOrder  Find "tiny" (case-insensitive, by the beginning) in title
//                        order, the first match in that order
// Each runs five times; quote the median. The catalog is made once in
// $TMPDIR/qvx_bench_1m (or QVX_BENCH_CATALOG), shared with the window benchmarks.
//   build/bench/bench_find --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/dataset/Zavaz6UZ.h"
#include "platform/dataset/datalink.h"

namespace {

using devazoz::TDevazozDataSet;

std::string CatalogDir() {
  if (const char* dir = std::getenv("QVX_BENCH_CATALOG")) return dir;
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/qvx_bench_1m";
}

void MakeCatalog(const std::string& dir) {
  struct stat st {};
  if (stat((dir + "/QVXCAT.CDX").c_str(), &st) == 0) return;
  const std::string command = std::string(QVX_SAMPLECAT_TOOL) + " '" + dir + "' --titles 1000000";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "cannot make %s\n", dir.c_str());
    std::exit(1);
  }
}

// A grid's link: 30 rows of buffers, so that moving to the first record reads a
// screen, as the grid does.
class ScreenLink : public platform::TDataLink {
 public:
  explicit ScreenLink(platform::TDataSource* source) {
    SetBufferCount(30);
    SetDataSource(source);
  }
};

struct Catalog {
  TDevazozDataSet titles;
  platform::TDataSource source;
  std::unique_ptr<ScreenLink> link;
  explicit Catalog(bool read_digest = true) {
    const std::string dir = CatalogDir();
    MakeCatalog(dir);
    titles.SetDatabaseName(dir);
    titles.SetTableName("QVXCAT.DBF");
    titles.SetIndexFiles({"QVXCAT.CDX"});
    titles.SetIndexName("TITLE");
    titles.SetExclusive(true);
    titles.Open();
    source.SetDataSet(&titles);
    link = std::make_unique<ScreenLink>(&source);
    if (read_digest) titles.DoBackgroundWork(nullptr);
  }
  ~Catalog() {
    link.reset();
    titles.Close();
  }
};

void BM_DigestRead(benchmark::State& state) {
  Catalog catalog(false);
  for (auto _ : state) {
    state.PauseTiming();
    catalog.titles.Close();
    catalog.titles.Open();
    state.ResumeTiming();
    catalog.titles.DoBackgroundWork(nullptr);
  }
  state.counters["digest_MB"] = double(catalog.titles.DigestMemory()) / 1e6;
  state.counters["visible"] = catalog.titles.VisibleCount();
}
BENCHMARK(BM_DigestRead)->Repetitions(5)->Unit(benchmark::kMillisecond)->Iterations(1);

// One key: the search, the first screen the grid shows, the count for the status bar.
int Key(Catalog& catalog, const std::string& text) {
  catalog.titles.SetQuickSearch(text);
  return catalog.titles.VisibleCount();
}

void BM_QuickSearchKey(benchmark::State& state) {
  Catalog catalog;
  const std::string typed = "crimson harbor legends";
  size_t n = 0;
  int found = 0;
  for (auto _ : state) {
    found = Key(catalog, typed.substr(0, ++n));
    if (n == typed.size()) {
      state.PauseTiming();
      catalog.titles.SetQuickSearch("");
      n = 0;
      state.ResumeTiming();
    }
  }
  state.counters["found"] = found;
}
// One iteration per key of the typed text.
BENCHMARK(BM_QuickSearchKey)->Repetitions(5)->Unit(benchmark::kMillisecond)->Iterations(22);

void BM_QuickSearchRare(benchmark::State& state) {
  Catalog catalog;
  int found = 0;
  for (auto _ : state) {
    found = Key(catalog, "legends 434");
    state.PauseTiming();
    catalog.titles.SetQuickSearch("");
    state.ResumeTiming();
  }
  state.counters["found"] = found;
}
BENCHMARK(BM_QuickSearchRare)->Repetitions(5)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CountFiltered(benchmark::State& state) {
  Catalog catalog;
  catalog.titles.SetFilter("CATEGORY = 'Racing'");
  catalog.titles.SetFiltered(true);
  int count = 0;
  for (auto _ : state) count = catalog.titles.VisibleCount();
  state.counters["visible"] = count;
}
BENCHMARK(BM_CountFiltered)->Repetitions(5)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Statistics(benchmark::State& state) {
  Catalog catalog;
  size_t values = 0;
  for (auto _ : state)
    for (const char* field :
         {"CATEGORY", "DEVELOPER", "DISTRIBUTR", "PLAYERS", "ANALOG", "DUALSHOCK"})
      values += catalog.titles.Breakdown(field).size();
  benchmark::DoNotOptimize(values);
}
BENCHMARK(BM_Statistics)->Repetitions(5)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FindFirstInOrder(benchmark::State& state) {
  Catalog catalog;
  bool found = false;
  for (auto _ : state) {
    found = catalog.titles.Locate("TITLE", platform::TVariant(std::string("tiny")),
                                  platform::loPartialKey | platform::loCaseInsensitive);
  }
  state.counters["found"] = found;
}
BENCHMARK(BM_FindFirstInOrder)->Repetitions(5)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
