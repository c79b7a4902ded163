// The one place where text crosses between the dataset's ANSI character set
// (Windows-1252 bytes) and Qt's Unicode strings. Every window reads and writes
// field text through these two calls.
#ifndef PLATFORM_QT_ANSI_TEXT_H_
#define PLATFORM_QT_ANSI_TEXT_H_

#include <QString>
#include <string>

namespace platform::qt {

QString AnsiToQString(const std::string& ansi);
// Text with a character outside Windows-1252 is refused (platform::Exception
// naming the character), never turned into '?': what the catalog cannot hold is
// neither stored nor searched for as another character.
std::string QStringToAnsi(const QString& text);

}  // namespace platform::qt

#endif  // PLATFORM_QT_ANSI_TEXT_H_
