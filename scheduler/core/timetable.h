// The timetable: which plug-in calls fall due when. Time comes from a Clock passed in by the caller, so
// the same arithmetic runs on the system clock in the library and on a FakeClock in tests.
//
// When an entry is due, evaluated once per minute of local time (a "minute index" counts minutes since
// 30 December 1899 00:00):
//  - month, day, weekday and hour must all match that minute (day and weekday together, not either);
//  - minute "*": every matching minute; minute m: once in each matching minute m;
//  - minute "/n": due at once when the entry is added or loaded (if the other fields match then,
//    otherwise at the first minute they do), then n minutes after each run, again when the other
//    fields match.
// TakeDue may be called as often as liked: each entry is due at most once per minute. When it has not been
// called for a while (the worker was busy in a long plug-in call, the machine slept), an entry whose minute
// passed in between is due once at the next call, however many of its minutes passed; only the last day is
// looked at. When the clock goes back by up to three hours, an entry for fixed minutes does not run again
// in a minute it was checked in; an interval is never further away than n minutes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "entry.h"

namespace kavrel {

std::int64_t MinuteIndex(const mokuna::LocalTime& t);
mokuna::LocalTime AtMinute(std::int64_t minute_index);

// Bounds that keep one runaway result string or file from stalling the library and the host: the entries
// the timetable holds, and those one result string may add.
constexpr std::size_t kMaxEntries = 1024;
constexpr std::size_t kMaxEntriesPerResult = 256;

class Timetable {
 public:
  enum class Change { kNone, kAdded, kReplaced, kRemoved, kFull };

  // An entry for a DLL and function already in the timetable replaces it in its place; an off entry
  // removes it; a new one beyond kMaxEntries is refused (kFull). now is the moment of the change: a new
  // entry's interval starts there.
  Change Apply(const Entry& entry, const mokuna::Clock& clock);

  // Removes the entry whose text is exactly text (what the settings page lists). False when none is.
  bool Remove(std::string_view text);

  // The calls due now, in timetable order; marks them as run.
  std::vector<Call> TakeDue(const mokuna::Clock& clock);

  std::vector<std::string> Texts() const;
  // kavrel.ini: each entry's text followed by CR LF.
  std::string FileText() const;
  std::size_t size() const { return slots_.size(); }
  void Clear() { slots_.clear(); }

 private:
  struct Slot {
    Entry entry;
    std::int64_t checked_through;  // last minute index examined for this entry
    std::int64_t next_due;         // interval entries: first minute index of the next run
  };
  class HourTimes;
  static Slot NewSlot(const Entry& entry, std::int64_t now);
  static bool Due(Slot& slot, std::int64_t now, HourTimes& hours);
  static bool MatchesWithin(const Entry& e, std::int64_t first, std::int64_t last, HourTimes& hours);

  std::vector<Slot> slots_;
};

// A line of kavrel.ini that was skipped, counted from 1, with the reason.
struct LoadProblem {
  int line;
  std::string reason;
};

// Fills table (emptied first) from the text of kavrel.ini, line by line as AddEntry would take them.
// Blank lines are skipped quietly; malformed ones are skipped and returned, and so, as one problem, are the
// entries beyond kMaxEntries.
std::vector<LoadProblem> LoadTimetable(std::string_view text, Timetable& table, const mokuna::Clock& clock);

}  // namespace kavrel
