#include "animation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mokuna {
namespace {

using Spans = std::vector<std::pair<std::int64_t, std::int64_t>>;  // [from, to)

// The spans with the eyes closed and the mouth open, woken as the window's timer wakes it (and at line_at).
std::pair<Spans, Spans> Drive(CharacterAnimation& a, std::int64_t end, const std::string& line = "",
                              std::int64_t line_at = -1, std::int64_t until_next = 0) {
  Spans spans[2];
  bool was[2] = {false, false};
  a.Start(0);
  for (std::int64_t now = 0, next = 0; now < end; now = line_at > now && line_at < next ? line_at : next) {
    if (now == line_at) a.LineEntered(now, line, until_next);
    const CharacterFrame f = a.At(now);
    for (const int i : {0, 1}) {
      const bool on = i ? f.mouth_open : f.eyes_closed;
      if (on && !was[i]) spans[i].push_back({now, 0});
      if (!on && was[i]) spans[i].back().second = now;
      was[i] = on;
    }
    next = a.NextChange().value_or(end);
  }
  return {spans[0], spans[1]};
}

// Blinks: 120 ms each, 2 to 6 s after the last, about one in five followed by a second one 120 ms later;
// the same seed gives the same blinks. Hidden, nothing is due and the picture shows.
TEST(CharacterAnimation, BlinksAtRandomTwoToSixSecondsApart) {
  int doubles = 0, singles = 0;
  for (const std::uint64_t seed : {0ull, 1ull, 42ull, ~0ull}) {
    SCOPED_TRACE(seed);
    CharacterAnimation a(true, false, seed), again(true, false, seed);
    const auto [closed, open] = Drive(a, 600000);
    EXPECT_TRUE(closed == Drive(again, 600000).first && open.empty());
    ASSERT_GT(closed.size(), 90u);
    for (std::size_t i = 0; i < closed.size(); ++i) {
      const std::int64_t gap = closed[i].first - (i ? closed[i - 1].second : 0);
      (gap == kBlinkMs ? doubles : singles)++;
      EXPECT_TRUE(gap == kBlinkMs || (gap >= kBlinkGapMinMs && gap <= kBlinkGapMaxMs)) << closed[i].first;
      EXPECT_EQ(closed[i].second - closed[i].first, kBlinkMs);
    }
    a.Stop();  // hidden: nothing is due
    EXPECT_FALSE(a.NextChange() || a.At(closed[3].first + 1).eyes_closed);
  }
  EXPECT_GT(doubles * 8, singles);
  EXPECT_LT(doubles * 3, singles);
}

// Talking: the mouth opens as the line enters and alternates every 120 ms for 80 ms a character (a
// double-byte character counts once), never past the time until the next line may come, and ends closed;
// blinking goes on meanwhile. Without the talk frame it never opens; without either nothing is ever due.
TEST(CharacterAnimation, TalksWhileALineEntersTheBalloon) {
  const Spans five{{1000, 1120}, {1240, 1360}};  // 400 ms, ending in a closed step
  const struct { bool blink, talk; std::string line; std::int64_t until_next; Spans open; } cases[] = {
      {false, true, "12345", 3000, five},
      {false, true, "123", 3000, {{1000, 1120}}},
      {true, true, "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd", 3000, five},
      {false, true, std::string(60, 'a'), 700, {{1000, 1120}, {1240, 1360}, {1480, 1600}}},
      {false, true, "", 3000, {}},
      {true, false, "12345", 3000, {}},
      {false, false, "12345", 3000, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line + " " + std::to_string(c.until_next));
    CharacterAnimation a(c.blink, c.talk, 7);
    const auto [closed, open] = Drive(a, 20000, c.line, 1000, c.until_next);
    EXPECT_EQ(open, c.open);
    EXPECT_EQ(!closed.empty(), c.blink);
    EXPECT_EQ(a.NextChange().has_value(), c.blink);
  }
}

}  // namespace
}  // namespace mokuna
