#include "app/FiltFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/dataset/dataset.h"
#include "platform/dataset/dbtypes.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/fonts.h"
#include "platform/qt/run_handler.h"

using platform::qt::AnsiToQString;
using platform::qt::QStringToAnsi;

TFilterForm* FilterForm = nullptr;

namespace {

// The operators in list order; from kAloneFrom on they may be added without a field and value.
const char* const kOperators[] = {
    " = ", " < ", " > ", " <= ", " >= ", " <> ", " AND ", " OR ", "(", ")"};
constexpr int kAloneFrom = 6;
constexpr int kListLines = 10;

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(name);
  button->setMinimumWidth(75);
  return button;
}

QComboBox* DropDownList(const char* name, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->setEditable(false);
  combo->setMaxVisibleItems(kListLines);
  return combo;
}

}  // namespace

TFilterForm::TFilterForm(QWidget* parent) : TModalForm(parent) {
  setObjectName("FilterForm");
  setWindowTitle("Filter");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));
  const QFontMetrics metrics(font());
  const int chars = metrics.averageCharWidth();

  ConditionMemo = new QPlainTextEdit(this);
  ConditionMemo->setObjectName("ConditionMemo");
  ConditionMemo->setTabChangesFocus(true);
  ConditionMemo->setFixedHeight(metrics.lineSpacing() * 5 + 12);
  ConditionLabel = new QLabel("Filter Condition:", this);
  ConditionLabel->setBuddy(ConditionMemo);
  CaseSensitiveCheckBox = new QCheckBox("Case sensitive", this);
  CaseSensitiveCheckBox->setObjectName("CaseSensitiveCheckBox");
  ClearBtn = Button("&Clear All", "ClearBtn", this);

  FieldCombo = DropDownList("FieldCombo", this);
  FieldCombo->setMinimumWidth(chars * 16);
  FieldLabel = new QLabel("Field:", this);
  FieldLabel->setBuddy(FieldCombo);
  OperatorCombo = DropDownList("OperatorCombo", this);
  for (const char* op : kOperators) OperatorCombo->addItem(QString::fromLatin1(op));
  OperatorCombo->setMinimumWidth(chars * 12);
  OperatorLabel = new QLabel("Operator:", this);
  OperatorLabel->setBuddy(OperatorCombo);
  ValueEdit = new QLineEdit(this);
  ValueEdit->setObjectName("ValueEdit");
  ValueEdit->setMinimumWidth(chars * 20);
  ValueLabel = new QLabel("Value:", this);
  ValueLabel->setBuddy(ValueEdit);
  AddBtn = Button("&Add", "AddBtn", this);

  OKBtn = Button("OK", "OKBtn", this);
  CancelBtn = Button("Cancel", "CancelBtn", this);
  SetDefaultButton(OKBtn);
  SetCancelButton(CancelBtn);
  SetButtonModalResult(OKBtn, platform::qt::mrOk);
  SetButtonModalResult(CancelBtn, platform::qt::mrCancel);

  auto* under_memo = new QHBoxLayout;
  under_memo->addWidget(CaseSensitiveCheckBox);
  under_memo->addStretch(1);
  under_memo->addWidget(ClearBtn);

  auto* builder = new QGridLayout;
  builder->setHorizontalSpacing(8);
  builder->setVerticalSpacing(3);
  builder->addWidget(FieldLabel, 0, 0);
  builder->addWidget(FieldCombo, 1, 0);
  builder->addWidget(OperatorLabel, 0, 1);
  builder->addWidget(OperatorCombo, 1, 1);
  builder->addWidget(ValueLabel, 0, 2);
  builder->addWidget(ValueEdit, 1, 2);
  builder->setColumnStretch(2, 1);
  auto* add_row = new QHBoxLayout;
  add_row->addStretch(1);
  add_row->addWidget(AddBtn);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->setSpacing(4);
  layout->addWidget(ConditionLabel);
  layout->addWidget(ConditionMemo);
  layout->addLayout(under_memo);
  layout->addSpacing(10);
  layout->addLayout(builder);
  layout->addSpacing(4);
  layout->addLayout(add_row);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  QWidget* order[] = {ConditionMemo, CaseSensitiveCheckBox,
                      ClearBtn,      FieldCombo,
                      OperatorCombo, ValueEdit,
                      AddBtn,        OKBtn,
                      CancelBtn};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(FieldCombo, &QComboBox::currentIndexChanged, this, &TFilterForm::UpdateControls);
  connect(OperatorCombo, &QComboBox::currentIndexChanged, this, &TFilterForm::UpdateControls);
  connect(ValueEdit, &QLineEdit::textChanged, this, &TFilterForm::UpdateControls);
  connect(ConditionMemo, &QPlainTextEdit::textChanged, this, &TFilterForm::UpdateControls);
  connect(AddBtn, &QPushButton::clicked, this, &TFilterForm::AddBtnClick);
  connect(ClearBtn, &QPushButton::clicked, this, &TFilterForm::ClearBtnClick);
  AddBtn->installEventFilter(this);
  ClearBtn->installEventFilter(this);

  FormCreate();
}

