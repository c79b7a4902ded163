#include "platform/dataset/dataset.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

// Runs `undo` when the scope ends, also by an exception.
template <class F>
class Finally {
 public:
  explicit Finally(F f) : f_(std::move(f)) {}
  ~Finally() noexcept(false) {
    if (std::uncaught_exceptions() > count_) {
      try {
        f_();
      } catch (...) {
      }
    } else {
      f_();
    }
  }

 private:
  F f_;
  int count_ = std::uncaught_exceptions();
};

}  // namespace

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  // A descendant closes the dataset in its own destructor: the hooks are gone here.
  for (TDataSource* source : data_sources_) {
    source->dataset_ = nullptr;
    for (TDataLink* link : source->links_) link->UpdateState();
  }
  for (auto& field : owned_fields_) field->dataset_ = nullptr;
}

// ---- Opening and closing

void TDataSet::CheckActive() {
  if (state_ == TDataSetState::dsInactive)
    DatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive() {
  if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
}

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    Fire(BeforeOpen);
    try {
      OpenCursor();
    } catch (...) {
      try {
        CloseCursor();
      } catch (...) {
      }
      throw;
    }
    SetState(TDataSetState::dsBrowse);
    Fire(AfterOpen);
    if (!IsEmpty()) DoAfterScroll();
  } else {
    Fire(BeforeClose);
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
      try {
        InternalCancel();
      } catch (...) {
      }
    }
    SetState(TDataSetState::dsInactive);
    CloseCursor();
    Fire(AfterClose);
  }
}

void TDataSet::OpenCursor() {
  default_fields_ = fields_.Count() == 0;
  InternalOpen();
  active_ = true;
  UpdateBufferCount();
  ClearBuffers();
  GetNextRecords();
  bof_ = true;
  eof_ = record_count_ == 0;
}

void TDataSet::CloseCursor() {
  ClearBuffers();
  FreeBuffers();
  active_ = false;
  if (IsCursorOpen()) InternalClose();
}

// ---- Buffers

TRecordBuffer TDataSet::ActiveBuffer() const {
  if (buffers_.empty()) return nullptr;
  return buffers_[size_t(active_record_)];
}

void TDataSet::FreeBuffers() {
  for (TRecordBuffer& b : buffers_) FreeRecordBuffer(b);
  buffers_.clear();
  buffer_count_ = 0;
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
}

void TDataSet::UpdateBufferCount() {
  if (!active_) return;
  int wanted = 1;
  for (TDataSource* source : data_sources_) {
    if (!source->enabled_) continue;
    for (TDataLink* link : source->links_) wanted = std::max(wanted, link->buffer_count_);
  }
  int before = buffer_count_;
  SetBufListSize(wanted);
  if (buffer_count_ > before && before > 0 && state_ == TDataSetState::dsBrowse &&
      record_count_ > 0) {
    GetNextRecords();
    GetPriorRecords();
  }
}

void TDataSet::SetBufListSize(int count) {
  count = std::max(count, 1);
  if (count == buffer_count_) return;
  if (count > buffer_count_) {
    while (int(buffers_.size()) < count + 1) buffers_.push_back(AllocRecordBuffer());
  } else {
    // Drop records from the front while the active one would fall out, then from the end.
    int excess = record_count_ - count;
    if (excess > 0) {
      int front = std::min(excess, std::max(0, active_record_ - (count - 1)));
      for (int i = 0; i < front; ++i) MoveBuffer(0, int(buffers_.size()) - 1);
      active_record_ -= front;
      record_count_ -= front;
      if (record_count_ > count) record_count_ = count;
      if (current_record_ >= record_count_) current_record_ = -1;
    }
    while (int(buffers_.size()) > count + 1) {
      FreeRecordBuffer(buffers_.back());
      buffers_.pop_back();
    }
  }
  buffer_count_ = count;
}

void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  TRecordBuffer b = buffers_[size_t(from)];
  buffers_.erase(buffers_.begin() + from);
  buffers_.insert(buffers_.begin() + to, b);
  if (current_record_ == from) {
    current_record_ = to;
  } else if (from < to && current_record_ > from && current_record_ <= to) {
    --current_record_;
  } else if (from > to && current_record_ >= to && current_record_ < from) {
    ++current_record_;
  }
}

void TDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::SetCurrentRecord(int index) {
  if (current_record_ == index) return;
  TRecordBuffer buffer = buffers_[size_t(index)];
  switch (GetBookmarkFlag(buffer)) {
    case TBookmarkFlag::bfCurrent:
    case TBookmarkFlag::bfInserted:
      InternalSetToRecord(buffer);
      break;
    case TBookmarkFlag::bfBOF:
      InternalFirst();
      break;
    case TBookmarkFlag::bfEOF:
      InternalLast();
      break;
  }
  current_record_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (record_count_ > 0) SetCurrentRecord(active_record_);
}

bool TDataSet::GetNextRecord() {
  if (record_count_ > 0) SetCurrentRecord(record_count_ - 1);
  bool ok = GetRecord(buffers_[size_t(record_count_)], TGetMode::gmNext, true) == TGetResult::grOK;
  if (!ok) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    MoveBuffer(0, record_count_);
    if (active_record_ > 0) --active_record_;
  }
  current_record_ = record_count_ - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (record_count_ > 0) SetCurrentRecord(0);
  bool ok = GetRecord(buffers_[size_t(record_count_)], TGetMode::gmPrior, true) == TGetResult::grOK;
  if (!ok) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(record_count_, 0);
    if (record_count_ < buffer_count_) {
      ++record_count_;
      ++active_record_;
    } else {
      active_record_ = std::min(active_record_ + 1, buffer_count_ - 1);
      if (current_record_ >= buffer_count_) current_record_ = -1;
    }
  }
  current_record_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int n = 0;
  while (record_count_ < buffer_count_ && GetNextRecord()) ++n;
  return n;
}

int TDataSet::GetPriorRecords() {
  int n = 0;
  while (record_count_ < buffer_count_ && GetPriorRecord()) ++n;
  return n;
}

// ---- Navigation

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  Finally done([this] {
    bof_ = true;
    DataEvent(TDataEvent::deDataSetChange, 0);
    DoAfterScroll();
  });
  InternalFirst();
  GetNextRecords();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  Finally done([this] {
    eof_ = true;
    DataEvent(TDataEvent::deDataSetChange, 0);
    DoAfterScroll();
  });
  InternalLast();
  GetPriorRecords();
  if (record_count_ > 0) active_record_ = record_count_ - 1;
}

double TDataSet::RecordFraction(int* rows) {
  if (rows != nullptr) *rows = 0;
  if (!Active() || IsEmpty() || !IsSequenced()) return -1.0;
  const int count = RecordCount();
  const int n = RecNo();
  if (count <= 0 || n <= 0) return -1.0;
  if (rows != nullptr) *rows = count;
  return count > 1 ? std::clamp(double(n - 1) / (count - 1), 0.0, 1.0) : 0.0;
}

bool TDataSet::MoveToFraction(double fraction) {
  if (!Active() || IsEmpty() || !IsSequenced() || !(fraction >= 0.0 && fraction <= 1.0))
    return false;
  const int count = RecordCount();
  if (count <= 0) return false;
  SetRecNo(int(std::lround(fraction * (count - 1))) + 1);
  return true;
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    int old_count = record_count_;
    int scroll = 0;
    Finally done([&] {
      if (record_count_ != old_count)
        DataEvent(TDataEvent::deDataSetChange, 0);
      else
        DataEvent(TDataEvent::deDataSetScroll, scroll);
    });
    while (distance > 0) {
      if (active_record_ < record_count_ - 1) {
        ++active_record_;
      } else {
        bool full = record_count_ == buffer_count_;
        if (!GetNextRecord()) {
          eof_ = true;
          break;
        }
        if (full) ++scroll;
        active_record_ = record_count_ - 1;
      }
      --distance;
      ++moved;
    }
    while (distance < 0) {
      if (active_record_ > 0) {
        --active_record_;
      } else {
        bool full = record_count_ == buffer_count_;
        if (!GetPriorRecord()) {
          bof_ = true;
          break;
        }
        if (full) --scroll;
        active_record_ = 0;
      }
      ++distance;
      --moved;
    }
  }
  DoAfterScroll();
  return moved;
}

