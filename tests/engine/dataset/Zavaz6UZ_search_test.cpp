// TDevazozDataSet's quick search, visible count, breakdowns and Find in the
// current order, over a small table with accented OEM text, and the digest they
// read (built in slices, a field turning to folded text, rows rewritten).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/dataset/Zavaz6UZ.h"
#include "engine/dataset/Zavaz6UZ_digest.h"
#include "engine/index/gs6_cdx.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/codepage.h"
#include "tests/support/dataset_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace {

using devazoz::TDevazozDataSet;
using platform::TVariant;
using qvx_test::DbfFixture;
using qvx_test::TempDir;
using Strings = std::vector<std::string>;

struct Game {
  const char* title;  // Windows-1252
  const char* category;
  const char* developer;
  const char* analog;
  bool deleted;
};

// Natural order; the table holds the OEM form of each text.
const Game kGames[] = {
    {"Tiny Tower", "Puzzle", "Nimble Bit", "T", false},
    {"Pok\xE9mon Snap", "Photography", "HAL Laboratory", "F", false},
    {"Crash Team Racing", "Racing", "Naughty Dog", "T", false},
    {"Tiny Arena", "Fighting", "Kestrel Byte", "F", false},
    {"POK\xC9MON Stadium", "Fighting", "HAL Laboratory", "T", false},
    {"F\xEAte Foraine", "Party", "\xC9quipe Rouge", "F", true},
    {"Gran Turismo", "Racing", "Polyphony", "T", false},
    {"Spyro the Dragon", "Platform", "Insomniac", "T", false},
    {"Crash Bandicoot", "Platform", "Naughty Dog", "F", false},
    {"\xD1"
     "and\xFA Runner",
     "Racing", "\xC9quipe Rouge", "T", false},
};

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DbfFixture f(
        0x03,
        {{"TITLE", 'C', 30}, {"CATEGORY", 'C', 15}, {"DEVELOPER", 'C', 20}, {"ANALOG", 'L', 1}});
    for (const Game& g : kGames)
      f.AddRecord(
          {platform::AnsiToOem(g.title), g.category, platform::AnsiToOem(g.developer), g.analog},
          g.deleted);
    const std::string path = dir.File("GAMES.DBF");
    f.Write(path);
    devazoz::GSO_dBaseFld table(path, false, true);
    devazoz::GSobjCDXFile cdx(&table, dir.File("GAMES.CDX"), true, true, true, false);
    cdx.AddTag("TITLE", "TITLE", false, true, "");
    cdx.AddTag("CATEGORY", "CATEGORY", false, true, "");
  }

  std::unique_ptr<TDevazozDataSet> Open(const std::string& tag = "TITLE") {
    auto ds = std::make_unique<TDevazozDataSet>();
    ds->SetDatabaseName(dir.path());
    ds->SetTableName("GAMES.DBF");
    ds->SetIndexFiles({"GAMES.CDX"});
    ds->SetIndexName(tag);
    ds->SetExclusive(true);
    ds->Open();
    return ds;
  }

  static std::string Title(platform::TDataSet& ds) { return ds.FieldByName("TITLE")->AsString(); }
  static Strings Titles(platform::TDataSet& ds) {
    Strings out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(Title(ds));
    return out;
  }
  static Strings TitlesBackwards(platform::TDataSet& ds) {
    Strings out;
    for (ds.Last(); !ds.Bof(); ds.Prior()) out.push_back(Title(ds));
    return out;
  }

  TempDir dir;
};

TEST_F(SearchTest, WordsMatchWithoutCaseAndAccentsInTagAndNaturalOrder) {
  auto ds = Open();
  EXPECT_EQ(ds->VisibleCount(), -1);  // the digest is not read yet
  ds->SetQuickSearch("pokemon");
  EXPECT_EQ(Titles(*ds), (Strings{"POK\xC9MON Stadium", "Pok\xE9mon Snap"}));
  EXPECT_EQ(TitlesBackwards(*ds), (Strings{"Pok\xE9mon Snap", "POK\xC9MON Stadium"}));
  EXPECT_EQ(ds->VisibleCount(), 2);
  ds->SetQuickSearch("POK\xC9");  // typed with its accent, in capitals
  EXPECT_EQ(ds->VisibleCount(), 2);
  ds->SetQuickSearch("nandu");
  EXPECT_EQ(Titles(*ds), (Strings{"\xD1"
                                  "and\xFA Runner"}));

  ds->SetIndexName("");
  ds->SetQuickSearch("crash");
  EXPECT_EQ(Titles(*ds), (Strings{"Crash Team Racing", "Crash Bandicoot"}));
  EXPECT_EQ(TitlesBackwards(*ds), (Strings{"Crash Bandicoot", "Crash Team Racing"}));
}

