#include "engine/index/gs6_cdxnode.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/index/gs6_keybytes.h"

namespace devazoz {

namespace {

// General-collation weights end in bytes whose high nibble is cleared on disk.
void ClearTrailingHighNibbles(uint8_t* bytes, uint32_t from, uint32_t to) {
  for (uint32_t i = to; i > from && bytes[i - 1] >= 0xF0; --i) bytes[i - 1] &= 0x0F;
}

void RestoreTrailingHighNibbles(uint8_t* bytes, uint32_t length) {
  for (uint32_t i = length; i > 1 && bytes[i - 1] < 0x10; --i) bytes[i - 1] |= 0xF0;
}

uint32_t TrimmedLength(const uint8_t* bytes, uint32_t length, uint8_t pad) {
  while (length > 0 && bytes[length - 1] == pad) --length;
  return length;
}

void AppendEntry(NodeData& out, const uint8_t* key, uint32_t length, int32_t record,
                 int32_t pointer) {
  NodeEntry e{uint32_t(out.pool.size()), uint16_t(length), record, pointer};
  out.pool.insert(out.pool.end(), key, key + length);
  out.entries.push_back(e);
}

uint64_t MaskOf(unsigned bits) { return bits >= 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1; }

}  // namespace

int EncodeCdxNumber(double value, uint8_t out[8]) {
  if (value == 0) value = 0;  // -0 keys as 0
  uint64_t bits = std::bit_cast<uint64_t>(value);
  bool negative = (bits >> 63) != 0;
  if (negative)
    bits = ~bits;
  else
    bits |= uint64_t(1) << 63;
  for (int i = 0; i < 8; ++i) out[i] = uint8_t(bits >> (56 - 8 * i));
  // Only zero bytes are dropped: a key that is a prefix of another sorts first,
  // which is right for missing zeros and wrong for missing 0xFF bytes.
  int n = 8;
  while (n > 0 && out[n - 1] == 0) --n;
  return n;
}

double DecodeCdxNumber(const uint8_t* bytes, uint32_t length) {
  if (length == 0) return 0;
  bool negative = (bytes[0] & 0x80) == 0;
  uint64_t bits = 0;
  for (uint32_t i = 0; i < 8; ++i) {
    uint8_t b = i < length ? bytes[i] : 0x00;
    bits = (bits << 8) | b;
  }
  if (negative)
    bits = ~bits;
  else
    bits &= ~(uint64_t(1) << 63);
  return std::bit_cast<double>(bits);
}

uint32_t SharedPrefix(const uint8_t* a, uint32_t a_length, const uint8_t* b, uint32_t b_length) {
  uint32_t n = std::min(a_length, b_length), i = 0;
  while (i + 8 <= n) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return i + uint32_t(std::countr_zero(x ^ y) >> 3);
    i += 8;
  }
  if (i < n && n >= 8) {
    // The last eight bytes, overlapping those found equal.
    uint64_t x, y;
    std::memcpy(&x, a + n - 8, 8);
    std::memcpy(&y, b + n - 8, 8);
    return x == y ? n : n - 8 + uint32_t(std::countr_zero(x ^ y) >> 3);
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

LeafParams CdxLeafParams(int key_length, int64_t bound, bool incremental, bool empty_root) {
  LeafParams p;
  unsigned n = unsigned(std::bit_width(unsigned(std::max(key_length, 1))));
  p.dup_bits = p.trail_bits = uint8_t(n);
  p.dup_mask = p.trail_mask = uint8_t(MaskOf(n));
  p.bytes_per_entry = 3;
  unsigned record_bits = 24 - 2 * n;
  uint64_t mask = MaskOf(record_bits);
  if (!empty_root) {
    while (int64_t(mask) < bound && record_bits < 32) {
      p.bytes_per_entry += 1;
      if (incremental && (mask & 0x800000)) {
        // Growing past a mask with bit 23 set gives the 31-bit field at once.
        record_bits = 31;
        mask = 0x7FFFFFFF;
        break;
      }
      record_bits += 8;
      mask = mask * 256 + 255;
    }
    if (record_bits > 32) {
      record_bits = 32;
      mask = 0xFFFFFFFF;
    }
  }
  p.record_bits = uint8_t(record_bits);
  p.record_mask = uint32_t(mask);
  p.free_bytes = kCdxKeyArea;
  return p;
}

void PutCdxNodeHead(ByteSpan block, uint16_t attributes, uint16_t count, int32_t left,
                    int32_t right) {
  block.PutU16LE(0, attributes);
  block.PutU16LE(2, count);
  block.PutI32LE(4, left);
  block.PutI32LE(8, right);
}

namespace {

// The entries of an interior node of count keys.
bool DecodeCdxInterior(ByteView block, const CdxKeyShape& shape, uint32_t count, NodeData& out,
                       std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  const uint32_t L = uint32_t(shape.key_length);
  uint8_t buf[256];
  uint32_t entry = L + 8;
  uint32_t max = uint32_t(kCdxInteriorArea) / entry;
  if (count > max)
    return fail("interior node holds " + std::to_string(count) + " keys, at most " +
                std::to_string(max) + " fit");
  out.entries.reserve(count);
  out.pool.reserve(count * L);
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = size_t(kCdxNodeHead) + i * entry;
    block.CopyTo(at, buf, L);
    uint32_t len;
    if (shape.text) {
      if (shape.general) RestoreTrailingHighNibbles(buf, L);
      len = TrimmedLength(buf, L, ' ');
    } else {
      len = TrimmedLength(buf, L, 0);
    }
    AppendEntry(out, buf, len, int32_t(block.U32BE(at + L)), int32_t(block.U32BE(at + L + 4)));
  }
  return true;
}

// The parameters of a leaf of count keys, checked.
bool CheckLeafParams(ByteView block, const CdxKeyShape& shape, uint32_t count, LeafParams& p,
                     std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  const uint32_t L = uint32_t(shape.key_length);
  if (L < 1 || L > uint32_t(kMaxIndexKeyLength)) return fail("key length out of range");
  p.free_bytes = block.U16LE(12);
  p.record_mask = block.U32LE(14);
  p.dup_mask = block.U8(18);
  p.trail_mask = block.U8(19);
  p.record_bits = block.U8(20);
  p.dup_bits = block.U8(21);
  p.trail_bits = block.U8(22);
  p.bytes_per_entry = block.U8(23);
  const uint32_t width = p.bytes_per_entry;
  if (width < 2 || width > 8) return fail("leaf entries of " + std::to_string(width) + " bytes");
  if (p.dup_bits > 8 || p.trail_bits > 8 || p.record_bits > 32 || p.dup_bits + p.trail_bits > 16 ||
      uint32_t(p.record_bits) + p.dup_bits + p.trail_bits > 8 * width ||
      p.record_bits > 8 * std::min<uint32_t>(width, 4))
    return fail("leaf bit counts " + std::to_string(p.record_bits) + "/" +
                std::to_string(p.dup_bits) + "/" + std::to_string(p.trail_bits) +
                " do not fit entries of " + std::to_string(width) + " bytes");
  if (p.dup_mask != MaskOf(p.dup_bits) || p.trail_mask != MaskOf(p.trail_bits) ||
      p.record_mask != uint32_t(MaskOf(p.record_bits)))
    return fail("leaf masks disagree with their bit counts");
  if (count * width > uint32_t(kCdxKeyArea))
    return fail("leaf holds " + std::to_string(count) + " keys of " + std::to_string(width) +
                " bytes, more than fit");
  return true;
}

// Reads the leaf entries of a key area one after the other, each key rebuilt in
// a buffer from the bytes it shares with the one before and its own text.
class LeafReader {
 public:
  // REQUIRES: area is the checked 488-byte key area of a leaf whose parameters
  // and count passed CheckLeafParams.
  LeafReader(const uint8_t* area, const LeafParams& p, const CdxKeyShape& shape, uint32_t count)
      : area_(area),
        p_(p),
        L_(uint32_t(shape.key_length)),
        width_(p.bytes_per_entry),
        entries_end_(count * width_),
        trail_shift_(16 - p.trail_bits),
        dup_shift_(16 - p.trail_bits - p.dup_bits),
        pad_(shape.text ? ' ' : 0),
        text_(shape.text),
        general_(shape.general) {}

  // Reads entry i (entries are read in order); false with *error when its
  // counts or text do not fit. Every read stays inside the area: the entries
  // end at count * width, and each text is checked against the room between
  // the entries and the texts read before it.
  bool Next(uint32_t i, std::string* error) {
    const uint8_t* e = area_ + size_t(i) * width_;
    uint32_t w = uint32_t(e[width_ - 2]) | uint32_t(e[width_ - 1]) << 8;
    uint32_t trail = (w >> trail_shift_) & p_.trail_mask;
    dup_ = (w >> dup_shift_) & p_.dup_mask;
    // An entry of two bytes ends the area when the leaf is full: no third byte.
    uint32_t record = uint32_t(e[0]) | uint32_t(e[1]) << 8;
    if (width_ >= 3) record |= uint32_t(e[2]) << 16;
    if (width_ >= 4) record |= uint32_t(e[3]) << 24;
    record_ = int32_t(record & p_.record_mask);
    if (dup_ > L_ || trail > L_ || dup_ + trail > L_) {
      if (error)
        *error = "leaf key " + std::to_string(i) + " has duplicate count " + std::to_string(dup_) +
                 " and trailing count " + std::to_string(trail) + " for keys of " +
                 std::to_string(L_) + " bytes";
      return false;
    }
    uint32_t stored = L_ - dup_ - trail;
    if (text_pos_ < entries_end_ + stored) {
      if (error) *error = "leaf key " + std::to_string(i) + " text lies outside the key area";
      return false;
    }
    text_pos_ -= stored;
    // Bytes the previous key did not have read as padding.
    if (dup_ > last_len_) std::memset(buf_ + last_len_, pad_, dup_ - last_len_);
    std::memcpy(buf_ + dup_, area_ + text_pos_, stored);
    uint32_t len = L_ - trail;
    last_len_ = len;
    if (text_ && general_) RestoreTrailingHighNibbles(buf_, len);
    length_ = text_ ? TrimmedLength(buf_, len, ' ') : len;
    return true;
  }
  const uint8_t* Key() const { return buf_; }
  uint32_t Length() const { return length_; }
  int32_t Record() const { return record_; }
  // Bytes this key shares with the one before (as stored).
  uint32_t Shared() const { return dup_; }

 private:
  const uint8_t* area_;
  const LeafParams& p_;
  const uint32_t L_, width_, entries_end_;
  const unsigned trail_shift_, dup_shift_;
  const uint8_t pad_;
  const bool text_, general_;
  uint32_t text_pos_ = kCdxKeyArea;
  uint32_t last_len_ = 0;  // of the previous key; the buffer is padding beyond it
  uint32_t dup_ = 0, length_ = 0;
  int32_t record_ = 0;
  uint8_t buf_[256];
};

// The parameters and entries of a leaf of count keys.
bool DecodeCdxLeaf(ByteView block, const CdxKeyShape& shape, uint32_t count, NodeData& out,
                   std::string* error) {
  if (!CheckLeafParams(block, shape, count, out.params, error)) return false;
  const uint32_t L = uint32_t(shape.key_length);
  LeafReader reader(block.Sub(kCdxLeafHead, kCdxKeyArea).data(), out.params, shape, count);
  out.entries.resize(count);
  out.pool.resize(size_t(count) * L);
  uint8_t* pool = out.pool.data();
  uint32_t pool_used = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (!reader.Next(i, error)) return false;
    uint32_t kept = reader.Length();
    std::memcpy(pool + pool_used, reader.Key(), kept);
    out.entries[i] = NodeEntry{pool_used, uint16_t(kept), reader.Record(), reader.Record()};
    pool_used += kept;
  }
  out.pool.resize(pool_used);
  return true;
}

}  // namespace

