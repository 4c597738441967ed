#include "yotei_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tokenizer.h"

namespace {

using Strings = std::vector<std::string>;
using yotei::MinuteOf;

TEST(YoteiGrammar, LinesReadOrStayBad) {
  const struct {
    const char* line;
    const char* read;  // FormatReminder of the result, nullptr: does not read
  } rows[] = {
      {"2026-12-24 18:00 ケーキを受け取る", "2026-12-24 18:00 ケーキを受け取る"},
      {"Daily  9:05\tお昼  ごはん", "daily 09:05 お昼  ごはん"},
      {"weekdays 09:00 朝会", "weekdays 09:00 朝会"},
      {"sat,SUN,sat 10:00 洗濯", "sun,sat 10:00 洗濯"},
      {"monthly 25 10:00 家賃の振り込み", "monthly 25 10:00 家賃の振り込み"},
      {"2026-02-29 10:00 x", nullptr},
      {"2028-02-29 10:00 x", "2028-02-29 10:00 x"},
      {"daily 24:00 x", nullptr},
      {"daily 12:0 x", nullptr},
      {"daily 12:00", nullptr},
      {"daily 12:00   ", nullptr},
      {"monthly 32 10:00 x", nullptr},
      {"monthly 10:00 x", nullptr},
      {"sun,,sat 10:00 x", nullptr},
      {"daily 10:00 a\x01b", nullptr},
      {"daily 10:00 a\x81", nullptr},      // a double-byte character cut short
      {"daily 10:00 \x81\"a", nullptr},
      {"someday 10:00 x", nullptr},
      {"", nullptr},
  };
  for (const auto& row : rows) {
    const auto r = yotei::ParseReminder(row.line);
    EXPECT_EQ(row.read ? row.read : "bad", r ? yotei::FormatReminder(*r) : "bad") << row.line;
  }
  // Up to 100 characters of text, a double-byte one counting as one.
  std::string text;
  for (int i = 0; i < 100; ++i) text += "あ";
  EXPECT_TRUE(yotei::ParseReminder("daily 12:00 " + text));
  EXPECT_FALSE(yotei::ParseReminder("daily 12:00 " + text + "a"));
}

TEST(YoteiGrammar, PageFieldsMakeOnlyWhatTheyShow) {
  using yotei::Repeat;
  const struct {
    Repeat repeat;
    const char *field, *time, *made;  // made: nullptr for refused
    unsigned days;
  } rows[] = {
      {Repeat::kDate, "2026-12-24", "18:00", "2026-12-24 18:00 x", 0},  {Repeat::kDate, "daily", "9:00", nullptr, 0},
      {Repeat::kDate, "2026-12-24 9:00", "9:00", nullptr, 0},            {Repeat::kDaily, "", "9:00 x", nullptr, 0},
      {Repeat::kChosenDays, "", "9:00", "sun,sat 09:00 x", 0x41},         {Repeat::kChosenDays, "", "9:00", nullptr, 0},
      {Repeat::kMonthly, "31", "7:00", "monthly 31 07:00 x", 0},         {Repeat::kMonthly, "", "7:00", nullptr, 0},
  };
  for (const auto& row : rows) {
    const auto r = yotei::ReminderFromFields(row.repeat, row.field, row.days, row.time, "x");
    EXPECT_EQ(row.made ? row.made : "refused", r ? yotei::FormatReminder(*r) : "refused") << row.field << row.time;
  }
}

TEST(YoteiFile, KeepsBadLinesAndWritesItsOwnLayout) {
  const std::string text =
      "hourlychime=1\r\nLastTick=2026-12-09 08:59\r\n[reminders]\r\n2026-12-24 18:00 ケーキ\r\n\r\n"
      "daily 25:00 壊れた行\r\nweekdays 09:00 朝会\r\n";
  const yotei::YoteiFile file = yotei::ParseYoteiFile(text);
  EXPECT_TRUE(file.hourly_chime);
  EXPECT_EQ(MinuteOf(2026, 12, 9, 8, 59), file.last_tick);
  ASSERT_EQ(3u, file.reminders.size());
  EXPECT_FALSE(file.reminders[1].reminder);
  EXPECT_EQ(
      "HourlyChime=1\r\nLastTick=2026-12-09 08:59\r\n[Reminders]\r\n2026-12-24 18:00 ケーキ\r\n"
      "daily 25:00 壊れた行\r\nweekdays 09:00 朝会\r\n",
      yotei::FormatYoteiFile(file));

  // Booleans are true only for exactly 1; a LastTick that does not read is none.
  const yotei::YoteiFile other = yotei::ParseYoteiFile("HourlyChime=01\r\nLastTick=2026-12-09 8:59x\r\n");
  EXPECT_FALSE(other.hourly_chime);
  EXPECT_FALSE(other.last_tick);
  EXPECT_FALSE(other.AnythingSet());
  EXPECT_EQ("HourlyChime=0\r\n[Reminders]\r\n", yotei::FormatYoteiFile(other));
  EXPECT_TRUE(yotei::ParseYoteiFile("[Reminders]\r\ndaily 12:00 x\r\n").AnythingSet());
  EXPECT_FALSE(yotei::ParseYoteiFile("[Reminders]\r\ndaily 12:60 x\r\n").AnythingSet());
}

TEST(YoteiTick, SaysWhatFellDueOnceOldestFirst) {
  // 2026-12-09 is a Wednesday.
  const yotei::YoteiFile file = yotei::ParseYoteiFile(
      "HourlyChime=1\r\n[Reminders]\r\nweekdays 09:00 朝会\r\ndaily 08:30 薬\r\nsun,sat 10:00 洗濯\r\n"
      "2026-12-09 15:00 会議\r\nmonthly 31 07:00 月末\r\ndaily 09:00 二つ目\r\ndaily 25:00 壊れた\r\n");
  const auto at = [](int d, int h, int m) { return MinuteOf(2026, 12, d, h, m); };
  const auto feb = [](int d, int h, int m) { return MinuteOf(2027, 2, d, h, m); };
  const struct {
    const char* name;
    std::optional<std::int64_t> last;
    std::int64_t now;
    Strings said;
  } rows[] = {
      {"on time, the chime before the reminders of its minute", at(9, 8, 59), at(9, 9, 0),
       {"ただいま，9時です．", "朝会", "二つ目"}},
      {"a minute after is still on time", at(9, 8, 59), at(9, 9, 1), {"ただいま，9時です．", "朝会", "二つ目"}},
      {"later: with its time in front, the missed hour not at all", at(9, 8, 59), at(9, 9, 2),
       {"（9:00）朝会", "（9:00）二つ目"}},
      {"two hours old after three hours away", at(9, 6, 2), at(9, 9, 30),
       {"（8:30）薬", "（9:00）朝会", "（9:00）二つ目"}},
      {"nothing twice", at(9, 9, 0), at(9, 9, 30), {}},
      {"twelve hours back is still said", at(9, 8, 0), at(9, 20, 30),
       {"（8:30）薬", "（9:00）朝会", "（9:00）二つ目", "（15:00）会議"}},
      {"older is missed", at(9, 8, 0), at(9, 20, 31), {"（9:00）朝会", "（9:00）二つ目", "（15:00）会議"}},
      {"no LastTick: nothing from before this minute", std::nullopt, at(9, 9, 1), {}},
      {"no LastTick: this minute", std::nullopt, at(9, 15, 0), {"ただいま，15時です．", "会議"}},
      {"the clock went back past LastTick", at(10, 9, 0), at(9, 8, 30), {"薬"}},
      {"Saturday: not a weekday", at(12, 8, 59), at(12, 9, 0), {"ただいま，9時です．", "二つ目"}},
      {"chosen weekdays", at(12, 9, 59), at(12, 10, 0), {"ただいま，10時です．", "洗濯"}},
      {"a date on another day", at(10, 14, 59), at(10, 15, 0), {"ただいま，15時です．"}},
      {"the 31st of a month on its last day", feb(28, 6, 59), feb(28, 7, 0), {"ただいま，7時です．", "月末"}},
      {"midnight", at(9, 23, 59), at(10, 0, 0), {"ただいま，0時です．"}},
  };
  for (const auto& row : rows) {
    const yotei::TickOutcome out = yotei::Tick(file, row.last, row.now);
    EXPECT_EQ(row.said, out.said) << row.name;
    EXPECT_EQ(row.now, out.last_tick) << row.name;
  }
}

TEST(YoteiTick, WritesTheFileOnlyWhenItSaidSomething) {
  const std::string text = "HourlyChime=0\r\n[Reminders]\r\ndaily 09:00 朝会\r\ndaily 25:00 壊れた\r\n";
  std::optional<std::int64_t> remembered;
  // The first call knows no LastTick: nothing older is said, and nothing is written.
  yotei::TickRun run = yotei::RunTick(&text, remembered, MinuteOf(2026, 12, 9, 8, 58));
  EXPECT_EQ("Yotei Tick 000", run.result);
  EXPECT_FALSE(run.new_file);
  // The loaded plug-in remembers the minute it looked at.
  run = yotei::RunTick(&text, remembered, MinuteOf(2026, 12, 9, 9, 0));
  EXPECT_EQ("Yotei Tick 000 朝会", run.result);
  ASSERT_TRUE(run.new_file);
  EXPECT_EQ("HourlyChime=0\r\nLastTick=2026-12-09 09:00\r\n[Reminders]\r\ndaily 09:00 朝会\r\ndaily 25:00 壊れた\r\n",
            *run.new_file);
  // Nothing twice, even when the file kept an older LastTick (it could not be written, say).
  EXPECT_EQ("Yotei Tick 000", yotei::RunTick(&text, remembered, MinuteOf(2026, 12, 9, 9, 5)).result);
  // A fresh start goes by the file's LastTick.
  const std::string old = "LastTick=2026-12-09 08:00\r\n[Reminders]\r\ndaily 09:00 朝会\r\n";
  std::optional<std::int64_t> fresh;
  EXPECT_EQ("Yotei Tick 000 （9:00）朝会", yotei::RunTick(&old, fresh, MinuteOf(2026, 12, 9, 9, 6)).result);
  EXPECT_FALSE(yotei::RunTick(nullptr, fresh, MinuteOf(2026, 12, 10, 9, 0)).new_file);
}

TEST(YoteiResult, EachTextReachesTheHostAsOneToken) {
  const struct {
    Strings said;
    const char* result;
  } rows[] = {
      {{}, "Yotei Tick 000"},
      {{"朝会", "（9:00）会議"}, "Yotei Tick 000 朝会 （9:00）会議"},
      {{"お昼 ごはん"}, "Yotei Tick 000 \"お昼 ごはん\""},
      {{"a,b", "\"x\"", "say \"hi\"", "tab\there"},
       "Yotei Tick 000 \"a,b\" \"\"\"x\"\"\" \"say \"\"hi\"\"\" \"tab\there\""},
  };
  for (const auto& row : rows) {
    const std::string result = yotei::TickResult(row.said);
    EXPECT_EQ(row.result, result);
    Strings tokens = SplitCommaText(result);
    ASSERT_GE(tokens.size(), 3u);
    EXPECT_EQ(row.said, Strings(tokens.begin() + 3, tokens.end())) << result;
  }
  EXPECT_EQ("Yotei PropertyPage 900 * * * * /1 Yotei 0 Tick", yotei::PropertyPageResult(true));
  EXPECT_EQ("Yotei PropertyPage 900 * * * * /0 Yotei 0 Tick", yotei::PropertyPageResult(false));
}

}  // namespace
