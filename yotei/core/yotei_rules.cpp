#include "yotei_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "config_file.h"
#include "mokuna_plugin.h"
#include "sjis.h"

namespace yotei {
namespace {

const char* const kDayNames[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr char kChimeHead[] = "ただいま，";
constexpr char kChimeTail[] = "時です．";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next blank-separated field of rest.
std::string_view NextField(std::string_view& rest) {
  std::size_t start = 0;
  while (start < rest.size() && IsBlank(rest[start])) ++start;
  std::size_t end = start;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view field = rest.substr(start, end - start);
  rest.remove_prefix(end);
  return field;
}

// Between min_digits and max_digits decimal digits, nothing else.
std::optional<int> Digits(std::string_view text, std::size_t min_digits, std::size_t max_digits) {
  if (text.size() < min_digits || text.size() > max_digits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool ParseTime(std::string_view text, int& hour, int& minute) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  const auto h = Digits(text.substr(0, colon), 1, 2), m = Digits(text.substr(colon + 1), 2, 2);
  if (!h || !m || *h > 23 || *m > 59) return false;
  hour = *h;
  minute = *m;
  return true;
}

bool ParseDate(std::string_view text, int& year, int& month, int& day) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  const auto y = Digits(text.substr(0, 4), 4, 4), m = Digits(text.substr(5, 2), 2, 2),
             d = Digits(text.substr(8, 2), 2, 2);
  if (!y || !m || !d || *y < 1601 || *m < 1 || *m > 12 || *d < 1 || *d > mokuna::DaysInMonth(*y, *m)) return false;
  year = *y;
  month = *m;
  day = *d;
  return true;
}

std::optional<unsigned> ParseDaySet(std::string_view text) {
  unsigned set = 0;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    bool known = false;
    for (unsigned i = 0; i < 7; ++i) {
      if (sjis::EqualsIgnoreCase(name, kDayNames[i])) {
        set |= 1u << i;
        known = true;
      }
    }
    if (!known) return std::nullopt;
    if (comma == std::string_view::npos) return set;
    text.remove_prefix(comma + 1);
  }
}

// Text that reaches the host as it stands: no control character (a NUL would end it) and no broken
// double-byte character, whose lone lead byte would take the quote or blank after it as its second byte.
bool Speakable(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (sjis::IsLeadByte(c)) {
      const auto trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
      ++i;
    } else if (c < 32 && c != '\t') {
      return false;
    }
  }
  return true;
}

std::string TwoDigits(int v) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", v);
  return buffer;
}

std::optional<std::int64_t> ParseLastTick(std::string_view text) {
  std::string_view rest = text;
  const std::string_view date = NextField(rest), time = NextField(rest);
  int y, mo, d, h, mi;
  if (!ParseDate(date, y, mo, d) || !ParseTime(time, h, mi) || !NextField(rest).empty()) return std::nullopt;
  return MinuteOf(y, mo, d, h, mi);
}

}  // namespace

std::int64_t MinuteOf(int year, int month, int day, int hour, int minute) {
  mokuna::LocalTime midnight;
  midnight.year = year, midnight.month = month, midnight.day = day;
  return std::llround(mokuna::ToDateTime(midnight)) * 1440 + hour * 60 + minute;
}

std::int64_t MinuteOf(const mokuna::LocalTime& t) { return MinuteOf(t.year, t.month, t.day, t.hour, t.minute); }

mokuna::LocalTime AtMinute(std::int64_t minute) { return mokuna::FromDateTime(static_cast<double>(minute) / 1440.0); }

std::string FormatMinute(std::int64_t minute) {
  const mokuna::LocalTime t = AtMinute(minute);
  return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " + TwoDigits(t.hour) +
         ":" + TwoDigits(t.minute);
}

std::string ShortTime(int hour, int minute) { return std::to_string(hour) + ":" + TwoDigits(minute); }

bool Reminder::OccursAt(std::int64_t minute_index) const {
  const mokuna::LocalTime t = AtMinute(minute_index);
  if (t.hour != hour || t.minute != minute) return false;
  switch (kind) {
    case Kind::kDate: return t.year == year && t.month == month && t.day == day;
    case Kind::kDaily: return true;
    case Kind::kWeekdays: return t.weekday >= 1 && t.weekday <= 5;
    case Kind::kWeekdaySet: return (weekdays >> t.weekday) & 1u;
    // A day the month does not have falls on its last day: rent due on the 31st is due in February too.
    case Kind::kMonthly: return t.day == std::min(day, mokuna::DaysInMonth(t.year, t.month));
  }
  return false;
}

