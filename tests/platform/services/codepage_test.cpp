#include "platform/services/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += char(b);
  return s;
}

TEST(CodePage, AnsiUpperAndLowerOfAscii) {
  EXPECT_EQ(AnsiUpper("abc xyz 019 {}[]@`"), "ABC XYZ 019 {}[]@`");
  EXPECT_EQ(AnsiLower("ABC XYZ 019 {}[]@`"), "abc xyz 019 {}[]@`");
  std::string all;
  for (int c = 0; c < 128; ++c) all += char(c);
  std::string up = AnsiUpper(all);
  for (int c = 0; c < 128; ++c) EXPECT_EQ(uint8_t(up[c]), (c >= 'a' && c <= 'z') ? c - 32 : c) << c;
}

TEST(CodePage, AnsiUpperAndLowerOfWesternLetters) {
  // a-grave .. y-acute, thorn, and the letters in 0x80..0x9F (s-caron, oe, z-caron, y-diaeresis).
  std::string lower =
      Bytes({0xE0, 0xE4, 0xE9, 0xF1, 0xF6, 0xFC, 0xFD, 0xFE, 0x9A, 0x9C, 0x9E, 0xFF});
  std::string upper =
      Bytes({0xC0, 0xC4, 0xC9, 0xD1, 0xD6, 0xDC, 0xDD, 0xDE, 0x8A, 0x8C, 0x8E, 0x9F});
  EXPECT_EQ(AnsiUpper(lower), upper);
  EXPECT_EQ(AnsiLower(upper), lower);
  // Sharp s, micro, multiplication and division signs have no other case.
  std::string caseless = Bytes({0xDF, 0xB5, 0xD7, 0xF7, 0xAA, 0xBA});
  EXPECT_EQ(AnsiUpper(caseless), caseless);
  EXPECT_EQ(AnsiLower(caseless), caseless);
}

TEST(CodePage, CaseMappingsAreInverseOnLetters) {
  for (int c = 0; c < 256; ++c) {
    uint8_t up = AnsiUpperChar(uint8_t(c));
    uint8_t low = AnsiLowerChar(uint8_t(c));
    EXPECT_EQ(AnsiUpperChar(up), up) << c;
    EXPECT_EQ(AnsiLowerChar(low), low) << c;
    if (up != c) {
      EXPECT_EQ(AnsiLowerChar(up), c) << c;
    }
    if (low != c) {
      EXPECT_EQ(AnsiUpperChar(low), c) << c;
    }
  }
}

TEST(CodePage, BufferFormsMatchStringForms) {
  std::string text = Bytes({'a', 0xE9, 'Z', 0xFF, 0});
  std::string buf = text;
  AnsiUpperBuffer(buf.data(), buf.size());
  EXPECT_EQ(buf, AnsiUpper(text));
  AnsiLowerBuffer(buf.data(), 2);  // only part of the buffer
  EXPECT_EQ(buf, Bytes({'a', 0xE9, 'Z', 0x9F, 0}));
}

// Pairs of (code page 437, Windows-1252) bytes for the same character.
const int kCommonPairs[][2] = {
    {0x80, 0xC7}, {0x81, 0xFC}, {0x82, 0xE9}, {0x84, 0xE4}, {0x8E, 0xC4}, {0x8F, 0xC5},
    {0x90, 0xC9}, {0x91, 0xE6}, {0x92, 0xC6}, {0x94, 0xF6}, {0x99, 0xD6}, {0x9A, 0xDC},
    {0x9B, 0xA2}, {0x9C, 0xA3}, {0x9D, 0xA5}, {0x9F, 0x83}, {0xA4, 0xF1}, {0xA5, 0xD1},
    {0xA8, 0xBF}, {0xAD, 0xA1}, {0xAE, 0xAB}, {0xAF, 0xBB}, {0xE1, 0xDF}, {0xE6, 0xB5},
    {0xF1, 0xB1}, {0xF6, 0xF7}, {0xF8, 0xB0}, {0xFA, 0xB7}, {0xFD, 0xB2}, {0xFF, 0xA0},
};

TEST(CodePage, OemAndAnsiAgreeOnCommonCharacters) {
  for (const auto& pair : kCommonPairs) {
    std::string oem(1, char(pair[0])), ansi(1, char(pair[1]));
    EXPECT_EQ(OemToAnsi(oem), ansi) << std::hex << pair[0];
    EXPECT_EQ(AnsiToOem(ansi), oem) << std::hex << pair[1];
  }
  std::string ascii;
  for (int c = 0; c < 128; ++c) ascii += char(c);
  EXPECT_EQ(OemToAnsi(ascii), ascii);
  EXPECT_EQ(AnsiToOem(ascii), ascii);
}

TEST(CodePage, OemUpperFoldsAccentedLettersToTheirOemCapitals) {
  // ü é ä å ç ñ and their capitals Ü É Ä Å Ç Ñ in code page 437.
  EXPECT_EQ(OemUpper(Bytes({0x81, 0x82, 0x84, 0x86, 0x87, 0xA4})),
            Bytes({0x9A, 0x90, 0x8E, 0x8F, 0x80, 0xA5}));
  EXPECT_EQ(OemUpper("abc xyz 123"), "ABC XYZ 123");
  // Letters without an OEM capital (â, à) and box-drawing bytes stay as they are.
  EXPECT_EQ(OemUpper(Bytes({0x83, 0x85, 0xC4, 0xDB})), Bytes({0x83, 0x85, 0xC4, 0xDB}));
  for (int c = 0; c < 256; ++c) {
    uint8_t upper = OemUpperChar(uint8_t(c));
    // Upper-casing in OEM agrees with upper-casing the ANSI form whenever it changes a byte.
    if (upper != c) {
      EXPECT_EQ(OemToAnsi(std::string(1, char(upper))),
                AnsiUpper(OemToAnsi(std::string(1, char(c)))))
          << c;
    }
    EXPECT_EQ(OemUpperChar(upper), upper) << c;
  }
}

