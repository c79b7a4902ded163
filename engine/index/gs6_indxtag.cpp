#include "engine/index/gs6_indxtag.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_scope.h"
#include "engine/index/gs6_indx.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "engine/table/gs6_sqlnode.h"
#include "platform/services/codepage.h"

namespace devazoz {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = char(platform::AnsiUpperChar(uint8_t(c)));
  return s;
}

}  // namespace

GSobjIndexTag::GSobjIndexTag(GSobjIndexFile* file, const std::string& name)
    : tag_name_(Upper(name)), file_(file) {}

// The path goes before the other members: its nodes hand their storage back to
// this tag as they are freed.
GSobjIndexTag::~GSobjIndexTag() { root_.reset(); }

GSO_dBaseFld* GSobjIndexTag::Table() const { return file_ ? file_->Table() : nullptr; }

void GSobjIndexTag::Damaged(const std::string& what) const {
  // The file is not written from now on (see GSobjIndexFile::MarkDamaged).
  if (file_) file_->MarkDamaged("tag " + tag_name_ + ": " + what);
  throw EDevazozError("Index file " + (file_ ? file_->ShownPath() : std::string()) + " tag " +
                      tag_name_ + " is damaged: " + what + "; reindex it to repair it");
}

// ---------------------------------------------------------------- slots

void GSobjIndexTag::NormalizeKey(GSobjIndexKeyData&) {}

void GSobjIndexTag::TrimTextKey(GSobjIndexKeyData& key) const {
  const TgsVariant& v = key.Value;
  uint32_t n = v.Length();
  while (n > 0 && v.Data()[n - 1] == ' ') --n;
  n = std::min<uint32_t>(n, key_length_);
  if (v.Type() == VariantType::Text) {
    key.Value.SetLength(n);
    key.Normalized = true;
  } else {
    key.SetKey(v.Data(), n, true);
  }
}

void GSobjIndexTag::NormalizeCharacterKey(GSobjIndexKeyData& key) const {
  const TgsVariant& v = key.Value;
  if (v.Type() == VariantType::Text || v.Type() == VariantType::Bytes) {
    TrimTextKey(key);
    return;
  }
  std::string text = v.AsText();
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() > key_length_) text.resize(key_length_);
  key.SetKey(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), true);
}

int GSobjIndexTag::CreateTag(const std::string& name, const std::string& key_expression,
                             bool unique, bool ascending, const std::string& for_expression) {
  tag_name_ = Upper(name);
  key_expression_ = key_expression;
  for_expression_ = for_expression;
  unique_ = unique;
  ascending_ = ascending;
  has_for_ = !for_expression.empty();
  CompileKeyExpression();
  CompileForExpression();
  return 0;
}

std::string GSobjIndexTag::DefinitionProblem(bool typed) {
  if (!typed) return "the key expression gives no text, number, date or logical value";
  if (key_length_ < 1) return "the key is empty";
  if (key_length_ > kMaxIndexKeyLength)
    return "the key is too long (" + std::to_string(key_length_) + " bytes, at most " +
           std::to_string(kMaxIndexKeyLength) + ")";
  if (!has_for_ || !for_handler_ || !for_handler_->HasExpression()) return std::string();
  EvaluateFor();
  if (for_handler_->ResultType() == kExpLogic) return std::string();
  return "the FOR condition does not give a logical value";
}

void GSobjIndexTag::DecodeLazy(GSobjIndexKey&) {}
bool GSobjIndexTag::SearchLazyLeaf(GSobjIndexKey*, int32_t, const GSobjIndexKeyData&, int, int*) {
  return false;
}

int32_t GSobjIndexTag::ReadRootPointer() { return root_pointer_; }
void GSobjIndexTag::ReadNode(int32_t, GSobjIndexKey&) {}
void GSobjIndexTag::WriteNode(int32_t, GSobjIndexKey&) {}
bool GSobjIndexTag::ReadHeader() {
  header_changed_ = false;
  return true;
}
void GSobjIndexTag::WriteHeader() { header_changed_ = false; }

void GSobjIndexTag::CompileKeyExpression() {
  key_handler_.reset();
  GSO_dBaseFld* t = Table();
  if (!t || key_expression_.empty()) return;
  key_handler_ = std::make_unique<TgsExpHandler>(t->ExpressionLink(), false, key_expression_);
  // A key that is one character field of the table is its text as the table
  // reads it; builds and updates take it from the record without evaluating.
  direct_text_field_ = 0;
  if (auto* node = dynamic_cast<TgsExpFieldvar*>(key_handler_->Root()))
    if (auto* field = dynamic_cast<TgslDBFFieldVars*>(node->Variable()))
      if (field->Table() == t && t->FieldType(field->Field()) == 'C')
        direct_text_field_ = field->Field();
}

void GSobjIndexTag::CompileForExpression() {
  for_handler_.reset();
  GSO_dBaseFld* t = Table();
  if (!t || for_expression_.empty()) return;
  for_handler_ = std::make_unique<TgsExpHandler>(t->ExpressionLink(), false, for_expression_);
}

bool GSobjIndexTag::EvaluateKey(GSobjIndexKeyData& key, bool& ok) {
  ok = false;
  if (!key_handler_ || !key_handler_->HasExpression()) return false;
  if (direct_text_field_ > 0) {
    std::string_view text = Table()->PeekStr(direct_text_field_);
    key.Value.SetText(text.data(), uint32_t(text.size()));
    key.Normalized = false;
    ok = true;
    return true;
  }
  TgsExpValue* v = key_handler_->Evaluate(eval_value_);
  if (!v) return false;
  switch (key_handler_->ResultType()) {
    case kExpText:
      key.Value.SetText(v->text);
      break;
    case kExpNumber:
    case kExpNumber7:
      key.Value.SetNumber(v->number);
      break;
    case kExpDate:
      key.Value.SetDate(DayFromValue(v->number));
      break;
    case kExpLogic:
      key.Value.SetLogic(v->logic);
      break;
    default:
      return false;
  }
  key.Normalized = false;
  ok = true;
  return true;
}

int GSobjIndexTag::ForResultType() const { return for_handler_ ? for_handler_->ResultType() : 0; }

