// Shared pieces of the dialog tests: a scratch current directory and message-level driving.
#pragma once

#include <windows.h>

#include <string>

#include "win_text.h"

namespace dialogs_test {

// A fresh empty current directory for one test, removed with its files afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    base_ = tmp;
    dir_ = base_ + L"mokuna-dialogs-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter_);
    CreateDirectoryW(dir_.c_str(), nullptr);
    SetCurrentDirectoryW(dir_.c_str());
  }
  ~ScratchDir() {
    SetCurrentDirectoryW(base_.c_str());
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir_ + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring path = dir_ + L"\\" + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          if (fd.cFileName[0] != L'.') RemoveDirectoryW(path.c_str());
        } else {
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(dir_.c_str());
  }
  const std::wstring& Path() const { return dir_; }
  void Write(const std::wstring& name, const std::string& bytes) const {
    HANDLE f = CreateFileW((dir_ + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
  }

 private:
  static inline int counter_ = 0;
  std::wstring base_, dir_;
};

inline std::wstring CurrentDir() {
  wchar_t buffer[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, buffer);
  return buffer;
}

// A button press as the dialog receives it from its child.
inline void Click(HWND form, int id) {
  SendMessageW(form, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(form, id)));
}
inline void PostClick(HWND form, int id) {
  PostMessageW(form, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(form, id)));
}

inline void Type(HWND form, int id, const std::string& sjis) {
  SetWindowTextW(GetDlgItem(form, id), mokuna::WidenSjis(sjis).c_str());
}
inline std::string TextOf(HWND window) {
  wchar_t buffer[4096];
  const int n = GetWindowTextW(window, buffer, 4096);
  return mokuna::NarrowToSjis(std::wstring(buffer, static_cast<std::size_t>(n)));
}
inline std::string TextOf(HWND form, int id) { return TextOf(GetDlgItem(form, id)); }

}  // namespace dialogs_test
