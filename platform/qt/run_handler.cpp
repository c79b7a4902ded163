#include "platform/qt/run_handler.h"

#include <QtGlobal>
#include <exception>

#include "platform/qt/application.h"

namespace platform::qt {

namespace {

// In the application's error box; without the application object (a bare toolkit)
// in the log.
void ShowError(const std::exception* error) {
  if (TApplication* app = Application()) {
    if (error != nullptr)
      app->ShowException(*error);
    else
      app->ShowExceptionMessage(QStringLiteral("Unknown error"));
  } else {
    qWarning("%s", error != nullptr ? error->what() : "Unknown error");
  }
}

}  // namespace

// The program's one exception-catching block: the application's Guard and its event
// delivery (notify) run their work through here too.
bool RunHandler(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const std::exception& e) {
    ShowError(&e);
  } catch (...) {
    ShowError(nullptr);
  }
  return false;
}

}  // namespace platform::qt
