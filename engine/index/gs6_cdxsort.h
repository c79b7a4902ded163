// Building a CDX tag from scratch: every record of the table is read in record
// order, its key (and FOR condition) evaluated and the keys sorted; GSobjSortCDX
// then writes the sorted stream bottom-up in one pass, one 512-byte node buffer
// per tree level: leaves are packed full (what a table change adds splits a
// leaf in two halves, so no room is left in them) and linked left
// to right, each closed node's highest key goes one level up, and the single
// node left at the top becomes the root.
#ifndef ENGINE_INDEX_GS6_CDXSORT_H_
#define ENGINE_INDEX_GS6_CDXSORT_H_

#include <cstdint>
#include <vector>

#include "engine/index/gs6_cdxnode.h"
#include "engine/index/gs6_sort.h"

namespace devazoz {

class GSobjCDXTag;
class GSO_dBaseFld;

// The deepest tree the bulk writer builds.
constexpr int kCdxSortLevels = 31;

class GSobjSortCDX : public TgsSort {
 public:
  // Sorts keys of up to the tag's key length + 1 bytes (so a key length of 240
  // raises "Sort key length greater than 240 bytes").
  GSobjSortCDX(GSobjCDXTag* tag, GSO_dBaseFld* table);
  // Finishes the tree if WriteTree did not (errors are then lost).
  ~GSobjSortCDX() override;

  // Drains the sort into the tree and finishes it; the tag's root is set.
  void WriteTree();

 private:
  struct Level {
    bool used = false;
    uint8_t block[kCdxBlockSize];
    uint16_t attributes = 0;
    int count = 0;
    CdxLeafWriter writer;   // level 0
    uint8_t last_key[256];  // above level 0; a leaf's is its writer's
    uint32_t last_length = 0;
    int32_t last_record = 0;
  };
  const uint8_t* LastKey(int level) const {
    return level == 0 ? levels_[0].writer.LastKey() : levels_[level].last_key;
  }
  uint32_t LastLength(int level) const {
    return level == 0 ? levels_[0].writer.LastLength() : levels_[level].last_length;
  }
  void AddToLevel(int level, int32_t pointer, const uint8_t* key, uint32_t length, int32_t record);
  void StartLevel(int level);
  // Writes the node of a level at its own block; the right sibling is the next
  // node's block, or -1.
  void CloseLevel(int level, bool last);
  void Finish();

  GSobjCDXTag* tag_;
  GSO_dBaseFld* table_;
  CdxKeyShape shape_;
  LeafParams params_;
  int32_t start_count_ = 0;
  int32_t written_ = 0;
  bool finishing_ = false;
  bool finished_ = false;
  Level levels_[kCdxSortLevels];
};

// Builds the tag from the table (or an empty root for the directory, an empty
// table or a FOR condition no record passes), reporting progress through the
// table's StatusUpdate: (-1, 1, records), (1, n, 0) per record, (0, 0, 0),
// (-1, 2, records), (2, n, 0) per key written, (0, 0, 0).
// False (after reporting, when the error hook returns) when a record's key or FOR
// condition gives no usable value; the tag is then left with an empty tree.
bool BuildCdxTag(GSobjCDXTag* tag);
// Builds the tags (all of one table) from one pass over the table's records:
// every record is read once and its key added to each tag's sort; then the trees
// are written tag by tag, in the given order, as BuildCdxTag writes them. Progress:
// (-1, 1, records), (1, n, 0) per record, (0, 0, 0), then for each tag (-1, 2,
// records), (2, n, 0) per key written, (0, 0, 0). A tag whose key or FOR condition
// fails gets an empty tree and its error is reported when its turn comes (tags
// after it are not written when the error hook raises). False when any failed.
bool BuildCdxTags(const std::vector<GSobjCDXTag*>& tags);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_CDXSORT_H_
