// What the character window says and shows about the time: the date-and-time announcement, the clock
// label's text and place, and the rule that turns two quick left clicks on the character into an
// announcement.
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

// Two left releases on the character closer than this (259.2 ms) make an announcement.
inline constexpr double kDoubleClickDays = 3e-6;

// A left release on the character: true when it announces (the window stayed where it was pressed and the
// last click is less than 259.2 ms ago); otherwise last_click_time becomes now. Times are date-times
// (days since 30 December 1899).
bool DoubleClickRelease(bool window_moved, double now, double& last_click_time);

// Where the clock label goes when the character window's client area is width x height: it keeps its
// distance from the bottom edge and its centre keeps its share of the width (the design is 117 x 103 with
// the label at 32, 32).
struct LabelPlace {
  int left, top;
};
LabelPlace TimeLabelPlace(int client_width, int client_height);

}  // namespace mokuna
