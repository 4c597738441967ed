// The one clock of the program. Everything that reads the time of day takes it from a Clock, so tests run
// on fixed moments with a FakeClock.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>

namespace mokuna {

// Local date and time, broken down. weekday: 0 = Sunday.
struct LocalTime {
  int year = 1899, month = 12, day = 30, weekday = 6;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Days since 30 December 1899 00:00, the time of day as the fraction.
double ToDateTime(const LocalTime& t);
LocalTime FromDateTime(double days);
// Day of the week (0 = Sunday) of a date of the Gregorian calendar.
int WeekdayOf(int year, int month, int day);
int DaysInMonth(int year, int month);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
  // Milliseconds from an arbitrary start; never goes back (for intervals, not for dates).
  virtual std::int64_t TickMs() const = 0;
};

class SystemClock final : public Clock {
 public:
  LocalTime Now() const override;
  std::int64_t TickMs() const override;
};

// The local calendar time of a moment, as the platform knows it: the part of SystemClock made for POSIX in
// clock_posix.cpp and for Windows in clock_win.cpp.
std::tm LocalCalendar(std::time_t seconds);

// A clock a test sets and moves; another thread (the scheduler's worker) may read it meanwhile.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(const LocalTime& start) : now_(ToDateTime(start)) {}
  LocalTime Now() const override { return FromDateTime(now_.load()); }
  std::int64_t TickMs() const override { return tick_ms_.load(); }
  void Set(const LocalTime& t) { now_ = ToDateTime(t); }
  // Moved by one thread only (the test's).
  void AdvanceMs(std::int64_t ms) {
    now_ = now_.load() + static_cast<double>(ms) / 86400000.0;
    tick_ms_ += ms;
  }

 private:
  std::atomic<double> now_;
  std::atomic<std::int64_t> tick_ms_{0};
};

// The clock the program uses; tests may replace it (nullptr restores the system clock). Safe to read from any
// thread; replace it only while no other thread depends on the old one.
Clock& CurrentClock();
void SetCurrentClock(Clock* clock);

}  // namespace mokuna
