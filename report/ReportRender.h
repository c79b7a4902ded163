// Fonts, text measuring and page painting of the report engine, all in one
// device-independent unit: a hundredth of a millimetre. Fonts are sized in
// that unit (8 points = 282 units) without hinting, so that the same text wraps
// at the same place on the screen, on a printer and in a PDF file.
#ifndef REPORT_REPORTRENDER_H_
#define REPORT_REPORTRENDER_H_

#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

#include "report/Report.h"

class QPainter;
class QPaintDevice;

constexpr double kReportUnitsPerMm = 100;

// The platform font that stands for a report font (Arial is drawn with a
// metric-compatible face where Arial itself is missing), sized in report units.
QFont ReportQFont(const TReportFont& font);

// Fonts and their metrics, made once per distinct report font.
class TReportFontCache {
 public:
  const QFont& Font(const TReportFont& font);
  const QFontMetricsF& Metrics(const TReportFont& font);

 private:
  struct Entry {
    TReportFont font_def;
    QFont font;
    std::unique_ptr<QFontMetricsF> metrics;
  };
  Entry& Find(const TReportFont& font);
  std::map<QString, Entry> entries_;
  std::map<const TReportFont*, Entry*> by_address_;
};

// Breaks text into lines no wider than `width` (report units): at blanks where
// it can, inside a word when one word alone is wider than the line. Explicit
// line breaks are kept. Never returns an empty list.
QStringList WrapReportText(const QString& text, const QFontMetricsF& metrics, double width);

// One control's text as placed on a page: rectangle in millimetres from the
// paper's top-left corner, lines top-down.
struct TReportItem {
  QRectF Rect;
  QStringList Lines;
  const TReportControl* Control = nullptr;
  const TReportFont* Font = nullptr;  // the control's own or the report's base font
};

// A band's background as placed on a page (millimetres).
struct TReportBandRect {
  QRectF Rect;
  QColor Color;
};

struct TReportPageContent {
  int Number = 0;
  std::vector<TReportBandRect> Bands;
  std::vector<TReportItem> Items;
};

// Sets the painter's transform so that one unit is a hundredth of a millimetre
// on `device`, times `zoom` (1 = actual size); the origin is the paper's corner.
void ScalePainterToReportUnits(QPainter& painter, const QPaintDevice& device, double zoom = 1);

// Paints one page (white paper, band backgrounds, control texts and rules) on
// a painter scaled to report units.
void PaintReportPage(QPainter& painter, const TReportPageContent& page, TReportFontCache& fonts);

#endif  // REPORT_REPORTRENDER_H_
