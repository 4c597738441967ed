// The file-open dialog of every window that lets the user pick a file. It is the system's Common Item
// Dialog, which leaves the process's current folder where it was: files opened by bare name (the settings
// files) keep pointing at the same file while the dialog is open, whatever thread reads them meanwhile.
#pragma once

#include <windows.h>

#include <string>

namespace mokuna {

struct FileOpenOptions {
  std::wstring filter_name;     // the one file type's name in the type list, "え(*.bmp)"
  std::wstring filter_pattern;  // its pattern, "*.bmp"
  std::wstring title;           // empty: the system's own title
  std::wstring initial_folder;  // the folder it opens in every time; empty: see default_folder
  std::wstring default_folder;  // the folder it opens in while it remembers none; empty: the system's choice
};

// Runs the dialog modally over owner (which may be null). True with the chosen file's full path when the
// user chose one; false when the user cancelled or the dialog could not be shown.
bool RunFileOpenDialog(HWND owner, const FileOpenOptions& options, std::wstring& path);

}  // namespace mokuna
