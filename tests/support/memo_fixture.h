// Test fixture builder for memo files: writes .DBT (dBASE III and IV) and .FPT files
// the way other xBase programs lay them out, independently of the engine's writer.
//
//   dBASE III .DBT: 512-byte header block (next free block, little-endian, at 0;
//                   version byte 3 at 16); each memo: its bytes, 0x1A 0x1A, zero
//                   padding to the block size.
//   dBASE IV  .DBT: header block of the block size (first free block at 0, base
//                   name at 8, block size at 20, little-endian); each memo: FF FF,
//                   8 (16-bit), length + 8 (32-bit), its bytes, padding; free runs:
//                   next run (32-bit), blocks in the run (32-bit).
//   FoxPro    .FPT: 512-byte header area (next free block and block size,
//                   big-endian, at 0 and 6); each memo: record type, length
//                   (32-bit big-endian), its bytes, padding.
#ifndef TESTS_SUPPORT_MEMO_FIXTURE_H_
#define TESTS_SUPPORT_MEMO_FIXTURE_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace devazoz {
class GSobjMemo;
}

namespace qvx_test {

enum class MemoLayout { kDbt3, kDbt4, kFpt };

class MemoFixture {
 public:
  // block_size 0 picks the layout's usual size (512, 512, 64).
  explicit MemoFixture(MemoLayout layout, int block_size = 0);

  // Appends a memo; returns its first block.
  int32_t Add(const std::string& bytes);
  // FoxPro only: a memo with the given record type.
  int32_t AddTyped(const std::string& bytes, uint32_t record_type);
  // dBASE IV only: appends a free run of the given number of blocks at the end of
  // the free list; returns its first block.
  int32_t AddFreeRun(int blocks);
  // Appends raw bytes, padded to whole blocks; returns the first block.
  int32_t AddRaw(const std::string& bytes);

  MemoLayout layout() const { return layout_; }
  int block_size() const { return block_size_; }
  // Blocks written so far (header included): the next free block.
  int32_t NextFree() const;

  // Settings; defaults describe a well-formed file.
  int64_t next_free_override = -1;      // header's next free / first free value
  bool pad_last_block = true;           // false: the file ends right after the last memo's bytes
  std::string header_name = "FIXTURE";  // dBASE IV header bytes 8..15

  std::vector<uint8_t> Bytes() const;
  void Write(const std::string& path) const;

 private:
  int32_t Append(const std::string& block_bytes);

  MemoLayout layout_;
  int block_size_;
  int header_blocks_;
  std::vector<uint8_t> body_;     // everything after the header area, padded per item
  size_t last_unpadded_end_ = 0;  // end of the last item's real bytes in body_
  std::vector<std::pair<int32_t, int>> free_runs_;  // first block, blocks; in list order
};

// While it lives, engine errors are recorded instead of raised, so that tests can
// follow what the engine does after a report when the error hook returns.
class RecordingErrorHook {
 public:
  struct Report {
    int32_t code;
    int32_t sub_code;
    std::string info;
  };
  RecordingErrorHook();
  ~RecordingErrorHook();
  RecordingErrorHook(const RecordingErrorHook&) = delete;
  RecordingErrorHook& operator=(const RecordingErrorHook&) = delete;

  const std::vector<Report>& reports() const;
  bool Has(int32_t code, int32_t sub_code) const;
  void Clear();
};

// The field bytes that refer to block in a memo field of the given width: digits
// right-aligned (or, encoded, the 4-byte little-endian number of version 0x30).
std::string MemoFieldValue(int32_t block, int width = 10, bool encoded = false);

// The whole memo at block, as MemoLength and ReadMemo give it.
std::string ReadWholeMemo(devazoz::GSobjMemo& memo, int32_t block);
// Writes text as the memo at block (a prior read of it, as the engine expects, is
// the caller's business); returns the new first block.
int32_t WriteText(devazoz::GSobjMemo& memo, int32_t block, const std::string& text);

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_MEMO_FIXTURE_H_