bool GSobjIndexTag::EvaluateFor() {
  if (!for_handler_ || !for_handler_->HasExpression()) return false;
  TgsExpValue* v = for_handler_->Evaluate(eval_value_);
  return v && for_handler_->ResultType() == kExpLogic && v->logic;
}

bool GSobjIndexTag::EvaluateKeyInto(GSobjIndexKeyData& key) {
  bool ok = false;
  EvaluateKey(key, ok);
  return ok;
}

// ---------------------------------------------------------------- comparison

namespace {

// CompareKeys without the position, for a map and key kind known beforehand.
inline int CompareKeyBytes(const uint8_t* a, uint32_t a_length, const uint8_t* b, uint32_t b_length,
                           int mode, const uint8_t* map, bool text) {
  if (a_length == 0 || b_length == 0) return a_length == b_length ? 0 : (a_length == 0 ? -1 : 1);
  uint32_t n = std::min(a_length, b_length);
  if (map) {
    for (uint32_t i = 0; i < n; ++i) {
      uint8_t x = map[a[i]], y = map[b[i]];
      if (x != y) return x < y ? -1 : 1;
    }
  } else {
    int c = std::memcmp(a, b, n);
    if (c != 0) return c < 0 ? -1 : 1;
  }
  if (text && a_length < b_length) return mode < 0 ? -1 : (mode > 0 ? 1 : 0);
  return a_length < b_length ? -1 : (a_length > b_length ? 1 : 0);
}

}  // namespace

const uint8_t* GSobjIndexTag::KeyMap() const {
  GSO_dBaseFld* t = TextKeys() ? Table() : nullptr;
  return t ? t->CollationMap() : nullptr;
}

int GSobjIndexTag::CompareKeys(const uint8_t* a, uint32_t a_length, const uint8_t* b,
                               uint32_t b_length, int mode, int* position) const {
  if (!position) return CompareKeyBytes(a, a_length, b, b_length, mode, KeyMap(), TextKeys());
  *position = 0;
  if (a_length == 0 && b_length == 0) return 0;
  if (a_length == 0) return -1;
  if (b_length == 0) return 1;
  bool text = TextKeys();
  const uint8_t* map = KeyMap();
  uint32_t n = std::min(a_length, b_length);
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t x = map ? map[a[i]] : a[i], y = map ? map[b[i]] : b[i];
    if (x != y) {
      *position = int(i + 1);
      return x < y ? -1 : 1;
    }
  }
  *position = int(n + 1);
  if (text && a_length < b_length) return mode < 0 ? -1 : (mode > 0 ? 1 : 0);
  return a_length < b_length ? -1 : (a_length > b_length ? 1 : 0);
}

// ---------------------------------------------------------------- node path

GSobjIndexKey* GSobjIndexTag::PathEnd(GSobjIndexKey* node) {
  while (node && node->Child) node = node->Child.get();
  return node;
}

void GSobjIndexTag::CheckChildPointer(GSobjIndexKey* node, int32_t page) {
  int32_t block = file_->NodeSize();
  if (page < file_->FirstNodePosition() || page % block != 0)
    Damaged("node at " + std::to_string(node->Page) + " points to " + std::to_string(page) +
            ", which is no node position");
  if (int64_t(page) + block > file_->KnownEnd(false) &&
      int64_t(page) + block > file_->KnownEnd(true))
    Damaged("node at " + std::to_string(node->Page) + " points to " + std::to_string(page) +
            ", beyond the end of the file");
  for (GSobjIndexKey* p = node; p; p = p->Parent)
    if (p->Page == page)
      Damaged("node at " + std::to_string(node->Page) + " points back to " + std::to_string(page) +
              " on its own path");
  if (node->Depth + 1 >= kMaxTreeDepth)
    Damaged("the tree is deeper than " + std::to_string(kMaxTreeDepth) + " levels");
  uint64_t limit = uint64_t(file_->KnownEnd(false) / block) + 2 * kMaxTreeDepth;
  if (++loads_ > limit) Damaged("nodes are reached through more than one parent");
}

GSobjIndexKey* GSobjIndexTag::LoadChild(GSobjIndexKey* node, int index, bool* fresh) {
  if (fresh) *fresh = false;
  if (!node || node->IsLeaf() || index < 0 || size_t(index) >= node->Count()) return nullptr;
  int32_t page = node->PointerAt(size_t(index));
  if (node->Child && node->Child->Page == page && !node->Child->Split) {
    node->Position = index;
    return node->Child.get();
  }
  if (node->Child && CleanSubtree(node->Child.get())) {
    // Nothing below waits to be written: the child object takes the new page
    // (its own path below it is compared page by page as it is met again).
    node->Position = index;
    CheckChildPointer(node, page);
    GSobjIndexKey* c = node->Child.get();
    try {
      c->Reload(page);
    } catch (...) {
      node->Child.reset();
      throw;
    }
    // The objects below stay for reuse, but hold nodes of the old subtree: they
    // are read again when met (a damaged tree may name a node under two
    // parents, which must not pass for the node already loaded).
    if (c->IsLeaf())
      c->Child.reset();
    else
      for (GSobjIndexKey* n = c->Child.get(); n; n = n->Child.get()) n->Page = 0;
    if (fresh) *fresh = true;
    return c;
  }
  if (node->Child) {
    // Saving the old child may split it, which adds an entry to this node and
    // moves the wanted one to the right. A damaged node may name one page
    // twice: the entry is looked for from index on, so stepping never goes back.
    DestroySubtree(node->Child);
    int j = index;
    while (size_t(j) < node->Count() && node->PointerAt(size_t(j)) != page) ++j;
    if (size_t(j) >= node->Count()) j = node->FindPointer(page);
    if (j < 0) return nullptr;
    index = j;
  }
  node->Position = index;
  CheckChildPointer(node, page);
  node->Child = std::make_unique<GSobjIndexKey>(this, node, page, kNodeInterior, node->Depth + 1);
  if (fresh) *fresh = true;
  return node->Child.get();
}

