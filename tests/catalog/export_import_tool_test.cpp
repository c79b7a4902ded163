// devazoz export and import: a catalog taken out and brought into a new catalog dumps
// the same (notes and accented letters included); bad lists are refused before
// anything is written; a kill during an import leaves clean files and whole rows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>

#include "catalog/catalog_files.h"
#include "catalog/catalog_tables.h"
#include "engine/foundation/gs6_os.h"
#include "tests/support/dbf_fixture.h"

namespace {

using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

int64_t SizeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}
std::string Tool() { return QVX_DEVAZOZ_TOOL; }

void WriteText(const std::string& path, const std::string& text) {
  qvx_test::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

int Devazoz(const std::string& args, std::string* out, std::string* err = nullptr) {
  return RunCommand(Tool() + " " + args, out, err);
}

std::string Dump(const std::string& table, const std::string& options = "") {
  std::string out, err;
  EXPECT_EQ(Devazoz("dump " + options + " " + Quote(table), &out, &err), 0) << err;
  return out;
}

bool ChecksClean(const std::string& dir, std::string* report) {
  bool clean = true;
  for (const char* table : {"QVXCAT", "CATEGORY", "DEVDIST"}) {
    std::string out, err, base = dir + "/" + table;
    Devazoz("check " + Quote(base + ".DBF") + " " + Quote(base + ".CDX"), &out, &err);
    if (out != "ok\n") {
      clean = false;
      *report += std::string(table) + ": " + out + err;
    }
  }
  return clean;
}

// A catalog with what a user's catalog holds: accented letters in every text field,
// notes over several lines with quotes and commas, and when asked an empty title.
void WriteAccentedCatalog(const std::string& dir, bool untitled) {
  catalog::CreateCatalog(dir);
  catalog::CatalogTables tables(dir);
  auto add = [&](const std::string& title, const std::string& category, const std::string& notes,
                 bool analog) {
    tables.titles.Append();
    tables.titles.FieldByName("TITLE")->SetAsString(title);
    tables.titles.FieldByName("CATEGORY")->SetAsString(category);
    tables.titles.FieldByName("DEVELOPER")->SetAsString("Soci\xE9t\xE9 G\xE9n\xE9rale");
    tables.titles.FieldByName("PLAYERS")->SetAsString("1-4");
    tables.titles.FieldByName("ANALOG")->SetAsBoolean(analog);
    tables.titles.FieldByName("DUALSHOCK")->SetAsBoolean(!analog);
    if (!notes.empty()) tables.titles.FieldByName("NOTES")->SetAsString(notes);
    tables.titles.Post();
  };
  add("Pok\xE9mon Stadium", "R\xF4le", "Line one, with a comma\r\n\"Quoted\" line two\r\n", true);
  add("\xDC"
      "ber Racer",
      "Course", "", false);
  add("Se\xF1or \xC7"
      "a Va",
      "Aventure", "\xE9t\xE9 \xE0 la plage", true);
  if (untitled) add("", "", "a title-less record", false);
  add("Plain, with comma", "Action", std::string(5000, 'x'), false);
}

TEST(ExportImportTool, RoundTripThroughCsvDumpsTheSame) {
  TempDir a, b;
  WriteAccentedCatalog(a.path(), true);
  catalog::CreateCatalog(b.path());
  std::string out, err;
  ASSERT_EQ(
      Devazoz("export " + Quote(a.File("QVXCAT.DBF")) + " --output " + Quote(a.File("titles.csv")),
              &out, &err),
      0)
      << err;
  EXPECT_NE(err.find("5 records written"), std::string::npos) << err;
  std::string csv = qvx_test::ReadFileText(a.File("titles.csv"));
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "TITLE,CATEGORY,DEVELOPER,DISTRIBUTR,PLAYERS,MEMORYBLKS,ANALOG,DUALSHOCK,NOTES");
  // UTF-8 text out of the table's OEM bytes.
  EXPECT_NE(csv.find("Pok\xC3\xA9mon Stadium,R\xC3\xB4le,Soci\xC3\xA9t\xC3\xA9"),
            std::string::npos);
  EXPECT_NE(csv.find("\"Line one, with a comma\r\n\"\"Quoted\"\" line two\r\n\""),
            std::string::npos);
  // The title-less record is exported, and skipped on the way back in: add the
  // duplicates option to bring every row.
  ASSERT_EQ(Devazoz("import " + Quote(b.File("QVXCAT.DBF")) + " " + Quote(a.File("titles.csv")),
                    &out, &err),
            0)
      << err;
  EXPECT_NE(out.find("Titles added: 4"), std::string::npos) << out;
  EXPECT_NE(out.find("line 7: no title"), std::string::npos) << out;

  // Without the title-less record both catalogs dump the same, notes and all, down
  // to the memo block numbers.
  TempDir c, d;
  WriteAccentedCatalog(c.path(), false);
  catalog::CreateCatalog(d.path());
  ASSERT_EQ(
      Devazoz("export " + Quote(c.File("QVXCAT.DBF")) + " --output " + Quote(c.File("titles.csv")),
              &out, &err),
      0);
  ASSERT_EQ(Devazoz("import " + Quote(d.File("QVXCAT.DBF")) + " " + Quote(c.File("titles.csv")),
                    &out, &err),
            0)
      << err;
  EXPECT_EQ(Dump(d.File("QVXCAT.DBF"), "--memo"), Dump(c.File("QVXCAT.DBF"), "--memo"));
  EXPECT_EQ(Dump(d.File("QVXCAT.DBF")), Dump(c.File("QVXCAT.DBF")));
  EXPECT_NE(Dump(d.File("QVXCAT.DBF"), "--memo").find("Pok\x82mon"), std::string::npos);
  std::string report;
  EXPECT_TRUE(ChecksClean(d.path(), &report)) << report;
}

