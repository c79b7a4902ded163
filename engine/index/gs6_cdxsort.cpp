#include "engine/index/gs6_cdxsort.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxtag.h"
#include "engine/index/gs6_indxbuild.h"
#include "engine/table/gs6_DBF.h"
#include "engine/table/gs6_dbfld.h"

namespace devazoz {

GSobjSortCDX::GSobjSortCDX(GSobjCDXTag* tag, GSO_dBaseFld* table)
    : TgsSort(tag->KeyLength() + 1, table ? table->CollationMap() : nullptr, true, tag->Unique(),
              BuildWorkBytes(tag->KeyLength(), table)),
      tag_(tag),
      table_(table),
      shape_(tag->Shape()) {
  start_count_ = table ? table->RecordCount() : 0;
  params_ = CdxLeafParams(shape_.key_length, start_count_, false, false);
}

GSobjSortCDX::~GSobjSortCDX() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // The build failed already; nothing more to report.
  }
}

void GSobjSortCDX::StartLevel(int level) {
  Level& lv = levels_[level];
  lv.used = true;
  std::memset(lv.block, 0, sizeof lv.block);
  lv.attributes = level == 0 ? 2 : 0;
  lv.count = 0;
  int32_t own = tag_->File()->AllocatePage();
  PutCdxNodeHead(ByteSpan(lv.block, kCdxBlockSize), lv.attributes, 0, -1, own);
}

void GSobjSortCDX::AddToLevel(int level, int32_t pointer, const uint8_t* key, uint32_t length,
                              int32_t record) {
  if (level >= kCdxSortLevels) throw EDevazozError("Index tree deeper than 31 levels");
  Level& lv = levels_[level];
  if (!lv.used) StartLevel(level);
  const uint32_t L = uint32_t(shape_.key_length);
  length = std::min(length, L);
  ByteSpan span(lv.block, kCdxBlockSize);
  if (level == 0) {
    // Leaves are packed full: a key that no longer fits closes the leaf, whose
    // right sibling (the next leaf's block) is then known.
    if (lv.count == 0) lv.writer.Begin(span, params_, shape_);
    if (!lv.writer.Add(key, length, uint32_t(record))) {
      if (lv.count > 0) {
        CloseLevel(0, false);
        lv.writer.Begin(span, params_, shape_);
      }
      if (!lv.writer.Add(key, length, uint32_t(record)))
        throw EDevazozError("Index key of record " + std::to_string(record) +
                            " does not fit a leaf");
    }
    ++lv.count;
    lv.last_record = record;  // the key itself is the writer's last
    return;
  }
  size_t at = size_t(kCdxNodeHead) + size_t(lv.count) * (L + 8);
  span.Fill(at, L, shape_.text ? ' ' : 0);
  span.PutBytes(at, key, length);
  span.PutU32BE(at + L, uint32_t(record));
  span.PutU32BE(at + L + 4, uint32_t(pointer));
  ++lv.count;
  if (length) std::memcpy(lv.last_key, key, length);
  lv.last_length = length;
  lv.last_record = record;
  if (lv.count >= std::max<int>(1, tag_->MaxInteriorKeys())) CloseLevel(level, finishing_);
}

void GSobjSortCDX::CloseLevel(int level, bool last) {
  Level& lv = levels_[level];
  ByteSpan span(lv.block, kCdxBlockSize);
  int32_t own = span.I32LE(8);
  int32_t left = span.I32LE(4);
  int32_t right = last ? -1 : tag_->File()->AllocatePage();
  PutCdxNodeHead(span, lv.attributes, uint16_t(lv.count), left, right);
  tag_->File()->WriteBlock(own, lv.block, kCdxBlockSize);
  uint8_t key[256];
  uint32_t length = LastLength(level);
  int32_t record = lv.last_record;
  std::memcpy(key, LastKey(level), length);
  std::memset(lv.block, 0, sizeof lv.block);
  PutCdxNodeHead(span, lv.attributes, 0, own, right);
  lv.count = 0;
  AddToLevel(level + 1, own, key, length, record);
}

void GSobjSortCDX::WriteTree() {
  const uint8_t* key = nullptr;
  uint32_t length = 0;
  int32_t record = 0;
  // Keys reach the sort normalized: text and byte strings, which come back as
  // they went in.
  while (NextRaw(key, length, record)) {
    ++written_;
    if (table_) table_->StatusUpdate(2, written_, 0);
    AddToLevel(0, record, key, length, record);
  }
  Finish();
}

void GSobjSortCDX::Finish() {
  finished_ = true;
  finishing_ = true;
  for (int level = 0; level < kCdxSortLevels; ++level) {
    Level& lv = levels_[level];
    if (!lv.used) continue;
    ByteSpan span(lv.block, kCdxBlockSize);
    int32_t own = span.I32LE(8);
    span.PutI32LE(8, -1);
    if (lv.count > 0) {
      bool top = level + 1 >= kCdxSortLevels || !levels_[level + 1].used;
      uint16_t attributes = uint16_t(lv.attributes | (top ? 1 : 0));
      PutCdxNodeHead(span, attributes, uint16_t(lv.count), span.I32LE(4), -1);
      if (level == 0) span.PutU16LE(12, uint16_t(lv.writer.Free()));
      tag_->File()->WriteBlock(own, lv.block, kCdxBlockSize);
      if (top)
        tag_->SetRootPointer(own);
      else
        AddToLevel(level + 1, own, LastKey(level), LastLength(level), lv.last_record);
    }
    lv.used = false;
  }
}

