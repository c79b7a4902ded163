#include "platform/qt/message_dlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "platform/qt/application.h"

namespace platform::qt {
namespace {

struct ButtonKind {
  TMsgDlgBtn button;
  QMessageBox::StandardButton standard;
  int result;
};

constexpr ButtonKind kButtons[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
};

QString Caption(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning:
      return QStringLiteral("Warning");
    case TMsgDlgType::mtError:
      return QStringLiteral("Error");
    case TMsgDlgType::mtInformation:
      return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation:
      return QStringLiteral("Confirm");
    case TMsgDlgType::mtCustom:
      break;
  }
  return Application() != nullptr ? Application()->Title() : QString();
}

QMessageBox::Icon Icon(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning:
      return QMessageBox::Warning;
    case TMsgDlgType::mtError:
      return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
      return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
      return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, QWidget* parent) {
  if (buttons == 0) buttons = mbOK;
  if (parent == nullptr) parent = QApplication::activeWindow();
  QMessageBox box(Icon(type), Caption(type), text, QMessageBox::NoButton, parent);
  for (const ButtonKind& kind : kButtons) {
    if (buttons & kind.button) box.addButton(kind.standard);
  }
  if (buttons & mbOK)
    box.setDefaultButton(QMessageBox::Ok);
  else if (buttons & mbYes)
    box.setDefaultButton(QMessageBox::Yes);
  if (buttons & mbCancel)
    box.setEscapeButton(QMessageBox::Cancel);
  else if (buttons & mbNo)
    box.setEscapeButton(QMessageBox::No);
  else if (buttons & mbOK)
    box.setEscapeButton(QMessageBox::Ok);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) return (buttons & mbCancel) ? mrCancel : mrNone;
  QMessageBox::StandardButton pressed = box.standardButton(clicked);
  for (const ButtonKind& kind : kButtons) {
    if (kind.standard == pressed) return kind.result;
  }
  return mrNone;
}

int ChoiceDlg(const QString& text, TMsgDlgType type, const QStringList& buttons, int escape,
              QWidget* parent) {
  if (parent == nullptr) parent = QApplication::activeWindow();
  QMessageBox box(Icon(type), Caption(type), text, QMessageBox::NoButton, parent);
  std::vector<QPushButton*> pressed;
  for (const QString& caption : buttons) {
    // Action roles keep the order given.
    pressed.push_back(box.addButton(caption, QMessageBox::ActionRole));
  }
  if (!pressed.empty()) box.setDefaultButton(pressed.front());
  if (escape >= 0 && size_t(escape) < pressed.size()) box.setEscapeButton(pressed[size_t(escape)]);
  box.exec();
  for (size_t i = 0; i < pressed.size(); ++i)
    if (box.clickedButton() == pressed[i]) return int(i);
  return -1;
}

void ShowMessage(const QString& text, QWidget* parent) {
  MessageDlg(text, TMsgDlgType::mtCustom, mbOK, parent);
}

}  // namespace platform::qt
