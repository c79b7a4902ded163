// Text functions of the built-in library, and the global registry.
#include "engine/table/gs6_sqlfn.h"

#include <algorithm>

#include "engine/table/gs6_sqlnode.h"
#include "platform/services/codepage.h"
#include "platform/services/numtext.h"

namespace devazoz {

bool TextResult(TgsExpValue& value, int& result_type, std::string text) {
  value.SetText(std::move(text));
  result_type = kExpText;
  return true;
}

bool NumberResult(TgsExpValue& value, int& result_type, double number) {
  value.SetNumber(number);
  result_type = kExpNumber;
  return true;
}

namespace {

std::string TrimLeftBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a);
}

std::string TrimRightBlanks(const std::string& s) {
  size_t b = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(0, b + 1);
}

// Position (1-based) of the occurrence-th appearance of search in target; the
// last one when there are fewer; 0 when none or occurrence < 1. Occurrences may
// overlap.
int32_t Occurrence(const std::string& search, const std::string& target, int32_t occurrence) {
  if (search.empty() || occurrence < 1) return 0;
  int64_t total = 0;
  size_t from = 0;
  for (int32_t n = occurrence; n > 0; --n) {
    size_t p = target.find(search, from);
    if (p == std::string::npos) break;
    total = int64_t(p) + 1;
    from = p + 1;
  }
  return int32_t(total);
}

bool AtFunction(TgsExpFunction& node, TgsExpValue& value, int& result_type, bool ignore_case) {
  TgsExpValue search, target, n;
  FetchTyped(node, 0, search, kExpText);
  FetchTyped(node, 1, target, kExpText);
  int type = FetchArgument(node, 2, n, kExpNumber);
  int32_t occurrence = IsNumericFamily(type) ? TruncToInt32(n.number) : 1;
  if (ignore_case) {
    search.text = platform::AnsiUpper(search.text);
    target.text = platform::AnsiUpper(target.text);
  }
  return NumberResult(value, result_type, Occurrence(search.text, target.text, occurrence));
}

char SoundexDigit(char c) {
  switch (c) {
    case 'B':
    case 'F':
    case 'P':
    case 'V':
      return '1';
    case 'C':
    case 'G':
    case 'J':
    case 'K':
    case 'Q':
    case 'S':
    case 'X':
    case 'Z':
      return '2';
    case 'D':
    case 'T':
      return '3';
    case 'L':
      return '4';
    case 'M':
    case 'N':
      return '5';
    case 'R':
      return '6';
    default:
      return ' ';
  }
}

}  // namespace

TgsFunctionReg& GlobalFunctions() {
  // Built on first use, freed at exit.
  static TgsFunctionReg registry = [] {
    TgsFunctionReg reg;
    TgsFunctionReg* r = &reg;
    r->AddFunction(std::make_unique<TgsUDFAllTrim>());
    r->AddFunction(std::make_unique<TgsUDFAsc>());
    r->AddFunction(std::make_unique<TgsUDFAt>());
    r->AddFunction(std::make_unique<TgsUDFAtC>());
    r->AddFunction(std::make_unique<TgsUDFCeiling>());
    r->AddFunction(std::make_unique<TgsUDFChr>());
    r->AddFunction(std::make_unique<TgsUDFCTOD>());
    r->AddFunction(std::make_unique<TgsUDFDate>());
    r->AddFunction(std::make_unique<TgsUDFDescend>());
    r->AddFunction(std::make_unique<TgsUDFDOW>());
    r->AddFunction(std::make_unique<TgsUDFDTOC>());
    r->AddFunction(std::make_unique<TgsUDFDTOS>());
    r->AddFunction(std::make_unique<TgsUDFEmpty>());
    r->AddFunction(std::make_unique<TgsUDFFloor>());
    r->AddFunction(std::make_unique<TgsUDFIIF>());
    r->AddFunction(std::make_unique<TgsUDFInt>());
    r->AddFunction(std::make_unique<TgsUDFLeft>());
    r->AddFunction(std::make_unique<TgsUDFLen>());
    r->AddFunction(std::make_unique<TgsUDFLower>());
    r->AddFunction(std::make_unique<TgsUDFLTrim>());
    r->AddFunction(std::make_unique<TgsUDFPadC>());
    r->AddFunction(std::make_unique<TgsUDFPadL>());
    r->AddFunction(std::make_unique<TgsUDFPadR>());
    r->AddFunction(std::make_unique<TgsUDFRight>());
    r->AddFunction(std::make_unique<TgsUDFRTrim>());
    r->AddFunction(std::make_unique<TgsUDFSoundex>());
    r->AddFunction(std::make_unique<TgsUDFSpace>());
    r->AddFunction(std::make_unique<TgsUDFStr>());
    r->AddFunction(std::make_unique<TgsUDFStrZero>());
    r->AddFunction(std::make_unique<TgsUDFSubStr>());
    r->AddFunction(std::make_unique<TgsUDFTrim>());
    r->AddFunction(std::make_unique<TgsUDFUpper>());
    r->AddFunction(std::make_unique<TgsUDFVal>());
    return reg;
  }();
  return registry;
}

bool TgsUDFAllTrim::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  return TextResult(value, result_type, TrimLeftBlanks(TrimRightBlanks(a.text)));
}

