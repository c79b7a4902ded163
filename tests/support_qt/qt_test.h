// Support for tests of windows and controls: the application object (offscreen),
// answering modal windows from the event loop, running a command as the message
// loop would, typing, and waiting for events. Every wait here has a deadline, so
// that a stuck command or a window nobody answers fails its test instead of
// hanging the test run.
#ifndef TESTS_SUPPORT_QT_QT_TEST_H_
#define TESTS_SUPPORT_QT_QT_TEST_H_

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <functional>
#include <vector>

namespace qvx_test {

// How long a command run by RunAsEvent, or a modal window after its answer, may
// take before the test fails. Generous: the sanitizer build runs several times
// slower than the release build.
constexpr std::chrono::seconds kCommandDeadline{90};

// Creates the application object once (offscreen platform) for the test program.
void EnsureApplication();

// What a message box showed and which button answered it.
struct MessageSeen {
  QString text;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<QMessageBox::StandardButton> buttons;
  QStringList button_texts;
  QString default_button;
};

// Answers modal windows as they open, in order: each answer runs on the next modal
// window (other than the ones already answered) from a timer of the event loop,
// and must close it. Message boxes are recorded in Seen(). A modal window with no
// answer left fails the test and is closed; so is one still open
// kCommandDeadline after its answer ran.
class ModalAnswers {
 public:
  using Answer = std::function<void(QWidget* modal)>;
  ModalAnswers();
  ~ModalAnswers();
  ModalAnswers(const ModalAnswers&) = delete;
  ModalAnswers& operator=(const ModalAnswers&) = delete;

  // Answers the next message box with `button`.
  ModalAnswers& Button(QMessageBox::StandardButton button);
  // Answers the next message box with the button whose text is `text` ("OK",
  // "Cancel", "&Yes", "&No").
  ModalAnswers& Press(const QString& text);
  // Runs `answer` on the next modal window of any kind.
  ModalAnswers& Then(Answer answer);

  const std::vector<MessageSeen>& Seen() const { return seen_; }
  // The texts of the message boxes seen, in order.
  QStringList Texts() const;
  // Answers not used yet.
  int Pending() const { return int(answers_.size() - next_); }

 private:
  void Poll();
  ModalAnswers& ThenForBox(Answer answer);
  std::vector<Answer> answers_;
  std::vector<bool> for_box_;  // the answer is for a message box
  size_t next_ = 0;
  class ShowFilter;
  std::vector<QPointer<QWidget>> handled_;
  ShowFilter* filter_;
  std::vector<MessageSeen> seen_;
  class QTimer* timer_;
  // The modal window answered last and when its answer ran.
  QPointer<QWidget> answered_;
  std::chrono::steady_clock::time_point answered_at_;
};

// Runs work as an event of the message loop, so that an exception reaches the
// application's handler (and its error box) as it would from a menu command;
// returns when it is done. Past `deadline` the test fails and modal windows are
// closed; a command that still does not return ends the test program with a
// message rather than hang.
void RunAsEvent(const std::function<void()>& work,
                std::chrono::milliseconds deadline = kCommandDeadline);

// Lets the event loop deliver what is pending (posted events and timers due).
void ProcessEvents();

// Runs the event loop until `done` holds or `limit` passes; whether it holds.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Types `text` into `widget` one key press per character (any letters, unlike
// QTest::keyClicks which takes ASCII only).
void TypeText(QWidget* widget, const QString& text);

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_QT_QT_TEST_H_
