#include "catalog/text_encoding.h"

#include <cstdint>

#include "platform/services/codepage.h"

namespace catalog {

const char* EncodingName(Encoding encoding) {
  return encoding == Encoding::kUtf8 ? "UTF-8" : "Windows-1252";
}

bool StartsWithUtf8Bom(std::string_view bytes) { return bytes.substr(0, 3) == kUtf8Bom; }

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    uint8_t c = uint8_t(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;  // a continuation byte first, an overlong lead, or above U+10FFFF
    }
    if (n - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      uint8_t t = uint8_t(bytes[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

std::string ToAnsi(const std::string& bytes, Encoding encoding) {
  if (encoding == Encoding::kCp1252) return bytes;
  for (char c : bytes)
    if (uint8_t(c) >= 0x80) return platform::Utf8ToAnsi(bytes);
  return bytes;
}

}  // namespace catalog
