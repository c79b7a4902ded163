#include "platform/dataset/field.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/dataset/dataset.h"
#include "platform/services/datetime.h"
#include "platform/services/numtext.h"

namespace platform {

namespace {

std::string Trim(const std::string& text) {
  size_t a = text.find_first_not_of(" \t");
  if (a == std::string::npos) return std::string();
  size_t b = text.find_last_not_of(" \t");
  return text.substr(a, b - a + 1);
}

bool ParseInt(const std::string& text, int64_t& value) {
  std::string t = Trim(text);
  const char* begin = t.data();
  if (!t.empty() && t[0] == '+') ++begin;
  auto result = std::from_chars(begin, t.data() + t.size(), value);
  return !t.empty() && result.ec == std::errc() && result.ptr == t.data() + t.size();
}

std::string ShortestDouble(double value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// "hh:nn[:ss]" after a date; false when the text is not a time.
bool ParseTime(const std::string& text, double& fraction) {
  int parts[3] = {0, 0, 0};
  int count = 0;
  size_t i = 0;
  while (i < text.size() && count < 3) {
    size_t j = text.find(':', i);
    if (j == std::string::npos) j = text.size();
    int64_t v = 0;
    if (!ParseInt(text.substr(i, j - i), v) || v < 0 || v > 99) return false;
    parts[count++] = int(v);
    i = j + 1;
    if (j == text.size()) break;
  }
  if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  fraction = (parts[0] * 3600.0 + parts[1] * 60.0 + parts[2]) / 86400.0;
  return true;
}

}  // namespace

// ---- TFieldDefs

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  TFieldDef def;
  def.Name = name;
  def.DataType = type;
  def.Size = size;
  def.Required = required;
  def.FieldNo = int(items_.size()) + 1;
  items_.push_back(def);
  return items_.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameText(items_[i].Name, name)) return int(i);
  return -1;
}

const TFieldDef& TFieldDefs::Find(const std::string& name) const {
  int i = IndexOf(name);
  if (i < 0) DatabaseErrorFmt("Field '%s' not found", name);
  return items_[size_t(i)];
}

// ---- TFields

TField* TFields::FindField(const std::string& name) const {
  for (TField* f : items_)
    if (SameText(f->FieldName(), name)) return f;
  return nullptr;
}

TField* TFields::FieldByName(const std::string& name) const {
  TField* f = FindField(name);
  if (!f) DatabaseErrorFmt("Field '%s' not found", name);
  return f;
}

int TFields::IndexOf(const TField* field) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == field) return int(i);
  return -1;
}

// ---- TField

TField::TField(TFieldType type) : data_type_(type) {}
TField::~TField() = default;

void TField::CheckInactive(const char* what) {
  if (dataset_ && dataset_->Active())
    DatabaseError(std::string("Cannot change ") + what + " of a field of an open dataset");
}

void TField::SetFieldName(const std::string& name) {
  CheckInactive("the name");
  field_name_ = name;
}

void TField::SetDisplayLabel(const std::string& label) {
  display_label_ = label;
  if (dataset_) dataset_->DataEvent(TDataEvent::deLayoutChange, 0);
}

int TField::DisplayWidth() const {
  if (display_width_ > 0) return display_width_;
  switch (data_type_) {
    case TFieldType::ftString:
      return size_;
    case TFieldType::ftSmallint:
      return 6;
    case TFieldType::ftInteger:
      return 11;
    case TFieldType::ftBoolean:
      return 5;
    case TFieldType::ftDate:
      return 10;
    case TFieldType::ftDateTime:
      return 18;
    default:
      return 10;
  }
}

void TField::SetDisplayWidth(int width) {
  display_width_ = width;
  if (dataset_) dataset_->DataEvent(TDataEvent::deLayoutChange, 0);
}

void TField::SetVisible(bool visible) {
  visible_ = visible;
  if (dataset_) dataset_->DataEvent(TDataEvent::deLayoutChange, 0);
}

void TField::SetSize(int size) {
  CheckInactive("the size");
  size_ = size;
}

void TField::SetFieldKind(TFieldKind kind) {
  CheckInactive("the kind");
  field_kind_ = kind;
}

int TField::DataSize() const { return 0; }

bool TField::GetData(void* buffer) {
  if (!dataset_ || !dataset_->Active())
    DatabaseError("Cannot perform this operation on a closed dataset");
  return dataset_->GetFieldData(this, buffer);
}

