// Japanese public holidays, by the rules in force in the year asked about: the statutory days with their
// years of validity, the moved Monday holidays, the equinox days, substitute holidays and the citizens'
// holiday between two holidays.
#pragma once

namespace mokuna {

// A statutory holiday (one of the named days, including the one-off ceremonial days).
bool IsNationalHoliday(int year, int month, int day);
// Any day off by the holiday law: a statutory holiday, a substitute holiday or a citizens' holiday.
bool IsHoliday(int year, int month, int day);

// Day of March / September of the equinox holiday by the standard approximation, or 0 outside the years
// the approximation covers (1900 to 2150).
int VernalEquinoxDay(int year);
int AutumnalEquinoxDay(int year);

}  // namespace mokuna
