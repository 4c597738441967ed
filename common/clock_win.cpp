#include "clock.h"

namespace mokuna {

std::tm LocalCalendar(std::time_t seconds) {
  std::tm tm{};
  localtime_s(&tm, &seconds);
  return tm;
}

}  // namespace mokuna
