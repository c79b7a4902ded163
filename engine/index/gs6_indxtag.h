// GSobjIndexTag: one tag of an index file: the records of a table ordered by a
// key expression (optionally only those passing a FOR condition), kept as a
// B-tree of which one path of nodes, root to leaf, is held in memory. The
// format-neutral searching, stepping, inserting and deleting lives here; a
// format supplies node reading and writing, headers and the byte form of keys.
//
// Path invariants:
//  - each node object holds at most one child object; the path is rebuilt from
//    the root by LoadTree, so every positioning sees the file's current nodes;
//  - changes are written when the path is released, children before parents, so
//    a split that adds an entry to its parent is written in the same release.
#ifndef ENGINE_INDEX_GS6_INDXTAG_H_
#define ENGINE_INDEX_GS6_INDXTAG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_glbl.h"
#include "engine/index/gs6_indxkey.h"
#include "engine/table/gs6_sqlbase.h"

namespace devazoz {

class GSobjIndexFile;
class GSO_dBaseFld;
class TgsExpHandler;

// Navigate directions (those of the table's ReadRecord).
constexpr int32_t kNavNext = -1;
constexpr int32_t kNavPrior = -2;
constexpr int32_t kNavFirst = -3;
constexpr int32_t kNavLast = -4;
constexpr int32_t kNavCurrent = -5;

class GSobjIndexTag : public TgsObject {
 public:
  GSobjIndexTag(GSobjIndexFile* file, const std::string& name);
  ~GSobjIndexTag() override;

  // Virtual operations in their fixed slot order.
  virtual void NormalizeKey(GSobjIndexKeyData& key);  // 0
  virtual int CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                        bool ascending, const std::string& for_expression);  // 1
  virtual bool InsertKey(GSobjIndexKeyData& key);                            // 2
  virtual int32_t ReadRootPointer();                                         // 3
  virtual void ReadNode(int32_t position, GSobjIndexKey& node);              // 4
  virtual void WriteNode(int32_t position, GSobjIndexKey& node);             // 5
  virtual bool ReadHeader();                                                 // 6
  virtual void WriteHeader();                                                // 7
  virtual void CompileKeyExpression();                                       // 8
  virtual void CompileForExpression();                                       // 9
  virtual bool EvaluateKey(GSobjIndexKeyData& key, bool& ok);                // 10
  virtual bool EvaluateFor();                                                // 11

  // Undecoded leaves (see GSobjIndexKey::Lazy): the format decodes one, and
  // may search one without decoding it; false leaves the search to the decoded
  // node. Formats that keep no leaf undecoded leave both alone.
  virtual void DecodeLazy(GSobjIndexKey& node);
  virtual bool SearchLazyLeaf(GSobjIndexKey* node, int32_t record, const GSobjIndexKeyData& key,
                              int mode, int* result);

  // The records of up to max keys after the current one in the direction of a
  // next (forward) or prior move, as far as the loaded leaf holds them: what a
  // walk will read soon. Loads nothing.
  int UpcomingRecords(int32_t* out, int max, bool forward) const;

  // Record number of the first key at or after the search key; 0 when none.
  int32_t Find(const GSobjIndexKeyData& key);
  // As Find, leaving the current position and key as they were.
  int32_t Lookup(const GSobjIndexKeyData& key);
  int32_t Navigate(int32_t direction);
  int32_t Resync(int32_t record_number);
  int32_t SetRange(const GSobjIndexKeyData* low, bool low_flag, bool high_flag,
                   const GSobjIndexKeyData* high);
  void ClearRange();
  // 1 for an empty range or beyond the high end, -1 before the low end, 0 inside.
  int RangeStatus();
  bool KeepKeys(int32_t record_number, bool is_append);
  // Reads the path KeepKeys will change for this record: to the new key's place
  // and, for a change, to the old key; the node checks of every read apply.
  // For a change, or any change of a file another process may change, the reads
  // run on a path of their own and a tree loaded before stays as it was. An
  // append to a file no other process can change is searched on the tag's own
  // path, which stays at the new key's place for KeepKeys to insert at without
  // a second search (the path may write what it held to get there; the current
  // key is found again by the next move should the append not happen).
  void ReadKeyPaths(int32_t record_number, bool is_append);
  // 0: position on the first key; 1: reposition on the table's current record;
  // 2: load the root only.
  void LoadTree(int mode);
  void ReleaseTree();
  // Whether the loaded path or the header holds changes not yet written.
  bool HoldsChanges() const;

