#include "engine/foundation/gs6_disk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "platform/services/codepage.h"

namespace devazoz {

// Lock order: a handle's guard, then the registry's lock, then a handle's
// lock_mutex. The registry's lock is never held while taking a guard.

// ---------------------------------------------------------------------------
// Registry

GSobjFileColl::~GSobjFileColl() {
  ReleaseAllLocks();
  FreeAll();
}

void GSobjFileColl::FreeItem(TgsObject*) {}

void GSobjFileColl::AddFile(GSO_DiskFile* file) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (IndexOf(file) < 0) Add(file);
}

void GSobjFileColl::RemoveFile(GSO_DiskFile* file) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  Remove(file);
}

int GSobjFileColl::IndexOfFile(const GSO_DiskFile* file) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return IndexOf(file);
}

GSO_DiskFile* GSobjFileColl::FindOpen(const std::string& file_name, const GSO_DiskFile* except) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  for (size_t i = 0; i < Count(); ++i) {
    // Only disk files are looked at: the list takes any object.
    auto* file = dynamic_cast<GSO_DiskFile*>(At(i));
    if (file && file != except && file->file_name_ == file_name) return file;
  }
  return nullptr;
}

void GSobjFileColl::ReleaseAllLocks() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  for (size_t i = 0; i < Count(); ++i) {
    auto* file = dynamic_cast<GSO_DiskFile*>(At(i));
    if (file && file->lock_count_ > 0) {
      file->lock_count_ = 1;
      file->ReleaseOsLock();
      file->lock_count_ = 0;
    }
  }
}

namespace {
GSobjFileColl* g_registry = nullptr;
void ShutDownRegistry() {
  if (g_registry) g_registry->ReleaseAllLocks();
}
}  // namespace

GSobjFileColl& FileRegistry() {
  static GSobjFileColl* registry = [] {
    g_registry = new GSobjFileColl();
    std::atexit(ShutDownRegistry);
    return g_registry;
  }();
  return *registry;
}

// ---------------------------------------------------------------------------
// Disk file

std::string GSO_DiskFile::MakeAbsolute(const std::string& name) {
  if (name.find("\\\\") != std::string::npos) return name;
  size_t colon = name.find(':');
  if (colon != std::string::npos && colon >= 1) return name;
  return os::ExpandFileName(name);
}

GSO_DiskFile::GSO_DiskFile(const std::string& file_name, bool read_write, bool shared)
    : shared_(shared), read_write_(read_write) {
  SetName(file_name);
  exists_ = os::Exists(real_path_);
}

GSO_DiskFile::~GSO_DiskFile() {
  // A destructor must not throw; Close itself reports nothing, but a flush it makes
  // for a handle that stays open may fail, and that failure is lost here.
  try {
    GSO_DiskFile::Close();
  } catch (...) {
  }
}

namespace {
// A full name must fit the 260-byte buffer of the file's name; a longer one is
// refused before anything is done with it.
void CheckNameLength(const std::string& absolute) {
  if (absolute.size() > kMaxPathLength)
    throw EDevazozError("File name too long (" + std::to_string(absolute.size()) +
                        " characters, at most " + std::to_string(kMaxPathLength) +
                        "): " + absolute);
}
}  // namespace

void GSO_DiskFile::SetName(const std::string& name) {
  std::string absolute = MakeAbsolute(name);
  CheckNameLength(absolute);
  given_path_ = absolute;
  file_name_ = platform::AnsiUpper(absolute);
  real_path_ = os::ResolvePath(given_path_);
}

void GSO_DiskFile::ReportLastError(int32_t sub_code) {
  if (last_error_ == 0) return;
  ++failures_;
  SetLastOsError(last_error_);
  std::string info = real_path_;
  if (!open_note_.empty()) info += " (" + open_note_ + ")";
  ReportError(last_error_, sub_code, info.c_str());
}

std::string GSO_DiskFile::ShownInfo(const char* info) const {
  std::string text = info ? info : "";
  if (file_name_.empty() || file_name_ == real_path_) return text;
  for (size_t at = text.find(file_name_); at != std::string::npos;
       at = text.find(file_name_, at + real_path_.size()))
    text.replace(at, file_name_.size(), real_path_);
  return text;
}

