#include "engine/foundation/gs6_dbsy.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_scope.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_indx.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "engine/table/gs6_memo.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "platform/services/codepage.h"
#include "platform/services/exception.h"
#include "platform/services/numtext.h"

namespace devazoz {
namespace {

constexpr int32_t kReadAheadChunkBytes = 256 * 1024;

// A number as the 6-byte real of the table format holds it: 40 bits of mantissa.
double RoundToReal48(double v) {
  if (v == 0 || !std::isfinite(v)) return v;
  int exponent = 0;
  double mantissa = std::frexp(v, &exponent);
  return std::ldexp(std::round(std::ldexp(mantissa, 40)), exponent - 40);
}

// What SearchField looks for, worked out once from the value and the options.
struct FieldPattern {
  std::string value;           // upper-cased when case-insensitive, stars removed
  std::vector<bool> any_char;  // positions of '?' when wildcards are on
  bool case_insensitive = false;
  bool oem_text = false;      // case is folded with the OEM letters
  bool whole = false;         // the field without trailing blanks equals the value
  bool anywhere = false;      // the value may start inside the field
  bool prefix = false;        // the field may go on after the value
  bool single_field = false;  // logical fields match only when one field is searched
  bool number_ok = false;     // the value reads as a number (for N and F fields)
  double number = 0;
  bool logic = false;  // the value's first character is a true letter (L fields)
};

std::string FoldCase(const std::string& text, bool oem_text) {
  return oem_text ? platform::OemUpper(text) : platform::AnsiUpper(text);
}

FieldPattern MakeFieldPattern(const std::string& value_in, uint16_t options, bool single_field,
                              bool oem_text) {
  FieldPattern p;
  p.case_insensitive = (options & kSearchCaseInsensitive) != 0;
  p.oem_text = oem_text;
  p.value = p.case_insensitive ? FoldCase(value_in, oem_text) : value_in;
  p.whole = (options & kSearchWholeField) != 0;
  if (options & kSearchWildcards) {
    if (!p.value.empty() && p.value.front() == '*') {
      p.anywhere = true;
      p.whole = false;
      p.value.erase(0, 1);
    }
    if (!p.value.empty() && p.value.back() == '*') {
      p.prefix = true;
      p.whole = false;
      p.value.pop_back();
    }
    if (p.value.find('?') != std::string::npos) p.whole = false;
  } else {
    p.anywhere = !(options & kSearchAnchored);
    p.prefix = !(options & kSearchWholeField);
  }
  p.any_char.assign(p.value.size(), false);
  if (options & kSearchWildcards)
    for (size_t k = 0; k < p.value.size(); ++k) p.any_char[k] = p.value[k] == '?';
  p.single_field = single_field;
  p.number_ok = platform::ParseDecimal(Trim(value_in), p.number);
  p.logic = IsTrueLetter(value_in[0]);
  return p;
}

// Whether field n of the current record matches the pattern, by the field's type.
bool FieldMatches(GSO_dBHandler& table, int n, const FieldPattern& p) {
  const FieldDescriptor& f = table.Descriptor(n);
  const std::string& value = p.value;
  switch (f.type) {
    case 'C': {
      if (f.length < value.size()) return false;
      std::string text = table.RawGetStr(f, table.CurrentRecord());
      if (p.case_insensitive) text = FoldCase(text, p.oem_text);
      auto equal_at = [&](size_t at) {
        for (size_t k = 0; k < value.size(); ++k)
          if (!p.any_char[k] && text[at + k] != value[k]) return false;
        return true;
      };
      std::string trimmed = TrimRightZ(text);
      if (p.whole) return trimmed.size() == value.size() && equal_at(0);
      for (size_t at = 0; at + value.size() <= text.size(); ++at) {
        if (at > 0 && !p.anywhere) break;
        if (!equal_at(at)) continue;
        if (!p.prefix && at + value.size() != trimmed.size()) continue;
        return true;
      }
      return false;
    }
    case 'N':
    case 'F': {
      if (!p.number_ok) return false;
      double v;
      try {
        v = table.GetNum(n);
      } catch (const EDevazozError&) {
        return false;
      }
      return RoundToReal48(v) == RoundToReal48(p.number);
    }
    case 'D': {
      try {
        return DBFDate().StorageToDay(value) == table.GetDate(n);
      } catch (const std::exception&) {
        return false;
      }
    }
    case 'L':
      return p.single_field && table.GetLogic(n) == p.logic;
    default:
      return false;
  }
}

}  // namespace

GSO_dBHandler::GSO_dBHandler(const std::string& file_name, bool read_write, bool shared)
    : GSO_dBaseFld(file_name, shared, read_write), marker_(RealPath()) {
  // The handler reads ahead itself (ReadAt below); the table's own window would
  // read around it.
  table_read_ahead_ = false;
  // A change marker left by a process that ended inside a change names the index
  // files to repair as they are opened.
  if (!Closed()) found_marker_ = marker_.Read();
}

GSO_dBHandler::~GSO_dBHandler() {
  filter_expression_.reset();
  current_tag_ = nullptr;
  // Closing writes what a scope left unended still holds (the table header, then
  // the index files); only then may the marker go.
  bool closed_cleanly = true;
  try {
    HoldHeaderWrites(false);
  } catch (...) {
    closed_cleanly = false;
  }
  for (auto& slot : index_slots_) {
    try {
      if (slot) slot->WriteChanges();
    } catch (...) {
      closed_cleanly = false;
    }
    slot.reset();
  }
  if (marker_written_ && closed_cleanly && !change_failed_) marker_.Remove();
}

// ---------------------------------------------------------------------------
// Read-ahead

void GSO_dBHandler::SetReadAheadAllowed(bool allowed) {
  read_ahead_allowed_ = allowed;
  if (!allowed) SetReadAhead(false);
}

void GSO_dBHandler::SetReadAhead(bool on) {
  if (!read_ahead_allowed_ || record_length_ <= 0) on = false;  // a refused table has no records
  if (on == read_ahead_) return;
  if (!on) {
    std::vector<uint8_t>().swap(cache_buffer_);
    cache_start_ = -1;
    read_ahead_ = false;
    return;
  }
  // Natural-order scans read the file in pieces of at least 256 KiB (the
  // read-ahead setting, a 16-bit number, can only ask for less): pieces that
  // large go to the system's read, which copies from the page cache at about
  // the speed of the copy itself, where smaller ones come through the file's
  // view and fault its pages in one by one.
  int32_t size = std::max<int32_t>(Settings().read_ahead_size, kReadAheadChunkBytes);
  size = std::max(record_length_, size / record_length_ * record_length_);
  cache_buffer_.assign(size_t(size), 0);
  cache_size_ = size;
  cache_records_ = size / record_length_;
  cache_start_ = -1;
  cache_end_ = 0;
  read_ahead_ = true;
}

int32_t GSO_dBHandler::ReadAt(int64_t offset, void* buffer, int32_t count) {
  if (!read_ahead_ || read_ahead_suspended_ || offset < header_length_ || count != record_length_)
    return GSO_dBaseFld::ReadAt(offset, buffer, count);
  if (cache_start_ < 0 || offset < cache_start_ || offset + count > cache_end_) {
    int32_t got = GSO_dBaseFld::ReadAt(offset, cache_buffer_.data(), cache_size_);
    last_error_ = 0;  // a short read at the end of the file is expected here
    cache_start_ = offset;
    cache_end_ = offset + std::max(got, 0);
  }
  int32_t n = int32_t(std::clamp<int64_t>(cache_end_ - offset, 0, count));
  if (n > 0) std::memcpy(buffer, cache_buffer_.data() + (offset - cache_start_), size_t(n));
  bytes_done_ = n;
  position_ = offset + count;
  last_error_ = n < count ? kErrShortRead : 0;
  return n;
}

void GSO_dBHandler::WriteAt(int64_t offset, const void* buffer, int32_t count) {
  GSO_dBaseFld::WriteAt(offset, buffer, count);
  if (offset == 0 || !read_ahead_ || cache_start_ < 0) return;
  // Whatever part of the write falls inside the buffer is copied there, so the
  // buffer never serves a stale record.
  int64_t from = std::max(offset, cache_start_);
  int64_t to = std::min(offset + count, cache_end_);
  if (from < to)
    std::memcpy(cache_buffer_.data() + (from - cache_start_),
                static_cast<const uint8_t*>(buffer) + (from - offset), size_t(to - from));
}

// ---------------------------------------------------------------------------
// Moving
//
// The record walk (ReadRecord with a move code, Skip, FindKey) in Ready state:
//  - the order is the current tag's (within its key range), else the filter
//    set's when a filter is in use, else the records' natural order;
//  - a record counts when its filter bit is set (filter in use), it is in the
//    accept set (when the host gave one), it is not deleted or deleted records
//    are visible, and RecordAccepted agrees; a direct record number always
//    counts;
//  - the walk stops at the first record that counts, or at an end: then EOF or
//    BOF is set and the record buffer keeps the last record read;
//  - afterwards the current tag stands on the record read (Resync), and under
//    ClipLock the index files are unlocked again.
// In Busy state (rebuilding, packing, searching) reads go to the table as asked.

bool GSO_dBHandler::RecordAccepted() { return true; }

int32_t GSO_dBHandler::FilterMove(int32_t request) {
  // The records of the sets in use: none beyond the lowest of their highest bits,
  // and none beyond the table's end (bits are set for records of the table only).
  int32_t highest = filter_set_in_use_ ? filter_set_.HighestBit() : INT32_MAX;
  if (accept_set_) highest = std::min(highest, accept_set_->HighestBit());
  highest = std::min(highest, record_count_);
  if (highest < 1) {
    eof_ = bof_ = true;
    return 0;
  }
  int32_t n = 0;
  switch (request) {
    case kMoveFirst:
      n = 1;
      break;
    case kMoveLast:
      n = highest;
      break;
    case kMoveNext:
      n = record_number_ + 1;
      break;
    case kMovePrevious:
      n = record_number_ - 1;
      break;
    default:
      n = std::max(record_number_, 1);
      break;  // current, or the next one set
  }
  bool downward = request == kMoveLast || request == kMovePrevious;
  if (downward) {
    n = std::min(n, highest);
    while (n >= 1 && !InWalkSets(n)) --n;
    if (n < 1) bof_ = true;
  } else {
    while (n <= highest && !InWalkSets(n)) ++n;
    if (n > highest) eof_ = true;
  }
  return (eof_ || bof_) ? 0 : n;
}

void GSO_dBHandler::ReadRecord(int32_t request) {
  if (record_state_ != kStateReady) {
    GSO_dBaseFld::ReadRecord(request);
    return;
  }
  eof_ = bof_ = false;
  bool move = request < 0;
  if (move && accept_set_ && accept_set_->HighestBit() < 1) {
    // Nothing is accepted: no walk of the tag over every key to find that out.
    eof_ = bof_ = true;
    return;
  }
  int32_t direction = request;
  if (request == kMoveFirst || request == kMoveCurrent) direction = kMoveNext;
  if (request == kMoveLast) direction = kMovePrevious;
  int32_t tag_record = -1;
  int32_t req = request;
  for (;;) {
    int32_t chosen = 0;
    bool from_cursor = false;
    if (current_tag_ && move) {
      {
        read_ahead_suspended_ = true;
        TgsScopeExit resume([&] { read_ahead_suspended_ = false; });
        chosen = current_tag_->Navigate(req);
      }
      if (req == kMoveNext || req == kMovePrevious) PrefetchUpcoming(req == kMoveNext);
      eof_ = current_tag_->Eof();
      bof_ = current_tag_->Bof();
      tag_record = chosen;
      from_cursor = true;
      if (!eof_ && !bof_ && !InWalkSets(chosen)) {
        req = direction;
        continue;
      }
    } else if ((filter_set_in_use_ || accept_set_) && move) {
      chosen = FilterMove(req);
      from_cursor = true;
    } else {
      GSO_dBaseFld::ReadRecord(req);
    }
    if (eof_ || bof_) break;
    if (from_cursor) {
      if (chosen > record_count_) RereadHeader();
      if (chosen < 1 || chosen > record_count_) {
        // A key naming no record of the table: the index is out of step with
        // it. The key is never shown as a record; the walk goes on past it.
        SkipStaleKey(chosen);
        req = direction;
        continue;
      }
      GSO_dBaseFld::ReadRecord(chosen);
    }
    if (!move || Visible()) break;
    req = direction;
  }
  if (current_tag_ && !eof_ && !bof_ && tag_record != record_number_)
    current_tag_->Resync(record_number_);
  if (lock_protocol_ == TgsLokProtocol::ClipLock) UnlockIndexes();
}

void GSO_dBHandler::PrefetchUpcoming(bool forward) {
  // A walk in tag order reads records all over the file, each a cache (and
  // often a TLB) miss; the records of the next keys of the leaf are fetched
  // while this one is read and handled.
  constexpr int kAhead = 6;
  int32_t records[kAhead];
  int64_t offsets[kAhead];
  int n = current_tag_->UpcomingRecords(records, kAhead, forward), m = 0;
  for (int i = 0; i < n; ++i)
    if (records[i] >= 1 && records[i] <= record_count_) offsets[m++] = RecordOffset(records[i]);
  Prefetch(offsets, m, record_length_);
}

void GSO_dBHandler::Skip(int32_t count) {
  if (count == 0) {
    GetRecord(kMoveCurrent);
    return;
  }
  int32_t steps = count > 0 ? count : -count;
  if (filter_wanted_ || !use_deleted || accept_set_) {
    for (int32_t i = 0; i < steps && !eof_ && !bof_; ++i)
      GetRecord(count > 0 ? kMoveNext : kMovePrevious);
    return;
  }
  bool reached_end = false;
  if (current_tag_) {
    int32_t found = 0;
    for (int32_t i = 0; i < steps;) {
      int32_t r = current_tag_->Navigate(count > 0 ? kMoveNext : kMovePrevious);
      if (r == 0) {
        reached_end = true;
        found = current_tag_->Navigate(count > 0 ? kMoveLast : kMoveFirst);
        // Back from the end over keys that name no record.
        while (found != 0 && IsPastEnd(found)) {
          SkipStaleKey(found);
          found = current_tag_->Navigate(count > 0 ? kMovePrevious : kMoveNext);
        }
        break;
      }
      if (IsPastEnd(r)) {
        SkipStaleKey(r);
        continue;
      }
      found = r;
      ++i;
    }
    // The record found is read directly, not as a move of the tag.
    GSobjIndexTag* tag = current_tag_;
    current_tag_ = nullptr;
    TgsScopeExit restore_tag([&] { current_tag_ = tag; });
    if (found > 0) GetRecord(found);
  } else {
    int64_t target = int64_t(record_number_) + count;
    if (target > record_count_) {
      target = record_count_;
      reached_end = true;
    } else if (target < 1) {
      target = 1;
      reached_end = true;
    }
    GetRecord(int32_t(target));
  }
  if (reached_end) {
    eof_ = count > 0;
    bof_ = count < 0;
  }
}

// ---------------------------------------------------------------------------
// Keys

bool GSO_dBHandler::FindKey(const std::string& key) {
  key_matched_ = false;
  if (record_count_ == 0) RereadHeader();
  if (record_count_ == 0) return false;
  bool clip = lock_protocol_ == TgsLokProtocol::ClipLock;
  if (clip && !LockIndexes()) return false;
  TgsScopeExit unlock([&] {
    if (clip) UnlockIndexes();
  });
  if (!current_tag_) {
    GetRecord(kMoveLast);
    eof_ = true;
    return false;
  }
  GSobjIndexKeyData search;
  search.Value.SetText(key.size() > 256 ? key.substr(0, 256) : key);
  search.RecordNumber = kAnyRecord;
  int32_t r = current_tag_->Find(search);
  if (r < 1) {
    if (current_tag_->Eof() || !soft_seek) {
      GetRecord(kMoveLast);
      eof_ = true;
    } else {
      int32_t next = current_tag_->Navigate(kMoveCurrent);
      if (next > 0) GetRecord(next);
    }
    return false;
  }
  if (IsPastEnd(r)) {
    // The key names no record: go on from the next key.
    SkipStaleKey(r);
    GetRecord(kMoveNext);
  } else {
    GSO_dBaseFld::ReadRecord(r);
  }
  while (!Visible() && !eof_) Skip(1);
  if (!eof_) {
    GSobjIndexKeyData normalized;
    normalized.Value.SetText(search.Value.AsText());
    current_tag_->NormalizeKey(normalized);
    int position = 0;
    int c =
        normalized.Value.Compare(&current_tag_->CurrentKey().Value, position, collation_map_, -1);
    if (c == 0)
      key_matched_ = true;
    else if (uint32_t(position) > normalized.Value.Length() && !exact_comparison)
      key_matched_ = true;
    if (!key_matched_ && !soft_seek) {
      GetRecord(kMoveLast);
      eof_ = true;
    }
  }
  return key_matched_;
}

int32_t GSO_dBHandler::FindKeyInTag(const std::string& tag_name, const std::string& key) {
  bool clip = lock_protocol_ == TgsLokProtocol::ClipLock;
  if (clip && !LockIndexes()) return -1;
  TgsScopeExit unlock([&] {
    if (clip) UnlockIndexes();
  });
  GSobjIndexTag* tag = nullptr;
  for (int slot = 1; slot <= kIndexSlots && !tag; ++slot)
    if (index_slots_[size_t(slot)]) tag = index_slots_[size_t(slot)]->FindTag(tag_name);
  if (!tag) return -1;
  GSobjIndexKeyData search;
  search.Value.SetText(key.size() > 256 ? key.substr(0, 256) : key);
  search.RecordNumber = kAnyRecord;
  bool saved_exact = exact_comparison;
  exact_comparison = true;
  TgsScopeExit restore_exact([&] { exact_comparison = saved_exact; });
  return std::max(tag->Lookup(search), 0);
}

bool GSO_dBHandler::LockIndexes() {
  for (int slot = 1; slot <= kIndexSlots; ++slot) {
    GSobjIndexFile* file = index_slots_[size_t(slot)].get();
    if (!file || !file->Disk()) continue;
    if (!file->LockIndexFile()) {
      for (int back = 1; back < slot; ++back)
        if (index_slots_[size_t(back)] && index_slots_[size_t(back)]->Disk())
          index_slots_[size_t(back)]->UnlockIndexFile();
      SetLastOsError(kErrLockViolation);
      return false;
    }
  }
  return true;
}

void GSO_dBHandler::UnlockIndexes() {
  for (auto& file : index_slots_)
    if (file && file->Disk()) file->Disk()->UnlockRegion();
}

// ---------------------------------------------------------------------------
// Writing

bool GSO_dBHandler::EvaluateFilter() {
  TgsExpValue* value = filter_expression_->Evaluate(filter_value_);
  return value && filter_expression_->ResultType() == kExpLogic && value->logic;
}

void GSO_dBHandler::Notify(uint8_t code, int32_t value) {
  GSO_dBaseFld::Notify(code, value);
  if (code == kEventAfterWrite) {
    if (packing_) return;  // the indexes are rebuilt when the pack ends
    if (filter_expression_ && filter_expression_->HasExpression() && record_number_ > 0)
      filter_set_.Change(record_number_, EvaluateFilter() ? TgsHugeSet::kSet : TgsHugeSet::kClear);
    for (auto& file : index_slots_)
      if (file) file->UpdateKeys(record_number_, value == 0);
    // Outside a bulk scope the keys reach the system before the change returns.
    if (bulk_depth_ == 0)
      for (auto& file : index_slots_)
        if (file) file->WriteChanges();
    if (current_tag_) {
      if (!current_tag_->Root())
        current_tag_->LoadTree(1);
      else
        current_tag_->Resync(record_number_);
      eof_ = current_tag_->Eof();
      bof_ = current_tag_->Bof();
      if (!filter_set_in_use_) {
        eof_ = value == 0 || value == record_count_;
        bof_ = value == 1;
      }
    }
  } else if (code == kEventBeforeWrite) {
    if (packing_) return;
    // Damage on the way of the key changes refuses the write before the table
    // is touched; an index known to be damaged refuses every write.
    bool append = value <= 0 || value > record_count_;
    for (auto& file : index_slots_)
      if (file) file->CheckKeyPaths(value, append);
  } else if (code == kEventFlushed) {
    for (auto& file : index_slots_)
      if (file && file->Disk()) file->Disk()->Flush();
  }
}

bool GSO_dBHandler::HasIndexOpen() { return index_slots_[1] != nullptr; }

void GSO_dBHandler::SetLockProtocol(TgsLokProtocol protocol) {
  GSO_dBaseFld::SetLockProtocol(protocol);
  for (auto& file : index_slots_)
    if (file) file->SetLockProtocol(int(protocol));
}

bool GSO_dBHandler::Rename(const std::string& new_name) {
  std::string base = platform::AnsiUpper(BaseName(FileName()));
  bool ok = GSO_dBaseFld::Rename(new_name);
  for (auto& file : index_slots_)
    if (file && file->Disk() && platform::AnsiUpper(BaseName(file->Disk()->FileName())) == base)
      file->RenameExtension(new_name);
  return ok;
}

// ---------------------------------------------------------------------------
// Index files

std::string GSO_dBHandler::IndexFileName(const std::string& name) const {
  std::string full = platform::AnsiUpper(Trim(name));
  if (full.find_first_of("/\\") == std::string::npos) {
    size_t slash = FileName().find_last_of('/');
    if (slash != std::string::npos) full = FileName().substr(0, slash + 1) + full;
  }
  return DefaultExtension(full, Settings().default_index_extension);
}

GSobjIndexFile* GSO_dBHandler::IndexFile(int slot) const {
  return slot >= 1 && slot <= kIndexSlots ? index_slots_[size_t(slot)].get() : nullptr;
}

int GSO_dBHandler::IndexFileCount() const {
  int n = 0;
  for (const auto& file : index_slots_)
    if (file) ++n;
  return n;
}

int GSO_dBHandler::OpenIndexFile(const std::string& name) {
  std::string full = IndexFileName(name);
  for (const auto& file : index_slots_)
    if (file && file->Disk() && file->Disk()->FileName() == GSO_DiskFile::MakeAbsolute(full))
      return -1;
  int free_slot = 0;
  for (int slot = 1; slot <= kIndexSlots && !free_slot; ++slot)
    if (!index_slots_[size_t(slot)]) free_slot = slot;
  if (!free_slot) {
    ReportError(kErrTooManyOpenFiles, kSubNone,
                (full + ": no free index slot (at most 63 index files per table)").c_str());
    return kErrTooManyOpenFiles;
  }
  std::unique_ptr<GSobjIndexFile> file = CreateIndexFile(full);
  if (file && file->Valid()) {
    file->SetLockProtocol(int(lock_protocol_));
    GSobjIndexFile& opened = *file;
    index_slots_[size_t(free_slot)] = std::move(file);
    if (opened.Disk() && found_marker_.Names(opened.Disk()->FileName()))
      RepairAfterInterruptedChange(opened);
    if (marker_written_) marker_.Write(OpenIndexNames(), false);
    return 0;
  }
  int32_t code = (file && file->HeaderError()) ? kErrIndexHeader : kErrFileNotFound;
  std::string info = name;
  if (file && file->HeaderError()) {
    // The file by its path on disk, then what is wrong with it; the reason
    // itself begins by naming the file, which is said once.
    if (file->Disk()) info = file->Disk()->RealPath();
    std::string why = file->ErrorText();
    bool named = false;
    for (const std::string& own : {"Index file " + file->FileName(), "Index file " + info}) {
      if (!named && why.rfind(own, 0) == 0) {
        info += why.substr(own.size());
        named = true;
      }
    }
    if (!named && !why.empty()) info += ": " + why;
  }
  file.reset();
  ReportError(code, kSubNone, info.c_str());
  return code;
}

int GSO_dBHandler::OpenIndexList(const std::string* list, const std::string& tag_name) {
  CloseIndexFiles();
  if (!list) return 1;
  std::string text = *list;
  while (!text.empty() && (text.back() == ' ' || text.back() == ',' || text.back() == ';'))
    text.pop_back();
  std::vector<std::string> names;
  std::string piece;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      if (!piece.empty()) names.push_back(piece);
      piece.clear();
    } else if (!quoted && (c == ' ' || c == ',' || c == ';' || c == '\t')) {
      if (!piece.empty()) names.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) names.push_back(piece);
  for (const std::string& name : names) {
    int rc = OpenIndexFile(name);
    if (rc > 0) return rc;
  }
  std::string tag = tag_name;
  SelectTag(Trim(tag).empty() ? nullptr : &tag, true);
  return 0;
}

