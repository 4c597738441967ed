// The reminders plug-in's rules: yotei.ini, the reminder grammar, which occurrences a tick says, and the
// result strings. Portable; the time comes in as a value, so tests run on fixed moments.
//
// yotei.ini (Shift-JIS, CR LF): key lines, then "[Reminders]" and one reminder per line:
//   HourlyChime=1
//   LastTick=2026-12-09 08:59
//   [Reminders]
//   <when> <HH:MM> <text>
// <when> is YYYY-MM-DD, daily, weekdays (Monday to Friday), a comma list of sun mon tue wed thu fri sat,
// or "monthly D". A line that does not read is kept as it stands and never said.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"

namespace yotei {

inline constexpr char kIniName[] = "yotei.ini";
inline constexpr char kRemindersSection[] = "[Reminders]";
inline constexpr std::size_t kMaxTextChars = 100;
// An occurrence further back than this is not said any more.
inline constexpr std::int64_t kMissedAfterMinutes = 12 * 60;

// Minutes since 30 December 1899 of local time: the unit of LastTick and of every occurrence.
std::int64_t MinuteOf(int year, int month, int day, int hour, int minute);
std::int64_t MinuteOf(const mokuna::LocalTime& t);
mokuna::LocalTime AtMinute(std::int64_t minute);
// "2026-12-09 08:59", as LastTick is written.
std::string FormatMinute(std::int64_t minute);
// "9:05", as the page shows a time and a late reminder is said.
std::string ShortTime(int hour, int minute);

struct Reminder {
  enum class Kind { kDate, kDaily, kWeekdays, kWeekdaySet, kMonthly };
  Kind kind = Kind::kDaily;
  int year = 0, month = 0, day = 0;  // kDate: the date; kMonthly: day only
  unsigned weekdays = 0;             // kWeekdaySet: bit 0 Sunday ... bit 6 Saturday
  int hour = 0, minute = 0;
  std::string text;

  bool OccursAt(std::int64_t minute_index) const;
};

// One line of the section: a reminder when it reads, otherwise only its text.
struct ReminderLine {
  std::string line;  // as in the file
  std::optional<Reminder> reminder;
};

std::optional<Reminder> ParseReminder(std::string_view line);
// The line a reminder is written as.
std::string FormatReminder(const Reminder& r);
// "daily 12:00 お昼ごはん" back to its parts for the page, or the when-part alone ("weekdays").
std::string WhenText(const Reminder& r);

// The settings page's choice of repetition, in the order of its drop-down.
enum class Repeat { kDate, kDaily, kWeekdays, kChosenDays, kMonthly };
Repeat RepeatOf(const Reminder& r);
// A reminder from the page's fields: the date (kDate) or day of the month (kMonthly) in date_or_day, the
// days (bit 0 Sunday) for kChosenDays, the time as H:MM or HH:MM, the text. nullopt when they do not make one.
std::optional<Reminder> ReminderFromFields(Repeat repeat, std::string_view date_or_day, unsigned days,
                                           std::string_view time, std::string_view text);
// A line as the page lists it: "毎日 12:00 お昼ごはん"; one that does not read, marked.
std::string ShownLine(const ReminderLine& line);

struct YoteiFile {
  bool hourly_chime = false;
  std::optional<std::int64_t> last_tick;  // a minute index
  std::vector<ReminderLine> reminders;

  // Anything for a tick to do: the chime or a reminder that reads.
  bool AnythingSet() const;
};

YoteiFile ParseYoteiFile(std::string_view text);
// The whole file in its fixed order; LastTick only when known.
std::string FormatYoteiFile(const YoteiFile& file);

// What one tick says, oldest first, and the LastTick it leaves.
struct TickOutcome {
  std::vector<std::string> said;
  std::int64_t last_tick = 0;
};

// Every occurrence after last_tick (exclusive) up to now (inclusive), and not more than twelve hours old,
// once: a reminder's text, with "（H:MM）" in front when it is more than a minute late; with the chime, each
// full hour that is not late. Without a last_tick (or with one later than now, after the clock went back)
// only the current minute counts.
TickOutcome Tick(const YoteiFile& file, std::optional<std::int64_t> last_tick, std::int64_t now);

// One call of the export Tick on yotei.ini's text (nullptr: there is none). remembered is the LastTick the
// loaded plug-in keeps between calls; the later of it and the file's counts, and it moves to now. new_file is the file's
// new text when something was said (only then is the file written), with LastTick at now.
struct TickRun {
  std::string result;
  std::optional<std::string> new_file;
};
TickRun RunTick(const std::string* file_text, std::optional<std::int64_t>& remembered, std::int64_t now);

// "Yotei Tick 000" and each text as one token.
std::string TickResult(const std::vector<std::string>& said);
// The timetable entry: every minute while anything is set, switched off otherwise.
std::string PropertyPageResult(bool anything_set);
// The page closed without OK: nothing to say, nothing to schedule.
inline constexpr char kPropertyPageCancelled[] = "Yotei PropertyPage 000";

}  // namespace yotei
