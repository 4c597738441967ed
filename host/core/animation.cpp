#include "animation.h"

#include <algorithm>

#include "sjis.h"

namespace mokuna {

std::string FrameFileName(const std::string& picture, std::string_view suffix) {
  std::size_t dot = std::string::npos;
  for (std::size_t i = 0; i < picture.size(); i += sjis::CharLength(picture, i)) {
    const char c = picture[i];
    if (c == '\\' || c == '/' || c == ':') dot = std::string::npos;
    else if (c == '.') dot = i;
  }
  if (dot == std::string::npos) dot = picture.size();
  return picture.substr(0, dot) + std::string(suffix) + picture.substr(dot);
}

std::int64_t SeededRandom::Between(std::int64_t low, std::int64_t high) {
  // splitmix64: every seed, zero included, gives a well-mixed sequence.
  state_ += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  const std::uint64_t span = static_cast<std::uint64_t>(high - low) + 1;
  return low + static_cast<std::int64_t>(z % span);
}

void CharacterAnimation::ScheduleBlink(std::int64_t after) {
  blink_start_ = after + random_.Between(kBlinkGapMinMs, kBlinkGapMaxMs);
  // About one blink in five is a double one.
  blink_again_ = random_.Between(1, 5) == 1;
}

void CharacterAnimation::Start(std::int64_t now) {
  if (!Moves()) return;
  running_ = true;
  last_ = now;
  ScheduleBlink(now);
}

void CharacterAnimation::Stop() {
  running_ = false;
  talk_start_ = talk_end_ = 0;
}

void CharacterAnimation::LineEntered(std::int64_t now, std::string_view text, std::int64_t until_next_ms) {
  if (!can_talk_) return;
  const std::int64_t wanted = static_cast<std::int64_t>(sjis::CharCount(text)) * kTalkMsPerChar;
  talk_start_ = now;
  talk_end_ = now + std::clamp<std::int64_t>(wanted, 0, std::max<std::int64_t>(until_next_ms, 0));
}

CharacterFrame CharacterAnimation::At(std::int64_t now) {
  last_ = now;
  CharacterFrame frame;
  if (!running_) return frame;
  if (can_blink_ && now >= blink_start_ + kBlinkMs) {
    // A late tick (a busy or suspended machine) drops a second blink that is already over, and the
    // next gap counts from now rather than from a moment long past.
    if (blink_again_ && now < blink_start_ + 3 * kBlinkMs) {
      blink_start_ += 2 * kBlinkMs;
      blink_again_ = false;
    } else {
      ScheduleBlink(now);
    }
  }
  frame.eyes_closed = can_blink_ && now >= blink_start_ && now < blink_start_ + kBlinkMs;
  frame.mouth_open = can_talk_ && now >= talk_start_ && now < talk_end_ && (now - talk_start_) / kMouthStepMs % 2 == 0;
  return frame;
}

std::optional<std::int64_t> CharacterAnimation::NextChange() const {
  if (!running_) return std::nullopt;
  std::optional<std::int64_t> next;
  const auto consider = [&next](std::int64_t t) { next = next ? std::min(*next, t) : t; };
  if (can_blink_) consider(last_ < blink_start_ ? blink_start_ : blink_start_ + kBlinkMs);
  if (can_talk_ && last_ < talk_end_ && last_ >= talk_start_)
    consider(std::min(talk_end_, talk_start_ + ((last_ - talk_start_) / kMouthStepMs + 1) * kMouthStepMs));
  return next;
}

}  // namespace mokuna
