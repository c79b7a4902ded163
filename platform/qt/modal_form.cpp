#include "platform/qt/modal_form.h"

#include <QKeyEvent>
#include <QPushButton>

#include "platform/qt/run_handler.h"

namespace platform::qt {
namespace {

std::function<void(TModalForm&)>& HelpRequest() {
  static std::function<void(TModalForm&)> handler;
  return handler;
}

}  // namespace

void TModalForm::SetHelpRequest(std::function<void(TModalForm& form)> handler) {
  HelpRequest() = std::move(handler);
}

TModalForm::TModalForm(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);
}

int TModalForm::ShowModal() {
  modal_result_ = mrNone;
  exec();
  return modal_result_;
}

void TModalForm::SetModalResult(int result) {
  modal_result_ = result;
  if (result != mrNone && isVisible()) CloseModal();
}

void TModalForm::Close() { SetModalResult(mrCancel); }

void TModalForm::SetDefaultButton(QPushButton* button) {
  if (default_button_ != nullptr) default_button_->setDefault(false);
  default_button_ = button;
  if (button != nullptr) {
    button->setAutoDefault(false);
    button->setDefault(true);
  }
}

void TModalForm::SetCancelButton(QPushButton* button) { cancel_button_ = button; }

void TModalForm::SetButtonModalResult(QPushButton* button, int result) {
  connect(button, &QPushButton::clicked, this, [this, result] { SetModalResult(result); });
}

void TModalForm::showEvent(QShowEvent* event) {
  // Buttons never take over Enter by getting the focus; Enter is handled below.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  QDialog::showEvent(event);
  RunHandler([this] { FormShow(); });
}

void TModalForm::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    QPushButton* button = qobject_cast<QPushButton*>(focusWidget());
    if (button == nullptr) button = default_button_;
    if (button != nullptr && button->isVisible() && button->isEnabled()) button->click();
    return;
  }
  if (plain && event->key() == Qt::Key_F1 && HelpRequest()) {
    RunHandler([this] { HelpRequest()(*this); });
    return;
  }
  if (plain && event->key() == Qt::Key_Escape) {
    if (cancel_button_ != nullptr && cancel_button_->isVisible() && cancel_button_->isEnabled())
      cancel_button_->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TModalForm::done(int result) {
  // accept(), reject() and the close box arrive here.
  if (result == QDialog::Accepted)
    result = mrOk;
  else if (result == QDialog::Rejected)
    result = mrCancel;
  SetModalResult(result);
}

void TModalForm::CloseModal() {
  if (closing_) return;
  closing_ = true;
  bool close = false;
  RunHandler([&] {
    bool can_close = true;
    FormCloseQuery(can_close);
    if (!can_close) return;
    TCloseAction action = TCloseAction::caHide;
    FormClose(action);
    close = action != TCloseAction::caNone;
  });
  closing_ = false;
  if (close) {
    QDialog::done(modal_result_);
  } else {
    modal_result_ = mrNone;
  }
}

}  // namespace platform::qt
