#include "engine/index/gs6_mdxtag.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdxnode.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxsort.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"

namespace devazoz {

namespace {

constexpr uint8_t kFormatPlain = 0x10;
constexpr uint8_t kFormatUnique = 0x40;
constexpr uint8_t kFormatDescending = 0x08;

// NUL-terminated text of at most room bytes starting at at.
std::string HeaderText(ByteView header, size_t at, size_t room) {
  std::string s;
  for (size_t i = at; i < header.size() && i < at + room && header.U8(i) != 0; ++i)
    s += char(header.U8(i));
  return s;
}

}  // namespace

GSobjMDXTag::GSobjMDXTag(GSobjMDXFile* file, int32_t header_block, const std::string& name)
    : GSobjIndexTag(file, name) {
  format_name_ = "MDX";
  page_.resize(size_t(file->PageSize()));
  if (header_block == -1) {
    header_position_ = file->AllocatePage();
    header_.assign(size_t(file->PageSize()), 0);
    header_changed_ = true;
    return;
  }
  header_position_ =
      int32_t(std::min<uint32_t>(uint32_t(header_block), 0x7FFFFFFF / kMdxBlockSize)) *
      kMdxBlockSize;
  if (!ReadHeader()) file->SetHeaderError(header_problem_);
}

GSobjMDXTag::GSobjMDXTag(GSobjMDXFile* file, const std::string& name, DefinitionOnly)
    : GSobjIndexTag(file, name) {
  format_name_ = "MDX";
}

GSobjMDXTag::~GSobjMDXTag() {
  try {
    ReleaseTree();
  } catch (...) {
    // Destruction cannot report; the node path is freed by the base.
  }
}

GSobjMDXFile* GSobjMDXTag::MdxFile() const { return static_cast<GSobjMDXFile*>(file_); }

MdxKeyShape GSobjMDXTag::Shape() const {
  MdxKeyShape s;
  s.type = key_type_;
  s.key_length = key_length_;
  s.entry_size = entry_size_;
  s.page_size = MdxFile()->PageSize();
  s.descending = !ascending_;
  return s;
}

void GSobjMDXTag::NoteAllocated(uint32_t block) {
  if (first_block_ == 0) {
    first_block_ = block;
    header_changed_ = true;
  }
  if (block > last_block_) {
    last_block_ = block;
    header_changed_ = true;
  }
}

void GSobjMDXTag::MoveHeader(int32_t header_position) {
  header_position_ = header_position;
  header_.assign(size_t(MdxFile()->PageSize()), 0);
  first_block_ = last_block_ = 0;
  root_pointer_ = written_root_ = 0;
  header_changed_ = true;
}

// ---------------------------------------------------------------- header

bool GSobjMDXTag::FailHeader(const std::string& why) {
  header_ok_ = false;
  header_problem_ = "Index file " + file_->FileName() + ": header of tag " + tag_name_ +
                    " at block " + std::to_string(header_position_ / kMdxBlockSize) + " " + why;
  return false;
}

bool GSobjMDXTag::ReadHeader() {
  GSobjMDXFile* file = MdxFile();
  const int page_size = file->PageSize();
  if (header_position_ < file->HeaderLength() || header_position_ % kMdxBlockSize != 0)
    return FailHeader("lies inside the file header");
  header_.assign(size_t(page_size), 0);
  if (!file_->ReadBlock(header_position_, header_.data(), page_size))
    return FailHeader("lies beyond the end of the file");
  ByteView v(header_.data(), header_.size());
  uint32_t root = v.U32LE(0);
  int64_t size = file_->KnownEnd(true);
  if (root == 0 || int64_t(root) * kMdxBlockSize < file->HeaderLength() ||
      int64_t(root) * kMdxBlockSize + page_size > size)
    return FailHeader("has a root at block " + std::to_string(root) + ", outside the file");
  char type = char(v.U8(9));
  uint16_t length = v.U16LE(12);
  uint16_t max_keys = v.U16LE(14);
  uint16_t entry = v.U16LE(18);
  if (type != 'C' && type != 'N' && type != 'D')
    return FailHeader("has key type " + std::to_string(int(uint8_t(type))));
  if (length == 0 || length > kMaxIndexKeyLength || (type == 'N' && length != kMdxNumberLength) ||
      (type == 'D' && length != kMdxDateLength))
    return FailHeader("has key length " + std::to_string(length) + " for type " + type);
  if (entry < length + 4 || kMdxPageHead + 2 * int(entry) > page_size)
    return FailHeader("has entry size " + std::to_string(entry) + " for key length " +
                      std::to_string(length));
  if (max_keys == 0) return FailHeader("has no room for keys");
  header_max_keys_ = max_keys;
  key_type_ = type;
  key_length_ = length;
  entry_size_ = entry;
  // A page never takes more keys than fit, whatever the header says.
  max_interior_keys_ = uint16_t(std::min<int>(max_keys, MdxMaxKeys(page_size, entry)));
  root_pointer_ = int32_t(root) * kMdxBlockSize;
  unique_ = v.U8(23) != 0;
  ascending_ = (v.U8(8) & kFormatDescending) == 0;
  negate_compare_ = !ascending_;
  descending_traversal_ = false;
  key_expression_ = HeaderText(v, kMdxKeyExpressionAt, kMdxKeyExpressionRoom);
  if (key_expression_.empty()) return FailHeader("has no key expression");
  has_for_ = v.U8(245) != 0;
  for_expression_ = has_for_ && page_size > kMdxForExpressionAt
                        ? HeaderText(v, kMdxForExpressionAt, size_t(page_size))
                        : std::string();
  has_for_ = !for_expression_.empty();
  first_block_ = v.U32LE(248);
  last_block_ = v.U32LE(252);
  written_root_ = root_pointer_;
  try {
    CompileKeyExpression();
    CompileForExpression();
  } catch (const EDevazozExpression& e) {
    key_handler_.reset();
    for_handler_.reset();
    return FailHeader("has an expression that cannot be used: " + std::string(e.what()));
  }
  header_changed_ = false;
  return true;
}

void GSobjMDXTag::WriteHeader() {
  if (!header_changed_) return;
  const size_t page_size = size_t(MdxFile()->PageSize());
  header_.resize(page_size, 0);
  ByteSpan v(header_.data(), header_.size());
  v.PutU32LE(0, uint32_t(root_pointer_ / kMdxBlockSize));
  v.PutU8(8, uint8_t(kFormatPlain | (unique_ ? kFormatUnique : 0) |
                     (ascending_ ? 0 : kFormatDescending)));
  v.PutU8(9, uint8_t(key_type_));
  v.PutU16LE(12, key_length_);
  v.PutU16LE(14, max_interior_keys_);
  v.PutU16LE(18, entry_size_);
  v.PutU8(23, unique_ ? 0x40 : 0);
  v.Fill(kMdxKeyExpressionAt, kMdxKeyExpressionRoom, 0);
  v.PutBytes(kMdxKeyExpressionAt, key_expression_.data(),
             std::min<size_t>(key_expression_.size(), kMdxKeyExpressionRoom - 1));
  v.PutU8(245, has_for_ ? 1 : 0);
  v.PutU8(246, 1);
  v.PutU32LE(248, first_block_);
  v.PutU32LE(252, last_block_);
  if (page_size > size_t(kMdxForExpressionAt)) {
    size_t room = page_size - kMdxForExpressionAt;
    v.Fill(kMdxForExpressionAt, room, 0);
    if (has_for_)
      v.PutBytes(kMdxForExpressionAt, for_expression_.data(),
                 std::min(for_expression_.size(), room - 1));
  }
  // A new root reaches the disk after the pages it points to; a header that
  // only counts allocated pages is written with them.
  if (root_pointer_ != written_root_)
    file_->WriteBlockInOrder(header_position_, header_.data(), int32_t(page_size));
  else
    file_->WriteBlock(header_position_, header_.data(), int32_t(page_size));
  written_root_ = root_pointer_;
  header_changed_ = false;
}

int32_t GSobjMDXTag::ReadRootPointer() {
  if (file_->Disk() && file_->Disk()->Shared() && header_position_ > 0) {
    uint8_t b[4];
    if (!file_->ReadBlock(header_position_, b, 4)) Damaged("its header cannot be read");
    int64_t root = int64_t(ByteView(b, 4).U32LE(0)) * kMdxBlockSize;
    if (root != root_pointer_) {
      if (root < MdxFile()->HeaderLength() || root + MdxFile()->PageSize() > file_->KnownEnd(true))
        Damaged("root block " + std::to_string(root / kMdxBlockSize) + " lies outside the file");
      root_pointer_ = int32_t(root);
    }
  }
  return root_pointer_;
}

// ---------------------------------------------------------------- keys

void GSobjMDXTag::NormalizeKey(GSobjIndexKeyData& key) {
  if (key.Normalized) return;
  const TgsVariant& v = key.Value;
  if (key_type_ == 'C') {
    NormalizeCharacterKey(key);
    return;
  }
  const uint32_t own = key_type_ == 'N' ? kMdxNumberLength : kMdxDateLength;
  if (v.Type() == VariantType::Bytes) {
    key.SetKey(v.Data(), std::min<uint32_t>(v.Length(), own), false);
    return;
  }
  uint8_t bytes[kMdxNumberLength];
  if (key_type_ == 'D') {
    double day = KeyNumberOf(v, 'D', tag_name_);
    if (!(day >= 0.1)) day = kMdxEmptyDate;
    key.SetKey(bytes, uint32_t(EncodeCdxNumber(day, bytes)), false);
    return;
  }
  double number = KeyNumberOf(v, 'N', tag_name_);
  uint8_t packed[kMdxNumberLength];
  PackMdxNumber(number, packed);
  PackedToSortable(packed, bytes);
  key.SetKey(bytes, kMdxNumberLength, false);
}

bool GSobjMDXTag::TakeKeyType() {
  if (!key_handler_ || !key_handler_->HasExpression()) return false;
  GSobjIndexKeyData k;
  if (!EvaluateKeyInto(k)) return false;
  switch (k.Value.Type()) {
    case VariantType::Text:
      key_type_ = 'C';
      key_length_ = uint16_t(std::min<uint32_t>(k.Value.Length(), 0xFFFF));
      break;
    case VariantType::Logic:
      key_type_ = 'C';
      key_length_ = 1;
      break;
    case VariantType::Number:
      key_type_ = 'N';
      key_length_ = kMdxNumberLength;
      break;
    case VariantType::Date:
      key_type_ = 'D';
      key_length_ = kMdxDateLength;
      break;
    default:
      return false;
  }
  return true;
}

int GSobjMDXTag::DefineTag(const std::string& name, const std::string& key_expression, bool unique,
                           bool ascending, const std::string& for_expression) {
  build_problem_.clear();
  const int page_size = MdxFile()->PageSize();
  if (key_expression.empty()) return RefuseTag("a tag needs a key expression");
  if (key_expression.size() >= size_t(kMdxKeyExpressionRoom))
    return RefuseTag("the key expression is longer than " +
                     std::to_string(kMdxKeyExpressionRoom - 1) + " bytes");
  if (!for_expression.empty() && for_expression.size() + kMdxForExpressionAt >= size_t(page_size))
    return RefuseTag("the FOR expression does not fit the tag header");
  GSobjIndexTag::CreateTag(name, key_expression, unique, ascending, for_expression);
  negate_compare_ = !ascending;
  descending_traversal_ = false;
  std::string problem = DefinitionProblem(TakeKeyType());
  if (!problem.empty()) return RefuseTag(problem);
  entry_size_ = uint16_t(MdxEntrySize(key_length_));
  int max_keys = MdxMaxKeys(page_size, entry_size_);
  if (max_keys < 2) return RefuseTag("the key is too long for the file's pages");
  max_interior_keys_ = uint16_t(max_keys);
  header_max_keys_ = max_interior_keys_;
  return 0;
}

int GSobjMDXTag::CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                           bool ascending, const std::string& for_expression) {
  if (DefineTag(name, key_expression, unique, ascending, for_expression) != 0) return -1;
  Rebuild();
  return 0;
}

