#include "speech_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mokuna {
namespace {

using Lines = std::vector<std::string>;

TEST(CutSerifu, CutsAtTwentyCharactersWithoutSplittingDoubleBytes) {
  const std::string single(45, 'a');
  EXPECT_EQ((Lines{std::string(20, 'a'), std::string(20, 'a'), std::string(5, 'a')}), CutSerifu(single));

  std::string wide;
  for (int i = 0; i < 25; ++i) wide += "あ";
  const Lines cut = CutSerifu(wide);
  ASSERT_EQ(2u, cut.size());
  EXPECT_EQ(40u, cut[0].size());
  EXPECT_EQ(10u, cut[1].size());

  // Mixed: 19 single bytes then a double-byte character makes a 21-byte first line.
  const std::string mixed = std::string(19, 'x') + "あb";
  EXPECT_EQ((Lines{std::string(19, 'x') + "あ", "b"}), CutSerifu(mixed));

  // ソ ends in 0x5C; CR and LF stay inside their line.
  EXPECT_EQ((Lines{"ソ\r\nソ"}), CutSerifu("ソ\r\nソ"));
  EXPECT_EQ((Lines{""}), CutSerifu(""));
  EXPECT_EQ((Lines{std::string(20, ' ')}), CutSerifu(std::string(20, ' ')));
}

TEST(SecondsCount, CountsWholeSecondsSinceTheEpochDay) {
  LocalTime t;  // 30 December 1899 00:00:00
  EXPECT_EQ(0, SecondsCount(t));  // 0.5 rounds to even
  t.second = 1;
  EXPECT_EQ(2, SecondsCount(t));  // 1.5 rounds to even
  t.second = 2;
  EXPECT_EQ(2, SecondsCount(t));  // 2.5 rounds to even
  const LocalTime a{2026, 12, 7, 1, 20, 30, 15, 0};
  LocalTime b = a;
  b.second = 19;
  EXPECT_EQ(4, SecondsCount(b) - SecondsCount(a));
  b.second = 15;
  b.millisecond = 400;
  EXPECT_GE(SecondsCount(b) - SecondsCount(a), 0);
  EXPECT_LE(SecondsCount(b) - SecondsCount(a), 1);
}

TEST(TrayTipText, ShowsTheMinuteWithoutLeadingZerosInTheDate) {
  EXPECT_EQ("2026/1/5 09:05", TrayTipText({2026, 1, 5, 1, 9, 5, 59, 999}));
  EXPECT_EQ("2026/12/31 23:59", TrayTipText({2026, 12, 31, 4, 23, 59, 0, 0}));
}

TEST(TrayTipText, UsesTheGivenSeparatorsWhateverTheirLength) {
  const LocalTime t{2026, 3, 4, 3, 7, 8, 0, 0};
  const struct {
    const char* date;
    const char* time;
    const char* tip;
  } cases[] = {
      {"/", ":", "2026/3/4 07:08"},
      {".", ".", "2026.3.4 07.08"},
      {"-", "h", "2026-3-4 07h08"},
      {". ", ":", "2026. 3. 4 07:08"},
      {"\x94\x4e", "", "2026\x94\x4e" "3\x94\x4e" "4 0708"},  // a double-byte separator stays whole
  };
  for (const auto& c : cases) EXPECT_EQ(c.tip, TrayTipText(t, c.date, c.time)) << c.date << c.time;
}

struct FakeView : SpeechView {
  void PlaceFukidasi() override { ++placed; }
  void SetBalloonText(const std::string& t) override { text = t; }
  void HideBalloon() override { ++hidden; }
  void SetTipText(const std::string& t) override {
    tip = t;
    ++tips;
  }
  int placed = 0, hidden = 0, tips = 0;
  std::string text = "design text", tip;
};

// Ticks every 500 ms on a fake clock starting at a whole second.
class SpeechTiming : public ::testing::Test {
 protected:
  SpeechTiming() : clock_(LocalTime{2026, 12, 7, 1, 10, 0, 0, 0}), queue_(settings_, view_) {}

  void Tick(int ms = 500) {
    clock_.AdvanceMs(ms);
    queue_.RefreshSerifu(clock_.Now());
  }
  std::int64_t Now() const { return SecondsCount(clock_.Now()); }
  // Ticks until the balloon text changes or max ticks pass; returns the number of ticks.
  int TicksUntilChange(int max = 100) {
    const std::string before = view_.text;
    for (int i = 1; i <= max; ++i) {
      Tick();
      if (view_.text != before) return i;
    }
    return -1;
  }

