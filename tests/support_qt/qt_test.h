// Support for tests of windows and controls: the application object (offscreen),
// answering modal windows from the event loop, and waiting for events.
#ifndef TESTS_SUPPORT_QT_QT_TEST_H_
#define TESTS_SUPPORT_QT_QT_TEST_H_

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

namespace qvxtest {

// Creates the application object once (offscreen platform) for the test program.
void EnsureApplication();

// What a message box showed and which button answered it.
struct MessageSeen {
  QString text;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<QMessageBox::StandardButton> buttons;
};

// Answers modal windows as they open, in order: each answer runs on the next modal
// window (other than the ones already answered) from a timer of the event loop.
// Message boxes are recorded in Seen().
class ModalAnswers {
 public:
  using Answer = std::function<void(QWidget* modal)>;
  ModalAnswers();
  ~ModalAnswers();
  ModalAnswers(const ModalAnswers&) = delete;
  ModalAnswers& operator=(const ModalAnswers&) = delete;

  // Answers the next message box with `button`.
  ModalAnswers& Button(QMessageBox::StandardButton button);
  // Runs `answer` on the next modal window of any kind.
  ModalAnswers& Then(Answer answer);

  const std::vector<MessageSeen>& Seen() const { return seen_; }
  // Answers not used yet.
  int Pending() const { return int(answers_.size() - next_); }

 private:
  void Poll();
  std::vector<Answer> answers_;
  size_t next_ = 0;
  class ShowFilter;
  std::vector<QPointer<QWidget>> handled_;
  ShowFilter* filter_;
  std::vector<MessageSeen> seen_;
  class QTimer* timer_;
};

// Types `text` into `widget` one key press per character (any letters, unlike
// QTest::keyClicks which takes ASCII only).
void TypeText(QWidget* widget, const QString& text);

// Processes pending events (posted and timers due) a few times.
void ProcessEvents();

}  // namespace qvxtest

#endif  // TESTS_SUPPORT_QT_QT_TEST_H_
