// A report's rows from a dataset of the data-access framework: the walk runs
// in the dataset's current order and within its filter, with its controls
// disabled, and puts the dataset back on the record it was on.
#ifndef REPORT_DATASETSOURCE_H_
#define REPORT_DATASETSOURCE_H_

#include <array>
#include <functional>
#include <vector>

#include "platform/dataset/dataset.h"
#include "report/ReportDataSource.h"

class TReportDataSetSource : public TReportDataSource {
 public:
  explicit TReportDataSetSource(platform::TDataSet* dataset) : dataset_(dataset) {}

  platform::TDataSet* DataSet() const { return dataset_; }

  // Raises the dataset's error when it is closed.
  void BeginWalk() override;
  void EndWalk() override;
  void First() override { dataset_->First(); }
  void Next() override { dataset_->Next(); }
  bool Eof() override { return dataset_->Eof(); }
  int FieldIndex(const QString& name) override;
  // The field's display text, from the dataset's ANSI text.
  QString FieldText(int index) override;
  std::string Bookmark() override { return dataset_->GetBookmark(); }
  void GotoBookmark(const std::string& bookmark) override { dataset_->GotoBookmark(bookmark); }
  // The rows the walk meets, from RowCounter when one is set (the dataset alone
  // only knows the table's record count, filtered and deleted records included).
  int64_t RowCount() override { return RowCounter ? RowCounter() : -1; }
  void Last() override { dataset_->Last(); }
  void Prior() override { dataset_->Prior(); }
  bool Bof() override { return dataset_->Bof(); }

  std::function<int64_t()> RowCounter;

  // The wide rows from WideTexter when one is set: given the fields' names and
  // widths, the widest each interface (ANSI) byte's character can be, and the
  // judge of a text in the interface character set.
  using TWideTexter =
      std::function<bool(const std::vector<std::pair<std::string, double>>& columns,
                         const std::array<double, 256>& char_widths,
                         const std::function<bool(size_t column, const std::string& text)>& wide,
                         std::vector<int64_t>& rows)>;
  bool WideRows(const std::vector<TextColumn>& columns,
                const std::function<double(QChar)>& char_width,
                const std::function<bool(size_t column, const QString& text)>& wide,
                std::vector<int64_t>& rows) override;
  bool GotoRow(int64_t row) override { return RowMover ? RowMover(row) : false; }

  TWideTexter WideTexter;
  std::function<bool(int64_t row)> RowMover;

 private:
  platform::TDataSet* dataset_;
  std::vector<platform::TField*> fields_;
  platform::TBookmark saved_;
  bool walking_ = false;
};

#endif  // REPORT_DATASETSOURCE_H_
