// Import: the rows of a CSV list added to a table as new records, by the rules
// users of collection programs expect:
// - Each column goes into the field the mapping gives it (field_map.h); unmapped
//   columns are ignored. Values lose blanks at both ends (notes excepted).
// - The key field is TITLE, or in a table without one its first character field. A
//   row whose key is empty is skipped. A row whose key the table already held before
//   the import began is skipped, unless duplicates are wanted; rows of the same list
//   with the same key are all added (a title kept for two consoles).
// - A row with more or fewer columns than the header is skipped.
// - Text longer than its field is cut to fit, and counted. Logical fields take the
//   yes/no forms of ParseLogical; another text leaves the field false and is
//   counted, as is a number or date that cannot be read. Logical fields no column
//   fills are false, as in a title the program adds.
// - For a catalog's title table, categories and companies (developer, distributor)
//   that the lookup tables lack are added to them before the title, so that every
//   title added finds its entries.
// Every record goes in through the dataset (text from the interface's ANSI set to
// the table's OEM set, memo text through the memo stream, every open index kept
// current), one post per row: a run stopped by Cancel, by a file that changes under
// it, or by a failing write leaves whole rows only, and the summary says where it
// stopped. What was added is logged, so that UndoImport can delete exactly that.
#ifndef CATALOG_TABLE_IMPORT_H_
#define CATALOG_TABLE_IMPORT_H_

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "catalog/byte_source.h"
#include "catalog/csv_survey.h"
#include "catalog/field_map.h"
#include "catalog/progress.h"
#include "platform/dataset/dataset.h"

namespace catalog {

struct ImportChoices {
  CsvFormat format;
  // For each column of the list: the index into TableImport::Fields() of the field
  // it fills, or -1.
  std::vector<int> columns;
  bool add_duplicates = false;
};

struct SkippedRow {
  int64_t line = 0;
  std::string reason;
};

struct ImportSummary {
  static constexpr size_t kListedSkips = 10;

  std::string key_field;  // the field whose absence or repeat skips a row
  int64_t rows_read = 0;
  int64_t added = 0;
  int64_t skipped = 0;
  std::vector<SkippedRow> first_skipped;  // the first kListedSkips
  int64_t values_cut = 0;
  int64_t values_not_understood = 0;
  int64_t categories_added = 0;
  int64_t companies_added = 0;
  bool cancelled = false;
  // Why the import ended before the end of the list ("line 12: ..."), or empty.
  std::string stopped;
  // Why the indexes could not be brought up to date after the rows went in (a
  // full disk), or empty.
  std::string indexes_failed;
};

// The summary as lines of text (Windows-1252), for the program's window and the
// command line alike.
std::vector<std::string> SummaryLines(const ImportSummary& summary);

// What an import added, by record number, for UndoImport.
struct ImportLog {
  std::vector<int32_t> records;
  std::vector<int32_t> categories;
  std::vector<int32_t> companies;
  bool Empty() const { return records.empty() && categories.empty() && companies.empty(); }
};

// The fields of an open dataset that a column can fill (character, memo, logical,
// number and date fields, in table order).
std::vector<TargetField> ImportFields(platform::TDataSet& table);
// The index into fields of the key field (TITLE, else the first character field),
// or -1 when there is none.
int ImportKeyField(const std::vector<TargetField>& fields);

class TableImport {
 public:
  // REQUIRES: table is open for writing. categories and companies, when given, are
  // the catalog's lookup tables (fields CATEGORY and DEVDIST), open for writing;
  // the table's CATEGORY field feeds the first, DEVELOPER and DISTRIBUTR the second.
  TableImport(platform::TDataSet& table, platform::TDataSet* categories,
              platform::TDataSet* companies);

  // ImportFields of the table.
  const std::vector<TargetField>& Fields() const { return fields_; }
  // The index into Fields() of the key field, or -1 when the table has none.
  int KeyField() const { return key_; }

  // Reads the rows of source (the header first) and adds them. total_rows is the
  // survey's count, for progress. Raises nothing for the list's content; engine
  // errors while writing end the run and are named in the summary.
  ImportSummary Run(ByteSource& source, const ImportChoices& choices, int64_t total_rows,
                    const Progress& progress);

  const ImportLog& Log() const { return log_; }

 private:
  void LoadExistingKeys(const Progress& progress);
  bool KeyExisted(const std::string& key);
  void AddLookups(const std::vector<std::string>& values, const std::vector<int>& columns,
                  ImportSummary& summary);
  void AddRecord(const std::vector<std::string>& values, const std::vector<int>& columns,
                 ImportSummary& summary);
  void SetValue(int field, const std::string& text, ImportSummary& summary);
  // The text as the field takes it: blanks at both ends dropped (not for memos),
  // character fields cut to their length (counted in summary when not null).
  std::string Fitted(int field, const std::string& text, ImportSummary* summary) const;

  platform::TDataSet& table_;
  platform::TDataSet* categories_;
  platform::TDataSet* companies_;
  std::vector<TargetField> fields_;
  std::vector<platform::TField*> field_objects_;
  int key_ = -1;
  // 64-bit hashes of the keys the table held before the run, sorted; a hit is
  // confirmed by a search on the table.
  std::vector<uint64_t> existing_keys_;
  std::unordered_set<std::string> known_categories_, known_companies_;
  ImportLog log_;
};

// Deletes what the import logged (as the program's Delete does: records marked
// deleted, gone at the next pack), lookup entries after the titles. Returns the
// number of records deleted. progress only reports: an undo runs to its end, so
// that it never leaves half an import behind.
int64_t UndoImport(const ImportLog& log, platform::TDataSet& table, platform::TDataSet* categories,
                   platform::TDataSet* companies, const Progress& progress);

}  // namespace catalog

#endif  // CATALOG_TABLE_IMPORT_H_