TEST(ExportImportTool, ExportsInTagOrderWithinAFilterAsJson) {
  TempDir a;
  WriteAccentedCatalog(a.path(), true);
  std::string out, err;
  ASSERT_EQ(
      Devazoz("export " + Quote(a.File("QVXCAT.DBF")) + " --index " + Quote(a.File("QVXCAT.CDX")) +
                  " --tag TITLE --filter 'ANALOG' --format json",
              &out, &err),
      0)
      << err;
  EXPECT_EQ(out.substr(0, 23), "[\n  {\"TITLE\": \"Pok\xC3\xA9mon");
  size_t first = out.find("Pok\xC3\xA9mon"), second = out.find("Se\xC3\xB1or");
  EXPECT_LT(first, second);
  EXPECT_EQ(out.find("Racer"), std::string::npos);
  EXPECT_NE(out.find("\"ANALOG\": true, \"DUALSHOCK\": false"), std::string::npos);
  EXPECT_NE(out.find("\"NOTES\": \"\xC3\xA9t\xC3\xA9 \xC3\xA0 la plage\""), std::string::npos);
  EXPECT_EQ(Devazoz("export " + Quote(a.File("QVXCAT.DBF")) + " --format xml", &out, &err), 2);
  EXPECT_EQ(Devazoz("export " + Quote(a.File("QVXCAT.DBF")) + " --tag TITLE", &out, &err), 2);
  // A failing export leaves no file behind.
  EXPECT_EQ(Devazoz("export " + Quote(a.File("QVXCAT.DBF")) + " --filter 'NOSUCH > 1' --output " +
                        Quote(a.File("out.csv")),
                    &out, &err),
            1);
  EXPECT_FALSE(devazoz::os::Exists(a.File("out.csv")));
  EXPECT_FALSE(devazoz::os::Exists(a.File("out.csv.part")));
}

TEST(ExportImportTool, BadListsAreRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  std::string before = qvx_test::ReadFileText(dir.File("QVXCAT.DBF"));
  std::string binary("\x1F\x8B\x08\x00\x00\x00\x00\x00", 8);
  struct Case {
    const char* name;
    std::string text;
    const char* message;
  } cases[] = {
      {"quotes.csv", "Title,Genre\nA,B\n\"Open,B\nC,D\n", "line 3: a quoted value"},
      {"stray.csv", "Title,Genre\nA,B\n\"Zelda\" II,B\n", "line 3: a quote is missing or stray"},
      {"utf8.csv", "\xEF\xBB\xBFTitle\nA\nCaf\xE9\n", "line 3: the text is not valid UTF-8"},
      {"nul.csv", std::string("Title\nA\nB\0C\n", 12), "line 3: the file holds NUL bytes"},
      {"long.csv", "Title\nA\n" + std::string(10 * 1024 * 1024, 'x') + "\n",
       "line 3: the row is longer than 1 MiB"},
      {"empty.csv", "", "The file is empty"},
      {"binary.csv", binary + std::string(100, 'z'), "line 1: the file holds byte 0x1F"},
  };
  for (const Case& c : cases) {
    WriteText(dir.File(c.name), c.text);
    std::string out, err;
    EXPECT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File(c.name)),
                      &out, &err),
              1)
        << c.name;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": " << err;
    EXPECT_NE(err.find("Nothing was imported."), std::string::npos) << c.name;
  }
  std::string out, err;
  EXPECT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("gone.csv")),
                    &out, &err),
            1);
  EXPECT_NE(err.find("Cannot open"), std::string::npos) << err;
  EXPECT_EQ(qvx_test::ReadFileText(dir.File("QVXCAT.DBF")), before);

  // Rows with other column counts are skipped and named; the rest comes in.
  WriteText(dir.File("ragged.csv"), "Title,Genre\nA,B\nC\nD,E,F\nG,H\n");
  ASSERT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("ragged.csv")),
                    &out, &err),
            0)
      << err;
  EXPECT_NE(out.find("Titles added: 2"), std::string::npos) << out;
  EXPECT_NE(out.find("line 3: 1 column where the header has 2"), std::string::npos) << out;
  EXPECT_NE(out.find("line 4: 3 columns where the header has 2"), std::string::npos) << out;
}

