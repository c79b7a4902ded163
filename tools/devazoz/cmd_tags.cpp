// devazoz tags TABLE INDEXFILE: one line per tag in file order:
// NAME, key type, key length, key expression, FOR expression, flags
// (unique,descending or -), tab-separated.
#include <cstdio>
#include <string>

#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

int RunTags(const Args& args) {
  if (args.size() != 2) throw UsageError{"tags takes a table and an index file"};
  devazoz::GSO_dBaseFld table(args[0], false, false);
  auto cdx = OpenCdx(&table, args[1], false, false);
  std::string out;
  for (int i = 0; i < cdx->TagCount(); ++i) {
    devazoz::GSobjIndexTag* tag = cdx->TagAt(i);
    std::string flags;
    if (tag->Unique()) flags = "unique";
    if (tag->Descending()) flags += flags.empty() ? "descending" : ",descending";
    if (flags.empty()) flags = "-";
    out += Escape(tag->TagName()) + "\t" + std::string(1, tag->KeyType()) + "\t" +
           std::to_string(tag->KeyLength()) + "\t" + Escape(tag->KeyExpression()) + "\t" +
           Escape(tag->ForExpression()) + "\t" + flags + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

static CommandRegistrar reg("tags", &RunTags, "tags TABLE INDEXFILE");

}  // namespace
}  // namespace devazoz_tool
