#include "engine/index/gs6_mdxnode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdxnode.h"

namespace devazoz {

namespace {

constexpr int kExponentBias = 52;
constexpr int kDigitBytes = 10;
// The largest child block whose byte position is a 32-bit signed number.
constexpr uint32_t kMaxBlock = 0x7FFFFFFF / kMdxBlockSize;

// Digit bytes a packed number declares (0..10).
int DeclaredDigitBytes(uint8_t length_byte) {
  int n = (length_byte & 0x7F);
  return n < 1 ? 0 : std::min(kDigitBytes, (n - 1) / 8);
}

void AppendEntry(NodeData& out, const uint8_t* key, uint32_t length, int32_t record,
                 int32_t pointer) {
  NodeEntry e{uint32_t(out.pool.size()), uint16_t(length), record, pointer};
  out.pool.insert(out.pool.end(), key, key + length);
  out.entries.push_back(e);
}

// The in-memory form of the stored key at at.
uint32_t ReadKey(ByteView page, size_t at, const MdxKeyShape& shape, uint8_t* out) {
  switch (shape.type) {
    case 'D':
      return uint32_t(EncodeCdxNumber(page.F64LE(at), out));
    case 'N': {
      uint8_t packed[kMdxNumberLength];
      page.CopyTo(at, packed, kMdxNumberLength);
      PackedToSortable(packed, out);
      return kMdxNumberLength;
    }
    default: {
      uint32_t n = uint32_t(shape.key_length);
      page.CopyTo(at, out, n);
      while (n > 0 && out[n - 1] == ' ') --n;
      return n;
    }
  }
}

}  // namespace

int MdxEntrySize(int key_length) { return (key_length + 4 + 3) / 4 * 4; }

int MdxMaxKeys(int page_size, int entry_size) {
  return entry_size > 0 ? (page_size - kMdxPageHead) / entry_size - 1 : 0;
}

void PackMdxNumber(double value, uint8_t out[kMdxNumberLength]) {
  std::memset(out, 0, kMdxNumberLength);
  out[0] = kExponentBias;
  out[1] = 1;
  if (std::isnan(value) || value == 0) return;
  bool negative = value < 0;
  double magnitude = std::fabs(value);
  std::string digits;
  int exponent = 0;
  if (std::isinf(magnitude)) {
    exponent = 255 - kExponentBias;
    digits = "999999999999999";
  } else {
    char text[48];
    std::snprintf(text, sizeof text, "%.14e", magnitude);
    // d.dddddddddddddde+XX: fifteen significant digits and the exponent.
    digits = std::string(1, text[0]) + std::string(text + 2, 14);
    exponent = std::atoi(text + 17) + 1;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (digits.empty()) return;
    if (exponent + kExponentBias < 1) return;  // too small to hold: zero
    if (exponent + kExponentBias > 255) {      // too large: the largest held
      exponent = 255 - kExponentBias;
      digits = "999999999999999";
    }
  }
  out[0] = uint8_t(exponent + kExponentBias);
  int bytes = int(digits.size() + 1) / 2;
  for (size_t i = 0; i < digits.size(); ++i)
    out[2 + i / 2] |= uint8_t((digits[i] - '0') << (i % 2 ? 0 : 4));
  out[1] = uint8_t((8 * bytes + 1) | (negative ? 0x80 : 0));
}

double UnpackMdxNumber(const uint8_t packed[kMdxNumberLength]) {
  int bytes = DeclaredDigitBytes(packed[1]);
  if (bytes == 0) return 0;
  // "0." and the digits, then the exponent: at most 2 + 20 + 5 characters.
  char text[40] = {'0', '.'};
  int at = 2;
  for (int i = 0; i < bytes; ++i) {
    text[at++] = char('0' + std::min(9, packed[2 + i] >> 4));
    text[at++] = char('0' + std::min(9, packed[2 + i] & 0x0F));
  }
  std::snprintf(text + at, sizeof text - size_t(at), "e%d", int(packed[0]) - kExponentBias);
  double v = std::strtod(text, nullptr);
  return (packed[1] & 0x80) ? -v : v;
}

void PackedToSortable(const uint8_t packed[kMdxNumberLength], uint8_t out[kMdxNumberLength]) {
  std::memset(out, 0, kMdxNumberLength);
  int bytes = DeclaredDigitBytes(packed[1]);
  bool any = false;
  for (int i = 0; i < bytes; ++i) {
    out[2 + i] = packed[2 + i];
    any = any || packed[2 + i] != 0;
  }
  out[0] = 2;
  if (!any) {
    std::memset(out + 1, 0, kMdxNumberLength - 1);
    return;
  }
  out[1] = packed[0];
  if (packed[1] & 0x80) {
    out[0] = 1;
    for (int i = 1; i < kMdxNumberLength; ++i) out[i] = uint8_t(~out[i]);
  }
}

void SortableToPacked(const uint8_t* sortable, uint32_t length, uint8_t out[kMdxNumberLength]) {
  std::memset(out, 0, kMdxNumberLength);
  out[0] = kExponentBias;
  out[1] = 1;
  if (length < uint32_t(kMdxNumberLength)) return;
  uint8_t s[kMdxNumberLength];
  std::memcpy(s, sortable, kMdxNumberLength);
  bool negative = s[0] == 1;
  if (negative)
    for (int i = 1; i < kMdxNumberLength; ++i) s[i] = uint8_t(~s[i]);
  int bytes = 0;
  for (int i = 0; i < kDigitBytes; ++i)
    if (s[2 + i] != 0) bytes = i + 1;
  if (bytes == 0) return;
  out[0] = s[1];
  std::memcpy(out + 2, s + 2, size_t(bytes));
  out[1] = uint8_t((8 * bytes + 1) | (negative ? 0x80 : 0));
}

double MdxKeyNumber(char type, const uint8_t* key, uint32_t length) {
  if (type == 'N') {
    if (length != uint32_t(kMdxNumberLength)) return 0;
    uint8_t packed[kMdxNumberLength];
    SortableToPacked(key, length, packed);
    return UnpackMdxNumber(packed);
  }
  double day = DecodeCdxNumber(key, length);
  return day >= 1 && day < 1.0E9 ? day : 0;
}

void MdxSentinel(const MdxKeyShape& shape, uint8_t out[8], uint32_t* length) {
  switch (shape.type) {
    case 'D':
      *length = uint32_t(EncodeCdxNumber(shape.descending ? 1.7E-308 : 1.7E308, out));
      break;
    case 'N':
      out[0] = shape.descending ? 0 : 3;
      *length = 1;
      break;
    default:
      out[0] = 0xFF;
      *length = shape.descending ? 0 : 1;
      break;
  }
}

bool DecodeMdxPage(ByteView page, const MdxKeyShape& shape, NodeData& out, std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  const uint32_t L = uint32_t(shape.key_length);
  const uint32_t entry = uint32_t(shape.entry_size);
  if (L < 1 || L > uint32_t(kMaxIndexKeyLength) || entry < L + 4 ||
      entry + kMdxPageHead > uint32_t(shape.page_size))
    return fail("key length " + std::to_string(L) + " and entry size " + std::to_string(entry) +
                " do not fit a page");
  if (page.size() < size_t(shape.page_size)) return fail("page is short");
  const uint32_t capacity = (uint32_t(shape.page_size) - kMdxPageHead) / entry;
  uint32_t count = page.U32LE(0);
  if (count > capacity)
    return fail("page holds " + std::to_string(count) + " keys, at most " +
                std::to_string(capacity) + " fit");
  uint32_t link = page.U32LE(4);
  out.entries.clear();
  out.pool.clear();
  out.params = LeafParams();
  out.left = link <= 0x7FFFFFFF ? int32_t(link) : -1;
  out.right = -1;
  uint32_t last = count < capacity ? page.U32LE(kMdxPageHead + size_t(count) * entry) : 0;
  out.leaf = last == 0;
  out.entries.reserve(count + 1);
  out.pool.reserve(size_t(count + 1) * L);
  uint8_t key[256];
  auto child = [&](uint32_t block, uint32_t i, int32_t* position) {
    if (block == 0 || block > kMaxBlock)
      return fail("entry " + std::to_string(i) + " points to block " + std::to_string(block));
    *position = int32_t(block) * kMdxBlockSize;
    return true;
  };
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = kMdxPageHead + size_t(i) * entry;
    uint32_t pointer = page.U32LE(at);
    uint32_t length = ReadKey(page, at + 4, shape, key);
    if (out.leaf) {
      if (pointer > 0x7FFFFFFF)
        return fail("entry " + std::to_string(i) + " holds record number " +
                    std::to_string(pointer));
      AppendEntry(out, key, length, int32_t(pointer), int32_t(pointer));
    } else {
      int32_t position = 0;
      if (!child(pointer, i, &position)) return false;
      AppendEntry(out, key, length, 0, position);
    }
  }
  if (!out.leaf) {
    int32_t position = 0;
    if (!child(last, count, &position)) return false;
    uint32_t length = 0;
    MdxSentinel(shape, key, &length);
    AppendEntry(out, key, length, 0, position);
  }
  return true;
}

