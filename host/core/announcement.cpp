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

bool DoubleClickRelease(bool window_moved, double now, double& last_click_time) {
  // An announcement leaves the last click time alone, so a third quick click announces again.
  if (!window_moved && now - last_click_time < kDoubleClickDays) return true;
  last_click_time = now;
  return false;
}

LabelPlace TimeLabelPlace(int client_width, int client_height) {
  // 69 * width / 117 rounded to the nearest whole number, halves away from zero.
  const long long scaled = 69LL * client_width;
  const long long centre = scaled >= 0 ? (2 * scaled + 117) / 234 : -((-2 * scaled + 117) / 234);
  return {static_cast<int>(centre) - 37, client_height - 71};
}

}  // namespace mokuna