  // Why the last CreateTag (or a format's DefineTag) refused the tag; empty
  // when it did not or gave no reason.
  const std::string& BuildProblem() const { return build_problem_; }
  // What makes a new definition of the tag unusable, once the format took the
  // key's type and length from the table's current record (typed false: the key
  // gave no usable value): an empty or too long key, or a FOR condition that
  // gives no logical value there. Empty when nothing.
  std::string DefinitionProblem(bool typed);

  // Deletes the key entry (value and record number) when present; true if found.
  bool DeleteKey(const GSobjIndexKeyData& key);

  const std::string& FormatName() const { return format_name_; }
  const std::string& TagName() const { return tag_name_; }
  const std::string& KeyExpression() const { return key_expression_; }
  const std::string& ForExpression() const { return for_expression_; }
  // The result type of the FOR condition's last evaluation (0 without one).
  int ForResultType() const;
  uint16_t KeyLength() const { return key_length_; }
  uint16_t EntrySize() const { return entry_size_; }
  uint16_t MaxInteriorKeys() const { return max_interior_keys_; }
  char KeyType() const { return key_type_; }
  bool Unique() const { return unique_; }
  bool Ascending() const { return ascending_; }
  bool Descending() const { return !ascending_; }
  bool HasFor() const { return has_for_; }
  // The character field the key expression consists of alone, or 0.
  int DirectTextField() const { return direct_text_field_; }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool KeyWritten() const { return key_written_; }
  bool Updating() const { return updating_; }
  const GSobjIndexKeyData& CurrentKey() const { return current_; }
  int32_t RootPointer() const { return root_pointer_; }
  int32_t HeaderPosition() const { return header_position_; }
  GSobjIndexKey* Root() const { return root_.get(); }
  GSobjIndexFile* File() const { return file_; }
  GSO_dBaseFld* Table() const;
  bool HeaderChanged() const { return header_changed_; }
  void SetHeaderChanged() { header_changed_ = true; }
  bool TextKeys() const { return key_type_ == 'C'; }

  // The comparison of key bytes: -1, 0, 1; *position gets the 1-based place of
  // the first difference. mode decides a search value that is a proper prefix of
  // a text key (0 equal, -1 less, 1 greater).
  int CompareKeys(const uint8_t* a, uint32_t a_length, const uint8_t* b, uint32_t b_length,
                  int mode, int* position = nullptr) const;
  // The collation map character keys compare through (null: byte order).
  const uint8_t* KeyMap() const;

  // Node-level operations of the framework, also used by format writers.
  int SearchNode(GSobjIndexKey* node, int32_t record, const GSobjIndexKeyData& key, int mode);
  bool FirstEntry(GSobjIndexKey* node);
  bool LastEntry(GSobjIndexKey* node);
  bool NextEntry(GSobjIndexKey* node);
  bool PriorEntry(GSobjIndexKey* node);
  bool CurrentEntry(GSobjIndexKey* node);
  bool PositionFlags(GSobjIndexKey* node);
  void InsertEntry(GSobjIndexKey* node, const GSobjIndexKeyData& entry, bool after);
  void DeleteEntry(GSobjIndexKey* node);
  void AddToParent(GSobjIndexKey* node, const uint8_t* key, uint32_t length, int32_t record,
                   int32_t pointer);
  // REQUIRES: node is the root of the loaded path.
  void MakeRoot(GSobjIndexKey* node);
  // The child of entry index of node (creating or replacing the child object);
  // null when the entry has none. *fresh tells whether a new object was made.
  GSobjIndexKey* LoadChild(GSobjIndexKey* node, int index, bool* fresh);
  void SaveNode(GSobjIndexKey* node);
  // When node's loaded child is not the child of entry index and holds changes,
  // writes that subtree (which may change node), leaves its objects for reuse
  // naming no page, and returns true.
  bool SaveOtherChild(GSobjIndexKey* node, size_t index);
  // True when no node from node down the loaded path waits to be written.
  static bool CleanSubtree(const GSobjIndexKey* node);

