#include "engine/dataset/Zavaz6UZ.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/dataset/Zavaz6UZ_blob.h"
#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_indxtag.h"
#include "platform/services/apphandler.h"
#include "platform/services/codepage.h"
#include "platform/services/datetime.h"
#include "platform/services/paths.h"

namespace devazoz {

using platform::DatabaseError;
using platform::DatabaseErrorFmt;
using platform::TBookmarkFlag;
using platform::TDataSetState;
using platform::TField;
using platform::TFieldType;
using platform::TGetMode;
using platform::TGetResult;
using platform::TRecordBuffer;

namespace {

constexpr int kInfoSize = 8;
constexpr int kBookmarkSize = 11;

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool HasExtension(const std::string& name) {
  size_t slash = name.find_last_of("/\\");
  size_t dot = name.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

bool FileExists(const std::string& name) {
  return os::Exists(os::ResolvePath(GSO_DiskFile::MakeAbsolute(name)));
}

// The record number as decimal text right-aligned in 10 characters, then a NUL
// (record numbers are positive 32-bit values: at most 10 digits).
void WriteBookmark(char* out, int32_t n) {
  uint32_t v = uint32_t(n < 0 ? 0 : n);
  int i = kBookmarkSize - 2;
  out[kBookmarkSize - 1] = '\0';
  do {
    out[i--] = char('0' + v % 10);
    v /= 10;
  } while (v && i >= 0);
  while (i >= 0) out[i--] = ' ';
}

// Points the table's record buffer at a framework buffer until the scope ends.
class PointAt {
 public:
  PointAt(GSO_dBaseDBF* table, TRecordBuffer record) : table_(table) {
    table_->SetCurrentRecord(reinterpret_cast<uint8_t*>(record));
  }
  ~PointAt() { table_->SetCurrentRecord(nullptr); }

 private:
  GSO_dBaseDBF* table_;
};

// Restores the handler's use-deleted flag.
class UseDeletedFor {
 public:
  UseDeletedFor(GSO_dBaseDBF* table, bool restore) : table_(table), restore_(restore) {
    table_->use_deleted = true;
  }
  ~UseDeletedFor() { table_->use_deleted = restore_; }

 private:
  GSO_dBaseDBF* table_;
  bool restore_;
};

}  // namespace

// ---------------------------------------------------------------------------
// DBFObject

DBFObject::DBFObject(TDevazozDataSet* dataset, const std::string& file_name, bool read_write,
                     bool shared)
    : GSO_dBHandler(file_name, read_write, shared), dataset_(dataset) {}

void DBFObject::StatusUpdate(int32_t what, int32_t done, int32_t total) {
  if (dataset_ && dataset_->OnStatus) dataset_->OnStatus(what, done, total);
}

int DBFObject::UserFunction(const std::string& request, const std::string& name, void* value,
                            char& result_type, bool& changed) {
  if (!dataset_ || !dataset_->OnFormula) return -1;
  changed = false;
  dataset_->OnFormula(*dataset_, request, value, result_type, changed, name);
  return changed ? 0 : -1;
}

bool DBFObject::RecordAccepted() {
  if (!dataset_) return true;
  return dataset_->FilterRecord();
}

// ---------------------------------------------------------------------------
// Construction and properties

TDevazozDataSet::TDevazozDataSet() : master_link_(this) {
  master_link_.OnMasterChange = [this] { MasterChanged(); };
  master_link_.OnMasterDisable = [this] { MasterDisabled(); };
}

TDevazozDataSet::~TDevazozDataSet() {
  // Closing writes what is still held; a failure there has no caller left.
  try {
    Close();
  } catch (const std::exception& e) {
    platform::HandleApplicationException(e);
  } catch (...) {
  }
  master_link_.SetDataSource(nullptr);
}

void TDevazozDataSet::SetDatabaseName(const std::string& name) {
  if (name == database_name_) return;
  CheckInactive();
  if (SameText(name, kDefaultDirectory)) {
    database_name_ = name;
    return;
  }
  std::string value = platform::AnsiUpper(name);
  std::string directory = name;
  if (!value.empty() && (value.back() == '/' || value.back() == '\\')) {
    value.pop_back();
    directory.pop_back();
  }
  database_name_ = value;
  std::string existing;
  if (!value.empty() && !FindAlias(value, existing)) AddAlias(value, directory);
}

void TDevazozDataSet::SetExclusive(bool on) {
  CheckInactive();
  exclusive_ = on;
}

void TDevazozDataSet::SetTableName(const std::string& name) {
  CheckInactive();
  if (name != table_name_) index_files_.clear();
  table_name_ = name;
}

bool TDevazozDataSet::ReadOnly() const {
  return read_only_ || (handler_ && !handler_->ReadWrite());
}

void TDevazozDataSet::SetUseDeleted(bool on) {
  use_deleted_ = on;
  if (handler_) handler_->use_deleted = on;
}

void TDevazozDataSet::SetLockProtocol(TgsLokProtocol protocol) {
  lock_protocol_ = protocol;
  if (handler_) handler_->SetLockProtocol(protocol);
}

void TDevazozDataSet::SetUserID(int32_t id) {
  user_id_ = id;
  if (handler_) handler_->SetUserID(id);
}

void TDevazozDataSet::SetMasterFields(const std::string& fields) {
  master_fields_ = fields;
  master_link_.SetFieldNames(fields);
}

void TDevazozDataSet::SetMasterSource(platform::TDataSource* source) {
  if (source && IsLinkedTo(source)) DatabaseError("Circular datalinks are not allowed");
  master_link_.SetDataSource(source);
}

std::string TDevazozDataSet::TableDirectory() const {
  std::string directory;
  if (SameText(database_name_, kDefaultDirectory)) {
    directory = os::ExecutableDirectory();
  } else if (!FindAlias(platform::AnsiUpper(database_name_), directory)) {
    directory = database_name_;
  }
  if (!directory.empty() && directory.back() != '/') directory += '/';
  return directory;
}

std::string TDevazozDataSet::FullTableName() {
  if (table_name_.empty()) DatabaseError("Table name missing");
  if (!HasExtension(table_name_)) table_name_ += ".DBF";
  return TableDirectory() + table_name_;
}

std::string TDevazozDataSet::IndexFullName(const std::string& name) {
  std::string full = HasExtension(name) ? name : name + ".NDX";
  if (full.find_first_of("/\\") == std::string::npos) {
    std::string table = GSO_DiskFile::MakeAbsolute(TableDirectory() + table_name_);
    size_t slash = table.rfind('/');
    if (slash != std::string::npos) full = table.substr(0, slash + 1) + full;
  }
  return full;
}

std::unique_ptr<DBFObject> TDevazozDataSet::MakeHandler(bool read_write, bool shared) {
  std::string full = FullTableName();
  if (!FileExists(full))
    throw EDevazozFileMissing(EDevazozFileMissing::Kind::kTable, os::ExpandFileName(full));
  try {
    return std::make_unique<DBFObject>(this, full, read_write, shared);
  } catch (const EDevazozError&) {
    // Another program holds the table for its own use (the catalog program
    // opens its tables so): say so, instead of a bare "access denied".
    if (LastOsError() != kErrSharingViolation) throw;
    DatabaseError("This catalog is open in another window: " + os::ExpandFileName(full) +
                  " is in use by another program");
  }
}

// ---------------------------------------------------------------------------
// Opening and closing

void TDevazozDataSet::CheckActive() {
  TDataSet::CheckActive();
  if (busy_ == 1) DatabaseError("Table is busy building an index");
  if (busy_ == 2) DatabaseError("Table is busy copying");
}

void TDevazozDataSet::InternalOpen() {
  handler_ = MakeHandler(!read_only_, !exclusive_);
  try {
    DBFObject& h = *handler_;
    h.use_deleted = use_deleted_;
    h.SetReadAhead(false);
    h.SetLockProtocol(lock_protocol_);
    h.SetUserID(user_id_);
    // A notes edit killed half-way leaves the old notes whole (see the memo files).
    h.SetMemoWritesBeside(true);
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    record_size_ = h.RecordLength();
    info_offset_ = record_size_ + CalcFieldsSize();
    bookmark_offset_ = info_offset_ + kInfoSize;
    buffer_size_ = bookmark_offset_ + kBookmarkSize;
    SetBookmarkSize(kBookmarkSize);
    InternalFirst();
    OpenIndexFiles(h, false);
    std::string tag = Trim(index_name_);
    h.SelectTag(tag.empty() ? nullptr : &tag, false);
    record_locked_ = false;
    if (Filtered()) ApplyFilter();
    ApplyMasterRange(false);
    at_first_ = true;
  } catch (...) {
    BindFields(false);
    DestroyDefaultFields();
    handler_.reset();
    throw;
  }
}

void TDevazozDataSet::OpenIndexFiles(DBFObject& h, bool checking) {
  for (const std::string& entry : index_files_) {
    std::string name = Trim(entry);
    if (name.empty()) continue;
    std::string full = IndexFullName(name);
    if (!FileExists(full))
      throw EDevazozFileMissing(EDevazozFileMissing::Kind::kIndex, os::ExpandFileName(full));
    int rc = h.OpenIndexFile(full);
    if (checking && rc == -1)
      DatabaseErrorFmt("Index file %s already open", os::ExpandFileName(full));
    if (rc > 0 || (checking && rc != 0))
      DatabaseErrorFmt("Error getting %s", os::ExpandFileName(full));
  }
}

void TDevazozDataSet::InternalClose() {
  BindFields(false);
  DestroyDefaultFields();
  DropDigest();
  DropPlace();
  handler_.reset();
  record_locked_ = false;
  at_first_ = at_last_ = false;
}

void TDevazozDataSet::InternalInitFieldDefs() {
  FieldDefs().Clear();
  std::unique_ptr<DBFObject> temporary;
  DBFObject* h = handler_.get();
  if (!h) {
    temporary = MakeHandler(false, true);
    h = temporary.get();
  }
  for (int n = 1; n <= h->FieldCount(); ++n) {
    std::string name = h->FieldName(n);
    int length = h->FieldLength(n);
    int decimals = h->FieldDecimals(n);
    TFieldType type = TFieldType::ftUnknown;
    int size = 0;
    switch (h->FieldType(n)) {
      case 'C':
        type = TFieldType::ftString;
        size = length;
        break;
      case 'N':
      case 'F':
        if (decimals > 0 || length >= 11)
          type = TFieldType::ftFloat;
        else
          type = length < 5 ? TFieldType::ftSmallint : TFieldType::ftInteger;
        break;
      case 'I':
        type = TFieldType::ftInteger;
        break;
      case 'L':
        type = TFieldType::ftBoolean;
        break;
      case 'D':
        type = TFieldType::ftDate;
        break;
      case 'T':
        type = TFieldType::ftDateTime;
        break;
      case 'M':
        type = TFieldType::ftMemo;
        break;
      case 'B':
      case 'G':
        type = TFieldType::ftBlob;
        break;
      default:
        break;
    }
    // Field numbers follow the table's, so fields without a definition leave a gap.
    platform::TFieldDef& def = FieldDefs().Add(name, type, size, false);
    def.FieldNo = n;
  }
}

// ---------------------------------------------------------------------------
// Record buffers and bookmarks

TRecordBuffer TDevazozDataSet::AllocRecordBuffer() { return new char[size_t(buffer_size_) + 1](); }

void TDevazozDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

int TDevazozDataSet::GetRecordSize() { return record_size_; }

int32_t TDevazozDataSet::RecordNumberOf(TRecordBuffer buffer) const {
  if (!buffer) return 0;
  int32_t n;
  std::memcpy(&n, buffer + info_offset_, 4);
  return n;
}

void TDevazozDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + bookmark_offset_, kBookmarkSize);
}

