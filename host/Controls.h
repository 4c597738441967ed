// What the program's windows share for their child controls: the table they are created from, their
// text in Shift-JIS, the font they are drawn in, message boxes, and the "拡張DLL" submenu builder.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace mokuna {

// One child control at its pixel position. text is Shift-JIS. page: 0 none, else the tab page it is on.
struct ControlSpec {
  int id;
  const wchar_t* window_class;
  const char* text;
  DWORD style;
  DWORD ex_style;
  int x, y, w, h;
  int page;
};

// Creates the controls of table on parent with font; returns nothing, the controls are found by id.
void CreateControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font);
std::string ControlText(HWND control);  // Shift-JIS
void SetControlText(HWND control, const std::string& sjis);

// A font of the given pixel height; the caller deletes it.
HFONT CreatePixelFont(const wchar_t* face, int pixel_height, bool bold = false, bool italic = false,
                      bool underline = false);

// Message boxes of the dialogs, replaceable so tests can watch them instead of blocking on them.
// Arguments: owner, text and caption (Shift-JIS), MB_* flags.
using MessageBoxFn = std::function<int(HWND, const std::string&, const std::string&, UINT)>;
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// Fills submenu with one item per entry of DllMenuCaptions(dll_list), replacing what it held. Item i gets
// the command id first_id + i, its tag.
void BuildDllSubmenu(HMENU submenu, const std::vector<std::string>& dll_list, UINT first_id);

}  // namespace mokuna