bool GSobjIndexTag::SaveOtherChild(GSobjIndexKey* node, size_t index) {
  GSobjIndexKey* c = node->Child.get();
  if (!c || CleanSubtree(c) || (c->Page == node->PointerAt(index) && !c->Split)) return false;
  try {
    for (GSobjIndexKey* n = PathEnd(c); n; n = n->Parent) {
      if (n->Changed && !HoldLeaf(n)) SaveNode(n);
      if (n == c) break;
    }
  } catch (...) {
    node->Child.reset();
    throw;
  }
  // The objects stay for the next nodes read (LoadChild reloads them); what
  // they hold is written and stands for no page any more.
  for (GSobjIndexKey* n = c; n; n = n->Child.get()) {
    n->Page = 0;
    n->Split = n->OwnsParent = false;
  }
  return true;
}

// ---------------------------------------------------------------- held leaves

bool GSobjIndexTag::LeafFits(const NodeData&) { return false; }
void GSobjIndexTag::WriteHeldLeaf(int32_t page, GSobjIndexKey& node) { WriteNode(page, node); }

bool GSobjIndexTag::HoldLeaf(GSobjIndexKey* leaf) {
  constexpr size_t kMaxHeldLeaves = 64;
  if (!leaf->IsLeaf() || !file_->HoldsLeaves() || !file_->CacheEnabled() || !leaf->Parent ||
      leaf->Split || leaf->OwnsParent || leaf->Page <= 0 || leaf->Count() == 0)
    return false;
  // A leaf left for the first time in a while is written: most leaves a run of
  // appends changes (random titles) are not met again soon.
  bool recent = false;
  for (int32_t page : recent_leaves_) recent = recent || page == leaf->Page;
  if (!recent) {
    recent_leaves_[recent_next_++ % kRecentLeaves] = leaf->Page;
    return false;
  }
  if (held_leaves_.size() >= kMaxHeldLeaves || !LeafFits(*leaf->Data())) return false;
  // The cache may hold an older form of the page; the held leaf is its content.
  file_->ForgetNode(leaf->Page);
  held_leaves_.push_back({leaf->Page, leaf->Data()});
  leaf->Changed = false;
  return true;
}

bool GSobjIndexTag::TakeHeldLeaf(int32_t page, GSobjIndexKey& node) {
  for (const HeldLeafEntry& h : held_leaves_)
    if (h.page == page) {
      node.SetData(h.data);
      node.Kind = kNodeLeaf;
      return true;
    }
  return false;
}

const NodeData* GSobjIndexTag::HeldLeaf(int32_t page) const {
  for (const HeldLeafEntry& h : held_leaves_)
    if (h.page == page) return h.data.get();
  return nullptr;
}

void GSobjIndexTag::ForgetHeldLeaf(int32_t page) {
  std::erase_if(held_leaves_, [page](const HeldLeafEntry& h) { return h.page == page; });
}

bool GSobjIndexTag::RelinkHeldLeaf(int32_t page, int32_t right) {
  for (HeldLeafEntry& h : held_leaves_)
    if (h.page == page) {
      // A node on a path may share the data: it gets a copy of its own.
      h.data = std::make_shared<NodeData>(*h.data);
      h.data->right = right;
      return true;
    }
  return false;
}

void GSobjIndexTag::WriteHeldLeaves() {
  while (!held_leaves_.empty()) {
    HeldLeafEntry h = held_leaves_.back();
    if (LeafFits(*h.data)) {
      held_leaves_.pop_back();
      GSobjIndexKey node(this, nullptr, 0, kNodeLeaf, 0);
      node.SetData(h.data);
      node.Page = h.page;
      WriteHeldLeaf(h.page, node);
      continue;
    }
    // Grown past its block since it was held (record numbers now take more
    // bytes): the path is searched down to it by its last key, and it is
    // written from there, its parent taking the split.
    const NodeData& d = *h.data;
    const NodeEntry& e = d.entries.back();
    GSobjIndexKeyData k;
    k.SetKey(d.pool.data() + e.offset, e.length, TextKeys());
    k.RecordNumber = k.TreePointer = e.record;
    LoadTree(2);
    if (root_) {
      BeginOperation();
      SearchNode(root_.get(), e.record, k, -1);
    }
    GSobjIndexKey* leaf = root_ ? PathEnd(root_.get()) : nullptr;
    if (!leaf || leaf->Page != h.page || leaf->Data() != h.data)
      Damaged("leaf " + std::to_string(h.page) + " is not found from the root by its last key");
    leaf->MutableData();  // takes it back from the held leaves
    leaf->Changed = true;
    ReleaseTree();
  }
}

bool GSobjIndexTag::CleanSubtree(const GSobjIndexKey* node) {
  for (; node; node = node->Child.get())
    if (node->Changed || node->Split || node->OwnsParent) return false;
  return true;
}

void GSobjIndexTag::SaveNode(GSobjIndexKey* node) {
  if (node->Page <= 0) node->Page = file_->AllocatePage();
  WriteNode(node->Page, *node);
  node->Changed = false;
}

void GSobjIndexTag::DestroySubtree(std::unique_ptr<GSobjIndexKey>& slot) {
  GSobjIndexKey* top = slot.get();
  TgsScopeExit free_subtree([&] { slot.reset(); });
  for (GSobjIndexKey* n = PathEnd(top); n; n = n->Parent) {
    if (n->Changed) SaveNode(n);
    if (n == top) break;
  }
}

void GSobjIndexTag::ReleaseTree() {
  prepared_.leaf = nullptr;
  if (root_) {
    TgsScopeExit free_path([&] { root_.reset(); });
    // Bottom-up; a root split makes a new root above, which the walk reaches.
    for (GSobjIndexKey* n = PathEnd(root_.get()); n; n = n->Parent)
      if (n->Changed) SaveNode(n);
  }
  if (header_changed_) WriteHeader();
}

bool GSobjIndexTag::HoldsChanges() const {
  if (header_changed_ || !held_leaves_.empty()) return true;
  for (GSobjIndexKey* n = root_ ? PathEnd(root_.get()) : nullptr; n; n = n->Parent)
    if (n->Changed) return true;
  return false;
}

std::shared_ptr<NodeData> GSobjIndexTag::TakeSpareNodeData() {
  if (spare_node_data_) return std::move(spare_node_data_);
  return std::make_shared<NodeData>();
}

void GSobjIndexTag::RecycleNodeData(std::shared_ptr<NodeData> data) {
  if (data && data.use_count() == 1) spare_node_data_ = std::move(data);
}