bool DecodeCdxNode(ByteView block, const CdxKeyShape& shape, NodeData& out, std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  if (block.size() < size_t(kCdxBlockSize)) return fail("node block is short");
  const uint32_t L = uint32_t(shape.key_length);
  if (L < 1 || L > uint32_t(kMaxIndexKeyLength)) return fail("key length out of range");
  uint16_t attributes = block.U16LE(0);
  uint32_t count = block.U16LE(2);
  out.entries.clear();
  out.pool.clear();
  out.left = block.I32LE(4);
  out.right = block.I32LE(8);
  out.leaf = attributes >= 2;
  out.params = LeafParams();
  return out.leaf ? DecodeCdxLeaf(block, shape, count, out, error)
                  : DecodeCdxInterior(block, shape, count, out, error);
}

bool CheckCdxLeafHead(ByteView block, const CdxKeyShape& shape, LeafParams& params, uint32_t* count,
                      std::string* error) {
  if (block.size() < size_t(kCdxBlockSize) || block.U16LE(0) < 2) {
    if (error) *error = "no leaf";
    return false;
  }
  *count = block.U16LE(2);
  return CheckLeafParams(block, shape, *count, params, error);
}

bool SearchCdxLeaf(ByteView block, const CdxKeyShape& shape, const uint8_t* key, uint32_t length,
                   int mode, int32_t record, CdxLeafHit& hit) {
  LeafParams p;
  uint32_t count = 0;
  if (shape.general || !CheckCdxLeafHead(block, shape, p, &count, nullptr)) return false;
  return SearchCheckedCdxLeaf(block, shape, p, count, key, length, mode, record, hit);
}

