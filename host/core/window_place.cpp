#include "window_place.h"

#include <algorithm>

namespace mokuna {

bool IsReachable(const ScreenRect& window, const std::vector<ScreenRect>& monitors) {
  // A window narrower than the square counts as reachable when all of its width shows (likewise height).
  const int need_w = std::min(kReachableSide, std::max(window.Width(), 1));
  const int need_h = std::min(kReachableSide, std::max(window.Height(), 1));
  for (const ScreenRect& m : monitors) {
    const int w = std::min(window.right, m.right) - std::max(window.left, m.left);
    const int h = std::min(window.bottom, m.bottom) - std::max(window.top, m.top);
    if (w >= need_w && h >= need_h) return true;
  }
  return false;
}

namespace {

int Clamp(int start, int size, int lo, int hi) {
  if (start + size > hi) start = hi - size;
  if (start < lo) start = lo;  // too big: its left or top edge shows
  return start;
}

}  // namespace

ScreenPoint MoveInside(const ScreenRect& window, const ScreenRect& work) {
  return {Clamp(window.left, window.Width(), work.left, work.right),
          Clamp(window.top, window.Height(), work.top, work.bottom)};
}

std::optional<ScreenPoint> RescuedPlace(const ScreenRect& window, const std::vector<ScreenRect>& monitors,
                                        const ScreenRect& work) {
  if (IsReachable(window, monitors)) return std::nullopt;
  return MoveInside(window, work);
}

ScreenPoint ClearOf(const ScreenRect& moving, const ScreenRect& keep, const ScreenRect& work) {
  const ScreenPoint here{moving.left, moving.top};
  const bool overlaps = moving.left < keep.right && keep.left < moving.right && moving.top < keep.bottom &&
                        keep.top < moving.bottom;
  if (!overlaps) return here;
  const int w = moving.Width(), h = moving.Height();
  const ScreenPoint tries[] = {
      {keep.left - w, moving.top}, {moving.left, keep.top - h}, {keep.right, moving.top}, {moving.left, keep.bottom}};
  for (const ScreenPoint& p : tries) {
    const ScreenRect r{p.x, p.y, p.x + w, p.y + h};
    if (r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom) return p;
  }
  return here;
}

}  // namespace mokuna
