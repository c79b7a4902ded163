// The banded report engine: a report bound to a row source (TReportDataSource),
// made of bands that hold printable controls, laid out in millimetres so that
// the preview, a printer and a PDF file get the same pages.
//
// PAGE MODEL
//
//   Paper (PaperWidth x PaperHeight mm, orientation applied) minus the four
//   margins is the printable area; every band is as wide as that area and is
//   placed at its left edge. Control positions are millimetres from the band's
//   left edge and top.
//
//   +---------------- paper ----------------+
//   |  top margin                           |
//   |  [page header]   every page; page 1 only with FirstPageHeader
//   |  [title]         page 1 only, once
//   |  [column header] every page
//   |  [detail]        one per row of the source, in the source's order
//   |  [detail]        ...
//   |  ...                                  |
//   |  (free space)                         |
//   |  [page footer]   bottom of every page; the last page only with
//   |                  LastPageFooter; its top is paper height - bottom
//   |                  margin - footer height, whatever fills the page
//   |  bottom margin                        |
//   +---------------------------------------+
//
//   Filling a page: the header bands are stacked from the top margin down;
//   then detail bands follow, one per row. A detail band goes on the page when
//   its bottom stays at or above the footer's top (the bottom margin when there
//   is no footer band); otherwise the page is closed (its footer placed) and
//   the band starts the next page below that page's header bands. A detail
//   band that would not fit even on an empty page is placed anyway and clipped
//   at the footer's top, so a page always takes at least one row.
//
//   Band height: the band's Height, grown when a control with AutoStretch needs
//   more lines for its word-wrapped text than its Height holds (the band grows
//   by the largest such excess). Controls without AutoStretch are clipped to
//   their rectangle; no control ever draws outside its own rectangle.
//
//   The last page is the one on which the rows end (a page is never left with
//   only headers when the rows ended exactly at the previous page's bottom).
//   With no rows at all there are no pages, unless PrintIfEmpty is set: then
//   one page with the header and footer bands.
//
//   Pages are laid out as they are asked for: asking for page n walks the
//   source only as far as the end of page n (TReportLayout).
#ifndef REPORT_REPORT_H_
#define REPORT_REPORT_H_

#include <QColor>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "report/ReportDataSource.h"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

struct TReportFont {
  QString Name = "Arial";
  double Size = 8;  // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  QColor Color = Qt::black;
};

enum class TReportAlignment { Left, Center, Right };

// A printable control on a band: a rectangle in millimetres and its text.
class TReportControl {
 public:
  virtual ~TReportControl() = default;

  QString Name;
  double Left = 0, Top = 0, Width = 20, Height = 4;  // mm from the band's left and top
  TReportFont Font;
  bool ParentFont = false;  // draw with the report's base font instead of Font
  TReportAlignment Alignment = TReportAlignment::Left;
  bool AlignToBand = false;  // the alignment applies across the whole band width
  bool WordWrap = false;
  bool AutoStretch = false;  // grow (and the band with it) to show every wrapped line
  bool FrameBottom = false;  // a rule along the bottom edge
  bool Transparent = true;
  QColor Color = Qt::white;

 protected:
  TReportControl() = default;
};

// Fixed text.
class TReportLabel : public TReportControl {
 public:
  QString Caption;
};

// Text with field references in brackets: "[TITLE]", "Title: [TITLE]".
class TReportExpr : public TReportControl {
 public:
  QString Expression;
};

enum class TReportSysDataKind { PageNumber };

// System data: the page number, preceded by Text.
class TReportSysData : public TReportControl {
 public:
  TReportSysDataKind Data = TReportSysDataKind::PageNumber;
  QString Text;
};

enum class TReportBandType { PageHeader, Title, ColumnHeader, Detail, PageFooter };

class TReportBand {
 public:
  TReportBand(const QString& name, TReportBandType type, double height)
      : Name(name), BandType(type), Height(height) {}
  TReportBand(const TReportBand&) = delete;
  TReportBand& operator=(const TReportBand&) = delete;

  TReportLabel* AddLabel(const QString& name, const QString& caption);
  TReportExpr* AddExpr(const QString& name, const QString& expression);
  TReportSysData* AddSysData(const QString& name, TReportSysDataKind data, const QString& text);

  QString Name;
  TReportBandType BandType;
  double Height;  // mm
  QColor Color = Qt::white;
  std::vector<std::unique_ptr<TReportControl>> Controls;
};

enum class TReportOrientation { Portrait, Landscape };

struct TReportPage {
  double PaperWidth = 210, PaperHeight = 297;  // mm, portrait
  TReportOrientation Orientation = TReportOrientation::Portrait;
  double LeftMargin = 12.7, TopMargin = 12.7, RightMargin = 12.7, BottomMargin = 12.7;

  double Width() const;  // with the orientation applied
  double Height() const;
  double PrintableWidth() const { return Width() - LeftMargin - RightMargin; }
};

struct TReportOptions {
  bool FirstPageHeader = true;
  bool LastPageFooter = true;
};

// How a printer run is asked for; see Print().
struct TReportPrinterSettings {
  int Copies = 1;
  bool Duplex = false;
  int FirstPage = 0, LastPage = 0;  // 0 and 0: all pages
};

class TReportLayout;

class TReport : public QObject {
  Q_OBJECT

 public:
  explicit TReport(QObject* parent = nullptr);
  ~TReport() override;

  // Bands, owned by the report; at most one of each type.
  TReportBand* AddBand(const QString& name, TReportBandType type, double height);
  TReportBand* Band(TReportBandType type) const;

  void SetDataSource(TReportDataSource* source) { data_source_ = source; }
  TReportDataSource* DataSource() const { return data_source_; }

  QString ReportTitle;  // the print job's name and the preview's caption
  TReportPage Page;
  TReportOptions Options;
  bool PrintIfEmpty = true;
  TReportFont Font;  // base font, for controls with ParentFont
  TReportPrinterSettings PrinterSettings;

  // Lays the report out and shows it in the preview window; returns when the
  // window is closed.
  void Preview(QWidget* parent = nullptr);
  // Lays the report out and sends it to the current printer (the platform's
  // print dialog first, a progress window with a cancel button while pages
  // go out). Without printers it writes a PDF file that the user chooses.
  void Print(QWidget* parent = nullptr);
  // Writes every page to a PDF file. Returns the number of pages.
  int ExportToPdf(const QString& file_name);
  // Paints every page on a paged device (a printer or a PDF writer), a new
  // page between pages. `progress` is called before each page with its number
  // and returns false to stop. Returns the number of pages painted.
  int PrintTo(QPagedPaintDevice& device, const std::function<bool(int)>& progress = {});

  // A layout over the bound source; it walks the source while it lives.
  std::unique_ptr<TReportLayout> CreateLayout();

 private:
  TReportDataSource* data_source_ = nullptr;
  std::vector<std::unique_ptr<TReportBand>> bands_;
};

#endif  // REPORT_REPORT_H_
