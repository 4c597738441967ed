#include "Controls.h"

#include "JapaneseFont.h"
#include "dll_list.h"
#include "win_text.h"

namespace mokuna {

void CreateControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (std::size_t i = 0; i < count; ++i) {
    const ControlSpec& c = table[i];
    HWND h = CreateWindowExW(c.ex_style, c.window_class, WidenSjis(c.text).c_str(), WS_CHILD | c.style, c.x, c.y,
                             c.w, c.h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance,
                             nullptr);
    if (h && font) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

std::string ControlText(HWND control) {
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
  return NarrowToSjis(text);
}

void SetControlText(HWND control, const std::string& sjis) { SetWindowTextW(control, WidenSjis(sjis).c_str()); }

HFONT CreatePixelFont(const wchar_t* face, int pixel_height, bool bold, bool italic, bool underline) {
  return CreateJapaneseFont(face, -pixel_height, bold ? FW_BOLD : FW_NORMAL, italic, underline);
}

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxW(owner, WidenSjis(text).c_str(), WidenSjis(caption).c_str(), type);
}

void BuildDllSubmenu(HMENU submenu, const std::vector<std::string>& dll_list, UINT first_id) {
  while (GetMenuItemCount(submenu) > 0) DeleteMenu(submenu, 0, MF_BYPOSITION);
  const std::vector<std::string> captions = DllMenuCaptions(dll_list);
  for (std::size_t i = 0; i < captions.size(); ++i)
    AppendMenuW(submenu, MF_STRING, first_id + i, WidenSjis(MenuTextFor(captions[i])).c_str());
}

}  // namespace mokuna
