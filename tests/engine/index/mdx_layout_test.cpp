// The bytes of MDX files: a new file, the tag table, tag headers, pages and the
// key encodings (packed decimals, dates as doubles, sentinels).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/foundation/gs6_Date.h"
#include "engine/index/gs6_mdxnode.h"
#include "tests/engine/index/mdx_fixture.h"

namespace {

using devazoz::ByteView;
using devazoz::GSobjMDXFile;
using qvx_test::At;
using qvx_test::ReadFileBytes;
using qvx_test::TagEntry;
using qvx_test::TempDir;

TEST(MdxLayout, NewFileIs2048BytesWithNoTagsAndNextFreeBlock4) {
  TempDir dir;
  std::string t = dir.File("GAMES.DBF");
  qvx_test::WriteCatalogTable(t, {"One"});
  {
    devazoz::GSO_dBaseFld table(t, false, true);
    GSobjMDXFile mdx(&table, dir.File("GAMES"), false, true, true, false);
    ASSERT_TRUE(mdx.Valid()) << mdx.ErrorText();
    EXPECT_EQ(mdx.TagCount(), 0);
  }
  std::vector<uint8_t> b = ReadFileBytes(dir.File("GAMES.MDX"));
  ASSERT_EQ(b.size(), 2048u);
  ByteView v(b.data(), b.size());
  EXPECT_EQ(v.U8(0), 2);
  EXPECT_EQ(v.Text(4, 6), std::string("GAMES\0", 6));
  EXPECT_EQ(v.U16LE(20), 2);
  EXPECT_EQ(v.U16LE(22), 1024);
  EXPECT_EQ(v.U8(24), 1);
  EXPECT_EQ(v.U8(25), 48);
  EXPECT_EQ(v.U16LE(26), 32);
  EXPECT_EQ(v.U16LE(28), 0);
  EXPECT_EQ(v.U32LE(32), 4u);
  EXPECT_GE(v.U8(2), 1);         // update month
  EXPECT_EQ(v.U8(45), v.U8(2));  // created the same month
  // The table now says it has a production index.
  EXPECT_EQ(ReadFileBytes(t)[28] & 1, 1);
}

TEST(MdxLayout, EntrySizesAndKeysPerPage) {
  EXPECT_EQ(devazoz::MdxEntrySize(10), 16);
  EXPECT_EQ(devazoz::MdxMaxKeys(1024, 16), 62);
  EXPECT_EQ(devazoz::MdxEntrySize(12), 16);
  EXPECT_EQ(devazoz::MdxEntrySize(8), 12);
  EXPECT_EQ(devazoz::MdxMaxKeys(1024, 12), 83);
  EXPECT_EQ(devazoz::MdxEntrySize(40), 44);
  EXPECT_EQ(devazoz::MdxEntrySize(1), 8);
}

std::vector<uint8_t> Packed(double v) {
  uint8_t p[12];
  devazoz::PackMdxNumber(v, p);
  return std::vector<uint8_t>(p, p + 12);
}

TEST(MdxLayout, PackedDecimals) {
  std::vector<uint8_t> one = Packed(1), ten = Packed(10), minus = Packed(-1);
  EXPECT_EQ(one[0], 53);
  EXPECT_EQ(one[1], 0x09);
  EXPECT_EQ(one[2], 0x10);
  EXPECT_EQ(ten[0], 54);
  EXPECT_EQ(ten[1], 0x09);
  EXPECT_EQ(ten[2], 0x10);
  EXPECT_EQ(minus[0], 53);
  EXPECT_EQ(minus[1], 0x89);
  EXPECT_EQ(minus[2], 0x10);
  for (int i = 3; i < 12; ++i) EXPECT_EQ(one[size_t(i)], 0) << i;
  // 123.45: five digits, three before the point.
  std::vector<uint8_t> p = Packed(123.45);
  EXPECT_EQ(p[0], 55);
  EXPECT_EQ(p[1], 8 * 3 + 1);
  EXPECT_EQ(p[2], 0x12);
  EXPECT_EQ(p[3], 0x34);
  EXPECT_EQ(p[4], 0x50);
  // 0.05: the exponent counts digits before the point, here -1.
  EXPECT_EQ(Packed(0.05)[0], 51);
  std::vector<uint8_t> zero = Packed(0);
  EXPECT_EQ(zero[0], 52);
  EXPECT_EQ(zero[1], 1);
  // Fifteen significant digits are kept; values come back.
  for (double v : {1.0, -1.0, 10.0, 0.5, -0.05, 123456789012345.0, 3.25e-20, -7.5e40, 99.99})
    EXPECT_DOUBLE_EQ(devazoz::UnpackMdxNumber(Packed(v).data()), v) << v;
  EXPECT_EQ(devazoz::UnpackMdxNumber(zero.data()), 0);
}

TEST(MdxLayout, SortableNumbersOrderLikeTheValues) {
  std::vector<double> values = {-1e30, -123.5, -10, -1, -0.5, -0.05, -1e-40, 0,
                                1e-40, 0.05,   0.5, 1,  9.99, 10,    123.5,  1e30};
  std::vector<std::vector<uint8_t>> keys;
  for (double v : values) {
    uint8_t s[12];
    devazoz::PackedToSortable(Packed(v).data(), s);
    keys.push_back(std::vector<uint8_t>(s, s + 12));
    EXPECT_DOUBLE_EQ(devazoz::MdxKeyNumber('N', s, 12), v);
    uint8_t back[12];
    devazoz::SortableToPacked(s, 12, back);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 12), Packed(v)) << v;
  }
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_LT(keys[i - 1], keys[i]) << values[i];
  // Zero written by another program with any exponent is the same zero.
  uint8_t other_zero[12] = {0x40, 0x01}, s[12];
  devazoz::PackedToSortable(other_zero, s);
  EXPECT_EQ(std::vector<uint8_t>(s, s + 12), keys[7]);
  // Out of range: tiny values become zero, huge ones the largest held.
  EXPECT_EQ(Packed(1e-60), Packed(0));
  EXPECT_EQ(Packed(1e300)[0], 255);
}

