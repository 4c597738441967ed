#include "Controls.h"

#include "dll_list.h"
#include "win_text.h"

namespace mokuna {

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
