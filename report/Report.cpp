#include "report/Report.h"

#include <stdexcept>

#include "report/ReportLayout.h"
#include "report/ReportPreview.h"
#include "report/ReportPrinting.h"

double TReportPage::Width() const {
  return Orientation == TReportOrientation::Portrait ? PaperWidth : PaperHeight;
}

double TReportPage::Height() const {
  return Orientation == TReportOrientation::Portrait ? PaperHeight : PaperWidth;
}

namespace {

template <class T>
T* AddControl(TReportBand& band, const QString& name) {
  auto control = std::make_unique<T>();
  T* raw = control.get();
  raw->Name = name;
  band.Controls.push_back(std::move(control));
  return raw;
}

}  // namespace

TReportLabel* TReportBand::AddLabel(const QString& name, const QString& caption) {
  TReportLabel* label = AddControl<TReportLabel>(*this, name);
  label->Caption = caption;
  return label;
}

TReportExpr* TReportBand::AddExpr(const QString& name, const QString& expression) {
  TReportExpr* expr = AddControl<TReportExpr>(*this, name);
  expr->Expression = expression;
  return expr;
}

TReportSysData* TReportBand::AddSysData(const QString& name, TReportSysDataKind data,
                                        const QString& text) {
  TReportSysData* sys = AddControl<TReportSysData>(*this, name);
  sys->Data = data;
  sys->Text = text;
  return sys;
}

TReport::TReport(QObject* parent) : QObject(parent) {}

TReport::~TReport() = default;

TReportBand* TReport::AddBand(const QString& name, TReportBandType type, double height) {
  if (Band(type)) throw std::logic_error("A report has one band of each type");
  bands_.push_back(std::make_unique<TReportBand>(name, type, height));
  return bands_.back().get();
}

TReportBand* TReport::Band(TReportBandType type) const {
  for (const auto& band : bands_)
    if (band->BandType == type) return band.get();
  return nullptr;
}

std::unique_ptr<TReportLayout> TReport::CreateLayout() {
  if (!data_source_) throw std::runtime_error("The report has no dataset");
  return std::make_unique<TReportLayout>(*this);
}

void TReport::Preview(QWidget* parent) {
  auto layout = CreateLayout();
  TReportPreview preview(*this, *layout, parent);
  preview.exec();
}

void TReport::Print(QWidget* parent) {
  auto layout = CreateLayout();
  ReportPrint(*this, *layout, parent);
}

int TReport::ExportToPdf(const QString& file_name) {
  auto layout = CreateLayout();
  return ReportExportPdf(*this, *layout, file_name);
}

int TReport::PrintTo(QPagedPaintDevice& device, const std::function<bool(int)>& progress) {
  auto layout = CreateLayout();
  return ReportPaintPages(*this, *layout, device, progress);
}
