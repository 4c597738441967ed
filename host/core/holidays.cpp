#include "holidays.h"

#include "clock.h"

namespace mokuna {

namespace {

constexpr int Key(int y, int m, int d) { return y * 10000 + m * 100 + d; }

// The holiday law took effect on 20 July 1948.
constexpr int kLawStart = Key(1948, 7, 20);
// Substitute holidays exist from 12 April 1973; from 2007 they move past further holidays.
constexpr int kSubstituteStart = Key(1973, 4, 12);
constexpr int kCitizensStart = Key(1985, 12, 27);
constexpr int kAmendment2007 = Key(2007, 1, 1);

struct Date {
  int y, m, d;
  int key() const { return Key(y, m, d); }
};

Date Next(Date t) {
  if (t.d < DaysInMonth(t.y, t.m)) return {t.y, t.m, t.d + 1};
  if (t.m < 12) return {t.y, t.m + 1, 1};
  return {t.y + 1, 1, 1};
}

Date Previous(Date t) {
  if (t.d > 1) return {t.y, t.m, t.d - 1};
  if (t.m > 1) return {t.y, t.m - 1, DaysInMonth(t.y, t.m - 1)};
  return {t.y - 1, 12, 31};
}

bool IsNthMonday(int y, int m, int d, int n) { return WeekdayOf(y, m, d) == 1 && (d - 1) / 7 == n - 1; }

int Equinox(int year, double base_1900, double base_1980, double base_2100) {
  if (year < 1900 || year > 2150) return 0;
  const double drift = 0.242194 * (year - 1980);
  // Integer division truncates toward zero, which is what the approximation expects before 1980.
  if (year < 1980) return static_cast<int>(base_1900 + drift - (year - 1983) / 4);
  return static_cast<int>((year < 2100 ? base_1980 : base_2100) + drift - (year - 1980) / 4);
}

bool National(int y, int m, int d) {
  if (Key(y, m, d) < kLawStart) return false;
  switch (m) {
    case 1:
      if (d == 1) return true;
      return y < 2000 ? d == 15 : IsNthMonday(y, m, d, 2);
    case 2:
      return (d == 11 && y >= 1967) || (d == 23 && y >= 2020) || Key(y, m, d) == Key(1989, 2, 24);
    case 3:
      return d == VernalEquinoxDay(y);
    case 4:
      return d == 29 || Key(y, m, d) == Key(1959, 4, 10);
    case 5:
      return d == 3 || d == 5 || (d == 4 && y >= 2007) || Key(y, m, d) == Key(2019, 5, 1);
    case 6:
      return Key(y, m, d) == Key(1993, 6, 9);
    case 7:
      // Marine Day; in the two games years it and Sports Day were moved by special laws.
      if (y == 2020) return d == 23 || d == 24;
      if (y == 2021) return d == 22 || d == 23;
      if (y >= 1996 && y <= 2002) return d == 20;
      return y >= 2003 && IsNthMonday(y, m, d, 3);
    case 8:
      if (y == 2020) return d == 10;
      if (y == 2021) return d == 8;
      return y >= 2016 && d == 11;
    case 9:
      if (d == AutumnalEquinoxDay(y)) return true;
      if (y >= 1966 && y <= 2002) return d == 15;
      return y >= 2003 && IsNthMonday(y, m, d, 3);
    case 10:
      if (Key(y, m, d) == Key(2019, 10, 22)) return true;
      if (y >= 1966 && y <= 1999) return d == 10;
      return y >= 2000 && y != 2020 && y != 2021 && IsNthMonday(y, m, d, 2);
    case 11:
      return d == 3 || d == 23 || Key(y, m, d) == Key(1990, 11, 12);
    case 12:
      return d == 23 && y >= 1989 && y <= 2018;
    default:
      return false;
  }
}

bool IsSunday(Date t) { return WeekdayOf(t.y, t.m, t.d) == 0; }

bool Substitute(Date t) {
  Date before = Previous(t);
  if (before.key() < kSubstituteStart) return false;
  if (before.key() < kAmendment2007) return IsSunday(before) && National(before.y, before.m, before.d);
  // From 2007: the first day that is not a holiday after a Sunday holiday, across any run of holidays.
  for (; National(before.y, before.m, before.d); before = Previous(before)) {
    if (IsSunday(before)) return true;
  }
  return false;
}

bool Citizens(Date t) {
  if (t.key() < kCitizensStart) return false;
  // Before 2007 a Sunday or a substitute holiday between two holidays was not made a citizens' holiday.
  if (t.key() < kAmendment2007 && (IsSunday(t) || Substitute(t))) return false;
  const Date before = Previous(t), after = Next(t);
  return National(before.y, before.m, before.d) && National(after.y, after.m, after.d);
}

}  // namespace

int VernalEquinoxDay(int year) { return Equinox(year, 20.8357, 20.8431, 21.8510); }
int AutumnalEquinoxDay(int year) { return Equinox(year, 23.2588, 23.2488, 24.2488); }

bool IsNationalHoliday(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  return National(year, month, day);
}

bool IsHoliday(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (National(year, month, day)) return true;
  const Date t{year, month, day};
  return Substitute(t) || Citizens(t);
}

}  // namespace mokuna