  // Held leaves (while the file holds leaves, see GSobjIndexFile::SetHoldLeaves):
  // a changed leaf that a search leaves is kept decoded instead of written when
  // it was left a short while before too and still fits its block. The ends of
  // a short key's runs take every append (16 categories: 16 leaves), and each
  // was written at every append. A read of the page takes the held leaf (the
  // file's block is stale), a change takes it back onto the path, and
  // WriteHeldLeaves writes what is still held (the file's WriteChanges).
  // Gives node the held leaf at page; false when none is held there.
  bool TakeHeldLeaf(int32_t page, GSobjIndexKey& node);
  // The held leaf at page, or null.
  const NodeData* HeldLeaf(int32_t page) const;
  // Lets go of the held leaf at page (a change took it back, or it was written).
  void DropHeldLeaf(int32_t page) {
    if (!held_leaves_.empty()) ForgetHeldLeaf(page);
  }
  // Points the held leaf at page to a new right sibling; false when none is held.
  bool RelinkHeldLeaf(int32_t page, int32_t right);
  void WriteHeldLeaves();
  // Forgets the held leaves unwritten (the file was rewritten without them).
  void DiscardHeldLeaves() { held_leaves_.clear(); }
  bool HoldsLeaves() const { return !held_leaves_.empty(); }
  // The node at the end of the loaded path below node.
  static GSobjIndexKey* PathEnd(GSobjIndexKey* node);

 protected:
  // Raises EDevazozError naming the index file and what is damaged.
  [[noreturn]] void Damaged(const std::string& what) const;
  void SetCurrentFrom(GSobjIndexKey* leaf);
  // The current key as a fresh tree's first key gives it; the path stays.
  void TakeFirstKey();
  // One step inside the path's leaf when the path is intact; false otherwise.
  bool StepLeaf(bool forward);
  // The record argument of an insert's search for key k.
  int32_t InsertTie(const GSobjIndexKeyData& k) const;
  // ReadKeyPaths for an append on the tag's own path (see there).
  void PrepareAppend();
  // Inserts the appended record's key now at the place PrepareAppend found, and
  // stands on it; false (nothing changed) when that place is not at hand.
  bool InsertPrepared(const GSobjIndexKeyData& now);
  // Puts the path back on the current key (or before the first, after the last
  // key at an end) after PrepareAppend moved it and no insert followed.
  void ReturnToCurrent();
  // Range check after a move; sets BOF or EOF.
  void CheckRange();
  int32_t FinishMove();
  // Every interior operation counts node loads; more than the file can hold
  // means a damaged tree whose children are shared.
  void BeginOperation() { loads_ = 0; }
  // The tree for a search from the root: LoadTree(2), or the loaded path when
  // it cannot be stale.
  void FreshTree();

 public:
  // Decoded node storage no longer used by any node, kept for the next node
  // read (its vectors keep their capacity); RecycleNodeData takes only data
  // nobody else holds.
  std::shared_ptr<NodeData> TakeSpareNodeData();
  void RecycleNodeData(std::shared_ptr<NodeData> data);

