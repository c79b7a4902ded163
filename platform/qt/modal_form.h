// TModalForm: a dialog window with the platform's modal-form behaviour. ShowModal
// shows it and runs its own message loop until a modal result closes it; a button
// may carry a modal result; Close (and the window's close box) asks for Cancel.
// Every close runs the close query and then the close handler: a refused close, or
// an exception from either (shown in the application's error box), resets the
// modal result and the form stays open. Enter presses the focused button, else the
// default button (none: Enter does nothing); Esc presses the cancel button. The
// form is hidden, not destroyed, when it closes.
#ifndef PLATFORM_QT_MODAL_FORM_H_
#define PLATFORM_QT_MODAL_FORM_H_

#include <QDialog>
#include <functional>

#include "platform/qt/message_dlg.h"

class QPushButton;

namespace platform::qt {

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

class TModalForm : public QDialog {
  Q_OBJECT

 public:
  explicit TModalForm(QWidget* parent = nullptr);

  // Shows the form modally and returns the modal result that closed it.
  int ShowModal();
  int ModalResult() const { return modal_result_; }
  // While the form is shown, a result other than mrNone closes it (close query,
  // then close handler).
  void SetModalResult(int result);
  // Closes the form as its close box does; a modal form closes with mrCancel.
  void Close();

  QPushButton* DefaultButton() const { return default_button_; }
  void SetDefaultButton(QPushButton* button);
  QPushButton* CancelButton() const { return cancel_button_; }
  void SetCancelButton(QPushButton* button);
  // Pressing `button` sets this modal result.
  void SetButtonModalResult(QPushButton* button, int result);
  // F1 in any modal form asks the program for help on that form.
  static void SetHelpRequest(std::function<void(TModalForm& form)> handler);

 protected:
  // The platform's form events; exceptions from FormShow are shown and go no further.
  virtual void FormShow() {}
  virtual void FormCloseQuery(bool& can_close) { (void)can_close; }
  virtual void FormClose(TCloseAction& action) { (void)action; }

  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int result) override;

 private:
  void CloseModal();

  int modal_result_ = mrNone;
  bool closing_ = false;
  QPushButton* default_button_ = nullptr;
  QPushButton* cancel_button_ = nullptr;
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_MODAL_FORM_H_
