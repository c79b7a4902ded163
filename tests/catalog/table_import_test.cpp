// Importing lists into a catalog: other programs' exports, the skip and cut rules and
// their summary, lookup entries, undo, and runs that end early (Cancel, a file that
// vanishes, a full disk) leaving whole rows and clean files.
#include "catalog/table_import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "catalog/catalog_files.h"
#include "catalog/catalog_tables.h"
#include "catalog/sample_catalog.h"
#include "engine/foundation/gs6_os.h"
#include "tests/support/dbf_fixture.h"

namespace {

using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

void WriteText(const std::string& path, const std::string& text) {
  qvx_test::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// "ok\n" when the catalog's three tables and indexes check clean.
std::string CheckCatalog(const std::string& dir) {
  std::string all;
  for (const char* table : {"QVXCAT", "CATEGORY", "DEVDIST"}) {
    std::string out, err;
    std::string base = dir + "/" + table;
    RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " check " + Quote(base + ".DBF") + " " +
                   Quote(base + ".CDX"),
               &out, &err);
    if (out != "ok\n") all += std::string(table) + ": " + out + err;
  }
  return all.empty() ? "ok\n" : all;
}

std::string Dump(const std::string& table, const std::string& options = "--memo") {
  std::string out, err;
  EXPECT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " dump " + options + " " + Quote(table),
                       &out, &err),
            0)
      << err;
  return out;
}

struct Outcome {
  catalog::ImportSummary summary;
  catalog::ImportLog log;
};

// Surveys and imports the list into the catalog in dir with the automatic mapping.
Outcome Import(const std::string& dir, const std::string& list, bool add_duplicates = false,
               const catalog::Progress& progress = nullptr) {
  catalog::CatalogTables tables(dir);
  catalog::TableImport import(tables.titles, tables.Categories(), tables.Companies());
  catalog::CsvSurvey survey = catalog::SurveyCsv(catalog::FileOpener(list), {}, {});
  EXPECT_EQ(survey.error, "");
  catalog::ImportChoices choices;
  choices.format = survey.format;
  choices.columns = catalog::MapColumns(survey.headers, import.Fields());
  choices.add_duplicates = add_duplicates;
  catalog::FileSource source(list);
  Outcome run;
  catalog::BulkWork work({&tables.titles, tables.Categories(), tables.Companies()});
  run.summary = import.Run(source, choices, survey.rows, progress);
  catalog::EndImportWork(work, run.summary);
  EXPECT_EQ(run.summary.indexes_failed, "");
  run.log = import.Log();
  return run;
}

// Every title record as "TITLE|CATEGORY|...|NOTES" in the interface's ANSI set.
std::vector<std::string> Titles(const std::string& dir) {
  catalog::CatalogTables tables(dir);
  std::vector<std::string> rows;
  for (tables.titles.First(); !tables.titles.Eof(); tables.titles.Next()) {
    std::string row;
    for (int i = 0; i < tables.titles.FieldCount(); ++i)
      row += (i ? "|" : "") + tables.titles.Fields(i)->AsString();
    rows.push_back(row);
  }
  return rows;
}

TEST(Import, AListFromAnotherCollectionProgramInWindows1252WithSemicolons) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  WriteText(dir.File("games.csv"),
            "Name;Platform;Genre;Publisher;Developer;Number of players;Description;Vibration;"
            "Analogue\r\n"
            "Pok\xE9mon Snap;N64;Photo;Nintendo;HAL;1;\"Fotos, \"\"Zoom\"\"\r\nund mehr\";Ja;x\r\n"
            "Caf\xE9 Racer;PS1;Racing;Sony;Studio \xC4;1-2;;no;\r\n");
  Outcome run = Import(dir.path(), dir.File("games.csv"));
  EXPECT_EQ(run.summary.rows_read, 2);
  EXPECT_EQ(run.summary.added, 2);
  EXPECT_EQ(run.summary.stopped, "");
  // "Ja" is no yes/no form this program knows: counted, left false.
  EXPECT_EQ(run.summary.values_not_understood, 1);
  EXPECT_EQ(Titles(dir.path()),
            (std::vector<std::string>{
                "Pok\xE9mon Snap|Photo|HAL|Nintendo|1||True|False|Fotos, \"Zoom\"\r\nund mehr",
                "Caf\xE9 Racer|Racing|Studio \xC4|Sony|1-2||False|False|"}));
  EXPECT_EQ(run.summary.categories_added, 2);
  EXPECT_EQ(run.summary.companies_added, 4);
  // The table holds the OEM letters the program writes (é is 0x82 there).
  EXPECT_NE(Dump(dir.File("QVXCAT.DBF")).find("Pok\x82mon Snap"), std::string::npos);
  EXPECT_EQ(CheckCatalog(dir.path()), "ok\n");
}

