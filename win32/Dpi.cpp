#include "Dpi.h"

#include "SystemFunction.h"

namespace mokuna {
namespace {

// DPI_AWARENESS_CONTEXT values, which older SDK headers lack.
const HANDLE kContextUnaware = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kContextPerMonitor = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-3));
const HANDLE kContextPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

int Scale(int px, int dpi) {
  if (dpi == kBaseDpi) return px;
  const long long scaled = static_cast<long long>(px) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi : -((-scaled + half) / kBaseDpi));
}

RECT Scale(const RECT& r, int dpi) {
  return {Scale(r.left, dpi), Scale(r.top, dpi), Scale(r.right, dpi), Scale(r.bottom, dpi)};
}

int DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi_for_window = SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  if (window && get_dpi_for_window) {
    const UINT dpi = get_dpi_for_window(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

namespace {

using SetContextFn = HANDLE(WINAPI*)(HANDLE);

SetContextFn SetThreadContext() {
  static const auto set_context = SystemFunction<SetContextFn>(L"user32.dll", "SetThreadDpiAwarenessContext");
  return set_context;
}

}  // namespace

ThreadDpiAwareness::ThreadDpiAwareness(Kind kind) {
  const SetContextFn set_context = SetThreadContext();
  if (!set_context) return;
  previous_ = set_context(kind == Kind::Unaware ? kContextUnaware : kContextPerMonitorV2);
  // A system that knows thread awareness but not its second version refuses it: the first is what it has.
  if (!previous_ && kind == Kind::PerMonitorV2) previous_ = set_context(kContextPerMonitor);
}

ThreadDpiAwareness::~ThreadDpiAwareness() {
  if (previous_) SetThreadContext()(previous_);
}

}  // namespace mokuna
