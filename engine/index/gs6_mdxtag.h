// GSobjMDXTag: one tag of a multiple-tag index (MDX). It converts between the
// file's pages and the framework's node objects, splitting pages as they are
// written, and reads and writes the tag header. A descending tag stores its
// keys highest first, so the framework compares with negated results.
//
// Tag header, one page at the tag's header block, little-endian:
//   OFFSET SIZE CONTENT
//   0      4    root page block
//   8      1    key format: 0x10, or-ed with 0x40 unique, 0x08 descending
//   9      1    key type 'C', 'N' or 'D'
//   12     2    key length (character: the expression's length; N 12; D 8)
//   14     2    maximum keys per page: (page size - 8) div entry size - 1
//   18     2    entry size: key length + 4 rounded up to a multiple of 4
//   23     1    0x40 when unique
//   24     221  key expression, NUL-terminated
//   245    1    1 when there is a FOR condition
//   246    1    1
//   248    4    first block allocated for the tag's pages
//   252    4    last block allocated for the tag's pages
//   762    ...  FOR expression, NUL-terminated, to the end of the page
#ifndef ENGINE_INDEX_GS6_MDXTAG_H_
#define ENGINE_INDEX_GS6_MDXTAG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/index/gs6_indxtag.h"
#include "engine/index/gs6_mdxnode.h"

namespace devazoz {

class GSobjMDXFile;

constexpr int kMdxKeyExpressionAt = 24;
constexpr int kMdxKeyExpressionRoom = 221;
constexpr int kMdxForExpressionAt = 762;

class GSobjMDXTag : public GSobjIndexTag {
 public:
  // header_block -1 allocates a new header page; otherwise the header is read,
  // and a failure marks the file's header error (HeaderOk() false).
  GSobjMDXTag(GSobjMDXFile* file, int32_t header_block, const std::string& name);
  // A tag that only tries a definition (DefineTag): no header page, nothing
  // written.
  struct DefinitionOnly {};
  GSobjMDXTag(GSobjMDXFile* file, const std::string& name, DefinitionOnly);
  ~GSobjMDXTag() override;

  void NormalizeKey(GSobjIndexKeyData& key) override;  // 0
  int CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                bool ascending, const std::string& for_expression) override;  // 1
  bool InsertKey(GSobjIndexKeyData& key) override;                            // 2
  int32_t ReadRootPointer() override;                                         // 3
  void ReadNode(int32_t position, GSobjIndexKey& node) override;              // 4
  void WriteNode(int32_t position, GSobjIndexKey& node) override;             // 5
  bool ReadHeader() override;                                                 // 6
  void WriteHeader() override;                                                // 7

  // CreateTag without writing or building: the expressions compiled, the key's
  // type and sizes taken from the current record, the keys per page from the
  // page size. -1 with BuildProblem() when the tag cannot be built.
  int DefineTag(const std::string& name, const std::string& key_expression, bool unique,
                bool ascending, const std::string& for_expression);
  bool HeaderOk() const { return header_ok_; }
  const std::string& HeaderProblem() const { return header_problem_; }
  // The keys per page the header gives (before the page size limits it).
  uint16_t HeaderMaxKeys() const { return header_max_keys_; }
  MdxKeyShape Shape() const;
  GSobjMDXFile* MdxFile() const;
  int32_t HeaderBlock() const { return header_position_ / kMdxBlockSize; }
  uint32_t FirstBlock() const { return first_block_; }
  uint32_t LastBlock() const { return last_block_; }
  // Records that the tag's pages reach block (first and last allocated block).
  void NoteAllocated(uint32_t block);
  // A fresh header page at a new position; the tag's allocation starts again.
  void MoveHeader(int32_t header_position);
  void SetRootPointer(int32_t root) {
    root_pointer_ = root;
    header_changed_ = true;
  }
  // A tag that was never built writes no header when it goes.
  void DiscardHeader() { header_changed_ = false; }
  // Writes an all-zero root page in a new page and makes it the root.
  void WriteEmptyRoot();
  // Writes a zeroed header page and builds the tag from the table.
  void Rebuild();

 private:
  bool FailHeader(const std::string& why);
  void KeepWrittenNode(int32_t position, const GSobjIndexKey& node);
  // Evaluates the key expression once: key type and length of a new tag.
  bool TakeKeyType();

  bool header_ok_ = true;
  std::string header_problem_;
  uint16_t header_max_keys_ = 0;
  uint32_t first_block_ = 0;
  uint32_t last_block_ = 0;
  // The root the header on the disk names.
  int32_t written_root_ = 0;
  // The header page as read (bytes this engine does not use are kept).
  std::vector<uint8_t> header_;
  std::vector<uint8_t> page_;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_MDXTAG_H_
