// A session on 1,000,000 titles, offscreen, for its memory: open the catalog
// (with its tables read into their digests), scroll to the end, preview the list
// report's last page and close the preview, reindex, delete ten titles and pack,
// open the statistics window. After each step it prints the process's resident
// memory and its peak so far, both resident (with the mapped table's pages) and
// its own (RssAnon, without them); the figures to quote are the peaks at the end,
// and the memory given back when the preview closed, with the time the preview
// takes to open and to show its last page.
//
// The catalog is copied from $TMPDIR/qvx_bench_1m (made by the sample maker when
// missing) into a scratch directory, since the session packs and reindexes it.
//   build/bench/bench_session
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/BackgroundWork.h"
#include "app/DataMod.h"
#include "app/Main.h"
#include "app/MaintCmds.h"
#include "app/QvxLiRpt.h"
#include "app/StatsFrm.h"
#include "app/qvxcat.h"
#include "platform/qt/application.h"
#include "platform/qt/db_grid.h"
#include "report/Report.h"
#include "report/ReportLayout.h"
#include "report/ReportPreview.h"

namespace {

std::string SourceDir() {
  if (const char* dir = std::getenv("QVX_BENCH_CATALOG")) return dir;
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/qvx_bench_1m";
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long ResidentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The process's own memory (RssAnon): resident minus the pages of mapped files.
// The engine maps the table file, so a walk over every record makes its pages
// resident too; those are the system's file cache, given back whenever memory is
// wanted, and not memory the program took.
long AnonKiB() {
  long kib = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "RssAnon: %ld", &kib) == 1) break;
    std::fclose(f);
  }
  return kib;
}

// The highest RssAnon seen, sampled every 5 ms from a thread of its own.
std::atomic<long> g_anon_peak{0};
std::atomic<long> g_step_peak{0};  // since the last step was reported
std::atomic<bool> g_sampling{true};

void SampleAnon() {
  while (g_sampling.load()) {
    const long now = AnonKiB();
    if (now > g_anon_peak.load()) g_anon_peak.store(now);
    if (now > g_step_peak.load()) g_step_peak.store(now);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

QElapsedTimer g_clock;

void Report(const char* step) {
  const long own = AnonKiB();
  std::printf(
      "%-28s %6.1f MiB resident %6.1f MiB peak %6.1f MiB own %6.1f MiB own in step %6.1f MiB "
      "own peak %6lld ms\n",
      step, ResidentKiB() / 1024.0, PeakKiB() / 1024.0, own / 1024.0,
      std::max(own, g_step_peak.exchange(0)) / 1024.0, g_anon_peak.load() / 1024.0,
      static_cast<long long>(g_clock.restart()));
  std::fflush(stdout);
}

void Events() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string source = SourceDir();
  struct stat st {};
  if (stat((source + "/QVXCAT.CDX").c_str(), &st) != 0)
    Run(std::string(QVX_SAMPLECAT_TOOL) + " '" + source + "' --titles 1000000");
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir =
      std::string(tmp != nullptr ? tmp : "/tmp") + "/qvx_session." + std::to_string(getpid());
  Run("rm -rf '" + dir + "' && cp -r '" + source + "' '" + dir + "'");
  if (chdir(dir.c_str()) != 0) return 1;

  platform::qt::TApplication application(argc, argv);
  application.SetTitle("QVX Catalog");
  application.setQuitOnLastWindowClosed(false);
  std::thread sampler(SampleAnon);
  g_clock.start();
  Report("start");
  CreateForms();
  MainForm->show();
  Events();
  MainForm->BackgroundWork()->Finish();
  Events();
  Report("open, tables read");

  QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
  QApplication::sendEvent(MainForm->DBGrid, &end);
  MainForm->DBGrid->viewport()->repaint();
  Report("scrolled to the end");

  const long before_preview = ResidentKiB();
  const long before_preview_own = AnonKiB();
  {
    TReport& report = *QvxListReportForm->QuickRep1;
    auto layout = report.CreateLayout();
    // As the user meets it: the preview opens on page 1 (where every page begins
    // is worked out then), and Last shows the last page.
    QElapsedTimer timer;
    timer.start();
    TReportPreview preview(report, *layout);
    preview.show();
    Events();
    const qint64 open_ms = timer.elapsed();
    std::printf("pages known at once: %d; preview open in %lld ms\n", layout->KnownPageCount(),
                open_ms);
    timer.restart();
    preview.LastPageClick();
    Events();
    std::printf("preview on page %d, Last (page shown) in %lld ms\n", preview.CurrentPage(),
                timer.elapsed());
    Report("preview, last page");
    preview.close();
  }
  Events();
  Report("preview closed");
  std::printf("kept after the preview closed: %.1f MiB resident, %.1f MiB own\n",
              (ResidentKiB() - before_preview) / 1024.0, (AnonKiB() - before_preview_own) / 1024.0);

  ReindexTables(MainForm);
  Events();
  Report("reindexed");

  for (int i = 0; i < 10; ++i) {
    MastData->QvxcatTable.First();
    MastData->QvxcatTable.Delete();
  }
  PackTables(MainForm);
  Events();
  Report("ten deleted, packed");

  MainForm->BackgroundWork()->Finish();
  StatisticsForm = new TStatisticsForm(MainForm);
  StatisticsForm->Fill(MastData->QvxcatTable);
  StatisticsForm->show();
  Events();
  Report("statistics");
  StatisticsForm->close();

  std::printf("peak memory %.1f MiB resident, %.1f MiB own\n", PeakKiB() / 1024.0,
              g_anon_peak.load() / 1024.0);
  g_sampling.store(false);
  sampler.join();
  MainForm->close();
  DestroyForms();
  Run("rm -rf '" + dir + "'");
  std::fflush(stdout);
  std::_Exit(0);
}
