#include "engine/index/gs6_ntxtag.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_ntx.h"
#include "engine/index/gs6_ntxsort.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "engine/table/gs6_sqlnode.h"
#include "platform/services/numtext.h"

namespace devazoz {

namespace {

// The number a key value stands for; a text that is no number is refused.
// NUL-terminated text in [at, end) of the header.
std::string HeaderText(ByteView header, size_t at, size_t end, bool* terminated) {
  std::string s;
  size_t i = at;
  while (i < end && header.U8(i) != 0) s += char(header.U8(i++));
  if (terminated) *terminated = i < end;
  return s;
}

// Marks a node that stood on the right edge of the tree when it was read.
constexpr int32_t kReadOnRightEdge = 1;

}  // namespace

GSobjNTXTag::GSobjNTXTag(GSobjNTXFile* file, const std::string& name, bool read_header)
    : GSobjIndexTag(file, name) {
  format_name_ = "NTX";
  header_position_ = 0;
  if (read_header && !ReadHeader()) header_ok_ = false;
}

// The file releases the tree before it frees its tag; nothing is written here.
GSobjNTXTag::~GSobjNTXTag() = default;

NtxPageShape GSobjNTXTag::Shape() const {
  NtxPageShape s;
  s.key_length = key_length_;
  s.max_keys = max_interior_keys_;
  s.text = key_type_ == 'C';
  return s;
}

void GSobjNTXTag::CheckPagePosition(int32_t position, const char* what) {
  if (position < kNtxHeaderSize || position % kNtxPageSize != 0 ||
      (int64_t(position) + kNtxPageSize > file_->KnownEnd(false) &&
       int64_t(position) + kNtxPageSize > file_->KnownEnd(true)))
    Damaged(std::string(what) + " " + std::to_string(position) + " is no page position");
}

// ---------------------------------------------------------------- header

bool GSobjNTXTag::FailHeader(const std::string& why) {
  header_ok_ = false;
  file_->SetHeaderError("Index file " + file_->FileName() + ": header " + why);
  return false;
}

bool GSobjNTXTag::ReadHeader() {
  uint8_t h[kNtxHeaderSize];
  if (!file_->ReadBlock(0, h, kNtxHeaderSize)) return FailHeader("is cut short");
  ByteView v(h, kNtxHeaderSize);
  uint16_t signature = v.U16LE(0);
  if (signature != 6 && signature != 7)
    return FailHeader("has signature " + std::to_string(signature) + ", not an NTX index");
  int32_t root = v.I32LE(4);
  int64_t size = file_->KnownEnd(true);
  if (root < kNtxHeaderSize || root % kNtxPageSize != 0 || int64_t(root) + kNtxPageSize > size)
    return FailHeader("has a root at " + std::to_string(root) + ", outside the file");
  uint16_t length = v.U16LE(14);
  if (length == 0 || length > kMaxIndexKeyLength)
    return FailHeader("has key length " + std::to_string(length));
  if (v.U16LE(12) != length + 8)
    return FailHeader("has entry size " + std::to_string(v.U16LE(12)) + " for key length " +
                      std::to_string(length));
  uint16_t max = v.U16LE(18);
  if (max < 2 || (max + 2) * 2 + (max + 1) * (length + 8) > kNtxPageSize)
    return FailHeader("has " + std::to_string(max) + " keys per page, which do not fit a page");
  uint16_t decimals = v.U16LE(16);
  if (decimals >= length && decimals != 0)
    return FailHeader("has " + std::to_string(decimals) + " decimals for key length " +
                      std::to_string(length));
  if (v.U8(279) != 0)
    return FailHeader("marks a descending tag; descending NTX tags are not supported");
  bool terminated = false;
  std::string expression = HeaderText(v, 22, 278, &terminated);
  if (expression.empty() || !terminated) return FailHeader("has no key expression");
  has_for_ = (signature & 1) != 0;
  std::string condition = has_for_ ? HeaderText(v, kNtxForAt, kNtxHeaderSize, &terminated) : "";
  if (has_for_ && (condition.empty() || !terminated)) return FailHeader("has no FOR expression");
  root_pointer_ = root;
  key_length_ = length;
  entry_size_ = uint16_t(length + 8);
  max_interior_keys_ = max;
  decimals_ = decimals;
  change_counter_ = v.U16LE(2);
  unique_ = (v.U8(278) & 1) != 0;
  ascending_ = true;
  key_expression_ = expression;
  for_expression_ = condition;
  key_type_ = 'C';
  try {
    CompileKeyExpression();
    CompileForExpression();
    GSobjIndexKeyData k;
    if (key_handler_ && EvaluateKeyInto(k)) {
      if (k.Value.Type() == VariantType::Number)
        key_type_ = 'N';
      else if (k.Value.Type() == VariantType::Date)
        key_type_ = 'D';
    }
  } catch (const EDevazozExpression& e) {
    key_handler_.reset();
    for_handler_.reset();
    return FailHeader("has an expression that cannot be used: " + std::string(e.what()));
  }
  if (key_type_ == 'D' && key_length_ != 8) return FailHeader("has a date key not 8 long");
  header_changed_ = false;
  return true;
}

void GSobjNTXTag::WriteHeader() {
  if (!header_changed_) return;
  uint8_t h[kNtxHeaderSize] = {};
  ByteSpan v(h, kNtxHeaderSize);
  v.PutU16LE(0, uint16_t(has_for_ ? 7 : 6));
  v.PutU16LE(2, change_counter_);
  v.PutI32LE(4, root_pointer_);
  v.PutU16LE(12, entry_size_);
  v.PutU16LE(14, key_length_);
  v.PutU16LE(16, decimals_);
  v.PutU16LE(18, max_interior_keys_);
  v.PutU16LE(20, uint16_t(max_interior_keys_ / 2));
  size_t key_len = std::min<size_t>(key_expression_.size(), kNtxMaxKeyExpression);
  v.PutBytes(22, key_expression_.data(), key_len);
  v.PutU8(278, unique_ ? 1 : 0);
  if (has_for_) {
    size_t for_len = std::min<size_t>(for_expression_.size(), kNtxHeaderSize - kNtxForAt - 1);
    v.PutBytes(kNtxForAt, for_expression_.data(), for_len);
  }
  // The pages the header points to reach the disk first.
  file_->WriteBlockInOrder(0, h, kNtxHeaderSize);
  header_changed_ = false;
}

int32_t GSobjNTXTag::ReadRootPointer() {
  if (file_->Disk() && file_->Disk()->Shared()) {
    uint8_t b[4];
    if (!file_->ReadBlock(4, b, 4)) Damaged("its header cannot be read");
    int32_t root = ByteView(b, 4).I32LE(0);
    if (root != root_pointer_) {
      CheckPagePosition(root, "root");
      root_pointer_ = root;
    }
  }
  return root_pointer_;
}

bool GSobjNTXTag::TakeKeyTypeFromExpression() {
  if (!key_handler_ || !key_handler_->HasExpression()) return false;
  TgsExpValue* v = key_handler_->Evaluate(eval_value_);
  if (!v) return false;
  switch (key_handler_->ResultType()) {
    case kExpText:
      key_type_ = 'C';
      key_length_ = uint16_t(std::min<size_t>(v->text.size(), 0xFFFF));
      break;
    case kExpLogic:
      key_type_ = 'C';
      key_length_ = 1;
      break;
    case kExpDate:
      key_type_ = 'D';
      key_length_ = 8;
      break;
    case kExpNumber:
    case kExpNumber7: {
      key_type_ = 'N';
      int32_t width = key_handler_->Root() ? key_handler_->Root()->Width() : 0;
      int32_t decimals = key_handler_->Root() ? key_handler_->Root()->Decimals() : 0;
      // A numeric field carries its decimals in the table's layout.
      if (auto* node = dynamic_cast<TgsExpFieldvar*>(key_handler_->Root()))
        if (auto* field = dynamic_cast<TgslDBFFieldVars*>(node->Variable()))
          if (field->Table()) decimals = field->Table()->FieldDecimals(field->Field());
      if (width <= 0) width = v->width > 0 ? v->width : 10;
      if (decimals < 0 || decimals >= width) decimals = 0;
      key_length_ = uint16_t(std::min<int32_t>(width, 0xFFFF));
      decimals_ = uint16_t(decimals);
      break;
    }
    default:
      return false;
  }
  return true;
}

void GSobjNTXTag::RefuseUnsupported(bool ascending, const std::string&) {
  if (!ascending)
    file_->ReportError(kErrInvalidParameter, kSubNone,
                       ("Index file " + file_->FileName() +
                        ": NTX tags cannot be descending; build the tag ascending")
                           .c_str());
}

int GSobjNTXTag::DefineTag(const std::string& name, const std::string& key_expression, bool unique,
                           bool ascending, const std::string& for_expression) {
  build_problem_.clear();
  RefuseUnsupported(ascending, for_expression);
  if (key_expression.empty()) return RefuseTag("a tag needs a key expression");
  if (key_expression.size() > size_t(kNtxMaxKeyExpression))
    return RefuseTag("the key expression is longer than " + std::to_string(kNtxMaxKeyExpression) +
                     " bytes");
  if (for_expression.size() > size_t(kNtxHeaderSize - kNtxForAt - 1))
    return RefuseTag("the FOR expression is longer than " +
                     std::to_string(kNtxHeaderSize - kNtxForAt - 1) + " bytes");
  GSobjIndexTag::CreateTag(name, key_expression, unique, true, for_expression);
  decimals_ = 0;
  std::string problem = DefinitionProblem(TakeKeyTypeFromExpression());
  if (!problem.empty()) return RefuseTag(problem);
  entry_size_ = uint16_t(key_length_ + 8);
  max_interior_keys_ = uint16_t(NtxMaxKeys(entry_size_));
  return 0;
}

int GSobjNTXTag::CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                           bool ascending, const std::string& for_expression) {
  if (DefineTag(name, key_expression, unique, ascending, for_expression) != 0) return -1;
  header_position_ = 0;
  uint8_t zero[kNtxHeaderSize] = {};
  file_->WriteBlock(0, zero, kNtxHeaderSize);
  BuildNtxTag(this);
  return 0;
}

