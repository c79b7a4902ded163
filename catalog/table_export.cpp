#include "catalog/table_export.h"

#include <cmath>
#include <vector>

#include "platform/services/codepage.h"
#include "platform/services/datetime.h"
#include "platform/services/numtext.h"

namespace catalog {
namespace {

using platform::TFieldType;

std::string NumberText(double value) {
  std::string s = platform::FixedDecimalText(value, 10);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

ExportValue ValueOf(platform::TField& field) {
  ExportValue v;
  using Kind = ExportValue::Kind;
  switch (field.DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftMemo:
      v.kind = Kind::kText;
      v.text = platform::AnsiToUtf8(field.AsString());
      break;
    case TFieldType::ftBoolean:
      if (field.IsNull()) break;
      v.kind = Kind::kLogical;
      v.logical = field.AsBoolean();
      break;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftFloat:
      if (field.IsNull()) break;
      v.kind = Kind::kNumber;
      v.text = NumberText(field.AsFloat());
      break;
    case TFieldType::ftDate:
      if (field.IsNull()) break;
      v.kind = Kind::kText;
      v.text = platform::FormatDate("yyyy-mm-dd", int32_t(std::floor(field.AsDateTime())));
      break;
    case TFieldType::ftDateTime:
      if (field.IsNull()) break;
      v.kind = Kind::kText;
      v.text = platform::AnsiToUtf8(field.AsString());
      break;
    default:
      break;
  }
  return v;
}

}  // namespace

std::unique_ptr<RecordWriter> MakeRecordWriter(ExportFormat format, TextSink& sink) {
  if (format == ExportFormat::kJson) return std::make_unique<JsonWriter>(sink);
  return std::make_unique<CsvWriter>(sink, format == ExportFormat::kCsvWithBom);
}

ExportResult ExportDataSet(platform::TDataSet& data, RecordWriter& writer,
                           const Progress& progress) {
  std::vector<platform::TField*> fields;
  std::vector<std::string> names;
  for (int i = 0; i < data.FieldCount(); ++i) {
    platform::TField* f = data.Fields(i);
    fields.push_back(f);
    names.push_back(platform::AnsiToUtf8(f->FieldName()));
  }
  ExportResult result;
  const int64_t total = data.RecordCount();
  platform::TBookmark position = data.IsEmpty() ? platform::TBookmark() : data.GetBookmark();
  data.DisableControls();
  try {
    writer.Begin(names);
    std::vector<ExportValue> values(fields.size());
    for (data.First(); !data.Eof(); data.Next()) {
      for (size_t i = 0; i < fields.size(); ++i) values[i] = ValueOf(*fields[i]);
      writer.Record(values);
      if (++result.records % kProgressStep == 0 && progress && !progress(result.records, total)) {
        result.cancelled = true;
        break;
      }
    }
    if (!result.cancelled) writer.End();
    if (!position.empty()) data.GotoBookmark(position);
  } catch (...) {
    data.EnableControls();
    throw;
  }
  data.EnableControls();
  return result;
}

}  // namespace catalog