TEST_F(SearchTest, EveryWordMustMatchInSomeVisibleTextField) {
  auto ds = Open();
  ds->SetQuickSearch("  racing   crash ");  // title and category, any order
  EXPECT_EQ(Titles(*ds), (Strings{"Crash Team Racing"}));
  ds->SetQuickSearch("dog platform");  // developer and category
  EXPECT_EQ(Titles(*ds), (Strings{"Crash Bandicoot"}));
  ds->SetQuickSearch("equipe");  // the deleted record is hidden
  EXPECT_EQ(Titles(*ds), (Strings{"\xD1"
                                  "and\xFA Runner"}));
  ds->SetUseDeleted(true);
  EXPECT_EQ(ds->VisibleCount(), 2);
  ds->SetUseDeleted(false);
  ds->SetQuickSearch("tiny zelda");
  EXPECT_TRUE(ds->Eof() && ds->Bof());
  EXPECT_EQ(Titles(*ds), Strings{});
  EXPECT_EQ(ds->VisibleCount(), 0);

  // A field left out of the search fields is not looked in.
  ds->SetQuickSearchFields({"TITLE"});
  ds->SetQuickSearch("dog");
  EXPECT_EQ(ds->VisibleCount(), 0);
  ds->FieldByName("DEVELOPER")->SetVisible(false);
  ds->SetQuickSearchFields({});
  ds->SetQuickSearch("naughty");
  EXPECT_EQ(ds->VisibleCount(), 0);
  ds->SetQuickSearch("");
  EXPECT_EQ(ds->VisibleCount(), 9);
  EXPECT_EQ(Title(*ds), "Crash Bandicoot");
}

TEST_F(SearchTest, QuickSearchAndFilterBothApply) {
  auto ds = Open();
  ds->SetFilter("CATEGORY = 'Racing'");
  ds->SetFiltered(true);
  ds->SetQuickSearch("r");  // every racing title holds an r
  EXPECT_EQ(Titles(*ds), (Strings{"Crash Team Racing", "Gran Turismo",
                                  "\xD1"
                                  "and\xFA Runner"}));
  ds->SetQuickSearch("crash");
  EXPECT_EQ(Titles(*ds), (Strings{"Crash Team Racing"}));
  EXPECT_EQ(ds->VisibleCount(), 1);
  ds->SetFiltered(false);
  EXPECT_EQ(Titles(*ds), (Strings{"Crash Bandicoot", "Crash Team Racing"}));
  EXPECT_EQ(ds->VisibleCount(), 2);
}

TEST_F(SearchTest, CountsFollowFiltersDeletesEditsAppendsAndPack) {
  auto ds = Open();
  while (!ds->DoBackgroundWork([] { return false; })) {
  }
  EXPECT_FALSE(ds->BackgroundWorkPending());
  EXPECT_EQ(ds->RecordCount(), 10);  // the table's own count, deleted included
  EXPECT_EQ(ds->VisibleCount(), 9);
  ds->SetFilter("ANALOG");
  ds->SetFiltered(true);
  EXPECT_EQ(ds->VisibleCount(), 6);
  ds->SetFiltered(false);

  ds->SetQuickSearch("tiny");
  ds->First();
  ds->Delete();  // Tiny Arena
  EXPECT_EQ(ds->VisibleCount(), 1);
  EXPECT_EQ(Titles(*ds), (Strings{"Tiny Tower"}));
  ds->RecallRecord();  // nothing to recall on a live record: the count stays
  ds->SetUseDeleted(true);
  ds->First();
  EXPECT_EQ(Title(*ds), "Tiny Arena");
  ds->RecallRecord();
  ds->SetUseDeleted(false);
  EXPECT_EQ(ds->VisibleCount(), 2);

  // A title edited out of the search leaves the view; one added into it joins.
  ds->First();
  ds->Edit();
  ds->FieldByName("TITLE")->SetAsString("Small Arena");
  ds->Post();
  EXPECT_EQ(Titles(*ds), (Strings{"Tiny Tower"}));
  ds->Append();
  ds->FieldByName("TITLE")->SetAsString("Tiny Tanks");
  ds->FieldByName("CATEGORY")->SetAsString("Action");
  ds->Post();
  ds->Append();
  ds->FieldByName("TITLE")->SetAsString("Huge Tanks");
  ds->Post();
  EXPECT_EQ(Titles(*ds), (Strings{"Tiny Tanks", "Tiny Tower"}));
  EXPECT_EQ(ds->VisibleCount(), 2);
  ds->SetQuickSearch("tanks");
  EXPECT_EQ(ds->VisibleCount(), 2);

  ds->SetQuickSearch("");
  EXPECT_EQ(ds->VisibleCount(), 11);
  ds->First();
  ds->Delete();
  EXPECT_EQ(ds->VisibleCount(), 10);
  ds->SetQuickSearch("ra");
  const int before = ds->VisibleCount();
  ds->Pack();
  EXPECT_EQ(ds->RecordCount(), 10);
  EXPECT_EQ(ds->VisibleCount(), before);
  ds->SetQuickSearch("");
  EXPECT_EQ(ds->VisibleCount(), 10);
}

