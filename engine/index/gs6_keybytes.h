// Short copies of key bytes, inline and in word steps: index keys are a few
// dozen bytes, and a library call per key costs more than the copy in the loops
// that handle every key of a table (sorting, writing leaves). Every access stays
// within [p, p + n) of both buffers, which must not overlap.
#ifndef ENGINE_INDEX_GS6_KEYBYTES_H_
#define ENGINE_INDEX_GS6_KEYBYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace devazoz {

inline void CopyKeyBytes(uint8_t* dst, const uint8_t* src, size_t n) {
  uint64_t a, b;
  if (n >= 16) {
    for (size_t i = 0; i + 16 < n; i += 16) {
      std::memcpy(&a, src + i, 8);
      std::memcpy(&b, src + i + 8, 8);
      std::memcpy(dst + i, &a, 8);
      std::memcpy(dst + i + 8, &b, 8);
    }
    // The last 16 bytes, overlapping what the loop copied.
    std::memcpy(&a, src + n - 16, 8);
    std::memcpy(&b, src + n - 8, 8);
    std::memcpy(dst + n - 16, &a, 8);
    std::memcpy(dst + n - 8, &b, 8);
  } else if (n >= 8) {
    std::memcpy(&a, src, 8);
    std::memcpy(&b, src + n - 8, 8);
    std::memcpy(dst, &a, 8);
    std::memcpy(dst + n - 8, &b, 8);
  } else if (n >= 4) {
    uint32_t c, d;
    std::memcpy(&c, src, 4);
    std::memcpy(&d, src + n - 4, 4);
    std::memcpy(dst, &c, 4);
    std::memcpy(dst + n - 4, &d, 4);
  } else {
    for (size_t i = 0; i < n; ++i) dst[i] = src[i];
  }
}

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_KEYBYTES_H_
