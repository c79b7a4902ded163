// Support for report tests: an application object and rows held in memory.
#ifndef TESTS_REPORT_REPORT_TEST_SUPPORT_H_
#define TESTS_REPORT_REPORT_TEST_SUPPORT_H_

#include <QString>
#include <QStringList>
#include <cstdint>
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

  size_t Position() const { return pos_; }
  void SetPosition(size_t p) { pos_ = p; }
  int begins = 0, ends = 0, nexts = 0, priors = 0;
  int64_t told_count = -1;

 private:
  QStringList fields_;
  std::vector<QStringList> rows_;
  size_t pos_ = 0, saved_ = 0;
  bool bof_ = false;
};

#endif  // TESTS_REPORT_REPORT_TEST_SUPPORT_H_