TBookmarkFlag TDevazozDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
  return TBookmarkFlag(uint8_t(buffer[info_offset_ + 5]));
}

void TDevazozDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  buffer[info_offset_ + 5] = char(flag);
}

void TDevazozDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  // The bookmark of the buffer handed in: the framework passes the active buffer.
  std::memcpy(buffer + bookmark_offset_, data, kBookmarkSize);
}

int TDevazozDataSet::CompareBookmarks(const platform::TBookmark& a, const platform::TBookmark& b) {
  if (a.empty()) return b.empty() ? 0 : -1;
  if (b.empty()) return 1;
  int c = std::strcmp(a.c_str(), b.c_str());
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TDevazozDataSet::InternalGotoBookmark(const void* bookmark) {
  const char* text = static_cast<const char*>(bookmark);
  std::string digits = Trim(std::string(text, strnlen(text, kBookmarkSize)));
  char* end = nullptr;
  long n = digits.empty() ? 0 : std::strtol(digits.c_str(), &end, 10);
  if (digits.empty() || *end != '\0' || n < 1 || n > INT32_MAX)
    DatabaseError("Bookmark is invalid for table " + table_name_);
  handler_->GetRecord(int32_t(n));
}

void TDevazozDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  InternalGotoBookmark(buffer + bookmark_offset_);
}

