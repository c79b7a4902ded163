#include "app/BackgroundWork.h"

#include <QElapsedTimer>
#include <QTimer>

#include "app/Views.h"
#include "platform/qt/application.h"
#include "platform/qt/progress_window.h"

namespace {

constexpr int kSliceMs = 15;

}  // namespace

TBackgroundWork::TBackgroundWork(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &TBackgroundWork::Slice);
}

bool TBackgroundWork::Pending() {
  if (MastData == nullptr) return false;
  for (const TView& view : Views())
    if (view.Table().Active() && view.Table().BackgroundWorkPending()) return true;
  return false;
}

void TBackgroundWork::Start() {
  if (Pending() && !timer_->isActive()) timer_->start();
}

bool TBackgroundWork::Running() const { return timer_->isActive(); }

void TBackgroundWork::Slice() {
  // A long command runs and lets events through: its tables are not to be touched.
  if (platform::qt::TProgressWindow::Busy()) return;
  QElapsedTimer clock;
  clock.start();
  platform::qt::RunCommand([&] {
    for (const TView& view : Views()) {
      TDevazozDataSet& table = view.Table();
      if (!table.Active() || !table.BackgroundWorkPending()) continue;
      table.DoBackgroundWork([&] { return clock.elapsed() >= kSliceMs; });
      if (clock.elapsed() >= kSliceMs) break;
    }
  });
  if (Pending()) return;
  timer_->stop();
  if (Done) Done();
}

void TBackgroundWork::Finish() {
  platform::qt::RunCommand([] {
    for (const TView& view : Views())
      if (view.Table().Active()) view.Table().DoBackgroundWork(nullptr);
  });
  Slice();
}
