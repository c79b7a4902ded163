#include "engine/dataset/Zavaz6UZ_digest.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "engine/foundation/gs6_glbl.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/codepage.h"

namespace devazoz {
namespace {

// A list of values pays while it is much shorter than the rows: past this many
// values, and more than one per two rows, the field keeps folded text instead.
constexpr size_t kListedAlways = 16384;
constexpr size_t kListedAtMost = 65535;
// Records read per block while building: about 256 KB.
constexpr int32_t kBlockBytes = 256 * 1024;

// The base letter, in lower case, of an upper-case Windows-1252 byte; other
// bytes as they are. Control characters become blanks, so that a row's text
// never holds the line feed that ends it.
uint8_t BaseOfUpper(uint8_t c) {
  if (c < 0x20 || c == 0x7F) return ' ';
  if (c >= 'A' && c <= 'Z') return uint8_t(c - 'A' + 'a');
  if (c < 0x80) return c;
  switch (c) {
    case 0x8A:  // S caron
      return 's';
    case 0x8C:  // OE
      return 0x9C;
    case 0x8E:  // Z caron
      return 'z';
    case 0x9F:  // Y diaeresis
      return 'y';
    case 0xC6:  // AE
      return 0xE6;
    case 0xC7:
      return 'c';
    case 0xD0:  // Eth
      return 'd';
    case 0xD1:
      return 'n';
    case 0xD7:  // multiplication sign
      return c;
    case 0xDD:
      return 'y';
    case 0xDE:  // Thorn
      return 0xFE;
    case 0xDF:  // sharp s has no capital
      return c;
    default:
      break;
  }
  if (c >= 0xC0 && c <= 0xC5) return 'a';
  if (c >= 0xC8 && c <= 0xCB) return 'e';
  if (c >= 0xCC && c <= 0xCF) return 'i';
  if ((c >= 0xD2 && c <= 0xD6) || c == 0xD8) return 'o';
  if (c >= 0xD9 && c <= 0xDC) return 'u';
  return c;
}

// Folding through the upper case first: two bytes a case-insensitive comparison
// takes as equal always fold alike.
uint8_t FoldAnsiChar(uint8_t c) { return BaseOfUpper(platform::AnsiUpperChar(c)); }

// Room for `extra` more items, growing by an eighth at a time: a digest of a
// million rows would otherwise double its largest blocks on the first append.
template <class Container>
void MakeRoom(Container& v, size_t extra) {
  if (v.size() + extra <= v.capacity()) return;
  v.reserve(std::max(v.size() + extra, v.size() + v.size() / 8 + 64));
}

// Finds row r with starts[r] <= at < starts[r + 1], searching onward from `from`
// in growing steps (hits arrive in increasing order, mostly close together).
int32_t RowAt(const std::vector<uint32_t>& starts, uint32_t at, int32_t from) {
  const int32_t n = int32_t(starts.size());
  int32_t low = from, step = 1;
  while (low + step < n && starts[size_t(low + step)] <= at) {
    low += step;
    step *= 2;
  }
  const int32_t high = std::min(n, low + step);
  auto it = std::upper_bound(starts.begin() + low, starts.begin() + high, at);
  return int32_t(it - starts.begin()) - 1;
}

}  // namespace

// ---------------------------------------------------------------------------
// TDigestBits

void TDigestBits::Reset(int32_t rows, bool value) {
  rows_ = std::max(rows, 0);
  words_.assign((size_t(rows_) + 63) / 64, value ? ~uint64_t(0) : 0);
  if (value && (rows_ & 63)) words_.back() = (uint64_t(1) << (rows_ & 63)) - 1;
}

void TDigestBits::Set(int32_t row, bool value) {
  if (row < 0 || row >= rows_) return;
  uint64_t mask = uint64_t(1) << (row & 63);
  if (value)
    words_[size_t(row) >> 6] |= mask;
  else
    words_[size_t(row) >> 6] &= ~mask;
}

void TDigestBits::Grow(int32_t rows) {
  if (rows <= rows_) return;
  rows_ = rows;
  words_.resize((size_t(rows_) + 63) / 64, 0);
}

void TDigestBits::And(const TDigestBits& other) {
  for (size_t i = 0; i < words_.size(); ++i)
    words_[i] &= i < other.words_.size() ? other.words_[i] : 0;
}

void TDigestBits::AndNot(const TDigestBits& other) {
  for (size_t i = 0; i < words_.size() && i < other.words_.size(); ++i)
    words_[i] &= ~other.words_[i];
}

void TDigestBits::Or(const TDigestBits& other) {
  for (size_t i = 0; i < words_.size() && i < other.words_.size(); ++i)
    words_[i] |= other.words_[i];
}

int64_t TDigestBits::Count() const {
  int64_t n = 0;
  for (uint64_t w : words_) n += std::popcount(w);
  return n;
}

// ---------------------------------------------------------------------------
// Shape and rows

void TDevazozDigest::Reset(const GSO_dBaseFld& table, bool oem_text) {
  columns_.clear();
  for (int n = 1; n <= table.FieldCount(); ++n) {
    const FieldDescriptor& d = table.Descriptor(n);
    if (d.type != 'C' && d.type != 'L') continue;
    if (table.IsEncoded(d)) continue;
    Column c;
    c.field = n;
    c.type = d.type;
    c.offset = d.offset;
    c.length = d.length;
    columns_.push_back(std::move(c));
  }
  for (int b = 0; b < 256; ++b) {
    char in = char(b), ansi = in;
    if (oem_text) platform::OemToAnsiBuffer(&in, &ansi, 1);
    fold_[b] = FoldAnsiChar(uint8_t(ansi));
    ansi_[b] = uint8_t(ansi);
  }
  record_length_ = table.RecordLength();
  header_length_ = table.HeaderLength();
  shaped_ = true;
  Clear();
}

void TDevazozDigest::Clear() {
  rows_ = 0;
  expected_rows_ = 0;
  deleted_.Reset(0, false);
  controls_.Reset(0, false);
  for (Column& c : columns_) {
    std::vector<uint16_t>().swap(c.ids);
    c.values.assign(1, std::string());
    c.folded.assign(1, std::string());
    c.lookup.clear();
    c.lookup.emplace(std::string(), uint16_t(0));
    c.flat = false;
    std::vector<char>().swap(c.text);
    std::vector<uint32_t>().swap(c.starts);
    c.moved.clear();
    std::vector<uint8_t>().swap(c.truth);
  }
}

std::string_view TDevazozDigest::Trimmed(std::string_view raw) {
  size_t nul = raw.find('\0');
  if (nul != std::string_view::npos) raw = raw.substr(0, nul);
  while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
  return raw;
}

std::string TDevazozDigest::FoldField(std::string_view raw) const {
  std::string out(raw.size(), ' ');
  for (size_t i = 0; i < raw.size(); ++i) out[i] = char(fold_[uint8_t(raw[i])]);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

uint16_t TDevazozDigest::Intern(Column& c, std::string_view raw) {
  auto it = c.lookup.find(raw);
  if (it != c.lookup.end()) return it->second;
  uint16_t id = uint16_t(c.values.size());
  c.values.emplace_back(raw);
  c.folded.push_back(FoldField(raw));
  c.lookup.emplace(std::string(raw), id);
  return id;
}

void TDevazozDigest::MakeFlat(Column& c) {
  std::vector<char> text;
  std::vector<uint32_t> starts;
  // Sized for the rows still to come at the length seen so far.
  const size_t rows = std::max<size_t>(size_t(expected_rows_), c.ids.size());
  size_t bytes = 0;
  for (uint16_t id : c.ids) bytes += c.folded[id].size() + 1;
  starts.reserve(rows);
  text.reserve(c.ids.empty() ? 0 : bytes / c.ids.size() * rows + rows / 16);
  for (uint16_t id : c.ids) {
    starts.push_back(uint32_t(text.size()));
    text.insert(text.end(), c.folded[id].begin(), c.folded[id].end());
    text.push_back('\n');
  }
  c.text = std::move(text);
  c.starts = std::move(starts);
  c.flat = true;
  std::vector<uint16_t>().swap(c.ids);
  c.values.clear();
  c.folded.clear();
  c.lookup.clear();
}

void TDevazozDigest::AppendText(Column& c, const uint8_t* record) {
  std::string_view raw =
      Trimmed(std::string_view(reinterpret_cast<const char*>(record) + c.offset, size_t(c.length)));
  if (!c.flat) {
    if (c.values.size() > kListedAlways && c.values.size() * 2 > size_t(rows_))
      MakeFlat(c);
    else if (c.values.size() >= kListedAtMost && c.lookup.find(raw) == c.lookup.end())
      MakeFlat(c);
  }
  if (!c.flat) {
    MakeRoom(c.ids, 1);
    c.ids.push_back(Intern(c, raw));
    return;
  }
  if (c.text.size() + raw.size() + 1 > UINT32_MAX)
    throw std::length_error("the table's text is too large to keep in memory");
  MakeRoom(c.text, raw.size() + 1);
  MakeRoom(c.starts, 1);
  c.starts.push_back(uint32_t(c.text.size()));
  // Folded in place; folding may make trailing blanks of control characters.
  for (char ch : raw) c.text.push_back(char(fold_[uint8_t(ch)]));
  while (c.text.size() > c.starts.back() && c.text.back() == ' ') c.text.pop_back();
  c.text.push_back('\n');
}

bool TDevazozDigest::HasControl(const uint8_t* record) const {
  unsigned found = 0;
  for (const Column& c : columns_) {
    if (c.type != 'C') continue;
    // Without an early exit, so that the loop runs over whole words.
    for (const uint8_t* p = record + c.offset; p != record + c.offset + c.length; ++p)
      found |= unsigned(*p < 0x20) | unsigned(*p == 0x7F);
  }
  return found != 0;
}

void TDevazozDigest::AddRow(const uint8_t* record) {
  controls_.Grow(rows_ + 1);
  controls_.Set(rows_, HasControl(record));
  for (Column& c : columns_) {
    if (c.type == 'L') {
      MakeRoom(c.truth, 1);
      c.truth.push_back(IsTrueLetter(char(record[c.offset])) ? 1 : 0);
    } else {
      AppendText(c, record);
    }
  }
  deleted_.Grow(rows_ + 1);
  deleted_.Set(rows_, record[0] == '*');
  ++rows_;
}

void TDevazozDigest::SetRow(Column& c, int32_t row, const uint8_t* record) {
  if (c.type == 'L') {
    c.truth[size_t(row)] = IsTrueLetter(char(record[c.offset])) ? 1 : 0;
    return;
  }
  std::string_view raw =
      Trimmed(std::string_view(reinterpret_cast<const char*>(record) + c.offset, size_t(c.length)));
  if (!c.flat) {
    if (c.lookup.find(raw) != c.lookup.end() || c.values.size() < kListedAtMost) {
      c.ids[size_t(row)] = Intern(c, raw);
      return;
    }
    MakeFlat(c);
  }
  // The old text stays in the block as line feeds, which no word holds.
  uint32_t begin = c.starts[size_t(row)];
  uint32_t end = size_t(row) + 1 < c.starts.size() ? c.starts[size_t(row) + 1] - 1
                                                   : uint32_t(c.text.size() - 1);
  std::fill(c.text.begin() + begin, c.text.begin() + end, '\n');
  c.moved[row] = FoldField(raw);
}

void TDevazozDigest::Update(int32_t n, const uint8_t* record) {
  if (!shaped_ || n < 1) return;
  if (n <= rows_) {
    for (Column& c : columns_) SetRow(c, n - 1, record);
    deleted_.Set(n - 1, record[0] == '*');
    controls_.Set(n - 1, HasControl(record));
  } else if (n == rows_ + 1) {
    AddRow(record);
  }
}

void TDevazozDigest::SetDeleted(int32_t n, bool deleted) { deleted_.Set(n - 1, deleted); }

bool TDevazozDigest::Build(GSO_dBaseFld& table, const std::function<bool()>& out_of_time) {
  if (!shaped_) return false;
  const int32_t length = record_length_;
  const int32_t per_block = std::max<int32_t>(1, kBlockBytes / std::max<int32_t>(length, 1));
  std::vector<uint8_t> block(size_t(per_block) * size_t(length));
  std::vector<uint8_t> blank(size_t(length), ' ');
  if (table.RecordCount() > expected_rows_) {
    expected_rows_ = table.RecordCount();
    for (Column& c : columns_) {
      if (c.type == 'L') c.truth.reserve(size_t(expected_rows_));
      if (c.type == 'C' && !c.flat) c.ids.reserve(size_t(expected_rows_));
      if (c.type == 'C' && c.flat) c.starts.reserve(size_t(expected_rows_));
    }
  }
  while (rows_ < table.RecordCount()) {
    const int32_t count = std::min(per_block, table.RecordCount() - rows_);
    const int64_t offset = int64_t(header_length_) + int64_t(rows_) * length;
    // The table's disk file itself: the cursor and its read-ahead stay as they are.
    int32_t got = table.GSO_DiskFile::ReadAt(offset, block.data(), count * length);
    int32_t whole = std::max(got, 0) / length;
    for (int32_t i = 0; i < whole; ++i) AddRow(block.data() + size_t(i) * size_t(length));
    // Records the file does not hold (a damaged, short file) count as blank.
    for (int32_t i = whole; i < count; ++i) AddRow(blank.data());
    if (out_of_time && out_of_time()) break;
  }
  return rows_ >= table.RecordCount();
}

size_t TDevazozDigest::MemoryUsed() const {
  size_t bytes = (deleted_.Words().capacity() + controls_.Words().capacity()) * 8;
  for (const Column& c : columns_) {
    bytes +=
        c.ids.capacity() * 2 + c.text.capacity() + c.starts.capacity() * 4 + c.truth.capacity();
    for (const std::string& v : c.values) bytes += sizeof(std::string) + v.capacity();
    for (const std::string& v : c.folded) bytes += sizeof(std::string) + v.capacity();
    bytes += c.lookup.size() * (sizeof(std::string) + 16);
    for (const auto& [row, text] : c.moved) bytes += sizeof(std::string) + 16 + text.capacity();
  }
  return bytes;
}

// ---------------------------------------------------------------------------
// Widths

TDigestBits TDevazozDigest::MayBeWider(int field, const std::array<double, 256>& widths,
                                       double limit, const TDigestBits& rows) const {
  TDigestBits result(rows_, false);
  const Column* c = ColumnOf(field);
  if (c == nullptr || c->type != 'C') {
    result.Or(rows);
    return result;
  }
  // The most a folded byte can stand for.
  std::array<double, 256> most{};
  for (int b = 0; b < 256; ++b) {
    double& m = most[fold_[b]];
    m = std::max(m, widths[ansi_[b]]);
  }
  auto wider = [&](std::string_view text) {
    double sum = 0;
    for (char ch : text) sum += most[uint8_t(ch)];
    return sum > limit;
  };
  // A listed value is known as stored: its own characters' widths.
  std::vector<uint8_t> listed_wide;
  if (!c->flat) {
    listed_wide.resize(c->values.size());
    for (size_t id = 0; id < c->values.size(); ++id) {
      double sum = 0;
      for (char ch : c->values[id]) sum += widths[ansi_[uint8_t(ch)]];
      listed_wide[id] = sum > limit;
    }
  }
  const int32_t n = std::min(rows_, rows.Rows());
  for (int32_t r = 0; r < n; ++r) {
    if (!rows.Has(r)) continue;
    const bool wide = c->flat ? wider(RowText(*c, r)) : listed_wide[c->ids[size_t(r)]] != 0;
    if (wide || controls_.Has(r)) result.Set(r, true);
  }
  return result;
}

// ---------------------------------------------------------------------------
// Searching

std::string TDevazozDigest::Fold(const std::string& ansi_text) {
  std::string out(ansi_text);
  for (char& ch : out) ch = char(FoldAnsiChar(uint8_t(ch)));
  return out;
}

std::vector<std::string> TDevazozDigest::Words(const std::string& ansi_text) {
  std::vector<std::string> words;
  const std::string folded = Fold(ansi_text);
  size_t i = 0;
  while (i < folded.size()) {
    // Blanks (control characters fold to blanks too) and no-break spaces part words.
    while (i < folded.size() && (folded[i] == ' ' || uint8_t(folded[i]) == 0xA0)) ++i;
    size_t j = i;
    while (j < folded.size() && folded[j] != ' ' && uint8_t(folded[j]) != 0xA0) ++j;
    if (j > i) words.push_back(folded.substr(i, j - i));
    i = j;
  }
  return words;
}

const TDevazozDigest::Column* TDevazozDigest::ColumnOf(int field) const {
  for (const Column& c : columns_)
    if (c.field == field) return &c;
  return nullptr;
}

bool TDevazozDigest::HoldsText(int field) const {
  const Column* c = ColumnOf(field);
  return c && c->type == 'C';
}

std::string_view TDevazozDigest::RowText(const Column& c, int32_t row) const {
  if (!c.flat) return c.folded[c.ids[size_t(row)]];
  auto moved = c.moved.find(row);
  if (moved != c.moved.end()) return moved->second;
  uint32_t begin = c.starts[size_t(row)];
  uint32_t end = size_t(row) + 1 < c.starts.size() ? c.starts[size_t(row) + 1] - 1
                                                   : uint32_t(c.text.size() - 1);
  return std::string_view(c.text.data() + begin, end - begin);
}

void TDevazozDigest::MarkWord(const Column& c, const std::string& word, TDigestBits& out) const {
  if (!c.flat) {
    std::vector<uint8_t> hit(c.folded.size(), 0);
    bool any = false;
    for (size_t id = 0; id < c.folded.size(); ++id)
      if (c.folded[id].find(word) != std::string::npos) hit[id] = any = true;
    if (!any) return;
    for (int32_t r = 0; r < rows_; ++r)
      if (hit[c.ids[size_t(r)]]) out.Set(r, true);
    return;
  }
  const char* base = c.text.data();
  const size_t size = c.text.size();
  size_t at = 0;
  int32_t row = 0;
  while (at < size) {
    const void* found = memmem(base + at, size - at, word.data(), word.size());
    if (!found) break;
    const uint32_t pos = uint32_t(static_cast<const char*>(found) - base);
    row = RowAt(c.starts, pos, row);
    out.Set(row, true);
    // The rest of this row cannot add anything.
    at = size_t(row) + 1 < c.starts.size() ? c.starts[size_t(row) + 1] : size;
  }
  for (const auto& [r, text] : c.moved)
    if (text.find(word) != std::string::npos) out.Set(r, true);
}

TDigestBits TDevazozDigest::Search(const std::vector<std::string>& words,
                                   const std::vector<int>& fields) const {
  TDigestBits result(rows_, true);
  for (const std::string& word : words) {
    TDigestBits with_word(rows_, false);
    for (int field : fields) {
      const Column* c = ColumnOf(field);
      if (c && c->type == 'C') MarkWord(*c, word, with_word);
    }
    result.And(with_word);
  }
  return result;
}

bool TDevazozDigest::RowMatches(int32_t n, const std::vector<std::string>& words,
                                const std::vector<int>& fields) const {
  const int32_t row = n - 1;
  if (row < 0 || row >= rows_) return false;
  for (const std::string& word : words) {
    bool found = false;
    for (int field : fields) {
      const Column* c = ColumnOf(field);
      if (c && c->type == 'C' && RowText(*c, row).find(word) != std::string_view::npos) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

TDigestBits TDevazozDigest::StartsWith(int field, const std::string& table_text) const {
  TDigestBits result(rows_, false);
  const Column* c = ColumnOf(field);
  if (!c || c->type != 'C') return result;
  const std::string prefix = FoldField(table_text);
  if (prefix.empty()) {
    result.Reset(rows_, true);
    return result;
  }
  for (int32_t r = 0; r < rows_; ++r)
    if (RowText(*c, r).substr(0, prefix.size()) == prefix) result.Set(r, true);
  return result;
}

// ---------------------------------------------------------------------------
// Breakdowns

std::vector<TDevazozDigest::Share> TDevazozDigest::Breakdown(int field,
                                                             const TDigestBits& rows) const {
  std::vector<Share> shares;
  const Column* c = ColumnOf(field);
  if (!c) return shares;
  const int32_t n = std::min(rows_, rows.Rows());
  if (c->type == 'L') {
    int64_t yes = 0, no = 0;
    int32_t yes_row = -1, no_row = -1;
    for (int32_t r = 0; r < n; ++r) {
      if (!rows.Has(r)) continue;
      if (c->truth[size_t(r)]) {
        if (yes++ == 0) yes_row = r;
      } else if (no++ == 0) {
        no_row = r;
      }
    }
    if (yes) shares.push_back({"True", yes, yes_row});
    if (no) shares.push_back({"False", no, no_row});
  } else if (!c->flat) {
    std::vector<int64_t> counts(c->values.size(), 0);
    std::vector<int32_t> first(c->values.size(), -1);
    for (int32_t r = 0; r < n; ++r) {
      if (!rows.Has(r)) continue;
      uint16_t id = c->ids[size_t(r)];
      if (counts[id]++ == 0) first[id] = r;
    }
    for (size_t id = 0; id < counts.size(); ++id)
      if (counts[id]) shares.push_back({c->values[id], counts[id], first[id]});
  } else {
    std::unordered_map<std::string_view, size_t> at;
    for (int32_t r = 0; r < n; ++r) {
      if (!rows.Has(r)) continue;
      auto [it, added] = at.emplace(RowText(*c, r), shares.size());
      if (added)
        shares.push_back({std::string(), 1, r});
      else
        ++shares[it->second].count;
    }
  }
  std::stable_sort(shares.begin(), shares.end(), [](const Share& a, const Share& b) {
    if (a.count != b.count) return a.count > b.count;
    return a.value < b.value;
  });
  return shares;
}

}  // namespace devazoz
