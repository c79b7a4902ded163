// devazoz check TABLE [INDEXFILE]...: verifies the table against its header (record
// count, a cut-off last record, memo block numbers) and every tag against the table.
// Prints "ok" and exits 0, or one line per problem and exits 1.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxcheck.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "engine/table/gs6_dbfcheck.h"
#include "platform/services/exception.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

int RunCheck(const ParsedArgs& parsed) {
  const Args& args = parsed.Positionals();
  if (args.empty()) throw UsageError{"check takes a table and index files"};
  ProgressTable table(args[0], false);
  std::vector<std::string> problems;
  for (const std::string& p : devazoz::CheckDbfTable(table)) problems.push_back(args[0] + ": " + p);
  for (size_t i = 1; i < args.size(); ++i) {
    try {
      auto file = MakeIndex(&table, args[i], false, false);
      if (!file->Disk()) {
        problems.push_back(args[i] + ": cannot be opened");
        continue;
      }
      std::vector<std::string> found;
      if (auto* ntx = dynamic_cast<devazoz::GSobjNTXFile*>(file.get()))
        found = devazoz::CheckNtxFile(*ntx);
      else if (auto* ndx = dynamic_cast<devazoz::GSobjNDXFile*>(file.get()))
        found = devazoz::CheckNdxFile(*ndx);
      else if (auto* mdx = dynamic_cast<devazoz::GSobjMDXFile*>(file.get()))
        found = devazoz::CheckMdxFile(*mdx);
      else if (auto* cdx = dynamic_cast<devazoz::GSobjCDXFile*>(file.get()))
        found = devazoz::CheckCdxFile(*cdx);
      for (const std::string& p : found) problems.push_back(args[i] + ": " + p);
    } catch (const platform::Exception& e) {
      problems.push_back(args[i] + ": " + e.what());
    }
  }
  if (problems.empty()) {
    std::fputs("ok\n", stdout);
    return kExitOk;
  }
  for (const std::string& p : problems) std::printf("%s\n", Escape(p).c_str());
  return kExitEngineError;
}

static CommandRegistrar reg(
    {"check",
     "verifies a table against its header and index files against the table",
     "check TABLE [INDEXFILE]...",
     {{"TABLE",
       "the table: record count against the file size, a cut-off last record,\n"
       "memo block numbers"},
      {"INDEXFILE...", "index files whose every tag is checked against the table"}},
     {},
     "output: \"ok\" and exit code 0, or one line per problem and exit code 1."},
    &RunCheck);

}  // namespace
}  // namespace devazoz_tool
