#include "engine/foundation/gs6_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "engine/foundation/gs6_eror.h"

namespace devazoz {
namespace {

TEST(ByteView, DecodesBothByteOrders) {
  const uint8_t b[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
  ByteView v(b, sizeof b);
  EXPECT_EQ(v.U8(7), 0x88);
  EXPECT_EQ(v.U16LE(0), 0x0201);
  EXPECT_EQ(v.U16BE(0), 0x0102);
  EXPECT_EQ(v.U32LE(1), 0x05040302u);
  EXPECT_EQ(v.U32BE(1), 0x02030405u);
  EXPECT_EQ(v.U64LE(0), 0x8807060504030201ull);
  EXPECT_EQ(v.I64LE(0), int64_t(0x8807060504030201ull));
  EXPECT_EQ(v.I32LE(4), int32_t(0x88070605u));
  EXPECT_EQ(v.UIntLE(5, 3), 0x880706u);
  EXPECT_EQ(v.Text(1, 3), "\x02\x03\x04");
}

TEST(ByteView, EveryAccessPastTheEndIsRefused) {
  std::vector<uint8_t> bytes(8, 0xAB);
  for (size_t size = 0; size <= 8; ++size) {
    ByteView v(bytes.data(), size);
    EXPECT_EQ(v.Has(0, 8), size == 8);
    if (size < 8) {
      EXPECT_THROW(v.U64LE(0), EDevazozError) << size;
      EXPECT_THROW(v.F64LE(0), EDevazozError) << size;
    }
    if (size < 4) {
      EXPECT_THROW(v.U32LE(0), EDevazozError) << size;
    }
    if (size < 2) {
      EXPECT_THROW(v.U16BE(0), EDevazozError) << size;
    }
    EXPECT_THROW(v.U8(size), EDevazozError) << size;
    EXPECT_THROW(v.Text(size, 1), EDevazozError) << size;
    EXPECT_THROW(v.Sub(1, size), EDevazozError) << size;
    EXPECT_NO_THROW(v.Sub(size, 0));
  }
}

TEST(ByteView, HugeOffsetsDoNotWrapAround) {
  uint8_t b[4] = {};
  ByteView v(b, 4);
  size_t max = std::numeric_limits<size_t>::max();
  EXPECT_FALSE(v.Has(max, 1));
  EXPECT_FALSE(v.Has(1, max));
  EXPECT_FALSE(v.Has(2, max - 1));
  EXPECT_THROW(v.U32LE(max - 1), EDevazozError);
  EXPECT_THROW(v.Text(3, max), EDevazozError);
  char out[4];
  EXPECT_THROW(v.CopyTo(1, out, max), EDevazozError);
}

TEST(ByteView, RefusalNamesTheRange) {
  uint8_t b[4] = {};
  try {
    ByteView(b, 4).U32LE(2);
    FAIL();
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Message(),
              "Data structure damaged: 4 bytes at offset 2 lie outside a block of 4 bytes");
  }
}

TEST(ByteView, EmptyViewIsUsable) {
  ByteView v;
  EXPECT_EQ(v.size(), 0u);
  EXPECT_TRUE(v.Has(0, 0));
  EXPECT_EQ(v.Text(0, 0), "");
  EXPECT_THROW(v.U8(0), EDevazozError);
}

TEST(ByteSpan, WritesRoundTrip) {
  uint8_t b[20] = {};
  ByteSpan s(b, sizeof b);
  s.PutU16LE(0, 0xBEEF);
  s.PutU32BE(2, 0x01020304);
  s.PutI32LE(6, -2);
  s.PutF64LE(10, -1.25);
  EXPECT_EQ(b[0], 0xEF);
  EXPECT_EQ(b[2], 0x01);
  EXPECT_EQ(s.U16LE(0), 0xBEEF);
  EXPECT_EQ(s.U32BE(2), 0x01020304u);
  EXPECT_EQ(s.I32LE(6), -2);
  EXPECT_EQ(s.F64LE(10), -1.25);
  s.PutUIntLE(0, 3, 0xAABBCC);
  EXPECT_EQ(s.UIntLE(0, 3), 0xAABBCCu);
  s.Fill(0, 4, ' ');
  EXPECT_EQ(s.Text(0, 4), "    ");
  s.PutBytes(12, "abcd", 4);
  EXPECT_EQ(s.Text(12, 4), "abcd");
}

TEST(ByteSpan, WritesPastTheEndAreRefusedAndChangeNothing) {
  uint8_t b[6] = {1, 2, 3, 4, 5, 6};
  ByteSpan s(b, 4);  // the last two bytes lie outside the span
  EXPECT_THROW(s.PutU32LE(1, 0), EDevazozError);
  EXPECT_THROW(s.PutU64LE(0, 0), EDevazozError);
  EXPECT_THROW(s.PutBytes(3, "xy", 2), EDevazozError);
  EXPECT_THROW(s.Fill(2, 3, 0), EDevazozError);
  EXPECT_THROW(s.PutU8(4, 0), EDevazozError);
  const uint8_t expect[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(std::vector<uint8_t>(b, b + 6), std::vector<uint8_t>(expect, expect + 6));
}

}  // namespace
}  // namespace devazoz