void PutMdxKey(ByteSpan page, size_t at, const MdxKeyShape& shape, const uint8_t* key,
               uint32_t length) {
  switch (shape.type) {
    case 'D':
      page.PutF64LE(at, length ? DecodeCdxNumber(key, length) : 0.0);
      break;
    case 'N': {
      uint8_t packed[kMdxNumberLength];
      SortableToPacked(key, length, packed);
      page.PutBytes(at, packed, kMdxNumberLength);
      break;
    }
    default:
      page.Fill(at, size_t(shape.key_length), ' ');
      page.PutBytes(at, key, std::min<uint32_t>(length, uint32_t(shape.key_length)));
      break;
  }
}

void PackMdxPage(ByteSpan page, const MdxKeyShape& shape, const NodeData& node, size_t first,
                 size_t count, bool interior, uint32_t link) {
  const size_t entry = size_t(shape.entry_size);
  // Leaves keep the pointer after their last key free (zero).
  size_t slots = interior ? count : count + 1;
  if (kMdxPageHead + slots * entry > size_t(shape.page_size))
    throw EDevazozError("Index page of " + std::to_string(count) + " entries does not fit");
  page.Fill(0, size_t(shape.page_size), 0);
  uint32_t stored = uint32_t(interior ? (count ? count - 1 : 0) : count);
  page.PutU32LE(0, stored);
  page.PutU32LE(4, link);
  for (size_t i = 0; i < count; ++i) {
    const NodeEntry& e = node.entries[first + i];
    size_t at = kMdxPageHead + i * entry;
    uint32_t pointer = interior ? uint32_t(e.pointer) / kMdxBlockSize : uint32_t(e.pointer);
    page.PutU32LE(at, pointer);
    if (!interior || i + 1 < count)
      PutMdxKey(page, at + 4, shape, node.pool.data() + e.offset, e.length);
  }
}

}  // namespace devazoz
