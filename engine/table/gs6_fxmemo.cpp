// GSobjFXMemo20: the FoxPro .FPT layout. Every number in the file is big-endian.
//
// File header:
//   OFFSET SIZE CONTENT
//   0      4    next free block number
//   4      4    read as one number whose low 16 bits (bytes 6..7) are the block size
//   the header area runs to byte 512; the first memo block is the first past it
// Memo, at the start of its first block:
//   0      4    record type: 0 picture, 1 text (this engine writes 1)
//   4      4    memo length, excluding these 8 bytes
//   8      ...  the memo's bytes
// A rewrite stays in place when it fits the memo's blocks, else the memo moves to
// the end of the file; freed blocks are never reused.
#include <algorithm>

#include "engine/table/gs6_memo.h"

namespace devazoz {
namespace {
constexpr int32_t kFptBlockHeaderSize = 8;
constexpr uint32_t kTypePicture = 0;
constexpr uint32_t kTypeText = 1;
}  // namespace

GSobjFXMemo20::GSobjFXMemo20(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                             const std::string& table_file_name)
    : GSobjMemo(table, version, shared, read_write, table_file_name) {
  if (Closed()) return;
  ReadHeaderBuffer(0);
  AcceptBlockSize(HeaderBuffer().U16BE(6), 1, 65535);
}

int32_t GSobjFXMemo20::BlockHeaderSize() { return kFptBlockHeaderSize; }

void GSobjFXMemo20::FillTerminator(ByteSpan) {}

int64_t GSobjFXMemo20::LengthFromBlockHeader() {
  ByteSpan h = HeaderBuffer();
  uint32_t type = h.U32BE(0);
  if (header_bytes_read_ < kFptBlockHeaderSize || (type != kTypePicture && type != kTypeText)) {
    ReportFormatError(header_block_, "record type " + std::to_string(type) +
                                         " is neither text (1) nor picture (0)");
    return -1;
  }
  return kFptBlockHeaderSize + int64_t(h.U32BE(4));
}

void GSobjFXMemo20::AllocateBlocks(int32_t length) {
  const int64_t n = (int64_t(length) + kFptBlockHeaderSize) / block_size_ + 1;
  if (current_block_ < 1 || block_count_ < n || write_beside_) {
    ReadHeaderBuffer(0);
    ByteSpan h = HeaderBuffer();
    int64_t first_data_block = (kFptHeaderArea + block_size_ - 1) / block_size_;
    int64_t first = PlaceNewMemo(h.U32BE(0), first_data_block);
    if (!FitsBlockRange(first, n)) {
      current_block_ = 0;
      block_count_ = 0;
      return;
    }
    h.PutU32BE(0, uint32_t(first + n));
    WriteHeaderBuffer(0, kFptBlockHeaderSize);
    current_block_ = int32_t(first);
  }
  SetBlockCount(n);
  ByteSpan h = HeaderBuffer();
  h.Fill(0, kMemoHeaderBufferSize, 0);
  h.PutU32BE(0, kTypeText);
  h.PutU32BE(4, uint32_t(length));
}

bool GSobjFXMemo20::RenameMemo(const std::string& table_name) {
  // The .FPT header holds no name: only the file moves.
  return GSO_DiskFile::Rename(NameForTable(table_name));
}

}  // namespace devazoz