TEST(MdxLayout, TagTableAndTagHeaders) {
  TempDir dir;
  std::string t = dir.File("T.DBF");
  qvx_test::WriteCatalogTable(t, qvx_test::RandomTitles(100, 5));
  std::string path = dir.File("T.MDX");
  {
    devazoz::GSO_dBaseFld table(t, false, true);
    GSobjMDXFile mdx(&table, path, false, true, true, false);
    ASSERT_TRUE(mdx.AddTag("title", "TITLE", false, true, ""));
    ASSERT_TRUE(mdx.AddTag("PRICE", "PRICE", true, true, "PRICE > 0"));
    ASSERT_TRUE(mdx.AddTag("RELEASED", "RELEASED", false, false, ""));
    EXPECT_ANY_THROW(mdx.AddTag("BAD", "NOSUCHFIELD + 1", false, true, ""));
    EXPECT_EQ(mdx.TagCount(), 3);
  }
  std::vector<uint8_t> b = ReadFileBytes(path);
  ByteView v(b.data(), b.size());
  EXPECT_EQ(v.U16LE(28), 3);
  EXPECT_EQ(v.U8(512 + 17), 1);
  const char* names[] = {"TITLE", "PRICE", "RELEASED"};
  const char types[] = {'C', 'N', 'D'};
  for (int j = 1; j <= 3; ++j) {
    size_t e = TagEntry(j);
    EXPECT_EQ(v.Text(e + 4, std::strlen(names[j - 1]) + 1),
              std::string(names[j - 1]) + std::string(1, '\0'));
    EXPECT_EQ(v.U8(e + 17), j < 3 ? j + 1 : 0);
    EXPECT_EQ(v.U8(e + 19), 2);
    EXPECT_EQ(v.U8(e + 20), types[j - 1]);
  }
  EXPECT_EQ(v.U32LE(TagEntry(4)), 0u);
  // The first tag's header follows the file header.
  EXPECT_EQ(v.U32LE(TagEntry(1)), 4u);
  ByteView title = At(b, 4 * 512);
  EXPECT_EQ(title.U8(8), 0x10);
  EXPECT_EQ(title.U8(9), 'C');
  EXPECT_EQ(title.U16LE(12), 40);
  EXPECT_EQ(title.U16LE(14), 22);  // (1024 - 8) / 44 - 1
  EXPECT_EQ(title.U16LE(18), 44);
  EXPECT_EQ(title.Text(24, 6), std::string("TITLE\0", 6));
  EXPECT_EQ(title.U8(245), 0);
  EXPECT_EQ(title.U8(246), 1);
  EXPECT_GE(title.U32LE(248), 6u);
  EXPECT_GE(title.U32LE(252), title.U32LE(248));
  ByteView price = At(b, 512 * v.U32LE(TagEntry(2)));
  EXPECT_EQ(price.U8(8), 0x50);
  EXPECT_EQ(price.U8(9), 'N');
  EXPECT_EQ(price.U16LE(12), 12);
  EXPECT_EQ(price.U16LE(18), 16);
  EXPECT_EQ(price.U8(23), 0x40);
  EXPECT_EQ(price.U8(245), 1);
  EXPECT_EQ(price.Text(762, 10), std::string("PRICE > 0\0", 10));
  ByteView released = At(b, 512 * v.U32LE(TagEntry(3)));
  EXPECT_EQ(released.U8(8), 0x18);
  EXPECT_EQ(released.U8(9), 'D');
  EXPECT_EQ(released.U16LE(12), 8);
  EXPECT_EQ(released.U16LE(18), 12);
  // 100 dates do not fit one page of 83: a root with one separator and the
  // rightmost child; the first leaf holds the highest dates first, as doubles.
  ByteView root = At(b, 512 * released.U32LE(0));
  ASSERT_EQ(root.U32LE(0), 1u);
  uint32_t left = root.U32LE(8), right = root.U32LE(8 + 12);
  EXPECT_NE(right, 0u);
  ByteView leaf = At(b, 512 * left);
  EXPECT_EQ(leaf.U32LE(0), 83u);
  EXPECT_EQ(leaf.U32LE(8), 100u);  // record 100 has the latest date
  EXPECT_EQ(leaf.F64LE(12), double(devazoz::DBFDate().StorageToDay("20000416")));
  EXPECT_EQ(leaf.U32LE(8 + 83 * 12), 0u);  // a leaf: no pointer after the last key
  // The separator is the last (lowest) key of the left leaf.
  EXPECT_EQ(root.F64LE(12), leaf.F64LE(8 + 82 * 12 + 4));
  ByteView second = At(b, 512 * right);
  EXPECT_EQ(second.U32LE(0), 17u);
  EXPECT_EQ(second.U32LE(4), left);  // linked to the page allocated before it
}

}  // namespace
