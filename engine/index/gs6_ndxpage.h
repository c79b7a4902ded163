// The 512-byte block of an NDX index: decoding it into a NodeData and packing
// entries into it. All numbers little-endian; child pointers are block
// numbers (file offset = block x 512), 0 meaning none.
//
//   OFFSET SIZE      CONTENT
//   0      4         number of keys n (16-bit, in a 4-byte field)
//   4      E x (n+1) entries of E bytes (the header's entry size): child block
//                    (4), record number (4), key (character keys blank-padded;
//                    numeric and date keys an 8-byte IEEE double)
// A block whose first entry has child 0 is a leaf. An interior block has n keys
// and n + 1 entries, the last carrying only the rightmost child; each interior
// key is the highest key of the subtree to its left.
//
// In memory numeric and date keys take the order-preserving byte form of
// EncodeCdxNumber, so that they compare as bytes.
#ifndef ENGINE_INDEX_GS6_NDXPAGE_H_
#define ENGINE_INDEX_GS6_NDXPAGE_H_

#include <cstdint>
#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_indxkey.h"

namespace devazoz {

constexpr int kNdxBlockSize = 512;
constexpr int kNdxEntriesAt = 4;

struct NdxBlockShape {
  int key_length = 10;  // bytes of the key field: 8 for numbers and dates
  int entry_size = 20;
  int max_keys = 25;
  bool text = true;
};

// Decodes a block: n entries (leaf: record and pointer = the record; interior:
// pointer = child, record 0), and for an interior block one more entry with the
// given sentinel key and the rightmost child. Children must lie in
// [1, block_limit); in memory a child is its byte position. False with
// *error set when something makes no sense.
bool DecodeNdxBlock(ByteView block, const NdxBlockShape& shape, const std::string& sentinel,
                    int64_t block_limit, NodeData& out, std::string* error);

// Writes one entry (i 0-based) of a block.
void PutNdxEntry(ByteSpan block, const NdxBlockShape& shape, int i, int32_t child, int32_t record,
                 const uint8_t* key, uint32_t length);

// Writes entries [first, first + count) of node into a cleared block with keys
// as the count.
void PackNdxBlock(ByteSpan block, const NdxBlockShape& shape, const NodeData& node, size_t first,
                  size_t count, size_t keys);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NDXPAGE_H_
