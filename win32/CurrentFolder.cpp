#include "CurrentFolder.h"

#include <windows.h>

namespace mokuna {

std::wstring CurrentFolder() {
  std::wstring folder(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    if (n == 0) return std::wstring();
    if (n < folder.size()) {
      folder.resize(n);
      return folder;
    }
    folder.resize(n);  // too small: n is the size it needs; the folder may change again meanwhile
  }
}

KeepCurrentFolder::~KeepCurrentFolder() {
  if (!folder_.empty()) SetCurrentDirectoryW(folder_.c_str());
}

}  // namespace mokuna
