#include "engine/foundation/gs6_vari.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_glbl.h"
#include "platform/services/codepage.h"
#include "platform/services/exception.h"
#include "platform/services/numtext.h"

namespace devazoz {

TgsVariant::TgsVariant(uint16_t capacity) {
  if (capacity > 0) {
    data_.reset(new uint8_t[capacity]());
    capacity_ = capacity;
  }
}

void TgsVariant::Clear() {
  data_.reset();
  capacity_ = length_ = 0;
  type_ = VariantType::None;
}

void TgsVariant::SetLength(uint32_t n) {
  if (capacity_ < n) {
    std::unique_ptr<uint8_t[]> block(new uint8_t[n]());
    if (capacity_) std::memcpy(block.get(), data_.get(), capacity_);
    data_ = std::move(block);
    capacity_ = n;
    type_ = VariantType::None;
  }
  length_ = n;
}

bool TgsVariant::Assign(const TgsVariant* other) {
  if (!other) return false;
  if (other == this) return true;
  Clear();
  if (other->capacity_) {
    data_.reset(new uint8_t[other->capacity_]);
    std::memcpy(data_.get(), other->data_.get(), other->capacity_);
  }
  capacity_ = other->capacity_;
  length_ = other->length_;
  type_ = other->type_;
  return true;
}

bool TgsVariant::PointsIntoData(const void* bytes) const {
  auto* p = static_cast<const uint8_t*>(bytes);
  std::less<const uint8_t*> before;
  return data_ && !before(p, data_.get()) && before(p, data_.get() + capacity_);
}

void TgsVariant::SetRaw(const void* bytes, uint32_t count, VariantType type) {
  if (count && bytes && PointsIntoData(bytes)) {
    // The source is this value's own block, which SetLength may replace.
    std::vector<uint8_t> copy(static_cast<const uint8_t*>(bytes),
                              static_cast<const uint8_t*>(bytes) + count);
    SetRaw(copy.data(), count, type);
    return;
  }
  SetLength(count);
  if (count && bytes) std::memcpy(data_.get(), bytes, count);
  type_ = type;
}

void TgsVariant::SetText(const std::string& text) {
  SetRaw(text.data(), uint32_t(text.size()), VariantType::Text);
}
void TgsVariant::SetText(const void* bytes, uint32_t count) {
  SetRaw(bytes, count, VariantType::Text);
}
void TgsVariant::SetTextZ(const char* text) {
  SetRaw(text, text ? uint32_t(std::strlen(text)) : 0, VariantType::Text);
}
// Numbers and day numbers are held little-endian, as the readers decode them.
void TgsVariant::SetNumber(double value) {
  uint8_t bytes[8];
  ByteSpan(bytes, 8).PutF64LE(0, value);
  SetRaw(bytes, 8, VariantType::Number);
}
void TgsVariant::SetDate(int32_t day) {
  uint8_t bytes[4];
  ByteSpan(bytes, 4).PutI32LE(0, day);
  SetRaw(bytes, 4, VariantType::Date);
}
void TgsVariant::SetLogic(bool flag) {
  uint8_t b = flag ? 1 : 0;
  SetRaw(&b, 1, VariantType::Logic);
}
void TgsVariant::SetBytes(const void* bytes, uint32_t count) {
  SetRaw(bytes, count, VariantType::Bytes);
}

void TgsVariant::Append(const void* bytes, uint32_t count) {
  if (!bytes || count == 0 || count > UINT32_MAX - length_) return;
  if (PointsIntoData(bytes)) {
    std::vector<uint8_t> copy(static_cast<const uint8_t*>(bytes),
                              static_cast<const uint8_t*>(bytes) + count);
    Append(copy.data(), count);
    return;
  }
  uint32_t old = length_;
  SetLength(old + count);
  std::memcpy(data_.get() + old, bytes, count);
  type_ = VariantType::Bytes;
}

// The first count bytes as a little-endian value; bytes past the length count as zero.
uint64_t TgsVariant::FirstBytes(uint32_t count) const {
  uint32_t n = std::min(count, length_);
  return n ? ByteView(data_.get(), n).UIntLE(0, n) : 0;
}

bool TgsVariant::AsLogic() const {
  if (Empty()) return false;
  switch (type_) {
    case VariantType::Text:
      return IsTrueLetter(char(data_[0]));
    case VariantType::Number:
      return std::trunc(AsNumber()) != 0;
    case VariantType::Logic:
    case VariantType::Bytes:
      return data_[0] != 0;
    default:
      return false;
  }
}

int32_t TgsVariant::AsDate() const {
  if (Empty()) return 0;
  switch (type_) {
    case VariantType::Text:
      return DBFDate().StorageToDay(AsText());
    case VariantType::Number: {
      double v = std::trunc(AsNumber());
      if (!(v >= -2147483648.0 && v <= 2147483647.0)) return 0;
      return DBFDate().StorageToDay(DBFDate().DayToStorage(int32_t(v)));
    }
    case VariantType::Date:
    case VariantType::Bytes:
      return int32_t(uint32_t(FirstBytes(4)));
    default:
      return 0;
  }
}

double TgsVariant::AsNumber() const {
  if (Empty()) return 0;
  switch (type_) {
    case VariantType::Text: {
      std::string text = AsText();
      size_t first = text.find_first_not_of(' ');
      size_t last = text.find_last_not_of(' ');
      double value = 0;
      if (first == std::string::npos ||
          !platform::ParseDecimal(std::string_view(text).substr(first, last - first + 1), value))
        throw platform::EConvertError("'" + text + "' is not a valid floating point value");
      return value;
    }
    case VariantType::Number:
    case VariantType::Bytes:
      return std::bit_cast<double>(FirstBytes(8));
    case VariantType::Date:
      return AsDate();
    case VariantType::Logic:
      return data_[0] ? 1.0 : 0.0;
    default:
      return 0;
  }
}

std::string TgsVariant::AsText() const {
  if (Empty()) return std::string();
  switch (type_) {
    case VariantType::Text:
    case VariantType::Bytes:
      return std::string(reinterpret_cast<const char*>(data_.get()), length_);
    case VariantType::Number:
      return platform::DecimalText(AsNumber());
    case VariantType::Date:
      return DBFDate().DayToDisplay(AsDate());
    case VariantType::Logic: {
      const std::string& letters = data_[0] ? Settings().true_letters : Settings().false_letters;
      return std::string(1, letters.empty() ? (data_[0] ? 'T' : 'F') : letters[0]);
    }
    default:
      return std::string();
  }
}

void TgsVariant::AsTextZ(char* buffer, size_t buffer_size) const {
  if (!buffer || buffer_size == 0) return;
  std::string text = AsText();
  size_t n = std::min(text.size(), buffer_size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

uint32_t TgsVariant::CopyTo(void* buffer, uint32_t count) const {
  if (!buffer) return 0;
  uint32_t n = std::min(count, length_);
  if (n) std::memcpy(buffer, data_.get(), n);
  return n;
}

void TgsVariant::UpperCase(const uint8_t* map) {
  if (type_ != VariantType::Text) return;
  for (uint32_t i = 0; i < length_; ++i)
    data_[i] = map ? map[data_[i]] : platform::AnsiUpperChar(data_[i]);
}

void TgsVariant::PadTo(uint32_t n) {
  if (type_ != VariantType::Text || n <= length_) return;
  uint32_t old = length_;
  SetLength(n);
  std::memset(data_.get() + old, ' ', n - old);
  type_ = VariantType::Text;
}

void TgsVariant::TrimRight() {
  if (type_ != VariantType::Text) return;
  while (length_ > 0 && data_[length_ - 1] == ' ') --length_;
}

int TgsVariant::Compare(const TgsVariant* other, int& position, const uint8_t* map,
                        int mode) const {
  position = 0;
  if (!other) return 1;
  VariantType type;
  if (type_ == other->type_)
    type = type_;
  else if (type_ == VariantType::Bytes)
    type = other->type_;
  else if (other->type_ == VariantType::Bytes)
    type = type_;
  else
    throw EDevazozError("Variant types mismatch for compare");
  if (Empty() && other->Empty()) return 0;
  if (Empty()) return -1;
  if (other->Empty()) return 1;
  auto sign = [](auto v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
  switch (type) {
    case VariantType::Text:
    case VariantType::Bytes: {
      bool text = type == VariantType::Text;
      const uint8_t* mp = text ? map : nullptr;
      uint32_t n = std::min(length_, other->length_);
      for (uint32_t i = 0; i < n; ++i) {
        uint8_t a = mp ? mp[data_[i]] : data_[i];
        uint8_t b = mp ? mp[other->data_[i]] : other->data_[i];
        if (a != b) {
          position = int(i + 1);
          return a < b ? -1 : 1;
        }
      }
      position = int(n + 1);
      if (text && length_ < other->length_) return sign(mode);
      return sign(int64_t(length_) - int64_t(other->length_));
    }
    case VariantType::Number: {
      double a = AsNumber(), b = other->AsNumber();
      return a < b ? -1 : (a > b ? 1 : 0);
    }
    case VariantType::Date: {
      int32_t a = int32_t(uint32_t(FirstBytes(4))), b = int32_t(uint32_t(other->FirstBytes(4)));
      return sign(int64_t(a) - int64_t(b));
    }
    case VariantType::Logic:
      if (data_[0] == other->data_[0]) return 0;
      return data_[0] ? 1 : -1;
    default:
      return 0;
  }
}

}  // namespace devazoz