namespace {

// One tag of a build: its sort and how its keys are read.
struct TagBuild {
  GSobjCDXTag* tag = nullptr;
  std::unique_ptr<GSobjSortCDX> sort;
  // The bare character field the key is (machine collation, no FOR condition):
  // its text is taken from the record bytes without evaluating; else null.
  const FieldDescriptor* field = nullptr;
  uint32_t key_length = 0;
  int32_t added = 0;
  const char* failed = nullptr;  // why the build of this tag stopped
  int32_t failed_record = 0;
};

// Evaluates a tag's FOR condition and key on the table's current record and adds
// the key; false when this tag's build has to stop.
bool AddEvaluatedKey(TagBuild& b, GSobjIndexKeyData& key, int32_t rec) {
  GSobjCDXTag* tag = b.tag;
  if (!tag->HasFor() || tag->EvaluateFor()) {
    bool ok = false;
    tag->EvaluateKey(key, ok);
    if (!ok) {
      b.failed = "the key cannot be evaluated";
      return false;
    }
    tag->NormalizeKey(key);
    b.sort->AddKey(key.Value, rec);
    ++b.added;
  } else if (tag->ForResultType() != kExpLogic) {
    b.failed = "the FOR condition does not give a logical value";
    return false;
  }
  return true;
}

}  // namespace

bool BuildCdxTag(GSobjCDXTag* tag) {
  std::vector<GSobjCDXTag*> tags{tag};
  return BuildCdxTags(tags);
}

bool BuildCdxTags(const std::vector<GSobjCDXTag*>& tags) {
  if (tags.empty()) return true;
  GSO_dBaseFld* table = tags.front()->Table();
  std::vector<TagBuild> builds;
  builds.reserve(tags.size());
  for (GSobjCDXTag* tag : tags) {
    TagBuild b;
    b.tag = tag;
    if (!tag->IsDirectory()) {
      b.sort = std::make_unique<GSobjSortCDX>(tag, tag->Table());
      // The general collation compares keys by its own weights, so its keys
      // are always evaluated.
      if (tag->Table() == table && tag->Collation() != 2) {
        b.field = DirectKeyField(tag, table);
        b.key_length = tag->KeyLength();
      }
    }
    builds.push_back(std::move(b));
  }
  bool any_sort = false;
  for (const TagBuild& b : builds) any_sort = any_sort || b.sort;
  int32_t count = table ? table->RecordCount() : 0;
  if (any_sort && table) table->StatusUpdate(-1, 1, count);
  // The record pass: every record once, for every tag.
  if (any_sort && table && count > 0) {
    const int32_t length = std::max(table->RecordLength(), 1);
    bool all_direct = true;
    for (const TagBuild& b : builds)
      if (b.sort && !b.field) all_direct = false;
    table->SetCurrentRecord(nullptr);
    GSobjIndexKeyData key;
    ReadEveryRecord(table, [&](const uint8_t* record, int32_t rec) {
      table->SetRecordNumber(rec);
      if (!all_direct) std::memcpy(table->RecordBuffer(), record, size_t(length));
      for (TagBuild& b : builds) {
        if (!b.sort || b.failed) continue;
        if (b.field) {
          const uint8_t* text = record + b.field->offset;
          b.sort->AddText(text, FieldKeyLength(text, b.field->length, b.key_length), rec);
          ++b.added;
        } else if (!AddEvaluatedKey(b, key, rec)) {
          b.failed_record = rec;
        }
      }
      table->StatusUpdate(1, rec, 0);
    });
    table->SetRecordNumber(count + 1);
  }
  if (any_sort && table) table->StatusUpdate(0, 0, 0);
  // The trees, tag by tag in the given order.
  bool ok = true;
  for (TagBuild& b : builds) {
    GSobjCDXTag* tag = b.tag;
    if (!b.sort) {
      tag->WriteEmptyRoot();
      continue;
    }
    if (b.failed) {
      b.sort.reset();
      tag->WriteEmptyRoot();
      tag->SetHeaderChanged();
      tag->WriteHeader();
      table->ReportError(kErrExpression, kSubNone,
                         ("tag " + tag->TagName() + " of " + tag->File()->FileName() + ": " +
                          b.failed + " for record " + std::to_string(b.failed_record))
                             .c_str());
      ok = false;
      continue;
    }
    if (table) table->StatusUpdate(-1, 2, count);
    if (b.added == 0)
      tag->WriteEmptyRoot();
    else
      b.sort->WriteTree();
    b.sort.reset();
    if (table) table->StatusUpdate(0, 0, 0);
    tag->SetHeaderChanged();
    tag->WriteHeader();
  }
  return ok;
}

}  // namespace devazoz
