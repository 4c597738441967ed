#include "announcement.h"

#include <gtest/gtest.h>

namespace mokuna {
namespace {

LocalTime At(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
  LocalTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s, t.millisecond = ms;
  t.weekday = WeekdayOf(y, mo, d);
  return t;
}

TEST(Announcement, NoLeadingZerosFullWidthPunctuation) {
  // 5 January 2025 is a Sunday.
  const auto lines = AnnouncementLines(At(2025, 1, 5, 9, 5));
  EXPECT_EQ(lines.first, "今日は，1月5日(日曜日)，");
  EXPECT_EQ(lines.second, "ただいま，9時5分です．");
  // Single-byte parentheses, full-width comma and stop.
  EXPECT_NE(lines.first.find("日("), std::string::npos);
  EXPECT_EQ(lines.second.substr(lines.second.size() - 2), "\x81\x44");
}

TEST(Announcement, WeekdayComesFromTheDateAndTwoDigitFields) {
  // The weekday is computed from the date, not from a stale field of the time.
  LocalTime t = At(2026, 12, 31, 23, 59);
  t.weekday = 0;
  const auto lines = AnnouncementLines(t);
  EXPECT_EQ(lines.first, "今日は，12月31日(木曜日)，");
  EXPECT_EQ(lines.second, "ただいま，23時59分です．");
  EXPECT_EQ(AnnouncementLines(At(2026, 12, 5, 0, 0)).first, "今日は，12月5日(土曜日)，");
  EXPECT_EQ(AnnouncementLines(At(2026, 12, 5, 0, 0)).second, "ただいま，0時0分です．");
}

TEST(ClockText, ColonBlinksInTheSecondHalfOfEachSecond) {
  EXPECT_EQ(ClockText(At(2026, 1, 1, 12, 0, 0, 700)), "12:00");
  EXPECT_EQ(ClockText(At(2026, 1, 1, 12, 0, 1, 200)), "12 00");
  EXPECT_EQ(ClockText(At(2026, 1, 1, 9, 5, 0, 499)), "9 05");
  EXPECT_EQ(ClockText(At(2026, 1, 1, 9, 5, 0, 500)), "9:05");
  EXPECT_EQ(ClockText(At(2026, 1, 1, 0, 59, 0, 999)), "0:59");
}

// Drives the rule the way the window does: press records the position, release is judged at "now".
class ClickRuleTest : public ::testing::Test {
 protected:
  FakeClock clock{At(2026, 3, 2, 10, 0)};
  ClickRule rule;
  bool Click(int left = 100, int top = 200, int release_left = 100, int release_top = 200,
             ClickRule::Button button = ClickRule::Button::kLeft) {
    rule.Press(left, top);
    return rule.Release(button, release_left, release_top, ToDateTime(clock.Now()));
  }
};

TEST_F(ClickRuleTest, SingleClickOnlyRemembersTheTime) {
  EXPECT_FALSE(Click());
  EXPECT_DOUBLE_EQ(rule.last_click_time(), ToDateTime(clock.Now()));
}

TEST_F(ClickRuleTest, ReleasesCloserThan259msAnnounce) {
  EXPECT_FALSE(Click());
  clock.AdvanceMs(200);
  EXPECT_TRUE(Click());
  // The announcement left the time alone: a third quick click (250 ms after the first) announces again.
  clock.AdvanceMs(50);
  EXPECT_TRUE(Click());
  // 300 ms after the first release it is too late, and this release starts a new pair.
  clock.AdvanceMs(50);
  EXPECT_FALSE(Click());
  clock.AdvanceMs(259);
  EXPECT_TRUE(Click());
}

TEST_F(ClickRuleTest, ReleasesFarApartSayNothing) {
  EXPECT_FALSE(Click());
  clock.AdvanceMs(300);
  EXPECT_FALSE(Click());
  clock.AdvanceMs(300);
  EXPECT_FALSE(Click());
}

TEST_F(ClickRuleTest, DragNeverAnnouncesButSetsTheTime) {
  EXPECT_FALSE(Click());
  clock.AdvanceMs(100);
  // The window moved between press and release: no announcement although the release came quickly.
  EXPECT_FALSE(Click(100, 200, 140, 200));
  // A click soon after the end of the drag (at the new place) announces.
  clock.AdvanceMs(150);
  EXPECT_TRUE(Click(140, 200, 140, 200));
  // Only the top changed: still a move.
  clock.AdvanceMs(10);
  EXPECT_FALSE(Click(140, 200, 140, 201));
}

TEST_F(ClickRuleTest, OtherButtonsAreIgnored) {
  EXPECT_FALSE(Click());
  const double first = rule.last_click_time();
  clock.AdvanceMs(100);
  EXPECT_FALSE(Click(100, 200, 100, 200, ClickRule::Button::kRight));
  EXPECT_DOUBLE_EQ(rule.last_click_time(), first);
  EXPECT_FALSE(Click(100, 200, 100, 200, ClickRule::Button::kMiddle));
  clock.AdvanceMs(100);
  EXPECT_TRUE(Click());
}

}  // namespace
}  // namespace mokuna

namespace mokuna {
namespace {

TEST(TimeLabelPlace, KeepsBottomDistanceAndCentreShare) {
  EXPECT_EQ(TimeLabelPlace(117, 103).left, 32);
  EXPECT_EQ(TimeLabelPlace(117, 103).top, 32);
  // The default picture 116 x 102 gives a window of 117 x 103: unchanged.
  EXPECT_EQ(TimeLabelPlace(234, 203).left, 101);  // 138 - 37
  EXPECT_EQ(TimeLabelPlace(234, 203).top, 132);
  EXPECT_EQ(TimeLabelPlace(50, 40).left, 29 - 37);  // 69*50/117 = 29.49 -> 29
  EXPECT_EQ(TimeLabelPlace(61, 40).left, 36 - 37);  // 35.97 -> 36
  EXPECT_EQ(TimeLabelPlace(2, 1).top, -70);
}

TEST(MenuCaption, AmpersandsShowLiterally) {
  EXPECT_EQ(LiteralMenuCaption("A&B"), "A&&B");
  EXPECT_EQ(LiteralMenuCaption("&&"), "&&&&");
  EXPECT_EQ(LiteralMenuCaption("拡張DLL"), "拡張DLL");
}

}  // namespace
}  // namespace mokuna
