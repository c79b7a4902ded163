// devazoz dump TABLE [--deleted] [--memo] [--index FILE]... [--tag NAME]
//   [--filter EXPRESSION] [--ignore-case] [--range LOW HIGH]
// The records the cursor visits from the first to the end, tab-separated. Keys of
// an index naming records past the table's end are left out with a warning (exit
// code 1).
#include <cstdio>
#include <string>
#include <vector>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/table_values.h"

namespace devazoz_tool {
namespace {

int RunDump(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  if (positional.empty()) throw UsageError{"dump needs a table"};
  if (positional.size() > 1) throw UsageError{"dump takes one table"};
  const std::string& table_name = positional[0];
  std::vector<std::string> indexes = args.All("--index");
  std::string tag = args.Value("--tag"), filter = args.Value("--filter");
  bool deleted = args.Has("--deleted"), memo = args.Has("--memo"),
       ignore_case = args.Has("--ignore-case"), range = args.Has("--range"),
       has_filter = args.Has("--filter");
  std::string low, high;
  if (range) low = args.Values("--range")[0], high = args.Values("--range")[1];
  if (!tag.empty() && indexes.empty()) throw UsageError{"--tag needs --index"};
  if (range && tag.empty()) throw UsageError{"--range needs --tag"};
  devazoz::GSO_dBHandler table(table_name, false, false);
  table.use_deleted = deleted;
  for (const std::string& file : indexes) table.OpenIndexFile(file);
  if (!tag.empty())
    table.SelectTag(&tag, false);
  else
    table.SetReadAhead(true);
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
  return WarnStaleIndexes(table.StaleIndexReasons());
}

const CommandRegistrar reg(
    {"dump",
     "lists a table's records, tab-separated",
     "dump TABLE [--deleted] [--memo] [--index FILE]... [--tag NAME] [--filter EXPRESSION] "
     "[--ignore-case] [--range LOW HIGH]",
     {{"TABLE", "the table file"}},
     {{"--deleted", "", "include deleted records"},
      {"--memo", "",
       "show the contents of memo, general and binary fields instead of their\n"
       "block numbers"},
      {"--index", "FILE", "open an index file of the table (kept current, needed for --tag)", true},
      {"--tag", "NAME", "visit the records in this tag's order"},
      {"--filter", "EXPRESSION", "show only records for which the logical expression is true"},
      {"--ignore-case", "", "compare text in the filter without regard to case"},
      {"--range", "LOW HIGH", "show only records whose --tag key lies from LOW to HIGH"}},
     "output: a header line (the field names), then one line per record visited from the\n"
     "first to the end; values escaped (\\\\, \\t, \\r, \\n)."},
    &RunDump);

}  // namespace
}  // namespace devazoz_tool
