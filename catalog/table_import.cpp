#include "catalog/table_import.h"

#include <algorithm>
#include <exception>
#include <functional>

#include "catalog/csv_reader.h"
#include "platform/services/datetime.h"
#include "platform/services/numtext.h"

namespace catalog {
namespace {

using platform::TFieldType;

uint64_t KeyHash(const std::string& key) { return std::hash<std::string>()(key); }

std::string TrimBlanks(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

char TypeLetter(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
      return 'C';
    case TFieldType::ftMemo:
      return 'M';
    case TFieldType::ftBoolean:
      return 'L';
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftFloat:
      return 'N';
    case TFieldType::ftDate:
      return 'D';
    default:
      return 0;
  }
}

// yyyy-mm-dd, yyyymmdd, or the user's short date format.
bool ParseDate(const std::string& text, int32_t& date) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) == 3 ||
      (text.size() == 8 && std::all_of(text.begin(), text.end(), ::isdigit) &&
       std::sscanf(text.c_str(), "%4d%2d%2d", &y, &m, &d) == 3))
    return platform::TryEncodeDate(y, m, d, date);
  return platform::TryStrToDate(text, date);
}

void Skip(ImportSummary& summary, int64_t line, const std::string& reason) {
  ++summary.skipped;
  if (summary.first_skipped.size() < ImportSummary::kListedSkips)
    summary.first_skipped.push_back({line, reason});
}

// Sorts keys in pieces with a progress report after each piece and each merge, so
// that the keys of a million titles do not hold the window for the whole sort (some
// 80 ms) but for a few milliseconds at a time.
void SortReporting(std::vector<uint64_t>& keys, const Progress& progress, int64_t total) {
  const size_t piece = size_t(1) << 17;
  const size_t n = keys.size();
  for (size_t at = 0; at < n; at += piece) {
    std::sort(keys.begin() + at, keys.begin() + std::min(n, at + piece));
    if (progress) progress(0, total);
  }
  for (size_t width = piece; width < n; width *= 2) {
    for (size_t at = 0; at + width < n; at += 2 * width) {
      std::inplace_merge(keys.begin() + at, keys.begin() + at + width,
                         keys.begin() + std::min(n, at + 2 * width));
      if (progress) progress(0, total);
    }
  }
}

// Adds one entry to a lookup table; its record number.
int32_t AppendEntry(platform::TDataSet& lookup, const std::string& value) {
  lookup.Append();
  try {
    lookup.Fields(0)->SetAsString(value);
    lookup.Post();
  } catch (...) {
    lookup.Cancel();
    throw;
  }
  return lookup.RecNo();
}

std::unordered_set<std::string> LookupValues(platform::TDataSet& lookup) {
  std::unordered_set<std::string> values;
  lookup.DisableControls();
  for (lookup.First(); !lookup.Eof(); lookup.Next()) values.insert(lookup.Fields(0)->AsString());
  lookup.EnableControls();
  return values;
}

}  // namespace

std::vector<TargetField> ImportFields(platform::TDataSet& table) {
  std::vector<TargetField> fields;
  for (int i = 0; i < table.FieldCount(); ++i) {
    platform::TField* f = table.Fields(i);
    char type = TypeLetter(f->DataType());
    if (type == 0 || f->Calculated()) continue;
    fields.push_back({f->FieldName(), type, type == 'C' ? f->Size() : 0, f->DisplayLabel()});
  }
  return fields;
}

int ImportKeyField(const std::vector<TargetField>& fields) {
  int key = FieldIndex(fields, "TITLE");
  for (size_t i = 0; key < 0 && i < fields.size(); ++i)
    if (fields[i].type == 'C') key = int(i);
  return key;
}

TableImport::TableImport(platform::TDataSet& table, platform::TDataSet* categories,
                         platform::TDataSet* companies)
    : table_(table),
      categories_(categories),
      companies_(companies),
      fields_(ImportFields(table)),
      key_(ImportKeyField(fields_)) {
  for (const TargetField& f : fields_) field_objects_.push_back(table.FieldByName(f.name));
}

std::string TableImport::Fitted(int field, const std::string& text, ImportSummary* summary) const {
  const TargetField& f = fields_[size_t(field)];
  if (f.type == 'M') return text;
  std::string value = TrimBlanks(text);
  if (f.type == 'C' && f.length > 0 && value.size() > size_t(f.length)) {
    value = TrimBlanks(value.substr(0, size_t(f.length)));
    if (summary != nullptr) ++summary->values_cut;
  }
  return value;
}

void TableImport::LoadExistingKeys(const Progress& progress) {
  existing_keys_.clear();
  platform::TField* key = field_objects_[size_t(key_)];
  const int64_t total = table_.RecordCount();
  int64_t done = 0;
  table_.DisableControls();
  try {
    for (table_.First(); !table_.Eof(); table_.Next()) {
      existing_keys_.push_back(KeyHash(key->AsString()));
      // The walk counts as progress towards nothing: it only keeps the window alive.
      if (++done % (kProgressStep * 64) == 0 && progress) progress(0, total);
    }
  } catch (...) {
    table_.EnableControls();
    throw;
  }
  table_.EnableControls();
  SortReporting(existing_keys_, progress, total);
}

