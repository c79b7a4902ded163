// GSobjMemo: what the three memo layouts share (opening, lengths, reading, writing,
// locking, renaming) and the dBASE III .DBT layout itself.
//
// dBASE III .DBT, block size 512, little-endian:
//   OFFSET SIZE CONTENT
//   0      4    next free block number
//   8      9    base name of the file, written on rename
//   block n (n >= 1) at n x 512: the memo's bytes, then 0x1A 0x1A; the memo ends at
//   its first 0x1A. Freed blocks are never reused.
#include "engine/table/gs6_memo.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_DBF.h"
#include "platform/services/codepage.h"

namespace devazoz {
namespace {

constexpr uint8_t kTerminator = 0x1A;

// The extension of the last path component, dot included, or empty.
std::string ExtensionOf(const std::string& path) {
  size_t sep = path.find_last_of("/\\:");
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return std::string();
  return path.substr(dot);
}

// Releases the memo lock on every way out of a write.
class MemoLockGuard {
 public:
  explicit MemoLockGuard(GSO_DiskFile* file) : file_(file) {}
  ~MemoLockGuard() {
    if (file_) file_->UnlockRegion();
  }
  MemoLockGuard(const MemoLockGuard&) = delete;
  MemoLockGuard& operator=(const MemoLockGuard&) = delete;

 private:
  GSO_DiskFile* file_;
};

}  // namespace

std::string GSobjMemo::FileNameFor(const std::string& table_file_name, uint8_t version) {
  bool dbt = version == 0x83 || version == 0x8B;
  return ChangeExtension(Trim(table_file_name), dbt ? ".DBT" : ".FPT");
}

GSobjMemo::GSobjMemo(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                     const std::string& table_file_name)
    : GSO_DiskFile(FileNameFor(table_file_name, version), read_write, shared),
      table_(table),
      version_(version) {
  SetLockProtocol(TgsLokProtocol::Default);
  if (!Exists()) {
    ReportError(kErrFileNotFound, kSubMemoOpen, FileName().c_str());
    return;  // only reached when the error hook returns
  }
  Open();
}

GSobjMemo::~GSobjMemo() = default;

void GSobjMemo::ReportError(int32_t code, int32_t sub_code, const char* info) {
  if (table_)
    table_->ReportError(code, sub_code, ShownInfo(info).c_str());
  else
    GSO_DiskFile::ReportError(code, sub_code, info);
}

// ---------------------------------------------------------------------------
// Helpers

int32_t GSobjMemo::ReadHeaderBuffer(int64_t offset) {
  HeaderBuffer().Fill(0, sizeof block_header_, 0);
  header_bytes_read_ = ReadAt(offset, block_header_, kMemoHeaderBufferSize);
  header_block_ = offset / block_size_;
  return header_bytes_read_;
}

void GSobjMemo::WriteHeaderBuffer(int64_t offset, int32_t count) {
  HeaderBuffer().Check(0, size_t(count));
  WriteAt(offset, block_header_, count);
}

int64_t GSobjMemo::BlocksInFile() {
  int64_t size = FileSize();
  return (size + block_size_ - 1) / block_size_;
}

int64_t GSobjMemo::PlaceNewMemo(int64_t next_free, int64_t first_data_block) {
  int64_t end = std::max(BlocksInFile(), first_data_block);
  // One block past the end is what this engine's own allocation leaves when the
  // reserved blocks were not all written; anything further is not to be trusted.
  if (next_free < end || next_free > end + 1) return end;
  return next_free;
}

bool GSobjMemo::FitsBlockRange(int64_t first, int64_t n) {
  if (first >= 1 && n >= 0 && first + n <= std::numeric_limits<int32_t>::max()) return true;
  ReportError(kErrDiskWrite, kSubWriteAt, (FileName() + ": memo file is full").c_str());
  return false;
}

void GSobjMemo::SetBlockCount(int64_t n) {
  // A count too large to hold is kept at the largest value: it only ever decides
  // whether a rewrite fits in place, and a smaller count only moves the memo.
  block_count_ = uint16_t(std::clamp<int64_t>(n, 0, std::numeric_limits<uint16_t>::max()));
}

void GSobjMemo::ReportFormatError(int64_t block, const std::string& what) {
  std::string info = FileName() + ": block " + std::to_string(block) + ": " + what;
  ReportError(kErrMemoFormat, kSubMemoFormat, info.c_str());
}

void GSobjMemo::AcceptBlockSize(int64_t size, int64_t smallest, int64_t largest) {
  if (size >= smallest && size <= largest) {
    block_size_ = int32_t(size);
    return;
  }
  block_size_ = 512;
  ReportFormatError(0, "block size " + std::to_string(size) + " in the header is not between " +
                           std::to_string(smallest) + " and " + std::to_string(largest));
}

// ---------------------------------------------------------------------------
// Virtual operations: the dBASE III layout

void GSobjMemo::AllocateBlocks(int32_t length) {
  int64_t n = (int64_t(length) + 2 + 511) / 512;
  if (current_block_ < 1 || block_count_ < n || write_beside_) {
    ReadHeaderBuffer(0);
    ByteSpan h = HeaderBuffer();
    int64_t first = PlaceNewMemo(h.U32LE(0), 1);
    if (!FitsBlockRange(first, n)) {
      current_block_ = 0;
      block_count_ = 0;
      return;
    }
    h.PutU32LE(0, uint32_t(first + n));
    WriteHeaderBuffer(0, kMemoHeaderBufferSize);
    current_block_ = int32_t(first);
  }
  SetBlockCount(n);
  HeaderBuffer().Fill(0, sizeof block_header_, 0);
}

void GSobjMemo::FreeBlocks(int32_t) {}

void GSobjMemo::FillTerminator(ByteSpan block_buffer) {
  block_buffer.PutU8(0, kTerminator);
  block_buffer.PutU8(1, kTerminator);
}

int64_t GSobjMemo::LengthFromBlockHeader() { return 0; }

int32_t GSobjMemo::BlockHeaderSize() { return 0; }

void GSobjMemo::SetLockProtocol(TgsLokProtocol protocol) {
  lock_protocol_ = protocol;
  lock_constants_ = LockConstantsFor(protocol);
}

std::string GSobjMemo::NameForTable(const std::string& table_name) const {
  // The extension as the file system has it, so the file keeps its spelling.
  std::string extension = ExtensionOf(RealPath());
  if (extension.empty()) extension = ExtensionOf(FileName());
  return ChangeExtension(Trim(table_name), extension);
}

bool GSobjMemo::RenameMemo(const std::string& table_name) {
  std::string new_name = NameForTable(table_name);
  if (!GSO_DiskFile::Rename(new_name)) return false;
  if (!ReadWrite()) return true;
  // The header names the file it belongs to: 8 characters of the base name at 8.
  ReadHeaderBuffer(0);
  ByteSpan h = HeaderBuffer();
  h.Fill(8, 9, 0);
  std::string base = platform::AnsiUpper(BaseName(new_name)).substr(0, 8);
  h.PutBytes(8, base.data(), base.size());
  WriteHeaderBuffer(0, kMemoHeaderBufferSize);
  return true;
}

// ---------------------------------------------------------------------------
// Lengths, reading and writing

int64_t GSobjMemo::ScanLength(int64_t offset) {
  // Whole blocks, several at a time, until the first 0x1A, the scan limit or the
  // end of the file.
  constexpr int32_t kChunk = 8 * 512;
  std::vector<uint8_t> chunk(kChunk);
  int64_t count = 0;
  while (count < kMemoScanLimit) {
    int32_t got = ReadAt(offset + count, chunk.data(), kChunk);
    ByteView bytes(chunk.data(), size_t(std::max(got, 0)));
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes.U8(i) == kTerminator) return count + int64_t(i);
      if (count + int64_t(i) + 1 >= kMemoScanLimit) return kMemoScanLimit - 1;
    }
    count += int64_t(bytes.size());
    if (got < kChunk) break;  // end of the file: the memo is what is there
  }
  return std::min<int64_t>(count, kMemoScanLimit - 1);
}

