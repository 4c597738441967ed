#include "ControlTable.h"

#include "Dpi.h"
#include "JapaneseFont.h"
#include "SystemFunction.h"
#include "win_text.h"

namespace mokuna {
namespace {

// The place of c at dpi. A static of width 0 is as wide and as tall as its text in the font selected into
// dc (measured already at dpi, so not scaled again).
RECT PlaceOf(const ControlSpec& c, const std::wstring& text, HWND parent, HFONT font, int dpi, HDC& dc,
             HGDIOBJ& old_font) {
  const int x = Scale(c.x, dpi), y = Scale(c.y, dpi);
  if (c.w != 0) return {x, y, Scale(c.x + c.w, dpi), Scale(c.y + c.h, dpi)};
  if (!dc) {
    dc = GetDC(parent);
    old_font = SelectObject(dc, font);
  }
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  return {x, y, x + extent.cx, y + tm.tmHeight};
}

}  // namespace

void CreateControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  const int dpi = DpiOf(parent);
  HDC dc = nullptr;
  HGDIOBJ old_font = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const ControlSpec& c = table[i];
    const std::wstring text = WidenSjis(c.text);
    const RECT r = PlaceOf(c, text, parent, font, dpi, dc, old_font);
    HWND control = CreateWindowExW(c.ex_style, c.window_class, text.c_str(), WS_CHILD | c.style, r.left, r.top,
                                   r.right - r.left, r.bottom - r.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (dc) {
    SelectObject(dc, old_font);
    ReleaseDC(parent, dc);
  }
}

void PlaceControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font, int dpi) {
  HDC dc = nullptr;
  HGDIOBJ old_font = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const ControlSpec& c = table[i];
    HWND control = GetDlgItem(parent, c.id);
    if (!control) continue;
    if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const RECT r = PlaceOf(c, c.w ? std::wstring() : WindowTextW(control), parent, font, dpi, dc, old_font);
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (dc) {
    SelectObject(dc, old_font);
    ReleaseDC(parent, dc);
  }
  InvalidateRect(parent, nullptr, TRUE);
}

int TakeSuggestedRect(HWND window, WPARAM wp, LPARAM lp) {
  const auto* r = reinterpret_cast<const RECT*>(lp);
  if (r)
    SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  const int dpi = HIWORD(wp);
  return dpi > 0 ? dpi : DpiOf(window);
}

HFONT CreatePageFont(int dpi) { return CreatePixelFont(L"ＭＳ Ｐゴシック", Scale(12, dpi)); }

int RescalePage(HWND window, WPARAM wp, LPARAM lp, const ControlSpec* table, std::size_t count, HFONT& font) {
  const int dpi = TakeSuggestedRect(window, wp, lp);
  HFONT old = font;
  font = CreatePageFont(dpi);
  PlaceControls(window, table, count, font, dpi);
  if (old) DeleteObject(old);
  return dpi;
}

SIZE FrameSize(int client_w, int client_h, DWORD style, DWORD ex_style, int dpi) {
  RECT r{0, 0, Scale(client_w, dpi), Scale(client_h, dpi)};
  // The frame of another DPI than the system's needs the newer call; the system's is the one it always had.
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust_for_dpi = SystemFunction<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (dpi != DpiOf(nullptr) && adjust_for_dpi)
    adjust_for_dpi(&r, style, FALSE, ex_style, static_cast<UINT>(dpi));
  else
    AdjustWindowRectEx(&r, style, FALSE, ex_style);
  return {r.right - r.left, r.bottom - r.top};
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
