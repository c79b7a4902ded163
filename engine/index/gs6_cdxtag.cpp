#include "engine/index/gs6_cdxtag.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxcoll.h"
#include "engine/index/gs6_cdxsort.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"

namespace devazoz {

namespace {

bool NameIs(ByteView header, size_t at, const char* name) {
  for (size_t i = 0; i < 8; ++i) {
    uint8_t c = header.U8(at + i);
    uint8_t want = uint8_t(name[i]);
    if (c >= 'a' && c <= 'z') c = uint8_t(c - 'a' + 'A');
    if (c != want) return false;
    if (want == 0) return true;
  }
  return true;
}

// NUL-terminated text starting at at, bounded by the header's end.
std::string HeaderText(ByteView header, size_t at, size_t* end) {
  std::string s;
  size_t i = at;
  while (i < header.size() && header.U8(i) != 0) s += char(header.U8(i++));
  if (end) *end = i;
  return s;
}

}  // namespace

GSobjCDXTag::GSobjCDXTag(GSobjCDXFile* file, int32_t header_position, const std::string& name,
                         bool directory)
    : GSobjIndexTag(file, name), directory_(directory) {
  format_name_ = "CDX";
  if (directory) options_ = kCdxOptionsDirectory;
  if (header_position == -1) {
    header_position_ = file->AllocatePage();
    file->AllocatePage();
    header_changed_ = true;
    return;
  }
  header_position_ = header_position;
  if (!ReadHeader()) file->SetHeaderError(header_problem_);
}

GSobjCDXTag::~GSobjCDXTag() {
  try {
    ReleaseTree();
    WriteHeldLeaves();
  } catch (...) {
    // Destruction cannot report; the node path is freed by the base.
  }
}

GSobjCDXFile* GSobjCDXTag::CdxFile() const { return static_cast<GSobjCDXFile*>(file_); }

CdxKeyShape GSobjCDXTag::Shape() const {
  CdxKeyShape s;
  s.key_length = key_length_;
  s.text = key_type_ == 'C';
  s.general = s.text && collation_ == 2 && !directory_;
  return s;
}

int64_t GSobjCDXTag::RecordBound() {
  if (directory_) return file_->KnownEnd(false);
  GSO_dBaseFld* t = Table();
  return t ? t->RecordCount() : 0;
}

void GSobjCDXTag::CheckNodePosition(int32_t position, const char* what) {
  if (position < kCdxHeaderSize || position % kCdxBlockSize != 0 ||
      (int64_t(position) + kCdxBlockSize > file_->KnownEnd(false) &&
       int64_t(position) + kCdxBlockSize > file_->KnownEnd(true)))
    Damaged(std::string(what) + " " + std::to_string(position) + " is no node position");
}

// ---------------------------------------------------------------- header

bool GSobjCDXTag::FailHeader(const std::string& why) {
  header_ok_ = false;
  header_problem_ = "Index file " + file_->FileName() + ": header of tag " + tag_name_ + " at " +
                    std::to_string(header_position_) + " " + why;
  return false;
}

bool GSobjCDXTag::ReadHeader() {
  uint8_t h[kCdxHeaderSize];
  if (header_position_ < 0 ||
      (!directory_ && (header_position_ < kCdxHeaderSize || header_position_ % kCdxBlockSize != 0)))
    return FailHeader("lies at no header position");
  if (!file_->ReadBlock(header_position_, h, kCdxHeaderSize))
    return FailHeader("lies beyond the end of the file");
  ByteView v(h, kCdxHeaderSize);
  int32_t root = v.I32LE(0);
  if (root == 0) return FailHeader("has no root");
  if (file_->Disk()) {
    int64_t size = file_->KnownEnd(true);
    if (root < 0 || root % kCdxBlockSize != 0 || int64_t(root) + kCdxBlockSize > size)
      return FailHeader("has a root at " + std::to_string(root) + ", outside the file");
  }
  uint16_t length = v.U16LE(12);
  if (length == 0 || length > kMaxIndexKeyLength)
    return FailHeader("has key length " + std::to_string(length));
  root_pointer_ = root;
  key_length_ = length;
  entry_size_ = uint16_t(length + 8);
  max_interior_keys_ = uint16_t(kCdxInteriorArea / entry_size_);
  uint8_t options = v.U8(14);
  change_counter_ = v.U32LE(8);
  unique_ = (options & kCdxOptionUnique) != 0;
  has_for_ = (options & kCdxOptionFor) != 0;
  ascending_ = v.U16LE(502) == 0;
  descending_traversal_ = !ascending_;
  collation_ = NameIs(v, 494, "GENERAL") ? 2 : (NameIs(v, 494, "MACHINE") ? 1 : 0);
  size_t end = 0;
  key_expression_ = HeaderText(v, 512, &end);
  if (key_expression_.empty() && (options & 0x80) == 0) return FailHeader("has no key expression");
  for_expression_ = has_for_ && end + 1 < v.size() ? HeaderText(v, end + 1, nullptr) : "";
  options_ = directory_ ? kCdxOptionsDirectory : kCdxOptionsTag;
  key_type_ = 'C';
  try {
    CompileKeyExpression();
    CompileForExpression();
    TakeKeyTypeFromExpression(false);
  } catch (const EDevazozExpression& e) {
    key_handler_.reset();
    for_handler_.reset();
    return FailHeader("has an expression that cannot be used: " + std::string(e.what()));
  }
  header_changed_ = false;
  return true;
}

bool GSobjCDXTag::TakeKeyTypeFromExpression(bool set_length) {
  if (!key_handler_ || !key_handler_->HasExpression()) return false;
  GSobjIndexKeyData k;
  if (!EvaluateKeyInto(k)) return false;
  switch (k.Value.Type()) {
    case VariantType::Text:
    case VariantType::Logic:
      key_type_ = 'C';
      if (set_length) {
        uint32_t n = k.Value.Type() == VariantType::Logic ? 1 : k.Value.Length();
        key_length_ = uint16_t(std::min<uint32_t>(n * (collation_ == 2 ? 2 : 1), 0xFFFF));
      }
      break;
    case VariantType::Number:
      key_type_ = 'N';
      if (set_length) key_length_ = 8;
      break;
    case VariantType::Date:
      key_type_ = 'D';
      if (set_length) key_length_ = 8;
      break;
    default:
      return false;
  }
  return true;
}

std::string GSobjCDXTag::RebuildProblem() {
  if (directory_ || !key_handler_ || !key_handler_->HasExpression()) return "";
  GSobjIndexKeyData k;
  // A key that cannot be evaluated is reported by the build, record by record.
  if (!EvaluateKeyInto(k) || k.Value.Type() != VariantType::Text) return "";
  // The header's key length would cut such a key short: every key of the tag
  // would be a prefix of the key its expression gives.
  uint32_t n = k.Value.Length() * (collation_ == 2 ? 2 : 1);
  if (n <= uint32_t(kMaxIndexKeyLength)) return "";
  return "the key is too long (" + std::to_string(n) + " bytes, at most " +
         std::to_string(kMaxIndexKeyLength) + ")";
}

void GSobjCDXTag::WriteHeader() {
  if (!header_changed_) return;
  uint8_t h[kCdxHeaderSize] = {};
  ByteSpan v(h, kCdxHeaderSize);
  v.PutI32LE(0, root_pointer_);
  v.PutU32LE(8, change_counter_);
  v.PutU16LE(12, key_length_);
  v.PutU8(14,
          uint8_t(options_ | (unique_ ? kCdxOptionUnique : 0) | (has_for_ ? kCdxOptionFor : 0)));
  v.PutU8(15, 1);
  if (!ascending_) v.PutU16LE(502, 1);
  if (!directory_ && collation_ == 2) {
    v.PutBytes(494, "GENERAL", 8);
    v.PutU8(15, 2);
  }
  size_t key_len = std::min<size_t>(key_expression_.size(), 510);
  size_t for_len = has_for_ ? std::min<size_t>(for_expression_.size(), 510 - key_len) : 0;
  if (key_len > 0) v.PutU16LE(504, uint16_t(key_len + 1));
  v.PutU16LE(506, uint16_t(has_for_ ? for_len + 1 : 1));
  v.PutU16LE(510, uint16_t(key_len + 1));
  v.PutBytes(512, key_expression_.data(), key_len);
  if (has_for_) v.PutBytes(512 + key_len + 1, for_expression_.data(), for_len);
  // The nodes the header points to reach the disk first.
  file_->WriteBlockInOrder(header_position_, h, kCdxHeaderSize);
  header_changed_ = false;
}

int32_t GSobjCDXTag::ReadRootPointer() {
  if (file_->Disk() && file_->Disk()->Shared() && header_position_ >= 0) {
    uint8_t b[4];
    if (!file_->ReadBlock(header_position_, b, 4)) Damaged("its header cannot be read");
    int32_t root = ByteView(b, 4).I32LE(0);
    if (root != root_pointer_) {
      CheckNodePosition(root, "root");
      root_pointer_ = root;
    }
  }
  return root_pointer_;
}

// ---------------------------------------------------------------- keys

void GSobjCDXTag::NormalizeKey(GSobjIndexKeyData& key) {
  if (key.Normalized) return;
  const TgsVariant& v = key.Value;
  if (key_type_ == 'C') {
    if ((v.Type() == VariantType::Text || v.Type() == VariantType::Bytes) &&
        !(collation_ == 2 && !directory_)) {
      TrimTextKey(key);
      return;
    }
    std::string text;
    if (v.Type() == VariantType::Text || v.Type() == VariantType::Bytes)
      text.assign(reinterpret_cast<const char*>(v.Data()), v.Length());
    else
      text = v.AsText();
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (collation_ == 2 && !directory_)
      text =
          GeneralCollationKey(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
    if (text.size() > key_length_) text.resize(key_length_);
    key.SetKey(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), true);
    return;
  }
  if (v.Type() == VariantType::Bytes) {
    key.SetKey(v.Data(), std::min<uint32_t>(v.Length(), 8), false);
    return;
  }
  double number;
  number = KeyNumberOf(v, key_type_, tag_name_);
  uint8_t bytes[8];
  int n = EncodeCdxNumber(number, bytes);
  key.SetKey(bytes, uint32_t(n), false);
}

int GSobjCDXTag::CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                           bool ascending, const std::string& for_expression) {
  auto refuse = [this](const std::string& why) {
    header_problem_ = why;
    return -1;
  };
  if (key_expression.size() + for_expression.size() + 2 > 512)
    return refuse("the key and FOR expressions are together longer than 510 bytes");
  // A tag without a key expression could not be read back.
  if (key_expression.empty() && !directory_) return refuse("a tag needs a key expression");
  GSobjIndexTag::CreateTag(name, key_expression, unique, ascending, for_expression);
  descending_traversal_ = !ascending;
  if (!key_expression.empty()) {
    if (!TakeKeyTypeFromExpression(true))
      return refuse("the key expression gives no text, number, date or logical value");
    if (key_length_ < 1) return refuse("the key is empty");
    if (key_length_ > kMaxIndexKeyLength)
      return refuse("the key is too long (" + std::to_string(key_length_) + " bytes, at most " +
                    std::to_string(kMaxIndexKeyLength) + ")");
  } else {
    key_type_ = 'C';
    key_length_ = 10;
  }
  entry_size_ = uint16_t(key_length_ + 8);
  max_interior_keys_ = uint16_t(kCdxInteriorArea / entry_size_);
  uint8_t zero[kCdxHeaderSize] = {};
  file_->WriteBlock(header_position_, zero, kCdxHeaderSize);
  if (!BuildCdxTag(this)) return refuse("a record's key or FOR condition gives no usable value");
  return 0;
}