int32_t GSobjMemo::MemoLength(int32_t block) {
  length_ok_ = block == 0;
  if (block == 0) return 0;
  if (block < 0) {
    ReportFormatError(block, "not a block number");
    return 0;
  }
  const int32_t h = BlockHeaderSize();
  const int64_t offset = BlockOffset(block);
  const int64_t file_size = FileSize();
  if (offset + std::max(h, 1) > file_size) {
    ReportFormatError(block,
                      "lies beyond the end of the file (" + std::to_string(file_size) + " bytes)");
    return 0;
  }
  int64_t length;
  if (h == 0) {
    length = ScanLength(offset);
  } else {
    ReadHeaderBuffer(offset);
    int64_t stored = LengthFromBlockHeader();
    if (stored < 0) return 0;  // malformed, already reported
    length = stored - h;
  }
  // A length running past the end of the file is cut to the bytes that are there.
  int64_t available = file_size - offset - h;
  length = std::min({length, available, int64_t(std::numeric_limits<int32_t>::max())});
  length_ok_ = true;
  return int32_t(std::max<int64_t>(length, 0));
}

void GSobjMemo::ReadMemo(void* buffer, int32_t block, int32_t& size) {
  if (size <= 0) {
    size = 0;
    return;
  }
  ByteSpan out(buffer, size_t(size));
  current_block_ = block;
  block_count_ = 0;
  if (block == 0) {
    size = 0;
    out.PutU8(0, 0);
    return;
  }
  int32_t length = MemoLength(block);
  if (length < size) size = length;
  const int32_t h = BlockHeaderSize();
  // A memo that could not be read has no blocks a rewrite may reuse.
  if (length_ok_) SetBlockCount((int64_t(h) + size + block_size_ - 1) / block_size_);
  int64_t offset = BlockOffset(block) + h;
  int32_t done = 0;
  while (done < size) {
    int32_t piece = std::min(size - done, kMemoTransferPiece);
    int32_t got = ReadAt(offset + done, out.mutable_data() + done, piece);
    done += std::max(got, 0);
    if (got < piece) break;  // the file shrank since its length was taken
  }
  size = done;
}

