#include "engine/index/gs6_ndxtag.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdxnode.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ndxsort.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "platform/services/numtext.h"

namespace devazoz {

namespace {

// An entry holds the child block, the record number and the key, padded to
// whole 4-byte words.
int EntrySizeFor(int key_length) { return (key_length + 8 + 3) / 4 * 4; }

}  // namespace

GSobjNDXTag::GSobjNDXTag(GSobjNDXFile* file, const std::string& name, bool read_header)
    : GSobjIndexTag(file, name) {
  format_name_ = "NDX";
  header_position_ = 0;
  if (read_header && !ReadHeader()) header_ok_ = false;
}

GSobjNDXTag::~GSobjNDXTag() = default;

NdxBlockShape GSobjNDXTag::Shape() const {
  NdxBlockShape s;
  s.key_length = key_length_;
  s.entry_size = entry_size_;
  s.max_keys = max_interior_keys_;
  s.text = key_type_ == 'C';
  return s;
}

const std::string& GSobjNDXTag::Sentinel() {
  if (sentinel_.empty()) {
    if (key_type_ == 'C') {
      uint8_t best = 0xFF;
      const uint8_t* map = Table() ? Table()->CollationMap() : nullptr;
      if (map)
        for (int b = 0; b < 256; ++b)
          if (map[b] > map[best]) best = uint8_t(b);
      sentinel_.assign(std::max<int>(1, key_length_), char(best));
    } else {
      uint8_t bytes[8];
      int n = EncodeCdxNumber(1.7E308, bytes);
      sentinel_.assign(reinterpret_cast<const char*>(bytes), size_t(n));
    }
  }
  return sentinel_;
}

void GSobjNDXTag::CheckBlockPosition(int32_t position, const char* what) {
  if (position < kNdxBlockSize || position % kNdxBlockSize != 0 ||
      (int64_t(position) + kNdxBlockSize > file_->KnownEnd(false) &&
       int64_t(position) + kNdxBlockSize > file_->KnownEnd(true)))
    Damaged(std::string(what) + " " + std::to_string(position) + " is no block position");
}

void GSobjNDXTag::RefuseUnsupported(bool ascending, const std::string& for_expression) {
  if (!ascending)
    file_->ReportError(
        kErrInvalidParameter, kSubNone,
        ("Index file " + file_->FileName() + ": NDX tags cannot be descending").c_str());
  if (!for_expression.empty())
    file_->ReportError(
        kErrInvalidParameter, kSubNone,
        ("Index file " + file_->FileName() + ": NDX tags have no FOR condition").c_str());
}

// ---------------------------------------------------------------- header

bool GSobjNDXTag::FailHeader(const std::string& why) {
  header_ok_ = false;
  file_->SetHeaderError("Index file " + file_->FileName() + ": header " + why);
  return false;
}

bool GSobjNDXTag::ReadHeader() {
  uint8_t h[kNdxBlockSize];
  if (!file_->ReadBlock(0, h, kNdxBlockSize)) return FailHeader("is cut short");
  ByteView v(h, kNdxBlockSize);
  int64_t size = file_->KnownEnd(true);
  int32_t root = v.I32LE(0);
  if (root < 1 || int64_t(root) * kNdxBlockSize + kNdxBlockSize > size)
    return FailHeader("has a root block " + std::to_string(root) + " outside the file");
  uint16_t length = v.U16LE(12);
  uint16_t max = v.U16LE(14);
  uint16_t kind = v.U16LE(16);
  uint16_t entry = v.U16LE(18);
  if (kind > 1) return FailHeader("has key kind " + std::to_string(kind));
  if (length == 0 || length > kMaxIndexKeyLength || (kind == 1 && length != 8))
    return FailHeader("has key length " + std::to_string(length));
  if (entry < length + 8 || entry > (kNdxBlockSize - kNdxEntriesAt) / 2)
    return FailHeader("has entry size " + std::to_string(entry) + " for key length " +
                      std::to_string(length));
  if (max < 2 || kNdxEntriesAt + max * entry > kNdxBlockSize)
    return FailHeader("has " + std::to_string(max) + " keys per block, which do not fit a block");
  std::string expression;
  size_t i = 24;
  while (i < size_t(kNdxBlockSize) && v.U8(i) != 0) expression += char(v.U8(i++));
  if (expression.empty() || i >= size_t(kNdxBlockSize)) return FailHeader("has no key expression");
  root_pointer_ = root * kNdxBlockSize;
  key_length_ = length;
  entry_size_ = entry;
  max_interior_keys_ = max;
  unique_ = (v.U8(23) & 1) != 0;
  ascending_ = true;
  has_for_ = false;
  key_expression_ = expression;
  for_expression_.clear();
  key_type_ = kind == 1 ? 'N' : 'C';
  try {
    CompileKeyExpression();
    GSobjIndexKeyData k;
    if (kind == 1 && key_handler_ && EvaluateKeyInto(k) && k.Value.Type() == VariantType::Date)
      key_type_ = 'D';
  } catch (const EDevazozExpression& e) {
    key_handler_.reset();
    return FailHeader("has an expression that cannot be used: " + std::string(e.what()));
  }
  sentinel_.clear();
  written_root_ = root_pointer_;
  header_changed_ = false;
  return true;
}

void GSobjNDXTag::WriteHeader() {
  if (!header_changed_) return;
  uint8_t h[kNdxBlockSize] = {};
  ByteSpan v(h, kNdxBlockSize);
  v.PutI32LE(0, root_pointer_ / kNdxBlockSize);
  v.PutI32LE(4, static_cast<GSobjNDXFile*>(file_)->NextFreeBlock());
  v.PutU16LE(12, key_type_ == 'C' ? key_length_ : 8);
  v.PutU16LE(14, max_interior_keys_);
  v.PutU16LE(16, key_type_ == 'C' ? 0 : 1);
  v.PutU16LE(18, entry_size_);
  v.PutU8(23, unique_ ? 1 : 0);
  v.PutBytes(24, key_expression_.data(),
             std::min<size_t>(key_expression_.size(), kNdxMaxKeyExpression));
  // A new root reaches the disk after the blocks it points to; a header that
  // only counts allocated blocks is written with them.
  if (root_pointer_ != written_root_)
    file_->WriteBlockInOrder(0, h, kNdxBlockSize);
  else
    file_->WriteBlock(0, h, kNdxBlockSize);
  written_root_ = root_pointer_;
  header_changed_ = false;
}

int32_t GSobjNDXTag::ReadRootPointer() {
  if (file_->Disk() && file_->Disk()->Shared()) {
    uint8_t b[4];
    if (!file_->ReadBlock(0, b, 4)) Damaged("its header cannot be read");
    int64_t root = int64_t(ByteView(b, 4).I32LE(0)) * kNdxBlockSize;
    if (root != root_pointer_) {
      if (root <= 0 || root > 0x7FFFFFFF) Damaged("root block is no block");
      CheckBlockPosition(int32_t(root), "root");
      root_pointer_ = int32_t(root);
    }
  }
  return root_pointer_;
}

int GSobjNDXTag::DefineTag(const std::string& name, const std::string& key_expression, bool unique,
                           bool ascending, const std::string& for_expression) {
  build_problem_.clear();
  RefuseUnsupported(ascending, for_expression);
  if (key_expression.empty()) return RefuseTag("a tag needs a key expression");
  if (key_expression.size() > size_t(kNdxMaxKeyExpression))
    return RefuseTag("the key expression is longer than " + std::to_string(kNdxMaxKeyExpression) +
                     " bytes");
  GSobjIndexTag::CreateTag(name, key_expression, unique, true, "");
  GSobjIndexKeyData k;
  bool typed = EvaluateKeyInto(k);
  switch (typed ? k.Value.Type() : VariantType::None) {
    case VariantType::Text:
      key_type_ = 'C';
      key_length_ = uint16_t(std::min<uint32_t>(k.Value.Length(), 0xFFFF));
      entry_size_ = uint16_t(EntrySizeFor(key_length_));
      break;
    case VariantType::Logic:
      key_type_ = 'C';
      key_length_ = 1;
      entry_size_ = uint16_t(EntrySizeFor(1));
      break;
    case VariantType::Number:
      key_type_ = 'N';
      key_length_ = 8;
      entry_size_ = uint16_t(EntrySizeFor(12));
      break;
    case VariantType::Date:
      key_type_ = 'D';
      key_length_ = 8;
      entry_size_ = uint16_t(EntrySizeFor(8));
      break;
    default:
      typed = false;
  }
  std::string problem = DefinitionProblem(typed);
  if (!problem.empty()) return RefuseTag(problem);
  max_interior_keys_ = uint16_t((kNdxBlockSize - 8) / entry_size_);
  sentinel_.clear();
  return 0;
}

int GSobjNDXTag::CreateTag(const std::string& name, const std::string& key_expression, bool unique,
                           bool ascending, const std::string& for_expression) {
  if (DefineTag(name, key_expression, unique, ascending, for_expression) != 0) return -1;
  header_position_ = 0;
  uint8_t zero[kNdxBlockSize] = {};
  file_->WriteBlock(0, zero, kNdxBlockSize);
  BuildNdxTag(this);
  return 0;
}

// ---------------------------------------------------------------- keys

void GSobjNDXTag::NormalizeKey(GSobjIndexKeyData& key) {
  if (key.Normalized) return;
  const TgsVariant& v = key.Value;
  if (key_type_ == 'C') {
    NormalizeCharacterKey(key);
    return;
  }
  if (v.Type() == VariantType::Bytes) {
    key.SetKey(v.Data(), std::min<uint32_t>(v.Length(), 8), false);
    return;
  }
  double number;
  if (key_type_ == 'D') {
    double day = std::trunc(KeyNumberOf(v, 'D', tag_name_));
    number = day < 0.1 ? kNdxEmptyDate : day;
  } else {
    number = KeyNumberOf(v, 'N', tag_name_);
  }
  if (std::isnan(number)) number = 0;
  uint8_t bytes[8];
  int n = EncodeCdxNumber(number, bytes);
  key.SetKey(bytes, uint32_t(n), false);
}

// ---------------------------------------------------------------- blocks

void GSobjNDXTag::ReadNode(int32_t position, GSobjIndexKey& node) {
  std::shared_ptr<NodeData> data = file_->CachedNode(position);
  if (!data) {
    CheckBlockPosition(position, "block");
    uint8_t block[kNdxBlockSize];
    if (!file_->ReadBlock(position, block, kNdxBlockSize))
      Damaged("block " + std::to_string(position / kNdxBlockSize) +
              " lies beyond the end of the file");
    data = TakeSpareNodeData();
    std::string problem;
    int64_t limit =
        std::min<int64_t>(file_->KnownEnd(false) / kNdxBlockSize + 1, 0x7FFFFFFF / kNdxBlockSize);
    if (!DecodeNdxBlock(ByteView(block, kNdxBlockSize), Shape(), Sentinel(), limit, *data,
                        &problem))
      Damaged("block " + std::to_string(position / kNdxBlockSize) + " " + problem);
    // Interior blocks are met again on every search (leaves, see WriteNode).
    if (!data->leaf) file_->CacheNode(position, data);
  }
  node.SetData(std::move(data));
  node.Kind = node.Data()->leaf ? kNodeLeaf : kNodeInterior;
}

void GSobjNDXTag::WriteNode(int32_t position, GSobjIndexKey& node) {
  std::shared_ptr<NodeData> keep = node.Data();
  const NodeData& d = *keep;
  const NdxBlockShape shape = Shape();
  const bool leaf = node.IsLeaf();
  const size_t max = size_t(std::max<int>(2, max_interior_keys_));
  // An interior block's last entry carries only the rightmost child.
  auto keys_of = [&](size_t count) { return leaf ? count : (count ? count - 1 : 0); };
  const size_t n = d.entries.size();
  uint8_t block[kNdxBlockSize];
  ByteSpan span(block, kNdxBlockSize);
  size_t first = 0;
  while (n - first > max) {
    size_t count = n - first;
    size_t part = std::min(count - count / 2, max);
    PackNdxBlock(span, shape, d, first, part, keys_of(part));
    int32_t fresh = file_->AllocatePage();
    size_t last = first + part - 1;
    AddToParent(&node, d.pool.data() + d.entries[last].offset, d.entries[last].length,
                d.entries[last].record, fresh);
    file_->WriteBlock(fresh, block, kNdxBlockSize);
    first += part;
  }
  PackNdxBlock(span, shape, d, first, n - first, keys_of(n - first));
  file_->WriteBlock(position, block, kNdxBlockSize);
  if (first == 0 && leaf) KeepWrittenNode(position, node);
}

// A leaf written whole is what decoding its block gives when its keys are in
// their normalized form, so the decoded form stays cached.
void GSobjNDXTag::KeepWrittenNode(int32_t position, const GSobjIndexKey& node) {
  const NodeData& d = *node.Data();
  if (d.entries.empty()) return;
  for (const NodeEntry& e : d.entries) {
    if (e.pointer != e.record || e.record <= 0) return;
    const uint8_t* k = d.pool.data() + e.offset;
    if (key_type_ == 'C') {
      if (e.length > key_length_ || (e.length > 0 && k[e.length - 1] == ' ')) return;
    } else {
      // What a stored double decodes to: its eight bytes of the sortable form.
      uint8_t again[8];
      if (e.length != 8 || EncodeCdxNumber(DecodeCdxNumber(k, 8), again) != 8 ||
          std::memcmp(again, k, 8) != 0)
        return;
    }
  }
  file_->CacheNode(position, node.Data());
}

void GSobjNDXTag::WriteEmptyRoot() {
  uint8_t block[kNdxBlockSize] = {};
  int32_t page = file_->AllocatePage();
  file_->WriteBlock(page, block, kNdxBlockSize);
  SetRootPointer(page);
}

}  // namespace devazoz
