// devazoz pack TABLE [--index FILE]...: removes deleted records; when any were
// removed, the listed indexes are rebuilt (record numbers moved).
#include <string>
#include <vector>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunPack(const Args& args) {
  std::string table_name;
  std::vector<std::string> indexes;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--index") {
      if (i + 1 >= args.size()) throw UsageError{"--index needs a file"};
      indexes.push_back(args[++i]);
    } else if (args[i].rfind("--", 0) == 0) {
      throw UsageError{"unknown option " + args[i]};
    } else if (table_name.empty()) {
      table_name = args[i];
    } else {
      throw UsageError{"pack takes one table"};
    }
  }
  if (table_name.empty()) throw UsageError{"pack needs a table"};
  devazoz::GSO_dBHandler table(table_name, true, false);
  for (const std::string& file : indexes) table.OpenIndexFile(file);
  table.Pack();
  return kExitOk;
}

const CommandRegistrar reg("pack", &RunPack, "pack TABLE [--index FILE]...  (the listed indexes are rebuilt when records were removed)");

}  // namespace
}  // namespace devazoz_tool
