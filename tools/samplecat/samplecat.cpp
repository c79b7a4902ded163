// qvx_samplecat DIRECTORY: writes the sample catalog (QVXCAT.DBF with its memo
// file, CATEGORY.DBF, DEVDIST.DBF) filled with invented titles and companies.
#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/index/gs6_cdx.h"
#include "engine/table/gs6_dbfld.h"
#include "tools/samplecat/table_create.h"

namespace samplecat {
namespace {

const char* const kCategories[] = {"Action",   "Adventure", "Fighting", "Platform",
                                   "Puzzle",   "Racing",    "Role Playing", "Shooter",
                                   "Simulation", "Sports",  "Strategy"};
const char* const kCompanies[] = {
    "Amber Fox Works",  "Blue Lantern Games", "Cobalt Owl Studio", "Driftwood Interactive",
    "Ember Gate",       "Foggy Pier Software", "Granite Kite",      "Harbor Moth Games",
    "Iron Tulip",       "Juniper Arcade",     "Kestrel Byte",      "Lumen Quarry",
    "Maple Circuit",    "Nimbus Yard",        "Orchid Engine",     "Pebble Forge"};
const char* const kFirst[] = {"Crimson", "Silent", "Turbo",  "Lunar", "Hyper", "Tiny",
                              "Rogue",   "Golden", "Frozen", "Neon",  "Wild",  "Iron"};
const char* const kSecond[] = {"Harbor", "Circuit", "Meadow",  "Comet",   "Dungeon", "Rally",
                               "Garden", "Tower",   "Voyage",  "Kingdom", "Arena",  "Canyon"};
const char* const kPlayers[] = {"1", "1-2", "1-4", "2", "1-8"};

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

void MakeTitleTable(const std::string& dir) {
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
  const int count = 48;
  for (int i = 0; i < count; ++i) {
    table.BlankRecord();
    std::string title = std::string(kFirst[(i * 5) % 12]) + " " + kSecond[(i * 7 + i / 12) % 12];
    if (i % 3 == 2) title.append(" ").append(std::to_string(2 + i % 4));
    table.PutStrByName("TITLE", title);
    table.PutStrByName("CATEGORY", kCategories[(i * 3) % 11]);
    table.PutStrByName("DEVELOPER", kCompanies[i % 16]);
    table.PutStrByName("DISTRIBUTR", kCompanies[(i * 5 + 3) % 16]);
    table.PutStrByName("PLAYERS", kPlayers[i % 5]);
    table.PutStrByName("MEMORYBLKS", std::to_string(1 + (i * 7) % 15));
    table.PutLogicByName("ANALOG", i % 2 == 0);
    table.PutLogicByName("DUALSHOCK", i % 3 == 0);
    std::string notes;
    if (i == 4) notes = LongNotes();
    else if (i % 6 == 1) notes = "Save files need " + std::to_string(1 + i % 3) + " memory card blocks.";
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
  if (argc != 2) {
    std::fprintf(stderr, "usage: qvx_samplecat DIRECTORY\n");
    return 2;
  }
  std::string dir = argv[1];
  mkdir(dir.c_str(), 0755);
  try {
    using namespace samplecat;
    MakeTitleTable(dir);
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