bool GSobjCDXTag::InsertKey(GSobjIndexKeyData& key) { return GSobjIndexTag::InsertKey(key); }

// ---------------------------------------------------------------- nodes

void GSobjCDXTag::ReadNode(int32_t position, GSobjIndexKey& node) {
  std::shared_ptr<NodeData> data = file_->CachedNode(position);
  if (!data) {
    std::vector<uint8_t>& block = node.Block();
    block.resize(kCdxBlockSize);
    if (!file_->ReadBlock(position, block.data(), kCdxBlockSize))
      Damaged("node " + std::to_string(position) + " lies beyond the end of the file");
    ByteView view(block.data(), kCdxBlockSize);
    // A leaf stays undecoded until more than a search through it is asked of
    // it: a search reads its entries from the block up to the key it stops at
    // (see SearchLazyLeaf), a fraction of decoding them all.
    LeafParams params;
    uint32_t count = 0;
    const CdxKeyShape shape = Shape();
    if (!shape.general && CheckCdxLeafHead(view, shape, params, &count, nullptr)) {
      node.SetLazy(count);
      return;
    }
    data = TakeSpareNodeData();
    std::string problem;
    if (!DecodeCdxNode(view, shape, *data, &problem))
      Damaged("node " + std::to_string(position) + ": " + problem);
    // Interior nodes are met again by every search and stay decoded; a leaf
    // decodes from its block faster than a decoded copy scattered over the heap
    // is read back (written leaves are kept, see WriteLeaf).
    if (!data->leaf) data = file_->KeepDecoded(position, std::move(data), this);
  }
  node.SetData(std::move(data));
  node.Kind = node.Data()->leaf ? kNodeLeaf : kNodeInterior;
}

