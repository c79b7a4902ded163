#include "tests/support_qt/qt_test.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "platform/qt/application.h"

namespace qvxtest {

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
  return Then([button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "expected a message box";
    QAbstractButton* b = box->button(button);
    ASSERT_NE(b, nullptr) << "the box lacks the button";
    b->click();
  });
}

ModalAnswers& ModalAnswers::Then(Answer answer) {
  answers_.push_back(std::move(answer));
  return *this;
}

void ModalAnswers::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  for (const QPointer<QWidget>& w : handled_)
    if (w == modal) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    MessageSeen seen;
    seen.text = box->text();
    seen.title = box->windowTitle();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) seen.buttons.push_back(box->standardButton(b));
    std::sort(seen.buttons.begin(), seen.buttons.end());
    seen_.push_back(seen);
  }
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
  Answer answer = answers_[next_++];
  // Run from its own event: a box that the answer opens is then answered by this
  // poll, which the toolkit would not run again while it is still busy.
  QTimer::singleShot(0, modal, [answer, modal] { answer(modal); });
}

}  // namespace qvxtest
