#include "platform/services/codepage.h"

namespace platform {
namespace {
#include "platform/services/codepage_tables.inc"

// Unicode code points of Windows-1252 bytes 0x80..0x9F; 0 where the byte is unassigned.
const uint16_t kAnsiHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t AnsiToCodePoint(uint8_t c) {
  if (c >= 0x80 && c < 0xA0) return kAnsiHigh[c - 0x80] ? kAnsiHigh[c - 0x80] : c;
  return c;
}

char CodePointToAnsi(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return char(cp);
  // The five unassigned bytes travel as the C1 controls of the same value.
  if (cp >= 0x80 && cp < 0xA0 && kAnsiHigh[cp - 0x80] == 0) return char(cp);
  for (int i = 0; i < 32; ++i)
    if (kAnsiHigh[i] == cp) return char(0x80 + i);
  return '?';
}
}  // namespace

uint8_t AnsiUpperChar(uint8_t c) { return kAnsiUpper[c]; }
uint8_t AnsiLowerChar(uint8_t c) { return kAnsiLower[c]; }

void AnsiUpperBuffer(char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) bytes[i] = char(kAnsiUpper[uint8_t(bytes[i])]);
}
void AnsiLowerBuffer(char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) bytes[i] = char(kAnsiLower[uint8_t(bytes[i])]);
}
std::string AnsiUpper(std::string text) {
  AnsiUpperBuffer(text.data(), text.size());
  return text;
}
std::string AnsiLower(std::string text) {
  AnsiLowerBuffer(text.data(), text.size());
  return text;
}

void OemToAnsiBuffer(const char* source, char* dest, size_t count) {
  for (size_t i = 0; i < count; ++i) dest[i] = char(kOemToAnsi[uint8_t(source[i])]);
}
void AnsiToOemBuffer(const char* source, char* dest, size_t count) {
  for (size_t i = 0; i < count; ++i) dest[i] = char(kAnsiToOem[uint8_t(source[i])]);
}
std::string OemToAnsi(const std::string& text) {
  std::string out(text.size(), '\0');
  OemToAnsiBuffer(text.data(), out.data(), text.size());
  return out;
}
std::string AnsiToOem(const std::string& text) {
  std::string out(text.size(), '\0');
  AnsiToOemBuffer(text.data(), out.data(), text.size());
  return out;
}

namespace {

struct OemUpperTable {
  uint8_t map[256];
  OemUpperTable() {
    for (int c = 0; c < 256; ++c) {
      uint8_t ansi = kOemToAnsi[c];
      uint8_t upper = kAnsiUpper[ansi];
      uint8_t oem = kAnsiToOem[upper];
      // Only a lower-case letter whose capital exists in both sets maps; everything else
      // (capitals, signs, box drawing, letters without an OEM capital) keeps its byte.
      map[c] = upper != ansi && kOemToAnsi[oem] == upper ? oem : uint8_t(c);
    }
  }
};

const OemUpperTable& OemUpperMap() {
  static const OemUpperTable table;
  return table;
}

}  // namespace

uint8_t OemUpperChar(uint8_t c) { return OemUpperMap().map[c]; }

std::string OemUpper(std::string text) {
  const OemUpperTable& table = OemUpperMap();
  for (char& c : text) c = char(table.map[uint8_t(c)]);
  return text;
}

std::string AnsiToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    uint32_t cp = AnsiToCodePoint(uint8_t(ch));
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

namespace {

// Decodes UTF-8 text into Windows-1252. A character that set lacks, or bytes
// that are no UTF-8, go to missing(first byte, byte count), whose result is
// the byte written for them (0: stop, the result is false).
template <typename Missing>
bool DecodeUtf8ToAnsi(const std::string& text, std::string& out, Missing missing) {
  out.clear();
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    uint8_t c = uint8_t(text[i]);
    uint32_t cp;
    size_t extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else {
      char put = missing(i, 1);
      if (!put) return false;
      out += put;
      ++i;
      continue;
    }
    bool ok = true;
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= text.size() || (uint8_t(text[i + k]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (uint8_t(text[i + k]) & 0x3F);
    }
    if (!ok) {
      char put = missing(i, 1);
      if (!put) return false;
      out += put;
      ++i;
      continue;
    }
    char ansi = CodePointToAnsi(cp);
    if (ansi == '?' && cp != '?') {
      char put = missing(i, extra + 1);
      if (!put) return false;
      ansi = put;
    }
    out += ansi;
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::string Utf8ToAnsi(const std::string& text) {
  std::string out;
  DecodeUtf8ToAnsi(text, out, [](size_t, size_t) { return '?'; });
  return out;
}

bool Utf8ToAnsiExact(const std::string& text, std::string& out, std::string* missing) {
  return DecodeUtf8ToAnsi(text, out, [&](size_t at, size_t count) {
    if (missing) *missing = text.substr(at, count);
    return '\0';
  });
}

size_t FirstAnsiNotInOem(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t c = uint8_t(text[i]);
    if (kOemToAnsi[kAnsiToOem[c]] != c) return i;
  }
  return std::string::npos;
}

}  // namespace platform