bool TableImport::KeyExisted(const std::string& key) {
  if (!std::binary_search(existing_keys_.begin(), existing_keys_.end(), KeyHash(key))) return false;
  return table_.Locate(fields_[size_t(key_)].name, platform::TVariant(key),
                       platform::TLocateOptions());
}

void TableImport::AddLookups(const std::vector<std::string>& values,
                             const std::vector<int>& columns, ImportSummary& summary) {
  for (size_t c = 0; c < columns.size() && c < values.size(); ++c) {
    if (columns[c] < 0) continue;
    const std::string& name = fields_[size_t(columns[c])].name;
    platform::TDataSet* lookup = nullptr;
    std::unordered_set<std::string>* known = nullptr;
    int64_t* added = nullptr;
    std::vector<int32_t>* logged = nullptr;
    if (name == "CATEGORY" && categories_ != nullptr) {
      lookup = categories_;
      known = &known_categories_;
      added = &summary.categories_added;
      logged = &log_.categories;
    } else if ((name == "DEVELOPER" || name == "DISTRIBUTR") && companies_ != nullptr) {
      lookup = companies_;
      known = &known_companies_;
      added = &summary.companies_added;
      logged = &log_.companies;
    } else {
      continue;
    }
    std::string value = Fitted(columns[c], values[c], nullptr);
    int size = lookup->Fields(0)->Size();
    if (size > 0 && value.size() > size_t(size)) value = TrimBlanks(value.substr(0, size_t(size)));
    if (value.empty() || known->count(value) > 0) continue;
    logged->push_back(AppendEntry(*lookup, value));
    known->insert(value);
    ++*added;
  }
}

void TableImport::SetValue(int field, const std::string& text, ImportSummary& summary) {
  const TargetField& f = fields_[size_t(field)];
  platform::TField* object = field_objects_[size_t(field)];
  std::string value = Fitted(field, text, &summary);
  switch (f.type) {
    case 'C':
    case 'M':
      if (!value.empty()) object->SetAsString(value);
      return;
    case 'L': {
      bool yes = false;
      if (!ParseLogical(value, yes)) ++summary.values_not_understood;
      object->SetAsBoolean(yes);
      return;
    }
    default:
      break;
  }
  if (value.empty()) return;
  try {
    if (f.type == 'N') {
      double number = 0;
      std::string point = value;
      std::replace(point.begin(), point.end(), ',', '.');
      if (!platform::ParseDecimal(point, number)) {
        ++summary.values_not_understood;
        return;
      }
      object->SetAsFloat(number);
    } else if (f.type == 'D') {
      int32_t date = 0;
      if (!ParseDate(value, date)) {
        ++summary.values_not_understood;
        return;
      }
      object->SetAsDateTime(platform::TDateTime(date));
    }
  } catch (const std::exception&) {
    // A number too wide for its field, a date out of range: the field stays blank.
    ++summary.values_not_understood;
  }
}

void TableImport::AddRecord(const std::vector<std::string>& values, const std::vector<int>& columns,
                            ImportSummary& summary) {
  table_.Append();
  try {
    std::vector<bool> filled(fields_.size(), false);
    for (size_t c = 0; c < columns.size() && c < values.size(); ++c) {
      if (columns[c] < 0) continue;
      filled[size_t(columns[c])] = true;
      SetValue(columns[c], values[c], summary);
    }
    for (size_t f = 0; f < fields_.size(); ++f)
      if (!filled[f] && fields_[f].type == 'L') field_objects_[f]->SetAsBoolean(false);
    table_.Post();
  } catch (...) {
    if (table_.State() == platform::TDataSetState::dsInsert) table_.Cancel();
    throw;
  }
  log_.records.push_back(table_.RecNo());
  ++summary.added;
}