bool GSO_DiskFile::Close() {
  if (closed_) return true;
  std::shared_ptr<OsHandle> handle = handle_;
  {
    std::lock_guard<std::recursive_mutex> guard(handle->guard);
    if (lock_count_ > 0) {
      lock_count_ = 1;
      UnlockRegion();
      lock_count_ = 0;
      // Whatever the system said, this object's region is no longer its own.
      std::lock_guard<std::mutex> locks(handle->lock_mutex);
      std::erase_if(handle->held,
                    [this](const OsHandle::HeldRegion& r) { return r.owner == this; });
    }
    last_error_ = 0;
    bool last_user;
    {
      // Removal, the search for another user and the closing of the handle form one
      // step, so an Open meanwhile either shares the handle or finds it gone.
      GSobjFileColl& registry = FileRegistry();
      std::lock_guard<std::recursive_mutex> reg(registry.lock_);
      registry.RemoveFile(this);
      last_user = registry.FindOpen(file_name_, this) == nullptr;
      if (last_user) {
        last_error_ = WritePendingLocked();
        handle->pending.reset();
        handle->DropView();
        os::Close(handle->fd);
        handle->fd = -1;
      }
    }
    // The object lets go of the handle whether or not others still use it, so it
    // can never use a handle that the last of them closes later.
    closed_ = true;
    position_ = 0;
    handle_.reset();
    if (!last_user && dirty_) {
      // The handle stays open for the others; what this object wrote goes through
      // to the disk now.
      int32_t err = 0;
      os::Flush(handle->fd, real_path_, err);
    }
    dirty_ = false;
  }
  // Held writes that could not be given to the system are lost with the handle.
  ReportLastError(kSubWriteAt);
  return last_error_ == 0;
}

void GSO_DiskFile::ReportError(int32_t code, int32_t sub_code, const char* info) {
  ReportEngineError(code, sub_code, ShownInfo(info));
}

int64_t GSO_DiskFile::FileSize() {
  int64_t size = 0;
  last_error_ = 0;
  if (closed_) {
    last_error_ = kErrFileNotOpen;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    int32_t err = 0;
    size = os::FileSize(handle_->fd, real_path_, err);
    if (size < 0) {
      last_error_ = err;
      size = 0;
    } else if (handle_->pending) {
      size = std::max(size, handle_->pending->End());
    }
  }
  ReportLastError(kSubFileSize);
  return size;
}

void GSO_DiskFile::Flush() {
  if (closed_) return;
  {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    last_error_ = WritePendingLocked();
    if (last_error_ == 0) {
      int32_t err = 0;
      os::Flush(handle_->fd, real_path_, err);
      last_error_ = err;
      dirty_ = false;
    }
  }
  ReportLastError(kSubFlush);
}

bool GSO_DiskFile::LockWholeFile() {
  if (!shared_) return true;
  return LockRegion(0, kWholeFileLockLength);
}

namespace {
bool Overlaps(uint64_t a, uint64_t a_len, uint64_t b, uint64_t b_len) {
  return a_len > 0 && b_len > 0 && a < b + b_len && b < a + a_len;
}
}  // namespace

bool GSO_DiskFile::LockRegion(uint32_t offset, uint32_t length) {
  if (!shared_) {
    last_error_ = 0;
    ++lock_count_;
    lock_offset_ = offset;
    lock_length_ = length;
    return true;
  }
  if (lock_count_ > 0) {
    if (offset == lock_offset_ && length == lock_length_) {
      last_error_ = 0;
      ++lock_count_;
      return true;
    }
    last_error_ = kErrLockViolation;
    return false;
  }
  if (closed_) {
    last_error_ = kErrFileNotOpen;
    return false;
  }
  lock_offset_ = offset;
  lock_length_ = length;
  std::lock_guard<std::mutex> locks(handle_->lock_mutex);
  for (const OsHandle::HeldRegion& r : handle_->held) {
    if (r.owner != this && Overlaps(r.offset, r.length, offset, length)) {
      last_error_ = kErrLockViolation;
      return false;
    }
  }
  int32_t err = 0;
  if (!os::LockRange(handle_->fd, real_path_, offset, length, err)) {
    last_error_ = err;
    return false;
  }
  handle_->held.push_back({this, offset, length});
  last_error_ = 0;
  lock_count_ = 1;
  return true;
}

