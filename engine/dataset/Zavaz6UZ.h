// TDevazozDataSet: one DBF table with its index files presented as a dataset of
// the data-access framework, through its own table handler DBFObject; and
// THCBlobStream (Zavaz6UZ_blob.h), the stream memo fields travel through.
//
// Record buffer of the framework, one block per buffer:
//   OFFSET              SIZE              CONTENT
//   0                   record length     the DBF record, deletion flag first
//   record length       calc-fields size  per calculated field: non-null byte, value
//   info = rec + calc   8                 bytes 0-3 record number (host order);
//                                         byte 5 the bookmark flag
//   info + 8            11                bookmark: the record number as decimal
//                                         text right-aligned in 10 characters, NUL
// Bookmarks are the 11 bookmark bytes; they compare as text, which orders them by
// record number because of the fixed width.
//
// Record reads go to the table's own record buffer and are copied into the
// framework buffer; posts copy the framework buffer back before writing. Field
// reads and writes point the table's record buffer at the framework buffer of the
// dataset's state for the duration of the call.
#ifndef ENGINE_DATASET_ZAVAZ6UZ_H_
#define ENGINE_DATASET_ZAVAZ6UZ_H_

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/dataset/Zavaz6UZ_digest.h"
#include "engine/dataset/Zavaz6UZ_place.h"
#include "engine/foundation/gs6_dbsy.h"
// EDevazozError and its codes: engine errors pass through the adapter unchanged.
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_hset.h"
#include "platform/dataset/dataset.h"

namespace devazoz {

class TDevazozDataSet;

// Answers the expression engine's requests for host functions: `st` the request,
// `tf` the function's name, `rsl` the result buffer, `Typ` the result type; set
// `Chg` when handled.
using TgsFormulaMake = std::function<void(TDevazozDataSet& who, const std::string& st, void* rsl,
                                          char& Typ, bool& Chg, const std::string& tf)>;
// The handler's progress reports (operation, done, total).
using TgsStatusReport = std::function<void(int32_t stat1, int32_t stat2, int32_t stat3)>;

// The dataset's table handler: GSO_dBHandler answering its upward calls through
// the dataset's events.
class DBFObject : public GSO_dBHandler {
 public:
  DBFObject(TDevazozDataSet* dataset, const std::string& file_name, bool read_write, bool shared);

  void StatusUpdate(int32_t what, int32_t done, int32_t total) override;  // 10
  int UserFunction(const std::string& request, const std::string& name, void* value,
                   char& result_type, bool& changed) override;  // 42
  bool RecordAccepted() override;                               // 59

  void SetEnds(bool eof, bool bof) {
    eof_ = eof;
    bof_ = bof;
  }
  TDevazozDataSet* DataSet() const { return dataset_; }

 private:
  TDevazozDataSet* dataset_;
};

// The text of "Default Directory", and the process-wide alias list: the first
// entry is "Default Directory"; the others come from the [Alias] section of
// devazoz.cfg in the user's configuration directory, names upper-cased.
extern const char* const kDefaultDirectory;
std::vector<std::pair<std::string, std::string>> AliasList();
// The directory of an alias name (compared upper-cased); false when none.
bool FindAlias(const std::string& name, std::string& directory);
void AddAlias(const std::string& name, const std::string& directory);
// Reads the alias file again (tests that change $XDG_CONFIG_HOME).
void ReloadAliases();

// The database error "Cannot find file %s" of a table or index file that the
// dataset was told to open and that does not exist, with what it is, so that a
// program can offer the remedy (an index file is made again from the table).
class EDevazozFileMissing : public platform::EDatabaseError {
 public:
  enum class Kind { kTable, kIndex };
  EDevazozFileMissing(Kind kind, const std::string& path)
      : platform::EDatabaseError(platform::FormatMessage("Cannot find file %s", path)),
        kind_(kind),
        path_(path) {}
  Kind What() const { return kind_; }
  const std::string& Path() const { return path_; }

 private:
  Kind kind_;
  std::string path_;
};

class TDevazozDataSet : public platform::TDataSet {
 public:
  TDevazozDataSet();
  ~TDevazozDataSet() override;

