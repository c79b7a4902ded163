// devazoz index TABLE INDEXFILE TAG KEYEXPRESSION [--for EXPRESSION] [--unique]
// [--descending]: creates the index file when missing and adds the tag,
// replacing a tag of the same name. An NTX or NDX file holds one tag, named
// after the file, which replaces the one it had; NDX tags take no FOR
// condition and neither format builds descending tags.
#include <cstdio>
#include <string>

#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_eror.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

int RunIndex(const ParsedArgs& args) {
  const Args& plain = args.Positionals();
  if (plain.size() != 4)
    throw UsageError{"index takes a table, an index file, a tag and a key expression"};
  ProgressTable table(plain[0], true);
  auto cdx = OpenIndex(&table, plain[1], true, true);
  // A file this command created and could give no tag is removed again, so that
  // a failed command leaves no empty index (nor the bare header of a CDX or MDX
  // file) behind.
  std::string created;
  if (cdx->Disk() && (cdx->Created() || cdx->Disk()->FileSize() == 0))
    created = cdx->Disk()->RealPath();
  auto remove_created = [&] {
    if (created.empty()) return;
    bool empty = !cdx->Disk() || cdx->TagCount() == 0;
    cdx.reset();
    if (empty) std::remove(created.c_str());
  };
  try {
    if (!cdx->AddTag(plain[2], plain[3], args.Has("--unique"), !args.Has("--descending"),
                     args.Value("--for")))
      throw devazoz::EDevazozError("Cannot create tag " + plain[2] + " on " + plain[3] +
                                   (cdx->TagProblem().empty() ? "" : ": " + cdx->TagProblem()));
  } catch (...) {
    remove_created();
    throw;
  }
  return kExitOk;
}

static CommandRegistrar reg(
    {"index",
     "adds a tag to an index file, creating the file when it is missing",
     "index TABLE INDEXFILE TAG KEYEXPRESSION [--for EXPRESSION] [--unique] [--descending]",
     {{"TABLE", "the table, opened for writing"},
      {"INDEXFILE", "a CDX, NTX, NDX or MDX file (the format follows the extension)"},
      {"TAG",
       "the tag's name; a tag of that name is replaced (an NTX or NDX file holds\n"
       "one tag, named after the file)"},
      {"KEYEXPRESSION", "the xBase expression that gives each record's key"}},
     {{"--for", "EXPRESSION",
       "a logical expression: only records passing it get a key\n"
       "(not for NDX files)"},
      {"--unique", "", "keep only the first record of each key value"},
      {"--descending", "", "order the keys highest first (CDX and MDX only)"}},
     "A progress bar is drawn on standard error while it is a terminal."},
    &RunIndex);

}  // namespace
}  // namespace devazoz_tool
