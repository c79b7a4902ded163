// The record form and the find and filter dialogs offscreen on a 1,000,000-title
// catalog whose category and developer/distributor tables hold 10,000 entries
// each: the catalog form opening on a record (values located in the lookup
// tables), the same with the three drop-down lists read in full, Find by title
// with the tag and without regard to case, and a filter's first screen.
//
// The catalog is made once in $TMPDIR/qvx_bench_forms_1m (or QVX_BENCH_FORMS_CATALOG)
// by the sample maker; the lookup entries are then added through the dataset.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/CatalFrm.h"
#include "app/DataMod.h"
#include "app/FiltFrm.h"
#include "app/FindDlg.h"
#include "app/Main.h"
#include "app/qvxcat.h"
#include "platform/qt/application.h"
#include "platform/qt/db_grid.h"
#include "platform/qt/db_lookup_combo_box.h"

namespace {

constexpr int kTitles = 1000000;
constexpr int kEntries = 10000;

std::string CatalogDir() {
  if (const char* dir = std::getenv("QVX_BENCH_FORMS_CATALOG")) return dir;
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/qvx_bench_forms_1m";
}

// Adds entries until the table holds kEntries, through the dataset (indexes kept).
void FillLookup(const std::string& dir, const char* table_name, const char* index, const char* tag,
                const char* field, const char* prefix) {
  TDevazozDataSet table;
  table.SetDatabaseName(dir);
  table.SetTableName(table_name);
  table.SetIndexFiles({index});
  table.SetIndexName(tag);
  table.SetExclusive(true);
  table.Open();
  int count = table.RecordCount();
  for (int i = count; i < kEntries; ++i) {
    table.Append();
    char text[40];
    std::snprintf(text, sizeof text, "%s %05d", prefix, (i * 7919) % kEntries);
    table.FieldByName(field)->SetAsString(text);
    table.Post();
  }
  table.Close();
}

void MakeCatalog(const std::string& dir) {
  struct stat st {};
  if (stat((dir + "/READY").c_str(), &st) == 0) return;
  std::string command =
      std::string(QVX_SAMPLECAT_TOOL) + " '" + dir + "' --titles " + std::to_string(kTitles);
  if (stat((dir + "/QVXCAT.CDX").c_str(), &st) != 0 && std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "cannot make %s\n", dir.c_str());
    std::exit(1);
  }
  FillLookup(dir, "CATEGORY.DBF", "CATEGORY.CDX", "CATEGORY", "CATEGORY", "Category");
  FillLookup(dir, "DEVDIST.DBF", "DEVDIST.CDX", "DEVDIST", "DEVDIST", "Company");
  std::FILE* ready = std::fopen((dir + "/READY").c_str(), "w");
  if (ready != nullptr) std::fclose(ready);
}

void Events() {
  for (int i = 0; i < 2; ++i) QApplication::processEvents();
}

struct Running {
  Running() {
    CreateForms();
    MainForm->show();
    Events();
    if (MainForm->CurrentView() != 1) {
      std::fprintf(stderr, "the catalog did not open\n");
      std::exit(1);
    }
    // A title in the middle of the catalog.
    for (int i = 0; i < 5000; ++i) MastData->QvxcatTable.Next();
  }
};

void ShowForm() {
  CatalogForm->show();
  Events();
  CatalogForm->repaint();
}

void HideForm() {
  CatalogForm->hide();
  Events();
}

