#include "engine/index/gs6_sort.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/index/gs6_keybytes.h"

// How the sort works.
//
// Sort form of a key: a kind code (0x10 byte string, 0x20 text, 0x30 number,
// 0x40 date) and the key bytes K:
//   text     the text without trailing blanks; with a collation map K holds the
//            mapped bytes and the raw bytes are kept beside them
//   number   the 8 bytes of the double, most significant first, the top bit set
//            when the sign bit is clear and every bit inverted when it is set
//   date     the 4 bytes of the day number, most significant first, sign bit
//            flipped
//   bytes    unchanged
// Order: kind, then K byte by byte (a prefix before its extensions), then the
// record number as an unsigned 32-bit value; a descending sort reverses all of
// it. Keys equal in all three keep their order of arrival in both directions.
// Numbers keep all 8 bytes (dropping trailing zero bytes would misorder and
// misdecode negative values) and dates flip the sign bit, so both sort in
// numeric order.
//
// Working area: entries are appended to one arena of WorkBytes() bytes:
//   OFFSET  SIZE  CONTENT
//   0       4     record number (native order)
//   4       1     key length n
//   5       1     kind code
//   6       n     K
//   6+n     n     raw text bytes (mapped text only)
// and an index array holds one Item per entry: 8 bytes of K (big-endian), the
// count of K bytes left and the entry's offset. The items are sorted by an MSD
// radix sort on those 8 bytes; each group of items that agree on them is then
// sorted by the next 8 bytes of K, and so on; items with equal keys are put in
// record-number order. A large arena is first regrouped by its leading key
// bytes so that these reads stay close together (see Gather).
//
// Runs: when the arena is full its sorted keys are written, in output order, to
// a run of 64 KiB pages. Record (no record crosses a page):
//   OFFSET  SIZE  CONTENT
//   0       1     kind code
//   1       1     key length n
//   2       1     bytes s shared with the previous key of the run
//   3       n-s   the rest of the key (raw bytes, not mapped ones)
//   3+n-s   4     record number, most significant byte first
// When every key fits in the arena no run is written and retrieval reads the
// sorted arena. Otherwise the arena becomes the last run and retrieval merges
// the runs through a tree of losers with offset-value codes: each candidate
// carries where it first differs from the key last returned and its symbols
// there, so most matches are decided by comparing two integers and the rest
// compare bytes only from that place on. Pages are cut from 1 MiB slabs that
// live as long as the sort: freeing pages one by one while draining cost more
// than the rest of the merge.

namespace devazoz {

namespace {

constexpr uint8_t kCodeBytes = 0x10;
constexpr uint8_t kCodeText = 0x20;
constexpr uint8_t kCodeNumber = 0x30;
constexpr uint8_t kCodeDate = 0x40;

constexpr size_t kEntryHead = 6;
constexpr size_t kArenaSlack = 8;  // lets an 8-byte load start at any key byte
constexpr size_t kMinWorkBytes = 1024;
constexpr size_t kMaxWorkBytes = size_t(1) << 30;
constexpr size_t kPageBytes = size_t(64) << 10;
constexpr size_t kMaxRecord = 3 + TgsSort::kMaxSortKeyLength + 4;
constexpr size_t kSmallGroup = 64;
constexpr size_t kCodeSymbols = 6;  // symbols in an offset-value code
constexpr size_t kKeyBuffer = TgsSort::kMaxSortKeyLength + 24;
constexpr size_t kPageSlack = 16;  // lets CopyShort read past a page's last record
constexpr size_t kPageStride = kPageBytes + kPageSlack;
constexpr size_t kSlabPages = 16;
constexpr size_t kGatherItems = size_t(1) << 15;  // the fewest items an arena regroups
constexpr size_t kGatherGroups = size_t(1) << 16;

struct Item {
  uint64_t chunk;  // K bytes [8d, 8d + 8), big-endian, zero past the end
  uint32_t off;    // entry offset in the arena
  uint32_t tail;   // K bytes from 8d on, 9 meaning "more than 8"
};

// A fixed-capacity array of trivially copyable T in large zeroed system memory
// (see os::AllocateLarge): reserving the most the sort may need costs only the
// pages that are used, and growing never copies.
template <typename T>
class LargeArray {
 public:
  LargeArray() = default;
  ~LargeArray() { os::FreeLarge(data_, bytes_); }
  LargeArray(const LargeArray&) = delete;
  LargeArray& operator=(const LargeArray&) = delete;

  void Reserve(size_t capacity) {
    os::FreeLarge(data_, bytes_);
    data_ = nullptr;
    bytes_ = capacity * sizeof(T);
    size_ = capacity_ = 0;
    if (!bytes_) return;
    data_ = static_cast<T*>(os::AllocateLarge(bytes_));
    if (!data_) {
      bytes_ = 0;
      throw std::bad_alloc();
    }
    capacity_ = capacity;
  }
  void Release() { Reserve(0); }
  void Swap(LargeArray& o) {
    std::swap(data_, o.data_);
    std::swap(bytes_, o.bytes_);
    std::swap(size_, o.size_);
    std::swap(capacity_, o.capacity_);
  }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  void push_back(const T& v) { data_[size_++] = v; }  // callers keep size() < capacity()
  void resize(size_t n) { size_ = n; }                // within capacity()
  void clear() { size_ = 0; }