TEST_F(SearchTest, BreakdownsAgreeWithCountingTheRecords) {
  auto ds = Open();
  // Counted here by walking the view.
  auto count_by = [&](const char* field) {
    std::map<std::string, int64_t> counts;
    for (ds->First(); !ds->Eof(); ds->Next()) ++counts[ds->FieldByName(field)->AsString()];
    return counts;
  };
  auto as_map = [](const std::vector<std::pair<std::string, int64_t>>& shares) {
    return std::map<std::string, int64_t>(shares.begin(), shares.end());
  };
  for (const char* field : {"CATEGORY", "DEVELOPER", "ANALOG"})
    EXPECT_EQ(as_map(ds->Breakdown(field)), count_by(field)) << field;
  auto categories = ds->Breakdown("CATEGORY");
  ASSERT_FALSE(categories.empty());
  EXPECT_EQ(categories[0], (std::pair<std::string, int64_t>{"Racing", 3}));
  EXPECT_EQ(categories[1], (std::pair<std::string, int64_t>{"Fighting", 2}));  // ties by value
  EXPECT_EQ(as_map(ds->Breakdown("DEVELOPER"))["\xC9quipe Rouge"], 1);

  ds->SetFilter("ANALOG");
  ds->SetFiltered(true);
  ds->SetQuickSearch("a");
  for (const char* field : {"CATEGORY", "DEVELOPER", "ANALOG"})
    EXPECT_EQ(as_map(ds->Breakdown(field)), count_by(field)) << field;
  EXPECT_THROW(ds->Breakdown("NOSUCH"), std::exception);
}

TEST_F(SearchTest, FindTakesTheFirstMatchInTheCurrentOrderAndFindNextGoesOn) {
  auto ds = Open();
  const auto partial = platform::loPartialKey | platform::loCaseInsensitive;
  ASSERT_TRUE(ds->Locate("TITLE", TVariant(std::string("tiny")), partial));
  EXPECT_EQ(Title(*ds), "Tiny Arena");  // record 4, before Tiny Tower in title order
  ASSERT_TRUE(ds->LocateNext("TITLE", TVariant(std::string("tiny")), partial));
  EXPECT_EQ(Title(*ds), "Tiny Tower");
  EXPECT_FALSE(ds->LocateNext("TITLE", TVariant(std::string("tiny")), partial));
  EXPECT_EQ(Title(*ds), "Tiny Tower");  // not found: the record stays

  // Case-sensitive, by the category in title order; then in category order.
  ASSERT_TRUE(ds->Locate("CATEGORY", TVariant(std::string("Plat")), platform::loPartialKey));
  EXPECT_EQ(Title(*ds), "Crash Bandicoot");
  EXPECT_FALSE(ds->Locate("CATEGORY", TVariant(std::string("plat")), platform::loPartialKey));
  ds->SetIndexName("CATEGORY");
  ASSERT_TRUE(ds->Locate("TITLE", TVariant(std::string("CRASH")), partial));
  EXPECT_EQ(Title(*ds), "Crash Bandicoot");  // Platform comes before Racing ...
  ds->SetIndexName("");
  ASSERT_TRUE(ds->Locate("TITLE", TVariant(std::string("crash")), partial));
  EXPECT_EQ(Title(*ds), "Crash Team Racing");  // ... and record 3 before record 9
  ASSERT_TRUE(ds->LocateNext("TITLE", TVariant(std::string("crash")), partial));
  EXPECT_EQ(Title(*ds), "Crash Bandicoot");

  // Exact match: the whole field; Find Next finds the same title further on.
  ds->SetIndexName("TITLE");
  ASSERT_TRUE(
      ds->Locate("TITLE", TVariant(std::string("gran turismo")), platform::loCaseInsensitive));
  EXPECT_FALSE(
      ds->LocateNext("TITLE", TVariant(std::string("gran turismo")), platform::loCaseInsensitive));
  // Accents are not folded by Find: only the quick search ignores them.
  EXPECT_FALSE(ds->Locate("TITLE", TVariant(std::string("pokemon")), partial));
  EXPECT_TRUE(ds->Locate("TITLE", TVariant(std::string("pok\xE9mon")), partial));
  EXPECT_EQ(Title(*ds), "POK\xC9MON Stadium");
  // Within the quick search only; wildcards as before.
  ds->SetQuickSearch("racing");
  EXPECT_FALSE(ds->Locate("TITLE", TVariant(std::string("tiny")), partial));
  EXPECT_TRUE(ds->Locate("TITLE", TVariant(std::string("*runner")), partial));
  EXPECT_EQ(Title(*ds),
            "\xD1"
            "and\xFA Runner");
}

