// devazoz export TABLE [--index FILE]... [--tag NAME] [--filter EXPRESSION]
//   [--format csv|json] [--bom] [--output FILE]
// The table's records as the program exports them: in the tag's order (natural
// order without one), within the filter, text through the same OEM-to-ANSI
// translation as the program's windows, written as UTF-8 CSV or JSON.
#include <cstdio>
#include <memory>
#include <string>

#include "catalog/table_export.h"
#include "catalog/text_sink.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

catalog::ExportFormat FormatOf(const ParsedArgs& args) {
  std::string format = args.Value("--format", "csv");
  if (format == "json") {
    if (args.Has("--bom")) throw UsageError{"--bom is for CSV"};
    return catalog::ExportFormat::kJson;
  }
  if (format != "csv") throw UsageError{"unknown format '" + format + "' (csv or json)"};
  return args.Has("--bom") ? catalog::ExportFormat::kCsvWithBom : catalog::ExportFormat::kCsv;
}

int RunExport(const ParsedArgs& args) {
  const Args& positional = args.Positionals();
  if (positional.size() != 1) throw UsageError{"export takes one table"};
  std::vector<std::string> indexes = args.All("--index");
  std::string tag = args.Value("--tag");
  if (!tag.empty() && indexes.empty()) throw UsageError{"--tag needs --index"};
  catalog::ExportFormat format = FormatOf(args);

  devazoz::TDevazozDataSet table;
  table.SetTableName(positional[0]);
  table.SetReadOnly(true);
  table.SetIndexFiles(indexes);
  table.SetIndexName(tag);
  if (args.Has("--filter")) {
    table.SetFilter(args.Value("--filter"));
    table.SetFiltered(true);
  }
  table.Open();

  std::string output = args.Value("--output");
  std::unique_ptr<catalog::FileSink> file;
  catalog::StreamSink out(stdout);
  if (!output.empty() && output != "-") file = std::make_unique<catalog::FileSink>(output);
  catalog::TextSink& sink = file ? static_cast<catalog::TextSink&>(*file) : out;
  std::unique_ptr<catalog::RecordWriter> writer = catalog::MakeRecordWriter(format, sink);
  catalog::ExportResult result = catalog::ExportDataSet(table, *writer, nullptr);
  if (file) {
    file->Commit();
    std::fprintf(stderr, "%lld records written to %s\n", static_cast<long long>(result.records),
                 output.c_str());
  }
  return kExitOk;
}

const CommandRegistrar reg(
    {"export",
     "writes a table's records as a CSV or JSON list, as the program exports them",
     "export TABLE [--index FILE]... [--tag NAME] [--filter EXPRESSION] [--format csv|json] "
     "[--bom] [--output FILE]",
     {{"TABLE", "the table file"}},
     {{"--index", "FILE", "open an index file of the table (needed for --tag)", true},
      {"--tag", "NAME", "write the records in this tag's order"},
      {"--filter", "EXPRESSION", "write only records for which the logical expression is true"},
      {"--format", "FORMAT",
       "csv (the default: RFC 4180, a header row of the field names) or json\n"
       "(an array of objects)"},
      {"--bom", "", "start a CSV file with a UTF-8 byte-order mark (for spreadsheets)"},
      {"--output", "FILE",
       "the file to write (written whole or not at all); standard output\n"
       "without it"}},
     "Text is written as UTF-8; logical fields as true/false, dates as yyyy-mm-dd;\n"
     "memo fields (notes) in full, their line breaks inside quotes. Deleted records\n"
     "are left out."},
    &RunExport);

}  // namespace
}  // namespace devazoz_tool
