#include "holidays.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "clock.h"

namespace mokuna {
namespace {

using MonthDay = std::pair<int, int>;

std::set<MonthDay> HolidaysOf(int year) {
  std::set<MonthDay> days;
  for (int m = 1; m <= 12; ++m)
    for (int d = 1; d <= DaysInMonth(year, m); ++d)
      if (IsHoliday(year, m, d)) days.insert({m, d});
  return days;
}

// The government's published lists, substitute and citizens' holidays included.
TEST(Holidays, PublishedListsOf2025To2027) {
  EXPECT_EQ(HolidaysOf(2025), (std::set<MonthDay>{{1, 1}, {1, 13}, {2, 11}, {2, 23}, {2, 24}, {3, 20}, {4, 29},
                                                  {5, 3}, {5, 4}, {5, 5}, {5, 6}, {7, 21}, {8, 11}, {9, 15},
                                                  {9, 23}, {10, 13}, {11, 3}, {11, 23}, {11, 24}}));
  EXPECT_EQ(HolidaysOf(2026), (std::set<MonthDay>{{1, 1}, {1, 12}, {2, 11}, {2, 23}, {3, 20}, {4, 29}, {5, 3},
                                                  {5, 4}, {5, 5}, {5, 6}, {7, 20}, {8, 11}, {9, 21}, {9, 22},
                                                  {9, 23}, {10, 12}, {11, 3}, {11, 23}}));
  EXPECT_EQ(HolidaysOf(2027), (std::set<MonthDay>{{1, 1}, {1, 11}, {2, 11}, {2, 23}, {3, 21}, {3, 22}, {4, 29},
                                                  {5, 3}, {5, 4}, {5, 5}, {7, 19}, {8, 11}, {9, 20}, {9, 23},
                                                  {10, 11}, {11, 3}, {11, 23}}));
}

TEST(Holidays, RulesFollowTheYearTheyWereInForce) {
  // Coming of Age Day: the 15th until 1999, the second Monday from 2000.
  EXPECT_TRUE(IsHoliday(1999, 1, 15));
  EXPECT_FALSE(IsHoliday(2000, 1, 15));
  EXPECT_TRUE(IsHoliday(2000, 1, 10));
  // Marine Day: none before 1996, 20 July until 2002, third Monday after; moved in 2020 and 2021.
  EXPECT_FALSE(IsHoliday(1995, 7, 20));
  EXPECT_TRUE(IsHoliday(2001, 7, 20));
  EXPECT_FALSE(IsHoliday(2003, 7, 20));
  EXPECT_TRUE(IsHoliday(2003, 7, 21));
  EXPECT_TRUE(IsHoliday(2020, 7, 23));
  EXPECT_TRUE(IsHoliday(2020, 7, 24));
  EXPECT_FALSE(IsHoliday(2020, 7, 20));
  EXPECT_FALSE(IsHoliday(2020, 10, 12));
  EXPECT_TRUE(IsHoliday(2021, 8, 9));  // Mountain Day on Sunday the 8th
  EXPECT_FALSE(IsHoliday(2021, 8, 11));
  // Emperor's Birthday moved from 23 December to 23 February; 2019 had neither.
  EXPECT_TRUE(IsHoliday(2018, 12, 23));
  EXPECT_FALSE(IsHoliday(2019, 12, 23));
  EXPECT_FALSE(IsHoliday(2019, 2, 23));
  EXPECT_TRUE(IsHoliday(2020, 2, 23));
  // National Foundation Day from 1967; nothing before the law of July 1948.
  EXPECT_FALSE(IsHoliday(1966, 2, 11));
  EXPECT_TRUE(IsHoliday(1967, 2, 11));
  EXPECT_FALSE(IsHoliday(1948, 5, 3));
  EXPECT_TRUE(IsHoliday(1948, 11, 3));
  // The ceremonial days and the days they enclosed in 2019.
  EXPECT_TRUE(IsHoliday(1989, 2, 24));
  EXPECT_TRUE(IsHoliday(2019, 4, 30));
  EXPECT_TRUE(IsHoliday(2019, 5, 1));
  EXPECT_TRUE(IsHoliday(2019, 5, 2));
  EXPECT_TRUE(IsHoliday(2019, 10, 22));
  EXPECT_FALSE(IsHoliday(2019, 10, 23));
}

TEST(Holidays, SubstituteAndCitizensDays) {
  // Before 1973 a Sunday holiday gave no day off; before 2007 only the Monday after it.
  EXPECT_FALSE(IsHoliday(1972, 4, 30));  // 29 April 1972 fell on a Saturday anyway
  EXPECT_FALSE(IsHoliday(1967, 1, 16));  // 15 January 1967 was a Sunday
  EXPECT_TRUE(IsHoliday(1973, 4, 30));   // the first substitute holiday
  EXPECT_TRUE(IsHoliday(1992, 5, 4));    // 3 May 1992 a Sunday
  EXPECT_FALSE(IsHoliday(1992, 5, 6));
  // From 2007 the substitute moves past the following holidays: 3 May 2009 a Sunday -> 6 May.
  EXPECT_TRUE(IsHoliday(2009, 5, 6));
  EXPECT_FALSE(IsHoliday(2009, 5, 7));
  EXPECT_FALSE(IsNationalHoliday(2009, 5, 6));
  // 4 May between two holidays, before it became a named holiday in 2007.
  EXPECT_TRUE(IsHoliday(1990, 5, 4));
  EXPECT_FALSE(IsHoliday(1985, 5, 4));
  EXPECT_FALSE(IsNationalHoliday(1990, 5, 4));
  // September between Respect for the Aged Day and the equinox.
  EXPECT_TRUE(IsHoliday(2015, 9, 22));
  EXPECT_TRUE(IsHoliday(2009, 9, 22));
  EXPECT_FALSE(IsHoliday(2025, 9, 22));
}

TEST(Holidays, EquinoxDays) {
  const int vernal[][2] = {{1960, 20}, {1970, 21}, {1979, 21}, {2012, 20}, {2024, 20}, {2027, 21}, {2099, 20}};
  for (const auto& v : vernal) EXPECT_EQ(VernalEquinoxDay(v[0]), v[1]) << v[0];
  const int autumnal[][2] = {{1948, 23}, {1979, 24}, {2012, 22}, {2024, 22}, {2025, 23}, {2044, 22}};
  for (const auto& a : autumnal) EXPECT_EQ(AutumnalEquinoxDay(a[0]), a[1]) << a[0];
  EXPECT_EQ(VernalEquinoxDay(2151), 0);
  EXPECT_FALSE(IsHoliday(2024, 9, 23) && !IsHoliday(2024, 9, 22));
}

TEST(Holidays, InvalidDatesAreNotHolidays) {
  EXPECT_FALSE(IsHoliday(2025, 2, 30));
  EXPECT_FALSE(IsHoliday(2025, 13, 1));
  EXPECT_FALSE(IsHoliday(2025, 0, 1));
  EXPECT_FALSE(IsHoliday(1, 1, 1));
  EXPECT_FALSE(IsHoliday(9999, 12, 31));
}

}  // namespace
}  // namespace mokuna
