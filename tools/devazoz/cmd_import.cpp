// devazoz import TABLE FILE.csv [--index FILE]... [--map COLUMN=FIELD]...
//   [--encoding utf-8|cp1252] [--separator ,|;|tab] [--add-duplicates]
// Adds the rows of a CSV list to the table by the program's rules and prints the
// summary. The table's own CDX (same base name) is opened and kept current without
// being named, others with --index; a catalog's QVXCAT.DBF gets the categories and
// companies its lookup tables lack added to CATEGORY.DBF and DEVDIST.DBF beside it.
#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog_files.h"
#include "catalog/catalog_tables.h"
#include "catalog/csv_survey.h"
#include "catalog/field_map.h"
#include "catalog/table_import.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "platform/services/codepage.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

std::string Directory(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return platform::AnsiUpper(dot == std::string::npos ? name : name.substr(0, dot));
}

std::optional<catalog::Encoding> EncodingOf(const ParsedArgs& args) {
  if (!args.Has("--encoding")) return std::nullopt;
  std::string e = platform::AnsiLower(args.Value("--encoding"));
  if (e == "utf-8" || e == "utf8") return catalog::Encoding::kUtf8;
  if (e == "cp1252" || e == "windows-1252") return catalog::Encoding::kCp1252;
  throw UsageError{"unknown encoding '" + args.Value("--encoding") + "' (utf-8 or cp1252)"};
}

std::optional<char> SeparatorOf(const ParsedArgs& args) {
  if (!args.Has("--separator")) return std::nullopt;
  std::string s = args.Value("--separator");
  if (s == "," || s == "comma") return ',';
  if (s == ";" || s == "semicolon") return ';';
  if (s == "tab" || s == "\t") return '\t';
  throw UsageError{"unknown separator '" + s + "' (, ; or tab)"};
}

// --map COLUMN=FIELD: COLUMN a header or a column number from 1; FIELD a field of
// the table, or "-" to leave the column out.
void ApplyMaps(const ParsedArgs& args, const std::vector<std::string>& headers,
               const std::vector<catalog::TargetField>& fields, std::vector<int>& columns) {
  for (const std::string& map : args.All("--map")) {
    size_t eq = map.rfind('=');
    if (eq == std::string::npos) throw UsageError{"--map takes COLUMN=FIELD, not " + map};
    std::string column = map.substr(0, eq), field = map.substr(eq + 1);
    int c = -1;
    for (size_t i = 0; i < headers.size() && c < 0; ++i)
      if (platform::Utf8ToAnsi(column) == headers[i]) c = int(i);
    for (size_t i = 0; i < headers.size() && c < 0; ++i)
      if (catalog::HeaderKey(column) == catalog::HeaderKey(headers[i])) c = int(i);
    if (c < 0 && !column.empty() && column.find_first_not_of("0123456789") == std::string::npos) {
      long n = ParseCount(column, "column number");
      if (n >= 1 && size_t(n) <= headers.size()) c = int(n - 1);
    }
    if (c < 0) throw UsageError{"the list has no column '" + column + "'"};
    int f = field == "-" ? -1 : catalog::FieldIndex(fields, field);
    if (field != "-" && f < 0) throw UsageError{"the table has no field '" + field + "'"};
    for (int& other : columns)
      if (f >= 0 && other == f) other = -1;
    columns[size_t(c)] = f;
  }
}

std::string Utf8(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }

