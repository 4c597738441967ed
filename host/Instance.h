// One running program per working folder. The first start in a folder holds a named event derived from
// the folder; a later start finds it, sets it and ends without touching a file, and the running one
// answers by showing its windows. Named objects are seen by every process of the session whatever desktop
// it runs on, which a window search would not be.
#pragma once

#include <windows.h>

#include <string>

namespace mokuna {

class FolderInstance {
 public:
  FolderInstance() = default;
  FolderInstance(const FolderInstance&) = delete;
  FolderInstance& operator=(const FolderInstance&) = delete;
  ~FolderInstance();

  // The object name for the current folder: its final path, case folded, hashed.
  static std::wstring NameForCurrentFolder();

  // True when this process is the first in its folder and now holds it. False when another one runs
  // there: that one has then been asked to show its windows.
  bool Claim(const std::wstring& name);

  // From now on each request of a later start posts message to window. The program's message loops wait
  // on the request beside their messages (nothing polls, and a thread waiting for it would cost the process
  // as much memory as all its windows). A request made before this call is delivered at once.
  void Listen(HWND window, UINT message);

 private:

  HANDLE request_ = nullptr;  // auto-reset: set by a later start
  HWND window_ = nullptr;
  UINT message_ = 0;
};

}  // namespace mokuna
