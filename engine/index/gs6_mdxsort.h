// Building an MDX tag from scratch: every record of the table is read in record
// order, its key (and FOR condition) evaluated and the keys sorted (descending
// tags in descending order); GSobjSortMDX then writes the sorted stream
// bottom-up, one page buffer per tree level: a full buffer (the maximum keys)
// is written at a newly allocated page and its last key goes one level up as
// separator, an interior buffer keeping its last entry as the rightmost child;
// the single page left at the top becomes the root.
#ifndef ENGINE_INDEX_GS6_MDXSORT_H_
#define ENGINE_INDEX_GS6_MDXSORT_H_

#include <cstdint>
#include <vector>

#include "engine/index/gs6_indxkey.h"
#include "engine/index/gs6_mdxnode.h"
#include "engine/index/gs6_sort.h"

namespace devazoz {

class GSobjMDXTag;
class GSO_dBaseFld;

// The deepest tree the bulk writer builds.
constexpr int kMdxSortLevels = 31;

class GSobjSortMDX : public TgsSort {
 public:
  // Sorts keys of up to the tag's key length (8 for dates, 12 for numbers) in
  // the tag's order, unique as the tag is.
  GSobjSortMDX(GSobjMDXTag* tag, GSO_dBaseFld* table);
  ~GSobjSortMDX() override;

  // Drains the sort into the tree and finishes it; the tag's root is set.
  void WriteTree();

 private:
  struct Level {
    bool used = false;
    NodeData node;  // entries in their in-memory form
  };
  void AddToLevel(int level, const uint8_t* key, uint32_t length, int32_t pointer);
  // Writes a level's buffer at a new page; returns its position.
  int32_t WriteLevel(int level);
  void Finish();

  GSobjMDXTag* tag_;
  GSO_dBaseFld* table_;
  MdxKeyShape shape_;
  size_t max_keys_;
  int32_t written_ = 0;
  bool finished_ = false;
  Level levels_[kMdxSortLevels];
  std::vector<uint8_t> page_;
};

// Builds the tag from the table (an all-zero root page for an empty table or a
// FOR condition no record passes), reporting progress through the table's
// StatusUpdate: (-1, 1, records), (1, n, 0) per record, (0, 0, 0), (-1, 2,
// records), (2, n, 0) per key written, (0, 0, 0).
void BuildMdxTag(GSobjMDXTag* tag);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_MDXSORT_H_
