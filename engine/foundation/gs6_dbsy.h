// GSO_dBHandler: a cursor over one table and its open index files. It keeps one
// index tag current (or natural order), hides deleted records unless asked,
// honours a key range on the current tag, a filter expression held as a bit set
// of matching records and a per-record acceptance hook, keeps every open index
// current as records are appended and rewritten, packs the table, rebuilds its
// indexes, searches field values and serves natural-order scans from a
// read-ahead buffer of whole records.
#ifndef ENGINE_FOUNDATION_GS6_DBSY_H_
#define ENGINE_FOUNDATION_GS6_DBSY_H_

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_hset.h"
#include "engine/foundation/gs6_mark.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sqlbase.h"

namespace devazoz {

class GSobjIndexFile;
class GSobjIndexTag;
class TgsExpHandler;

// SearchField options.
constexpr uint16_t kSearchCaseInsensitive = 1;
constexpr uint16_t kSearchWholeField = 2;
constexpr uint16_t kSearchWildcards = 4;
constexpr uint16_t kSearchKeepState = 8;
constexpr uint16_t kSearchKeepTag = 16;
constexpr uint16_t kSearchAnchored = 32;

// StatusUpdate operations.
constexpr int32_t kStatusIndexCollect = 1;
constexpr int32_t kStatusIndexWrite = 2;
constexpr int32_t kStatusPack = 11;
// An index file found out of step with its table at open is rebuilt: (-1, 12,
// records) comes first, then the build's own reports (operations 1 and 2), then
// (0, 0, 0). RebuildingIndex() names the file meanwhile.
constexpr int32_t kStatusRepairIndex = 12;
constexpr int32_t kStatusSearch = 21;

class GSO_dBHandler : public GSO_dBaseFld {
 public:
  static constexpr int kIndexSlots = 63;

  GSO_dBHandler(const std::string& file_name, bool read_write, bool shared);
  ~GSO_dBHandler() override;

  int32_t ReadAt(int64_t offset, void* buffer, int32_t count) override;      // 6
  bool Rename(const std::string& new_name) override;                         // 7
  void WriteAt(int64_t offset, const void* buffer, int32_t count) override;  // 13
  void AppendRecord() override;                                              // 14
  void Notify(uint8_t code, int32_t value) override;                         // 16
  void ReadRecord(int32_t request) override;                                 // 17
  void WriteRecord(int32_t n) override;                                      // 23
  void SetLockProtocol(TgsLokProtocol protocol) override;                    // 24
  bool HasIndexOpen() override;                                              // 25

  virtual bool FindKey(const std::string& key);                                       // 56
  virtual int32_t FindKeyInTag(const std::string& tag_name, const std::string& key);  // 57
  virtual void Skip(int32_t count);                                                   // 58
  virtual bool RecordAccepted();                                                      // 59
  virtual bool LockIndexes();                                                         // 60

  // The cursor's record read: a move code (-1 next, -2 previous, -3 first,
  // -4 last, -5 current) or a record number.
  void GetRecord(int32_t request) { ReadRecord(request); }

  void SetReadAheadAllowed(bool allowed);
  void SetReadAhead(bool on);
  bool ReadAhead() const { return read_ahead_; }

  // Index files. OpenIndexList with a null list only closes every index file.
  std::string IndexFileName(const std::string& name) const;
  int OpenIndexFile(const std::string& name);
  int OpenIndexList(const std::string* list, const std::string& tag_name);
  void CloseIndexFiles();
  GSobjIndexTag* TagByNumber(int n) const;
  // Null name: natural order. Returns the slot of the file holding the tag, or 0.
  int SelectTag(const std::string* name, bool keep_position);
  void UnlockIndexes();
  GSobjIndexFile* IndexFile(int slot) const;
  int IndexFileCount() const;

  void SetKeyRange(const std::string& low, const std::string& high, bool low_inclusive,
                   bool high_inclusive);
  void ClearRange();

  void SetFilterExpression(const std::string& text, bool case_insensitive, bool partial);
  void SetFilterActive(bool on);
  void RefreshFilter();
  // A second set of records the walk is narrowed to, beside the filter's (the
  // host's quick search); null: none. Moves skip a record outside it before
  // reading it, as they skip one outside the filter set. Not owned: the host
  // keeps the set alive, and unchanged during a move, while it is set.
  void SetAcceptSet(const TgsHugeSet* set) { accept_set_ = set; }
  const TgsHugeSet* AcceptSet() const { return accept_set_; }