void TDevazozDataSet::CopyToTable(TRecordBuffer buffer) {
  std::memcpy(handler_->RecordBuffer(), buffer, size_t(record_size_));
}

void TDevazozDataSet::CopyFromTable(TRecordBuffer buffer) {
  std::memcpy(buffer, handler_->RecordBuffer(), size_t(record_size_));
}

TGetResult TDevazozDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) {
  DBFObject& h = *handler_;
  TGetResult result = TGetResult::grOK;
  try {
    switch (mode) {
      case TGetMode::gmNext:
        h.GetRecord(at_first_ ? kMoveFirst : kMoveNext);
        at_first_ = false;
        break;
      case TGetMode::gmPrior:
        h.GetRecord(at_last_ ? kMoveLast : kMovePrevious);
        at_last_ = false;
        break;
      case TGetMode::gmCurrent:
        if (at_first_ || at_last_)
          result = TGetResult::grError;
        else
          h.GetRecord(kMoveCurrent);
        break;
    }
  } catch (const std::exception&) {
    result = TGetResult::grError;
  }
  if (result == TGetResult::grOK) {
    if (h.Eof())
      result = TGetResult::grEOF;
    else if (h.Bof())
      result = TGetResult::grBOF;
  }
  if (result == TGetResult::grOK) {
    CopyFromTable(buffer);
    int32_t n = h.RecordNumber();
    std::memset(buffer + info_offset_, 0, kInfoSize);
    std::memcpy(buffer + info_offset_, &n, 4);
    GetCalcFields(buffer);
    WriteBookmark(buffer + bookmark_offset_, n);
  } else if (result == TGetResult::grError && do_check) {
    DatabaseError("Record request beyond range of table");
  }
  return result;
}

void TDevazozDataSet::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(buffer + record_size_, 0, size_t(CalcFieldsSize()));
}

bool TDevazozDataSet::GetCurrentRecord(TRecordBuffer buffer) {
  TRecordBuffer active = ActiveBuffer();
  if (!active || IsEmpty() || GetBookmarkFlag(active) != TBookmarkFlag::bfCurrent) return false;
  UpdateCursorPos();
  CopyFromTable(buffer);
  return true;
}

bool TDevazozDataSet::IsSequenced() { return handler_ && !handler_->CurrentTag() && !Filtered(); }

// ---------------------------------------------------------------------------
// Navigation hooks

void TDevazozDataSet::InternalFirst() { at_first_ = true; }

void TDevazozDataSet::InternalLast() {
  handler_->GetRecord(kMoveLast);
  at_last_ = true;
}

void TDevazozDataSet::InternalRefresh() {
  int32_t n = RecordNumberOf(ActiveBuffer());
  if (!IsEmpty() && n > 0) handler_->GetRecord(n);
  handler_->RefreshFilter();
}

int TDevazozDataSet::GetRecordCount() {
  if (!handler_) DatabaseError("Cannot perform this operation on a closed dataset");
  if (!exact_count_) return handler_->RecordCount();
  int32_t remembered = GetRecNo();
  DBFObject& h = *handler_;
  int count = 0;
  auto walk = [&] {
    h.GetRecord(kMoveFirst);
    while (!h.Eof() && !h.Bof()) {
      ++count;
      h.GetRecord(kMoveNext);
    }
  };
  // The count does not depend on the order: without a key range, natural order
  // reads the table (or the filter's records) sequentially.
  bool ranged = range_set_ || (master_link_.Active() && !master_link_.Fields().empty());
  if (ranged)
    walk();
  else
    InNaturalOrder(walk);
  if (remembered > 0) h.GetRecord(remembered);
  CursorPosChanged();
  return count;
}

