#include "engine/index/gs6_indxkey.h"

#include <algorithm>
#include <cstring>
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
    if (!tag->TakeHeldLeaf(page, *this)) tag->ReadNode(page, *this);
    Changed = false;
  }
  if (!data_ && !lazy_) {
    data_ = std::make_shared<NodeData>();
    data_->leaf = Kind >= kNodeLeaf;
  }
}

void GSobjIndexKey::Reload(int32_t page) {
  if (Tag && data_.use_count() == 1) Tag->RecycleNodeData(std::move(data_));
  data_.reset();
  lazy_ = false;
  remembered_ = -1;
  Page = page;
  Kind = kNodeInterior;
  Position = -1;
  Changed = Split = OwnsParent = AtFirst = AtLast = false;
  if (page > 0 && Tag && !Tag->TakeHeldLeaf(page, *this)) Tag->ReadNode(page, *this);
  if (!data_ && !lazy_) {
    data_ = std::make_shared<NodeData>();
    data_->leaf = Kind >= kNodeLeaf;
  }
  Changed = false;
}

// Saving happens before destruction (the tag releases its path bottom-up), so
// that a failing write can raise; destruction only frees.
GSobjIndexKey::~GSobjIndexKey() {
  // The child goes first, so that this node's storage is the one kept for reuse.
  Child.reset();
  if (Tag && data_.use_count() == 1) Tag->RecycleNodeData(std::move(data_));
}

void GSobjIndexKey::SetLazy(uint32_t count) {
  if (Tag && data_.use_count() == 1) Tag->RecycleNodeData(std::move(data_));
  data_.reset();
  lazy_ = true;
  lazy_count_ = count;
  remembered_ = -1;
  Kind = kNodeLeaf;
}

void GSobjIndexKey::RememberEntry(size_t i, const uint8_t* key, uint32_t length, int32_t record) {
  length = std::min<uint32_t>(length, kMaxIndexKeyLength);
  if (length) std::memcpy(remembered_key_, key, length);
  remembered_ = int(i);
  remembered_length_ = uint16_t(length);
  remembered_record_ = record;
}

void GSobjIndexKey::Decode() const {
  // The tag decodes Block() and hands the result in through SetData.
  if (Tag) Tag->DecodeLazy(*const_cast<GSobjIndexKey*>(this));
  if (lazy_ || !data_) throw EDevazozError("An index leaf was left undecoded");
}

void GSobjIndexKey::CopyEntry(size_t i, GSobjIndexKeyData& out, bool text) const {
  if (lazy_ && int(i) == remembered_) {
    out.SetKey(remembered_key_, remembered_length_, text);
    out.RecordNumber = out.TreePointer = remembered_record_;
    return;
  }
  const NodeEntry& e = D().entries[i];
  out.SetKey(data_->pool.data() + e.offset, e.length, text);
  out.RecordNumber = e.record;
  out.TreePointer = e.pointer;
}

NodeData& GSobjIndexKey::MutableData() {
  D();
  // A held leaf changed on the path is the path's again (written or held when
  // the path leaves it).
  if (Tag && Page > 0) Tag->DropHeldLeaf(Page);
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
  const NodeData& d = D();
  for (size_t i = 0; i < d.entries.size(); ++i)
    if (d.entries[i].pointer == page) return int(i);
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
