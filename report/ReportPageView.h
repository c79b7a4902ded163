// One page of a report drawn at a zoom factor on grey ground, for the preview.
#ifndef REPORT_REPORTPAGEVIEW_H_
#define REPORT_REPORTPAGEVIEW_H_

#include <QWidget>

#include "report/ReportRender.h"

class TReportPageView : public QWidget {
  Q_OBJECT

 public:
  explicit TReportPageView(QWidget* parent = nullptr);

  // The page to draw (not owned; nullptr for none) on paper of the given size
  // in millimetres, and its fonts.
  void SetPage(const TReportPageContent* page, QSizeF paper_mm, TReportFontCache* fonts);
  // 1 is actual size.
  void SetZoom(double zoom);
  double Zoom() const { return zoom_; }
  // The zoom at which the page's width, or the whole page, fills `area` pixels.
  double FitWidthZoom(QSize area) const;
  double FitPageZoom(QSize area) const;

  static constexpr int kBorder = 12;  // grey pixels around the page

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSizeF PaperPixels(double zoom) const;
  void UpdateSize();

  const TReportPageContent* page_ = nullptr;
  TReportFontCache* fonts_ = nullptr;
  QSizeF paper_mm_{210, 297};
  double zoom_ = 1;
};

#endif  // REPORT_REPORTPAGEVIEW_H_
