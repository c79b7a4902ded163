#include "report/ReportProgress.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TReportProgress::TReportProgress(const QString& title, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Printing");
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(title, this);
  label_ = new QLabel("Preparing pages...", this);
  label_->setMinimumWidth(240);
  cancel_button_ = new QPushButton("Cancel", this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_button_);
  buttons->addStretch();
  layout->addWidget(caption);
  layout->addWidget(label_);
  layout->addLayout(buttons);
  connect(cancel_button_, &QPushButton::clicked, this, &TReportProgress::CancelButtonClick);
  // Closing the window cancels too.
  connect(this, &QDialog::rejected, this, &TReportProgress::CancelButtonClick);
}

void TReportProgress::CancelButtonClick() {
  cancelled_ = true;
  cancel_button_->setEnabled(false);
  label_->setText("Cancelling...");
}

bool TReportProgress::ShowPage(int page) {
  if (!isVisible()) show();
  if (!cancelled_) label_->setText(QString("Printing page %1").arg(page));
  QApplication::processEvents();
  return !cancelled_;
}