// ---------------------------------------------------------------- keys

double GSobjNTXTag::DecodeNumber(const uint8_t* key, uint32_t length) {
  std::string text(reinterpret_cast<const char*>(key), length);
  bool negative = false;
  for (char& c : text) {
    if (c >= '#' && c <= ',') {
      c = char(92 - c);
      negative = true;
    }
  }
  double value = std::strtod(text.c_str(), nullptr);
  return negative ? -value : value;
}

void GSobjNTXTag::NormalizeKey(GSobjIndexKeyData& key) {
  if (key.Normalized) return;
  const TgsVariant& v = key.Value;
  if (key_type_ == 'C') {
    NormalizeCharacterKey(key);
    return;
  }
  if (v.Type() == VariantType::Bytes) {
    key.SetKey(v.Data(), std::min<uint32_t>(v.Length(), key_length_), false);
    return;
  }
  std::string text;
  if (key_type_ == 'D') {
    double n = std::trunc(KeyNumberOf(v, 'D', tag_name_));
    int32_t day = n >= 1 && n < 1e8 ? int32_t(n) : 0;
    text = day > 0 ? DBFDate().DayToStorage(day) : std::string();
    if (text.size() != 8 || text[0] == ' ') text = "00000000";
  } else {
    double number = KeyNumberOf(v, 'N', tag_name_);
    if (!std::isfinite(number)) number = 0;
    char buffer[1024];
    int n = std::snprintf(buffer, sizeof buffer, "%*.*f", int(key_length_), int(decimals_),
                          std::fabs(number));
    if (n < 0 || n > int(key_length_) || size_t(n) >= sizeof buffer) {
      text.assign(key_length_, '*');
    } else {
      text.assign(buffer, size_t(n));
      for (char& c : text) {
        if (c == ' ') c = '0';
        if (number < 0 && c >= '0' && c <= '9') c = char(92 - c);
      }
    }
  }
  key.SetKey(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), false);
}