  // ---- Published properties
  std::string About() const { return "Devazoz Version 06.05.05 (28 Mar 99)"; }
  void SetAbout(const std::string&) {}
  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(const std::string& name);
  bool ExactCount() const { return exact_count_; }
  void SetExactCount(bool on) { exact_count_ = on; }
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool on);
  const std::vector<std::string>& IndexFiles() const { return index_files_; }
  void SetIndexFiles(const std::vector<std::string>& files);
  // The list as a design-time setting, read in rather than changed: stored only,
  // without opening the table to check the files (the open does that, where a
  // missing file is reported to whoever opens).
  void LoadIndexFiles(const std::vector<std::string>& files) { index_files_ = files; }
  const std::string& IndexName() const { return index_name_; }
  void SetIndexName(const std::string& name);
  TgsLokProtocol LockProtocol() const { return lock_protocol_; }
  void SetLockProtocol(TgsLokProtocol protocol);
  const std::string& MasterFields() const { return master_fields_; }
  void SetMasterFields(const std::string& fields);
  platform::TDataSource* MasterSource() const { return master_link_.DataSource(); }
  // Raises "Circular datalinks are not allowed" for a source leading back here.
  void SetMasterSource(platform::TDataSource* source);
  // Also true while open when the table is not open for writing.
  bool ReadOnly() const;
  void SetReadOnly(bool on) { read_only_ = on; }
  const std::string& TableName() const { return table_name_; }
  void SetTableName(const std::string& name);
  bool TranslateASCII() const { return translate_ascii_; }
  void SetTranslateASCII(bool on) { translate_ascii_ = on; }
  bool UseDeleted() const { return use_deleted_; }
  void SetUseDeleted(bool on);
  int32_t UserID() const { return user_id_; }
  void SetUserID(int32_t id);

  TgsFormulaMake OnFormula;
  TgsStatusReport OnStatus;

  // ---- Operations
  void Pack();
  void Reindex();

  // ---- Durability (the account is at the top of engine/foundation/gs6_dbsychange.cpp)
  // Post, Delete, RecallRecord and a memo write return with everything they
  // changed given to the system: a process killed afterwards loses none of it.
  // FlushBuffers forces it to the disk as well (fdatasync of the table, its memo
  // and index files), against power loss: call it at the end of each user command
  // that changed data (after a form's Post, a Delete), not per record of a loop.
  // Nothing happens while closed.
  void FlushBuffers();
  // Bulk work (an import, a loop of appends): between BeginBulk and EndBulk index
  // writes are held and coalesced; EndBulk gives them to the system (and may raise
  // what writing raises). A kill in between is repaired by the next open.
  void BeginBulk();
  void EndBulk();
  // The index files the open rebuilt because a change of them had been interrupted
  // (a crash inside a post): a program says so in its status bar.
  std::vector<std::string> RebuiltIndexes() const;
  // Why open index files are known not to match the table (none when sound as far
  // as known): an interrupted change found by a read-only open, or keys naming
  // records past the table's end (never shown as records). A program offers
  // Reindex.
  std::vector<std::string> StaleIndexReasons() const;
  // When the table's memo file is missing, what to show in place of a memo (the
  // file's name and what follows); empty otherwise. The records open and can be
  // changed; a memo reads as empty, and writing one raises kErrMemoMissing.
  std::string MemoProblem() const;
  // When the table's records disagree with its header (cut short), what is wrong;
  // such a table opens only with ReadOnly set (a read-write open raises
  // EDevazozError with Code() kErrTableDamaged and this text). Empty otherwise.
  std::string TableDamage() const;
  // Mends the table (closed, by TableName and DatabaseName) and rebuilds its
  // IndexFiles and own CDX: see RepairTable (gs6_dbsy.h); progress through
  // OnStatus. The dataset stays closed.
  TgsTableRepair RepairTable();
  // Both bounds inclusive, given in the interface's character set.
  void SetKeyRange(const std::string& low, const std::string& high);
  virtual void RecallRecord();
  int TagCount();
  std::string TagName(int n);
  std::string TagExpression(int n);
  std::string TagCondition(int n);
  std::string ActiveTagName();
  // ---- Quick search, counts and breakdowns (Zavaz6UZ_search.cpp)
  // Narrows the view to the records that hold every word of `text` (interface
  // character set, words parted by blanks) somewhere in one of the quick-search
  // fields, letters compared without regard to case and accents; both this and
  // the filter apply. Empty text ends it. Moves to the first record. Needs the
  // digest: what of it is still unread is read first.
  void SetQuickSearch(const std::string& text);
  const std::string& QuickSearch() const { return quick_text_; }
  // The fields the quick search looks in; empty (the default): every visible
  // string field. Names are taken when the search is set.
  void SetQuickSearchFields(const std::vector<std::string>& names) { quick_names_ = names; }
  // Work done between the program's events: reading the table into the digest
  // that the quick search, the visible count and the breakdowns use. Works until
  // `out_of_time` says so (asked every 256 KB or so); true when nothing is left.
  bool DoBackgroundWork(const std::function<bool()>& out_of_time);
  bool BackgroundWorkPending();
  // The number of records the view shows (deleted ones hidden, the filter and
  // the quick search applied), exact; -1 while the digest it is counted from is
  // still being read (BackgroundWorkPending), unless `wait` says to read what is
  // left first. A record filter event or a key range is counted by walking the
  // view at once.
  int VisibleCount(bool wait = false);
  // How many of the visible records hold each value of field `name` (string or
  // boolean), most frequent first; booleans as "True" and "False". Reads what
  // the digest still lacks first.
  std::vector<std::pair<std::string, int64_t>> Breakdown(const std::string& name);
  // Like Locate (one key field, loCaseInsensitive, loPartialKey), from the record
  // after the current one onward in the current order: Find Next.
  bool LocateNext(const std::string& key_fields, const platform::TVariant& key_values,
                  platform::TLocateOptions options);
  // ---- Texts too wide for a column, found without a walk (a report's pages)
  struct TTextColumn {
    std::string field;  // a string field
    double width = 0;   // what its text must stay within, in the unit of the widths
  };
  // The places (0-based ranks among the visible records in the current order,
  // ascending) of the records whose text in one of `columns` is wide. A text is
  // narrow when the sum of `char_widths` (by interface character: the most each can
  // take) over its characters stays within the column's width and it holds no
  // control character; otherwise `wide` decides, given the column's index and the
  // text as the field gives it (interface character set, trailing blanks removed).
  // Only the records the digest cannot show narrow are read. False when the
  // dataset cannot tell without walking the view: a record filter event, a key
  // range, a field that is not a string field, a digest that cannot be read.
  bool WideTextPlaces(const std::vector<TTextColumn>& columns,
                      const std::array<double, 256>& char_widths,
                      const std::function<bool(size_t column, const std::string& text)>& wide,
                      std::vector<int64_t>& places);
  // Moves to the visible record at `place` (as above); false when there is none or
  // places are not exact.
  bool MoveToPlace(int64_t place);
  // Bytes the digest holds (0 before it is read), for the memory figures.
  size_t DigestMemory() const { return digest_ ? digest_->MemoryUsed() : 0; }

