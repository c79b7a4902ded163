// The bytes of CDX files as written: a new file, headers, leaf parameters and
// key compression, the numeric key encodings and the general collation.
#include <gtest/gtest.h>

#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_cdxcoll.h"
#include "engine/index/gs6_cdxnode.h"
#include "engine/index/gs6_keybytes.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using devazoz::ByteView;
using devazoz::GSobjCDXFile;
using qvx_test::ReadFileBytes;
using qvx_test::TempDir;

std::string Hex(const uint8_t* p, int n) {
  std::string s;
  char b[4];
  for (int i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", p[i]);
    s += b;
  }
  return s;
}

TEST(CdxLayout, NewFileIsExactly1536Bytes) {
  TempDir dir;
  std::string path = dir.File("NEW.CDX");
  {
    GSobjCDXFile cdx(nullptr, path, false, true, true, false);
    ASSERT_TRUE(cdx.Valid()) << cdx.ErrorText();
    EXPECT_EQ(cdx.TagCount(), 0);
  }
  std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_EQ(b.size(), 1536u);
  ByteView v(b.data(), b.size());
  EXPECT_EQ(v.I32LE(0), 1024);  // root
  EXPECT_EQ(v.U32LE(4), 0u);    // free list
  EXPECT_EQ(v.U16LE(12), 10);   // key length
  EXPECT_EQ(v.U8(14), 0xE0);    // options
  EXPECT_EQ(v.U8(15), 1);       // signature
  EXPECT_EQ(v.U16LE(504), 0);
  EXPECT_EQ(v.U16LE(506), 1);
  EXPECT_EQ(v.U16LE(510), 1);
  for (size_t i = 16; i < 494; ++i) ASSERT_EQ(b[i], 0) << i;
  // The empty root leaf.
  EXPECT_EQ(v.U16LE(1024), 3);
  EXPECT_EQ(v.U16LE(1026), 0);
  EXPECT_EQ(v.I32LE(1028), -1);
  EXPECT_EQ(v.I32LE(1032), -1);
  EXPECT_EQ(v.U16LE(1036), 488);
  EXPECT_EQ(v.U32LE(1038), 0xFFFFu);
  EXPECT_EQ(v.U8(1042), 15);
  EXPECT_EQ(v.U8(1043), 15);
  EXPECT_EQ(v.U8(1044), 16);
  EXPECT_EQ(v.U8(1045), 4);
  EXPECT_EQ(v.U8(1046), 4);
  EXPECT_EQ(v.U8(1047), 3);
  // Reopening finds no tags and keeps the size.
  {
    GSobjCDXFile cdx(nullptr, path, false, false, true, false);
    EXPECT_TRUE(cdx.Valid());
    EXPECT_EQ(cdx.TagCount(), 0);
  }
  EXPECT_EQ(ReadFileBytes(path).size(), 1536u);
}

TEST(CdxLayout, LeafParametersFollowKeyLengthAndRecordCount) {
  auto p = devazoz::CdxLeafParams(40, 1000, false, false);
  EXPECT_EQ(p.bytes_per_entry, 3);
  EXPECT_EQ(p.record_bits, 12);
  EXPECT_EQ(p.dup_bits, 6);
  EXPECT_EQ(p.trail_bits, 6);
  EXPECT_EQ(p.record_mask, 0xFFFu);
  p = devazoz::CdxLeafParams(40, 4096, false, false);
  EXPECT_EQ(p.bytes_per_entry, 4);
  EXPECT_EQ(p.record_bits, 20);
  EXPECT_EQ(p.record_mask, 0xFFFFFu);
  p = devazoz::CdxLeafParams(40, 4095, false, false);
  EXPECT_EQ(p.bytes_per_entry, 3);
  for (int L : {1, 10, 40, 240}) {
    int n = L == 1 ? 1 : (L == 10 ? 4 : (L == 40 ? 6 : 8));
    p = devazoz::CdxLeafParams(L, 0, false, true);
    EXPECT_EQ(p.dup_bits, n) << L;
    EXPECT_EQ(p.record_bits, 24 - 2 * n) << L;
    EXPECT_EQ(p.bytes_per_entry, 3) << L;
  }
  // An empty root leaf keeps 3-byte entries whatever the bound.
  EXPECT_EQ(devazoz::CdxLeafParams(40, 1000000, false, true).bytes_per_entry, 3);
  // Bit 23 of a mask: the incremental path jumps to a 31-bit field.
  p = devazoz::CdxLeafParams(200, 0x1000000, true, false);
  EXPECT_EQ(p.record_mask, 0x7FFFFFFFu);
  EXPECT_EQ(p.record_bits, 31);
  p = devazoz::CdxLeafParams(200, 0x1000000, false, false);
  EXPECT_EQ(p.record_mask, 0xFFFFFFFFu);
}

