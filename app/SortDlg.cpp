#include "app/SortDlg.h"

#include <strings.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/ansi_text.h"
#include "platform/qt/fonts.h"

TSortDialog* SortDialog = nullptr;

TSortDialog::TSortDialog(QWidget* parent) : TModalForm(parent) {
  setObjectName("SortDialog");
  setWindowTitle("Sort");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  SortByComboBox = new QComboBox(this);
  SortByComboBox->setObjectName("SortByComboBox");
  SortByComboBox->setEditable(false);
  SortByComboBox->setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 30);
  SortByLabel = new QLabel("Sort By:", this);
  SortByLabel->setBuddy(SortByComboBox);
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  SetDefaultButton(OKBtn);
  SetCancelButton(CancelBtn);
  SetButtonModalResult(OKBtn, platform::qt::mrOk);
  SetButtonModalResult(CancelBtn, platform::qt::mrCancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {OKBtn, CancelBtn}) {
    button->setMinimumWidth(75);
    buttons->addWidget(button);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->setSpacing(4);
  layout->addWidget(SortByLabel);
  layout->addWidget(SortByComboBox);
  layout->addSpacing(14);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormCreate();
}

void TSortDialog::FormCreate() {
  DataSet = nullptr;
  IndexNames.clear();
  IndexCaptions.clear();
}

void TSortDialog::FormShow() {
  SortByComboBox->clear();
  for (const std::string& caption : IndexCaptions)
    SortByComboBox->addItem(platform::qt::AnsiToQString(caption));
  int line = -1;
  if (DataSet != nullptr) {
    const std::string& current = DataSet->IndexName();
    for (size_t i = 0; i < IndexNames.size(); ++i) {
      if (strcasecmp(IndexNames[i].c_str(), current.c_str()) == 0) {
        line = int(i);
        break;
      }
    }
  }
  SortByComboBox->setCurrentIndex(line);
  SortByComboBox->setFocus();
}

void TSortDialog::FormClose(platform::qt::TCloseAction& action) {
  (void)action;
  if (DataSet == nullptr || ModalResult() != platform::qt::mrOk) return;
  // Without a chosen line the order stays as it is.
  const int line = SortByComboBox->currentIndex();
  if (line < 0 || line >= int(IndexNames.size())) return;
  DataSet->SetIndexName(IndexNames[size_t(line)]);
}