  // The directory the table is looked for in (with a trailing '/', or empty).
  std::string TableDirectory() const;

  // ---- Framework overrides (public in the framework)
  void CheckActive() override;
  int CompareBookmarks(const platform::TBookmark& a, const platform::TBookmark& b) override;
  std::unique_ptr<platform::TStream> CreateBlobStream(platform::TField* field,
                                                      platform::TBlobStreamMode mode) override;
  bool GetCurrentRecord(platform::TRecordBuffer buffer) override;
  bool IsSequenced() override;
  // The active record's place among the records shown, in the current order, and
  // moving to a place (Zavaz6UZ_place.cpp, Zavaz6UZ_place.h says how).
  double RecordFraction(int* rows = nullptr) override;
  bool MoveToFraction(double fraction) override;
  bool Locate(const std::string& key_fields, const platform::TVariant& key_values,
              platform::TLocateOptions options) override;
  platform::TVariant Lookup(const std::string& key_fields, const platform::TVariant& key_values,
                            const std::string& result_fields) override;
  void Translate(const char* source, char* dest, bool to_oem) override;
  bool GetFieldData(platform::TField* field, void* buffer) override;
  void SetFieldData(platform::TField* field, const void* buffer) override;

  // The framework buffer that field operations of the current state work on;
  // null when there is none (browse state on an empty dataset).
  platform::TRecordBuffer StateRecordBuffer();
  bool RecordLocked() const { return record_locked_; }
  int32_t RecordNumberOf(platform::TRecordBuffer buffer) const;

 protected:
  platform::TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(platform::TRecordBuffer& buffer) override;
  void GetBookmarkData(platform::TRecordBuffer buffer, void* data) override;
  platform::TBookmarkFlag GetBookmarkFlag(platform::TRecordBuffer buffer) override;
  void SetBookmarkFlag(platform::TRecordBuffer buffer, platform::TBookmarkFlag flag) override;
  void SetBookmarkData(platform::TRecordBuffer buffer, const void* data) override;
  platform::TGetResult GetRecord(platform::TRecordBuffer buffer, platform::TGetMode mode,
                                 bool do_check) override;
  int GetRecordSize() override;
  void InternalAddRecord(platform::TRecordBuffer buffer, bool append) override;
  void InternalClose() override;
  void InternalDelete() override;
  void InternalFirst() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalHandleException() override {}
  void InternalInitFieldDefs() override;
  void InternalInitRecord(platform::TRecordBuffer buffer) override;
  void InternalLast() override;
  void InternalOpen() override;
  void InternalPost() override;
  void InternalSetToRecord(platform::TRecordBuffer buffer) override;
  bool IsCursorOpen() override { return handler_ != nullptr; }
  void InternalCancel() override;
  void InternalEdit() override;
  void InternalRefresh() override;
  void ClearCalcFields(platform::TRecordBuffer buffer) override;
  bool GetCanModify() override { return !ReadOnly(); }
  platform::TDataSource* GetDataSource() override { return MasterSource(); }
  int GetRecordCount() override;
  int GetRecNo() override;
  void DoSetRecNo(int n) override;
  void SetFilterText(const std::string& text) override;
  void DoSetFiltered(bool on) override;
  void DoSetFilterOptions(platform::TFilterOptions options) override;
  void DoAfterInsert() override;

