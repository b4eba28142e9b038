#pragma once
// A point in time, seen in local time, as the classic platform's date was.
//
// TotalSeconds counts local wall-clock seconds since 1 January 1904 00:00, the
// origin of Macintosh dates, so 2 January 1904 00:00 local is 86400 whatever
// the time zone. The clock behind Now() can be replaced, so that tests write
// byte-for-byte reproducible archives.
#include <cstdint>
#include <ctime>
#include <functional>

class Date {
 public:
  // Now, by the current clock.
  Date();
  static Date Now() { return Date(); }
  static Date FromTotalSeconds(double totalSeconds);
  static Date FromUnixTime(std::time_t t);
  // Local date and time; out-of-range parts carry over (month 13 is January
  // of the next year), as mktime does.
  static Date FromComponents(int year, int month, int day, int hour = 0, int minute = 0,
                             int second = 0);

  double TotalSeconds() const;
  void SetTotalSeconds(double totalSeconds);
  std::time_t UnixTime() const { return unix_; }

  int Year() const;
  int Month() const;   // 1..12
  int Day() const;     // 1..31
  int Hour() const;    // 0..23
  int Minute() const;  // 0..59
  int Second() const;  // 0..59
  int DayOfWeek() const;  // 1 = Sunday .. 7 = Saturday

  bool operator==(const Date& other) const { return unix_ == other.unix_; }

  // Replaces the clock behind Now(); an empty function restores the system
  // clock.
  static void SetClock(std::function<std::time_t()> clock);

 private:
  explicit Date(std::time_t t, int) : unix_(t) {}
  std::tm local() const;

  std::time_t unix_ = 0;
};