 private:
  T* data_ = nullptr;
  size_t bytes_ = 0, size_ = 0, capacity_ = 0;
};

inline uint64_t LoadBE64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

inline uint32_t LoadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Entries are reached in sorted, hence random, order: ask for them ahead.
constexpr size_t kAhead = 16;
inline void PrefetchEntry(const uint8_t* e) {
  __builtin_prefetch(e);
  __builtin_prefetch(e + 63);
}

// Chunk d of a key of n bytes at k; k + 8d + 8 must be readable.
inline uint64_t ChunkAt(const uint8_t* k, size_t n, size_t d) {
  size_t from = 8 * d;
  if (from >= n) return 0;
  uint64_t v = LoadBE64(k + from);
  size_t rem = n - from;
  return rem >= 8 ? v : v & ~(~uint64_t(0) >> (8 * rem));
}

inline uint32_t TailAt(size_t n, size_t d) {
  size_t from = 8 * d;
  if (from >= n) return 0;
  return uint32_t(std::min<size_t>(n - from, 9));
}

// Copies n bytes in 16-byte steps: up to 15 bytes past both ends are touched,
// which the callers' buffers allow for. Short copies dominate; this avoids the
// start-up cost of a library copy.
inline void CopyShort(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; i += 16) {
    uint64_t a, b;
    std::memcpy(&a, src + i, 8);
    std::memcpy(&b, src + i + 8, 8);
    std::memcpy(dst + i, &a, 8);
    std::memcpy(dst + i + 8, &b, 8);
  }
}

// Length of the common prefix of a[0..n) and b[0..n).
size_t CommonPrefix(const uint8_t* a, const uint8_t* b, size_t n) {
  size_t i = 0;
  while (i + 8 <= n) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return i + size_t(__builtin_ctzll(x ^ y) >> 3);
    i += 8;
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

inline bool ChunkLess(const Item& x, const Item& y) {
  if (x.chunk != y.chunk) return x.chunk < y.chunk;
  return x.tail < y.tail;
}

void InsertionSort(Item* a, size_t n) {
  for (size_t i = 1; i < n; ++i) {
    Item v = a[i];
    size_t j = i;
    for (; j > 0 && ChunkLess(v, a[j - 1]); --j) a[j] = a[j - 1];
    a[j] = v;
  }
}

// MSD radix sort by (chunk, tail) of items that agree on the chunk bytes above
// `byte` (7 = most significant). Items equal in both may end in any order.
void SortByChunk(Item* a, Item* tmp, size_t n, int byte) {
  if (n < kSmallGroup) {
    InsertionSort(a, n);
    return;
  }
  // Skip the bytes every item shares in one pass.
  uint64_t diff = 0, first = a[0].chunk;
  for (size_t i = 1; i < n; ++i) diff |= a[i].chunk ^ first;
  byte = diff == 0 ? -1 : std::min(byte, 7 - (__builtin_clzll(diff) >> 3));
  uint32_t count[256] = {};
  if (byte < 0) {
    // Equal chunks: only the tails can differ.
    for (size_t i = 0; i < n; ++i) ++count[a[i].tail];
    if (count[a[0].tail] == n) return;
    uint32_t sum = 0;
    for (int v = 0; v < 10; ++v) {
      uint32_t c = count[v];
      count[v] = sum;
      sum += c;
    }
    for (size_t i = 0; i < n; ++i) tmp[count[a[i].tail]++] = a[i];
    std::memcpy(a, tmp, n * sizeof(Item));
    return;
  }
  int shift = 8 * byte;
  for (size_t i = 0; i < n; ++i) ++count[(a[i].chunk >> shift) & 0xFF];
  uint32_t start[256], next[256];
  uint32_t sum = 0;
  for (int v = 0; v < 256; ++v) {
    start[v] = next[v] = sum;
    sum += count[v];
  }
  for (size_t i = 0; i < n; ++i) tmp[next[(a[i].chunk >> shift) & 0xFF]++] = a[i];
  std::memcpy(a, tmp, n * sizeof(Item));
  for (int v = 0; v < 256; ++v)
    if (count[v] > 1) SortByChunk(a + start[v], tmp + start[v], count[v], byte - 1);
}

// A sorted run in memory pages.
struct Run {
  std::vector<uint8_t*> pages;  // in the sort's slabs
  std::vector<uint32_t> used;
};

// A key as retrieval sees it.
struct Key {
  uint8_t kind = 0;
  uint8_t len = 0;
  uint32_t recno = 0;
  const uint8_t* k = nullptr;    // K: what the order compares
  const uint8_t* raw = nullptr;  // what comes back to the caller
};

// The merge compares keys as symbol strings V: the kind, each K byte + 1, 0 for
// the end of K, then each record-number byte + 1 (most significant first). So a
// prefix sorts before its extensions and equal keys by record number.
inline size_t VLength(const Key& x) { return size_t(x.len) + 6; }

inline unsigned Symbol(const Key& x, size_t pos) {
  if (pos == 0) return x.kind;
  if (pos <= x.len) return unsigned(x.k[pos - 1]) + 1;
  if (pos == size_t(x.len) + 1) return 0;
  size_t i = pos - x.len - 2;  // 0..3
  return ((x.recno >> (24 - 8 * i)) & 0xFF) + 1;
}

// The first position from `from` on where x and y differ (they agree before
// it), or VLength when they are equal.
size_t FirstDifference(const Key& x, const Key& y, size_t from) {
  if (from == 0) {
    if (x.kind != y.kind) return 0;
    from = 1;
  }
  size_t m = std::min(x.len, y.len);
  if (from <= m) {
    size_t l = from - 1 + CommonPrefix(x.k + from - 1, y.k + from - 1, m - (from - 1));
    if (l < m) return l + 1;
  }
  if (x.len != y.len) return m + 1;
  for (size_t i = 0; i < 4; ++i) {
    size_t pos = m + 2 + i;
    if (pos >= from && ((x.recno ^ y.recno) >> (24 - 8 * i)) & 0xFF) return pos;
  }
  return m + 6;
}

}  // namespace

struct TgsSort::Impl {
  // One run being merged.
  struct Cursor {
    Key cur;
    int64_t* code = nullptr;  // its slot in codes
    Run* run = nullptr;
    size_t page = 0, pos = 0;
    bool have_prev = false;
    size_t mapped_valid = 0;  // leading bytes of key_buf that map raw_buf
    uint8_t raw_buf[kKeyBuffer];
    uint8_t key_buf[kKeyBuffer];
  };

