#include "timetable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using kavrel::Timetable;
using mokuna::FakeClock;
using mokuna::LocalTime;
using Strings = std::vector<std::string>;

LocalTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  LocalTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  return t;
}

kavrel::Entry E(const char* text) {
  const auto p = kavrel::ParseEntry(text);
  EXPECT_TRUE(p.ok()) << text << ": " << p.error;
  return p.entry;
}

std::string Stamp(const LocalTime& t) {
  char s[32];
  std::snprintf(s, sizeof s, "%02d-%02d %02d:%02d", t.month, t.day, t.hour, t.minute);
  return s;
}

// Checks the timetable every `step` seconds for `seconds` seconds, as the worker does, and lists when each
// call ran ("MM-DD hh:mm function").
Strings Sweep(Timetable& table, FakeClock& clock, int seconds, int step = 1) {
  Strings runs;
  for (int elapsed = 0; elapsed < seconds; elapsed += step) {
    for (const kavrel::Call& c : table.TakeDue(clock)) runs.push_back(Stamp(clock.Now()) + " " + c.function);
    clock.AdvanceMs(step * 1000);
  }
  return runs;
}

TEST(Timetable, MinuteIndexCountsAcrossMonthsAndLeapDays) {
  const std::int64_t a = kavrel::MinuteIndex(At(2028, 2, 28, 23, 59, 59));
  EXPECT_EQ(a + 1, kavrel::MinuteIndex(At(2028, 2, 29, 0, 0)));
  EXPECT_EQ(a + 1 + 1440, kavrel::MinuteIndex(At(2028, 3, 1, 0, 0, 30)));
  for (const LocalTime& t : {At(2026, 12, 31, 23, 59), At(2027, 1, 1, 0, 0), At(2000, 2, 29, 12, 34)}) {
    const LocalTime back = kavrel::AtMinute(kavrel::MinuteIndex(t));
    EXPECT_EQ(Stamp(t), Stamp(back));
    EXPECT_EQ(t.year, back.year);
  }
}

TEST(Timetable, IntervalRunsAtOnceThenEveryNMinutes) {
  FakeClock clock(At(2026, 12, 7, 10, 0, 30));
  Timetable table;
  table.Apply(E("* * * * /15 Fennick 0 CheckMail"), clock);
  EXPECT_EQ((Strings{"12-07 10:00 CheckMail", "12-07 10:15 CheckMail", "12-07 10:30 CheckMail",
                     "12-07 10:45 CheckMail", "12-07 11:00 CheckMail"}),
            Sweep(table, clock, 3600));
}

TEST(Timetable, FixedMinuteRunsOnceInEachMatchingMinuteHoweverOftenChecked) {
  FakeClock clock(At(2026, 12, 7, 9, 58, 0));
  Timetable table;
  table.Apply(E("* * * * 30 P 0 Half"), clock);
  table.Apply(E("* * * 10 * P 0 EveryMinuteAtTen"), clock);
  const Strings runs = Sweep(table, clock, 2 * 3600 + 60, 1);
  EXPECT_EQ(2, std::count(runs.begin(), runs.end(), "12-07 10:30 Half") +
                   std::count(runs.begin(), runs.end(), "12-07 11:30 Half"));
  EXPECT_EQ(60, std::count_if(runs.begin(), runs.end(),
                              [](const std::string& r) { return r.find("EveryMinuteAtTen") != std::string::npos; }));
  EXPECT_EQ(62u, runs.size());
}