void GSobjMDXTag::Rebuild() {
  header_.assign(size_t(MdxFile()->PageSize()), 0);
  file_->WriteBlock(header_position_, header_.data(), MdxFile()->PageSize());
  first_block_ = last_block_ = 0;
  root_pointer_ = written_root_ = 0;
  BuildMdxTag(this);
}

bool GSobjMDXTag::InsertKey(GSobjIndexKeyData& key) { return GSobjIndexTag::InsertKey(key); }

// ---------------------------------------------------------------- pages

void GSobjMDXTag::ReadNode(int32_t position, GSobjIndexKey& node) {
  std::shared_ptr<NodeData> data = file_->CachedNode(position);
  if (!data) {
    const int page_size = MdxFile()->PageSize();
    if (!file_->ReadBlock(position, page_.data(), page_size))
      Damaged("page at block " + std::to_string(position / kMdxBlockSize) +
              " lies beyond the end of the file");
    data = TakeSpareNodeData();
    std::string problem;
    if (!DecodeMdxPage(ByteView(page_.data(), size_t(page_size)), Shape(), *data, &problem))
      Damaged("page at block " + std::to_string(position / kMdxBlockSize) + ": " + problem);
    // Interior pages are met again on every search (leaves, see WriteNode).
    if (!data->leaf) file_->CacheNode(position, data);
  }
  node.SetData(std::move(data));
  node.Kind = node.Data()->leaf ? kNodeLeaf : kNodeInterior;
}