void GSobjMemo::WriteContents(const void* buffer, int32_t size) {
  const int32_t h = BlockHeaderSize();
  const int64_t start = BlockOffset(current_block_);
  ByteView data(buffer, size_t(size));

  // The bytes that complete the last block: for dBASE III the terminator, which
  // takes a block of its own when the data fills its last block exactly.
  std::vector<uint8_t> tail(size_t(block_size_), 0);
  FillTerminator(ByteSpan(tail.data(), tail.size()));
  int32_t e = int32_t((int64_t(h) + size) % block_size_);
  int32_t tail_size = e > 0 ? block_size_ - e : 0;
  if (e == 0 && ByteView(tail.data(), tail.size()).U8(0) == kTerminator) tail_size = block_size_;

  int64_t total = int64_t(h) + size + tail_size;
  if (total <= kMemoTransferPiece) {
    // Small memos go out in one transfer: block header, data and tail together.
    std::vector<uint8_t> staged(static_cast<size_t>(total));
    ByteSpan s(staged.data(), staged.size());
    s.PutBytes(0, block_header_, size_t(h));
    s.PutBytes(size_t(h), data.data(), size_t(size));
    s.PutBytes(size_t(h) + size_t(size), tail.data(), size_t(tail_size));
    WriteAt(start, staged.data(), int32_t(total));
    return;
  }
  if (h > 0) WriteHeaderBuffer(start, h);
  for (int32_t done = 0; done < size;) {
    int32_t piece = std::min(size - done, kMemoTransferPiece);
    WriteAt(start + h + done, data.Sub(size_t(done), size_t(piece)).data(), piece);
    done += piece;
  }
  if (tail_size > 0) WriteAt(start + h + size, tail.data(), tail_size);
}

int32_t GSobjMemo::WriteMemo(const void* buffer, int32_t& block, int32_t size) {
  if (size < 0) size = 0;
  if (size == 0 && block == 0) return 0;
  bool locked = false;
  if (Shared()) {
    if (!LockMemo()) return 0;
    locked = true;
  }
  MemoLockGuard guard(locked ? this : nullptr);
  // The remembered block count belongs to the memo last read or written; for any
  // other memo it is unknown, and an unknown count never lets a memo grow in place.
  if (block != current_block_) block_count_ = 0;
  current_block_ = block < 0 ? 0 : block;
  // The allocation changes the file header and, in the dBASE IV layout, the first
  // bytes of the memo it replaces (freed before the new blocks are taken) in place.
  // Both are kept, so that a write that fails (a full disk) leaves the memo the
  // record still names as it was.
  const int32_t old_block = current_block_, failures = Failures();
  constexpr int32_t kKept = 8;  // a free run's entry, or a dBASE IV block header
  uint8_t old_head[kKept] = {}, old_first[kKept] = {};
  bool head_kept = ReadAt(0, old_head, kKept) == kKept;
  bool first_kept = old_block > 0 && ReadAt(BlockOffset(old_block), old_first, kKept) == kKept;
  auto put_back = [&] {
    try {
      if (first_kept && current_block_ != old_block)
        WriteAt(BlockOffset(old_block), old_first, kKept);
      if (head_kept) WriteAt(0, old_head, kKept);
    } catch (...) {
    }
    current_block_ = old_block;
    block_count_ = 0;
  };
  try {
    AllocateBlocks(size);
    if (current_block_ < 1) return 0;  // no blocks could be had; nothing is written
    WriteContents(buffer, size);
  } catch (...) {
    put_back();
    throw;
  }
  if (Failures() != failures) {
    put_back();
    return 0;
  }
  block = current_block_;
  return current_block_;
}

// ---------------------------------------------------------------------------
// Locking

bool GSobjMemo::LockMemo() {
  uint32_t offset, length;
  switch (lock_protocol_) {
    case TgsLokProtocol::DB4Lock:
      offset = 0xEFFFFFFFu - 1;
      length = 2;
      break;
    case TgsLokProtocol::ClipLock:
      offset = 1000000000u;
      length = 1;
      break;
    default:
      offset = 0x7FFFFFFDu;
      length = 1;
      break;
  }
  const EngineSettings& settings = Settings();
  int interval = std::max<int>(settings.retry_interval, 1);
  int attempts = std::max<int>(settings.lock_wait_time / interval, 1);
  for (int i = 0; i < attempts; ++i) {
    if (LockRegion(offset, length)) return true;
    if (i + 1 < attempts) os::SleepMilliseconds(interval);
  }
  int32_t error = LastError() != 0 ? LastError() : kErrLockViolation;
  ReportError(error, kSubMemoLock, FileName().c_str());
  return false;
}

}  // namespace devazoz
