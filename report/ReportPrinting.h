// Sending laid-out pages to paged devices, the program's current printer and
// the print run with its dialogs. Without any installed printer the current
// printer writes PDF files, and a print run asks for the file instead of
// showing the print dialog.
#ifndef REPORT_REPORTPRINTING_H_
#define REPORT_REPORTPRINTING_H_

#include <QString>
#include <functional>

class QPagedPaintDevice;
class QPrinter;
class QWidget;
class TReport;
class TReportLayout;

// Paints pages first..last (1-based; 0 and 0 mean all) of `layout` on `device`,
// set to the report's paper first. `progress` is called before each page with
// its number and returns false to stop. Returns the number of pages painted.
int ReportPaintPages(const TReport& report, TReportLayout& layout, QPagedPaintDevice& device,
                     const std::function<bool(int)>& progress = {}, int first = 0, int last = 0);

// Writes every page of `layout` to a PDF file; returns the number of pages.
// Throws std::runtime_error when the file cannot be written. `progress` is
// called before each page with its number; when it returns false the export
// stops, the file is removed and the result is 0.
int ReportExportPdf(const TReport& report, TReportLayout& layout, const QString& file_name,
                    const std::function<bool(int)>& progress = {});

// True when the platform knows at least one printer.
bool ReportHavePrinters();

// The program's current printer, made on first use: the default printer, or a
// PDF writer when there is no printer. The printer set-up changes it for the
// rest of the run.
QPrinter& ReportCurrentPrinter();

// The platform's printer set-up dialog on the current printer.
void ReportPrinterSetup(QWidget* parent);

// A print run of `layout`: the platform's print dialog on the current printer
// (without printers: a file dialog for the PDF file to write), then the pages
// with a progress window and a cancel button. Returns the pages sent.
int ReportPrint(const TReport& report, TReportLayout& layout, QWidget* parent);

// The dialogs of a print run, replaceable so that runs can be driven without
// a user. HavePrinters asks the platform for printers; ChoosePrinter shows the print dialog on the
// printer and returns whether to print; ChoosePdfFile returns the PDF file to write, empty for
// none.
struct TReportPrintDialogs {
  std::function<bool()> HavePrinters;
  std::function<bool(QPrinter& printer, QWidget* parent)> ChoosePrinter;
  std::function<QString(QWidget* parent, const QString& suggested)> ChoosePdfFile;
  std::function<bool(QPrinter& printer, QWidget* parent)> PrinterSetup;
};
TReportPrintDialogs& ReportPrintDialogs();

#endif  // REPORT_REPORTPRINTING_H_
