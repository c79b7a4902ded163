#include "engine/index/gs6_indx.h"

#include <algorithm>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_glbl.h"
#include "engine/foundation/gs6_os.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/codepage.h"

namespace devazoz {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::string Upper(std::string s) {
  for (char& c : s) c = char(platform::AnsiUpperChar(uint8_t(c)));
  return s;
}

// The name part of a path (after the last separator).
std::string NamePart(const std::string& path) {
  size_t slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryPart(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool HasExtension(const std::string& path) { return NamePart(path).find('.') != std::string::npos; }

size_t NodeBytes(const NodeData& d) {
  return sizeof(NodeData) + d.entries.capacity() * sizeof(NodeEntry) + d.pool.capacity() + 64;
}

}  // namespace

GSobjIndexFile::GSobjIndexFile(GSO_dBaseFld* table) : table_(table) {
  exact_ = table ? table->exact_comparison : true;
  if (table) SetLockProtocol(int(table->LockProtocol()));
}

GSobjIndexFile::~GSobjIndexFile() {
  // Tags release their trees (writing what changed) as the list frees them.
  tags_.FreeAll();
}

bool GSobjIndexFile::AddTag(const std::string&, const std::string&, bool, bool,
                            const std::string&) {
  return false;
}

bool GSobjIndexFile::DeleteTag(const std::string&) { return false; }

void GSobjIndexFile::ReportError(int32_t code, int32_t sub_code, const char* info) {
  std::string shown = disk_ ? disk_->ShownInfo(info) : std::string(info ? info : "");
  if (table_)
    table_->ReportError(code, sub_code, shown.c_str());
  else
    ReportEngineError(code, sub_code, shown);
}

int32_t GSobjIndexFile::AllocatePage() { return -1; }
int32_t GSobjIndexFile::ResetAllocator() { return -1; }

bool GSobjIndexFile::ReadBlock(int32_t position, void* buffer, int32_t length) {
  if (!disk_ || position < 0 || length < 0) return false;
  return disk_->ReadAt(position, buffer, length) == length;
}

bool GSobjIndexFile::WriteBlock(int32_t position, const void* buffer, int32_t length) {
  if (!disk_ || position < 0 || length < 0) return false;
  for (int32_t p = position - position % node_size_; p < position + length; p += node_size_)
    ForgetNode(p);
  disk_->WriteAt(position, buffer, length);
  known_size_ = std::max<int64_t>(known_size_, int64_t(position) + length);
  return true;
}

bool GSobjIndexFile::WriteBlockInOrder(int32_t position, const void* buffer, int32_t length) {
  if (disk_) disk_->WritePending();
  bool written = WriteBlock(position, buffer, length);
  if (disk_) disk_->WritePending();
  return written;
}

void GSobjIndexFile::WriteChanges() {
  for (size_t i = 0; i < tags_.Count(); ++i) {
    auto* tag = static_cast<GSobjIndexTag*>(tags_.At(i));
    if (tag->HoldsChanges()) {
      tag->ReleaseTree();
      tag->WriteHeldLeaves();
    }
  }
  if (disk_) disk_->WritePending();
}

void GSobjIndexFile::RebuildAll() {}

// Rebuilding an index file so that neither a crash nor a full disk loses it.
//
// A rebuild writes the whole file anew. Written over the old file, a process killed
// half-way, or a disk that fills up, would leave a file that lost its tags. So the
// new file is written from empty beside the old one, under the scratch name
// NAME.tmp; its bytes are synced to the disk, it is renamed over the old name in one
// step and the directory is synced (GSO_DiskFile::ReplaceWith), after which the
// index's disk file object works on the new file under the old name. Until the
// rename the old file stands untouched, and after it the new one is complete: a
// crash leaves one or the other (and at worst a stale scratch file, which the next
// rebuild overwrites). A failure before the rename (a full disk) deletes the scratch
// file, gives the old file back to the index and rereads the tags' state from it.
//
// A file open for shared use (or whose handle other objects of this process share)
// is rewritten in place under the whole-file lock, as the others would go on using
// the old file after a rename; such a rebuild is not safe against a crash.
void GSobjIndexFile::RewriteWhole(const std::function<void()>& write_all,
                                  const std::function<void()>& reread) {
  if (!disk_) return;
  // Leaves held back go to the old file first, which comes back whole should
  // the rebuild fail; when they cannot, the rebuild makes them needless.
  for (size_t i = 0; i < tags_.Count(); ++i) {
    auto* tag = static_cast<GSobjIndexTag*>(tags_.At(i));
    try {
      tag->WriteHeldLeaves();
    } catch (...) {
      tag->DiscardHeldLeaves();
    }
  }
  if (!disk_->CanBeReplaced()) {
    const int32_t failures = disk_->Failures();
    write_all();
    if (disk_ && disk_->Failures() == failures) {
      ClearStale();
      // Written anew from the table: what was damaged is gone.
      damage_.clear();
    }
    return;
  }
  // Whatever this file still holds in memory reaches it first: should the rebuild
  // fail, the old file is what stays.
  for (size_t i = 0; i < tags_.Count(); ++i)
    static_cast<GSobjIndexTag*>(tags_.At(i))->ReleaseTree();
  disk_->WritePending();
  std::string scratch_name = disk_->ScratchName();
  auto scratch = std::make_unique<GSO_DiskFile>(scratch_name, true, false);
  scratch->CreateFile();
  if (scratch->Closed()) return;
  scratch->HoldWrites(uint32_t(node_size_));
  std::unique_ptr<GSO_DiskFile> old = std::move(disk_);
  disk_ = std::move(scratch);
  bool replaced = false;
  try {
    write_all();
    if (disk_->Failures() == 0) {
      if (defer_replace_) {
        disk_->WritePending();
        deferred_old_ = std::move(old);
        deferred_scratch_name_ = scratch_name;
        deferred_reread_ = reread;
        return;
      }
      replaced = old->ReplaceWith(*disk_);
    }
  } catch (...) {
    PutBack(std::move(old), scratch_name, reread);
    throw;
  }
  if (!replaced) {
    PutBack(std::move(old), scratch_name, reread);
    return;
  }
  disk_ = std::move(old);
  ClearStale();
  // Written anew from the table: what was damaged is gone.
  damage_.clear();
}

bool GSobjIndexFile::CommitRewrite() {
  if (!deferred_old_) return false;
  for (size_t i = 0; i < tags_.Count(); ++i)
    static_cast<GSobjIndexTag*>(tags_.At(i))->ReleaseTree();
  if (!deferred_old_->ReplaceWith(*disk_)) return false;
  disk_ = std::move(deferred_old_);
  deferred_reread_ = nullptr;
  ClearStale();
  damage_.clear();
  return true;
}

void GSobjIndexFile::AbandonRewrite() {
  if (!deferred_old_) return;
  std::function<void()> reread = std::move(deferred_reread_);
  deferred_reread_ = nullptr;
  PutBack(std::move(deferred_old_), deferred_scratch_name_, reread);
}

void GSobjIndexFile::PutBack(std::unique_ptr<GSO_DiskFile> old, const std::string& scratch_name,
                             const std::function<void()>& reread) {
  // Trees still loaded belong to the scratch file: they are written there, not into
  // the old file, before it comes back.
  for (size_t i = 0; i < tags_.Count(); ++i) {
    try {
      static_cast<GSobjIndexTag*>(tags_.At(i))->ReleaseTree();
    } catch (...) {
    }
  }
  if (disk_ && !disk_->Closed()) disk_->CutBack(0);
  disk_.reset();
  int32_t err = 0;
  os::RemoveFile(scratch_name, err);
  disk_ = std::move(old);
  DropNodeCache();
  next_free_ = -1;
  try {
    known_size_ = disk_->FileSize();
    reread();
  } catch (...) {
    SetHeaderError("Index file " + file_name_ + " could not be read again after a failed rebuild");
  }
}

void GSobjIndexFile::CreateOrRemove(const std::function<void()>& write_new) {
  try {
    write_new();
    if (disk_ && disk_->Failures() == 0) return;
  } catch (...) {
    RemoveUnwritten();
    throw;
  }
  RemoveUnwritten();
}

void GSobjIndexFile::RemoveUnwritten() {
  if (!disk_) return;
  std::string path = disk_->RealPath();
  if (!disk_->Closed()) disk_->CutBack(0);
  disk_.reset();
  int32_t err = 0;
  os::RemoveFile(path, err);
  valid_ = false;
  if (error_text_.empty()) error_text_ = "Index file " + file_name_ + " could not be written";
}

void GSobjIndexFile::MarkProductionIndex() {
  if (!table_ || table_->has_production_index || !disk_) return;
  auto base = [](const std::string& path) {
    std::string name = Upper(NamePart(path));
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
  };
  if (base(file_name_) != base(table_->FileName())) return;
  table_->has_production_index = true;
  table_->MarkHeaderDirty();
  table_->WriteHeader();
}

bool GSobjIndexFile::RenameExtension(const std::string& new_name) {
  if (!disk_) return false;
  std::string own = NamePart(disk_->FileName());
  size_t dot = own.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : own.substr(dot);
  std::string target = new_name;
  size_t tdot = NamePart(target).rfind('.');
  if (tdot != std::string::npos)
    target = target.substr(0, target.size() - NamePart(target).size() + tdot);
  target += ext;
  if (!disk_->Rename(target)) return false;
  file_name_ = Upper(NamePart(disk_->FileName()));
  return true;
}

void GSobjIndexFile::MarkDamaged(const std::string& what) {
  if (damage_.empty()) damage_ = what.empty() ? std::string("damaged") : what;
}

void GSobjIndexFile::RefuseWriteIfDamaged() const {
  if (damage_.empty()) return;
  throw EDevazozError("Index file " + ShownPath() +
                      " is damaged and is not changed: reindex it first (" + damage_ + ")");
}

void GSobjIndexFile::CheckKeyPaths(int32_t record_number, bool is_append) {
  RefuseWriteIfDamaged();
  for (size_t i = 0; i < tags_.Count(); ++i)
    static_cast<GSobjIndexTag*>(tags_.At(i))->ReadKeyPaths(record_number, is_append);
}

std::string GSobjIndexFile::ShownPath() const { return disk_ ? disk_->RealPath() : file_name_; }

bool GSobjIndexFile::UpdateKeys(int32_t record_number, bool is_append) {
  RefuseWriteIfDamaged();
  // Another program may have grown a shared file since the last allocation.
  if (!disk_ || disk_->Shared()) next_free_ = -1;
  for (size_t i = 0; i < tags_.Count(); ++i)
    static_cast<GSobjIndexTag*>(tags_.At(i))->KeepKeys(record_number, is_append);
  return true;
}

bool GSobjIndexFile::ChangedByOther() { return false; }

void GSobjIndexFile::SetLockProtocol(int protocol) {
  switch (protocol) {
    case 1:
      lock_base_ = 0x40000000;
      record_anchor_ = 0xEFFFFFFF;
      file_lock_length_ = 0xB0000000;
      break;
    case 2:
      lock_base_ = record_anchor_ = file_lock_length_ = 1000000000;
      break;
    case 0:
    case 3:
      lock_base_ = 0x40000000;
      record_anchor_ = 0x7FFFFFFE;
      file_lock_length_ = 0x3FFFFFFF;
      break;
    default:
      return;
  }
  lock_protocol_ = protocol;
}

std::unique_ptr<GSO_DiskFile> GSobjIndexFile::OpenIndexDiskFile(
    GSO_dBaseFld* table, const std::string& name, bool overwrite, bool create, bool read_write,
    bool shared, const std::string& default_extension, std::string* name_part, bool* created) {
  if (created) *created = false;
  std::string path = Trim(name);
  if (path.empty()) return nullptr;
  if (!HasExtension(path)) path += default_extension;
  if (DirectoryPart(path).empty() && table) path = DirectoryPart(table->FileName()) + path;
  if (name_part) *name_part = Upper(NamePart(path));
  std::string absolute = GSO_DiskFile::MakeAbsolute(path);
  bool exists = os::Exists(os::ResolvePath(absolute));
  if (create && (overwrite || !exists)) {
    auto disk = std::make_unique<GSO_DiskFile>(absolute, true, false);
    disk->CreateFile();
    if (disk->Closed()) return nullptr;
    if (created) *created = true;
    return disk;
  }
  if (!exists) return nullptr;
  auto disk = std::make_unique<GSO_DiskFile>(absolute, read_write, shared);
  disk->Open();
  if (disk->Closed()) return nullptr;
  return disk;
}

std::string GSobjIndexFile::UpperBaseName(const std::string& path) {
  std::string name = NamePart(path);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return Upper(name);
}

int32_t GSobjIndexFile::RoundUpToNode(int64_t size) const {
  const int64_t node = node_size_;
  return int32_t(std::min<int64_t>((size + node - 1) / node * node, 0x7FFFFFFF / node * node));
}

bool GSobjIndexFile::OpenDisk(const std::string& file_name, bool overwrite, bool create,
                              bool read_write, bool shared, const std::string& default_extension) {
  disk_ = OpenIndexDiskFile(table_, file_name, overwrite, create, read_write, shared,
                            default_extension, &file_name_, &created_);
  if (!disk_) {
    error_text_ = "Index file " + file_name + " cannot be opened";
    return false;
  }
  valid_ = true;
  // Key changes of a file no other process can change are held and written in
  // position order (see HoldWrites); tag changes reach the disk when done.
  disk_->HoldWrites(uint32_t(node_size_));
  known_size_ = disk_->FileSize();
  return true;
}

GSobjIndexTag* GSobjIndexFile::FindTag(const std::string& name) const {
  std::string wanted = Upper(Trim(name));
  for (size_t i = 0; i < tags_.Count(); ++i) {
    auto* tag = static_cast<GSobjIndexTag*>(tags_.At(i));
    if (Upper(tag->TagName()) == wanted) return tag;
  }
  return nullptr;
}

GSobjIndexTag* GSobjIndexFile::TagAt(int i) const {
  if (i < 0 || size_t(i) >= tags_.Count()) return nullptr;
  return static_cast<GSobjIndexTag*>(tags_.At(size_t(i)));
}

bool GSobjIndexFile::IsFileName(const std::string& path) const {
  return Upper(NamePart(Trim(path))) == file_name_;
}

bool GSobjIndexFile::LockIndexFile() {
  if (!disk_ || !disk_->Shared()) return true;
  uint32_t offset, length;
  switch (lock_protocol_) {
    case 1:
      offset = record_anchor_ - 1;
      length = 2;
      break;
    case 2:
      offset = lock_base_;
      length = 1;
      break;
    default:
      offset = record_anchor_ - 1;
      length = 1;
      break;
  }
  int interval = std::max<int>(1, Settings().retry_interval);
  int attempts = std::max<int>(1, Settings().lock_wait_time / interval);
  for (int i = 0; i < attempts; ++i) {
    if (disk_->LockRegion(offset, length)) return true;
    os::SleepMilliseconds(interval);
  }
  throw EDevazozError("Error " + std::to_string(disk_->LastError()) + " in Lock of " +
                      disk_->FileName());
}

void GSobjIndexFile::UnlockIndexFile() {
  if (disk_) disk_->UnlockRegion();
}

int64_t GSobjIndexFile::KnownEnd(bool refresh) {
  if (refresh && disk_) known_size_ = disk_->FileSize();
  return std::max<int64_t>(known_size_, next_free_);
}

// The node cache.
//
// Searches and walks go through the same nodes again and again: the interior
// nodes on every search, the leaves of a busy part of the tree. Decoding a node
// costs far more than finding it decoded, so the nodes of a file that no other
// process can change (opened exclusively) are kept decoded, keyed by position,
// up to Settings().index_cache_bytes. Every write of a block drops the node
// cached for it (WriteBlock), and a node about to change in place leaves the
// cache first (GSobjIndexKey::MutableData); so the cache always holds what the
// file holds. A file opened for shared use keeps nothing, as another program
// may change it at any moment.
//
// Which node goes when room is needed: a clock over the slots. A node met
// again is marked used; the hand passing a used node clears the mark, and the
// first node it finds unmarked goes. Interior nodes, met by every search, stay;
// leaves a walk passed once go first.
bool GSobjIndexFile::CacheEnabled() const {
  return disk_ && !disk_->Shared() && Settings().index_cache_bytes > 0;
}

GSobjIndexFile::CacheSlot* GSobjIndexFile::SlotOf(int32_t position) {
  if (position < 0 || position % node_size_ != 0) return nullptr;
  size_t block = size_t(position / node_size_);
  if (block >= cache_index_.size() || cache_index_[block] == 0) return nullptr;
  return &cache_slots_[cache_index_[block] - 1];
}

std::shared_ptr<NodeData> GSobjIndexFile::CachedNode(int32_t position) {
  CacheSlot* slot = SlotOf(position);
  if (!slot) return nullptr;
  slot->used = true;
  return slot->data;
}

void GSobjIndexFile::DropSlot(uint32_t slot) {
  CacheSlot& s = cache_slots_[slot];
  if (!s.data) return;
  cache_index_[size_t(s.position / node_size_)] = 0;
  cache_bytes_ -= std::min<size_t>(cache_bytes_, s.bytes);
  s.data.reset();
  s.used = false;
  free_slots_.push_back(slot);
}

void GSobjIndexFile::MakeRoom(size_t bytes, size_t limit) {
  // Two turns of the hand clear every mark and free whatever is left.
  size_t steps = 2 * cache_slots_.size() + 1;
  while (cache_bytes_ + bytes > limit && cache_bytes_ > 0 && steps-- > 0) {
    if (clock_hand_ >= cache_slots_.size()) clock_hand_ = 0;
    CacheSlot& s = cache_slots_[clock_hand_];
    if (s.data) {
      if (s.used)
        s.used = false;
      else
        DropSlot(uint32_t(clock_hand_));
    }
    ++clock_hand_;
  }
}

void GSobjIndexFile::CacheNode(int32_t position, std::shared_ptr<NodeData> data) {
  if (!CacheEnabled() || !data || position < 0 || position % node_size_ != 0) return;
  const size_t limit = Settings().index_cache_bytes;
  const size_t bytes = NodeBytes(*data);
  if (bytes > limit / 4) return;  // a node that large would crowd out the rest
  ForgetNode(position);
  MakeRoom(bytes, limit);
  uint32_t slot;
  if (!free_slots_.empty()) {
    slot = free_slots_.back();
    free_slots_.pop_back();
  } else {
    slot = uint32_t(cache_slots_.size());
    cache_slots_.emplace_back();
  }
  size_t block = size_t(position / node_size_);
  if (block >= cache_index_.size())
    cache_index_.resize(std::max(block + 1, cache_index_.size() * 2));
  cache_index_[block] = slot + 1;
  CacheSlot& s = cache_slots_[slot];
  s.data = std::move(data);
  s.position = position;
  s.bytes = uint32_t(bytes);
  s.used = false;
  cache_bytes_ += bytes;
}

std::shared_ptr<NodeData> GSobjIndexFile::KeepDecoded(int32_t position,
                                                      std::shared_ptr<NodeData> data,
                                                      GSobjIndexTag* tag) {
  if (!CacheEnabled() || !data) return data;
  // The copy takes only the room its entries need; the decoded storage keeps
  // its capacity for the next node the tag reads.
  auto kept = std::make_shared<NodeData>();
  kept->entries.assign(data->entries.begin(), data->entries.end());
  kept->pool.assign(data->pool.begin(), data->pool.end());
  kept->left = data->left;
  kept->right = data->right;
  kept->leaf = data->leaf;
  kept->params = data->params;
  if (tag) tag->RecycleNodeData(std::move(data));
  CacheNode(position, kept);
  return kept;
}

bool GSobjIndexFile::IsCached(int32_t position, const NodeData* data) {
  CacheSlot* slot = SlotOf(position);
  return slot && slot->data.get() == data;
}

void GSobjIndexFile::ForgetNode(int32_t position) {
  if (position < 0 || position % node_size_ != 0) return;
  size_t block = size_t(position / node_size_);
  if (block >= cache_index_.size() || cache_index_[block] == 0) return;
  DropSlot(cache_index_[block] - 1);
}

void GSobjIndexFile::DropNodeCache() {
  // Held leaves are of the file's old content too.
  for (size_t i = 0; i < tags_.Count(); ++i)
    static_cast<GSobjIndexTag*>(tags_.At(i))->DiscardHeldLeaves();
  cache_slots_.clear();
  cache_index_.clear();
  free_slots_.clear();
  clock_hand_ = 0;
  cache_bytes_ = 0;
}

}  // namespace devazoz
