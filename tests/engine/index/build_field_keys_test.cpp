// Builds of every index format take a key that is a bare character field straight
// from the record bytes; the keys must be those the key expression gives when it
// is evaluated: the text up to the field's end or its first NUL byte, trailing
// blanks dropped, equal keys in record order. A tag on TITLE + '' (the same value,
// evaluated) serves as the reference. After the build the table's buffer holds
// the last record.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_indxbuild.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using qvx_test::DbfFixture;
using qvx_test::KeyList;
using qvx_test::ListKeys;
using qvx_test::TempDir;

// Titles with trailing blanks, NUL bytes, blanks only, repeats and a full field.
std::vector<std::string> Titles() {
  std::vector<std::string> t = {"DELTA",
                                "ALPHA   ",
                                std::string("AB\0CD", 5),
                                "",
                                "ALPHA",
                                std::string("\0ZZZ", 4),
                                "ECHO ECHO",
                                "FULLFIELDXYZ",
                                "  LEADING",
                                "DELTA",
                                std::string("AB \0CD", 6),
                                std::string("Q\0  ", 4)};
  for (const std::string& s : qvx_test::RandomTitles(600, 91, 12)) t.push_back(s);
  return t;
}

template <typename File>
class FieldKeyBuild : public ::testing::Test {
 protected:
  std::string Table() {
    DbfFixture f(0x03, {{"TITLE", 'C', 12}, {"N", 'N', 4}});
    for (const std::string& t : Titles()) f.AddRecord({t, "   1"});
    std::string path = dir_.File("F.DBF");
    f.Write(path);
    return path;
  }
  static const char* Extension() {
    if (std::is_same_v<File, devazoz::GSobjNTXFile>) return ".NTX";
    if (std::is_same_v<File, devazoz::GSobjNDXFile>) return ".NDX";
    if (std::is_same_v<File, devazoz::GSobjMDXFile>) return ".MDX";
    return ".CDX";
  }
  TempDir dir_;
};

using Formats = ::testing::Types<devazoz::GSobjNTXFile, devazoz::GSobjNDXFile,
                                 devazoz::GSobjMDXFile, devazoz::GSobjCDXFile>;
TYPED_TEST_SUITE(FieldKeyBuild, Formats);

TYPED_TEST(FieldKeyBuild, KeysAreThoseTheEvaluatedExpressionGives) {
  std::string t = this->Table();
  devazoz::GSO_dBaseFld table(t, false, true);
  const std::string ext = this->Extension();
  // Single-tag formats get a file per tag; the others hold both tags.
  bool single = ext == ".NTX" || ext == ".NDX";
  TypeParam direct_file(&table, this->dir_.File("D" + ext), true, true, true, false);
  ASSERT_TRUE(direct_file.AddTag("DIRECT", "TITLE", false, true, ""));
  std::string last = Titles().back();
  last.resize(12, ' ');
  EXPECT_EQ(table.RecordNumber(), table.RecordCount() + 1);
  EXPECT_EQ(table.PeekStr(1), last);
  std::unique_ptr<TypeParam> other_file;
  if (single)
    other_file =
        std::make_unique<TypeParam>(&table, this->dir_.File("E" + ext), true, true, true, false);
  TypeParam& evaluated_file = single ? *other_file : direct_file;
  ASSERT_TRUE(evaluated_file.AddTag("EVALUATED", "TITLE + ''", false, true, ""));
  devazoz::GSobjIndexTag* direct = single ? direct_file.TagAt(0) : direct_file.FindTag("DIRECT");
  devazoz::GSobjIndexTag* evaluated =
      single ? evaluated_file.TagAt(0) : evaluated_file.FindTag("EVALUATED");
  ASSERT_NE(direct, nullptr);
  ASSERT_NE(evaluated, nullptr);
  EXPECT_EQ(direct->DirectTextField(), 1);
  EXPECT_EQ(evaluated->DirectTextField(), 0);
  KeyList want = ListKeys(evaluated);
  EXPECT_EQ(ListKeys(direct), want);
  ASSERT_EQ(want.size(), Titles().size());
  // Spot checks of the reference itself: the NUL cut and the dropped blanks.
  bool cut = false, trimmed = false;
  for (const auto& [key, record] : want) {
    if (record == 3) cut = key == "AB";
    if (record == 2) trimmed = key == "ALPHA";
  }
  EXPECT_TRUE(cut);
  EXPECT_TRUE(trimmed);
}

// The key length of a field's bytes: cut at the first NUL, trailing blanks
// dropped (also those before the NUL), at most the key's length.
TEST(FieldKeyLength, NulCutBlanksDroppedAndKeyLengthKept) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view field;
    uint32_t key_length;
    uint32_t want;
  } cases[] = {
      {"ALPHA           "sv, 16, 5},
      {"AB \0CD         "sv, 16, 2},
      {"AB\0 CD  "sv, 9, 2},
      {"\0         "sv, 10, 0},
      {"X\0\0\0\0\0\0\0\0\0Y"sv, 11, 1},
      {"                        "sv, 24, 0},
      {"A B C"sv, 5, 5},
      {"ABCDEFGHIJKLMNOPQRSTUVWX"sv, 24, 24},
      {"ABCDEFGHIJKLMNOPQRSTUVWX"sv, 10, 10},
      {"ABCDEFGH        IJ      "sv, 24, 18},
      {""sv, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(devazoz::FieldKeyLength(reinterpret_cast<const uint8_t*>(c.field.data()),
                                      uint32_t(c.field.size()), c.key_length),
              c.want)
        << c.field;
}

// Fields of every length up to 40 with the text ending at every place and a
// NUL at every place (or none), against a byte-by-byte reading; the field is
// allocated to its exact length, so that a read past it shows under the
// address sanitizer. Text bytes run through values near a blank and a NUL.
TEST(FieldKeyLength, EveryLengthEndAndNulPlaceAgainstByteSteps) {
  const uint8_t kText[] = {'A', 0xA0, 0x80, 0x01, 0xFF, 0x21, 0x1F, 0x7F};
  auto reference = [](const std::vector<uint8_t>& f, uint32_t key_length) {
    uint32_t n = 0;
    while (n < f.size() && f[n] != 0) ++n;
    while (n > 0 && f[n - 1] == ' ') --n;
    return std::min(n, key_length);
  };
  for (uint32_t n = 0; n <= 40; ++n)
    for (uint32_t end = 0; end <= n; ++end)
      for (uint32_t nul = 0; nul <= n; ++nul) {
        std::vector<uint8_t> f(n);
        for (uint32_t i = 0; i < n; ++i) f[i] = i < end ? kText[(i + end) % 8] : ' ';
        if (end > 2) f[end / 2] = ' ';
        if (nul < n) f[nul] = 0;
        for (uint32_t key_length : {n, 12u}) {
          ASSERT_EQ(devazoz::FieldKeyLength(f.data(), n, key_length), reference(f, key_length))
              << "length " << n << " end " << end << " NUL at " << nul;
        }
      }
}

}  // namespace