TEST(CodePage, EveryCharacterInBothCodePagesRoundTrips) {
  int common = 0;
  for (int b = 0x80; b < 256; ++b) {
    std::string oem(1, char(b));
    std::string ansi = OemToAnsi(oem);
    if (ansi == "?") continue;  // no counterpart (box drawing, Greek, ...)
    ++common;
    EXPECT_GE(uint8_t(ansi[0]), 0x80) << std::hex << b;
    EXPECT_EQ(AnsiToOem(ansi), oem) << std::hex << b;
  }
  // Code page 437 has 54 non-ASCII characters that Windows-1252 also has.
  EXPECT_EQ(common, 54);
  // Going the other way, a character either comes back or was replaced by a
  // plain letter or '?'.
  for (int a = 0x80; a < 256; ++a) {
    std::string ansi(1, char(a));
    std::string oem = AnsiToOem(ansi);
    if (uint8_t(oem[0]) >= 0x80) {
      EXPECT_EQ(OemToAnsi(oem), ansi) << std::hex << a;
    } else {
      EXPECT_TRUE(std::isalpha(uint8_t(oem[0])) || oem == "?") << std::hex << a;
    }
  }
  EXPECT_EQ(AnsiToOem(Bytes({0xC0, 0x8A, 0x80})), "AS?");  // A-grave, S-caron, euro
}

TEST(CodePage, BufferConversionsCopyExactlyCount) {
  std::string src = Bytes({0x81, 0x84, 0x94});
  char dest[4] = {'x', 'x', 'x', 'x'};
  OemToAnsiBuffer(src.data(), dest, 2);
  EXPECT_EQ(std::string(dest, 4), Bytes({0xFC, 0xE4, 'x', 'x'}));
  AnsiToOemBuffer(dest, dest, 2);  // in place
  EXPECT_EQ(std::string(dest, 4), Bytes({0x81, 0x84, 'x', 'x'}));
}

TEST(CodePage, Utf8RoundTripOfEveryByte) {
  EXPECT_EQ(AnsiToUtf8(Bytes({0x80})), "\xE2\x82\xAC");
  EXPECT_EQ(AnsiToUtf8(Bytes({0xE9})), "\xC3\xA9");
  EXPECT_EQ(AnsiToUtf8("plain"), "plain");
  std::string all;
  for (int c = 0; c < 256; ++c) all += char(c);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(CodePage, Utf8ToAnsiReplacesWhatItCannotMap) {
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC"), Bytes({0x80}));
  EXPECT_EQ(Utf8ToAnsi("\xCE\xA9"), "?");            // Greek omega
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80x"), "?x");  // emoji
  EXPECT_EQ(Utf8ToAnsi("\xC3"), "?");                // cut sequence
  EXPECT_EQ(Utf8ToAnsi("\xC3"
                       "A"),
            "?A");
  EXPECT_EQ(Utf8ToAnsi("\xFF\xFE"), "??");
  EXPECT_EQ(Utf8ToAnsi("\x80"), "?");  // stray continuation byte
}

TEST(CodePage, Utf8ToAnsiExactNamesWhatItCannotMap) {
  std::string out, missing;
  EXPECT_TRUE(Utf8ToAnsiExact("caf\xC3\xA9 \xE2\x82\xAC?", out, &missing));
  EXPECT_EQ(out, "caf" + Bytes({0xE9}) + " " + Bytes({0x80}) + "?");
  EXPECT_FALSE(
      Utf8ToAnsiExact("ab\xD0\x96"
                      "cd",
                      out, &missing));  // Cyrillic Zhe
  EXPECT_EQ(missing, "\xD0\x96");
  EXPECT_FALSE(Utf8ToAnsiExact("x\xF0\x9F\x98\x80", out, &missing));
  EXPECT_EQ(missing, "\xF0\x9F\x98\x80");
  EXPECT_FALSE(Utf8ToAnsiExact("\xC3", out, &missing));  // cut sequence
  EXPECT_EQ(missing, "\xC3");
  EXPECT_FALSE(Utf8ToAnsiExact("\xCE\xA9", out, nullptr));
  std::string all;
  for (int c = 0; c < 256; ++c) all += char(c);
  EXPECT_TRUE(Utf8ToAnsiExact(AnsiToUtf8(all), out, &missing));
  EXPECT_EQ(out, all);
}

TEST(CodePage, FirstAnsiNotInOemFindsWhatCodePage437Lacks) {
  EXPECT_EQ(FirstAnsiNotInOem("Caf" + Bytes({0xE9}) + " " + Bytes({0xC4, 0xFC})),
            std::string::npos);
  EXPECT_EQ(FirstAnsiNotInOem("5 " + Bytes({0x80})), 2u);  // the euro sign
  EXPECT_EQ(FirstAnsiNotInOem(Bytes({0x8A})), 0u);         // S with caron: not an S
  // Exactly the characters that come back as themselves fit.
  for (int c = 0; c < 256; ++c) {
    std::string one(1, char(c));
    EXPECT_EQ(FirstAnsiNotInOem(one) == std::string::npos, OemToAnsi(AnsiToOem(one)) == one) << c;
  }
}

}  // namespace
}  // namespace platform