TEST(Timetable, OtherFieldsMustAllMatch) {
  // 1 December 2026 is a Tuesday.
  FakeClock clock(At(2026, 12, 1, 0, 0));
  Timetable table;
  table.Apply(E("* * 1 9 0 P 0 MondayNine"), clock);
  table.Apply(E("* 1 1 9 0 P 0 FirstAndMonday"), clock);    // day and weekday together: never in December
  table.Apply(E("* /10 * /12 0 P 0 TenthsAtNoonAndMidnight"), clock);
  table.Apply(E("/3 * 2 0 0 P 0 TuesdayOfAQuarterMonth"), clock);
  const Strings runs = Sweep(table, clock, 31 * 86400, 60);
  EXPECT_EQ((Strings{"12-01 00:00 TuesdayOfAQuarterMonth", "12-07 09:00 MondayNine", "12-08 00:00 TuesdayOfAQuarterMonth",
                     "12-10 00:00 TenthsAtNoonAndMidnight", "12-10 12:00 TenthsAtNoonAndMidnight",
                     "12-14 09:00 MondayNine", "12-15 00:00 TuesdayOfAQuarterMonth", "12-20 00:00 TenthsAtNoonAndMidnight",
                     "12-20 12:00 TenthsAtNoonAndMidnight", "12-21 09:00 MondayNine", "12-22 00:00 TuesdayOfAQuarterMonth",
                     "12-28 09:00 MondayNine", "12-29 00:00 TuesdayOfAQuarterMonth",
                     "12-30 00:00 TenthsAtNoonAndMidnight", "12-30 12:00 TenthsAtNoonAndMidnight"}),
            runs);
}

TEST(Timetable, IntervalWaitsForItsHoursAndRestartsInThem) {
  FakeClock clock(At(2026, 12, 7, 8, 50));
  Timetable table;
  table.Apply(E("* * * 9 /25 P 0 F"), clock);
  EXPECT_EQ((Strings{"12-07 09:00 F", "12-07 09:25 F", "12-07 09:50 F", "12-08 09:00 F", "12-08 09:25 F"}),
            Sweep(table, clock, 86400 + 40 * 60, 30));
}

TEST(Timetable, MinutesMissedWhileBusyRunOnceAtTheNextCheck) {
  FakeClock clock(At(2026, 12, 7, 10, 0, 10));
  Timetable table;
  table.Apply(E("* * * * 3 P 0 AtThree"), clock);
  table.Apply(E("* * * * * P 0 EveryMinute"), clock);
  table.Apply(E("* * * * /2 P 0 EveryTwo"), clock);
  table.Apply(E("* * * * 30 P 0 AtThirty"), clock);
  EXPECT_EQ(2u, table.TakeDue(clock).size());  // 10:00: EveryMinute, EveryTwo
  clock.Set(At(2026, 12, 7, 10, 8, 40));       // a plug-in call took eight minutes
  EXPECT_EQ((Strings{"AtThree", "EveryMinute", "EveryTwo"}), [&] {
    Strings names;
    for (const auto& c : table.TakeDue(clock)) names.push_back(c.function);
    return names;
  }());
  EXPECT_TRUE(table.TakeDue(clock).empty());
  clock.Set(At(2026, 12, 7, 10, 9, 0));
  EXPECT_EQ(1u, table.TakeDue(clock).size());  // EveryMinute; EveryTwo next at 10:10
}

TEST(Timetable, ClockGoingBackDoesNotRepeatAMinute) {
  FakeClock clock(At(2026, 12, 7, 10, 30, 5));
  Timetable table;
  table.Apply(E("* * * * 30 P 0 Half"), clock);
  table.Apply(E("* * * * /60 P 0 Hourly"), clock);
  EXPECT_EQ(2u, table.TakeDue(clock).size());
  // A small correction back: neither runs again at 10:30.
  clock.Set(At(2026, 12, 7, 10, 29, 50));
  EXPECT_EQ(Strings{}, Sweep(table, clock, 60));
  // Summer time ends: an hour back. The fixed minute waits for minutes it has not seen; the interval
  // keeps its length.
  clock.Set(At(2026, 12, 7, 9, 31, 0));
  EXPECT_EQ((Strings{"12-07 10:31 Hourly", "12-07 11:30 Half"}), Sweep(table, clock, 7200, 30));
  // A clock that was a day ahead and is put right goes on from the corrected time.
  clock.Set(At(2026, 12, 6, 10, 0, 0));
  EXPECT_EQ((Strings{"12-06 10:30 Half"}), Sweep(table, clock, 1800 + 60, 30));
}

