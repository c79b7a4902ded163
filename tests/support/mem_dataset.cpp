#include "tests/support/mem_dataset.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qvx_test {

using platform::TBookmarkFlag;
using platform::TDataSetState;
using platform::TFieldType;
using platform::TGetMode;
using platform::TGetResult;
using platform::TRecordBuffer;

namespace {

constexpr int kBookmarkSize = 11;

int ValueSize(const TMemDataSet::FieldSpec& def) {
  switch (def.type) {
    case TFieldType::ftString:
      return def.size + 1;
    case TFieldType::ftBoolean:
      return 1;
    case TFieldType::ftInteger:
    case TFieldType::ftMemo:
      return 4;
    default:
      return 0;
  }
}

int32_t ReadInt32(const char* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void WriteInt32(char* p, int32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

// The memo of one field: read from the store at creation, written back (as a new
// memo number in the record buffer) when a modified stream is freed.
class TMemDataSet::MemoStream : public platform::TMemoryStream {
 public:
  MemoStream(TMemDataSet* owner, platform::TField* field, bool write)
      : owner_(owner), field_(field), modified_(write) {}
  ~MemoStream() override {
    if (!modified_) return;
    TDataSetState s = owner_->State();
    if (s != TDataSetState::dsEdit && s != TDataSetState::dsInsert) return;
    owner_->memos_.emplace_back(reinterpret_cast<const char*>(Data().data()), Data().size());
    char* value = owner_->ActiveBuffer() + owner_->FieldOffset(field_->FieldNo());
    value[0] = 1;
    WriteInt32(value + 1, int32_t(owner_->memos_.size() - 1));
    owner_->DataEvent(platform::TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(field_));
  }
  int32_t Write(const void* buffer, int32_t count) override {
    modified_ = true;
    return TMemoryStream::Write(buffer, count);
  }

 private:
  TMemDataSet* owner_;
  platform::TField* field_;
  bool modified_;
};

TMemDataSet::TMemDataSet()
    : TMemDataSet({{"NAME", TFieldType::ftString, 10}, {"NUM", TFieldType::ftInteger}}) {}

TMemDataSet::TMemDataSet(std::vector<FieldSpec> fields) : specs_(std::move(fields)) {
  int offset = 0;
  for (const FieldSpec& def : specs_) {
    offsets_.push_back(offset);
    offset += 1 + ValueSize(def);
  }
  record_size_ = offset;
  info_offset_ = record_size_;
  bookmark_offset_ = info_offset_ + 8;
  calc_offset_ = bookmark_offset_ + kBookmarkSize;
}

TMemDataSet::~TMemDataSet() { Close(); }

void TMemDataSet::AddRow(const std::vector<std::string>& values) {
  Row row;
  row.bytes.assign(size_t(record_size_), '\0');
  for (size_t i = 0; i < specs_.size() && i < values.size(); ++i)
    PutValue(row.bytes, int(i), values[i]);
  rows_.push_back(std::move(row));
  if (open_) Rebuild(0);
}

void TMemDataSet::ClearRows() {
  CheckInactive();
  rows_.clear();
}

void TMemDataSet::SetDeleted(int recno, bool deleted) {
  rows_.at(size_t(recno - 1)).deleted = deleted;
  if (open_) Rebuild(0);
}

void TMemDataSet::PutValue(std::string& record, int field_index, const std::string& value) {
  const FieldSpec& def = specs_[size_t(field_index)];
  char* p = record.data() + offsets_[size_t(field_index)];
  std::memset(p, 0, size_t(1 + ValueSize(def)));
  if (value.empty()) return;
  p[0] = 1;
  switch (def.type) {
    case TFieldType::ftString:
      std::memcpy(p + 1, value.data(), std::min(value.size(), size_t(def.size)));
      break;
    case TFieldType::ftBoolean:
      p[1] = (value == "T") ? 1 : 0;
      break;
    case TFieldType::ftInteger:
      WriteInt32(p + 1, int32_t(std::stol(value)));
      break;
    case TFieldType::ftMemo:
      memos_.push_back(value);
      WriteInt32(p + 1, int32_t(memos_.size() - 1));
      break;
    default:
      break;
  }
}

std::string TMemDataSet::ValueText(const char* record, int field_index) const {
  const FieldSpec& def = specs_[size_t(field_index)];
  const char* p = record + offsets_[size_t(field_index)];
  if (p[0] == 0) return std::string();
  switch (def.type) {
    case TFieldType::ftString:
      return std::string(p + 1, strnlen(p + 1, size_t(def.size)));
    case TFieldType::ftBoolean:
      return p[1] ? "T" : "F";
    case TFieldType::ftInteger:
      return std::to_string(ReadInt32(p + 1));
    case TFieldType::ftMemo:
      return memos_.at(size_t(ReadInt32(p + 1)));
    default:
      return std::string();
  }
}

std::string TMemDataSet::Stored(int recno, const std::string& name) const {
  for (size_t i = 0; i < specs_.size(); ++i)
    if (specs_[i].name == name) return ValueText(rows_.at(size_t(recno - 1)).bytes.data(), int(i));
  return std::string();
}

// ---- Order and filter

void TMemDataSet::Rebuild(int keep_recno) {
  order_.clear();
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].deleted) continue;
    if (Filtered() && OnFilterRecord) {
      bool accept = true;
      filter_record_ = rows_[i].bytes.data();
      TDataSetState old = SetTempState(TDataSetState::dsFilter);
      try {
        OnFilterRecord(*this, accept);
      } catch (...) {
        RestoreState(old);
        filter_record_ = nullptr;
        throw;
      }
      RestoreState(old);
      filter_record_ = nullptr;
      if (!accept) continue;
    }
    order_.push_back(int(i) + 1);
  }
  if (!index_field_.empty()) {
    int field = -1;
    for (size_t i = 0; i < specs_.size(); ++i)
      if (specs_[i].name == index_field_) field = int(i);
    const bool numeric = field >= 0 && specs_[size_t(field)].type == TFieldType::ftInteger;
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
      const std::string x = ValueText(rows_[size_t(a - 1)].bytes.data(), field);
      const std::string y = ValueText(rows_[size_t(b - 1)].bytes.data(), field);
      return numeric ? std::atol(x.c_str()) < std::atol(y.c_str()) : x < y;
    });
  }
  pos_ = -1;
  if (keep_recno > 0) GotoRecno(keep_recno);
}

