#include "platform/numtext.h"

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "platform/exception.h"

namespace platform {
namespace {
std::atomic<char> g_decimal_separator{'.'};
}

char DecimalSeparator() { return g_decimal_separator.load(); }
void SetDecimalSeparator(char separator) { g_decimal_separator.store(separator); }

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", value);
  int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  std::string out;
  if (exponent >= 15 || exponent < -4) {
    std::string mantissa(buf, std::strchr(buf, 'e'));
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    out = mantissa + "E" + (exponent < 0 ? "-" : "+") + (std::abs(exponent) < 10 ? "0" : "") +
          std::to_string(std::abs(exponent));
  } else {
    std::snprintf(buf, sizeof buf, "%.*f", std::max(0, 14 - exponent), value);
    out = buf;
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
  // Accept only sign, digits, one separator and an exponent: strtod alone would take
  // hexadecimal, "inf" and "nan".
  size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
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
  value = std::strtod(t.c_str(), nullptr);
  return true;
}

double StrToFloat(const std::string& text) {
  double v = 0;
  if (!TryStrToFloat(text, v))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return v;
}

}  // namespace platform
