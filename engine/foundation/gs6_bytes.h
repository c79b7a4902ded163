// Bounds-checked decoding and encoding of integers and floats in file bytes.
// Every multi-byte value the engine reads from or writes to a file goes through
// ByteView or ByteSpan; an access outside the range throws EDevazozError ("Data
// structure damaged: ...") directly, never returning, so no file content can make
// the engine read or write outside its buffers. Callers that know which file is
// damaged check with Has() first and report through the error routine themselves.
#ifndef ENGINE_FOUNDATION_GS6_BYTES_H_
#define ENGINE_FOUNDATION_GS6_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace devazoz {

// Raised (as EDevazozError) when a checked access leaves its range.
[[noreturn]] void ThrowOutOfRange(size_t offset, size_t count, size_t size);

class ByteView {
 public:
  ByteView() = default;
  ByteView(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  bool Has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }
  void Check(size_t offset, size_t count) const {
    if (!Has(offset, count)) ThrowOutOfRange(offset, count, size_);
  }
  ByteView Sub(size_t offset, size_t count) const {
    Check(offset, count);
    return ByteView(data_ + offset, count);
  }

  uint8_t U8(size_t at) const {
    Check(at, 1);
    return data_[at];
  }
  uint16_t U16LE(size_t at) const { return uint16_t(Unsigned(at, 2, false)); }
  uint32_t U32LE(size_t at) const { return uint32_t(Unsigned(at, 4, false)); }
  uint64_t U64LE(size_t at) const { return Unsigned(at, 8, false); }
  uint16_t U16BE(size_t at) const { return uint16_t(Unsigned(at, 2, true)); }
  uint32_t U32BE(size_t at) const { return uint32_t(Unsigned(at, 4, true)); }
  int32_t I32LE(size_t at) const { return int32_t(U32LE(at)); }
  int64_t I64LE(size_t at) const { return int64_t(U64LE(at)); }
  double F64LE(size_t at) const {
    uint64_t bits = U64LE(at);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
  }
  // Little-endian unsigned value of 1..8 bytes.
  uint64_t UIntLE(size_t at, size_t width) const { return Unsigned(at, width, false); }
  std::string Text(size_t at, size_t count) const {
    Check(at, count);
    return std::string(reinterpret_cast<const char*>(data_ + at), count);
  }
  void CopyTo(size_t at, void* dest, size_t count) const {
    Check(at, count);
    if (count) std::memcpy(dest, data_ + at, count);
  }

 private:
  uint64_t Unsigned(size_t at, size_t width, bool big_endian) const {
    Check(at, width);
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) {
      uint64_t b = data_[at + i];
      v |= big_endian ? b << (8 * (width - 1 - i)) : b << (8 * i);
    }
    return v;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

class ByteSpan : public ByteView {
 public:
  ByteSpan() = default;
  ByteSpan(void* data, size_t size) : ByteView(data, size), mut_(static_cast<uint8_t*>(data)) {}

  uint8_t* mutable_data() const { return mut_; }
  void PutU8(size_t at, uint8_t v) const {
    Check(at, 1);
    mut_[at] = v;
  }
  void PutU16LE(size_t at, uint16_t v) const { PutUnsigned(at, 2, v, false); }
  void PutU32LE(size_t at, uint32_t v) const { PutUnsigned(at, 4, v, false); }
  void PutU64LE(size_t at, uint64_t v) const { PutUnsigned(at, 8, v, false); }
  void PutU16BE(size_t at, uint16_t v) const { PutUnsigned(at, 2, v, true); }
  void PutU32BE(size_t at, uint32_t v) const { PutUnsigned(at, 4, v, true); }
  void PutI32LE(size_t at, int32_t v) const { PutU32LE(at, uint32_t(v)); }
  void PutI64LE(size_t at, int64_t v) const { PutU64LE(at, uint64_t(v)); }
  void PutF64LE(size_t at, double d) const {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    PutU64LE(at, bits);
  }
  void PutUIntLE(size_t at, size_t width, uint64_t v) const { PutUnsigned(at, width, v, false); }
  void PutBytes(size_t at, const void* src, size_t count) const {
    Check(at, count);
    if (count) std::memcpy(mut_ + at, src, count);
  }
  void Fill(size_t at, size_t count, uint8_t v) const {
    Check(at, count);
    if (count) std::memset(mut_ + at, v, count);
  }

 private:
  void PutUnsigned(size_t at, size_t width, uint64_t v, bool big_endian) const {
    Check(at, width);
    for (size_t i = 0; i < width; ++i) {
      size_t shift = big_endian ? 8 * (width - 1 - i) : 8 * i;
      mut_[at + i] = uint8_t(v >> shift);
    }
  }

  uint8_t* mut_ = nullptr;
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_BYTES_H_