void GSO_dBHandler::CloseIndexFiles() {
  current_tag_ = nullptr;
  current_tag_name_.clear();
  for (auto& file : index_slots_) file.reset();
}

GSobjIndexTag* GSO_dBHandler::TagByNumber(int n) const {
  if (n < 1) return nullptr;
  for (const auto& file : index_slots_) {
    if (!file) continue;
    if (n <= file->TagCount()) return file->TagAt(n - 1);
    n -= file->TagCount();
  }
  return nullptr;
}

int GSO_dBHandler::SelectTag(const std::string* name, bool keep_position) {
  if (name) {
    std::string wanted = platform::AnsiUpper(Trim(*name));
    GSobjIndexTag* tag = nullptr;
    int slot_found = 0;
    for (int slot = 1; slot <= kIndexSlots && !tag; ++slot) {
      if (!index_slots_[size_t(slot)]) continue;
      tag = index_slots_[size_t(slot)]->FindTag(wanted);
      if (tag) slot_found = slot;
    }
    if (!tag) throw EDevazozError("Cannot find index tag " + *name);
    ClearRange();
    if (current_tag_) current_tag_->ReleaseTree();
    current_tag_ = nullptr;
    SetReadAhead(false);
    current_tag_name_ = wanted;
    current_tag_ = tag;
    tag->LoadTree(1);
    GetRecord(keep_position ? record_number_ : kMoveFirst);
    return slot_found;
  }
  ClearRange();
  if (current_tag_) current_tag_->ReleaseTree();
  current_tag_ = nullptr;
  current_tag_name_.clear();
  SetReadAhead(true);
  if (!keep_position) GetRecord(kMoveFirst);
  return 0;
}

