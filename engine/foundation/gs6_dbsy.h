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
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_hset.h"
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
  // The table's text is in the OEM set: a case-insensitive search folds case with the
  // OEM letters, so that accented letters meet their capitals.
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
  // Pack's writing: the packed table beside this one, put in its place when records
  // were removed. Returns the records kept (the record count when none were
  // removed or the table stayed as it was); the memo blocks of removed records are
  // added to freed_memos.
  int32_t WritePacked(std::vector<int32_t>& freed_memos);

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
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_DBSY_H_
