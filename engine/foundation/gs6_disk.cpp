#include "engine/foundation/gs6_disk.h"

#include <cstdlib>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace devazoz {

// ---------------------------------------------------------------------------
// Registry

GSobjFileColl::~GSobjFileColl() {
  ReleaseAllLocks();
  FreeAll();
}

void GSobjFileColl::FreeItem(TgsObject*) {}

void GSobjFileColl::AddFile(GSO_DiskFile* file) {
  std::lock_guard<std::mutex> lock(lock_);
  if (IndexOf(file) < 0) Add(file);
}

void GSobjFileColl::RemoveFile(GSO_DiskFile* file) {
  std::lock_guard<std::mutex> lock(lock_);
  Remove(file);
}

int GSobjFileColl::IndexOfFile(const GSO_DiskFile* file) {
  std::lock_guard<std::mutex> lock(lock_);
  return IndexOf(file);
}

GSO_DiskFile* GSobjFileColl::FindOpen(const std::string& file_name, const GSO_DiskFile* except) {
  std::lock_guard<std::mutex> lock(lock_);
  for (size_t i = 0; i < Count(); ++i) {
    auto* file = static_cast<GSO_DiskFile*>(At(i));
    if (file != except && file->file_name_ == file_name) return file;
  }
  return nullptr;
}

