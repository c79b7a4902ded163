// Support for report tests: an application object and rows held in memory.
#ifndef TESTS_REPORT_REPORT_TEST_SUPPORT_H_
#define TESTS_REPORT_REPORT_TEST_SUPPORT_H_

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "report/ReportDataSource.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/pdf_text.h"

// Makes the process's QApplication once (offscreen unless a platform is set).
void EnsureReportApp();

// Rows of named text fields; counts what the report engine asks of it.
class TMemorySource : public TReportDataSource {
 public:
  TMemorySource(QStringList fields, std::vector<QStringList> rows)
      : fields_(std::move(fields)), rows_(std::move(rows)) {}

  void BeginWalk() override {
    ++begins;
    saved_ = pos_;
  }
  void EndWalk() override {
    ++ends;
    pos_ = saved_;
  }
  void First() override { pos_ = 0; }
  void Next() override {
    ++nexts;
    if (pos_ < rows_.size()) ++pos_;
  }
  bool Eof() override { return pos_ >= rows_.size(); }
  int FieldIndex(const QString& name) override { return int(fields_.indexOf(name.toUpper())); }
  QString FieldText(int index) override { return rows_.at(pos_).at(index); }
  std::string Bookmark() override { return std::to_string(pos_); }
  void GotoBookmark(const std::string& b) override { pos_ = std::stoul(b); }
  // The count told when `told_count` is set (it may be told wrong on purpose).
  int64_t RowCount() override { return told_count; }
  void Last() override {
    bof_ = rows_.empty();
    pos_ = rows_.empty() ? 0 : rows_.size() - 1;
  }
  void Prior() override {
    ++priors;
    bof_ = pos_ == 0;
    if (pos_ > 0) --pos_;
  }
  bool Bof() override { return bof_; }
  // With `tells_widths`: the rows whose text may wrap, as a source keeping its
  // texts would find them (the rows in `hidden_wide` left out, wrongly, on
  // purpose), and going to a row by its place.
  bool WideRows(const std::vector<TextColumn>& columns,
                const std::function<double(QChar)>& char_width,
                const std::function<bool(size_t column, const QString& text)>& wide,
                std::vector<int64_t>& rows) override {
    if (!tells_widths) return false;
    for (size_t r = 0; r < rows_.size(); ++r) {
      if (std::find(hidden_wide.begin(), hidden_wide.end(), r) != hidden_wide.end()) continue;
      for (size_t i = 0; i < columns.size(); ++i) {
        const QString& text = rows_[r].at(columns[i].field);
        double sum = 0;
        bool control = false;
        for (QChar c : text) {
          sum += char_width(c);
          control = control || c.unicode() < 0x20;
        }
        if (!control && sum <= columns[i].width) continue;
        ++judged;
        if (wide(i, text)) {
          rows.push_back(int64_t(r));
          break;
        }
      }
    }
    return true;
  }
  bool GotoRow(int64_t row) override {
    if (!tells_widths || row < 0 || size_t(row) >= rows_.size()) return false;
    ++gotos;
    pos_ = size_t(row);
    return true;
  }

  size_t Position() const { return pos_; }
  void SetPosition(size_t p) { pos_ = p; }
  int begins = 0, ends = 0, nexts = 0, priors = 0, judged = 0, gotos = 0;
  int64_t told_count = -1;
  bool tells_widths = false;
  std::vector<size_t> hidden_wide;

 private:
  QStringList fields_;
  std::vector<QStringList> rows_;
  size_t pos_ = 0, saved_ = 0;
  bool bof_ = false;
};

#endif  // TESTS_REPORT_REPORT_TEST_SUPPORT_H_
