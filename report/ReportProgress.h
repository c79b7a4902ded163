// The printing-progress window: the page being sent and a cancel button.
#ifndef REPORT_REPORTPROGRESS_H_
#define REPORT_REPORTPROGRESS_H_

#include <QDialog>

class QLabel;
class QPushButton;

class TReportProgress : public QDialog {
  Q_OBJECT

 public:
  explicit TReportProgress(const QString& title, QWidget* parent = nullptr);

  // Shows the page being sent and lets the window handle its events; returns
  // false once the user has cancelled.
  bool ShowPage(int page);
  bool Cancelled() const { return cancelled_; }

 private:
  void CancelButtonClick();

  QLabel* label_;
  QPushButton* cancel_button_;
  bool cancelled_ = false;
};

#endif  // REPORT_REPORTPROGRESS_H_
