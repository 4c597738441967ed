#include "FileDialog.h"

#include <objbase.h>
#include <shobjidl.h>

#include <memory>

namespace mokuna {
namespace {

// COM on this thread for the dialog's life. A thread that has COM already keeps it as it is: a second
// initialisation of the same kind is only counted, and one of the other kind is refused and not undone.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** out() { return &p_; }
  void** out_void() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

}  // namespace

bool RunFileOpenDialog(HWND owner, const FileOpenOptions& options, std::wstring& path) {
  const ComApartment com;
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              dialog.out_void())))
    return false;
  FILEOPENDIALOGOPTIONS flags = 0;
  dialog->GetOptions(&flags);
  if (FAILED(dialog->SetOptions(flags | FOS_NOCHANGEDIR | FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST |
                                FOS_FORCEFILESYSTEM)))
    return false;
  if (!options.filter_pattern.empty()) {
    const COMDLG_FILTERSPEC type = {options.filter_name.c_str(), options.filter_pattern.c_str()};
    dialog->SetFileTypes(1, &type);
    dialog->SetFileTypeIndex(1);
  }
  if (!options.title.empty()) dialog->SetTitle(options.title.c_str());
  ComPtr<IShellItem> folder;
  const std::wstring& start = options.initial_folder.empty() ? options.default_folder : options.initial_folder;
  if (!start.empty() &&
      SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem, folder.out_void()))) {
    if (options.initial_folder.empty())
      dialog->SetDefaultFolder(folder.get());
    else
      dialog->SetFolder(folder.get());
  }
  if (FAILED(dialog->Show(owner))) return false;  // cancelled, among others
  ComPtr<IShellItem> chosen;
  if (FAILED(dialog->GetResult(chosen.out()))) return false;
  wchar_t* name = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) return false;
  const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owned(name, CoTaskMemFree);
  path = name;
  return true;
}

}  // namespace mokuna
