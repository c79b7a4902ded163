// TQvxListReportForm (instance QvxListReportForm): the never-shown container of the
// catalog list report over MastData.QvxcatTable, and the entry points through which
// the main window previews, prints and sets up the printer.
//
// QuickRep1: A4 portrait, margins 12.7 mm, base font Arial 8 point; page header on
// the first page and page footer on the last; nothing printed for an empty table.
// Bands (positions in millimetres from the band's left edge and top):
//   TitleBand1          10.58  "QVX Catalog List", Arial 14 bold, centred on the band
//   ColumnHeaderBand1    5.82  Title | Category | Distributor | Players | Mem. Blocks,
//                              Arial 8 bold, ruled underneath
//   DetailBand1          4.76  [TITLE] [CATEGORY] [DISTRIBUTR] [PLAYERS] [MEMORYBLKS]
//   PageFooterBand1     10.58  "Page " and the page number, right-aligned
#ifndef APP_QVXLIRPT_H_
#define APP_QVXLIRPT_H_

#include <QWidget>
#include <memory>

#include "report/DataSetSource.h"
#include "report/Report.h"

class QPrinter;

class TQvxListReportForm : public QWidget {
  Q_OBJECT

 public:
  // The report reads `qvxcat_table`; without one, MastData's QvxcatTable.
  explicit TQvxListReportForm(platform::TDataSet* qvxcat_table = nullptr,
                              QWidget* parent = nullptr);
  ~TQvxListReportForm() override;

  TReport* QuickRep1;
  TReportBand* TitleBand1;
  TReportLabel* QRLabel1;
  TReportBand* ColumnHeaderBand1;
  TReportLabel* QRLabel2;
  TReportLabel* QRLabel3;
  TReportLabel* QRLabel6;
  TReportLabel* QRLabel4;
  TReportLabel* QRLabel5;
  TReportBand* DetailBand1;
  TReportExpr* QRExpr1;
  TReportExpr* QRExpr2;
  TReportExpr* QRExpr5;
  TReportExpr* QRExpr3;
  TReportExpr* QRExpr4;
  TReportBand* PageFooterBand1;
  TReportSysData* QRSysData1;

 private:
  std::unique_ptr<TReportDataSetSource> source_;
};

extern TQvxListReportForm* QvxListReportForm;

// The program's current printer: the printer set-up dialog changes it for every
// later print and preview.
QPrinter& CurrentPrinter();

// Lays the report out over the title table and shows it in the preview window;
// returns when the preview closes.
void PreviewListReport();
// Lays the report out and sends it to the current printer.
void PrintListReport();
// The printer set-up dialog; its choice is the current printer of the program.
void RunPrinterSetup(QWidget* parent);

#endif  // APP_QVXLIRPT_H_
