#include "engine/foundation/gs6_hset.h"

#include <cstring>

namespace devazoz {

void TgsHugeSet::Clear() {
  for (auto& page : pages_) std::memset(page.get(), 0, kPageBytes);
  highest_bit_ = -1;
}

void TgsHugeSet::Change(int32_t n, int operation) {
  if (n < 0) return;
  size_t page = size_t(n / kPageBits);
  while (pages_.size() <= page) pages_.emplace_back(new uint8_t[kPageBytes]());
  uint8_t& byte = pages_[page][(n / 8) % kPageBytes];
  uint8_t mask = uint8_t(1u << (n % 8));
  if (operation == kClear)
    byte &= uint8_t(~mask);
  else if (operation == kSet)
    byte |= mask;
  else if (operation == kToggle)
    byte ^= mask;
  if (n > highest_bit_) highest_bit_ = n;
}

bool TgsHugeSet::Has(int32_t n) const {
  if (n < 0 || n > highest_bit_) return false;
  size_t page = size_t(n / kPageBits);
  if (page >= pages_.size()) return false;
  return (pages_[page][(n / 8) % kPageBytes] & (1u << (n % 8))) != 0;
}

}  // namespace devazoz
