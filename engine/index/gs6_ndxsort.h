// Building an NDX tag from scratch: the keys of every record are sorted and
// GSobjSortNdx writes the sorted stream bottom-up, one 512-byte block buffer
// per tree level. A full block is written and its last key goes up one level
// as separator; an interior block's last entry keeps only its child.
#ifndef ENGINE_INDEX_GS6_NDXSORT_H_
#define ENGINE_INDEX_GS6_NDXSORT_H_

#include <cstdint>

#include "engine/index/gs6_ndxpage.h"
#include "engine/index/gs6_sort.h"

namespace devazoz {

class GSobjNDXTag;
class GSO_dBaseFld;

constexpr int kNdxSortLevels = 31;

class GSobjSortNdx : public TgsSort {
 public:
  GSobjSortNdx(GSobjNDXTag* tag, GSO_dBaseFld* table);
  ~GSobjSortNdx() override;

  // Drains the sort into the tree and finishes it; the tag's root is set.
  void WriteTree();

 private:
  struct Level {
    bool used = false;
    uint8_t block[kNdxBlockSize];
    int count = 0;
    uint8_t last_key[256];
    uint32_t last_length = 0;
    int32_t last_record = 0;
  };
  void AddToLevel(int level, int32_t child, const uint8_t* key, uint32_t length, int32_t record);
  // Writes a level's block at a new block; interior blocks drop their last key.
  int32_t WriteLevel(int level);
  void Finish();

  GSobjNDXTag* tag_;
  GSO_dBaseFld* table_;
  NdxBlockShape shape_;
  int32_t written_ = 0;
  bool finished_ = false;
  Level levels_[kNdxSortLevels];
};

// Builds the tag from the table (an empty root block when no record gives a
// key) and writes the header.
void BuildNdxTag(GSobjNDXTag* tag);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NDXSORT_H_
