#include "platform/qt/run_handler.h"

#include <QtGlobal>
#include <exception>

#include "platform/qt/application.h"

namespace platform::qt {

bool RunHandler(const std::function<void()>& work) {
  if (TApplication* app = Application()) return app->Guard(work);
  // Without the application object (a bare toolkit) the message goes to the log.
  try {
    work();
    return true;
  } catch (const std::exception& e) {
    qWarning("%s", e.what());
  } catch (...) {
    qWarning("Unknown error");
  }
  return false;
}

}  // namespace platform::qt
