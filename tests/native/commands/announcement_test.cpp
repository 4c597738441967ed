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

// Releases as the window reports them, on a fake clock: the window's place, and the time of the release.
class DoubleClick : public ::testing::Test {
 protected:
  bool Release(bool moved = false) { return DoubleClickRelease(moved, ToDateTime(clock.Now()), last_click); }
  FakeClock clock{At(2026, 3, 2, 10, 0)};
  double last_click = 0;  // a moment long past, as start-up leaves it
};

TEST_F(DoubleClick, ReleasesCloserThan259msAnnounce) {
  EXPECT_FALSE(Release());  // a single click only remembers the time
  EXPECT_DOUBLE_EQ(last_click, ToDateTime(clock.Now()));
  clock.AdvanceMs(200);
  EXPECT_TRUE(Release());
  // The announcement left the time alone: a third quick click (250 ms after the first) announces again.
  clock.AdvanceMs(50);
  EXPECT_TRUE(Release());
  // 300 ms after the first release it is too late, and this release starts a new pair.
  clock.AdvanceMs(50);
  EXPECT_FALSE(Release());
  clock.AdvanceMs(259);
  EXPECT_TRUE(Release());
  clock.AdvanceMs(300);
  EXPECT_FALSE(Release());
  clock.AdvanceMs(300);
  EXPECT_FALSE(Release());
}

TEST_F(DoubleClick, ReleaseAfterAMoveNeverAnnouncesButSetsTheTime) {
  EXPECT_FALSE(Release());
  clock.AdvanceMs(100);
  EXPECT_FALSE(Release(true));
  // A click soon after the end of the drag announces.
  clock.AdvanceMs(150);
  EXPECT_TRUE(Release());
}

TEST(TimeLabelPlace, KeepsBottomDistanceAndCentreShare) {
  // The default picture (116 x 102) gives the design size 117 x 103: the design place.
  EXPECT_EQ(TimeLabelPlace(117, 103).left, 32);
  EXPECT_EQ(TimeLabelPlace(117, 103).top, 32);
  EXPECT_EQ(TimeLabelPlace(234, 203).left, 101);  // 138 - 37
  EXPECT_EQ(TimeLabelPlace(234, 203).top, 132);
  EXPECT_EQ(TimeLabelPlace(50, 40).left, 29 - 37);  // 69 * 50 / 117 = 29.49 -> 29
  EXPECT_EQ(TimeLabelPlace(61, 40).left, 36 - 37);  // 35.97 -> 36
}

}  // namespace
}  // namespace mokuna