bool GSO_DiskFile::ReleaseOsLock() {
  last_error_ = 0;
  if (!shared_ || closed_ || !handle_) return true;
  std::lock_guard<std::mutex> locks(handle_->lock_mutex);
  int32_t err = 0;
  bool ok = os::UnlockRange(handle_->fd, real_path_, lock_offset_, lock_length_, err);
  last_error_ = err;
  if (ok)
    std::erase_if(handle_->held, [this](const OsHandle::HeldRegion& r) { return r.owner == this; });
  return ok;
}

bool GSO_DiskFile::UnlockRegion() {
  last_error_ = 0;
  if (lock_count_ > 0) {
    if (shared_ && lock_count_ == 1) ReleaseOsLock();
    if (last_error_ == 0) --lock_count_;
  }
  return last_error_ == 0;
}

void OsHandle::DropView() {
  os::Unmap(view, view_size);
  view = nullptr;
  view_size = 0;
  map_tried = false;
  os::Unmap(head, head_size);
  head = nullptr;
  head_size = 0;
  head_tried = false;
}

// The part of an exclusively opened file written through a mapping.
constexpr int64_t kHeadBytes = 4096;

uint8_t* GSO_DiskFile::HeadFor(int64_t offset, int32_t count) {
  OsHandle& h = *handle_;
  if (!h.exclusive || !h.read_write || count <= 0 || offset + count > kHeadBytes) return nullptr;
  if (!h.head_tried) {
    h.head_tried = true;
    int32_t err = 0;
    int64_t size = os::FileSize(h.fd, real_path_, err);
    // Only bytes inside the file are mapped: the file may grow, never shrink
    // (truncation drops the mapping first).
    size = std::min<int64_t>(size, kHeadBytes);
    if (err == 0 && size > 0) {
      h.head = os::MapReadWrite(h.fd, size_t(size));
      if (h.head) h.head_size = size_t(size);
    }
  }
  if (!h.head || uint64_t(offset) + uint64_t(count) > h.head_size) return nullptr;
  return h.head + offset;
}

// Held writes are given to the system once more than this waits for one file.
// Inserts into a big tag change leaves all over the file: the more are held, the
// more of them lie side by side when written, and each system call costs about
// as much as the index work of an insert. 64 MiB halved the calls of 100,000
// appends to a million-key index against 16 MiB (a fifth less time); the memory
// is only taken while that much waits.
constexpr size_t kHeldWriteLimit = size_t(64) << 20;
// Writes longer than this are never held.
constexpr size_t kLargestHeldWrite = 64 * 1024;

// Reads of this many bytes or more are never served from the view.
constexpr int32_t kLargestViewedRead = 64 * 1024;

// Only files of some size are viewed; small ones gain nothing from it.
constexpr int64_t kMinViewSize = 1 << 20;

const uint8_t* GSO_DiskFile::ViewFor(int64_t offset, int32_t count) {
  OsHandle& h = *handle_;
  if (!h.exclusive || count <= 0) return nullptr;
  if (!h.map_tried) {
    h.map_tried = true;
    int32_t err = 0;
    int64_t size = os::FileSize(h.fd, real_path_, err);
    if (err == 0 && size >= kMinViewSize && uint64_t(size) <= SIZE_MAX) {
      h.view = os::MapReadOnly(h.fd, size_t(size));
      if (h.view) h.view_size = size_t(size);
    }
  }
  if (!h.view || uint64_t(offset) + uint64_t(count) > h.view_size) return nullptr;
  return h.view + offset;
}

