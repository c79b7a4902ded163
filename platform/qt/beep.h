// The system beep.
#ifndef PLATFORM_QT_BEEP_H_
#define PLATFORM_QT_BEEP_H_

namespace platform::qt {

void Beep();

}  // namespace platform::qt

#endif  // PLATFORM_QT_BEEP_H_
