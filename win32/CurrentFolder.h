// The process's current folder, where the settings files are opened by bare name.
#pragma once

#include <string>

namespace mokuna {

// The current folder; empty when the system cannot tell.
std::wstring CurrentFolder();

// Notes the current folder and puts it back when it goes: a file dialog may move it (the older ones did),
// and the settings files must keep pointing at the same files.
class KeepCurrentFolder {
 public:
  KeepCurrentFolder() : folder_(CurrentFolder()) {}
  ~KeepCurrentFolder();
  KeepCurrentFolder(const KeepCurrentFolder&) = delete;
  KeepCurrentFolder& operator=(const KeepCurrentFolder&) = delete;
  const std::wstring& Folder() const { return folder_; }

 private:
  std::wstring folder_;
};

}  // namespace mokuna
