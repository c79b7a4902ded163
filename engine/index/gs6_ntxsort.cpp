#include "engine/index/gs6_ntxsort.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxbuild.h"
#include "engine/index/gs6_ntx.h"
#include "engine/index/gs6_ntxtag.h"
#include "engine/table/gs6_dbfld.h"

namespace devazoz {

namespace {

// The entry after the last key of an interior page carries only its child: its
// record number is cleared (readers take a non-zero one for a key).
void ClearRightmostRecord(ByteSpan page, const NtxPageShape& shape, int slot) {
  page.PutI32LE(size_t(shape.max_keys + 2) * 2 + size_t(slot) * size_t(shape.EntrySize()) + 4, 0);
  page.Fill(size_t(shape.max_keys + 2) * 2 + size_t(slot) * size_t(shape.EntrySize()) + 8,
            size_t(shape.key_length), ' ');
}

}  // namespace

GSobjSortNTX::GSobjSortNTX(GSobjNTXTag* tag, GSO_dBaseFld* table)
    : TgsSort(tag->KeyLength() + 1, table ? table->CollationMap() : nullptr, true, tag->Unique(),
              BuildWorkBytes(tag->KeyLength(), table)),
      tag_(tag),
      table_(table),
      shape_(tag->Shape()) {}

GSobjSortNTX::~GSobjSortNTX() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // The build failed already; nothing more to report.
  }
}

void GSobjSortNTX::AddToLevel(int level, int32_t child, const uint8_t* key, uint32_t length,
                              int32_t record) {
  if (level >= kNtxSortLevels) throw EDevazozError("Index tree deeper than 31 levels");
  Level& lv = levels_[level];
  ByteSpan span(lv.page, kNtxPageSize);
  if (!lv.used) {
    lv.used = true;
    lv.count = 0;
    span.Fill(0, kNtxPageSize, 0);
    PutNtxHead(span, shape_, 0);
  }
  length = std::min<uint32_t>(length, uint32_t(shape_.key_length));
  if (lv.count >= shape_.max_keys) {
    int32_t page = tag_->File()->AllocatePage();
    if (level == 0) {
      span.PutU16LE(0, uint16_t(lv.count));
      tag_->File()->WriteBlock(page, lv.page, kNtxPageSize);
      lv.count = 0;
      span.Fill(0, kNtxPageSize, 0);
      PutNtxHead(span, shape_, 0);
      AddToLevel(1, page, key, length, record);
      return;
    }
    uint8_t up[256];
    uint32_t up_length = lv.last_length;
    int32_t up_record = lv.last_record;
    std::memcpy(up, lv.last_key, up_length);
    --lv.count;
    ClearRightmostRecord(span, shape_, lv.count);
    span.PutU16LE(0, uint16_t(lv.count));
    tag_->File()->WriteBlock(page, lv.page, kNtxPageSize);
    lv.count = 0;
    span.Fill(0, kNtxPageSize, 0);
    PutNtxHead(span, shape_, 0);
    AddToLevel(level + 1, page, up, up_length, up_record);
  }
  PutNtxSlot(span, shape_, lv.count, child, record, key, length);
  ++lv.count;
  if (length) std::memcpy(lv.last_key, key, length);
  lv.last_length = length;
  lv.last_record = record;
}

void GSobjSortNTX::WriteTree() {
  TgsVariant value;
  int32_t record = 0;
  while (NextKey(value, record)) {
    ++written_;
    if (table_) table_->StatusUpdate(2, written_, 0);
    AddToLevel(0, 0, value.Data(), value.Length(), record);
  }
  Finish();
}

void GSobjSortNTX::Finish() {
  finished_ = true;
  for (int level = 0; level < kNtxSortLevels; ++level) {
    Level& lv = levels_[level];
    if (!lv.used) continue;
    ByteSpan span(lv.page, kNtxPageSize);
    int32_t page = tag_->File()->AllocatePage();
    bool top = level + 1 >= kNtxSortLevels || !levels_[level + 1].used;
    if (level > 0 && lv.count > 0) {
      --lv.count;
      ClearRightmostRecord(span, shape_, lv.count);
    }
    span.PutU16LE(0, uint16_t(lv.count));
    tag_->File()->WriteBlock(page, lv.page, kNtxPageSize);
    lv.used = false;
    if (top)
      tag_->SetRootPointer(page);
    else
      AddToLevel(level + 1, page, lv.last_key, lv.last_length, lv.last_record);
  }
}

void BuildNtxTag(GSobjNTXTag* tag) {
  GSO_dBaseFld* table = tag->Table();
  GSobjSortNTX sort(tag, table);
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
