#include "clock.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>

namespace mokuna {

std::tm LocalCalendar(std::time_t seconds) {
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &seconds);
#else
  localtime_r(&seconds, &tm);
#endif
  return tm;
}

namespace {

// Days from 1 January of year 0 (proleptic Gregorian) to the given date; the classic civil-days formula.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;  // days since 1970-01-01
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const std::int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

SystemClock g_system_clock;
// Read on the scheduler's worker thread as well as on the GUI thread.
std::atomic<Clock*> g_clock{nullptr};

}  // namespace

int WeekdayOf(int year, int month, int day) {
  const std::int64_t days = DaysFromCivil(year, month, day);  // 1970-01-01 was a Thursday
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[(month - 1) % 12];
}

double ToDateTime(const LocalTime& t) {
  const double days = static_cast<double>(DaysFromCivil(t.year, t.month, t.day) - kEpochOffset);
  const double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond;
  return days + ms / 86400000.0;
}

LocalTime FromDateTime(double value) {
  // Work in whole milliseconds so that 12:00:00.700 does not come back as .699.
  const std::int64_t total_ms = static_cast<std::int64_t>(std::llround(value * 86400000.0));
  std::int64_t days = total_ms / 86400000;
  std::int64_t ms = total_ms % 86400000;
  if (ms < 0) {
    ms += 86400000;
    --days;
  }
  LocalTime t;
  CivilFromDays(days + kEpochOffset, t.year, t.month, t.day);
  t.weekday = WeekdayOf(t.year, t.month, t.day);
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

LocalTime SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  const std::tm tm = LocalCalendar(seconds);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.weekday = tm.tm_wday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(ms < 0 ? ms + 1000 : ms);
  return t;
}

std::int64_t SystemClock::TickMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

Clock& CurrentClock() {
  Clock* clock = g_clock.load(std::memory_order_acquire);
  return clock ? *clock : g_system_clock;
}

void SetCurrentClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

}  // namespace mokuna
