// The tray component's notification window as the tests reach it from outside: found among this thread's
// windows by its class.
#pragma once

#include <windows.h>

#include "TaskTray.h"

namespace testsupport {

inline HWND TrayNotifyWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND hwnd, LPARAM p) -> BOOL {
    wchar_t name[32] = {};
    GetClassNameW(hwnd, name, 32);
    if (lstrcmpW(name, L"MokunaTrayNotify") == 0) *reinterpret_cast<HWND*>(p) = hwnd;
    return TRUE;
  }, reinterpret_cast<LPARAM>(&found));
  return found;
}

// True while the notification window drops callbacks because it is handling one.
inline bool TrayBusy(mokuna::TTaskTray& tray) {
  bool heard = false;
  auto saved = std::move(tray.OnMouseMove);
  tray.OnMouseMove = [&heard](mokuna::TTaskTray&, mokuna::TShiftState, int, int) { heard = true; };
  SendMessageW(TrayNotifyWindow(), mokuna::kTrayCallbackMessage, tray.IconID(), WM_MOUSEMOVE);
  tray.OnMouseMove = std::move(saved);
  return !heard;
}

}  // namespace testsupport
