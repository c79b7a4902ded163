// devazoz dump TABLE [--deleted] [--memo]: every record in natural order, tab-separated.
#include <cstdio>
#include <string>

#include "engine/table/gs6_dbfld.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/table_values.h"

namespace devazoz_tool {
namespace {

int RunDump(const Args& args) {
  std::string table_name;
  bool deleted = false, memo = false;
  for (const std::string& a : args) {
    if (a == "--deleted") deleted = true;
    else if (a == "--memo") memo = true;
    else if (a.rfind("--", 0) == 0) throw UsageError{"unknown option " + a};
    else if (table_name.empty()) table_name = a;
    else throw UsageError{"dump takes one table"};
  }
  if (table_name.empty()) throw UsageError{"dump needs a table"};
  devazoz::GSO_dBaseFld table(table_name, false, false);
  std::string out = DumpHeaderLine(table);
  for (int32_t n = 1; n <= table.RecordCount(); ++n) {
    table.ReadRecord(n);
    if (table.Eof()) break;
    if (table.IsDeleted() && !deleted) continue;
    out += DumpRecordLine(table, memo);
    if (out.size() > (1u << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

const CommandRegistrar reg("dump", &RunDump, "dump TABLE [--deleted] [--memo]");

}  // namespace
}  // namespace devazoz_tool
