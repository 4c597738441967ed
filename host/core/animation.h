// Which frame the character shows at a moment: the eyes close now and then, and the mouth moves while a
// speech line enters the balloon. Portable: time comes in as a millisecond counter (Clock::TickMs) and
// chance from a seeded source, so the same seed and the same moments give the same frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mokuna {

inline constexpr std::int64_t kBlinkMs = 120;          // how long the eyes stay closed
inline constexpr std::int64_t kBlinkGapMinMs = 2000;   // between two blinks, at random
inline constexpr std::int64_t kBlinkGapMaxMs = 6000;
inline constexpr std::int64_t kMouthStepMs = 120;      // open, closed, open, ... while talking
inline constexpr std::int64_t kTalkMsPerChar = 80;

// The file of a frame beside the picture NAME.EXT: NAME + suffix + ".EXT" (a Shift-JIS path; only the
// last component's last dot starts the extension).
std::string FrameFileName(const std::string& picture, std::string_view suffix);

// A small, fast generator whose sequence is the same on every platform (the standard distributions are
// not), seeded by the caller.
class SeededRandom {
 public:
  explicit SeededRandom(std::uint64_t seed) : state_(seed) {}
  // Uniform in [low, high].
  std::int64_t Between(std::int64_t low, std::int64_t high);

 private:
  std::uint64_t state_;
};

// What to draw: the picture is both false.
struct CharacterFrame {
  bool eyes_closed = false;
  bool mouth_open = false;
  bool operator==(const CharacterFrame& o) const { return eyes_closed == o.eyes_closed && mouth_open == o.mouth_open; }
};

class CharacterAnimation {
 public:
  // can_blink / can_talk: whether the character has the frame for it; without either nothing ever moves.
  CharacterAnimation(bool can_blink, bool can_talk, std::uint64_t seed)
      : can_blink_(can_blink), can_talk_(can_talk), random_(seed) {}

  bool Moves() const { return can_blink_ || can_talk_; }
  bool Running() const { return running_; }

  // The character became visible at now: the next blink is a gap away from it.
  void Start(std::int64_t now);
  // Hidden: nothing is due until Start again, and the picture shows meanwhile.
  void Stop();

  // A speech line has entered the balloon at now. The mouth moves for kTalkMsPerChar per character of
  // text (Shift-JIS; a double-byte character counts once), at most for until_next_ms (the time before the
  // next line may come), and ends closed. A new line starts the talking afresh.
  void LineEntered(std::int64_t now, std::string_view text, std::int64_t until_next_ms);

  // The frame at now. Moments must not go back; asking moves the blink schedule on past now.
  CharacterFrame At(std::int64_t now);
  // The next moment after the last At at which the frame may change; nothing when nothing is due.
  std::optional<std::int64_t> NextChange() const;

 private:
  void ScheduleBlink(std::int64_t after);

  bool can_blink_, can_talk_;
  SeededRandom random_;
  bool running_ = false;
  std::int64_t blink_start_ = 0;  // the eyes close over [blink_start_, blink_start_ + kBlinkMs)
  bool blink_again_ = false;      // after this blink, a second one a blink's length later
  std::int64_t talk_start_ = 0, talk_end_ = 0;  // the mouth moves over [talk_start_, talk_end_)
  std::int64_t last_ = 0;
};

}  // namespace mokuna
