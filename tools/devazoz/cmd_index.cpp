// devazoz index TABLE INDEXFILE TAG KEYEXPRESSION [--for EXPRESSION] [--unique]
// [--descending]: creates the index file when missing and adds the tag,
// replacing a tag of the same name. An NTX or NDX file holds one tag, named
// after the file, which replaces the one it had; NDX tags take no FOR
// condition and neither format builds descending tags.
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

int RunIndex(const Args& args) {
  std::string for_expression;
  bool unique = false, descending = false;
  Args plain;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--for") {
      if (i + 1 >= args.size()) throw UsageError{"--for needs an expression"};
      for_expression = args[++i];
    } else if (args[i] == "--unique") {
      unique = true;
    } else if (args[i] == "--descending") {
      descending = true;
    } else if (args[i].rfind("--", 0) == 0) {
      throw UsageError{"unknown option " + args[i]};
    } else {
      plain.push_back(args[i]);
    }
  }
  if (plain.size() != 4)
    throw UsageError{"index takes a table, an index file, a tag and a key expression"};
  ProgressTable table(plain[0], true);
  auto cdx = OpenIndex(&table, plain[1], true, true);
  if (!cdx->AddTag(plain[2], plain[3], unique, !descending, for_expression))
    throw devazoz::EDevazozError("Cannot create tag " + plain[2] + " on " + plain[3] +
                                 (cdx->TagProblem().empty() ? "" : ": " + cdx->TagProblem()));
  return kExitOk;
}

static CommandRegistrar reg(
    "index", &RunIndex,
    "index TABLE INDEXFILE TAG KEYEXPRESSION [--for EXPRESSION] [--unique] [--descending]");

}  // namespace
}  // namespace devazoz_tool