int RunImport(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  if (positional.size() != 2) throw UsageError{"import takes a table and a CSV file"};
  const std::string& table_path = positional[0];
  const std::string& list_path = positional[1];
  std::optional<catalog::Encoding> encoding = EncodingOf(args);
  std::optional<char> separator = SeparatorOf(args);

  devazoz::TDevazozDataSet table, categories, companies;
  catalog::OpenTableForWork(table, table_path, args.All("--index"));
  devazoz::TDevazozDataSet* category_table = nullptr;
  devazoz::TDevazozDataSet* company_table = nullptr;
  if (BaseName(table_path) == "QVXCAT") {
    std::string dir = Directory(table_path);
    if (catalog::FileExists(dir + catalog::kCategoryTable)) {
      catalog::OpenTableForWork(categories, dir + catalog::kCategoryTable);
      category_table = &categories;
    }
    if (catalog::FileExists(dir + catalog::kCompanyTable)) {
      catalog::OpenTableForWork(companies, dir + catalog::kCompanyTable);
      company_table = &companies;
    }
  }
  catalog::TableImport import(table, category_table, company_table);

  catalog::CsvSurvey survey =
      catalog::SurveyCsv(catalog::FileOpener(list_path), encoding, separator);
  if (!survey.error.empty()) {
    std::fprintf(stderr, "%s: %s\nNothing was imported.\n", list_path.c_str(),
                 survey.error.c_str());
    return kExitEngineError;
  }
  catalog::ImportChoices choices;
  choices.format = survey.format;
  choices.add_duplicates = args.Has("--add-duplicates");
  choices.columns = catalog::MapColumns(survey.headers, import.Fields());
  ApplyMaps(args, survey.headers, import.Fields(), choices.columns);
  const int key = import.KeyField();
  bool key_mapped = key < 0;
  for (int f : choices.columns) key_mapped = key_mapped || f == key;
  if (!key_mapped) {
    const std::string& name = import.Fields()[size_t(key)].name;
    throw UsageError{"no column of the list goes into " + name +
                     ": name one with --map COLUMN=" + name};
  }

  std::string out = std::string("Reading ") + list_path + " as " +
                    catalog::EncodingName(survey.format.encoding) + ", " +
                    catalog::SeparatorName(survey.format.separator) + "-separated:\n";
  for (size_t c = 0; c < survey.headers.size(); ++c) {
    int f = choices.columns[c];
    out += "    " + Utf8(survey.headers[c]) + " -> " +
           (f < 0 ? std::string("(ignored)") : import.Fields()[size_t(f)].name) + "\n";
  }
  std::fputs(out.c_str(), stdout);
  catalog::FileSource source(list_path);
  catalog::BulkWork work({&table, category_table, company_table});
  catalog::ImportSummary summary =
      import.Run(source, choices, survey.rows, work.SyncingAsItGoes(nullptr));
  catalog::EndImportWork(work, summary);
  for (const std::string& line : catalog::SummaryLines(summary))
    std::printf("%s\n", Utf8(line).c_str());
  return summary.stopped.empty() && summary.indexes_failed.empty() ? kExitOk : kExitEngineError;
}

const CommandRegistrar reg(
    {"import",
     "adds the rows of a CSV list to a table, as the program imports them",
     "import TABLE FILE.csv [--index FILE]... [--map COLUMN=FIELD]... [--encoding utf-8|cp1252] "
     "[--separator ,|;|tab] [--add-duplicates]",
     {{"TABLE",
       "the table, opened exclusively for writing with its own CDX (same base\n"
       "name); QVXCAT.DBF also opens CATEGORY.DBF and DEVDIST.DBF beside it"},
      {"FILE.csv", "the list: a header row, then one row per record"}},
     {{"--index", "FILE", "another index file of the table to keep current", true},
      {"--map", "COLUMN=FIELD",
       "put the column (its header, or its number from 1) into FIELD, or leave\n"
       "it out with FIELD \"-\"; columns are otherwise matched by header name and\n"
       "the usual synonyms (Name or Game for TITLE, Genre for CATEGORY, ...)",
       true},
      {"--encoding", "ENCODING", "utf-8 or cp1252 (Windows-1252); detected without it"},
      {"--separator", "SEPARATOR", ", ; or tab; detected without it"},
      {"--add-duplicates", "",
       "add rows whose title the table already holds (they are skipped\n"
       "without it)"}},
     "The whole list is read first: a list that cannot be read (unbalanced quotes,\n"
     "invalid UTF-8, NUL bytes, a line over 1 MiB) is refused with its line number\n"
     "and nothing is written. Then every row is added as one record: rows without a\n"
     "title, with a title already in the table, or with another column count than\n"
     "the header are skipped; text too long for its field is cut. The summary counts\n"
     "rows read, added and skipped (with the first line numbers and reasons), values\n"
     "cut and lookup entries added. Exit code 1 when the import stopped early or its\n"
     "indexes could not be written (the next open makes them again from the table)."},
    &RunImport);

}  // namespace
}  // namespace devazoz_tool
