// A dataset over an in-memory list of rows (NAME string(10), NUM integer), for
// testing the framework's state machine, buffer ring and links without tables.
#ifndef TESTS_PLATFORM_DATASET_MEM_DATASET_H_
#define TESTS_PLATFORM_DATASET_MEM_DATASET_H_

#include <cstring>
#include <string>
#include <vector>

#include "platform/dataset/dataset.h"

namespace qvx_test {

struct MemRow {
  std::string name;
  int32_t num = 0;
  bool deleted = false;
};

class TMemDataSet : public platform::TDataSet {
 public:
  ~TMemDataSet() override { Close(); }
  std::vector<MemRow> rows;
  std::vector<std::string>* log = nullptr;  // hook calls, when set
  bool fail_post = false;

 protected:
  // Buffer: row index (int32), flag (1), name (11), num (4), bookmark (4).
  static constexpr int kIndex = 0, kFlag = 4, kName = 5, kNum = 16, kBookmark = 20, kSize = 24;

  void Log(const std::string& s) {
    if (log) log->push_back(s);
  }
  platform::TRecordBuffer AllocRecordBuffer() override {
    return new char[kSize + CalcFieldsSize()]();
  }
  void FreeRecordBuffer(platform::TRecordBuffer& b) override {
    delete[] b;
    b = nullptr;
  }
  void GetBookmarkData(platform::TRecordBuffer b, void* data) override {
    std::memcpy(data, b + kBookmark, 4);
  }
  platform::TBookmarkFlag GetBookmarkFlag(platform::TRecordBuffer b) override {
    return platform::TBookmarkFlag(uint8_t(b[kFlag]));
  }
  void SetBookmarkFlag(platform::TRecordBuffer b, platform::TBookmarkFlag f) override {
    b[kFlag] = char(f);
  }
  void SetBookmarkData(platform::TRecordBuffer b, const void* data) override {
    std::memcpy(b + kBookmark, data, 4);
  }
  platform::TGetResult GetRecord(platform::TRecordBuffer b, platform::TGetMode mode,
                                 bool) override {
    int n = int(rows.size());
    int pos = cursor_;
    for (;;) {
      if (mode == platform::TGetMode::gmNext)
        ++pos;
      else if (mode == platform::TGetMode::gmPrior)
        --pos;
      if (pos >= n) {
        cursor_ = n;
        return platform::TGetResult::grEOF;
      }
      if (pos < 0) {
        cursor_ = -1;
        return platform::TGetResult::grBOF;
      }
      if (!rows[size_t(pos)].deleted) break;
      if (mode == platform::TGetMode::gmCurrent) mode = platform::TGetMode::gmNext;
    }
    cursor_ = pos;
    Fill(b, pos);
    return platform::TGetResult::grOK;
  }
  void Fill(platform::TRecordBuffer b, int pos) {
    int32_t idx = pos;
    std::memcpy(b + kIndex, &idx, 4);
    std::memset(b + kName, 0, 11);
    std::memcpy(b + kName, rows[size_t(pos)].name.data(),
                std::min<size_t>(10, rows[size_t(pos)].name.size()));
    std::memcpy(b + kNum, &rows[size_t(pos)].num, 4);
    std::memcpy(b + kBookmark, &idx, 4);
    b[kFlag] = 0;
    GetCalcFields(b);
  }
  int GetRecordSize() override { return kSize; }
  void InternalAddRecord(platform::TRecordBuffer, bool) override {}
  void InternalClose() override {
    BindFields(false);
    DestroyDefaultFields();
    open_ = false;
    Log("InternalClose");
  }
  void InternalDelete() override {
    rows[size_t(cursor_)].deleted = true;
    Log("InternalDelete");
  }
  void InternalFirst() override { cursor_ = -1; }
  void InternalGotoBookmark(const void* bm) override {
    int32_t i;
    std::memcpy(&i, bm, 4);
    cursor_ = i;
  }
  void InternalInitFieldDefs() override {
    FieldDefs().Clear();
    FieldDefs().Add("NAME", platform::TFieldType::ftString, 10);
    FieldDefs().Add("NUM", platform::TFieldType::ftInteger);
  }
  void InternalInitRecord(platform::TRecordBuffer b) override { std::memset(b, 0, kSize); }
  void InternalLast() override { cursor_ = int(rows.size()); }
  void InternalOpen() override {
    Log("InternalOpen");
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    SetBookmarkSize(4);
    open_ = true;
    cursor_ = -1;
  }
  void InternalPost() override {
    Log("InternalPost");
    if (fail_post) throw platform::EDatabaseError("post failed");
    platform::TRecordBuffer b = ActiveBuffer();
    MemRow row;
    row.name = std::string(b + kName);
    std::memcpy(&row.num, b + kNum, 4);
    if (State() == platform::TDataSetState::dsEdit) {
      rows[size_t(cursor_)] = row;
    } else {
      rows.push_back(row);
      cursor_ = int(rows.size()) - 1;
    }
  }
  void InternalEdit() override { Log("InternalEdit"); }
  void InternalCancel() override { Log("InternalCancel"); }
  void InternalSetToRecord(platform::TRecordBuffer b) override {
    InternalGotoBookmark(b + kBookmark);
  }
  bool IsCursorOpen() override { return open_; }
  int GetRecNo() override {
    platform::TRecordBuffer b = ActiveBuffer();
    if (!b || IsEmpty()) return 0;
    int32_t i;
    std::memcpy(&i, b + kIndex, 4);
    return i + 1;
  }
  int GetRecordCount() override { return int(rows.size()); }
  void ClearCalcFields(platform::TRecordBuffer b) override {
    std::memset(b + kSize, 0, size_t(CalcFieldsSize()));
  }

