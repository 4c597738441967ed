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
