#include "platform/Date.h"

#include <cmath>
#include <cstdlib>

namespace {
std::function<std::time_t()>& clockFunction() {
  static std::function<std::time_t()> clock;
  return clock;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

const int64_t kDays1904 = daysFromCivil(1904, 1, 1);

// With TZ unset, the C library looks at /etc/localtime again on every local
// time conversion, which makes listing a large archive slow. Naming the same
// zone file in TZ once lets it keep what it read.
void pinTimeZone() {
  static const bool pinned = [] {
    if (!std::getenv("TZ")) setenv("TZ", ":/etc/localtime", 0);
    tzset();
    return true;
  }();
  (void)pinned;
}
}  // namespace

void Date::SetClock(std::function<std::time_t()> clock) { clockFunction() = std::move(clock); }

Date::Date() {
  const auto& clock = clockFunction();
  unix_ = clock ? clock() : std::time(nullptr);
}

Date Date::FromUnixTime(std::time_t t) { return Date(t, 0); }

Date Date::FromComponents(int year, int month, int day, int hour, int minute, int second) {
  pinTimeZone();
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return Date(std::mktime(&tm), 0);
}

Date Date::FromTotalSeconds(double totalSeconds) {
  Date date(0, 0);
  date.SetTotalSeconds(totalSeconds);
  return date;
}

std::tm Date::local() const {
  pinTimeZone();
  std::tm tm{};
  std::time_t t = unix_;
  localtime_r(&t, &tm);
  return tm;
}

double Date::TotalSeconds() const {
  std::tm tm = local();
  int64_t days = daysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                               static_cast<unsigned>(tm.tm_mday)) - kDays1904;
  return static_cast<double>(days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
}

void Date::SetTotalSeconds(double totalSeconds) {
  int64_t total = static_cast<int64_t>(std::floor(totalSeconds));
  int64_t days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
  int64_t rest = total - days * 86400;
  pinTimeZone();
  // Start from 1 January 1904 and let mktime carry the day count over months
  // and years; it resolves the local wall-clock time to a point in time.
  std::tm tm{};
  tm.tm_year = 4;
  tm.tm_mon = 0;
  tm.tm_mday = 1 + static_cast<int>(days);
  tm.tm_hour = static_cast<int>(rest / 3600);
  tm.tm_min = static_cast<int>(rest % 3600 / 60);
  tm.tm_sec = static_cast<int>(rest % 60);
  tm.tm_isdst = -1;
  unix_ = std::mktime(&tm);
}

int Date::Year() const { return local().tm_year + 1900; }
int Date::Month() const { return local().tm_mon + 1; }
int Date::Day() const { return local().tm_mday; }
int Date::Hour() const { return local().tm_hour; }
int Date::Minute() const { return local().tm_min; }
int Date::Second() const { return local().tm_sec; }
int Date::DayOfWeek() const { return local().tm_wday + 1; }
