#include "platform/qt/ansi_text.h"

#include "platform/services/codepage.h"

namespace platform::qt {

QString AnsiToQString(const std::string& ansi) {
  // Plain ASCII is the common case and needs no table.
  for (unsigned char c : ansi) {
    if (c >= 0x80) return QString::fromStdString(platform::AnsiToUtf8(ansi));
  }
  return QString::fromLatin1(ansi.data(), qsizetype(ansi.size()));
}

std::string QStringToAnsi(const QString& text) { return platform::Utf8ToAnsi(text.toStdString()); }

}  // namespace platform::qt
