// CheckDbfTable: verifies a table file against its own header, as a program that
// trusts the header would read it: the record count stored at offset 4 against the
// whole records the file holds, a partial record at the end, and memo block numbers
// that lie beyond the end of the memo file.
#ifndef ENGINE_TABLE_GS6_DBFCHECK_H_
#define ENGINE_TABLE_GS6_DBFCHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/table/gs6_dbfld.h"

namespace devazoz {

// The record count stored in the header (offset 4, 32-bit little-endian).
int32_t StoredRecordCount(const GSO_dBaseDBF& table);

// One line per problem found; empty when the table is sound. Reads every record; the
// current record is left at the last one read.
std::vector<std::string> CheckDbfTable(GSO_dBaseFld& table);

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_DBFCHECK_H_
