// devazoz search TABLE FIELD VALUE [options]: SearchField from the first record;
// prints the record number found, or 0. Each named option sets one bit of the
// handler's search options; --options N gives the bits as a number (for scripts),
// and both may be combined.
#include <cstdio>
#include <string>

#include "engine/foundation/gs6_dbsy.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

struct NamedBit {
  const char* option;
  uint16_t bit;
};

constexpr NamedBit kNamedBits[] = {
    {"--ignore-case", devazoz::kSearchCaseInsensitive},
    {"--whole-field", devazoz::kSearchWholeField},
    {"--wildcards", devazoz::kSearchWildcards},
    {"--keep-state", devazoz::kSearchKeepState},
    {"--keep-tag", devazoz::kSearchKeepTag},
    {"--anchored", devazoz::kSearchAnchored},
};

int RunSearch(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  long options = 0;
  if (args.Has("--options")) {
    options = ParseCount(args.Value("--options"), "options");
    if (options > 0xFFFF) throw UsageError{"options must fit 16 bits"};
  }
  for (const NamedBit& named : kNamedBits)
    if (args.Has(named.option)) options |= named.bit;
  if (positional.size() != 3) throw UsageError{"search takes TABLE FIELD VALUE"};
  std::vector<std::string> indexes = args.All("--index");
  std::string tag = args.Value("--tag");
  if (!tag.empty() && indexes.empty()) throw UsageError{"--tag needs --index"};
  devazoz::GSO_dBHandler table(positional[0], false, false);
  for (const std::string& file : indexes) table.OpenIndexFile(file);
  if (!tag.empty()) table.SelectTag(&tag, false);
  int field = table.FieldNumber(positional[1]);
  if (field == 0) table.FindField(positional[1]);  // reports the unknown field
  table.search_options = uint16_t(options);
  int32_t record = 0;
  int found = table.SearchField(positional[2], field, 0, record);
  std::printf("%d\n", found ? int(record) : 0);
  return kExitOk;
}

const CommandRegistrar reg(
    {"search",
     "scans a table's records for a field value",
     "search TABLE FIELD VALUE [--ignore-case] [--whole-field] [--wildcards] [--anchored] "
     "[--keep-state] [--keep-tag] [--index FILE]... [--tag NAME] [--options N]",
     {{"TABLE", "the table file"},
      {"FIELD", "the field to search"},
      {"VALUE",
       "the value: text for character fields (see the options), a number for N\n"
       "and F fields, yyyymmdd for date fields, T/Y/J or another letter for\n"
       "logical fields"}},
     {{"--ignore-case", "", "compare text without regard to case (bit 1)", false, "--no-case"},
      {"--whole-field", "",
       "the field's text without trailing blanks must equal VALUE; without it VALUE\n"
       "may be the beginning of the text (bit 2)"},
      {"--wildcards", "",
       "\"?\" in VALUE matches any character; VALUE must stand at the field's start\n"
       "unless it begins with \"*\" and reach the end of its text unless it ends with\n"
       "\"*\"; a \"*\" or \"?\" ends --whole-field; --anchored plays no part (bit 4)"},
      {"--anchored", "", "VALUE must stand at the start of the field, not in its middle (bit 32)"},
      {"--keep-state", "", "keep the record state during the scan (bit 8)"},
      {"--keep-tag", "",
       "keep the selected --tag during the scan; with --keep-state the records are\n"
       "visited in the tag's order, without it in record order (bit 16)"},
      {"--index", "FILE", "open an index file of the table (for --tag)", true},
      {"--tag", "NAME", "select this tag before the scan"},
      {"--options", "N",
       "the search option bits as a number (1, 2, 4, 8, 16, 32 as above); combined\n"
       "with the named options"}},
     "Without options, VALUE matches anywhere in a character field and may be followed\n"
     "by more text. output: the number of the first matching record, or 0."},
    &RunSearch);

}  // namespace
}  // namespace devazoz_tool
