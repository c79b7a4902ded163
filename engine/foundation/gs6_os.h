// The engine's only contact with the operating system's file, lock, clock,
// current-directory and sleep calls. Results come back as Windows-numbered error codes (see
// MapErrno), which is what the error table and callers expect. Tests may install a fault hook to
// make any call fail with a chosen code.
#ifndef ENGINE_FOUNDATION_GS6_OS_H_
#define ENGINE_FOUNDATION_GS6_OS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/services/datetime.h"

namespace devazoz::os {

enum class Call { Open, Create, Read, Write, Size, Truncate, Flush, Lock, Unlock, Rename, Remove };

// When set, consulted before each call; a non-zero result makes the call fail
// with that error code. Only for tests.
using FaultHook = int32_t (*)(Call call, const std::string& path);
void SetFaultHook(FaultHook hook);
// Only for tests: a full disk after this many more bytes, handed out in pages of
// 4096 bytes as file systems do. Writes that would make files take more write what
// still fits and fail as on a full disk; writes inside a file's pages succeed;
// truncation gives pages back. A negative value lifts the limit.
void SetSpaceLimit(int64_t bytes);

// errno to the Windows error number the engine reports.
int32_t MapErrno(int err);

// The path to hand to the operating system for a name: the name itself when it
// exists, else the entry found component by component without regard to case,
// else the name unchanged (its parent resolved where possible, for creation).
std::string ResolvePath(const std::string& absolute_name);
bool Exists(const std::string& path);
// What a path names: nothing, a regular file, a folder, or something else (a device,
// a pipe, a socket), following symbolic links.
enum class PathKind { kMissing, kFile, kFolder, kDevice };
PathKind KindOf(const std::string& path);

// Opens an existing file; a missing file gives kErrFileNotFound, a missing
// directory kErrPathNotFound. Exclusive opens hold an exclusive whole-file flock and
// shared ones a shared flock, so an exclusive open by one process and any open by
// another refuse each other with kErrSharingViolation, as sharing modes do.
int Open(const std::string& path, bool read_write, bool shared, int32_t& error);
// Creates or empties a file, refusing (sharing violation) while another process has it open.
bool Create(const std::string& path, int32_t& error);
void Close(int fd);

// Positioned transfers; they retry interrupted and partial transfers and return the
// bytes moved, or -1 with error set.
int64_t ReadAt(int fd, const std::string& path, int64_t offset, void* buffer, size_t count,
               int32_t& error);
int64_t WriteAt(int fd, const std::string& path, int64_t offset, const void* buffer, size_t count,
                int32_t& error);
int64_t FileSize(int fd, const std::string& path, int32_t& error);
bool Truncate(int fd, const std::string& path, int64_t size, int32_t& error);
bool Flush(int fd, const std::string& path, int32_t& error);

// Byte-range locks that other processes honour; never wait. A region held by
// another process gives kErrLockViolation. A length of 0 locks nothing.
bool LockRange(int fd, const std::string& path, uint64_t offset, uint64_t length, int32_t& error);
bool UnlockRange(int fd, const std::string& path, uint64_t offset, uint64_t length, int32_t& error);

// Moves a file. Refuses with kErrAlreadyExists when another file has the new name,
// and with kErrSharingViolation while another process has the file open, as the
// move call of a system with sharing modes does.
bool Rename(const std::string& from, const std::string& to, int32_t& error);
// Moves a file over another one, replacing it in one step (a crash leaves one of the
// two under the name), and syncs the directory so that the move itself survives a
// crash. The fault hook sees it as Rename, the directory sync as Flush.
bool ReplaceFile(const std::string& from, const std::string& to, int32_t& error);
// Syncs the folder holding path, so that entries made or removed in it survive a
// crash. The fault hook sees it as Flush.
bool SyncFolderOf(const std::string& path, int32_t& error);
// Deletes a file.
bool RemoveFile(const std::string& path, int32_t& error);
// A small file written whole: created or emptied, the bytes, and with sync its
// bytes and its folder entry on the disk. The fault hook sees Create, Write (and
// Flush).
bool WriteSmallFile(const std::string& path, const std::string& bytes, bool sync, int32_t& error);
// At most most bytes from the start of a file. The fault hook sees Open and Read.
bool ReadSmallFile(const std::string& path, size_t most, std::string& bytes, int32_t& error);
// Deletes a scratch file that a process killed while writing it left behind: a
// regular file of this user that no process has open (its writer holds an
// exclusive flock while it lives). True when one was deleted.
bool RemoveAbandonedFile(const std::string& path);
// True when both names lead to the same file.
bool SameFile(const std::string& a, const std::string& b);

// A read-only view of the first size bytes of a file, or null when it cannot be
// had (or while a fault hook is installed, so that injected read faults still
// reach every read). The view sees later writes through any handle.
const uint8_t* MapReadOnly(int fd, size_t size);
// The first size bytes of the file, mapped for reading and writing (shared with
// the file); null when that is not possible or a fault hook is installed.
uint8_t* MapReadWrite(int fd, size_t size);
void Unmap(const uint8_t* view, size_t size);

// Large working memory: size bytes of zeros, or null when the system has none.
// The block is taken straight from the system and, when large, asked to be
// backed by huge pages: a fresh page costs a fault on first touch, and for the
// tens of megabytes an index build sorts, 4 KiB faults took longer than the
// sort itself. Pages nobody touches cost nothing. Given back with FreeLarge.
// Builds with AddressSanitizer take every block from the allocator, which the
// sanitizer watches.
void* AllocateLarge(size_t size);
void FreeLarge(void* block, size_t size);

void SleepMilliseconds(int ms);

// Short reads. When set, consulted before each transfer of ReadAt: the transfer
// moves at most the number of bytes it returns (ReadAt goes on with the rest, as
// after a partial transfer of the system), and 0 ends the read there, as the end of
// the file would. Memory views are refused meanwhile, as with a fault hook. Only
// for tests.
using ShortReadHook = size_t (*)(const std::string& path, int64_t offset, size_t count);
void SetShortReadHook(ShortReadHook hook);

// The clock: the local date and time now, from the platform's one clock (set in
// tests with platform::SetClock).
platform::LocalTime CurrentLocalTime();
// Today as a day count of the platform's numbering (30 December 1899 is day 0).
int32_t CurrentDate();

// The current directory, and a name made absolute against it ("." and ".."
// resolved; the file itself is not touched).
std::string CurrentDirectory();
std::string ExpandFileName(const std::string& name);
// The directory of the running program.
std::string ExecutableDirectory();

}  // namespace devazoz::os

#endif  // ENGINE_FOUNDATION_GS6_OS_H_