void GSobjCDXTag::DecodeLazy(GSobjIndexKey& node) {
  std::shared_ptr<NodeData> data = TakeSpareNodeData();
  std::string problem;
  if (node.Block().size() < size_t(kCdxBlockSize) ||
      !DecodeCdxNode(ByteView(node.Block().data(), kCdxBlockSize), Shape(), *data, &problem))
    Damaged("node " + std::to_string(node.Page) + ": " + problem);
  node.SetData(std::move(data));
}

bool GSobjCDXTag::SearchLazyLeaf(GSobjIndexKey* node, int32_t record, const GSobjIndexKeyData& key,
                                 int mode, int* result) {
  // Keys compared through a collation map, or with the record as a plain
  // tie-break, take the decoded way.
  if (KeyMap() || !file_->RecordNumberInKey() || node->Block().size() < size_t(kCdxBlockSize))
    return false;
  CdxLeafHit& hit = leaf_hit_;
  if (!SearchCdxLeaf(ByteView(node->Block().data(), kCdxBlockSize), Shape(), key.Value.Data(),
                     key.Value.Length(), mode, record, hit))
    return false;
  node->Position = int(hit.index);
  node->RememberEntry(hit.index, hit.key, hit.length, hit.record);
  *result = hit.result;
  return true;
}

