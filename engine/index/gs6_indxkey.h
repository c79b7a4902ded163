// GSobjIndexKeyData: one index key entry (key bytes, record number, tree
// pointer), the unit passed between the table handler and the index tags; and
// GSobjIndexKey: one decoded index node held in memory on a tag's node path.
//
// A node's entries live in a NodeData block that may be shared with the index
// file's cache of decoded nodes; a node copies it before its first change, so a
// cached block never changes under another reader.
#ifndef ENGINE_INDEX_GS6_INDXKEY_H_
#define ENGINE_INDEX_GS6_INDXKEY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_glbl.h"
#include "engine/foundation/gs6_vari.h"

namespace devazoz {

class GSobjIndexTag;

// The longest key any index format holds.
constexpr int kMaxIndexKeyLength = 240;
// Record argument of SearchNode: any record / after every equal key.
constexpr int32_t kAnyRecord = -1;
constexpr int32_t kAfterEqualKeys = 0x7FFFFFFF;
// Node kinds: anything below kNodeLeaf has children.
constexpr int kNodeNewRoot = 1;
constexpr int kNodeInterior = 2;
constexpr int kNodeLeaf = 3;
// The deepest node path a tag follows; a deeper tree is damaged.
constexpr int kMaxTreeDepth = 64;

class GSobjIndexKeyData : public TgsObject {
 public:
  GSobjIndexKeyData() = default;
  // Copies the value and both numbers.
  void Assign(const GSobjIndexKeyData& other);
  // Sets the value to key bytes of a tag's type (text, or a byte string).
  void SetKey(const uint8_t* bytes, uint32_t count, bool text);
  void Clear();

  TgsVariant Value;
  int32_t RecordNumber = 0;
  int32_t TreePointer = 0;
  // Set when Value already holds the tag's byte form, so that normalizing again
  // changes nothing.
  bool Normalized = false;
};

// Format-specific parameters of a compressed leaf.
struct LeafParams {
  uint16_t free_bytes = 0;
  uint32_t record_mask = 0;
  uint8_t dup_mask = 0;
  uint8_t trail_mask = 0;
  uint8_t record_bits = 0;
  uint8_t dup_bits = 0;
  uint8_t trail_bits = 0;
  uint8_t bytes_per_entry = 0;
};

struct NodeEntry {
  uint32_t offset;  // of the key bytes in NodeData::pool
  uint16_t length;
  int32_t record;
  int32_t pointer;  // child position in an interior node, the record again in a leaf
};

struct NodeData {
  std::vector<NodeEntry> entries;
  std::vector<uint8_t> pool;
  int32_t left = -1;
  int32_t right = -1;
  bool leaf = true;
  LeafParams params;
};

class GSobjIndexKey : public TgsObject {
 public:
  // A node for page > 0 is loaded through the tag's ReadNode; depth counts the
  // levels above it on the path.
  GSobjIndexKey(GSobjIndexTag* tag, GSobjIndexKey* parent, int32_t page, int kind, int depth);
  ~GSobjIndexKey() override;

  // Makes this node object the node at page (read through the tag), keeping
  // its place on the path. REQUIRES: nothing on the path below waits to be
  // written.
  void Reload(int32_t page);

  size_t Count() const { return lazy_ ? lazy_count_ : data_->entries.size(); }
  const NodeEntry& Entry(size_t i) const { return D().entries[i]; }
  const uint8_t* KeyBytes(size_t i) const { return D().pool.data() + D().entries[i].offset; }
  const uint8_t* PoolData() const { return D().pool.data(); }
  uint16_t KeyLength(size_t i) const { return D().entries[i].length; }
  int32_t RecordAt(size_t i) const { return D().entries[i].record; }
  int32_t PointerAt(size_t i) const { return D().entries[i].pointer; }
  // Copies entry i into a key entry of the tag's type.
  void CopyEntry(size_t i, GSobjIndexKeyData& out, bool text) const;

  void InsertEntryAt(size_t i, const uint8_t* key, uint32_t length, int32_t record,
                     int32_t pointer);
  void RemoveEntryAt(size_t i);
  void ClearEntries();
  // Index of the entry whose pointer is page, or -1.
  int FindPointer(int32_t page) const;

  // The decoded content, shared with the file's node cache until changed.
  const std::shared_ptr<NodeData>& Data() const {
    D();
    return data_;
  }
  void SetData(std::shared_ptr<NodeData> data) {
    data_ = std::move(data);
    lazy_ = false;
  }
  NodeData& MutableData();

  // A leaf may be kept undecoded: its block is held as read (Block()) and
  // decoded by the tag (DecodeLazy) when anything but its count is first
  // asked for. A search through it (the tag's SearchLazyLeaf) finds its place
  // on the block and remembers the entry found, which CopyEntry then gives
  // without decoding.
  bool Lazy() const { return lazy_; }
  std::vector<uint8_t>& Block() { return block_; }
  // REQUIRES: Block() holds a leaf of count entries whose head the tag checked,
  // with the parameters params.
  void SetLazy(uint32_t count, const LeafParams& params);
  const LeafParams& LazyParams() const { return lazy_params_; }
  void RememberEntry(size_t i, const uint8_t* key, uint32_t length, int32_t record);
  bool IsLeaf() const { return Kind >= kNodeLeaf; }

  int32_t Page = 0;
  GSobjIndexKey* Parent = nullptr;  // the node that owns this one as its Child
  std::unique_ptr<GSobjIndexKey> Child;
  GSobjIndexTag* Tag = nullptr;
  int Kind = kNodeLeaf;
  int Position = -1;
  int Depth = 0;
  bool Changed = false;
  bool OwnsParent = false;  // made its parent as a new root; the tag's path still owns it
  bool Split = false;
  bool AtFirst = false;
  bool AtLast = false;

 private:
  const NodeData& D() const {
    if (lazy_) Decode();
    return *data_;
  }
  void Decode() const;

  mutable std::shared_ptr<NodeData> data_;
  mutable bool lazy_ = false;
  uint32_t lazy_count_ = 0;
  LeafParams lazy_params_;
  std::vector<uint8_t> block_;
  // The entry a search through the undecoded leaf stopped at (-1: none).
  int remembered_ = -1;
  uint16_t remembered_length_ = 0;
  int32_t remembered_record_ = 0;
  uint8_t remembered_key_[kMaxIndexKeyLength];
};

// The number (for a date key, the day number) a key value stands for in a numeric
// ('N') or date ('D') key. A text that is no number or date raises EDevazozError
// naming the tag; a blank text is 0.
double KeyNumberOf(const TgsVariant& value, char key_type, const std::string& tag);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_INDXKEY_H_
