// Where a window may stand: a stored place that leaves a window out of reach (a monitor that has gone,
// a smaller screen than last time) is brought back onto the nearest monitor. Portable: the monitors
// come in as rectangles.
#pragma once

#include <optional>
#include <vector>

namespace mokuna {

// Screen rectangle, right and bottom exclusive.
struct ScreenRect {
  int left, top, right, bottom;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct ScreenPoint {
  int x, y;
  bool operator==(const ScreenPoint& o) const { return x == o.x && y == o.y; }
};

// The least part of a window that must show on one monitor for the user to grab it.
inline constexpr int kReachableSide = 32;

// True when window shows at least a kReachableSide square of itself (or all of a smaller side) on one of
// the monitors.
bool IsReachable(const ScreenRect& window, const std::vector<ScreenRect>& monitors);

// The top-left corner that puts window inside work (at the work area's left or top when it does not fit),
// moving it as little as possible.
ScreenPoint MoveInside(const ScreenRect& window, const ScreenRect& work);

// The new top-left corner when window is out of reach on monitors, nullopt when it is reachable and stays.
// work is the work area of the monitor nearest to the window.
std::optional<ScreenPoint> RescuedPlace(const ScreenRect& window, const std::vector<ScreenRect>& monitors,
                                        const ScreenRect& work);

// Where a window that has just been brought back goes so that it does not cover keep, which came back to
// the same corner: beside keep to the left, above, to the right or below, the first of these that lies
// inside work. Its own place when it does not overlap keep or nothing fits.
ScreenPoint ClearOf(const ScreenRect& moving, const ScreenRect& keep, const ScreenRect& work);

}  // namespace mokuna
