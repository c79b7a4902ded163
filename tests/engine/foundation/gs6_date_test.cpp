#include "engine/foundation/gs6_Date.h"

#include <gtest/gtest.h>

#include "platform/services/datetime.h"
#include "platform/services/exception.h"

namespace devazoz {
namespace {

class ScopedShortDateFormat {
 public:
  explicit ScopedShortDateFormat(const std::string& format) : old_(platform::ShortDateFormat()) {
    platform::SetShortDateFormat(format);
  }
  ~ScopedShortDateFormat() { platform::SetShortDateFormat(old_); }

 private:
  std::string old_;
};

TEST(DBFDate, ProcessWideInstance) {
  EXPECT_EQ(&DBFDate(), &DBFDate());
  EXPECT_TRUE(DBFDate().four_digit_years);
  EXPECT_EQ(DBFDate().julian_offset, 2415019);
}

TEST(DBFDate, StorageToDayEdgeCases) {
  TgsDBFDate date;
  EXPECT_EQ(date.StorageToDay("19800101"), 2444240);
  EXPECT_EQ(date.StorageToDay("        "), 0);
  EXPECT_EQ(date.StorageToDay(""), 0);
  EXPECT_EQ(date.StorageToDay("00000000"), 0);
  // A day that does not exist gives 30 December 1899, not "no date".
  EXPECT_EQ(date.StorageToDay("19990231"), 2415019);
  EXPECT_EQ(date.StorageToDay("19991301"), 2415019);
  EXPECT_EQ(date.StorageToDay("00001231"), 2415019);
  EXPECT_EQ(date.StorageToDay("19800101  "), 2444240);
  EXPECT_EQ(date.StorageToDay("19000301"), 2415080);
  EXPECT_EQ(date.StorageToDay("00010101"), 1721426);
  EXPECT_EQ(date.StorageToDay("99991231"), 5373484);
}

TEST(DBFDate, StorageToDayReadsOtherTextInShortFormat) {
  ScopedShortDateFormat f("M/d/yyyy");
  TgsDBFDate date;
  EXPECT_EQ(date.StorageToDay("1/1/1980"), 2444240);
  EXPECT_EQ(date.StorageToDay("12/31/1999  "), date.StorageToDay("19991231"));
  for (const char* bad : {"abc", "1980010", "1980-01-01", " 19800101", "198001011"}) {
    try {
      date.StorageToDay(bad);
      ADD_FAILURE() << "no error for " << bad;
    } catch (const platform::EConvertError& e) {
      std::string trimmed = bad;
      EXPECT_EQ(e.Message(), "'" + trimmed + "' is not a valid date");
    }
  }
}

TEST(DBFDate, DayToStorage) {
  TgsDBFDate date;
  EXPECT_EQ(date.DayToStorage(0), "        ");
  EXPECT_EQ(date.DayToStorage(-5), "        ");
  EXPECT_EQ(date.DayToStorage(2444240), "19800101");
  EXPECT_EQ(date.DayToStorage(2415019), "18991230");
  EXPECT_EQ(date.DayToStorage(1721426), "00010101");
  EXPECT_EQ(date.DayToStorage(5373484), "99991231");
  // Days outside years 1..9999 have no eight-character text.
  EXPECT_EQ(date.DayToStorage(1721425), "        ");
  EXPECT_EQ(date.DayToStorage(5373485), "        ");
  EXPECT_EQ(date.DayToStorage(1), "        ");
  EXPECT_EQ(date.DayToStorage(INT32_MAX), "        ");
}

TEST(DBFDate, StorageRoundTripOverWholeRange) {
  TgsDBFDate date;
  for (int32_t day = 1721426; day <= 5373484; day += 37) {
    std::string text = date.DayToStorage(day);
    ASSERT_EQ(text.size(), 8u);
    ASSERT_EQ(date.StorageToDay(text), day) << text;
  }
}

TEST(DBFDate, DayOfWeekAndParts) {
  TgsDBFDate date;
  EXPECT_EQ(date.DayOfWeek(2444240), 3);  // a Tuesday
  EXPECT_EQ(date.DayOfWeek(2444244), 7);
  EXPECT_EQ(date.DayOfWeek(2444245), 1);
  EXPECT_EQ(date.DayOfWeek(0), 0);
  EXPECT_EQ(date.DayOfWeek(-1), 0);
  int y, m, d;
  date.DayToParts(2444240 + 59, y, m, d);  // 1980 is a leap year
  EXPECT_EQ(y, 1980);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(d, 29);
}

TEST(DBFDate, TodayIsPlatformDatePlusOffset) {
  TgsDBFDate date;
  int32_t before = platform::CurrentDate();
  int32_t today = date.Today();
  int32_t after = platform::CurrentDate();
  EXPECT_GE(today, before + 2415019);
  EXPECT_LE(today, after + 2415019);
}

TEST(DBFDate, DisplayWithFourDigitYears) {
  TgsDBFDate date;
  {
    ScopedShortDateFormat f("M/d/yy");
    EXPECT_EQ(date.DayToDisplay(2444240), "1/1/1980");
    date.four_digit_years = false;
    EXPECT_EQ(date.DayToDisplay(2444240), "1/1/80");
    date.four_digit_years = true;
  }
  {
    ScopedShortDateFormat f("dd.MM.yy");
    EXPECT_EQ(date.DayToDisplay(2444240 + 40), "10.02.1980");
  }
  {
    ScopedShortDateFormat f("yyyy-MM-dd");
    EXPECT_EQ(date.DayToDisplay(2444240), "1980-01-01");
  }
  {
    // One "y" is widened to four as well.
    ScopedShortDateFormat f("d/M/y");
    EXPECT_EQ(date.DayToDisplay(2444240), "1/1/1980");
  }
  {
    // No year at all: the year goes in front.
    ScopedShortDateFormat f("dd/MM");
    EXPECT_EQ(date.DayToDisplay(2444240), "198001/01");
  }
  EXPECT_EQ(date.DayToDisplay(0), "");
  EXPECT_EQ(date.DayToDisplay(-3), "");
  EXPECT_EQ(date.DayToDisplay(5373485), "");
}

TEST(DBFDate, DisplayReadsBack) {
  ScopedShortDateFormat f("M/d/yy");
  TgsDBFDate date;
  for (int32_t day : {2444240, 2415385, 2451545, 2488069})
    EXPECT_EQ(date.StorageToDay(date.DayToDisplay(day)), day) << date.DayToDisplay(day);
}

}  // namespace
}  // namespace devazoz
