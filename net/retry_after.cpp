// Retry-After values: delta-seconds or an HTTP date, read without the C library's locale
// or time zone.
#include "net/retry_after.h"

#include <array>
#include <limits>

namespace orvella {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsAllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int64_t DeltaSeconds(std::string_view digits) {
  constexpr int64_t kLargest = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (const char c : digits) {
    const int digit = c - '0';
    if (value > (kLargest - digit) / 10) return kLargest;
    value = value * 10 + digit;
  }
  return value;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

bool IsLeapYear(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int64_t year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Reads the text up to the first of `stops` (or the end) and moves past it.
std::string_view Token(std::string_view& text, std::string_view stops) {
  const std::size_t end = text.find_first_of(stops);
  const std::string_view token = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end);
  return token;
}

bool Skip(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

// 1 to 12 for a month's three-letter name, in any letter case; 0 for anything else.
int MonthNumber(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  if (name.size() != 3) return 0;
  char lower[3];
  for (std::size_t i = 0; i < 3; ++i) {
    const char c = name[i];
    lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (std::string_view(lower, 3) == kMonths[i]) return static_cast<int>(i) + 1;
  }
  return 0;
}

bool IsDayName(std::string_view name) {
  if (name.size() < 3) return false;
  for (const char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

// A number of exactly `width` digits.
bool Number(std::string_view text, std::size_t width, int64_t& value) {
  if (text.size() != width || !IsAllDigits(text)) return false;
  value = DeltaSeconds(text);
  return true;
}

struct DateParts {
  int64_t year = 0;
  int month = 0;
  int64_t day = 0;
  int64_t hour = 0;
  int64_t minute = 0;
  int64_t second = 0;
};

// "HH:MM:SS".
bool TimeOfDay(std::string_view text, DateParts& parts) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
  return Number(text.substr(0, 2), 2, parts.hour) && Number(text.substr(3, 2), 2, parts.minute) &&
         Number(text.substr(6, 2), 2, parts.second);
}

// "Sun, 06 Nov 1994 08:49:37 GMT" (after the day name and its comma).
bool FixDate(std::string_view text, DateParts& parts) {
  if (!Skip(text, ' ') || !Number(Token(text, " "), 2, parts.day) || !Skip(text, ' ')) return false;
  parts.month = MonthNumber(Token(text, " "));
  if (!Skip(text, ' ') || !Number(Token(text, " "), 4, parts.year) || !Skip(text, ' '))
    return false;
  return TimeOfDay(Token(text, " "), parts) && Skip(text, ' ') && text == "GMT";
}

// "Sunday, 06-Nov-94 08:49:37 GMT" (after the day name and its comma). A two-digit year
// more than 50 years ahead of `nowYear` is the most recent past year with those digits.
bool Rfc850Date(std::string_view text, int64_t nowYear, DateParts& parts) {
  if (!Skip(text, ' ') || !Number(Token(text, "-"), 2, parts.day) || !Skip(text, '-')) return false;
  parts.month = MonthNumber(Token(text, "-"));
  int64_t shortYear = 0;
  if (!Skip(text, '-') || !Number(Token(text, " "), 2, shortYear) || !Skip(text, ' ')) return false;
  parts.year = nowYear - nowYear % 100 + shortYear;
  if (parts.year > nowYear + 50) parts.year -= 100;
  return TimeOfDay(Token(text, " "), parts) && Skip(text, ' ') && text == "GMT";
}

// "Nov  6 08:49:37 1994" (after the day name and its blank).
bool AsctimeDate(std::string_view text, DateParts& parts) {
  parts.month = MonthNumber(Token(text, " "));
  if (!Skip(text, ' ')) return false;
  if (Skip(text, ' ')) {
    if (!Number(Token(text, " "), 1, parts.day)) return false;
  } else if (!Number(Token(text, " "), 2, parts.day)) {
    return false;
  }
  if (!Skip(text, ' ') || !TimeOfDay(Token(text, " "), parts) || !Skip(text, ' ')) return false;
  return Number(text, 4, parts.year);
}

bool ValidDate(const DateParts& parts) {
  return parts.month >= 1 && parts.day >= 1 && parts.day <= DaysInMonth(parts.year, parts.month) &&
         parts.hour <= 23 && parts.minute <= 59 && parts.second <= 60;
}

int64_t CivilYear(int64_t seconds) {
  // Days to a civil date (the inverse of DaysFromCivil), only as far as the year.
  const int64_t days = (seconds >= 0 ? seconds : seconds - (kSecondsPerDay - 1)) / kSecondsPerDay;
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  return yearOfEra + era * 400 + (shiftedMonth >= 10 ? 1 : 0);
}

// The HTTP date's time in seconds since 1970, or nothing when `text` is not one.
std::optional<int64_t> HttpDate(std::string_view text, int64_t nowSeconds) {
  const std::string_view dayName = Token(text, ", ");
  if (!IsDayName(dayName)) return std::nullopt;
  DateParts parts;
  bool read = false;
  if (Skip(text, ',')) {
    read =
        dayName.size() == 3 ? FixDate(text, parts) : Rfc850Date(text, CivilYear(nowSeconds), parts);
  } else if (dayName.size() == 3 && Skip(text, ' ')) {
    read = AsctimeDate(text, parts);
  }
  if (!read || !ValidDate(parts)) return std::nullopt;
  return DaysFromCivil(parts.year, parts.month, static_cast<int>(parts.day)) * kSecondsPerDay +
         parts.hour * 3600 + parts.minute * 60 + parts.second;
}

}  // namespace

std::optional<int64_t> RetryAfterSeconds(std::string_view value, int64_t nowSeconds) {
  const std::string_view text = Trimmed(value);
  if (IsAllDigits(text)) return DeltaSeconds(text);
  const std::optional<int64_t> date = HttpDate(text, nowSeconds);
  if (!date) return std::nullopt;
  return *date > nowSeconds ? *date - nowSeconds : 0;
}

}  // namespace orvella
