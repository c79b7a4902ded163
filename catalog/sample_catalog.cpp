#include "catalog/sample_catalog.h"

#include <cstdint>
#include <iterator>
#include <vector>

#include "catalog/catalog_files.h"
#include "engine/table/gs6_dbfld.h"

namespace catalog {
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

// The first 48 titles are the classic sample; later ones add a third word and, past
// every combination, a sequel number.
std::string TitleOf(int i) {
  if (i < kSampleTitles) {
    std::string title = std::string(kFirst[(i * 5) % 12]) + " " + kSecond[(i * 7 + i / 12) % 12];
    if (i % 3 == 2) title.append(" ").append(std::to_string(2 + i % 4));
    return title;
  }
  const int combos = 12 * 12 * 16;
  int j = i - kSampleTitles;
  std::string title = std::string(kFirst[(j * 7) % 12]) + " " + kSecond[(j / 12 + j) % 12] + " " +
                      kThird[(j / 144) % 16];
  if (j >= combos) title.append(" ").append(std::to_string(1 + j / combos));
  return title;
}

void FillLookupTable(const std::string& path, const std::string& field,
                     const std::vector<std::string>& values) {
  devazoz::GSO_dBaseFld table(path, false, true);
  for (const std::string& v : values) {
    table.BlankRecord();
    table.PutStrByName(field, v);
    table.AppendRecord();
  }
}

std::string LongNotes() {
  std::string text;
  for (int line = 1; line <= 30; ++line) {
    text += "Stage " + std::to_string(line) +
            ": collect every lantern before the tide turns, then talk to the keeper.\r\n";
  }
  return text;
}

void FillTitleTable(const std::string& path, int count) {
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
}

}  // namespace

void WriteSampleCatalog(const std::string& dir, int titles) {
  CreateCatalogTables(dir);
  FillTitleTable(InFolder(dir, kTitleTable), titles);
  FillLookupTable(InFolder(dir, kCategoryTable), "CATEGORY",
                  std::vector<std::string>(std::begin(kCategories), std::end(kCategories)));
  FillLookupTable(InFolder(dir, kCompanyTable), "DEVDIST",
                  std::vector<std::string>(std::begin(kCompanies), std::end(kCompanies)));
  CreateCatalogIndexes(dir);
}

void CreateSampleCatalog(const std::string& dir, int titles) {
  CreateCatalogWith(dir, [&] { WriteSampleCatalog(dir, titles); });
}

}  // namespace catalog