TEST(CdxLayout, NumericKeyEncodings) {
  uint8_t b[8];
  int n = devazoz::EncodeCdxNumber(1.0, b);
  EXPECT_EQ(Hex(b, n), "BFF0");
  n = devazoz::EncodeCdxNumber(0.0, b);
  EXPECT_EQ(Hex(b, n), "80");
  n = devazoz::EncodeCdxNumber(-1.0, b);
  // Negative keys keep their trailing 0xFF bytes, so that -2 sorts before -1.5.
  EXPECT_EQ(Hex(b, n), "400FFFFFFFFFFFFF");
  n = devazoz::EncodeCdxNumber(-0.0, b);
  EXPECT_EQ(Hex(b, n), "80");
  // Encoded keys order like the numbers, a shorter prefix first.
  double values[] = {-1e300, -12345.678, -2, -1.5, -1, -0.25, 0, 1e-300, 0.25, 1, 1.5, 2, 3, 1e300};
  std::string prev;
  for (double v : values) {
    n = devazoz::EncodeCdxNumber(v, b);
    std::string s(reinterpret_cast<char*>(b), size_t(n));
    if (!prev.empty()) {
      EXPECT_LT(prev, s) << v;
    }
    prev = s;
    EXPECT_EQ(devazoz::DecodeCdxNumber(b, uint32_t(n)), v);
  }
}

TEST(CdxLayout, LeafKeysShareLeadingBytesAndCountTrailingBlanks) {
  uint8_t block[512] = {};
  devazoz::ByteSpan span(block, 512);
  devazoz::CdxKeyShape shape{5, true, false};
  devazoz::CdxLeafWriter w;
  w.Begin(span, devazoz::CdxLeafParams(5, 100, true, false), shape);
  ASSERT_TRUE(w.Add(reinterpret_cast<const uint8_t*>("ABC"), 3, 1));
  ASSERT_TRUE(w.Add(reinterpret_cast<const uint8_t*>("ABD"), 3, 2));
  w.Finish(3, -1, -1);
  ByteView v(block, 512);
  // Key length 5: 3 bits each for duplicate and trailing counts, 18 for records.
  uint16_t w1 = v.U16LE(24 + 1), w2 = v.U16LE(24 + 3 + 1);
  EXPECT_EQ(w1 >> 13, 2);        // trailing 2
  EXPECT_EQ((w1 >> 10) & 7, 0);  // duplicate 0
  EXPECT_EQ(w2 >> 13, 2);
  EXPECT_EQ((w2 >> 10) & 7, 2);
  EXPECT_EQ(v.U8(24 + 487), 'C');
  EXPECT_EQ(v.Text(24 + 485, 3), "ABC");
  EXPECT_EQ(v.U8(24 + 484), 'D');  // the second key stores one byte
  EXPECT_EQ(v.U16LE(12), 488 - (3 + 3) - (1 + 3));
  devazoz::NodeData d;
  std::string why;
  ASSERT_TRUE(devazoz::DecodeCdxNode(v, shape, d, &why)) << why;
  ASSERT_EQ(d.entries.size(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(d.pool.data() + d.entries[1].offset),
                        d.entries[1].length),
            "ABD");
  EXPECT_EQ(d.entries[1].record, 2);
}

// The prefix shared by two keys and the copy of key bytes, for every length up
// to 40 and every place of the first difference, against byte steps; buffers of
// the exact length, so that a read or write past them shows under the address
// sanitizer.
TEST(CdxLayout, SharedPrefixAndKeyCopyAgainstByteSteps) {
  for (uint32_t n = 0; n <= 40; ++n) {
    std::vector<uint8_t> a(n), b(n);
    for (uint32_t i = 0; i < n; ++i) a[i] = b[i] = uint8_t('A' + i % 23);
    EXPECT_EQ(devazoz::SharedPrefix(a.data(), n, b.data(), n), n);
    for (uint32_t at = 0; at < n; ++at) {
      b[at] ^= 0x40;
      EXPECT_EQ(devazoz::SharedPrefix(a.data(), n, b.data(), n), at) << n;
      EXPECT_EQ(devazoz::SharedPrefix(a.data(), n, b.data(), at + 1), at) << n;
      b[at] ^= 0x40;
    }
    std::vector<uint8_t> to(n, 0);
    devazoz::CopyKeyBytes(to.data(), a.data(), n);
    EXPECT_EQ(to, a);
  }
}

TEST(CdxLayout, GeneralCollationWeights) {
  auto key = [](const std::string& s) {
    return devazoz::GeneralCollationKey(reinterpret_cast<const uint8_t*>(s.data()),
                                        uint32_t(s.size()));
  };
  // Letters of either case share primary weights and differ in nothing else.
  EXPECT_EQ(key("ab"), key("AB"));
  EXPECT_EQ(key("A"), std::string("\x60", 1));
  // An accented letter has the plain letter's weight plus a secondary code.
  std::string e_acute = key("\xE9");
  EXPECT_EQ(uint8_t(e_acute[0]), 0x66);
  EXPECT_EQ(uint8_t(e_acute[1]), 0xF1);
  EXPECT_LT(key("E"), e_acute);
  // Æ expands to the weights of A and E.
  std::string ae = key("\xC6");
  EXPECT_EQ(uint8_t(ae[0]), 0x60);
  EXPECT_EQ(uint8_t(ae[1]), 0x66);
}

}  // namespace