ImportSummary TableImport::Run(ByteSource& source, const ImportChoices& choices, int64_t total_rows,
                               const Progress& progress) {
  ImportSummary summary;
  log_ = ImportLog();
  if (key_ >= 0) summary.key_field = fields_[size_t(key_)].name;
  int key_column = -1;
  for (size_t c = 0; c < choices.columns.size() && key_column < 0; ++c)
    if (key_ >= 0 && choices.columns[c] == key_) key_column = int(c);
  int64_t line = 0;
  try {
    if (!choices.add_duplicates && key_column >= 0) LoadExistingKeys(progress);
    if (categories_ != nullptr) known_categories_ = LookupValues(*categories_);
    if (companies_ != nullptr) known_companies_ = LookupValues(*companies_);
    CsvReader reader(source, choices.format.separator);
    std::vector<std::string> raw, text;
    if (!reader.Next(raw)) {
      summary.stopped = "The file is empty.";
      return summary;
    }
    const size_t columns = raw.size();
    if (columns != choices.columns.size()) {
      summary.stopped = "The file has changed since it was read: its header has " +
                        std::to_string(columns) + " columns instead of " +
                        std::to_string(choices.columns.size()) + ".";
      return summary;
    }
    const std::string no_key = key_ < 0                       ? std::string()
                               : summary.key_field == "TITLE" ? "no title"
                                                              : "no " + summary.key_field;
    while (reader.Next(raw)) {
      line = reader.RowLine();
      ++summary.rows_read;
      if (raw.size() != columns) {
        Skip(summary, line,
             std::to_string(raw.size()) + (raw.size() == 1 ? " column" : " columns") +
                 " where the header has " + std::to_string(columns));
      } else if (!DecodeRow(raw, choices.format.encoding, text)) {
        summary.stopped = "line " + std::to_string(line) +
                          ": the text is not valid UTF-8 (choose Windows-1252 if the list was "
                          "saved in that character set)";
        --summary.rows_read;
        break;
      } else {
        std::string key = key_column >= 0 ? Fitted(key_, text[size_t(key_column)], nullptr) : "";
        if (key_ >= 0 && key.empty()) {
          Skip(summary, line, no_key);
        } else if (!choices.add_duplicates && key_column >= 0 && KeyExisted(key)) {
          Skip(summary, line,
               "\"" + key + "\" is already in the " +
                   (summary.key_field == "TITLE" ? "catalog" : "table"));
        } else {
          AddLookups(text, choices.columns, summary);
          AddRecord(text, choices.columns, summary);
        }
      }
      if (summary.rows_read % kProgressStep == 0 && progress &&
          !progress(summary.rows_read, total_rows)) {
        summary.cancelled = true;
        break;
      }
    }
  } catch (const ECsvError& e) {
    summary.stopped = e.what();
  } catch (const std::exception& e) {
    summary.stopped = line > 0 ? "line " + std::to_string(line) + ": " + e.what() : e.what();
  }
  return summary;
}

std::vector<std::string> SummaryLines(const ImportSummary& summary) {
  std::vector<std::string> lines;
  const bool titles = summary.key_field == "TITLE";
  lines.push_back("Rows read: " + std::to_string(summary.rows_read));
  lines.push_back(std::string(titles ? "Titles added: " : "Records added: ") +
                  std::to_string(summary.added));
  lines.push_back("Rows skipped: " + std::to_string(summary.skipped));
  for (const SkippedRow& s : summary.first_skipped)
    lines.push_back("    line " + std::to_string(s.line) + ": " + s.reason);
  if (summary.skipped > int64_t(summary.first_skipped.size()))
    lines.push_back("    and " + std::to_string(summary.skipped - summary.first_skipped.size()) +
                    " more");
  lines.push_back("Values cut to fit their field: " + std::to_string(summary.values_cut));
  if (summary.values_not_understood > 0)
    lines.push_back("Yes/no, number or date values not understood (left empty or no): " +
                    std::to_string(summary.values_not_understood));
  lines.push_back("Categories added to their list: " + std::to_string(summary.categories_added));
  lines.push_back("Developers/distributors added to their list: " +
                  std::to_string(summary.companies_added));
  if (summary.cancelled)
    lines.push_back("The import was cancelled after " + std::to_string(summary.rows_read) +
                    " rows; the rest of the list was not read.");
  if (!summary.stopped.empty())
    lines.push_back("The import stopped early: " + summary.stopped +
                    ". The rows before it were imported.");
  if (!summary.indexes_failed.empty())
    lines.push_back("The indexes could not be brought up to date: " + summary.indexes_failed +
                    ". The rows are in the table; its indexes are made again from it when it "
                    "is next opened.");
  return lines;
}

int64_t UndoImport(const ImportLog& log, platform::TDataSet& table, platform::TDataSet* categories,
                   platform::TDataSet* companies, const Progress& progress) {
  const int64_t total = int64_t(log.records.size() + log.categories.size() + log.companies.size());
  int64_t done = 0, deleted = 0;
  auto remove = [&](platform::TDataSet* data, const std::vector<int32_t>& records) {
    if (data == nullptr) return;
    data->DisableControls();
    try {
      for (int32_t n : records) {
        data->SetRecNo(n);
        // A record deleted meanwhile is not there to delete.
        if (!data->IsEmpty() && data->RecNo() == n) {
          data->Delete();
          ++deleted;
        }
        if (++done % kProgressStep == 0 && progress) progress(done, total);
      }
    } catch (...) {
      data->EnableControls();
      throw;
    }
    data->EnableControls();
  };
  remove(&table, log.records);
  remove(categories, log.categories);
  remove(companies, log.companies);
  return deleted;
}

}  // namespace catalog
