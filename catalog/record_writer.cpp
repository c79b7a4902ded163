#include "catalog/record_writer.h"

#include <cstdio>

#include "catalog/text_encoding.h"

namespace catalog {

void CsvWriter::AppendField(std::string& line, const std::string& text) {
  bool quote = !text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                                 text.back() == ' ' || text.back() == '\t');
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') {
      quote = true;
      break;
    }
  }
  if (!quote) {
    line += text;
    return;
  }
  line += '"';
  for (char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

void CsvWriter::Begin(const std::vector<std::string>& names) {
  line_.clear();
  if (bom_) line_ += kUtf8Bom;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) line_ += ',';
    AppendField(line_, names[i]);
  }
  line_ += "\r\n";
  sink_.Write(line_);
}

void CsvWriter::Record(const std::vector<ExportValue>& values) {
  line_.clear();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) line_ += ',';
    const ExportValue& v = values[i];
    if (v.kind == ExportValue::Kind::kLogical)
      line_ += v.logical ? "true" : "false";
    else if (v.kind != ExportValue::Kind::kNull)
      AppendField(line_, v.text);
  }
  line_ += "\r\n";
  sink_.Write(line_);
}

void JsonWriter::AppendString(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void JsonWriter::Begin(const std::vector<std::string>& names) {
  keys_.clear();
  for (const std::string& name : names) {
    std::string key;
    AppendString(key, name);
    keys_.push_back(key + ": ");
  }
  first_ = true;
  sink_.Write("[");
}

void JsonWriter::Record(const std::vector<ExportValue>& values) {
  out_.assign(first_ ? "\n  {" : ",\n  {");
  first_ = false;
  for (size_t i = 0; i < values.size() && i < keys_.size(); ++i) {
    if (i > 0) out_ += ", ";
    out_ += keys_[i];
    const ExportValue& v = values[i];
    switch (v.kind) {
      case ExportValue::Kind::kNull:
        out_ += "null";
        break;
      case ExportValue::Kind::kLogical:
        out_ += v.logical ? "true" : "false";
        break;
      case ExportValue::Kind::kNumber:
        out_ += v.text;
        break;
      case ExportValue::Kind::kText:
        AppendString(out_, v.text);
        break;
    }
  }
  out_ += '}';
  sink_.Write(out_);
}

void JsonWriter::End() { sink_.Write(first_ ? "]\n" : "\n]\n"); }

}  // namespace catalog