void GSobjNTXTag::SentinelKey(std::string* out) const {
  uint8_t best = 0xFF;
  const uint8_t* map = (key_type_ == 'C' && Table()) ? Table()->CollationMap() : nullptr;
  if (map)
    for (int b = 0; b < 256; ++b)
      if (map[b] > map[best]) best = uint8_t(b);
  out->assign(key_length_, char(best));
}

// ---------------------------------------------------------------- pages

bool GSobjNTXTag::OnRightEdge(const GSobjIndexKey& node) {
  for (const GSobjIndexKey* n = &node; n->Parent; n = n->Parent) {
    int j = n->Parent->FindPointer(n->Page);
    if (j < 0 || size_t(j) + 1 != n->Parent->Count()) return false;
  }
  return true;
}

// A decoded page is presented to the framework with the key that follows it in
// the tree (see ReadNode); the file's cache keeps that presented form, marked
// in NodeData::left (1: a leaf that ends with the appended separator) and
// NodeData::right (read on the right edge), and it is used again only when the
// path it is reached through asks for the same ending.
namespace {

constexpr int32_t kAppendedSeparator = 1;

bool SameEnding(const NodeEntry& e, const uint8_t* pool, const uint8_t* key, uint32_t length,
                int32_t record) {
  return e.length == length && e.record == record &&
         (length == 0 || std::memcmp(pool + e.offset, key, length) == 0);
}

}  // namespace

