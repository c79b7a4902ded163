// A small dataset held in memory, for testing the data-access framework and the
// data-aware controls without a table file: string, integer, boolean and memo
// fields and calculated fields; natural order or the order of one field;
// deleted rows hidden; OnFilterRecord filters; memo texts travel through a blob
// stream and are stored when the stream is freed, as a table's memo file would
// be. The descendant's hooks can be logged, and a post can be made to fail.
//
// Record buffer:  per field, a null byte (0 = no value) followed by the value
// (string: Size + 1 bytes of text; integer: int32; boolean: one byte; memo: int32
// memo number, 0 = none), then the record number (int32) and the bookmark flag
// byte (8 bytes in all), then the bookmark: the record number as 10-character
// right-aligned decimal text and a NUL; then the calculated fields, each a null
// byte and DataSize bytes at its Offset().
#ifndef TESTS_SUPPORT_MEM_DATASET_H_
#define TESTS_SUPPORT_MEM_DATASET_H_

#include <string>
#include <vector>

#include "platform/dataset/dataset.h"

namespace qvx_test {

class TMemDataSet : public platform::TDataSet {
 public:
  struct FieldSpec {
    std::string name;
    platform::TFieldType type;
    int size = 0;
  };

  // NAME string(10) and NUM integer, the framework tests' table.
  TMemDataSet();
  explicit TMemDataSet(std::vector<FieldSpec> fields);
  ~TMemDataSet() override;

  // Appends a record straight into the store (open or closed). Values by field
  // order: text for strings ("" = no value), decimal text for integers, "T"/"F"
  // for booleans, the memo text.
  void AddRow(const std::vector<std::string>& values);
  // Empties the store (closed only).
  void ClearRows();
  // The stored value of field `name` of record `recno` (1-based) as AddRow takes it.
  std::string Stored(int recno, const std::string& name) const;
  int StoredCount() const { return int(rows_.size()); }
  bool IsDeleted(int recno) const { return rows_.at(size_t(recno - 1)).deleted; }
  // Marks a stored record deleted (hidden) or not; the view is rebuilt when open.
  void SetDeleted(int recno, bool deleted);

  // Orders the view by one field ("" = natural order) and moves to the first record.
  void SetIndexField(const std::string& name);
  const std::string& IndexField() const { return index_field_; }
  // Re-applies the OnFilterRecord filter (after the event changed) and moves to the first record.
  void RefreshFilter();
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  // The next post raises a database error with this text (once).
  void FailNextPost(const std::string& message) { fail_post_ = message; }
  // The next delete raises a database error with this text (once).
  void FailNextDelete(const std::string& message) { fail_delete_ = message; }
  // The next edit raises a database error with this text (once), as a refused lock would.
  void FailNextEdit(const std::string& message) { fail_edit_ = message; }
  // Appends the names of the hooks the framework calls (InternalOpen, InternalEdit,
  // InternalPost, InternalCancel, InternalDelete, InternalClose) to `log`; null stops.
  void SetLog(std::vector<std::string>* log) { log_ = log; }

  int PostCount() const { return post_count_; }
  int LocateCount() const { return locate_count_; }
  // Memo streams created for reading.
  int BlobReads() const { return blob_reads_; }

  bool Locate(const std::string& key_fields, const platform::TVariant& key_values,
              platform::TLocateOptions options) override;
  bool GetFieldData(platform::TField* field, void* buffer) override;
  void SetFieldData(platform::TField* field, const void* buffer) override;
  std::unique_ptr<platform::TStream> CreateBlobStream(platform::TField* field,
                                                      platform::TBlobStreamMode mode) override;
  bool IsSequenced() override { return index_field_.empty() && !Filtered(); }

 protected:
  platform::TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(platform::TRecordBuffer& buffer) override;
  void GetBookmarkData(platform::TRecordBuffer buffer, void* data) override;
  platform::TBookmarkFlag GetBookmarkFlag(platform::TRecordBuffer buffer) override;
  void SetBookmarkFlag(platform::TRecordBuffer buffer, platform::TBookmarkFlag flag) override;
  void SetBookmarkData(platform::TRecordBuffer buffer, const void* data) override;
  platform::TGetResult GetRecord(platform::TRecordBuffer buffer, platform::TGetMode mode,
                                 bool do_check) override;
  int GetRecordSize() override { return record_size_; }
  void InternalAddRecord(platform::TRecordBuffer buffer, bool append) override;
  void InternalCancel() override { Log("InternalCancel"); }
  void InternalClose() override;
  void InternalDelete() override;
  void InternalEdit() override;
  void InternalFirst() override { pos_ = -1; }
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalInitFieldDefs() override;
  void InternalInitRecord(platform::TRecordBuffer buffer) override;
  void InternalLast() override { pos_ = int(order_.size()); }
  void InternalOpen() override;
  void InternalPost() override;
  void InternalSetToRecord(platform::TRecordBuffer buffer) override;
  void ClearCalcFields(platform::TRecordBuffer buffer) override;
  bool IsCursorOpen() override { return open_; }
  bool GetCanModify() override { return !read_only_; }
  int GetRecordCount() override;
  int GetRecNo() override;
  void DoSetFiltered(bool on) override;

 private:
  class MemoStream;
  struct Row {
    std::string bytes;  // the record part of a buffer
    bool deleted = false;
  };

  void Log(const char* hook) {
    if (log_ != nullptr) log_->push_back(hook);
  }
  int FieldOffset(int field_no) const { return offsets_.at(size_t(field_no - 1)); }
  const char* RecordFor(platform::TField* field);
  std::string ValueText(const char* record, int field_index) const;
  void PutValue(std::string& record, int field_index, const std::string& value);
  void Rebuild(int keep_recno);
  void GotoRecno(int recno);
  int RecnoOf(platform::TRecordBuffer buffer) const;
  char* CalcValue(platform::TField* field);

  std::vector<FieldSpec> specs_;
  std::vector<int> offsets_;
  int record_size_ = 0;
  int info_offset_ = 0;
  int bookmark_offset_ = 0;
  int calc_offset_ = 0;

  std::vector<Row> rows_;
  std::vector<std::string> memos_{std::string()};  // memo number 0 is none
  std::vector<int> order_;                         // record numbers of the view
  int pos_ = -1;                                   // cursor: index into order_
  const char* filter_record_ = nullptr;
  std::string index_field_;
  bool open_ = false;
  bool read_only_ = false;
  std::string fail_post_, fail_delete_, fail_edit_;
  std::vector<std::string>* log_ = nullptr;
  int post_count_ = 0;
  int locate_count_ = 0;
  int blob_reads_ = 0;
};

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_MEM_DATASET_H_
