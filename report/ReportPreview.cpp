#include "report/ReportPreview.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "platform/dataset/dbtypes.h"
#include "platform/qt/progress_window.h"
#include "report/Report.h"
#include "report/ReportLayout.h"
#include "report/ReportPageView.h"
#include "report/ReportPrinting.h"

namespace {

const int kPercents[] = {25, 50, 75, 100, 125, 150, 200, 300};
constexpr int kBackgroundPages = 8;  // laid out per background step

}  // namespace

TReportPreview::TReportPreview(TReport& report, TReportLayout& layout, QWidget* parent)
    : QDialog(parent), report_(report), layout_(layout) {
  setWindowTitle(report.ReportTitle.isEmpty() ? QString("Print Preview")
                                              : "Print Preview - " + report.ReportTitle);
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  // Tall enough for most of a page at the width that fits the screen.
  QSize size(960, 760);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    size = QSize(std::min(960, area.width() * 9 / 10), area.height() * 9 / 10);
  }
  resize(size);

  auto* bar = new QToolBar(this);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* fit_width = bar->addAction("Fit Width");
  QAction* fit_page = bar->addAction("Fit Page");
  zoom_combo_ = new QComboBox(bar);
  zoom_combo_->addItem("Fit Width");
  zoom_combo_->addItem("Fit Page");
  for (int p : kPercents) zoom_combo_->addItem(QString("%1%").arg(p), p);
  bar->addWidget(zoom_combo_);
  bar->addSeparator();
  first_action_ = bar->addAction("First");
  prior_action_ = bar->addAction("Previous");
  page_spin_ = new QSpinBox(bar);
  page_spin_->setMinimum(0);
  page_spin_->setMaximum(0);
  page_spin_->setKeyboardTracking(false);
  bar->addWidget(new QLabel(" Page ", bar));
  bar->addWidget(page_spin_);
  page_count_label_ = new QLabel(bar);
  bar->addWidget(page_count_label_);
  next_action_ = bar->addAction("Next");
  last_action_ = bar->addAction("Last");
  bar->addSeparator();
  print_action_ = bar->addAction("Print...");
  export_action_ = bar->addAction("Export to PDF...");
  bar->addSeparator();
  QAction* close = bar->addAction("Close");

  first_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
  prior_action_->setShortcut(QKeySequence(Qt::Key_PageUp));
  next_action_->setShortcut(QKeySequence(Qt::Key_PageDown));
  last_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));

  scroll_ = new QScrollArea(this);
  scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  scroll_->setBackgroundRole(QPalette::Dark);
  view_ = new TReportPageView;
  scroll_->setWidget(view_);

  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  box->setSpacing(0);
  box->addWidget(bar);
  box->addWidget(scroll_);

  connect(fit_width, &QAction::triggered, this, &TReportPreview::FitWidthClick);
  connect(fit_page, &QAction::triggered, this, &TReportPreview::FitPageClick);
  connect(zoom_combo_, &QComboBox::activated, this, &TReportPreview::ZoomComboActivated);
  connect(first_action_, &QAction::triggered, this, &TReportPreview::FirstPageClick);
  connect(prior_action_, &QAction::triggered, this, &TReportPreview::PriorPageClick);
  connect(next_action_, &QAction::triggered, this, &TReportPreview::NextPageClick);
  connect(last_action_, &QAction::triggered, this, &TReportPreview::LastPageClick);
  connect(page_spin_, &QSpinBox::valueChanged, this, &TReportPreview::PageSpinChanged);
  connect(print_action_, &QAction::triggered, this, &TReportPreview::PrintClick);
  connect(export_action_, &QAction::triggered, this, &TReportPreview::ExportPdfClick);
  connect(close, &QAction::triggered, this, &QDialog::accept);

  layout_timer_ = new QTimer(this);
  layout_timer_->setInterval(0);
  connect(layout_timer_, &QTimer::timeout, this, &TReportPreview::LayOutInBackground);

  ShowPage(1);
  // Pages are laid out ahead only to count them; a known count needs none of it.
  if (!layout_.Complete() && layout_.KnownPageCount() < 0) layout_timer_->start();
}

void TReportPreview::ShowPage(int n) {
  const TReportPageContent* page = layout_.Page(n);
  if (!page && n > 1) {
    n = layout_.PagesLaidOut();
    page = layout_.Page(n);
  }
  page_ = page ? n : 0;
  view_->SetPage(page, QSizeF(report_.Page.Width(), report_.Page.Height()), &layout_.Fonts());
  scroll_->verticalScrollBar()->setValue(0);
  UpdateControls();
}