void TMemDataSet::GotoRecno(int recno) {
  auto it = std::find(order_.begin(), order_.end(), recno);
  if (it == order_.end()) platform::DatabaseError("Record not found");
  pos_ = int(it - order_.begin());
}

void TMemDataSet::SetIndexField(const std::string& name) {
  index_field_ = name;
  if (!Active()) return;
  CheckBrowseMode();
  Rebuild(0);
  First();
}

void TMemDataSet::RefreshFilter() {
  CheckBrowseMode();
  Rebuild(0);
  First();
}

void TMemDataSet::DoSetFiltered(bool on) {
  SetFilteredValue(on);
  if (Active()) RefreshFilter();
}

// ---- Buffers and bookmarks

TRecordBuffer TMemDataSet::AllocRecordBuffer() {
  return static_cast<TRecordBuffer>(std::calloc(size_t(calc_offset_ + CalcFieldsSize()) + 1, 1));
}

void TMemDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  std::free(buffer);
  buffer = nullptr;
}

void TMemDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + bookmark_offset_, kBookmarkSize);
}

TBookmarkFlag TMemDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
  return TBookmarkFlag(uint8_t(buffer[info_offset_ + 5]));
}

void TMemDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  buffer[info_offset_ + 5] = char(flag);
}

void TMemDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  std::memcpy(buffer + bookmark_offset_, data, kBookmarkSize);
  WriteInt32(buffer + info_offset_, int32_t(std::atoi(buffer + bookmark_offset_)));
}

int TMemDataSet::RecnoOf(TRecordBuffer buffer) const { return ReadInt32(buffer + info_offset_); }

TGetResult TMemDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) {
  const int count = int(order_.size());
  switch (mode) {
    case TGetMode::gmNext:
      if (pos_ >= count - 1) {
        pos_ = count;
        return TGetResult::grEOF;
      }
      ++pos_;
      break;
    case TGetMode::gmPrior:
      if (pos_ <= 0) {
        pos_ = -1;
        return TGetResult::grBOF;
      }
      --pos_;
      break;
    case TGetMode::gmCurrent:
      if (pos_ < 0 || pos_ >= count) {
        if (do_check) platform::DatabaseError("Record request beyond range of table");
        return TGetResult::grError;
      }
      break;
  }
  int recno = order_[size_t(pos_)];
  std::memcpy(buffer, rows_[size_t(recno - 1)].bytes.data(), size_t(record_size_));
  WriteInt32(buffer + info_offset_, recno);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfCurrent);
  std::snprintf(buffer + bookmark_offset_, kBookmarkSize, "%10d", recno);
  GetCalcFields(buffer);
  return TGetResult::grOK;
}

