#include "platform/qt/db_edit.h"

#include <QFocusEvent>

#include "platform/dataset/dataset.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/beep.h"
#include "platform/qt/run_handler.h"

namespace platform::qt {

namespace {
constexpr int kNoLimit = 32767;
}

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
  link_.OnDataChange = [this] { DataChange(); };
  link_.OnActiveChange = [this] { UpdateEditable(); };
  link_.OnEditingChange = [this] { EditingChange(); };
  link_.OnUpdateData = [this] { UpdateData(); };
  connect(this, &QLineEdit::textChanged, this, &TDBEdit::TextChanged);
  UpdateEditable();
}

TDBEdit::~TDBEdit() {
  link_.OnDataChange = nullptr;
  link_.OnActiveChange = nullptr;
  link_.OnEditingChange = nullptr;
  link_.OnUpdateData = nullptr;
}

void TDBEdit::SetReadOnly(bool read_only) {
  link_.SetReadOnly(read_only);
  UpdateEditable();
}

void TDBEdit::UpdateEditable() { QLineEdit::setReadOnly(!link_.CanModify()); }

void TDBEdit::DataChange() {
  // While a typed change puts the dataset into edit state, the record is re-read;
  // the text on screen is the user's and stays.
  if (starting_edit_) return;
  TField* field = link_.Field();
  int limit = kNoLimit;
  QString text;
  if (field) {
    if (field->DataType() == TFieldType::ftString && field->Size() > 0) limit = field->Size();
    text = AnsiToQString(field->DisplayText());
  }
  loading_ = true;
  setMaxLength(limit);
  if (text != this->text()) setText(text);
  loading_ = false;
  UpdateEditable();
}

void TDBEdit::EditingChange() { UpdateEditable(); }

void TDBEdit::UpdateData() {
  if (TField* field = link_.Field()) field->SetAsString(QStringToAnsi(text()));
}

void TDBEdit::TextChanged() {
  if (!loading_) {
    if (!link_.Editing()) {
      const QString typed = text();
      const int cursor = cursorPosition();
      starting_edit_ = true;
      bool editing = false;
      RunHandler([&] { editing = link_.Edit(); });
      starting_edit_ = false;
      if (!editing) {
        // The change cannot go into the field: show the field's value again.
        Beep();
        DataChange();
        return;
      }
      if (text() != typed) {
        loading_ = true;
        setText(typed);
        setCursorPosition(cursor);
        loading_ = false;
      }
    }
    link_.Modified();
  }
  emit Change();
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
  // Leaving the edit hands its text to the field, so that other controls show it.
  // Only a move of the focus inside the window counts, not a window or popup taking it.
  const bool inside =
      event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
  if (inside && link_.Editing()) {
    if (!RunHandler([&] { link_.UpdateRecord(); })) {
      selectAll();
      setFocus();
    }
  }
  QLineEdit::focusOutEvent(event);
}

}  // namespace platform::qt
