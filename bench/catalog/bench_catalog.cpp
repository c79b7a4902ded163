// Export and import on a 1,000,000-title catalog, as the program and devazoz run them:
//   BM_ExportMillionTitlesToCsv   every title in TITLE order through the dataset to a
//                                 CSV file, synced and put in place (target < 3 s)
//   BM_ImportHundredThousandRows  a 100,000-row list (new titles, some new
//                                 categories and companies, notes on every tenth)
//                                 into the catalog with its indexes open: opening
//                                 the tables, reading the list twice (survey and
//                                 import), every post, the held index writes and
//                                 the sync at the end, closing (target < 5 s);
//                                 max_gap_ms: the longest stretch without a
//                                 progress report (where the program's window
//                                 repaints and Cancel is heard), from the start of
//                                 the work to the tables closed (target < 200 ms);
//                                 end_ms: the held index writes and the sync at
//                                 the end of the last run
// The catalog is made once in $TMPDIR/qvx_bench_catalog_1m (a few seconds); each
// import runs on a fresh copy, copied outside the timing.
//   build/bench/bench_catalog
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "catalog/catalog_files.h"
#include "catalog/catalog_tables.h"
#include "catalog/csv_survey.h"
#include "catalog/sample_catalog.h"
#include "catalog/table_export.h"
#include "catalog/table_import.h"
#include "catalog/text_sink.h"

namespace {

namespace fs = std::filesystem;
constexpr int kTitles = 1000000;
constexpr int kRows = 100000;

std::string TempRoot() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

const std::string& MillionCatalog() {
  static const std::string dir = [] {
    std::string d = TempRoot() + "/qvx_bench_catalog_1m";
    if (!catalog::HoldsCatalog(d) || fs::file_size(d + "/QVXCAT.DBF") < 100000000) {
      fs::create_directories(d);
      catalog::WriteSampleCatalog(d, kTitles);
    }
    return d;
  }();
  return dir;
}

const std::string& HundredThousandRows() {
  static const std::string path = [] {
    std::string p = TempRoot() + "/qvx_bench_import_" + std::to_string(getpid()) + ".csv";
    std::string text = "Title,Genre,Developer,Publisher,Players,Analog,Vibration,Notes\r\n";
    for (int i = 0; i < kRows; ++i) {
      text += "Imported Title " + std::to_string(i) + ",Genre " + std::to_string(i % 40) +
              ",Studio " + std::to_string(i % 300) + ",Publisher " + std::to_string(i % 120) +
              ",1-" + std::to_string(1 + i % 4) + "," + (i % 2 ? "yes" : "no") + "," +
              (i % 3 ? "x" : "") + ",";
      if (i % 10 == 0) text += "\"Imported notes of row " + std::to_string(i) + ",\r\nline 2\"";
      text += "\r\n";
    }
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return p;
  }();
  return path;
}

void BM_ExportMillionTitlesToCsv(benchmark::State& state) {
  const std::string& dir = MillionCatalog();
  std::string out = TempRoot() + "/qvx_bench_export_" + std::to_string(getpid()) + ".csv";
  int64_t records = 0;
  for (auto _ : state) {
    devazoz::TDevazozDataSet titles;
    titles.SetTableName(dir + "/QVXCAT.DBF");
    titles.SetIndexFiles({"QVXCAT.CDX"});
    titles.SetIndexName("TITLE");
    titles.SetExclusive(true);
    titles.Open();
    catalog::FileSink sink(out);
    auto writer = catalog::MakeRecordWriter(catalog::ExportFormat::kCsv, sink);
    records = catalog::ExportDataSet(titles, *writer, nullptr).records;
    sink.Commit();
  }
  state.counters["records"] = double(records);
  state.counters["MB"] = double(fs::file_size(out)) / 1e6;
  std::remove(out.c_str());
  if (records != kTitles) state.SkipWithError("wrong record count");
}
BENCHMARK(BM_ExportMillionTitlesToCsv)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

void BM_ImportHundredThousandRows(benchmark::State& state) {
  const std::string& source = MillionCatalog();
  const std::string& list = HundredThousandRows();
  std::string dir = TempRoot() + "/qvx_bench_import_" + std::to_string(getpid());
  int64_t added = 0;
  double max_gap = 0, end_ms = 0;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const std::string& name : catalog::CatalogFileNames()) {
      fs::copy_file(source + "/" + name, dir + "/" + name);
      // The copy on the disk before the timing: a user's catalog has no 150 MB
      // waiting to be written when an import begins, and the import's first sync
      // would write it.
      int fd = ::open((dir + "/" + name).c_str(), O_RDONLY);
      if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
      }
    }
    state.ResumeTiming();
    Clock::time_point last = Clock::now();
    auto report = [&](int64_t, int64_t) {
      Clock::time_point now = Clock::now();
      max_gap = std::max(max_gap, std::chrono::duration<double, std::milli>(now - last).count());
      last = now;
      return true;
    };
    {
      catalog::CatalogTables tables(dir);
      catalog::TableImport import(tables.titles, tables.Categories(), tables.Companies());
      catalog::CsvSurvey survey = catalog::SurveyCsv(catalog::FileOpener(list), {}, {}, 20, report);
      catalog::ImportChoices choices;
      choices.format = survey.format;
      choices.columns = catalog::MapColumns(survey.headers, import.Fields());
      catalog::FileSource file(list);
      catalog::BulkWork work({&tables.titles, tables.Categories(), tables.Companies()});
      catalog::ImportSummary summary =
          import.Run(file, choices, survey.rows, work.SyncingAsItGoes(report));
      Clock::time_point end_start = Clock::now();
      catalog::EndImportWork(work, summary);
      end_ms = std::chrono::duration<double, std::milli>(Clock::now() - end_start).count();
      added = summary.indexes_failed.empty() ? summary.added : 0;
      report(0, 0);
    }
    report(0, 0);
  }
  state.counters["added"] = double(added);
  state.counters["max_gap_ms"] = max_gap;
  state.counters["end_ms"] = end_ms;
  fs::remove_all(dir);
  if (added != kRows) state.SkipWithError("wrong row count");
}
BENCHMARK(BM_ImportHundredThousandRows)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
