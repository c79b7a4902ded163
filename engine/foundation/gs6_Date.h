// TgsDBFDate: conversions between Julian day numbers (1 January 1980 = 2444240,
// 0 = no date), the tables' "yyyymmdd" text and the user's display format.
#ifndef ENGINE_FOUNDATION_GS6_DATE_H_
#define ENGINE_FOUNDATION_GS6_DATE_H_

#include <cstdint>
#include <string>

namespace devazoz {

// Day number minus the platform date (days since 30 December 1899).
constexpr int32_t kJulianOffset = 2415019;

class TgsDBFDate {
 public:
  TgsDBFDate() = default;

  void DayToParts(int32_t day, int& year, int& month, int& day_of_month) const;
  int32_t Today() const;
  // 1 = Sunday .. 7 = Saturday; 0 for a day number <= 0.
  int DayOfWeek(int32_t day) const;
  // "yyyymmdd"; eight blanks for a day number <= 0 or outside years 1..9999.
  std::string DayToStorage(int32_t day) const;
  // The user's short date format; empty where DayToStorage gives blanks.
  std::string DayToDisplay(int32_t day) const;
  // 0 for blanks and "00000000"; a nonexistent eight-digit date gives the day
  // number of 30 December 1899 (kJulianOffset). Raises platform::EConvertError for
  // other text that is no date in the short date format.
  int32_t StorageToDay(const std::string& text) const;
  // True for the days of years 1..9999, which the text forms can hold.
  static bool IsStorable(int32_t day);

  bool four_digit_years = true;
  int32_t julian_offset = kJulianOffset;
};

// The process-wide instance.
TgsDBFDate& DBFDate();

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_DATE_H_
