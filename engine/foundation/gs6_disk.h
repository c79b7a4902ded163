// GSO_DiskFile: one engine file (table, memo or index) with positioned reads and
// writes, size, truncation, flushing and one region lock at a time; and
// GSobjFileColl, the process-wide registry of open disk files.
//
// Objects that open the same path share one operating-system handle and one guard
// (a mutex around every transfer on that handle); the last of them to close closes
// the handle. The name is held absolute and upper-cased as the file's identity (for
// the registry, comparisons and messages); the operating system is handed the real
// path, found without regard to case on case-sensitive file systems.
#ifndef ENGINE_FOUNDATION_GS6_DISK_H_
#define ENGINE_FOUNDATION_GS6_DISK_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/foundation/gs6_coll.h"
#include "engine/foundation/gs6_pend.h"

namespace devazoz {

// Full paths are accepted up to the system's limit (PATH_MAX less the terminator);
// only names a file format stores keep that format's limit.
constexpr size_t kMaxPathLength = 4095;
constexpr uint32_t kWholeFileLockLength = 0x7FFFFFFF;

// One open operating-system handle and its guard, shared by every object on the path.
struct OsHandle {
  int fd = -1;
  bool read_write = false;  // opened for writing as well as reading
  // Serialises each seek-plus-transfer, size query, truncation and flush on fd. It is
  // re-entrant, as a descendant's override may call back into the file inside it.
  std::recursive_mutex guard;

  // Regions locked through this handle, each by the object holding it. The system's
  // byte-range locks do not exclude the process that holds them, so objects sharing
  // the handle are kept out of each other's regions here. lock_mutex is taken last,
  // never while waiting for another lock.
  struct HeldRegion {
    const void* owner;
    uint64_t offset;
    uint64_t length;
  };
  std::mutex lock_mutex;
  std::vector<HeldRegion> held;

  // Files opened for exclusive use are read through a view of the file as large as
  // it was when first read: no other program may change them, and a copy from the
  // view costs far less than a system call per record or node. Reads beyond the
  // view (the file grew since) go to the system; truncation drops the view first.
  bool exclusive = false;
  bool map_tried = false;
  const uint8_t* view = nullptr;
  size_t view_size = 0;
  // The first page of an exclusively opened file, mapped for writing: a table
  // or memo header rewritten after every append costs a copy instead of a
  // system call (which costs most when the page sits in a large cached block).
  bool head_tried = false;
  uint8_t* head = nullptr;
  size_t head_size = 0;
  void DropView();

  // Blocks written to an exclusively opened file and not yet given to the
  // system (see HoldWrites); every read through the handle sees them.
  std::unique_ptr<PendingBlocks> pending;
  ~OsHandle() { DropView(); }
};

class GSO_DiskFile : public TgsObject {
 public:
  // Never opens the file. Raises EDevazozError when the full name is longer than
  // kMaxPathLength characters.
  GSO_DiskFile(const std::string& file_name, bool read_write, bool shared);
  ~GSO_DiskFile() override;

  // Virtual operations in their fixed slot order.
  virtual bool Close();                                                        // 0
  virtual void ReportError(int32_t code, int32_t sub_code, const char* info);  // 1
  virtual int64_t FileSize();                                                  // 2
  virtual void Flush();                                                        // 3
  virtual bool LockWholeFile();                                                // 4
  virtual bool LockRegion(uint32_t offset, uint32_t length);                   // 5
  virtual int32_t ReadAt(int64_t offset, void* buffer, int32_t count);         // 6
  virtual bool Rename(const std::string& new_name);                            // 7
  virtual void Open();                                                         // 8
  virtual void CreateFile();                                                   // 9
  virtual void StatusUpdate(int32_t what, int32_t done, int32_t total);        // 10
  virtual void Truncate(int64_t offset);                                       // 11
  virtual bool UnlockRegion();                                                 // 12
  virtual void WriteAt(int64_t offset, const void* buffer, int32_t count);     // 13

  bool CanWriteExclusively() const;

  // Puts fresh, a complete new version of this file written beside it, in this
  // file's place: fresh's held writes go to the system and its bytes to the disk,
  // it is moved over this file's name in one step and the directory is synced, so
  // that a crash at any moment leaves either the old or the new file whole under
  // the name. This object then works on the new file through fresh's handle (name,
  // modes and position stay); fresh ends closed. Refused (access denied, reported)
  // when this file is open for shared use or other objects share its handle, as
  // they would go on using the old file. False when refused or failed.
  bool ReplaceWith(GSO_DiskFile& fresh);
  // Whether ReplaceWith would be refused for this file's own state.
  bool CanBeReplaced() const;
  // Exchanges what two objects have open (their handles and positions), names
  // staying: reads and writes of each go to the other's file until swapped back.
  // For a pack, which builds the indexes of the packed table from the scratch file
  // before it puts the scratch file in the table's place. REQUIRES: both open for
  // exclusive use, no other object sharing either handle.
  void SwapOpenFiles(GSO_DiskFile& other);
  // The name of the scratch file beside this one that ReplaceWith takes a new
  // version from.
  std::string ScratchName() const { return real_path_ + ".tmp"; }
  // Gives up the end of the file from offset on, without a report and without the
  // whole-file lock: for a writer undoing its own failed write at the end of the
  // file while its lock keeps other writers out. False when that failed too.
  bool CutBack(int64_t offset);

