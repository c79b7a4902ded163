// TProgressWindow: shows only after its delay, lets events through while the
// work reports, and stops the work only while the work says stopping is safe.
#include "platform/qt/progress_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "platform/dataset/dbtypes.h"

namespace {

using platform::qt::TProgressWindow;

// Busy-waits `ms` milliseconds while reporting steps, as a long command does.
void Work(TProgressWindow& window, int ms, int64_t& steps) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) window.Step(++steps);
}

TEST(ProgressWindow, ShowsAfterItsDelayAndPaintsMeanwhile) {
  TProgressWindow::SetShowDelay(150);
  QWidget behind;
  behind.show();
  int timer_ran = 0;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] { ++timer_ran; });
  timer.start();
  {
    TProgressWindow window("Packing Data", &behind);
    EXPECT_TRUE(TProgressWindow::Busy());
    window.Begin("Packing QVXCAT.DBF", 1000000);
    int64_t steps = 0;
    Work(window, 60, steps);
    EXPECT_FALSE(window.isVisible());
    Work(window, 200, steps);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isModal());
    EXPECT_EQ(window.StageText(), "Packing QVXCAT.DBF");
    EXPECT_GT(window.findChild<QProgressBar*>("ProgressBar")->value(), 0);
    EXPECT_GE(timer_ran, 2);  // events went through while the work ran
    EXPECT_GT(steps, 1000);   // and the reports cost the work little
    // The window has a title and a close button, nothing else.
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  }
  EXPECT_FALSE(TProgressWindow::Busy());
  TProgressWindow::SetShowDelay(300);
}

TEST(ProgressWindow, CancelStopsOnlyWhereStoppingIsSafe) {
  TProgressWindow::SetShowDelay(0);
  TProgressWindow window("Reindexing Data");
  window.Begin("Rebuilding QVXCAT.CDX", 0);
  auto* cancel = window.findChild<QPushButton*>("CancelBtn");
  ASSERT_NE(cancel, nullptr);
  window.SetCancellable(false, "The packed table is being put in place");
  EXPECT_FALSE(cancel->isEnabled());
  cancel->click();  // refused while not cancellable
  EXPECT_FALSE(window.CancelRequested());
  window.SetCancellable(true);
  EXPECT_TRUE(window.Step(1));
  EXPECT_NO_THROW(window.CheckCancel());
  cancel->click();
  EXPECT_TRUE(window.CancelRequested());
  EXPECT_FALSE(window.Step(2));
  EXPECT_THROW(window.CheckCancel(), platform::EAbort);
  // A stage that may not stop goes on even though stopping was asked.
  window.SetCancellable(false, "Finishing");
  EXPECT_TRUE(window.Step(3));
  EXPECT_NO_THROW(window.CheckCancel());
  TProgressWindow::SetShowDelay(300);
}

TEST(ProgressWindow, EscapeAsksToStop) {
  TProgressWindow window("Export to PDF");
  window.reject();  // what Esc and the close box do
  EXPECT_TRUE(window.CancelRequested());
  EXPECT_THROW(window.CheckCancel(), platform::EAbort);
}

}  // namespace
