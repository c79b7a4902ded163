#include "engine/index/gs6_sort.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/foundation/gs6_eror.h"

namespace devazoz {

namespace {

constexpr uint8_t kCodeBytes = 0x10;
constexpr uint8_t kCodeText = 0x20;
constexpr uint8_t kCodeNumber = 0x30;
constexpr uint8_t kCodeDate = 0x40;

}  // namespace

// First, simple version: every key in one vector, sorted once.
struct TgsSort::Impl {
  struct Entry {
    uint8_t code;
    std::string raw;
    std::string key;
    uint32_t recno;
  };
  int max_len = 0;
  bool has_map = false;
  uint8_t map[256] = {};
  bool ascending = true;
  bool unique = false;
  bool adding = true;
  size_t work_bytes = kDefaultWorkBytes;
  std::vector<Entry> entries;
  size_t next = 0;
  size_t peak = 0;
};

TgsSort::TgsSort(int max_key_length, const uint8_t* collation_map, bool ascending, bool unique)
    : TgsSort(max_key_length, collation_map, ascending, unique, kDefaultWorkBytes) {}

TgsSort::TgsSort(int max_key_length, const uint8_t* collation_map, bool ascending, bool unique,
                 size_t work_bytes)
    : impl_(new Impl) {
  if (max_key_length > kMaxSortKeyLength)
    throw EDevazozError("Sort key length greater than 240 bytes");
  impl_->max_len = max_key_length;
  if (collation_map) {
    impl_->has_map = true;
    std::memcpy(impl_->map, collation_map, 256);
  }
  impl_->ascending = ascending;
  impl_->unique = unique;
  impl_->work_bytes = std::max<size_t>(work_bytes, 1024);
}

TgsSort::~TgsSort() = default;

void TgsSort::AddKey(const TgsVariant& value, int32_t record_number) {
  Impl& s = *impl_;
  if (!s.adding) throw EDevazozError("Cannot add sort keys after beginning retrieval");
  Impl::Entry e;
  const uint8_t* d = value.Data();
  uint32_t n = value.Length();
  switch (value.Type()) {
    case VariantType::Text:
      e.code = kCodeText;
      break;
    case VariantType::Bytes:
      e.code = kCodeBytes;
      break;
    case VariantType::Number:
      e.code = kCodeNumber;
      break;
    case VariantType::Date:
      e.code = kCodeDate;
      break;
    default:
      throw EDevazozError("Variant type cannot be sorted");
  }
  if (int64_t(n) > s.max_len) throw EDevazozError("Sort key length greater than 240 bytes");
  if (e.code == kCodeText) {
    while (n > 0 && d[n - 1] == ' ') --n;
    e.raw.assign(reinterpret_cast<const char*>(d), n);
    e.key = e.raw;
    if (s.has_map)
      for (auto& c : e.key) c = char(s.map[uint8_t(c)]);
  } else if (e.code == kCodeBytes) {
    e.raw.assign(reinterpret_cast<const char*>(d), n);
    e.key = e.raw;
  } else if (e.code == kCodeNumber) {
    double v = value.AsNumber();
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
    for (int i = 0; i < 8; ++i) e.raw.push_back(char(bits >> (56 - 8 * i)));
    e.key = e.raw;
  } else {
    uint32_t day = uint32_t(value.AsDate()) ^ 0x80000000u;
    for (int i = 0; i < 4; ++i) e.raw.push_back(char(day >> (24 - 8 * i)));
    e.key = e.raw;
  }
  e.recno = uint32_t(record_number);
  s.peak += sizeof(Impl::Entry) + e.raw.size() + e.key.size();
  s.entries.push_back(std::move(e));
}

bool TgsSort::NextKey(TgsVariant& value, int32_t& record_number) {
  Impl& s = *impl_;
  auto key_less = [](const Impl::Entry& a, const Impl::Entry& b) {
    if (a.code != b.code) return a.code < b.code;
    return a.key < b.key;
  };
  auto same_key = [](const Impl::Entry& a, const Impl::Entry& b) {
    return a.code == b.code && a.key == b.key;
  };
  if (s.adding) {
    s.adding = false;
    std::stable_sort(s.entries.begin(), s.entries.end(),
                     [&](const Impl::Entry& a, const Impl::Entry& b) {
                       if (key_less(a, b)) return true;
                       if (key_less(b, a)) return false;
                       return a.recno < b.recno;
                     });
    if (s.unique) {
      std::vector<Impl::Entry> kept;
      for (auto& e : s.entries)
        if (kept.empty() || !same_key(kept.back(), e)) kept.push_back(std::move(e));
      s.entries = std::move(kept);
    }
    if (!s.ascending) {
      // Reverse while keeping equal (key, record) pairs in insertion order.
      std::stable_sort(s.entries.begin(), s.entries.end(),
                       [&](const Impl::Entry& a, const Impl::Entry& b) {
                         if (key_less(b, a)) return true;
                         if (key_less(a, b)) return false;
                         return a.recno > b.recno;
                       });
    }
  }
  if (s.next >= s.entries.size()) return false;
  const Impl::Entry& e = s.entries[s.next++];
  record_number = int32_t(e.recno);
  const auto* r = reinterpret_cast<const uint8_t*>(e.raw.data());
  switch (e.code) {
    case kCodeText:
      value.SetText(e.raw);
      break;
    case kCodeBytes:
      value.SetBytes(r, uint32_t(e.raw.size()));
      break;
    case kCodeNumber: {
      uint64_t bits = 0;
      for (int i = 0; i < 8; ++i) bits = bits << 8 | r[i];
      bits = (bits >> 63) ? bits & ~(uint64_t(1) << 63) : ~bits;
      double v;
      std::memcpy(&v, &bits, 8);
      value.SetNumber(v);
      break;
    }
    default: {
      uint32_t day = 0;
      for (int i = 0; i < 4; ++i) day = day << 8 | r[i];
      value.SetDate(int32_t(day ^ 0x80000000u));
      break;
    }
  }
  return true;
}

uint32_t TgsSort::KeyCount() const { return uint32_t(impl_->entries.size()); }
size_t TgsSort::RunCount() const { return 0; }
size_t TgsSort::PeakMemory() const { return impl_->peak; }
size_t TgsSort::WorkBytes() const { return impl_->work_bytes; }
int TgsSort::MaxKeyLength() const { return impl_->max_len; }
bool TgsSort::Ascending() const { return impl_->ascending; }
bool TgsSort::Unique() const { return impl_->unique; }

}  // namespace devazoz
