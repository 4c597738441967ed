// The calendar window's month: which text and colour each of the 42 day cells gets, which cell is
// today, and the captions. The window only copies this onto its labels.
#pragma once

#include <array>
#include <string>

#include "clock.h"

namespace mokuna {

enum class DayColour { kWindowText, kRed, kBlue };

struct DayCell {
  std::string text;  // " 1" .. " 9", "10" .. "31", or empty
  DayColour colour = DayColour::kWindowText;
  bool today = false;  // opaque with a yellow background
};

struct CalendarMonth {
  std::array<DayCell, 42> cells;
  std::string label;    // "2001年12月" (Shift-JIS)
  std::string caption;  // "Calender: " + label
};

// Cell i lies in row i / 7 and column i % 7 (Sunday first).
constexpr int kCalendarCells = 42;
constexpr int CalendarCellLeft(int i) { return 10 + 31 * (i % 7); }
constexpr int CalendarCellTop(int i) { return 14 + 24 * (i / 7); }

// The month shown: year and month as stepped by the navigation commands.
struct ShownMonth {
  int year = 1;
  int month = 1;

  // Stepping stops at the ends of the years the calendar can draw (1 to 9999).
  void Previous();
  void Next();
};

// Builds month `month` of `year` (years outside 1..9999 are drawn as the nearest of them, the label keeps
// the year given); `today` decides the yellow mark.
CalendarMonth BuildCalendarMonth(int year, int month, const LocalTime& today);

}  // namespace mokuna
