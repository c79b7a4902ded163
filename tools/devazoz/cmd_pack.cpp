// devazoz pack TABLE [--index FILE]...: removes deleted records and rebuilds the
// listed indexes (record numbers move; with nothing removed the rebuild still mends
// an index that no longer matched the table).
#include <string>
#include <vector>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunPack(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  if (positional.empty()) throw UsageError{"pack needs a table"};
  if (positional.size() > 1) throw UsageError{"pack takes one table"};
  devazoz::GSO_dBHandler table(positional[0], true, false);
  for (const std::string& file : args.All("--index")) table.OpenIndexFile(file);
  table.Pack();
  return kExitOk;
}

const CommandRegistrar reg(
    {"pack",
     "removes the deleted records of a table",
     "pack TABLE [--index FILE]...  (the listed indexes are rebuilt)",
     {{"TABLE", "the table, opened exclusively for writing"}},
     {{"--index", "FILE",
       "an index file of the table; it is rebuilt from the packed table, since\n"
       "record numbers move",
       true}},
     ""},
    &RunPack);

}  // namespace
}  // namespace devazoz_tool
