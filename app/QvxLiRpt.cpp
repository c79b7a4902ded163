#include "app/QvxLiRpt.h"

TQvxListReportForm* QvxListReportForm = nullptr;

TQvxListReportForm::TQvxListReportForm(QWidget* parent) : QWidget(parent) {
  setObjectName("QvxListReportForm");
  hide();
}

void PreviewListReport() {}

void PrintListReport() {}

void RunPrinterSetup(QWidget* parent) { (void)parent; }
