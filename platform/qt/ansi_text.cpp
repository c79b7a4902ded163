#include "platform/qt/ansi_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/services/codepage.h"
#include "platform/services/exception.h"

namespace platform::qt {

QString AnsiToQString(const std::string& ansi) {
  // Plain ASCII is the common case and needs no table.
  for (unsigned char c : ansi) {
    if (c >= 0x80) return QString::fromStdString(platform::AnsiToUtf8(ansi));
  }
  return QString::fromLatin1(ansi.data(), qsizetype(ansi.size()));
}

std::string QStringToAnsi(const QString& text) {
  std::string ansi, missing;
  if (platform::Utf8ToAnsiExact(text.toStdString(), ansi, &missing)) return ansi;
  // The message is ANSI text too, so the character is named by its number (the
  // missing character comes as one UTF-8 sequence).
  uint32_t cp = missing.empty() ? 0 : uint8_t(missing[0]);
  if (missing.size() > 1) {
    cp &= 0xFFu >> (missing.size() + 1);
    for (size_t k = 1; k < missing.size(); ++k) cp = (cp << 6) | (uint8_t(missing[k]) & 0x3F);
  }
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", unsigned(cp));
  throw platform::Exception(std::string("Text with the character ") + code +
                            " cannot be used: the catalog's code page has no such character");
}

}  // namespace platform::qt