void GSobjIndexTag::FreshTree() {
  // A path that no other program can have made stale and that holds nothing
  // unwritten is as good as a fresh one, and its upper nodes are loaded already.
  bool keep = root_ && !root_->Parent && file_->CacheEnabled() && root_->Page == root_pointer_;
  for (GSobjIndexKey* n = root_.get(); keep && n; n = n->Child.get())
    keep = !n->Changed && !n->Split;
  if (keep && !header_changed_) {
    BeginOperation();
    return;
  }
  LoadTree(2);
}

void GSobjIndexTag::LoadTree(int mode) {
  ReleaseTree();
  if (mode != 2) path_off_current_ = false;
  BeginOperation();
  int32_t root = ReadRootPointer();
  if (root <= 0) return;
  root_pointer_ = root;
  root_ = std::make_unique<GSobjIndexKey>(this, nullptr, root, kNodeLeaf, 0);
  if (mode == 2) return;
  GSO_dBaseFld* t = Table();
  if (mode == 1 && key_handler_ && t && t->RecordNumber() >= 1 &&
      t->RecordNumber() <= t->RecordCount() && root_->Count() > 0) {
    GSobjIndexKeyData k;
    if (EvaluateKeyInto(k)) {
      int32_t rec = t->RecordNumber();
      k.RecordNumber = k.TreePointer = rec;
      NormalizeKey(k);
      if (SearchNode(root_.get(), rec, k, -1) == 0) {
        PositionFlags(root_.get());
        if (Navigate(kNavCurrent) != 0) return;
      }
    }
  }
  Navigate(kNavFirst);
}

void GSobjIndexTag::SetCurrentFrom(GSobjIndexKey* leaf) {
  leaf->CopyEntry(size_t(leaf->Position), current_, TextKeys());
  path_off_current_ = false;
}

// ---------------------------------------------------------------- searching

int GSobjIndexTag::SearchNode(GSobjIndexKey* node, int32_t record, const GSobjIndexKeyData& key,
                              int mode) {
  if (!node) return 1;
  if (node->Count() == 0) {
    node->Position = 0;
    return 1;
  }
  if (node->Lazy()) {
    int r = 0;
    if (!negate_compare_ && SearchLazyLeaf(node, record, key, mode, &r)) return r;
  }
  const uint8_t* kb = key.Value.Data();
  uint32_t kl = key.Value.Length();
  bool in_key = file_->RecordNumberInKey();
  const uint8_t* map = KeyMap();
  const bool text = TextKeys();
  // r > 0: the key (with its record) comes after entry i.
  auto compare = [&](size_t i) {
    const NodeEntry& e = node->Entry(i);
    int r = CompareKeyBytes(kb, kl, node->PoolData() + e.offset, e.length, mode, map, text);
    if (negate_compare_) r = -r;
    if (r == 0) {
      int32_t er = e.record;
      if (record == kAfterEqualKeys)
        r = 1;
      else if (record != kAnyRecord && in_key)
        r = er < record ? 1 : (er > record ? -1 : 0);
    }
    return r;
  };
  // Entries ascend, so the first entry the key does not come after is found by
  // halving; the steps below go on from there as a scan would.
  size_t low = 0, high = node->Count();
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    if (compare(middle) > 0)
      low = middle + 1;
    else
      high = middle;
  }
  node->Position = int(std::min(low, node->Count() - 1));
  for (;;) {
    size_t i = size_t(node->Position);
    int r = compare(i);
    if (r <= 0 || i + 1 == node->Count()) {
      if (!node->IsLeaf()) {
        // Changes held below this node are written before the search goes
        // elsewhere; a leaf that splits or spreads over its neighbour then moves
        // keys between this node's children, so the node is searched again.
        if (SaveOtherChild(node, i)) return SearchNode(node, record, key, mode);
        GSobjIndexKey* child = LoadChild(node, int(i), nullptr);
        r = child ? SearchNode(child, record, key, mode) : 1;
      } else if (r == 0 && record != kAnyRecord) {
        int32_t p = node->PointerAt(i);
        if (in_key)
          r = p < record ? 1 : (p > record ? -1 : 0);
        else
          r = p != record ? 1 : 0;
      }
    }
    if (r > 0 && size_t(node->Position) + 1 < node->Count()) {
      ++node->Position;
      continue;
    }
    return r;
  }
}

bool GSobjIndexTag::FirstEntry(GSobjIndexKey* node) {
  if (node->IsLeaf()) {
    node->Position = 0;
    if (node->Count() == 0) return false;
    SetCurrentFrom(node);
    return true;
  }
  for (int i = 0; size_t(i) < node->Count(); ++i) {
    GSobjIndexKey* child = LoadChild(node, i, nullptr);
    i = node->Position;
    if (child && FirstEntry(child)) return true;
  }
  node->Position = 0;
  return false;
}

bool GSobjIndexTag::LastEntry(GSobjIndexKey* node) {
  if (node->IsLeaf()) {
    node->Position = int(node->Count()) - 1;
    if (node->Count() == 0) return false;
    SetCurrentFrom(node);
    return true;
  }
  for (int i = int(node->Count()) - 1; i >= 0; --i) {
    GSobjIndexKey* child = LoadChild(node, i, nullptr);
    i = std::min(node->Position, int(node->Count()) - 1);
    if (child && LastEntry(child)) return true;
  }
  node->Position = int(node->Count()) - 1;
  return false;
}

bool GSobjIndexTag::NextEntry(GSobjIndexKey* node) {
  int count = int(node->Count());
  if (node->IsLeaf()) {
    int p = std::max(node->Position, -1) + 1;
    if (p < count) {
      node->Position = p;
      SetCurrentFrom(node);
      return true;
    }
    node->Position = count;
    return false;
  }
  if (node->Position < 0) node->Position = 0;
  while (node->Position < int(node->Count())) {
    bool fresh = false;
    GSobjIndexKey* child = LoadChild(node, node->Position, &fresh);
    if (child) {
      if (fresh) child->Position = child->IsLeaf() ? -1 : 0;
      if (NextEntry(child)) return true;
    }
    ++node->Position;
  }
  node->Position = int(node->Count()) - 1;
  return false;
}

