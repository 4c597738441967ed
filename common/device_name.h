// Names that Windows takes for a device rather than a file, whatever folder or extension goes with them.
#pragma once

#include <string_view>

namespace mokuna {

// True when the last part of path (after any folder or drive) names a device: CON, PRN, AUX, NUL,
// COM1-COM9 or LPT1-LPT9 in any letter case, before its first dot, with blanks before the dot ignored.
// Opening such a name as a picture or a library would open a console or a serial port.
bool IsDeviceName(std::string_view path);

}  // namespace mokuna
