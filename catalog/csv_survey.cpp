#include "catalog/csv_survey.h"

#include <exception>

#include "catalog/csv_reader.h"

namespace catalog {
namespace {

constexpr size_t kHeadBytes = 64 * 1024;
constexpr int kSniffRows = 20;

std::string ReadHead(ByteSource& source) {
  std::string head(kHeadBytes, '\0');
  size_t got = 0;
  while (got < head.size()) {
    size_t n = source.Read(head.data() + got, head.size() - got);
    if (n == 0) break;
    got += n;
  }
  head.resize(got);
  return head;
}

char DetectSeparator(const std::string& head) {
  char best = ',';
  size_t best_columns = 0;
  int best_consistent = -1;
  for (char candidate : {',', ';', '\t'}) {
    MemorySource source(head);
    CsvReader reader(source, candidate);
    std::vector<std::string> row;
    size_t columns = 0;
    int consistent = 0;
    try {
      if (reader.Next(row)) columns = row.size();
      for (int i = 0; i < kSniffRows && reader.Next(row); ++i)
        if (row.size() == columns) ++consistent;
    } catch (const std::exception&) {
      // The head may end in the middle of a row; what was read so far decides.
    }
    if (columns < 2) continue;
    if (consistent > best_consistent || (consistent == best_consistent && columns > best_columns)) {
      best = candidate;
      best_columns = columns;
      best_consistent = consistent;
    }
  }
  return best;
}

std::string NotUtf8(int64_t line) {
  return "line " + std::to_string(line) +
         ": the text is not valid UTF-8 (choose Windows-1252 if the list was saved in that "
         "character set)";
}

}  // namespace

const char* SeparatorName(char separator) {
  switch (separator) {
    case ';':
      return "semicolon";
    case '\t':
      return "tab";
    default:
      return "comma";
  }
}

SourceOpener FileOpener(const std::string& path) {
  return [path]() -> std::unique_ptr<ByteSource> { return std::make_unique<FileSource>(path); };
}

bool DecodeRow(const std::vector<std::string>& raw, Encoding encoding,
               std::vector<std::string>& text) {
  text.resize(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (encoding == Encoding::kUtf8 && !IsValidUtf8(raw[i])) return false;
    text[i] = ToAnsi(raw[i], encoding);
  }
  return true;
}

const char* const kSurveyCancelled = "Reading the file was cancelled.";

CsvSurvey SurveyCsv(const SourceOpener& open, std::optional<Encoding> encoding,
                    std::optional<char> separator, size_t preview_rows, const Progress& progress) {
  CsvSurvey survey;
  std::vector<std::vector<std::string>> raw_preview;
  std::vector<std::string> raw_headers;
  bool valid_utf8 = true;
  int64_t first_invalid_line = 0;
  try {
    if (separator) {
      survey.format.separator = *separator;
    } else {
      std::unique_ptr<ByteSource> head_source = open();
      survey.format.separator = DetectSeparator(ReadHead(*head_source));
    }
    std::unique_ptr<ByteSource> source = open();
    CsvReader reader(*source, survey.format.separator);
    std::vector<std::string> row;
    if (!reader.Next(row)) {
      survey.error =
          "The file is empty: a list to import starts with a header row that names "
          "its columns.";
      return survey;
    }
    survey.bom = reader.Bom();
    raw_headers = row;
    auto check_utf8 = [&](const std::vector<std::string>& fields) {
      if (!valid_utf8) return;
      for (const std::string& f : fields) {
        if (!IsValidUtf8(f)) {
          valid_utf8 = false;
          first_invalid_line = reader.RowLine();
          return;
        }
      }
    };
    check_utf8(row);
    // A byte-order mark or the user's choice fixes UTF-8: an invalid sequence is then
    // an error, found as early as possible.
    bool utf8_fixed = survey.bom ? !encoding || *encoding == Encoding::kUtf8
                                 : encoding && *encoding == Encoding::kUtf8;
    auto fixed_failure = [&]() {
      if (utf8_fixed && !valid_utf8) {
        survey.error = NotUtf8(first_invalid_line);
        return true;
      }
      return false;
    };
    if (fixed_failure()) return survey;
    const int64_t size = int64_t(source->Size());
    while (reader.Next(row)) {
      ++survey.rows;
      if (survey.rows % (kProgressStep * 16) == 0 && progress &&
          !progress(int64_t(reader.Consumed()), size)) {
        survey.error = kSurveyCancelled;
        return survey;
      }
      check_utf8(row);
      if (fixed_failure()) return survey;
      if (row.size() != raw_headers.size() && survey.ragged_rows++ == 0)
        survey.first_ragged_line = reader.RowLine();
      if (raw_preview.size() < preview_rows) {
        raw_preview.push_back(row);
        survey.preview_lines.push_back(reader.RowLine());
      }
    }
  } catch (const std::exception& e) {
    survey.error = e.what();
    return survey;
  }
  if (encoding)
    survey.format.encoding = *encoding;
  else
    survey.format.encoding = survey.bom || valid_utf8 ? Encoding::kUtf8 : Encoding::kCp1252;
  DecodeRow(raw_headers, survey.format.encoding, survey.headers);
  survey.preview.resize(raw_preview.size());
  for (size_t i = 0; i < raw_preview.size(); ++i)
    DecodeRow(raw_preview[i], survey.format.encoding, survey.preview[i]);
  return survey;
}

}  // namespace catalog
