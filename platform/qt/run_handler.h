// Event handlers of windows and controls run through RunHandler: an exception that
// escapes the work is shown in the application's error box (in the log when there is
// no application object) and goes no further, so it never unwinds through the
// toolkit's own frames. It is the program's one place that catches such exceptions:
// the application's Guard, RunCommand and its event delivery go through it as well.
#ifndef PLATFORM_QT_RUN_HANDLER_H_
#define PLATFORM_QT_RUN_HANDLER_H_

#include <functional>

namespace platform::qt {

// Whether the work finished without an exception.
bool RunHandler(const std::function<void()>& work);

}  // namespace platform::qt

#endif  // PLATFORM_QT_RUN_HANDLER_H_
