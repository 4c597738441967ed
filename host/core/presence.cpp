#include "presence.h"

#include "speech_queue.h"

namespace mokuna {

bool WantsCharacterAway(std::optional<int> state) {
  if (!state) return false;
  switch (static_cast<UserNotificationState>(*state)) {
    case UserNotificationState::Busy:
    case UserNotificationState::RunningD3dFullScreen:
    case UserNotificationState::PresentationMode: return true;
    default: return false;
  }
}

bool CharacterPresence::PollDue(std::uint32_t now_ms) {
  if (!courtesy_) return false;
  if (polled_ && now_ms - last_poll_ms_ < kFullScreenPollMs) return false;
  polled_ = true;
  last_poll_ms_ = now_ms;
  return true;
}

bool CharacterPresence::SetNotificationState(std::optional<int> state) {
  if (!courtesy_) return false;
  const bool before = Shown();
  full_screen_ = WantsCharacterAway(state);
  // The user's wish to see the character lasts as long as the full-screen program that it overrode.
  if (!full_screen_) overridden_ = false;
  return Shown() != before;
}

std::string NotificationText(const std::string& text) {
  std::string out;
  for (const std::string& line : CutSerifu(text)) {
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  return out;
}

}  // namespace mokuna