namespace {

// Entry index of a leaf rebuilt by reading the entries before it: for the rare
// stop where the search did not keep the bytes it shares with earlier keys.
bool ReadLeafEntry(ByteView block, const LeafParams& p, const CdxKeyShape& shape, uint32_t count,
                   uint32_t index, CdxLeafHit& hit) {
  LeafReader reader(block.Sub(kCdxLeafHead, kCdxKeyArea).data(), p, shape, count);
  for (uint32_t i = 0; i <= index; ++i)
    if (!reader.Next(i, nullptr)) return false;
  hit.length = std::min<uint32_t>(reader.Length(), kMaxIndexKeyLength);
  std::memcpy(hit.key, reader.Key(), hit.length);
  return true;
}

}  // namespace

// The search never rebuilds a key. It keeps how many leading bytes the search
// key shares with the previous entry (matched). An entry that repeats more of
// the previous key than that meets the search key the same way; otherwise it
// shares its repeated bytes with the search key, and only its own text is
// compared. Entries the decoded form would read differently take the decoded
// way (false): a text key ending in blanks (trimmed on decoding) and a key
// repeating bytes its predecessor did not have (read as padding).
template <bool kText, uint32_t kWidth>
bool SearchLeafEntries(ByteView block, const LeafParams& p, uint32_t L, uint32_t width,
                       uint32_t count, const uint8_t* key, uint32_t length, int prefix_result,
                       int32_t record, CdxLeafHit& hit) {
  if (kWidth) width = kWidth;
  const uint8_t* area = block.data() + kCdxLeafHead;
  const uint32_t entries_end = count * width;
  const unsigned trail_shift = 16u - p.trail_bits;
  const unsigned dup_shift = 16u - p.trail_bits - p.dup_bits;
  const uint32_t trail_mask = p.trail_mask, dup_mask = p.dup_mask;
  uint32_t text_pos = kCdxKeyArea;
  uint32_t matched = 0;   // bytes the search key shares with the previous entry
  uint32_t prev_len = 0;  // the previous entry's length
  for (uint32_t i = 0;; ++i) {
    const uint8_t* e = area + size_t(i) * width;
    const uint32_t w = uint32_t(e[width - 2]) | uint32_t(e[width - 1]) << 8;
    const uint32_t trail = (w >> trail_shift) & trail_mask;
    const uint32_t dup = (w >> dup_shift) & dup_mask;
    const uint32_t len = L - trail, stored = len - dup;
    // Unsigned: a count beyond the key length wraps and fails the same tests.
    if (trail > L || dup > len || dup > prev_len || text_pos < entries_end + stored) return false;
    text_pos -= stored;
    const uint8_t* text = area + text_pos;
    // The last byte: its own, or the previous key's when it repeats it whole.
    if (kText && len > 0 && (stored > 0 ? text[stored - 1] == ' ' : len != prev_len)) return false;
    uint32_t shared;
    int sign;
    if (dup > matched) {
      // Where both go on past the shared bytes, the previous entry came before
      // the search key there (else the search had stopped), and so does this one.
      shared = matched;
      sign = 1;
    } else {
      const uint32_t both = std::min(length, len);
      shared = dup + SharedPrefix(key + dup, both - dup, text, both - dup);
      sign = shared < both ? (key[shared] < text[shared - dup] ? -1 : 1) : 0;
    }
    int r;
    if (shared < length && shared < len)
      r = sign;
    else if (length == 0 || len == 0)
      r = length == len ? 0 : (length == 0 ? -1 : 1);
    else
      r = length == len ? 0 : (length < len ? prefix_result : 1);
    const bool last = i + 1 == count;
    if (r > 0 && !last) {
      matched = shared;
      prev_len = len;
      continue;
    }
    uint32_t number = uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16;
    if (width >= 4) number |= uint32_t(e[3]) << 24;
    const int32_t entry_record = int32_t(number & p.record_mask);
    if (r == 0 && record == 0x7FFFFFFF)
      r = 1;
    else if (r == 0 && record != -1)
      r = entry_record < record ? 1 : (entry_record > record ? -1 : 0);
    if (r > 0 && !last) {
      matched = shared;
      prev_len = len;
      continue;
    }
    hit.result = r;
    hit.index = i;
    hit.record = entry_record;
    if (dup > shared)
      return ReadLeafEntry(block, p, CdxKeyShape{int(L), kText, false}, count, i, hit);
    // The key's first bytes are the search key's, the rest its own text.
    hit.length = len;
    if (dup) std::memcpy(hit.key, key, dup);
    if (stored) std::memcpy(hit.key + dup, text, stored);
    return true;
  }
}

