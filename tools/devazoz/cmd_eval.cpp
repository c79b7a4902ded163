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

int RunEval(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  if (positional.size() > 2) throw UsageError{"unexpected argument: " + positional[2]};
  if (positional.size() != 2) throw UsageError{"eval takes a table and an expression"};
  long recno = args.Has("--recno") ? ParseCount(args.Value("--recno"), "record number") : 1;
  devazoz::GSO_dBaseFld table(positional[0], false, false);
  if (recno > 0) table.ReadRecord(int32_t(recno > INT32_MAX ? INT32_MAX : recno));
  devazoz::TgsExpHandler handler(table.ExpressionLink(), false, positional[1]);
  devazoz::TgsExpValue value;
  handler.Evaluate(value);
  std::string line = ValueLine(handler.ResultType(), value) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  return kExitOk;
}

static CommandRegistrar reg(
    {"eval",
     "evaluates an xBase expression on one record of a table",
     "eval TABLE EXPRESSION [--recno N]",
     {{"TABLE", "the table whose fields the expression may name"},
      {"EXPRESSION", "the expression; one that begins with \"--\" and a letter follows \"--\""}},
     {{"--recno", "N", "the record to evaluate on (default 1; 0 for no record)"}},
     "output: the type letter and the value, tab-separated: C text (escaped), N number,\n"
     "D yyyymmdd (empty for an empty date), L T or F, U no value."},
    &RunEval);

}  // namespace
}  // namespace devazoz_tool
