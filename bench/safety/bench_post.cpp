// What durable posts cost, on the sample catalog of 1,000,000 titles (QVXCAT.DBF
// with its FPT and its CDX of tags TITLE and CATEGORY, made once in
// $TMPDIR/qvx_bench_post_1m and grown by the appends):
//  - BM_EditPost: one title renamed through the dataset, as the record form posts
//    it (both tags' keys move); Arg 1 adds FlushBuffers, the end of the command.
//  - BM_AppendPost: one title added with its notes; Arg 1 with FlushBuffers.
//  - BM_HandlerAppends: 10,000 appends through the handler, Arg 0 each a durable
//    change of its own, Arg 1 inside one bulk scope (the index writes held and
//    coalesced as every append was before durable posts).
//  - BM_OpenAfterInterruptedChange: the open that follows an unclean end (the change
//    marker names QVXCAT.CDX), which rebuilds both tags before the dataset is open.
//   build-rel/bench/bench_post --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "catalog/sample_catalog.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "engine/foundation/gs6_mark.h"
#include "platform/dataset/stream.h"

namespace {
using namespace devazoz;

constexpr int kTitles = 1000000;

const std::string& CatalogDir() {
  static const std::string dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string d = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvx_bench_post_1m";
    if (!std::filesystem::exists(d + "/QVXCAT.CDX")) {
      std::filesystem::create_directories(d);
      catalog::WriteSampleCatalog(d, kTitles);
    }
    return d;
  }();
  return dir;
}

void OpenCatalog(TDevazozDataSet& ds) {
  ds.SetDatabaseName(CatalogDir());
  ds.SetTableName("QVXCAT.DBF");
  ds.SetIndexFiles({"QVXCAT.CDX"});
  ds.SetIndexName("TITLE");
  ds.SetExclusive(true);
  ds.Open();
}

std::string RandomTitle(std::mt19937& rng) {
  static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz ";
  std::string t;
  for (int i = 0; i < 24; ++i) t += letters[rng() % 53];
  return t;
}

void BM_EditPost(benchmark::State& state) {
  TDevazozDataSet ds;
  OpenCatalog(ds);
  std::mt19937 rng(7);
  const int count = ds.RecordCount();
  for (auto _ : state) {
    state.PauseTiming();
    ds.SetRecNo(1 + int(rng() % unsigned(count)));
    std::string title = RandomTitle(rng);
    state.ResumeTiming();
    ds.Edit();
    ds.FieldByName("TITLE")->SetAsString(title);
    ds.Post();
    if (state.range(0)) ds.FlushBuffers();
  }
}
BENCHMARK(BM_EditPost)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(300)
    ->Repetitions(3);

void BM_AppendPost(benchmark::State& state) {
  TDevazozDataSet ds;
  OpenCatalog(ds);
  std::mt19937 rng(11);
  const std::string notes = "Save files need 2 memory card blocks.";
  for (auto _ : state) {
    state.PauseTiming();
    std::string title = RandomTitle(rng);
    state.ResumeTiming();
    ds.Append();
    ds.FieldByName("TITLE")->SetAsString(title);
    ds.FieldByName("CATEGORY")->SetAsString("Puzzle");
    {
      auto stream =
          ds.CreateBlobStream(ds.FieldByName("NOTES"), platform::TBlobStreamMode::bmWrite);
      stream->Write(notes.data(), int32_t(notes.size()));
    }
    ds.Post();
    if (state.range(0)) ds.FlushBuffers();
  }
}
BENCHMARK(BM_AppendPost)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(300)
    ->Repetitions(3);

void BM_HandlerAppends(benchmark::State& state) {
  std::mt19937 rng(13);
  GSO_dBHandler h(CatalogDir() + "/QVXCAT.DBF", true, false);
  h.OpenIndexFile(CatalogDir() + "/QVXCAT.CDX");
  int title = h.FieldNumber("TITLE"), category = h.FieldNumber("CATEGORY");
  for (auto _ : state) {
    TgsBulkScope scope(state.range(0) ? &h : nullptr);
    for (int i = 0; i < 10000; ++i) {
      h.BlankRecord();
      h.PutStr(title, RandomTitle(rng));
      h.PutStr(category, "Racing");
      h.AppendRecord();
    }
    scope.End();
  }
}
BENCHMARK(BM_HandlerAppends)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

void BM_OpenAfterInterruptedChange(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TgsChangeMarker(CatalogDir() + "/QVXCAT.DBF").Write({"QVXCAT.CDX"}, false);
    state.ResumeTiming();
    TDevazozDataSet ds;
    OpenCatalog(ds);
    if (ds.RebuiltIndexes().size() != 1) state.SkipWithError("the index was not rebuilt");
    state.PauseTiming();
    ds.Close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenAfterInterruptedChange)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
