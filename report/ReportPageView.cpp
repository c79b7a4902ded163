#include "report/ReportPageView.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

TReportPageView::TReportPageView(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(false);
  UpdateSize();
}

void TReportPageView::SetPage(const TReportPageContent* page, QSizeF paper_mm,
                              TReportFontCache* fonts) {
  page_ = page;
  fonts_ = fonts;
  paper_mm_ = paper_mm;
  UpdateSize();
  update();
}

void TReportPageView::SetZoom(double zoom) {
  zoom_ = std::clamp(zoom, 0.1, 8.0);
  UpdateSize();
  update();
}

QSizeF TReportPageView::PaperPixels(double zoom) const {
  return QSizeF(paper_mm_.width() / 25.4 * logicalDpiX() * zoom,
                paper_mm_.height() / 25.4 * logicalDpiY() * zoom);
}

double TReportPageView::FitWidthZoom(QSize area) const {
  const double full = PaperPixels(1).width();
  return full > 0 ? std::max(0.1, (area.width() - 2 * kBorder) / full) : 1;
}

double TReportPageView::FitPageZoom(QSize area) const {
  const QSizeF full = PaperPixels(1);
  if (full.isEmpty()) return 1;
  return std::max(0.1, std::min((area.width() - 2 * kBorder) / full.width(),
                                (area.height() - 2 * kBorder) / full.height()));
}

void TReportPageView::UpdateSize() {
  const QSizeF paper = PaperPixels(zoom_);
  setFixedSize(int(std::ceil(paper.width())) + 2 * kBorder,
               int(std::ceil(paper.height())) + 2 * kBorder);
}

void TReportPageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(128, 128, 128));
  const QSizeF paper = PaperPixels(zoom_);
  const QRectF sheet(kBorder, kBorder, paper.width(), paper.height());
  painter.fillRect(sheet.translated(3, 3), QColor(64, 64, 64));
  painter.fillRect(sheet, Qt::white);
  if (!page_ || !fonts_) return;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setClipRect(sheet);
  painter.translate(sheet.topLeft());
  ScalePainterToReportUnits(painter, *this, zoom_);
  PaintReportPage(painter, *page_, *fonts_);
}