int32_t GSO_DiskFile::ReadAt(int64_t offset, void* buffer, int32_t count) {
  last_error_ = 0;
  bytes_done_ = 0;
  if (closed_) {
    last_error_ = kErrFileNotOpen;
  } else if (count < 0 || offset < 0 || (count > 0 && !buffer)) {
    last_error_ = kErrInvalidParameter;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    int32_t err = 0;
    int64_t n;
    // Large reads go to the system: its copy beats first touches of the view's
    // pages, which cost a fault each (an index build's pass over a table read
    // it several times slower through a fresh view).
    // Blocks held whole are the file's content there: no read of the file.
    const bool held = handle_->pending && handle_->pending->Covers(offset, size_t(count));
    const uint8_t* view = !held && count < kLargestViewedRead ? ViewFor(offset, count) : nullptr;
    if (held) {
      n = count;  // the held blocks are laid over it below
    } else if (view) {
      std::memcpy(buffer, view, size_t(count));
      n = count;
    } else {
      n = os::ReadAt(handle_->fd, real_path_, offset, buffer, size_t(count), err);
    }
    if (n >= 0 && handle_->pending && !handle_->pending->Empty()) {
      // Held blocks past the system's end make the file longer; what lies
      // between is a hole and reads as zeros.
      auto* bytes = static_cast<uint8_t*>(buffer);
      int64_t held_end = handle_->pending->End();
      if (n < count && held_end > offset + n) {
        int64_t upto = std::min<int64_t>(offset + count, held_end);
        std::memset(bytes + n, 0, size_t(upto - offset - n));
        n = upto - offset;
      }
      handle_->pending->Overlay(offset, bytes, size_t(n));
    }
    if (n < 0) {
      last_error_ = err;
    } else {
      bytes_done_ = int32_t(n);
      position_ = offset + count;
    }
  }
  ReportLastError(kSubReadAt);
  // A short read at the end of the file is no error to the caller. A failure that a
  // returning error hook let through keeps its own code.
  if (last_error_ == 0 && bytes_done_ < count) last_error_ = kErrShortRead;
  return bytes_done_;
}

void GSO_DiskFile::Prefetch(const int64_t* offsets, int count, int32_t length) {
  if (closed_ || count <= 0 || length <= 0) return;
  std::lock_guard<std::recursive_mutex> guard(handle_->guard);
  for (int i = 0; i < count; ++i) {
    const uint8_t* view = ViewFor(offsets[i], length);
    if (!view) continue;
    for (int32_t at = 0; at < length; at += 64) __builtin_prefetch(view + at);
    __builtin_prefetch(view + length - 1);
  }
}

int32_t GSO_DiskFile::RenameTarget(const std::string& absolute_name, std::string& target) const {
  target = absolute_name;
  if (absolute_name.empty() || absolute_name[0] != '/') return 0;
  // The directory is found without regard to case; the new name keeps the case it
  // was given. A file that matches it without regard to case is another file with
  // that name, unless it is this very file (a change of case only).
  size_t slash = absolute_name.find_last_of('/');
  std::string dir = slash == 0 ? std::string() : os::ResolvePath(absolute_name.substr(0, slash));
  target = dir + absolute_name.substr(slash);
  std::string existing = os::ResolvePath(absolute_name);
  if (os::Exists(existing) && !os::SameFile(existing, real_path_)) return kErrAlreadyExists;
  return 0;
}

bool GSO_DiskFile::Rename(const std::string& new_name) {
  last_error_ = 0;
  std::string absolute = MakeAbsolute(new_name);
  CheckNameLength(absolute);
  if (!closed_ && FileRegistry().FindOpen(file_name_, this)) {
    // Other objects use the handle; moving the file under them would leave them
    // with a name that no longer exists. The system refuses such a move too.
    last_error_ = kErrSharingViolation;
    ReportLastError(kSubRename);
    return false;
  }
  bool closed_ok = Close();
  std::string target;
  int32_t err = RenameTarget(absolute, target);
  bool moved = false;
  if (err == 0) {
    moved = os::Rename(real_path_, target, err);
    if (moved) SetName(target);
  }
  int32_t rename_error = closed_ok ? err : kErrFileNotAssigned;
  Open();
  last_error_ = rename_error;
  ReportLastError(kSubRename);
  return moved;
}