void GSobjCDXTag::WriteNode(int32_t position, GSobjIndexKey& node) {
  uint16_t attributes = uint16_t((node.IsLeaf() ? 2 : 0) + (node.Parent ? 0 : 1));
  if (node.IsLeaf())
    WriteLeaf(position, node, attributes);
  else
    WriteInterior(position, node, attributes);
}

void GSobjCDXTag::LinkLeftSibling(int32_t left, int32_t new_right) {
  CheckNodePosition(left, "left sibling");
  if (RelinkHeldLeaf(left, new_right)) return;
  uint8_t block[kCdxBlockSize];
  if (!file_->ReadBlock(left, block, kCdxBlockSize))
    Damaged("left sibling " + std::to_string(left) + " cannot be read");
  ByteSpan(block, kCdxBlockSize).PutI32LE(8, new_right);
  file_->WriteBlock(left, block, kCdxBlockSize);
}

LeafParams GSobjCDXTag::WrittenLeafParams(const NodeData& d) {
  int64_t bound = RecordBound();
  for (const NodeEntry& e : d.entries) bound = std::max<int64_t>(bound, e.record);
  return CdxLeafParams(key_length_, bound, true, false);
}

bool GSobjCDXTag::LeafFits(const NodeData& d) {
  // General-collation keys are stored altered: they are written at once.
  if (Shape().general || !d.leaf) return false;
  const LeafParams p = WrittenLeafParams(d);
  const uint8_t* prev = nullptr;
  uint32_t prev_length = 0;
  int whole = 0;
  for (const NodeEntry& e : d.entries) {
    const uint8_t* key = d.pool.data() + e.offset;
    const uint32_t length = std::min<uint32_t>(e.length, key_length_);
    const uint32_t dup =
        prev ? std::min<uint32_t>(SharedPrefix(prev, prev_length, key, length), p.dup_mask) : 0;
    whole += int(length - std::min(dup, length)) + p.bytes_per_entry;
    if (whole >= kCdxKeyArea) return false;
    prev = key;
    prev_length = length;
  }
  return true;
}

void GSobjCDXTag::WriteHeldLeaf(int32_t page, GSobjIndexKey& node) { WriteLeaf(page, node, 2); }

