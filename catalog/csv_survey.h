// A first reading of a whole CSV file before anything is imported from it: its
// character set and separator (detected unless given), its header, the first rows
// for a preview, the number of rows, and the first problem that keeps it from being
// imported at all. The import reads the file again with the same format; since
// the whole file was read here, a file that passes is only refused part-way when it
// changes in between.
//
// Separator detection: each of comma, semicolon and tab is tried on the first
// 64 KiB; one that gives the header two or more columns and the most following rows
// with the header's number of columns wins, ties going to the one with more columns.
// A file where none gives two columns is a one-column list (comma).
#ifndef CATALOG_CSV_SURVEY_H_
#define CATALOG_CSV_SURVEY_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/byte_source.h"
#include "catalog/progress.h"
#include "catalog/text_encoding.h"

namespace catalog {

struct CsvFormat {
  Encoding encoding = Encoding::kUtf8;
  char separator = ',';
};

// "comma", "semicolon" or "tab".
const char* SeparatorName(char separator);

// Opens the file anew for each reading (the survey reads it twice, the import once).
using SourceOpener = std::function<std::unique_ptr<ByteSource>()>;
SourceOpener FileOpener(const std::string& path);

struct CsvSurvey {
  CsvFormat format;
  bool bom = false;                               // the file starts with a UTF-8 byte-order mark
  std::vector<std::string> headers;               // Windows-1252 text
  std::vector<std::vector<std::string>> preview;  // the first rows, Windows-1252 text
  std::vector<int64_t> preview_lines;             // the line each preview row starts on
  int64_t rows = 0;                               // rows after the header
  int64_t ragged_rows = 0;  // rows whose column count differs from the header's
  int64_t first_ragged_line = 0;
  std::string error;  // why the file cannot be imported; empty when it can
};

// Reads the whole file. encoding and separator: use these instead of detecting.
// Never raises for the file's content or a file that cannot be read: the survey's
// error says what is wrong. progress counts bytes read; stopping it gives the error
// kSurveyCancelled.
CsvSurvey SurveyCsv(const SourceOpener& open, std::optional<Encoding> encoding,
                    std::optional<char> separator, size_t preview_rows = 20,
                    const Progress& progress = nullptr);
extern const char* const kSurveyCancelled;

// The fields of a row as Windows-1252 text; false when the encoding is UTF-8 and a
// field is not valid UTF-8.
bool DecodeRow(const std::vector<std::string>& raw, Encoding encoding,
               std::vector<std::string>& text);

}  // namespace catalog

#endif  // CATALOG_CSV_SURVEY_H_
