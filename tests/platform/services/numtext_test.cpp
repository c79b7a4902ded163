#include "platform/services/numtext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "platform/services/exception.h"
#include "tests/support/dbf_fixture.h"

namespace platform {
namespace {

class ScopedSeparator {
 public:
  explicit ScopedSeparator(char c) : old_(DecimalSeparator()) { SetDecimalSeparator(c); }
  ~ScopedSeparator() { SetDecimalSeparator(old_); }

 private:
  char old_;
};

TEST(NumText, FloatToStrGeneralForm) {
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FloatToStr(100), "100");
  EXPECT_EQ(FloatToStr(0), "0");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(-2.25), "-2.25");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00012345), "0.00012345");
}

TEST(NumText, FloatToStrScientificForm) {
  EXPECT_EQ(FloatToStr(1e-5), "1E-5");
  EXPECT_EQ(FloatToStr(-1.5e-7), "-1.5E-7");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(1234567890123456.0), "1.23456789012346E15");
  EXPECT_EQ(FloatToStr(1.5e300), "1.5E300");
  EXPECT_EQ(FloatToStr(2.5e-300), "2.5E-300");
  // Rounding to 15 digits can carry into the next power of ten.
  EXPECT_EQ(FloatToStr(999999999999999.9), "1E15");
}

TEST(NumText, FloatToStrSpecialValues) {
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(NumText, StrToFloatAcceptsNumbers) {
  EXPECT_DOUBLE_EQ(StrToFloat("12.5"), 12.5);
  EXPECT_DOUBLE_EQ(StrToFloat("  12.5  "), 12.5);
  EXPECT_DOUBLE_EQ(StrToFloat("+3"), 3);
  EXPECT_DOUBLE_EQ(StrToFloat("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(StrToFloat("5."), 5);
  EXPECT_DOUBLE_EQ(StrToFloat("1e3"), 1000);
  EXPECT_DOUBLE_EQ(StrToFloat("1E+3"), 1000);
  EXPECT_DOUBLE_EQ(StrToFloat("-2.5e-3"), -0.0025);
  EXPECT_DOUBLE_EQ(StrToFloat("007"), 7);
  EXPECT_EQ(StrToFloat("1e-400"), 0.0);
}

TEST(NumText, StrToFloatRejectsText) {
  for (const char* bad :
       {"",    "   ", "abc",   "1.2.3",  "0x10", "inf", "nan", "INF", "1e",  "e5", "--1",
        "+-1", "1 2", "1e999", "-1e999", ".",    "-",   "1,5", "12a", "1e+", "\t1"}) {
    double v = 42;
    EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
    EXPECT_EQ(v, 42) << bad;
    try {
      StrToFloat(bad);
      ADD_FAILURE() << "no error for '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid floating point value");
    }
  }
}

TEST(NumText, DecimalSeparatorSetting) {
  ScopedSeparator sep(',');
  EXPECT_EQ(FloatToStr(1.5), "1,5");
  EXPECT_EQ(FloatToStr(-1.5e-7), "-1,5E-7");
  EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
  double v;
  EXPECT_FALSE(TryStrToFloat("1.5", v));
}

// The engine's one conversion for stored and indexed numbers: '.' whatever the
// separator setting, strict text, fixed-point text as printf gives it in the C locale.
TEST(NumText, EngineConversionIgnoresTheSeparatorSetting) {
  ScopedSeparator sep(',');
  double v = 7;
  EXPECT_TRUE(ParseDecimal("1.5", v));
  EXPECT_EQ(v, 1.5);
  EXPECT_TRUE(ParseDecimal("-2.5E+2", v));
  EXPECT_EQ(v, -250);
  EXPECT_TRUE(ParseDecimal("+.5e-1", v));
  EXPECT_EQ(v, 0.05);
  EXPECT_TRUE(ParseDecimal("1e-400", v));
  EXPECT_EQ(v, 0);
  v = 7;
  for (const char* bad : {"", " 1", "1 ", "1,5", "1.2.3", "0x1F", "1e", "1e+", ".", "-", "inf",
                          "nan", "1e400", "--1", "7%3"})
    EXPECT_FALSE(ParseDecimal(bad, v)) << bad;
  EXPECT_EQ(v, 7);
  EXPECT_EQ(DecimalText(-1.5e-7), "-1.5E-7");
  EXPECT_EQ(DecimalText(2.25), "2.25");
  EXPECT_EQ(FixedDecimalText(2.25, 1), "2.2");
  EXPECT_EQ(FixedDecimalText(-0.001, 2), "-0.00");
  EXPECT_EQ(FixedDecimalText(3, -1), "3");
  EXPECT_EQ(FixedDecimalText(1e300, 2).size(), 304u);
  char printed[400];
  for (double x : {0.5, 1.005, -123.456, 99999.995, 1e15 + 0.3}) {
    std::snprintf(printed, sizeof printed, "%.2f", x);
    EXPECT_EQ(FixedDecimalText(x, 2), printed) << x;
  }
}

TEST(NumText, RoundTripKeepsFifteenDigits) {
  std::mt19937_64 rng(20240607);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-300, 300);
  for (int i = 0; i < 20000; ++i) {
    double x = mantissa(rng) * std::pow(10.0, exponent(rng));
    std::string text = FloatToStr(x);
    double back = StrToFloat(text);
    EXPECT_NEAR(back, x, std::fabs(x) * 1e-14) << text;
  }
}

// The C library's numeric locale must not change the text (a windowing toolkit sets
// it from the environment). A German locale is compiled into a temporary directory
// when none is installed.
TEST(NumText, IndependentOfCLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  qvx_test::TempDir dir;
  bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  if (!switched) {
    std::string out;
    qvx_test::RunCommand("localedef -i de_DE -f UTF-8 " + dir.File("de_DE.UTF-8") + " 2>&1", &out);
    setenv("LOCPATH", dir.path().c_str(), 1);
    switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  }
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma could be made";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_STREQ(probe, "1,5");  // the C library now writes a comma
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FloatToStr(1.25e-9), "1.25E-9");
  EXPECT_DOUBLE_EQ(StrToFloat("2.75"), 2.75);
  std::setlocale(LC_NUMERIC, saved.c_str());
  unsetenv("LOCPATH");
}

}  // namespace
}  // namespace platform
