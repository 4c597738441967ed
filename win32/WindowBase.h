// The window base of the three binaries: one static window procedure that finds `this` at WM_NCCREATE and
// runs every message inside one error boundary, because no exception may unwind through user32.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace mokuna {

// Where a failure inside a window's handler goes: its text (Shift-JIS; empty for an exception without
// one). Each binary sets it once; a binary that sets none (the DLLs) lets the window go on silently.
using ErrorReporter = std::function<void(const std::string& sjis_text)>;
void SetErrorReporter(ErrorReporter reporter);
void ReportError(const std::string& sjis_text);

// The error boundary: runs handler and hands whatever escapes it to the reporter. False when it threw.
template <class F>
bool GuardHandler(F&& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    ReportError(e.what());
  } catch (...) {
    ReportError("");
  }
  return false;
}

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Handle() const { return hwnd_; }

 protected:
  // Registers class_name once in this binary (wide name) and creates the window; this object receives its
  // messages.
  bool CreateWin(const wchar_t* class_name, DWORD ex_style, DWORD style, int x, int y, int w, int h,
                 HWND parent = nullptr, HMENU menu = nullptr, UINT class_style = 0, HICON icon = nullptr);
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }
  // The module the classes are registered in: a DLL unregisters its own before it is unloaded.
  static HINSTANCE Module();

  HWND hwnd_ = nullptr;  // set by the window procedure from WM_NCCREATE to WM_NCDESTROY

 private:
  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

}  // namespace mokuna
