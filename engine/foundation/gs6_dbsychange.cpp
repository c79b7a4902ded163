// The table handler's record changes: durable posts, bulk scopes, the change
// marker, and the repair at open of index files that a crash left out of step.
//
// What a record change writes, and when.
//
// A record change (AppendRecord; WriteRecord, which DeleteRecord and
// UndeleteRecord use) touches the memo file (written before, by the memo stream),
// the table (the record, then the header) and every open index file (the keys).
// The memo and table files write straight to the system: a memo write or record
// write that returned is in the system's cache, which a killed process cannot
// lose. Index files opened exclusively hold their written blocks in memory
// (PendingBlocks, gs6_pend.h) so that bulk work writes each block once, and a
// tag's changed nodes stay in its loaded path until the path is released. So at
// the end of each record change the handler gives them to the system: every tag
// whose path holds changes writes it (GSobjIndexFile::WriteChanges, which releases
// that path; the current tag is positioned again), and every held block goes out
// in position order. When AppendRecord or WriteRecord returns, the change is
// wholly in the files, in this order: memo, record, table header, index blocks.
//
// A kill inside a change can leave an index half-changed (a split written on one
// side only) or without the record's key. Before the first byte of a change
// reaches a file, the handler writes the change marker beside the table
// (gs6_mark.h: "TABLE.DBF.changing", naming the open index files), and removes it
// when the change is wholly written. An open that finds the marker rebuilds each
// index file it names as the file is opened (with progress through StatusUpdate,
// kStatusRepairIndex), or, when the table is open read-only, marks the file stale.
// A change that fails half-way (a full disk) leaves the marker too, until a
// reindex of every open index file clears it. The marker is kept only for tables
// and indexes opened exclusively: shared files write every block at once, and the
// marker of one process would say nothing to another.
//
// Bulk work (pack, reindex, an import, the tool's append loops, benchmarks) opens
// a bulk scope (BeginBulk/EndBulk, TgsBulkScope): the marker is written once when
// the outermost scope begins, index writes are held and coalesced meanwhile (the
// held blocks go out in runs when 64 MiB wait), and everything is written and the
// marker removed when the outermost scope ends. Records still go to the file one
// by one (a row of another table that a record refers to is there before it), but
// the table header only when the scope ends (HoldHeaderWrites), and a changed
// index leaf met again and again (the end of a short key's run) is written
// once (GSobjIndexFile::SetHoldLeaves). A kill inside
// leaves the marker and a header count behind the records; the next open rebuilds
// the indexes and counts the whole records the file holds.
//
// Power loss is another matter: what the system holds in its cache reaches the
// disk when it chooses. SyncToDisk forces the table, memo and index files to the
// disk (fdatasync) and is meant for the end of each user command that changed
// data, not for every record; the marker itself is not synced for a record change,
// so a power loss in the middle of a command may go unnoticed by the next open.
//
// Cost: a record change outside a scope makes the marker (create, write, close,
// remove: four system calls) and writes its changed index blocks itself (a few
// pwrite calls), some tens of microseconds; see the note on durable posts for the
// figures of a million-title catalog.
#include <algorithm>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_scope.h"
#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_indxtag.h"
#include "engine/table/gs6_memo.h"

