// A report's rows from a dataset of the data-access framework: the walk runs
// in the dataset's current order and within its filter, with its controls
// disabled, and puts the dataset back on the record it was on.
#ifndef REPORT_DATASETSOURCE_H_
#define REPORT_DATASETSOURCE_H_

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

 private:
  platform::TDataSet* dataset_;
  std::vector<platform::TField*> fields_;
  platform::TBookmark saved_;
  bool walking_ = false;
};

#endif  // REPORT_DATASETSOURCE_H_
