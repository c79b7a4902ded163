// devazoz repair TABLE [--index FILE]...: mends a table whose header counts more
// records than the file holds, or whose last record is cut short: keeps the whole
// records, puts the count right (the original kept as TABLE.bak), and rebuilds
// the listed indexes and the table's own CDX.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunRepair(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  if (positional.empty()) throw UsageError{"repair needs a table"};
  if (positional.size() > 1) throw UsageError{"repair takes one table"};
  devazoz::TgsTableRepair done = devazoz::RepairTable(positional[0], args.All("--index"));
  if (done.damage.empty())
    std::printf("the table's records were sound (%d records)\n", int(done.records));
  else
    std::printf("%s\nkept %d whole records; the original is %s\n", done.damage.c_str(),
                int(done.records), done.backup.c_str());
  for (const std::string& file : done.rebuilt) std::printf("rebuilt %s\n", file.c_str());
  return kExitOk;
}

const CommandRegistrar reg(
    {"repair",
     "mends a table cut short and rebuilds its indexes",
     "repair TABLE [--index FILE]...",
     {{"TABLE",
       "the table; when its header counts more records than the file holds, or its\n"
       "last record is cut short, the whole records are kept and the count put right;\n"
       "the original is kept as TABLE.bak (TABLE with .bak added)"}},
     {{"--index", "FILE",
       "an index file of the table, rebuilt after the table (the table's own CDX is\n"
       "rebuilt without being named)",
       true}},
     "output: what was wrong, the records kept and the index files rebuilt."},
    &RunRepair);

}  // namespace
}  // namespace devazoz_tool