// ---------------------------------------------------------------------------
// The digest over a larger table

// One width per character, so that a column of width w takes w characters.
std::array<double, 256> OneEach() {
  std::array<double, 256> widths;
  widths.fill(1);
  return widths;
}

// The records whose text is too wide for a column, found from the digest: only
// texts longer than the column are judged (in the interface character set, as
// the field gives them), and the places given are the judged-wide records' ranks
// in the view, in its order, within its filter and without deleted records; a
// line break makes a text judged whatever its length, also after an edit.
TEST_F(SearchTest, WideTextsAreFoundFromTheDigestAtTheirPlacesInTheView) {
  auto ds = Open();
  std::vector<std::string> judged;
  auto wide_if_a = [&](size_t column, const std::string& text) {
    EXPECT_EQ(column, 0u);
    judged.push_back(text);
    return text.find('a') != std::string::npos || text.find('\n') != std::string::npos;
  };
  // The places of the titles `wide_if_a` calls wide among those longer than 15.
  auto expected = [&](TDevazozDataSet& view) {
    std::vector<int64_t> places;
    const Strings titles = Titles(view);
    for (size_t i = 0; i < titles.size(); ++i)
      if ((titles[i].size() > 15 && titles[i].find('a') != std::string::npos) ||
          titles[i].find('\n') != std::string::npos)
        places.push_back(int64_t(i));
    return places;
  };
  std::vector<int64_t> places;
  ASSERT_TRUE(ds->WideTextPlaces({{"TITLE", 15}}, OneEach(), wide_if_a, places));
  // "Crash Team Racing" and "Spyro the Dragon"; "Crash Bandicoot" is 15 long.
  EXPECT_EQ(places, expected(*ds));
  EXPECT_EQ(places.size(), 2u);
  std::sort(judged.begin(), judged.end());
  EXPECT_EQ(judged, (Strings{"Crash Team Racing", "Spyro the Dragon"}));

  // Widths by character, as stored in the interface's character set: an accented
  // capital as wide as 10 puts the two Pokemon titles over, judged in ANSI.
  std::array<double, 256> widths = OneEach();
  widths[0xC9] = 10;
  judged.clear();
  ASSERT_TRUE(ds->WideTextPlaces({{"TITLE", 15}}, widths, wide_if_a, places));
  EXPECT_NE(std::find(judged.begin(), judged.end(), "POK\xC9MON Stadium"), judged.end());
  // A listed field by its own values: the categories over 6 characters.
  judged.clear();
  ASSERT_TRUE(ds->WideTextPlaces(
      {{"CATEGORY", 6}}, OneEach(),
      [&](size_t, const std::string& text) {
        judged.push_back(text);
        return text == "Platform";
      },
      places));
  std::sort(judged.begin(), judged.end());
  judged.erase(std::unique(judged.begin(), judged.end()), judged.end());
  EXPECT_EQ(judged, (Strings{"Fighting", "Photography", "Platform"}));
  ASSERT_EQ(places.size(), 2u);
  for (int64_t place : places) {
    ASSERT_TRUE(ds->MoveToPlace(place));
    EXPECT_EQ(ds->FieldByName("CATEGORY")->AsString(), "Platform");
    const std::string there = Title(*ds);
    EXPECT_EQ(there, Titles(*ds)[size_t(place)]);
  }

  // A short title given a line break: judged though short.
  ASSERT_TRUE(ds->Locate("TITLE", TVariant(std::string("Tiny Arena")), 0));
  ds->Edit();
  ds->FieldByName("TITLE")->SetAsString("Tiny\nArena");
  ds->Post();
  // Under a filter, in category order.
  ds->SetIndexName("CATEGORY");
  ds->SetFilter("CATEGORY <> 'Puzzle'");
  ds->SetFiltered(true);
  judged.clear();
  ASSERT_TRUE(ds->WideTextPlaces({{"TITLE", 15}}, OneEach(), wide_if_a, places));
  EXPECT_EQ(places, expected(*ds));
  EXPECT_EQ(places.size(), 3u);
  EXPECT_NE(std::find(judged.begin(), judged.end(), "Tiny\nArena"), judged.end());
  for (int64_t place : places) {
    ASSERT_TRUE(ds->MoveToPlace(place));
    const std::string there = Title(*ds);
    EXPECT_EQ(there, Titles(*ds)[size_t(place)]);
  }
  EXPECT_FALSE(ds->MoveToPlace(int64_t(Titles(*ds).size())));
  // In natural order with the quick search on.
  ds->SetFiltered(false);
  ds->SetIndexName("");
  ds->SetQuickSearch("crash");
  ASSERT_TRUE(ds->WideTextPlaces({{"TITLE", 15}}, OneEach(), wide_if_a, places));
  EXPECT_EQ(places, expected(*ds));
  EXPECT_EQ(places, (std::vector<int64_t>{0}));
  // Not a string field, or a record filter event: not told.
  EXPECT_FALSE(ds->WideTextPlaces({{"ANALOG", 15}}, OneEach(), wide_if_a, places));
  ds->OnFilterRecord = [](platform::TDataSet&, bool& accept) { accept = true; };
  ds->SetFiltered(true);
  EXPECT_FALSE(ds->WideTextPlaces({{"TITLE", 15}}, OneEach(), wide_if_a, places));
}