bool SearchCheckedCdxLeaf(ByteView block, const CdxKeyShape& shape, const LeafParams& p,
                          uint32_t count, const uint8_t* key, uint32_t length, int mode,
                          int32_t record, CdxLeafHit& hit) {
  if (shape.general || count == 0 || block.size() < size_t(kCdxBlockSize)) return false;
  const uint32_t L = uint32_t(shape.key_length);
  const uint32_t width = p.bytes_per_entry;
  // CheckLeafParams holds these; a caller with parameters of its own is checked.
  if (L < 1 || L > uint32_t(kMaxIndexKeyLength) || width < 3 || width > 8 ||
      count * width > uint32_t(kCdxKeyArea) || p.dup_bits + p.trail_bits > 16)
    return false;
  const int prefix = shape.text ? (mode < 0 ? -1 : (mode > 0 ? 1 : 0)) : -1;
  if (shape.text) {
    if (width == 4)
      return SearchLeafEntries<true, 4>(block, p, L, width, count, key, length, prefix, record,
                                        hit);
    if (width == 3)
      return SearchLeafEntries<true, 3>(block, p, L, width, count, key, length, prefix, record,
                                        hit);
    return SearchLeafEntries<true, 0>(block, p, L, width, count, key, length, prefix, record, hit);
  }
  return SearchLeafEntries<false, 0>(block, p, L, width, count, key, length, prefix, record, hit);
}