TEST(Import, SkipsCutsAndAddsLookupsAsTheSummarySays) {
  TempDir dir;
  catalog::CreateSampleCatalog(dir.path());
  std::string long_title(50, 'L');
  WriteText(dir.File("list.csv"),
            "Title,Category,Developer,Distributor,Players,Notes\n"
            "Crimson Harbor,Action,Amber Fox Works,Iron Tulip,1,already there\n"  // line 2
            ",Action,Nobody,Nobody,1,no title\n"                                  // 3
            "   ,Action,Nobody,Nobody,1,blank title\n"                            // 4
            "New One,Brand New Genre,Amber Fox Works,New Publisher,123456,\n"     // 5
            "New One,Action,,,2,same title again in the list\n"                   // 6
            "Short,row\n"                                                         // 7
                + long_title + ",Action,Amber Fox Works,Iron Tulip,1,\n");        // 8
  Outcome run = Import(dir.path(), dir.File("list.csv"));
  const catalog::ImportSummary& s = run.summary;
  EXPECT_EQ(s.rows_read, 7);
  EXPECT_EQ(s.added, 3);
  EXPECT_EQ(s.skipped, 4);
  ASSERT_EQ(s.first_skipped.size(), 4u);
  EXPECT_EQ(s.first_skipped[0].line, 2);
  EXPECT_EQ(s.first_skipped[0].reason, "\"Crimson Harbor\" is already in the catalog");
  EXPECT_EQ(s.first_skipped[1].line, 3);
  EXPECT_EQ(s.first_skipped[1].reason, "no title");
  EXPECT_EQ(s.first_skipped[2].line, 4);
  EXPECT_EQ(s.first_skipped[3].line, 7);
  EXPECT_EQ(s.first_skipped[3].reason, "2 columns where the header has 6");
  // The long title and PLAYERS 123456 (5 characters) were cut.
  EXPECT_EQ(s.values_cut, 2);
  EXPECT_EQ(s.categories_added, 1);
  EXPECT_EQ(s.companies_added, 1);
  std::vector<std::string> titles = Titles(dir.path());
  ASSERT_EQ(titles.size(), 48u + 3u);
  EXPECT_EQ(titles[48],
            "New One|Brand New Genre|Amber Fox Works|New Publisher|12345||False|False|");
  EXPECT_EQ(titles[49].substr(0, 14), "New One|Action");
  EXPECT_EQ(titles[50].substr(0, 41), std::string(40, 'L') + "|");
  std::vector<std::string> lines = catalog::SummaryLines(s);
  EXPECT_EQ(lines[0], "Rows read: 7");
  EXPECT_EQ(lines[1], "Titles added: 3");
  EXPECT_EQ(lines[2], "Rows skipped: 4");
  EXPECT_EQ(lines[3], "    line 2: \"Crimson Harbor\" is already in the catalog");
  EXPECT_EQ(CheckCatalog(dir.path()), "ok\n");

  // With duplicates wanted, the same list adds its titles again.
  Outcome again = Import(dir.path(), dir.File("list.csv"), true);
  EXPECT_EQ(again.summary.added, 4);
  EXPECT_EQ(again.summary.categories_added, 0);
}

// In a catalog large enough that the titles already there are sorted in pieces
// and merged, a title is found wherever it falls.
TEST(Import, TitlesOfALargeCatalogAreFoundWhereverTheySort) {
  TempDir dir;
  catalog::WriteSampleCatalog(dir.path(), 300000);
  std::string list = "Title\n";
  {
    catalog::CatalogTables tables(dir.path());
    for (int n : {1, 2, 77777, 131072, 131073, 150000, 262144, 299999, 300000}) {
      tables.titles.SetRecNo(n);
      list += "\"" + tables.titles.FieldByName("TITLE")->AsString() + "\"\n";
    }
  }
  list += "Not In The Sample\n";
  WriteText(dir.File("list.csv"), list);
  int64_t reports = 0;
  Outcome run = Import(dir.path(), dir.File("list.csv"), false, [&](int64_t, int64_t) {
    ++reports;
    return true;
  });
  EXPECT_EQ(run.summary.skipped, 9);
  EXPECT_EQ(run.summary.added, 1);
  // The walk and the sort of 300,000 titles report as they go.
  EXPECT_GT(reports, 300000 / (catalog::kProgressStep * 64));
}

