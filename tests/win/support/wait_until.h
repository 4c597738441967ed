// The one way the Win32 tests wait: on a condition, with a bound, never for a fixed time. Serves this
// thread's windows meanwhile (what a test waits for is often one of them) and looks again as soon as a
// message arrives, or every 20 ms.
#pragma once

#include <windows.h>

#include <algorithm>

namespace testsupport {

// True as soon as condition() holds; false when it still does not after timeout_ms.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeout_ms = 10000) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (condition()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)), QS_ALLINPUT);
  }
}

}  // namespace testsupport