 protected:
  bool EvaluateKeyInto(GSobjIndexKeyData& key);
  // Refuses a tag definition for the reason given: -1, the CreateTag result.
  int RefuseTag(const std::string& why) {
    build_problem_ = why;
    return -1;
  }
  // Character keys: a text or byte-string value without its trailing blanks, at
  // most the key length (a text value is shortened in place, without a copy).
  void TrimTextKey(GSobjIndexKeyData& key) const;
  // TrimTextKey for text and byte strings; any other value as its text.
  void NormalizeCharacterKey(GSobjIndexKeyData& key) const;
  void DeleteAt(GSobjIndexKey* node);
  void DropFromParent(GSobjIndexKey* node);
  void ReplaceParentKey(GSobjIndexKey* node, const uint8_t* key, uint32_t length, int32_t record);
  // Saves the changed nodes of the subtree held by slot, deepest first, then
  // frees it (also when a save fails).
  void DestroySubtree(std::unique_ptr<GSobjIndexKey>& slot);
  // Raises when the format writer cannot give a node position.
  void CheckChildPointer(GSobjIndexKey* node, int32_t page);
  // Formats that hold leaves: whether a leaf of these entries fits its block as
  // it would be written now, and the write of a held leaf (a leaf under a
  // parent) that fits. The defaults hold nothing.
  virtual bool LeafFits(const NodeData& data);
  virtual void WriteHeldLeaf(int32_t page, GSobjIndexKey& node);
  // Holds the changed leaf a search leaves instead of writing it (see
  // TakeHeldLeaf); false when it is to be written.
  bool HoldLeaf(GSobjIndexKey* leaf);
  void ForgetHeldLeaf(int32_t page);

  std::string format_name_ = "UNK";
  std::string tag_name_;
  std::string key_expression_;
  uint16_t key_length_ = 0;
  uint16_t entry_size_ = 0;
  uint16_t max_interior_keys_ = 0;
  std::string for_expression_;
  GSobjIndexKeyData range_low_;
  GSobjIndexKeyData range_high_;
  bool range_low_flag_ = false;
  bool range_high_flag_ = false;
  bool range_empty_ = false;
  bool range_set_ = false;
  GSobjIndexFile* file_;
  int32_t header_position_ = -1;
  int32_t root_pointer_ = 0;
  std::unique_ptr<GSobjIndexKey> root_;  // the loaded path, root to leaf
  bool header_changed_ = false;
  bool ascending_ = true;
  bool unique_ = false;
  bool has_for_ = false;
  char key_type_ = 'C';
  GSobjIndexKeyData current_;
  GSobjIndexKeyData search_key_;  // Find's normalized copy of the key sought
  bool bof_ = false;
  bool eof_ = false;
  bool key_written_ = false;
  bool negate_compare_ = false;
  bool descending_traversal_ = false;
  bool updating_ = false;
  std::unique_ptr<TgsExpHandler> key_handler_;
  // The character field the key expression consists of, or 0.
  std::shared_ptr<NodeData> spare_node_data_;
  int direct_text_field_ = 0;
  std::unique_ptr<TgsExpHandler> for_handler_;
  TgsExpValue eval_value_;
  uint64_t loads_ = 0;
  std::string build_problem_;
  // The place PrepareAppend found: the leaf object on the path, its page and
  // position, the record and search result; leaf null when none waits.
  struct PreparedInsert {
    GSobjIndexKey* leaf = nullptr;
    int32_t page = 0;
    int position = -1;
    int32_t record = 0;
    int result = 0;
  };
  PreparedInsert prepared_;
  GSobjIndexKeyData prepared_key_;  // its normalized key
  GSobjIndexKeyData insert_key_;    // InsertPrepared's normalized copy
  // The path was moved away from the current key (by PrepareAppend): a move
  // from the current key finds it again first.
  bool path_off_current_ = false;
  struct HeldLeafEntry {
    int32_t page;
    std::shared_ptr<NodeData> data;
  };
  std::vector<HeldLeafEntry> held_leaves_;
  // The leaves written last when a search left them, for HoldLeaf.
  static constexpr size_t kRecentLeaves = 64;
  int32_t recent_leaves_[kRecentLeaves] = {};
  size_t recent_next_ = 0;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_INDXTAG_H_