void GSO_DiskFile::Open() {
  last_error_ = 0;
  if (!closed_) return;
  {
    // Searching, opening and listing form one step against a concurrent Close.
    GSobjFileColl& registry = FileRegistry();
    std::lock_guard<std::recursive_mutex> reg(registry.lock_);
    GSO_DiskFile* other = registry.FindOpen(file_name_, this);
    if (other && other->handle_) {
      shared_ = other->shared_;
      handle_ = other->handle_;
      real_path_ = other->real_path_;
    } else {
      real_path_ = os::ResolvePath(given_path_);
      int32_t err = 0;
      open_note_.clear();
      os::PathKind kind = os::KindOf(real_path_);
      int fd = -1;
      if (kind == os::PathKind::kFolder || kind == os::PathKind::kDevice) {
        err = kErrAccessDenied;
        open_note_ =
            kind == os::PathKind::kFolder ? "a folder, not a file" : "a device, not a file";
      } else {
        fd = os::Open(real_path_, read_write_, shared_, err);
        if (fd < 0 && kind == os::PathKind::kMissing) open_note_ = missing_note_;
      }
      if (fd < 0) {
        last_error_ = err;
      } else {
        handle_ = std::make_shared<OsHandle>();
        handle_->fd = fd;
        handle_->read_write = read_write_;
        handle_->exclusive = !shared_;
        // A rewrite of this file killed half-way left its scratch file (see
        // ScratchName); one that no process is writing any more goes now.
        if (read_write_) os::RemoveAbandonedFile(ScratchName());
      }
    }
    if (last_error_ == 0) {
      position_ = 0;
      registry.AddFile(this);
      closed_ = false;
      exists_ = true;
    }
  }
  ReportLastError(kSubOpen);
}

void GSO_DiskFile::CreateFile() {
  last_error_ = 0;
  if (!closed_ || FileRegistry().FindOpen(file_name_, this)) {
    last_error_ = kErrInvalidAccess;
  } else {
    real_path_ = os::ResolvePath(given_path_);
    int32_t err = 0;
    if (!os::Create(real_path_, err)) {
      last_error_ = err;
    } else {
      given_path_ = real_path_;
      Open();
      last_error_ = 0;
    }
  }
  ReportLastError(kSubCreate);
}

void GSO_DiskFile::StatusUpdate(int32_t, int32_t, int32_t) {}

void GSO_DiskFile::Truncate(int64_t offset) {
  last_error_ = 0;
  if (closed_) {
    last_error_ = kErrFileNotOpen;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    if (!read_write_ || !handle_->read_write || !CanWriteExclusively()) {
      last_error_ = kErrAccessDenied;
    } else if (offset < 0) {
      last_error_ = kErrInvalidParameter;
    } else {
      if (handle_->pending) handle_->pending->DiscardFrom(offset);
      last_error_ = WritePendingLocked();
      if (last_error_ == 0) {
        int32_t err = 0;
        handle_->DropView();  // a view past the new end would fault when read
        os::Truncate(handle_->fd, real_path_, offset, err);
        last_error_ = err;
      }
    }
  }
  ReportLastError(kSubTruncate);
}

void GSO_DiskFile::WriteAt(int64_t offset, const void* buffer, int32_t count) {
  last_error_ = 0;
  bytes_done_ = 0;
  if (closed_) {
    last_error_ = kErrFileNotOpen;
  } else if (count < 0 || offset < 0 || (count > 0 && !buffer)) {
    last_error_ = kErrInvalidParameter;
  } else if (!read_write_ || !handle_->read_write) {
    // Opened for reading only, or sharing a handle that another object on the path
    // opened for reading only.
    last_error_ = kErrAccessDenied;
  } else {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    PendingBlocks* pending = handle_->pending.get();
    if (pending && size_t(count) <= kLargestHeldWrite) {
      pending->Write(
          offset, static_cast<const uint8_t*>(buffer), size_t(count),
          [this](int64_t at, uint8_t* out, size_t length) { ReadOwnBytes(at, out, length); });
      bytes_done_ = count;
      position_ = offset + count;
      if (pending->Full()) last_error_ = WritePendingLocked();
    } else {
      // Writes not held go to the file at once (the first page through its
      // mapping), after what is held before them.
      last_error_ = WritePendingLocked();
      if (uint8_t* head = last_error_ == 0 ? HeadFor(offset, count) : nullptr) {
        std::memcpy(head, buffer, size_t(count));
        bytes_done_ = count;
        position_ = offset + count;
      } else if (last_error_ == 0) {
        int32_t err = 0;
        int64_t n = os::WriteAt(handle_->fd, real_path_, offset, buffer, size_t(count), err);
        bytes_done_ = int32_t(n < 0 ? 0 : n);
        if (err != 0)
          last_error_ = err;
        else
          position_ = offset + count;
      }
    }
  }
  if (last_error_ == 0) dirty_ = true;
  ReportLastError(kSubWriteAt);
}

