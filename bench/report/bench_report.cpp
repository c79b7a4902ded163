// The list report's speed: a 10,000-row report to PDF, and the preview's first
// page of a 1,000,000-row report (pages are laid out as they are shown, so
// the first page costs the same whatever the row count).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>

#include "report/Report.h"
#include "report/ReportLayout.h"
#include "report/ReportPreview.h"

namespace {

// Rows made up on the fly, shaped like catalog titles.
class TGeneratedSource : public TReportDataSource {
 public:
  explicit TGeneratedSource(int count) : count_(count) {}
  void BeginWalk() override {}
  void EndWalk() override {}
  void First() override { pos_ = 0; }
  void Next() override { ++pos_; }
  bool Eof() override { return pos_ >= count_; }
  int FieldIndex(const QString& name) override {
    static const QStringList names = {"TITLE", "CATEGORY", "DISTRIBUTR", "PLAYERS", "MEMORYBLKS"};
    return int(names.indexOf(name));
  }
  QString FieldText(int index) override {
    switch (index) {
      case 0:
        return QString("Crimson Harbor Voyage %1").arg(pos_ + 1);
      case 1:
        return "Role Playing";
      case 2:
        return "Foggy Pier Software";
      case 3:
        return "1-4";
      default:
        return QString::number(1 + pos_ % 15);
    }
  }
  std::string Bookmark() override { return std::to_string(pos_); }
  void GotoBookmark(const std::string& b) override { pos_ = std::stoi(b); }

 private:
  int count_;
  int pos_ = 0;
};

void EnsureApp() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_report";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

// The catalog list's geometry: title, column header, five detail fields, footer.
void MakeList(TReport& r) {
  r.ReportTitle = "QVX Catalog List";
  r.PrintIfEmpty = false;
  TReportLabel* title = r.AddBand("TitleBand1", TReportBandType::Title, 10.58)
                            ->AddLabel("QRLabel1", "QVX Catalog List");
  title->AlignToBand = true;
  title->Alignment = TReportAlignment::Center;
  title->Font.Size = 14;
  title->Font.Bold = true;
  TReportBand* header = r.AddBand("ColumnHeaderBand1", TReportBandType::ColumnHeader, 5.82);
  TReportBand* detail = r.AddBand("DetailBand1", TReportBandType::Detail, 4.76);
  const struct {
    const char* caption;
    const char* field;
    double left, width;
  } columns[] = {{"Title", "[TITLE]", 0.26, 63.5},
                 {"Category", "[CATEGORY]", 66.68, 45.77},
                 {"Distributor", "[DISTRIBUTR]", 114.3, 36.51},
                 {"Players", "[PLAYERS]", 152.66, 10.85},
                 {"Mem. Blocks", "[MEMORYBLKS]", 165.36, 19.31}};
  for (const auto& c : columns) {
    TReportLabel* label = header->AddLabel(c.caption, c.caption);
    label->Left = c.left;
    label->Width = c.width;
    label->Font.Bold = true;
    label->FrameBottom = true;
    TReportExpr* expr = detail->AddExpr(c.field, c.field);
    expr->Left = c.left;
    expr->Width = c.width;
    expr->Height = 3.97;
    expr->WordWrap = true;
    expr->AutoStretch = true;
  }
  TReportSysData* page = r.AddBand("PageFooterBand1", TReportBandType::PageFooter, 10.58)
                             ->AddSysData("QRSysData1", TReportSysDataKind::PageNumber, "Page ");
  page->Left = 165.36;
  page->Top = 6.35;
  page->Width = 19.31;
  page->Alignment = TReportAlignment::Right;
}

void BM_ListReport10kToPdf(benchmark::State& state) {
  EnsureApp();
  TGeneratedSource source(10000);
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  QTemporaryDir dir;
  int pages = 0;
  for (auto _ : state) pages = report.ExportToPdf(dir.filePath("list.pdf"));
  state.counters["pages"] = pages;
}
BENCHMARK(BM_ListReport10kToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PreviewFirstPage1M(benchmark::State& state) {
  EnsureApp();
  TGeneratedSource source(1000000);
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  for (auto _ : state) {
    auto layout = report.CreateLayout();
    TReportPreview preview(report, *layout);
    preview.show();
    QPixmap shot = preview.grab();  // the first page painted
    benchmark::DoNotOptimize(shot);
  }
}
BENCHMARK(BM_PreviewFirstPage1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
