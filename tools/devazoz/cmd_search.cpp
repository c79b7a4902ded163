// devazoz search TABLE FIELD VALUE [--options N]: SearchField from the first
// record; prints the record number found, or 0.
#include <cstdio>
#include <string>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunSearch(const Args& args) {
  std::vector<std::string> positional;
  long options = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--options") {
      if (i + 1 >= args.size()) throw UsageError{"--options needs a value"};
      options = ParseCount(args[++i], "options");
      if (options > 0xFFFF) throw UsageError{"options must fit 16 bits"};
    } else if (args[i].rfind("--", 0) == 0) {
      throw UsageError{"unknown option " + args[i]};
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 3) throw UsageError{"search takes TABLE FIELD VALUE"};
  devazoz::GSO_dBHandler table(positional[0], false, false);
  int field = table.FieldNumber(positional[1]);
  if (field == 0) table.FindField(positional[1]);  // reports the unknown field
  table.search_options = uint16_t(options);
  int32_t record = 0;
  int found = table.SearchField(positional[2], field, 0, record);
  std::printf("%d\n", found ? int(record) : 0);
  return kExitOk;
}

const CommandRegistrar reg("search", &RunSearch, "search TABLE FIELD VALUE [--options N]");

}  // namespace
}  // namespace devazoz_tool
