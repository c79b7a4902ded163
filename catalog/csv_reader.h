// CsvReader: the rows of a CSV file as fields of raw bytes (no character set applied).
//
// The rules are RFC 4180's, read as the programs that write such files use them:
// - fields are separated by one separator byte (comma, semicolon or tab);
// - a row ends at CR LF, LF or CR; a row with nothing on it is passed over;
// - a field that begins with a quote runs to the closing quote and may hold
//   separators and line breaks; two quotes inside it stand for one;
// - after a closing quote only a separator, the end of the row or the end of the
//   file may follow: anything else means a quote is missing or stray, and the row is
//   refused rather than guessed at;
// - a quote inside a field that did not begin with one is an ordinary character
//   (12" Remix), as spreadsheets read it;
// - a single 0x1A at the very end (DOS end-of-file) is ignored, and so is a UTF-8
//   byte-order mark at the very start.
// Line numbers count every line break, also those inside quoted fields, so they are
// the numbers a text editor shows. A row may take at most kMaxRowBytes: a longer one
// is refused (an unbalanced quote would otherwise join the rest of the file into one
// row), as are NUL bytes and other control characters that text does not hold.
#ifndef CATALOG_CSV_READER_H_
#define CATALOG_CSV_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/byte_source.h"
#include "platform/services/exception.h"

namespace catalog {

// A row the reader cannot make sense of; Line() is the line the row starts on and
// the message begins with "line N: ".
class ECsvError : public platform::Exception {
 public:
  ECsvError(int64_t line, const std::string& what);
  int64_t Line() const { return line_; }

 private:
  int64_t line_;
};

class CsvReader {
 public:
  static constexpr size_t kMaxRowBytes = size_t(1) << 20;

  // REQUIRES: source outlives the reader.
  CsvReader(ByteSource& source, char separator);

  // The next row; false at the end of the file. Raises ECsvError for a row that
  // breaks the rules above, EFileError when the file cannot be read.
  bool Next(std::vector<std::string>& fields);
  // The line the last row returned starts on (1-based).
  int64_t RowLine() const { return row_line_; }
  // Bytes taken from the source so far.
  uint64_t Consumed() const { return consumed_; }
  // The file began with a UTF-8 byte-order mark (known after the first Next).
  bool Bom() const { return bom_; }

 private:
  // Refills the buffer; false at the end of the source.
  bool Fill();
  [[noreturn]] void Fail(int64_t line, const std::string& what) const;
  void CheckByte(unsigned char c);

  ByteSource& source_;
  char separator_;
  std::vector<char> buffer_;
  size_t at_ = 0;
  size_t end_ = 0;
  bool source_done_ = false;
  bool started_ = false;
  bool bom_ = false;
  int64_t line_ = 1;
  int64_t row_line_ = 0;
  uint64_t consumed_ = 0;
  bool pending_cr_ = false;  // a CR ended the last line; an LF right after belongs to it
};

}  // namespace catalog

#endif  // CATALOG_CSV_READER_H_
