// Memo files: the blocks that hold the contents of a table's memo, general and
// binary fields. The table field holds the number of the memo's first block; block
// n starts at file offset n x block size, block 0 holds the file header, and a memo
// occupies consecutive blocks. Memo contents are arbitrary bytes.
//
// GSobjMemo, dBASE III .DBT (table version 0x83), block size always 512:
//   OFFSET SIZE CONTENT
//   0      4    next free block number, little-endian
//   8      9    base name of the file (written on rename), rest of block 0 unused
//   memo:  the bytes, ended by the first 0x1A (the writer puts 0x1A 0x1A after them)
//
// GSobjMemo4, dBASE IV .DBT (table version 0x8B), little-endian:
//   OFFSET SIZE CONTENT
//   0      4    first block of the free list (the list ends at file size / block size)
//   4      4    0 after every free
//   8      9    base name of the file (written on rename)
//   20     4    block size
//   memo block header, 8 bytes: FF FF, 8 (16-bit), memo length + 8 (32-bit)
//   free run, first 8 bytes of its first block: next run's block, blocks in this run
//
// GSobjFXMemo20, FoxPro .FPT (versions 0xF5 and 0x30 with memo flag), big-endian:
//   OFFSET SIZE CONTENT
//   0      4    next free block number
//   6      2    block size (low half of the 32-bit number at 4); the header area is
//               512 bytes, so the first memo block is the first one past byte 512
//   memo block header, 8 bytes: record type (0 picture, 1 text), memo length
//
// Everything read from the file is checked before use: block numbers against the
// file size, lengths against the bytes the file holds, the free list against loops
// and blocks outside the file. A malformed memo is reported as code 1005 with
// sub-code 6199 (the memo then counts as empty); a length running past the end of
// the file is cut to the bytes that are there.
#ifndef ENGINE_TABLE_GS6_MEMO_H_
#define ENGINE_TABLE_GS6_MEMO_H_

#include <cstdint>
#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_glbl.h"

namespace devazoz {

class GSO_dBaseDBF;

// Pieces in which memo contents move to and from the file.
constexpr int32_t kMemoTransferPiece = 32768;
// The dBASE III length scan stops after this many bytes without a 0x1A.
constexpr int32_t kMemoScanLimit = 65520;
constexpr int32_t kMemoHeaderBufferSize = 32;
// The header area FoxPro programs reserve at the start of an .FPT file.
constexpr int32_t kFptHeaderArea = 512;

class GSobjMemo : public GSO_DiskFile {
 public:
  // Opens the memo file of the table named table_file_name: its extension replaced
  // by .DBT (versions 0x83, 0x8B) or .FPT. Reports 2/6101 when it does not exist.
  // table may be null for a free-standing memo file; it must outlive this object.
  GSobjMemo(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
            const std::string& table_file_name);
  ~GSobjMemo() override;
  // The memo file's name for a table's file name and version byte.
  static std::string FileNameFor(const std::string& table_file_name, uint8_t version);

  // Routed to the owning table, so that memo errors carry its context.
  void ReportError(int32_t code, int32_t sub_code, const char* info) override;  // 1

  // Chooses the blocks for a memo of length bytes; sets current block, block count
  // and the block header buffer.
  virtual void AllocateBlocks(int32_t length);  // 14
  // Gives the memo's blocks back (dBASE IV only).
  virtual void FreeBlocks(int32_t block);  // 15
  // Prepares the bytes that complete a memo's last block.
  virtual void FillTerminator(ByteSpan block_buffer);  // 16
  // The length the block header buffer gives, including the block header; 0 makes
  // MemoLength scan for the terminator. A malformed header is reported (1005/6199)
  // and gives -1.
  virtual int64_t LengthFromBlockHeader();                // 17
  virtual int32_t BlockHeaderSize();                      // 18
  virtual void SetLockProtocol(TgsLokProtocol protocol);  // 19
  // Renames the file after its table got the name table_name (the memo keeps its
  // own extension); the .DBT layouts also write the new base name into the header.
  virtual bool RenameMemo(const std::string& table_name);  // 20

  // Content length of the memo at block, in bytes (0 for block 0).
  int32_t MemoLength(int32_t block);
  // Reads up to size bytes of the memo at block into buffer (which holds at least
  // size bytes); size becomes the number of bytes read. No terminator is added.
  void ReadMemo(void* buffer, int32_t block, int32_t& size);
  // Writes size bytes as the memo at block (0 for a new one), moving it when it no
  // longer fits; returns the memo's first block, also left in block. An empty memo
  // at block 0 is not written (returns 0).
  int32_t WriteMemo(const void* buffer, int32_t& block, int32_t size);
  // The memo lock of the lock protocol, tried for the engine's lock wait time.
  bool LockMemo();

