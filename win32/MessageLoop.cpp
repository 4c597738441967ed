#include "MessageLoop.h"

#include <utility>

namespace mokuna {

namespace {
HANDLE g_wait_object = nullptr;
std::function<void()> g_signalled;
}  // namespace

void SetLoopWait(HANDLE object, std::function<void()> signalled) {
  g_wait_object = object;
  g_signalled = std::move(signalled);
}

BOOL GetLoopMessage(MSG& msg) {
  for (;;) {
    if (!g_wait_object) return GetMessageW(&msg, nullptr, 0, 0);
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return msg.message == WM_QUIT ? 0 : 1;
    const DWORD woke = MsgWaitForMultipleObjectsEx(1, &g_wait_object, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0 && g_signalled) g_signalled();
    if (woke == WAIT_FAILED) return GetMessageW(&msg, nullptr, 0, 0);
  }
}

bool RunModalLoop(HWND dialog, const std::function<bool()>& done) {
  MSG msg;
  while (!done()) {
    const BOOL got = GetLoopMessage(msg);
    if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
    if (got <= 0) return false;
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

void PumpMessages(bool drop_quit) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      if (drop_quit) continue;
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace mokuna
