#include "dll_list.h"

#include <algorithm>

namespace mokuna {

std::vector<std::string> DllMenuCaptions(const std::vector<std::string>& dll_list) {
  const std::size_t n = std::min(dll_list.size(), kMaxDllMenuItems);
  return std::vector<std::string>(dll_list.begin(), dll_list.begin() + static_cast<std::ptrdiff_t>(n));
}

std::string MenuTextFor(const std::string& caption) {
  // "&" (0x26) is below the Shift-JIS trail-byte range, so byte-wise doubling never touches a
  // double-byte character.
  std::string text;
  text.reserve(caption.size());
  for (char c : caption) {
    if (c == '&') text += '&';
    text += c;
  }
  return text;
}

AddDllResult AddDll(DllListEdit& list, const std::function<bool(const std::string&)>& dll_exists) {
  const std::string name = list.edit;
  if (!dll_exists(name + ".dll")) return AddDllResult::kNoSuchDll;
  auto found = std::find(list.items.begin(), list.items.end(), name);
  list.edit.clear();
  if (found != list.items.end()) {
    list.selected = static_cast<int>(found - list.items.begin());
    return AddDllResult::kAlreadyListed;
  }
  list.items.push_back(name);
  list.selected = static_cast<int>(list.items.size()) - 1;
  return AddDllResult::kAdded;
}

RemoveDllResult RemoveDll(DllListEdit& list) {
  if (list.selected < 0 || list.selected >= static_cast<int>(list.items.size()))
    return RemoveDllResult::kNothingSelected;
  const auto at = list.items.begin() + list.selected;
  if (*at == "Kavrel") return RemoveDllResult::kSchedulerRefused;
  list.edit = *at;
  list.items.erase(at);
  list.selected = -1;
  return RemoveDllResult::kRemoved;
}

}  // namespace mokuna

#include "dialog_ports.h"

namespace mokuna {

void SubMenu1Click(int tag, const std::vector<std::string>& dll_list, SchedulerPort& scheduler) {
  if (tag < 0 || tag >= static_cast<int>(dll_list.size())) return;
  scheduler.PropertyPage(dll_list[static_cast<std::size_t>(tag)]);
}

}  // namespace mokuna
