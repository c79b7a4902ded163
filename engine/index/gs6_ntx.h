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
#include <memory>
#include <string>

#include "engine/index/gs6_ntxtag.h"
#include "engine/index/gs6_onetag.h"

namespace devazoz {

class GSobjNTXFile : public GSobjOneTagFile<GSobjNTXTag> {
 public:
  // Opens (or, with create, creates) the file, ".NTX" by default. An existing
  // file gets its tag from the header; a new one none until AddTag.
  GSobjNTXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite, bool create,
               bool read_write, bool shared);
  ~GSobjNTXFile() override;

  bool UpdateKeys(int32_t record_number, bool is_append) override;  // 9
  bool ChangedByOther() override;                                   // 10

 protected:
  std::unique_ptr<GSobjNTXTag> NewTag(bool read_header) override;
  void StartRewrite() override { counter_dirty_ = false; }

 private:
  // The change counter moved since the header was last written.
  bool counter_dirty_ = false;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NTX_H_
