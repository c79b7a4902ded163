#include "platform/services/datetime.h"

#include <sys/time.h>

#include <atomic>
#include <cctype>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/services/exception.h"

namespace platform {
namespace {

// 30 December 1899 counted with 1 January 1 as day 1.
constexpr int64_t kDaysTo1899_12_30 = 693594;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeap(y)) ? 29 : kDays[m - 1];
}

std::mutex& FormatMutex() {
  static std::mutex m;
  return m;
}
std::string& FormatStorage() {
  static std::string format = "M/d/yyyy";
  return format;
}

const char* const kMonthShort[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthLong[12] = {"January",   "February", "March",    "April",
                                    "May",       "June",     "July",     "August",
                                    "September", "October",  "November", "December"};
const char* const kDayShort[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayLong[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

// v as decimal text of at least width digits (a minus sign goes before the zeros).
std::string Digits(int64_t v, size_t width) {
  std::string s = std::to_string(v < 0 ? -v : v);
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return v < 0 ? "-" + s : s;
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, int32_t& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  int64_t days = 0;
  int y = year - 1;
  days = int64_t(y) * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  days += day;
  date = int32_t(days - kDaysTo1899_12_30);
  return true;
}

void DecodeDate(int32_t date, int& year, int& month, int& day) {
  // Civil-from-days on the proleptic Gregorian calendar (1970-01-01 is date 25569).
  int64_t z = int64_t(date) - 25569 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  day = int(doy - (153 * mp + 2) / 5 + 1);
  month = int(mp < 10 ? mp + 3 : mp - 9);
  year = int(y + (month <= 2 ? 1 : 0));
}

int DayOfWeek(int32_t date) {
  // Day 0 (30 December 1899) was a Saturday.
  int64_t r = (int64_t(date) + 6) % 7;
  if (r < 0) r += 7;
  return int(r) + 1;
}

namespace {
std::atomic<ClockFunction> g_clock{nullptr};
}  // namespace

void SetClock(ClockFunction clock) { g_clock.store(clock); }

LocalTime CurrentLocalTime() {
  if (ClockFunction clock = g_clock.load()) return clock();
  timeval tv{};
  gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  tm parts{};
  localtime_r(&secs, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.millisecond = int(tv.tv_usec / 1000);
  return t;
}

int32_t CurrentDate() {
  LocalTime t = CurrentLocalTime();
  int32_t d = 0;
  TryEncodeDate(t.year, t.month, t.day, d);
  return d;
}

std::string ShortDateFormat() {
  std::lock_guard<std::mutex> lock(FormatMutex());
  return FormatStorage();
}

void SetShortDateFormat(const std::string& format) {
  std::lock_guard<std::mutex> lock(FormatMutex());
  FormatStorage() = format;
}

std::string FormatDate(const std::string& pattern, int32_t date) {
  int y, m, d;
  DecodeDate(date, y, m, d);
  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    char c = pattern[i];
    char lc = char(std::tolower(static_cast<unsigned char>(c)));
    if (c == '"' || c == '\'') {
      size_t end = pattern.find(c, i + 1);
      if (end == std::string::npos) end = pattern.size();
      out.append(pattern, i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    if (lc != 'd' && lc != 'm' && lc != 'y') {
      out += c;
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == lc)
      ++run;
    i += run;
    if (lc == 'y') {
      int64_t yy = y % 100;
      out += run <= 2 ? Digits(yy < 0 ? yy + 100 : yy, 2) : Digits(y, 4);
    } else if (lc == 'm') {
      if (run == 1)
        out += std::to_string(m);
      else if (run == 2)
        out += Digits(m, 2);
      else if (run == 3)
        out += kMonthShort[m - 1];
      else
        out += kMonthLong[m - 1];
    } else {
      if (run == 1)
        out += std::to_string(d);
      else if (run == 2)
        out += Digits(d, 2);
      else if (run == 3)
        out += kDayShort[DayOfWeek(date) - 1];
      else
        out += kDayLong[DayOfWeek(date) - 1];
    }
  }
  return out;
}

bool TryStrToDate(const std::string& text, int32_t& date) {
  // The order of day, month and year comes from the short date format; the parts
  // are runs of digits separated by anything else.
  std::string format = ShortDateFormat();
  std::string order;
  for (char c : format) {
    char lc = char(std::tolower(static_cast<unsigned char>(c)));
    if ((lc == 'd' || lc == 'm' || lc == 'y') && order.find(lc) == std::string::npos) order += lc;
  }
  if (order.size() != 3) order = "mdy";
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      current += c;
      if (current.size() > 4) return false;
    } else {
      if (!current.empty())
        parts.push_back(current);
      else if (c != ' ')
        return false;
      current.clear();
      if (c != ' ' && parts.size() >= 3) return false;
    }
  }
  if (!current.empty()) parts.push_back(current);
  int now_year = CurrentLocalTime().year;
  int y = now_year, m = 0, d = 0;
  bool year_given = false;
  if (parts.size() == 3) {
    for (size_t k = 0; k < 3; ++k) {
      int v = std::stoi(parts[k]);
      if (order[k] == 'y') {
        y = v;
        year_given = parts[k].size() <= 2;
      } else if (order[k] == 'm') {
        m = v;
      } else {
        d = v;
      }
    }
  } else if (parts.size() == 2) {
    std::string dm;
    for (char c : order)
      if (c != 'y') dm += c;
    m = std::stoi(dm[0] == 'm' ? parts[0] : parts[1]);
    d = std::stoi(dm[0] == 'm' ? parts[1] : parts[0]);
  } else {
    return false;
  }
  if (year_given) {
    // Two-digit years fall within the 50 years before the current year or after it.
    int threshold = now_year - 50;
    y += (threshold / 100) * 100;
    if (y < threshold) y += 100;
  }
  return TryEncodeDate(y, m, d, date);
}

int32_t StrToDate(const std::string& text) {
  int32_t date = 0;
  if (!TryStrToDate(text, date)) throw EConvertError("'" + text + "' is not a valid date");
  return date;
}

}  // namespace platform