void CdxLeafWriter::Begin(ByteSpan block, const LeafParams& params, const CdxKeyShape& shape) {
  block.Check(0, kCdxBlockSize);
  block_ = block;
  params_ = params;
  shape_ = shape;
  count_ = 0;
  free_ = kCdxKeyArea;
  text_pos_ = kCdxKeyArea;
  prev_length_ = 0;
  block_.Fill(kCdxLeafHead, kCdxKeyArea, 0);
  block_.PutU16LE(12, uint16_t(free_));
  block_.PutU32LE(14, params.record_mask);
  block_.PutU8(18, params.dup_mask);
  block_.PutU8(19, params.trail_mask);
  block_.PutU8(20, params.record_bits);
  block_.PutU8(21, params.dup_bits);
  block_.PutU8(22, params.trail_bits);
  block_.PutU8(23, params.bytes_per_entry);
}

int CdxLeafWriter::Cost(const uint8_t* key, uint32_t length) const {
  length = std::min<uint32_t>(length, uint32_t(shape_.key_length));
  uint32_t dup = count_ ? SharedPrefix(prev_, prev_length_, key, length) : 0;
  return int(length - dup) + params_.bytes_per_entry;
}

bool CdxLeafWriter::Add(const uint8_t* key, uint32_t length, uint32_t record) {
  uint32_t shared = 0;
  if (count_)
    shared = SharedPrefix(prev_, prev_length_, key,
                          std::min<uint32_t>(length, uint32_t(shape_.key_length)));
  return AddShared(key, length, record, shared);
}