bool GSobjIndexTag::PriorEntry(GSobjIndexKey* node) {
  int count = int(node->Count());
  if (node->IsLeaf()) {
    int p = std::min(node->Position, count) - 1;
    if (p >= 0) {
      node->Position = p;
      SetCurrentFrom(node);
      return true;
    }
    node->Position = -1;
    return false;
  }
  if (node->Position >= count) node->Position = count - 1;
  while (node->Position >= 0) {
    bool fresh = false;
    GSobjIndexKey* child = LoadChild(node, node->Position, &fresh);
    if (child) {
      if (fresh) child->Position = child->IsLeaf() ? int(child->Count()) : int(child->Count()) - 1;
      if (PriorEntry(child)) return true;
    }
    node->Position = std::min(node->Position, int(node->Count())) - 1;
  }
  node->Position = 0;
  return false;
}

bool GSobjIndexTag::CurrentEntry(GSobjIndexKey* node) {
  while (node) {
    if (node->Position < 0 || size_t(node->Position) >= node->Count()) return false;
    if (node->IsLeaf()) {
      SetCurrentFrom(node);
      return true;
    }
    node = LoadChild(node, node->Position, nullptr);
  }
  return false;
}

bool GSobjIndexTag::PositionFlags(GSobjIndexKey* node) {
  bool first = true, last = true;
  GSobjIndexKey* top = node;
  bool found = false;
  while (node) {
    int p = node->Position;
    if (p < 0 || size_t(p) >= node->Count()) break;
    first = first && p == 0;
    last = last && size_t(p) + 1 == node->Count();
    if (node->IsLeaf()) {
      SetCurrentFrom(node);
      found = true;
      break;
    }
    node = LoadChild(node, p, nullptr);
  }
  top->AtFirst = first;
  top->AtLast = last;
  return found;
}

// ---------------------------------------------------------------- changing nodes

void GSobjIndexTag::InsertEntry(GSobjIndexKey* node, const GSobjIndexKeyData& entry, bool after) {
  GSobjIndexKey* n = PathEnd(node);
  if (!n->IsLeaf()) {
    if (n->Count() != 0 || n->Parent) Damaged("the node path ends above the leaves");
    // An interior root emptied by deletions starts again as an empty leaf.
    n->Kind = kNodeLeaf;
    n->MutableData().leaf = true;
  }
  if (after) ++n->Position;
  n->Position = std::clamp(n->Position, 0, int(n->Count()));
  const uint8_t* kb = entry.Value.Data();
  uint32_t kl = entry.Value.Length();
  if (n->Parent && size_t(n->Position) == n->Count())
    ReplaceParentKey(n, kb, kl, entry.RecordNumber);
  n->InsertEntryAt(size_t(n->Position), kb, kl, entry.RecordNumber, entry.TreePointer);
  n->Changed = true;
}

void GSobjIndexTag::DeleteEntry(GSobjIndexKey* node) {
  GSobjIndexKey* n = PathEnd(node);
  GSobjIndexKey* top = n;
  while (top->Parent) top = top->Parent;
  DeleteAt(n);
  // The root lost its last entry: it becomes an empty leaf; the emptied nodes
  // below it are still written (empty) before they go. Done once the deletion
  // has climbed the whole path, so that no node on it is freed while in use.
  if (top->Count() == 0 && !top->IsLeaf()) {
    if (top->Child) DestroySubtree(top->Child);
    top->Kind = kNodeLeaf;
    top->MutableData().leaf = true;
    top->Position = 0;
  }
}

void GSobjIndexTag::DeleteAt(GSobjIndexKey* n) {
  if (n->Position < 0 || size_t(n->Position) >= n->Count()) return;
  n->Changed = true;
  bool was_last = size_t(n->Position) + 1 == n->Count();
  n->RemoveEntryAt(size_t(n->Position));
  n->Position = std::max(0, std::min(n->Position, int(n->Count()) - 1));
  if (was_last && n->Parent) {
    if (n->Count() == 0) {
      // An emptied root frees the path below it, this node included.
      DropFromParent(n);
      return;
    } else {
      size_t l = n->Count() - 1;
      ReplaceParentKey(n, n->KeyBytes(l), n->KeyLength(l), n->RecordAt(l));
    }
  }
}

void GSobjIndexTag::DropFromParent(GSobjIndexKey* node) {
  GSobjIndexKey* p = node->Parent;
  if (!p) return;
  int j = p->FindPointer(node->Page);
  if (j < 0) return;
  p->Position = j;
  DeleteAt(p);
}

void GSobjIndexTag::ReplaceParentKey(GSobjIndexKey* node, const uint8_t* key, uint32_t length,
                                     int32_t record) {
  GSobjIndexKey* p = node->Parent;
  if (!p) return;
  int j = p->FindPointer(node->Page);
  bool was_last;
  if (j >= 0) {
    was_last = size_t(j) + 1 == p->Count();
    p->RemoveEntryAt(size_t(j));
    p->InsertEntryAt(size_t(j), key, length, record, node->Page);
  } else {
    p->InsertEntryAt(p->Count(), key, length, record, node->Page);
    was_last = true;
  }
  p->Changed = true;
  if (was_last && p->Parent) ReplaceParentKey(p, key, length, record);
}

void GSobjIndexTag::AddToParent(GSobjIndexKey* node, const uint8_t* key, uint32_t length,
                                int32_t record, int32_t pointer) {
  if (!node->Parent) {
    MakeRoot(node);
    node->OwnsParent = true;
  }
  GSobjIndexKey* p = node->Parent;
  int j = p->FindPointer(node->Page);
  if (j < 0) j = int(p->Count());
  p->InsertEntryAt(size_t(j), key, length, record, pointer);
  p->Changed = true;
  p->Position = std::min(j + 1, int(p->Count()) - 1);
  node->Split = true;
}

void GSobjIndexTag::MakeRoot(GSobjIndexKey* node) {
  if (node != root_.get()) Damaged("a node outside the loaded path was split as the root");
  auto r = std::make_unique<GSobjIndexKey>(this, nullptr, 0, kNodeNewRoot, 0);
  r->Page = file_->AllocatePage();
  if (node->Count() > 0) {
    size_t l = node->Count() - 1;
    r->InsertEntryAt(0, node->KeyBytes(l), node->KeyLength(l), node->RecordAt(l), node->Page);
  } else {
    r->InsertEntryAt(0, nullptr, 0, 0, node->Page);
  }
  r->Changed = true;
  r->Position = 0;
  node->Parent = r.get();
  for (GSobjIndexKey* n = node; n; n = n->Child.get()) n->Depth += 1;
  r->Child = std::move(root_);
  root_ = std::move(r);
  root_pointer_ = root_->Page;
  header_changed_ = true;
}