std::optional<Reminder> ParseReminder(std::string_view line) {
  std::string_view rest = line;
  Reminder r;
  const std::string_view when = NextField(rest);
  if (sjis::EqualsIgnoreCase(when, "daily")) {
    r.kind = Reminder::Kind::kDaily;
  } else if (sjis::EqualsIgnoreCase(when, "weekdays")) {
    r.kind = Reminder::Kind::kWeekdays;
  } else if (sjis::EqualsIgnoreCase(when, "monthly")) {
    const auto day = Digits(NextField(rest), 1, 2);
    if (!day || *day < 1 || *day > 31) return std::nullopt;
    r.kind = Reminder::Kind::kMonthly;
    r.day = *day;
  } else if (ParseDate(when, r.year, r.month, r.day)) {
    r.kind = Reminder::Kind::kDate;
  } else if (const auto set = ParseDaySet(when)) {
    r.kind = Reminder::Kind::kWeekdaySet;
    r.weekdays = *set;
  } else {
    return std::nullopt;
  }
  if (!ParseTime(NextField(rest), r.hour, r.minute)) return std::nullopt;
  // The text is the rest after the blanks that follow the time, kept as it is.
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  if (rest.empty() || sjis::CharCount(rest) > kMaxTextChars) return std::nullopt;
  if (!Speakable(rest)) return std::nullopt;
  r.text = std::string(rest);
  return r;
}

std::string WhenText(const Reminder& r) {
  switch (r.kind) {
    case Reminder::Kind::kDate: return std::to_string(r.year) + "-" + TwoDigits(r.month) + "-" + TwoDigits(r.day);
    case Reminder::Kind::kDaily: return "daily";
    case Reminder::Kind::kWeekdays: return "weekdays";
    case Reminder::Kind::kMonthly: return "monthly " + std::to_string(r.day);
    case Reminder::Kind::kWeekdaySet: {
      std::string out;
      for (unsigned i = 0; i < 7; ++i) {
        if (!((r.weekdays >> i) & 1u)) continue;
        if (!out.empty()) out += ',';
        out += kDayNames[i];
      }
      return out;
    }
  }
  return {};
}

std::string FormatReminder(const Reminder& r) {
  return WhenText(r) + " " + TwoDigits(r.hour) + ":" + TwoDigits(r.minute) + " " + r.text;
}

Repeat RepeatOf(const Reminder& r) {
  switch (r.kind) {
    case Reminder::Kind::kDate: return Repeat::kDate;
    case Reminder::Kind::kDaily: return Repeat::kDaily;
    case Reminder::Kind::kWeekdays: return Repeat::kWeekdays;
    case Reminder::Kind::kWeekdaySet: return Repeat::kChosenDays;
    case Reminder::Kind::kMonthly: return Repeat::kMonthly;
  }
  return Repeat::kDaily;
}

std::optional<Reminder> ReminderFromFields(Repeat repeat, std::string_view date_or_day, unsigned days,
                                           std::string_view time, std::string_view text) {
  // One field each: a blank typed into the date or the time must not move the rest into the next field.
  const auto one_field = [](std::string_view f) { return !f.empty() && f.find_first_of(" \t") == std::string_view::npos; };
  if (!one_field(time)) return std::nullopt;
  Reminder chosen;
  std::string when;
  switch (repeat) {
    case Repeat::kDate: when = date_or_day; break;
    case Repeat::kDaily: when = "daily"; break;
    case Repeat::kWeekdays: when = "weekdays"; break;
    case Repeat::kChosenDays:
      chosen.kind = Reminder::Kind::kWeekdaySet;
      chosen.weekdays = days & 0x7Fu;
      if (chosen.weekdays == 0) return std::nullopt;
      when = WhenText(chosen);
      break;
    case Repeat::kMonthly: when = "monthly " + std::string(date_or_day); break;
  }
  if ((repeat == Repeat::kDate || repeat == Repeat::kMonthly) && !one_field(date_or_day)) return std::nullopt;
  // The parser is the one judge of a reminder: the page makes nothing the file could not hold. A date
  // field reading "daily" still makes no daily reminder.
  std::optional<Reminder> r = ParseReminder(when + " " + std::string(time) + " " + std::string(text));
  if (r && RepeatOf(*r) != repeat) return std::nullopt;
  return r;
}

