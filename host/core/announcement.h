// What the character window says and shows about the time: the date-and-time announcement, the clock
// label's text, and the rule that turns two quick left clicks on the character into an announcement.
#pragma once

#include <string>
#include <utility>

#include "clock.h"

namespace mokuna {

// The two speech lines of the announcement, e.g. "今日は，1月5日(日曜日)，" and "ただいま，9時5分です．".
std::pair<std::string, std::string> AnnouncementLines(const LocalTime& now);

// The clock label: hour without leading zero, ":" in the second half of each second and a blank in the
// first half (so the colon blinks), then two-digit minutes.
std::string ClockText(const LocalTime& now);

// The release rule on its own, for a window that keeps the last click time itself: true when the release
// announces (the window stayed where it was pressed and the last click is less than 259.2 ms ago);
// otherwise last_click_time becomes now.
bool DoubleClickRelease(bool window_moved, double now, double& last_click_time);

// Where the clock label goes when the character window's client area is width x height: it keeps its
// distance from the bottom edge and its centre keeps its share of the width (the design is 117 x 103 with
// the label at 32, 32).
struct LabelPlace {
  int left, top;
};
LabelPlace TimeLabelPlace(int client_width, int client_height);

// A menu caption shown as it stands: "&" would otherwise mark the next letter as an accelerator.
std::string LiteralMenuCaption(const std::string& sjis);

// Presses and releases on the character. Times are date-times (days since 30 December 1899).
class ClickRule {
 public:
  // Two releases closer than this (259.2 ms) make an announcement.
  static constexpr double kDoubleClickDays = 3e-6;

  enum class Button { kLeft, kRight, kMiddle };

  // Any button: remember where the window stood when it was pressed.
  void Press(int window_left, int window_top) {
    down_left_ = window_left;
    down_top_ = window_top;
  }

  // Returns true when this release completes a double click and the character should announce.
  bool Release(Button button, int window_left, int window_top, double now);

  double last_click_time() const { return last_click_time_; }
  void set_last_click_time(double t) { last_click_time_ = t; }

 private:
  int down_left_ = 0, down_top_ = 0;
  double last_click_time_ = 0;
};

}  // namespace mokuna