// ---------------------------------------------------------------- navigation

void GSobjIndexTag::CheckRange() {
  if (!range_set_ || bof_ || eof_ || updating_) return;
  const uint8_t* cb = current_.Value.Data();
  uint32_t cl = current_.Value.Length();
  if (!range_high_.Value.Empty() &&
      CompareKeys(range_high_.Value.Data(), range_high_.Value.Length(), cb, cl, 0) == -1)
    eof_ = true;
  else if (!range_low_.Value.Empty() &&
           CompareKeys(range_low_.Value.Data(), range_low_.Value.Length(), cb, cl, 0) == 1)
    bof_ = true;
}

int32_t GSobjIndexTag::FinishMove() {
  if (bof_ || eof_) {
    current_.RecordNumber = 0;
    if (descending_traversal_) std::swap(bof_, eof_);
    return 0;
  }
  return current_.TreePointer;
}

int32_t GSobjIndexTag::Navigate(int32_t direction) {
  // A move from the current key starts there.
  if (path_off_current_ && direction != kNavFirst && direction != kNavLast) ReturnToCurrent();
  current_.RecordNumber = 0;
  // No path loaded (released by a rebuild that was stopped): the ends are found
  // from the root; a step from nowhere is the end, never a silent 0 that a walk
  // would take for a key without a record and step past for ever.
  if (!root_ && (direction == kNavFirst || direction == kNavLast)) FreshTree();
  if (!root_) {
    bof_ = eof_ = true;
    return 0;
  }
  if (range_empty_) {
    bof_ = eof_ = true;
    return 0;
  }
  BeginOperation();
  if (descending_traversal_) {
    switch (direction) {
      case kNavFirst:
        direction = kNavLast;
        break;
      case kNavLast:
        direction = kNavFirst;
        break;
      case kNavNext:
        direction = kNavPrior;
        break;
      case kNavPrior:
        direction = kNavNext;
        break;
      default:
        break;
    }
  }
  bof_ = eof_ = false;
  switch (direction) {
    case kNavCurrent: {
      bool found = CurrentEntry(root_.get());
      bof_ = eof_ = !found;
      CheckRange();
      break;
    }
    case kNavFirst: {
      FreshTree();
      if (!root_) return 0;
      if (range_low_.Value.Empty() || updating_) {
        bof_ = !FirstEntry(root_.get());
      } else {
        int r = SearchNode(root_.get(), kAnyRecord, range_low_, 0);
        eof_ = r == 1;
        if (!eof_) PositionFlags(root_.get());
      }
      CheckRange();
      bof_ = bof_ || eof_;
      eof_ = bof_;
      break;
    }
    case kNavLast: {
      FreshTree();
      if (!root_) return 0;
      if (range_high_.Value.Empty() || updating_) {
        eof_ = !LastEntry(root_.get());
      } else {
        int r = SearchNode(root_.get(), kAfterEqualKeys, range_high_, 1);
        if (r < 0)
          eof_ = !PriorEntry(root_.get());
        else if (r == 0)
          PositionFlags(root_.get());
        else
          eof_ = !LastEntry(root_.get());
      }
      CheckRange();
      eof_ = eof_ || bof_;
      bof_ = eof_;
      break;
    }
    // Most steps stay inside the loaded leaf; the same move without descending.
    case kNavPrior:
      bof_ = !(StepLeaf(false) || PriorEntry(root_.get()));
      CheckRange();
      break;
    case kNavNext:
      eof_ = !(StepLeaf(true) || NextEntry(root_.get()));
      CheckRange();
      break;
    default:
      return 0;
  }
  return FinishMove();
}

int GSobjIndexTag::RangeStatus() {
  if (range_empty_) return 1;
  if (!range_set_ || updating_) return 0;
  if (eof_) return 1;
  if (bof_) return -1;
  const uint8_t* cb = current_.Value.Data();
  uint32_t cl = current_.Value.Length();
  int r = range_high_.Value.Empty()
              ? 0
              : CompareKeys(range_high_.Value.Data(), range_high_.Value.Length(), cb, cl, 0);
  if (r == 0 && range_high_flag_) r = 1;
  if (r <= 0) return r;
  int c = range_low_.Value.Empty()
              ? 0
              : CompareKeys(range_low_.Value.Data(), range_low_.Value.Length(), cb, cl, 0);
  if (c == 0 && range_low_flag_) c = -1;
  return c + 1;
}

int32_t GSobjIndexTag::Find(const GSobjIndexKeyData& key) {
  if (Table()) file_->SetExact(Table()->exact_comparison);
  current_.RecordNumber = 0;
  // A fresh tree positioned on the first key (LoadTree(0)) would do; the first
  // key only shows when the search finds nothing, so it is taken then.
  FreshTree();
  if (!root_) return 0;
  BeginOperation();
  GSobjIndexKeyData& k = search_key_;
  k.Assign(key);
  NormalizeKey(k);
  bof_ = eof_ = false;
  int mode = (file_->Exact() || updating_) ? -1 : 0;
  int r = SearchNode(root_.get(), k.RecordNumber, k, mode);
  if (r < 0) {
    PositionFlags(root_.get());
    if (RangeStatus() == -1) eof_ = true;
    return 0;
  }
  if (r == 0) {
    PositionFlags(root_.get());
    if (RangeStatus() == 0) return current_.RecordNumber;
    eof_ = true;
    return 0;
  }
  TakeFirstKey();
  eof_ = true;
  return 0;
}

void GSobjIndexTag::TakeFirstKey() {
  // A fresh path gives the first key and goes; the searched path comes back.
  std::unique_ptr<GSobjIndexKey> searched = std::move(root_);
  {
    TgsScopeExit restore([&] { root_ = std::move(searched); });
    LoadTree(0);
    ReleaseTree();
  }
  bof_ = false;
}