 protected:
  // The handler; null while closed. Kept from the program, which reaches the
  // table only through the dataset's operations.
  DBFObject* Handler() const { return handler_.get(); }

 private:
  friend class DBFObject;
  friend class THCBlobStream;

  std::unique_ptr<DBFObject> MakeHandler(bool read_write, bool shared);
  std::string FullTableName();
  std::string IndexFullName(const std::string& name);
  void OpenIndexFiles(DBFObject& handler, bool checking);
  void SelectIndexName(const std::string& name, bool keep_position);
  void ApplyFilter();
  void ApplyFilterExpression(const std::string& text, platform::TFilterOptions options);
  void ApplyMasterRange(bool through_framework);
  // Runs op with the handler in natural order (read ahead, no tag walk), then
  // selects the tag again keeping the position and restores the key range.
  template <class Op>
  void InNaturalOrder(Op op);
  void RestoreRange();
  void MasterChanged();
  void MasterDisabled();
  bool FilterRecord();
  // The first tag without a FOR condition whose key expression is the field name.
  std::string FittingTag(const std::string& field_name);
  // The record's bytes into the table's buffer, then back into the framework buffer.
  void CopyToTable(platform::TRecordBuffer buffer);
  void CopyFromTable(platform::TRecordBuffer buffer);
  bool VisibleInView();
  // The quick search, counts and Find's walk (Zavaz6UZ_search.cpp).
  bool LocateInOrder(const std::string& key_fields, const platform::TVariant& key_values,
                     platform::TLocateOptions options, bool after_current);
  // The digest shaped and every record read into it; false when it cannot be.
  bool CompleteDigest();
  bool DigestUsable();
  // The visible rows: not deleted (unless shown), in the filter set, in the
  // quick search.
  TDigestBits VisibleRows();
  void ApplyQuickSearch();
  void DigestRecordWritten(int32_t n);
  void DigestDeleted(int32_t n, bool deleted);
  // After a pack or reindex: the digest read again, at once when a quick search
  // needs it, else by the background work.
  void DigestPacked();
  void DropDigest();
  // The place in the view (Zavaz6UZ_place.cpp).
  double PlaceFraction(int* rows);
  std::string PlaceOrderKey();
  TDevazozTagOrder* PlaceOrder();
  void PlaceVisible(TDevazozTagOrder* order);
  int32_t PlaceOfRecord(TDevazozTagOrder* order, int32_t record);
  void PlaceWritten(int32_t record);
  void PlaceShownChanged();
  void DropPlace();
  // The current order's list read again if records moved in it since (so that
  // places are exact); null in natural order.
  TDevazozTagOrder* ExactPlaceOrder();
  std::string ToOem(const std::string& text);
  std::string ToAnsi(const std::string& text);

  std::unique_ptr<DBFObject> handler_;
  std::string database_name_;
  bool exact_count_ = false;
  bool exclusive_ = false;
  std::vector<std::string> index_files_;
  std::string index_name_;
  TgsLokProtocol lock_protocol_ = TgsLokProtocol::Default;
  std::string master_fields_;
  platform::TMasterDataLink master_link_;
  bool read_only_ = false;
  std::string table_name_;
  bool translate_ascii_ = true;
  bool use_deleted_ = false;
  int32_t user_id_ = 0;

  int record_size_ = 0;
  int info_offset_ = 0;
  int bookmark_offset_ = 0;
  int buffer_size_ = 0;
  bool at_first_ = false;
  bool at_last_ = false;
  bool record_locked_ = false;
  int busy_ = 0;            // 1 building an index, 2 copying
  bool range_set_ = false;  // SetKeyRange bounds in force (table character set)
  std::string range_low_, range_high_;

  std::unique_ptr<TDevazozDigest> digest_;
  bool digest_failed_ = false;  // reading it failed: nothing uses it until reopened
  std::string quick_text_;
  std::vector<std::string> quick_names_;
  std::vector<std::string> quick_words_;
  std::vector<int> quick_fields_;
  TgsHugeSet quick_set_;  // the handler's accept set while a quick search is on

  std::unique_ptr<TDevazozViewPlace> place_;
};

}  // namespace devazoz

#endif  // ENGINE_DATASET_ZAVAZ6UZ_H_
