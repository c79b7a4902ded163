#include "engine/foundation/gs6_tool.h"

#include <cmath>
#include <cstring>

#include "platform/services/codepage.h"

namespace devazoz {
namespace {
// Position of the extension's dot in the last path component, or npos.
size_t ExtensionDot(const std::string& name) {
  size_t sep = name.find_last_of("/\\:");
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return std::string::npos;
  return dot;
}
}  // namespace

std::string DefaultExtension(const std::string& name, const std::string& extension) {
  return ExtensionDot(name) == std::string::npos ? name + extension : name;
}

std::string ChangeExtension(const std::string& name, const std::string& extension) {
  size_t dot = ExtensionDot(name);
  return (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
}

std::string FileNamePart(const std::string& name) {
  size_t sep = name.find_last_of("/\\:");
  return sep == std::string::npos ? name : name.substr(sep + 1);
}

std::string BaseName(const std::string& name) {
  std::string file = FileNamePart(name);
  size_t dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string PadRight(std::string text, char c, size_t n) {
  if (text.size() < n) text.append(n - text.size(), c);
  return text;
}

std::string TrimRightZ(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string TrimLeft(const std::string& text) {
  size_t a = text.find_first_not_of(' ');
  return a == std::string::npos ? std::string() : text.substr(a);
}

std::string Trim(const std::string& text) { return TrimRightZ(TrimLeft(text)); }

void UpperCaseBuffer(char* bytes, size_t count) { platform::AnsiUpperBuffer(bytes, count); }

int CompareZ(const char* a, const char* b) {
  int r = std::strcmp(a, b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CompareZNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    uint8_t x = platform::AnsiUpperChar(uint8_t(*a)), y = platform::AnsiUpperChar(uint8_t(*b));
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

double Ceiling(double x) {
  double i = std::trunc(x);
  return (x - i) > 0 ? i + 1 : i;
}

double Floor(double x) {
  double i = std::trunc(x);
  return (x - i) < 0 ? i - 1 : i;
}

}  // namespace devazoz
