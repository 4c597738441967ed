// Tells the character window when a full-screen program may have come or gone, from the system's own
// events instead of a clock: the foreground window changing, the foreground window moving or changing
// size, and the shell's full-screen notice to an app bar. The window then asks the shell what it is.
#pragma once

#include <windows.h>

namespace mokuna {

class FullScreenWatch {
 public:
  // The wParam of the message for a window event; the shell's notice comes with ABN_FULLSCREENAPP.
  static constexpr WPARAM kWindowEvent = 0x100;

  FullScreenWatch() = default;
  FullScreenWatch(const FullScreenWatch&) = delete;
  FullScreenWatch& operator=(const FullScreenWatch&) = delete;
  ~FullScreenWatch() { Stop(); }

  // From now on window gets message for each such event. One watch per process.
  void Start(HWND window, UINT message);
  // Before window goes: the shell forgets the app bar.
  void Stop();

 private:
  static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object, LONG child, DWORD thread,
                               DWORD time);
  void Follow(HWND foreground);  // the moves and size changes of this window's thread

  HWND window_ = nullptr;
  UINT message_ = 0;
  bool app_bar_ = false;
  HWINEVENTHOOK foreground_hook_ = nullptr;
  HWINEVENTHOOK location_hook_ = nullptr;
  HWND followed_ = nullptr;
};

}  // namespace mokuna