int TDevazozDataSet::GetRecNo() {
  if (!handler_) DatabaseError("Cannot perform this operation on a closed dataset");
  if (State() == TDataSetState::dsCalcFields) return RecordNumberOf(CalcBuffer());
  if (IsEmpty()) return 0;
  return RecordNumberOf(ActiveBuffer());
}

void TDevazozDataSet::DoSetRecNo(int n) {
  CheckBrowseMode();
  DoBeforeScroll();
  handler_->GetRecord(n);
  CursorPosChanged();
  Resync(platform::rmExact | platform::rmCenter);
  DoAfterScroll();
}

// ---------------------------------------------------------------------------
// Field data

TRecordBuffer TDevazozDataSet::StateRecordBuffer() {
  switch (State()) {
    case TDataSetState::dsBrowse:
      return IsEmpty() ? nullptr : ActiveBuffer();
    case TDataSetState::dsCalcFields:
      return CalcBuffer();
    case TDataSetState::dsFilter:
      return handler_ ? reinterpret_cast<TRecordBuffer>(handler_->RecordBuffer()) : nullptr;
    case TDataSetState::dsOldValue:
      if (record_locked_ && handler_)
        return reinterpret_cast<TRecordBuffer>(handler_->SavedRecord());
      return ActiveBuffer();
    case TDataSetState::dsInactive:
      return nullptr;
    default:
      return ActiveBuffer();
  }
}

bool TDevazozDataSet::GetFieldData(TField* field, void* buffer) {
  TRecordBuffer record = StateRecordBuffer();
  if (!record || !handler_) return false;
  int n = field->FieldNo();
  if (n == 0) {
    // Calculated fields live in the calculated-fields part of the framework buffers.
    if (State() == TDataSetState::dsFilter || State() == TDataSetState::dsOldValue)
      record = ActiveBuffer();
    if (!record) return false;
    const char* p = record + record_size_ + field->Offset();
    if (!p[0]) return false;
    if (buffer) std::memcpy(buffer, p + 1, size_t(field->DataSize()));
    return true;
  }
  DBFObject& h = *handler_;
  if (n > h.FieldCount()) return false;
  const FieldDescriptor& d = h.Descriptor(n);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(record);
  if (buffer && field->DataSize() > 0) std::memset(buffer, 0, size_t(field->DataSize()));
  switch (field->DataType()) {
    case TFieldType::ftString: {
      std::string_view text = h.RawPeekStr(d, bytes);
      while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
      if (text.empty()) return false;
      if (buffer)
        std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), size_t(field->Size())));
      return true;
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger: {
      PointAt point(&h, record);
      double v = std::round(h.GetNum(n));
      if (buffer) {
        if (field->DataType() == TFieldType::ftSmallint) {
          int16_t s = int16_t(std::clamp(v, -32768.0, 32767.0));
          std::memcpy(buffer, &s, 2);
        } else {
          int32_t i = int32_t(std::clamp(v, -2147483648.0, 2147483647.0));
          std::memcpy(buffer, &i, 4);
        }
      }
      return true;
    }
    case TFieldType::ftFloat:
    case TFieldType::ftDateTime: {
      PointAt point(&h, record);
      double v = h.GetNum(n);
      if (buffer) std::memcpy(buffer, &v, 8);
      return true;
    }
    case TFieldType::ftBoolean: {
      PointAt point(&h, record);
      uint16_t v = h.GetLogic(n) ? 1 : 0;
      if (buffer) std::memcpy(buffer, &v, 2);
      return true;
    }
    case TFieldType::ftDate: {
      std::string text = TrimRightZ(h.RawGetStr(d, bytes));
      if (text.size() != 8 || text == "00000000") return false;
      for (char c : text)
        if (c < '0' || c > '9') return false;
      int32_t date = 0;
      if (!platform::TryEncodeDate(std::stoi(text.substr(0, 4)), std::stoi(text.substr(4, 2)),
                                   std::stoi(text.substr(6, 2)), date))
        return false;
      int32_t days = date + platform::kDateDelta;
      if (buffer) std::memcpy(buffer, &days, 4);
      return true;
    }
    case TFieldType::ftMemo:
    case TFieldType::ftBlob: {
      PointAt point(&h, record);
      return std::llround(h.GetNum(n)) != 0;
    }
    default:
      return false;
  }
}