  int max_len = 0;
  bool has_map = false;
  uint8_t map[256] = {};
  bool ascending = true;
  bool unique = false;
  bool adding = true;

  size_t work_bytes = kDefaultWorkBytes;
  size_t max_items = 0;
  // Zero-filled fresh pages, so only what is used is touched, and the 8-byte
  // loads past a key's end read known bytes. items and scratch are reserved
  // for max_items at once on the same terms.
  LargeArray<uint8_t> arena;
  size_t arena_used = 0;
  unsigned kinds_seen = 0;  // bit per kind code in the arena
  // The bits in which the items' first chunks differ from the first item's.
  uint64_t chunks_differ = 0;
  // Whether the arena's record numbers rose strictly in order of arrival (as an
  // index build's record pass gives them): the radix sort keeps the order of
  // arrival among equal keys, which is then already their record order.
  bool records_rise = true;
  uint32_t last_added = 0;
  LargeArray<Item> items;
  LargeArray<Item> scratch;
  LargeArray<uint8_t> spare;                          // the arena's entries regrouped (see Gather)
  size_t spare_bytes = 0;                             // the bytes of spare in use
  size_t items_high = 0;                              // the most items held at once
  bool scratch_used = false;                          // whether sorting touched scratch
  std::vector<std::pair<uint32_t, uint32_t>> deeper;  // SortGroup's work list
  std::vector<std::unique_ptr<Run>> runs;
  std::vector<std::unique_ptr<uint8_t[]>> slabs;
  size_t slab_pages_used = kSlabPages;  // of the last slab
  uint32_t key_count = 0;
  size_t peak = 0;

  // Retrieval: either the sorted arena (no runs) or the merge of the runs.
  size_t next_item = 0;
  std::vector<std::unique_ptr<Cursor>> cursors;
  std::vector<int> tree;  // tree[0] the winner, tree[1..k-1] the losers
  // Per cursor: offset-value code of its key against the key last returned
  // (see Code; higher first); -1 when the run is done.
  std::vector<int64_t> codes;
  bool have_last = false;
  uint8_t last_kind = 0, last_len = 0;
  uint8_t last_key[kKeyBuffer];
  std::string out_text;         // keeps its capacity between keys
  uint8_t out_raw[kKeyBuffer];  // the bytes of the key Pick chose

  bool Mapped(uint8_t kind) const { return has_map && kind == kCodeText; }
  const uint8_t* Entry(uint32_t off) const { return arena.data() + off; }
  Key EntryKey(const uint8_t* e) const {
    Key x;
    x.recno = LoadU32(e);
    x.len = e[4];
    x.kind = e[5];
    x.k = e + kEntryHead;
    x.raw = Mapped(x.kind) ? x.k + x.len : x.k;
    return x;
  }
  // Offset-value code of x against a key it first differs from at symbol
  // `offset`, in words of kCodeSymbols symbols: the index of the word holding
  // the difference, then that word of x (9 bits a symbol, ranked so that a
  // higher code comes out first; 0 past the end). Two keys coded against the
  // same key with the same word index differ, if at all, inside that word or
  // after it, so a match decided by the codes leaves the loser's code valid
  // against the winner.
  int64_t Code(const Key& x, size_t offset) const {
    size_t word = offset / kCodeSymbols;
    int64_t code = int64_t(word);
    size_t first = word * kCodeSymbols;
    if (first >= 1 && first + kCodeSymbols <= size_t(x.len) + 1) {
      // The whole word lies in K: symbols are the bytes + 1.
      const uint8_t* k = x.k + first - 1;
      for (size_t i = 0; i < kCodeSymbols; ++i)
        code = code << 9 | (ascending ? 510 - k[i] : unsigned(k[i]) + 1);
      return code;
    }
    size_t end = VLength(x);
    for (size_t i = 0, pos = first; i < kCodeSymbols; ++i, ++pos) {
      unsigned sym = pos < end ? Symbol(x, pos) : 0;
      code = code << 9 | (ascending ? 511 - sym : sym);
    }
    return code;
  }

