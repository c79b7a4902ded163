// TgsHugeSet: one bit per record number, in zero-filled pages of 16 KiB
// (131072 bits each) appended as higher bits are touched. Bit n lives in page
// n / 131072, byte (n / 8) % 16384, mask 1 << (n % 8).
#ifndef ENGINE_FOUNDATION_GS6_HSET_H_
#define ENGINE_FOUNDATION_GS6_HSET_H_

#include <cstdint>
#include <memory>
#include <vector>

namespace devazoz {

class TgsHugeSet {
 public:
  static constexpr int32_t kPageBytes = 0x4000;
  static constexpr int32_t kPageBits = 0x20000;

  enum Operation { kClear = 0, kSet = 1, kToggle = 2 };

  TgsHugeSet() = default;
  TgsHugeSet(const TgsHugeSet&) = delete;
  TgsHugeSet& operator=(const TgsHugeSet&) = delete;

  // Zeroes every page (pages stay allocated).
  void Clear();
  // Appends pages up to bit n, applies the operation (kClear, kSet or kToggle; any
  // other value leaves the bit as it is) and raises HighestBit to n. A negative n
  // is ignored.
  void Change(int32_t n, int operation);
  bool Has(int32_t n) const;
  int32_t HighestBit() const { return highest_bit_; }
  size_t PageCount() const { return pages_.size(); }

 private:
  std::vector<std::unique_ptr<uint8_t[]>> pages_;
  int32_t highest_bit_ = -1;
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_HSET_H_