void TDataSet::Resync(TResyncMode mode) {
  TRecordBuffer spare = buffers_[size_t(record_count_)];
  if (mode & rmExact) {
    CursorPosChanged();
    if (GetRecord(spare, TGetMode::gmCurrent, true) != TGetResult::grOK)
      DatabaseError("Record not found");
  } else if (GetRecord(spare, TGetMode::gmCurrent, false) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmNext, false) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmPrior, false) != TGetResult::grOK) {
    ClearBuffers();
    DataEvent(TDataEvent::deDataSetChange, 0);
    return;
  }
  int count = (mode & rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  Finally done([this] { DataEvent(TDataEvent::deDataSetChange, 0); });
  while (count > 0 && GetPriorRecord()) --count;
  GetNextRecords();
  GetPriorRecords();
}

// ---- Editing

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    UpdateRecord();
    if (modified_)
      Post();
    else
      Cancel();
  }
}

void TDataSet::UpdateRecord() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert &&
      state_ != TDataSetState::dsSetKey)
    DatabaseError("Dataset not in edit or insert mode");
  DataEvent(TDataEvent::deUpdateRecord, 0);
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  InternalInitRecord(buffer);
  ClearCalcFields(buffer);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfInserted);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  if (!GetCanModify()) DatabaseError("Cannot modify a read-only dataset");
  Fire(BeforeInsert);
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(TDataSetState::dsInsert);
  try {
    Fire(OnNewRecord);
  } catch (...) {
    UpdateCursorPos();
    SetState(TDataSetState::dsBrowse);
    Resync(0);
    throw;
  }
  modified_ = false;
  DataEvent(TDataEvent::deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  std::string old_bookmark(size_t(std::max(bookmark_size_, 1)), '\0');
  if (record_count_ > 0) GetBookmarkData(ActiveBuffer(), old_bookmark.data());
  MoveBuffer(record_count_, active_record_);
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (record_count_ == 0)
    SetBookmarkFlag(buffer, TBookmarkFlag::bfBOF);
  else
    SetBookmarkData(buffer, old_bookmark.data());
  if (record_count_ < buffer_count_) ++record_count_;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfEOF);
  record_count_ = 1;
  bof_ = false;
  eof_ = false;
  GetPriorRecords();
  active_record_ = record_count_ - 1;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Edit() {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
  CheckActive();
  if (record_count_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  if (!GetCanModify()) DatabaseError("Cannot modify a read-only dataset");
  Fire(BeforeEdit);
  UpdateCursorPos();
  CheckOperation([this] { InternalEdit(); }, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(TDataSetState::dsEdit);
  DataEvent(TDataEvent::deRecordChange, 0);
  Fire(AfterEdit);
}

void TDataSet::Post() {
  UpdateRecord();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  Fire(BeforePost);
  CheckOperation([this] { InternalPost(); }, OnPostError);
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  Fire(AfterPost);
}

void TDataSet::Cancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  Fire(BeforeCancel);
  UpdateCursorPos();
  InternalCancel();
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  Fire(AfterCancel);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) {
    Cancel();
    return;
  }
  if (record_count_ == 0) DatabaseError("Cannot perform this operation on an empty dataset");
  bool was_editing = state_ == TDataSetState::dsEdit;
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  Fire(BeforeDelete);
  DoBeforeScroll();
  UpdateCursorPos();
  CheckOperation([this] { InternalDelete(); }, OnDeleteError);
  if (was_editing) InternalCancel();  // releases the edit's record lock
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  Fire(AfterDelete);
  DoAfterScroll();
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync(0);
}

void TDataSet::CheckOperation(const std::function<void()>& op, const TDataSetErrorEvent& on_error) {
  for (;;) {
    try {
      op();
      return;
    } catch (const EAbort&) {
      throw;
    } catch (const Exception& e) {
      TDataAction action = TDataAction::daFail;
      if (on_error) on_error(*this, e, action);
      if (action == TDataAction::daFail) throw;
      if (action == TDataAction::daAbort) throw EAbort();
    }
  }
}

