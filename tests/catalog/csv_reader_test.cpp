// The CSV reader against RFC 4180 lists and the damaged files users bring: every
// refusal names the line a text editor would show.
#include "catalog/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using catalog::CsvReader;
using catalog::ECsvError;
using Rows = std::vector<std::vector<std::string>>;

// Hands out its bytes a few at a time, so that line breaks and doubled quotes fall
// across the reader's refills.
class TricklingSource : public catalog::ByteSource {
 public:
  TricklingSource(std::string bytes, size_t step) : bytes_(std::move(bytes)), step_(step) {}
  size_t Read(char* buffer, size_t count) override {
    size_t n = std::min({count, step_, bytes_.size() - at_});
    bytes_.copy(buffer, n, at_);
    at_ += n;
    return n;
  }
  uint64_t Size() const override { return bytes_.size(); }

 private:
  std::string bytes_;
  size_t step_;
  size_t at_ = 0;
};

Rows ReadAll(const std::string& text, char separator = ',', std::vector<int64_t>* lines = nullptr,
             size_t step = 0) {
  catalog::MemorySource memory(text);
  TricklingSource trickle(text, step);
  catalog::ByteSource& source = step > 0 ? static_cast<catalog::ByteSource&>(trickle) : memory;
  CsvReader reader(source, separator);
  Rows rows;
  std::vector<std::string> row;
  while (reader.Next(row)) {
    rows.push_back(row);
    if (lines) lines->push_back(reader.RowLine());
  }
  return rows;
}

// The line and message of the refusal.
std::pair<int64_t, std::string> Refusal(const std::string& text, char separator = ',') {
  try {
    ReadAll(text, separator);
  } catch (const ECsvError& e) {
    return {e.Line(), e.what()};
  }
  return {0, "accepted"};
}

TEST(CsvReader, ReadsQuotedFieldsWithSeparatorsQuotesAndLineBreaks) {
  std::vector<int64_t> lines;
  Rows rows = ReadAll(
      "Title,Notes\r\n"
      "\"Tekken 3\",\"Iron fist, \"\"King\"\" of\r\nthe ring\"\r\n"
      "Plain,12\" Remix\n"
      "Last,\n",
      ',', &lines);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"Tekken 3", "Iron fist, \"King\" of\r\nthe ring"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"Plain", "12\" Remix"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"Last", ""}));
  // The line break inside the quotes counts: "Plain" is on line 4.
  EXPECT_EQ(lines, (std::vector<int64_t>{1, 2, 4, 5}));
}

TEST(CsvReader, EveryLineEndingBlankLinesAndTheFileEnd) {
  std::vector<int64_t> lines;
  Rows rows = ReadAll("a;b\rc;d\n\n\r\ne;f\r\n\r\ng;h\x1A", ';', &lines);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], (std::vector<std::string>{"g", "h"}));
  EXPECT_EQ(lines, (std::vector<int64_t>{1, 2, 5, 7}));
  EXPECT_TRUE(ReadAll("").empty());
  EXPECT_TRUE(ReadAll("\r\n\n").empty());
  // A last row without a line break, an empty last field, a byte-order mark.
  EXPECT_EQ(ReadAll("\xEF\xBB\xBFx,y,"), (Rows{{"x", "y", ""}}));
  EXPECT_EQ(ReadAll("\t\"q\"\t", '\t'), (Rows{{"", "q", ""}}));
}

TEST(CsvReader, SameRowsWhateverSizeTheReadsCome) {
  std::string text =
      "\"a\"\"b\",c\r\n\"multi\r\nline\",\"\"\r\nx,\"\"\"\"\r\n\xEF\xBB\xBFnot-a-bom,z\r\n";
  Rows whole = ReadAll(text);
  for (size_t step : {1u, 2u, 3u, 5u}) EXPECT_EQ(ReadAll(text, ',', nullptr, step), whole) << step;
  EXPECT_EQ(whole[0], (std::vector<std::string>{"a\"b", "c"}));
  EXPECT_EQ(whole[2], (std::vector<std::string>{"x", "\""}));
  EXPECT_EQ(whole[3][0], "\xEF\xBB\xBFnot-a-bom");
}

TEST(CsvReader, RefusesBadQuotingNamingTheLine) {
  // Never closed: named where the value opens.
  auto open = Refusal("Title,Genre\nA,B\n\"Unclosed,Action\nC,D\n");
  EXPECT_EQ(open.first, 3);
  EXPECT_NE(open.second.find("line 3: a quoted value that begins here is never closed"),
            std::string::npos)
      << open.second;
  // Text after a closing quote: a quote is missing or stray.
  auto stray = Refusal("Title,Genre\n\"Zelda\" II,Action\n");
  EXPECT_EQ(stray.first, 2);
  EXPECT_NE(stray.second.find("a quote is missing or stray"), std::string::npos);
  // A quote that swallows a line break and closes on the next line.
  auto late = Refusal("a,b\n\"x,y\nz\"w,v\n");
  EXPECT_EQ(late.first, 3);
}

TEST(CsvReader, RefusesWhatIsNotText) {
  auto nul = Refusal(std::string("Title\nfine\nbad\0byte\n", 20));
  EXPECT_EQ(nul.first, 3);
  EXPECT_NE(nul.second.find("NUL"), std::string::npos);
  auto control = Refusal("Title\n\x03\x04PK\n");
  EXPECT_EQ(control.first, 2);
  EXPECT_NE(control.second.find("byte 0x03"), std::string::npos);
  // A 0x1A before the end is a control byte like any other.
  EXPECT_EQ(Refusal("a\x1A"
                    "b\n")
                .first,
            1);
  // Tabs, vertical tabs and form feeds are text.
  EXPECT_EQ(ReadAll("a\tb\x0B\x0C", ',').size(), 1u);
}

TEST(CsvReader, RefusesARowOverOneMebibyte) {
  std::string line(10 * 1024 * 1024, 'x');
  auto huge = Refusal("Title\nok\n" + line + "\n");
  EXPECT_EQ(huge.first, 3);
  EXPECT_NE(huge.second.find("longer than 1 MiB"), std::string::npos);
  // An unbalanced quote that takes in the rest of a big file is named as such.
  std::string rest;
  for (int i = 0; i < 40000; ++i) rest += "Some title " + std::to_string(i) + ",Action\n";
  auto runaway = Refusal("Title,Genre\n\"Oops,Action\n" + rest);
  EXPECT_EQ(runaway.first, 2);
  EXPECT_NE(runaway.second.find("quote is missing"), std::string::npos);
  // Exactly the limit is still a row.
  EXPECT_EQ(ReadAll(std::string(CsvReader::kMaxRowBytes, 'y')).size(), 1u);
}

}  // namespace