void TFilterForm::FormCreate() {
  ShowAllFields = true;
  DataSource = nullptr;
}

bool TFilterForm::eventFilter(QObject* watched, QEvent* event) {
  // Entering or leaving Add and Clear All updates the buttons.
  if ((watched == AddBtn || watched == ClearBtn) &&
      (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
    UpdateControls();
  return TModalForm::eventFilter(watched, event);
}

void TFilterForm::FormShow() {
  FieldCombo->clear();
  platform::TDataSet* dataset = DataSource != nullptr ? DataSource->DataSet() : nullptr;
  if (dataset != nullptr) {
    QStringList names;
    for (int i = 0; i < dataset->FieldCount(); ++i) {
      platform::TField* field = dataset->Fields(i);
      // A memo field is a reference to its text, which no operator of the list
      // compares: offering it would only lead to an error.
      if (field->DataType() == platform::TFieldType::ftMemo ||
          field->DataType() == platform::TFieldType::ftBlob)
        continue;
      if (field->Visible() || ShowAllFields) names << AnsiToQString(field->FieldName());
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
      return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    FieldCombo->addItems(names);
    if (dataset->Filtered())
      ConditionMemo->setPlainText(AnsiToQString(dataset->Filter()));
    else
      ConditionMemo->clear();
    // Only the case-insensitive option counts; the partial-compare one may be set too.
    CaseSensitiveCheckBox->setChecked((dataset->FilterOptions() & platform::foCaseInsensitive) ==
                                      0);
  }
  FieldCombo->setCurrentIndex(-1);
  OperatorCombo->setCurrentIndex(-1);
  ValueEdit->clear();
  UpdateControls();
  FieldCombo->setFocus();
}

void TFilterForm::UpdateControls() {
  const bool field = FieldCombo->currentIndex() >= 0;
  const int op = OperatorCombo->currentIndex();
  const bool value = !ValueEdit->text().isEmpty();
  ClearBtn->setEnabled(!ConditionMemo->toPlainText().isEmpty() || field || op >= 0 || value);
  AddBtn->setEnabled((field && op >= 0 && value) || op >= kAloneFrom);
}

QString TFilterForm::QuoteValue(platform::TField* field, const QString& value) const {
  switch (field->DataType()) {
    case platform::TFieldType::ftUnknown:
    case platform::TFieldType::ftString:
    case platform::TFieldType::ftDate:
    case platform::TFieldType::ftDateTime:
    case platform::TFieldType::ftMemo: {
      // A text literal ends at its own closing quote: the first delimiter the
      // value does not hold ("Assassin's Creed" goes in double quotes).
      const QChar opens[] = {'\'', '"', '['};
      const QChar closes[] = {'\'', '"', ']'};
      for (size_t i = 0; i < std::size(opens); ++i)
        if (!value.contains(closes[i])) return opens[i] + value + closes[i];
      platform::DatabaseError(
          "The value holds both kinds of quotes and a ], so it cannot be written as a text of "
          "the filter");
    }
    case platform::TFieldType::ftBoolean: {
      // The usual spellings of either truth value; anything else is refused
      // rather than taken for True.
      const QString v = value.trimmed().toLower();
      for (const char* no : {"false", "f", ".f.", "no", "n", "0"})
        if (v == QLatin1String(no)) return QStringLiteral("False");
      for (const char* yes : {"true", "t", ".t.", "yes", "y", "1"})
        if (v == QLatin1String(yes)) return QStringLiteral("True");
      platform::DatabaseErrorFmt("'%s' is not a logical value: type True or False",
                                 QStringToAnsi(value));
    }
    default:
      return value;
  }
}

void TFilterForm::AddBtnClick() {
  platform::qt::RunHandler([this] {
    // A value that cannot be written is refused before anything is added.
    platform::TDataSet* checked = DataSource != nullptr ? DataSource->DataSet() : nullptr;
    if (checked != nullptr && !ValueEdit->text().isEmpty() && !FieldCombo->currentText().isEmpty())
      if (platform::TField* field = checked->FindField(QStringToAnsi(FieldCombo->currentText())))
        QuoteValue(field, ValueEdit->text());
    if (!FieldCombo->currentText().isEmpty())
      ConditionMemo->setPlainText(ConditionMemo->toPlainText() + FieldCombo->currentText());
    if (!OperatorCombo->currentText().isEmpty())
      ConditionMemo->setPlainText(ConditionMemo->toPlainText() + OperatorCombo->currentText());
    if (!ValueEdit->text().isEmpty()) {
      platform::TDataSet* dataset = DataSource != nullptr ? DataSource->DataSet() : nullptr;
      if (dataset == nullptr) platform::DatabaseError("Missing DataSource or DataSet");
      platform::TField* field = dataset->FieldByName(QStringToAnsi(FieldCombo->currentText()));
      ConditionMemo->setPlainText(ConditionMemo->toPlainText() +
                                  QuoteValue(field, ValueEdit->text()));
    }
    FieldCombo->setCurrentIndex(-1);
    OperatorCombo->setCurrentIndex(-1);
    ValueEdit->clear();
    FieldCombo->setFocus();
  });
  ConditionMemo->moveCursor(QTextCursor::End);
}

void TFilterForm::ClearBtnClick() {
  ConditionMemo->clear();
  FieldCombo->setCurrentIndex(-1);
  OperatorCombo->setCurrentIndex(-1);
  ValueEdit->clear();
  FieldCombo->setFocus();
}

QString TFilterForm::ConditionText() const {
  QString text = ConditionMemo->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

void TFilterForm::FormClose(platform::qt::TCloseAction& action) {
  (void)action;
  platform::TDataSet* dataset = DataSource != nullptr ? DataSource->DataSet() : nullptr;
  if (dataset != nullptr && ModalResult() == platform::qt::mrOk) {
    const std::string condition = QStringToAnsi(ConditionText());
    if (!condition.empty()) {
      dataset->SetFilter(condition);
      dataset->SetFiltered(true);
    } else {
      dataset->SetFiltered(false);
      dataset->SetFilter(std::string());
    }
    platform::TFilterOptions options = dataset->FilterOptions();
    if (CaseSensitiveCheckBox->isChecked())
      options &= ~platform::foCaseInsensitive;
    else
      options |= platform::foCaseInsensitive;
    // Setting the options again as they are would only read the first screen again.
    if (options != dataset->FilterOptions()) dataset->SetFilterOptions(options);
  }
  FieldCombo->clear();
}
