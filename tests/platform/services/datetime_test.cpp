#include "platform/services/datetime.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "platform/services/exception.h"

namespace platform {
namespace {

// Sets the short date format for one test and puts the old one back.
class ScopedShortDateFormat {
 public:
  explicit ScopedShortDateFormat(const std::string& format) : old_(ShortDateFormat()) {
    SetShortDateFormat(format);
  }
  ~ScopedShortDateFormat() { SetShortDateFormat(old_); }

 private:
  std::string old_;
};

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int MonthLength(int y, int m) {
  if (m == 2) return IsLeapYear(y) ? 29 : 28;
  return (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
}

TEST(DateTime, KnownDates) {
  int32_t d = -1;
  ASSERT_TRUE(TryEncodeDate(1899, 12, 30, d));
  EXPECT_EQ(d, 0);
  ASSERT_TRUE(TryEncodeDate(1980, 1, 1, d));
  EXPECT_EQ(d, 29221);
  ASSERT_TRUE(TryEncodeDate(1900, 3, 1, d));
  EXPECT_EQ(d, 61);
  ASSERT_TRUE(TryEncodeDate(1, 1, 1, d));
  EXPECT_EQ(d, -693593);
  ASSERT_TRUE(TryEncodeDate(9999, 12, 31, d));
  EXPECT_EQ(d, 2958465);
  int y, m, dd;
  DecodeDate(29221, y, m, dd);
  EXPECT_EQ(y * 10000 + m * 100 + dd, 19800101);
}

TEST(DateTime, RejectsDatesThatDoNotExist) {
  int32_t d = 12345;
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(2100, 2, 29, d));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(1999, 2, 31, d));
  EXPECT_FALSE(TryEncodeDate(1999, 4, 31, d));
  EXPECT_FALSE(TryEncodeDate(1999, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(1999, 0, 1, d));
  EXPECT_FALSE(TryEncodeDate(1999, 1, 0, d));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(-5, 1, 1, d));
}

// Walks every day of years 1..9999 with a plain calendar counter and checks that
// encoding, decoding and the day of the week agree with it.
TEST(DateTime, EncodeDecodeAgreeWithDayCounterOverWholeRange) {
  int32_t counter = -693593;  // 1 January 1
  int weekday = 2;            // 1 January 1 was a Monday (proleptic Gregorian)
  int failures = 0;
  for (int y = 1; y <= 9999 && failures < 5; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= MonthLength(y, m); ++d, ++counter) {
        int32_t encoded = 0;
        int dy, dm, dd;
        DecodeDate(counter, dy, dm, dd);
        if (!TryEncodeDate(y, m, d, encoded) || encoded != counter || dy != y || dm != m ||
            dd != d || DayOfWeek(counter) != weekday) {
          ADD_FAILURE() << y << "-" << m << "-" << d << " counter " << counter << " encoded "
                        << encoded << " decoded " << dy << "-" << dm << "-" << dd;
          ++failures;
        }
        weekday = weekday % 7 + 1;
      }
    }
  }
  EXPECT_EQ(counter, 2958466);
}

TEST(DateTime, DayOfWeek) {
  EXPECT_EQ(DayOfWeek(0), 7);      // 30 December 1899, a Saturday
  EXPECT_EQ(DayOfWeek(29221), 3);  // 1 January 1980, a Tuesday
  EXPECT_EQ(DayOfWeek(-1), 6);
  EXPECT_EQ(DayOfWeek(-7), 7);
}

TEST(DateTime, DecodeOutsideCalendarRangeStillGivesADate) {
  int y, m, d;
  DecodeDate(-693594, y, m, d);  // the day before 1 January 1
  EXPECT_EQ(y, 0);
  EXPECT_EQ(m, 12);
  EXPECT_EQ(d, 31);
  DecodeDate(INT32_MIN, y, m, d);
  EXPECT_GE(m, 1);
  EXPECT_LE(m, 12);
  DecodeDate(INT32_MAX, y, m, d);
  EXPECT_GE(d, 1);
  EXPECT_LE(d, 31);
}

TEST(DateTime, FormatPatterns) {
  int32_t d;
  ASSERT_TRUE(TryEncodeDate(1980, 1, 5, d));
  EXPECT_EQ(FormatDate("yyyymmdd", d), "19800105");
  EXPECT_EQ(FormatDate("YYYYMMDD", d), "19800105");
  EXPECT_EQ(FormatDate("m/d/yy", d), "1/5/80");
  EXPECT_EQ(FormatDate("dd.mm.yyyy", d), "05.01.1980");
  EXPECT_EQ(FormatDate("y", d), "80");
  EXPECT_EQ(FormatDate("yyy", d), "1980");
  EXPECT_EQ(FormatDate("mmm mmmm", d), "Jan January");
  EXPECT_EQ(FormatDate("ddd dddd", d), "Sat Saturday");
  EXPECT_EQ(FormatDate("'day' d", d), "day 5");
  EXPECT_EQ(FormatDate("\"mm\"-mm", d), "mm-01");
  EXPECT_EQ(FormatDate("", d), "");
  ASSERT_TRUE(TryEncodeDate(2007, 12, 31, d));
  EXPECT_EQ(FormatDate("mmmm d, yyyy", d), "December 31, 2007");
  EXPECT_EQ(FormatDate("yy", d), "07");
}

