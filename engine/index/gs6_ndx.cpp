#include "engine/index/gs6_ndx.h"

#include <string>

namespace devazoz {

GSobjNDXFile::GSobjNDXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite,
                           bool create, bool read_write, bool shared)
    : GSobjOneTagFile(table, file_name, overwrite, create, read_write, shared, kNdxBlockSize,
                      ".NDX") {
  TakeTagFromHeader(create);
}

GSobjNDXFile::~GSobjNDXFile() { CloseTag(); }

std::unique_ptr<GSobjNDXTag> GSobjNDXFile::NewTag(bool read_header) {
  return std::make_unique<GSobjNDXTag>(this, OwnName(), read_header);
}

int32_t GSobjNDXFile::AllocatePage() {
  int32_t page = GSobjOneTagFile::AllocatePage();
  // The header's next free block follows.
  if (GSobjNDXTag* tag = Tag()) tag->SetHeaderChanged();
  return page;
}

int32_t GSobjNDXFile::NextFreeBlock() {
  if (next_free_ < 0) ResetAllocator();
  return next_free_ / kNdxBlockSize;
}

}  // namespace devazoz
