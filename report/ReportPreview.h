// The preview window: one page at a time with zoom (fit width, fit page,
// percentages), first/previous/next/last page and a page number, printing and
// export to PDF. Pages are laid out as they are shown; the rest are laid out
// in the background, a few at a time between the window's events.
#ifndef REPORT_REPORTPREVIEW_H_
#define REPORT_REPORTPREVIEW_H_

#include <QDialog>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;
class QTimer;
class TReport;
class TReportLayout;
class TReportPageView;

class TReportPreview : public QDialog {
  Q_OBJECT

 public:
  // The layout walks the report's source while the window is open.
  TReportPreview(TReport& report, TReportLayout& layout, QWidget* parent = nullptr);

  int CurrentPage() const { return page_; }
  void ShowPage(int n);
  TReportPageView* PageView() const { return view_; }

  void FirstPageClick();
  void PriorPageClick();
  void NextPageClick();
  void LastPageClick();
  void FitWidthClick();
  void FitPageClick();
  void PrintClick();
  void ExportPdfClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  enum class ZoomMode { FitWidth, FitPage, Percent };

  void ZoomComboActivated(int index);
  void PageSpinChanged(int value);
  void LayOutInBackground();
  void ApplyZoom();
  void UpdateControls();

  TReport& report_;
  TReportLayout& layout_;
  int page_ = 0;
  ZoomMode zoom_mode_ = ZoomMode::FitWidth;
  double percent_ = 100;
  QScrollArea* scroll_;
  TReportPageView* view_;
  QComboBox* zoom_combo_;
  QSpinBox* page_spin_;
  QLabel* page_count_label_;
  QAction* first_action_;
  QAction* prior_action_;
  QAction* next_action_;
  QAction* last_action_;
  QAction* print_action_;
  QAction* export_action_;
  QTimer* layout_timer_;
};

#endif  // REPORT_REPORTPREVIEW_H_