void TDevazozDataSet::SetFieldData(TField* field, const void* buffer) {
  TDataSetState state = State();
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert &&
      state != TDataSetState::dsSetKey && state != TDataSetState::dsCalcFields &&
      state != TDataSetState::dsFilter && state != TDataSetState::dsNewValue)
    DatabaseError("Dataset not in edit or insert mode");
  int n = field->FieldNo();
  if (state == TDataSetState::dsSetKey) {
    GSobjIndexTag* tag = handler_ ? handler_->CurrentTag() : nullptr;
    std::string key = tag ? platform::AnsiUpper(tag->KeyExpression()) : std::string();
    if (n == 0 || key.find(platform::AnsiUpper(field->FieldName())) == std::string::npos)
      DatabaseErrorFmt("Field '%s' is not indexed and cannot be modified", field->DisplayLabel());
  }
  TRecordBuffer record = StateRecordBuffer();
  if (!record || !handler_) DatabaseError("Dataset not in edit or insert mode");
  if (n == 0) {
    if (state == TDataSetState::dsFilter) record = ActiveBuffer();
    char* p = record + record_size_ + field->Offset();
    p[0] = buffer ? 1 : 0;
    if (buffer)
      std::memcpy(p + 1, buffer, size_t(field->DataSize()));
    else
      std::memset(p + 1, 0, size_t(field->DataSize()));
  } else {
    if (state == TDataSetState::dsCalcFields) DatabaseError("Dataset not in edit or insert mode");
    if (field->ReadOnly() && state != TDataSetState::dsSetKey && state != TDataSetState::dsFilter)
      DatabaseErrorFmt("Field '%s' cannot be modified", field->DisplayLabel());
    field->Validate(buffer);
    DBFObject& h = *handler_;
    PointAt point(&h, record);
    switch (field->DataType()) {
      case TFieldType::ftString:
        h.PutText(n, buffer ? std::string(
                                  static_cast<const char*>(buffer),
                                  strnlen(static_cast<const char*>(buffer), size_t(field->Size())))
                            : std::string());
        break;
      case TFieldType::ftSmallint: {
        int16_t v = 0;
        if (buffer) std::memcpy(&v, buffer, 2);
        h.PutNum(n, v);
        break;
      }
      case TFieldType::ftInteger: {
        int32_t v = 0;
        if (buffer) std::memcpy(&v, buffer, 4);
        h.PutNum(n, v);
        break;
      }
      case TFieldType::ftBoolean: {
        uint16_t v = 0;
        if (buffer) std::memcpy(&v, buffer, 2);
        h.PutLogic(n, v != 0);
        break;
      }
      case TFieldType::ftFloat:
      case TFieldType::ftDateTime: {
        double v = 0;
        if (buffer) std::memcpy(&v, buffer, 8);
        h.PutNum(n, v);
        break;
      }
      case TFieldType::ftDate: {
        std::string text(8, ' ');
        if (buffer) {
          int32_t days;
          std::memcpy(&days, buffer, 4);
          int32_t date = days - platform::kDateDelta;
          int y, m, d;
          platform::DecodeDate(date, y, m, d);
          int32_t check = 0;
          if (days >= 1 && y >= 1 && y <= 9999 && platform::TryEncodeDate(y, m, d, check) &&
              check == date)
            text = platform::FormatDate("yyyymmdd", date);
        }
        h.PutStr(n, text);
        break;
      }
      default:
        break;
    }
  }
  if (state != TDataSetState::dsCalcFields && state != TDataSetState::dsFilter &&
      state != TDataSetState::dsNewValue)
    DataEvent(platform::TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(field));
}

std::unique_ptr<platform::TStream> TDevazozDataSet::CreateBlobStream(
    TField* field, platform::TBlobStreamMode mode) {
  return std::make_unique<THCBlobStream>(field, mode);
}

void TDevazozDataSet::Translate(const char* source, char* dest, bool to_oem) {
  if (!dest) return;
  if (!source) {
    *dest = '\0';
    return;
  }
  size_t length = std::strlen(source);
  if (translate_ascii_) {
    if (to_oem) {
      // A character the table's code page has not would be stored, or searched
      // for, as another one: refused instead.
      std::string text(source, length);
      size_t bad = platform::FirstAnsiNotInOem(text);
      if (bad != std::string::npos)
        DatabaseError("\"" + text + "\" cannot be used with table " +
                      (handler_ ? handler_->RealPath() : FullTableName()) +
                      ": its code page (437) has no character \"" + text.substr(bad, 1) + "\"");
      platform::AnsiToOemBuffer(source, dest, length);
    } else
      platform::OemToAnsiBuffer(source, dest, length);
    dest[length] = '\0';
  } else if (source != dest) {
    std::memmove(dest, source, length + 1);
  }
}

std::string TDevazozDataSet::ToOem(const std::string& text) {
  std::string out = text.c_str();
  Translate(out.c_str(), out.data(), true);
  return out;
}

std::string TDevazozDataSet::ToAnsi(const std::string& text) {
  std::string out = text.c_str();
  Translate(out.c_str(), out.data(), false);
  return out;
}

// ---------------------------------------------------------------------------
// Editing

void TDevazozDataSet::InternalInitRecord(TRecordBuffer buffer) {
  {
    PointAt point(handler_.get(), buffer);
    handler_->BlankRecord();
  }
  if (State() != TDataSetState::dsEdit)
    std::memcpy(handler_->SavedRecord(), buffer, size_t(record_size_));
}

void TDevazozDataSet::DoAfterInsert() {
  handler_->SetEnds(true, false);
  TDataSet::DoAfterInsert();
}

void TDevazozDataSet::InternalEdit() {
  TRecordBuffer active = ActiveBuffer();
  handler_->GetRecord(RecordNumberOf(active));
  if (!handler_->LockRecord()) DatabaseError("Record is locked by another user");
  CopyFromTable(active);
  record_locked_ = true;
}

void TDevazozDataSet::InternalPost() {
  DBFObject& h = *handler_;
  TRecordBuffer active = ActiveBuffer();
  if (State() == TDataSetState::dsEdit) {
    int32_t n = RecordNumberOf(active);
    // The index keys are updated from the record last read: make it this one.
    if (h.RecordNumber() != n) h.GetRecord(n);
    CopyToTable(active);
    h.WriteRecord(n);
    DigestRecordWritten(n);
    PlaceWritten(n);
  } else {
    CopyToTable(active);
    h.AppendRecord();
    DigestRecordWritten(h.RecordNumber());
    PlaceWritten(h.RecordNumber());
  }
  h.UnlockRegion();
  record_locked_ = false;
  at_first_ = at_last_ = false;
}