class DigestTest : public ::testing::Test {
 protected:
  void SetUp() override { qvx_test::WriteNumbered(dir.path(), kRows); }
  void Open(TDevazozDataSet& ds) {
    ds.SetDatabaseName(dir.path());
    ds.SetTableName("NUMBERED.DBF");
    ds.SetIndexFiles({"NUMBERED.CDX"});
    ds.SetIndexName("TITLE");
    ds.SetExclusive(true);
    ds.Open();
  }
  static constexpr int kRows = 20000;  // about three blocks of 31-byte records
  TempDir dir;
};

TEST_F(DigestTest, SlicesBuildWhatOnePassBuildsAndTitlesTurnToText) {
  devazoz::GSO_dBaseFld table(dir.File("NUMBERED.DBF"), false, true);
  devazoz::TDevazozDigest whole, sliced;
  whole.Reset(table, true);
  sliced.Reset(table, true);
  EXPECT_TRUE(whole.Build(table, nullptr));
  int slices = 0;
  while (!sliced.Build(table, [] { return true; })) ++slices;
  EXPECT_GE(slices, 2);
  EXPECT_EQ(sliced.Rows(), kRows);
  const std::vector<int> both = {1, 2};
  for (const char* text : {"title 001999", "even 1999", "odd", "0000", "title"}) {
    auto words = devazoz::TDevazozDigest::Words(text);
    EXPECT_EQ(whole.Search(words, both).Words(), sliced.Search(words, both).Words()) << text;
  }
  EXPECT_EQ(whole.Search(devazoz::TDevazozDigest::Words("title 001999"), both).Count(), 1);
  EXPECT_EQ(whole.Search(devazoz::TDevazozDigest::Words("01999"), both).Count(), 11);
  EXPECT_EQ(whole.Search(devazoz::TDevazozDigest::Words("odd"), both).Count(), kRows / 2);
  EXPECT_EQ(whole.Search(devazoz::TDevazozDigest::Words("1"), {1}).Count(),
            whole.Search(devazoz::TDevazozDigest::Words("1"), both).Count());

  // Rows rewritten in a field kept as text, and appended.
  std::vector<uint8_t> record(size_t(table.RecordLength()), ' ');
  std::string title = "Renamed Title";
  std::copy(title.begin(), title.end(), record.begin() + 1);
  whole.Update(5, record.data());
  whole.Update(kRows + 1, record.data());
  whole.Update(kRows + 5, record.data());  // beyond the end: left for Build
  EXPECT_EQ(whole.Rows(), kRows + 1);
  auto renamed = whole.Search(devazoz::TDevazozDigest::Words("renamed"), {1});
  EXPECT_EQ(renamed.Count(), 2);
  EXPECT_TRUE(renamed.Has(4) && renamed.Has(kRows));
  EXPECT_EQ(whole.Search(devazoz::TDevazozDigest::Words("000005"), {1}).Count(), 0);
  EXPECT_TRUE(whole.RowMatches(5, devazoz::TDevazozDigest::Words("title renamed"), {1}));
  EXPECT_LT(whole.MemoryUsed(), size_t(kRows) * 24);
  auto shares = whole.Breakdown(1, devazoz::TDigestBits(whole.Rows(), true));
  ASSERT_EQ(shares.size(), size_t(kRows));  // row 5 and the new row share a title
  EXPECT_EQ(shares[0].count, 2);
  EXPECT_EQ(shares[0].row, 4);
}

