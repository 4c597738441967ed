#include "FullScreenWatch.h"

#include <shellapi.h>

namespace mokuna {

namespace {
FullScreenWatch* g_watch = nullptr;  // the hooks' callback has no context of its own
}  // namespace

void FullScreenWatch::Start(HWND window, UINT message) {
  if (window_ || g_watch) return;
  g_watch = this;
  window_ = window;
  message_ = message;
  // An app bar that never asks for room: the shell only tells it when a full-screen program opens or closes.
  APPBARDATA bar{sizeof bar, window, message, 0, {}, 0};
  app_bar_ = SHAppBarMessage(ABM_NEW, &bar) != 0;
  foreground_hook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, OnEvent, 0, 0,
                                     WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
  Follow(GetForegroundWindow());
}

void FullScreenWatch::Stop() {
  if (!window_) return;
  if (location_hook_) UnhookWinEvent(location_hook_);
  if (foreground_hook_) UnhookWinEvent(foreground_hook_);
  if (app_bar_) {
    APPBARDATA bar{sizeof bar, window_, 0, 0, {}, 0};
    SHAppBarMessage(ABM_REMOVE, &bar);
  }
  location_hook_ = foreground_hook_ = nullptr;
  app_bar_ = false;
  window_ = nullptr;
  g_watch = nullptr;
}

void FullScreenWatch::Follow(HWND foreground) {
  if (location_hook_) UnhookWinEvent(location_hook_);
  location_hook_ = nullptr;
  followed_ = foreground;
  DWORD process = 0;
  const DWORD thread = foreground ? GetWindowThreadProcessId(foreground, &process) : 0;
  // Only that one thread's windows: the rest of the desktop moving about wakes nobody.
  if (thread && process != GetCurrentProcessId())
    location_hook_ = SetWinEventHook(EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_LOCATIONCHANGE, nullptr, OnEvent,
                                     process, thread, WINEVENT_OUTOFCONTEXT);
}

void CALLBACK FullScreenWatch::OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                                       DWORD) {
  FullScreenWatch* self = g_watch;
  if (!self || !self->window_) return;
  if (event == EVENT_SYSTEM_FOREGROUND) {
    self->Follow(hwnd);
  } else if (hwnd != self->followed_ || object != OBJID_WINDOW || child != CHILDID_SELF) {
    return;  // the caret, the cursor or a child control of the window
  }
  PostMessageW(self->window_, self->message_, kWindowEvent, 0);
}

}  // namespace mokuna