std::unique_ptr<GSobjIndexFile> GSO_dBHandler::CreateIndexFile(const std::string& name) {
  // The first four characters of the extension choose the format; any other
  // extension counts as not found.
  size_t dot = name.rfind('.');
  size_t slash = name.find_last_of("/\\");
  std::string extension = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                              ? std::string()
                              : platform::AnsiUpper(name.substr(dot, 4));
  if (extension == ".CDX")
    return std::make_unique<GSobjCDXFile>(this, name, false, false, ReadWrite(), Shared());
  if (extension == ".NTX")
    return std::make_unique<GSobjNTXFile>(this, name, false, false, ReadWrite(), Shared());
  if (extension == ".NDX")
    return std::make_unique<GSobjNDXFile>(this, name, false, false, ReadWrite(), Shared());
  if (extension == ".MDX")
    return std::make_unique<GSobjMDXFile>(this, name, false, false, ReadWrite(), Shared());
  return nullptr;
}

// ---------------------------------------------------------------------------
// Range and filter

void GSO_dBHandler::SetKeyRange(const std::string& low, const std::string& high, bool low_inclusive,
                                bool high_inclusive) {
  if (!current_tag_) return;
  GSobjIndexKeyData lo, hi;
  lo.Value.SetText(low.size() > 256 ? low.substr(0, 256) : low);
  hi.Value.SetText(high.size() > 256 ? high.substr(0, 256) : high);
  current_tag_->SetRange(&lo, low_inclusive, high_inclusive, &hi);
  GetRecord(kMoveFirst);
  if (bof_) BlankRecord();
}

