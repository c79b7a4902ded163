// GSobjNDXTag: the single tag of an NDX index. Interior keys are separators
// (the highest key of the subtree to their left), so blocks map onto the
// framework's nodes directly; an interior block's rightmost child reads with a
// sentinel key above every key.
//
// Header, block 0 (512 bytes), little-endian:
//   OFFSET SIZE CONTENT
//   0      4    root block
//   4      4    next free block
//   8      4    zero
//   12     2    key length (8 for numeric and date keys)
//   14     2    maximum keys per block = 504 div entry size
//   16     2    key kind: 1 numeric or date, 0 character
//   18     2    entry size: key length + 8 rounded up to a multiple of 4
//                (numeric tags 20, date tags 16)
//   23     1    1 when unique
//   24     488  key expression, NUL-terminated
//
// Keys: 'C' text without trailing blanks; 'N' the number and 'D' the day
// number as doubles, an empty date as 1.0E100 so that it sorts last.
#ifndef ENGINE_INDEX_GS6_NDXTAG_H_
#define ENGINE_INDEX_GS6_NDXTAG_H_

#include <cstdint>
#include <string>

#include "engine/index/gs6_indxtag.h"
#include "engine/index/gs6_ndxpage.h"

namespace devazoz {

class GSobjNDXFile;

constexpr int kNdxMaxKeyExpression = 487;
// The double an empty date is stored as.
constexpr double kNdxEmptyDate = 1.0E100;

class GSobjNDXTag : public GSobjIndexTag {
 public:
  GSobjNDXTag(GSobjNDXFile* file, const std::string& name, bool read_header);
  ~GSobjNDXTag() override;

  void NormalizeKey(GSobjIndexKeyData& key) override;  // 0
  int CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                bool ascending, const std::string& for_expression) override;  // 1
  int32_t ReadRootPointer() override;                                         // 3
  void ReadNode(int32_t position, GSobjIndexKey& node) override;              // 4
  void WriteNode(int32_t position, GSobjIndexKey& node) override;             // 5
  bool ReadHeader() override;                                                 // 6
  void WriteHeader() override;                                                // 7

  // CreateTag without writing or building (see GSobjNTXTag::DefineTag).
  int DefineTag(const std::string& name, const std::string& key_expression, bool unique,
                bool ascending, const std::string& for_expression);
  bool HeaderOk() const { return header_ok_; }
  NdxBlockShape Shape() const;
  void SetRootPointer(int32_t root) {
    root_pointer_ = root;
    header_changed_ = true;
  }
  // Writes an all-zero block at a new position and makes it the root.
  void WriteEmptyRoot();
  // Refuses what the format cannot hold (descending order, a FOR condition),
  // raising through the file's error routine.
  void RefuseUnsupported(bool ascending, const std::string& for_expression);

 private:
  // Keeps a leaf just written whole in the file's cache, as decoded.
  void KeepWrittenNode(int32_t position, const GSobjIndexKey& node);
  bool FailHeader(const std::string& why);
  void CheckBlockPosition(int32_t position, const char* what);
  const std::string& Sentinel();

  bool header_ok_ = true;
  std::string sentinel_;
  // The root the header on the disk names (-1: none written or read yet).
  int32_t written_root_ = -1;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NDXTAG_H_