  HostSettings settings_;
  FakeView view_;
  FakeClock clock_;
  SpeechQueue queue_;
};

TEST_F(SpeechTiming, PacesLinesAndClearsAfterTheLingerTime) {
  queue_.AddSerifu("one");
  queue_.AddSerifu("two");
  EXPECT_TRUE(queue_.IsSpeaking());
  Tick();  // the first line after a long pause comes at once
  EXPECT_EQ("\r\none", view_.text);
  EXPECT_EQ(1, view_.placed);
  const std::int64_t first = Now();

  ASSERT_GT(TicksUntilChange(), 0);
  EXPECT_EQ("\r\none\r\ntwo", view_.text);
  // SerifuInterval 3: the first tick with a count at least 4 above.
  EXPECT_EQ(first + 4, Now());
  EXPECT_EQ(2, view_.placed);
  const std::int64_t second = Now();

  ASSERT_GT(TicksUntilChange(), 0);
  EXPECT_EQ("", view_.text);
  EXPECT_EQ(second + 6, Now());  // FukidasiInterval 5
  EXPECT_FALSE(queue_.IsSpeaking());
  EXPECT_TRUE(queue_.FukidasiLines().empty());
  EXPECT_EQ(1, view_.hidden);
  EXPECT_EQ(2, view_.placed);
}

TEST_F(SpeechTiming, StrictComparisonsOnWholeSeconds) {
  settings_.SerifuInterval = 0;
  settings_.FukidasiInterval = 0;
  queue_.AddSerifu("a");
  queue_.AddSerifu("b");
  Tick();
  const std::int64_t first = Now();
  // Interval 0 still needs the count to rise by one: not on a tick within the same second.
  int same_second_ticks = 0;
  for (;;) {
    Tick(100);
    if (Now() != first) break;
    ++same_second_ticks;
    EXPECT_EQ("\r\na", view_.text);
  }
  EXPECT_EQ("\r\na\r\nb", view_.text);
  EXPECT_GT(same_second_ticks, 0);
}

TEST_F(SpeechTiming, TipChangesEveryTickWhateverTheState) {
  Tick();
  Tick();
  EXPECT_EQ(2, view_.tips);
  EXPECT_EQ("2026/12/7 10:00", view_.tip);
  EXPECT_EQ(0, view_.placed);
  EXPECT_EQ(0, view_.hidden);  // idle: nothing to clear
  EXPECT_EQ("design text", view_.text);

  queue_.SetTipSeparators(".", "-");
  Tick();
  EXPECT_EQ("2026.12.7 10-00", view_.tip);
}

TEST_F(SpeechTiming, EmptyTextShowsAnEmptyLine) {
  queue_.AddSerifu("");
  EXPECT_EQ(1u, queue_.SerifuQueue().size());
  Tick();
  EXPECT_EQ("\r\n", view_.text);
}

TEST_F(SpeechTiming, TextQueuedWhileLingeringContinuesBelowAndRestartsTheLinger) {
  queue_.AddSerifu("one");
  Tick();
  for (int i = 0; i < 9; ++i) Tick();  // 5 s: past SerifuInterval, within the linger time
  EXPECT_EQ("\r\none", view_.text);
  queue_.AddSerifu("two");
  Tick();
  EXPECT_EQ("\r\none\r\ntwo", view_.text);
  const std::int64_t second = Now();
  ASSERT_GT(TicksUntilChange(), 0);
  EXPECT_EQ("", view_.text);
  EXPECT_EQ(second + 6, Now());
}

TEST_F(SpeechTiming, NeverClearsWhileLinesAreQueued) {
  settings_.SerifuInterval = 20;
  settings_.FukidasiInterval = 0;
  queue_.AddSerifu("one");
  queue_.AddSerifu("two");
  for (int i = 0; i < 30; ++i) Tick();
  EXPECT_EQ("\r\none", view_.text);
  EXPECT_TRUE(queue_.IsSpeaking());
  EXPECT_EQ(0, view_.hidden);
}

TEST_F(SpeechTiming, TheEighthLinePushesOutTheFirst) {
  settings_.SerifuInterval = 0;
  for (int i = 1; i <= 8; ++i) queue_.AddSerifu(std::to_string(i));
  for (int i = 0; i < 8; ++i) ASSERT_GT(TicksUntilChange(), 0);
  EXPECT_EQ("\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8", view_.text);
  EXPECT_EQ(7u, queue_.FukidasiLines().size());
}

TEST_F(SpeechTiming, LoweringMaxSpeakingKeepsTheCountShown) {
  settings_.SerifuInterval = 0;
  for (int i = 1; i <= 6; ++i) queue_.AddSerifu(std::to_string(i));
  for (int i = 0; i < 4; ++i) ASSERT_GT(TicksUntilChange(), 0);
  settings_.MaxSpeaking = 2;
  ASSERT_GT(TicksUntilChange(), 0);
  EXPECT_EQ("\r\n2\r\n3\r\n4\r\n5", view_.text);
  ASSERT_GT(TicksUntilChange(), 0);
  EXPECT_EQ("\r\n3\r\n4\r\n5\r\n6", view_.text);
}

TEST_F(SpeechTiming, MaxSpeakingZeroOrLessShowsAnEmptyBalloonWhileLinesPass) {
  for (int max : {0, -3}) {
    SCOPED_TRACE(max);
    settings_.MaxSpeaking = max;
    settings_.SerifuInterval = 0;
    queue_.AddSerifu("a");
    queue_.AddSerifu("b");
    view_.placed = 0;
    for (int i = 0; i < 6; ++i) Tick();
    EXPECT_EQ(2, view_.placed);
    EXPECT_TRUE(queue_.SerifuQueue().empty());
    EXPECT_TRUE(queue_.FukidasiLines().empty());
    for (int i = 0; i < 20; ++i) Tick();
    EXPECT_FALSE(queue_.IsSpeaking());
    EXPECT_EQ("", view_.text);
  }
}

}  // namespace
}  // namespace mokuna

namespace mokuna {
namespace {

TEST(PlaceBeside, LeftOfTheCharacterUnlessThatLeavesTheScreen) {
  // Character picture 116 x 102 at 300, 400; balloon picture 189 x 136 (taller: its top is higher).
  EXPECT_EQ(111, PlaceBeside(300, 400, 116, 102, 189, 136).left);
  EXPECT_EQ(366, PlaceBeside(300, 400, 116, 102, 189, 136).top);
  EXPECT_EQ(0, PlaceBeside(189, 400, 116, 102, 189, 136).left);    // exactly the width: stays left at 0
  EXPECT_EQ(304, PlaceBeside(188, 400, 116, 102, 189, 136).left);  // one less: to the right
  EXPECT_EQ(16, PlaceBeside(-100, -50, 116, 102, 189, 136).left);
  EXPECT_EQ(-84, PlaceBeside(-100, -50, 116, 102, 189, 136).top);
}

}  // namespace
}  // namespace mokuna
