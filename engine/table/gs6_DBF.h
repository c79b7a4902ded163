// GSO_dBaseDBF: the xBase table file: header, field descriptors, the current
// record buffer, reading, writing and appending records, deletion flags and the
// lock regions of the four lock conventions. The table never creates files and
// never changes a table's structure.
//
// File header, 32 bytes at offset 0, little-endian:
//   OFFSET SIZE CONTENT
//   0      1    version byte: 0x03, 0x83 (dBASE III + DBT), 0x8B (dBASE IV + DBT),
//               0xF5 (FoxPro + FPT), 0x30 (Visual FoxPro style; FPT when flag bit 1)
//   1      3    date of last update: year mod 100, month, day
//   4      4    record count (written; on reading the count comes from the file size)
//   8      2    header length: offset of the first record
//   10     2    record length, including the deletion flag byte
//   12     4    not interpreted, written back as read
//   16     4    change stamp ((hour*64 + minute)*64 + second)*1024 + millisecond
//   20     4    user id
//   24     4    not interpreted
//   28     1    flags: 0x01 production index, 0x02 memo file (0x30 only), 0x04 kept
//   29     3    not interpreted (code page byte at 29)
// Field descriptors, 32 bytes each from offset 32, ending at a 0x0D byte where a
// descriptor would start (version 0x30 keeps a 263-byte area after the terminator):
//   0  11  name, NUL-padded      16  1  length        18  14  not interpreted
//   11  1  type letter           17  1  decimals (high byte of a C field's length)
//   12  4  not interpreted (held in memory as the field's offset in the record)
// Records follow the header: byte 0 is the deletion flag (' ' or '*'), the fields
// follow at their offsets; one 0x1A byte follows the last record.
#ifndef ENGINE_TABLE_GS6_DBF_H_
#define ENGINE_TABLE_GS6_DBF_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_glbl.h"

namespace devazoz {

class GSobjMemo;

constexpr int kDbfHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr int kVfpBackLinkSize = 263;

// Move requests of ReadRecord (record numbers are 1-based and positive).
constexpr int32_t kMoveNext = -1;
constexpr int32_t kMovePrevious = -2;
constexpr int32_t kMoveFirst = -3;
constexpr int32_t kMoveLast = -4;
constexpr int32_t kMoveCurrent = -5;

// Table events passed to Notify.
enum TableEvent : uint8_t {
  kEventBlank = 0,
  kEventFieldChanged = 1,
  kEventOpened = 2,
  kEventBeforeRead = 4,
  kEventBeforeWrite = 5,
  kEventAfterRead = 6,
  kEventAfterWrite = 7,
  kEventFlushed = 8,
};

// What a record read does. Ready: the table handler's cursor applies its order,
// range, filter and deleted-record rules. Busy: the handler is rebuilding
// indexes, packing or searching, and reads go to the table as they are asked.
enum TableRecordState : uint8_t {
  kStateReady = 1,
  kStateBusy = 4,
};

// One field descriptor as read, with the two computed values filled in.
struct FieldDescriptor {
  uint8_t raw[kDescriptorSize] = {};
  std::string name;  // up to the first NUL
  char type = 'C';
  uint32_t offset = 0;   // in the record
  uint32_t length = 0;   // effective length
  uint8_t decimals = 0;  // 0 for C fields
  uint16_t number = 0;   // 1-based
};

class GSO_dBaseDBF : public GSO_DiskFile {
 public:
  // Opens the table and reads its header and descriptors; raises on failure.
  GSO_dBaseDBF(const std::string& file_name, bool shared, bool read_write);
  ~GSO_dBaseDBF() override;

  void Flush() override;                                                  // 3
  bool Rename(const std::string& new_name) override;                      // 7
  void StatusUpdate(int32_t what, int32_t done, int32_t total) override;  // 10