TEST(DateTime, FourDigitYearsArePaddedWithZeros) {
  int32_t d;
  ASSERT_TRUE(TryEncodeDate(999, 3, 4, d));
  EXPECT_EQ(FormatDate("yyyymmdd", d), "09990304");
  ASSERT_TRUE(TryEncodeDate(5, 1, 1, d));
  EXPECT_EQ(FormatDate("yyyy", d), "0005");
  EXPECT_EQ(FormatDate("yy", d), "05");
}

TEST(DateTime, ShortDateFormatSetting) {
  EXPECT_EQ(ShortDateFormat(), "M/d/yyyy");
  {
    ScopedShortDateFormat f("dd.MM.yyyy");
    EXPECT_EQ(ShortDateFormat(), "dd.MM.yyyy");
  }
  EXPECT_EQ(ShortDateFormat(), "M/d/yyyy");
}

TEST(DateTime, StrToDateInShortFormat) {
  ScopedShortDateFormat f("M/d/yy");
  int32_t expect;
  ASSERT_TRUE(TryEncodeDate(1980, 1, 1, expect));
  EXPECT_EQ(StrToDate("1/1/1980"), expect);
  EXPECT_EQ(StrToDate(" 01/01/1980 "), expect);
  ASSERT_TRUE(TryEncodeDate(1999, 12, 31, expect));
  EXPECT_EQ(StrToDate("12/31/1999"), expect);
  // Three-digit years are taken as they are.
  ASSERT_TRUE(TryEncodeDate(980, 2, 3, expect));
  EXPECT_EQ(StrToDate("2/3/980"), expect);
}

TEST(DateTime, StrToDateFollowsOrderOfFormat) {
  int32_t expect;
  ASSERT_TRUE(TryEncodeDate(1999, 12, 31, expect));
  {
    ScopedShortDateFormat f("dd.MM.yyyy");
    EXPECT_EQ(StrToDate("31.12.1999"), expect);
    EXPECT_THROW(StrToDate("12.31.1999"), EConvertError);
  }
  {
    ScopedShortDateFormat f("yyyy-MM-dd");
    EXPECT_EQ(StrToDate("1999-12-31"), expect);
  }
}

// Sets the one clock to noon of a day of `year` for one test.
class ScopedClock {
 public:
  explicit ScopedClock(int year) {
    year_ = year;
    SetClock([] {
      LocalTime t;
      t.year = year_;
      t.month = 11;
      t.day = 20;
      t.hour = 12;
      return t;
    });
  }
  ~ScopedClock() { SetClock(nullptr); }

 private:
  static inline int year_ = 0;
};

TEST(DateTime, StrToDateTwoDigitYearsFallInFiftyYearWindowAroundTheClocksYear) {
  ScopedShortDateFormat f("M/d/yy");
  for (int year : {2026, 2099, 2150}) {
    ScopedClock clock(year);
    auto two = [](int y) { return std::to_string(y % 100); };
    int32_t expect;
    // The current year, the 50 years before it and the 49 after it.
    for (int y : {year, year - 50, year + 49, year - 1, year + 1}) {
      ASSERT_TRUE(TryEncodeDate(y, 6, 1, expect));
      EXPECT_EQ(StrToDate("6/1/" + two(y)), expect) << "clock in " << year << ", year " << y;
    }
  }
}

TEST(DateTime, StrToDateWithoutYearUsesTheClocksYear) {
  ScopedShortDateFormat f("M/d/yyyy");
  ScopedClock clock(2087);
  int32_t expect;
  ASSERT_TRUE(TryEncodeDate(2087, 3, 7, expect));
  EXPECT_EQ(StrToDate("3/7"), expect);
  EXPECT_EQ(CurrentLocalTime().year, 2087);
  ASSERT_TRUE(TryEncodeDate(2087, 11, 20, expect));
  EXPECT_EQ(CurrentDate(), expect);
}

TEST(DateTime, StrToDateRejectsText) {
  ScopedShortDateFormat f("M/d/yyyy");
  for (const char* bad :
       {"", "   ", "abc", "1", "1//1980", "/1/1/1980", "1/1/1980/", "13/1/1980", "2/30/1980",
        "0/1/1980", "1/1/12345", "1/1/1980/5", "1-1-1980x", "1/1/19 80"}) {
    int32_t d = 77;
    EXPECT_FALSE(TryStrToDate(bad, d)) << bad;
    try {
      StrToDate(bad);
      ADD_FAILURE() << "no error for '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid date");
    }
  }
}

TEST(DateTime, CurrentDateMatchesSystemClock) {
  time_t now = time(nullptr);
  tm parts{};
  localtime_r(&now, &parts);
  int32_t expect;
  ASSERT_TRUE(TryEncodeDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, expect));
  int32_t got = CurrentDate();
  // Midnight may pass between the two readings.
  EXPECT_TRUE(got == expect || got == expect + 1) << got << " vs " << expect;
  LocalTime t = CurrentLocalTime();
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_LT(t.millisecond, 1000);
}

}  // namespace
}  // namespace platform