void GSobjMDXTag::WriteNode(int32_t position, GSobjIndexKey& node) {
  const MdxKeyShape shape = Shape();
  const bool interior = !node.IsLeaf();
  std::shared_ptr<NodeData> keep = node.Data();
  const NodeData& d = *keep;
  const size_t n = d.entries.size();
  // An interior page holds one entry more than keys: the rightmost child.
  const size_t limit = std::max<size_t>(1, max_interior_keys_) + (interior ? 1 : 0);
  const int32_t page_size = shape.page_size;
  ByteSpan page(page_.data(), page_.size());
  uint32_t own_link = d.left > 0 ? uint32_t(d.left) : last_block_;
  size_t first = 0;
  while (n - first > limit) {
    size_t count = n - first;
    size_t part = std::min(count - count / 2, limit);
    uint32_t link = last_block_;
    int32_t fresh = file_->AllocatePage();
    NoteAllocated(uint32_t(fresh / kMdxBlockSize));
    PackMdxPage(page, shape, d, first, part, interior, link);
    size_t last = first + part - 1;
    AddToParent(&node, d.pool.data() + d.entries[last].offset, d.entries[last].length,
                d.entries[last].record, fresh);
    file_->WriteBlock(fresh, page_.data(), page_size);
    first += part;
  }
  NoteAllocated(uint32_t(position / kMdxBlockSize));
  PackMdxPage(page, shape, d, first, n - first, interior, own_link);
  file_->WriteBlock(position, page_.data(), page_size);
  if (first == 0 && !interior) KeepWrittenNode(position, node);
}

