// The table handler's pack: the records not deleted, and indexes rebuilt for
// them, so that neither a crash nor a full disk leaves a table and its indexes
// out of step, loses a record or doubles one.
//
// The kept records are not moved down inside the table, where a process killed
// half-way would leave records twice (and a full disk records half-moved). The
// packed table is written beside it instead, under the scratch name NAME.DBF.tmp:
// the header area as it stands (field descriptors included) with the new record
// count, the kept records and the 0x1A end byte. The scratch file is made at the
// first deleted record, so a table without any costs no copy.
//
// Then, before anything is replaced, every open index file is rebuilt from the
// scratch table (the table object reads it for the time: GSO_DiskFile::
// SwapOpenFiles) into a scratch file of its own (GSobjIndexFile::SetDeferReplace).
// A failure up to here (a full disk) deletes the scratch files: the table and
// its indexes stay as they were, and the error goes on.
//
// Only with everything written are the old files replaced: the change marker
// (gs6_mark.h, naming every open index file) is written and synced, the scratch
// table is renamed over the table (synced, then the directory: GSO_DiskFile::
// ReplaceWith), each scratch index over its index, and the marker removed. A crash
// before the table's rename leaves the old files; one after it leaves the marker,
// and the next open rebuilds the indexes it names (a read-only open marks them
// stale, and keys past the new end are never shown). Last, the memos of the
// removed records are freed (a failure there goes unreported: the pack is made):
// a crash before leaves memo blocks merely unused, never a freed memo that a
// record still needs.
//
// A table without deleted records is not rewritten, but its indexes are rebuilt
// all the same (each replaced whole, see GSobjIndexFile::RewriteWhole): a pack that
// says it succeeded leaves indexes that match the table.
#include <cmath>
#include <cstring>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_scope.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_indxtag.h"
#include "engine/table/gs6_memo.h"

