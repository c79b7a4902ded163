#include "engine/index/gs6_ndxsort.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxbuild.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ndxtag.h"
#include "engine/table/gs6_dbfld.h"

namespace devazoz {

GSobjSortNdx::GSobjSortNdx(GSobjNDXTag* tag, GSO_dBaseFld* table)
    : TgsSort(tag->KeyLength() + 1, table ? table->CollationMap() : nullptr, true, tag->Unique(),
              BuildWorkBytes(tag->KeyLength(), table)),
      tag_(tag),
      table_(table),
      shape_(tag->Shape()) {}

GSobjSortNdx::~GSobjSortNdx() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // The build failed already; nothing more to report.
  }
}

int32_t GSobjSortNdx::WriteLevel(int level) {
  Level& lv = levels_[level];
  ByteSpan span(lv.block, kNdxBlockSize);
  if (level > 0 && lv.count > 0) --lv.count;
  span.PutU32LE(0, uint32_t(lv.count));
  int32_t page = tag_->File()->AllocatePage();
  tag_->File()->WriteBlock(page, lv.block, kNdxBlockSize);
  span.Fill(0, kNdxBlockSize, 0);
  lv.count = 0;
  return page;
}

void GSobjSortNdx::AddToLevel(int level, int32_t child, const uint8_t* key, uint32_t length,
                              int32_t record) {
  if (level >= kNdxSortLevels) throw EDevazozError("Index tree deeper than 31 levels");
  Level& lv = levels_[level];
  if (!lv.used) {
    lv.used = true;
    lv.count = 0;
    std::memset(lv.block, 0, sizeof lv.block);
  }
  if (lv.count >= shape_.max_keys) {
    uint8_t up[256];
    uint32_t up_length = lv.last_length;
    int32_t up_record = lv.last_record;
    std::memcpy(up, lv.last_key, up_length);
    int32_t page = WriteLevel(level);
    AddToLevel(level + 1, page / kNdxBlockSize, up, up_length, up_record);
  }
  length = std::min<uint32_t>(length, uint32_t(shape_.key_length));
  PutNdxEntry(ByteSpan(lv.block, kNdxBlockSize), shape_, lv.count, child, level == 0 ? record : 0,
              key, length);
  ++lv.count;
  if (length) std::memcpy(lv.last_key, key, length);
  lv.last_length = length;
  lv.last_record = record;
}

void GSobjSortNdx::WriteTree() {
  TgsVariant value;
  int32_t record = 0;
  while (NextKey(value, record)) {
    ++written_;
    if (table_) table_->StatusUpdate(2, written_, 0);
    AddToLevel(0, 0, value.Data(), value.Length(), record);
  }
  Finish();
}

void GSobjSortNdx::Finish() {
  finished_ = true;
  for (int level = 0; level < kNdxSortLevels; ++level) {
    Level& lv = levels_[level];
    if (!lv.used) continue;
    bool top = level + 1 >= kNdxSortLevels || !levels_[level + 1].used;
    int32_t page = WriteLevel(level);
    lv.used = false;
    if (top)
      tag_->SetRootPointer(page);
    else
      AddToLevel(level + 1, page / kNdxBlockSize, lv.last_key, lv.last_length, lv.last_record);
  }
}

void BuildNdxTag(GSobjNDXTag* tag) {
  GSO_dBaseFld* table = tag->Table();
  GSobjSortNdx sort(tag, table);
  int32_t added = FeedSortFromTable(tag, sort);
  if (added <= 0)
    tag->WriteEmptyRoot();
  else
    sort.WriteTree();
  if (table) table->StatusUpdate(0, 0, 0);
  tag->SetHeaderChanged();
  tag->WriteHeader();
}

}  // namespace devazoz
