// The plug-in names of the settings dialog's list and of the "拡張DLL" submenu.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mokuna {

// The submenu holds items for the first entries only.
inline constexpr std::size_t kMaxDllMenuItems = 31;

// The submenu's captions: the first kMaxDllMenuItems entries, in list order, duplicates included.
std::vector<std::string> DllMenuCaptions(const std::vector<std::string>& dll_list);

// A caption as the menu must be given it so that it shows exactly as written: "&" doubled (a single one
// would mark an accelerator and vanish).
std::string MenuTextFor(const std::string& caption);

// The list of the settings dialog, edited by its add and remove buttons.
struct DllListEdit {
  std::vector<std::string> items;
  int selected = -1;  // index into items, -1 for none
  std::string edit;   // the name box beside the buttons
};

enum class AddDllResult { kAdded, kAlreadyListed, kNoSuchDll };
enum class RemoveDllResult { kRemoved, kNothingSelected, kSchedulerRefused };

// Adds the typed name when name + ".dll" exists (dll_exists is asked with that file name). A name already
// listed (case counts) is selected instead; in both cases the edit is emptied. A missing file changes
// nothing.
AddDllResult AddDll(DllListEdit& list, const std::function<bool(const std::string&)>& dll_exists);

// Removes the selected item and leaves its name in the edit; the scheduler library's own entry "Kavrel"
// stays.
RemoveDllResult RemoveDll(DllListEdit& list);

}  // namespace mokuna

namespace mokuna {

class SchedulerPort;

// A click on the submenu item with the given tag (its position): the entry now at that position opens its
// settings page through the scheduler library. A tag outside the list does nothing.
void SubMenu1Click(int tag, const std::vector<std::string>& dll_list, SchedulerPort& scheduler);

}  // namespace mokuna
