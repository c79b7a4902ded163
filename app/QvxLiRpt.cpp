#include "app/QvxLiRpt.h"

#include <QApplication>

#include "app/DataMod.h"
#include "report/ReportPrinting.h"

TQvxListReportForm* QvxListReportForm = nullptr;

namespace {

void Place(TReportControl* c, double left, double top, double width, double height) {
  c->Left = left;
  c->Top = top;
  c->Width = width;
  c->Height = height;
}

TReportFont Arial(double size, bool bold) {
  TReportFont font;
  font.Name = "Arial";
  font.Size = size;
  font.Bold = bold;
  font.Color = Qt::black;  // window text of the standard scheme, whatever the screen's theme
  return font;
}

TReportLabel* HeaderLabel(TReportBand* band, const char* name, const char* text, double left,
                          double width) {
  TReportLabel* label = band->AddLabel(name, text);
  Place(label, left, 0, width, 3.97);
  label->Font = Arial(8, true);
  label->FrameBottom = true;
  return label;
}

// Detail fields wrap inside their column. They grow with the wrapped lines (the
// band with them) rather than cut a long title off at its first line.
TReportExpr* DetailExpr(TReportBand* band, const char* name, const char* expression, double left,
                        double width) {
  TReportExpr* expr = band->AddExpr(name, expression);
  Place(expr, left, 0, width, 3.97);
  expr->ParentFont = true;
  expr->WordWrap = true;
  expr->AutoStretch = true;
  return expr;
}

}  // namespace

TQvxListReportForm::TQvxListReportForm(platform::TDataSet* qvxcat_table, QWidget* parent)
    : QWidget(parent) {
  setObjectName("QvxListReportForm");
  hide();

  QuickRep1 = new TReport(this);
  QuickRep1->setObjectName("QuickRep1");
  QuickRep1->ReportTitle = "QVX Catalog List";
  QuickRep1->Page.PaperWidth = 210;
  QuickRep1->Page.PaperHeight = 297;
  QuickRep1->Page.Orientation = TReportOrientation::Portrait;
  QuickRep1->Page.LeftMargin = QuickRep1->Page.TopMargin = 12.7;
  QuickRep1->Page.RightMargin = QuickRep1->Page.BottomMargin = 12.7;
  QuickRep1->Font = Arial(8, false);
  QuickRep1->Options.FirstPageHeader = true;
  QuickRep1->Options.LastPageFooter = true;
  QuickRep1->PrintIfEmpty = false;
  QuickRep1->PrinterSettings.Copies = 1;
  QuickRep1->PrinterSettings.Duplex = false;
  QuickRep1->PrinterSettings.FirstPage = 0;
  QuickRep1->PrinterSettings.LastPage = 0;

  TitleBand1 = QuickRep1->AddBand("TitleBand1", TReportBandType::Title, 10.58);
  QRLabel1 = TitleBand1->AddLabel("QRLabel1", "QVX Catalog List");
  Place(QRLabel1, 0, 0, 184.68, 6.09);
  QRLabel1->Font = Arial(14, true);
  QRLabel1->Alignment = TReportAlignment::Center;
  QRLabel1->AlignToBand = true;

  ColumnHeaderBand1 = QuickRep1->AddBand("ColumnHeaderBand1", TReportBandType::ColumnHeader, 5.82);
  QRLabel2 = HeaderLabel(ColumnHeaderBand1, "QRLabel2", "Title", 0.26, 63.50);
  QRLabel3 = HeaderLabel(ColumnHeaderBand1, "QRLabel3", "Category", 66.68, 45.77);
  QRLabel6 = HeaderLabel(ColumnHeaderBand1, "QRLabel6", "Distributor", 114.56, 35.98);
  QRLabel4 = HeaderLabel(ColumnHeaderBand1, "QRLabel4", "Players", 152.66, 10.85);
  QRLabel5 = HeaderLabel(ColumnHeaderBand1, "QRLabel5", "Mem. Blocks", 165.36, 19.31);

  DetailBand1 = QuickRep1->AddBand("DetailBand1", TReportBandType::Detail, 4.76);
  QRExpr1 = DetailExpr(DetailBand1, "QRExpr1", "[TITLE]", 0.26, 63.50);
  QRExpr2 = DetailExpr(DetailBand1, "QRExpr2", "[CATEGORY]", 66.68, 45.77);
  QRExpr5 = DetailExpr(DetailBand1, "QRExpr5", "[DISTRIBUTR]", 114.30, 36.51);
  QRExpr3 = DetailExpr(DetailBand1, "QRExpr3", "[PLAYERS]", 152.66, 10.85);
  QRExpr4 = DetailExpr(DetailBand1, "QRExpr4", "[MEMORYBLKS]", 165.36, 19.31);

  PageFooterBand1 = QuickRep1->AddBand("PageFooterBand1", TReportBandType::PageFooter, 10.58);
  QRSysData1 = PageFooterBand1->AddSysData("QRSysData1", TReportSysDataKind::PageNumber, "Page ");
  Place(QRSysData1, 165.36, 6.35, 19.31, 3.97);
  QRSysData1->ParentFont = true;
  QRSysData1->Alignment = TReportAlignment::Right;

  if (!qvxcat_table && MastData) qvxcat_table = &MastData->QvxcatTable;
  if (qvxcat_table) {
    source_ = std::make_unique<TReportDataSetSource>(qvxcat_table);
    // The exact count of the titles shown lets the preview go to its last page at
    // once and show the number of pages.
    if (auto* titles = dynamic_cast<TDevazozDataSet*>(qvxcat_table))
      source_->RowCounter = [titles] { return int64_t(titles->VisibleCount(true)); };
    // The titles that wrap in their column, found from the table's digest, and the
    // way to a row by its place, let it work out where every page begins at once
    // though the detail fields stretch.
    if (auto* titles = dynamic_cast<TDevazozDataSet*>(qvxcat_table)) {
      source_->WideTexter = [titles](const auto& columns, const auto& char_widths, const auto& wide,
                                     std::vector<int64_t>& rows) {
        std::vector<TDevazozDataSet::TTextColumn> named;
        for (const auto& [field, width] : columns) named.push_back({field, width});
        return titles->WideTextPlaces(named, char_widths, wide, rows);
      };
      source_->RowMover = [titles](int64_t row) { return titles->MoveToPlace(row); };
    }
    QuickRep1->SetDataSource(source_.get());
  }
}

TQvxListReportForm::~TQvxListReportForm() = default;

void PreviewListReport() { QvxListReportForm->QuickRep1->Preview(QApplication::activeWindow()); }

void PrintListReport() { QvxListReportForm->QuickRep1->Print(QApplication::activeWindow()); }

QPrinter& CurrentPrinter() { return ReportCurrentPrinter(); }

void RunPrinterSetup(QWidget* parent) { ReportPrinterSetup(parent); }
