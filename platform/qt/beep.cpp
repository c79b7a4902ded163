#include "platform/qt/beep.h"

#include <QApplication>

namespace platform::qt {

void Beep() { QApplication::beep(); }

}  // namespace platform::qt