TEST_F(DigestTest, DatasetCountsAndFindsThroughTheDigest) {
  TDevazozDataSet ds;
  Open(ds);
  int steps = 0;
  while (!ds.DoBackgroundWork([] { return true; })) ++steps;
  EXPECT_GE(steps, 2);
  EXPECT_EQ(ds.VisibleCount(), kRows);
  int expected = 0;
  for (int i = 1; i <= kRows; ++i) {
    char title[16];
    std::snprintf(title, sizeof title, "%06d", i);
    if (std::string(title).find("0199") != std::string::npos) ++expected;
  }
  ds.SetQuickSearch("title 0199");
  EXPECT_EQ(ds.VisibleCount(), expected);
  EXPECT_EQ(ds.FieldByName("TITLE")->AsString(), "Title 000199");
  ds.SetQuickSearch("");
  ds.Last();
  ASSERT_TRUE(ds.Locate("TITLE", TVariant(std::string("title 01")),
                        platform::loPartialKey | platform::loCaseInsensitive));
  EXPECT_EQ(ds.FieldByName("TITLE")->AsString(), "Title 010000");
  ASSERT_TRUE(ds.LocateNext("TITLE", TVariant(std::string("title 01")),
                            platform::loPartialKey | platform::loCaseInsensitive));
  EXPECT_EQ(ds.FieldByName("TITLE")->AsString(), "Title 010001");
}

// A reindex lets go of the digest while it builds the tags (their sort areas
// and the digest are not held at once) and the digest is read again afterwards:
// by the background work, or at once when a quick search needs it.
TEST_F(DigestTest, ReindexLetsGoOfTheDigestWhileItBuildsAndReadsItAgain) {
  TDevazozDataSet ds;
  Open(ds);
  ASSERT_EQ(ds.VisibleCount(true), kRows);
  const size_t whole = ds.DigestMemory();
  ASSERT_GT(whole, size_t(kRows) * 8);
  size_t most_held = 0;
  ds.OnStatus = [&](int32_t, int32_t, int32_t) {
    most_held = std::max(most_held, ds.DigestMemory());
  };
  ds.Reindex();
  EXPECT_LT(most_held, whole / 4);
  EXPECT_TRUE(ds.BackgroundWorkPending());
  EXPECT_EQ(ds.VisibleCount(), -1);
  while (!ds.DoBackgroundWork([] { return true; })) {
  }
  EXPECT_EQ(ds.VisibleCount(), kRows);

  ds.SetQuickSearch("title 0199");
  const int found = ds.VisibleCount();
  ASSERT_GT(found, 0);
  most_held = 0;
  ds.Reindex();
  EXPECT_LT(most_held, whole / 4);
  EXPECT_EQ(ds.VisibleCount(), found);
  EXPECT_EQ(ds.FieldByName("TITLE")->AsString().substr(0, 10), "Title 0001");
}

}  // namespace
