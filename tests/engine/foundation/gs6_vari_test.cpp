#include "engine/foundation/gs6_vari.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_glbl.h"
#include "platform/services/datetime.h"
#include "platform/services/exception.h"

namespace devazoz {
namespace {

std::string Text(const TgsVariant& v) {
  return std::string(reinterpret_cast<const char*>(v.Data()), v.Length());
}

int Cmp(const TgsVariant& a, const TgsVariant& b, int* position = nullptr, int mode = 0,
        const uint8_t* map = nullptr) {
  int pos = -99;
  int r = a.Compare(&b, pos, map, mode);
  if (position) *position = pos;
  return r;
}

TEST(Variant, CreationAndClear) {
  TgsVariant v(10);
  EXPECT_EQ(v.Capacity(), 10u);
  EXPECT_EQ(v.Length(), 0u);
  EXPECT_EQ(v.Type(), VariantType::None);
  EXPECT_TRUE(v.Empty());
  v.SetText("abc");
  v.Clear();
  EXPECT_EQ(v.Capacity(), 0u);
  EXPECT_EQ(v.Length(), 0u);
  EXPECT_EQ(v.Type(), VariantType::None);
  EXPECT_EQ(v.Data(), nullptr);
  TgsVariant none;
  EXPECT_EQ(none.Capacity(), 0u);
}

TEST(Variant, SetLengthGrowsToExactSizeAndClearsType) {
  TgsVariant v(4);
  v.SetText("abcd");
  EXPECT_EQ(v.Type(), VariantType::Text);
  v.SetLength(2);  // fits: type and capacity stay
  EXPECT_EQ(v.Length(), 2u);
  EXPECT_EQ(v.Capacity(), 4u);
  EXPECT_EQ(v.Type(), VariantType::Text);
  v.SetLength(9);  // grows: a block of exactly 9, old bytes kept, type cleared
  EXPECT_EQ(v.Capacity(), 9u);
  EXPECT_EQ(v.Length(), 9u);
  EXPECT_EQ(v.Type(), VariantType::None);
  EXPECT_EQ(std::memcmp(v.Data(), "abcd", 4), 0);
  v.SetLength(0);
  EXPECT_EQ(v.Capacity(), 9u);
  EXPECT_TRUE(v.Empty());
}

TEST(Variant, SettersStoreTypeAndSize) {
  TgsVariant v;
  v.SetText("hello");
  EXPECT_EQ(v.Type(), VariantType::Text);
  EXPECT_EQ(Text(v), "hello");
  v.SetTextZ("zz");
  EXPECT_EQ(Text(v), "zz");
  v.SetTextZ(nullptr);
  EXPECT_EQ(v.Type(), VariantType::Text);
  EXPECT_TRUE(v.Empty());
  v.SetNumber(1.5);
  EXPECT_EQ(v.Type(), VariantType::Number);
  EXPECT_EQ(v.Length(), 8u);
  EXPECT_EQ(v.Data()[7], 0x3F);  // little-endian double
  v.SetDate(2444240);
  EXPECT_EQ(v.Type(), VariantType::Date);
  EXPECT_EQ(v.Length(), 4u);
  EXPECT_EQ(v.Data()[0], 2444240 & 0xFF);
  v.SetLogic(true);
  EXPECT_EQ(v.Type(), VariantType::Logic);
  EXPECT_EQ(v.Length(), 1u);
  EXPECT_EQ(v.Data()[0], 1);
  v.SetBytes("\0\1\2", 3);
  EXPECT_EQ(v.Type(), VariantType::Bytes);
  EXPECT_EQ(Text(v), std::string("\0\1\2", 3));
  EXPECT_EQ(v.Capacity(), 8u);  // never shrinks
}

TEST(Variant, AssignCopiesEverything) {
  TgsVariant a(3), b;
  a.SetText("abcdef");
  a.SetLength(2);
  EXPECT_FALSE(b.Assign(nullptr));
  ASSERT_TRUE(b.Assign(&a));
  EXPECT_EQ(b.Capacity(), a.Capacity());
  EXPECT_EQ(b.Length(), 2u);
  EXPECT_EQ(b.Type(), VariantType::Text);
  EXPECT_NE(b.Data(), a.Data());
  EXPECT_EQ(std::memcmp(b.Data(), "abcdef", 6), 0);
  ASSERT_TRUE(b.Assign(&b));  // onto itself: unchanged
  EXPECT_EQ(Text(b), "ab");
  TgsVariant empty;
  ASSERT_TRUE(b.Assign(&empty));
  EXPECT_EQ(b.Capacity(), 0u);
  EXPECT_EQ(b.Type(), VariantType::None);
}

TEST(Variant, AppendMakesByteString) {
  TgsVariant v;
  v.SetText("KEY");
  v.Append("\x01\x00\x00\x00", 4);
  EXPECT_EQ(v.Type(), VariantType::Bytes);
  EXPECT_EQ(Text(v), std::string("KEY\x01\x00\x00\x00", 7));
  v.Append(nullptr, 3);
  v.Append("x", 0);
  EXPECT_EQ(v.Length(), 7u);
  TgsVariant n;
  n.SetNumber(2);
  n.Append("z", 1);
  EXPECT_EQ(n.Type(), VariantType::Bytes);
  EXPECT_EQ(n.Length(), 9u);
}

TEST(Variant, OwnBytesMayBeStoredAndAppendedAgain) {
  TgsVariant v(2);
  v.SetText("ab");
  v.Append(v.Data(), v.Length());  // the block grows while the source is in it
  EXPECT_EQ(Text(v), "abab");
  v.SetBytes(v.Data() + 1, 3);
  EXPECT_EQ(Text(v), "bab");
  v.SetText(std::string(100, 'q'));
  v.SetBytes(v.Data(), 100);
  EXPECT_EQ(Text(v), std::string(100, 'q'));
}

TEST(Variant, AsLogic) {
  TgsVariant v;
  EXPECT_FALSE(v.AsLogic());
  for (const char* t : {"T", "t", "Yes", "y", "J", "j"}) {
    v.SetText(t);
    EXPECT_TRUE(v.AsLogic()) << t;
  }
  for (const char* t : {"F", "N", "x", " T", "1"}) {
    v.SetText(t);
    EXPECT_FALSE(v.AsLogic()) << t;
  }
  v.SetNumber(0.9);
  EXPECT_FALSE(v.AsLogic());
  v.SetNumber(-1.2);
  EXPECT_TRUE(v.AsLogic());
  v.SetLogic(true);
  EXPECT_TRUE(v.AsLogic());
  v.SetLogic(false);
  EXPECT_FALSE(v.AsLogic());
  v.SetBytes("\0\1", 2);
  EXPECT_FALSE(v.AsLogic());
  v.SetDate(2444240);
  EXPECT_FALSE(v.AsLogic());
}

TEST(Variant, AsDate) {
  TgsVariant v;
  EXPECT_EQ(v.AsDate(), 0);
  v.SetText("19800101");
  EXPECT_EQ(v.AsDate(), 2444240);
  v.SetText("        ");
  EXPECT_EQ(v.AsDate(), 0);
  v.SetText("garbage");
  EXPECT_THROW(v.AsDate(), platform::EConvertError);
  v.SetNumber(2444240.7);
  EXPECT_EQ(v.AsDate(), 2444240);
  v.SetNumber(-4);
  EXPECT_EQ(v.AsDate(), 0);
  v.SetNumber(1e30);
  EXPECT_EQ(v.AsDate(), 0);
  v.SetDate(2451545);
  EXPECT_EQ(v.AsDate(), 2451545);
  v.SetBytes("\xD0\x4B\x25\x00\xFF", 5);
  EXPECT_EQ(v.AsDate(), 0x00254BD0);
  v.SetBytes("\x01", 1);  // short: the missing bytes count as zero
  EXPECT_EQ(v.AsDate(), 1);
  v.SetLogic(true);
  EXPECT_EQ(v.AsDate(), 0);
}

TEST(Variant, AsNumber) {
  TgsVariant v;
  EXPECT_EQ(v.AsNumber(), 0);
  v.SetText(" 12.5 ");
  EXPECT_EQ(v.AsNumber(), 12.5);
  v.SetText("12,5");
  EXPECT_THROW(v.AsNumber(), platform::EConvertError);
  v.SetNumber(-3.25);
  EXPECT_EQ(v.AsNumber(), -3.25);
  v.SetDate(2444240);
  EXPECT_EQ(v.AsNumber(), 2444240);
  v.SetLogic(true);
  EXPECT_EQ(v.AsNumber(), 1.0);
  v.SetLogic(false);
  EXPECT_EQ(v.AsNumber(), 0.0);
  TgsVariant n;
  n.SetNumber(7.5);
  v.SetBytes(n.Data(), 8);
  EXPECT_EQ(v.AsNumber(), 7.5);
}

TEST(Variant, AsText) {
  std::string saved = platform::ShortDateFormat();
  platform::SetShortDateFormat("M/d/yy");
  TgsVariant v;
  EXPECT_EQ(v.AsText(), "");
  v.SetText("abc ");
  EXPECT_EQ(v.AsText(), "abc ");
  v.SetNumber(1.5);
  EXPECT_EQ(v.AsText(), "1.5");
  v.SetDate(2444240);
  EXPECT_EQ(v.AsText(), "1/1/1980");
  v.SetDate(0);
  EXPECT_EQ(v.AsText(), "");
  v.SetLogic(true);
  EXPECT_EQ(v.AsText(), "T");
  v.SetLogic(false);
  EXPECT_EQ(v.AsText(), "F");
  v.SetBytes("a\0b", 3);
  EXPECT_EQ(v.AsText(), std::string("a\0b", 3));
  platform::SetShortDateFormat(saved);
}

TEST(Variant, AsTextZAndCopyToStayWithinTheBuffer) {
  TgsVariant v;
  v.SetText("abcdef");
  char buf[4] = {'x', 'x', 'x', 'x'};
  v.AsTextZ(buf, 4);
  EXPECT_STREQ(buf, "abc");
  v.AsTextZ(buf, 0);
  v.AsTextZ(nullptr, 10);
  char out[8] = {};
  EXPECT_EQ(v.CopyTo(out, 3), 3u);
  EXPECT_EQ(std::string(out), "abc");
  EXPECT_EQ(v.CopyTo(out, 8), 6u);
  EXPECT_EQ(v.CopyTo(nullptr, 8), 0u);
}

TEST(Variant, Editors) {
  TgsVariant v;
  v.SetText("ab\xE9");
  v.UpperCase(nullptr);
  EXPECT_EQ(Text(v), "AB\xC9");
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = uint8_t(i);
  map['A'] = 'z';
  v.UpperCase(map);
  EXPECT_EQ(Text(v), "zB\xC9");
  v.PadTo(6);
  EXPECT_EQ(Text(v), "zB\xC9   ");
  EXPECT_EQ(v.Type(), VariantType::Text);
  v.PadTo(2);  // only lengthens
  EXPECT_EQ(v.Length(), 6u);
  v.TrimRight();
  EXPECT_EQ(Text(v), "zB\xC9");
  v.SetText("   ");
  v.TrimRight();
  EXPECT_TRUE(v.Empty());
  // Other types are left alone.
  v.SetBytes("ab  ", 4);
  v.UpperCase(nullptr);
  v.TrimRight();
  v.PadTo(10);
  EXPECT_EQ(Text(v), "ab  ");
}

TEST(VariantCompare, TextPrefixAndPosition) {
  TgsVariant ab, abc, abd;
  ab.SetText("AB");
  abc.SetText("ABC");
  abd.SetText("ABD");
  int pos;
  EXPECT_EQ(Cmp(ab, abc, &pos, 0), 0);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(Cmp(ab, abc, &pos, -1), -1);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(Cmp(ab, abc, &pos, 5), 1);  // the mode is clamped
  EXPECT_EQ(Cmp(abd, abc, &pos), 1);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(Cmp(abc, abd, &pos), -1);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(Cmp(abc, ab, &pos, -1), 1);  // longer A: no prefix rule
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(Cmp(abc, abc, &pos), 0);
  EXPECT_EQ(pos, 4);
}

TEST(VariantCompare, BytesCompareUnsignedAndMapApplies) {
  TgsVariant a, b;
  a.SetText("\xE9");
  b.SetText("z");
  EXPECT_EQ(Cmp(a, b), 1);
  uint8_t fold[256];
  for (int i = 0; i < 256; ++i) fold[i] = uint8_t(i);
  for (int c = 'a'; c <= 'z'; ++c) fold[c] = uint8_t(c - 32);
  a.SetText("abc");
  b.SetText("ABC");
  EXPECT_EQ(Cmp(a, b), 1);
  EXPECT_EQ(Cmp(a, b, nullptr, 0, fold), 0);
}

TEST(VariantCompare, ByteStringsHaveNoPrefixRuleAndNoMap) {
  TgsVariant a, b;
  a.SetBytes("AB", 2);
  b.SetBytes("ABC", 3);
  int pos;
  EXPECT_EQ(Cmp(a, b, &pos, 0), -1);
  EXPECT_EQ(pos, 3);
  uint8_t zero[256] = {};
  a.SetBytes("a", 1);
  b.SetBytes("b", 1);
  EXPECT_EQ(Cmp(a, b, nullptr, 0, zero), -1);
}

TEST(VariantCompare, ByteStringTakesTheOtherType) {
  TgsVariant bytes, text;
  bytes.SetBytes("AB", 2);
  text.SetText("ABC");
  int pos;
  // Compared as text, so the prefix rule applies.
  EXPECT_EQ(Cmp(bytes, text, &pos, 0), 0);
  EXPECT_EQ(pos, 3);
  TgsVariant num;
  num.SetNumber(2);
  TgsVariant raw;
  TgsVariant three;
  three.SetNumber(3);
  raw.SetBytes(three.Data(), 8);
  EXPECT_EQ(Cmp(raw, num), 1);
  EXPECT_EQ(Cmp(num, raw), -1);
}

TEST(VariantCompare, TypeMismatchIsRefused) {
  TgsVariant text, num, none;
  text.SetText("1");
  num.SetNumber(1);
  int pos;
  try {
    text.Compare(&num, pos, nullptr, 0);
    FAIL();
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Message(), "Variant types mismatch for compare");
  }
  EXPECT_THROW(text.Compare(&none, pos, nullptr, 0), EDevazozError);
}

TEST(VariantCompare, MissingAndEmptyValues) {
  TgsVariant a, b;
  a.SetText("x");
  int pos = 7;
  EXPECT_EQ(a.Compare(nullptr, pos, nullptr, 0), 1);
  EXPECT_EQ(pos, 0);
  b.SetText("");
  EXPECT_EQ(Cmp(a, b, &pos), 1);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(Cmp(b, a, &pos), -1);
  TgsVariant c;
  c.SetText("");
  EXPECT_EQ(Cmp(b, c, &pos), 0);
  TgsVariant n1, n2;
  EXPECT_EQ(Cmp(n1, n2), 0);
}

TEST(VariantCompare, NumbersDatesAndLogicals) {
  TgsVariant a, b;
  a.SetNumber(-1.5);
  b.SetNumber(2);
  EXPECT_EQ(Cmp(a, b), -1);
  EXPECT_EQ(Cmp(b, a), 1);
  b.SetNumber(-1.5);
  EXPECT_EQ(Cmp(a, b), 0);
  a.SetDate(2444240);
  b.SetDate(2444241);
  EXPECT_EQ(Cmp(a, b), -1);
  b.SetDate(-2000000000);
  EXPECT_EQ(Cmp(a, b), 1);
  a.SetLogic(true);
  b.SetLogic(false);
  EXPECT_EQ(Cmp(a, b), 1);
  EXPECT_EQ(Cmp(b, a), -1);
  b.SetLogic(true);
  EXPECT_EQ(Cmp(a, b), 0);
}

}  // namespace
}  // namespace devazoz
