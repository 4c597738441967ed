// Child controls made from a table at their pixel places, and their text in Shift-JIS.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace mokuna {

// One child control at its pixel position. text is Shift-JIS. A static control of width 0 is as wide and as
// tall as its text in the table's font. page: 0 none, else the tab page it is on.
struct ControlSpec {
  int id;
  const wchar_t* window_class;
  const char* text;
  DWORD style;
  DWORD ex_style;
  int x, y, w, h;
  int page;
};

// Creates the controls of table on parent, in the table's order (which is the tab order), with font; the
// controls are found by id. The table's places are 96-DPI pixels, scaled to the parent's DPI; font is made
// for that DPI by the caller.
void CreateControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font);

// Moves the controls of table (found by id) to their places at dpi and gives them font, made for dpi: what a
// window does when it comes onto a monitor of another scale.
void PlaceControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font, int dpi);

// WM_DPICHANGED: window takes the rectangle the system suggests (lp); the new DPI (from wp).
int TakeSuggestedRect(HWND window, WPARAM wp, LPARAM lp);

// The outer size of a window of style whose client area is client_w x client_h pixels at 96 DPI, at dpi.
SIZE FrameSize(int client_w, int client_h, DWORD style, DWORD ex_style, int dpi);

// A window's text as Shift-JIS, and back.
std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& sjis);
// The same as it is: for text compared with what it held, where bytes outside Shift-JIS must not be lost.
std::wstring WindowTextW(HWND window);

}  // namespace mokuna
