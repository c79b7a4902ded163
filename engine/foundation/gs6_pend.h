// PendingBlocks: blocks written to a file that no other process can change,
// held in memory until they are written out together: in position order, with
// neighbouring blocks in one run. An index change rewrites the same few nodes
// again and again, and a build writes neighbouring nodes one by one; holding
// them costs a copy instead of a system call each.
//
// Blocks are block_size bytes at multiples of block_size. A held block is the
// whole current content of that part of the file: bytes not written by the
// caller were filled from the file when the block was first held.
#ifndef ENGINE_FOUNDATION_GS6_PEND_H_
#define ENGINE_FOUNDATION_GS6_PEND_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace devazoz {

class PendingBlocks {
 public:
  // Reads the file's own bytes [offset, offset + count) into out (zeros where
  // the file has none).
  using ReadFile = std::function<void(int64_t offset, uint8_t* out, size_t count)>;
  // Writes bytes to the file; false stops the flush.
  using WriteFile = std::function<bool(int64_t offset, const uint8_t* bytes, size_t count)>;

  PendingBlocks(uint32_t block_size, size_t limit_bytes);
  ~PendingBlocks();
  PendingBlocks(const PendingBlocks&) = delete;
  PendingBlocks& operator=(const PendingBlocks&) = delete;

  uint32_t BlockSize() const { return block_size_; }
  bool Empty() const { return order_.empty(); }
  // True once the held blocks take the limit or more.
  bool Full() const { return order_.size() * block_size_ >= limit_bytes_; }
  size_t HeldBytes() const { return order_.size() * block_size_; }
  // The end of the highest held block (0 when none is held).
  int64_t End() const { return end_; }

  // Whether every block of [offset, offset + count) is held (count > 0): then
  // Overlay gives all of it and the file need not be read.
  bool Covers(int64_t offset, size_t count) const;
  // Copies what is held of [offset, offset + count) over buffer.
  void Overlay(int64_t offset, uint8_t* buffer, size_t count) const;
  // Holds the bytes [offset, offset + count).
  void Write(int64_t offset, const uint8_t* bytes, size_t count, const ReadFile& read);
  // Writes every held block through write and lets them go. When write fails,
  // every block stays held and false is returned.
  bool Flush(const WriteFile& write);
  // Lets go of the blocks that start at or after offset (the file is cut there).
  void DiscardFrom(int64_t offset);

 private:
  uint8_t* Find(int64_t number) const;
  uint8_t* Hold(int64_t number, bool whole, const ReadFile& read);
  void Reset();
  size_t ChunkBytes() const { return blocks_per_chunk_ * block_size_; }
  uint8_t* BlockAt(size_t index) const {
    return chunks_[index / blocks_per_chunk_] + (index % blocks_per_chunk_) * block_size_;
  }

  uint32_t block_size_;
  size_t limit_bytes_;
  // slot_[block number] is 1 + the block's index in the arena, or 0.
  std::vector<uint32_t> slot_;
  // Block numbers in the order they were first held.
  std::vector<int64_t> order_;
  size_t blocks_per_chunk_;
  // The arena: chunks of blocks_per_chunk_ blocks each, owned.
  std::vector<uint8_t*> chunks_;
  int64_t end_ = 0;
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_PEND_H_