void GSobjNTXTag::ReadNode(int32_t position, GSobjIndexKey& node) {
  CheckPagePosition(position, "page");
  // The separator that follows this page in the tree: the parent's current
  // entry, when the page was reached through a parent.
  const GSobjIndexKey* parent = node.Parent;
  if (parent && (parent->Position < 0 || size_t(parent->Position) >= parent->Count()))
    parent = nullptr;
  bool right_edge = true;
  for (const GSobjIndexKey* p = node.Parent; p; p = p->Parent)
    if (p->Position < 0 || size_t(p->Position) + 1 < p->Count()) right_edge = false;
  const int32_t right_flag = right_edge ? kReadOnRightEdge : -1;
  // The ending the path asks for.
  const uint8_t* end_key;
  uint32_t end_length;
  int32_t end_record;
  if (parent) {
    size_t i = size_t(parent->Position);
    end_key = parent->KeyBytes(i);
    end_length = parent->KeyLength(i);
    end_record = parent->RecordAt(i);
  } else {
    if (sentinel_.empty()) SentinelKey(&sentinel_);
    end_key = reinterpret_cast<const uint8_t*>(sentinel_.data());
    end_length = uint32_t(sentinel_.size());
    end_record = 0;
  }
  std::shared_ptr<NodeData> cached = file_->CachedNode(position);
  if (cached && cached->right == right_flag) {
    const NodeData& c = *cached;
    bool same;
    if (!c.leaf) {
      same = !c.entries.empty() &&
             SameEnding(c.entries.back(), c.pool.data(), end_key, end_length, end_record);
    } else if (parent && !right_edge) {
      same = c.left == kAppendedSeparator && !c.entries.empty() &&
             SameEnding(c.entries.back(), c.pool.data(), end_key, end_length, end_record);
    } else {
      same = c.left != kAppendedSeparator;
    }
    if (same) {
      node.SetData(std::move(cached));
      node.Kind = node.Data()->leaf ? kNodeLeaf : kNodeInterior;
      return;
    }
  }
  std::shared_ptr<NodeData> data = TakeSpareNodeData();
  if (cached) {
    // The page as it reads, without the ending of the path it was cached for.
    *data = *cached;
    if (data->leaf && data->left == kAppendedSeparator && !data->entries.empty())
      data->entries.pop_back();
  } else {
    uint8_t block[kNtxPageSize];
    if (!file_->ReadBlock(position, block, kNtxPageSize))
      Damaged("page " + std::to_string(position) + " lies beyond the end of the file");
    std::string problem;
    if (!DecodeNtxPage(ByteView(block, kNtxPageSize), Shape(), *data, &problem))
      Damaged("page " + std::to_string(position) + " " + problem);
  }
  data->left = -1;
  auto set_ending = [&](NodeEntry& e) {
    e.offset = uint32_t(data->pool.size());
    e.length = uint16_t(end_length);
    e.record = end_record;
    data->pool.insert(data->pool.end(), end_key, end_key + end_length);
  };
  if (!data->leaf) {
    if (data->entries.empty()) Damaged("page " + std::to_string(position) + " has no entries");
    set_ending(data->entries.back());
  } else if (parent && !right_edge) {
    NodeEntry e{0, 0, 0, 0};
    set_ending(e);
    e.pointer = e.record;
    data->entries.push_back(e);
    data->left = kAppendedSeparator;
  }
  data->right = right_flag;
  // Interior pages are met again on every search (leaves, see WriteNode).
  if (!data->leaf) file_->CacheNode(position, data);
  node.SetData(std::move(data));
  node.Kind = node.Data()->leaf ? kNodeLeaf : kNodeInterior;
}