void TDevazozDataSet::InternalAddRecord(TRecordBuffer buffer, bool) {
  CopyToTable(buffer);
  handler_->AppendRecord();
  DigestRecordWritten(handler_->RecordNumber());
  PlaceWritten(handler_->RecordNumber());
  handler_->UnlockRegion();
  record_locked_ = false;
}

void TDevazozDataSet::InternalCancel() {
  if (handler_) handler_->UnlockRegion();
  record_locked_ = false;
}

void TDevazozDataSet::InternalDelete() {
  DBFObject& h = *handler_;
  int32_t n = RecordNumberOf(ActiveBuffer());
  {
    UseDeletedFor show_deleted(&h, use_deleted_);
    try {
      if (h.RecordNumber() != n) h.GetRecord(n);
      h.DeleteRecord();
    } catch (const std::exception&) {
      DatabaseError("Cannot delete the record");
    }
  }
  DigestDeleted(n, true);
  PlaceShownChanged();
  h.GetRecord(kMoveCurrent);
  if (h.Eof()) h.GetRecord(kMovePrevious);
}

void TDevazozDataSet::RecallRecord() {
  CheckActive();
  CheckBrowseMode();
  if (IsEmpty()) return;
  DBFObject& h = *handler_;
  int32_t n = RecordNumberOf(ActiveBuffer());
  {
    UseDeletedFor show_deleted(&h, use_deleted_);
    try {
      if (h.RecordNumber() != n) h.GetRecord(n);
      h.UndeleteRecord();
    } catch (const std::exception&) {
      DatabaseError("Cannot recall the record");
    }
  }
  DigestDeleted(n, false);
  PlaceShownChanged();
  // The buffer still shows the deletion flag: read the record again in place.
  CopyFromTable(ActiveBuffer());
  DataEvent(platform::TDataEvent::deRecordChange, 0);
}

// ---------------------------------------------------------------------------
// Index files, tags and ranges

void TDevazozDataSet::SetIndexFiles(const std::vector<std::string>& files) {
  index_files_ = files;
  bool was_open = handler_ != nullptr;
  std::unique_ptr<DBFObject> temporary;
  if (!was_open) {
    try {
      temporary = MakeHandler(false, true);
    } catch (const std::exception&) {
      return;  // no table to check the files against
    }
  }
  DBFObject& h = was_open ? *handler_ : *temporary;
  if (was_open) DropPlace();
  h.CloseIndexFiles();
  bool any = false;
  for (const std::string& f : index_files_) any = any || !Trim(f).empty();
  if (!any) index_name_.clear();
  if (was_open) {
    // Natural order until the files are open again, so a failure leaves a usable cursor.
    h.SelectTag(nullptr, true);
  }
  if (any) OpenIndexFiles(h, true);
  if (was_open) {
    std::string tag = Trim(index_name_);
    h.SelectTag(tag.empty() ? nullptr : &tag, true);
    range_set_ = false;
    ApplyMasterRange(false);
    if (Active() && State() == TDataSetState::dsBrowse) First();
  }
}

void TDevazozDataSet::SetIndexName(const std::string& name) {
  // A record being edited is posted first: the buffers are read again below.
  if (Active()) CheckBrowseMode();
  index_name_ = name;
  if (!handler_) return;
  SelectIndexName(name, false);
}

void TDevazozDataSet::SelectIndexName(const std::string& name, bool keep_position) {
  DBFObject& h = *handler_;
  std::string tag = Trim(name);
  h.SelectTag(tag.empty() ? nullptr : &tag, keep_position);
  range_set_ = false;  // a new tag drops the key range
  if (Active()) {
    int32_t n = GetRecNo();
    if (n > 0) h.GetRecord(n);
  }
  ApplyMasterRange(false);
  if (!Active()) return;
  CursorPosChanged();
  at_first_ = at_last_ = false;
  if (!(h.Eof() && h.Bof())) {
    try {
      Resync(0);
    } catch (const std::exception&) {
    }
  }
  DoAfterScroll();
}

int TDevazozDataSet::TagCount() {
  CheckActive();
  int count = 0;
  for (int slot = 1; slot <= GSO_dBHandler::kIndexSlots; ++slot)
    if (GSobjIndexFile* f = handler_->IndexFile(slot)) count += f->TagCount();
  return count;
}

std::string TDevazozDataSet::TagName(int n) {
  CheckActive();
  GSobjIndexTag* tag = handler_->TagByNumber(n);
  return tag ? tag->TagName() : std::string();
}

std::string TDevazozDataSet::TagExpression(int n) {
  CheckActive();
  GSobjIndexTag* tag = handler_->TagByNumber(n);
  return tag ? tag->KeyExpression() : std::string();
}

std::string TDevazozDataSet::TagCondition(int n) {
  CheckActive();
  GSobjIndexTag* tag = handler_->TagByNumber(n);
  return tag ? tag->ForExpression() : std::string();
}

std::string TDevazozDataSet::ActiveTagName() {
  return handler_ ? handler_->CurrentTagName() : std::string();
}

void TDevazozDataSet::SetKeyRange(const std::string& low, const std::string& high) {
  CheckBrowseMode();
  range_low_ = ToOem(low);
  range_high_ = ToOem(high);
  range_set_ = !range_low_.empty() || !range_high_.empty();
  handler_->SetKeyRange(range_low_, range_high_, true, true);
  First();
}

void TDevazozDataSet::RestoreRange() {
  if (range_set_)
    handler_->SetKeyRange(range_low_, range_high_, true, true);
  else
    ApplyMasterRange(false);
}

