// GSobjIndexFile: one index file with its tags, in file order. The base holds
// the disk file, the allocation end, the lock convention and the key
// maintenance after table changes; a format (CDX, ...) opens the file, loads
// its tags and supplies page allocation and block transfer.
#ifndef ENGINE_INDEX_GS6_INDX_H_
#define ENGINE_INDEX_GS6_INDX_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_coll.h"
#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_glbl.h"
#include "engine/index/gs6_indxkey.h"
#include "engine/index/gs6_indxtag.h"

namespace devazoz {

class GSO_dBaseFld;

class GSobjIndexFile : public TgsObject {
 public:
  explicit GSobjIndexFile(GSO_dBaseFld* table);
  ~GSobjIndexFile() override;

  // Virtual operations in their fixed slot order.
  virtual bool AddTag(const std::string& name, const std::string& key_expression, bool unique,
                      bool ascending, const std::string& for_expression);         // 0
  virtual bool DeleteTag(const std::string& name);                                // 1
  virtual void ReportError(int32_t code, int32_t sub_code, const char* info);     // 2
  virtual int32_t AllocatePage();                                                 // 3
  virtual int32_t ResetAllocator();                                               // 4
  virtual bool ReadBlock(int32_t position, void* buffer, int32_t length);         // 5
  virtual bool WriteBlock(int32_t position, const void* buffer, int32_t length);  // 6
  virtual void RebuildAll();                                                      // 7
  virtual bool RenameExtension(const std::string& new_name);                      // 8
  virtual bool UpdateKeys(int32_t record_number, bool is_append);                 // 9
  virtual bool ChangedByOther();                                                  // 10
  virtual void SetLockProtocol(int protocol);                                     // 11

  // Opens or creates the disk file (see the .cpp); null when it does not exist
  // or cannot be created. *name_part receives the upper-case name part, and
  // *created whether the file was made (or emptied) by this call.
  static std::unique_ptr<GSO_DiskFile> OpenIndexDiskFile(GSO_dBaseFld* table,
                                                         const std::string& name, bool overwrite,
                                                         bool create, bool read_write, bool shared,
                                                         const std::string& default_extension,
                                                         std::string* name_part,
                                                         bool* created = nullptr);

  // A path's name without directory and extension, in upper case: how an index
  // names its tags and records its table's name.
  static std::string UpperBaseName(const std::string& path);
  // This file's name so (the name of a single-tag file's tag).
  std::string OwnName() const { return UpperBaseName(file_name_); }

  GSobjIndexTag* FindTag(const std::string& name) const;
  GSobjIndexTag* TagAt(int i) const;
  int TagCount() const { return int(tags_.Count()); }
  bool IsFileName(const std::string& path) const;
  // Locks the index region of the lock convention when the file is shared.
  bool LockIndexFile();
  void UnlockIndexFile();

  const std::string& FileName() const { return file_name_; }
  GSO_dBaseFld* Table() const { return table_; }
  GSO_DiskFile* Disk() const { return disk_.get(); }
  bool RecordNumberInKey() const { return record_in_key_; }
  int32_t NextFree() const { return next_free_; }
  bool Exact() const { return exact_; }
  void SetExact(bool on) { exact_ = on; }
  bool Valid() const { return valid_; }
  // The file was made new when this object opened it.
  bool Created() const { return created_; }
  bool HeaderError() const { return header_error_; }
  // Marks a tag header as unreadable; the first reason is kept.
  void SetHeaderError(const std::string& why) {
    header_error_ = true;
    valid_ = false;
    if (error_text_.empty()) error_text_ = why;
  }
  // Why the file is not valid (empty when it is).
  const std::string& ErrorText() const { return error_text_; }
  // Damage found in the file (by a read or a write of its trees, or in its tag
  // table): from then on its keys are not changed, until it is rebuilt. The
  // first finding is kept.
  void MarkDamaged(const std::string& what);
  bool KnownDamaged() const { return !damage_.empty(); }
  const std::string& Damage() const { return damage_; }
  // Raises, naming the file and saying to reindex it, when damage is known.
  void RefuseWriteIfDamaged() const;
  // Before a record is written: reads, changing nothing, the nodes that keeping
  // its keys will change (see GSobjIndexTag::ReadKeyPaths), so that damage on
  // the way refuses the write before the table is touched. Raises on damage.
  void CheckKeyPaths(int32_t record_number, bool is_append);
  // The file's path for messages: as it is on disk, else its name.
  std::string ShownPath() const;
  // Why the last AddTag refused the tag (empty after a success, or when the
  // format gives no reason).
  const std::string& TagProblem() const { return tag_problem_; }
  // Size of a node block and the lowest position a node may have.
  int32_t NodeSize() const { return node_size_; }
  int32_t FirstNodePosition() const { return first_node_; }
  int LockProtocol() const { return lock_protocol_; }
  uint32_t LockBase() const { return lock_base_; }
  uint32_t RecordAnchor() const { return record_anchor_; }
  uint32_t FileLockLength() const { return file_lock_length_; }

