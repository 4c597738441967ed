#include "announcement.h"

namespace mokuna {

std::pair<std::string, std::string> AnnouncementLines(const LocalTime& now) {
  static const char* const kWeekdays[] = {"日曜日)，", "月曜日)，", "火曜日)，", "水曜日)，",
                                          "木曜日)，", "金曜日)，", "土曜日)，"};
  const int weekday = WeekdayOf(now.year, now.month, now.day);
  std::string date = "今日は，" + std::to_string(now.month) + "月" + std::to_string(now.day) + "日(" +
                     kWeekdays[weekday];
  std::string time = "ただいま，" + std::to_string(now.hour) + "時" + std::to_string(now.minute) + "分です．";
  return {std::move(date), std::move(time)};
}

std::string ClockText(const LocalTime& now) {
  std::string text = std::to_string(now.hour);
  text += now.millisecond >= 500 ? ":" : " ";
  if (now.minute < 10) text += '0';
  text += std::to_string(now.minute);
  return text;
}

bool ClickRule::Release(Button button, int window_left, int window_top, double now) {
  if (button != Button::kLeft) return false;
  // An announcement leaves the last click time alone, so a third quick click announces again.
  if (window_left == down_left_ && window_top == down_top_ && now - last_click_time_ < kDoubleClickDays)
    return true;
  last_click_time_ = now;
  return false;
}

}  // namespace mokuna