void GSobjCDXTag::WriteLeaf(int32_t position, GSobjIndexKey& node, uint16_t attributes) {
  const CdxKeyShape shape = Shape();
  const NodeData& d = *node.Data();
  LeafParams p = WrittenLeafParams(d);
  const size_t n = d.entries.size();
  int32_t left = d.left, right = d.right;
  uint8_t block[kCdxBlockSize];
  ByteSpan span(block, kCdxBlockSize);
  CdxLeafWriter writer;
  auto key_at = [&](size_t i) { return d.pool.data() + d.entries[i].offset; };
  auto len_at = [&](size_t i) { return std::min<uint32_t>(d.entries[i].length, key_length_); };
  auto cost = [&](size_t i, size_t first) {
    uint32_t dup = i > first ? std::min<uint32_t>(shared_[i], p.dup_mask) : 0;
    return int(len_at(i) - std::min(dup, len_at(i))) + p.bytes_per_entry;
  };
  // How many leading bytes each key shares with the one before it, and the
  // size of them all in one leaf.
  shared_.resize(n);
  int whole = 0;
  for (size_t i = 0; i < n; ++i) {
    shared_[i] = i ? uint16_t(SharedPrefix(key_at(i - 1), len_at(i - 1), key_at(i), len_at(i))) : 0;
    whole += cost(i, 0);
  }
  auto fill = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      if (!writer.AddShared(key_at(i), len_at(i), uint32_t(d.entries[i].record), shared_[i]))
        Damaged("a key does not fit in a leaf");
  };
  // A leaf that overflowed by keys added at its end (appends in key order, or
  // records added under one key value) keeps its left part as full as it can:
  // the keys that follow go to the right part, and a half-full left part would
  // stay half full for good. Otherwise the split is about even.
  const bool at_end = node.Position >= 0 && size_t(node.Position) + 1 >= n;
  if (whole >= kCdxKeyArea && !at_end && SpreadOverNeighbour(position, node)) return;
  const int left_bytes = at_end ? kCdxKeyArea : 250;
  size_t first = 0;
  while (whole >= kCdxKeyArea) {
    // Size of the keys from first on, and how many stay below left_bytes (one
    // key at least is left for the right part).
    int total = 0;
    size_t split = 0;
    for (size_t i = first; i < n; ++i) {
      total += cost(i, first);
      if (total < left_bytes && i + 1 < n) split = i - first + 1;
    }
    if (total < kCdxKeyArea) break;
    if (split == 0) split = 1;
    attributes &= uint16_t(~1u);
    std::memset(block, 0, sizeof block);
    writer.Begin(span, p, shape);
    fill(first, first + split);
    writer.Finish(attributes, left, position);
    int32_t fresh = file_->AllocatePage();
    size_t last = first + split - 1;
    // The node's own data stays alive while the parent copies the key.
    std::shared_ptr<NodeData> keep = node.Data();
    AddToParent(&node, key_at(last), len_at(last), d.entries[last].record, fresh);
    file_->WriteBlock(fresh, block, kCdxBlockSize);
    if (left > 0) LinkLeftSibling(left, fresh);
    left = fresh;
    first += split;
  }
  std::memset(block, 0, sizeof block);
  writer.Begin(span, p, shape);
  fill(first, n);
  writer.Finish(attributes, left, right);
  file_->WriteBlock(position, block, kCdxBlockSize);
  if (left != d.left)
    node.MutableData().left = left;
  else
    KeepWrittenNode(position, node);
}

