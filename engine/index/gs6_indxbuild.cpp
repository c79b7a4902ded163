#include "engine/index/gs6_indxbuild.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/index/gs6_indxtag.h"
#include "engine/index/gs6_sort.h"
#include "engine/table/gs6_dbfld.h"

namespace devazoz {

namespace {

// Records are read from the table in chunks of about this many bytes.
constexpr int32_t kReadChunkBytes = 256 * 1024;

}  // namespace

size_t BuildWorkBytes(uint32_t key_length, const GSO_dBaseFld* table) {
  constexpr size_t kLeast = size_t(4) << 20, kMost = size_t(32) << 20;
  size_t records = table ? size_t(std::max(table->RecordCount(), 0)) : 0;
  // An entry: 6 bytes of head and the key (the index item is held apart).
  size_t want = records * (6 + size_t(key_length) + 1);
  return std::clamp(want, kLeast, kMost);
}

int32_t FeedSortFromTable(GSobjIndexTag* tag, TgsSort& sort) {
  GSO_dBaseFld* table = tag->Table();
  if (!table) return 0;
  int32_t count = table->RecordCount();
  table->StatusUpdate(-1, 1, count);
  int32_t added = 0;
  if (count > 0) {
    const int32_t length = std::max(table->RecordLength(), 1);
    const int64_t header = table->HeaderLength();
    const int32_t per_chunk = std::max<int32_t>(1, kReadChunkBytes / length);
    std::vector<uint8_t> chunk(size_t(per_chunk) * size_t(length));
    int32_t chunk_first = 0, chunk_count = 0;
    table->SetCurrentRecord(nullptr);
    GSobjIndexKeyData key;
    int field = tag->DirectTextField();
    if (field > 0 && field <= table->FieldCount() && !tag->HasFor() && tag->KeyType() == 'C') {
      const FieldDescriptor& f = table->Descriptor(field);
      const uint32_t key_length = tag->KeyLength();
      const uint8_t* last = nullptr;
      for (int32_t first = 1; first <= count;) {
        int32_t want = std::min(per_chunk, count - first + 1);
        int32_t got =
            table->ReadAt(header + int64_t(first - 1) * length, chunk.data(), want * length) /
            length;
        if (got <= 0) break;  // the file ended early
        for (int32_t i = 0; i < got; ++i) {
          const uint8_t* text = chunk.data() + size_t(i) * size_t(length) + f.offset;
          sort.AddText(text, FieldKeyLength(text, f.length, key_length), first + i);
          table->StatusUpdate(1, first + i, 0);
        }
        added += got;
        last = chunk.data() + size_t(got - 1) * size_t(length);
        first += got;
        if (got < want) break;
      }
      if (last) std::memcpy(table->RecordBuffer(), last, size_t(length));
    } else {
      for (int32_t rec = 1; rec <= count; ++rec) {
        if (rec >= chunk_first + chunk_count) {
          int32_t want = std::min(per_chunk, count - rec + 1);
          int32_t got =
              table->ReadAt(header + int64_t(rec - 1) * length, chunk.data(), want * length);
          chunk_first = rec;
          chunk_count = got / length;
          if (chunk_count == 0) break;  // the file ended early
        }
        std::memcpy(table->RecordBuffer(),
                    chunk.data() + size_t(rec - chunk_first) * size_t(length), size_t(length));
        table->SetRecordNumber(rec);
        if (!tag->HasFor() || tag->EvaluateFor()) {
          bool ok = false;
          tag->EvaluateKey(key, ok);
          if (ok) {
            tag->NormalizeKey(key);
            sort.AddKey(key.Value, rec);
            ++added;
          }
        }
        table->StatusUpdate(1, rec, 0);
      }
    }
    table->SetRecordNumber(count + 1);
  }
  table->StatusUpdate(0, 0, 0);
  table->StatusUpdate(-1, 2, count);
  return added;
}

}  // namespace devazoz