  void NotePeak() {
    // Memory in use: the pages of items and scratch that were touched.
    items_high = std::max(items_high, items.size());
    size_t now = (arena.capacity() ? work_bytes + kArenaSlack : 0) + spare_bytes +
                 (items.capacity() ? (scratch_used ? 2 : 1) * items_high * sizeof(Item) : 0) +
                 slabs.size() * kSlabPages * kPageStride + cursors.size() * sizeof(Cursor);
    peak = std::max(peak, now);
  }

  void Add(uint8_t kind, const uint8_t* k, size_t n, const uint8_t* raw, uint32_t recno);
  void SortArena();
  bool Gather();
  void SortGroup(Item* a, Item* tmp, size_t n, size_t d);
  void OrderEqualKeys(Item* a, size_t n);
  void KeepFirstOfEachKey();
  void Spill();
  uint8_t* NewPage() {
    if (slab_pages_used == kSlabPages) {
      slabs.emplace_back(new uint8_t[kSlabPages * kPageStride]);
      slab_pages_used = 0;
      NotePeak();
    }
    return slabs.back().get() + kPageStride * slab_pages_used++;
  }
  static void ClosePage(Run& run, uint8_t* page, size_t pos) {
    run.used.back() = uint32_t(pos);
    std::memset(page + pos, 0, kPageSlack);  // what CopyShort may read past the end
  }
  void Begin();

  void Load(Cursor& c);
  // The next key to return, its bytes copied to out_raw; false at the end.
  bool Pick(Key& out);
  void Keep(const Key& x, Key& out) {
    out = x;
    // The sorted arena stays put until the sort ends; a run's cursor reuses
    // its buffers at the next key.
    if (cursors.empty()) return;
    std::memcpy(out_raw, x.raw, x.len);
    out.raw = out_raw;
  }
  int Match(int a, int b);
  bool Current(Key& x);
  void Advance();
  void Emit(const Key& x, TgsVariant& value);

