#include "tests/support/dataset_fixture.h"

#include <cstdio>

#include "engine/index/gs6_cdx.h"
#include "engine/table/gs6_dbfld.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace qvx_test {

namespace {

std::string Right(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

}  // namespace

std::string WriteCatalog(const std::string& dir) {
  MemoFixture memo(MemoLayout::kFpt);
  int32_t fast = memo.Add("Fast cars");
  int32_t iron = memo.Add("Iron fist");
  memo.Write(dir + "/CATALOG.FPT");
  DbfFixture f(0xF5, {{"TITLE", 'C', 20},
                      {"CATEGORY", 'C', 10},
                      {"PLAYERS", 'N', 2},
                      {"COUNT", 'N', 6},
                      {"PRICE", 'N', 8, 2},
                      {"ANALOG", 'L', 1},
                      {"RELEASED", 'D', 8},
                      {"NOTES", 'M', 10}});
  struct Row {
    const char* title;
    const char* cat;
    const char* players;
    const char* count;
    const char* price;
    const char* analog;
    const char* date;
    int32_t memo;
    bool deleted;
  };
  const Row rows[] = {
      {"Gran Turismo", "Racing", "2", "150", "39.99", "T", "19980512", fast, false},
      {"Ape Escape", "Platform", "1", "20", "29.50", "T", "19990601", 0, false},
      {"Crash", "Platform", "1", "10", "19.99", "F", "00000000", 0, true},
      {"Tekken 3", "Fighting", "2", "300", "34.00", "F", "", iron, false},
      {"Wipeout", "Racing", "2", "40", "25.00", "T", "19951201", 0, true},
      {"Bushido Blade", "Fighting", "2", "7", "44.50", "F", "19980301", 0, false},
      {"", "Puzzle", "1", "0", "0.00", "F", "19990229", 0, false},
      {"Colin McRae", "Racing", "1", "55", "31.00", "F", "19990701", 0, true},
      {"Spyro", "Platform", "1", "88", "28.00", "T", "19980909", 0, false},
      {"Abe's Oddysee", "Platform", "1", "60", "27.25", "F", "19970919", 0, false},
  };
  for (const Row& r : rows)
    f.AddRecord({r.title, r.cat, Right(r.players, 2), Right(r.count, 6), Right(r.price, 8),
                 r.analog, r.date, r.memo ? Right(std::to_string(r.memo), 10) : ""},
                r.deleted);
  f.flags = 0x02;
  std::string path = dir + "/CATALOG.DBF";
  f.Write(path);
  {
    devazoz::GSO_dBaseFld table(path, false, true);
    devazoz::GSobjCDXFile cdx(&table, dir + "/CATALOG.CDX", true, true, true, false);
    cdx.AddTag("TITLE", "TITLE", false, true, "");
    cdx.AddTag("CATEGORY", "CATEGORY", false, true, "");
    cdx.AddTag("UTITLE", "UPPER(TITLE)", false, true, "");
    cdx.AddTag("RACING", "TITLE", false, true, "CATEGORY = \"Racing\"");
  }
  return path;
}

std::string WriteNumbered(const std::string& dir, int count) {
  DbfFixture f(0x03, {{"TITLE", 'C', 20}, {"CATEGORY", 'C', 10}});
  for (int i = 1; i <= count; ++i) {
    char title[32];
    std::snprintf(title, sizeof title, "Title %06d", i);
    f.AddRecord({title, i % 2 ? "Odd" : "Even"});
  }
  std::string path = dir + "/NUMBERED.DBF";
  f.Write(path);
  devazoz::GSO_dBaseFld table(path, false, true);
  devazoz::GSobjCDXFile cdx(&table, dir + "/NUMBERED.CDX", true, true, true, false);
  cdx.AddTag("TITLE", "TITLE", false, true, "");
  return path;
}

}  // namespace qvx_test