void TField::SetData(const void* buffer) {
  if (!dataset_ || !dataset_->Active())
    DatabaseError("Cannot perform this operation on a closed dataset");
  dataset_->SetFieldData(this, buffer);
}

bool TField::IsNull() { return !GetData(nullptr); }

void TField::Clear() { SetData(nullptr); }

void TField::Validate(const void* buffer) {
  (void)buffer;
  if (OnValidate) OnValidate(*this);
}

void TField::Change() {
  if (OnChange) OnChange(*this);
}

void TField::FocusControl() {
  if (dataset_) dataset_->DataEvent(TDataEvent::deLayoutChange, 0);
}

void TField::ConversionError(const std::string& type_name) {
  DatabaseError("Invalid value for field '" + DisplayLabel() + "': not a valid " + type_name);
}

void TField::AccessError(const std::string& value_type) {
  DatabaseError("Cannot access field '" + DisplayLabel() + "' as type " + value_type);
}

std::string TField::AsString() { AccessError("String"); }
void TField::SetAsString(const std::string&) { AccessError("String"); }
int32_t TField::AsInteger() { AccessError("Integer"); }
void TField::SetAsInteger(int32_t) { AccessError("Integer"); }
double TField::AsFloat() { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
bool TField::AsBoolean() { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
TDateTime TField::AsDateTime() { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError("DateTime"); }
TVariant TField::Value() { return IsNull() ? TVariant() : TVariant(AsString()); }

void TField::SetValue(const TVariant& value) {
  if (value.IsNull())
    Clear();
  else
    SetAsString(value.AsString());
}

TVariant TField::OldValue() {
  if (!dataset_) return TVariant();
  TDataSetState old = dataset_->SetTempState(TDataSetState::dsOldValue);
  try {
    TVariant v = Value();
    dataset_->RestoreState(old);
    return v;
  } catch (...) {
    dataset_->RestoreState(old);
    throw;
  }
}

TVariant TField::NewValue() {
  if (!dataset_) return TVariant();
  TDataSetState old = dataset_->SetTempState(TDataSetState::dsNewValue);
  try {
    TVariant v = Value();
    dataset_->RestoreState(old);
    return v;
  } catch (...) {
    dataset_->RestoreState(old);
    throw;
  }
}

// ---- TStringField

TStringField::TStringField(int size) : TField(TFieldType::ftString) {
  size_ = size;
  SetTransliterate(true);
}

std::string TStringField::RawText() {
  std::string buffer(size_t(size_) + 1, '\0');
  if (!GetData(buffer.data())) return std::string();
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

std::string TStringField::AsString() {
  char small[256];
  std::string large;
  char* buffer = small;
  if (size_ + 1 > int(sizeof small)) {
    large.assign(size_t(size_) + 1, '\0');
    buffer = large.data();
  }
  if (!GetData(buffer)) return std::string();
  buffer[size_] = '\0';
  if (Transliterate()) DataSet()->Translate(buffer, buffer, false);
  return std::string(buffer);
}

void TStringField::SetAsString(const std::string& value) {
  std::string buffer(size_t(size_) + 1, '\0');
  std::memcpy(buffer.data(), value.data(), std::min(value.size(), size_t(size_)));
  if (Transliterate() && DataSet()) DataSet()->Translate(buffer.data(), buffer.data(), true);
  SetData(buffer.data());
}

int32_t TStringField::AsInteger() {
  std::string text = AsString();
  int64_t v = 0;
  if (Trim(text).empty()) return 0;
  if (!ParseInt(text, v) || v < INT32_MIN || v > INT32_MAX)
    DatabaseError("'" + text + "' is not a valid integer value");
  return int32_t(v);
}

void TStringField::SetAsInteger(int32_t value) { SetAsString(std::to_string(value)); }

double TStringField::AsFloat() {
  std::string text = AsString();
  if (Trim(text).empty()) return 0;
  return StrToFloat(text);
}

void TStringField::SetAsFloat(double value) { SetAsString(FloatToStr(value)); }

bool TStringField::AsBoolean() {
  std::string text = Trim(AsString());
  if (text.empty()) return false;
  switch (text[0]) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
      return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
      return false;
    default:
      DatabaseError("'" + text + "' is not a valid boolean value");
  }
}

void TStringField::SetAsBoolean(bool value) { SetAsString(value ? "T" : "F"); }

TDateTime TStringField::AsDateTime() { return StrToDate(Trim(AsString())); }

void TStringField::SetAsDateTime(TDateTime value) {
  SetAsString(FormatDate(ShortDateFormat(), int32_t(std::floor(value))));
}

TVariant TStringField::Value() {
  if (IsNull()) return TVariant();
  return TVariant(AsString());
}

// ---- TIntegerField, TSmallintField

TIntegerField::TIntegerField() : TIntegerField(TFieldType::ftInteger) {}

TIntegerField::TIntegerField(TFieldType type)
    : TField(type),
      min_value_(type == TFieldType::ftSmallint ? -32768 : INT32_MIN),
      max_value_(type == TFieldType::ftSmallint ? 32767 : INT32_MAX) {}

TSmallintField::TSmallintField() : TIntegerField(TFieldType::ftSmallint) {}

int32_t TIntegerField::AsInteger() {
  unsigned char buffer[4] = {};
  if (!GetData(buffer)) return 0;
  if (DataSize() == 2) {
    int16_t v;
    std::memcpy(&v, buffer, 2);
    return v;
  }
  int32_t v;
  std::memcpy(&v, buffer, 4);
  return v;
}

void TIntegerField::SetAsInteger(int32_t value) {
  if (value < min_value_ || value > max_value_)
    DatabaseError(std::to_string(value) + " is not a valid value for field '" + DisplayLabel() +
                  "'. The allowed range is " + std::to_string(min_value_) + " to " +
                  std::to_string(max_value_));
  unsigned char buffer[4] = {};
  if (DataSize() == 2) {
    int16_t v = int16_t(value);
    std::memcpy(buffer, &v, 2);
  } else {
    std::memcpy(buffer, &value, 4);
  }
  SetData(buffer);
}

std::string TIntegerField::AsString() {
  if (IsNull()) return std::string();
  return std::to_string(AsInteger());
}

void TIntegerField::SetAsString(const std::string& value) {
  if (Trim(value).empty()) {
    Clear();
    return;
  }
  int64_t v = 0;
  if (!ParseInt(value, v) || v < INT32_MIN || v > INT32_MAX)
    DatabaseError("'" + value + "' is not a valid integer value");
  SetAsInteger(int32_t(v));
}

void TIntegerField::SetAsFloat(double value) {
  double r = std::round(value);
  if (!(r >= double(INT32_MIN) && r <= double(INT32_MAX)))
    DatabaseError("'" + ShortestDouble(value) + "' is not a valid integer value");
  SetAsInteger(int32_t(r));
}

TVariant TIntegerField::Value() {
  if (IsNull()) return TVariant();
  return TVariant(int64_t(AsInteger()));
}

// ---- TFloatField

TFloatField::TFloatField() : TField(TFieldType::ftFloat) {}

double TFloatField::AsFloat() {
  double v = 0;
  if (!GetData(&v)) return 0;
  return v;
}

void TFloatField::SetAsFloat(double value) { SetData(&value); }

std::string TFloatField::AsString() {
  double v = 0;
  if (!GetData(&v)) return std::string();
  return ShortestDouble(v);
}

void TFloatField::SetAsString(const std::string& value) {
  if (Trim(value).empty()) {
    Clear();
    return;
  }
  SetAsFloat(StrToFloat(value));
}

int32_t TFloatField::AsInteger() {
  double r = std::round(AsFloat());
  if (!(r >= double(INT32_MIN) && r <= double(INT32_MAX)))
    DatabaseError("'" + ShortestDouble(r) + "' is not a valid integer value");
  return int32_t(r);
}

TVariant TFloatField::Value() {
  double v = 0;
  if (!GetData(&v)) return TVariant();
  return TVariant(v);
}

// ---- TBooleanField

TBooleanField::TBooleanField() : TField(TFieldType::ftBoolean) {}

bool TBooleanField::AsBoolean() {
  uint16_t v = 0;
  if (!GetData(&v)) return false;
  return v != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  uint16_t v = value ? 1 : 0;
  SetData(&v);
}

std::string TBooleanField::AsString() {
  uint16_t v = 0;
  if (!GetData(&v)) return std::string();
  return v ? "True" : "False";
}

void TBooleanField::SetAsString(const std::string& value) {
  std::string t = Trim(value);
  if (t.empty()) {
    Clear();
    return;
  }
  for (const char* yes : {"True", "T", "Yes", "Y"})
    if (SameText(t, yes)) return SetAsBoolean(true);
  for (const char* no : {"False", "F", "No", "N"})
    if (SameText(t, no)) return SetAsBoolean(false);
  DatabaseError("'" + value + "' is not a valid boolean value for field '" + DisplayLabel() + "'");
}

TVariant TBooleanField::Value() {
  uint16_t v = 0;
  if (!GetData(&v)) return TVariant();
  return TVariant(v != 0);
}

// ---- TDateTimeField, TDateField

TDateTimeField::TDateTimeField() : TField(TFieldType::ftDateTime) {}
TDateTimeField::TDateTimeField(TFieldType type) : TField(type) {}
TDateField::TDateField() : TDateTimeField(TFieldType::ftDate) {}

TDateTime TDateTimeField::AsDateTime() {
  double ms = 0;
  if (!GetData(&ms)) return 0;
  return ms / kMSecsPerDay - kDateDelta;
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
  double ms = std::round((value + kDateDelta) * kMSecsPerDay);
  SetData(&ms);
}

std::string TDateTimeField::AsString() {
  double ms = 0;
  if (!GetData(&ms)) return std::string();
  double days = std::floor(ms / kMSecsPerDay);
  int64_t rest = int64_t(std::llround(ms - days * kMSecsPerDay)) / 1000;
  char time[16];
  std::snprintf(time, sizeof time, " %02d:%02d:%02d", int(rest / 3600 % 24), int(rest / 60 % 60),
                int(rest % 60));
  return FormatDate(ShortDateFormat(), int32_t(days) - kDateDelta) + time;
}

void TDateTimeField::SetAsString(const std::string& value) {
  std::string t = Trim(value);
  if (t.empty()) {
    Clear();
    return;
  }
  size_t blank = t.find(' ');
  double fraction = 0;
  if (blank != std::string::npos) {
    if (!ParseTime(Trim(t.substr(blank + 1)), fraction))
      throw EConvertError("'" + value + "' is not a valid date and time");
    t.resize(blank);
  }
  SetAsDateTime(double(StrToDate(t)) + fraction);
}

TVariant TDateTimeField::Value() {
  if (IsNull()) return TVariant();
  return TVariant(AsString());
}

TDateTime TDateField::AsDateTime() {
  int32_t days = 0;
  if (!GetData(&days)) return 0;
  return double(days) - kDateDelta;
}

void TDateField::SetAsDateTime(TDateTime value) {
  double days = std::floor(value) + kDateDelta;
  if (!(days >= 1 && days <= double(INT32_MAX)))
    DatabaseError("Invalid date for field '" + DisplayLabel() + "'");
  int32_t d = int32_t(days);
  SetData(&d);
}

std::string TDateField::AsString() {
  int32_t days = 0;
  if (!GetData(&days)) return std::string();
  return FormatDate(ShortDateFormat(), days - kDateDelta);
}

void TDateField::SetAsString(const std::string& value) {
  std::string t = Trim(value);
  if (t.empty()) {
    Clear();
    return;
  }
  SetAsDateTime(StrToDate(t));
}

// ---- TBlobField, TMemoField

TBlobField::TBlobField() : TField(TFieldType::ftBlob) {}
TBlobField::TBlobField(TFieldType type) : TField(type) {}

TMemoField::TMemoField() : TBlobField(TFieldType::ftMemo) { SetTransliterate(true); }

std::string TBlobField::AsString() {
  if (!DataSet() || !DataSet()->Active())
    DatabaseError("Cannot perform this operation on a closed dataset");
  std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(this, TBlobStreamMode::bmRead);
  return stream ? stream->ReadAll() : std::string();
}

void TBlobField::SetAsString(const std::string& value) {
  if (!DataSet() || !DataSet()->Active())
    DatabaseError("Cannot perform this operation on a closed dataset");
  std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(this, TBlobStreamMode::bmWrite);
  if (stream) stream->WriteString(value);
}

TVariant TBlobField::Value() {
  if (IsNull()) return TVariant();
  return TVariant(AsString());
}

std::string TBlobField::DisplayText() { return IsNull() ? "(blob)" : "(BLOB)"; }

void TBlobField::LoadFromStream(TStream& stream) {
  std::unique_ptr<TStream> blob = DataSet()->CreateBlobStream(this, TBlobStreamMode::bmWrite);
  if (blob) blob->CopyFrom(stream, 0);
}

void TBlobField::SaveToStream(TStream& stream) {
  std::unique_ptr<TStream> blob = DataSet()->CreateBlobStream(this, TBlobStreamMode::bmRead);
  if (blob) stream.CopyFrom(*blob, 0);
}

int TBlobField::BlobSize() {
  std::unique_ptr<TStream> blob = DataSet()->CreateBlobStream(this, TBlobStreamMode::bmRead);
  return blob ? int(blob->Size()) : 0;
}

}  // namespace platform
