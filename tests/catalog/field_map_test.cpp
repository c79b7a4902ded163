// Columns of other collection programs' and spreadsheets' exports find the catalog's
// fields by their names and usual synonyms, whatever their order.
#include "catalog/field_map.h"

#include <gtest/gtest.h>

namespace {

using catalog::MapColumns;
using catalog::TargetField;

const std::vector<TargetField>& TitleFields() {
  static const std::vector<TargetField> fields = {
      {"TITLE", 'C', 40, ""},      {"CATEGORY", 'C', 30, ""}, {"DEVELOPER", 'C', 30, ""},
      {"DISTRIBUTR", 'C', 30, ""}, {"PLAYERS", 'C', 5, ""},   {"MEMORYBLKS", 'C', 5, ""},
      {"ANALOG", 'L', 1, ""},      {"DUALSHOCK", 'L', 1, ""}, {"NOTES", 'M', 10, ""}};
  return fields;
}

// The mapped field names, "-" for an ignored column.
std::vector<std::string> Names(const std::vector<std::string>& headers) {
  std::vector<std::string> names;
  for (int f : MapColumns(headers, TitleFields()))
    names.push_back(f < 0 ? "-" : TitleFields()[size_t(f)].name);
  return names;
}

TEST(ColumnMapping, OwnExportMapsOneToOne) {
  EXPECT_EQ(Names({"TITLE", "CATEGORY", "DEVELOPER", "DISTRIBUTR", "PLAYERS", "MEMORYBLKS",
                   "ANALOG", "DUALSHOCK", "NOTES"}),
            (std::vector<std::string>{"TITLE", "CATEGORY", "DEVELOPER", "DISTRIBUTR", "PLAYERS",
                                      "MEMORYBLKS", "ANALOG", "DUALSHOCK", "NOTES"}));
}

TEST(ColumnMapping, CollectionProgramsNamesInTheirOrder) {
  // A game-collection tracker: Name, Platform, Genre, Publisher, Developer, ...
  EXPECT_EQ(Names({"Name", "Platform", "Genre", "Publisher", "Developer", "Number of Players",
                   "Description", "Rumble"}),
            (std::vector<std::string>{"TITLE", "-", "CATEGORY", "DISTRIBUTR", "DEVELOPER",
                                      "PLAYERS", "NOTES", "DUALSHOCK"}));
  // A library program: Game, Comments, Vibration, Analogue, Mem. Blocks.
  EXPECT_EQ(Names({"Comments", "Vibration", "Analogue", "Mem. Blocks", "Game", "Category"}),
            (std::vector<std::string>{"NOTES", "DUALSHOCK", "ANALOG", "MEMORYBLKS", "TITLE",
                                      "CATEGORY"}));
  // The program's own column captions.
  EXPECT_EQ(Names({"Title", "Distributor", "Memory Blocks", "Dual Shock", "Notes"}),
            (std::vector<std::string>{"TITLE", "DISTRIBUTR", "MEMORYBLKS", "DUALSHOCK", "NOTES"}));
}

TEST(ColumnMapping, AFieldTakesOneColumnAndItsOwnNameWins) {
  // "Title" names the field: it wins over "Name" before it; the second Genre is left out.
  EXPECT_EQ(Names({"Name", "Title", "Genre", "Category", "genre"}),
            (std::vector<std::string>{"-", "TITLE", "-", "CATEGORY", "-"}));
  EXPECT_EQ(Names({"", "???", "Rating", "Year"}), (std::vector<std::string>{"-", "-", "-", "-"}));
  EXPECT_EQ(catalog::FieldIndex(TitleFields(), "dual shock"), 7);
  EXPECT_EQ(catalog::FieldIndex(TitleFields(), "nope"), -1);
}

TEST(ColumnMapping, SynonymsOnlyForFieldsTheTableHas) {
  std::vector<TargetField> lookup = {{"CATEGORY", 'C', 30, ""}};
  EXPECT_EQ(MapColumns({"Name", "Genre"}, lookup), (std::vector<int>{-1, 0}));
}

TEST(LogicalValues, ListsWriteYesAndNoInManyWays) {
  for (const char* yes : {"yes", "Y", "TRUE", "t", "1", "x", " X ", "on"}) {
    bool value = false;
    EXPECT_TRUE(catalog::ParseLogical(yes, value)) << yes;
    EXPECT_TRUE(value) << yes;
  }
  for (const char* no : {"no", "N", "False", "f", "0", "", "off", "-"}) {
    bool value = true;
    EXPECT_TRUE(catalog::ParseLogical(no, value)) << no;
    EXPECT_FALSE(value) << no;
  }
  bool value = true;
  EXPECT_FALSE(catalog::ParseLogical("maybe", value));
  EXPECT_FALSE(value);
}

}  // namespace
