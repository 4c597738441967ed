#include "Window.h"

#include <optional>
#include <vector>

#include "MessageLoop.h"
#include "error_boxes.h"
#include "host_error.h"
#include "win_text.h"

namespace mokuna {

namespace {
GeneralErrorDisplay g_error_display = nullptr;
ErrorBoxGate g_error_boxes;

void DisplayError(const std::string& sjis_text) {
  // Also for a debugger (and the end-to-end tests, which cannot read a message box's text).
  OutputDebugStringA((std::string(kApplicationTitle) + ": " + sjis_text + "\n").c_str());
  if (g_error_display) {
    g_error_display(sjis_text);
    return;
  }
  MessageBoxW(nullptr, WidenSjis(sjis_text).c_str(), WidenSjis(kApplicationTitle).c_str(),
              MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
}  // namespace

GeneralErrorDisplay SetGeneralErrorDisplay(GeneralErrorDisplay display) {
  GeneralErrorDisplay previous = g_error_display;
  g_error_display = display;
  return previous;
}

void ShowGeneralError(const std::string& sjis_text) {
  if (!g_error_boxes.Open(sjis_text)) {
    // A box is open: its modal loop ran the handler that failed now. Counted for the box that follows it.
    OutputDebugStringA((std::string(kApplicationTitle) + ": " + sjis_text + "\n").c_str());
    return;
  }
  std::optional<std::string> text = sjis_text;
  try {
    while (text) {
      DisplayError(*text);
      text = g_error_boxes.Closed();
    }
  } catch (...) {
    // This runs where nothing may escape to the system; the next error must still get its box.
    g_error_boxes.Reset();
  }
}

bool WorkAreaNear(const RECT& r, RECT& work) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return false;
  work = info.rcWork;
  return true;
}

bool MoveIntoReach(HWND window) {
  RECT r;
  if (!window || !GetWindowRect(window, &r)) return false;
  std::vector<ScreenRect> monitors;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR, HDC, LPRECT m, LPARAM p) -> BOOL {
        try {
          reinterpret_cast<std::vector<ScreenRect>*>(p)->push_back(ToScreenRect(*m));
          return TRUE;
        } catch (...) {
          return FALSE;  // out of memory: no exception crosses the system; the monitors found so far
        }
      },
      reinterpret_cast<LPARAM>(&monitors));
  RECT w;
  if (!WorkAreaNear(r, w)) return false;
  const auto place = RescuedPlace(ToScreenRect(r), monitors, ToScreenRect(w));
  if (!place) return false;
  SetWindowPos(window, nullptr, place->x, place->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

void WindowTimer::Attach(HWND window) {
  if (running_ && window_) KillTimer(window_, id_);
  running_ = false;
  window_ = window;
  Update();
}

void WindowTimer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (running_) {
    KillTimer(window_, id_);
    running_ = false;
  }
  Update();
}

void WindowTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Update();
}

void WindowTimer::Restart(int ms) {
  interval_ = ms;
  enabled_ = true;
  // The same identifier replaces a running timer and counts from now.
  if (ms > 0 && window_ && IsWindow(window_)) running_ = SetTimer(window_, id_, static_cast<UINT>(ms), nullptr) != 0;
  else Update();
}

void WindowTimer::Update() {
  // An interval of 0 (or below) stops the ticks, as it does for a timer component.
  const bool want = enabled_ && interval_ > 0 && window_ && IsWindow(window_);
  if (want && !running_) {
    running_ = SetTimer(window_, id_, static_cast<UINT>(interval_), nullptr) != 0;
  } else if (!want && running_) {
    if (IsWindow(window_)) KillTimer(window_, id_);
    running_ = false;
  }
}

TApplication Application;

void TApplication::Initialize() {
  if (Handle()) return;
  CreateWin(L"MokunaApplication", 0, WS_POPUP, 0, 0, 0, 0);
  SetTitle(kApplicationTitle);
}

void TApplication::SetTitle(const std::string& sjis_title) {
  if (Handle()) SetWindowTextW(Handle(), WidenSjis(sjis_title).c_str());
}

int TApplication::Run() {
  MSG msg;
  while (main_window_ && IsWindow(main_window_)) {
    const BOOL got = GetLoopMessage(msg);
    if (got == 0 || got == -1) break;
    // Tab, Enter and the arrow keys move between the controls of the program's other windows (debug
    // window, About box), as in a dialog. The character window has no controls to move between.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && root != main_window_ && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
        IsDialogMessageW(root, &msg)) {
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

LRESULT TApplication::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  // Never shown and never closed by the user: only the main window ends the program.
  if (msg == WM_CLOSE) return 0;
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