// ---- Bookmarks

TBookmark TDataSet::GetBookmark() {
  if (!Active() || record_count_ == 0 || bookmark_size_ <= 0) return TBookmark();
  if (state_ != TDataSetState::dsBrowse && state_ != TDataSetState::dsEdit &&
      state_ != TDataSetState::dsInsert)
    return TBookmark();
  TRecordBuffer buffer = ActiveBuffer();
  if (GetBookmarkFlag(buffer) != TBookmarkFlag::bfCurrent) return TBookmark();
  TBookmark bookmark(size_t(bookmark_size_), '\0');
  GetBookmarkData(buffer, bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark.data());
  Finally done([this] { DoAfterScroll(); });
  Resync(rmExact | rmCenter);
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty()) return b.empty() ? 0 : -1;
  if (b.empty()) return 1;
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---- Fields

TField* TDataSet::AddField(std::unique_ptr<TField> field) {
  CheckInactive();
  TField* raw = field.get();
  raw->dataset_ = this;
  raw->index_ = fields_.Count();
  fields_.items_.push_back(raw);
  owned_fields_.push_back(std::move(field));
  return raw;
}

void TDataSet::CreateFields() {
  for (int i = 0; i < field_defs_.Count(); ++i) {
    const TFieldDef& def = field_defs_.Items(i);
    std::unique_ptr<TField> field;
    switch (def.DataType) {
      case TFieldType::ftString:
        field = std::make_unique<TStringField>(def.Size);
        break;
      case TFieldType::ftSmallint:
        field = std::make_unique<TSmallintField>();
        break;
      case TFieldType::ftInteger:
        field = std::make_unique<TIntegerField>();
        break;
      case TFieldType::ftBoolean:
        field = std::make_unique<TBooleanField>();
        break;
      case TFieldType::ftFloat:
        field = std::make_unique<TFloatField>();
        break;
      case TFieldType::ftDate:
        field = std::make_unique<TDateField>();
        break;
      case TFieldType::ftDateTime:
        field = std::make_unique<TDateTimeField>();
        break;
      case TFieldType::ftMemo:
        field = std::make_unique<TMemoField>();
        break;
      case TFieldType::ftBlob:
        field = std::make_unique<TBlobField>();
        break;
      case TFieldType::ftUnknown:
        continue;
    }
    field->field_name_ = def.Name;
    field->required_ = def.Required;
    field->dataset_ = this;
    field->index_ = fields_.Count();
    fields_.items_.push_back(field.get());
    owned_fields_.push_back(std::move(field));
  }
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  calc_field_count_ = 0;
  for (TField* field : fields_.items_) {
    if (!binding) {
      field->field_no_ = 0;
      continue;
    }
    if (field->field_kind_ == TFieldKind::fkData) {
      const TFieldDef& def = field_defs_.Find(field->field_name_);
      if (def.DataType != field->data_type_)
        DatabaseError("Type mismatch for field '" + field->field_name_ + "', expecting: " +
                      FieldTypeName(field->data_type_) + " actual: " + FieldTypeName(def.DataType));
      field->field_no_ = def.FieldNo;
      if (field->data_type_ == TFieldType::ftString) field->size_ = def.Size;
    } else {
      field->field_no_ = 0;
      field->offset_ = calc_fields_size_;
      calc_fields_size_ += 1 + field->DataSize();
      ++calc_field_count_;
    }
  }
}

void TDataSet::DestroyDefaultFields() {
  if (!default_fields_) return;
  fields_.items_.clear();
  owned_fields_.clear();
}

// ---- Calculated fields and states

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (calc_field_count_ == 0 || !buffer) return;
  TDataSetState old = SetTempState(TDataSetState::dsCalcFields);
  TRecordBuffer old_buffer = calc_buffer_;
  calc_buffer_ = buffer;
  Finally restore([&] {
    calc_buffer_ = old_buffer;
    RestoreState(old);
  });
  CalculateFields(buffer);
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
  ClearCalcFields(buffer);
  Fire(OnCalcFields);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
  TDataSetState old = state_;
  state_ = state;
  return old;
}