void GSO_dBHandler::ClearRange() {
  if (current_tag_) current_tag_->ClearRange();
}

void GSO_dBHandler::BuildFilterSet() {
  int32_t remembered = record_number_;
  bool saved_read_ahead = read_ahead_;
  {
    TgsScopeExit restore_read_ahead([&] { SetReadAhead(saved_read_ahead); });
    if (!current_tag_) SetReadAhead(true);
    GetRecord(kMoveFirst);
    while (!eof_ && !bof_) {
      if (EvaluateFilter()) filter_set_.Change(record_number_, TgsHugeSet::kSet);
      GetRecord(kMoveNext);
    }
  }
  if (remembered >= 1) GetRecord(remembered);
}

void GSO_dBHandler::SetFilterExpression(const std::string& text, bool case_insensitive,
                                        bool partial) {
  bool wanted = filter_wanted_;
  filter_set_in_use_ = false;
  TgsExpUserLink* link = ExpressionLink();
  if (!filter_expression_) filter_expression_ = std::make_unique<TgsExpHandler>(link, false, "");
  if (text != filter_text_ || case_insensitive != filter_expression_->CaseInsensitive() ||
      partial != filter_expression_->Wildcard() ||
      search_oem_text != filter_expression_->OemText()) {
    filter_set_.Clear();
    filter_text_.clear();
    filter_expression_->SetCaseInsensitive(case_insensitive);
    filter_expression_->SetOemText(search_oem_text);
    filter_expression_->SetWildcard(partial);
    filter_expression_->SetExpression(text);
    if (filter_expression_->HasExpression()) {
      TgsVariant probe;
      filter_expression_->EvaluateVariant(probe);
      if (filter_expression_->ResultType() != kExpLogic) {
        filter_expression_->SetExpression("");
        throw EDevazozError("Filter expression must return boolean result");
      }
      filter_text_ = text;
      BuildFilterSet();
    } else {
      filter_text_ = text;
    }
  }
  SetFilterActive(wanted);
}

