// The 1024-byte page of an NTX index: decoding it into a NodeData and packing
// entries into it. All numbers little-endian; pointers are byte offsets of
// pages, 0 meaning none.
//
//   OFFSET         SIZE          CONTENT
//   0              2             number of keys n
//   2              2 x (M + 1)   slot offsets, one per slot (M = maximum keys)
//   (M + 2) x 2    E x (M + 1)   slots of E = key length + 8 bytes, slot i
//                                (1-based) at (M + 2) x 2 + (i - 1) x E when
//                                written here; other programs may order them
//                                differently, so reading follows the offsets
// Slot: child page (4), record number (4), key (key length, blank-padded).
// A page whose first slot has child 0 is a leaf. An interior page has n keys
// and n + 1 children; slot n + 1 holds only the rightmost child. The keys of
// slot i's subtree are below slot i's key, and every key in an interior page
// is a real index entry.
#ifndef ENGINE_INDEX_GS6_NTXPAGE_H_
#define ENGINE_INDEX_GS6_NTXPAGE_H_

#include <cstdint>
#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_indxkey.h"

namespace devazoz {

constexpr int kNtxPageSize = 1024;

struct NtxPageShape {
  int key_length = 10;
  int max_keys = 50;
  bool text = true;  // 'C' keys: trailing blanks are not part of the key
  int EntrySize() const { return key_length + 8; }
};

// Maximum keys per page for an entry size: an even number.
int NtxMaxKeys(int entry_size);

// Decodes a page: n entries (leaf: record and pointer = the record; interior:
// record and pointer = child), and for an interior page one more entry with an
// empty key and the rightmost child. False with *error set when a count, an
// offset, a child or a record number makes no sense.
bool DecodeNtxPage(ByteView page, const NtxPageShape& shape, NodeData& out, std::string* error);

// Writes entries [first, first + count) of node into page with the slot table
// in standard order; keys is the count stored at offset 0 (the entries after
// the first keys carry only their child, or nothing in a leaf).
void PackNtxPage(ByteSpan page, const NtxPageShape& shape, const NodeData& node, size_t first,
                 size_t count, size_t keys);

// Writes one slot of a page in standard order.
void PutNtxSlot(ByteSpan page, const NtxPageShape& shape, int slot, int32_t child, int32_t record,
                const uint8_t* key, uint32_t length);
// Writes the count and the slot table in standard order.
void PutNtxHead(ByteSpan page, const NtxPageShape& shape, uint16_t keys);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NTXPAGE_H_
