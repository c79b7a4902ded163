#include "engine/index/gs6_indxkey.h"

#include <algorithm>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_indxtag.h"
#include "platform/services/exception.h"
#include "platform/services/numtext.h"

namespace devazoz {

void GSobjIndexKeyData::Assign(const GSobjIndexKeyData& other) {
  if (&other == this) return;
  if (other.Value.Type() == VariantType::Text) {
    SetKey(other.Value.Data(), other.Value.Length(), true);
  } else if (other.Value.Type() == VariantType::Bytes) {
    SetKey(other.Value.Data(), other.Value.Length(), false);
  } else {
    Value.Assign(&other.Value);
  }
  RecordNumber = other.RecordNumber;
  TreePointer = other.TreePointer;
  Normalized = other.Normalized;
}

void GSobjIndexKeyData::SetKey(const uint8_t* bytes, uint32_t count, bool text) {
  if (text) {
    Value.SetText(bytes, count);
  } else {
    Value.SetBytes(bytes, count);
  }
  Normalized = true;
}

void GSobjIndexKeyData::Clear() {
  Value.Clear();
  RecordNumber = 0;
  TreePointer = 0;
  Normalized = false;
}

GSobjIndexKey::GSobjIndexKey(GSobjIndexTag* tag, GSobjIndexKey* parent, int32_t page, int kind,
                             int depth)
    : Page(page), Parent(parent), Tag(tag), Kind(kind), Depth(depth) {
  if (page > 0 && tag) {
    tag->ReadNode(page, *this);
    Changed = false;
  }
  if (!data_) {
    data_ = std::make_shared<NodeData>();
    data_->leaf = Kind >= kNodeLeaf;
  }
}

// Saving happens before destruction (the tag releases its path bottom-up), so
// that a failing write can raise; destruction only frees.
GSobjIndexKey::~GSobjIndexKey() {
  // The child goes first, so that this node's storage is the one kept for reuse.
  Child.reset();
  if (Tag && data_.use_count() == 1) Tag->RecycleNodeData(std::move(data_));
}

void GSobjIndexKey::CopyEntry(size_t i, GSobjIndexKeyData& out, bool text) const {
  const NodeEntry& e = data_->entries[i];
  out.SetKey(data_->pool.data() + e.offset, e.length, text);
  out.RecordNumber = e.record;
  out.TreePointer = e.pointer;
}

NodeData& GSobjIndexKey::MutableData() {
  // Shared only with the file's cache: the cache lets go (the node is written
  // again before anyone reads it back) and the data changes in place.
  if (data_.use_count() == 2 && Tag && Page > 0 && Tag->File()->IsCached(Page, data_.get()))
    Tag->File()->ForgetNode(Page);
  if (data_.use_count() > 1) data_ = std::make_shared<NodeData>(*data_);
  return *data_;
}

void GSobjIndexKey::InsertEntryAt(size_t i, const uint8_t* key, uint32_t length, int32_t record,
                                  int32_t pointer) {
  NodeData& d = MutableData();
  // The pool only grows while a node lives; compact it when garbage dominates.
  if (d.pool.size() > 4096 && d.pool.size() > 8 * (d.entries.size() + 1) * 64) {
    std::vector<uint8_t> pool;
    for (NodeEntry& e : d.entries) {
      uint32_t at = uint32_t(pool.size());
      pool.insert(pool.end(), d.pool.begin() + e.offset, d.pool.begin() + e.offset + e.length);
      e.offset = at;
    }
    d.pool.swap(pool);
  }
  NodeEntry e{uint32_t(d.pool.size()), uint16_t(length), record, pointer};
  d.pool.insert(d.pool.end(), key, key + length);
  i = std::min(i, d.entries.size());
  d.entries.insert(d.entries.begin() + std::ptrdiff_t(i), e);
}

void GSobjIndexKey::RemoveEntryAt(size_t i) {
  NodeData& d = MutableData();
  if (i < d.entries.size()) d.entries.erase(d.entries.begin() + std::ptrdiff_t(i));
}

void GSobjIndexKey::ClearEntries() {
  NodeData& d = MutableData();
  d.entries.clear();
  d.pool.clear();
}

int GSobjIndexKey::FindPointer(int32_t page) const {
  for (size_t i = 0; i < data_->entries.size(); ++i)
    if (data_->entries[i].pointer == page) return int(i);
  return -1;
}

double KeyNumberOf(const TgsVariant& value, char key_type, const std::string& tag) {
  if (value.Type() == VariantType::Text) {
    std::string text = value.AsText();
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return 0;
    text = text.substr(b, text.find_last_not_of(' ') - b + 1);
    if (key_type == 'D') {
      try {
        return double(value.AsDate());
      } catch (const platform::EConvertError&) {
        throw EDevazozError("'" + text + "' is no date for the date index tag " + tag);
      }
    }
    double number = 0;
    if (!platform::TryStrToFloat(text, number))
      throw EDevazozError("'" + text + "' is no number for the numeric index tag " + tag);
    return number;
  }
  if (key_type == 'D')
    return value.Type() == VariantType::Number ? value.AsNumber() : double(value.AsDate());
  return value.Type() == VariantType::Date ? double(value.AsDate()) : value.AsNumber();
}

}  // namespace devazoz