// A leaf that overflows is written with its neighbour (the right one under the
// same parent, else the left one): their keys are spread evenly over the two
// leaves when they fit, else over three, each about two thirds full. Split alone,
// a full leaf gives two half-full ones; as trees are built with full leaves, the
// first insert into each leaf would double the index.
//
// With R the neighbour on the right (the left one is handled alike, its pieces
// in front of the node's): the pieces go to [new leaf,] the node's block, R's
// block. The parent gets an entry for the new leaf and the node's entry takes
// its piece's last key; R's entry keeps its key, R's piece ending with R's last
// key. The node is marked split, so the path reloads it.
bool GSobjCDXTag::SpreadOverNeighbour(int32_t position, GSobjIndexKey& node) {
  GSobjIndexKey* parent = node.Parent;
  if (!parent || node.Page != position) return false;
  const int j = parent->FindPointer(position);
  if (j < 0) return false;
  const bool right_side = size_t(j) + 1 < parent->Count();
  if (!right_side && j == 0) return false;
  const int32_t other = parent->PointerAt(size_t(right_side ? j + 1 : j - 1));
  const NodeData& d = *node.Data();
  if (other <= 0 || other == position || (right_side ? d.right : d.left) != other) return false;
  CheckNodePosition(other, "neighbour leaf");
  uint8_t block[kCdxBlockSize];
  NodeData o;
  // A held neighbour is the page's content (its block is older).
  if (const NodeData* held = HeldLeaf(other)) {
    o = *held;
  } else if (!file_->ReadBlock(other, block, kCdxBlockSize) ||
             !DecodeCdxNode(ByteView(block, kCdxBlockSize), Shape(), o, nullptr)) {
    return false;
  }
  if (!o.leaf || (right_side ? o.left : o.right) != position || o.entries.empty()) return false;

  // The keys of both leaves in key order.
  const NodeData& first_node = right_side ? d : o;
  const NodeData& second_node = right_side ? o : d;
  struct Key {
    const uint8_t* bytes;
    uint32_t length;
    int32_t record;
  };
  std::vector<Key> keys;
  keys.reserve(first_node.entries.size() + second_node.entries.size());
  int64_t bound = RecordBound();
  for (const NodeData* nd : {&first_node, &second_node})
    for (const NodeEntry& e : nd->entries) {
      keys.push_back(
          {nd->pool.data() + e.offset, std::min<uint32_t>(e.length, key_length_), e.record});
      bound = std::max<int64_t>(bound, e.record);
    }
  const size_t n = keys.size();
  const LeafParams p = CdxLeafParams(key_length_, bound, true, false);
  std::vector<uint16_t> shared(n, 0);
  for (size_t i = 1; i < n; ++i)
    shared[i] = uint16_t(
        SharedPrefix(keys[i - 1].bytes, keys[i - 1].length, keys[i].bytes, keys[i].length));
  auto cost = [&](size_t i, size_t from) {
    uint32_t dup = i > from ? std::min<uint32_t>(shared[i], p.dup_mask) : 0;
    return int(keys[i].length - std::min(dup, keys[i].length)) + p.bytes_per_entry;
  };
  // Cuts [0, n) into pieces of about equal size that each fit a leaf: two when
  // they can, else three.
  int whole = 0;
  for (size_t i = 0; i < n; ++i) whole += cost(i, 0);
  std::vector<size_t> ends;
  for (int pieces = 2; pieces <= 3 && ends.empty(); ++pieces) {
    size_t from = 0;
    int used = 0;
    for (int piece = 1; piece <= pieces; ++piece) {
      const int target = whole * piece / pieces;
      int size = 0;
      size_t to = from;
      // Keys are added while the piece fits and the running total stays below
      // the target (the last piece takes the rest).
      while (to < n) {
        int c = cost(to, from);
        if (size + c >= kCdxKeyArea) break;
        if (piece < pieces && used + c > target && to > from) break;
        size += c;
        used += c;
        ++to;
      }
      if (to == from || (piece == pieces && to < n)) {
        ends.clear();
        break;
      }
      ends.push_back(to);
      from = to;
    }
    if (!ends.empty() && ends.back() != n) ends.clear();
  }
  if (ends.empty()) return false;

  // The blocks, left to right, and their outer links.
  std::vector<int32_t> pages;
  if (right_side) {
    if (ends.size() == 3) pages.push_back(file_->AllocatePage());
    pages.push_back(position);
    pages.push_back(other);
  } else {
    pages.push_back(other);
    if (ends.size() == 3) pages.push_back(file_->AllocatePage());
    pages.push_back(position);
  }
  const int32_t outer_left = first_node.left, outer_right = second_node.right;
  const CdxKeyShape shape = Shape();
  CdxLeafWriter writer;
  ByteSpan span(block, kCdxBlockSize);
  size_t from = 0;
  for (size_t piece = 0; piece < ends.size(); ++piece) {
    std::memset(block, 0, sizeof block);
    writer.Begin(span, p, shape);
    for (size_t i = from; i < ends[piece]; ++i)
      if (!writer.AddShared(keys[i].bytes, keys[i].length, uint32_t(keys[i].record),
                            i > from ? shared[i] : 0))
        Damaged("a key does not fit in a leaf");
    writer.Finish(2, piece ? pages[piece - 1] : outer_left,
                  piece + 1 < ends.size() ? pages[piece + 1] : outer_right);
    file_->WriteBlock(pages[piece], block, kCdxBlockSize);
    from = ends[piece];
  }
  DropHeldLeaf(other);
  // A new first leaf takes the place of the old first one in its left
  // neighbour's link.
  if (pages.front() != (right_side ? position : other) && outer_left > 0)
    LinkLeftSibling(outer_left, pages.front());

  // The parent: the last key of each piece but the rightmost, whose key stands.
  std::shared_ptr<NodeData> keep = node.Data();
  auto last_of = [&](size_t piece) { return keys[ends[piece] - 1]; };
  if (right_side) {
    if (ends.size() == 3) {
      Key a = last_of(0);
      AddToParent(&node, a.bytes, a.length, a.record, pages[0]);
    }
    Key b = last_of(ends.size() - 2);
    ReplaceParentKey(&node, b.bytes, b.length, b.record);
  } else {
    Key a = last_of(0);
    int k = parent->FindPointer(other);
    if (k < 0) Damaged("the neighbour leaf left its parent");
    parent->RemoveEntryAt(size_t(k));
    parent->InsertEntryAt(size_t(k), a.bytes, a.length, a.record, other);
    parent->Changed = true;
    if (ends.size() == 3) {
      Key b = last_of(1);
      AddToParent(&node, b.bytes, b.length, b.record, pages[1]);
    }
  }
  node.Split = true;
  return true;
}

