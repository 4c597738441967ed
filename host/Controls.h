// What the program's windows share besides the control table and fonts of win32/: message boxes and the
// "拡張DLL" submenu builder.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ControlTable.h"
#include "JapaneseFont.h"

namespace mokuna {

// Message boxes of the dialogs, replaceable so tests can watch them instead of blocking on them.
// Arguments: owner, text and caption (Shift-JIS), MB_* flags.
using MessageBoxFn = std::function<int(HWND, const std::string&, const std::string&, UINT)>;
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// Fills submenu with one item per entry of DllMenuCaptions(dll_list), replacing what it held. Item i gets
// the command id first_id + i, its tag.
void BuildDllSubmenu(HMENU submenu, const std::vector<std::string>& dll_list, UINT first_id);

}  // namespace mokuna
