#include "platform/qt/db_memo.h"

#include <QFocusEvent>
#include <QShowEvent>

#include "platform/dataset/dataset.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/beep.h"
#include "platform/qt/run_handler.h"

namespace platform::qt {

namespace {

QString FromFieldText(const std::string& ansi) {
  QString text = AnsiToQString(ansi);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

std::string ToFieldText(QString text) {
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return QStringToAnsi(text);
}

}  // namespace

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setTabChangesFocus(true);
  link_.OnDataChange = [this] { DataChange(); };
  link_.OnActiveChange = [this] { UpdateEditable(); };
  link_.OnEditingChange = [this] { UpdateEditable(); };
  link_.OnUpdateData = [this] { UpdateData(); };
  connect(this, &QPlainTextEdit::textChanged, this, &TDBMemo::TextChanged);
  UpdateEditable();
}

TDBMemo::~TDBMemo() {
  link_.OnDataChange = nullptr;
  link_.OnActiveChange = nullptr;
  link_.OnEditingChange = nullptr;
  link_.OnUpdateData = nullptr;
}

void TDBMemo::SetReadOnly(bool read_only) {
  link_.SetReadOnly(read_only);
  UpdateEditable();
}

void TDBMemo::UpdateEditable() { QPlainTextEdit::setReadOnly(!link_.CanModify()); }

void TDBMemo::DataChange() {
  if (starting_edit_) return;
  stale_ = true;
  if (isVisible()) LoadText();
}

void TDBMemo::LoadText() {
  stale_ = false;
  QString text;
  if (TField* field = link_.Field())
    text = FromFieldText(field->IsBlob() ? field->AsString() : field->DisplayText());
  loading_ = true;
  if (text != toPlainText()) setPlainText(text);
  loading_ = false;
  UpdateEditable();
}

QString TDBMemo::FieldText() {
  if (stale_) LoadText();
  QString text = toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

void TDBMemo::showEvent(QShowEvent* event) {
  if (stale_) RunHandler([&] { LoadText(); });
  QPlainTextEdit::showEvent(event);
}

void TDBMemo::UpdateData() {
  if (TField* field = link_.Field()) field->SetAsString(ToFieldText(toPlainText()));
}

void TDBMemo::TextChanged() {
  if (!loading_) {
    if (!link_.Editing()) {
      starting_edit_ = true;
      bool editing = false;
      RunHandler([&] { editing = link_.Edit(); });
      starting_edit_ = false;
      if (!editing) {
        Beep();
        RunHandler([&] { LoadText(); });
        return;
      }
    }
    link_.Modified();
  }
  emit Change();
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
  const bool inside =
      event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
  if (inside && link_.Editing()) {
    if (!RunHandler([&] { link_.UpdateRecord(); })) setFocus();
  }
  QPlainTextEdit::focusOutEvent(event);
}

}  // namespace platform::qt
