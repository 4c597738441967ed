#include "animation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mokuna {
namespace {

struct Span {
  std::int64_t from, to;  // [from, to)
  bool operator==(const Span& o) const { return from == o.from && to == o.to; }
};
std::ostream& operator<<(std::ostream& os, const Span& s) { return os << '[' << s.from << ',' << s.to << ')'; }

struct Trace {
  std::vector<Span> closed, open;  // eyes closed, mouth open
};

// Runs the animation as the window's one-shot timer does: wakes only at NextChange, from 0 to end.
Trace Drive(CharacterAnimation& a, std::int64_t end, const std::string& line = "", std::int64_t line_at = -1,
          std::int64_t until_next = 0) {
  Trace t;
  CharacterFrame shown;
  std::int64_t closed_since = 0, open_since = 0;
  const auto step = [&](std::int64_t now) {
    const CharacterFrame f = a.At(now);
    if (f.eyes_closed != shown.eyes_closed) {
      if (shown.eyes_closed) t.closed.push_back({closed_since, now});
      else closed_since = now;
    }
    if (f.mouth_open != shown.mouth_open) {
      if (shown.mouth_open) t.open.push_back({open_since, now});
      else open_since = now;
    }
    shown = f;
  };
  a.Start(0);
  step(0);
  for (;;) {
    const std::optional<std::int64_t> next = a.NextChange();
    const bool line_first = line_at >= 0 && (!next || line_at <= *next);
    const std::int64_t now = line_first ? line_at : next.value_or(end);
    if (now >= end) break;
    if (line_first) {
      a.LineEntered(now, line, until_next);
      line_at = -1;
    }
    step(now);
  }
  return t;
}

// Blinks: 120 ms each, the next 2 to 6 s after the last, now and then a second one 120 ms after the
// first; the same seed gives the same blinks. Hidden, nothing is due; shown again, blinking goes on.
TEST(CharacterAnimation, BlinksAtRandomTwoToSixSecondsApart) {
  const std::uint64_t seeds[] = {0, 1, 42, 0xFFFFFFFFFFFFFFFFull};
  int doubles = 0, singles = 0;
  std::vector<std::int64_t> first_blinks;
  for (const std::uint64_t seed : seeds) {
    SCOPED_TRACE(seed);
    CharacterAnimation a(true, false, seed);
    const Trace t = Drive(a, 600000);
    ASSERT_GT(t.closed.size(), 90u);
    EXPECT_TRUE(t.open.empty());
    std::int64_t last_end = 0;
    for (const Span& s : t.closed) {
      EXPECT_EQ(s.to - s.from, kBlinkMs);
      const std::int64_t gap = s.from - last_end;
      if (gap == kBlinkMs) ++doubles;
      else {
        ++singles;
        EXPECT_GE(gap, kBlinkGapMinMs);
        EXPECT_LE(gap, kBlinkGapMaxMs);
      }
      last_end = s.to;
    }
    first_blinks.push_back(t.closed.front().from);
    CharacterAnimation again(true, false, seed);
    EXPECT_EQ(Drive(again, 600000).closed, t.closed);

    a.Stop();
    EXPECT_FALSE(a.NextChange());
    EXPECT_FALSE(a.At(t.closed[3].from + 1).eyes_closed);  // a moment that was a blink while shown
    a.Start(700000);
    a.At(700000);
    ASSERT_TRUE(a.NextChange());
    EXPECT_GE(*a.NextChange(), 700000 + kBlinkGapMinMs);
  }
  EXPECT_GT(doubles, 4 * 10);  // about a fifth of the blinks
  EXPECT_GT(singles, 4 * doubles / 2);
  EXPECT_NE(first_blinks[0], first_blinks[1]);
}

// Talking: the mouth opens as the line enters, alternates every 120 ms for 80 ms a character, never past
// the time until the next line may come, and ends closed. Without the talk frame it never opens; without
// either frame nothing is ever due.
TEST(CharacterAnimation, TalksWhileALineEntersTheBalloon) {
  const struct {
    bool blink, talk;
    std::string line;
    std::int64_t until_next;
    std::vector<Span> open;
  } cases[] = {
      {false, true, "12345", 3000, {{1000, 1120}, {1240, 1360}}},  // 400 ms: ends in a closed step
      {false, true, "123", 3000, {{1000, 1120}}},
      {true, true, "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd", 3000, {{1000, 1120}, {1240, 1360}}},  // 5 double-byte
      {false, true, std::string(60, 'a'), 700, {{1000, 1120}, {1240, 1360}, {1480, 1600}}},  // capped at 700
      {false, true, "", 3000, {}},
      {true, false, "12345", 3000, {}},
      {false, false, "12345", 3000, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line + " " + std::to_string(c.until_next));
    CharacterAnimation a(c.blink, c.talk, 7);
    const Trace t = Drive(a, 20000, c.line, 1000, c.until_next);
    EXPECT_EQ(t.open, c.open);
    EXPECT_EQ(!t.closed.empty(), c.blink);  // blinking goes on while it talks
    EXPECT_FALSE(a.At(20000).mouth_open);
    if (!c.blink && !c.talk) {
      EXPECT_FALSE(a.NextChange());
    }
  }
}

}  // namespace
}  // namespace mokuna
