#include "Instance.h"

#include <vector>

#include "CurrentFolder.h"
#include "MessageLoop.h"
#include "instance_name.h"

namespace mokuna {

namespace {

// The folder as the file system knows it: links and 8.3 names resolved where the system can.
std::wstring FinalFolderPath() {
  const std::wstring path = CurrentFolder();
  HANDLE dir = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (dir != INVALID_HANDLE_VALUE) {
    std::vector<wchar_t> final_path(32768);
    const DWORD m = GetFinalPathNameByHandleW(dir, final_path.data(), static_cast<DWORD>(final_path.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(dir);
    if (m > 0 && m < final_path.size()) return std::wstring(final_path.data(), m);
  }
  std::vector<wchar_t> long_path(32768);
  const DWORD m = GetLongPathNameW(path.c_str(), long_path.data(), static_cast<DWORD>(long_path.size()));
  if (m > 0 && m < long_path.size()) return std::wstring(long_path.data(), m);
  return path;
}

}  // namespace

FolderInstance::~FolderInstance() {
  if (window_) SetLoopWait(nullptr, nullptr);
  if (request_) CloseHandle(request_);
}

std::wstring FolderInstance::NameForCurrentFolder() {
  std::wstring folder = FinalFolderPath();
  // "\\?\" is how the final path starts; the same folder without it must give the same name.
  if (folder.rfind(L"\\\\?\\UNC\\", 0) == 0) folder = L"\\\\" + folder.substr(8);
  else if (folder.rfind(L"\\\\?\\", 0) == 0) folder = folder.substr(4);
  if (!folder.empty()) {
    // The file system ignores case, and so does the name: fold the way it does (upper case, invariant).
    std::wstring folded(folder.size(), L'\0');
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folder.c_str(), static_cast<int>(folder.size()),
                      folded.data(), static_cast<int>(folded.size()), nullptr, nullptr, 0) > 0)
      folder = folded;
  }
  return L"Local\\" + InstanceObjectName(folder);
}

bool FolderInstance::Claim(const std::wstring& name) {
  request_ = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
  if (!request_) return true;  // no way to tell: run rather than refuse
  if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
  SetEvent(request_);
  CloseHandle(request_);
  request_ = nullptr;
  return false;
}

void FolderInstance::Listen(HWND window, UINT message) {
  if (!request_ || window_) return;
  window_ = window;
  message_ = message;
  // The event stays set until a wait takes it, so an earlier request wakes the first wait.
  SetLoopWait(request_, [this] { PostMessageW(window_, message_, 0, 0); });
}

}  // namespace mokuna
