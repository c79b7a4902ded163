// Support for report tests: an application object, rows held in memory, and
// reading PDF files back as text with pdftotext.
#ifndef TESTS_REPORT_REPORT_TEST_SUPPORT_H_
#define TESTS_REPORT_REPORT_TEST_SUPPORT_H_

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "report/ReportDataSource.h"

// Makes the process's QApplication once (offscreen unless a platform is set).
void EnsureReportApp();

// Rows of named text fields; counts what the report engine asks of it.
class TMemorySource : public TReportDataSource {
 public:
  TMemorySource(QStringList fields, std::vector<QStringList> rows)
      : fields_(std::move(fields)), rows_(std::move(rows)) {}

  void BeginWalk() override { ++begins; saved_ = pos_; }
  void EndWalk() override { ++ends; pos_ = saved_; }
  void First() override { pos_ = 0; }
  void Next() override { ++nexts; if (pos_ < rows_.size()) ++pos_; }
  bool Eof() override { return pos_ >= rows_.size(); }
  int FieldIndex(const QString& name) override {
    return int(fields_.indexOf(name.toUpper()));
  }
  QString FieldText(int index) override { return rows_.at(pos_).at(index); }
  std::string Bookmark() override { return std::to_string(pos_); }
  void GotoBookmark(const std::string& b) override { pos_ = std::stoul(b); }

  size_t Position() const { return pos_; }
  void SetPosition(size_t p) { pos_ = p; }
  int begins = 0, ends = 0, nexts = 0;

 private:
  QStringList fields_;
  std::vector<QStringList> rows_;
  size_t pos_ = 0, saved_ = 0;
};

// The text of a PDF file laid out as on the page (pdftotext -layout); pages
// are separated by form feeds.
std::string PdfText(const std::string& pdf);
// Number of pages of a PDF file (pdfinfo).
int PdfPageCount(const std::string& pdf);

struct TPdfWord {
  int page;
  double x_min, y_min, x_max, y_max;  // points from the page's top-left
  std::string text;
};
// The words of a PDF file with their boxes (pdftotext -bbox).
std::vector<TPdfWord> PdfWords(const std::string& pdf);

// A fresh temporary directory for one test.
std::string TempDir();

#endif  // TESTS_REPORT_REPORT_TEST_SUPPORT_H_
