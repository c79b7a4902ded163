#include "engine/foundation/gs6_os.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "platform/services/codepage.h"
#include "platform/services/datetime.h"
#include "platform/services/paths.h"

namespace devazoz::os {
namespace {

std::atomic<FaultHook> g_fault_hook{nullptr};
std::atomic<ShortReadHook> g_short_read_hook{nullptr};
std::atomic<int64_t> g_space_left{-1};
constexpr int64_t kSimulatedPage = 4096;
int64_t PageUp(int64_t n) { return (n + kSimulatedPage - 1) / kSimulatedPage * kSimulatedPage; }

bool Injected(Call call, const std::string& path, int32_t& error) {
  FaultHook hook = g_fault_hook.load();
  if (!hook) return false;
  int32_t code = hook(call, path);
  if (code == 0) return false;
  error = code;
  return true;
}

// The entry of directory dir whose name equals name without regard to case. When
// several differ only in case, the first in byte order is taken, so the choice
// does not depend on the order the directory lists them in.
bool FindEntryNoCase(const std::string& dir, const std::string& name, std::string& found) {
  DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
  if (!d) return false;
  std::string wanted = platform::AnsiUpper(name);
  bool ok = false;
  while (dirent* e = readdir(d)) {
    std::string entry = e->d_name;
    if (platform::AnsiUpper(entry) == wanted && (!ok || entry < found)) {
      found = entry;
      ok = true;
    }
  }
  closedir(d);
  return ok;
}

// The directory part of a path ("/" for a file in the root).
std::string ParentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// ENOENT means "file not found" when the directory exists and "path not found" when
// it does not, as the engine's codes distinguish them.
int32_t MissingEntryError(const std::string& path) {
  struct stat st;
  std::string parent = ParentOf(path);
  if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrPathNotFound;
  return kErrFileNotFound;
}

int32_t OpenError(int err, const std::string& path) {
  return err == ENOENT ? MissingEntryError(path) : MapErrno(err);
}

}  // namespace

void SetFaultHook(FaultHook hook) { g_fault_hook.store(hook); }
void SetSpaceLimit(int64_t bytes) { g_space_left.store(bytes < 0 ? -1 : bytes); }

int32_t MapErrno(int err) {
  switch (err) {
    case 0:
      return 0;
    case ENOENT:
      return kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrAccessDenied;
    case EBADF:
      return kErrAccessDenied;  // a write through a handle opened read-only
    case EWOULDBLOCK:
      return kErrLockViolation;
    case ENOSPC:
    case EDQUOT:
      return kErrDiskFull;
    case EEXIST:
      return kErrAlreadyExists;
    case ENAMETOOLONG:
      return kErrFilenameTooLong;
    case EINVAL:
      return kErrInvalidParameter;
    case EFBIG:
      return kErrDiskFull;
    case EIO:
      return kErrDiskRead;
    default:
      return kErrGeneralFailure;
  }
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

PathKind KindOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return PathKind::kMissing;
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  return PathKind::kDevice;
}

std::string ResolvePath(const std::string& absolute_name) {
  if (absolute_name.empty() || absolute_name[0] != '/' || Exists(absolute_name))
    return absolute_name;
  std::vector<std::string> parts;
  size_t i = 1;
  while (i <= absolute_name.size()) {
    size_t j = absolute_name.find('/', i);
    if (j == std::string::npos) j = absolute_name.size();
    if (j > i) parts.push_back(absolute_name.substr(i, j - i));
    i = j + 1;
  }
  std::string dir;
  for (size_t k = 0; k < parts.size(); ++k) {
    std::string exact = dir + "/" + parts[k];
    std::string found;
    if (Exists(exact)) {
      dir = exact;
    } else if (FindEntryNoCase(dir, parts[k], found)) {
      dir += "/" + found;
    } else {
      // Nothing matches: keep the rest as given (a file about to be created).
      for (size_t r = k; r < parts.size(); ++r) dir += "/" + parts[r];
      return dir;
    }
  }
  return dir.empty() ? "/" : dir;
}

int Open(const std::string& path, bool read_write, bool shared, int32_t& error) {
  error = 0;
  if (Injected(Call::Open, path, error)) return -1;
  int fd = ::open(path.c_str(), (read_write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    error = OpenError(errno, path);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error = kErrAccessDenied;
    return -1;
  }
  if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
    int e = errno;
    ::close(fd);
    error = (e == EWOULDBLOCK) ? kErrSharingViolation : MapErrno(e);
    return -1;
  }
  return fd;
}

bool Create(const std::string& path, int32_t& error) {
  error = 0;
  if (Injected(Call::Create, path, error)) return false;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = OpenError(errno, path);
    return false;
  }
  bool ok = true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    error = (e == EWOULDBLOCK) ? kErrSharingViolation : MapErrno(e);
    ok = false;
  } else if (::ftruncate(fd, 0) != 0) {
    error = MapErrno(errno);
    ok = false;
  }
  ::close(fd);
  return ok;
}

