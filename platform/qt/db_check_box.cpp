#include "platform/qt/db_check_box.h"

#include <QFocusEvent>
#include <QStringList>

#include "platform/dataset/dataset.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/beep.h"
#include "platform/qt/run_handler.h"

namespace platform::qt {

namespace {

bool InList(const QString& text, const QString& values) {
  const QStringList items = values.split(QLatin1Char(';'));
  for (const QString& item : items)
    if (text.compare(item, Qt::CaseInsensitive) == 0) return true;
  return false;
}

QString FirstOf(const QString& values) { return values.section(QLatin1Char(';'), 0, 0); }

}  // namespace

TDBCheckBox::TDBCheckBox(QWidget* parent) : TDBCheckBox(QString(), parent) {}

TDBCheckBox::TDBCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
  link_.OnDataChange = [this] { DataChange(); };
  link_.OnUpdateData = [this] { UpdateData(); };
  connect(this, &QCheckBox::stateChanged, this, &TDBCheckBox::Click);
}

TDBCheckBox::~TDBCheckBox() {
  link_.OnDataChange = nullptr;
  link_.OnUpdateData = nullptr;
}

void TDBCheckBox::SetValueChecked(const QString& values) {
  value_checked_ = values;
  DataChange();
}

void TDBCheckBox::SetValueUnchecked(const QString& values) {
  value_unchecked_ = values;
  DataChange();
}

Qt::CheckState TDBCheckBox::FieldState() const {
  TField* field = link_.Field();
  if (!field) return Qt::Unchecked;
  if (field->IsNull()) return Qt::PartiallyChecked;
  if (field->DataType() == TFieldType::ftBoolean)
    return field->AsBoolean() ? Qt::Checked : Qt::Unchecked;
  const QString text = AnsiToQString(field->AsString());
  if (InList(text, value_checked_)) return Qt::Checked;
  if (InList(text, value_unchecked_)) return Qt::Unchecked;
  return Qt::PartiallyChecked;
}

void TDBCheckBox::DataChange() {
  Qt::CheckState state = FieldState();
  setTristate(state == Qt::PartiallyChecked);
  setCheckState(state);
}

void TDBCheckBox::UpdateData() {
  TField* field = link_.Field();
  if (!field) return;
  if (checkState() == Qt::PartiallyChecked) {
    field->Clear();
  } else if (field->DataType() == TFieldType::ftBoolean) {
    field->SetAsBoolean(checkState() == Qt::Checked);
  } else {
    field->SetAsString(
        QStringToAnsi(FirstOf(checkState() == Qt::Checked ? value_checked_ : value_unchecked_)));
  }
}

void TDBCheckBox::nextCheckState() {
  bool editing = false;
  RunHandler([&] { editing = link_.Field() && link_.Edit(); });
  if (!editing) {
    Beep();
    return;
  }
  // A grayed box becomes ticked; the user cannot gray it again.
  const Qt::CheckState next = checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked;
  setTristate(false);
  setCheckState(next);
  link_.Modified();
}

void TDBCheckBox::focusOutEvent(QFocusEvent* event) {
  const bool inside =
      event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
  if (inside && link_.Editing()) {
    if (!RunHandler([&] { link_.UpdateRecord(); })) setFocus();
  }
  QCheckBox::focusOutEvent(event);
}

}  // namespace platform::qt
