#include "app/FindDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/dataset/Zavaz6UZ.h"
#include "platform/dataset/dataset.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/beep.h"
#include "platform/qt/fonts.h"
#include "platform/qt/message_dlg.h"

using platform::qt::AnsiToQString;
using platform::qt::QStringToAnsi;

TFindDialog* FindDialog = nullptr;

TFindDialog::TFindDialog(QWidget* parent) : TModalForm(parent) {
  setObjectName("FindDialog");
  setWindowTitle("Find");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  SearchByComboBox = new QComboBox(this);
  SearchByComboBox->setObjectName("SearchByComboBox");
  SearchByComboBox->setEditable(false);
  SearchByLabel = new QLabel("Search by:", this);
  SearchByLabel->setBuddy(SearchByComboBox);
  SearchForEdit = new QLineEdit(this);
  SearchForEdit->setObjectName("SearchForEdit");
  SearchForLabel = new QLabel("Search for:", this);
  SearchForLabel->setBuddy(SearchForEdit);
  CaseSensitiveCheckBox = new QCheckBox("Case sensitive", this);
  CaseSensitiveCheckBox->setObjectName("CaseSensitiveCheckBox");
  ExactMatchCheckBox = new QCheckBox("Exact match", this);
  ExactMatchCheckBox->setObjectName("ExactMatchCheckBox");
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  SetDefaultButton(OKBtn);
  SetCancelButton(CancelBtn);
  SetButtonModalResult(OKBtn, platform::qt::mrOk);
  SetButtonModalResult(CancelBtn, platform::qt::mrCancel);

  const int width = QFontMetrics(font()).averageCharWidth() * 36;
  SearchByComboBox->setMinimumWidth(width);
  SearchForEdit->setMinimumWidth(width);

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(8);
  fields->setVerticalSpacing(8);
  fields->addWidget(SearchByLabel, 0, 0);
  fields->addWidget(SearchByComboBox, 0, 1);
  fields->addWidget(SearchForLabel, 1, 0);
  fields->addWidget(SearchForEdit, 1, 1);
  auto* checks = new QHBoxLayout;
  checks->addWidget(CaseSensitiveCheckBox);
  checks->addSpacing(16);
  checks->addWidget(ExactMatchCheckBox);
  checks->addStretch(1);
  fields->addLayout(checks, 2, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {OKBtn, CancelBtn}) {
    button->setMinimumWidth(75);
    buttons->addWidget(button);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->addLayout(fields);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormCreate();
}

TFindDialog::~TFindDialog() { FormDestroy(); }

void TFindDialog::FormCreate() {
  ShowAllFields = false;
  FieldNames.clear();
  DataSource = nullptr;
  CaseSensitiveCheckBox->setChecked(false);
  ExactMatchCheckBox->setChecked(false);
}

void TFindDialog::FormDestroy() { FieldNames.clear(); }

void TFindDialog::FormShow() {
  platform::TDataSet* dataset = DataSource != nullptr ? DataSource->DataSet() : nullptr;
  if (FieldNames.empty() && dataset != nullptr) {
    for (int i = 0; i < dataset->FieldCount(); ++i) {
      platform::TField* field = dataset->Fields(i);
      if (!field->Visible() && !ShowAllFields) continue;
      if (field->FieldKind() == platform::TFieldKind::fkCalculated) continue;
      FieldNames.push_back(field->FieldName());
    }
  }
  SearchByComboBox->clear();
  for (const std::string& name : FieldNames) {
    if (DataSource != nullptr && dataset != nullptr)
      SearchByComboBox->addItem(AnsiToQString(dataset->FieldByName(name)->DisplayLabel()));
    else
      SearchByComboBox->addItem(AnsiToQString(name));
  }
  SearchByComboBox->setCurrentIndex(SearchByComboBox->count() > 0 ? 0 : -1);
  SearchForEdit->clear();
  SearchByComboBox->setFocus();
}

void TFindDialog::FormClose(platform::qt::TCloseAction& action) {
  (void)action;
  if (DataSource == nullptr || ModalResult() != platform::qt::mrOk) return;
  const QString text = SearchForEdit->text();
  if (text.isEmpty()) return;
  const int line = SearchByComboBox->currentIndex();
  if (line < 0 || line >= int(FieldNames.size())) return;
  platform::TLocateOptions options = 0;
  if (!CaseSensitiveCheckBox->isChecked()) options |= platform::loCaseInsensitive;
  if (!ExactMatchCheckBox->isChecked()) options |= platform::loPartialKey;
  platform::TDataSet* dataset = DataSource->DataSet();
  if (dataset == nullptr) return;
  last_dataset_ = dataset;
  last_field_ = FieldNames[size_t(line)];
  last_text_ = text;
  last_options_ = options;
  if (!dataset->Locate(FieldNames[size_t(line)], platform::TVariant(QStringToAnsi(text)),
                       options)) {
    hide();
    NotFound(text);
  }
}

void TFindDialog::NotFound(const QString& text) {
  platform::qt::Beep();
  platform::qt::MessageDlg(QStringLiteral("\"") + text + QStringLiteral("\" not found."),
                           platform::qt::TMsgDlgType::mtInformation, platform::qt::mbOK);
}

bool TFindDialog::FindNext() {
  auto* dataset = dynamic_cast<devazoz::TDevazozDataSet*>(last_dataset_);
  if (dataset == nullptr || !dataset->Active()) return false;
  const bool found = dataset->LocateNext(last_field_, platform::TVariant(QStringToAnsi(last_text_)),
                                         platform::TLocateOptions(last_options_));
  if (!found) NotFound(last_text_);
  return found;
}
