// Which column of a list goes into which field of a table. The columns are matched
// by their header text, compared without case, spaces or punctuation ("Number of
// players" is "numberofplayers"): first a header that names a field ("TITLE",
// "Dual Shock" for DUALSHOCK), then the usual names other collection programs and
// spreadsheets give the catalog's fields (Name or Game for TITLE, Genre for
// CATEGORY, Publisher for DISTRIBUTR, Vibration for DUALSHOCK, Description for
// NOTES, ...). Each field takes at most one column, the first that matches; the
// other columns are ignored unless the user maps them.
#ifndef CATALOG_FIELD_MAP_H_
#define CATALOG_FIELD_MAP_H_

#include <string>
#include <string_view>
#include <vector>

namespace catalog {

// A field of the table a list is imported into.
struct TargetField {
  std::string name;   // upper case, as in the table
  char type = 'C';    // the table's type letter
  int length = 0;     // characters a character field takes
  std::string label;  // what windows call it ("Distributor"); the name when empty
};

// The header's matching key: its letters and digits, lower-cased (ASCII only).
std::string HeaderKey(std::string_view header);

// For each column, the index into fields of the field it fills, or -1.
std::vector<int> MapColumns(const std::vector<std::string>& headers,
                            const std::vector<TargetField>& fields);

// The field index a "COLUMN=FIELD" choice names, by field name without case; -1 when
// the table has no such field.
int FieldIndex(const std::vector<TargetField>& fields, std::string_view name);

// A yes/no value as lists write it, without case: yes/no, y/n, true/false, t/f,
// 1/0, x (and empty or "-" for no), on/off. False when the text is none of these
// (value is then false).
bool ParseLogical(std::string_view text, bool& value);

}  // namespace catalog

#endif  // CATALOG_FIELD_MAP_H_
