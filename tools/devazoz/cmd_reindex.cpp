// devazoz reindex TABLE INDEXFILE...: rebuilds every tag of each index file.
#include "engine/foundation/gs6_mark.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

int RunReindex(const ParsedArgs& parsed) {
  const Args& args = parsed.Positionals();
  if (args.size() < 2) throw UsageError{"reindex takes a table and index files"};
  ProgressTable table(args[0], true);
  devazoz::TgsChangeMarker marker(table.RealPath());
  for (size_t i = 1; i < args.size(); ++i) {
    auto file = OpenIndex(&table, args[i], false, true);
    file->RebuildAll();
    // Rebuilt, the file matches the table whatever an interrupted change left.
    if (file->Disk() && file->Disk()->Failures() == 0)
      marker.Forget(file->Disk()->FileName(), false);
  }
  return kExitOk;
}

static CommandRegistrar reg({"reindex",
                             "rebuilds every tag of one or more index files from the table",
                             "reindex TABLE INDEXFILE...",
                             {{"TABLE", "the table the indexes belong to"},
                              {"INDEXFILE...", "one or more CDX, NTX, NDX or MDX files"}},
                             {},
                             "A progress bar is drawn on standard error while it is a terminal."},
                            &RunReindex);

}  // namespace
}  // namespace devazoz_tool
