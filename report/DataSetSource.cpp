#include "report/DataSetSource.h"

#include "platform/dataset/field.h"
#include "platform/qt/ansi_text.h"

void TReportDataSetSource::BeginWalk() {
  dataset_->CheckActive();
  // A record being edited is posted (or an unchanged one cancelled) first, as
  // any move of the dataset would.
  dataset_->CheckBrowseMode();
  fields_.clear();
  saved_ = dataset_->IsEmpty() ? platform::TBookmark() : dataset_->GetBookmark();
  dataset_->DisableControls();
  walking_ = true;
}

void TReportDataSetSource::EndWalk() {
  if (!walking_) return;
  walking_ = false;
  try {
    if (dataset_->Active() && !saved_.empty() && dataset_->BookmarkValid(saved_))
      dataset_->GotoBookmark(saved_);
  } catch (...) {
    // The record is gone (packed away by no one else in a single-user program,
    // but a filter may hide it now): the dataset stays where the walk left it.
  }
  dataset_->EnableControls();
}

int TReportDataSetSource::FieldIndex(const QString& name) {
  platform::TField* field = dataset_->FindField(name.toStdString());
  if (!field) return -1;
  fields_.push_back(field);
  return int(fields_.size()) - 1;
}

QString TReportDataSetSource::FieldText(int index) {
  std::string text = fields_.at(size_t(index))->DisplayText();
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return platform::qt::AnsiToQString(text);
}

bool TReportDataSetSource::WideRows(
    const std::vector<TextColumn>& columns, const std::function<double(QChar)>& char_width,
    const std::function<bool(size_t column, const QString& text)>& wide,
    std::vector<int64_t>& rows) {
  if (!WideTexter) return false;
  std::vector<std::pair<std::string, double>> named;
  for (const TextColumn& column : columns) {
    if (column.field < 0 || size_t(column.field) >= fields_.size()) return false;
    named.emplace_back(fields_[size_t(column.field)]->FieldName(), column.width);
  }
  std::array<double, 256> widths{};
  for (int b = 1; b < 256; ++b) {
    const QString ch = platform::qt::AnsiToQString(std::string(1, char(b)));
    for (QChar c : ch) widths[size_t(b)] += char_width(c);
  }
  return WideTexter(
      named, widths,
      [&](size_t column, const std::string& text) {
        return wide(column, platform::qt::AnsiToQString(text));
      },
      rows);
}
