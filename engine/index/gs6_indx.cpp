#include "engine/index/gs6_indx.h"

#include <algorithm>
#include <string>

#include "engine/foundation/gs6_eror.h"
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

// The decoded cache of an exclusively opened file never holds more than this.
constexpr size_t kCacheLimitBytes = size_t(96) << 20;

size_t NodeBytes(const NodeData& d) {
  return sizeof(NodeData) + d.entries.size() * sizeof(NodeEntry) + d.pool.size() + 64;
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
  if (!disk_->CanBeReplaced()) {
    write_all();
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
    if (disk_->Failures() == 0) replaced = old->ReplaceWith(*disk_);
  } catch (...) {
    PutBack(std::move(old), scratch_name, reread);
    throw;
  }
  if (!replaced) {
    PutBack(std::move(old), scratch_name, reread);
    return;
  }
  disk_ = std::move(old);
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
  cache_.clear();
  cache_bytes_ = 0;
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

bool GSobjIndexFile::UpdateKeys(int32_t record_number, bool is_append) {
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
    bool shared, const std::string& default_extension, std::string* name_part) {
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
                            default_extension, &file_name_);
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

bool GSobjIndexFile::CacheEnabled() const { return disk_ && !disk_->Shared(); }

std::shared_ptr<NodeData>* GSobjIndexFile::CacheSlot(int32_t position) {
  if (position < 0 || position % node_size_ != 0) return nullptr;
  size_t slot = size_t(position / node_size_);
  return slot < cache_.size() ? &cache_[slot] : nullptr;
}

std::shared_ptr<NodeData> GSobjIndexFile::CachedNode(int32_t position) {
  std::shared_ptr<NodeData>* slot = CacheSlot(position);
  return slot ? *slot : nullptr;
}

void GSobjIndexFile::CacheNode(int32_t position, std::shared_ptr<NodeData> data) {
  if (!CacheEnabled() || !data || position < 0 || position % node_size_ != 0) return;
  size_t bytes = NodeBytes(*data);
  if (cache_bytes_ + bytes > kCacheLimitBytes) {
    cache_.clear();
    cache_bytes_ = 0;
  }
  size_t slot = size_t(position / node_size_);
  if (slot >= cache_.size()) cache_.resize(std::max(slot + 1, cache_.size() * 2));
  if (cache_[slot]) cache_bytes_ -= std::min(cache_bytes_, NodeBytes(*cache_[slot]));
  cache_[slot] = std::move(data);
  cache_bytes_ += bytes;
}

bool GSobjIndexFile::IsCached(int32_t position, const NodeData* data) {
  std::shared_ptr<NodeData>* slot = CacheSlot(position);
  return slot && slot->get() == data;
}

void GSobjIndexFile::ForgetNode(int32_t position) {
  std::shared_ptr<NodeData>* slot = CacheSlot(position);
  if (!slot || !*slot) return;
  cache_bytes_ -= std::min(cache_bytes_, NodeBytes(**slot));
  slot->reset();
}

}  // namespace devazoz