template <class Op>
void TDevazozDataSet::InNaturalOrder(Op op) {
  DBFObject& h = *handler_;
  std::string tag = h.CurrentTagName();
  if (tag.empty()) {
    op();
    return;
  }
  int32_t at = h.RecordNumber();
  h.SelectTag(nullptr, true);
  auto back = [&] {
    h.SelectTag(&tag, false);
    RestoreRange();
    if (at > 0) h.GetRecord(at);
  };
  try {
    op();
  } catch (...) {
    back();
    throw;
  }
  back();
}

void TDevazozDataSet::Pack() {
  CheckBrowseMode();
  handler_->SetReadAheadAllowed(false);
  // The digest is read again after a pack however it ends (DigestPacked); let
  // go of it first, so that its memory and the pack's sorts are not held at once.
  if (digest_) digest_->Clear();
  busy_ = 2;
  try {
    handler_->Pack();
  } catch (...) {
    busy_ = 0;
    DigestPacked();
    DropPlace();
    throw;
  }
  busy_ = 0;
  DigestPacked();
  DropPlace();
  First();
}

void TDevazozDataSet::FlushBuffers() {
  if (handler_) handler_->SyncToDisk();
}

void TDevazozDataSet::BeginBulk() {
  if (handler_) handler_->BeginBulk();
}

void TDevazozDataSet::EndBulk() {
  if (handler_) handler_->EndBulk();
}

std::vector<std::string> TDevazozDataSet::RebuiltIndexes() const {
  return handler_ ? handler_->RebuiltIndexes() : std::vector<std::string>();
}

std::vector<std::string> TDevazozDataSet::StaleIndexReasons() const {
  return handler_ ? handler_->StaleIndexReasons() : std::vector<std::string>();
}

std::string TDevazozDataSet::MemoProblem() const {
  return handler_ ? handler_->MemoMissing() : std::string();
}

std::string TDevazozDataSet::TableDamage() const {
  return handler_ ? handler_->Damage() : std::string();
}

TgsTableRepair TDevazozDataSet::RepairTable() {
  CheckInactive();
  std::string full = FullTableName();
  if (!FileExists(full)) DatabaseErrorFmt("Cannot find file %s", os::ExpandFileName(full));
  std::vector<std::string> indexes;
  for (const std::string& entry : index_files_)
    if (!Trim(entry).empty()) indexes.push_back(IndexFullName(Trim(entry)));
  return devazoz::RepairTable(full, indexes, [&] {
    return std::unique_ptr<GSO_dBHandler>(std::make_unique<DBFObject>(this, full, true, false));
  });
}

void TDevazozDataSet::Reindex() {
  CheckBrowseMode();
  busy_ = 1;
  DropPlace();
  // A reindex changes no record, but the digest is let go while the tags are
  // built and read again afterwards however the reindex ends (as after a pack),
  // so that its memory and the builds' sort areas are not held at once.
  if (digest_) digest_->Clear();
  try {
    handler_->Reindex();
  } catch (...) {
    busy_ = 0;
    DigestPacked();
    throw;
  }
  busy_ = 0;
  DigestPacked();
  CursorPosChanged();
  try {
    Resync(0);
  } catch (const std::exception&) {
    First();
  }
}

// ---------------------------------------------------------------------------
// Master/detail

void TDevazozDataSet::ApplyMasterRange(bool through_framework) {
  if (!handler_ || !master_link_.Active()) return;
  std::vector<TField*> keys = master_link_.Fields();
  if (keys.empty()) return;
  std::string value = keys.front()->AsString();
  if (through_framework)
    SetKeyRange(value, value);
  else
    handler_->SetKeyRange(value, value, true, true);
}

void TDevazozDataSet::MasterChanged() {
  if (Active()) ApplyMasterRange(true);
}

void TDevazozDataSet::MasterDisabled() {
  if (Active()) SetKeyRange(std::string(), std::string());
}

// ---------------------------------------------------------------------------
// Filters

bool TDevazozDataSet::FilterRecord() {
  if (!handler_ || !Filtered() || !OnFilterRecord) return true;
  TDataSetState old = SetTempState(TDataSetState::dsFilter);
  bool accept = true;
  try {
    OnFilterRecord(*this, accept);
  } catch (...) {
    RestoreState(old);
    throw;
  }
  RestoreState(old);
  return accept;
}

void TDevazozDataSet::ApplyFilter() { ApplyFilterExpression(Filter(), FilterOptions()); }

void TDevazozDataSet::ApplyFilterExpression(const std::string& text,
                                            platform::TFilterOptions options) {
  handler_->SetFilterActive(true);
  // The set of matching records is built by reading the table: in natural order
  // that is one sequential pass instead of a walk of the tag.
  // The table's text is compared as it is stored: the expression's literals go
  // to the table's code page as field values do, and case is folded there.
  std::string table_text = ToOem(text);
  handler_->search_oem_text = translate_ascii_;
  InNaturalOrder([&] {
    handler_->SetFilterExpression(table_text, (options & platform::foCaseInsensitive) != 0,
                                  (options & platform::foNoPartialCompare) == 0);
  });
}

void TDevazozDataSet::SetFilterText(const std::string& text) {
  if (Active() && Filtered()) {
    CheckBrowseMode();
    ApplyFilterExpression(text, FilterOptions());
    SetFilterTextValue(text);
    First();
  } else {
    SetFilterTextValue(text);
  }
}

void TDevazozDataSet::DoSetFilterOptions(platform::TFilterOptions options) {
  if (Active() && Filtered()) {
    CheckBrowseMode();
    ApplyFilterExpression(Filter(), options);
    SetFilterOptionsValue(options);
    First();
  } else {
    SetFilterOptionsValue(options);
  }
}

