#include "engine/table/gs6_sqldbf.h"

#include <cstring>

#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sqlnode.h"
#include "platform/services/codepage.h"

namespace devazoz {

// RECNO carries the width of a seven-digit record number.
constexpr int32_t kRecNoWidth = 7;

TgslDBFFieldVars::TgslDBFFieldVars(const std::string& name, GSO_dBaseFld* table, int field)
    : TgsUserDefFieldVar(name, table ? table->FieldLength(field) : 0),
      table_(table),
      field_(field) {}

int TgslDBFFieldVars::KindTag() const { return kTableFieldVarTag; }

bool TgslDBFFieldVars::GetValue(TgsExpValue& value, int& result_type) {
  if (!table_) return false;
  switch (table_->FieldType(field_)) {
    case 'C':
      // The field's text as the table reads it, copied once.
      value.AssignText(table_->PeekStr(field_));
      result_type = kExpText;
      break;
    case 'N':
    case 'F':
      value.SetNumber(table_->GetNum(field_), width_);
      result_type = kExpNumber;
      break;
    case 'D':
      value.SetDate(double(table_->GetDate(field_)));
      result_type = kExpDate;
      break;
    case 'L':
      value.SetLogic(table_->GetLogic(field_));
      result_type = kExpLogic;
      break;
    default:
      value.table = table_;
      value.field = field_;
      result_type = kExpFieldRef;
  }
  return true;
}

bool TgslDBFRecNo::Execute(TgsExpFunction&, TgsExpValue& value, int& result_type) {
  value.SetNumber(double(table_->RecordNumber()), kRecNoWidth);
  result_type = kExpNumber;
  return true;
}

bool TgslDBFDeleted::Execute(TgsExpFunction&, TgsExpValue& value, int& result_type) {
  value.SetLogic(table_->IsDeleted());
  result_type = kExpLogic;
  return true;
}

bool TgslDBFBOF::Execute(TgsExpFunction&, TgsExpValue& value, int& result_type) {
  value.SetLogic(table_->Bof());
  result_type = kExpLogic;
  return true;
}

bool TgslDBFEOF::Execute(TgsExpFunction&, TgsExpValue& value, int& result_type) {
  value.SetLogic(table_->Eof());
  result_type = kExpLogic;
  return true;
}

bool TgslDBFType::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue name;
  FetchTyped(node, 0, name, kExpText);
  // FindField raises for an unknown name; "U" only when the error hook returns.
  const FieldDescriptor* field = table_->FindField(platform::AnsiUpper(name.text));
  value.SetText(std::string(1, field ? field->type : 'U'));
  result_type = kExpText;
  return true;
}

bool TgslDBFLen::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue name;
  FetchTyped(node, 0, name, kExpText);
  const FieldDescriptor* field = table_->FindField(platform::AnsiUpper(name.text));
  value.SetNumber(field ? double(field->raw[16]) : 0);
  result_type = kExpNumber;
  return true;
}

TgslDBFGeneric::TgslDBFGeneric(GSO_dBaseFld* table, const std::string& name)
    : TgsUserDefFunction(platform::AnsiUpper(name)), table_(table) {}

bool TgslDBFGeneric::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  result_type = kExpNothing;
  if (!table_) return true;
  uint8_t buffer[kHostBufferSize] = {};
  TgsExpFunction* self = &node;
  std::memcpy(buffer, &self, sizeof self);
  char letter = ' ';
  bool changed = false;
  if (table_->UserFunction("PARSE", name_, buffer, letter, changed) == -1) return true;
  switch (letter) {
    case 'C':
      value.SetText(std::string(reinterpret_cast<const char*>(buffer),
                                strnlen(reinterpret_cast<const char*>(buffer), sizeof buffer)));
      result_type = kExpText;
      break;
    case 'D': {
      int32_t day;
      std::memcpy(&day, buffer, sizeof day);
      value.SetDate(double(day));
      result_type = kExpDate;
      break;
    }
    case 'F':
    case 'N': {
      double number;
      std::memcpy(&number, buffer, sizeof number);
      value.SetNumber(number);
      result_type = kExpNumber;
      break;
    }
    case 'L':
      value.SetLogic(buffer[0] != 0 && IsTrueLetter(char(buffer[0])));
      result_type = kExpLogic;
      break;
    default:
      break;
  }
  return true;
}

TgsDBFExpUserLink::TgsDBFExpUserLink(GSO_dBaseFld* table)
    : table_(table), generic_(std::make_unique<TgslDBFGeneric>(table, "")) {}

TgsDBFExpUserLink::~TgsDBFExpUserLink() = default;

TgsUserDefFunction* TgsDBFExpUserLink::UnknownFunction(const std::string& name) {
  uint8_t buffer[TgslDBFGeneric::kHostBufferSize] = {};
  char letter = ' ';
  bool changed = false;
  if (!table_ || table_->UserFunction("FIND", name, buffer, letter, changed) == -1)
    RaiseExpressionError("There is no function for " + name);
  auto function = std::make_unique<TgslDBFGeneric>(table_, name);
  TgsUserDefFunction* found = function.get();
  AddFunction(std::move(function));
  return found;
}

}  // namespace devazoz