void GSobjFileColl::ReleaseAllLocks() {
  std::lock_guard<std::mutex> lock(lock_);
  for (size_t i = 0; i < Count(); ++i) {
    auto* file = static_cast<GSO_DiskFile*>(At(i));
    if (file->lock_count_ > 0) {
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
  // Never destroyed: files still open during static destruction may reach it. The
  // exit handler releases the locks they hold.
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
  return platform::ExpandFileName(name);
}

GSO_DiskFile::GSO_DiskFile(const std::string& file_name, bool read_write, bool shared)
    : shared_(shared), read_write_(read_write) {
  SetName(file_name);
  exists_ = os::Exists(real_path_);
}

GSO_DiskFile::~GSO_DiskFile() { GSO_DiskFile::Close(); }

void GSO_DiskFile::SetName(const std::string& name) {
  std::string absolute = MakeAbsolute(name);
  if (absolute.size() > kMaxPathLength)
    throw EDevazozError("File name too long (" + std::to_string(absolute.size()) +
                        " characters, at most " + std::to_string(kMaxPathLength) +
                        "): " + absolute);
  given_path_ = absolute;
  file_name_ = platform::AnsiUpper(absolute);
  real_path_ = os::ResolvePath(given_path_);
}

void GSO_DiskFile::ReportLastError(int32_t sub_code) {
  if (last_error_ == 0) return;
  SetLastOsError(last_error_);
  ReportError(last_error_, sub_code, file_name_.c_str());
}

bool GSO_DiskFile::Close() {
  if (closed_) return true;
  bool last_user = false;
  {
    std::lock_guard<std::mutex> guard(handle_->guard);
    if (lock_count_ > 0) {
      lock_count_ = 1;
      ReleaseOsLock();
      lock_count_ = 0;
    }
    last_error_ = 0;
    FileRegistry().RemoveFile(this);
    last_user = FileRegistry().FindOpen(file_name_, this) == nullptr;
    if (last_user) {
      os::Close(handle_->fd);
      handle_->fd = -1;
    }
  }
  if (!last_user && dirty_) {
    // The handle stays open for the other objects on this path; what this one wrote
    // goes through to the disk now.
    int32_t err = 0;
    std::lock_guard<std::mutex> guard(handle_->guard);
    os::Flush(handle_->fd, real_path_, err);
  }
  // This object lets go of the handle either way, so it never uses a handle that
  // the last user may close later.
  handle_.reset();
  closed_ = true;
  position_ = 0;
  dirty_ = false;
  return true;
}

void GSO_DiskFile::ReportError(int32_t code, int32_t sub_code, const char* info) {
  ReportEngineError(code, sub_code, info);
}

int64_t GSO_DiskFile::FileSize() {
  int64_t size = 0;
  last_error_ = 0;
  if (closed_) {
    last_error_ = kErrFileNotOpen;
  } else {
    std::lock_guard<std::mutex> guard(handle_->guard);
    int32_t err = 0;
    size = os::FileSize(handle_->fd, real_path_, err);
    if (size < 0) {
      last_error_ = err;
      size = 0;
    }
  }
  ReportLastError(kSubFileSize);
  return size;
}

void GSO_DiskFile::Flush() {
  if (closed_) return;
  {
    std::lock_guard<std::mutex> guard(handle_->guard);
    int32_t err = 0;
    os::Flush(handle_->fd, real_path_, err);
    last_error_ = err;
    dirty_ = false;
  }
  ReportLastError(kSubFlush);
}

bool GSO_DiskFile::LockWholeFile() {
  if (!shared_) return true;
  return LockRegion(0, kWholeFileLockLength);
}

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
  int32_t err = 0;
  if (!os::LockRange(handle_->fd, real_path_, offset, length, err)) {
    last_error_ = err;
    return false;
  }
  last_error_ = 0;
  lock_count_ = 1;
  return true;
}

bool GSO_DiskFile::ReleaseOsLock() {
  if (!shared_ || closed_ || !handle_) return true;
  int32_t err = 0;
  bool ok = os::UnlockRange(handle_->fd, real_path_, lock_offset_, lock_length_, err);
  last_error_ = err;
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

int32_t GSO_DiskFile::ReadAt(int64_t offset, void* buffer, int32_t count) {
  last_error_ = 0;
  bytes_done_ = 0;
  if (closed_) {
    last_error_ = kErrFileNotOpen;
  } else if (count < 0 || offset < 0) {
    last_error_ = kErrInvalidParameter;
  } else {
    std::lock_guard<std::mutex> guard(handle_->guard);
    int32_t err = 0;
    int64_t n = os::ReadAt(handle_->fd, real_path_, offset, buffer, size_t(count), err);
    if (n < 0) {
      last_error_ = err;
    } else {
      bytes_done_ = int32_t(n);
      position_ = offset + count;
    }
  }
  ReportLastError(kSubReadAt);
  if (bytes_done_ < count) last_error_ = kErrShortRead;
  return bytes_done_;
}

bool GSO_DiskFile::Rename(const std::string& new_name) {
  last_error_ = 0;
  bool closed_ok = Close();
  std::string old_real = real_path_;
  std::string target = MakeAbsolute(new_name);
  int32_t err = 0;
  bool moved = false;
  if (target.size() > kMaxPathLength) {
    err = kErrFilenameTooLong;
  } else {
    std::string target_real = os::ResolvePath(target);
    moved = os::Rename(old_real, target_real, err);
    if (moved) SetName(target_real);
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
  GSO_DiskFile* other = FileRegistry().FindOpen(file_name_, this);
  if (other && other->handle_) {
    shared_ = other->shared_;
    handle_ = other->handle_;
    real_path_ = other->real_path_;
  } else {
    real_path_ = os::ResolvePath(given_path_);
    int32_t err = 0;
    int fd = os::Open(real_path_, read_write_, shared_, err);
    if (fd < 0) {
      last_error_ = err;
    } else {
      handle_ = std::make_shared<OsHandle>();
      handle_->fd = fd;
    }
  }
  if (last_error_ == 0) {
    position_ = 0;
    FileRegistry().AddFile(this);
    closed_ = false;
    exists_ = true;
  }
  ReportLastError(kSubOpen);
}

void GSO_DiskFile::CreateFile() {
  last_error_ = 0;
  if (FileRegistry().FindOpen(file_name_, this) || !closed_) {
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
    std::lock_guard<std::mutex> guard(handle_->guard);
    if (!read_write_ || !CanWriteExclusively()) {
      last_error_ = kErrAccessDenied;
    } else {
      int32_t err = 0;
      os::Truncate(handle_->fd, real_path_, offset, err);
      last_error_ = err;
    }
  }
  ReportLastError(kSubTruncate);
}

void GSO_DiskFile::WriteAt(int64_t offset, const void* buffer, int32_t count) {
  last_error_ = 0;
  bytes_done_ = 0;
  if (closed_) {
    last_error_ = kErrFileNotOpen;
  } else if (count < 0 || offset < 0) {
    last_error_ = kErrInvalidParameter;
  } else {
    std::lock_guard<std::mutex> guard(handle_->guard);
    int32_t err = 0;
    int64_t n = os::WriteAt(handle_->fd, real_path_, offset, buffer, size_t(count), err);
    bytes_done_ = int32_t(n < 0 ? 0 : n);
    if (err != 0) last_error_ = err;
    else position_ = offset + count;
  }
  if (last_error_ == 0) dirty_ = true;
  ReportLastError(kSubWriteAt);
}

bool GSO_DiskFile::CanWriteExclusively() const {
  if (!shared_) return true;
  return lock_count_ > 0 && lock_offset_ == 0 && lock_length_ == kWholeFileLockLength;
}

}  // namespace devazoz