std::string ShownLine(const ReminderLine& line) {
  if (!line.reminder) return "（読めない行）" + line.line;
  static const char* const kJapaneseDays[] = {"日", "月", "火", "水", "木", "金", "土"};
  const Reminder& r = *line.reminder;
  std::string when;
  switch (r.kind) {
    case Reminder::Kind::kDate: when = WhenText(r); break;
    case Reminder::Kind::kDaily: when = "毎日"; break;
    case Reminder::Kind::kWeekdays: when = "平日"; break;
    case Reminder::Kind::kMonthly: when = "毎月" + std::to_string(r.day) + "日"; break;
    case Reminder::Kind::kWeekdaySet:
      for (unsigned i = 0; i < 7; ++i) {
        if (!((r.weekdays >> i) & 1u)) continue;
        if (!when.empty()) when += "・";
        when += kJapaneseDays[i];
      }
      break;
  }
  return when + " " + ShortTime(r.hour, r.minute) + " " + r.text;
}

bool YoteiFile::AnythingSet() const {
  return hourly_chime ||
         std::any_of(reminders.begin(), reminders.end(), [](const ReminderLine& l) { return l.reminder.has_value(); });
}

YoteiFile ParseYoteiFile(std::string_view text) {
  const std::vector<std::string> lines = config::SplitLines(text);
  std::size_t section = 0;
  while (section < lines.size() && !sjis::EqualsIgnoreCase(lines[section], kRemindersSection)) ++section;
  const std::vector<std::string> keys(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(section));
  YoteiFile file;
  file.hourly_chime = config::FindValue(keys, "HourlyChime") == std::optional<std::string>("1");
  if (const auto tick = config::FindValue(keys, "LastTick")) file.last_tick = ParseLastTick(*tick);
  for (std::size_t i = section + 1; i < lines.size(); ++i) {
    if (lines[i].find_first_not_of(" \t") == std::string::npos) continue;  // blank lines are not kept
    file.reminders.push_back({lines[i], ParseReminder(lines[i])});
  }
  return file;
}

std::string FormatYoteiFile(const YoteiFile& file) {
  std::vector<std::string> lines{std::string("HourlyChime=") + (file.hourly_chime ? "1" : "0")};
  if (file.last_tick) lines.push_back("LastTick=" + FormatMinute(*file.last_tick));
  lines.push_back(kRemindersSection);
  for (const ReminderLine& r : file.reminders) lines.push_back(r.line);
  return config::JoinCrLf(lines);
}

TickOutcome Tick(const YoteiFile& file, std::optional<std::int64_t> last_tick, std::int64_t now) {
  TickOutcome out;
  out.last_tick = now;
  const std::int64_t after = (last_tick && *last_tick <= now) ? *last_tick : now - 1;
  for (std::int64_t m = std::max(after + 1, now - kMissedAfterMinutes); m <= now; ++m) {
    const bool late = now - m > 1;
    const mokuna::LocalTime t = AtMinute(m);
    if (file.hourly_chime && !late && t.minute == 0)
      out.said.push_back(kChimeHead + std::to_string(t.hour) + kChimeTail);
    for (const ReminderLine& line : file.reminders) {
      if (!line.reminder || !line.reminder->OccursAt(m)) continue;
      const std::string& text = line.reminder->text;
      out.said.push_back(late ? "（" + ShortTime(t.hour, t.minute) + "）" + text : text);
    }
  }
  return out;
}

TickRun RunTick(const std::string* file_text, std::optional<std::int64_t>& remembered, std::int64_t now) {
  YoteiFile file = file_text ? ParseYoteiFile(*file_text) : YoteiFile{};
  // The later of the two: the file's may lag behind when nothing was said, or when it could not be written.
  std::optional<std::int64_t> last = file.last_tick;
  if (remembered && (!last || *remembered > *last)) last = remembered;
  const TickOutcome outcome = Tick(file, last, now);
  remembered = outcome.last_tick;
  TickRun run{TickResult(outcome.said), std::nullopt};
  if (!outcome.said.empty()) {
    file.last_tick = outcome.last_tick;
    run.new_file = FormatYoteiFile(file);
  }
  return run;
}

std::string TickResult(const std::vector<std::string>& said) {
  // Room for every token with each byte a doubled quote, and the quotes and blank around it.
  std::size_t room = sizeof "Yotei Tick 000";
  for (const std::string& s : said) room += s.size() * 2 + 3;
  std::string buffer(room, '\0');
  mokuna_result r;
  mokuna_result_begin(&r, &buffer[0], buffer.size(), "Yotei", "Tick", MOKUNA_RESULT_SPEECH);
  for (const std::string& s : said) mokuna_result_add_token(&r, s.c_str());
  buffer.resize(r.length);
  return buffer;
}

std::string PropertyPageResult(bool anything_set) {
  return std::string("Yotei PropertyPage 900 * * * * /") + (anything_set ? "1" : "0") + " Yotei 0 Tick";
}

}  // namespace yotei
