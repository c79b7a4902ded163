#include "platform/qt/progress_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "platform/dataset/dbtypes.h"

namespace platform::qt {
namespace {

int g_pump_every_ms = 50;
int g_show_delay_ms = 300;
int g_open_windows = 0;

}  // namespace

bool TProgressWindow::Busy() { return g_open_windows > 0; }

void TProgressWindow::SetShowDelay(int ms) { g_show_delay_ms = ms; }

void TProgressWindow::SetPumpInterval(int ms) { g_pump_every_ms = ms; }

TProgressWindow::TProgressWindow(const QString& title, QWidget* parent) : QDialog(parent) {
  setObjectName("ProgressWindow");
  setWindowTitle(title);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowModality(Qt::ApplicationModal);
  label_ = new QLabel(this);
  label_->setObjectName("ProgressText");
  label_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("ProgressBar");
  bar_->setTextVisible(true);
  cancel_button_ = new QPushButton("Cancel", this);
  cancel_button_->setObjectName("CancelBtn");
  cancel_button_->setMinimumWidth(75);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_button_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->addWidget(label_);
  layout->addWidget(bar_);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(cancel_button_, &QPushButton::clicked, this, &TProgressWindow::CancelButtonClick);
  started_.start();
  pumped_.start();
  ++g_open_windows;
}

TProgressWindow::~TProgressWindow() { --g_open_windows; }

void TProgressWindow::Begin(const QString& text, int64_t total) {
  label_->setText(text);
  total_ = total;
  done_ = 0;
  if (total > 0) {
    // The bar counts in ints: large totals are shown scaled.
    bar_->setRange(0, int(std::min<int64_t>(total, INT_MAX)));
    bar_->setValue(0);
  } else {
    bar_->setRange(0, 0);
  }
  Pump();
}

void TProgressWindow::SetText(const QString& text) { label_->setText(text); }

bool TProgressWindow::Step(int64_t done) {
  done_ = done;
  if (pumped_.elapsed() >= g_pump_every_ms) Pump();
  return !(cancel_requested_ && cancellable_);
}

void TProgressWindow::Refresh() {
  if (total_ > 0) {
    const double fraction = double(std::clamp<int64_t>(done_, 0, total_)) / double(total_);
    bar_->setValue(int(fraction * bar_->maximum()));
  }
}

void TProgressWindow::Pump() {
  Refresh();
  if (!isVisible() && started_.elapsed() >= g_show_delay_ms) show();
  pumped_.restart();
  // Before the window shows, the user's input would reach the windows behind it.
  QApplication::processEvents(isVisible() ? QEventLoop::AllEvents
                                          : QEventLoop::ExcludeUserInputEvents);
}

void TProgressWindow::SetCancellable(bool cancellable, const QString& why_not) {
  cancellable_ = cancellable;
  cancel_button_->setEnabled(cancellable && !cancel_requested_);
  cancel_button_->setToolTip(cancellable ? QString() : why_not);
}

void TProgressWindow::CheckCancel() {
  if (cancel_requested_ && cancellable_) throw platform::EAbort();
}

QString TProgressWindow::StageText() const { return label_->text(); }

void TProgressWindow::CancelButtonClick() {
  if (!cancellable_ || cancel_requested_) return;
  cancel_requested_ = true;
  cancel_button_->setEnabled(false);
  cancel_button_->setText("Stopping...");
}

// Esc and the close box ask to stop; the window closes when the work ends.
void TProgressWindow::reject() { CancelButtonClick(); }

}  // namespace platform::qt
