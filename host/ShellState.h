// What the program asks of the shell that older systems may not have: both looked up at run time, so
// the program still starts where they are missing.
#pragma once

#include <windows.h>

#include <optional>

namespace mokuna {

// The shell's user notification state (the QUNS_ numbers); nothing when the shell has no such query or
// it fails.
std::optional<int> QueryUserNotificationState();

// Icon resource id at the system's small-icon size, drawn from the size nearest to it; null when the
// module has no such icon.
HICON LoadSmallIcon(HINSTANCE module, int id);
// The same at the small-icon size of dpi, where the system can tell it per DPI; otherwise as above.
HICON LoadSmallIcon(HINSTANCE module, int id, int dpi);

}  // namespace mokuna
