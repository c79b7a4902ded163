// devazoz seek TABLE INDEXFILE TAG KEY [--soft] [--partial]: FindKey on the tag.
// Prints RECNO<TAB>T on a match, RECNO<TAB>F after a soft seek that landed on the
// next key, 0<TAB>F at end of file.
#include <cstdio>
#include <string>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunSeek(const Args& args) {
  std::vector<std::string> positional;
  bool soft = false, partial = false;
  for (const std::string& a : args) {
    if (a == "--soft") soft = true;
    else if (a == "--partial") partial = true;
    else if (a.rfind("--", 0) == 0) throw UsageError{"unknown option " + a};
    else positional.push_back(a);
  }
  if (positional.size() != 4) throw UsageError{"seek takes TABLE INDEXFILE TAG KEY"};
  devazoz::GSO_dBHandler table(positional[0], false, false);
  table.OpenIndexFile(positional[1]);
  table.SelectTag(&positional[2], false);
  table.soft_seek = soft;
  table.exact_comparison = !partial;
  bool found = table.FindKey(positional[3]);
  int32_t record = table.Eof() ? 0 : table.RecordNumber();
  std::printf("%d\t%s\n", int(record), found ? "T" : "F");
  return kExitOk;
}

const CommandRegistrar reg("seek", &RunSeek, "seek TABLE INDEXFILE TAG KEY [--soft] [--partial]");

}  // namespace
}  // namespace devazoz_tool
