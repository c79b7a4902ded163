#include "platform/qt/application.h"

#include <QMessageBox>
#include <cstdlib>

#include "platform/qt/ansi_text.h"
#include "platform/qt/focus_keeper.h"
#include "platform/qt/run_handler.h"
#include "platform/qt/window_log.h"
#include "platform/services/apphandler.h"

namespace platform::qt {
namespace {

TApplication* g_application = nullptr;

}  // namespace

TApplication* Application() { return g_application; }

void RunCommand(const std::function<void()>& command) {
  if (g_application != nullptr)
    RunHandler(command);
  else
    command();
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  g_application = this;
  // Errors that no caller can receive (a memo failing to write while its stream
  // is freed) are shown like any other.
  platform::SetApplicationExceptionHandler([this](const std::exception& e) { ShowException(e); });
  installEventFilter(new TFocusKeeper(this));
  if (const char* log = std::getenv("QVX_WINDOW_LOG"); log != nullptr && *log != '\0')
    installEventFilter(new TWindowLog(log, this));
}

TApplication::~TApplication() {
  platform::SetApplicationExceptionHandler(nullptr);
  if (g_application == this) g_application = nullptr;
}

// The title is kept apart from Qt's display name, which Qt would append to the
// caption of every window.
void TApplication::SetTitle(const QString& title) { title_ = title; }

QString TApplication::Title() const { return title_; }

void TApplication::ShowException(const std::exception& e) {
  // Engine and dataset messages are ANSI byte text.
  ShowExceptionMessage(AnsiToQString(e.what()));
}

void TApplication::ShowExceptionMessage(const QString& message) {
  ++exception_count_;
  QMessageBox box(QMessageBox::Critical, Title(), message, QMessageBox::Ok, activeWindow());
  box.exec();
}

bool TApplication::Guard(const std::function<void()>& work) { return RunHandler(work); }

bool TApplication::notify(QObject* receiver, QEvent* event) {
  // One captured reference, so that no event allocates a function object.
  struct Delivery {
    TApplication* app;
    QObject* receiver;
    QEvent* event;
    bool result = true;
  } delivery{this, receiver, event};
  RunHandler([&delivery] {
    delivery.result = delivery.app->QApplication::notify(delivery.receiver, delivery.event);
  });
  return delivery.result;
}

}  // namespace platform::qt
