#include "calendar.h"

#include <gtest/gtest.h>

namespace mokuna {
namespace {

LocalTime Day(int y, int m, int d) {
  LocalTime t;
  t.year = y, t.month = m, t.day = d, t.weekday = WeekdayOf(y, m, d);
  return t;
}

const LocalTime kFarAway = Day(1990, 6, 1);

// The cell of day d in a built month.
const DayCell& Cell(const CalendarMonth& m, int year, int month, int d) {
  return m.cells[d - 1 + WeekdayOf(year, month, 1)];
}

TEST(CalendarGrid, MonthStartingOnSundayAndOnSaturday) {
  // March 2026 begins on a Sunday: the 1st is cell 0.
  const CalendarMonth march = BuildCalendarMonth(2026, 3, kFarAway);
  EXPECT_EQ(march.cells[0].text, " 1");
  EXPECT_EQ(march.cells[30].text, "31");
  for (int i = 31; i < 42; ++i) EXPECT_EQ(march.cells[i].text, "") << i;

  // August 2026 (31 days) begins on a Saturday: cells 0..5 empty, 1st in cell 6, 31st in cell 36.
  const CalendarMonth aug = BuildCalendarMonth(2026, 8, kFarAway);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(aug.cells[i].text, "") << i;
  EXPECT_EQ(aug.cells[6].text, " 1");
  EXPECT_EQ(aug.cells[6].colour, DayColour::kBlue);
  EXPECT_EQ(aug.cells[7].colour, DayColour::kRed);  // Sunday the 2nd
  EXPECT_EQ(aug.cells[15].text, "10");
  EXPECT_EQ(aug.cells[36].text, "31");
  for (int i = 37; i < 42; ++i) EXPECT_EQ(aug.cells[i].text, "") << i;
}

TEST(CalendarGrid, LeapFebruaryShowsTwentyNineDays) {
  const CalendarMonth feb = BuildCalendarMonth(2024, 2, kFarAway);
  const int offset = WeekdayOf(2024, 2, 1);
  EXPECT_EQ(feb.cells[28 + offset].text, "29");
  EXPECT_EQ(feb.cells[29 + offset].text, "");
  EXPECT_EQ(feb.cells[30 + offset].text, "");
  const CalendarMonth feb23 = BuildCalendarMonth(2023, 2, kFarAway);
  EXPECT_EQ(feb23.cells[28 + WeekdayOf(2023, 2, 1)].text, "");
  EXPECT_EQ(feb23.label, "2023年2月");
}

TEST(CalendarGrid, ColoursOfWeekdaysWeekendsAndHolidays) {
  // January 2002 begins on a Tuesday: the 14th (second Monday) is a holiday, the 7th is not.
  const CalendarMonth jan = BuildCalendarMonth(2002, 1, kFarAway);
  EXPECT_EQ(Cell(jan, 2002, 1, 1).colour, DayColour::kRed);
  EXPECT_EQ(Cell(jan, 2002, 1, 7).colour, DayColour::kWindowText);
  EXPECT_EQ(Cell(jan, 2002, 1, 14).colour, DayColour::kRed);
  EXPECT_EQ(Cell(jan, 2002, 1, 5).colour, DayColour::kBlue);
  EXPECT_EQ(Cell(jan, 2002, 1, 6).colour, DayColour::kRed);
  EXPECT_EQ(Cell(jan, 2002, 1, 15).colour, DayColour::kWindowText);

  // 1 January 2017 was a Sunday: Monday the 2nd is red; the 3rd is not.
  const CalendarMonth jan17 = BuildCalendarMonth(2017, 1, kFarAway);
  EXPECT_EQ(Cell(jan17, 2017, 1, 2).colour, DayColour::kRed);
  EXPECT_EQ(Cell(jan17, 2017, 1, 3).colour, DayColour::kWindowText);

  // 5 May 2013 was a Sunday: Monday the 6th is red, Saturday the 4th (a holiday) red, not blue.
  const CalendarMonth may13 = BuildCalendarMonth(2013, 5, kFarAway);
  EXPECT_EQ(Cell(may13, 2013, 5, 4).colour, DayColour::kRed);
  EXPECT_EQ(Cell(may13, 2013, 5, 6).colour, DayColour::kRed);
  EXPECT_EQ(Cell(may13, 2013, 5, 7).colour, DayColour::kWindowText);
  EXPECT_EQ(Cell(may13, 2013, 5, 11).colour, DayColour::kBlue);

  // 3 November 2018 was a Saturday.
  const CalendarMonth nov18 = BuildCalendarMonth(2018, 11, kFarAway);
  EXPECT_EQ(Cell(nov18, 2018, 11, 3).colour, DayColour::kRed);
  EXPECT_EQ(Cell(nov18, 2018, 11, 10).colour, DayColour::kBlue);
}

TEST(CalendarGrid, TodayIsMarkedOnlyInTheCurrentMonth) {
  const LocalTime today = Day(2026, 12, 7);
  const CalendarMonth dec = BuildCalendarMonth(2026, 12, today);
  int marked = 0;
  for (int i = 0; i < 42; ++i) marked += dec.cells[i].today;
  EXPECT_EQ(marked, 1);
  EXPECT_TRUE(Cell(dec, 2026, 12, 7).today);
  // Same month of another year, and the neighbouring month: no mark anywhere.
  for (const CalendarMonth& other : {BuildCalendarMonth(2025, 12, today), BuildCalendarMonth(2027, 1, today)})
    for (int i = 0; i < 42; ++i) EXPECT_FALSE(other.cells[i].today) << i;
}

TEST(CalendarNavigation, StepsAcrossYearsAndLabelsTheMonth) {
  ShownMonth shown{2002, 1};
  shown.Previous();
  EXPECT_EQ(shown.year, 2001);
  EXPECT_EQ(shown.month, 12);
  const CalendarMonth dec = BuildCalendarMonth(shown.year, shown.month, kFarAway);
  EXPECT_EQ(dec.label, "2001年12月");
  EXPECT_EQ(dec.caption, "Calender: 2001年12月");
  // 23 December 2001 was a Sunday, so the 24th was a substitute holiday.
  EXPECT_EQ(Cell(dec, 2001, 12, 24).colour, DayColour::kRed);
  shown.Next();
  shown.Next();
  EXPECT_EQ(shown.year, 2002);
  EXPECT_EQ(shown.month, 2);
  EXPECT_EQ(BuildCalendarMonth(2026, 7, kFarAway).label, "2026年7月");

  // The ends of the drawable years hold.
  ShownMonth first{1, 1};
  first.Previous();
  EXPECT_EQ(first.year, 1);
  EXPECT_EQ(first.month, 1);
  ShownMonth last{9999, 12};
  last.Next();
  EXPECT_EQ(last.year, 9999);
  EXPECT_EQ(last.month, 12);
  EXPECT_EQ(BuildCalendarMonth(9999, 12, kFarAway).cells[WeekdayOf(9999, 12, 1) + 30].text, "31");
}

}  // namespace
}  // namespace mokuna
