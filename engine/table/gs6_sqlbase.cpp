#include "engine/table/gs6_sqlbase.h"

#include <cmath>
#include <cstring>

#include "platform/services/codepage.h"

namespace devazoz {

void RaiseExpressionError(const std::string& message) { throw EDevazozExpression(message); }

const char* ExpressionTypeName(int type) {
  switch (type) {
    case kExpText:
      return "Text";
    case kExpNumber:
      return "Number";
    case kExpDate:
      return "Date";
    case kExpLogic:
      return "Boolean";
    default:
      return "Unknown Value";
  }
}

void CheckTextLength(size_t n) {
  if (n > kMaxTextLength)
    RaiseExpressionError("Text value longer than " + std::to_string(kMaxTextLength) + " bytes");
}

void TgsExpValue::SetText(std::string value) {
  size_t nul = value.find('\0');
  if (nul != std::string::npos) value.resize(nul);
  CheckTextLength(value.size());
  text = std::move(value);
}

void TgsExpValue::AssignText(std::string_view value) {
  size_t nul = value.find('\0');
  if (nul != std::string_view::npos) value = value.substr(0, nul);
  CheckTextLength(value.size());
  text.assign(value.data(), value.size());
}

void TgsExpValue::SetNumber(double value, int32_t number_width) {
  number = value;
  width = number_width;
}

int32_t TruncToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return int32_t(value);  // truncates toward zero
}

int32_t DayFromValue(double day) {
  if (!(day > -2147483648.0 && day < 2147483647.0)) return 0;
  return int32_t(day);
}

TgsUserDefFunction::TgsUserDefFunction(std::string name) : name_(std::move(name)) {}
TgsUserDefFunction::~TgsUserDefFunction() = default;
std::string TgsUserDefFunction::Name() const { return name_; }
bool TgsUserDefFunction::Execute(TgsExpFunction&, TgsExpValue&, int& result_type) {
  result_type = kExpNoValue;
  return false;
}

TgsUserDefFieldVar::TgsUserDefFieldVar(const std::string& name, int32_t width)
    : name_(platform::AnsiUpper(name)), width_(width) {}
TgsUserDefFieldVar::~TgsUserDefFieldVar() = default;
std::string TgsUserDefFieldVar::Name() const { return name_; }
int TgsUserDefFieldVar::KindTag() const { return kFieldVarTag; }
bool TgsUserDefFieldVar::GetValue(TgsExpValue&, int& result_type) {
  result_type = kExpNoValue;
  return false;
}

void TgsFunctionReg::AddFunction(std::unique_ptr<TgsUserDefFunction> function) {
  if (function) items_.push_back(std::move(function));
}

TgsUserDefFunction* TgsFunctionReg::Find(const std::string& name) const {
  for (const auto& f : items_)
    if (f->Name() == name) return f.get();
  return nullptr;
}

void TgsFieldVarReg::AddFieldVar(std::unique_ptr<TgsUserDefFieldVar> variable) {
  if (variable) items_.push_back(std::move(variable));
}

TgsUserDefFieldVar* TgsFieldVarReg::Find(const std::string& name) const {
  for (const auto& v : items_)
    if (v->Name() == name) return v.get();
  return nullptr;
}

TgsExpUserLink::TgsExpUserLink() = default;
TgsExpUserLink::~TgsExpUserLink() = default;

TgsUserDefFunction* TgsExpUserLink::FindFunction(const std::string& name) {
  return functions_.Find(name);
}

TgsUserDefFieldVar* TgsExpUserLink::FindFieldVar(const std::string& name) {
  return field_vars_.Find(name);
}

TgsUserDefFunction* TgsExpUserLink::UnknownFunction(const std::string& name) {
  RaiseExpressionError("There is no function for " + name);
}

void TgsExpUserLink::AddFunction(std::unique_ptr<TgsUserDefFunction> function) {
  functions_.AddFunction(std::move(function));
}

void TgsExpUserLink::AddFieldVar(std::unique_ptr<TgsUserDefFieldVar> variable) {
  field_vars_.AddFieldVar(std::move(variable));
}

}  // namespace devazoz
