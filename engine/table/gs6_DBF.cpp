#include "engine/table/gs6_DBF.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_mark.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_memo.h"
#include "platform/services/codepage.h"
#include "platform/services/datetime.h"

namespace devazoz {
namespace {

bool AcceptedVersion(uint8_t v) {
  return v == 0x03 || v == 0x30 || v == 0x83 || v == 0x8B || v == 0xF5;
}

// Trimmed, with ".DBF" when the name has no extension. The case is kept: the file
// is found by the name as given first (its upper-cased form is its identity).
std::string PrepareTableName(const std::string& name) {
  return DefaultExtension(Trim(name), ".DBF");
}

// Releases, at the end of a scope, a lock the scope itself took (active), never
// one the caller held before; an unlock that fails is left to the next lock.
struct TableUnlockGuard {
  GSO_dBaseDBF* table;
  bool active;
  ~TableUnlockGuard() {
    if (!active) return;
    try {
      table->Unlock();
    } catch (...) {
    }
  }
};

}  // namespace

GSO_dBaseDBF::GSO_dBaseDBF(const std::string& file_name, bool shared, bool read_write)
    : GSO_DiskFile(PrepareTableName(file_name), read_write, shared) {
  SetLockProtocol(TgsLokProtocol::Default);
  SetCollation(nullptr, nullptr, 0);
  // A name without an extension gets ".DBF"; when only the name as given exists, the
  // message says what it is.
  std::string given = Trim(file_name);
  if (!given.empty() && DefaultExtension(given, ".DBF") != given) {
    switch (os::KindOf(MakeAbsolute(given))) {
      case os::PathKind::kFile:
        missing_note_ = given + " exists without the .DBF extension";
        break;
      case os::PathKind::kFolder:
        missing_note_ = given + " is a folder";
        break;
      case os::PathKind::kDevice:
        missing_note_ = given + " is a device";
        break;
      default:
        break;
    }
  }
  Open();
  ReadHeaderAndDescriptors();
  header_changed_by_other_ = false;
  header_dirty_ = false;
  file_locked_ = false;
  record_changed_ = false;
  use_deleted = true;
  user_id_ = 0;
  record_state_ = kStateReady;
  RereadHeader();
  // (Not through a handle another object of this program opened for reading.)
  if (count_behind_ && ReadWrite() && !Shared() && handle_ && handle_->read_write) {
    header_dirty_ = true;
    WriteHeader();
  }
  Notify(kEventOpened, 0);
}

GSO_dBaseDBF::~GSO_dBaseDBF() {
  // A destructor must not throw: a header that cannot be written now is lost with
  // the error, as the file itself stays consistent record by record.
  try {
    if (header_dirty_ && !Closed()) {
      file_locked_ = false;
      RereadHeader();
      WriteHeader();
    }
  } catch (...) {
  }
  memo_.reset();
}

bool GSO_dBaseDBF::RefuseTable(const std::string& info) {
  ReportError(kErrDbfHeader, kSubDbfOpen, info.c_str());
  version_ = 0;
  has_memo_ = flag_memo_ = false;
  header_length_ = record_length_ = 0;
  record_count_ = field_count_ = 0;
  record_number_ = 0;
  eof_ = bof_ = true;
  descriptors_.clear();
  buffer_.assign(2, ' ');
  buffer_.back() = 0x1A;
  saved_ = buffer_;
  current_record_ = buffer_.data();
  changed_.assign(1, 0);
  Close();
  return false;
}

bool GSO_dBaseDBF::ReadHeaderAndDescriptors() {
  std::memset(header_, 0, kDbfHeaderSize);
  int32_t got = ReadAt(0, header_, kDbfHeaderSize);
  ByteView header(header_, kDbfHeaderSize);
  if (got < kDbfHeaderSize) return RefuseTable(FileName() + ": file shorter than a table header");
  version_ = header.U8(0);
  if (!AcceptedVersion(version_)) return RefuseTable(FileName());
  header_length_ = header.U16LE(8);
  record_length_ = header.U16LE(10);
  uint8_t flags = header.U8(28);
  has_production_index = (flags & 0x01) != 0;
  flag_memo_ = (flags & 0x02) != 0;
  flag_bit2_ = (flags & 0x04) != 0;
  change_stamp_ = header.U32LE(16);
  has_memo_ =
      version_ == 0x83 || version_ == 0x8B || version_ == 0xF5 || (version_ == 0x30 && flag_memo_);
  record_number_ = 0;
  eof_ = false;
  bof_ = true;

  if (header_length_ < kDbfHeaderSize + 1)
    return RefuseTable(FileName() + ": header length " + std::to_string(header_length_) +
                       " is shorter than a table header");
  if (record_length_ < 1) return RefuseTable(FileName() + ": record length is 0");

  // The descriptor area; for 0x30 the 263-byte area after the terminator is not
  // part of it. Descriptors end at the 0x0D terminator in any case.
  int32_t area = header_length_ - kDbfHeaderSize - 1;
  if (version_ == 0x30 && area - kVfpBackLinkSize >= 0) area -= kVfpBackLinkSize;
  std::vector<uint8_t> block(size_t(area), 0);
  if (area > 0) {
    int32_t n = ReadAt(kDbfHeaderSize, block.data(), area);
    if (n < area)
      return RefuseTable(FileName() +
                         ": field descriptors truncated (file ends inside the header)");
  }
  record_count_ = CountFromFileSize();
  if (!ParseDescriptors(block)) return false;
  // Some programs write 0x30 tables with memo fields and an .FPT file but leave the
  // memo flag clear; their memos are read all the same.
  if (version_ == 0x30 && !has_memo_)
    for (const FieldDescriptor& d : descriptors_)
      if (d.type == 'M' || d.type == 'G') has_memo_ = true;

  buffer_.assign(size_t(record_length_) + 1, ' ');
  buffer_.back() = 0x1A;
  saved_.assign(size_t(record_length_) + 1, ' ');
  current_record_ = buffer_.data();
  changed_.assign(size_t(field_count_) + 1, 0);
  CheckRecordArea();
  return true;
}

void GSO_dBaseDBF::CheckRecordArea() {
  damage_.clear();
  count_behind_ = false;
  // A shared table may be growing under another process's append: its record is
  // written before its header, and a reader can see part of it. The tail is judged
  // under the append lock, so that only a record nobody is writing counts as cut
  // short. Where the lock cannot be had (a read-only handle, or another process
  // holding the table), a partial tail is taken for an append in progress.
  bool tail_settled = !Shared();
  bool took_lock = false;
  if (Shared() && ReadWrite() && !file_locked_) {
    took_lock = LockAppend();
    tail_settled = took_lock;
  }
  TableUnlockGuard guard{this, took_lock};
  if (Shared()) {
    uint8_t fresh[kDbfHeaderSize];
    if (ReadAt(0, fresh, kDbfHeaderSize) == kDbfHeaderSize)
      std::memcpy(header_, fresh, kDbfHeaderSize);
    record_count_ = CountFromFileSize();
  }
  const uint32_t stated = ByteView(header_, kDbfHeaderSize).U32LE(4);
  const int64_t size = FileSize();
  const int64_t whole_end = RecordOffset(record_count_ + 1);
  // After the whole records only the end byte may follow (programs that pad the
  // file put more after it); anything else is part of a record cut short.
  bool cut = false;
  if (size > whole_end && tail_settled) {
    uint8_t first = 0;
    cut = ReadAt(whole_end, &first, 1) == 1 && first != Settings().end_of_file_marker;
  }
  const std::string name = FileNamePart(RealPath());
  const std::string whole = std::to_string(record_count_);
  if (uint64_t(stated) > uint64_t(record_count_)) {
    damage_ = name + " is damaged: the header says " + std::to_string(stated) +
              " records, the file holds " + whole;
  } else if (cut && ReadWrite() && !Shared() && handle_ && handle_->read_write &&
             TgsChangeMarker(RealPath()).Read().exists && TakeBackCutAppend(whole_end)) {
    count_behind_ = uint64_t(stated) < uint64_t(record_count_);
    return;
  } else if (cut) {
    damage_ = name + " is damaged: its last record is cut short (the file holds " + whole +
              " whole records and " + std::to_string(size - whole_end) + " bytes of another)";
  } else {
    count_behind_ = uint64_t(stated) < uint64_t(record_count_);
    return;
  }
  if (ReadWrite()) ReportError(kErrTableDamaged, kSubDbfOpen, damage_.c_str());
}

// A kill inside an append's record write can leave part of the record: the system
// writes a record that crosses a page boundary page by page, and a kill between
// the pages ends the write. The header, written after the record, does not count
// it, and the change marker written before the change began is still there. That
// post never returned, so nothing saved is lost when its bytes go: the table ends
// with its whole records and the end byte, as before the append began (the indexes
// the marker names are rebuilt by the handler's open). Without the marker the same
// bytes may be anyone's damage and the table is refused for writing.
bool GSO_dBaseDBF::TakeBackCutAppend(int64_t whole_end) {
  const int32_t failures = Failures();
  if (!CutBack(whole_end)) return false;
  const uint8_t eof_marker = Settings().end_of_file_marker;
  WriteAt(whole_end, &eof_marker, 1);
  return Failures() == failures;
}

bool GSO_dBaseDBF::RefusedAsDamaged() {
  if (damage_.empty()) return false;
  ReportError(kErrTableDamaged, kSubWriteAt, damage_.c_str());
  return true;
}

bool GSO_dBaseDBF::ParseDescriptors(const std::vector<uint8_t>& block) {
  ByteView area(block.data(), block.size());
  descriptors_.clear();
  uint32_t offset = 1;
  for (size_t at = 0; at + kDescriptorSize <= area.size(); at += kDescriptorSize) {
    if (area.U8(at) == 0x0D) break;
    FieldDescriptor d;
    area.CopyTo(at, d.raw, kDescriptorSize);
    std::string name = area.Text(at, 11);
    d.name = name.substr(0, name.find('\0'));
    d.type = char(area.U8(at + 11));
    uint32_t length = area.U8(at + 16);
    uint8_t decimals = area.U8(at + 17);
    if (d.type == 'C') {
      d.length = length + 256u * decimals;
      d.decimals = 0;
    } else {
      d.length = length;
      d.decimals = decimals;
    }
    d.offset = offset;
    d.number = uint16_t(descriptors_.size() + 1);
    // A field that runs past the record would make every access leave the record
    // buffer: such a table is refused.
    if (uint64_t(offset) + d.length > uint64_t(record_length_))
      return RefuseTable(FileName() + ": field " + d.name + " (offset " + std::to_string(offset) +
                         ", length " + std::to_string(d.length) + ") runs past the record length " +
                         std::to_string(record_length_));
    ByteSpan raw(d.raw, kDescriptorSize);
    raw.PutU32LE(12, offset);
    raw.PutU16LE(26, d.number);
    offset += d.length;
    descriptors_.push_back(std::move(d));
  }
  field_count_ = int32_t(descriptors_.size());
  return true;
}

int32_t GSO_dBaseDBF::CountFromFileSize() {
  if (record_length_ <= 0 || Closed()) return 0;
  int64_t size = FileSize();
  if (size <= header_length_) return 0;
  int64_t count = (size - header_length_) / record_length_;
  return int32_t(std::min<int64_t>(count, 0x7FFFFFFF));
}

void GSO_dBaseDBF::Flush() {
  GSO_DiskFile::Flush();
  if (GSobjMemo* memo = OpenMemo()) memo->Flush();
  Notify(kEventFlushed, record_number_);
}

bool GSO_dBaseDBF::Rename(const std::string& new_name) {
  GSobjMemo* memo = OpenMemo();
  GSO_DiskFile::Rename(new_name);
  if (memo) memo->RenameMemo(FileName());
  return true;
}

void GSO_dBaseDBF::StatusUpdate(int32_t, int32_t, int32_t) {}

void GSO_dBaseDBF::SetCollation(const uint8_t* map, const void* second, int third) {
  collation_map_ = map;
  collation_second_ = second;
  collation_third_ = third;
}

void GSO_dBaseDBF::Notify(uint8_t code, int32_t) {
  switch (code) {
    case kEventFieldChanged:
      record_changed_ = true;
      break;
    case kEventAfterRead:
    case kEventAfterWrite:
      record_changed_ = false;
      record_state_ = kStateReady;
      break;
    default:
      break;
  }
}

bool GSO_dBaseDBF::IsDeleted() const {
  return current_record_ != nullptr && current_record_[0] == '*';
}

void GSO_dBaseDBF::RereadHeader() {
  if (!Shared()) {
    header_changed_by_other_ = false;
    return;
  }
  uint8_t fresh[kDbfHeaderSize];
  int32_t got = ReadAt(0, fresh, kDbfHeaderSize);
  if (got == kDbfHeaderSize) std::memcpy(header_, fresh, kDbfHeaderSize);
  int32_t count = CountFromFileSize();
  uint32_t stamp = ByteView(header_, kDbfHeaderSize).U32LE(16);
  header_changed_by_other_ = count != record_count_ || stamp != change_stamp_;
  if (header_changed_by_other_) window_count_ = 0;
  record_count_ = count;
  change_stamp_ = stamp;
}

void GSO_dBaseDBF::WriteHeader() {
  if (!ReadWrite() || !header_dirty_ || file_locked_) return;
  StampHeader();
  WriteAt(0, header_, kDbfHeaderSize);
  header_dirty_ = false;
}

void GSO_dBaseDBF::HoldHeaderWrites(bool on) {
  hold_header_ = on;
  if (!on && header_dirty_ && !Closed()) WriteHeader();
}

void GSO_dBaseDBF::StampHeader() {
  platform::LocalTime now = os::CurrentLocalTime();
  uint32_t stamp =
      ((uint32_t(now.hour) * 64 + uint32_t(now.minute)) * 64 + uint32_t(now.second)) * 1024 +
      uint32_t(now.millisecond);
  change_stamp_ = stamp;
  ByteSpan h(header_, kDbfHeaderSize);
  h.PutU8(1, uint8_t(now.year % 100));
  h.PutU8(2, uint8_t(now.month));
  h.PutU8(3, uint8_t(now.day));
  h.PutU32LE(4, uint32_t(record_count_));
  h.PutU8(28, uint8_t((has_production_index ? 0x01 : 0) | (flag_memo_ ? 0x02 : 0) |
                      (flag_bit2_ ? 0x04 : 0)));
  h.PutU32LE(16, stamp);
  h.PutU32LE(20, uint32_t(user_id_));
}

GSobjMemo* GSO_dBaseDBF::OpenMemo() {
  if (memo_) return memo_.get();
  std::unique_ptr<GSobjMemo> memo;
  switch (version_) {
    case 0x83:
      memo = std::make_unique<GSobjMemo>(this, version_, Shared(), ReadWrite(), FileName());
      break;
    case 0x8B:
      memo = std::make_unique<GSobjMemo4>(this, version_, Shared(), ReadWrite(), FileName());
      break;
    case 0xF5:
      memo = std::make_unique<GSobjFXMemo20>(this, version_, Shared(), ReadWrite(), FileName());
      break;
    case 0x30:
      if (has_memo_)
        memo = std::make_unique<GSobjFXMemo20>(this, version_, Shared(), ReadWrite(), FileName());
      break;
    default:
      break;
  }
  if (memo) {
    memo->SetLockProtocol(lock_protocol_);
    memo->SetWriteBeside(memo_writes_beside_);
  }
  memo_ = std::move(memo);
  return memo_.get();
}

std::string GSO_dBaseDBF::MemoMissing() const {
  if (!has_memo_ || memo_ || Closed()) return std::string();
  std::string name = os::ResolvePath(MakeAbsolute(GSobjMemo::FileNameFor(RealPath(), version_)));
  if (os::Exists(name)) return std::string();
  return "The memo file " + FileNamePart(name) + " is missing: the memos of " +
         FileNamePart(RealPath()) + " cannot be shown or changed until it is back";
}

void GSO_dBaseDBF::SetMemoWritesBeside(bool on) {
  memo_writes_beside_ = on;
  if (memo_) memo_->SetWriteBeside(on);
}

void GSO_dBaseDBF::SaveRecord() { std::memcpy(saved_.data(), buffer_.data(), buffer_.size()); }

void GSO_dBaseDBF::ReadRecord(int32_t request) {
  if (record_count_ == 0) {
    RereadHeader();
    if (record_count_ == 0) {
      eof_ = bof_ = true;
      return;
    }
  }
  if (request == 0) return;
  eof_ = bof_ = false;
  int64_t target;
  switch (request) {
    case kMoveNext:
      target = int64_t(record_number_) + 1;
      break;
    case kMovePrevious:
      target = int64_t(record_number_) - 1;
      if (target == 0) {
        bof_ = true;
        return;
      }
      break;
    case kMoveFirst:
      target = 1;
      break;
    case kMoveLast:
      target = record_count_;
      break;
    case kMoveCurrent:
      target = record_number_;
      break;
    default:
      target = request;
      break;
  }
  if (target < 1) {
    ReportError(kErrDbfBeyondEof, kSubDbfRead, FileName().c_str());
    return;
  }
  if (target > record_count_) {
    RereadHeader();
    if (target > record_count_) {
      if (target > int64_t(record_count_) + 1)
        ReportError(kErrDbfBeyondEof, kSubDbfRead, FileName().c_str());
      eof_ = true;
      return;
    }
  }
  int32_t n = int32_t(target);
  Notify(kEventBeforeRead, request);
  if (ReadAheadAllowed() && ReadThroughWindow(n, request == kMovePrevious)) {
    record_number_ = n;
    Notify(kEventAfterRead, n);
    SaveRecord();
    return;
  }
  int32_t got = ReadAt(RecordOffset(n), buffer_.data(), record_length_);
  if (got < record_length_) {
    // The file ended inside the record (another writer truncated it, or the file is
    // damaged): the rest reads as blanks rather than as stale bytes.
    std::memset(buffer_.data() + std::max(got, 0), ' ', size_t(record_length_ - std::max(got, 0)));
  }
  record_number_ = n;
  Notify(kEventAfterRead, n);
  SaveRecord();
}

bool GSO_dBaseDBF::ReadThroughWindow(int32_t n, bool backward) {
  if (n < window_first_ || n >= window_first_ + window_count_) {
    window_count_ = 0;
    int32_t per_window = std::max<int32_t>(1, Settings().read_ahead_size / record_length_);
    int32_t first = backward ? std::max<int32_t>(1, n - per_window + 1) : n;
    int32_t count = std::min<int32_t>(per_window, record_count_ - first + 1);
    if (count <= 0) return false;
    window_.resize(size_t(count) * size_t(record_length_));
    int32_t got = ReadAt(RecordOffset(first), window_.data(), int32_t(window_.size()));
    window_first_ = first;
    window_count_ = std::max(got, 0) / record_length_;
    if (n >= window_first_ + window_count_) {
      window_count_ = 0;
      return false;
    }
  }
  std::memcpy(buffer_.data(), window_.data() + size_t(n - window_first_) * size_t(record_length_),
              size_t(record_length_));
  return true;
}

void GSO_dBaseDBF::UpdateWindow(int32_t n) {
  if (n >= window_first_ && n < window_first_ + window_count_)
    std::memcpy(window_.data() + size_t(n - window_first_) * size_t(record_length_), buffer_.data(),
                size_t(record_length_));
}

void GSO_dBaseDBF::AppendRecord() {
  // Only a lock this append took is released at its end: under a whole-table lock
  // LockAppend takes nothing, and a refused append lock (another region held, or
  // another process appending) leaves nothing to release. Unlocking in those cases
  // would drop the caller's own table or record lock.
  bool took_lock = !file_locked_ && LockAppend();
  {
    TableUnlockGuard guard{this, took_lock};
    if (RefusedAsDamaged()) return;
    Notify(kEventBeforeWrite, 0);
    header_dirty_ = true;
    RereadHeader();
    buffer_[0] = ' ';
    if (record_count_ == 0x7FFFFFFF) {
      ReportError(kErrDiskWrite, kSubWriteAt, (FileName() + ": table is full").c_str());
      return;
    }
    // A write that fails (a full disk) takes the append back, so that the table
    // ends with its last whole record as before.
    const int32_t count = record_count_, record = record_number_, failures = Failures();
    uint8_t old_header[kDbfHeaderSize];
    std::memcpy(old_header, header_, kDbfHeaderSize);
    try {
      ++record_count_;
      record_number_ = record_count_;
      buffer_.back() = 0x1A;
      WriteAt(RecordOffset(record_number_), buffer_.data(), record_length_ + 1);
      if (!HoldsHeaderWrites()) WriteHeader();
    } catch (...) {
      UndoAppend(count, record, old_header);
      throw;
    }
    if (Failures() != failures) {
      UndoAppend(count, record, old_header);
      return;
    }
  }
  eof_ = bof_ = false;
  Notify(kEventAfterWrite, 0);
  SaveRecord();
}

void GSO_dBaseDBF::UndoAppend(int32_t count, int32_t record, const uint8_t* old_header) {
  record_count_ = count;
  record_number_ = record;
  window_count_ = 0;
  std::memcpy(header_, old_header, kDbfHeaderSize);
  header_dirty_ = false;
  // The end byte goes back where the new record began: its space is the file's own.
  try {
    CutBack(RecordOffset(count + 1));
    uint8_t eof_marker = Settings().end_of_file_marker;
    WriteAt(RecordOffset(count + 1), &eof_marker, 1);
    WriteAt(0, header_, kDbfHeaderSize);
  } catch (...) {
    // The table still ends with its last whole record; only the end byte or the
    // header's date may be missing, which every reader accepts.
  }
}

void GSO_dBaseDBF::WriteRecord(int32_t n) {
  if (RefusedAsDamaged()) return;
  Notify(kEventBeforeWrite, n);
  if (n > record_count_ || n <= 0) {
    AppendRecord();
    return;
  }
  header_dirty_ = true;
  WriteAt(RecordOffset(n), buffer_.data(), record_length_);
  UpdateWindow(n);
  record_number_ = n;
  RereadHeader();
  if (!HoldsHeaderWrites()) WriteHeader();
  Notify(kEventAfterWrite, n);
  SaveRecord();
}

void GSO_dBaseDBF::SetLockProtocol(TgsLokProtocol protocol) {
  lock_protocol_ = protocol;
  lock_values_ = LockConstantsFor(protocol);
  if (memo_) memo_->SetLockProtocol(protocol);
}

bool GSO_dBaseDBF::HasIndexOpen() { return false; }

bool GSO_dBaseDBF::LockAppend() {
  if (file_locked_) return true;
  return LockRegion(lock_values_.record_anchor, 1);
}

bool GSO_dBaseDBF::LockFile() {
  if (file_locked_) return true;
  if (!LockRegion(lock_values_.lock_base, lock_values_.file_lock_length)) return false;
  file_locked_ = true;
  window_count_ = 0;  // records read before the lock may have changed since
  RereadHeader();
  return true;
}

bool GSO_dBaseDBF::LockFileFromStart() {
  if (file_locked_) return true;
  if (!LockRegion(0, lock_values_.file_lock_length)) return false;
  file_locked_ = true;
  window_count_ = 0;  // records read before the lock may have changed since
  RereadHeader();
  return true;
}

bool GSO_dBaseDBF::LockRecord() {
  if (file_locked_) return true;
  uint32_t n = uint32_t(record_number_);
  uint32_t offset;
  switch (lock_protocol_) {
    case TgsLokProtocol::DB4Lock:
      offset = lock_values_.record_anchor - n - 1;
      break;
    case TgsLokProtocol::ClipLock:
      offset = lock_values_.lock_base + n;
      break;
    default:
      if (HasIndexOpen())
        offset = lock_values_.record_anchor - n;
      else
        offset =
            lock_values_.lock_base + uint32_t(header_length_) + (n - 1) * uint32_t(record_length_);
      break;
  }
  return LockRegion(offset, 1);
}

bool GSO_dBaseDBF::Unlock() {
  bool ok = UnlockRegion();
  if (file_locked_ && LockCount() == 0) {
    file_locked_ = false;
    WriteHeader();
  }
  return ok;
}

}  // namespace devazoz