namespace devazoz {

// ---------------------------------------------------------------------------
// Record changes

void GSO_dBHandler::AppendRecord() {
  if (!LockIndexes()) return;
  TgsScopeExit unlock([&] { UnlockIndexes(); });
  BeginChange();
  bool done = false;
  TgsScopeExit end([&] { EndChange(done); });
  GSO_dBaseFld::AppendRecord();
  done = true;
}

void GSO_dBHandler::WriteRecord(int32_t n) {
  if (!LockIndexes()) return;
  TgsScopeExit unlock([&] { UnlockIndexes(); });
  BeginChange();
  bool done = false;
  TgsScopeExit end([&] { EndChange(done); });
  GSO_dBaseFld::WriteRecord(n);
  done = true;
}

int64_t GSO_dBHandler::FailureCount() const {
  int64_t n = Failures();
  if (memo_) n += memo_->Failures();
  for (const auto& file : index_slots_)
    if (file && file->Disk()) n += file->Disk()->Failures();
  return n;
}

void GSO_dBHandler::BeginChange() {
  if (changes_open_++ > 0) return;
  change_failures_ = FailureCount();
  if (bulk_depth_ == 0) EnsureMarker();
}

void GSO_dBHandler::EndChange(bool ok) {
  if (--changes_open_ > 0) {
    if (!ok) change_failed_ = true;
    return;
  }
  // A failure the error hook let through counts as a failed change as well.
  if (!ok || FailureCount() != change_failures_) change_failed_ = true;
  if (bulk_depth_ == 0) RemoveMarkerIfDone();
}

std::vector<std::string> GSO_dBHandler::OpenIndexNames() const {
  std::vector<std::string> names;
  for (const auto& file : index_slots_)
    if (file && file->Disk()) names.push_back(file->Disk()->FileName());
  return names;
}

void GSO_dBHandler::EnsureMarker() {
  if (marker_written_ || Closed() || Shared() || !ReadWrite()) return;
  std::vector<std::string> names = OpenIndexNames();
  if (names.empty()) return;
  // Without a marker (a read-only folder) the change goes on: it is as durable,
  // only a kill inside it would go unnoticed.
  marker_written_ = marker_.Write(names, false) == 0;
}

void GSO_dBHandler::RemoveMarkerIfDone() {
  if (!marker_written_ || change_failed_) return;
  if (marker_.Remove()) marker_written_ = false;
}

void GSO_dBHandler::WriteIndexChanges() {
  for (auto& file : index_slots_)
    if (file) file->WriteChanges();
  if (current_tag_ && !current_tag_->Root()) current_tag_->LoadTree(1);
}

// ---------------------------------------------------------------------------
// Bulk scopes

void GSO_dBHandler::BeginBulk() {
  if (bulk_depth_++ == 0) {
    change_failures_ = FailureCount();
    EnsureMarker();
    HoldHeaderWrites(true);
    if (!Shared())
      for (auto& file : index_slots_)
        if (file) file->SetHoldLeaves(true);
  }
}

void GSO_dBHandler::EndBulk() {
  if (bulk_depth_ == 0 || --bulk_depth_ > 0) return;
  try {
    // The records are in the file: their count, then their keys.
    HoldHeaderWrites(false);
    for (auto& file : index_slots_)
      if (file) file->SetHoldLeaves(false);
    WriteIndexChanges();
  } catch (...) {
    change_failed_ = true;
    throw;
  }
  if (FailureCount() != change_failures_) change_failed_ = true;
  RemoveMarkerIfDone();
}

TgsBulkScope::~TgsBulkScope() noexcept(false) {
  if (!handler_) return;
  if (std::uncaught_exceptions() > exceptions_) {
    try {
      End();
    } catch (...) {
    }
  } else {
    End();
  }
}

void TgsBulkScope::End() {
  GSO_dBHandler* h = handler_;
  handler_ = nullptr;
  if (h) h->EndBulk();
}

void GSO_dBHandler::SyncToDisk() {
  if (Closed()) return;
  WriteIndexChanges();
  if (header_dirty_ && !file_locked_) WriteHeader();
  GSO_DiskFile::Flush();
  // Only a memo file in use; opening one here would fail for a missing file.
  if (memo_) memo_->Flush();
  for (auto& file : index_slots_)
    if (file && file->Disk()) file->Disk()->Flush();
}

// ---------------------------------------------------------------------------
// Repair at open

void GSO_dBHandler::RepairAfterInterruptedChange(GSobjIndexFile& file) {
  const std::string name = file.Disk()->RealPath();
  if (!ReadWrite() || !file.Disk()->ReadWrite() || Shared()) {
    file.MarkStale("Index " + name + " may not match table " + RealPath() +
                   ": a change of them was interrupted (the program ended during it); open "
                   "the table for writing, or reindex, to rebuild it");
    return;
  }
  rebuilding_index_ = name;
  TgsScopeExit done([&] { rebuilding_index_.clear(); });
  StatusUpdate(-1, kStatusRepairIndex, record_count_);
  RebuildFiles({&file});
  StatusUpdate(0, 0, 0);
  rebuilt_indexes_.push_back(name);
  if (!marker_written_) marker_.Forget(file.Disk()->FileName(), true);
}

void GSO_dBHandler::RebuildFiles(const std::vector<GSobjIndexFile*>& files) {
  GSobjIndexTag* tag = current_tag_;
  bool saved_read_ahead = read_ahead_;
  current_tag_ = nullptr;
  record_state_ = kStateBusy;
  SetReadAhead(true);
  TgsScopeExit restore([&] {
    record_state_ = kStateReady;
    SetReadAhead(saved_read_ahead);
    current_tag_ = tag;
  });
  for (GSobjIndexFile* file : files) file->RebuildAll();
}

bool GSO_dBHandler::IsPastEnd(int32_t record) {
  if (record < 1) return true;
  if (record > record_count_) RereadHeader();
  return record > record_count_;
}

void GSO_dBHandler::SkipStaleKey(int32_t record) {
  ++skipped_keys_;
  GSobjIndexFile* file = current_tag_ ? current_tag_->File() : nullptr;
  if (!file || file->Stale() || !file->Disk()) return;
  file->MarkStale("Index " + file->Disk()->RealPath() + " does not match table " + RealPath() +
                  ": a key of tag " + current_tag_->TagName() + " names record " +
                  std::to_string(record) + ", and the table holds " +
                  std::to_string(record_count_) + " records; reindex it");
}

std::vector<std::string> GSO_dBHandler::StaleIndexReasons() const {
  std::vector<std::string> reasons;
  for (const auto& file : index_slots_)
    if (file && file->Stale()) reasons.push_back(file->StaleReason());
  return reasons;
}

}  // namespace devazoz
