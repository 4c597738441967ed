#include "calendar.h"

#include <algorithm>

#include "holidays.h"

namespace mokuna {

void ShownMonth::Previous() {
  if (month > 1) {
    --month;
  } else if (year > 1) {
    --year;
    month = 12;
  }
}

void ShownMonth::Next() {
  if (month < 12) {
    ++month;
  } else if (year < 9999) {
    ++year;
    month = 1;
  }
}

CalendarMonth BuildCalendarMonth(int year, int month, const LocalTime& today) {
  CalendarMonth result;
  result.label = std::to_string(year) + "年" + std::to_string(month) + "月";
  result.caption = "Calender: " + result.label;
  if (month < 1 || month > 12) return result;

  const int y = std::clamp(year, 1, 9999);
  const int offset = WeekdayOf(y, month, 1);
  const int days = DaysInMonth(y, month);
  for (int d = 1; d <= days; ++d) {
    DayCell& cell = result.cells[d - 1 + offset];
    const int column = (d - 1 + offset) % 7;
    cell.text = (d < 10 ? " " : "") + std::to_string(d);
    if (column == 0 || IsHoliday(y, month, d))
      cell.colour = DayColour::kRed;  // a holiday on a Saturday is red too
    else if (column == 6)
      cell.colour = DayColour::kBlue;
  }
  if (y == today.year && month == today.month && today.day >= 1 && today.day <= days)
    result.cells[today.day - 1 + offset].today = true;
  return result;
}

}  // namespace mokuna
