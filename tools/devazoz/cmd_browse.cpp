// devazoz browse TABLE [--index FILE]... [--tag NAME] [--filter EXPRESSION]
//   [--ignore-case] [--deleted] [--exact-count] [--no-translate] [--backward] [ACTION]
// The table as the dataset presents it. First line: count<TAB>RecordCount (taken
// right after opening). Without an action: a header line (RECNO and the field
// names), then one line per record visited from First to Eof (--backward: Last to
// Bof). An action prints one result line instead:
//   --locate FIELD VALUE [--partial] [--nocase]  locate<TAB>T|F<TAB>RECNO
//   --lookup FIELD VALUE RESULTFIELD             lookup<TAB>TEXT|\N<TAB>RECNO
//   --append FIELD=VALUE...                      posted<TAB>RECNO
//   --edit RECNO FIELD=VALUE...                  posted<TAB>RECNO
//   --delete RECNO                               deleted<TAB>RECNO<TAB>RECNO AFTER
//   --recall RECNO                               recalled<TAB>RECNO<TAB>RECNO AFTER
// Output is UTF-8: text is read as Windows-1252 (after the dataset's OEM-to-ANSI
// translation unless --no-translate). Date values are written and read as
// YYYY-MM-DD, date-times as YYYY-MM-DD HH:MM:SS.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/dataset/Zavaz6UZ.h"
#include "engine/foundation/gs6_eror.h"
#include "platform/services/codepage.h"
#include "platform/services/datetime.h"
#include "platform/services/paths.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

using platform::TField;
using platform::TFieldType;

std::string Utf8(const std::string& ansi) { return Escape(platform::AnsiToUtf8(ansi)); }

std::string DateText(int32_t days_since_1899) {
  int y, m, d;
  platform::DecodeDate(days_since_1899, y, m, d);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
  return text;
}

