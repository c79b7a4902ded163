#include "engine/index/gs6_mdxsort.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxbuild.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxtag.h"
#include "engine/table/gs6_dbfld.h"

namespace devazoz {

namespace {

int SortKeyLength(const GSobjMDXTag* tag) {
  switch (tag->KeyType()) {
    case 'N':
      return kMdxNumberLength;
    case 'D':
      return kMdxDateLength;
    default:
      return tag->KeyLength();
  }
}

}  // namespace

GSobjSortMDX::GSobjSortMDX(GSobjMDXTag* tag, GSO_dBaseFld* table)
    : TgsSort(SortKeyLength(tag), table ? table->CollationMap() : nullptr, tag->Ascending(),
              tag->Unique(), BuildWorkBytes(tag->KeyLength(), table)),
      tag_(tag),
      table_(table),
      shape_(tag->Shape()),
      max_keys_(std::max<size_t>(2, tag->MaxInteriorKeys())),
      page_(size_t(shape_.page_size)) {}

GSobjSortMDX::~GSobjSortMDX() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // The build failed already; nothing more to report.
  }
}

int32_t GSobjSortMDX::WriteLevel(int level) {
  NodeData& node = levels_[level].node;
  uint32_t link = tag_->LastBlock();
  int32_t page = tag_->File()->AllocatePage();
  tag_->NoteAllocated(uint32_t(page / kMdxBlockSize));
  PackMdxPage(ByteSpan(page_.data(), page_.size()), shape_, node, 0, node.entries.size(), level > 0,
              link);
  tag_->File()->WriteBlock(page, page_.data(), shape_.page_size);
  return page;
}

void GSobjSortMDX::AddToLevel(int level, const uint8_t* key, uint32_t length, int32_t pointer) {
  if (level >= kMdxSortLevels) throw EDevazozError("Index tree deeper than 31 levels");
  Level& lv = levels_[level];
  lv.used = true;
  NodeData& node = lv.node;
  if (node.entries.size() >= max_keys_) {
    // The last key of the full page goes up as the separator of its subtree.
    int32_t page = WriteLevel(level);
    const NodeEntry& last = node.entries.back();
    std::string up(reinterpret_cast<const char*>(node.pool.data() + last.offset), last.length);
    node.entries.clear();
    node.pool.clear();
    AddToLevel(level + 1, reinterpret_cast<const uint8_t*>(up.data()), uint32_t(up.size()), page);
  }
  NodeEntry e{uint32_t(node.pool.size()), uint16_t(length), level == 0 ? pointer : 0, pointer};
  node.pool.insert(node.pool.end(), key, key + length);
  node.entries.push_back(e);
}

void GSobjSortMDX::WriteTree() {
  TgsVariant value;
  int32_t record = 0;
  while (NextKey(value, record)) {
    ++written_;
    if (table_) table_->StatusUpdate(2, written_, 0);
    AddToLevel(0, value.Data(), value.Length(), record);
  }
  Finish();
}

void GSobjSortMDX::Finish() {
  finished_ = true;
  for (int level = 0; level < kMdxSortLevels; ++level) {
    Level& lv = levels_[level];
    if (!lv.used || lv.node.entries.empty()) continue;
    bool top = level + 1 >= kMdxSortLevels || !levels_[level + 1].used;
    int32_t page = WriteLevel(level);
    if (top) {
      tag_->SetRootPointer(page);
      break;
    }
    const NodeEntry& last = lv.node.entries.back();
    std::string up(reinterpret_cast<const char*>(lv.node.pool.data() + last.offset), last.length);
    lv.node.entries.clear();
    lv.node.pool.clear();
    AddToLevel(level + 1, reinterpret_cast<const uint8_t*>(up.data()), uint32_t(up.size()), page);
  }
}

void BuildMdxTag(GSobjMDXTag* tag) {
  GSO_dBaseFld* table = tag->Table();
  GSobjSortMDX sort(tag, table);
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
