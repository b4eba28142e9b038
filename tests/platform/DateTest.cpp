#include <gtest/gtest.h>

#include "platform/Date.h"

TEST(Date, TotalSecondsCountLocalTimeSince1904) {
  struct Case {
    int y, mo, d, h, mi, s;
    double total;
  };
  const Case cases[] = {
      {1904, 1, 1, 0, 0, 0, 0},
      {1904, 1, 2, 0, 0, 0, 86400},
      {1970, 1, 1, 0, 0, 0, 2082844800},
      {2000, 1, 1, 0, 0, 0, 3029529600},
      {2000, 2, 29, 13, 14, 15, 3029529600.0 + (31 + 28) * 86400 + 13 * 3600 + 14 * 60 + 15},
      // Past 2^31: the unsigned range the Macintosh fields use.
      {2040, 2, 6, 6, 28, 15, 4294967295.0},
  };
  for (const Case& c : cases) {
    Date d = Date::FromComponents(c.y, c.mo, c.d, c.h, c.mi, c.s);
    EXPECT_EQ(d.TotalSeconds(), c.total) << c.y << "-" << c.mo << "-" << c.d;
    Date back = Date::FromTotalSeconds(c.total);
    EXPECT_EQ(back.Year(), c.y);
    EXPECT_EQ(back.Month(), c.mo);
    EXPECT_EQ(back.Day(), c.d);
    EXPECT_EQ(back.Hour(), c.h);
    EXPECT_EQ(back.Minute(), c.mi);
    EXPECT_EQ(back.Second(), c.s);
  }
}

TEST(Date, TheClockCanBeReplaced) {
  Date::SetClock([] { return std::time_t{1000000000}; });
  EXPECT_EQ(Date::Now().UnixTime(), 1000000000);
  Date::SetClock(nullptr);
  EXPECT_GT(Date::Now().UnixTime(), 1700000000);
}