// One value as browse shows it: \N for null, else the text escaped and in UTF-8.
std::string ValueText(TField& field) {
  if (field.IsNull()) return "\\N";
  switch (field.DataType()) {
    case TFieldType::ftBoolean:
      return field.AsBoolean() ? "True" : "False";
    case TFieldType::ftDate:
      return DateText(int32_t(std::floor(field.AsDateTime())));
    case TFieldType::ftDateTime: {
      double ms = 0;
      field.GetData(&ms);
      double days = std::floor(ms / platform::kMSecsPerDay);
      int64_t seconds = std::llround(ms - days * platform::kMSecsPerDay) / 1000;
      char time[16];
      std::snprintf(time, sizeof time, " %02d:%02d:%02d", int(seconds / 3600 % 24),
                    int(seconds / 60 % 60), int(seconds % 60));
      return DateText(int32_t(days) - platform::kDateDelta) + time;
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
      return std::to_string(field.AsInteger());
    case TFieldType::ftFloat: {
      char text[64];
      auto r = std::to_chars(text, text + sizeof text, field.AsFloat());
      return std::string(text, r.ptr);
    }
    default:
      return Utf8(field.AsString());
  }
}

platform::TBookmark BookmarkOf(long recno) {
  char text[32];
  std::snprintf(text, sizeof text, "%10ld", recno);
  return platform::TBookmark(text, 11);
}

// Moves to record recno; refuses when the view does not show it.
void GoTo(devazoz::TDevazozDataSet& ds, long recno) {
  ds.GotoBookmark(BookmarkOf(recno));
  if (ds.RecNo() != recno)
    throw platform::EDatabaseError("Record " + std::to_string(recno) + " is not in the view");
}

// Text from the command line in the dataset's character set (ANSI); a character
// that set lacks is refused, not stored or searched for as a question mark.
std::string Ansi(const std::string& utf8, const std::string& table) {
  std::string ansi, missing;
  if (!platform::Utf8ToAnsiExact(utf8, ansi, &missing))
    throw devazoz::EDevazozError("\"" + utf8 + "\" cannot be used with table " + table +
                                 ": its code page has no character \"" + missing + "\"");
  return ansi;
}

void SetValues(devazoz::TDevazozDataSet& ds, const std::vector<std::string>& assignments,
               const std::string& table) {
  for (const std::string& a : assignments) {
    size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError{"expected FIELD=VALUE: " + a};
    ds.FieldByName(a.substr(0, eq))->SetAsString(Ansi(a.substr(eq + 1), table));
  }
}

int RunBrowse(const ParsedArgs& args) {
  static const char* const kActions[] = {"--locate", "--lookup", "--append",
                                         "--edit",   "--delete", "--recall"};
  std::string action;
  for (const char* a : kActions) {
    if (!args.Has(a)) continue;
    if (!action.empty() || args.Count(a) > 1) throw UsageError{"one action at a time"};
    action = a;
  }
  const Args& positional = args.Positionals();
  size_t before = action.empty() ? positional.size() : args.PositionalsBefore(action);
  if (before == 0) throw UsageError{"browse needs a table"};
  if (before > 1) throw UsageError{"browse takes one table"};
  std::string table_name = positional[0];
  std::vector<std::string> operands(positional.begin() + 1, positional.end());
  std::vector<std::string> indexes = args.All("--index");
  std::string tag = args.Value("--tag"), filter = args.Value("--filter");
  bool ignore_case = args.Has("--ignore-case"), deleted = args.Has("--deleted"),
       exact = args.Has("--exact-count"), no_translate = args.Has("--no-translate"),
       backward = args.Has("--backward"), has_filter = args.Has("--filter"),
       partial = args.Has("--partial"), nocase = args.Has("--nocase");
  if ((partial || nocase) && action != "--locate")
    throw UsageError{std::string(partial ? "--partial" : "--nocase") + " goes with --locate"};
  size_t want = action == "--locate" ? 2 : action == "--lookup" ? 3 : 0;
  if (want && operands.size() != want)
    throw UsageError{action + " takes " + std::to_string(want) + " values"};
  if ((action == "--delete" || action == "--recall") && operands.size() != 1)
    throw UsageError{action + " takes a record number"};
  if (action == "--edit" && operands.empty()) throw UsageError{"--edit takes a record number"};
  if (action == "--append" && operands.empty()) throw UsageError{"--append needs FIELD=VALUE"};
  long recno = 0;
  if (action == "--edit" || action == "--delete" || action == "--recall") {
    recno = ParseCount(operands[0], "record number");
    if (recno < 1 || recno > 2147483647L) throw UsageError{"invalid record number: " + operands[0]};
  }

  platform::SetShortDateFormat("yyyy-mm-dd");
  std::string full = platform::ExpandFileName(table_name);
  size_t slash = full.rfind('/');
  devazoz::TDevazozDataSet ds;
  ds.SetDatabaseName(full.substr(0, slash + 1));
  ds.SetTableName(full.substr(slash + 1));
  std::vector<std::string> index_paths;
  for (const std::string& f : indexes) index_paths.push_back(platform::ExpandFileName(f));
  ds.SetIndexFiles(index_paths);
  ds.SetIndexName(tag);
  ds.SetUseDeleted(deleted);
  ds.SetExactCount(exact);
  ds.SetTranslateASCII(!no_translate);
  ds.SetReadOnly(action.empty() || action == "--locate" || action == "--lookup");
  if (has_filter) {
    ds.SetFilter(Ansi(filter, full));
    ds.SetFilterOptions(ignore_case ? unsigned(platform::foCaseInsensitive) : 0u);
    ds.SetFiltered(true);
  }
  ds.Open();
  std::string out = "count\t" + std::to_string(ds.RecordCount()) + "\n";

  if (action.empty()) {
    out += "RECNO";
    for (int i = 0; i < ds.FieldCount(); ++i) {
      out += '\t';
      out += Utf8(ds.Fields(i)->FieldName());
    }
    out += "\n";
    auto line = [&] {
      out += std::to_string(ds.RecNo());
      for (int i = 0; i < ds.FieldCount(); ++i) {
        out += '\t';
        out += ValueText(*ds.Fields(i));
      }
      out += "\n";
      if (out.size() > (1u << 16)) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    };
    if (backward) {
      for (ds.Last(); !ds.Bof(); ds.Prior()) line();
    } else {
      for (ds.First(); !ds.Eof(); ds.Next()) line();
    }
  } else if (action == "--locate") {
    platform::TLocateOptions options = (partial ? unsigned(platform::loPartialKey) : 0u) |
                                       (nocase ? unsigned(platform::loCaseInsensitive) : 0u);
    bool found = ds.Locate(operands[0], Ansi(operands[1], full), options);
    out += std::string("locate\t") + (found ? "T" : "F") + "\t" + std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--lookup") {
    platform::TVariant v = ds.Lookup(operands[0], Ansi(operands[1], full), operands[2]);
    out += "lookup\t" + (v.IsNull() ? std::string("\\N") : Utf8(v.AsString())) + "\t" +
           std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--append") {
    ds.Append();
    SetValues(ds, operands, full);
    ds.Post();
    out += "posted\t" + std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--edit") {
    GoTo(ds, recno);
    ds.Edit();
    SetValues(ds, std::vector<std::string>(operands.begin() + 1, operands.end()), full);
    ds.Post();
    out += "posted\t" + std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--delete") {
    GoTo(ds, recno);
    ds.Delete();
    out += "deleted\t" + std::to_string(recno) + "\t" + std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--recall") {
    // A deleted record is only reachable while deleted records are shown.
    ds.SetUseDeleted(true);
    GoTo(ds, recno);
    ds.RecallRecord();
    ds.SetUseDeleted(deleted);
    out += "recalled\t" + std::to_string(recno) + "\t" + std::to_string(ds.RecNo()) + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  // A change is on the disk before the command says it is done.
  if (!ds.ReadOnly()) ds.FlushBuffers();
  std::vector<std::string> stale = ds.StaleIndexReasons();
  ds.Close();
  return WarnStaleIndexes(stale);
}

const CommandRegistrar reg(
    {"browse",
     "shows or changes a table as the program's dataset presents it",
     "browse TABLE [--index FILE]... [--tag NAME] [--filter EXPRESSION] [--ignore-case] "
     "[--deleted] [--exact-count] [--no-translate] [--backward] "
     "[--locate FIELD VALUE [--partial] [--nocase] | --lookup FIELD VALUE RESULTFIELD | "
     "--append FIELD=VALUE... | --edit RECNO FIELD=VALUE... | --delete RECNO | --recall RECNO]",
     {{"TABLE", "the table file"}},
     {{"--index", "FILE", "an index file the dataset opens", true},
      {"--tag", "NAME", "the dataset's index name: records in this tag's order"},
      {"--filter", "EXPRESSION", "the dataset's filter: only records for which it is true"},
      {"--ignore-case", "", "the filter compares text without regard to case"},
      {"--deleted", "", "show deleted records too"},
      {"--exact-count", "", "count the records the filter lets through exactly"},
      {"--no-translate", "", "read text without the OEM-to-ANSI translation"},
      {"--backward", "", "list from the last record to the first"},
      {"--locate", "", "action: FIELD VALUE follow; prints locate<TAB>T|F<TAB>RECNO"},
      {"--partial", "", "with --locate: VALUE may be the beginning of the field's text"},
      {"--nocase", "", "with --locate: compare without regard to case"},
      {"--lookup", "",
       "action: FIELD VALUE RESULTFIELD follow; prints\n"
       "lookup<TAB>TEXT|\\N<TAB>RECNO (the cursor does not move)"},
      {"--append", "", "action: FIELD=VALUE... follow; appends a record, prints posted<TAB>RECNO"},
      {"--edit", "",
       "action: RECNO FIELD=VALUE... follow; changes a record, prints\n"
       "posted<TAB>RECNO"},
      {"--delete", "", "action: RECNO follows; prints deleted<TAB>RECNO<TAB>RECNO AFTER"},
      {"--recall", "", "action: RECNO follows; prints recalled<TAB>RECNO<TAB>RECNO AFTER"}},
     "The first output line is count<TAB>RecordCount. Without an action: a header line\n"
     "(RECNO and the field names), then one line per record. Output is UTF-8; dates\n"
     "are written and read as YYYY-MM-DD, date-times as YYYY-MM-DD HH:MM:SS. One action\n"
     "at a time; its values follow it."},
    &RunBrowse);

}  // namespace
}  // namespace devazoz_tool
