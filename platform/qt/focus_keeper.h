// TFocusKeeper: gives the activation back when a modal window or message box
// closes. Under a window manager the focus otherwise goes where the manager puts
// it: when a box and the form under it close one after the other (a record form's
// "Do you want to save changes?" answered No), the manager may give it to the
// form that is closing as well, and then no window of the program is active and
// the keyboard does nothing until the user clicks a window.
//
// After a dialog hides, once the events of its closing are handled, the keeper
// activates the window that should have the keyboard: the modal window still open,
// else the nearest shown window the closed one stood over, else the main window.
// Activating the window that is active already changes nothing.
#ifndef PLATFORM_QT_FOCUS_KEEPER_H_
#define PLATFORM_QT_FOCUS_KEEPER_H_

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace platform::qt {

class TFocusKeeper : public QObject {
  Q_OBJECT

 public:
  // Watches the windows of the application it is installed on (as an event filter).
  explicit TFocusKeeper(QObject* parent = nullptr);

  bool eventFilter(QObject* watched, QEvent* event) override;

  // The window that should be active now (null when no window is shown).
  QWidget* Target() const;
  // Activates Target() when it is not the active window.
  void Restore();

 private:
  QPointer<QWidget> owner_;  // the window the last closed dialog stood over
  bool pending_ = false;
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_FOCUS_KEEPER_H_
