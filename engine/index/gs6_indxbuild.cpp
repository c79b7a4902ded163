#include "engine/index/gs6_indxbuild.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_indxtag.h"
#include "engine/index/gs6_sort.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sqlbase.h"

namespace devazoz {

size_t BuildWorkBytes(uint32_t key_length, const GSO_dBaseFld* table) {
  constexpr size_t kLeast = size_t(4) << 20, kMost = size_t(32) << 20;
  size_t records = table ? size_t(std::max(table->RecordCount(), 0)) : 0;
  // An entry: 6 bytes of head and the key (the index item is held apart).
  size_t want = records * (6 + size_t(key_length) + 1);
  return std::clamp(want, kLeast, kMost);
}

const FieldDescriptor* DirectKeyField(const GSobjIndexTag* tag, const GSO_dBaseFld* table) {
  const int field = tag->DirectTextField();
  if (!table || field <= 0 || field > table->FieldCount() || tag->HasFor() || tag->KeyType() != 'C')
    return nullptr;
  return &table->Descriptor(field);
}

int32_t FeedSortFromTable(GSobjIndexTag* tag, TgsSort& sort) {
  GSO_dBaseFld* table = tag->Table();
  if (!table) return 0;
  int32_t count = table->RecordCount();
  table->StatusUpdate(-1, 1, count);
  int32_t added = 0;
  if (count > 0) {
    const int32_t length = std::max(table->RecordLength(), 1);
    table->SetCurrentRecord(nullptr);
    GSobjIndexKeyData key;
    if (const FieldDescriptor* f = DirectKeyField(tag, table)) {
      const uint32_t key_length = tag->KeyLength();
      ReadEveryRecord(table, [&](const uint8_t* record, int32_t rec) {
        const uint8_t* text = record + f->offset;
        sort.AddText(text, FieldKeyLength(text, f->length, key_length), rec);
        ++added;
        table->StatusUpdate(1, rec, 0);
      });
    } else {
      // A record whose key or FOR condition gives no usable value stops the
      // build: left out silently, it would leave the tag without its keys.
      const char* failed = nullptr;
      int32_t failed_record = 0;
      ReadEveryRecord(table, [&](const uint8_t* record, int32_t rec) {
        if (failed) return;
        std::memcpy(table->RecordBuffer(), record, size_t(length));
        table->SetRecordNumber(rec);
        if (!tag->HasFor() || tag->EvaluateFor()) {
          bool ok = false;
          tag->EvaluateKey(key, ok);
          if (!ok) {
            failed = "the key cannot be evaluated";
            failed_record = rec;
            return;
          }
          tag->NormalizeKey(key);
          sort.AddKey(key.Value, rec);
          ++added;
        } else if (tag->ForResultType() != kExpLogic) {
          failed = "the FOR condition does not give a logical value";
          failed_record = rec;
          return;
        }
        table->StatusUpdate(1, rec, 0);
      });
      if (failed) {
        table->SetRecordNumber(count + 1);
        table->ReportError(kErrExpression, kSubNone,
                           ("tag " + tag->TagName() + " of " + tag->File()->ShownPath() + ": " +
                            failed + " for record " + std::to_string(failed_record))
                               .c_str());
        return -1;
      }
    }
    table->SetRecordNumber(count + 1);
  }
  table->StatusUpdate(0, 0, 0);
  table->StatusUpdate(-1, 2, count);
  return added;
}

}  // namespace devazoz