  // The end of the file as far as it is known: the allocation end or the size
  // last seen; refresh asks the disk file again.
  int64_t KnownEnd(bool refresh);
  // Decoded nodes of a file no other process can change, keyed by position (see
  // the .cpp): at most Settings().index_cache_bytes of them, the least used
  // going first.
  std::shared_ptr<NodeData> CachedNode(int32_t position);
  void CacheNode(int32_t position, std::shared_ptr<NodeData> data);
  // A node just decoded into data (the tag's spare storage): with the cache on,
  // a compact copy goes into the cache and to the caller, and data goes back to
  // the tag; otherwise data itself.
  std::shared_ptr<NodeData> KeepDecoded(int32_t position, std::shared_ptr<NodeData> data,
                                        GSobjIndexTag* tag);
  void ForgetNode(int32_t position);
  // Drops every cached node (the file was rewritten).
  void DropNodeCache();
  // True when the cache holds exactly this data for position.
  bool IsCached(int32_t position, const NodeData* data);
  bool CacheEnabled() const;
  // What the cache holds now, in bytes (as it counts them).
  size_t CachedBytes() const { return cache_bytes_; }
  // Writes a block after every write held before it, so that what it points to
  // (a tag header's root) is on the disk first.
  bool WriteBlockInOrder(int32_t position, const void* buffer, int32_t length);
  // A rebuild in two steps, for pack: while deferring, RebuildAll leaves the new
  // file complete beside the old one (NAME.tmp) and the index working on it, and
  // neither replaces the old file nor gives it back. CommitRewrite then puts the
  // new file in the old one's place (false, reported, when that fails: the new
  // file stays the index's until AbandonRewrite); AbandonRewrite drops the new
  // file and goes back to the old one. Both do nothing without a rebuild waiting.
  void SetDeferReplace(bool on) { defer_replace_ = on; }
  bool RewriteWaiting() const { return deferred_old_ != nullptr; }
  bool CommitRewrite();
  void AbandonRewrite();

  // While on (bulk work of an exclusive writer), tags hold the changed leaves
  // their searches leave (see GSobjIndexTag::TakeHeldLeaf) until WriteChanges.
  void SetHoldLeaves(bool on) { hold_leaves_ = on; }
  bool HoldsLeaves() const { return hold_leaves_; }

  // Gives the system everything a record change left in memory: the changed
  // nodes and headers of every tag (whose loaded path is released for it) and
  // every block held for the file. The table handler calls it at the end of each
  // record change outside a bulk scope (see gs6_dbsy.cpp).
  void WriteChanges();

  // Whether the file is known not to match its table: a change of it was
  // interrupted and it could not be rebuilt (a read-only open), or one of its keys
  // points past the table's end. The reason names the file and says what is wrong.
  bool Stale() const { return !stale_reason_.empty(); }
  const std::string& StaleReason() const { return stale_reason_; }
  // Keeps the first reason.
  void MarkStale(const std::string& why) {
    if (stale_reason_.empty()) stale_reason_ = why;
  }
  void ClearStale() { stale_reason_.clear(); }

 protected:
  // The format's constructor opens its file through this, with node_size_ set:
  // the disk file (see OpenIndexDiskFile), its size, and the holding of written
  // blocks. False, with the reason in ErrorText(), when it cannot be opened.
  bool OpenDisk(const std::string& file_name, bool overwrite, bool create, bool read_write,
                bool shared, const std::string& default_extension);
  // Writes the whole file anew without risking the old one (see the .cpp):
  // write_all writes the complete contents into an empty file; when that fails,
  // reread takes the tags' state from the old file again before the error goes on.
  // reread may be kept for a deferred rewrite: it must not refer to locals.
  void RewriteWhole(const std::function<void()>& write_all, const std::function<void()>& reread);
  // Runs write_new, which writes a file just created; when that fails (a full disk)
  // the file is removed again rather than left empty or half-written, and the error
  // goes on.
  void CreateOrRemove(const std::function<void()>& write_new);
  // The allocation end for a file of size bytes: whole nodes, below 2 GB.
  int32_t RoundUpToNode(int64_t size) const;
  void RemoveUnwritten();
  // RewriteWhole's way back after a failure.
  void PutBack(std::unique_ptr<GSO_DiskFile> old, const std::string& scratch_name,
               const std::function<void()>& reread);
  // A file named after the table (extension aside) is its production index:
  // the table's header says so from then on.
  void MarkProductionIndex();
  void AddToList(GSobjIndexTag* tag) { tags_.Add(tag); }
  void RemoveFromList(GSobjIndexTag* tag) { tags_.RemoveAndFree(tag); }

  std::string file_name_;
  TgsCollection tags_;
  GSO_dBaseFld* table_;
  std::unique_ptr<GSO_DiskFile> disk_;
  bool record_in_key_ = false;
  int32_t next_free_ = -1;
  bool exact_ = true;
  bool valid_ = false;
  bool created_ = false;
  bool header_error_ = false;
  std::string error_text_;
  std::string damage_;
  std::string tag_problem_;
  std::string stale_reason_;
  bool defer_replace_ = false;
  bool hold_leaves_ = false;
  std::unique_ptr<GSO_DiskFile> deferred_old_;
  std::string deferred_scratch_name_;
  std::function<void()> deferred_reread_;
  int lock_protocol_ = 0;
  uint32_t lock_base_ = 0x40000000;
  uint32_t record_anchor_ = 0x7FFFFFFE;
  uint32_t file_lock_length_ = 0x3FFFFFFF;
  int32_t node_size_ = 512;
  int32_t first_node_ = 512;
  int64_t known_size_ = 0;
  // The node cache: slots, and per node position (position / node size) the
  // number of its slot + 1 (0: not cached).
  struct CacheSlot {
    std::shared_ptr<NodeData> data;  // null: the slot is free
    int32_t position = 0;
    uint32_t bytes = 0;
    bool used = false;  // met since the clock hand last passed
  };
  std::vector<CacheSlot> cache_slots_;
  std::vector<uint32_t> cache_index_;
  std::vector<uint32_t> free_slots_;
  size_t clock_hand_ = 0;
  size_t cache_bytes_ = 0;
  // The slot of a cached node position, or null.
  CacheSlot* SlotOf(int32_t position);
  void DropSlot(uint32_t slot);
  // Frees slots, least used first, until bytes more fit the limit.
  void MakeRoom(size_t bytes, size_t limit);
};

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_INDX_H_
