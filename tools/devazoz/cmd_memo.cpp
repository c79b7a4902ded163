// devazoz memo TABLE RECNO FIELD: the raw bytes of one memo, general or binary field's
// memo on stdout (nothing for a field that refers to no memo).
#include <cstdio>
#include <string>
#include <vector>

#include "engine/table/gs6_dbfld.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

int RunMemo(const ParsedArgs& parsed) {
  const Args& args = parsed.Positionals();
  if (args.size() != 3) throw UsageError{"memo takes a table, a record number and a field"};
  long recno = ParseCount(args[1], "record number");
  devazoz::GSO_dBaseFld table(args[0], false, false);
  if (recno < 1 || recno > table.RecordCount())
    throw UsageError{"record " + args[1] + " is not in the table (it has " +
                     std::to_string(table.RecordCount()) + " records)"};
  int n = table.FieldNumber(args[2]);
  if (n == 0) throw UsageError{"the table has no field " + args[2]};
  if (!table.MemoFileFor(n))
    throw UsageError{"field " + args[2] + " does not refer to a memo file"};
  table.ReadRecord(int32_t(recno));
  int32_t size = table.MemoSize(n);
  if (size <= 0) return kExitOk;
  std::vector<char> buffer(static_cast<size_t>(size));
  table.MemoRead(n, buffer.data(), size);
  std::fwrite(buffer.data(), 1, size_t(size), stdout);
  return kExitOk;
}

const CommandRegistrar reg({"memo",
                            "writes the raw bytes of one record's memo to standard output",
                            "memo TABLE RECNO FIELD",
                            {{"TABLE", "the table file"},
                             {"RECNO", "the record number (1 to the record count)"},
                             {"FIELD", "a memo, general or binary field of the table"}},
                            {},
                            "A field that refers to no memo block writes nothing."},
                           &RunMemo);

}  // namespace
}  // namespace devazoz_tool
