#include "engine/foundation/gs6_pend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "engine/foundation/gs6_os.h"

namespace devazoz {

namespace {
// The arena grows in chunks of about 2 MiB (large system memory, see
// os::AllocateLarge: a build holds megabytes of new blocks, and 4 KiB page
// faults on fresh memory cost more than the copies); chunks are kept for reuse.
constexpr size_t kChunkBytes = size_t(2) << 20;
// Neighbouring blocks are written in runs of at most this many bytes.
constexpr size_t kRunBytes = size_t(1) << 20;
}  // namespace

PendingBlocks::PendingBlocks(uint32_t block_size, size_t limit_bytes)
    : block_size_(std::max<uint32_t>(1, block_size)),
      limit_bytes_(limit_bytes),
      blocks_per_chunk_(std::max<size_t>(1, kChunkBytes / block_size_)) {}

PendingBlocks::~PendingBlocks() {
  for (uint8_t* chunk : chunks_) os::FreeLarge(chunk, ChunkBytes());
}

uint8_t* PendingBlocks::Find(int64_t number) const {
  if (number < 0 || uint64_t(number) >= slot_.size() || slot_[size_t(number)] == 0) return nullptr;
  return BlockAt(slot_[size_t(number)] - 1);
}

uint8_t* PendingBlocks::Hold(int64_t number, bool whole, const ReadFile& read) {
  if (uint8_t* found = Find(number)) return found;
  size_t index = order_.size();
  if (index / blocks_per_chunk_ >= chunks_.size()) {
    chunks_.reserve(chunks_.size() + 1);
    auto* chunk = static_cast<uint8_t*>(os::AllocateLarge(ChunkBytes()));
    if (!chunk) throw std::bad_alloc();
    chunks_.push_back(chunk);
  }
  uint8_t* block = BlockAt(index);
  // A whole block is overwritten by the caller at once.
  if (!whole) read(number * block_size_, block, block_size_);
  if (uint64_t(number) >= slot_.size())
    slot_.resize(std::max<size_t>(size_t(number) + 1, slot_.size() * 2), 0);
  slot_[size_t(number)] = uint32_t(index + 1);
  order_.push_back(number);
  end_ = std::max<int64_t>(end_, (number + 1) * block_size_);
  return block;
}

bool PendingBlocks::Covers(int64_t offset, size_t count) const {
  if (order_.empty() || count == 0 || offset < 0 || offset + int64_t(count) > end_) return false;
  const int64_t last = (offset + int64_t(count) - 1) / block_size_;
  for (int64_t number = offset / block_size_; number <= last; ++number)
    if (!Find(number)) return false;
  return true;
}

void PendingBlocks::Overlay(int64_t offset, uint8_t* buffer, size_t count) const {
  if (order_.empty() || count == 0 || offset >= end_) return;
  const int64_t stop = offset + int64_t(count);
  for (int64_t at = offset; at < stop && at < end_;) {
    int64_t number = at / block_size_;
    int64_t block_start = number * block_size_;
    int64_t next = std::min<int64_t>(stop, block_start + block_size_);
    if (const uint8_t* block = Find(number))
      std::memcpy(buffer + (at - offset), block + (at - block_start), size_t(next - at));
    at = next;
  }
}

void PendingBlocks::Write(int64_t offset, const uint8_t* bytes, size_t count,
                          const ReadFile& read) {
  const int64_t stop = offset + int64_t(count);
  for (int64_t at = offset; at < stop;) {
    int64_t number = at / block_size_;
    int64_t block_start = number * block_size_;
    int64_t next = std::min<int64_t>(stop, block_start + block_size_);
    bool whole = at == block_start && next == block_start + block_size_;
    uint8_t* block = Hold(number, whole, read);
    std::memcpy(block + (at - block_start), bytes + (at - offset), size_t(next - at));
    at = next;
  }
}

bool PendingBlocks::Flush(const WriteFile& write) {
  if (order_.empty()) return true;
  std::vector<int64_t> numbers = order_;
  std::sort(numbers.begin(), numbers.end());
  std::vector<uint8_t> run;
  size_t first = 0;
  while (first < numbers.size()) {
    size_t last = first + 1;
    while (last < numbers.size() && numbers[last] == numbers[last - 1] + 1 &&
           (last - first + 1) * block_size_ <= kRunBytes)
      ++last;
    // Blocks held one after the other lie side by side in the arena (a build
    // holds its new blocks in file order): such a run is written in place.
    const uint8_t* start = Find(numbers[first]);
    const uintptr_t base = reinterpret_cast<uintptr_t>(start);
    bool adjacent = true;
    for (size_t i = first + 1; i < last && adjacent; ++i)
      adjacent = reinterpret_cast<uintptr_t>(Find(numbers[i])) == base + (i - first) * block_size_;
    bool ok;
    if (adjacent) {
      ok = write(numbers[first] * block_size_, start, (last - first) * block_size_);
    } else {
      run.resize((last - first) * block_size_);
      for (size_t i = first; i < last; ++i)
        std::memcpy(run.data() + (i - first) * block_size_, Find(numbers[i]), block_size_);
      ok = write(numbers[first] * block_size_, run.data(), run.size());
    }
    if (!ok) return false;
    first = last;
  }
  Reset();
  return true;
}

void PendingBlocks::Reset() {
  for (int64_t number : order_) slot_[size_t(number)] = 0;
  order_.clear();
  end_ = 0;
}

void PendingBlocks::DiscardFrom(int64_t offset) {
  if (order_.empty() || offset >= end_) return;
  // The blocks kept move to the front of the arena, in their first-held order.
  std::vector<int64_t> kept;
  std::vector<uint8_t> bytes;
  for (int64_t number : order_) {
    if (number * block_size_ >= offset) continue;
    const uint8_t* block = Find(number);
    kept.push_back(number);
    bytes.insert(bytes.end(), block, block + block_size_);
  }
  Reset();
  auto unused = [](int64_t, uint8_t*, size_t) {};
  for (size_t i = 0; i < kept.size(); ++i)
    std::memcpy(Hold(kept[i], true, unused), bytes.data() + i * block_size_, block_size_);
}

}  // namespace devazoz
