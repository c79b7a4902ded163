// TProgressWindow: the window a long command shows while it runs. The work runs
// on the user-interface thread, as every command does; it reports its progress
// through the window (Begin a stage, Step through it), and from within those
// calls the window paints itself and the program's other windows and answers
// its own buttons. Events are let through at most every 50 ms, so that reporting
// every record costs the work nothing measurable.
//
// The window appears only once the work has lasted 300 ms: a short command does
// not flash a window. It is application-modal: while it shows, no other window
// takes input, so nothing can start a second command half-way through this one.
// Before it shows, only painting and timers go through, never the user's input.
// (Timers do fire: anything a timer starts must look at Busy() first.)
//
// Cancel (the button, Esc or the close box) only asks. The command decides
// where stopping is safe and says so with SetCancellable; while it is, a request
// makes Step return false and CheckCancel raise the framework's silent EAbort,
// which the command lets run out through the work it stops (the engine's long
// operations undo what they had begun when an exception passes through them).
// Where stopping is not safe the button is disabled and says why.
#ifndef PLATFORM_QT_PROGRESS_WINDOW_H_
#define PLATFORM_QT_PROGRESS_WINDOW_H_

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace platform::qt {

class TProgressWindow : public QDialog {
  Q_OBJECT

 public:
  // `title` is the window's caption ("Packing Data"); `parent` the window it
  // stands over.
  explicit TProgressWindow(const QString& title, QWidget* parent = nullptr);
  ~TProgressWindow() override;

  // A new stage: its text ("Packing QVXCAT.DBF") and the number of steps it
  // takes (0 or less: not known, the bar just moves).
  void Begin(const QString& text, int64_t total);
  // Changes the stage's text; it shows at the next pump.
  void SetText(const QString& text);
  // Progress within the stage. Lets events through now and then; false once
  // the user asked to stop while stopping is allowed.
  bool Step(int64_t done);
  // Lets events through now (a stage ended, a file was written).
  void Pump();
  // Whether Cancel may stop the work now; `why_not` shows on the button's hint
  // while it may not ("The packed table is being put in place").
  void SetCancellable(bool cancellable, const QString& why_not = QString());
  bool Cancellable() const { return cancellable_; }
  bool CancelRequested() const { return cancel_requested_; }
  // Raises platform::EAbort when the user asked to stop and stopping is allowed.
  void CheckCancel();

  QString StageText() const;
  int64_t StageTotal() const { return total_; }
  int64_t StageDone() const { return done_; }

  // True while any progress window is open: work started by timers waits.
  static bool Busy();
  // Milliseconds before the window shows (300; tests may set 0).
  static void SetShowDelay(int ms);
  // Milliseconds between two pumps from Step (50; tests may set 0, so that a
  // click is seen at the next step whatever the machine's speed).
  static void SetPumpInterval(int ms);

 public slots:
  // Esc and the close box: a request to stop, as Cancel is.
  void reject() override;

 private:
  void CancelButtonClick();
  void Refresh();

  QLabel* label_;
  QProgressBar* bar_;
  QPushButton* cancel_button_;
  QElapsedTimer started_;
  QElapsedTimer pumped_;
  int64_t total_ = 0;
  int64_t done_ = 0;
  bool cancellable_ = true;
  bool cancel_requested_ = false;
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_PROGRESS_WINDOW_H_
