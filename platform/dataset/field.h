// Field objects and field definitions of the data-access framework.
//
// A dataset gets its field definitions (TFieldDefs) from the table when it opens.
// Its field objects (TField and the typed descendants below) are either
// persistent, created before open (AddField) and kept across open and close, or
// default, created from the definitions at open and destroyed at close. At open
// every data field is bound to the definition of its FieldName; a name the table
// lacks raises "Field '%s' not found".
//
// Values travel through the dataset's GetFieldData/SetFieldData in each type's
// native buffer form (DataSize bytes):
//   string    Size + 1 bytes of text, NUL-terminated, in the table's character set
//   smallint  int16       integer  int32       boolean  uint16 (0 false, 1 true)
//   float     double      date     int32 days, 1 January of year 1 = day 1
//   date-time double milliseconds from the start of day 0 of that count
//   memo, blob  no buffer: the contents travel through the dataset's blob stream
// A string field with Transliterate set is translated by the dataset's Translate
// (table set to interface set on reading, back on writing).
#ifndef PLATFORM_DATASET_FIELD_H_
#define PLATFORM_DATASET_FIELD_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dataset/dbtypes.h"

namespace platform {

class TDataSet;
class TField;
class TStream;

using TFieldNotifyEvent = std::function<void(TField& sender)>;

struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;
  int FieldNo = 0;  // 1-based
  bool Required = false;
};

class TFieldDefs {
 public:
  void Clear() { items_.clear(); }
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  int Count() const { return int(items_.size()); }
  const TFieldDef& Items(int i) const { return items_.at(size_t(i)); }
  // -1 when absent; names compare without regard to case.
  int IndexOf(const std::string& name) const;
  // Raises "Field '%s' not found".
  const TFieldDef& Find(const std::string& name) const;

 private:
  std::vector<TFieldDef> items_;
};

class TField {
 public:
  explicit TField(TFieldType type);
  virtual ~TField();
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  // Identity and presentation.
  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(const std::string& name);
  // The label shown in grid titles and dialogs; FieldName until one is set.
  const std::string& DisplayLabel() const {
    return display_label_.empty() ? field_name_ : display_label_;
  }
  void SetDisplayLabel(const std::string& label);
  // Width in characters that a grid column gets; by type until one is set.
  int DisplayWidth() const;
  void SetDisplayWidth(int width);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }
  int Size() const { return size_; }
  void SetSize(int size);
  TFieldType DataType() const { return data_type_; }
  TFieldKind FieldKind() const { return field_kind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return field_kind_ == TFieldKind::fkCalculated; }
  // Number of the table field (1-based); 0 for calculated fields or while unbound.
  int FieldNo() const { return field_no_; }
  // Position in the dataset's field list.
  int Index() const { return index_; }
  TDataSet* DataSet() const { return dataset_; }
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool on) { transliterate_ = on; }
  bool IsBlob() const {
    return data_type_ == TFieldType::ftMemo || data_type_ == TFieldType::ftBlob;
  }
  // Bytes of the native buffer form (0 for blobs).
  virtual int DataSize() const;
  // Offset of a calculated field's value in the calculated-fields part of a
  // record buffer (its null byte comes first).
  int Offset() const { return offset_; }

  // Values. Reading a closed dataset's field raises "Cannot perform this
  // operation on a closed dataset"; conversions that cannot be made raise
  // EDatabaseError naming the field.
  bool IsNull();
  virtual std::string AsString();
  virtual void SetAsString(const std::string& value);
  virtual int32_t AsInteger();
  virtual void SetAsInteger(int32_t value);
  virtual double AsFloat();
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean();
  virtual void SetAsBoolean(bool value);
  virtual TDateTime AsDateTime();
  virtual void SetAsDateTime(TDateTime value);
  virtual TVariant Value();
  virtual void SetValue(const TVariant& value);
  // The text a control shows for the value (AsString unless a type formats it).
  virtual std::string DisplayText() { return AsString(); }
  void Clear();
  // The value as it was before the record was edited, and the new value.
  TVariant OldValue();
  TVariant NewValue();
  void FocusControl();

  // The raw value in the native buffer form; false when the field is null.
  bool GetData(void* buffer);
  // null buffer: set the field to null.
  void SetData(const void* buffer);

  // Called by the dataset: before a value is stored, and after it changed.
  virtual void Validate(const void* buffer);
  virtual void Change();

  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;

 protected:
  [[noreturn]] void ConversionError(const std::string& type_name);
  [[noreturn]] void AccessError(const std::string& value_type);
  void CheckInactive(const char* what);

  TFieldType data_type_;
  int size_ = 0;

 private:
  friend class TDataSet;
  friend class TFields;
  std::string field_name_;
  std::string display_label_;
  int display_width_ = 0;  // 0: by type
  bool visible_ = true;
  bool read_only_ = false;
  bool required_ = false;
  bool transliterate_ = false;
  TFieldKind field_kind_ = TFieldKind::fkData;
  int field_no_ = 0;
  int index_ = -1;
  int offset_ = 0;
  TDataSet* dataset_ = nullptr;
};

