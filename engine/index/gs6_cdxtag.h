// GSobjCDXTag: one tag of a compact compound index (CDX), or the file's tag
// directory. It converts between 512-byte nodes and the framework's node
// objects, splitting nodes as they are written, and reads and writes the tag
// header.
//
// Tag header, 1024 bytes at the header position (the directory's at 0),
// little-endian:
//   OFFSET SIZE CONTENT
//   0      4    root node position
//   4      4    free list: written 0, never read
//   8      4    change counter
//   12     2    key length, 1..240
//   14     1    options: 0x01 unique, 0x08 FOR condition, 0x20 compact,
//               0x40 compound, 0x80 tag directory
//   15     1    signature: 1, or 2 with the general collation
//   16     478  zero
//   494    8    collation name: "GENERAL" or zero ("MACHINE" is read, never written)
//   502    2    order: 0 ascending, 1 descending
//   504    2    key expression length + 1 (0 without a key expression)
//   506    2    FOR expression length + 1, or 1 without one
//   508    2    zero
//   510    2    key expression length + 1, or 1 without one
//   512    512  key expression, NUL, FOR expression, NUL; zero to the end
#ifndef ENGINE_INDEX_GS6_CDXTAG_H_
#define ENGINE_INDEX_GS6_CDXTAG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/index/gs6_cdxnode.h"
#include "engine/index/gs6_indxtag.h"

namespace devazoz {

class GSobjCDXFile;

constexpr uint8_t kCdxOptionUnique = 0x01;
constexpr uint8_t kCdxOptionFor = 0x08;
constexpr uint8_t kCdxOptionsTag = 0x60;
constexpr uint8_t kCdxOptionsDirectory = 0xE0;

class GSobjCDXTag : public GSobjIndexTag {
 public:
  // header_position -1 allocates a new header; otherwise the header is read, and
  // a failure marks the file's header error (HeaderOk() false).
  GSobjCDXTag(GSobjCDXFile* file, int32_t header_position, const std::string& name, bool directory);
  ~GSobjCDXTag() override;

  void NormalizeKey(GSobjIndexKeyData& key) override;  // 0
  int CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                bool ascending, const std::string& for_expression) override;  // 1
  bool InsertKey(GSobjIndexKeyData& key) override;                            // 2
  int32_t ReadRootPointer() override;                                         // 3
  void ReadNode(int32_t position, GSobjIndexKey& node) override;              // 4
  void WriteNode(int32_t position, GSobjIndexKey& node) override;             // 5
  bool ReadHeader() override;                                                 // 6
  void WriteHeader() override;                                                // 7
  void DecodeLazy(GSobjIndexKey& node) override;
  bool SearchLazyLeaf(GSobjIndexKey* node, int32_t record, const GSobjIndexKeyData& key, int mode,
                      int* result) override;

  bool HeaderOk() const { return header_ok_; }
  // Why the header could not be read, or why CreateTag refused the tag.
  const std::string& HeaderProblem() const { return header_problem_; }
  bool IsDirectory() const { return directory_; }
  uint8_t Options() const { return options_; }
  void SetOptions(uint8_t options) { options_ = options; }
  int Collation() const { return collation_; }
  void SetCollation(int collation) { collation_ = collation; }
  uint32_t ChangeCounter() const { return change_counter_; }
  void SetChangeCounter(uint32_t counter) { change_counter_ = counter; }
  void SetHeaderPosition(int32_t position) { header_position_ = position; }
  // A tag that was never built writes no header when it goes.
  void DiscardHeader() { header_changed_ = false; }
  void SetRootPointer(int32_t root) {
    root_pointer_ = root;
    header_changed_ = true;
  }
  CdxKeyShape Shape() const;
  GSobjCDXFile* CdxFile() const;
  // The record bound leaf parameters are computed from.
  int64_t RecordBound();
  // Writes an empty root leaf in a new block and makes it the root.
  void WriteEmptyRoot();
  // Evaluates the key expression once and takes the key type from the result.
  bool TakeKeyTypeFromExpression(bool set_length);
  // Why a rebuild cannot make this tag from its stored key (a key longer than any
  // index holds), or empty; the tag is not changed.
  std::string RebuildProblem();

 protected:
  bool LeafFits(const NodeData& data) override;
  void WriteHeldLeaf(int32_t page, GSobjIndexKey& node) override;

 private:
  // The leaf parameters for these entries as they would be written now.
  LeafParams WrittenLeafParams(const NodeData& d);
  void WriteLeaf(int32_t position, GSobjIndexKey& node, uint16_t attributes);
  // Writes an overflowing leaf together with a neighbour under the same parent;
  // false (nothing written) when it has none or their keys cannot be spread.
  bool SpreadOverNeighbour(int32_t position, GSobjIndexKey& node);
  void WriteInterior(int32_t position, GSobjIndexKey& node, uint16_t attributes);
  // Leaves the node's decoded form in the file's cache when it matches the block.
  void KeepWrittenNode(int32_t position, const GSobjIndexKey& node);
  // Points the right sibling of the node at left to new_right.
  void LinkLeftSibling(int32_t left, int32_t new_right);
  void CheckNodePosition(int32_t position, const char* what);
  bool FailHeader(const std::string& why);

  bool directory_;
  bool header_ok_ = true;
  std::string header_problem_;
  uint8_t options_ = kCdxOptionsTag;
  int collation_ = 1;
  uint32_t change_counter_ = 0;
  // WriteLeaf's scratch: the prefix each key shares with the key before it.
  std::vector<uint16_t> shared_;
  CdxLeafHit leaf_hit_;  // SearchLazyLeaf's result
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_CDXTAG_H_
