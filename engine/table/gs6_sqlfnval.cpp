// Number, date and logical functions of the built-in library.
#include <cmath>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqlfn.h"

namespace devazoz {
namespace {

// DESCEND of a date: the day numbers run backwards from this one.
constexpr double kDescendDateBase = 5231808;

// STR and STRZERO: the number as fixed-point text right-aligned in the width,
// or width asterisks when it does not fit.
std::string FormatStr(TgsExpFunction& node) {
  TgsExpValue n, w, d;
  FetchTyped(node, 0, n, kExpNumber);
  int width_type = FetchTyped(node, 1, w, kExpNumber, true);
  int decimals_type = FetchTyped(node, 2, d, kExpNumber, true);
  int32_t width;
  if (width_type != kExpNoValue) {
    width = TruncToInt32(w.number);
  } else {
    TgsExpUserLink* link = node.Handler() ? node.Handler()->UserLink() : nullptr;
    width = link ? link->default_str_width : 10;
    if (width == -1) width = n.width > 0 ? n.width : 10;
  }
  if (width <= 0) return std::string();
  CheckTextLength(size_t(width));
  int32_t decimals =
      decimals_type != kExpNoValue ? std::max<int32_t>(0, TruncToInt32(d.number)) : 0;
  // With decimals the text has at least "0." and the decimals: no need to format.
  if (decimals > 0 && int64_t(decimals) + 2 > width) return std::string(size_t(width), '*');
  std::string text = FormatFixedPoint(n.number, decimals, width);
  if (text.size() > size_t(width)) return std::string(size_t(width), '*');
  return text;
}

}  // namespace

bool TgsUDFCeiling::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpNumber);
  return NumberResult(value, result_type, Ceiling(a.number));
}

bool TgsUDFFloor::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpNumber);
  return NumberResult(value, result_type, Floor(a.number));
}

bool TgsUDFInt::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpNumber);
  return NumberResult(value, result_type, std::trunc(a.number));
}

bool TgsUDFCTOD::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpText);
  // Unreadable text raises the date conversion's own error.
  value.SetDate(a.text.empty() ? kEmptyDate : double(DBFDate().StorageToDay(a.text)));
  result_type = kExpDate;
  return true;
}

bool TgsUDFDate::Execute(TgsExpFunction&, TgsExpValue& value, int& result_type) {
  value.SetDate(double(DBFDate().Today()));
  result_type = kExpDate;
  return true;
}

bool TgsUDFDescend::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  result_type = FetchArgument(node, 0, value, kExpAny);
  if (result_type == kExpDate) {
    if (value.number != kEmptyDate) value.number = kDescendDateBase - value.number;
  } else if (IsNumericFamily(result_type)) {
    if (value.number != 0) value.number = -value.number;
  } else if (result_type == kExpText) {
    for (char& c : value.text) c = char(256 - uint8_t(c));  // never 0: text holds no NUL
  } else if (result_type == kExpLogic) {
    value.logic = !value.logic;
  } else if (result_type != kExpFieldRef) {
    value.text.clear();  // a field reference is left intact
  }
  return true;
}

bool TgsUDFDOW::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpDate);
  return NumberResult(value, result_type, DBFDate().DayOfWeek(DayFromValue(a.number)));
}

bool TgsUDFDTOC::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a, m;
  FetchTyped(node, 0, a, kExpDate);
  int mode_type = FetchArgument(node, 1, m, kExpNumber);
  if (a.number == kEmptyDate) return TextResult(value, result_type, std::string());
  int32_t day = DayFromValue(a.number);
  bool storage = IsNumericFamily(mode_type) && TruncToInt32(m.number) == 1;
  return TextResult(value, result_type,
                    storage ? DBFDate().DayToStorage(day) : DBFDate().DayToDisplay(day));
}

bool TgsUDFDTOS::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  FetchTyped(node, 0, a, kExpDate);
  if (a.number == kEmptyDate) return TextResult(value, result_type, std::string());
  return TextResult(value, result_type, DBFDate().DayToStorage(DayFromValue(a.number)));
}

bool TgsUDFEmpty::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue a;
  int type = FetchArgument(node, 0, a, kExpAny);
  bool empty = false;
  if (type == kExpDate)
    empty = a.number == kEmptyDate;
  else if (IsNumericFamily(type))
    empty = a.number == 0;
  else if (type == kExpText)
    empty = a.text.empty();
  else if (type == kExpLogic)
    empty = !a.logic;
  value.SetLogic(empty);
  result_type = kExpLogic;
  return true;
}

bool TgsUDFIIF::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  TgsExpValue condition;
  FetchTyped(node, 0, condition, kExpLogic);
  result_type = FetchArgument(node, condition.logic ? 1 : 2, value, kExpAny);
  return true;
}

bool TgsUDFStr::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  return TextResult(value, result_type, FormatStr(node));
}

bool TgsUDFStrZero::Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) {
  std::string text = FormatStr(node);
  for (char& c : text) {
    if (c != ' ') break;
    c = '0';
  }
  return TextResult(value, result_type, text);
}

}  // namespace devazoz
