// Whether the character and its windows (balloon, clock, calendar) are on the screen. Two reasons can
// take them away: the user's hide, and the courtesy of stepping aside while a full-screen program, a
// presentation or the system's quiet time is in front. Portable: the shell's state comes in as a number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mokuna {

// The shell's user notification states (the numbers it gives them).
enum class UserNotificationState {
  NotPresent = 1,
  Busy = 2,
  RunningD3dFullScreen = 3,
  PresentationMode = 4,
  AcceptsNotifications = 5,
  QuietTime = 6,
  App = 7,
};

// True for the states in which the character steps aside: busy (a full-screen program), full-screen
// Direct3D and presentation mode. Nothing (no such query, or it failed) is not one of them.
bool WantsCharacterAway(std::optional<int> state);

// How often the shell is asked, at most.
inline constexpr std::uint32_t kFullScreenPollMs = 1000;

class CharacterPresence {
 public:
  // hide_on_full_screen false: only the user's hide counts.
  explicit CharacterPresence(bool hide_on_full_screen = true) : courtesy_(hide_on_full_screen) {}
  void SetHideOnFullScreen(bool on) {
    courtesy_ = on;
    if (!on) full_screen_ = overridden_ = false;
  }

  bool Shown() const { return !user_hidden_ && !(full_screen_ && !overridden_); }
  bool UserHidden() const { return user_hidden_; }

  // The menu's hide, and the way back (the tray icon's double click). Showing during a full-screen
  // program is the user's wish too: the character stays until that program has gone.
  void Hide() { user_hidden_ = true; }
  void Show() {
    user_hidden_ = false;
    if (full_screen_) overridden_ = true;
  }

  // True when the tick at now_ms (a millisecond counter that may wrap) should ask the shell.
  bool PollDue(std::uint32_t now_ms);
  // The shell's latest state. True when Shown() changed.
  bool SetNotificationState(std::optional<int> state);

 private:
  bool courtesy_;
  bool user_hidden_ = false;
  bool full_screen_ = false;   // the shell said a full-screen program is in front
  bool overridden_ = false;    // the user showed the character during it
  bool polled_ = false;
  std::uint32_t last_poll_ms_ = 0;
};

// A speech text as the balloon would show it, for a notification: its speech lines joined by CR LF.
std::string NotificationText(const std::string& text);

}  // namespace mokuna
