// The system's file-open dialog driven by its messages from a second thread while it runs on this one.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "FileDialog.h"
#include "scratch_folder.h"
#include "wait_for_window.h"
#include "win_text.h"

namespace {

using testsupport::ScratchFolder;

// Types into the file name field and presses OK, waiting while the dialog acts on it.
void Enter(HWND dialog, const std::wstring& name) {
  HWND field = GetDlgItem(dialog, 0x47c);  // a combo box with an edit field in some versions
  if (!field) field = GetDlgItem(dialog, 0x480);
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  DWORD_PTR ignored;
  SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, SMTO_NORMAL, 5000, &ignored);
}

// The picture opens in a given folder, the sound in none and is found by its title; the last row walks to
// another folder and cancels. The current folder never moves: the settings files are opened by bare name
// from other threads.
TEST(FileOpenDialog, ChoosesAFileAndNeverMovesTheCurrentFolder) {
  ScratchFolder folder;
  const std::wstring here = folder.Path();
  for (const wchar_t* file : {L"pictures\\face.bmp", L"sounds\\chime.wav"}) {
    const std::wstring path = here + L"\\" + file;
    CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  const mokuna::FileOpenOptions picture{L"え(*.bmp)", L"*.bmp", L"", here + L"\\pictures", L""};
  const struct {
    mokuna::FileOpenOptions options;
    std::wstring walk_to, file, chosen;  // empty file: cancel
  } rows[] = {
      {picture, L"", L"face.bmp", here + L"\\pictures\\face.bmp"},
      {{mokuna::WidenSjis("おと(*.wav)"), L"*.wav", mokuna::WidenSjis("おとファイルを開く"), L"", here + L"\\sounds"},
       L"", L"chime.wav", here + L"\\sounds\\chime.wav"},
      {picture, here + L"\\sounds", L"", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(mokuna::NarrowToSjis(row.options.filter_name + row.walk_to));
    std::wstring folder_while_open;
    bool type_listed = false;
    std::thread driver([&] {
      HWND dialog = testsupport::WaitForWindow(L"#32770", row.options.title);
      if (!dialog) return;  // the test hangs in the dialog: nothing can close it
      type_listed = SendDlgItemMessageW(dialog, 0x470, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(row.options.filter_name.c_str())) != CB_ERR;
      if (!row.walk_to.empty()) Enter(dialog, row.walk_to);
      folder_while_open = ScratchFolder::CurrentDirectory();
      if (!row.file.empty()) Enter(dialog, row.file);
      if (!row.file.empty()) testsupport::WaitUntil([&] { return !IsWindow(dialog); }, 5000);
      if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    std::wstring path = L"before";
    const bool chosen = mokuna::RunFileOpenDialog(nullptr, row.options, path);
    driver.join();
    EXPECT_TRUE(type_listed);
    EXPECT_EQ(here, folder_while_open);
    EXPECT_EQ(here, ScratchFolder::CurrentDirectory());
    EXPECT_EQ(!row.chosen.empty(), chosen);
    EXPECT_EQ(0, lstrcmpiW(row.chosen.empty() ? L"before" : row.chosen.c_str(), path.c_str()));
  }
}

}  // namespace
