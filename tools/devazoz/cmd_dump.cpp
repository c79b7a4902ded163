// devazoz dump TABLE [--deleted] [--memo] [--index FILE]... [--tag NAME]
//   [--filter EXPRESSION] [--ignore-case] [--range LOW HIGH]
// The records the cursor visits from the first to the end, tab-separated.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/table_values.h"

namespace devazoz_tool {
namespace {

int RunDump(const Args& args) {
  std::string table_name, tag, filter, low, high;
  std::vector<std::string> indexes;
  bool deleted = false, memo = false, ignore_case = false, range = false, has_filter = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) {
      if (i + 1 >= args.size()) throw UsageError{std::string(what) + " needs a value"};
      return args[++i];
    };
    if (a == "--deleted") deleted = true;
    else if (a == "--memo") memo = true;
    else if (a == "--ignore-case") ignore_case = true;
    else if (a == "--index") indexes.push_back(value("--index"));
    else if (a == "--tag") tag = value("--tag");
    else if (a == "--filter") filter = value("--filter"), has_filter = true;
    else if (a == "--range") low = value("--range"), high = value("--range"), range = true;
    else if (a.rfind("--", 0) == 0) throw UsageError{"unknown option " + a};
    else if (table_name.empty()) table_name = a;
    else throw UsageError{"dump takes one table"};
  }
  if (table_name.empty()) throw UsageError{"dump needs a table"};
  if (!tag.empty() && indexes.empty()) throw UsageError{"--tag needs --index"};
  if (range && tag.empty()) throw UsageError{"--range needs --tag"};
  devazoz::GSO_dBHandler table(table_name, false, false);
  table.use_deleted = deleted;
  for (const std::string& file : indexes) table.OpenIndexFile(file);
  if (!tag.empty()) table.SelectTag(&tag, false);
  else table.SetReadAhead(true);
  if (range) table.SetKeyRange(low, high, true, true);
  if (has_filter) {
    table.SetFilterActive(true);
    table.SetFilterExpression(filter, ignore_case, true);
  }
  std::string out = DumpHeaderLine(table);
  for (table.GetRecord(devazoz::kMoveFirst); !table.Eof() && !table.Bof();
       table.GetRecord(devazoz::kMoveNext)) {
    out += DumpRecordLine(table, memo);
    if (out.size() > (1u << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

const CommandRegistrar reg("dump", &RunDump,
                           "dump TABLE [--deleted] [--memo] [--index FILE]... [--tag NAME] "
                           "[--filter EXPRESSION] [--ignore-case] [--range LOW HIGH]");

}  // namespace
}  // namespace devazoz_tool
