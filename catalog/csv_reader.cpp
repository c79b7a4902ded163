#include "catalog/csv_reader.h"

#include <cstdio>
#include <string_view>

#include "catalog/text_encoding.h"

namespace catalog {
namespace {

constexpr size_t kChunk = size_t(1) << 20;

std::string ByteText(int c) {
  if (c < 0) return "the end of the file";
  char text[16];
  if (c >= 0x20 && c < 0x7F)
    std::snprintf(text, sizeof text, "'%c'", char(c));
  else
    std::snprintf(text, sizeof text, "byte 0x%02X", unsigned(c));
  return text;
}

}  // namespace

ECsvError::ECsvError(int64_t line, const std::string& what)
    : Exception("line " + std::to_string(line) + ": " + what), line_(line) {}

CsvReader::CsvReader(ByteSource& source, char separator)
    : source_(source), separator_(separator), buffer_(kChunk) {}

bool CsvReader::Fill() {
  if (source_done_) return false;
  at_ = 0;
  end_ = source_.Read(buffer_.data(), buffer_.size());
  if (end_ == 0) source_done_ = true;
  if (!started_) {
    started_ = true;
    if (StartsWithUtf8Bom(std::string_view(buffer_.data(), end_))) {
      bom_ = true;
      at_ = kUtf8Bom.size();
      consumed_ += at_;
      if (at_ == end_) return Fill();
    }
  }
  return end_ > 0;
}

void CsvReader::Fail(int64_t line, const std::string& what) const { throw ECsvError(line, what); }

void CsvReader::CheckByte(unsigned char c) {
  if (c >= 0x20 || c == '\t' || c == 0x0B || c == 0x0C) return;
  if (c == 0)
    Fail(line_, "the file holds NUL bytes, which text never does: it is not a CSV text file");
  Fail(line_, "the file holds " + ByteText(c) +
                  ", a control character that text does not hold: it is not a CSV text file");
}

bool CsvReader::Next(std::vector<std::string>& fields) {
  // Byte access: -1 at the end of the source.
  auto get = [this]() -> int {
    if (at_ == end_ && !Fill()) return -1;
    ++consumed_;
    return static_cast<unsigned char>(buffer_[at_++]);
  };
  auto peek = [this]() -> int {
    if (at_ == end_ && !Fill()) return -1;
    return static_cast<unsigned char>(buffer_[at_]);
  };
  auto at_dos_end = [&](int c) { return c == 0x1A && peek() == -1; };

  fields.clear();
  int c;
  for (;;) {  // blank lines
    c = get();
    if (c == -1 || at_dos_end(c)) return false;
    if (c == '\n') {
      ++line_;
    } else if (c == '\r') {
      if (peek() == '\n') get();
      ++line_;
    } else {
      break;
    }
  }
  row_line_ = line_;
  size_t row_bytes = 0;
  auto grow = [&](bool quoted) {
    if (++row_bytes <= kMaxRowBytes) return;
    Fail(row_line_, quoted ? "the row is longer than 1 MiB: a quoted value that begins here is "
                             "not closed where it should be (a quote is missing), so it takes in "
                             "the lines after it"
                           : "the row is longer than 1 MiB: this is not a list of titles");
  };
  std::string field;
  for (;;) {
    field.clear();
    if (c == '"') {
      const int64_t opened = line_;
      for (;;) {
        c = get();
        if (c == -1)
          Fail(opened, "a quoted value that begins here is never closed (a quote is missing)");
        if (c == '"') {
          if (peek() == '"') {
            get();
            field += '"';
            grow(true);
            continue;
          }
          c = get();
          break;
        }
        if (c == '\n') {
          ++line_;
        } else if (c == '\r') {
          ++line_;
          if (peek() == '\n') {
            field += '\r';
            grow(true);
            c = get();
          }
        } else {
          CheckByte(static_cast<unsigned char>(c));
        }
        field += char(c);
        grow(true);
      }
      if (c != separator_ && c != '\r' && c != '\n' && c != -1 && !at_dos_end(c))
        Fail(line_, "a quote is missing or stray: after a quoted value comes " + ByteText(c) +
                        " instead of a separator or the end of the row");
      if (at_dos_end(c)) c = -1;
    } else {
      while (c != separator_ && c != '\r' && c != '\n' && c != -1) {
        if (at_dos_end(c)) {
          c = -1;
          break;
        }
        CheckByte(static_cast<unsigned char>(c));
        field += char(c);
        grow(false);
        c = get();
      }
    }
    fields.push_back(field);
    if (c == separator_) {
      c = get();
      continue;
    }
    if (c == '\r') {
      if (peek() == '\n') get();
      ++line_;
    } else if (c == '\n') {
      ++line_;
    }
    return true;
  }
}

}  // namespace catalog