TEST(Timetable, SameDllAndFunctionReplacesInPlaceAndSlashZeroRemoves) {
  FakeClock clock(At(2026, 12, 7, 10, 0));
  Timetable table;
  using Change = Timetable::Change;
  EXPECT_EQ(Change::kAdded, table.Apply(E("* * * * /15 Fennick 0 CheckMail"), clock));
  EXPECT_EQ(Change::kAdded, table.Apply(E("* * * 9 0 Other 1 Run"), clock));
  EXPECT_EQ(Change::kAdded, table.Apply(E("* * * 9 0 Fennick 1 checkmail"), clock));  // export names keep case
  table.TakeDue(clock);
  clock.AdvanceMs(60 * 1000);
  EXPECT_EQ(Change::kReplaced, table.Apply(E("* * * * /5 FENNICK 0 CheckMail"), clock));
  EXPECT_EQ("* * * * /5 FENNICK 0 CheckMail\r\n* * * 9 0 Other 1 Run\r\n* * * 9 0 Fennick 1 checkmail\r\n",
            table.FileText());
  ASSERT_EQ(1u, table.TakeDue(clock).size());  // the new interval starts at once
  EXPECT_EQ(Change::kRemoved, table.Apply(E("* * * * /0 Fennick 0 CheckMail"), clock));
  EXPECT_EQ(Change::kNone, table.Apply(E("* * * * /0 Fennick 0 CheckMail"), clock));
  EXPECT_FALSE(table.Remove("* * * 9 0 Other 2 Run"));
  EXPECT_TRUE(table.Remove("* * * 9 0 Other 1 Run"));
  EXPECT_EQ((Strings{"* * * 9 0 Fennick 1 checkmail"}), table.Texts());
}

TEST(Timetable, LoadSkipsBadLinesAndReadsTheRestLikeAddEntry) {
  FakeClock clock(At(2026, 12, 7, 10, 0));
  Timetable table;
  table.Apply(E("* * * * 1 Old 0 Gone"), clock);
  const auto problems = kavrel::LoadTimetable(
      "* * * * /15 Fennick 0 CheckMail\r\n"
      "\r\n"
      "* * * 25 0 P 0 F\n"
      "*\t* * * 5 P 1 F\r"
      "   \r\n"
      "* * * * /30 fennick 0 CheckMail\r\n"
      "* * * * 7 Gone 0 F\r\n"
      "* * * * /0 Gone 0 F\r\n"
      "garbage",
      table, clock);
  ASSERT_EQ(2u, problems.size());
  EXPECT_EQ(3, problems[0].line);
  EXPECT_EQ("hour out of range (0-23)", problems[0].reason);
  EXPECT_EQ(9, problems[1].line);
  EXPECT_EQ("expected 8 fields, found 1", problems[1].reason);
  EXPECT_EQ("* * * * /30 fennick 0 CheckMail\r\n* * * * 5 P 1 F\r\n", table.FileText());

  Timetable again;
  EXPECT_TRUE(kavrel::LoadTimetable(table.FileText(), again, clock).empty());
  EXPECT_EQ(table.FileText(), again.FileText());
}

}  // namespace

TEST(Timetable, HoldsAtMostItsBoundAndLooksBackOverADayQuickly) {
  FakeClock clock(At(2026, 12, 7, 10, 0));
  Timetable table;
  std::string file;  // entries that are never due, so each check looks back over every minute
  for (std::size_t i = 0; i <= kavrel::kMaxEntries; ++i) file += "2 31 * * 5 P" + std::to_string(i) + " 0 Run\r\n";
  const auto problems = kavrel::LoadTimetable(file, table, clock);
  ASSERT_EQ(1u, problems.size());
  EXPECT_EQ(1025, problems[0].line);
  EXPECT_EQ("timetable full (1024 entries), 1 not loaded", problems[0].reason);
  EXPECT_EQ(Timetable::Change::kFull, table.Apply(E("* * * * /5 Extra 0 Run"), clock));
  EXPECT_EQ(Timetable::Change::kReplaced, table.Apply(E("* * * * /5 P0 0 Run"), clock));
  EXPECT_EQ(kavrel::kMaxEntries, table.size());
  EXPECT_EQ(1u, table.TakeDue(clock).size());
  clock.AdvanceMs(23 * 3600 * 1000);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(1u, table.TakeDue(clock).size());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}
