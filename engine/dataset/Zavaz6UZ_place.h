// TDevazozViewPlace: where a record stands among the records a dataset shows, in
// the dataset's order, and which record stands at a given place, for a scroll
// bar that tells the truth (TDevazozDataSet::RecordFraction and MoveToFraction).
//
// WHY A LIST OF THE TAG'S RECORDS. An index tag knows its keys' order but not how
// many keys lie before one of them: its nodes hold no counts, and their subtrees
// differ in size (a CDX tag built from a sorted run fills its leaves, so the root's
// last child may hold a handful of keys beside millions in the first). Dividing
// the thumb by the nodes on the path put 25 % of a million titles at 14 %. So the
// place keeps, per tag, the tag's record numbers in key order and each record's
// index in that list: one walk of the keys (no record is read), 8 bytes a record.
// On 1,000,000 titles: 8 MB and about 0.2 s, once per tag and key range; natural
// order needs no list (a record's place is its number).
//
// WHAT IS SHOWN. The records the view shows are those of the list that are
// visible: not deleted (unless shown), in the filter's set, in the quick search's
// set. The dataset gives them as a bit per record when its digest is read
// (VisibleRows), else as the filter and quick-search sets alone (deleted records
// then count as shown, and rows are not exact). Counts of visible entries per
// block of 1,024 places make a record's rank and the record at a rank cheap
// (one block scanned), exact whenever the bits are.
//
// CHANGES. A record the dataset rewrites or appends may have moved in the tag:
// it is marked changed, and its place is found from its nearest unchanged
// neighbour in the tag (a few steps), so editing a big table never waits for a new
// walk; after changes to more than 1 % of the list (any change, in a table small
// enough to walk in a few milliseconds) the next use reads the tag again.
// Deletions and recalls change only what is shown. Pack, reindex, new index files
// and closing drop everything.
#ifndef ENGINE_DATASET_ZAVAZ6UZ_PLACE_H_
#define ENGINE_DATASET_ZAVAZ6UZ_PLACE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

namespace devazoz {

class GSobjIndexTag;

// One tag's records in key order (within its key range when one is set).
class TDevazozTagOrder {
 public:
  // Reads every key of the tag from the first. Moves the tag: REQUIRES the caller
  // puts its cursor back afterwards. record_count bounds the record numbers kept.
  void Build(GSobjIndexTag& tag, int32_t record_count);
  int32_t Size() const { return int32_t(order_.size()); }
  int32_t RecordAt(int32_t place) const { return order_[size_t(place)]; }
  // The place of a record as read, or -1 when it was not in the list.
  int32_t PlaceOf(int32_t record) const;
  void MarkChanged(int32_t record);
  bool Changed(int32_t record) const { return changed_.count(record) != 0; }
  size_t ChangedCount() const { return changed_.size(); }
  // Changed records that were not in the list (appended since it was read).
  int32_t Added() const { return added_; }

 private:
  std::vector<int32_t> order_;
  std::vector<int32_t> place_;  // by record number; -1 for none
  std::unordered_set<int32_t> changed_;
  int32_t added_ = 0;
};

// Ranks among the visible places of an order: a bit per place, and counts per
// block of places.
class TDevazozVisibleIndex {
 public:
  using Visible = std::function<bool(int32_t place)>;
  // Asks `visible` once for each place 0 .. places - 1.
  void Build(int32_t places, const Visible& visible);
  int64_t Count() const { return total_; }
  // Visible places before `place`.
  int64_t RankOf(int32_t place) const;
  // The place of the visible entry with `rank` (0-based); -1 when there is none.
  int32_t PlaceAt(int64_t rank) const;

 private:
  static constexpr int32_t kBlock = 1024;
  bool Has(int32_t place) const { return (bits_[size_t(place) >> 6] >> (place & 63) & 1) != 0; }
  std::vector<uint64_t> bits_;
  int32_t places_ = 0;
  std::vector<int64_t> before_;  // visible places before each block
  int64_t total_ = 0;
};

// What the place of one dataset keeps between calls.
struct TDevazozViewPlace {
  std::map<std::string, TDevazozTagOrder> orders;  // by tag name and key range
  TDevazozVisibleIndex visible;
  std::string visible_signature;  // what `visible` was built for; empty: nothing
  uint64_t writes = 0;            // records written, deleted or recalled since open
  bool exact = false;             // `visible` knows every hidden record
};

}  // namespace devazoz

#endif  // ENGINE_DATASET_ZAVAZ6UZ_PLACE_H_
