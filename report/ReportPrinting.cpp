#include "report/ReportPrinting.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <climits>
#include <memory>
#include <stdexcept>

#include "report/Report.h"
#include "report/ReportLayout.h"
#include "report/ReportProgress.h"
#include "report/ReportRender.h"

namespace {

QPageLayout ReportPageLayout(const TReport& report) {
  const TReportPage& p = report.Page;
  QPageSize size(QSizeF(p.PaperWidth, p.PaperHeight), QPageSize::Millimeter, QString(),
                 QPageSize::FuzzyOrientationMatch);
  return QPageLayout(size,
                     p.Orientation == TReportOrientation::Landscape ? QPageLayout::Landscape
                                                                    : QPageLayout::Portrait,
                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

bool DefaultChoosePrinter(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile |
                    QAbstractPrintDialog::PrintShowPageSize);
  return dialog.exec() == QDialog::Accepted;
}

QString DefaultChoosePdfFile(QWidget* parent, const QString& suggested) {
  return QFileDialog::getSaveFileName(parent, "Print to PDF File", suggested,
                                      "PDF files (*.pdf);;All files (*)");
}

bool DefaultPrinterSetup(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle("Print Setup");
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  // The dialog chooses the printer only: its accept button says so.
  if (auto* box = dialog.findChild<QDialogButtonBox*>()) {
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) b->setText("OK");
  }
  return dialog.exec() == QDialog::Accepted;
}

bool DefaultHavePrinters() { return !QPrinterInfo::availablePrinterNames().isEmpty(); }

QString SuggestedPdfName(const TReport& report) {
  QString name = report.ReportTitle.isEmpty() ? QString("Report") : report.ReportTitle;
  name.replace('/', '_');
  return QDir::current().filePath(name + ".pdf");
}

}  // namespace

TReportPrintDialogs& ReportPrintDialogs() {
  static TReportPrintDialogs dialogs{DefaultHavePrinters, DefaultChoosePrinter,
                                     DefaultChoosePdfFile, DefaultPrinterSetup};
  return dialogs;
}

int ReportPaintPages(const TReport& report, TReportLayout& layout, QPagedPaintDevice& device,
                     const std::function<bool(int)>& progress, int first, int last) {
  device.setPageLayout(ReportPageLayout(report));
  if (first < 1) first = 1;
  if (last < 1) last = INT_MAX;
  // Nothing to paint: no painter is begun, so no empty job goes out.
  if (!layout.Page(first)) return 0;
  QPainter painter;
  if (!painter.begin(&device)) {
    auto* printer = dynamic_cast<QPrinter*>(&device);
    if (printer != nullptr && !printer->outputFileName().isEmpty())
      throw std::runtime_error("Cannot write " + printer->outputFileName().toStdString());
    throw std::runtime_error("Cannot start printing");
  }
  ScalePainterToReportUnits(painter, device);
  int painted = 0;
  for (int n = first; n <= last; ++n) {
    const TReportPageContent* page = layout.Page(n);
    if (!page) break;
    if (progress && !progress(n)) {
      if (auto* printer = dynamic_cast<QPrinter*>(&device)) printer->abort();
      break;
    }
    if (painted > 0 && !device.newPage()) break;
    PaintReportPage(painter, *page, layout.Fonts());
    ++painted;
  }
  painter.end();
  return painted;
}

int ReportExportPdf(const TReport& report, TReportLayout& layout, const QString& file_name,
                    const std::function<bool(int)>& progress) {
  bool stopped = false;
  int pages = 0;
  // The file is opened here rather than by the writer, so that a file that cannot
  // be created, or a write that fails on the way, is told with its name.
  QFile file(file_name);
  if (!file.open(QIODevice::WriteOnly))
    throw std::runtime_error("Cannot write " + file_name.toStdString() + ": " +
                             file.errorString().toStdString());
  try {
    QPdfWriter writer(&file);
    writer.setTitle(report.ReportTitle);
    writer.setCreator("QVX Catalog");
    writer.setResolution(600);
    if (!layout.Page(1)) {
      // An empty report still leaves a file, with one blank page.
      QPainter painter;
      if (!painter.begin(&writer))
        throw std::runtime_error("Cannot write " + file_name.toStdString());
      painter.end();
      return 0;
    }
    pages = ReportPaintPages(report, layout, writer, [&](int n) {
      stopped = progress && !progress(n);
      return !stopped;
    });
  } catch (...) {
    file.remove();
    throw;
  }
  file.close();
  // A stopped or failed export leaves no half-written file behind.
  if (stopped) {
    file.remove();
    return 0;
  }
  if (pages == 0 || file.error() != QFileDevice::NoError) {
    const std::string reason = file.errorString().toStdString();
    file.remove();
    throw std::runtime_error("Cannot write " + file_name.toStdString() + ": " + reason);
  }
  return pages;
}

bool ReportHavePrinters() { return ReportPrintDialogs().HavePrinters(); }

namespace {

std::unique_ptr<QPrinter>& CurrentPrinterSlot() {
  static std::unique_ptr<QPrinter> printer;
  return printer;
}

// The printer goes with the application object, not after it at exit.
void FreeCurrentPrinter() { CurrentPrinterSlot().reset(); }

}  // namespace

QPrinter& ReportCurrentPrinter() {
  std::unique_ptr<QPrinter>& printer = CurrentPrinterSlot();
  if (!printer) {
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!ReportHavePrinters()) printer->setOutputFormat(QPrinter::PdfFormat);
    qAddPostRoutine(FreeCurrentPrinter);
  }
  return *printer;
}

void ReportPrinterSetup(QWidget* parent) {
  ReportPrintDialogs().PrinterSetup(ReportCurrentPrinter(), parent);
}

int ReportPrint(const TReport& report, TReportLayout& layout, QWidget* parent) {
  QPrinter& printer = ReportCurrentPrinter();
  printer.setFullPage(true);
  printer.setPageLayout(ReportPageLayout(report));
  printer.setDocName(report.ReportTitle);
  printer.setCopyCount(std::max(1, report.PrinterSettings.Copies));
  printer.setDuplex(report.PrinterSettings.Duplex ? QPrinter::DuplexAuto : QPrinter::DuplexNone);
  printer.setFromTo(report.PrinterSettings.FirstPage, report.PrinterSettings.LastPage);
  // The pages are laid out first, so that an empty report asks nothing.
  if (!layout.Page(1)) return 0;

  const bool to_pdf = !ReportHavePrinters();
  if (to_pdf) {
    QString suggested = printer.outputFileName();
    if (suggested.isEmpty()) suggested = SuggestedPdfName(report);
    const QString file = ReportPrintDialogs().ChoosePdfFile(parent, suggested);
    if (file.isEmpty()) return 0;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
  } else if (!ReportPrintDialogs().ChoosePrinter(printer, parent)) {
    return 0;
  }
  int first = 0, last = 0;
  if (printer.printRange() == QPrinter::PageRange) {
    first = printer.fromPage();
    last = printer.toPage();
  }
  TReportProgress progress(report.ReportTitle, parent);
  const int pages = ReportPaintPages(
      report, layout, printer, [&](int n) { return progress.ShowPage(n); }, first, last);
  progress.hide();
  // A cancelled PDF run leaves no half-written file behind.
  if (progress.Cancelled() && printer.outputFormat() == QPrinter::PdfFormat &&
      !printer.outputFileName().isEmpty())
    QFile::remove(printer.outputFileName());
  return progress.Cancelled() ? 0 : pages;
}