bool TgsUDFAsc::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  return NumberResult(value, result_type, a.text.empty() ? 0 : uint8_t(a.text[0]));
}

bool TgsUDFAt::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  return AtFunction(node, value, result_type, false);
}

bool TgsUDFAtC::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  return AtFunction(node, value, result_type, true);
}

bool TgsUDFChr::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpNumber);
  if (!(a.number > -1 && a.number < 256))
    RaiseExpressionError("A Byte value is required but invalid");
  int code = int(a.number);
  return TextResult(value, result_type, code == 0 ? std::string() : std::string(1, char(code)));
}

bool TgsUDFLeft::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a, n;
  FetchTyped(node, 0, a, kExpText);
  FetchTyped(node, 1, n, kExpNumber);
  if (!(n.number > 0.01)) return TextResult(value, result_type, std::string());
  size_t count = size_t(std::max<int32_t>(0, TruncToInt32(n.number)));
  return TextResult(value, result_type, a.text.substr(0, std::min(count, a.text.size())));
}

bool TgsUDFLen::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  return NumberResult(value, result_type, double(a.text.size()));
}

bool TgsUDFLower::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  return TextResult(value, result_type, platform::AnsiLower(a.text));
}

bool TgsUDFLTrim::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  return TextResult(value, result_type, TrimLeftBlanks(a.text));
}

bool TgsUDFPadMain::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue f, a, w;
  int fill_type = FetchArgument(node, 2, f, kExpAny);
  char fill = ' ';
  if (fill_type != kExpNoValue) {
    if (fill_type != kExpText || f.text.size() != 1)
      RaiseExpressionError("A Char value is required but invalid");
    fill = f.text[0];
  }
  FetchTyped(node, 0, a, kExpText);
  FetchTyped(node, 1, w, kExpNumber);
  int32_t width = std::max<int32_t>(0, TruncToInt32(w.number));
  CheckTextLength(size_t(width));
  if (a.text.size() >= size_t(width))
    return TextResult(value, result_type, a.text.substr(0, size_t(width)));
  return TextResult(value, result_type, Place(a.text, size_t(width), fill));
}

std::string TgsUDFPadC::Place(const std::string& text, size_t width, char fill) const {
  size_t before = (width - text.size()) / 2;
  return std::string(before, fill) + text + std::string(width - text.size() - before, fill);
}

std::string TgsUDFPadL::Place(const std::string& text, size_t width, char fill) const {
  return std::string(width - text.size(), fill) + text;
}

std::string TgsUDFPadR::Place(const std::string& text, size_t width, char fill) const {
  return text + std::string(width - text.size(), fill);
}

bool TgsUDFRight::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a, n;
  FetchTyped(node, 0, a, kExpText);
  FetchTyped(node, 1, n, kExpNumber);
  int32_t count = TruncToInt32(n.number);
  if (count <= 0) return TextResult(value, result_type, std::string());
  if (size_t(count) >= a.text.size()) return TextResult(value, result_type, a.text);
  return TextResult(value, result_type, a.text.substr(a.text.size() - size_t(count)));
}

bool TgsUDFSoundex::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  std::string text = platform::AnsiUpper(a.text);
  std::string code;
  if (!text.empty()) {
    code += text[0];
    for (size_t i = 1; i < text.size() && code.size() < 4; ++i) {
      char digit = SoundexDigit(text[i]);
      // Blanks drop out and do not separate equal digits.
      if (digit != ' ' && digit != code.back()) code += digit;
    }
  }
  code.resize(4, '0');
  return TextResult(value, result_type, code);
}

bool TgsUDFSpace::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue n;
  FetchTyped(node, 0, n, kExpNumber);
  int32_t count = std::max<int32_t>(0, TruncToInt32(n.number));
  CheckTextLength(size_t(count));
  return TextResult(value, result_type, std::string(size_t(count), ' '));
}

bool TgsUDFSubStr::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a, s, n;
  FetchTyped(node, 0, a, kExpText);
  FetchTyped(node, 1, s, kExpNumber);
  int count_type = FetchTyped(node, 2, n, kExpNumber, true);
  int32_t start = TruncToInt32(s.number);
  if (start < 1 || size_t(start) > a.text.size())
    return TextResult(value, result_type, std::string());
  size_t rest = a.text.size() - size_t(start) + 1;
  size_t count = rest;
  if (count_type != kExpNoValue) {
    int32_t c = TruncToInt32(n.number);
    if (c <= 0) return TextResult(value, result_type, std::string());
    count = std::min(rest, size_t(c));
  }
  return TextResult(value, result_type, a.text.substr(size_t(start) - 1, count));
}

bool TgsUDFTrim::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  return TextResult(value, result_type, TrimRightBlanks(a.text));
}

bool TgsUDFUpper::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  return TextResult(value, result_type, platform::AnsiUpper(a.text));
}

bool TgsUDFVal::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  double number = 0;
  // The same conversion as every stored number ('.' whatever the user's settings), so a
  // key built on VAL does not change with them; blanks around the number are allowed.
  size_t first = a.text.find_first_not_of(' ');
  size_t last = a.text.find_last_not_of(' ');
  if (first == std::string::npos ||
      !platform::ParseDecimal(std::string_view(a.text).substr(first, last - first + 1), number))
    number = 0;
  return NumberResult(value, result_type, number);
}

}  // namespace devazoz
