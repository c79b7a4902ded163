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
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/paths.h"
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
    case TFieldType::ftBoolean: return field.AsBoolean() ? "True" : "False";
    case TFieldType::ftDate: return DateText(int32_t(std::floor(field.AsDateTime())));
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
    case TFieldType::ftInteger: return std::to_string(field.AsInteger());
    case TFieldType::ftFloat: {
      char text[64];
      auto r = std::to_chars(text, text + sizeof text, field.AsFloat());
      return std::string(text, r.ptr);
    }
    default: return Utf8(field.AsString());
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

void SetValues(devazoz::TDevazozDataSet& ds, const std::vector<std::string>& assignments) {
  for (const std::string& a : assignments) {
    size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError{"expected FIELD=VALUE: " + a};
    ds.FieldByName(a.substr(0, eq))->SetAsString(platform::Utf8ToAnsi(a.substr(eq + 1)));
  }
}

int RunBrowse(const Args& args) {
  std::string table_name, tag, filter, action;
  std::vector<std::string> indexes, operands;
  bool ignore_case = false, deleted = false, exact = false, no_translate = false,
       backward = false, has_filter = false, partial = false, nocase = false;
  auto is_action = [](const std::string& a) {
    return a == "--locate" || a == "--lookup" || a == "--append" || a == "--edit" ||
           a == "--delete" || a == "--recall";
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) {
      if (i + 1 >= args.size()) throw UsageError{std::string(what) + " needs a value"};
      return args[++i];
    };
    if (!action.empty() && a.rfind("--", 0) != 0) {
      operands.push_back(a);
    } else if (a == "--index") indexes.push_back(value("--index"));
    else if (a == "--tag") tag = value("--tag");
    else if (a == "--filter") filter = value("--filter"), has_filter = true;
    else if (a == "--ignore-case") ignore_case = true;
    else if (a == "--deleted") deleted = true;
    else if (a == "--exact-count") exact = true;
    else if (a == "--no-translate") no_translate = true;
    else if (a == "--backward") backward = true;
    else if (a == "--partial" && action == "--locate") partial = true;
    else if (a == "--nocase" && action == "--locate") nocase = true;
    else if (is_action(a)) {
      if (!action.empty()) throw UsageError{"one action at a time"};
      action = a;
    } else if (a.rfind("--", 0) == 0) throw UsageError{"unknown option " + a};
    else if (table_name.empty()) table_name = a;
    else throw UsageError{"browse takes one table"};
  }
  if (table_name.empty()) throw UsageError{"browse needs a table"};
  size_t want = action == "--locate" ? 2 : action == "--lookup" ? 3 : 0;
  if (want && operands.size() != want) throw UsageError{action + " takes " + std::to_string(want) + " values"};
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
    ds.SetFilter(filter);
    ds.SetFilterOptions(ignore_case ? unsigned(platform::foCaseInsensitive) : 0u);
    ds.SetFiltered(true);
  }
  ds.Open();
  std::string out = "count\t" + std::to_string(ds.RecordCount()) + "\n";

  if (action.empty()) {
    out += "RECNO";
    for (int i = 0; i < ds.FieldCount(); ++i) out += "\t" + Utf8(ds.Fields(i)->FieldName());
    out += "\n";
    auto line = [&] {
      out += std::to_string(ds.RecNo());
      for (int i = 0; i < ds.FieldCount(); ++i) out += "\t" + ValueText(*ds.Fields(i));
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
    bool found = ds.Locate(operands[0], platform::Utf8ToAnsi(operands[1]), options);
    out += std::string("locate\t") + (found ? "T" : "F") + "\t" + std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--lookup") {
    platform::TVariant v = ds.Lookup(operands[0], platform::Utf8ToAnsi(operands[1]), operands[2]);
    out += "lookup\t" + (v.IsNull() ? std::string("\\N") : Utf8(v.AsString())) + "\t" +
           std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--append") {
    ds.Append();
    SetValues(ds, operands);
    ds.Post();
    out += "posted\t" + std::to_string(ds.RecNo()) + "\n";
  } else if (action == "--edit") {
    GoTo(ds, recno);
    ds.Edit();
    SetValues(ds, std::vector<std::string>(operands.begin() + 1, operands.end()));
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
  ds.Close();
  return kExitOk;
}

const CommandRegistrar reg(
    "browse", &RunBrowse,
    "browse TABLE [--index FILE]... [--tag NAME] [--filter EXPRESSION] [--ignore-case] "
    "[--deleted] [--exact-count] [--no-translate] [--backward] "
    "[--locate FIELD VALUE [--partial] [--nocase] | --lookup FIELD VALUE RESULTFIELD | "
    "--append FIELD=VALUE... | --edit RECNO FIELD=VALUE... | --delete RECNO | --recall RECNO]");

}  // namespace
}  // namespace devazoz_tool
