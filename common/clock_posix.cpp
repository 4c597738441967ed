#include "clock.h"

namespace mokuna {

std::tm LocalCalendar(std::time_t seconds) {
  std::tm tm{};
  localtime_r(&seconds, &tm);
  return tm;
}

}  // namespace mokuna
