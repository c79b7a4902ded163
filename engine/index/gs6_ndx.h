// GSobjNDXFile: a single-tag index file (".NDX"): one tag, named after the
// file, a B-tree of 512-byte blocks whose interior keys are separators. No FOR
// condition, always ascending; blocks are allocated by appending.
//
// File layout:
//   OFFSET SIZE CONTENT
//   0      512  header (see gs6_ndxtag.h)
//   512    512  blocks (see gs6_ndxpage.h); a new empty file ends after the
//               all-zero root block 1 (1024 bytes)
#ifndef ENGINE_INDEX_GS6_NDX_H_
#define ENGINE_INDEX_GS6_NDX_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/index/gs6_ndxtag.h"
#include "engine/index/gs6_onetag.h"

namespace devazoz {

class GSobjNDXFile : public GSobjOneTagFile<GSobjNDXTag> {
 public:
  // Opens (or, with create, creates) the file, ".NDX" by default.
  GSobjNDXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite, bool create,
               bool read_write, bool shared);
  ~GSobjNDXFile() override;

  int32_t AllocatePage() override;  // 3
  // The next free block as the header stores it.
  int32_t NextFreeBlock();

 protected:
  std::unique_ptr<GSobjNDXTag> NewTag(bool read_header) override;
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_NDX_H_