// A leaf written whole is what decoding its page gives when its keys are in
// their normalized form, so the decoded form stays cached.
void GSobjMDXTag::KeepWrittenNode(int32_t position, const GSobjIndexKey& node) {
  const NodeData& d = *node.Data();
  for (const NodeEntry& e : d.entries) {
    if (e.pointer != e.record || e.pointer < 0) return;
    const uint8_t* k = d.pool.data() + e.offset;
    switch (key_type_) {
      case 'C':
        if (e.length > key_length_ || (e.length > 0 && k[e.length - 1] == ' ')) return;
        break;
      case 'D':
        if (e.length == 0 || e.length > kMdxDateLength || k[e.length - 1] == 0) return;
        break;
      default:
        if (e.length != kMdxNumberLength || (k[0] != 1 && k[0] != 2)) return;
        break;
    }
  }
  file_->CacheNode(position, node.Data());
}

void GSobjMDXTag::WriteEmptyRoot() {
  const int page_size = MdxFile()->PageSize();
  std::fill(page_.begin(), page_.end(), 0);
  uint32_t link = last_block_;
  int32_t page = file_->AllocatePage();
  NoteAllocated(uint32_t(page / kMdxBlockSize));
  ByteSpan(page_.data(), page_.size()).PutU32LE(4, link);
  file_->WriteBlock(page, page_.data(), page_size);
  SetRootPointer(page);
}

}  // namespace devazoz