namespace devazoz {

void GSO_dBHandler::Pack() {
  if (Shared()) {
    ReportError(kErrAccessDenied, kSubHandler, FileName().c_str());
    return;
  }
  if (Closed() || record_length_ <= 0) {
    ReportError(kErrFileNotOpen, kSubHandler, FileName().c_str());
    return;
  }
  GSobjIndexTag* tag = current_tag_;
  bool saved_read_ahead = read_ahead_;
  TgsScopeExit restore([&] {
    packing_ = false;
    current_tag_ = tag;
    SetReadAhead(saved_read_ahead);
  });
  pack_memo_ = HasMemo() ? OpenMemo() : nullptr;
  current_tag_ = nullptr;
  SetReadAhead(false);
  SetReadAhead(true);
  const int32_t total = record_count_;
  StatusUpdate(-1, kStatusPack, total);
  packing_ = true;
  std::vector<int32_t> freed_memos;
  std::unique_ptr<GSO_DiskFile> scratch;
  int32_t kept = WritePacked(freed_memos, scratch);
  packing_ = false;
  StatusUpdate(0, 0, 0);
  if (!scratch) {
    // Nothing removed: the indexes are rebuilt so that none is left damaged.
    current_tag_ = tag;
    Reindex();
    restore.Dismiss();
    SetReadAhead(saved_read_ahead);
    return;
  }
  if (!ReplaceByPacked(*scratch, kept)) return;
  // Record numbers moved: the filter set is rebuilt for the new numbering.
  current_tag_ = nullptr;
  RefreshFilter();
  FreeMemos(freed_memos);
  restore.Dismiss();
  current_tag_ = tag;
  SetReadAhead(saved_read_ahead);
  if (current_tag_) current_tag_->LoadTree(0);
  GetRecord(kMoveFirst);
}

void GSO_dBHandler::FreeMemos(const std::vector<int32_t>& blocks) {
  // The pack is made: freeing only makes the blocks of removed records reusable.
  // Each free writes the run's header, then the list's head, so a failure (a full
  // disk) leaves at worst blocks unused, and the rest are left as they are.
  try {
    for (int32_t block : blocks) pack_memo_->FreeBlocks(block);
  } catch (const std::exception&) {
  }
}

bool GSO_dBHandler::ReplaceByPacked(GSO_DiskFile& scratch, int32_t kept) {
  const int32_t total = record_count_;
  std::vector<GSobjIndexFile*> files;
  for (auto& file : index_slots_)
    if (file) files.push_back(file.get());
  // Named before the builds, which leave each index on its scratch file.
  const std::vector<std::string> names = OpenIndexNames();
  auto forget_scratch = [&] {
    for (GSobjIndexFile* file : files) {
      file->SetDeferReplace(false);
      file->AbandonRewrite();
    }
    if (!scratch.Closed()) scratch.CutBack(0);
    scratch.Close();
    int32_t err = 0;
    os::RemoveFile(scratch.RealPath(), err);
  };
  auto read_own_file = [&] {
    SwapOpenFiles(scratch);
    record_count_ = total;
    cache_start_ = -1;
    InvalidateReadAhead();
  };
  // The indexes of the packed table, each into a scratch file beside its own.
  {
    SwapOpenFiles(scratch);
    record_count_ = kept;
    cache_start_ = -1;
    InvalidateReadAhead();
    int64_t failures = FailureCount() + scratch.Failures();
    bool built = false;
    try {
      for (GSobjIndexFile* file : files) file->SetDeferReplace(true);
      RebuildFiles(files);
      built = FailureCount() + scratch.Failures() == failures;
      for (GSobjIndexFile* file : files) built = built && file->RewriteWaiting();
    } catch (...) {
      read_own_file();
      forget_scratch();
      throw;
    }
    read_own_file();
    for (GSobjIndexFile* file : files) file->SetDeferReplace(false);
    if (!built) {
      forget_scratch();
      return false;
    }
  }
  // The marker first, on the disk: from the table's rename on, the indexes are
  // out of step until each is renamed too.
  bool marker_ours = marker_written_;
  if (!files.empty()) {
    int32_t error = marker_.Write(names, true);
    if (error != 0) {
      forget_scratch();
      ReportError(error, kSubWriteAt,
                  (marker_.Path() + (error == kErrDiskFull ? " (the disk is full)" : "") +
                   ": the table was not packed and is as it was")
                      .c_str());
      return false;
    }
  }
  // The new header goes with the scratch file; the table keeps its own until the
  // scratch file has taken its place.
  uint8_t old_header[kDbfHeaderSize];
  std::memcpy(old_header, header_, kDbfHeaderSize);
  uint32_t old_stamp = change_stamp_;
  bool replaced = false;
  std::string why;
  try {
    record_count_ = kept;
    StampHeader();
    scratch.WriteAt(0, header_, kDbfHeaderSize);
    replaced = ReplaceWith(scratch);
  } catch (const std::exception& e) {
    why = e.what();
  }
  if (!replaced) {
    std::memcpy(header_, old_header, kDbfHeaderSize);
    change_stamp_ = old_stamp;
    record_count_ = total;
    forget_scratch();
    if (!marker_ours) marker_.Remove();
    ReportError(kErrDiskWrite, kSubRename,
                (RealPath() + ": the packed table could not take its place" +
                 (why.empty() ? std::string() : " (" + why + ")") + "; the table is as it was")
                    .c_str());
    return false;
  }
  header_dirty_ = false;
  cache_start_ = -1;
  InvalidateReadAhead();
  // The indexes follow; one that cannot leaves the marker for the next open.
  bool all_in_place = true;
  std::string failure;
  for (GSobjIndexFile* file : files) {
    try {
      if (!file->CommitRewrite()) all_in_place = false;
    } catch (const std::exception& e) {
      all_in_place = false;
      if (failure.empty()) failure = e.what();
    }
  }
  if (!all_in_place) {
    change_failed_ = true;
    for (GSobjIndexFile* file : files)
      if (file->RewriteWaiting())
        file->MarkStale("Index " + file->Disk()->RealPath() + " does not match table " +
                        RealPath() + " after its pack; reindex it");
    ReportError(kErrDiskWrite, kSubRename,
                (RealPath() + " is packed, but its indexes could not be put in place (" + failure +
                 "); they are rebuilt when the table is next opened")
                    .c_str());
    return true;
  }
  if (!marker_ours) marker_.Remove();
  return true;
}

int32_t GSO_dBHandler::WritePacked(std::vector<int32_t>& freed_memos,
                                   std::unique_ptr<GSO_DiskFile>& scratch) {
  const int32_t total = record_count_;
  std::string scratch_name;
  std::vector<uint8_t> pending;
  int64_t written_to = 0;  // the scratch file's bytes so far
  auto flush_pending = [&] {
    if (pending.empty()) return;
    scratch->WriteAt(written_to, pending.data(), int32_t(pending.size()));
    written_to += int64_t(pending.size());
    pending.clear();
  };
  auto drop_scratch = [&] {
    if (!scratch) return;
    if (!scratch->Closed()) scratch->CutBack(0);
    scratch.reset();
    int32_t err = 0;
    os::RemoveFile(scratch_name, err);
  };
  // The header area and records 1 .. upto of the table, copied as they stand.
  auto start_scratch = [&](int32_t upto) {
    if (!CanBeReplaced()) {
      // Another object of this program works on the same file and would go on
      // with the old one.
      ReportError(kErrAccessDenied, kSubHandler, FileName().c_str());
      return false;
    }
    scratch_name = ScratchName();
    scratch = std::make_unique<GSO_DiskFile>(scratch_name, true, false);
    scratch->CreateFile();
    if (scratch->Closed()) return false;
    int64_t end = RecordOffset(upto + 1);
    std::vector<uint8_t> chunk;
    for (int64_t at = 0; at < end; at += int64_t(chunk.size())) {
      chunk.resize(size_t(std::min<int64_t>(end - at, 1 << 20)));
      if (GSO_DiskFile::ReadAt(at, chunk.data(), int32_t(chunk.size())) < int32_t(chunk.size())) {
        ReportError(kErrDiskRead, kSubReadAt, FileName().c_str());
        return false;
      }
      scratch->WriteAt(at, chunk.data(), int32_t(chunk.size()));
    }
    written_to = end;
    return true;
  };
  int32_t kept = 0;
  try {
    for (int32_t j = 1; j <= total; ++j) {
      ReadAt(RecordOffset(j), buffer_.data(), record_length_);
      record_number_ = j;
      if (!IsDeleted()) {
        ++kept;
        if (scratch) {
          pending.insert(pending.end(), buffer_.begin(), buffer_.begin() + record_length_);
          if (pending.size() >= (1u << 20)) flush_pending();
        }
      } else {
        if (!scratch && !start_scratch(j - 1)) {
          drop_scratch();
          return total;
        }
        if (pack_memo_) {
          for (const FieldDescriptor& f : descriptors_) {
            bool memo_field = f.type == 'M' || f.type == 'G' || (f.type == 'B' && version_ != 0x30);
            if (!memo_field) continue;
            double block = 0;
            try {
              block = std::trunc(GetNum(f.number));
            } catch (const EDevazozError&) {
              continue;  // an unreadable block number frees nothing
            }
            if (block >= 1 && block <= 2147483647.0) freed_memos.push_back(int32_t(block));
          }
        }
      }
      StatusUpdate(kStatusPack, j, 0);
    }
    if (!scratch) return total;
    pending.push_back(Settings().end_of_file_marker);
    flush_pending();
    // The scratch file's header gets its count when it takes the table's place.
    if (scratch->Failures() != 0) {
      drop_scratch();
      return total;
    }
  } catch (...) {
    drop_scratch();
    throw;
  }
  return kept;
}

}  // namespace devazoz
