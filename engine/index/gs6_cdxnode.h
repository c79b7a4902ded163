// The byte layout of the nodes of a compact compound index (CDX): decoding a
// 512-byte node into a NodeData, and packing leaf and interior nodes.
//
// All numbers little-endian except the record number and child pointer of
// interior entries, which are big-endian. -1 means no node.
//
// Node head:
//   OFFSET SIZE CONTENT
//   0      2    attributes: 0 interior, 1 interior root, 2 leaf, 3 leaf root
//   2      2    number of keys
//   4      4    left sibling position
//   8      4    right sibling position
// Interior node, from offset 12: entries of key length + 8 bytes (at most
// 500 div (key length + 8)): key bytes (C keys blank-padded, others zero-padded),
// record number (4, big-endian), child position (4, big-endian); each key is the
// highest key of the subtree below it.
// Leaf node:
//   12     2    free bytes in the key area
//   14     4    record-number mask
//   18     1    duplicate-count mask       19  1  trailing-count mask
//   20     1    bits for the record number 21  1  bits for the duplicate count
//   22     1    bits for the trailing count
//   23     1    bytes per entry
//   24     488  key area: fixed-width entries from its start (record number in the
//               low bits; duplicate and trailing counts in the top bits of the
//               entry's last two bytes), key texts from its end downwards, the
//               first key's text at the very end.
// A key stores only the bytes after those it shares with the previous key
// (duplicate count) and before its trailing blanks or zero bytes (trailing count).
#ifndef ENGINE_INDEX_GS6_CDXNODE_H_
#define ENGINE_INDEX_GS6_CDXNODE_H_

#include <cstdint>
#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_indxkey.h"

namespace devazoz {

constexpr int kCdxBlockSize = 512;
constexpr int kCdxHeaderSize = 1024;
constexpr int kCdxNodeHead = 12;
constexpr int kCdxInteriorArea = 500;
constexpr int kCdxLeafHead = 24;
constexpr int kCdxKeyArea = 488;
constexpr int kCdxMaxLeafKeys = kCdxKeyArea / 2;

// What a node's keys look like: their length, whether they are text (blank
// padded) and whether they carry general-collation weights.
struct CdxKeyShape {
  int key_length = 10;
  bool text = true;
  bool general = false;
};

// Leaf parameters for key length L and record bound R. incremental selects the
// 31-bit record field once a 3-byte mask had bit 23 set; empty_root keeps the
// 3-byte entry of an empty root leaf.
LeafParams CdxLeafParams(int key_length, int64_t bound, bool incremental, bool empty_root);

// Decodes a node; false with *error set when a value read makes no sense.
bool DecodeCdxNode(ByteView block, const CdxKeyShape& shape, NodeData& out, std::string* error);

// The head of a leaf block: its parameters (checked against each other and
// against the key area) and its key count; false with *error set.
bool CheckCdxLeafHead(ByteView block, const CdxKeyShape& shape, LeafParams& params, uint32_t* count,
                      std::string* error);

// Where a search stopped in a leaf, with the entry it stopped at.
struct CdxLeafHit {
  int result = 1;  // -1 before the entry, 0 on it, 1 after every entry
  uint32_t index = 0;
  uint32_t length = 0;
  int32_t record = 0;
  uint8_t key[kMaxIndexKeyLength];
};

// Searches a leaf block without decoding it: the first entry that the search
// key does not come after, comparing as the index framework does (text keys:
// a search key that is a proper prefix of an entry's key compares as mode;
// equal keys by record number unless record is -1 for any record; 0x7FFFFFFF
// comes after every equal key), or the last entry with result 1. Keys are
// compared in byte order (no collation map, no general collation). False when
// the block is damaged; the caller decodes it to say how.
bool SearchCdxLeaf(ByteView block, const CdxKeyShape& shape, const uint8_t* key, uint32_t length,
                   int mode, int32_t record, CdxLeafHit& hit);
// SearchCdxLeaf on a leaf whose head CheckCdxLeafHead read into p and count.
bool SearchCheckedCdxLeaf(ByteView block, const CdxKeyShape& shape, const LeafParams& p,
                          uint32_t count, const uint8_t* key, uint32_t length, int mode,
                          int32_t record, CdxLeafHit& hit);

// Writes the 12-byte node head.
void PutCdxNodeHead(ByteSpan block, uint16_t attributes, uint16_t count, int32_t left,
                    int32_t right);

// Packs keys into the key area of one leaf block.
class CdxLeafWriter {
 public:
  // Zeroes the key area and writes the parameters; free bytes start at 488.
  void Begin(ByteSpan block, const LeafParams& params, const CdxKeyShape& shape);
  // Bytes the key would take after the last key added.
  int Cost(const uint8_t* key, uint32_t length) const;
  // Adds a key; false (nothing written) when it does not fit.
  bool Add(const uint8_t* key, uint32_t length, uint32_t record);
  // Add for a key known to share its first shared bytes with the last key added.
  bool AddShared(const uint8_t* key, uint32_t length, uint32_t record, uint32_t shared);
  int Count() const { return count_; }
  int Free() const { return free_; }
  // The last key added (cut to the key length), valid until the next Add or Begin.
  const uint8_t* LastKey() const { return prev_; }
  uint32_t LastLength() const { return prev_length_; }
  // Writes the free bytes and the key count into the block.
  void Finish(uint16_t attributes, int32_t left, int32_t right);

 private:
  ByteSpan block_;
  LeafParams params_;
  CdxKeyShape shape_;
  int count_ = 0;
  int free_ = kCdxKeyArea;
  int text_pos_ = kCdxKeyArea;
  uint8_t prev_[256] = {};
  uint32_t prev_length_ = 0;
};

// Writes interior entries [first, first + count) of node into block (fill: blanks
// for text keys when blank_fill, else zero).
void PackCdxInterior(ByteSpan block, const NodeData& node, size_t first, size_t count,
                     const CdxKeyShape& shape, bool blank_fill);

// The 'N' key form of a number (also used for dates as day numbers): the IEEE
// double most significant byte first, top bit set when non-negative, all bytes
// inverted when negative, trailing zero bytes dropped. Returns the significant
// length (0..8).
int EncodeCdxNumber(double value, uint8_t out[8]);
// The number back from its key form (missing trailing bytes restored).
double DecodeCdxNumber(const uint8_t* bytes, uint32_t length);

// Number of leading bytes two keys share.
uint32_t SharedPrefix(const uint8_t* a, uint32_t a_length, const uint8_t* b, uint32_t b_length);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_CDXNODE_H_