bool GSobjIndexTag::StepLeaf(bool forward) {
  GSobjIndexKey* n = root_.get();
  while (!n->IsLeaf()) {
    GSobjIndexKey* c = n->Child.get();
    if (!c || c->Split || n->Position < 0 || size_t(n->Position) >= n->Count() ||
        n->PointerAt(size_t(n->Position)) != c->Page)
      return false;
    n = c;
  }
  int count = int(n->Count());
  int p = forward ? std::max(n->Position, -1) + 1 : std::min(n->Position, count) - 1;
  if (p < 0 || p >= count) return false;
  n->Position = p;
  SetCurrentFrom(n);
  return true;
}

int GSobjIndexTag::UpcomingRecords(int32_t* out, int max, bool forward) const {
  GSobjIndexKey* leaf = PathEnd(root_.get());
  if (path_off_current_ || !leaf || !leaf->IsLeaf() || leaf->Lazy() || leaf->Page <= 0) return 0;
  // Stored order runs backwards for a descending tag walked forwards.
  int step = (forward != descending_traversal_) ? 1 : -1;
  int n = 0;
  for (int i = leaf->Position + step; n < max && i >= 0 && size_t(i) < leaf->Count(); i += step)
    out[n++] = leaf->PointerAt(size_t(i));
  return n;
}

int32_t GSobjIndexTag::Lookup(const GSobjIndexKeyData& key) {
  file_->SetExact(true);
  // The search runs on a fresh path of its own; the current one comes back.
  std::unique_ptr<GSobjIndexKey> saved_root = std::move(root_);
  GSobjIndexKeyData saved;
  saved.Assign(current_);
  bool saved_bof = bof_, saved_eof = eof_, saved_off = path_off_current_;
  int32_t result = 0;
  {
    TgsScopeExit restore([&] {
      root_ = std::move(saved_root);
      current_.Assign(saved);
      path_off_current_ = saved_off;
    });
    result = Find(key);
    ReleaseTree();
  }
  bof_ = saved_bof;
  eof_ = saved_eof;
  return result;
}

void GSobjIndexTag::ReturnToCurrent() {
  path_off_current_ = false;
  if (!root_) return;
  GSobjIndexKeyData& k = insert_key_;
  k.Assign(current_);
  const bool saved_bof = bof_, saved_eof = eof_;
  BeginOperation();
  if (k.RecordNumber > 0) {
    if (SearchNode(root_.get(), k.RecordNumber, k, -1) == 0 && PositionFlags(root_.get())) {
      bof_ = saved_bof;
      eof_ = saved_eof;
    } else {
      LoadTree(1);  // the key went meanwhile: as after any change
    }
    return;
  }
  if (!saved_bof && !saved_eof) {
    LoadTree(1);
    return;
  }
  // At an end: the path stands before the first key or after the last one, as a
  // move that ran off that end leaves it (ends are in stored order).
  const bool start = descending_traversal_ ? saved_eof : saved_bof;
  if (start ? FirstEntry(root_.get()) : LastEntry(root_.get())) {
    GSobjIndexKey* leaf = PathEnd(root_.get());
    leaf->Position = start ? -1 : int(leaf->Count());
  }
  current_.Assign(k);
  bof_ = saved_bof;
  eof_ = saved_eof;
}

int32_t GSobjIndexTag::Resync(int32_t record_number) {
  if (current_.RecordNumber != record_number)
    LoadTree(1);
  else if (path_off_current_)
    ReturnToCurrent();
  return current_.RecordNumber;
}

void GSobjIndexTag::ClearRange() {
  range_low_.Clear();
  range_high_.Clear();
  range_low_flag_ = range_high_flag_ = false;
  range_empty_ = false;
  range_set_ = false;
}

int32_t GSobjIndexTag::SetRange(const GSobjIndexKeyData* low, bool low_flag, bool high_flag,
                                const GSobjIndexKeyData* high) {
  ClearRange();
  range_low_flag_ = low_flag;
  range_high_flag_ = high_flag;
  if (low && !low->Value.Empty()) {
    range_low_.Assign(*low);
    NormalizeKey(range_low_);
  }
  if (high && !high->Value.Empty()) {
    range_high_.Assign(*high);
    NormalizeKey(range_high_);
  }
  range_set_ = !range_low_.Value.Empty() || !range_high_.Value.Empty();
  return Navigate(kNavFirst);
}

// ---------------------------------------------------------------- key maintenance

bool GSobjIndexTag::InsertKey(GSobjIndexKeyData& key) {
  if (!updating_) LoadTree(0);
  if (!root_) return false;
  BeginOperation();
  GSobjIndexKeyData k;
  k.Assign(key);
  NormalizeKey(k);
  k.TreePointer = k.RecordNumber;
  bof_ = eof_ = false;
  const int32_t tie = InsertTie(k);
  if (unique_ && SearchNode(root_.get(), kAnyRecord, k, -1) == 0) return false;
  int r = SearchNode(root_.get(), tie, k, -1);
  if (r <= 0) {
    InsertEntry(root_.get(), k, false);
    if (!updating_) {
      LoadTree(0);
      if (!root_) return true;
      SearchNode(root_.get(), tie, k, -1);
      if (tie == kAfterEqualKeys) PriorEntry(root_.get());
      PositionFlags(root_.get());
      bof_ = root_->AtFirst;
      eof_ = root_->AtLast;
      if (descending_traversal_) std::swap(bof_, eof_);
    }
  } else {
    LastEntry(root_.get());
    InsertEntry(root_.get(), k, true);
    if (!updating_) {
      LoadTree(0);
      if (!root_) return true;
      LastEntry(root_.get());
      if (descending_traversal_)
        bof_ = true;
      else
        eof_ = true;
    }
  }
  return true;
}

bool GSobjIndexTag::DeleteKey(const GSobjIndexKeyData& key) {
  LoadTree(2);
  if (!root_) return false;
  GSobjIndexKeyData k;
  k.Assign(key);
  NormalizeKey(k);
  bool found = SearchNode(root_.get(), k.RecordNumber, k, -1) == 0;
  if (found) DeleteEntry(root_.get());
  ReleaseTree();
  return found;
}