  virtual void AppendRecord();                                                   // 14
  virtual void SetCollation(const uint8_t* map, const void* second, int third);  // 15
  virtual void Notify(uint8_t code, int32_t value);                              // 16
  virtual void ReadRecord(int32_t request);                                      // 17
  virtual bool LockAppend();                                                     // 18
  virtual bool LockFile();                                                       // 19
  virtual bool LockFileFromStart();                                              // 20
  virtual bool Unlock();                                                         // 21
  virtual bool LockRecord();                                                     // 22
  virtual void WriteRecord(int32_t n);                                           // 23
  virtual void SetLockProtocol(TgsLokProtocol protocol);                         // 24
  virtual bool HasIndexOpen();                                                   // 25

  void SetUserID(int32_t id) { user_id_ = id; }
  bool IsDeleted() const;
  void RereadHeader();
  void WriteHeader();
  // While held (an exclusive writer's bulk work), appends and record writes leave
  // the header to be written when the holding ends (or by WriteHeader, at a sync
  // or close): one header write for the whole run instead of one per record. A
  // kill meanwhile leaves a header count behind the records written, which the
  // next exclusive open puts right. A shared table writes its header every time,
  // as other processes count its records by it.
  void HoldHeaderWrites(bool on);
  bool HoldsHeaderWrites() const { return hold_header_ && !Shared(); }
  // Brings the header copy up to date as WriteHeader writes it (date, record
  // count, flags, change stamp, user id) without writing it.
  void StampHeader();
  // The table's memo object, created on first use; null for tables without memo.
  GSobjMemo* OpenMemo();

  // Why the records the file holds disagree with its header, in words naming the
  // file (empty when they agree): the header counts more records than the file
  // holds whole, or the last record is cut short. Such a table is only opened for
  // reading: a read-write open reports kErrTableDamaged with this text (and,
  // should the error hook return, every write is refused the same way). Read-only,
  // it shows the whole records and nothing past them. RepairTable (gs6_dbsy.h)
  // mends it. A record cut short after the whole records the header counts, with
  // the change marker beside the table (an append a kill cut off inside its
  // record), is no damage to a writer: the writer's open takes it back.
  const std::string& Damage() const { return damage_; }
  // When the table keeps memos and its memo file is missing, what to show in their
  // place, naming the file ("The memo file QVXCAT.FPT is missing: ..."); empty
  // otherwise. The table itself opens and works; reading or writing a memo reports
  // the missing file (2/6101).
  std::string MemoMissing() const;
  // Memo writes of this table write beside the old memo (GSobjMemo::SetWriteBeside).
  void SetMemoWritesBeside(bool on);

  // State.
  uint8_t Version() const { return version_; }
  int32_t RecordCount() const { return record_count_; }
  int32_t HeaderLength() const { return header_length_; }
  int32_t RecordLength() const { return record_length_; }
  int32_t FieldCount() const { return field_count_; }
  int32_t RecordNumber() const { return record_number_; }
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool HasMemo() const { return has_memo_; }
  bool HeaderChangedByOther() const { return header_changed_by_other_; }
  bool RecordChanged() const { return record_changed_; }
  bool HeaderDirty() const { return header_dirty_; }
  bool FileLocked() const { return file_locked_; }
  TableRecordState RecordState() const { return record_state_; }
  const uint8_t* Header() const { return header_; }
  uint32_t ChangeStamp() const { return change_stamp_; }
  TgsLokProtocol LockProtocol() const { return lock_protocol_; }
  const LockConstants& LockValues() const { return lock_values_; }
  const uint8_t* CollationMap() const { return collation_map_; }
  const void* CollationSecond() const { return collation_second_; }

  bool has_production_index = false;
  bool use_deleted = true;
  bool exact_comparison = false;

  const FieldDescriptor& Descriptor(int n) const { return descriptors_[size_t(n - 1)]; }
  const std::vector<FieldDescriptor>& Descriptors() const { return descriptors_; }

  // The current record bytes (record length + 1, the last always 0x1A). The index
  // layer points it at the saved record while it evaluates an old key.
  uint8_t* CurrentRecord() const { return current_record_; }
  void SetCurrentRecord(uint8_t* record) { current_record_ = record ? record : buffer_.data(); }
  uint8_t* RecordBuffer() { return buffer_.data(); }
  uint8_t* SavedRecord() { return saved_.data(); }
  std::vector<uint8_t>& ChangedFlags() { return changed_; }

