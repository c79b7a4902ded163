// The record pass of an index build shared by the single-tag formats: every
// record of the table is read in record order, deleted records included, its
// FOR condition and key evaluated, and the normalized key added to a sort.
#ifndef ENGINE_INDEX_GS6_INDXBUILD_H_
#define ENGINE_INDEX_GS6_INDXBUILD_H_

#include <cstdint>

namespace devazoz {

class GSobjIndexTag;
class TgsSort;

// Feeds the tag's keys to the sort, reporting progress to the table as
// (-1, 1, records), (1, n, 0) per record, (0, 0, 0), (-1, 2, records). Records
// are read straight from the table file in chunks; afterwards the table's
// current record number is one past the record count. Returns the keys added.
int32_t FeedSortFromTable(GSobjIndexTag* tag, TgsSort& sort);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_INDXBUILD_H_