  // Writes beside: every write takes new blocks and leaves the memo it replaces
  // untouched (its blocks are neither rewritten nor freed), so that the record
  // still naming the old memo shows it whole until the record is written with
  // the new block. A process killed in the middle of a memo write then leaves the
  // old memo or, once the record is posted, the new one; never a mixture. It
  // costs the old memo's blocks, which no write reuses. Off by default (a memo
  // that fits is rewritten in place); the dataset adapter sets it.
  void SetWriteBeside(bool on) { write_beside_ = on; }
  bool WriteBeside() const { return write_beside_; }

  uint8_t Version() const { return version_; }
  int32_t BlockSize() const { return block_size_; }
  int32_t CurrentBlock() const { return current_block_; }
  uint16_t BlockCount() const { return block_count_; }
  TgsLokProtocol LockProtocol() const { return lock_protocol_; }
  const LockConstants& LockValues() const { return lock_constants_; }

 protected:
  ByteSpan HeaderBuffer() { return ByteSpan(block_header_, sizeof block_header_); }
  // Reads up to 32 bytes at offset into the block header buffer, zero-filled first;
  // returns the bytes that were there.
  int32_t ReadHeaderBuffer(int64_t offset);
  void WriteHeaderBuffer(int64_t offset, int32_t count);
  int64_t BlockOffset(int64_t block) const { return block * int64_t(block_size_); }
  // Number of blocks the file's bytes reach into (a partly filled last block counts).
  int64_t BlocksInFile();
  // The block a new memo goes to when the header names next_free: never inside the
  // data the file holds (nothing is overwritten) and never far past its end (no
  // holes); at least first_data_block.
  int64_t PlaceNewMemo(int64_t next_free, int64_t first_data_block);
  // Checks that a memo of n blocks at first still has a block number an int32 can
  // hold; reports the file as full otherwise.
  bool FitsBlockRange(int64_t first, int64_t n);
  void SetBlockCount(int64_t n);
  // The memo's name after its table was renamed to table_name.
  std::string NameForTable(const std::string& table_name) const;
  // Reports 1005/6199 with the file name, the block and what is wrong.
  void ReportFormatError(int64_t block, const std::string& what);
  // Checks the block size taken from a header; reports it and falls back to 512.
  void AcceptBlockSize(int64_t size, int64_t smallest, int64_t largest);

  GSO_dBaseDBF* table_;
  uint8_t version_;
  int32_t current_block_ = 0;
  uint16_t block_count_ = 0;
  int32_t block_size_ = 512;
  uint8_t block_header_[kMemoHeaderBufferSize] = {};
  int32_t header_bytes_read_ = 0;
  int64_t header_block_ = 0;  // block whose header the buffer holds
  TgsLokProtocol lock_protocol_ = TgsLokProtocol::Default;
  LockConstants lock_constants_{};
  bool write_beside_ = false;

 private:
  int64_t ScanLength(int64_t offset);
  bool length_ok_ = false;  // the last MemoLength found a well-formed memo
  void WriteContents(const void* buffer, int32_t size);
};

// dBASE IV .DBT: block headers and a first-fit free list.
class GSobjMemo4 : public GSobjMemo {
 public:
  GSobjMemo4(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
             const std::string& table_file_name);

  void AllocateBlocks(int32_t length) override;         // 14
  void FreeBlocks(int32_t block) override;              // 15
  void FillTerminator(ByteSpan block_buffer) override;  // 16
  int64_t LengthFromBlockHeader() override;             // 17
  int32_t BlockHeaderSize() override;                   // 18
};

// FoxPro .FPT: big-endian numbers, block size from the header.
class GSobjFXMemo20 : public GSobjMemo {
 public:
  GSobjFXMemo20(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                const std::string& table_file_name);

  void AllocateBlocks(int32_t length) override;             // 14
  void FillTerminator(ByteSpan block_buffer) override;      // 16
  int64_t LengthFromBlockHeader() override;                 // 17
  int32_t BlockHeaderSize() override;                       // 18
  bool RenameMemo(const std::string& table_name) override;  // 20
};

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_MEMO_H_