  // From now on, writes to this exclusively opened file are held in memory in
  // blocks of block_size bytes and reach the system in position order: when
  // more than a limit waits, at Flush, Truncate, WritePending and when the last
  // object on the path closes. Reads and FileSize see held writes. Files opened
  // for shared use are written at once, whatever is asked.
  void HoldWrites(uint32_t block_size);
  // Gives every held write to the system; false (after reporting) on failure.
  bool WritePending();
  // Asks the processor to start fetching the bytes [offsets[i], offsets[i] +
  // length) of the file's view, for reads coming soon (a walk in index order
  // knows its next records). Does nothing without a view; never reports.
  void Prefetch(const int64_t* offsets, int count, int32_t length);

  const std::string& FileName() const { return file_name_; }
  // The path the operating system knows the file by.
  const std::string& RealPath() const { return real_path_; }
  // The information text with every occurrence of the file's name (held upper-cased)
  // replaced by the path the system knows the file by, so that messages name a file
  // that exists as shown.
  std::string ShownInfo(const char* info) const;
  int Handle() const { return handle_ ? handle_->fd : 0; }
  int32_t LastError() const { return last_error_; }
  bool Exists() const { return exists_; }
  int64_t Position() const { return position_; }
  bool Shared() const { return shared_; }
  bool ReadWrite() const { return read_write_; }
  int32_t BytesDone() const { return bytes_done_; }
  int32_t LockCount() const { return lock_count_; }
  uint32_t LockOffset() const { return lock_offset_; }
  uint32_t LockLength() const { return lock_length_; }
  bool Dirty() const { return dirty_; }
  bool Closed() const { return closed_; }
  // Failures reported since the object was made (the error hook may return, so a
  // caller that wrote much checks this once at the end).
  int32_t Failures() const { return failures_; }

  // The absolute form of a name: names with a double backslash or a drive colon are
  // taken as they are, others are expanded against the current directory.
  static std::string MakeAbsolute(const std::string& name);

 protected:
  // Stores LastError as the thread's last error and reports it unless it is 0.
  void ReportLastError(int32_t sub_code);
  // The bytes [offset, offset + count) from the file's read-only view, or null.
  const uint8_t* ViewFor(int64_t offset, int32_t count);
  std::shared_ptr<OsHandle> handle_;
  int32_t last_error_ = 0;
  bool exists_ = false;
  std::string file_name_;
  std::string given_path_;    // absolute, in the caller's case
  std::string open_note_;     // why an open failed, when the code alone does not say
  std::string missing_note_;  // added to "File not found" (set by a descendant)
  std::string real_path_;
  int64_t position_ = 0;
  bool shared_;
  bool read_write_;
  int32_t bytes_done_ = 0;
  int32_t lock_count_ = 0;
  uint32_t lock_offset_ = 0;
  uint32_t lock_length_ = 0;
  bool dirty_ = false;
  bool closed_ = true;
  int32_t failures_ = 0;

 private:
  friend class GSobjFileColl;
  void SetName(const std::string& name);
  // Gives up this object's region with the system; LastError tells the outcome.
  bool ReleaseOsLock();
  // WritePending's work, under the guard; the system's error code or 0.
  int32_t WritePendingLocked();
  // The writable mapping of the file's first page when [offset, offset + count)
  // lies inside it and inside the file, or null.
  uint8_t* HeadFor(int64_t offset, int32_t count);
  // The system's bytes of the file (a held block's first content), zeros past its end.
  void ReadOwnBytes(int64_t offset, uint8_t* out, size_t count);
  // The path to move the file to for Rename, or an error code.
  int32_t RenameTarget(const std::string& absolute_name, std::string& target) const;
};

// The registry of open disk files; it refers to them and never frees them.
class GSobjFileColl : public TgsCollection {
 public:
  GSobjFileColl() = default;
  ~GSobjFileColl() override;
  void FreeItem(TgsObject* item) override;

  void AddFile(GSO_DiskFile* file);
  void RemoveFile(GSO_DiskFile* file);
  int IndexOfFile(const GSO_DiskFile* file);
  // The first open file listed under this upper-cased full name, other than except.
  GSO_DiskFile* FindOpen(const std::string& file_name, const GSO_DiskFile* except = nullptr);
  // Unlocks every region still held by a listed file (engine shutdown).
  void ReleaseAllLocks();

 private:
  friend class GSO_DiskFile;
  // Re-entrant: a file holds it across its whole open or close, which call the
  // operations above.
  std::recursive_mutex lock_;
};

// The single process-wide registry, created on first use. It is never destroyed,
// as files still open during static destruction may reach it; when the process
// ends, every region lock still held is released.
GSobjFileColl& FileRegistry();

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_DISK_H_
