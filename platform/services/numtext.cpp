#include "platform/services/numtext.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/services/exception.h"

namespace platform {
namespace {
std::atomic<char> g_decimal_separator{'.'};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string WithSeparator(std::string text) {
  char sep = DecimalSeparator();
  if (sep != '.')
    for (char& c : text)
      if (c == '.') c = sep;
  return text;
}
}  // namespace

char DecimalSeparator() { return g_decimal_separator.load(); }
void SetDecimalSeparator(char separator) { g_decimal_separator.store(separator); }

// to_chars/from_chars never consult the C locale, unlike strtod and printf.
bool ParseDecimal(std::string_view t, double& value) {
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  size_t body = i, digits = 0;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  size_t exponent_sign = std::string_view::npos;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) exponent_sign = j++;
    size_t exp_digits = 0;
    while (j < t.size() && IsDigit(t[j])) ++j, ++exp_digits;
    if (exp_digits == 0) return false;
    i = j;
  }
  if (i != t.size()) return false;
  // from_chars takes neither a leading sign of '+' nor, in every library, "e+": the
  // sign is applied here and a '+' after the exponent letter is left out.
  std::string number(t.substr(body));
  bool exponent_negative = false;
  if (exponent_sign != std::string_view::npos) {
    size_t k = exponent_sign - body;
    exponent_negative = number[k] == '-';
    if (!exponent_negative) number.erase(k, 1);
  }
  double v = 0;
  auto res = std::from_chars(number.data(), number.data() + number.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    if (!exponent_negative) return false;  // overflow is no value; underflow reads as 0
    v = 0;
  } else if (res.ec != std::errc() || res.ptr != number.data() + number.size()) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

std::string DecimalText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  // 15 significant digits, as d.dddddddddddddde[+-]x.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string sci(buf, res.ptr);
  size_t e = sci.find('e');
  int exponent = std::atoi(sci.c_str() + e + 1);
  if (exponent >= 15 || exponent < -4) {
    std::string mantissa = sci.substr(0, e);
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    return mantissa + "E" + (exponent < 0 ? "-" : "") + std::to_string(std::abs(exponent));
  }
  res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed,
                      std::max(0, 14 - exponent));
  std::string out(buf, res.ptr);
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  return out;
}

std::string FixedDecimalText(double value, int decimals) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (decimals < 0) decimals = 0;
  // The largest double has 309 digits before the point.
  std::string out(size_t(330) + size_t(decimals), '\0');
  auto res =
      std::to_chars(out.data(), out.data() + out.size(), value, std::chars_format::fixed, decimals);
  out.resize(size_t(res.ptr - out.data()));
  return out;
}

std::string FloatToStr(double value) { return WithSeparator(DecimalText(value)); }

bool TryStrToFloat(const std::string& text, double& value) {
  size_t a = text.find_first_not_of(' ');
  size_t b = text.find_last_not_of(' ');
  if (a == std::string::npos) return false;
  std::string t = text.substr(a, b - a + 1);
  char sep = DecimalSeparator();
  if (sep != '.') {
    // Only the separator setting marks the fraction: a '.' is no number text then.
    if (t.find('.') != std::string::npos) return false;
    size_t s = t.find(sep);
    if (s != std::string::npos) t[s] = '.';
  }
  return ParseDecimal(t, value);
}

double StrToFloat(const std::string& text) {
  double v = 0;
  if (!TryStrToFloat(text, v))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return v;
}

}  // namespace platform
