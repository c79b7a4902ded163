// GSobjCDXFile: a compact compound index file (".CDX"): a tag directory whose
// header is at offset 0 and whose keys name the tags (record number = position
// of the tag's header), and any number of tags, each a B+ tree of 512-byte
// nodes. Blocks are allocated by appending and never reused.
//
// File layout:
//   OFFSET SIZE CONTENT
//   0      1024 tag directory header (see gs6_cdxtag.h)
//   1024   512  directory root node; a new file ends here (1536 bytes)
//   ...         512-byte blocks: tag headers (two blocks each) and nodes
#ifndef ENGINE_INDEX_GS6_CDX_H_
#define ENGINE_INDEX_GS6_CDX_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/index/gs6_cdxtag.h"
#include "engine/index/gs6_indx.h"

namespace devazoz {

constexpr int32_t kCdxNewFileSize = 1536;
constexpr int kCdxMaxTagNameLength = 10;

class GSobjCDXFile : public GSobjIndexFile {
 public:
  // Opens (or, with create, creates) the file ".CDX" by default; see the .cpp.
  GSobjCDXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite, bool create,
               bool read_write, bool shared);
  ~GSobjCDXFile() override;

  bool AddTag(const std::string& name, const std::string& key_expression, bool unique,
              bool ascending, const std::string& for_expression) override;         // 0
  bool DeleteTag(const std::string& name) override;                                // 1
  int32_t AllocatePage() override;                                                 // 3
  int32_t ResetAllocator() override;                                               // 4
  bool ReadBlock(int32_t position, void* buffer, int32_t length) override;         // 5
  bool WriteBlock(int32_t position, const void* buffer, int32_t length) override;  // 6
  void RebuildAll() override;                                                      // 7
  bool UpdateKeys(int32_t record_number, bool is_append) override;                 // 9
  bool ChangedByOther() override;                                                  // 10

  GSobjCDXTag* Directory() const { return directory_.get(); }
  GSobjCDXTag* CdxTagAt(int i) const { return static_cast<GSobjCDXTag*>(TagAt(i)); }
  // A tag name as stored: trimmed, upper-cased, at most 10 characters.
  std::string TagKeyName(const std::string& name) const;

 private:
  void LoadTags();
  // RebuildAll's writing: the directory and every tag anew from the table.
  void WriteRebuilt();
  void CreateNew();
  GSobjCDXTag* FindExact(const std::string& key_name) const;
  void DirectoryInsert(const std::string& key_name, int32_t header_position);

  std::unique_ptr<GSobjCDXTag> directory_;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_CDX_H_
