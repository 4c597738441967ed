#include "clock.h"

#include <gtest/gtest.h>

namespace {

using mokuna::LocalTime;

LocalTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  LocalTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s, t.millisecond = ms;
  return t;
}

TEST(Clock, DateTimeCountsDaysFromTheEndOf1899) {
  EXPECT_DOUBLE_EQ(0.0, mokuna::ToDateTime(At(1899, 12, 30)));
  EXPECT_DOUBLE_EQ(2.0, mokuna::ToDateTime(At(1900, 1, 1)));
  EXPECT_DOUBLE_EQ(36526.5, mokuna::ToDateTime(At(2000, 1, 1, 12)));
  EXPECT_DOUBLE_EQ(-1.0, mokuna::ToDateTime(At(1899, 12, 29)));
}

TEST(Clock, RoundTripKeepsEveryFieldToTheMillisecond) {
  for (const LocalTime& t : {At(2026, 12, 7, 12, 0, 0, 700), At(2000, 2, 29, 23, 59, 59, 999),
                             At(2100, 3, 1, 0, 0, 0, 1), At(1999, 12, 31, 9, 5, 0, 0)}) {
    const LocalTime back = mokuna::FromDateTime(mokuna::ToDateTime(t));
    EXPECT_EQ(t.year, back.year);
    EXPECT_EQ(t.month, back.month);
    EXPECT_EQ(t.day, back.day);
    EXPECT_EQ(t.hour, back.hour);
    EXPECT_EQ(t.minute, back.minute);
    EXPECT_EQ(t.second, back.second);
    EXPECT_EQ(t.millisecond, back.millisecond);
  }
}

TEST(Clock, WeekdaysAndMonthLengths) {
  EXPECT_EQ(0, mokuna::WeekdayOf(2025, 1, 5));  // a Sunday
  EXPECT_EQ(1, mokuna::WeekdayOf(2026, 12, 7));
  EXPECT_EQ(6, mokuna::FromDateTime(0.0).weekday);  // 30 December 1899 was a Saturday
  EXPECT_EQ(29, mokuna::DaysInMonth(2024, 2));
  EXPECT_EQ(28, mokuna::DaysInMonth(1900, 2));
  EXPECT_EQ(29, mokuna::DaysInMonth(2000, 2));
  EXPECT_EQ(31, mokuna::DaysInMonth(2001, 12));
}

TEST(Clock, FakeClockAdvancesDateAndTick) {
  mokuna::FakeClock clock(At(2026, 12, 31, 23, 59, 59, 500));
  clock.AdvanceMs(700);
  const LocalTime t = clock.Now();
  EXPECT_EQ(2027, t.year);
  EXPECT_EQ(1, t.month);
  EXPECT_EQ(1, t.day);
  EXPECT_EQ(200, t.millisecond);
  EXPECT_EQ(700, clock.TickMs());
  mokuna::SetCurrentClock(&clock);
  EXPECT_EQ(2027, mokuna::CurrentClock().Now().year);
  mokuna::SetCurrentClock(nullptr);
}

}  // namespace
