#include "app/ImportSumDlg.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/ansi_text.h"
#include "platform/qt/fonts.h"

TImportSummaryDialog::TImportSummaryDialog(const std::vector<std::string>& lines, bool can_undo,
                                           QWidget* parent)
    : TModalForm(parent) {
  setObjectName("ImportSummaryDialog");
  setWindowTitle("Import");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  QString text;
  for (const std::string& line : lines) text += platform::qt::AnsiToQString(line) + "\n";
  SummaryMemo = new QPlainTextEdit(text.trimmed(), this);
  SummaryMemo->setObjectName("SummaryMemo");
  SummaryMemo->setReadOnly(true);
  SummaryMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QFontMetrics metrics(SummaryMemo->font());
  SummaryMemo->setMinimumSize(metrics.averageCharWidth() * 70,
                              metrics.lineSpacing() * (int(lines.size()) + 2));
  HeadingLabel = new QLabel("The import is done:", this);
  HeadingLabel->setBuddy(SummaryMemo);
  UndoBtn = new QPushButton("&Undo this import", this);
  UndoBtn->setObjectName("UndoBtn");
  UndoBtn->setEnabled(can_undo);
  UndoBtn->setToolTip("Deletes the titles and list entries this import added");
  CloseBtn = new QPushButton("Close", this);
  CloseBtn->setObjectName("CloseBtn");
  SetDefaultButton(CloseBtn);
  SetCancelButton(CloseBtn);
  SetButtonModalResult(UndoBtn, mrUndo);
  SetButtonModalResult(CloseBtn, platform::qt::mrOk);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(UndoBtn);
  buttons->addStretch(1);
  CloseBtn->setMinimumWidth(75);
  buttons->addWidget(CloseBtn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->addWidget(HeadingLabel);
  layout->addWidget(SummaryMemo, 1);
  layout->addLayout(buttons);
  setTabOrder(SummaryMemo, UndoBtn);
  setTabOrder(UndoBtn, CloseBtn);
}
