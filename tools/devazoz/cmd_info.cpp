// devazoz info TABLE: the table's header values and one line per field.
#include <cstdio>
#include <string>

#include "engine/table/gs6_dbfcheck.h"
#include "engine/table/gs6_dbfld.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunInfo(const ParsedArgs& parsed) {
  const Args& args = parsed.Positionals();
  if (args.size() != 1) throw UsageError{"info takes one table"};
  devazoz::GSO_dBaseFld table(args[0], false, false);
  std::string out;
  char version[16];
  std::snprintf(version, sizeof version, "0x%02x", table.Version());
  out += std::string("version ") + version + "\n";
  out += "records " + std::to_string(table.RecordCount());
  // A table cut short reads fewer records than its header counts: both are shown.
  int32_t stored = devazoz::StoredRecordCount(table);
  if (stored != table.RecordCount()) out += " (the header says " + std::to_string(stored) + ")";
  out += "\n";
  out += "header " + std::to_string(table.HeaderLength()) + "\n";
  out += "reclen " + std::to_string(table.RecordLength()) + "\n";
  out += "fields " + std::to_string(table.FieldCount()) + "\n";
  for (const auto& f : table.Descriptors())
    out += f.name + "\t" + std::string(1, f.type) + "\t" + std::to_string(f.length) + "\t" +
           std::to_string(f.decimals) + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

const CommandRegistrar reg(
    {"info",
     "shows a table's header values and its fields",
     "info TABLE",
     {{"TABLE", "the table file (.DBF is added when the name has no extension)"}},
     {},
     "output: lines \"version 0xNN\", \"records N\" (with \"(the header says M)\" when the\n"
     "file holds fewer records than its header counts), \"header N\", \"reclen N\",\n"
     "\"fields N\", then one line per field: NAME<TAB>TYPE<TAB>LENGTH<TAB>DECIMALS."},
    &RunInfo);

}  // namespace
}  // namespace devazoz_tool
