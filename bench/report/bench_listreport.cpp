// The catalog's list report on real catalogs through the dataset adapter: 10,000
// titles to PDF, and the preview's first page of 1,000,000 titles (from the
// preview command to the first page painted).
//
// The catalogs are made once in $TMPDIR/qvx_bench_10k and $TMPDIR/qvx_bench_1m
// (the latter shared with the main window's benchmark) by the sample maker.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/QvxLiRpt.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "report/ReportLayout.h"
#include "report/ReportPreview.h"

namespace {

std::string CatalogDir(int titles) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") +
         (titles == 1000000 ? "/qvx_bench_1m"
                            : "/qvx_bench_" + std::to_string(titles / 1000) + "k");
}

std::string MakeCatalog(int titles) {
  const std::string dir = CatalogDir(titles);
  struct stat st {};
  if (stat((dir + "/QVXCAT.CDX").c_str(), &st) == 0) return dir;
  const std::string command =
      std::string(QVX_SAMPLECAT_TOOL) + " '" + dir + "' --titles " + std::to_string(titles);
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "cannot make %s\n", dir.c_str());
    std::exit(1);
  }
  return dir;
}

void EnsureApp() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_listreport";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

void OpenCatalog(devazoz::TDevazozDataSet& table, const std::string& dir) {
  table.SetDatabaseName(dir);
  table.SetTableName("QVXCAT.DBF");
  table.SetIndexFiles({"QVXCAT.CDX"});
  table.SetIndexName("TITLE");
  table.SetExclusive(true);
  table.Open();
}

void BM_ListReport10kTitlesToPdf(benchmark::State& state) {
  EnsureApp();
  devazoz::TDevazozDataSet table;
  OpenCatalog(table, MakeCatalog(10000));
  TQvxListReportForm form(&table);
  QTemporaryDir out;
  int pages = 0;
  for (auto _ : state) pages = form.QuickRep1->ExportToPdf(out.filePath("list.pdf"));
  state.counters["pages"] = pages;
  table.Close();
}
BENCHMARK(BM_ListReport10kTitlesToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PreviewFirstPage1MTitles(benchmark::State& state) {
  EnsureApp();
  devazoz::TDevazozDataSet table;
  OpenCatalog(table, MakeCatalog(1000000));
  table.MoveBy(500000);  // the user is somewhere in the middle
  TQvxListReportForm form(&table);
  for (auto _ : state) {
    auto layout = form.QuickRep1->CreateLayout();
    TReportPreview preview(*form.QuickRep1, *layout);
    preview.show();
    QPixmap shot = preview.grab();  // the first page painted
    benchmark::DoNotOptimize(shot);
  }
  table.Close();
}
BENCHMARK(BM_PreviewFirstPage1MTitles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
