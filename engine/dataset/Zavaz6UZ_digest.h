// TDevazozDigest: a compact copy of one table's character and logical fields
// and deletion flags, kept beside an open dataset so that the quick search, the
// count of the records a view shows and the breakdowns of the statistics window
// are answered from memory instead of by reading the table again.
//
// WHAT IT HOLDS, per record (row r is record r + 1)
//   deleted     one bit
//   controls    one bit: a C field holds a control character (a line feed...)
//   L fields    one byte each: 1 when the field holds a true letter, else 0
//   C fields    either a 16-bit number into the field's list of distinct values
//               (each kept as stored and in its folded form), or, once a field
//               has too many distinct values for a list to pay (titles), the
//               folded text itself: all rows' texts in one block, each followed
//               by a line feed, and the offset where each row's text begins.
// Folded text: the table's bytes turned into the interface's character set,
// control characters into blanks, letters into lower case without accents
// ("É" and "é" both become "e"), trailing blanks removed. The quick search folds
// the typed words the same way, so "pokemon" meets "Pokémon".
//
// MEMORY for 1,000,000 catalog titles (TITLE C40 folded to about 22 bytes, five
// more C fields with a few dozen values each, two L fields): the title block
// 23 MB and its offsets 4 MB, 2 MB per listed field, 1 MB per L field, 125 KB of
// deletion bits: about 39 MB. The table itself is 153 MB.
//
// BUILDING reads the table file in blocks of whole records, from the first row
// not yet held to the table's record count, a block at a time, so that the
// caller can spread the work over many short slices (the program does it
// between window events; each slice asks `out_of_time` after every block).
// The table's own bytes are read through its disk file, bypassing the cursor:
// the dataset's position is not touched. Changes the dataset makes afterwards
// reach the digest through Update and SetDeleted; rows appended past the end of
// a complete digest are added by Update as well.
//
// Every byte comes from the table file: field offsets and lengths are the
// table's checked descriptors; nothing here indexes past a record.
#ifndef ENGINE_DATASET_ZAVAZ6UZ_DIGEST_H_
#define ENGINE_DATASET_ZAVAZ6UZ_DIGEST_H_

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace devazoz {

class GSO_dBaseFld;

// One bit per row; bit r stands for record r + 1.
class TDigestBits {
 public:
  TDigestBits() = default;
  explicit TDigestBits(int32_t rows, bool value = false) { Reset(rows, value); }
  void Reset(int32_t rows, bool value);
  int32_t Rows() const { return rows_; }
  bool Has(int32_t row) const {
    return row >= 0 && row < rows_ && (words_[size_t(row) >> 6] >> (row & 63) & 1) != 0;
  }
  void Set(int32_t row, bool value);
  // Grows to `rows` rows, new ones cleared.
  void Grow(int32_t rows);
  void And(const TDigestBits& other);
  void AndNot(const TDigestBits& other);
  void Or(const TDigestBits& other);
  int64_t Count() const;
  const std::vector<uint64_t>& Words() const { return words_; }

 private:
  std::vector<uint64_t> words_;
  int32_t rows_ = 0;
};

class TDevazozDigest {
 public:
  // One value of a breakdown: the value as stored (trimmed, table character set),
  // how many of the chosen rows hold it, and a row that holds it.
  struct Share {
    std::string value;
    int64_t count = 0;
    int32_t row = -1;
  };

  TDevazozDigest() = default;
  TDevazozDigest(const TDevazozDigest&) = delete;
  TDevazozDigest& operator=(const TDevazozDigest&) = delete;

  // Takes the table's field layout and empties the digest. With `oem_text` the
  // table's bytes are OEM text, folded through the interface's character set.
  void Reset(const GSO_dBaseFld& table, bool oem_text);
  // Forgets every row (the table was packed); the layout stays.
  void Clear();
  bool Shaped() const { return shaped_; }

  int32_t Rows() const { return rows_; }
  bool Complete(int32_t record_count) const { return shaped_ && rows_ == record_count; }
  // Reads rows from Rows() + 1 up to the table's record count, a block of records
  // at a time, until done or `out_of_time` says so (asked after every block).
  // True when the digest holds every record. Raises the engine's error when the
  // file cannot be read; the rows read before stay.
  bool Build(GSO_dBaseFld& table, const std::function<bool()>& out_of_time);

  // Record n's bytes after the dataset wrote it: n up to Rows() replaces the row,
  // n = Rows() + 1 appends one; anything beyond is left for Build to read.
  void Update(int32_t n, const uint8_t* record);
  void SetDeleted(int32_t n, bool deleted);
  bool Deleted(int32_t n) const { return deleted_.Has(n - 1); }
  const TDigestBits& DeletedBits() const { return deleted_; }

  // Words of `text` (ANSI, separated by blanks), folded; empty when none.
  static std::vector<std::string> Words(const std::string& ansi_text);
  // Field numbers whose columns the digest holds (C fields), to search in.
  bool HoldsText(int field) const;
  // The rows that hold every word in at least one of `fields` (C fields only);
  // with no words, every row.
  TDigestBits Search(const std::vector<std::string>& words, const std::vector<int>& fields) const;
  // Whether record n holds every word in one of `fields` (after an Update).
  bool RowMatches(int32_t n, const std::vector<std::string>& words,
                  const std::vector<int>& fields) const;
  // The rows whose field `field` begins with the folded `prefix` (after leading
  // blanks): candidates for a search by the beginning of a field.
  TDigestBits StartsWith(int field, const std::string& folded_prefix) const;
  // Folds ANSI text as the digest folds the table's text.
  static std::string Fold(const std::string& ansi_text);

  // Counts of field `field`'s values (C or L) over the rows set in `rows`, most
  // frequent first (ties in value order). L fields give "True" and "False".
  // Rows of a field kept as folded text are grouped by that text; `value` is
  // then empty and `row` says where to read the stored text.
  std::vector<Share> Breakdown(int field, const TDigestBits& rows) const;
  bool HoldsField(int field) const { return ColumnOf(field) != nullptr; }

  // Rows set in `rows` whose text in C field `field` may be drawn wider than
  // `limit`. `widths` gives, by interface (ANSI) character, the most a character
  // can take; a row is left out when the sum of its characters' widths stays
  // within `limit` (for a field kept as folded text, of the most any character
  // folding to each byte takes), so that every row wider than that is in the
  // result. Rows holding a control character in a
  // C field are always in it: a line feed breaks a line whatever the width.
  TDigestBits MayBeWider(int field, const std::array<double, 256>& widths, double limit,
                         const TDigestBits& rows) const;

  // Bytes held, for the memory figures.
  size_t MemoryUsed() const;

 private:
  // Looks texts up by view, without making a string of each field read.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  struct Column {
    int field = 0;
    char type = 'C';
    uint32_t offset = 0, length = 0;
    // Listed values (type C until `flat`).
    std::vector<uint16_t> ids;
    std::vector<std::string> values;  // as stored, trimmed; id 0 is the empty value
    std::vector<std::string> folded;
    std::unordered_map<std::string, uint16_t, TextHash, std::equal_to<>> lookup;
    // Folded texts (type C once flat).
    bool flat = false;
    std::vector<char> text;        // every row's text and a '\n' (a string's reserve doubles)
    std::vector<uint32_t> starts;  // where row r's text begins
    std::unordered_map<int32_t, std::string> moved;  // rows rewritten since
    // Truth values (type L).
    std::vector<uint8_t> truth;
  };

  const Column* ColumnOf(int field) const;
  void AddRow(const uint8_t* record);
  bool HasControl(const uint8_t* record) const;
  void SetRow(Column& c, int32_t row, const uint8_t* record);
  void AppendText(Column& c, const uint8_t* record);
  uint16_t Intern(Column& c, std::string_view raw);
  void MakeFlat(Column& c);
  std::string FoldField(std::string_view raw) const;
  std::string_view RowText(const Column& c, int32_t row) const;
  void MarkWord(const Column& c, const std::string& word, TDigestBits& out) const;
  static std::string_view Trimmed(std::string_view raw);

  bool shaped_ = false;
  int32_t record_length_ = 0;
  int32_t header_length_ = 0;
  int32_t rows_ = 0;
  int32_t expected_rows_ = 0;  // the table's record count when the build began
  uint8_t fold_[256] = {};
  uint8_t ansi_[256] = {};  // each table byte in the interface's character set
  std::vector<Column> columns_;
  TDigestBits deleted_;
  TDigestBits controls_;  // rows with a control character in a C field
};

}  // namespace devazoz

#endif  // ENGINE_DATASET_ZAVAZ6UZ_DIGEST_H_