void GSO_DiskFile::HoldWrites(uint32_t block_size) {
  if (closed_ || shared_ || !read_write_ || !handle_->read_write || block_size == 0) return;
  std::lock_guard<std::recursive_mutex> guard(handle_->guard);
  if (!handle_->exclusive || handle_->pending) return;
  handle_->pending = std::make_unique<PendingBlocks>(block_size, kHeldWriteLimit);
}

bool GSO_DiskFile::WritePending() {
  last_error_ = 0;
  if (closed_) return true;
  {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    last_error_ = WritePendingLocked();
  }
  ReportLastError(kSubWriteAt);
  return last_error_ == 0;
}

int32_t GSO_DiskFile::WritePendingLocked() {
  PendingBlocks* pending = handle_ ? handle_->pending.get() : nullptr;
  if (!pending || pending->Empty()) return 0;
  int32_t error = 0;
  pending->Flush([&](int64_t at, const uint8_t* bytes, size_t length) {
    int32_t err = 0;
    os::WriteAt(handle_->fd, real_path_, at, bytes, length, err);
    error = err;
    return err == 0;
  });
  if (error == 0) dirty_ = true;
  return error;
}

void GSO_DiskFile::ReadOwnBytes(int64_t offset, uint8_t* out, size_t count) {
  std::memset(out, 0, count);
  int32_t err = 0;
  if (const uint8_t* view = ViewFor(offset, int32_t(count)))
    std::memcpy(out, view, count);
  else
    os::ReadAt(handle_->fd, real_path_, offset, out, count, err);
}

bool GSO_DiskFile::CanBeReplaced() const {
  return !closed_ && !shared_ && read_write_ && handle_ && handle_->read_write &&
         !FileRegistry().FindOpen(file_name_, this);
}

bool GSO_DiskFile::ReplaceWith(GSO_DiskFile& fresh) {
  last_error_ = 0;
  if (!CanBeReplaced() || fresh.closed_ || !fresh.handle_ || fresh.shared_ ||
      FileRegistry().FindOpen(fresh.file_name_, &fresh)) {
    last_error_ = kErrAccessDenied;
    ReportLastError(kSubRename);
    return false;
  }
  // Everything of the new file reaches the disk before its name does.
  fresh.Flush();
  if (fresh.last_error_ != 0) return false;
  {
    std::lock_guard<std::recursive_mutex> guard(handle_->guard);
    int32_t err = 0;
    if (!os::ReplaceFile(fresh.real_path_, real_path_, err)) {
      last_error_ = err;
    } else {
      // The old file is gone from the directory; what was held for it is dropped
      // and its handle closed with fresh, which takes it in exchange.
      handle_->pending.reset();
      std::swap(handle_, fresh.handle_);
      position_ = 0;
      dirty_ = false;
    }
  }
  if (last_error_ == 0) fresh.Close();
  ReportLastError(kSubRename);
  return last_error_ == 0;
}

void GSO_DiskFile::SwapOpenFiles(GSO_DiskFile& other) {
  std::swap(handle_, other.handle_);
  std::swap(position_, other.position_);
  std::swap(dirty_, other.dirty_);
}

bool GSO_DiskFile::CutBack(int64_t offset) {
  if (closed_ || !read_write_ || !handle_->read_write || offset < 0) return false;
  std::lock_guard<std::recursive_mutex> guard(handle_->guard);
  if (handle_->pending) handle_->pending->DiscardFrom(offset);
  handle_->DropView();
  int32_t err = 0;
  return os::Truncate(handle_->fd, real_path_, offset, err);
}

bool GSO_DiskFile::CanWriteExclusively() const {
  if (!shared_) return true;
  return lock_count_ > 0 && lock_offset_ == 0 && lock_length_ == kWholeFileLockLength;
}

}  // namespace devazoz