TEST(Import, UndoDeletesExactlyWhatTheImportAdded) {
  TempDir dir;
  catalog::CreateSampleCatalog(dir.path());
  std::string before = Dump(dir.File("QVXCAT.DBF"));
  std::string categories_before = Dump(dir.File("CATEGORY.DBF"));
  std::string companies_before = Dump(dir.File("DEVDIST.DBF"));
  std::string list = "Title,Genre,Publisher\n";
  for (int i = 0; i < 300; ++i)
    list += "Imported " + std::to_string(i) + ",Genre " + std::to_string(i % 7) + ",Iron Tulip\n";
  WriteText(dir.File("list.csv"), list);
  Outcome run = Import(dir.path(), dir.File("list.csv"));
  ASSERT_EQ(run.summary.added, 300);
  ASSERT_EQ(run.log.records.size(), 300u);
  EXPECT_EQ(run.log.records.front(), 49);
  EXPECT_EQ(run.log.records.back(), 348);
  EXPECT_EQ(run.log.categories.size(), 7u);
  EXPECT_TRUE(run.log.companies.empty());
  {
    catalog::CatalogTables tables(dir.path());
    int64_t reports = 0;
    EXPECT_EQ(catalog::UndoImport(run.log, tables.titles, tables.Categories(), tables.Companies(),
                                  [&](int64_t, int64_t) {
                                    ++reports;
                                    return true;
                                  }),
              307);
    EXPECT_GT(reports, 0);
  }
  EXPECT_EQ(Dump(dir.File("QVXCAT.DBF")), before);
  EXPECT_EQ(Dump(dir.File("CATEGORY.DBF")), categories_before);
  EXPECT_EQ(Dump(dir.File("DEVDIST.DBF")), companies_before);
  // Deleted as Delete deletes: marked, still in the file until a pack.
  std::string with_deleted = Dump(dir.File("QVXCAT.DBF"), "--deleted");
  EXPECT_NE(with_deleted.find("348\t*\tImported 299"), std::string::npos);
  EXPECT_EQ(CheckCatalog(dir.path()), "ok\n");
}

TEST(Import, CancelLeavesWholeRowsAndSaysSo) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  std::string list = "Title,Notes\n";
  for (int i = 0; i < 1000; ++i)
    list += "Title " + std::to_string(i) + ",\"Notes of " + std::to_string(i) + "\"\n";
  WriteText(dir.File("list.csv"), list);
  int64_t last_total = 0;
  Outcome run = Import(dir.path(), dir.File("list.csv"), false, [&](int64_t done, int64_t total) {
    last_total = total;
    return done < 200;
  });
  EXPECT_EQ(last_total, 1000);
  EXPECT_TRUE(run.summary.cancelled);
  EXPECT_EQ(run.summary.rows_read, 256);  // the fourth report, after row 256, said stop
  EXPECT_EQ(run.summary.added, 256);
  std::vector<std::string> titles = Titles(dir.path());
  ASSERT_EQ(titles.size(), 256u);
  EXPECT_EQ(titles[255], "Title 255||||||False|False|Notes of 255");
  EXPECT_NE(catalog::SummaryLines(run.summary).back().find("cancelled after 256 rows"),
            std::string::npos);
  EXPECT_EQ(CheckCatalog(dir.path()), "ok\n");
}

