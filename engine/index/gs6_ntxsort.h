// Building an NTX tag from scratch: the keys of every record are sorted and
// GSobjSortNTX writes the sorted stream bottom-up, one 1024-byte page buffer
// per tree level. A full leaf is written and the key that comes next moves up
// as separator instead of entering a leaf; a full interior page sends its last
// entry's key up and keeps that entry's child as its rightmost child.
#ifndef ENGINE_INDEX_GS6_NTXSORT_H_
#define ENGINE_INDEX_GS6_NTXSORT_H_

#include <cstdint>

#include "engine/index/gs6_ntxpage.h"
#include "engine/index/gs6_sort.h"

namespace devazoz {

class GSobjNTXTag;
class GSO_dBaseFld;

constexpr int kNtxSortLevels = 31;

class GSobjSortNTX : public TgsSort {
 public:
  GSobjSortNTX(GSobjNTXTag* tag, GSO_dBaseFld* table);
  ~GSobjSortNTX() override;

  // Drains the sort into the tree and finishes it; the tag's root is set.
  void WriteTree();

 private:
  struct Level {
    bool used = false;
    uint8_t page[kNtxPageSize];
    int count = 0;
    uint8_t last_key[256];
    uint32_t last_length = 0;
    int32_t last_record = 0;
  };
  void AddToLevel(int level, int32_t child, const uint8_t* key, uint32_t length, int32_t record);
  void Finish();

  GSobjNTXTag* tag_;
  GSO_dBaseFld* table_;
  NtxPageShape shape_;
  int32_t written_ = 0;
  bool finished_ = false;
  Level levels_[kNtxSortLevels];
};

// Builds the tag from the table (an empty root page when no record gives a
// key), reporting progress as BuildCdxTag does, and writes the header.
void BuildNtxTag(GSobjNTXTag* tag);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NTXSORT_H_
