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
// controls are found by id.
void CreateControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font);

// A window's text as Shift-JIS, and back.
std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& sjis);
// The same as it is: for text compared with what it held, where bytes outside Shift-JIS must not be lost.
std::wstring WindowTextW(HWND window);

}  // namespace mokuna
