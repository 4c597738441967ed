#include "timetable.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>

#include "config_file.h"

namespace kavrel {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;
// How far back a late check looks for minutes it did not see.
constexpr std::int64_t kCatchUpMinutes = kMinutesPerDay;
// How far the clock may go back before entries for fixed minutes stop waiting for the minutes they saw.
constexpr std::int64_t kHoldBackMinutes = 180;

bool IsInterval(const Entry& e) { return e.minute.kind == TimeField::Kind::kEvery; }

// The fields above the minute.
bool MatchesHour(const Entry& e, const mokuna::LocalTime& t) {
  return e.month.Matches(t.month) && e.day.Matches(t.day) && e.weekday.Matches(t.weekday) && e.hour.Matches(t.hour);
}

// The first minute index of the hour of minute m.
std::int64_t HourStart(std::int64_t m) { return m - ((m % 60) + 60) % 60; }

bool IsBlankLine(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c >= 1 && c <= 32; });
}

}  // namespace

std::int64_t MinuteIndex(const mokuna::LocalTime& t) {
  mokuna::LocalTime midnight = t;
  midnight.hour = midnight.minute = midnight.second = midnight.millisecond = 0;
  const auto days = static_cast<std::int64_t>(std::llround(mokuna::ToDateTime(midnight)));
  return days * kMinutesPerDay + t.hour * 60 + t.minute;
}

mokuna::LocalTime AtMinute(std::int64_t minute_index) {
  return mokuna::FromDateTime(static_cast<double>(minute_index) / static_cast<double>(kMinutesPerDay));
}

Timetable::Slot Timetable::NewSlot(const Entry& entry, std::int64_t now) {
  // The minute of the change itself is still to be examined, so a new entry can run in it.
  return Slot{entry, now - 1, now};
}

Timetable::Change Timetable::Apply(const Entry& entry, const mokuna::Clock& clock) {
  const auto same = std::find_if(slots_.begin(), slots_.end(),
                                 [&](const Slot& s) { return SameCall(s.entry.call, entry.call); });
  if (entry.off) {
    if (same == slots_.end()) return Change::kNone;
    slots_.erase(same);
    return Change::kRemoved;
  }
  const std::int64_t now = MinuteIndex(clock.Now());
  if (same != slots_.end()) {
    *same = NewSlot(entry, now);
    return Change::kReplaced;
  }
  if (slots_.size() >= kMaxEntries) return Change::kFull;
  slots_.push_back(NewSlot(entry, now));
  return Change::kAdded;
}

bool Timetable::Remove(std::string_view text) {
  const auto it = std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.entry.text == text; });
  if (it == slots_.end()) return false;
  slots_.erase(it);
  return true;
}

// The local times of the hours one check looks at, each worked out once however many entries ask: after the
// clock jumped a day, every entry looks back over the same 24 hours.
class Timetable::HourTimes {
 public:
  explicit HourTimes(std::int64_t now) : now_hour_(HourStart(now)) {}
  const mokuna::LocalTime& At(std::int64_t hour_start) {
    const auto back = static_cast<std::size_t>((now_hour_ - hour_start) / 60);
    if (!known_[back]) times_[back] = AtMinute(hour_start), known_[back] = true;
    return times_[back];
  }

 private:
  static constexpr std::size_t kHours = kCatchUpMinutes / 60 + 1;
  std::int64_t now_hour_;
  std::array<mokuna::LocalTime, kHours> times_;
  std::bitset<kHours> known_;
};

// Whether a minute of [first, last] (the last day at most) matches e, looked at an hour at a time.
bool Timetable::MatchesWithin(const Entry& e, std::int64_t first, std::int64_t last, HourTimes& hours) {
  for (std::int64_t hour = HourStart(first); hour <= last; hour += 60) {
    if (!MatchesHour(e, hours.At(hour))) continue;
    if (e.minute.kind != TimeField::Kind::kValue) return true;
    const std::int64_t m = hour + e.minute.value;
    if (m >= first && m <= last) return true;
  }
  return false;
}

bool Timetable::Due(Slot& slot, std::int64_t now, HourTimes& hours) {
  const bool interval = IsInterval(slot.entry);
  const std::int64_t n = slot.entry.minute.value;
  if (slot.checked_through > now) {
    // The clock went back. An interval just starts over from now (never more than n minutes away).
    // Entries for fixed minutes do not run again in minutes they were checked in, for a small step back
    // (a correction, the end of summer time); after a larger one they go on from now.
    if (interval) {
      slot.checked_through = now - 1;
      slot.next_due = std::min(slot.next_due, now + n);
    } else {
      if (slot.checked_through - now > kHoldBackMinutes) slot.checked_through = now;
      return false;
    }
  }
  std::int64_t first = std::max(slot.checked_through + 1, now - kCatchUpMinutes + 1);
  if (interval) first = std::max(first, slot.next_due);
  const bool due = first <= now && MatchesWithin(slot.entry, first, now, hours);
  slot.checked_through = now;
  if (due && interval) slot.next_due = now + n;
  return due;
}

std::vector<Call> Timetable::TakeDue(const mokuna::Clock& clock) {
  const std::int64_t now = MinuteIndex(clock.Now());
  std::vector<Call> due;
  HourTimes hours(now);
  for (Slot& slot : slots_)
    if (Due(slot, now, hours)) due.push_back(slot.entry.call);
  return due;
}

std::vector<std::string> Timetable::Texts() const {
  std::vector<std::string> texts;
  texts.reserve(slots_.size());
  for (const Slot& s : slots_) texts.push_back(s.entry.text);
  return texts;
}

std::string Timetable::FileText() const { return config::JoinCrLf(Texts()); }

std::vector<LoadProblem> LoadTimetable(std::string_view text, Timetable& table, const mokuna::Clock& clock) {
  table.Clear();
  std::vector<LoadProblem> problems;
  const std::vector<std::string> lines = config::SplitLines(text);
  int first_refused = 0, refused = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsBlankLine(lines[i])) continue;
    const ParsedEntry parsed = ParseEntry(lines[i]);
    if (!parsed.ok()) {
      problems.push_back({static_cast<int>(i + 1), parsed.error});
    } else if (table.Apply(parsed.entry, clock) == Timetable::Change::kFull && refused++ == 0) {
      first_refused = static_cast<int>(i + 1);
    }
  }
  if (refused)
    problems.push_back({first_refused, "timetable full (" + std::to_string(kMaxEntries) + " entries), " +
                                           std::to_string(refused) + " not loaded"});
  return problems;
}

}  // namespace kavrel
