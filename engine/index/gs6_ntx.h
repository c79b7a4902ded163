// GSobjNTXFile: a single-tag index file (".NTX"): one tag, named after the
// file, a B-tree of 1024-byte pages whose interior keys are real entries.
// Pages are allocated by appending and never reused.
//
// File layout:
//   OFFSET SIZE CONTENT
//   0      1024 header (see gs6_ntxtag.h)
//   1024   1024 pages (see gs6_ntxpage.h); a new empty file ends after the
//               all-zero root page (2048 bytes)
#ifndef ENGINE_INDEX_GS6_NTX_H_
#define ENGINE_INDEX_GS6_NTX_H_

#include <cstdint>
#include <string>

#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_ntxtag.h"

namespace devazoz {

class GSobjNTXFile : public GSobjIndexFile {
 public:
  // Opens (or, with create, creates) the file, ".NTX" by default. An existing
  // file gets its tag from the header; a new one none until AddTag.
  GSobjNTXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite, bool create,
               bool read_write, bool shared);
  ~GSobjNTXFile() override;

  bool AddTag(const std::string& name, const std::string& key_expression, bool unique,
              bool ascending, const std::string& for_expression) override;  // 0
  int32_t AllocatePage() override;                                          // 3
  int32_t ResetAllocator() override;                                        // 4
  void RebuildAll() override;                                               // 7
  bool UpdateKeys(int32_t record_number, bool is_append) override;          // 9
  bool ChangedByOther() override;                                           // 10
  // Truncates the file to a header and one empty root page.
  virtual void EmptyIndex();

  GSobjNTXTag* Tag() const;
  // The tag's name: the file's name without directory and extension.
  std::string OwnName() const;

 private:
  // RebuildAll's writing: the whole file anew from the table.
  void WriteRebuilt();
  void ForgetCache();
  // The change counter moved since the header was last written.
  bool counter_dirty_ = false;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NTX_H_
