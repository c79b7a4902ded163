// TgsSort: the in-memory sort that feeds index builds. Keys are added in any
// order with their record numbers, then drained in order:
//  - the kind first (byte string, text, number, date), then the key bytes, text
//    compared through the collation map when one is given, a key that is a
//    prefix of another sorting first; then the record number (unsigned);
//  - a descending sort returns the exact reverse (equal keys by falling record
//    number);
//  - in unique mode only the lowest record number of each key value comes back
//    (keys are equal when their kind, length and mapped bytes agree).
// Values come back in their kind: text without trailing blanks, numbers and
// dates as they were added, byte strings unchanged.
//
// Memory: keys are gathered in a working area of a fixed size (WorkBytes(),
// 1 MiB unless a descendant asks otherwise) with an index array of at most
// WorkBytes() / 16 entries of 16 bytes and as much scratch for sorting it; when
// the area is full its keys are sorted and moved into a front-compressed run held
// in 64 KiB pages. Retrieval merges the runs (about 600 bytes per run). So apart
// from the runs, which hold every key once, the sort holds at most
// 3 x WorkBytes() plus the run cursors. CDX builds ask for an area that holds
// every key of the table, 4 to 32 MiB (so at most 96 MiB besides the runs); the
// area is taken as zero pages from the system, so what no key uses costs nothing.
#ifndef ENGINE_INDEX_GS6_SORT_H_
#define ENGINE_INDEX_GS6_SORT_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/foundation/gs6_vari.h"

namespace devazoz {

class TgsSort {
 public:
  // The longest key any sort accepts.
  static constexpr int kMaxSortKeyLength = 240;
  // The default size of the working area.
  static constexpr size_t kDefaultWorkBytes = size_t(1) << 20;

  // Raises EDevazozError "Sort key length greater than 240 bytes" when
  // max_key_length is above 240. collation_map (256 bytes, or null) is copied.
  TgsSort(int max_key_length, const uint8_t* collation_map, bool ascending, bool unique);
  virtual ~TgsSort();
  TgsSort(const TgsSort&) = delete;
  TgsSort& operator=(const TgsSort&) = delete;

  // Raises "Cannot add sort keys after beginning retrieval" after the first
  // NextKey, "Sort key length greater than 240 bytes" when the value is longer
  // than the maximum, "Variant type cannot be sorted" for an empty or logical
  // value.
  void AddKey(const TgsVariant& value, int32_t record_number);
  // AddKey of a text value given as its bytes.
  void AddText(const uint8_t* text, uint32_t length, int32_t record_number);
  // The next key in order; false when none is left. The first call ends adding.
  bool NextKey(TgsVariant& value, int32_t& record_number);
  // NextKey without a value object: the bytes NextKey's value would hold for
  // text and byte strings (numbers and dates in their sort form: the 8 or 4
  // bytes most significant first, the sign bit flipped), valid until the next
  // call.
  bool NextRaw(const uint8_t*& bytes, uint32_t& length, int32_t& record_number);

  // Keys accepted by AddKey so far.
  uint32_t KeyCount() const;
  // Runs written so far (0 while every key fits in the working area).
  size_t RunCount() const;
  // The most bytes the sort has held at once (working area, index arrays, runs).
  size_t PeakMemory() const;
  size_t WorkBytes() const;
  int MaxKeyLength() const;
  bool Ascending() const;
  bool Unique() const;

 protected:
  // As above with a working area of work_bytes (kept within 1 KiB .. 1 GiB), so
  // that small inputs can be forced through several runs.
  TgsSort(int max_key_length, const uint8_t* collation_map, bool ascending, bool unique,
          size_t work_bytes);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_SORT_H_