bool CdxLeafWriter::AddShared(const uint8_t* key, uint32_t length, uint32_t record,
                              uint32_t shared) {
  const uint32_t L = uint32_t(shape_.key_length);
  length = std::min(length, L);
  const uint32_t width = params_.bytes_per_entry;
  uint32_t dup = count_ ? std::min<uint32_t>(std::min(shared, length), params_.dup_mask) : 0;
  uint32_t trail = L - length;
  if (trail > params_.trail_mask) return false;
  uint32_t stored = length - dup;
  int need = int(stored + width);
  if (need > free_ || record > params_.record_mask) return false;
  free_ -= need;
  // Begin checked the block; the free count keeps the entries (from the start
  // of the key area) and the texts (from its end) apart and inside it.
  uint8_t* area = block_.mutable_data() + kCdxLeafHead;
  // The entry as one little-endian number: the record in the low bits, the
  // duplicate and trailing counts at the top of its last two bytes.
  uint32_t counts =
      (trail << (16 - params_.trail_bits)) | (dup << (16 - params_.trail_bits - params_.dup_bits));
  uint64_t entry = uint64_t(record) | (uint64_t(counts) << (8 * (width - 2)));
  uint8_t* at = area + size_t(count_) * width;
  if (width == 4) {
    uint32_t le = uint32_t(entry);
    if constexpr (std::endian::native == std::endian::big) le = __builtin_bswap32(le);
    std::memcpy(at, &le, 4);
  } else {
    for (uint32_t i = 0; i < width; ++i) at[i] = uint8_t(entry >> (8 * i));
  }
  text_pos_ -= int(stored);
  CopyKeyBytes(area + text_pos_, key + dup, stored);
  if (shape_.general && shape_.text) ClearTrailingHighNibbles(area + text_pos_, 0, stored);
  // The previous key's first dup bytes are this key's already.
  if (length > dup) CopyKeyBytes(prev_ + dup, key + dup, length - dup);
  prev_length_ = length;
  ++count_;
  block_.PutU16LE(12, uint16_t(free_));
  return true;
}

void CdxLeafWriter::Finish(uint16_t attributes, int32_t left, int32_t right) {
  PutCdxNodeHead(block_, attributes, uint16_t(count_), left, right);
  block_.PutU16LE(12, uint16_t(free_));
}

void PackCdxInterior(ByteSpan block, const NodeData& node, size_t first, size_t count,
                     const CdxKeyShape& shape, bool blank_fill) {
  const uint32_t L = uint32_t(shape.key_length);
  const uint32_t entry = L + 8;
  const uint8_t fill = shape.text ? ' ' : 0;
  block.Fill(kCdxNodeHead, kCdxInteriorArea, blank_fill ? fill : 0);
  for (size_t i = 0; i < count; ++i) {
    const NodeEntry& e = node.entries[first + i];
    size_t at = size_t(kCdxNodeHead) + i * entry;
    uint32_t len = std::min<uint32_t>(e.length, L);
    if (!blank_fill) block.Fill(at, L, fill);
    block.PutBytes(at, node.pool.data() + e.offset, len);
    if (shape.general && shape.text) ClearTrailingHighNibbles(block.mutable_data() + at, 0, len);
    block.PutU32BE(at + L, uint32_t(e.record));
    block.PutU32BE(at + L + 4, uint32_t(e.pointer));
  }
}

}  // namespace devazoz
