#include "app/QvxLiRpt.h"

#include <QPageSetupDialog>
#include <QPrinter>

TQvxListReportForm* QvxListReportForm = nullptr;

TQvxListReportForm::TQvxListReportForm(QWidget* parent) : QWidget(parent) {
  setObjectName("QvxListReportForm");
  hide();
}

QPrinter& CurrentPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

void PreviewListReport() {}

void PrintListReport() {}

void RunPrinterSetup(QWidget* parent) {
  QPageSetupDialog dialog(&CurrentPrinter(), parent);
  dialog.setWindowTitle("Print Setup");
  dialog.exec();
}