void BM_CatalogFormOpen(benchmark::State& state) {
  static Running program;
  for (auto _ : state) {
    ShowForm();
    state.PauseTiming();
    if (CatalogForm->DBLookupComboBoxCategory->DisplayText().isEmpty())
      state.SkipWithError("no category shown");
    HideForm();
    MastData->QvxcatTable.Next();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CatalogFormOpen)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CatalogFormOpenWithFullLists(benchmark::State& state) {
  static Running program;
  TCatalogForm* f = CatalogForm;
  platform::qt::TDBLookupComboBox* boxes[] = {
      f->DBLookupComboBoxCategory, f->DBLookupComboBoxDeveloper, f->DBLookupComboBoxDistributor};
  for (auto _ : state) {
    state.PauseTiming();
    // Lists not read yet, as after a change of the lookup tables.
    for (auto* box : boxes) box->SetListSource(box->ListSource());
    state.ResumeTiming();
    ShowForm();
    for (auto* box : boxes) benchmark::DoNotOptimize(box->Items().size());
    state.PauseTiming();
    if (f->DBLookupComboBoxDeveloper->Items().size() < kEntries) state.SkipWithError("short list");
    HideForm();
    MastData->QvxcatTable.Next();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CatalogFormOpenWithFullLists)->Unit(benchmark::kMillisecond)->Iterations(5);

// Runs the find dialog's close as OK with the given text and boxes, then paints the grid.
bool Find(const std::string& text, bool case_sensitive) {
  FindDialog->FieldNames = {"TITLE", "CATEGORY"};
  FindDialog->DataSource = &MastData->QvxcatSource;
  FindDialog->SearchByComboBox->clear();
  FindDialog->SearchByComboBox->addItems({"Title", "Category"});
  FindDialog->SearchByComboBox->setCurrentIndex(0);
  FindDialog->SearchForEdit->setText(QString::fromStdString(text));
  FindDialog->CaseSensitiveCheckBox->setChecked(case_sensitive);
  FindDialog->ExactMatchCheckBox->setChecked(false);
  FindDialog->SetModalResult(platform::qt::mrOk);
  platform::qt::TCloseAction action = platform::qt::TCloseAction::caHide;
  FindDialog->FormClose(action);
  MainForm->DBGrid->viewport()->repaint();
  return MastData->QvxcatTable.FieldByName("TITLE")->AsString().rfind(text, 0) == 0;
}

// The title of the last record in the file (the far end for a search in sequence).
std::string LastTitleInFile() {
  TDevazozDataSet& t = MastData->QvxcatTable;
  t.SetIndexName("");
  t.Last();
  std::string title = t.FieldByName("TITLE")->AsString();
  t.SetIndexName("TITLE");
  return title;
}

void BM_FindTitleWithTag(benchmark::State& state) {
  static Running program;
  static const std::string target = LastTitleInFile();
  for (auto _ : state) {
    state.PauseTiming();
    MastData->QvxcatTable.First();
    state.ResumeTiming();
    if (!Find(target, true)) state.SkipWithError("not found");
  }
}
BENCHMARK(BM_FindTitleWithTag)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FindTitleIgnoringCase(benchmark::State& state) {
  static Running program;
  static const std::string target = LastTitleInFile();
  for (auto _ : state) {
    state.PauseTiming();
    MastData->QvxcatTable.First();
    state.ResumeTiming();
    if (!Find(target, false)) state.SkipWithError("not found");
  }
}
BENCHMARK(BM_FindTitleIgnoringCase)->Unit(benchmark::kMillisecond)->Iterations(3);

void ApplyFilter(const QString& condition) {
  FilterForm->DataSource = &MastData->QvxcatSource;
  FilterForm->ConditionMemo->setPlainText(condition);
  FilterForm->CaseSensitiveCheckBox->setChecked(true);
  FilterForm->SetModalResult(platform::qt::mrOk);
  platform::qt::TCloseAction action = platform::qt::TCloseAction::caHide;
  FilterForm->FormClose(action);
  MainForm->DBGrid->viewport()->repaint();
}

void BM_FilterFirstScreen(benchmark::State& state, const char* condition) {
  static Running program;
  for (auto _ : state) {
    ApplyFilter(condition);
    state.PauseTiming();
    if (!MastData->QvxcatTable.Filtered() || MastData->QvxcatTable.Eof())
      state.SkipWithError("no filtered records");
    ApplyFilter("");
    state.ResumeTiming();
  }
}
BENCHMARK_CAPTURE(BM_FilterFirstScreen, analog, "ANALOG = True")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_FilterFirstScreen, category, "CATEGORY = 'Racing' AND DUALSHOCK = True")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  MakeCatalog(CatalogDir());
  if (chdir(CatalogDir().c_str()) != 0) return 1;
  platform::qt::TApplication application(argc, argv);
  application.SetTitle("QVX Catalog");
  application.setQuitOnLastWindowClosed(false);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::fflush(stdout);
  std::_Exit(0);
}
