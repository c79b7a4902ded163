#include "tests/app/app_test_support.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

#include "app/Main.h"
#include "app/qvxcat.h"
#include "platform/qt/application.h"

namespace qvx_test {

void MakeSampleCatalog(const std::string& dir, int titles) {
  std::string out, err;
  ASSERT_EQ(RunCommand(std::string(QVX_SAMPLECAT_TOOL) + " '" + dir + "' --titles " +
                           std::to_string(titles),
                       &out, &err),
            0)
      << err;
}

namespace {

// The property that marks a modal window as answered while it is showing: the
// serial number of the answerer that answered it, so that a mark left by an
// earlier answerer means nothing to the next one.
constexpr const char* kAnsweredProperty = "qvx_test_answered";
int answerer_serial = 0;

// Clears the mark when the window hides: the same window shown again later (a
// form run a second time) is a new modal window to answer.
class HideWatcher : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) watched->setProperty(kAnsweredProperty, 0);
    return false;
  }
};

}  // namespace

ModalAnswerer::ModalAnswerer()
    : serial_(++answerer_serial),
      timer_(std::make_unique<QTimer>()),
      hide_watcher_(std::make_unique<HideWatcher>()) {
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
  timer_->start(5);
}

ModalAnswerer::~ModalAnswerer() { timer_->stop(); }

void ModalAnswerer::Then(std::function<void(QWidget*)> answer) {
  answers_.push_back(std::move(answer));
}

void ModalAnswerer::Press(const QString& button) {
  Then([button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "not a message box: " << modal->metaObject()->className();
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == button) {
        b->click();
        return;
      }
    }
    ADD_FAILURE() << "no button " << button.toStdString() << " in box "
                  << box->text().toStdString();
    box->reject();
  });
}

void ModalAnswerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible() ||
      modal->property(kAnsweredProperty).toInt() == serial_)
    return;
  modal->setProperty(kAnsweredProperty, serial_);
  modal->installEventFilter(hide_watcher_.get());
  if (auto* box = qobject_cast<QMessageBox*>(modal)) texts_ << box->text();
  if (answers_.empty()) {
    ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className() << " "
                  << (qobject_cast<QMessageBox*>(modal)
                          ? qobject_cast<QMessageBox*>(modal)->text().toStdString()
                          : modal->windowTitle().toStdString());
    if (auto* box = qobject_cast<QMessageBox*>(modal))
      box->done(0);
    else
      modal->close();
    return;
  }
  auto answer = std::move(answers_.front());
  answers_.erase(answers_.begin());
  // Answered from the event loop, after the window has finished showing.
  QTimer::singleShot(0, modal, [answer, modal] { answer(modal); });
}

void RunAsEvent(const std::function<void()>& work) {
  bool done = false;
  QTimer::singleShot(0, [&] {
    struct Finish {
      bool& flag;
      ~Finish() { flag = true; }
    } finish{done};
    // As the message loop runs a command: an error is shown in a box.
    platform::qt::Application()->Guard(work);
  });
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 10);
  ProcessEvents();
}

void SaveShot(const std::string& name) {
  const char* dir = std::getenv("QVX_SHOT_DIR");
  if (dir == nullptr || MainForm == nullptr) return;
  ProcessEvents();
  MainForm->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

void ProcessEvents() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

void ProgramFixture::Start(const std::string& dir) {
  char buffer[4096];
  old_dir_ = getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
  ASSERT_EQ(chdir(dir.c_str()), 0);
  started_ = true;
  CreateForms();
  RunAsEvent([] { MainForm->show(); });
}

void ProgramFixture::Stop() {
  if (!started_) return;
  started_ = false;
  if (MainForm != nullptr) RunAsEvent([] { MainForm->close(); });
  DestroyForms();
  ASSERT_EQ(chdir(old_dir_.c_str()), 0);
}

void ProgramFixture::TearDown() { Stop(); }

}  // namespace qvx_test