void TDataSet::RestoreState(TDataSetState state) { state_ = state; }

void TDataSet::SetState(TDataSetState state) {
  if (state_ == state) return;
  state_ = state;
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState, 0);
}

// ---- Events to links

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (event == TDataEvent::deFieldChange) {
    TField* field = reinterpret_cast<TField*>(info);
    if (field && field->field_kind_ == TFieldKind::fkData) modified_ = true;
    if (state_ != TDataSetState::dsSetKey && field) {
      if (calc_field_count_ > 0 && auto_calc_fields_ && field->field_kind_ == TFieldKind::fkData)
        GetCalcFields(ActiveBuffer());
      field->Change();
    }
  }
  if (disable_count_ > 0) {
    if (event == TDataEvent::deUpdateRecord) {
      SendToLinks(event, info);
    } else if (event != TDataEvent::deCheckBrowseMode) {
      pending_change_ = true;
    }
    return;
  }
  SendToLinks(event, info);
}

void TDataSet::SendToLinks(TDataEvent event, intptr_t info) {
  // A handler may bind or unbind sources meanwhile: walk a copy.
  std::vector<TDataSource*> sources = data_sources_;
  for (TDataSource* source : sources) source->DataEvent(event, info);
}

void TDataSet::DisableControls() {
  if (disable_count_++ == 0) {
    disable_state_ = state_;
    pending_change_ = false;
  }
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ > 0) return;
  if (state_ != disable_state_) SendToLinks(TDataEvent::deUpdateState, 0);
  if (pending_change_ || state_ != disable_state_) SendToLinks(TDataEvent::deDataSetChange, 0);
  pending_change_ = false;
}

bool TDataSet::IsLinkedTo(TDataSource* source) {
  for (int guard = 0; source && guard < 1000; ++guard) {
    TDataSet* dataset = source->DataSet();
    if (!dataset) return false;
    if (dataset == this) return true;
    source = dataset->GetDataSource();
  }
  return source != nullptr;
}

// ---- Searching (generic: a walk of the view; descendants do better)

namespace {

bool ValueMatches(TField* field, const std::string& wanted, TLocateOptions options) {
  std::string value = field->AsString();
  if (options & loPartialKey) {
    if (value.size() < wanted.size()) return false;
    value.resize(wanted.size());
  }
  if (options & loCaseInsensitive) return SameText(value, wanted);
  return value == wanted;
}

}  // namespace

bool TDataSet::Locate(const std::string& key_fields, const TVariant& key_values,
                      TLocateOptions options) {
  CheckBrowseMode();
  TField* field = FieldByName(key_fields);
  std::string wanted = key_values.AsString();
  TBookmark start = GetBookmark();
  DisableControls();
  Finally enable([this] { EnableControls(); });
  for (First(); !Eof(); Next())
    if (ValueMatches(field, wanted, options)) return true;
  if (!start.empty()) GotoBookmark(start);
  return false;
}

TVariant TDataSet::Lookup(const std::string& key_fields, const TVariant& key_values,
                          const std::string& result_fields) {
  CheckBrowseMode();
  TField* field = FieldByName(key_fields);
  TField* result = FieldByName(result_fields);
  std::string wanted = key_values.AsString();
  TBookmark start = GetBookmark();
  TVariant value;
  DisableControls();
  Finally enable([this] { EnableControls(); });
  for (First(); !Eof(); Next()) {
    if (ValueMatches(field, wanted, 0)) {
      value = result->Value();
      break;
    }
  }
  if (!start.empty()) GotoBookmark(start);
  return value;
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  (void)field;
  (void)mode;
  return std::make_unique<TMemoryStream>();
}

void TDataSet::Translate(const char* source, char* dest, bool to_oem) {
  (void)to_oem;
  if (!source) {
    if (dest) *dest = '\0';
    return;
  }
  if (source != dest) std::memmove(dest, source, std::strlen(source) + 1);
}

}  // namespace platform