void TMemDataSet::InternalGotoBookmark(const void* bookmark) {
  GotoRecno(std::atoi(static_cast<const char*>(bookmark)));
}

void TMemDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  InternalGotoBookmark(buffer + bookmark_offset_);
}

int TMemDataSet::GetRecordCount() {
  CheckActive();
  return int(order_.size());
}

int TMemDataSet::GetRecNo() {
  TRecordBuffer b = ActiveBuffer();
  return b ? RecnoOf(b) : 0;
}

// ---- Open and close

void TMemDataSet::InternalInitFieldDefs() {
  FieldDefs().Clear();
  for (const FieldSpec& def : specs_) FieldDefs().Add(def.name, def.type, def.size);
}

void TMemDataSet::InternalOpen() {
  Log("InternalOpen");
  InternalInitFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(kBookmarkSize);
  open_ = true;
  Rebuild(0);
}

void TMemDataSet::InternalClose() {
  Log("InternalClose");
  BindFields(false);
  DestroyDefaultFields();
  open_ = false;
  order_.clear();
  pos_ = -1;
}

void TMemDataSet::InternalInitRecord(TRecordBuffer buffer) {
  std::memset(buffer, 0, size_t(record_size_));
}

// ---- Changes

void TMemDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
  (void)append;
  Row row;
  row.bytes.assign(buffer, size_t(record_size_));
  rows_.push_back(std::move(row));
  Rebuild(int(rows_.size()));
}

void TMemDataSet::InternalEdit() {
  Log("InternalEdit");
  if (!fail_edit_.empty()) {
    std::string message = fail_edit_;
    fail_edit_.clear();
    platform::DatabaseError(message);
  }
}

void TMemDataSet::InternalPost() {
  Log("InternalPost");
  if (!fail_post_.empty()) {
    std::string message = fail_post_;
    fail_post_.clear();
    platform::DatabaseError(message);
  }
  ++post_count_;
  TRecordBuffer buffer = ActiveBuffer();
  if (State() == TDataSetState::dsEdit) {
    int recno = RecnoOf(buffer);
    rows_[size_t(recno - 1)].bytes.assign(buffer, size_t(record_size_));
    Rebuild(recno);
  } else {
    InternalAddRecord(buffer, true);
  }
}

void TMemDataSet::InternalDelete() {
  Log("InternalDelete");
  if (!fail_delete_.empty()) {
    std::string message = fail_delete_;
    fail_delete_.clear();
    platform::DatabaseError(message);
  }
  int recno = RecnoOf(ActiveBuffer());
  rows_[size_t(recno - 1)].deleted = true;
  int at = pos_;
  Rebuild(0);
  pos_ = std::min(at, int(order_.size()) - 1);
}

// ---- Field data

const char* TMemDataSet::RecordFor(platform::TField* field) {
  (void)field;
  switch (State()) {
    case TDataSetState::dsFilter:
      return filter_record_;
    case TDataSetState::dsCalcFields:
      return CalcBuffer();
    case TDataSetState::dsOldValue: {
      TRecordBuffer b = ActiveBuffer();
      if (b && GetBookmarkFlag(b) == TBookmarkFlag::bfCurrent)
        return rows_[size_t(RecnoOf(b) - 1)].bytes.data();
      return b;
    }
    case TDataSetState::dsBrowse:
      if (IsEmpty()) return nullptr;
      return ActiveBuffer();
    default:
      return ActiveBuffer();
  }
}

char* TMemDataSet::CalcValue(platform::TField* field) {
  TRecordBuffer b = State() == TDataSetState::dsCalcFields ? CalcBuffer() : ActiveBuffer();
  if (b == nullptr || (State() == TDataSetState::dsBrowse && IsEmpty())) return nullptr;
  return b + calc_offset_ + field->Offset();
}

