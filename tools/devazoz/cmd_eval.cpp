// devazoz eval TABLE EXPRESSION [--recno N]: evaluates the expression on record N
// (default 1; 0 for no record) and prints its type letter and value:
//   C text (escaped), N number, D yyyymmdd (empty for an empty date), L T or F,
//   U no value.
#include <cstdio>
#include <string>

#include "engine/foundation/gs6_Date.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

std::string ValueLine(int type, const devazoz::TgsExpValue& value) {
  using namespace devazoz;
  switch (type) {
    case kExpText:
      return "C\t" + Escape(value.text);
    case kExpNumber:
    case kExpNumber7:
      return "N\t" + FormatNumber(value.number);
    case kExpDate: {
      int32_t day = DayFromValue(value.number);
      return std::string("D\t") + (day > 0 ? DBFDate().DayToStorage(day) : "");
    }
    case kExpLogic:
      return std::string("L\t") + (value.logic ? "T" : "F");
    default:
      return "U\t";
  }
}

int RunEval(const Args& args) {
  std::string table_name, expression;
  long recno = 1;
  int positional = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--recno") {
      if (i + 1 >= args.size()) throw UsageError{"--recno needs a record number"};
      recno = ParseCount(args[++i], "record number");
    } else if (positional == 0) {
      table_name = args[i];
      ++positional;
    } else if (positional == 1) {
      expression = args[i];
      ++positional;
    } else {
      throw UsageError{"unexpected argument: " + args[i]};
    }
  }
  if (positional != 2) throw UsageError{"eval takes a table and an expression"};
  devazoz::GSO_dBaseFld table(table_name, false, false);
  if (recno > 0) table.ReadRecord(int32_t(recno > INT32_MAX ? INT32_MAX : recno));
  devazoz::TgsExpHandler handler(table.ExpressionLink(), false, expression);
  devazoz::TgsExpValue value;
  handler.Evaluate(value);
  std::string line = ValueLine(handler.ResultType(), value) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  return kExitOk;
}

static CommandRegistrar reg("eval", &RunEval, "eval TABLE EXPRESSION [--recno N]");

}  // namespace
}  // namespace devazoz_tool