TEST(Import, AFileThatVanishesWhileReadStopsTheImportAtAWholeRow) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  std::string list = "Title\n";
  for (int i = 0; i < 300000; ++i) list += "A rather long title number " + std::to_string(i) + "\n";
  WriteText(dir.File("list.csv"), list);
  bool cut = false;
  Outcome run = Import(dir.path(), dir.File("list.csv"), false, [&](int64_t done, int64_t) {
    // The list is cut short under the import, in the middle of a row.
    if (done > 0 && !cut) cut = truncate(dir.File("list.csv").c_str(), 1024 * 1024 + 7) == 0;
    return true;
  });
  ASSERT_TRUE(cut);
  EXPECT_NE(run.summary.stopped.find("became shorter while it was read"), std::string::npos)
      << run.summary.stopped;
  EXPECT_GT(run.summary.added, 0);
  EXPECT_LT(run.summary.added, 300000);
  std::vector<std::string> titles = Titles(dir.path());
  ASSERT_EQ(int64_t(titles.size()), run.summary.added);
  EXPECT_EQ(titles.back().substr(0, titles.back().find('|')),
            "A rather long title number " + std::to_string(run.summary.added - 1));
  EXPECT_NE(catalog::SummaryLines(run.summary).back().find("The import stopped early"),
            std::string::npos);
  EXPECT_EQ(CheckCatalog(dir.path()), "ok\n");
}

constexpr int64_t kNoLimit = -1;

// Imports dir/list.csv as the program does, with the given columns, while the disk
// has room for rows_space more bytes as the rows go in and for end_space more as the
// held index writes go out (kNoLimit: room enough). The limit is lifted before the
// tables close.
catalog::ImportSummary ImportOnAFullDisk(const std::string& dir, const std::vector<int>& columns,
                                         int64_t rows, int64_t rows_space, int64_t end_space) {
  catalog::ImportSummary summary;
  catalog::CatalogTables tables(dir);
  catalog::TableImport import(tables.titles, tables.Categories(), tables.Companies());
  catalog::ImportChoices choices;
  choices.columns = columns;
  catalog::FileSource source(dir + "/list.csv");
  catalog::BulkWork work({&tables.titles, tables.Categories(), tables.Companies()});
  devazoz::os::SetSpaceLimit(rows_space);
  summary = import.Run(source, choices, rows, nullptr);
  devazoz::os::SetSpaceLimit(end_space);
  catalog::EndImportWork(work, summary);
  devazoz::os::SetSpaceLimit(kNoLimit);
  return summary;
}

TEST(Import, AFullDiskStopsTheImportNamingTheLine) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  std::string list = "Title,Notes\n";
  for (int i = 0; i < 2000; ++i)
    list += "Title " + std::to_string(i) + "," + std::string(300, 'n') + "\n";
  WriteText(dir.File("list.csv"), list);
  catalog::ImportSummary summary =
      ImportOnAFullDisk(dir.path(), {0, 8}, 2000, 200 * 1024, kNoLimit);
  EXPECT_EQ(summary.indexes_failed, "");
  EXPECT_NE(summary.stopped.find("line " + std::to_string(summary.added + 2) + ": "),
            std::string::npos)
      << summary.stopped;
  EXPECT_GT(summary.added, 0);
  EXPECT_LT(summary.added, 2000);
  EXPECT_EQ(int64_t(Titles(dir.path()).size()), summary.added);
  EXPECT_EQ(CheckCatalog(dir.path()), "ok\n");
}

// The rows went in, but the disk is full when the held index writes go out: the
// summary says so, and the next open makes the indexes again from the table.
TEST(Import, IndexesThatCannotBeWrittenAtTheEndAreSaidAndMadeAgain) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  std::string list = "Title,Genre\n";
  for (int i = 0; i < 3000; ++i)
    list += "Title " + std::to_string(i) + ",Genre " + std::to_string(i % 7) + "\n";
  WriteText(dir.File("list.csv"), list);
  catalog::ImportSummary summary = ImportOnAFullDisk(dir.path(), {0, 1}, 3000, kNoLimit, 0);
  EXPECT_EQ(summary.added, 3000);
  EXPECT_EQ(summary.stopped, "");
  EXPECT_NE(summary.indexes_failed, "");
  EXPECT_NE(catalog::SummaryLines(summary).back().find("could not be brought up to date"),
            std::string::npos);
  {
    catalog::CatalogTables tables(dir.path());
    EXPECT_EQ(tables.titles.RecordCount(), 3000);
    tables.titles.SetIndexName("TITLE");
    EXPECT_TRUE(tables.titles.Locate("TITLE", platform::TVariant("Title 2999"), {}));
    tables.categories.SetIndexName("CATEGORY");
    EXPECT_TRUE(tables.categories.Locate("CATEGORY", platform::TVariant("Genre 6"), {}));
  }
  EXPECT_EQ(CheckCatalog(dir.path()), "ok\n");
}

}  // namespace