// A node written whole is what decoding its block would give, so the decoded
// form stays cached. General-collation keys are left out: their last bytes are
// stored altered.
void GSobjCDXTag::KeepWrittenNode(int32_t position, const GSobjIndexKey& node) {
  const CdxKeyShape shape = Shape();
  if (shape.general) return;
  const NodeData& d = *node.Data();
  const uint8_t pad = shape.text ? ' ' : 0;
  // Only keys in the form decoding gives: within the key length, no padding at
  // the end.
  for (const NodeEntry& e : d.entries) {
    if (e.length > key_length_) return;
    if (e.length > 0 && d.pool[e.offset + e.length - 1u] == pad) return;
    if (d.leaf && e.pointer != e.record) return;
  }
  file_->CacheNode(position, node.Data());
}

void GSobjCDXTag::WriteInterior(int32_t position, GSobjIndexKey& node, uint16_t attributes) {
  const CdxKeyShape shape = Shape();
  std::shared_ptr<NodeData> keep = node.Data();
  const NodeData& d = *keep;
  const size_t n = d.entries.size();
  const size_t max = std::max<size_t>(1, max_interior_keys_);
  int32_t left = d.left, right = d.right;
  uint8_t block[kCdxBlockSize];
  ByteSpan span(block, kCdxBlockSize);
  size_t first = 0;
  while (n - first > max) {
    size_t count = n - first;
    size_t part = count - count / 2;
    part = std::min(part, max);
    attributes &= uint16_t(~1u);
    PackCdxInterior(span, d, first, part, shape, true);
    PutCdxNodeHead(span, attributes, uint16_t(part), left, position);
    int32_t fresh = file_->AllocatePage();
    size_t last = first + part - 1;
    AddToParent(&node, d.pool.data() + d.entries[last].offset,
                std::min<uint32_t>(d.entries[last].length, key_length_), d.entries[last].record,
                fresh);
    file_->WriteBlock(fresh, block, kCdxBlockSize);
    if (left > 0) LinkLeftSibling(left, fresh);
    left = fresh;
    first += part;
  }
  PackCdxInterior(span, d, first, n - first, shape, true);
  PutCdxNodeHead(span, attributes, uint16_t(n - first), left, right);
  file_->WriteBlock(position, block, kCdxBlockSize);
  if (left != d.left)
    node.MutableData().left = left;
  else
    KeepWrittenNode(position, node);
}

void GSobjCDXTag::WriteEmptyRoot() {
  uint8_t block[kCdxBlockSize] = {};
  ByteSpan span(block, kCdxBlockSize);
  CdxLeafWriter writer;
  writer.Begin(span, CdxLeafParams(key_length_, 0, false, true), Shape());
  writer.Finish(3, -1, -1);
  int32_t page = file_->AllocatePage();
  file_->WriteBlock(page, block, kCdxBlockSize);
  SetRootPointer(page);
}

}  // namespace devazoz
