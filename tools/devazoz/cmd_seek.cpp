// devazoz seek TABLE INDEXFILE TAG KEY [--soft] [--partial]: FindKey on the tag.
// Prints RECNO<TAB>T on a match, RECNO<TAB>F after a soft seek that landed on the
// next key, 0<TAB>F at end of file.
#include <cstdio>
#include <string>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunSeek(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  if (positional.size() != 4) throw UsageError{"seek takes TABLE INDEXFILE TAG KEY"};
  devazoz::GSO_dBHandler table(positional[0], false, false);
  table.OpenIndexFile(positional[1]);
  std::string tag = positional[2];
  table.SelectTag(&tag, false);
  table.soft_seek = args.Has("--soft");
  table.exact_comparison = !args.Has("--partial");
  bool found = table.FindKey(positional[3]);
  int32_t record = table.Eof() ? 0 : table.RecordNumber();
  std::printf("%d\t%s\n", int(record), found ? "T" : "F");
  return kExitOk;
}

const CommandRegistrar reg(
    {"seek",
     "finds a key in an index tag",
     "seek TABLE INDEXFILE TAG KEY [--soft] [--partial]",
     {{"TABLE", "the table the index belongs to"},
      {"INDEXFILE", "a CDX, NTX, NDX or MDX file"},
      {"TAG", "the tag to search"},
      {"KEY", "the key value as text"}},
     {{"--soft", "", "without a match, stop on the next higher key"},
      {"--partial", "", "a key that begins with KEY matches (no exact comparison)"}},
     "output: RECNO<TAB>T on a match, RECNO<TAB>F after a soft seek that landed on the\n"
     "next key, 0<TAB>F at the end of the file."},
    &RunSeek);

}  // namespace
}  // namespace devazoz_tool