class TStringField : public TField {
 public:
  explicit TStringField(int size = 20);
  int DataSize() const override { return size_ + 1; }
  std::string AsString() override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() override;
  void SetAsFloat(double value) override;
  bool AsBoolean() override;
  void SetAsBoolean(bool value) override;
  TDateTime AsDateTime() override;
  void SetAsDateTime(TDateTime value) override;
  TVariant Value() override;
  // The stored text without transliteration.
  std::string RawText();
};

class TIntegerField : public TField {
 public:
  TIntegerField();
  int DataSize() const override { return 4; }
  std::string AsString() override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() override { return AsInteger(); }
  void SetAsFloat(double value) override;
  TVariant Value() override;

 protected:
  explicit TIntegerField(TFieldType type);
  int32_t min_value_;
  int32_t max_value_;
};

class TSmallintField : public TIntegerField {
 public:
  TSmallintField();
  int DataSize() const override { return 2; }
};

class TFloatField : public TField {
 public:
  TFloatField();
  int DataSize() const override { return 8; }
  // The shortest text that reads back as the same double.
  std::string AsString() override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() override;
  void SetAsInteger(int32_t value) override { SetAsFloat(value); }
  double AsFloat() override;
  void SetAsFloat(double value) override;
  TVariant Value() override;
};

class TBooleanField : public TField {
 public:
  TBooleanField();
  int DataSize() const override { return 2; }
  // "True" / "False"; empty when null.
  std::string AsString() override;
  // Accepts True/False, T/F, Yes/No, Y/N in any case; empty text clears.
  void SetAsString(const std::string& value) override;
  bool AsBoolean() override;
  void SetAsBoolean(bool value) override;
  int32_t AsInteger() override { return AsBoolean() ? 1 : 0; }
  TVariant Value() override;
};

class TDateTimeField : public TField {
 public:
  TDateTimeField();
  int DataSize() const override { return 8; }
  // Short date format, then hh:nn:ss; empty when null.
  std::string AsString() override;
  void SetAsString(const std::string& value) override;
  TDateTime AsDateTime() override;
  void SetAsDateTime(TDateTime value) override;
  double AsFloat() override { return AsDateTime(); }
  void SetAsFloat(double value) override { SetAsDateTime(value); }
  TVariant Value() override;

 protected:
  explicit TDateTimeField(TFieldType type);
};

class TDateField : public TDateTimeField {
 public:
  TDateField();
  int DataSize() const override { return 4; }
  // The date in the short date format.
  std::string AsString() override;
  void SetAsString(const std::string& value) override;
  TDateTime AsDateTime() override;
  void SetAsDateTime(TDateTime value) override;
};

// Memo and blob contents go through the dataset's blob stream.
class TBlobField : public TField {
 public:
  TBlobField();
  std::string AsString() override;
  void SetAsString(const std::string& value) override;
  TVariant Value() override;
  std::string DisplayText() override;
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  int BlobSize();

 protected:
  explicit TBlobField(TFieldType type);
};

class TMemoField : public TBlobField {
 public:
  TMemoField();
  // Memo fields show their text in grids; blobs show "(BLOB)".
  std::string DisplayText() override { return AsString(); }
};

// The dataset's field objects in field order.
class TFields {
 public:
  int Count() const { return int(items_.size()); }
  TField* operator[](int i) const { return items_.at(size_t(i)); }
  TField* FindField(const std::string& name) const;
  // Raises "Field '%s' not found".
  TField* FieldByName(const std::string& name) const;
  // Index of the field, -1 when not listed.
  int IndexOf(const TField* field) const;

 private:
  friend class TDataSet;
  std::vector<TField*> items_;  // owned by the dataset
};

}  // namespace platform

#endif  // PLATFORM_DATASET_FIELD_H_
