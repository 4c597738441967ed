// Finds a window another thread is about to show, for tests that drive a modal loop from a second thread.
#pragma once

#include <windows.h>

#include <string>

#include "wait_until.h"

namespace testsupport {

// The first visible top-level window of this process with the given class (and title, when one is given),
// within about ten seconds; null when none came.
inline HWND WaitForWindow(const wchar_t* class_name, const std::wstring& title = L"") {
  struct Search {
    const wchar_t* cls;
    std::wstring title;
    HWND found = nullptr;
  } search{class_name, title};
  WaitUntil([&] {
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          wchar_t cls[64] = {}, text[128] = {};
          GetClassNameW(w, cls, 64);
          GetWindowTextW(w, text, 128);
          if (pid == GetCurrentProcessId() && IsWindowVisible(w) && lstrcmpiW(cls, s->cls) == 0 &&
              (s->title.empty() || s->title == text)) {
            s->found = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

}  // namespace testsupport