  bool SameAsLast(const Key& x) const {
    return have_last && x.kind == last_kind && x.len == last_len &&
           std::memcmp(x.k, last_key, x.len) == 0;
  }
  void RememberLast(const Key& x) {
    have_last = true;
    last_kind = x.kind;
    last_len = x.len;
    std::memcpy(last_key, x.k, x.len);
  }
};

// ---- Adding and sorting the arena ----

void TgsSort::Impl::Add(uint8_t kind, const uint8_t* k, size_t n, const uint8_t* raw,
                        uint32_t recno) {
  size_t size = kEntryHead + n + (raw ? n : 0);
  if (arena_used + size > work_bytes || items.size() >= max_items) Spill();
  if (!items.empty() && recno <= last_added) records_rise = false;
  last_added = recno;
  uint8_t* e = arena.data() + arena_used;
  std::memcpy(e, &recno, 4);
  e[4] = uint8_t(n);
  e[5] = kind;
  CopyKeyBytes(e + kEntryHead, k, n);  // k may be null when n is 0
  if (raw) CopyKeyBytes(e + kEntryHead + n, raw, n);
  if ((items.size() & 0xFFFF) == 0) NotePeak();
  // The first chunk from the caller's bytes: a load from the arena right after
  // the copy would wait for the stores.
  uint64_t chunk = 0;
  if (n >= 8) {
    chunk = LoadBE64(k);
  } else {
    for (size_t i = 0; i < n; ++i) chunk |= uint64_t(k[i]) << (56 - 8 * i);
  }
  chunks_differ |= chunk ^ (items.empty() ? chunk : items[0].chunk);
  items.push_back(Item{chunk, uint32_t(arena_used), TailAt(n, 0)});
  arena_used += size;
  kinds_seen |= 1u << (kind >> 4);
}

// Items of one group share the kind and the K bytes before 8d; their chunk and
// tail are those of depth d.
void TgsSort::Impl::SortGroup(Item* a, Item* tmp, size_t n, size_t d) {
  if (n < 2) return;
  SortByChunk(a, tmp, n, 7);
  // Groups that agree on chunk d and go on need the next chunk. They are listed
  // first so that the entries can be fetched ahead across group boundaries
  // (most groups are small).
  size_t base = deeper.size();
  size_t i = 0;
  while (i < n) {
    size_t j = i + 1;
    while (j < n && a[j].chunk == a[i].chunk && a[j].tail == a[i].tail) ++j;
    if (j - i > 1) {
      if (a[i].tail == 9)
        deeper.push_back({uint32_t(i), uint32_t(j)});
      else if (!records_rise)
        OrderEqualKeys(a + i, j - i);
    }
    i = j;
  }
  size_t top = deeper.size();
  size_t ahead_group = base, ahead = top > base ? deeper[base].first : 0, fetched = 0;
  for (size_t g = base; g < top; ++g) {
    for (size_t m = deeper[g].first; m < deeper[g].second; ++m) {
      while (ahead_group < top && fetched < kAhead) {
        PrefetchEntry(Entry(a[ahead].off));
        ++fetched;
        if (++ahead == deeper[ahead_group].second && ++ahead_group < top)
          ahead = deeper[ahead_group].first;
      }
      --fetched;
      const uint8_t* e = Entry(a[m].off);
      a[m].chunk = ChunkAt(e + kEntryHead, e[4], d + 1);
      a[m].tail = TailAt(e[4], d + 1);
    }
  }
  for (size_t g = base; g < top; ++g) {
    size_t from = deeper[g].first, to = deeper[g].second;
    SortGroup(a + from, tmp + from, to - from, d + 1);
  }
  deeper.resize(base);
}

// Items with equal keys: by record number, then by order of arrival (reversed
// for a descending sort, whose output reads the items backwards).
void TgsSort::Impl::OrderEqualKeys(Item* a, size_t n) {
  auto less = [&](const Item& x, const Item& y) {
    uint32_t rx = LoadU32(Entry(x.off)), ry = LoadU32(Entry(y.off));
    if (rx != ry) return rx < ry;
    return ascending ? x.off < y.off : x.off > y.off;
  };
  if (!std::is_sorted(a, a + n, less)) std::sort(a, a + n, less);
}

// A large arena of one kind is first regrouped: its entries are copied, in
// order of arrival, into groups by the two leading bytes in which keys differ,
// and the items follow them. Each group is then sorted on its own, and the
// reads of its entries (the next key bytes of items that agree on the first
// eight, and the sorted keys read back) stay within the group's own bytes, which
// mostly fit the processor's cache, instead of reaching across the whole arena.
// Copying keeps arrival order within a group, so equal keys keep it too. Only
// the first arena of a sort is regrouped: then the scratch array has not been
// touched, and the spare area it costs keeps the peak within 3 x WorkBytes().
bool TgsSort::Impl::Gather() {
  size_t n = items.size();
  if (n < kGatherItems || !runs.empty() || (kinds_seen & (kinds_seen - 1))) return false;
  // Whole bytes that every first chunk shares are skipped.
  const int skip = chunks_differ ? (__builtin_clzll(chunks_differ) & ~7) : 0;
  auto group = [skip](uint64_t chunk) { return size_t((chunk << skip) >> 48); };
  std::vector<uint32_t> first(kGatherGroups + 1, 0), at(kGatherGroups + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    size_t g = group(items[i].chunk);
    ++first[g + 1];
    at[g + 1] += (i + 1 < n ? items[i + 1].off : uint32_t(arena_used)) - items[i].off;
  }
  for (size_t g = 1; g <= kGatherGroups; ++g) {
    first[g] += first[g - 1];
    at[g] += at[g - 1];
  }
  std::vector<uint32_t> next(first.begin(), first.end() - 1);
  spare.Reserve(work_bytes + kArenaSlack);
  spare_bytes = arena_used + kArenaSlack;
  NotePeak();
  // The entries are read in order of arrival, so the items they came with can
  // be overwritten by the regrouped ones (scratch stays untouched).
  uint8_t* to = spare.data();
  for (size_t i = 0, from = 0; i < n; ++i) {
    const uint8_t* e = Entry(uint32_t(from));
    size_t len = e[4], size = kEntryHead + (Mapped(e[5]) ? 2 * len : len);
    uint64_t chunk = ChunkAt(e + kEntryHead, len, 0);
    size_t g = group(chunk);
    uint32_t off = at[g];
    at[g] += uint32_t(size);
    CopyKeyBytes(to + off, e, size);
    items[next[g]++] = Item{chunk, off, TailAt(len, 0)};
    from += size;
  }
  // The old arena, no longer needed, is the sort's scratch array: its pages
  // are in memory already (n items take at most the area's bytes).
  arena.Swap(spare);
  Item* tmp = scratch.data();
  if (n * sizeof(Item) <= spare.capacity()) {
    tmp = reinterpret_cast<Item*>(spare.data());
    spare_bytes = std::max(arena_used, n * sizeof(Item)) + kArenaSlack;
  } else {
    scratch_used = true;
  }
  NotePeak();
  for (size_t g = 0; g < kGatherGroups; ++g)
    if (first[g + 1] - first[g] > 1)
      SortGroup(items.data() + first[g], tmp + first[g], first[g + 1] - first[g], 0);
  spare.Release();
  spare_bytes = 0;
  return true;
}

void TgsSort::Impl::SortArena() {
  size_t n = items.size();
  if (n < 2) return;
  if (Gather()) return;
  scratch_used = true;
  NotePeak();
  // Group by kind first; a sort normally sees one kind only.
  if (kinds_seen & (kinds_seen - 1)) {
    std::stable_sort(items.begin(), items.end(), [&](const Item& x, const Item& y) {
      return Entry(x.off)[5] < Entry(y.off)[5];
    });
  }
  size_t i = 0;
  while (i < n) {
    uint8_t kind = Entry(items[i].off)[5];
    size_t j = i + 1;
    if (kinds_seen & (kinds_seen - 1))
      while (j < n && Entry(items[j].off)[5] == kind) ++j;
    else
      j = n;
    SortGroup(items.data() + i, scratch.data() + i, j - i, 0);
    i = j;
  }
}

// Unique mode: keeps one item per key value of the sorted arena, the one with
// the lowest record number (the earliest of those when records repeat).
void TgsSort::Impl::KeepFirstOfEachKey() {
  size_t n = items.size(), out = 0, i = 0;
  while (i < n) {
    const uint8_t* e = Entry(items[i].off);
    size_t j = i + 1, keep = i;
    while (j < n) {
      const uint8_t* f = Entry(items[j].off);
      if (f[4] != e[4] || f[5] != e[5] || std::memcmp(f + kEntryHead, e + kEntryHead, e[4]) != 0)
        break;
      // Descending: repeated records stand latest first; take the last item
      // that still has the group's lowest record number.
      if (!ascending && LoadU32(f) == LoadU32(e)) keep = j;
      ++j;
    }
    items[out++] = items[keep];
    i = j;
  }
  items.resize(out);
}

// Sorts the arena into a new run and empties it.
void TgsSort::Impl::Spill() {
  SortArena();
  if (unique) KeepFirstOfEachKey();
  auto run = std::make_unique<Run>();
  uint8_t* page = nullptr;
  size_t pos = kPageBytes;
  const uint8_t* prev = nullptr;
  size_t prev_len = 0;
  size_t n = items.size();
  for (size_t m = 0; m < n; ++m) {
    if (m + kAhead < n)
      PrefetchEntry(Entry(items[ascending ? m + kAhead : n - 1 - m - kAhead].off));
    const uint8_t* e = Entry(items[ascending ? m : n - 1 - m].off);
    size_t len = e[4];
    uint8_t kind = e[5];
    const uint8_t* raw = e + kEntryHead + (Mapped(kind) ? len : 0);
    if (pos + kMaxRecord > kPageBytes) {
      if (page) ClosePage(*run, page, pos);
      page = NewPage();
      run->pages.push_back(page);
      run->used.push_back(0);
      pos = 0;
    }
    size_t shared = prev ? CommonPrefix(prev, raw, std::min(prev_len, len)) : 0;
    uint8_t* r = page + pos;
    r[0] = kind;
    r[1] = uint8_t(len);
    r[2] = uint8_t(shared);
    std::memcpy(r + 3, raw + shared, len - shared);
    uint32_t recno = LoadU32(e);
    uint8_t* t = r + 3 + len - shared;
    t[0] = uint8_t(recno >> 24);
    t[1] = uint8_t(recno >> 16);
    t[2] = uint8_t(recno >> 8);
    t[3] = uint8_t(recno);
    pos += 7 + len - shared;
    prev = raw;
    prev_len = len;
  }
  if (page) ClosePage(*run, page, pos);
  runs.push_back(std::move(run));
  items.clear();
  arena_used = 0;
  kinds_seen = 0;
  chunks_differ = 0;
  records_rise = true;
}

// ---- Retrieval ----

// Ends adding. Without runs the sorted arena is read directly; otherwise the
// arena becomes the last run, is freed, and the merge tree is built.
void TgsSort::Impl::Begin() {
  adding = false;
  if (runs.empty()) {
    SortArena();
    if (unique) KeepFirstOfEachKey();
    return;
  }
  if (!items.empty()) Spill();
  arena.Release();
  items.Release();
  scratch.Release();
  size_t k = runs.size();
  cursors.reserve(k);
  codes.assign(k, -1);
  for (size_t i = 0; i < k; ++i) {
    cursors.push_back(std::make_unique<Cursor>());
    cursors.back()->run = runs[i].get();
    cursors.back()->code = &codes[i];
  }
  NotePeak();
  // Every first key is coded against an empty key (before all others) or, in
  // a descending sort, a key after all others: offset 0, symbol = its kind.
  for (auto& c : cursors) Load(*c);
  tree.assign(k, -1);
  for (size_t i = 0; i < k; ++i) {
    int w = int(i);
    size_t node = (k + i) >> 1;
    for (; node > 0; node >>= 1) {
      if (tree[node] < 0) {
        tree[node] = w;
        w = -1;
        break;
      }
      int win = Match(tree[node], w);
      tree[node] = win == w ? tree[node] : w;
      w = win;
    }
    if (w >= 0) tree[0] = w;
  }
}

// Moves a cursor to the next key of its run and codes that key against the
// previous one (the key just returned).
void TgsSort::Impl::Load(Cursor& c) {
  Run& run = *c.run;
  while (c.page < run.pages.size() && c.pos >= run.used[c.page]) {
    ++c.page;
    c.pos = 0;
  }
  if (c.page >= run.pages.size()) {
    *c.code = -1;
    return;
  }
  Key prev = c.cur;
  const uint8_t* r = run.pages[c.page] + c.pos;
  size_t len = r[1], shared = r[2];
  Key& x = c.cur;
  x.kind = r[0];
  x.len = uint8_t(len);
  __builtin_prefetch(r + 1024);  // many runs are read at once: help the stream along
  CopyShort(c.raw_buf + shared, r + 3, len - shared);
  const uint8_t* t = r + 3 + len - shared;
  x.recno = uint32_t(t[0]) << 24 | uint32_t(t[1]) << 16 | uint32_t(t[2]) << 8 | t[3];
  c.pos += 7 + len - shared;
  x.raw = c.raw_buf;
  bool same_kind = c.have_prev && prev.kind == x.kind;
  size_t klcp = shared;  // common K prefix with the previous key
  if (Mapped(x.kind)) {
    // Mapped bytes can agree where raw bytes differ: extend the common prefix
    // while mapping the new bytes over the old ones.
    size_t from = std::min(shared, c.mapped_valid);
    bool extend = same_kind && from == shared;
    for (size_t i = from; i < len; ++i) {
      uint8_t b = map[c.raw_buf[i]];
      if (extend && i == klcp && i < prev.len && b == c.key_buf[i]) ++klcp;
      c.key_buf[i] = b;
    }
    c.mapped_valid = len;
    x.k = c.key_buf;
  } else {
    c.mapped_valid = std::min(c.mapped_valid, shared);
    x.k = c.raw_buf;
  }
  size_t offset;
  if (!same_kind) {
    offset = 0;
  } else {
    size_t m = std::min(prev.len, x.len);
    if (klcp < m)
      offset = klcp + 1;
    else if (prev.len != x.len)
      offset = m + 1;
    else
      offset = FirstDifference(prev, x, m + 1);
  }
  c.have_prev = true;
  *c.code = Code(x, offset);
}

// Plays cursor a against cursor b, both coded against the same key; returns
// the winner and leaves the loser coded against the winner.
int TgsSort::Impl::Match(int a, int b) {
  int64_t& cx = codes[size_t(a)];
  int64_t& cy = codes[size_t(b)];
  if (cx != cy) return cx > cy ? a : b;
  if (cx < 0) return std::min(a, b);
  // Equal codes: the keys agree through the end of the coded word.
  Cursor& x = *cursors[size_t(a)];
  Cursor& y = *cursors[size_t(b)];
  size_t word = size_t(cx >> (9 * kCodeSymbols));
  size_t end = VLength(x.cur);
  size_t from = (word + 1) * kCodeSymbols;
  size_t p = from >= end ? end : FirstDifference(x.cur, y.cur, from);
  if (p >= end) {
    // Equal keys: the earlier run first.
    (a < b ? cy : cx) = Code(x.cur, end);
    return std::min(a, b);
  }
  unsigned sx = Symbol(x.cur, p), sy = Symbol(y.cur, p);
  bool x_first = ascending ? sx < sy : sx > sy;
  if (x_first) {
    cy = Code(y.cur, p);
    return a;
  }
  cx = Code(x.cur, p);
  return b;
}

bool TgsSort::Impl::Current(Key& x) {
  if (cursors.empty()) {
    size_t n = items.size();
    if (next_item >= n) return false;
    size_t i = ascending ? next_item : n - 1 - next_item;
    if (next_item + kAhead < n)
      PrefetchEntry(Entry(items[ascending ? i + kAhead : i - kAhead].off));
    x = EntryKey(Entry(items[i].off));
    return true;
  }
  if (codes[size_t(tree[0])] < 0) return false;
  x = cursors[size_t(tree[0])]->cur;
  return true;
}

void TgsSort::Impl::Advance() {
  if (cursors.empty()) {
    ++next_item;
    return;
  }
  int w = tree[0];
  Load(*cursors[size_t(w)]);
  size_t k = cursors.size();
  const int64_t* code = codes.data();
  for (size_t node = (k + size_t(w)) >> 1; node > 0; node >>= 1) {
    int other = tree[node];
    int64_t co = code[other], cw = code[w];
    int win;
    if (co != cw) {
      win = co > cw ? other : w;  // decided by the codes: the usual case
    } else {
      win = Match(other, w);
    }
    tree[node] = win == w ? other : w;
    w = win;
  }
  tree[0] = w;
}

void TgsSort::Impl::Emit(const Key& x, TgsVariant& value) {
  const uint8_t* r = x.raw;
  switch (x.kind) {
    case kCodeText:
      out_text.assign(reinterpret_cast<const char*>(r), x.len);
      value.SetText(out_text);
      break;
    case kCodeNumber: {
      uint64_t bits = LoadBE64(r);
      bits = (bits >> 63) ? bits & ~(uint64_t(1) << 63) : ~bits;
      double v;
      std::memcpy(&v, &bits, 8);
      value.SetNumber(v);
      break;
    }
    case kCodeDate: {
      uint32_t day = uint32_t(r[0]) << 24 | uint32_t(r[1]) << 16 | uint32_t(r[2]) << 8 | r[3];
      value.SetDate(int32_t(day ^ 0x80000000u));
      break;
    }
    default:
      value.SetBytes(r, x.len);
      break;
  }
}

// ---- TgsSort ----

TgsSort::TgsSort(int max_key_length, const uint8_t* collation_map, bool ascending, bool unique)
    : TgsSort(max_key_length, collation_map, ascending, unique, kDefaultWorkBytes) {}

TgsSort::TgsSort(int max_key_length, const uint8_t* collation_map, bool ascending, bool unique,
                 size_t work_bytes)
    : impl_(new Impl) {
  if (max_key_length > kMaxSortKeyLength)
    throw EDevazozError("Sort key length greater than 240 bytes");
  Impl& s = *impl_;
  s.max_len = max_key_length;
  if (collation_map) {
    s.has_map = true;
    std::memcpy(s.map, collation_map, 256);
  }
  s.ascending = ascending;
  s.unique = unique;
  // Entry offsets are 32-bit: keep the area well below 4 GiB.
  s.work_bytes = std::clamp(work_bytes, kMinWorkBytes, kMaxWorkBytes);
  s.max_items = std::max<size_t>(s.work_bytes / sizeof(Item), 16);
  s.arena.Reserve(s.work_bytes + kArenaSlack);
  s.items.Reserve(s.max_items);
  s.scratch.Reserve(s.max_items);
  s.NotePeak();
}

TgsSort::~TgsSort() = default;

void TgsSort::AddKey(const TgsVariant& value, int32_t record_number) {
  Impl& s = *impl_;
  if (!s.adding) throw EDevazozError("Cannot add sort keys after beginning retrieval");
  uint8_t kind;
  switch (value.Type()) {
    case VariantType::Text:
      kind = kCodeText;
      break;
    case VariantType::Bytes:
      kind = kCodeBytes;
      break;
    case VariantType::Number:
      kind = kCodeNumber;
      break;
    case VariantType::Date:
      kind = kCodeDate;
      break;
    default:
      throw EDevazozError("Variant type cannot be sorted");
  }
  if (int64_t(value.Length()) > s.max_len)
    throw EDevazozError("Sort key length greater than 240 bytes");
  const uint8_t* d = value.Data();
  size_t n = value.Length();
  uint8_t buf[kMaxSortKeyLength];
  const uint8_t* raw = nullptr;
  switch (kind) {
    case kCodeText:
      while (n > 0 && d[n - 1] == ' ') --n;
      if (s.has_map) {
        for (size_t i = 0; i < n; ++i) buf[i] = s.map[d[i]];
        raw = d;
        d = buf;
      }
      break;
    case kCodeNumber: {
      double v = value.AsNumber();
      uint64_t bits;
      std::memcpy(&bits, &v, 8);
      bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
      for (int i = 0; i < 8; ++i) buf[i] = uint8_t(bits >> (56 - 8 * i));
      d = buf;
      n = 8;
      break;
    }
    case kCodeDate: {
      uint32_t day = uint32_t(value.AsDate()) ^ 0x80000000u;
      for (int i = 0; i < 4; ++i) buf[i] = uint8_t(day >> (24 - 8 * i));
      d = buf;
      n = 4;
      break;
    }
    default:
      break;
  }
  s.Add(kind, d, n, raw, uint32_t(record_number));
  ++s.key_count;
}

void TgsSort::AddText(const uint8_t* text, uint32_t length, int32_t record_number) {
  Impl& s = *impl_;
  if (!s.adding) throw EDevazozError("Cannot add sort keys after beginning retrieval");
  if (int64_t(length) > s.max_len) throw EDevazozError("Sort key length greater than 240 bytes");
  size_t n = length;
  while (n > 0 && text[n - 1] == ' ') --n;
  const uint8_t* d = text;
  const uint8_t* raw = nullptr;
  uint8_t buf[kMaxSortKeyLength];
  if (s.has_map) {
    for (size_t i = 0; i < n; ++i) buf[i] = s.map[text[i]];
    raw = text;
    d = buf;
  }
  s.Add(kCodeText, d, n, raw, uint32_t(record_number));
  ++s.key_count;
}

bool TgsSort::Impl::Pick(Key& out) {
  if (adding) Begin();
  Key x;
  for (;;) {
    if (!Current(x)) return false;
    if (unique && SameAsLast(x)) {
      Advance();
      continue;
    }
    break;
  }
  Keep(x, out);
  if (unique) {
    RememberLast(x);
    Advance();
    // Descending: equal keys run from the highest record number down; the one
    // returned is the lowest (the first of them when records repeat).
    while (!ascending && Current(x) && SameAsLast(x)) {
      if (x.recno < out.recno) Keep(x, out);
      Advance();
    }
  } else {
    Advance();
  }
  return true;
}

bool TgsSort::NextKey(TgsVariant& value, int32_t& record_number) {
  Impl& s = *impl_;
  Key x;
  if (!s.Pick(x)) return false;
  s.Emit(x, value);
  record_number = int32_t(x.recno);
  return true;
}

bool TgsSort::NextRaw(const uint8_t*& bytes, uint32_t& length, int32_t& record_number) {
  Impl& s = *impl_;
  Key x;
  if (!s.Pick(x)) return false;
  bytes = x.raw;
  length = x.len;
  record_number = int32_t(x.recno);
  return true;
}

uint32_t TgsSort::KeyCount() const { return impl_->key_count; }
size_t TgsSort::RunCount() const { return impl_->runs.size(); }
size_t TgsSort::PeakMemory() const { return impl_->peak; }
size_t TgsSort::WorkBytes() const { return impl_->work_bytes; }
int TgsSort::MaxKeyLength() const { return impl_->max_len; }
bool TgsSort::Ascending() const { return impl_->ascending; }
bool TgsSort::Unique() const { return impl_->unique; }

}  // namespace devazoz