void GSO_dBHandler::SetFilterActive(bool on) {
  filter_wanted_ = on;
  filter_set_in_use_ = on && filter_expression_ && filter_expression_->HasExpression();
}

void GSO_dBHandler::RefreshFilter() {
  if (!filter_set_in_use_) return;
  filter_set_.Clear();
  filter_set_in_use_ = false;
  BuildFilterSet();
  SetFilterActive(true);
}

// ---------------------------------------------------------------------------
// Maintenance

void GSO_dBHandler::Reindex() {
  std::vector<GSobjIndexFile*> files;
  for (auto& file : index_slots_)
    if (file) files.push_back(file.get());
  int64_t failures = FailureCount();
  try {
    RebuildFiles(files);
  } catch (...) {
    // Stopped or failed: each file is the one it was, and the current tag's path
    // is loaded again from it.
    if (current_tag_) current_tag_->LoadTree(0);
    throw;
  }
  if (FailureCount() == failures) {
    // Every open index file now matches the table: what an interrupted change
    // left is repaired.
    change_failed_ = false;
    if (!marker_written_) {
      for (GSobjIndexFile* file : files)
        if (file->Disk()) marker_.Forget(file->Disk()->FileName(), false);
    } else if (bulk_depth_ == 0 && changes_open_ == 0) {
      RemoveMarkerIfDone();
    }
  }
  if (current_tag_) current_tag_->LoadTree(0);
  GetRecord(kMoveFirst);
}

