// Calendar dates as the platform counts them: a date value is the number of days
// since 30 December 1899 (day 0), so 1 January 1980 is 29221. Text patterns use the
// letters d, m, y (any case) for day, month and year; other characters are literal.
#ifndef PLATFORM_SERVICES_DATETIME_H_
#define PLATFORM_SERVICES_DATETIME_H_

#include <cstdint>
#include <string>

namespace platform {

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Days since 30 December 1899 for a valid Gregorian date; false when it does not exist.
bool TryEncodeDate(int year, int month, int day, int32_t& date);
// Inverse of TryEncodeDate; any day count in range gives a date.
void DecodeDate(int32_t date, int& year, int& month, int& day);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(int32_t date);

// The one clock of the program and the engine: the local time now, or what the
// function set with SetClock returns (tests fix the date this way). Null restores
// the system clock. The date parser's default year comes from it too.
using ClockFunction = LocalTime (*)();
void SetClock(ClockFunction clock);
LocalTime CurrentLocalTime();
int32_t CurrentDate();

// The user's short date format, process-wide; "M/d/yyyy" until the program sets it.
// Returned as a copy, so another thread may set it meanwhile.
std::string ShortDateFormat();
void SetShortDateFormat(const std::string& format);

std::string FormatDate(const std::string& pattern, int32_t date);
// Text in the short date format; raises EConvertError "'%s' is not a valid date".
int32_t StrToDate(const std::string& text);
bool TryStrToDate(const std::string& text, int32_t& date);

}  // namespace platform

#endif  // PLATFORM_SERVICES_DATETIME_H_
