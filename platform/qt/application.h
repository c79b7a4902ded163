// The application object: the message loop, the program's title, and the global
// exception handler. An exception that escapes a command or an event handler
// (engine, dataset or standard errors alike) ends up in notify(): its message is
// shown in an error box, the rest of that command is skipped, and the program
// goes on with the next event. Inside a modal window's own loop the same happens,
// so the modal window stays open.
//
// When a dialog or box closes, the window under it is activated again (see
// focus_keeper.h). With the environment variable QVX_WINDOW_LOG naming a file,
// every window that shows or hides is written there (see window_log.h).
#ifndef PLATFORM_QT_APPLICATION_H_
#define PLATFORM_QT_APPLICATION_H_

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

namespace platform::qt {

class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);
  ~TApplication() override;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The title shown by the about box and by boxes of the application.
  void SetTitle(const QString& title);
  QString Title() const;

  // Shows the message of an exception in an error box with the application's title.
  void ShowException(const std::exception& e);
  void ShowExceptionMessage(const QString& message);

  // Runs a piece of work the way an event handler runs: an exception is shown
  // and swallowed. Returns whether the work finished.
  bool Guard(const std::function<void()>& work);

  int Run() { return exec(); }

  bool notify(QObject* receiver, QEvent* event) override;

  // Number of exceptions shown so far (for checks).
  int ExceptionCount() const { return exception_count_; }

 private:
  QString title_;
  int exception_count_ = 0;
};

// The application object, or null before it exists.
TApplication* Application();

// Runs a command as the message loop would: an exception escaping it is shown by
// the application object (or passed on when there is none).
void RunCommand(const std::function<void()>& command);

// Connects a signal to a command handler of the receiver, as a member-function
// connection whose exceptions end in the application's handler instead of
// unwinding through Qt's signal delivery.
template <class Sender, class Signal, class Receiver>
QMetaObject::Connection ConnectCommand(Sender* sender, Signal signal, Receiver* receiver,
                                       void (Receiver::*handler)()) {
  return QObject::connect(sender, signal, receiver,
                          [receiver, handler] { RunCommand([&] { (receiver->*handler)(); }); });
}

}  // namespace platform::qt

#endif  // PLATFORM_QT_APPLICATION_H_
