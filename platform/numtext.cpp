#include "platform/numtext.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/exception.h"

namespace platform {
namespace {
std::atomic<char> g_decimal_separator{'.'};
}

char DecimalSeparator() { return g_decimal_separator.load(); }
void SetDecimalSeparator(char separator) { g_decimal_separator.store(separator); }

// The text is built with to_chars/from_chars, which never consult the C locale (a
// windowing toolkit may set LC_NUMERIC); the separator setting alone decides.
std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  // 15 significant digits, as d.dddddddddddddde[+-]x.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string sci(buf, res.ptr);
  size_t e = sci.find('e');
  int exponent = std::atoi(sci.c_str() + e + 1);
  std::string out;
  if (exponent >= 15 || exponent < -4) {
    std::string mantissa = sci.substr(0, e);
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    out = mantissa + "E" + (exponent < 0 ? "-" : "") + std::to_string(std::abs(exponent));
  } else {
    res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed,
                        std::max(0, 14 - exponent));
    out.assign(buf, res.ptr);
    if (out.find('.') != std::string::npos) {
      while (out.back() == '0') out.pop_back();
      if (out.back() == '.') out.pop_back();
    }
  }
  for (char& c : out)
    if (c == '.') c = DecimalSeparator();
  return out;
}

bool TryStrToFloat(const std::string& text, double& value) {
  size_t a = text.find_first_not_of(' ');
  size_t b = text.find_last_not_of(' ');
  if (a == std::string::npos) return false;
  std::string t = text.substr(a, b - a + 1);
  char sep = DecimalSeparator();
  // Accept only sign, digits, one separator and an exponent: from_chars alone would
  // take "inf" and "nan".
  size_t i = 0;
  bool negative = false;
  if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
  size_t digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == sep) {
    t[i] = '.';
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) ++j, ++exp_digits;
    if (exp_digits == 0) return false;
    i = j;
  }
  if (i != t.size()) return false;
  // from_chars takes neither a leading '+' nor one exponent sign of '+' before digits
  // in every library, so the sign is handled here and "e+" becomes "e".
  size_t body = (t[0] == '+' || t[0] == '-') ? 1 : 0;
  std::string number = t.substr(body);
  size_t plus = number.find("e+");
  if (plus == std::string::npos) plus = number.find("E+");
  if (plus != std::string::npos) number.erase(plus + 1, 1);
  double v = 0;
  auto res = std::from_chars(number.data(), number.data() + number.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Underflow reads as 0; overflow is no valid value.
    size_t epos = number.find_first_of("eE");
    if (epos == std::string::npos || number[epos + 1] != '-') return false;
    v = 0;
  } else if (res.ec != std::errc() || res.ptr != number.data() + number.size()) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

double StrToFloat(const std::string& text) {
  double v = 0;
  if (!TryStrToFloat(text, v))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return v;
}

}  // namespace platform