void Close(int fd) {
  if (fd >= 0) ::close(fd);
}

int64_t ReadAt(int fd, const std::string& path, int64_t offset, void* buffer, size_t count,
               int32_t& error) {
  error = 0;
  if (Injected(Call::Read, path, error)) return -1;
  if (offset < 0) {
    error = kErrInvalidParameter;
    return -1;
  }
  size_t done = 0;
  char* p = static_cast<char*>(buffer);
  while (done < count) {
    size_t want = count - done;
    if (ShortReadHook short_read = g_short_read_hook.load()) {
      want = std::min(want, short_read(path, offset + int64_t(done), want));
      if (want == 0) break;
    }
    ssize_t n = ::pread(fd, p + done, want, off_t(offset + int64_t(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = MapErrno(errno);
      return -1;
    }
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

int64_t WriteAt(int fd, const std::string& path, int64_t offset, const void* buffer, size_t count,
                int32_t& error) {
  error = 0;
  if (Injected(Call::Write, path, error)) return -1;
  if (offset < 0) {
    error = kErrInvalidParameter;
    return -1;
  }
  size_t done = 0;
  const char* p = static_cast<const char*>(buffer);
  if (int64_t left = g_space_left.load(); left >= 0) {
    // A simulated full disk, which hands out whole pages as file systems do: only
    // what the pages still to be had hold is written.
    struct stat st;
    int64_t size = ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : 0;
    int64_t end = offset + int64_t(count);
    int64_t base = std::max(PageUp(size), offset - offset % kSimulatedPage);
    int64_t need = std::max<int64_t>(0, PageUp(end) - base);
    if (need > left) {
      int64_t fits_end = base + left / kSimulatedPage * kSimulatedPage;
      size_t fits = size_t(std::clamp<int64_t>(fits_end - offset, 0, int64_t(count)));
      if (fits > 0 && ::pwrite(fd, p, fits, off_t(offset)) > 0) done = fits;
      g_space_left.store(left % kSimulatedPage);
      error = kErrDiskFull;
      return int64_t(done);
    }
    g_space_left.store(left - need);
  }
  while (done < count) {
    ssize_t n = ::pwrite(fd, p + done, count - done, off_t(offset + int64_t(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = MapErrno(errno);
      if (errno == EIO) error = kErrDiskWrite;
      return int64_t(done);
    }
    done += size_t(n);
  }
  return int64_t(done);
}

int64_t FileSize(int fd, const std::string& path, int32_t& error) {
  error = 0;
  if (Injected(Call::Size, path, error)) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    error = MapErrno(errno);
    return -1;
  }
  return int64_t(st.st_size);
}

bool Truncate(int fd, const std::string& path, int64_t size, int32_t& error) {
  error = 0;
  if (Injected(Call::Truncate, path, error)) return false;
  if (int64_t left = g_space_left.load(); left >= 0) {
    // Pages given up return to the simulated disk.
    struct stat st;
    if (::fstat(fd, &st) == 0 && PageUp(st.st_size) > PageUp(size))
      g_space_left.store(left + PageUp(st.st_size) - PageUp(size));
  }
  if (::ftruncate(fd, off_t(size)) != 0) {
    error = MapErrno(errno);
    return false;
  }
  return true;
}

bool Flush(int fd, const std::string& path, int32_t& error) {
  error = 0;
  if (Injected(Call::Flush, path, error)) return false;
  if (::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS) {
    error = MapErrno(errno);
    return false;
  }
  return true;
}

namespace {
bool SetLock(int fd, short type, uint64_t offset, uint64_t length, int32_t& error) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = off_t(offset);
  fl.l_len = off_t(length);
  while (::fcntl(fd, F_SETLK, &fl) != 0) {
    if (errno == EINTR) continue;
    error = (errno == EACCES || errno == EAGAIN) ? kErrLockViolation : MapErrno(errno);
    return false;
  }
  return true;
}
}  // namespace

bool LockRange(int fd, const std::string& path, uint64_t offset, uint64_t length, int32_t& error) {
  error = 0;
  if (Injected(Call::Lock, path, error)) return false;
  // A length of 0 would lock to the end of the file and beyond; it locks nothing.
  if (length == 0) return true;
  return SetLock(fd, F_WRLCK, offset, length, error);
}

bool UnlockRange(int fd, const std::string& path, uint64_t offset, uint64_t length,
                 int32_t& error) {
  error = 0;
  if (Injected(Call::Unlock, path, error)) return false;
  if (length == 0) return true;
  return SetLock(fd, F_UNLCK, offset, length, error);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool Rename(const std::string& from, const std::string& to, int32_t& error) {
  error = 0;
  if (Injected(Call::Rename, from, error)) return false;
  // A move never replaces another file, and never moves a file that another
  // process has open (its exclusive or shared flock shows it).
  int probe = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (probe < 0) {
    error = OpenError(errno, from);
    return false;
  }
  bool ok = false;
  if (::flock(probe, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    error = (e == EWOULDBLOCK) ? kErrSharingViolation : MapErrno(e);
  } else if (from == to) {
    ok = true;
  } else if (Exists(to) && !SameFile(from, to)) {
    error = kErrAlreadyExists;
  } else {
    int rc = Exists(to)
                 ? ::rename(from.c_str(), to.c_str())
                 : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without no-replace renames: the check above has to do.
      rc = ::rename(from.c_str(), to.c_str());
    }
    if (rc == 0)
      ok = true;
    else
      error = errno == ENOENT ? MissingEntryError(to) : MapErrno(errno);
  }
  ::close(probe);
  return ok;
}

bool ReplaceFile(const std::string& from, const std::string& to, int32_t& error) {
  error = 0;
  if (Injected(Call::Rename, from, error)) return false;
  if (::rename(from.c_str(), to.c_str()) != 0) {
    error = errno == ENOENT ? MissingEntryError(from) : MapErrno(errno);
    return false;
  }
  return SyncFolderOf(to, error);
}

bool SyncFolderOf(const std::string& path, int32_t& error) {
  error = 0;
  std::string dir = ParentOf(path);
  if (Injected(Call::Flush, dir, error)) return false;
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = MapErrno(errno);
    return false;
  }
  bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  if (!ok) error = MapErrno(errno);
  ::close(fd);
  return ok;
}

bool WriteSmallFile(const std::string& path, const std::string& bytes, bool sync, int32_t& error) {
  error = 0;
  if (Injected(Call::Create, path, error)) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = OpenError(errno, path);
    return false;
  }
  bool ok = WriteAt(fd, path, 0, bytes.data(), bytes.size(), error) == int64_t(bytes.size());
  if (ok && sync) ok = Flush(fd, path, error);
  ::close(fd);
  if (ok && sync) ok = SyncFolderOf(path, error);
  return ok;
}

bool ReadSmallFile(const std::string& path, size_t most, std::string& bytes, int32_t& error) {
  error = 0;
  bytes.clear();
  if (Injected(Call::Open, path, error)) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = OpenError(errno, path);
    return false;
  }
  bytes.resize(most);
  int64_t n = ReadAt(fd, path, 0, bytes.data(), most, error);
  ::close(fd);
  bytes.resize(n > 0 ? size_t(n) : 0);
  return n >= 0;
}

bool RemoveAbandonedFile(const std::string& path) {
  // Best effort, out of the fault hook's sight: a test's count of calls is not
  // moved by a cleanup that finds nothing.
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool removed = false;
  struct stat held, named;
  // Held under an exclusive lock of its own, it cannot be taken up by a writer
  // between the test and the deletion; a name that meanwhile leads to another
  // file is left alone.
  if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
      named.st_dev == held.st_dev && named.st_ino == held.st_ino)
    removed = ::unlink(path.c_str()) == 0;
  ::close(fd);
  return removed;
}

bool RemoveFile(const std::string& path, int32_t& error) {
  error = 0;
  if (Injected(Call::Remove, path, error)) return false;
  if (::unlink(path.c_str()) != 0) {
    error = OpenError(errno, path);
    return false;
  }
  return true;
}

const uint8_t* MapReadOnly(int fd, size_t size) {
  if (g_fault_hook.load() || g_short_read_hook.load() || size == 0) return nullptr;
  void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  return view == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(view);
}

uint8_t* MapReadWrite(int fd, size_t size) {
  if (g_fault_hook.load() || g_short_read_hook.load() || size == 0) return nullptr;
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return view == MAP_FAILED ? nullptr : static_cast<uint8_t*>(view);
}

void Unmap(const uint8_t* view, size_t size) {
  if (view) ::munmap(const_cast<uint8_t*>(view), size);
}

namespace {
constexpr size_t kHugePage = size_t(2) << 20;

// Under AddressSanitizer large blocks come from the allocator too, so that
// reads and writes past their ends are still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCheckedAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCheckedAllocator = true;
#else
constexpr bool kCheckedAllocator = false;
#endif
#else
constexpr bool kCheckedAllocator = false;
#endif
}  // namespace

void* AllocateLarge(size_t size) {
  if (size == 0) return nullptr;
  if (size < kHugePage || kCheckedAllocator) return ::calloc(size, 1);
  // Whole huge pages, on a huge-page boundary: over-map by one and trim.
  size_t length = (size + kHugePage - 1) & ~(kHugePage - 1);
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
  if (aligned > start) ::munmap(raw, aligned - start);
  size_t tail = (start + length + kHugePage) - (aligned + length);
  if (tail) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(block, length, MADV_HUGEPAGE);  // a hint: without it, plain pages
#endif
  return block;
}

void FreeLarge(void* block, size_t size) {
  if (!block) return;
  if (size < kHugePage || kCheckedAllocator) {
    ::free(block);
    return;
  }
  ::munmap(block, (size + kHugePage - 1) & ~(kHugePage - 1));
}

void SleepMilliseconds(int ms) {
  if (ms <= 0) return;
  timespec ts{ms / 1000, long(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void SetShortReadHook(ShortReadHook hook) { g_short_read_hook.store(hook); }

// The engine keeps no clock of its own: dates written into headers and DATE()
// come from the platform's one clock, which tests set with platform::SetClock.
platform::LocalTime CurrentLocalTime() { return platform::CurrentLocalTime(); }

int32_t CurrentDate() { return platform::CurrentDate(); }

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX + 1, '\0');
  if (!::getcwd(buffer.data(), buffer.size())) return "/";
  return std::string(buffer.data());
}

std::string ExpandFileName(const std::string& name) {
  if (!name.empty() && name[0] == '/') return platform::ExpandFileName(name);
  // Made absolute here, so that the platform's expansion does not consult the
  // current directory itself.
  return platform::ExpandFileName(CurrentDirectory() + "/" + name);
}

std::string ExecutableDirectory() {
  std::vector<char> buffer(PATH_MAX + 1, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  std::string path = n > 0 ? std::string(buffer.data(), size_t(n)) : std::string();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return CurrentDirectory();
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace devazoz::os
