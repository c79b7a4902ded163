// The first reading of a list: separator and character set as other programs' exports
// come, the preview, and the files that are refused before anything is written.
#include "catalog/csv_survey.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "catalog/text_encoding.h"
#include "tests/support/dbf_fixture.h"

namespace {

using catalog::Encoding;
using catalog::SurveyCsv;

catalog::SourceOpener Memory(const std::string& text) {
  return [text]() -> std::unique_ptr<catalog::ByteSource> {
    return std::make_unique<catalog::MemorySource>(text);
  };
}

catalog::CsvSurvey Survey(const std::string& text, std::optional<Encoding> encoding = {},
                          std::optional<char> separator = {}) {
  return SurveyCsv(Memory(text), encoding, separator, 3);
}

TEST(Utf8Validity, AcceptsWellFormedTextOnly) {
  EXPECT_TRUE(catalog::IsValidUtf8("plain"));
  EXPECT_TRUE(catalog::IsValidUtf8("Pok\xC3\xA9mon \xE2\x82\xAC \xF0\x9F\x8E\xAE"));
  EXPECT_FALSE(catalog::IsValidUtf8("Pok\xE9mon"));         // Windows-1252 é
  EXPECT_FALSE(catalog::IsValidUtf8("\xC0\xAF"));           // overlong
  EXPECT_FALSE(catalog::IsValidUtf8("\xE0\x80\xAF"));       // overlong
  EXPECT_FALSE(catalog::IsValidUtf8("\xED\xA0\x80"));       // surrogate
  EXPECT_FALSE(catalog::IsValidUtf8("\xF4\x90\x80\x80"));   // above U+10FFFF
  EXPECT_FALSE(catalog::IsValidUtf8("ends in \xE2\x82"));   // cut short
  EXPECT_FALSE(catalog::IsValidUtf8("\x80 continuation"));  // no lead byte
  EXPECT_EQ(catalog::ToAnsi("Pok\xC3\xA9mon \xE2\x82\xAC \xE2\x98\x83", Encoding::kUtf8),
            "Pok\xE9mon \x80 ?");
  EXPECT_EQ(catalog::ToAnsi("Pok\xE9mon", Encoding::kCp1252), "Pok\xE9mon");
}

TEST(CsvSurvey, DetectsSeparatorsOfOtherProgramsExports) {
  // A spreadsheet in a decimal-comma locale: semicolons, commas inside titles.
  auto semicolon = Survey("Name;Genre;Publisher\nZelda, The;Action;Nintendo\nTetris;Puzzle;EA\n");
  EXPECT_EQ(semicolon.format.separator, ';');
  EXPECT_EQ(semicolon.headers, (std::vector<std::string>{"Name", "Genre", "Publisher"}));
  EXPECT_EQ(semicolon.preview[0][0], "Zelda, The");
  // Tabs, with semicolons inside values.
  EXPECT_EQ(Survey("Title\tNotes\nA\tx;y;z\nB\tw\n").format.separator, '\t');
  // Commas, quoted values holding the other candidates.
  EXPECT_EQ(Survey("Title,Notes\n\"A;B\tC\",n\nD,\"e;f\"\n").format.separator, ',');
  // One column: the list of titles alone.
  auto single = Survey("Title\nCrash; Bandicoot\nSpyro\n");
  EXPECT_EQ(single.format.separator, ',');
  EXPECT_EQ(single.rows, 2);
  // A separator given is used as it is.
  EXPECT_EQ(Survey("a;b\n1;2\n", std::nullopt, ',').headers.size(), 1u);
}

TEST(CsvSurvey, DetectsTheCharacterSet) {
  auto utf8 = Survey("Title\nPok\xC3\xA9mon\n");
  EXPECT_EQ(utf8.format.encoding, Encoding::kUtf8);
  EXPECT_EQ(utf8.preview[0][0], "Pok\xE9mon");
  auto bom = Survey("\xEF\xBB\xBFTitle\nA\n");
  EXPECT_TRUE(bom.bom);
  EXPECT_EQ(bom.headers[0], "Title");
  auto ansi = Survey("Title;Genre\nPok\xE9mon;Aventure\n");
  EXPECT_EQ(ansi.format.encoding, Encoding::kCp1252);
  EXPECT_EQ(ansi.preview[0][0], "Pok\xE9mon");
  // Windows-1252 far down a long file still decides the whole file.
  std::string long_list = "Title\n";
  for (int i = 0; i < 5000; ++i) long_list += "Title " + std::to_string(i) + "\n";
  EXPECT_EQ(Survey(long_list + "Caf\xE9\n").format.encoding, Encoding::kCp1252);
  EXPECT_TRUE(Survey(long_list + "Caf\xE9\n").error.empty());
  // The user's choice holds.
  EXPECT_EQ(Survey("Title\nPok\xC3\xA9mon\n", Encoding::kCp1252).preview[0][0], "Pok\xC3\xA9mon");
}

TEST(CsvSurvey, InvalidUtf8IsAnErrorOnlyWhereUtf8IsCertain) {
  std::string bad = "\xEF\xBB\xBFTitle\nGood\n\nCaf\xE9\n";
  auto with_bom = Survey(bad);
  EXPECT_NE(with_bom.error.find("line 4: the text is not valid UTF-8"), std::string::npos)
      << with_bom.error;
  auto chosen = Survey("Title\nCaf\xE9\n", Encoding::kUtf8);
  EXPECT_NE(chosen.error.find("line 2"), std::string::npos);
  EXPECT_TRUE(Survey(bad, Encoding::kCp1252).error.empty());
}

TEST(CsvSurvey, CountsRowsAndRaggedRowsAndRefusesEmptyFiles) {
  auto ragged = Survey("a,b,c\n1,2,3\n1,2\n1,2,3,4\n");
  EXPECT_TRUE(ragged.error.empty());
  EXPECT_EQ(ragged.rows, 3);
  EXPECT_EQ(ragged.ragged_rows, 2);
  EXPECT_EQ(ragged.first_ragged_line, 3);
  EXPECT_EQ(ragged.preview_lines, (std::vector<int64_t>{2, 3, 4}));
  EXPECT_NE(Survey("").error.find("The file is empty"), std::string::npos);
  EXPECT_NE(Survey("\n\r\n").error.find("The file is empty"), std::string::npos);
  EXPECT_TRUE(Survey("Title,Genre\n").error.empty());
  EXPECT_EQ(Survey("Title,Genre\n").rows, 0);
  // A long file reports its bytes and can be stopped.
  std::string list = "Title\n";
  for (int i = 0; i < 5000; ++i) list += "T" + std::to_string(i) + "\n";
  int64_t last_done = 0, last_total = 0;
  auto stopped = SurveyCsv(Memory(list), {}, {}, 3, [&](int64_t done, int64_t total) {
    last_done = done;
    last_total = total;
    return done < 10000;
  });
  EXPECT_EQ(stopped.error, catalog::kSurveyCancelled);
  EXPECT_EQ(last_total, int64_t(list.size()));
  EXPECT_GE(last_done, 10000);
}

TEST(CsvSurvey, BinaryAndBrokenFilesAreRefusedWithTheirLine) {
  std::string png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
  EXPECT_NE(Survey(png).error.find("line 2: the file holds byte 0x1A"), std::string::npos)
      << Survey(png).error;
  EXPECT_NE(Survey(std::string("Title\nA\0B\n", 10)).error.find("line 2"), std::string::npos);
  EXPECT_NE(Survey("Title\n\"open\n").error.find("line 2: a quoted value"), std::string::npos);
}

TEST(CsvSurvey, FilesThatCannotBeReadOrVanishAreNamed) {
  qvx_test::TempDir dir;
  auto missing = SurveyCsv(catalog::FileOpener(dir.File("none.csv")), {}, {}, 3);
  EXPECT_NE(missing.error.find("Cannot open"), std::string::npos);
  EXPECT_NE(missing.error.find("none.csv"), std::string::npos);
  auto folder = SurveyCsv(catalog::FileOpener(dir.path()), {}, {}, 3);
  EXPECT_NE(folder.error.find("not a file"), std::string::npos);
  // A file cut short after it was opened (a removed stick, a network drive gone).
  std::string path = dir.File("list.csv");
  std::string text = "Title\n";
  for (int i = 0; i < 200000; ++i) text += "A title " + std::to_string(i) + "\n";
  qvx_test::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
  catalog::FileSource source(path);
  char buffer[4096];
  ASSERT_EQ(source.Read(buffer, sizeof buffer), sizeof buffer);
  ASSERT_EQ(truncate(path.c_str(), 10000), 0);
  try {
    while (source.Read(buffer, sizeof buffer) > 0) {
    }
    FAIL() << "the shortened file was read as if whole";
  } catch (const catalog::EFileError& e) {
    EXPECT_NE(std::string(e.what()).find("became shorter while it was read"), std::string::npos);
  }
}

}  // namespace
