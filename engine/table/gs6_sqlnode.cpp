#include "engine/table/gs6_sqlnode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/foundation/gs6_Date.h"
#include "platform/services/codepage.h"
#include "platform/services/numtext.h"

namespace devazoz {
namespace {

[[noreturn]] void RaiseInvalid(const char* what) {
  RaiseExpressionError(std::string("A ") + what + " value is required but invalid");
}

bool IsComparison(uint8_t code) {
  return (code >= kOpEqual && code <= kOpLessEqual) || code == kOpExactEqual;
}

bool IsArithmetic(uint8_t code) {
  return (code >= kOpAdd && code <= kOpPower) || code == kOpModulus;
}

// How a message names the values of a result type.
const char* TypeWords(int type) {
  switch (type) {
    case kExpText:
      return "text";
    case kExpLogic:
      return "logical values";
    case kExpDate:
      return "dates";
    case kExpNothing:
    case kExpNoValue:
      return "missing values";
    default:
      return IsNumericFamily(type) ? "numbers" : "memo or binary fields";
  }
}

// Logical outcome of a comparison whose difference has the sign of d.
bool ComparisonHolds(uint8_t code, double d) {
  switch (code) {
    case kOpEqual:
    case kOpExactEqual:
      return d == 0;
    case kOpNotEqual:
      return d != 0;
    case kOpGreater:
      return d > 0;
    case kOpLess:
      return d < 0;
    case kOpGreaterEqual:
      return d >= 0;
    case kOpLessEqual:
      return d <= 0;
    default:
      return false;
  }
}

void TrimTrailingBlanks(std::string& s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  s.resize(n);
}

// The capital of a byte in the compared text's character set.
uint8_t UpperOf(uint8_t c, bool oem) {
  return oem ? platform::OemUpperChar(c) : platform::AnsiUpperChar(c);
}

// Byte-wise order of two texts, a proper prefix first.
int PlainCompare(const std::string& a, const std::string& b, bool ignore_case, bool oem) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    uint8_t x = uint8_t(a[i]), y = uint8_t(b[i]);
    if (ignore_case) {
      x = UpperOf(x, oem);
      y = UpperOf(y, oem);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// Left raised to the exponent truncated toward zero. Small exponents multiply
// step by step; large ones use pow so that no exponent makes evaluation hang.
double Power(double base, double exponent) {
  if (!std::isfinite(exponent)) return std::pow(base, exponent);
  double n = std::trunc(exponent);
  if (n == 1) return base;
  if (n == 0) return 1;
  double m = std::fabs(n);
  double result;
  if (m <= 64) {
    result = base;
    for (int i = 1; i < int(m); ++i) result *= base;
  } else {
    result = std::pow(base, m);
  }
  return n < 0 ? 1 / result : result;
}

}  // namespace

int OperatorPrecedence(uint8_t code) {
  switch (code) {
    case kOpPower:
      return 2;
    case kOpMultiply:
    case kOpDivide:
    case kOpModulus:
      return 3;
    case kOpAdd:
    case kOpSubtract:
      return 4;
    case kOpNot:
      return 6;
    case kOpAnd:
      return 7;
    case kOpOr:
      return 8;
    default:
      return 5;  // comparisons, exactly equal, LIKE, POS
  }
}

std::string FormatFixedPoint(double value, int decimals, int width) {
  std::string text;
  if (std::isnan(value)) {
    text = "NAN";
  } else if (std::isinf(value)) {
    text = value > 0 ? "INF" : "-INF";
  } else {
    text = platform::FixedDecimalText(value, decimals);
    // A value that rounds to zero shows no sign.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  }
  if (width > 0 && text.size() < size_t(width)) text.insert(0, size_t(width) - text.size(), ' ');
  return text;
}

// ---------------------------------------------------------------- base node

TgsExpBaseObject::~TgsExpBaseObject() = default;

std::string TgsExpBaseObject::OwnText() const { return std::string(); }
int TgsExpBaseObject::KindTag() const { return -1; }

std::string TgsExpBaseObject::BuildText() const {
  std::string text;
  if (left_) text += left_->BuildText();
  text += OwnText();
  if (right_) text += right_->BuildText();
  return text;
}

std::string TgsExpBaseObject::CollectNames(int tag) const {
  std::string names;
  if (left_) names += left_->CollectNames(tag);
  if (KindTag() == tag) names += OwnText() + ";";
  if (right_) names += right_->CollectNames(tag);
  return names;
}

int TgsExpBaseObject::Evaluate(TgsExpValue&) {
  result_type_ = kExpNoValue;
  return result_type_;
}

void TgsExpBaseObject::RaiseDepth(int child_depth) { depth_ = std::max(depth_, child_depth + 1); }

void TgsExpBaseObject::SetLeft(TgsExpNodePtr node) {
  left_ = std::move(node);
  if (left_) RaiseDepth(left_->Depth());
}

void TgsExpBaseObject::SetRight(TgsExpNodePtr node) {
  right_ = std::move(node);
  if (right_) RaiseDepth(right_->Depth());
}

// ---------------------------------------------------------------- container

TgsExpContainer::TgsExpContainer(TgsExpNodePtr inner) : TgsExpBaseObject(kKindContainer) {
  SetRight(std::move(inner));
}

std::string TgsExpContainer::BuildText() const {
  std::string text = "(";
  if (right_) text.append(right_->BuildText());
  text += ')';
  return text;
}

int TgsExpContainer::Evaluate(TgsExpValue& value) {
  result_type_ = right_ ? right_->Evaluate(value) : kExpNoValue;
  return result_type_;
}

// ---------------------------------------------------------------- operator

TgsExpOperator::TgsExpOperator(uint8_t code, const TgsExpCompareSettings& settings)
    : TgsExpBaseObject(kKindOperator),
      code_(code),
      precedence_(OperatorPrecedence(code)),
      settings_(settings) {}

std::string TgsExpOperator::OwnText() const {
  switch (code_) {
    case kOpEqual:
      return "=";
    case kOpNotEqual:
      return "#";
    case kOpGreater:
      return ">";
    case kOpLess:
      return "<";
    case kOpGreaterEqual:
      return ">=";
    case kOpLessEqual:
      return "<=";
    case kOpExactEqual:
      return "==";
    case kOpAdd:
      return "+";
    case kOpSubtract:
      return "-";
    case kOpMultiply:
      return "*";
    case kOpDivide:
      return "/";
    case kOpPower:
      return "^";
    case kOpModulus:
      return "%";
    case kOpLike:
      return ".LIKE.";
    case kOpPos:
      return ".POS.";
    case kOpAnd:
      return ".AND.";
    case kOpOr:
      return ".OR.";
    case kOpNot:
      return ".NOT.";
    default:
      return "?";
  }
}

int TgsExpOperator::Evaluate(TgsExpValue& value) {
  if (unary_ && right_) {
    TgsExpValue& r = right_value_;
    r.Reset();
    int rtype = right_->Evaluate(r);
    if (rtype != kExpNumber && rtype != kExpNumber7) RaiseInvalid("number");
    value.SetNumber(code_ == kOpSubtract ? -r.number : r.number, r.width);
    result_type_ = kExpNumber;
    return result_type_;
  }
  if (!right_ || (!left_ && code_ != kOpNot))
    RaiseExpressionError("Target value missing for " + OwnText() + " operation");
  TgsExpValue& l = left_value_;
  TgsExpValue& r = right_value_;
  l.Reset();
  r.Reset();
  int ltype = kExpNothing;
  if (left_ && code_ != kOpNot) ltype = left_->Evaluate(l);
  int rtype = right_->Evaluate(r);
  result_type_ = rtype;
  if (code_ == kOpNot) {
    if (rtype != kExpLogic) RaiseInvalid("boolean");
    value.SetLogic(!r.logic);
    result_type_ = kExpLogic;
    return result_type_;
  }
  if (ltype != rtype && !(IsNumericFamily(ltype) && IsNumericFamily(rtype)))
    RaiseExpressionError("The two sides of an operation do not match");
  if (rtype == kExpLogic)
    result_type_ = EvaluateLogic(l, r, value);
  else if (IsNumericFamily(rtype))
    result_type_ = EvaluateNumeric(l, ltype, r, rtype, value);
  else if (rtype == kExpText)
    result_type_ = EvaluateText(l, r, value);
  else
    RaiseNotFor(rtype);  // no values, or field references, on both sides
  return result_type_;
}

int TgsExpOperator::EvaluateLogic(const TgsExpValue& l, const TgsExpValue& r, TgsExpValue& value) {
  switch (code_) {
    case kOpEqual:
    case kOpExactEqual:
      value.SetLogic(l.logic == r.logic);
      break;
    case kOpNotEqual:
      value.SetLogic(l.logic != r.logic);
      break;
    case kOpAnd:
      value.SetLogic(l.logic && r.logic);
      break;
    case kOpOr:
      value.SetLogic(l.logic || r.logic);
      break;
    default:
      if (IsArithmetic(code_)) RaiseInvalid("number");
      RaiseNotFor(kExpLogic);
  }
  return kExpLogic;
}

int TgsExpOperator::EvaluateNumeric(const TgsExpValue& l, int, const TgsExpValue& r, int rtype,
                                    TgsExpValue& value) {
  if (IsComparison(code_)) {
    value.SetLogic(ComparisonHolds(code_, l.number - r.number));
    return kExpLogic;
  }
  double result;
  switch (code_) {
    case kOpAdd:
      result = l.number + r.number;
      break;
    case kOpSubtract:
      result = l.number - r.number;
      break;
    case kOpMultiply:
      result = l.number * r.number;
      break;
    case kOpDivide:
      result = l.number / r.number;
      break;
    case kOpPower:
      result = Power(l.number, r.number);
      break;
    case kOpModulus:
      // The remainder takes the divisor's sign, as xBase's MOD() and % do.
      result = std::fmod(l.number, r.number);
      if (result != 0 && (result < 0) != (r.number < 0)) result += r.number;
      break;
    default:
      RaiseNotFor(rtype);
  }
  // A date plus a number is a number, a number plus a date a date.
  value.SetNumber(result);
  return rtype;
}

int TgsExpOperator::EvaluateText(TgsExpValue& l, TgsExpValue& r, TgsExpValue& value) {
  if (code_ == kOpExactEqual) {
    TrimTrailingBlanks(l.text);
    TrimTrailingBlanks(r.text);
    value.SetLogic(l.text == r.text);
    return kExpLogic;
  }
  if (IsComparison(code_)) {
    TrimTrailingBlanks(l.text);
    TrimTrailingBlanks(r.text);
    value.SetLogic(ComparisonHolds(code_, CompareText(l.text, r.text)));
    return kExpLogic;
  }
  if (code_ == kOpAdd) {
    CheckTextLength(l.text.size() + r.text.size());
    value.text = l.text + r.text;
    return kExpText;
  }
  if (code_ == kOpSubtract) {
    CheckTextLength(l.text.size() + r.text.size());
    size_t blanks = l.text.size();
    TrimTrailingBlanks(l.text);
    blanks -= l.text.size();
    value.text = l.text + r.text + std::string(blanks, ' ');
    return kExpText;
  }
  RaiseNotFor(kExpText);
}

void TgsExpOperator::RaiseNotFor(int type) const {
  RaiseExpressionError("The operation " + OwnText() + " cannot be used on " + TypeWords(type) +
                       " (in " + BuildText() + ")");
}

// Both texts have their trailing blanks removed.
int TgsExpOperator::CompareText(std::string& l, std::string& r) const {
  const char w = settings_.multi_wildcard;
  const bool ci = settings_.case_insensitive, oem = settings_.oem_text;
  if (!settings_.wildcard || r.empty() || (r.front() != w && r.back() != w))
    return PlainCompare(l, r, ci, oem);
  if (r.size() == 1) return 0;  // the wildcard alone matches everything
  std::string text = l, pattern = r;
  if (ci) {
    for (char& c : text) c = char(UpperOf(uint8_t(c), oem));
    for (char& c : pattern) c = char(UpperOf(uint8_t(c), oem));
  }
  bool open_start = pattern.front() == w;
  if (open_start) pattern.erase(0, 1);
  bool open_end = !pattern.empty() && pattern.back() == w;
  if (open_end) pattern.pop_back();
  if (text == pattern) return 0;
  bool found = text.find(pattern) != std::string::npos;
  bool start_ok = open_start || text.compare(0, pattern.size(), pattern) == 0;
  bool end_ok =
      open_end || (text.size() >= pattern.size() &&
                   text.compare(text.size() - pattern.size(), pattern.size(), pattern) == 0);
  if (found && start_ok && end_ok) return 0;
  return PlainCompare(text, pattern, false, false);
}

// ---------------------------------------------------------------- function

TgsExpFunction::TgsExpFunction(TgsUserDefFunction* function, std::vector<TgsExpNodePtr> arguments,
                               TgsExpHandler* handler)
    : TgsExpBaseObject(kKindFunction),
      function_(function),
      arguments_(std::move(arguments)),
      handler_(handler) {
  for (const auto& a : arguments_)
    if (a) RaiseDepth(a->Depth());
}

std::string TgsExpFunction::OwnText() const { return function_ ? function_->Name() : ""; }

std::string TgsExpFunction::BuildText() const {
  std::string text = OwnText() + "(";
  for (size_t i = 0; i < arguments_.size(); ++i) {
    if (i > 0) text += ",";
    if (arguments_[i]) text += arguments_[i]->BuildText();
  }
  return text + ")";
}

std::string TgsExpFunction::CollectNames(int tag) const {
  std::string names;
  if (KindTag() == tag) names += OwnText() + ";";
  for (const auto& a : arguments_)
    if (a) names += a->CollectNames(tag);
  return names;
}

int TgsExpFunction::Evaluate(TgsExpValue& value) {
  int type = kExpNoValue;
  bool ok = function_ && function_->Execute(*this, value, type);
  result_type_ = ok ? type : kExpNoValue;
  return result_type_;
}

int FetchArgument(TgsExpFunction& node, int index, TgsExpValue& value, int wanted) {
  TgsExpBaseObject* argument = index >= 0 ? node.Argument(size_t(index)) : nullptr;
  int actual = argument ? argument->Evaluate(value) : kExpNoValue;
  if (wanted != kExpAny && wanted != actual && !IsNumericFamily(wanted) && IsNumericFamily(actual))
    RaiseExpressionError(std::string(ExpressionTypeName(wanted)) + " needed for Argument " +
                         std::to_string(index + 1) + " of " + node.OwnText());
  return actual;
}

int FetchTyped(TgsExpFunction& node, int index, TgsExpValue& value, int wanted, bool optional) {
  int actual = FetchArgument(node, index, value, wanted);
  if (actual == kExpNoValue && optional) return actual;
  bool usable =
      wanted == kExpAny || (IsNumericFamily(wanted) ? IsNumericFamily(actual) : actual == wanted);
  if (!usable)
    RaiseExpressionError(std::string(ExpressionTypeName(wanted)) + " needed for Argument " +
                         std::to_string(index + 1) + " of " + node.OwnText());
  return actual;
}

// ---------------------------------------------------------------- field variable

TgsExpFieldvar::TgsExpFieldvar(TgsUserDefFieldVar* variable)
    : TgsExpBaseObject(kKindFieldvar), variable_(variable) {
  width_ = variable ? variable->Width() : 0;
}

std::string TgsExpFieldvar::OwnText() const { return variable_ ? variable_->Name() : ""; }
int TgsExpFieldvar::KindTag() const { return variable_ ? variable_->KindTag() : -1; }

int TgsExpFieldvar::Evaluate(TgsExpValue& value) {
  int type = kExpNoValue;
  bool ok = variable_ && variable_->GetValue(value, type);
  result_type_ = ok ? type : kExpNoValue;
  return result_type_;
}

// ---------------------------------------------------------------- literals

TgsExpTextLit::TgsExpTextLit(std::string text)
    : TgsExpBaseObject(kKindTextLit), text_(std::move(text)) {
  CheckTextLength(text_.size());
  width_ = int32_t(text_.size());
  result_type_ = kExpText;
}

std::string TgsExpTextLit::OwnText() const { return "\"" + text_ + "\""; }

int TgsExpTextLit::Evaluate(TgsExpValue& value) {
  value.text = text_;
  return result_type_ = kExpText;
}

TgsExpNumLit::TgsExpNumLit(double value, int32_t width, int32_t decimals)
    : TgsExpBaseObject(kKindNumLit), value_(value) {
  width_ = width;
  decimals_ = decimals;
  result_type_ = kExpNumber;
}

std::string TgsExpNumLit::OwnText() const {
  std::string text = FormatFixedPoint(value_, decimals_, 20);
  size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

int TgsExpNumLit::Evaluate(TgsExpValue& value) {
  value.SetNumber(value_);
  return result_type_ = kExpNumber;
}

TgsExpDateLit::TgsExpDateLit(double day) : TgsExpBaseObject(kKindDateLit), day_(day) {
  result_type_ = kExpDate;
}

std::string TgsExpDateLit::OwnText() const {
  std::string text = "{";
  text.append(DBFDate().DayToDisplay(TruncToInt32(day_))).append("}");
  return text;
}

int TgsExpDateLit::Evaluate(TgsExpValue& value) {
  value.SetDate(day_);
  return result_type_ = kExpDate;
}

TgsExpBlnLit::TgsExpBlnLit(bool value) : TgsExpBaseObject(kKindBlnLit), value_(value) {
  result_type_ = kExpLogic;
}

std::string TgsExpBlnLit::OwnText() const { return value_ ? ".T." : ".F."; }

int TgsExpBlnLit::Evaluate(TgsExpValue& value) {
  value.SetLogic(value_);
  return result_type_ = kExpLogic;
}

}  // namespace devazoz