void TReportPreview::UpdateControls() {
  const int count = layout_.KnownPageCount();
  const bool complete = count >= 0;
  const int known = complete ? count : layout_.PagesLaidOut();
  page_spin_->blockSignals(true);
  page_spin_->setMinimum(known > 0 ? 1 : 0);
  page_spin_->setMaximum(complete ? known : known + 1);
  page_spin_->setValue(page_);
  page_spin_->blockSignals(false);
  page_count_label_->setText(complete ? QString(" of %1 ").arg(known)
                                      : QString(" of %1+ ").arg(known));
  first_action_->setEnabled(page_ > 1);
  prior_action_->setEnabled(page_ > 1);
  next_action_->setEnabled(page_ > 0 && (!complete || page_ < known));
  last_action_->setEnabled(page_ > 0 && (!complete || page_ < known));
  print_action_->setEnabled(page_ > 0);
  export_action_->setEnabled(page_ > 0);
}

void TReportPreview::FirstPageClick() { ShowPage(1); }

void TReportPreview::PriorPageClick() {
  if (page_ > 1) ShowPage(page_ - 1);
}

void TReportPreview::NextPageClick() {
  if (page_ > 0) ShowPage(page_ + 1);
}

void TReportPreview::LastPageClick() {
  int last = layout_.KnownPageCount();
  if (last < 0) {
    // Only laying every page out finds the last one: with a window that shows
    // how far it got and can stop it (the pages laid out so far stay).
    layout_timer_->stop();
    platform::qt::TProgressWindow progress("Print Preview", this);
    progress.Begin("Laying out the pages", 0);
    try {
      while (!layout_.LayOutMore(kBackgroundPages)) {
        progress.SetText(QString("Laying out the pages: %1 so far").arg(layout_.PagesLaidOut()));
        progress.Step(layout_.PagesLaidOut());
        progress.CheckCancel();
      }
    } catch (const platform::EAbort&) {
      layout_timer_->start();
      ShowPage(page_);
      return;
    }
    last = layout_.PagesLaidOut();
  }
  ShowPage(last);
}

void TReportPreview::PageSpinChanged(int value) {
  if (value >= 1 && value != page_) ShowPage(value);
}

void TReportPreview::FitWidthClick() {
  zoom_mode_ = ZoomMode::FitWidth;
  zoom_combo_->setCurrentIndex(0);
  ApplyZoom();
}

void TReportPreview::FitPageClick() {
  zoom_mode_ = ZoomMode::FitPage;
  zoom_combo_->setCurrentIndex(1);
  ApplyZoom();
}

void TReportPreview::ZoomComboActivated(int index) {
  if (index == 0) {
    FitWidthClick();
  } else if (index == 1) {
    FitPageClick();
  } else {
    zoom_mode_ = ZoomMode::Percent;
    percent_ = zoom_combo_->itemData(index).toInt();
    ApplyZoom();
  }
}

void TReportPreview::ApplyZoom() {
  const QSize area = scroll_->viewport()->size();
  // The vertical scroll bar takes room from a page fitted to the width.
  const QSize width_area(area.width() - (scroll_->verticalScrollBar()->isVisible()
                                             ? 0
                                             : scroll_->verticalScrollBar()->sizeHint().width()),
                         area.height());
  switch (zoom_mode_) {
    case ZoomMode::FitWidth:
      view_->SetZoom(view_->FitWidthZoom(width_area));
      break;
    case ZoomMode::FitPage:
      view_->SetZoom(view_->FitPageZoom(area));
      break;
    case ZoomMode::Percent:
      view_->SetZoom(percent_ / 100);
      break;
  }
}

void TReportPreview::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ApplyZoom();
}

void TReportPreview::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ApplyZoom();
}

void TReportPreview::LayOutInBackground() {
  // The shown page stays valid: the layout keeps the page last asked for.
  if (layout_.LayOutMore(kBackgroundPages)) layout_timer_->stop();
  UpdateControls();
}

void TReportPreview::PrintClick() {
  layout_timer_->stop();
  ReportPrint(report_, layout_, this);
  ShowPage(page_);
  if (!layout_.Complete() && layout_.KnownPageCount() < 0) layout_timer_->start();
}

void TReportPreview::ExportPdfClick() {
  QString suggested = report_.ReportTitle.isEmpty() ? QString("Report") : report_.ReportTitle;
  const QString file = ReportPrintDialogs().ChoosePdfFile(this, suggested + ".pdf");
  if (file.isEmpty()) return;
  layout_timer_->stop();
  platform::qt::TProgressWindow progress("Export to PDF", this);
  const int count = layout_.KnownPageCount();
  progress.Begin("Writing " + QFileInfo(file).fileName(), count);
  try {
    ReportExportPdf(report_, layout_, file, [&](int n) {
      progress.SetText(count > 0 ? QString("Writing page %1 of %2").arg(n).arg(count)
                                 : QString("Writing page %1").arg(n));
      return progress.Step(n);
    });
  } catch (const std::exception& e) {
    progress.hide();
    QMessageBox::critical(this, "Export to PDF", QString::fromStdString(e.what()));
  }
  progress.hide();
  ShowPage(page_);
  if (!layout_.Complete() && layout_.KnownPageCount() < 0) layout_timer_->start();
}
