// The main window offscreen on a 1,000,000-title catalog: the first screen painted
// after start, Ctrl+End, 100 PageDowns, a title click to Category order and back, a
// scroll-bar drag, where drags to a quarter, half and three quarters of the thumb land
// in the list (in TITLE order, and filtered to one category in CATEGORY order); and
// the program's peak memory.
//
// The catalog is made once in $TMPDIR/qvx_bench_1m (or QVX_BENCH_CATALOG) by the
// sample maker.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/DataMod.h"
#include "app/Main.h"
#include "app/qvxcat.h"
#include "platform/qt/application.h"
#include "platform/qt/db_grid.h"

namespace {

constexpr int kTitles = 1000000;

std::string CatalogDir() {
  if (const char* dir = std::getenv("QVX_BENCH_CATALOG")) return dir;
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/qvx_bench_1m";
}

void MakeCatalog(const std::string& dir) {
  struct stat st {};
  if (stat((dir + "/QVXCAT.CDX").c_str(), &st) == 0) return;
  std::string command =
      std::string(QVX_SAMPLECAT_TOOL) + " '" + dir + "' --titles " + std::to_string(kTitles);
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "cannot make %s\n", dir.c_str());
    std::exit(1);
  }
}

void Events() {
  for (int i = 0; i < 2; ++i) QApplication::processEvents();
}

// Paints the grid now, as the screen would.
void PaintGrid() { MainForm->DBGrid->viewport()->repaint(); }

void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(MainForm->DBGrid, &press);
  PaintGrid();
}

void StartProgram() {
  CreateForms();
  MainForm->show();
  Events();
  PaintGrid();
}

void StopProgram() {
  MainForm->close();
  DestroyForms();
}

long PeakMemoryKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_FirstScreen(benchmark::State& state) {
  for (auto _ : state) {
    StartProgram();
    state.PauseTiming();
    if (MainForm->CurrentView() != 1) state.SkipWithError("the catalog did not open");
    StopProgram();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);

// The remaining benchmarks share one running program.
struct Running {
  Running() { StartProgram(); }
};

void BM_CtrlEnd(benchmark::State& state) {
  static Running program;
  for (auto _ : state) {
    state.PauseTiming();
    Key(Qt::Key_Home, Qt::ControlModifier);
    state.ResumeTiming();
    Key(Qt::Key_End, Qt::ControlModifier);
  }
  if (!MastData->QvxcatTable.Eof()) state.SkipWithError("not at the end");
}
BENCHMARK(BM_CtrlEnd)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_PageDown100(benchmark::State& state) {
  static Running program;
  for (auto _ : state) {
    state.PauseTiming();
    Key(Qt::Key_Home, Qt::ControlModifier);
    state.ResumeTiming();
    for (int i = 0; i < 100; ++i) Key(Qt::Key_PageDown);
  }
}
BENCHMARK(BM_PageDown100)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TitleClickCategoryAndBack(benchmark::State& state) {
  static Running program;
  QHeaderView* header = MainForm->DBGrid->TitleHeader();
  for (auto _ : state) {
    emit header->sectionClicked(1);  // Category
    PaintGrid();
    emit header->sectionClicked(0);  // Title
    PaintGrid();
  }
  if (MastData->QvxcatTable.IndexName() != "TITLE") state.SkipWithError("not back in TITLE order");
}
BENCHMARK(BM_TitleClickCategoryAndBack)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ScrollBarDrag(benchmark::State& state) {
  static Running program;
  QScrollBar* bar = MainForm->DBGrid->verticalScrollBar();
  int step = 0;
  for (auto _ : state) {
    const int span = bar->maximum() - bar->minimum();
    bar->setSliderPosition(bar->minimum() + (span * (1 + step++ % 9)) / 10);
    bar->triggerAction(QAbstractSlider::SliderMove);
    PaintGrid();
  }
}
BENCHMARK(BM_ScrollBarDrag)->Unit(benchmark::kMillisecond)->Iterations(20);

// The list the grid shows, walked record by record: each record's place in it.
std::vector<int32_t> PlacesOfRecords() {
  TDevazozDataSet& table = MastData->QvxcatTable;
  std::vector<int32_t> place(size_t(table.RecordCount()) + 2, -1);
  int32_t at = 0;
  table.DisableControls();
  for (table.First(); !table.Eof(); table.Next()) place[size_t(table.RecNo())] = at++;
  table.EnableControls();
  place.back() = at;  // the list's length
  return place;
}

// Drags the thumb to 25, 50 and 75 % and reports where in the list the record
// landed and where the thumb then stands, in percent of the list.
void DragQuarters(benchmark::State& state, const std::vector<int32_t>& place) {
  QScrollBar* bar = MainForm->DBGrid->verticalScrollBar();
  const double count = place.back();
  for (int quarter : {25, 50, 75}) {
    const int span = bar->maximum() - bar->minimum();
    bar->setSliderPosition(bar->minimum() + int(std::lround(span * quarter / 100.0)));
    bar->triggerAction(QAbstractSlider::SliderMove);
    PaintGrid();
    const int32_t at = place[size_t(MastData->QvxcatTable.RecNo())];
    const std::string name = std::to_string(quarter);
    state.counters["landed_" + name] = 100.0 * at / (count - 1);
    state.counters["thumb_" + name] =
        100.0 * (bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum());
  }
}

void BM_ScrollBarQuartersTitleOrder(benchmark::State& state) {
  static Running program;
  MastData->QvxcatTable.SetIndexName("TITLE");
  const std::vector<int32_t> place = PlacesOfRecords();
  for (auto _ : state) DragQuarters(state, place);
}
BENCHMARK(BM_ScrollBarQuartersTitleOrder)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ScrollBarQuartersOneCategory(benchmark::State& state) {
  static Running program;
  TDevazozDataSet& table = MastData->QvxcatTable;
  table.SetIndexName("CATEGORY");
  table.SetFilter("CATEGORY = 'Racing'");
  table.SetFiltered(true);
  const std::vector<int32_t> place = PlacesOfRecords();
  for (auto _ : state) DragQuarters(state, place);
  table.SetFiltered(false);
  table.SetIndexName("TITLE");
}
BENCHMARK(BM_ScrollBarQuartersOneCategory)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PeakMemory(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(PeakMemoryKiB());
  state.counters["peak_MiB"] = double(PeakMemoryKiB()) / 1024.0;
}
BENCHMARK(BM_PeakMemory)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string dir = CatalogDir();
  MakeCatalog(dir);
  if (chdir(dir.c_str()) != 0) return 1;
  platform::qt::TApplication application(argc, argv);
  application.SetTitle("QVX Catalog");
  application.setQuitOnLastWindowClosed(false);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("peak memory %.1f MiB\n", double(PeakMemoryKiB()) / 1024.0);
  std::fflush(stdout);
  std::_Exit(0);
}
