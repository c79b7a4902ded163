// GSobjNTXTag: the single tag of an NTX index. It presents the format's
// B-tree, whose interior keys are real index entries, to the framework, which
// expects every key in a leaf: an interior page reads as its n keys plus one
// entry for the rightmost child, and a leaf that a separator key follows reads
// with a copy of that separator as its last entry. Writing undoes this: the
// last entry of such a leaf and of an interior page carries no key on the page.
//
// Header, 1024 bytes at offset 0, little-endian:
//   OFFSET SIZE CONTENT
//   0      2    signature: 6, or 7 with a FOR condition (bit 0)
//   2      2    change counter (1..32767)
//   4      4    root page offset
//   8      4    zero
//   12     2    entry size = key length + 8
//   14     2    key length
//   16     2    decimals (numeric keys)
//   18     2    maximum keys per page
//   20     2    half page = maximum keys / 2
//   22     256  key expression, NUL-terminated
//   278    1    1 when unique
//   279    1    1 when descending
//   282    742  FOR expression, NUL-terminated, when there is one
//
// Keys: 'C' text without trailing blanks; 'D' eight digits yyyymmdd
// ("00000000" for no date); 'N' the absolute value right-aligned in the key
// length with the decimals, blanks as '0', and for a negative value every
// digit character d replaced by the character 92 - d.
#ifndef ENGINE_INDEX_GS6_NTXTAG_H_
#define ENGINE_INDEX_GS6_NTXTAG_H_

#include <cstdint>
#include <string>

#include "engine/index/gs6_indxtag.h"
#include "engine/index/gs6_ntxpage.h"

namespace devazoz {

class GSobjNTXFile;

constexpr int kNtxHeaderSize = 1024;
constexpr int kNtxMaxKeyExpression = 255;
constexpr int kNtxForAt = 282;

class GSobjNTXTag : public GSobjIndexTag {
 public:
  // Reads the header at offset 0 when read_header is set; a failure marks the
  // file's header error.
  GSobjNTXTag(GSobjNTXFile* file, const std::string& name, bool read_header);
  ~GSobjNTXTag() override;

  void NormalizeKey(GSobjIndexKeyData& key) override;  // 0
  int CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                bool ascending, const std::string& for_expression) override;  // 1
  int32_t ReadRootPointer() override;                                         // 3
  void ReadNode(int32_t position, GSobjIndexKey& node) override;              // 4
  void WriteNode(int32_t position, GSobjIndexKey& node) override;             // 5
  bool ReadHeader() override;                                                 // 6
  void WriteHeader() override;                                                // 7

  // CreateTag without writing or building: the expressions compiled, the key's
  // type and sizes taken from the current record. -1 with BuildProblem() when
  // the tag cannot be built.
  int DefineTag(const std::string& name, const std::string& key_expression, bool unique,
                bool ascending, const std::string& for_expression);
  bool HeaderOk() const { return header_ok_; }
  NtxPageShape Shape() const;
  uint16_t Decimals() const { return decimals_; }
  uint16_t ChangeCounter() const { return change_counter_; }
  void SetChangeCounter(uint16_t counter) { change_counter_ = counter; }
  void SetRootPointer(int32_t root) {
    root_pointer_ = root;
    header_changed_ = true;
  }
  // Writes an all-zero page at a new position and makes it the root.
  void WriteEmptyRoot();
  // Refuses what the format cannot hold (descending order), raising through
  // the file's error routine; a FOR condition is held.
  void RefuseUnsupported(bool ascending, const std::string& for_expression);
  // The number a numeric key stands for.
  static double DecodeNumber(const uint8_t* key, uint32_t length);
  // Checks a page position read from the file.
  void CheckPagePosition(int32_t position, const char* what);

 private:
  bool FailHeader(const std::string& why);
  // The key type and sizes from one evaluation of the key expression.
  bool TakeKeyTypeFromExpression();
  // True when every node above node holds it as its last entry.
  static bool OnRightEdge(const GSobjIndexKey& node);
  // The key the interior page of the root ends with: above every key.
  void SentinelKey(std::string* out) const;
  // Keeps a node just written whole in the file's cache, as ReadNode would
  // present its page.
  void KeepWrittenNode(int32_t position, const GSobjIndexKey& node, bool right_edge);

  bool header_ok_ = true;
  uint16_t decimals_ = 0;
  uint16_t change_counter_ = 0;
  std::string sentinel_;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NTXTAG_H_
