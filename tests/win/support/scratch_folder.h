// A fresh, empty folder under the temporary folder, made the current folder for one test. Files can be
// copied in from beside the test program; on destruction the previous current folder comes back and the
// scratch folder is removed with whatever the test left in it (read-only files included).
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

class ScratchFolder {
 public:
  explicit ScratchFolder(const wchar_t* prefix = L"mokuna-test") {
    wchar_t here[MAX_PATH], temp[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    home_ = here;
    GetTempPathW(MAX_PATH, temp);
    // Process ids repeat under Wine and a killed run leaves its folder: take the first name that is free.
    static int counter = 0;
    do {
      path_ = std::wstring(temp) + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(++counter);
    } while (!CreateDirectoryW(path_.c_str(), nullptr) && counter < 10000);
    SetCurrentDirectoryW(path_.c_str());
  }
  ~ScratchFolder() {
    SetCurrentDirectoryW(home_.c_str());
    RemoveTree(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Copies home\relative (the folder the test started in) into the scratch folder under its own name.
  bool CopyIn(const std::wstring& relative) const {
    const std::wstring name = relative.substr(relative.find_last_of(L"\\/") + 1);
    return CopyFileW((home_ + L"\\" + relative).c_str(), (path_ + L"\\" + name).c_str(), FALSE) != 0;
  }
  const std::wstring& Path() const { return path_; }
  const std::wstring& Home() const { return home_; }

  static std::wstring CurrentDirectory() {
    wchar_t dir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, dir);
    return dir;
  }

 private:
  static void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring full = dir + L"\\" + name;
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(full);
        } else {
          DeleteFileW(full.c_str());
        }
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
  }

  std::wstring home_, path_;
};

}  // namespace testsupport