void GSobjNTXTag::WriteNode(int32_t position, GSobjIndexKey& node) {
  std::shared_ptr<NodeData> keep = node.Data();
  const NodeData& d = *keep;
  // A node on the right edge that lost its last entry was dropped from its
  // parent; the parent's new last entry then holds a key kept only on the
  // parent's page. The emptied node stays the rightmost child, so that key
  // remains a separator on the page.
  GSobjIndexKey* parent = node.Parent;
  if (d.entries.empty() && d.right == kReadOnRightEdge && parent && parent->Count() > 0 &&
      parent->FindPointer(node.Page) < 0) {
    size_t l = parent->Count() - 1;
    std::string key(reinterpret_cast<const char*>(parent->KeyBytes(l)), parent->KeyLength(l));
    parent->InsertEntryAt(parent->Count(), reinterpret_cast<const uint8_t*>(key.data()),
                          uint32_t(key.size()), parent->RecordAt(l), node.Page);
    parent->Changed = true;
  }
  const NtxPageShape shape = Shape();
  const bool leaf = node.IsLeaf();
  const bool right_edge = OnRightEdge(node);
  const size_t max = size_t(std::max<int>(2, max_interior_keys_));
  // Keys on the page for count entries: the last entry of an interior page
  // carries only the rightmost child, and that of a leaf off the right edge is
  // the separator above it.
  auto keys_of = [&](size_t count) {
    if (leaf && right_edge) return count;
    return count ? count - 1 : 0;
  };
  const size_t n = d.entries.size();
  uint8_t block[kNtxPageSize];
  ByteSpan span(block, kNtxPageSize);
  size_t first = 0;
  while (keys_of(n - first) > max) {
    size_t count = n - first;
    size_t part = std::min(count - count / 2, max + 1);
    PackNtxPage(span, shape, d, first, part, part - 1);
    int32_t fresh = file_->AllocatePage();
    size_t last = first + part - 1;
    AddToParent(&node, d.pool.data() + d.entries[last].offset, d.entries[last].length,
                d.entries[last].record, fresh);
    file_->WriteBlock(fresh, block, kNtxPageSize);
    first += part;
  }
  PackNtxPage(span, shape, d, first, n - first, keys_of(n - first));
  file_->WriteBlock(position, block, kNtxPageSize);
  if (first == 0) KeepWrittenNode(position, node, right_edge);
}

// A node written whole is what reading its page back through the same path
// presents, when its keys are in their normalized form and its ending is the
// one the page leaves out; the presented form stays cached.
void GSobjNTXTag::KeepWrittenNode(int32_t position, const GSobjIndexKey& node, bool right_edge) {
  const NodeData& d = *node.Data();
  if (d.entries.empty()) return;
  const bool leaf = node.IsLeaf();
  // Leaf: the last entry is a separator off the right edge, a key on it.
  const bool appended = leaf && !right_edge;
  if (leaf && (d.left == kAppendedSeparator) != appended) return;
  if (d.right != (right_edge ? kReadOnRightEdge : -1)) return;
  const size_t keys =
      leaf ? (appended ? d.entries.size() - 1 : d.entries.size()) : d.entries.size() - 1;
  for (size_t i = 0; i < keys; ++i) {
    const NodeEntry& e = d.entries[i];
    if (e.record <= 0 || (leaf ? e.pointer != e.record : e.pointer <= 0)) return;
    const uint8_t* k = d.pool.data() + e.offset;
    if (key_type_ == 'C') {
      if (e.length > key_length_ || (e.length > 0 && k[e.length - 1] == ' ')) return;
    } else if (e.length != key_length_) {
      return;
    }
  }
  if (!leaf && d.entries.back().pointer <= 0) return;
  file_->CacheNode(position, node.Data());
}

void GSobjNTXTag::WriteEmptyRoot() {
  uint8_t block[kNtxPageSize] = {};
  int32_t page = file_->AllocatePage();
  file_->WriteBlock(page, block, kNtxPageSize);
  SetRootPointer(page);
}

}  // namespace devazoz
