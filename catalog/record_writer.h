// The two forms an export takes: CSV (RFC 4180: comma-separated, CR LF after every
// row, a field quoted when it holds a comma, a quote, a line break or blanks at
// either end, quotes inside doubled; a header row of the field names) and JSON (an
// array of objects, one per record, keyed by field name). Text arrives as UTF-8;
// line breaks inside text (notes) stay as they are, inside quotes.
#ifndef CATALOG_RECORD_WRITER_H_
#define CATALOG_RECORD_WRITER_H_

#include <string>
#include <vector>

#include "catalog/text_sink.h"

namespace catalog {

struct ExportValue {
  enum class Kind { kNull, kText, kNumber, kLogical };
  Kind kind = Kind::kNull;
  std::string text;  // UTF-8 text, or the number's digits
  bool logical = false;
};

class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  virtual void Begin(const std::vector<std::string>& names) = 0;
  virtual void Record(const std::vector<ExportValue>& values) = 0;
  virtual void End() = 0;
};

class CsvWriter : public RecordWriter {
 public:
  // bom: start with a UTF-8 byte-order mark, by which spreadsheets tell UTF-8.
  CsvWriter(TextSink& sink, bool bom) : sink_(sink), bom_(bom) {}
  void Begin(const std::vector<std::string>& names) override;
  void Record(const std::vector<ExportValue>& values) override;
  void End() override {}

  // One field as CSV writes it.
  static void AppendField(std::string& line, const std::string& text);

 private:
  TextSink& sink_;
  bool bom_;
  std::string line_;
};

class JsonWriter : public RecordWriter {
 public:
  explicit JsonWriter(TextSink& sink) : sink_(sink) {}
  void Begin(const std::vector<std::string>& names) override;
  void Record(const std::vector<ExportValue>& values) override;
  void End() override;

  // A JSON string literal of UTF-8 text, quotes included.
  static void AppendString(std::string& out, const std::string& text);

 private:
  TextSink& sink_;
  std::vector<std::string> keys_;  // the names as string literals
  bool first_ = true;
  std::string out_;
};

}  // namespace catalog

#endif  // CATALOG_RECORD_WRITER_H_
