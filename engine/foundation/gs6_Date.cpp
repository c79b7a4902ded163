#include "engine/foundation/gs6_Date.h"

#include "engine/foundation/gs6_os.h"
#include "platform/services/datetime.h"

namespace devazoz {

TgsDBFDate& DBFDate() {
  static TgsDBFDate date;
  return date;
}

namespace {
// Day numbers of 1 January 1 and 31 December 9999, the dates the text forms can hold.
constexpr int32_t kFirstStorableDay = 1721426;
constexpr int32_t kLastStorableDay = 5373484;
}  // namespace

bool TgsDBFDate::IsStorable(int32_t day) {
  return day >= kFirstStorableDay && day <= kLastStorableDay;
}

void TgsDBFDate::DayToParts(int32_t day, int& year, int& month, int& day_of_month) const {
  platform::DecodeDate(day - julian_offset, year, month, day_of_month);
}

int32_t TgsDBFDate::Today() const { return os::CurrentDate() + julian_offset; }

int TgsDBFDate::DayOfWeek(int32_t day) const {
  if (day <= 0) return 0;
  return platform::DayOfWeek(day - julian_offset);
}

std::string TgsDBFDate::DayToStorage(int32_t day) const {
  // Outside years 1..9999 the text would not be eight characters; such a day is
  // stored as no date.
  if (day <= 0 || !IsStorable(day)) return std::string(8, ' ');
  return platform::FormatDate("yyyymmdd", day - julian_offset);
}

std::string TgsDBFDate::DayToDisplay(int32_t day) const {
  if (day <= 0 || !IsStorable(day)) return std::string();
  std::string format = platform::ShortDateFormat();
  if (four_digit_years) {
    for (char& c : format)
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    while (format.find("YYYY") == std::string::npos) {
      size_t at = format.find('Y');
      format.insert(at == std::string::npos ? 0 : at, 1, 'Y');
    }
  }
  return platform::FormatDate(format, day - julian_offset);
}

int32_t TgsDBFDate::StorageToDay(const std::string& text) const {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  if (trimmed.empty() || trimmed == "00000000") return 0;
  int32_t date = 0;
  bool digits = trimmed.size() == 8;
  for (char c : trimmed)
    if (c < '0' || c > '9') digits = false;
  if (digits) {
    int y = std::stoi(trimmed.substr(0, 4));
    int m = std::stoi(trimmed.substr(4, 2));
    int d = std::stoi(trimmed.substr(6, 2));
    if (!platform::TryEncodeDate(y, m, d, date)) date = 0;
  } else {
    date = platform::StrToDate(trimmed);
  }
  return date + julian_offset;
}

}  // namespace devazoz