 public:
  platform::TRecordBuffer StateBuffer() {
    switch (State()) {
      case platform::TDataSetState::dsCalcFields:
        return CalcBuffer();
      default:
        return IsEmpty() ? nullptr : ActiveBuffer();
    }
  }
  bool GetFieldData(platform::TField* f, void* buffer) override {
    platform::TRecordBuffer b = StateBuffer();
    if (!b) return false;
    if (f->FieldNo() == 0) {
      char* p = b + kSize + f->Offset();
      if (!p[0]) return false;
      if (buffer) std::memcpy(buffer, p + 1, size_t(f->DataSize()));
      return true;
    }
    if (f->FieldNo() == 1) {
      if (buffer) std::memcpy(buffer, b + kName, 11);
      return b[kName] != 0;
    }
    if (buffer) std::memcpy(buffer, b + kNum, 4);
    return true;
  }
  void SetFieldData(platform::TField* f, const void* buffer) override {
    using platform::TDataSetState;
    if (State() != TDataSetState::dsEdit && State() != TDataSetState::dsInsert &&
        State() != TDataSetState::dsCalcFields)
      platform::DatabaseError("Dataset not in edit or insert mode");
    platform::TRecordBuffer b = StateBuffer();
    if (f->FieldNo() == 0) {
      char* p = b + kSize + f->Offset();
      p[0] = buffer ? 1 : 0;
      if (buffer) std::memcpy(p + 1, buffer, size_t(f->DataSize()));
      return;
    }
    f->Validate(buffer);
    if (f->FieldNo() == 1) {
      std::memset(b + kName, 0, 11);
      if (buffer) std::memcpy(b + kName, buffer, 10);
    } else {
      int32_t zero = 0;
      std::memcpy(b + kNum, buffer ? buffer : &zero, 4);
    }
    DataEvent(platform::TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(f));
  }

 private:
  int cursor_ = -1;
  bool open_ = false;
};

}  // namespace qvx_test

#endif  // TESTS_PLATFORM_DATASET_MEM_DATASET_H_
