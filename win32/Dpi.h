// Display scale. The pixel geometry of every window is written for 96 DPI; a window scales it by its own
// DPI / 96 through Scale, so that 96 DPI stays exactly as it is and neighbours keep their alignment (one
// rounding rule for every coordinate and size). Newer user32 functions are looked up at run time, so the
// program still starts on systems without them.
#pragma once

#include <windows.h>

namespace mokuna {

constexpr int kBaseDpi = 96;

// px at 96 DPI as pixels at dpi, rounded to nearest (halves away from zero).
int Scale(int px, int dpi);
RECT Scale(const RECT& r, int dpi);

// The DPI of window (its monitor's, for a per-monitor aware program); the system's when the window is null
// or the system cannot tell per window.
int DpiOf(HWND window);

// Sets the calling thread's DPI awareness for the life of the object, where the system knows thread
// awareness; nothing elsewhere. Used around calls into plug-ins that know nothing of DPI, so that Windows
// scales their windows for them.
class ThreadDpiAwareness {
 public:
  enum class Kind { Unaware, PerMonitorV2 };
  explicit ThreadDpiAwareness(Kind kind);
  ~ThreadDpiAwareness();
  ThreadDpiAwareness(const ThreadDpiAwareness&) = delete;
  ThreadDpiAwareness& operator=(const ThreadDpiAwareness&) = delete;

 private:
  void* previous_ = nullptr;
};

}  // namespace mokuna
