// devazoz reindex TABLE INDEXFILE...: rebuilds every tag of each index file.
#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

int RunReindex(const Args& args) {
  if (args.size() < 2) throw UsageError{"reindex takes a table and index files"};
  ProgressTable table(args[0], true);
  for (size_t i = 1; i < args.size(); ++i) OpenIndex(&table, args[i], false, true)->RebuildAll();
  return kExitOk;
}

static CommandRegistrar reg("reindex", &RunReindex, "reindex TABLE INDEXFILE...");

}  // namespace
}  // namespace devazoz_tool
