// qvx_samplecat DIRECTORY [--titles N]: writes the sample catalog (QVXCAT.DBF with
// its memo file, CATEGORY.DBF, DEVDIST.DBF) filled with invented titles and
// companies; 48 titles unless N says otherwise (big catalogs for trying the program
// and for the benchmarks).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/index/gs6_cdx.h"
#include "engine/table/gs6_dbfld.h"
#include "tools/samplecat/table_create.h"

namespace samplecat {
namespace {

const char* const kCategories[] = {"Action",     "Adventure", "Fighting",     "Platform",
                                   "Puzzle",     "Racing",    "Role Playing", "Shooter",
                                   "Simulation", "Sports",    "Strategy"};
const char* const kCompanies[] = {
    "Amber Fox Works", "Blue Lantern Games",  "Cobalt Owl Studio", "Driftwood Interactive",
    "Ember Gate",      "Foggy Pier Software", "Granite Kite",      "Harbor Moth Games",
    "Iron Tulip",      "Juniper Arcade",      "Kestrel Byte",      "Lumen Quarry",
    "Maple Circuit",   "Nimbus Yard",         "Orchid Engine",     "Pebble Forge"};
const char* const kFirst[] = {"Crimson", "Silent", "Turbo",  "Lunar", "Hyper", "Tiny",
                              "Rogue",   "Golden", "Frozen", "Neon",  "Wild",  "Iron"};
const char* const kSecond[] = {"Harbor", "Circuit", "Meadow", "Comet",   "Dungeon", "Rally",
                               "Garden", "Tower",   "Voyage", "Kingdom", "Arena",   "Canyon"};
const char* const kPlayers[] = {"1", "1-2", "1-4", "2", "1-8"};
const char* const kThird[] = {
    "Legends", "Origins", "Reloaded", "Deluxe", "Returns", "Chronicles", "Heroes",  "Unleashed",
    "Zero",    "Forever", "Tactics",  "Party",  "Quest",   "Saga",       "Trilogy", "Worlds"};
constexpr int kDefaultTitles = 48;

// The first 48 titles are the classic sample; later ones add a third word and, past
// every combination, a sequel number.
std::string TitleOf(int i) {
  if (i < kDefaultTitles) {
    std::string title = std::string(kFirst[(i * 5) % 12]) + " " + kSecond[(i * 7 + i / 12) % 12];
    if (i % 3 == 2) title.append(" ").append(std::to_string(2 + i % 4));
    return title;
  }
  const int combos = 12 * 12 * 16;
  int j = i - kDefaultTitles;
  std::string title = std::string(kFirst[(j * 7) % 12]) + " " + kSecond[(j / 12 + j) % 12] + " " +
                      kThird[(j / 144) % 16];
  if (j >= combos) title.append(" ").append(std::to_string(1 + j / combos));
  return title;
}

// The table's compound index, one tag per field, each keyed on the bare field.
void MakeIndex(devazoz::GSO_dBaseFld& table, const std::string& path,
               const std::vector<std::string>& fields) {
  devazoz::GSobjCDXFile cdx(&table, path, true, true, true, false);
  for (const std::string& f : fields)
    if (!cdx.AddTag(f, f, false, true, "")) throw std::runtime_error("cannot index " + path);
}

void MakeLookupTable(const std::string& path, const std::string& field,
                     const std::vector<std::string>& values) {
  CreateEmptyTable(path, 0x03, {{field, 'C', 30}});
  devazoz::GSO_dBaseFld table(path, false, true);
  for (const std::string& v : values) {
    table.BlankRecord();
    table.PutStrByName(field, v);
    table.AppendRecord();
  }
  MakeIndex(table, path.substr(0, path.size() - 4) + ".CDX", {field});
}

std::string LongNotes() {
  std::string text;
  for (int line = 1; line <= 30; ++line) {
    text += "Stage " + std::to_string(line) +
            ": collect every lantern before the tide turns, then talk to the keeper.\r\n";
  }
  return text;
}

void MakeTitleTable(const std::string& dir, int count) {
  std::string path = dir + "/QVXCAT.DBF";
  CreateEmptyTable(path, 0xF5,
                   {{"TITLE", 'C', 40},
                    {"CATEGORY", 'C', 30},
                    {"DEVELOPER", 'C', 30},
                    {"DISTRIBUTR", 'C', 30},
                    {"PLAYERS", 'C', 5},
                    {"MEMORYBLKS", 'C', 5},
                    {"ANALOG", 'L', 1},
                    {"DUALSHOCK", 'L', 1},
                    {"NOTES", 'M', 10}});
  CreateEmptyFpt(dir + "/QVXCAT.FPT", 64);
  devazoz::GSO_dBaseFld table(path, false, true);
  int notes_field = table.FieldNumber("NOTES");
  for (int i = 0; i < count; ++i) {
    table.BlankRecord();
    table.PutStrByName("TITLE", TitleOf(i));
    table.PutStrByName("CATEGORY", kCategories[(i * 3) % 11]);
    table.PutStrByName("DEVELOPER", kCompanies[i % 16]);
    table.PutStrByName("DISTRIBUTR", kCompanies[(i * 5 + 3) % 16]);
    table.PutStrByName("PLAYERS", kPlayers[i % 5]);
    table.PutStrByName("MEMORYBLKS", std::to_string(1 + (i * 7) % 15));
    table.PutLogicByName("ANALOG", i % 2 == 0);
    table.PutLogicByName("DUALSHOCK", i % 3 == 0);
    std::string notes;
    if (i == 4)
      notes = LongNotes();
    else if (i % 6 == 1 && i < 10000)
      notes = "Save files need " + std::to_string(1 + i % 3) + " memory card blocks.";
    if (!notes.empty()) {
      int32_t size = int32_t(notes.size());
      table.MemoWrite(notes_field, notes.data(), size);
    }
    table.AppendRecord();
  }
  MakeIndex(table, dir + "/QVXCAT.CDX", {"TITLE", "CATEGORY"});
}

}  // namespace
}  // namespace samplecat

int main(int argc, char** argv) {
  std::string dir;
  long titles = samplecat::kDefaultTitles;
  bool usage = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--titles" && i + 1 < argc) {
      char* end = nullptr;
      titles = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || titles < 0 || titles > 100000000) usage = true;
    } else if (dir.empty() && !arg.empty() && arg[0] != '-') {
      dir = arg;
    } else {
      usage = true;
    }
  }
  if (usage || dir.empty()) {
    std::fprintf(stderr, "usage: qvx_samplecat DIRECTORY [--titles N]\n");
    return 2;
  }
  mkdir(dir.c_str(), 0755);
  try {
    using namespace samplecat;
    MakeTitleTable(dir, int(titles));
    std::vector<std::string> categories(std::begin(kCategories), std::end(kCategories));
    MakeLookupTable(dir + "/CATEGORY.DBF", "CATEGORY", categories);
    std::vector<std::string> companies(std::begin(kCompanies), std::end(kCompanies));
    MakeLookupTable(dir + "/DEVDIST.DBF", "DEVDIST", companies);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
