// The record pass of an index build shared by the single-tag formats: every
// record of the table is read in record order, deleted records included, its
// FOR condition and key evaluated, and the normalized key added to a sort.
#ifndef ENGINE_INDEX_GS6_INDXBUILD_H_
#define ENGINE_INDEX_GS6_INDXBUILD_H_

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/table/gs6_dbfld.h"

namespace devazoz {

class GSobjIndexTag;
class TgsSort;

// The sort's working area for a build: room for every key of the table up to
// 32 MiB (about a million keys of 40 bytes), at least 4 MiB. Keys that fit the
// area are sorted in place and read back without runs or merging, which takes
// a third of a build's time; beyond it the keys form runs of that size. The
// area's pages cost only when keys use them.
size_t BuildWorkBytes(uint32_t key_length, const GSO_dBaseFld* table);

// The record pass of a build: reads the table's records in order straight from
// the file, in chunks of about 256 KiB, and calls visit(record bytes, record
// number) for each, until the record count or the end of the file. Afterwards the
// table's buffer holds the last record read.
template <typename Visit>
void ReadEveryRecord(GSO_dBaseFld* table, Visit visit) {
  constexpr int32_t kReadChunkBytes = 256 * 1024;
  const int32_t count = table->RecordCount();
  if (count <= 0) return;
  const int32_t length = std::max(table->RecordLength(), 1);
  const int64_t header = table->HeaderLength();
  const int32_t per_chunk = std::max<int32_t>(1, kReadChunkBytes / length);
  std::vector<uint8_t> chunk(size_t(per_chunk) * size_t(length));
  const uint8_t* last = nullptr;
  for (int32_t first = 1; first <= count;) {
    int32_t want = std::min(per_chunk, count - first + 1);
    int32_t got =
        table->ReadAt(header + int64_t(first - 1) * length, chunk.data(), want * length) / length;
    if (got <= 0) break;  // the file ended early
    for (int32_t i = 0; i < got; ++i) visit(chunk.data() + size_t(i) * size_t(length), first + i);
    last = chunk.data() + size_t(got - 1) * size_t(length);
    first += got;
    if (got < want) break;
  }
  if (last) std::memcpy(table->RecordBuffer(), last, size_t(length));
}

// The key of a bare character field as evaluating and normalizing it gives it:
// the text up to the field's end or its first NUL byte, without trailing
// blanks, at most key_length bytes (the sort drops the blanks a cut leaves).
// The blanks go first: a NUL byte can only stand before them, so the search for
// one reads only what is left. Both work a word at a time where the words are
// little-endian (the first byte lowest), as the record pass does it for every
// record.
namespace field_key {
inline constexpr bool kWordSteps = std::endian::native == std::endian::little;
inline constexpr uint64_t kEightBlanks = 0x2020202020202020ull;
// The top bit of every zero byte of w, nothing else.
inline uint64_t ZeroBytes(uint64_t w) {
  constexpr uint64_t k7F = 0x7F7F7F7F7F7F7F7Full;
  return ~(((w & k7F) + k7F) | w | k7F);
}
}  // namespace field_key

inline uint32_t TrimBlanks(const uint8_t* text, uint32_t length) {
  using namespace field_key;
  // Fields are mostly blank at the end: drop eight blanks at a time.
  for (uint64_t word; length >= 8; length -= 8) {
    std::memcpy(&word, text + length - 8, 8);
    if (word == kEightBlanks) continue;
    if constexpr (kWordSteps) {
      // The highest byte of the word that is not a blank ends the text.
      uint64_t other = ~ZeroBytes(word ^ kEightBlanks) & 0x8080808080808080ull;
      return length - 8 + uint32_t(63 - std::countl_zero(other)) / 8 + 1;
    }
    break;
  }
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}
inline uint32_t FieldKeyLength(const uint8_t* text, uint32_t length, uint32_t key_length) {
  using namespace field_key;
  length = TrimBlanks(text, length);
  uint32_t nul = length;
  if constexpr (kWordSteps) {
    uint32_t i = 0;
    for (uint64_t word; i + 8 <= length; i += 8) {
      std::memcpy(&word, text + i, 8);
      if (uint64_t zero = ZeroBytes(word)) {
        nul = i + uint32_t(std::countr_zero(zero)) / 8;
        break;
      }
    }
    if (nul == length && i < length) {
      if (length >= 8) {
        // The last eight bytes, overlapping those already looked at.
        uint64_t word;
        std::memcpy(&word, text + length - 8, 8);
        if (uint64_t zero = ZeroBytes(word))
          nul = length - 8 + uint32_t(std::countr_zero(zero)) / 8;
      } else {
        for (; i < length; ++i)
          if (text[i] == 0) {
            nul = i;
            break;
          }
      }
    }
  } else if (const void* at = std::memchr(text, 0, length)) {
    nul = uint32_t(static_cast<const uint8_t*>(at) - text);
  }
  if (nul < length) length = TrimBlanks(text, nul);
  return length < key_length ? length : key_length;
}

// The field a build may read the tag's keys from straight, without evaluating:
// the key is a bare character field and the tag has no FOR condition. Null
// otherwise.
const FieldDescriptor* DirectKeyField(const GSobjIndexTag* tag, const GSO_dBaseFld* table);

// Feeds the tag's keys to the sort, reporting progress to the table as
// (-1, 1, records), (1, n, 0) per record, (0, 0, 0), (-1, 2, records). Records
// are read straight from the table file in chunks; a key that is a bare
// character field (without a FOR condition) is taken from the record bytes
// without evaluating. Afterwards the table's current record number is one past
// the record count and its buffer holds the last record. Returns the keys added.
// A record whose key cannot be evaluated, or whose FOR condition gives no
// logical value, is reported (a formula error naming the tag, its file and the
// record) and the result is -1 when the report returns.
int32_t FeedSortFromTable(GSobjIndexTag* tag, TgsSort& sort);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_INDXBUILD_H_
