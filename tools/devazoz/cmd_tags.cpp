// devazoz tags TABLE INDEXFILE: one line per tag in file order:
// NAME, key type, key length, key expression, FOR expression, flags
// (unique,descending or -), tab-separated.
#include <cstdio>
#include <string>

#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

int RunTags(const ParsedArgs& parsed) {
  const Args& args = parsed.Positionals();
  if (args.size() != 2) throw UsageError{"tags takes a table and an index file"};
  devazoz::GSO_dBaseFld table(args[0], false, false);
  auto cdx = OpenIndex(&table, args[1], false, false);
  std::string out;
  for (int i = 0; i < cdx->TagCount(); ++i) {
    devazoz::GSobjIndexTag* tag = cdx->TagAt(i);
    const char* flags = tag->Unique() ? (tag->Descending() ? "unique,descending" : "unique")
                                      : (tag->Descending() ? "descending" : "-");
    out += Escape(tag->TagName());
    out += '\t';
    out += char(tag->KeyType());
    out += '\t';
    out += std::to_string(tag->KeyLength());
    out += '\t';
    out += Escape(tag->KeyExpression());
    out += '\t';
    out += Escape(tag->ForExpression());
    out += '\t';
    out += flags;
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

static CommandRegistrar reg(
    {"tags",
     "lists the tags of an index file",
     "tags TABLE INDEXFILE",
     {{"TABLE", "the table the index belongs to"},
      {"INDEXFILE", "a CDX, NTX, NDX or MDX file (the format follows the extension)"}},
     {},
     "output: one line per tag in file order: NAME<TAB>KEY TYPE<TAB>KEY LENGTH<TAB>\n"
     "KEY EXPRESSION<TAB>FOR EXPRESSION<TAB>FLAGS (unique, descending,\n"
     "unique,descending or -)."},
    &RunTags);

}  // namespace
}  // namespace devazoz_tool