int GSO_dBHandler::SearchField(const std::string& value_in, int& field, int32_t limit,
                               int32_t& record) {
  if (field > field_count_ || field < 0 || value_in.empty()) return 0;
  uint16_t options = search_options;
  int first = field == 0 ? 1 : field, last = field == 0 ? field_count_ : field;
  const FieldPattern pattern = MakeFieldPattern(value_in, options, first == last, search_oem_text);

  int32_t start_record = record_number_;
  GSobjIndexTag* saved_tag = current_tag_;
  bool saved_read_ahead = read_ahead_;
  int32_t visited = 0;
  int found_field = 0;
  StatusUpdate(-1, kStatusSearch, record_count_);
  {
    // However the scan ends: state, read-ahead and tag come back (in that
    // order), and without a match the record current at the start is read again.
    TgsScopeExit reposition([&] {
      if (start_record >= 1) GetRecord(start_record);
    });
    TgsScopeExit restore([&] {
      record_state_ = kStateReady;
      SetReadAhead(saved_read_ahead);
      current_tag_ = saved_tag;
    });
    // Without the kept state the scan reads in state 4, record after record as
    // the table holds them. A read ends in state 1, so each one asks for state 4
    // again: otherwise the second read would go through a kept tag (from wherever
    // its cursor stood) and skip records.
    const bool busy = !(options & kSearchKeepState);
    auto read = [&](int32_t request) {
      if (busy) record_state_ = kStateBusy;
      GetRecord(request);
    };
    if (!(options & kSearchKeepTag)) {
      current_tag_ = nullptr;
      SetReadAhead(true);
    }
    if (record >= 1) {
      read(record);
      if (busy)
        read(kMoveNext);
      else
        Skip(1);
    } else {
      read(kMoveFirst);
    }
    while (!eof_ && (limit == 0 || visited < limit)) {
      ++visited;
      for (int n = first; n <= last && !found_field; ++n)
        if (FieldMatches(*this, n, pattern)) found_field = n;
      if (found_field) break;
      StatusUpdate(kStatusSearch, visited, 0);
      read(kMoveNext);
    }
    if (found_field) {
      reposition.Dismiss();
      record = record_number_;
      field = found_field;
    }
  }
  if (found_field) GetRecord(record);
  StatusUpdate(0, visited, 0);
  return found_field ? 1 : 0;
}

}  // namespace devazoz
