#include "WindowBase.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace mokuna {

namespace {
// Each binary links its own copy of this library, so each has its own reporter.
ErrorReporter& Reporter() {
  static ErrorReporter reporter;
  return reporter;
}
}  // namespace

void SetErrorReporter(ErrorReporter reporter) { Reporter() = std::move(reporter); }

void ReportError(const std::string& sjis_text) {
  try {
    if (Reporter()) Reporter()(sjis_text);
  } catch (...) {
    // The reporter itself failed; nothing may still escape to the system.
  }
}

Window::~Window() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

HINSTANCE Window::Module() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

bool Window::CreateWin(const wchar_t* class_name, DWORD ex_style, DWORD style, int x, int y, int w, int h,
                       HWND parent, HMENU menu, UINT class_style, HICON icon) {
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(Module(), class_name, &wc)) {
    wc.cbSize = sizeof wc;
    wc.style = class_style;
    wc.lpfnWndProc = StaticProc;
    wc.hInstance = Module();
    wc.hIcon = icon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = class_name;
    if (!RegisterClassExW(&wc)) return false;
  }
  return CreateWindowExW(ex_style, class_name, L"", style, x, y, w, h, parent, menu, Module(), this) != nullptr;
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefaultProc(msg, wp, lp); }

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  const bool handled = GuardHandler([&] { result = self->HandleMessage(msg, wp, lp); });
  if (msg == WM_NCDESTROY) self->hwnd_ = nullptr;
  // A handler that failed still answers the message the way the system expects by default.
  return handled ? result : DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace mokuna