TEST(ExportImportTool, MapsEncodingAndSeparatorFromTheCommandLine) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  WriteText(dir.File("list.txt"), "Spiel|Art;Hersteller\nCaf\xE9|Bar;Rennen\n");
  std::string out, err;
  EXPECT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("list.txt")),
                    &out, &err),
            2);
  EXPECT_NE(err.find("no column of the list goes into TITLE"), std::string::npos) << err;
  ASSERT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("list.txt")) +
                        " --separator ';' --encoding cp1252 --map 'Spiel|Art=TITLE' --map 2=NOTES",
                    &out, &err),
            0)
      << err;
  EXPECT_NE(out.find("Windows-1252, semicolon-separated"), std::string::npos) << out;
  EXPECT_NE(out.find("Hersteller -> NOTES"), std::string::npos) << out;
  EXPECT_NE(Dump(dir.File("QVXCAT.DBF"), "--memo").find("Caf\x82|Bar\t"), std::string::npos);
  EXPECT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("list.txt")) +
                        " --map Nope=TITLE",
                    &out, &err),
            2);
  EXPECT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("list.txt")) +
                        " --map 1=NOPE",
                    &out, &err),
            2);
  EXPECT_EQ(Devazoz("import " + Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("list.txt")) +
                        " --encoding latin9",
                    &out, &err),
            2);
}

// The import killed at random moments: every time the catalog opens (rebuilding the
// indexes the kill left unfinished), holds the first n rows of the list, each whole,
// and afterwards checks clean.
TEST(ExportImportTool, AKillDuringAnImportLeavesCleanFilesAndWholeRows) {
  TempDir dir;
  std::string list = "Title,Genre,Publisher,Notes\n";
  const int kRows = 20000;
  for (int i = 0; i < kRows; ++i)
    list += "Killed title " + std::to_string(i) + ",Genre " + std::to_string(i % 50) + ",Company " +
            std::to_string(i % 70) + ",Notes of row " + std::to_string(i) + "\n";
  WriteText(dir.File("list.csv"), list);
  std::mt19937 random(24);
  int killed_mid_way = 0, partial = 0;
  std::string rounds;  // what each round saw, for a failure message
  for (int round = 0; round < 12; ++round) {
    TempDir cat;
    catalog::CreateCatalog(cat.path());
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
      execl(QVX_DEVAZOZ_TOOL, "devazoz", "import", cat.File("QVXCAT.DBF").c_str(),
            dir.File("list.csv").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // The kill falls a random time after the first row reached the table, however
    // long the tool takes to start and read the list (a sanitizer build is slow).
    const int64_t empty_size = SizeOf(cat.File("QVXCAT.DBF"));
    int status = 0;
    bool ended = false;
    for (int waited = 0; waited < 60000 && !ended; ++waited) {
      if (SizeOf(cat.File("QVXCAT.DBF")) > empty_size) break;
      ended = waitpid(child, &status, WNOHANG) == child;
      usleep(1000);
    }
    ASSERT_FALSE(ended) << "round " << round << ": the import ended before its first row";
    const int delay_us = std::uniform_int_distribution<int>(0, 150000)(random);
    usleep(useconds_t(delay_us));
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++killed_mid_way;
    rounds += " [" + std::to_string(round) + ": " + (WIFSIGNALED(status) ? "killed" : "ended") +
              " " + std::to_string(delay_us / 1000) + " ms after the first row, ";
    {
      catalog::CatalogTables tables(cat.path());
      int n = 0;
      for (tables.titles.First(); !tables.titles.Eof(); tables.titles.Next(), ++n) {
        ASSERT_EQ(tables.titles.FieldByName("TITLE")->AsString(),
                  "Killed title " + std::to_string(n))
            << "round " << round;
        ASSERT_EQ(tables.titles.FieldByName("NOTES")->AsString(),
                  "Notes of row " + std::to_string(n));
        ASSERT_EQ(tables.titles.FieldByName("DISTRIBUTR")->AsString(),
                  "Company " + std::to_string(n % 70));
      }
      EXPECT_EQ(tables.titles.RecordCount(), n);
      if (n > 0 && n < kRows) ++partial;
      rounds += std::to_string(n) + " rows]";
      // Every row's lookup entries went in before the row itself.
      EXPECT_GE(tables.categories.RecordCount(), std::min(n, 50));
      EXPECT_GE(tables.companies.RecordCount(), std::min(n, 70));
      // The titles are found through the index too.
      tables.titles.SetIndexName("TITLE");
      if (n > 0) {
        EXPECT_TRUE(tables.titles.Locate(
            "TITLE", platform::TVariant("Killed title " + std::to_string(n - 1)),
            platform::TLocateOptions()));
      }
    }
    std::string report;
    EXPECT_TRUE(ChecksClean(cat.path(), &report)) << "round " << round << ": " << report;
  }
  std::printf("import killed:%s\n", rounds.c_str());
  EXPECT_GT(killed_mid_way, 6) << rounds;
  // Most kills fell inside the run of posts, not before or after it.
  EXPECT_GE(partial, 6) << rounds;
}

}  // namespace
