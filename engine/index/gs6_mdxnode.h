// The byte layout of the pages of a multiple-tag index (MDX) and its key
// encodings: decoding a page into a NodeData and packing one.
//
// All numbers little-endian. A page is the file's page size (1024 bytes in new
// files: two 512-byte blocks); pointers are numbers of 512-byte blocks.
//   OFFSET SIZE CONTENT
//   0      4    number of keys n
//   4      4    page link: the tag's last allocated block when the page was
//               first written
//   8      ...  entries of entry-size bytes: pointer (4: record number in a
//               leaf, child block in an interior page), then the key
// An interior page has n + 1 pointers: entry n carries only the rightmost
// child, so a page whose entry n has a non-zero pointer is interior. Interior
// keys are separators: the highest key of the subtree to their left.
//
// Stored keys: 'C' blank-padded text; 'D' the day number as an 8-byte double
// (1.0E100 for an empty date); 'N' a 12-byte packed decimal:
//   0      1    52 + decimal exponent (digits before the decimal point)
//   1      1    8 x digit bytes + 1, or-ed with 0x80 when negative
//   2      10   up to 15 significant digits, two per byte, high nibble first
//
// In memory (the framework compares key bytes) 'D' keys take the sortable
// 8-byte form of a double (EncodeCdxNumber) and 'N' keys a 12-byte sortable
// form: class (1 negative, 2 otherwise), exponent byte, the ten digit bytes,
// the eleven bytes after the class inverted for negative values. Zero is the
// class 2 with exponent byte and digits 0, below every positive number.
#ifndef ENGINE_INDEX_GS6_MDXNODE_H_
#define ENGINE_INDEX_GS6_MDXNODE_H_

#include <cstdint>
#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_indxkey.h"

namespace devazoz {

constexpr int kMdxBlockSize = 512;
constexpr int kMdxPageHead = 8;
constexpr int kMdxNumberLength = 12;
constexpr int kMdxDateLength = 8;
constexpr double kMdxEmptyDate = 1.0E100;

// What a tag's keys look like on a page.
struct MdxKeyShape {
  char type = 'C';
  int key_length = 10;
  int entry_size = 16;
  int page_size = 1024;
  bool descending = false;
};

// Entry size for a key length: key length + 4 rounded up to a multiple of 4.
int MdxEntrySize(int key_length);
// Most keys a page of page_size holds with entries of entry_size.
int MdxMaxKeys(int page_size, int entry_size);

// The 12-byte packed decimal of a number, and the number back.
void PackMdxNumber(double value, uint8_t out[kMdxNumberLength]);
double UnpackMdxNumber(const uint8_t packed[kMdxNumberLength]);
// Sortable form from packed and back.
void PackedToSortable(const uint8_t packed[kMdxNumberLength], uint8_t out[kMdxNumberLength]);
void SortableToPacked(const uint8_t* sortable, uint32_t length, uint8_t out[kMdxNumberLength]);
// The number a key of a tag stands for: the value of an 'N' key, the day number
// of a 'D' key (0 for an empty date).
double MdxKeyNumber(char type, const uint8_t* key, uint32_t length);

// The in-memory sentinel of an interior page's last entry.
void MdxSentinel(const MdxKeyShape& shape, uint8_t out[8], uint32_t* length);

// Decodes a page; false with *error set when a value read makes no sense.
// Interior pointers become byte positions (block x 512); leaf entries carry the
// record number as record and pointer.
bool DecodeMdxPage(ByteView page, const MdxKeyShape& shape, NodeData& out, std::string* error);

// Writes entries [first, first + count) of node into page (zeroed first), with
// the page link; interior pages store count - 1 keys and the last child.
void PackMdxPage(ByteSpan page, const MdxKeyShape& shape, const NodeData& node, size_t first,
                 size_t count, bool interior, uint32_t link);

// Writes one entry's stored key (key in its in-memory form) at page offset at.
void PutMdxKey(ByteSpan page, size_t at, const MdxKeyShape& shape, const uint8_t* key,
               uint32_t length);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_MDXNODE_H_
