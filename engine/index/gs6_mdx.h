// GSobjMDXFile: a multiple-tag index file (".MDX"): a file header with a tag
// table, then pages of blocks-per-page 512-byte blocks: a header page per tag
// and the pages of each tag's B+ tree. Pages are allocated by appending.
//
// File header (header length = blocks per page x page size, 2048 for new
// files), little-endian:
//   OFFSET SIZE CONTENT
//   0      1    2
//   1      3    date of last update: year mod 100, month, day
//   4      16   table file name without extension (first 8 characters)
//   20     2    blocks per page (2)
//   22     2    page size in bytes (1024)
//   24     1    1: production index
//   25     1    48: tag table entries
//   26     2    32: tag table entry length
//   28     2    number of tags
//   32     4    next free block
//   44     3    creation date: year mod 100, month, day
//   512    ...  tag table: entry j (j = 1 .. number of tags) at 512 + 32 x j
// Tag table entry (32 bytes):
//   0      4    tag header block
//   4      11   tag name, upper-case, NUL-terminated (at most 10 characters)
//   17     1    index of the next entry (entry j - 1 holds j; the entry at 512
//               holds 1)
//   19     1    2
//   20     1    key type letter
// The tag table ends with the header: a 2048-byte header lists at most 47 tags.
#ifndef ENGINE_INDEX_GS6_MDX_H_
#define ENGINE_INDEX_GS6_MDX_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_mdxtag.h"

namespace devazoz {

constexpr int32_t kMdxNewHeaderLength = 2048;
constexpr int kMdxNewPageSize = 1024;
constexpr int kMdxTagTableAt = 512;
constexpr int kMdxTagEntryLength = 32;
constexpr int kMdxMaxTagNameLength = 10;

class GSobjMDXFile : public GSobjIndexFile {
 public:
  // Opens (or, with create, creates) the file, ".MDX" by default; see the .cpp.
  GSobjMDXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite, bool create,
               bool read_write, bool shared);
  ~GSobjMDXFile() override;

  bool AddTag(const std::string& name, const std::string& key_expression, bool unique,
              bool ascending, const std::string& for_expression) override;  // 0
  bool DeleteTag(const std::string& name) override;                         // 1
  int32_t AllocatePage() override;                                          // 3
  int32_t ResetAllocator() override;                                        // 4
  void RebuildAll() override;                                               // 7
  bool RenameExtension(const std::string& new_name) override;               // 8

  GSobjMDXTag* MdxTagAt(int i) const { return static_cast<GSobjMDXTag*>(TagAt(i)); }
  int PageSize() const { return page_size_; }
  int BlocksPerPage() const { return blocks_per_page_; }
  int32_t HeaderLength() const { return header_length_; }
  // The most tags the tag table of the header can list.
  int MaxTags() const { return (header_length_ - kMdxTagTableAt) / kMdxTagEntryLength - 1; }
  // A tag name as stored: trimmed, upper-cased, at most 10 characters.
  static std::string TagKeyName(const std::string& name);
  // What is wrong when the tag table lists two tags on one tag header.
  static std::string SharedHeaderText(const std::string& first, const std::string& second,
                                      int32_t block);

 private:
  // RebuildAll's writing: the whole file anew from the table.
  void WriteRebuilt();
  void LoadHeader();
  void CreateNew();
  GSobjMDXTag* FindExact(const std::string& key_name) const;
  // Writes the header: update date, tag count, next free block, tag table.
  void WriteFileHeader();

  int page_size_ = kMdxNewPageSize;
  int blocks_per_page_ = 2;
  int32_t header_length_ = kMdxNewHeaderLength;
  std::vector<uint8_t> header_;
  bool header_changed_ = false;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_MDX_H_
