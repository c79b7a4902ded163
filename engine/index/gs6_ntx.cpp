#include "engine/index/gs6_ntx.h"

#include <string>

#include "engine/foundation/gs6_bytes.h"

namespace devazoz {

GSobjNTXFile::GSobjNTXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite,
                           bool create, bool read_write, bool shared)
    : GSobjOneTagFile(table, file_name, overwrite, create, read_write, shared, kNtxPageSize,
                      ".NTX") {
  TakeTagFromHeader(create);
}

GSobjNTXFile::~GSobjNTXFile() {
  if (counter_dirty_ && Tag()) Tag()->SetHeaderChanged();
  CloseTag();
}

std::unique_ptr<GSobjNTXTag> GSobjNTXFile::NewTag(bool read_header) {
  return std::make_unique<GSobjNTXTag>(this, OwnName(), read_header);
}

bool GSobjNTXFile::UpdateKeys(int32_t record_number, bool is_append) {
  RefuseWriteIfDamaged();
  GSobjNTXTag* tag = Tag();
  if (tag) {
    uint16_t counter = tag->ChangeCounter();
    tag->SetChangeCounter(counter >= 32767 ? 1 : uint16_t(counter + 1));
    // Other programs compare the counter; an exclusive file writes it at close.
    if (disk_ && disk_->Shared()) {
      uint8_t b[2];
      ByteSpan(b, 2).PutU16LE(0, tag->ChangeCounter());
      WriteBlock(2, b, 2);
    } else {
      counter_dirty_ = true;
    }
  }
  return GSobjIndexFile::UpdateKeys(record_number, is_append);
}

bool GSobjNTXFile::ChangedByOther() {
  GSobjNTXTag* tag = Tag();
  if (!disk_ || !disk_->Shared() || !tag) return false;
  uint8_t b[2];
  if (!ReadBlock(2, b, 2)) return false;
  return ByteView(b, 2).U16LE(0) != tag->ChangeCounter();
}

}  // namespace devazoz