int32_t GSobjIndexTag::InsertTie(const GSobjIndexKeyData& k) const {
  return file_->RecordNumberInKey() ? k.RecordNumber : (negate_compare_ ? 0 : kAfterEqualKeys);
}

void GSobjIndexTag::ReadKeyPaths(int32_t record_number, bool is_append) {
  prepared_.leaf = nullptr;
  GSO_dBaseFld* t = Table();
  if (!t || !key_handler_ || !key_handler_->HasExpression()) return;
  if (is_append && file_->CacheEnabled()) {
    PrepareAppend();
    return;
  }
  GSobjIndexKeyData now, before;
  if (!EvaluateKeyInto(now)) return;
  bool evaluated = false;
  if (!is_append) {
    t->SetCurrentRecord(t->SavedRecord());
    TgsScopeExit back([&] { t->SetCurrentRecord(nullptr); });
    evaluated = EvaluateKeyInto(before);
  }
  // An appended record comes after every record there is.
  int32_t record = is_append ? kAfterEqualKeys : record_number;
  now.RecordNumber = now.TreePointer = record;
  NormalizeKey(now);
  // The search runs on a path of its own, as Lookup's does.
  std::unique_ptr<GSobjIndexKey> saved_root = std::move(root_);
  GSobjIndexKeyData saved;
  saved.Assign(current_);
  bool saved_bof = bof_, saved_eof = eof_, saved_off = path_off_current_;
  TgsScopeExit restore([&] {
    root_.reset();
    root_ = std::move(saved_root);
    current_.Assign(saved);
    bof_ = saved_bof;
    eof_ = saved_eof;
    path_off_current_ = saved_off;
  });
  LoadTree(2);
  if (!root_) return;
  SearchNode(root_.get(), record, now, -1);
  if (evaluated) {
    before.RecordNumber = before.TreePointer = record_number;
    NormalizeKey(before);
    LoadTree(2);
    if (root_) SearchNode(root_.get(), record_number, before, -1);
  }
}

// An append to a file no other process changes: one search per tag finds the
// new key's place before the record is written, checking every node on the way,
// and the insert after the write takes that place. The path stays loaded from
// one append to the next (its upper nodes are met again; a changed leaf is
// written when the path leaves it, or when the handler writes the changes).
void GSobjIndexTag::PrepareAppend() {
  GSobjIndexKeyData& k = prepared_key_;
  if (!EvaluateKeyInto(k)) return;
  k.RecordNumber = k.TreePointer = Table()->RecordCount() + 1;
  NormalizeKey(k);
  if (!root_ || root_->Page != root_pointer_ || root_->Split) LoadTree(2);
  if (!root_) return;
  BeginOperation();
  path_off_current_ = true;
  const int r = SearchNode(root_.get(), InsertTie(k), k, -1);
  GSobjIndexKey* leaf = PathEnd(root_.get());
  prepared_ = PreparedInsert{leaf, leaf->Page, leaf->Position, k.RecordNumber, r};
}

bool GSobjIndexTag::InsertPrepared(const GSobjIndexKeyData& now) {
  const PreparedInsert p = prepared_;
  prepared_.leaf = nullptr;
  if (!p.leaf || unique_ || !root_ || now.RecordNumber != p.record) return false;
  GSobjIndexKey* leaf = PathEnd(root_.get());
  if (leaf != p.leaf || leaf->Page != p.page || leaf->Position != p.position) return false;
  GSobjIndexKeyData& k = insert_key_;
  k.Assign(now);
  NormalizeKey(k);
  k.TreePointer = k.RecordNumber;
  const TgsVariant& a = k.Value;
  const TgsVariant& b = prepared_key_.Value;
  if (a.Type() != b.Type() || a.Length() != b.Length() ||
      (a.Length() > 0 && std::memcmp(a.Data(), b.Data(), a.Length()) != 0))
    return false;
  BeginOperation();
  bof_ = eof_ = false;
  if (p.result <= 0) {
    InsertEntry(root_.get(), k, false);
  } else {
    LastEntry(root_.get());
    InsertEntry(root_.get(), k, true);
  }
  // The path stands on the new key, which becomes the current one: the
  // controlling tag is positioned without a search. A range may leave the key
  // outside; then the repositioning decides.
  if (!range_set_) SetCurrentFrom(PathEnd(root_.get()));
  return true;
}

bool GSobjIndexTag::KeepKeys(int32_t record_number, bool is_append) {
  key_written_ = false;
  GSO_dBaseFld* t = Table();
  if (!t || !key_handler_ || !key_handler_->HasExpression()) return false;
  updating_ = true;
  TgsScopeExit end_update([&] { updating_ = false; });
  bool for_ok = has_for_ ? EvaluateFor() : true;
  GSobjIndexKeyData now;
  if (!EvaluateKeyInto(now)) return false;
  now.RecordNumber = now.TreePointer = record_number;
  bool had_tree = root_ != nullptr;
  if (is_append) {
    if (for_ok) {
      if (!InsertPrepared(now)) {
        LoadTree(2);
        InsertKey(now);
      }
      key_written_ = true;
    }
    prepared_.leaf = nullptr;
  } else {
    GSobjIndexKeyData before;
    bool evaluated;
    {
      // The old key is evaluated over the record as it was before the change.
      t->SetCurrentRecord(t->SavedRecord());
      TgsScopeExit back([&] { t->SetCurrentRecord(nullptr); });
      evaluated = EvaluateKeyInto(before);
    }
    before.RecordNumber = before.TreePointer = record_number;
    bool found = evaluated && Find(before) != 0;
    GSobjIndexKeyData a, b;
    a.Assign(now);
    NormalizeKey(a);
    bool same = false;
    if (evaluated) {
      b.Assign(before);
      NormalizeKey(b);
      same =
          a.Value.Type() == b.Value.Type() &&
          CompareKeys(a.Value.Data(), a.Value.Length(), b.Value.Data(), b.Value.Length(), -1) == 0;
    }
    if (!root_) LoadTree(2);
    if (same && for_ok) {
      if (!found) InsertKey(now);
    } else {
      if (found) DeleteEntry(root_.get());
      if (for_ok) InsertKey(now);
    }
    key_written_ = true;
  }
  if (!had_tree) ReleaseTree();
  return key_written_;
}

}  // namespace devazoz
