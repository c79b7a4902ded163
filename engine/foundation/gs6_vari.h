// TgsVariant: a typed value (none, text, number, date, logical, byte string) in
// which keys, expression results and search values travel, with the engine's
// comparison rule.
#ifndef ENGINE_FOUNDATION_GS6_VARI_H_
#define ENGINE_FOUNDATION_GS6_VARI_H_

#include <cstdint>
#include <memory>
#include <string>

namespace devazoz {

enum class VariantType : uint8_t { None = 0, Text = 1, Number = 2, Date = 3, Logic = 4, Bytes = 5 };

class TgsVariant {
 public:
  explicit TgsVariant(uint16_t capacity = 0);
  TgsVariant(const TgsVariant&) = delete;
  TgsVariant& operator=(const TgsVariant&) = delete;

  void Clear();
  void SetLength(uint32_t n);
  bool Assign(const TgsVariant* other);

  void SetText(const std::string& text);
  void SetText(const void* bytes, uint32_t count);
  void SetTextZ(const char* text);
  void SetNumber(double value);
  void SetDate(int32_t day);
  void SetLogic(bool flag);
  void SetBytes(const void* bytes, uint32_t count);
  void Append(const void* bytes, uint32_t count);

  bool AsLogic() const;
  int32_t AsDate() const;
  double AsNumber() const;
  std::string AsText() const;
  // Writes the text and a NUL; buffer_size bounds it (the text is cut to fit).
  void AsTextZ(char* buffer, size_t buffer_size) const;
  // Copies at most count bytes of the value; returns the number copied.
  uint32_t CopyTo(void* buffer, uint32_t count) const;

  void UpperCase(const uint8_t* map);
  void PadTo(uint32_t n);
  void TrimRight();

  // -1, 0 or 1; position is the 1-based place of the first difference (texts).
  // mode is the result when this value is a proper prefix of the other text.
  int Compare(const TgsVariant* other, int& position, const uint8_t* map, int mode) const;

  VariantType Type() const { return type_; }
  uint32_t Length() const { return length_; }
  uint32_t Capacity() const { return capacity_; }
  const uint8_t* Data() const { return data_.get(); }
  uint8_t* MutableData() { return data_.get(); }
  bool Empty() const { return length_ == 0; }

 private:
  void SetRaw(const void* bytes, uint32_t count, VariantType type);
  bool PointsIntoData(const void* bytes) const;
  uint64_t FirstBytes(uint32_t count) const;

  std::unique_ptr<uint8_t[]> data_;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
  VariantType type_ = VariantType::None;
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_VARI_H_
