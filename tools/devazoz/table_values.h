// How the tool renders one field of the current record in its listings.
#ifndef TOOLS_DEVAZOZ_TABLE_VALUES_H_
#define TOOLS_DEVAZOZ_TABLE_VALUES_H_

#include <string>

namespace devazoz {
class GSO_dBaseFld;
}

namespace devazoz_tool {

// The value of field n as dump shows it (not yet escaped). With memo_contents, memo,
// general and binary fields that refer to a block show the memo's bytes.
std::string FieldValueText(devazoz::GSO_dBaseFld& table, int n, bool memo_contents);
// The header line and one line per record for dump.
std::string DumpHeaderLine(devazoz::GSO_dBaseFld& table);
std::string DumpRecordLine(devazoz::GSO_dBaseFld& table, bool memo_contents);

}  // namespace devazoz_tool

#endif  // TOOLS_DEVAZOZ_TABLE_VALUES_H_