  void Reindex();
  void Pack();

  // ---- Durable changes (the account is at the top of gs6_dbsy.cpp)
  // Every record change (AppendRecord, WriteRecord, and DeleteRecord and
  // UndeleteRecord through it) returns with all it changed given to the system;
  // a process killed afterwards loses nothing of it. Bulk work brackets itself in
  // BeginBulk/EndBulk (or a TgsBulkScope): inside, index writes are held in memory
  // and coalesced, and are given to the system when the outermost scope ends. A
  // kill inside a scope leaves the change marker, and the next open rebuilds the
  // index files it names. Scopes nest.
  void BeginBulk();
  // REQUIRES: a BeginBulk not yet ended. Raises when the held writes cannot be
  // written (the marker then stays, and the next open repairs).
  void EndBulk();
  bool InBulk() const { return bulk_depth_ > 0; }
  // Forces what was changed to the disk (fdatasync of the table, its memo file and
  // every index file): for the end of a user command that changed data, so that
  // power loss loses nothing saved either. Not for every record of a bulk loop.
  void SyncToDisk();
  // The index files rebuilt at open because a change of them had been
  // interrupted (their paths), in the order rebuilt.
  const std::vector<std::string>& RebuiltIndexes() const { return rebuilt_indexes_; }
  // The path of the index file being rebuilt during a kStatusRepairIndex report.
  const std::string& RebuildingIndex() const { return rebuilding_index_; }
  // The open index files known not to match the table, with the reason for each
  // (an interrupted change found at a read-only open, or keys past the table's
  // end); empty when all are sound as far as known.
  std::vector<std::string> StaleIndexReasons() const;
  // Keys met in tag order that point past the table's last record: never shown as
  // records, only counted (their index file is marked stale).
  int64_t SkippedKeys() const { return skipped_keys_; }
  // Scans records for a field value (options in search_options); the match
  // indicator is 0 when nothing matched, else 1 with record and field set.
  int SearchField(const std::string& value, int& field, int32_t limit, int32_t& record);

  GSobjIndexTag* CurrentTag() const { return current_tag_; }
  const std::string& CurrentTagName() const { return current_tag_name_; }
  bool KeyMatched() const { return key_matched_; }
  bool FilterWanted() const { return filter_wanted_; }
  bool FilterSetInUse() const { return filter_set_in_use_; }
  const TgsHugeSet& FilterSet() const { return filter_set_; }
  const std::string& FilterText() const { return filter_text_; }

  bool soft_seek = false;
  uint16_t search_options = 0;
  // The table's text is in the OEM set: a case-insensitive search or filter folds
  // case with the OEM letters, so that accented letters meet their capitals.
  bool search_oem_text = false;

 protected:
  // The index file object for a name, by its extension; null for an unknown one.
  virtual std::unique_ptr<GSobjIndexFile> CreateIndexFile(const std::string& name);

 private:
  bool Visible() {
    return (!IsDeleted() || use_deleted) && (!accept_set_ || accept_set_->Has(record_number_)) &&
           RecordAccepted();
  }
  // Whether a record chosen by a move may be read: in the filter set (when in
  // use) and in the accept set (when there is one).
  bool InWalkSets(int32_t n) const {
    return (!filter_set_in_use_ || filter_set_.Has(n)) && (!accept_set_ || accept_set_->Has(n));
  }
  int32_t FilterMove(int32_t request);
  bool EvaluateFilter();
  void BuildFilterSet();
  void ReadPastTagMove(int32_t record);
  // Starts fetching the records of the current tag's next keys (see .cpp).
  void PrefetchUpcoming(bool forward);
  // Pack's writing: the packed table beside this one, in scratch, when records
  // were removed (scratch stays null otherwise, or when it could not be written).
  // Returns the records kept; the memo blocks of removed records are added to
  // freed_memos.
  int32_t WritePacked(std::vector<int32_t>& freed_memos, std::unique_ptr<GSO_DiskFile>& scratch);
  // Builds the indexes of the packed table beside their files and puts the scratch
  // table and them in place (see gs6_dbsypack.cpp). False when the table stayed as
  // it was (after reporting).
  bool ReplaceByPacked(GSO_DiskFile& scratch, int32_t kept);
  // The memo blocks of removed records made reusable, as far as writing goes.
  void FreeMemos(const std::vector<int32_t>& blocks);

