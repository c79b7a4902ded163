#include "tests/support_qt/qt_test.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/qt/application.h"

namespace qvx_test {

namespace {

int g_argc = 1;
char g_arg0[] = "qvx_test";
char* g_argv[] = {g_arg0, nullptr};

}  // namespace

void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  auto* app = new platform::qt::TApplication(g_argc, g_argv);
  app->SetTitle(QStringLiteral("QVX Catalog"));
}

void TypeText(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    const QString one(c);
    const int key = c.isLetterOrNumber() && c.unicode() < 0x80 ? c.toUpper().unicode() : 0;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, one);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, one);
    QApplication::sendEvent(widget, &release);
  }
}

void ProcessEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

namespace {

// Closes every modal window, innermost first, so that nested message loops end.
void RejectModalWindows() {
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (!modal->isVisible()) break;
    modal->close();
    if (QApplication::activeModalWidget() == modal) {
      // A window that refuses to close (a close question): hide it.
      modal->hide();
      if (QApplication::activeModalWidget() == modal) break;
    }
  }
}

// Ends the test program when a command neither returns nor runs the event loop
// (a busy loop): nothing inside the program's thread could stop it.
class LastResort {
 public:
  explicit LastResort(std::chrono::milliseconds limit)
      : thread_([this, limit] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
            std::fprintf(stderr, "a command run by RunAsEvent is still running after %lld ms\n",
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::abort();
          }
        }) {}
  ~LastResort() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

void RunAsEvent(const std::function<void()>& work, std::chrono::milliseconds deadline) {
  EnsureApplication();
  bool done = false;
  QTimer::singleShot(0, [&] {
    struct Finish {
      bool& flag;
      ~Finish() { flag = true; }
    } finish{done};
    // As the message loop runs a command: an error is shown in a box.
    platform::qt::Application()->Guard(work);
  });
  // Past the deadline, from inside whatever message loop the command runs: fail,
  // and close the modal windows it waits on, again and again.
  QTimer late;
  bool reported = false;
  QObject::connect(&late, &QTimer::timeout, [&] {
    if (!reported) {
      ADD_FAILURE() << "a command run as an event did not finish within "
                    << std::chrono::duration_cast<std::chrono::seconds>(deadline).count() << " s";
      reported = true;
      late.setInterval(100);
    }
    RejectModalWindows();
  });
  late.start(int(deadline.count()));
  LastResort last_resort(deadline + std::chrono::seconds(30));
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 10);
  late.stop();
  ProcessEvents();
}

// A window shown again is a new modal window to answer.
class ModalAnswers::ShowFilter : public QObject {
 public:
  explicit ShowFilter(ModalAnswers* owner) : owner_(owner) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto& h = owner_->handled_;
      h.erase(
          std::remove_if(h.begin(), h.end(),
                         [&](const QPointer<QWidget>& w) { return w.isNull() || w == watched; }),
          h.end());
    }
    return false;
  }

 private:
  ModalAnswers* owner_;
};

ModalAnswers::ModalAnswers() : timer_(new QTimer) {
  EnsureApplication();
  filter_ = new ShowFilter(this);
  QCoreApplication::instance()->installEventFilter(filter_);
  timer_->setInterval(5);
  QObject::connect(timer_, &QTimer::timeout, [this] { Poll(); });
  timer_->start();
}

ModalAnswers::~ModalAnswers() {
  timer_->stop();
  delete timer_;
  QCoreApplication::instance()->removeEventFilter(filter_);
  delete filter_;
}

ModalAnswers& ModalAnswers::Button(QMessageBox::StandardButton button) {
  return ThenForBox([button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "expected a message box";
    QAbstractButton* b = box->button(button);
    ASSERT_NE(b, nullptr) << "the box lacks the button";
    b->click();
  });
}

ModalAnswers& ModalAnswers::Press(const QString& text) {
  return ThenForBox([text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "not a message box: " << modal->metaObject()->className();
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == text) {
        b->click();
        return;
      }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in box " << box->text().toStdString();
    box->reject();
  });
}

QStringList ModalAnswers::Texts() const {
  QStringList texts;
  for (const MessageSeen& seen : seen_) texts << seen.text;
  return texts;
}

ModalAnswers& ModalAnswers::ThenForBox(Answer answer) {
  Then(std::move(answer));
  for_box_.back() = true;
  return *this;
}

ModalAnswers& ModalAnswers::Then(Answer answer) {
  answers_.push_back(std::move(answer));
  for_box_.push_back(false);
  return *this;
}

void ModalAnswers::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  if (modal == answered_ && std::chrono::steady_clock::now() - answered_at_ > kCommandDeadline) {
    ADD_FAILURE() << "modal window still open " << kCommandDeadline.count()
                  << " s after its answer: " << modal->windowTitle().toStdString();
    answered_ = nullptr;
    modal->close();
    return;
  }
  for (const QPointer<QWidget>& w : handled_)
    if (w == modal) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    MessageSeen seen;
    seen.text = box->text();
    seen.title = box->windowTitle();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) {
      seen.buttons.push_back(box->standardButton(b));
      seen.button_texts << b->text();
    }
    std::sort(seen.buttons.begin(), seen.buttons.end());
    if (box->defaultButton() != nullptr) seen.default_button = box->defaultButton()->text();
    seen_.push_back(seen);
  }
  // Another window while the next answer is for a message box (the progress window
  // of work that runs long, as under the sanitizers) is left alone: it closes
  // itself when the work is done.
  if (next_ < answers_.size() && for_box_[next_] && qobject_cast<QMessageBox*>(modal) == nullptr)
    return;
  if (next_ >= answers_.size()) {
    // Nothing planned: close whatever opened, so a test fails instead of hanging.
    handled_.push_back(modal);
    ADD_FAILURE() << "unexpected modal window: " << modal->windowTitle().toStdString()
                  << (qobject_cast<QMessageBox*>(modal)
                          ? " / " + qobject_cast<QMessageBox*>(modal)->text().toStdString()
                          : std::string());
    QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
    return;
  }
  handled_.push_back(modal);
  answered_ = modal;
  answered_at_ = std::chrono::steady_clock::now();
  Answer answer = answers_[next_++];
  // Run from its own event: a box that the answer opens is then answered by this
  // poll, which the toolkit would not run again while it is still busy.
  QTimer::singleShot(0, modal, [answer, modal] { answer(modal); });
}

}  // namespace qvx_test
