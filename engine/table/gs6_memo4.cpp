// GSobjMemo4: the dBASE IV .DBT layout, with block headers and a free list.
//
// File header, block 0, little-endian:
//   OFFSET SIZE CONTENT
//   0      4    first block of the free list; the list ends at the block number
//               that equals file size / block size (the end of the file)
//   4      4    set to 0 whenever a memo is freed
//   8      9    base name of the file, written on rename
//   20     4    block size
// Memo, at the start of its first block:
//   0      2    FF FF
//   2      2    8, the size of this block header
//   4      4    memo length + 8
//   8      ...  the memo's bytes
// Free run, at the start of its first block:
//   0      4    first block of the next run
//   4      4    number of blocks in this run
// A write frees the memo's old blocks to the front of the list, then takes the first
// run large enough (splitting a larger one) or, failing that, the end of the file.
#include <algorithm>
#include <limits>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "engine/table/gs6_memo.h"

namespace devazoz {
namespace {
constexpr int32_t kDbtBlockHeaderSize = 8;
constexpr int64_t kSmallestBlock = 32;
constexpr int64_t kLargestBlock = 65536;

bool IsMemoHeader(const ByteView& bytes) { return bytes.U8(0) == 0xFF && bytes.U8(1) == 0xFF; }
}  // namespace

GSobjMemo4::GSobjMemo4(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                       const std::string& table_file_name)
    : GSobjMemo(table, version, shared, read_write, table_file_name) {
  if (Closed()) return;
  int32_t got = ReadHeaderBuffer(0);
  ByteSpan h = HeaderBuffer();
  if (got < 24) {
    // Too short to name a block size: an empty or new file, taken as 512.
    h.PutU32LE(20, 512);
  }
  AcceptBlockSize(h.U32LE(20), kSmallestBlock, kLargestBlock);
  if (FileSize() < block_size_ && ReadWrite()) {
    // A file shorter than its header block is completed to one block, so that
    // block 1 is the first a memo can take.
    std::vector<uint8_t> block(size_t(block_size_), 0);
    ByteSpan(block.data(), block.size()).PutBytes(0, block_header_, sizeof block_header_);
    WriteAt(0, block.data(), block_size_);
  }
}

int32_t GSobjMemo4::BlockHeaderSize() { return kDbtBlockHeaderSize; }

void GSobjMemo4::FillTerminator(ByteSpan) {}

int64_t GSobjMemo4::LengthFromBlockHeader() {
  ByteSpan h = HeaderBuffer();
  if (header_bytes_read_ < kDbtBlockHeaderSize || !IsMemoHeader(h)) {
    ReportFormatError(header_block_, "does not start with a memo header (FF FF)");
    return -1;
  }
  int64_t stored = h.U32LE(4);
  if (stored < kDbtBlockHeaderSize) {
    ReportFormatError(header_block_, "memo length " + std::to_string(stored) +
                                         " is shorter than its block header");
    return -1;
  }
  return stored;
}

void GSobjMemo4::FreeBlocks(int32_t block) {
  // Only a block that really starts a memo inside the file is given back: a wrong
  // free would hand live blocks to the next write.
  if (block < 1) return;
  int64_t blocks_in_file = BlocksInFile();
  if (block >= blocks_in_file) return;
  uint8_t bytes[kDbtBlockHeaderSize] = {};
  if (ReadAt(BlockOffset(block), bytes, kDbtBlockHeaderSize) < kDbtBlockHeaderSize) return;
  ByteSpan memo(bytes, sizeof bytes);
  if (!IsMemoHeader(memo)) return;
  int64_t stored = memo.U32LE(4);
  int64_t k = (stored + block_size_ - 1) / block_size_;
  if (stored < kDbtBlockHeaderSize || block + k > blocks_in_file) return;

  uint8_t head[kDbtBlockHeaderSize] = {};
  ReadAt(0, head, kDbtBlockHeaderSize);
  uint32_t first_free = ByteView(head, sizeof head).U32LE(0);
  memo.PutU32LE(0, first_free);
  memo.PutU32LE(4, uint32_t(k));
  WriteAt(BlockOffset(block), bytes, kDbtBlockHeaderSize);
  ByteSpan h(head, sizeof head);
  h.PutU32LE(0, uint32_t(block));
  h.PutU32LE(4, 0);
  WriteAt(0, head, kDbtBlockHeaderSize);
}

void GSobjMemo4::AllocateBlocks(int32_t length) {
  const int64_t n = (int64_t(length) + kDbtBlockHeaderSize) / block_size_ + 1;
  if (current_block_ >= 1 && !write_beside_) FreeBlocks(current_block_);

  ReadHeaderBuffer(0);
  int64_t file_size = FileSize();
  int64_t whole_blocks = file_size / block_size_;
  if (whole_blocks == 0) {
    whole_blocks = 1;
    WriteHeaderBuffer(0, kMemoHeaderBufferSize);
  }
  // A new memo at the end of the chain goes past every byte the file holds.
  const int64_t end = std::max<int64_t>((file_size + block_size_ - 1) / block_size_, 1);

  // First fit along the chain. Every run must lie inside the file, and the walk
  // cannot take more steps than the file has blocks, so a chain that loops or
  // leaves the file is found out.
  int64_t cur = HeaderBuffer().U32LE(0);
  int64_t prev = 0;
  int64_t link = 0;
  bool found = false;
  std::string broken;
  // A first block of 0 names no run (a blank header): the list is empty.
  for (int64_t steps = 0; cur != 0 && cur < whole_blocks; ++steps) {
    if (steps >= end) {
      broken = "free list does not end (more runs than blocks in the file)";
      break;
    }
    uint8_t run_bytes[kMemoHeaderBufferSize] = {};
    if (ReadAt(BlockOffset(cur), run_bytes, kMemoHeaderBufferSize) < kDbtBlockHeaderSize) {
      broken = "free run cannot be read";
      break;
    }
    ByteSpan entry(run_bytes, sizeof run_bytes);
    if (IsMemoHeader(entry) && entry.U16LE(2) == kDbtBlockHeaderSize) {
      broken = "free list points at a memo";
      break;
    }
    int64_t next = entry.U32LE(0);
    int64_t run = entry.U32LE(4);
    if (run == 0 || cur + run > end) {
      broken = "free run of " + std::to_string(run) + " blocks does not fit in the file";
      break;
    }
    if (run < n) {
      prev = cur;
      cur = next;
      continue;
    }
    if (run == n) {
      link = next;
    } else {
      link = cur + n;
      entry.PutU32LE(4, uint32_t(run - n));
      WriteAt(BlockOffset(cur + n), run_bytes, kMemoHeaderBufferSize);
    }
    found = true;
    break;
  }
  if (!broken.empty()) {
    ReportFormatError(cur, broken);
    // When the error hook returns, the broken list is dropped: the memo goes to the
    // end of the file and the header starts a new list after it.
    prev = 0;
    found = false;
  }
  if (!found) {
    cur = end;
    link = end + n;
  }
  if (!FitsBlockRange(cur, n) || link > std::numeric_limits<int32_t>::max()) {
    current_block_ = 0;
    block_count_ = 0;
    return;
  }

  if (prev == 0) {
    HeaderBuffer().PutU32LE(0, uint32_t(link));
    WriteHeaderBuffer(0, kMemoHeaderBufferSize);
  } else {
    uint8_t prev_bytes[kDbtBlockHeaderSize] = {};
    ReadAt(BlockOffset(prev), prev_bytes, kDbtBlockHeaderSize);
    ByteSpan(prev_bytes, sizeof prev_bytes).PutU32LE(0, uint32_t(link));
    WriteAt(BlockOffset(prev), prev_bytes, kDbtBlockHeaderSize);
  }

  current_block_ = int32_t(cur);
  SetBlockCount(n);
  ByteSpan h = HeaderBuffer();
  h.Fill(0, kMemoHeaderBufferSize, 0);
  h.PutU8(0, 0xFF);
  h.PutU8(1, 0xFF);
  h.PutU16LE(2, kDbtBlockHeaderSize);
  h.PutU32LE(4, uint32_t(int64_t(length) + kDbtBlockHeaderSize));
}

}  // namespace devazoz