void TMemDataSet::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(buffer + calc_offset_, 0, size_t(CalcFieldsSize()));
}

bool TMemDataSet::GetFieldData(platform::TField* field, void* buffer) {
  if (field->FieldNo() <= 0) {
    const char* p = CalcValue(field);
    if (p == nullptr || p[0] == 0) return false;
    if (buffer) std::memcpy(buffer, p + 1, size_t(field->DataSize()));
    return true;
  }
  const char* record = RecordFor(field);
  if (!record || field->FieldNo() <= 0) return false;
  const FieldSpec& def = specs_[size_t(field->FieldNo() - 1)];
  const char* p = record + FieldOffset(field->FieldNo());
  if (p[0] == 0) return false;
  if (!buffer) return true;
  switch (def.type) {
    case TFieldType::ftString:
      std::memset(buffer, 0, size_t(def.size) + 1);
      std::memcpy(buffer, p + 1, strnlen(p + 1, size_t(def.size)));
      break;
    case TFieldType::ftBoolean: {
      uint16_t v = p[1] ? 1 : 0;
      std::memcpy(buffer, &v, 2);
      break;
    }
    case TFieldType::ftInteger:
      std::memcpy(buffer, p + 1, 4);
      break;
    default:
      break;
  }
  return true;
}

void TMemDataSet::SetFieldData(platform::TField* field, const void* buffer) {
  if (field->FieldNo() <= 0) {
    if (State() != TDataSetState::dsCalcFields && State() != TDataSetState::dsEdit &&
        State() != TDataSetState::dsInsert)
      platform::DatabaseError("Dataset not in edit or insert mode");
    char* p = CalcValue(field);
    p[0] = buffer ? 1 : 0;
    if (buffer) std::memcpy(p + 1, buffer, size_t(field->DataSize()));
    return;
  }
  if (State() != TDataSetState::dsEdit && State() != TDataSetState::dsInsert)
    platform::DatabaseError("Dataset not in edit or insert mode");
  if (field->ReadOnly())
    platform::DatabaseErrorFmt("Field '%s' cannot be modified", field->DisplayLabel());
  field->Validate(buffer);
  const FieldSpec& def = specs_[size_t(field->FieldNo() - 1)];
  char* p = ActiveBuffer() + FieldOffset(field->FieldNo());
  std::memset(p, 0, size_t(1 + ValueSize(def)));
  if (buffer) {
    switch (def.type) {
      case TFieldType::ftString: {
        const char* text = static_cast<const char*>(buffer);
        size_t n = strnlen(text, size_t(def.size));
        if (n > 0) {
          p[0] = 1;
          std::memcpy(p + 1, text, n);
        }
        break;
      }
      case TFieldType::ftBoolean: {
        uint16_t v;
        std::memcpy(&v, buffer, 2);
        p[0] = 1;
        p[1] = v ? 1 : 0;
        break;
      }
      case TFieldType::ftInteger:
        p[0] = 1;
        std::memcpy(p + 1, buffer, 4);
        break;
      default:
        break;
    }
  }
  DataEvent(platform::TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(field));
}

std::unique_ptr<platform::TStream> TMemDataSet::CreateBlobStream(platform::TField* field,
                                                                 platform::TBlobStreamMode mode) {
  bool write = mode != platform::TBlobStreamMode::bmRead;
  if (write && State() != TDataSetState::dsEdit && State() != TDataSetState::dsInsert)
    platform::DatabaseError("Dataset not in edit or insert mode");
  auto stream =
      std::make_unique<MemoStream>(this, field, mode == platform::TBlobStreamMode::bmWrite);
  if (mode != platform::TBlobStreamMode::bmWrite) {
    ++blob_reads_;
    const char* record = RecordFor(field);
    if (record) {
      const char* p = record + FieldOffset(field->FieldNo());
      if (p[0]) {
        const std::string& text = memos_.at(size_t(ReadInt32(p + 1)));
        stream->platform::TMemoryStream::Write(text.data(), int32_t(text.size()));
        stream->SetPosition(0);
      }
    }
  }
  return stream;
}

bool TMemDataSet::Locate(const std::string& key_fields, const platform::TVariant& key_values,
                         platform::TLocateOptions options) {
  ++locate_count_;
  return TDataSet::Locate(key_fields, key_values, options);
}

}  // namespace qvx_test