void TDevazozDataSet::DoSetFiltered(bool on) {
  if (!Active()) {
    SetFilteredValue(on);
    return;
  }
  CheckBrowseMode();
  if (on != Filtered()) {
    SetFilteredValue(on);
    handler_->SetFilterActive(on);
    if (on) ApplyFilter();
  }
  First();
}

// ---------------------------------------------------------------------------
// Locate and Lookup

std::string TDevazozDataSet::FittingTag(const std::string& field_name) {
  int count = TagCount();
  for (int i = 1; i <= count; ++i) {
    GSobjIndexTag* tag = handler_->TagByNumber(i);
    if (tag && Trim(tag->ForExpression()).empty() &&
        SameText(Trim(tag->KeyExpression()), Trim(field_name)))
      return tag->TagName();
  }
  return std::string();
}

bool TDevazozDataSet::VisibleInView() {
  DBFObject& h = *handler_;
  if (h.IsDeleted() && !h.use_deleted) return false;
  if (h.FilterSetInUse() && !h.FilterSet().Has(h.RecordNumber())) return false;
  if (h.AcceptSet() && !h.AcceptSet()->Has(h.RecordNumber())) return false;
  return h.RecordAccepted();
}

bool TDevazozDataSet::Locate(const std::string& key_fields, const platform::TVariant& key_values,
                             platform::TLocateOptions options) {
  CheckActive();
  DBFObject& h = *handler_;
  if (h.RecordCount() == 0) return false;
  CheckBrowseMode();
  bool partial = (options & platform::loPartialKey) != 0;
  bool no_case = (options & platform::loCaseInsensitive) != 0;
  std::string tag = no_case ? std::string() : FittingTag(key_fields);
  // By the beginning of the field, the first match in the current order: the
  // fitting tag only when it is the current order.
  if (partial && (tag.empty() || tag != h.CurrentTagName()))
    return LocateInOrder(key_fields, key_values, options, false);
  std::string value = ToOem(key_values.AsString());
  bool found = false;
  if (tag.empty()) {
    int field = h.FieldNumber(platform::AnsiUpper(Trim(key_fields)));
    if (field == 0) DatabaseErrorFmt("Field '%s' not found", key_fields);
    h.search_options = kSearchAnchored | (partial ? kSearchWildcards : kSearchWholeField) |
                       (no_case ? kSearchCaseInsensitive : 0);
    h.search_oem_text = translate_ascii_;
    if (partial) value += "*";
    DisableControls();
    try {
      DoBeforeScroll();
      int32_t record = 0;
      // The search reads the file in natural order: skip what the view hides.
      while (h.SearchField(value, field, 0, record) == 1) {
        if (VisibleInView()) {
          found = true;
          break;
        }
        record = h.RecordNumber();
      }
      if (found) {
        CursorPosChanged();
        at_first_ = at_last_ = false;
        Resync(platform::rmExact | platform::rmCenter);
        DoAfterScroll();
      }
    } catch (...) {
      EnableControls();
      throw;
    }
    EnableControls();
    return found;
  }
  std::string remembered = index_name_;
  SetIndexName(tag);
  try {
    DoBeforeScroll();
    CursorPosChanged();
    h.exact_comparison = !partial;
    h.soft_seek = false;
    int32_t record = h.RecordNumber();
    found = h.FindKey(value);
    if (found) {
      at_first_ = at_last_ = false;
      Resync(platform::rmExact | platform::rmCenter);
      DoAfterScroll();
    } else if (record > 0) {
      h.GetRecord(record);
    }
  } catch (...) {
    SetIndexName(remembered);
    throw;
  }
  SetIndexName(remembered);
  return found;
}

platform::TVariant TDevazozDataSet::Lookup(const std::string& key_fields,
                                           const platform::TVariant& key_values,
                                           const std::string& result_fields) {
  CheckActive();
  DBFObject& h = *handler_;
  if (h.RecordCount() == 0 || IsEmpty()) return platform::TVariant(false);
  int32_t remembered = h.RecordNumber();
  std::string remembered_tag = h.CurrentTagName();
  std::string value = ToOem(key_values.IsNull() ? std::string() : key_values.AsString());
  std::string tag = FittingTag(key_fields);
  bool found = false;
  platform::TVariant result;
  auto restore = [&] {
    if (!tag.empty()) {
      h.SelectTag(remembered_tag.empty() ? nullptr : &remembered_tag, true);
      RestoreRange();
    }
    if (remembered > 0) h.GetRecord(remembered);
  };
  try {
    if (tag.empty()) {
      int field = h.FieldNumber(platform::AnsiUpper(Trim(key_fields)));
      if (field == 0) DatabaseErrorFmt("Field '%s' not found", key_fields);
      h.search_options = kSearchAnchored | kSearchWildcards;
      h.search_oem_text = translate_ascii_;
      int32_t record = 0;
      while (h.SearchField(value, field, 0, record) == 1) {
        if (VisibleInView()) {
          found = true;
          break;
        }
        record = h.RecordNumber();
      }
    } else {
      h.SelectTag(&tag, false);
      h.exact_comparison = false;
      h.soft_seek = false;
      found = h.FindKey(value);
    }
    if (found) {
      if (!h.FindField(platform::AnsiUpper(Trim(result_fields))))
        DatabaseErrorFmt("Field '%s' not found", result_fields);
      result =
          platform::TVariant(ToAnsi(h.GetDisplayByName(platform::AnsiUpper(Trim(result_fields)))));
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

}  // namespace devazoz
