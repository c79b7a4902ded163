// Export: every record a dataset shows, in its current order and within its current
// filter, written as CSV or JSON. Text leaves the table through the dataset (the
// table's OEM set to the interface's ANSI set, as every window reads it) and is
// written as UTF-8. Values by field type:
//   character, memo        text (a memo's line breaks kept)
//   logical                true / false (CSV), true / false (JSON)
//   numbers                digits with a point, nothing (CSV) / null (JSON) when blank
//   date                   yyyy-mm-dd, nothing / null when blank
//   binary, general        nothing / null
#ifndef CATALOG_TABLE_EXPORT_H_
#define CATALOG_TABLE_EXPORT_H_

#include <cstdint>
#include <memory>
#include <string>

#include "catalog/progress.h"
#include "catalog/record_writer.h"
#include "platform/dataset/dataset.h"

namespace catalog {

enum class ExportFormat { kCsv, kCsvWithBom, kJson };

// The writer of a format on a sink.
std::unique_ptr<RecordWriter> MakeRecordWriter(ExportFormat format, TextSink& sink);

struct ExportResult {
  int64_t records = 0;
  bool cancelled = false;
};

// Writes the header (field names, every field of the dataset in order, hidden ones
// such as NOTES included) and every record from the first to the last. The
// dataset's controls are held still meanwhile and it returns to the record it was
// on. progress counts records against the dataset's record count. REQUIRES: data
// is open.
ExportResult ExportDataSet(platform::TDataSet& data, RecordWriter& writer,
                           const Progress& progress);

}  // namespace catalog

#endif  // CATALOG_TABLE_EXPORT_H_
