// devazoz info TABLE: the table's header values and one line per field.
#include <cstdio>
#include <string>

#include "engine/table/gs6_dbfcheck.h"
#include "engine/table/gs6_dbfld.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunInfo(const Args& args) {
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

const CommandRegistrar reg("info", &RunInfo, "info TABLE");

}  // namespace
}  // namespace devazoz_tool
