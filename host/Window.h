// The small window base of the main program: one static window procedure that finds `this` at
// WM_NCCREATE and forwards to HandleMessage, with the general error handler around every message, so no
// exception ever unwinds through user32.
#pragma once

#include <windows.h>

#include <string>

namespace mokuna {

// Shows text (Shift-JIS) in a message box captioned with the application title. The general error
// handler; the program goes on afterwards.
void ShowGeneralError(const std::string& sjis_text);

// Runs handler; an escaping HostError or other exception is shown by the general error handler.
template <class F>
void GuardHandler(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowGeneralError(e.what());
  }
}

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Handle() const { return hwnd_; }

 protected:
  // Registers class_name once (wide name) and creates the window; this object receives its messages.
  bool CreateWin(const wchar_t* class_name, DWORD ex_style, DWORD style, int x, int y, int w, int h,
                 HWND parent = nullptr, HMENU menu = nullptr, UINT class_style = 0);
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

 private:
  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};

}  // namespace mokuna