  // Drops the read-ahead window; for callers that change the file behind the
  // table's back (pack truncates it).
  void InvalidateReadAhead() { window_count_ = 0; }
  // For index layers that read records directly (index builds) and that change
  // header flags (the production-index flag).
  void SetRecordNumber(int32_t n) { record_number_ = n; }
  void MarkHeaderDirty() { header_dirty_ = true; }

 protected:
  // Positions record_number_ would be read from.
  int64_t RecordOffset(int32_t n) const {
    return int64_t(header_length_) + int64_t(n - 1) * int64_t(record_length_);
  }
  void SaveRecord();
  // Takes back an append whose writes failed: the record count, current record and
  // header copy as they were, and the file cut back to its last whole record.
  void UndoAppend(int32_t count, int32_t record, const uint8_t* old_header);
  int32_t CountFromFileSize();

  uint8_t header_[kDbfHeaderSize] = {};
  int32_t record_count_ = 0;
  int32_t header_length_ = 0;
  int32_t record_length_ = 0;
  int32_t field_count_ = 0;
  std::vector<FieldDescriptor> descriptors_;
  int32_t record_number_ = 0;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> saved_;
  uint8_t* current_record_ = nullptr;
  std::vector<uint8_t> changed_;
  bool eof_ = false;
  bool bof_ = true;
  uint8_t version_ = 0;
  bool file_locked_ = false;
  bool flag_memo_ = false;
  bool flag_bit2_ = false;
  uint32_t change_stamp_ = 0;
  bool header_changed_by_other_ = false;
  bool record_changed_ = false;
  bool header_dirty_ = false;
  bool has_memo_ = false;
  TgsLokProtocol lock_protocol_ = TgsLokProtocol::Default;
  LockConstants lock_values_{};
  int32_t user_id_ = 0;
  TableRecordState record_state_ = kStateReady;
  std::unique_ptr<GSobjMemo> memo_;
  const uint8_t* collation_map_ = nullptr;
  const void* collation_second_ = nullptr;
  int collation_third_ = 0;

  // Read-ahead window of whole records, used while nobody else can change the file
  // (opened exclusively, or shared under a whole-table lock).
  // A descendant with a read-ahead of its own (the table handler) switches this off.
  bool table_read_ahead_ = true;
  std::vector<uint8_t> window_;
  int32_t window_first_ = 0;
  int32_t window_count_ = 0;
  std::string damage_;
  bool memo_writes_beside_ = false;
  bool count_behind_ = false;  // the header counts fewer records than the file holds
  bool hold_header_ = false;   // see HoldHeaderWrites

 private:
  bool ReadAheadAllowed() const { return table_read_ahead_ && (!Shared() || file_locked_); }
  // Copies record n from the window into the buffer, filling the window first when
  // it does not hold n; false when the file holds no whole record n.
  bool ReadThroughWindow(int32_t n, bool backward);
  void UpdateWindow(int32_t n);
  // False when the table was refused (see RefuseTable).
  bool ReadHeaderAndDescriptors();
  bool ParseDescriptors(const std::vector<uint8_t>& block);
  // Compares the record area with the header (see Damage). A header that counts
  // fewer records than the file holds is what an append cut off between its
  // record and its header leaves: an exclusive writer puts the count right.
  void CheckRecordArea();
  // Cuts an append a kill left part-written back to the whole records ending at
  // whole_end; false when the file could not be changed.
  bool TakeBackCutAppend(int64_t whole_end);
  // Refuses a write to a damaged table; true when refused.
  bool RefusedAsDamaged();
  // Reports a header that cannot be used. When the error hook returns, the object is
  // left as a closed table without fields or records, so that nothing reads or
  // writes what was refused. Returns false.
  bool RefuseTable(const std::string& info);
};

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_DBF_H_
