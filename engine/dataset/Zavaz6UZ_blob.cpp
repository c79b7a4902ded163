#include "engine/dataset/Zavaz6UZ_blob.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/gs6_eror.h"
#include "platform/services/apphandler.h"

namespace devazoz {

using platform::TDataSetState;

THCBlobStream::THCBlobStream(platform::TField* field, platform::TBlobStreamMode mode)
    : field_(field), dataset_(static_cast<TDevazozDataSet*>(field->DataSet())) {
  field_number_ = field->FieldNo();
  record_ = dataset_ ? dataset_->StateRecordBuffer() : nullptr;
  if (!record_ || !dataset_->Handler()) return;
  if (mode != platform::TBlobStreamMode::bmRead) {
    if (field->ReadOnly())
      platform::DatabaseErrorFmt("Field '%s' cannot be modified", field->DisplayLabel());
    TDataSetState state = dataset_->State();
    if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert)
      platform::DatabaseError("Dataset not in edit or insert mode");
  }
  if (mode == platform::TBlobStreamMode::bmWrite) {
    modified_ = true;
    return;
  }
  DBFObject& h = *dataset_->Handler();
  // A missing memo file reads as an empty memo; the dataset's MemoProblem says why.
  if (!h.MemoMissing().empty()) return;
  h.SetCurrentRecord(reinterpret_cast<uint8_t*>(record_));
  try {
    int32_t size = h.MemoSize(field_number_);
    if (size > 0) {
      data_ = std::make_unique<char[]>(size_t(size) + 1);
      data_[size_t(size)] = '\0';
      int32_t got = size;
      h.MemoRead(field_number_, data_.get(), got);
      size_ = std::clamp(got, 0, size);
      data_[size_t(size_)] = '\0';
      if (field->Transliterate()) {
        // Translate stops at a NUL: translate each NUL-separated piece.
        for (int32_t i = 0; i < size_; i += int32_t(std::strlen(data_.get() + i)) + 1)
          dataset_->Translate(data_.get() + i, data_.get() + i, false);
      }
    }
  } catch (...) {
    h.SetCurrentRecord(nullptr);
    throw;
  }
  h.SetCurrentRecord(nullptr);
}

THCBlobStream::~THCBlobStream() {
  if (modified_ && dataset_ && dataset_->Handler()) {
    TDataSetState state = dataset_->State();
    if (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert) {
      try {
        WriteBack();
      } catch (const std::exception& e) {
        platform::HandleApplicationException(e);
      }
    }
  }
}

void THCBlobStream::WriteBack() {
  DBFObject& h = *dataset_->Handler();
  platform::TRecordBuffer active = dataset_->ActiveBuffer();
  if (!active) return;
  std::string missing = h.MemoMissing();
  if (!missing.empty()) throw EDevazozError(missing, kErrMemoMissing, kSubMemoOpen);
  int32_t length = data_ ? size_ : 0;
  if (data_ && field_->Transliterate()) {
    for (int32_t i = 0; i < size_; i += int32_t(std::strlen(data_.get() + i)) + 1)
      dataset_->Translate(data_.get() + i, data_.get() + i, true);
  }
  static char empty[1] = {'\0'};
  h.SetCurrentRecord(reinterpret_cast<uint8_t*>(active));
  try {
    h.MemoWrite(field_number_, data_ ? data_.get() : empty, length);
  } catch (...) {
    h.SetCurrentRecord(nullptr);
    throw;
  }
  h.SetCurrentRecord(nullptr);
  dataset_->DataEvent(platform::TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(field_));
}

int32_t THCBlobStream::Read(void* buffer, int32_t count) {
  if (!data_ || count <= 0 || position_ < 0 || position_ >= size_) return 0;
  int32_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_.get() + position_, size_t(n));
  position_ += n;
  return n;
}

int32_t THCBlobStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  // What lay beyond the position is dropped; a position past the end (a seek
  // does not clamp) is filled with zero bytes, one before the start counts as 0.
  int32_t keep = std::max(position_, 0);
  int64_t total = int64_t(keep) + count;
  if (total > INT32_MAX - 1) return 0;
  auto block = std::make_unique<char[]>(size_t(total) + 1);
  std::memset(block.get(), 0, size_t(keep));
  if (data_) std::memcpy(block.get(), data_.get(), size_t(std::min(keep, size_)));
  std::memcpy(block.get() + keep, buffer, size_t(count));
  block[size_t(total)] = '\0';
  data_ = std::move(block);
  size_ = int32_t(total);
  position_ = size_;
  modified_ = true;
  return count;
}

int64_t THCBlobStream::Seek(int64_t offset, platform::TSeekOrigin origin) {
  int64_t p = position_;
  switch (origin) {
    case platform::TSeekOrigin::soBeginning:
      p = offset;
      break;
    case platform::TSeekOrigin::soCurrent:
      p = position_ + offset;
      break;
    case platform::TSeekOrigin::soEnd:
      p = size_ + offset;
      break;
  }
  position_ = int32_t(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
  return position_;
}

}  // namespace devazoz