  // The change marker (gs6_mark.h) around record changes and bulk scopes.
  void BeginChange();
  // ok: the change completed; otherwise the marker stays until a rebuild.
  void EndChange(bool ok);
  void EnsureMarker();
  void RemoveMarkerIfDone();
  // The full names of the open index files (as the marker lists them).
  std::vector<std::string> OpenIndexNames() const;
  // Failures reported so far by the table and its index files.
  int64_t FailureCount() const;
  // The index files' changes to the system; the current tag is repositioned when
  // its path was released for it.
  void WriteIndexChanges();
  // An index file that the marker found at open names: rebuilt when the table is
  // open for writing, else marked stale.
  void RepairAfterInterruptedChange(GSobjIndexFile& file);
  // Rebuilds the index files of the given slots (all when empty) in natural order.
  void RebuildFiles(const std::vector<GSobjIndexFile*>& files);
  // A key of the current tag pointing at record past the table's end: counted,
  // and the tag's index file marked stale.
  void SkipStaleKey(int32_t record);
  // Whether a record number from a key lies past the table's end (the header is
  // read again first, for records another program appended).
  bool IsPastEnd(int32_t record);

  GSobjIndexTag* current_tag_ = nullptr;
  std::string current_tag_name_;
  std::array<std::unique_ptr<GSobjIndexFile>, kIndexSlots + 1> index_slots_;
  int64_t cache_start_ = -1;
  int64_t cache_end_ = 0;
  std::vector<uint8_t> cache_buffer_;
  int32_t cache_records_ = 0;
  int32_t cache_size_ = 0;
  bool read_ahead_ = false;
  bool read_ahead_allowed_ = true;
  bool read_ahead_suspended_ = false;  // while a tag moves
  bool key_matched_ = false;
  bool packing_ = false;
  GSobjMemo* pack_memo_ = nullptr;
  TgsHugeSet filter_set_;
  std::unique_ptr<TgsExpHandler> filter_expression_;
  // The filter's value, kept between records.
  TgsExpValue filter_value_;
  std::string filter_text_;
  bool filter_wanted_ = false;
  bool filter_set_in_use_ = false;
  const TgsHugeSet* accept_set_ = nullptr;

  TgsChangeMarker marker_;
  TgsChangeMarker::Contents found_marker_;  // as found when the table was opened
  int bulk_depth_ = 0;
  int changes_open_ = 0;  // nesting of BeginChange (a write may append)
  int64_t change_failures_ = 0;
  bool marker_written_ = false;
  bool change_failed_ = false;  // a change did not complete: the marker stays
  std::vector<std::string> rebuilt_indexes_;
  std::string rebuilding_index_;
  int64_t skipped_keys_ = 0;
};

// What RepairTable did.
struct TgsTableRepair {
  std::string damage;                // what was wrong with the table's records (empty: nothing)
  int32_t records = 0;               // the whole records the table holds now
  std::string backup;                // where the original table was kept (empty: not rewritten)
  std::vector<std::string> rebuilt;  // the index files rebuilt (their paths)
};

// Mends a table whose records disagree with its header (see GSO_dBaseDBF::Damage
// and gs6_dbsyrepair.cpp): keeps the whole records, puts the count right, keeps
// the original as TABLE.DBF.bak; then rebuilds index_files and the table's own
// compound index (same base name, .CDX) through the handler open_handler opens
// (read-write, exclusive, on table_path; a plain handler when not given, a
// dataset's own for its status reports). A sound table is only reindexed.
// Raises what fails; the table is then as it was or mended, never half.
TgsTableRepair RepairTable(
    const std::string& table_path, const std::vector<std::string>& index_files,
    const std::function<std::unique_ptr<GSO_dBHandler>()>& open_handler = nullptr);

// Brackets bulk work on a handler (see GSO_dBHandler::BeginBulk). End() ends it
// and raises what ending raises; the destructor ends a scope not ended yet, and
// while an exception is on its way out it swallows a second one.
class TgsBulkScope {
 public:
  explicit TgsBulkScope(GSO_dBHandler* handler) : handler_(handler) {
    if (handler_) handler_->BeginBulk();
  }
  ~TgsBulkScope() noexcept(false);
  TgsBulkScope(const TgsBulkScope&) = delete;
  TgsBulkScope& operator=(const TgsBulkScope&) = delete;
  void End();

 private:
  GSO_dBHandler* handler_;
  int exceptions_ = std::uncaught_exceptions();
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_DBSY_H_
