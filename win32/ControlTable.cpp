#include "ControlTable.h"

#include "win_text.h"

namespace mokuna {

void CreateControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  HDC dc = nullptr;
  HGDIOBJ old_font = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const ControlSpec& c = table[i];
    const std::wstring text = WidenSjis(c.text);
    int w = c.w, h = c.h;
    if (w == 0) {
      if (!dc) {
        dc = GetDC(parent);
        old_font = SelectObject(dc, font);
      }
      SIZE extent{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      TEXTMETRICW tm{};
      GetTextMetricsW(dc, &tm);
      w = extent.cx;
      h = tm.tmHeight;
    }
    HWND control = CreateWindowExW(c.ex_style, c.window_class, text.c_str(), WS_CHILD | c.style, c.x, c.y, w, h,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (dc) {
    SelectObject(dc, old_font);
    ReleaseDC(parent, dc);
  }
}

std::wstring WindowTextW(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::string ControlText(HWND control) { return NarrowToSjis(WindowTextW(control)); }

void SetControlText(HWND control, const std::string& sjis) { SetWindowTextW(control, WidenSjis(sjis).c_str()); }

}  // namespace mokuna
