// The system's file-open dialog driven by its messages from a second thread while it runs on this one.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "FileDialog.h"
#include "scratch_folder.h"
#include "win_text.h"

namespace {

using mokuna::FileOpenOptions;
using testsupport::ScratchFolder;

// The dialog: a visible dialog window of this process, with the given title when one is given.
HWND WaitForDialog(const std::wstring& title) {
  struct Search {
    std::wstring title;
    HWND found = nullptr;
  } search{title};
  for (int i = 0; i < 500 && !search.found; ++i) {
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          wchar_t cls[64] = {}, text[128] = {};
          GetClassNameW(w, cls, 64);
          GetWindowTextW(w, text, 128);
          if (pid == GetCurrentProcessId() && IsWindowVisible(w) && lstrcmpW(cls, L"#32770") == 0 &&
              (s->title.empty() || s->title == text)) {
            s->found = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(20);
  }
  return search.found;
}

// Every item of every drop-down list in the dialog.
std::vector<std::wstring> ListedTexts(HWND dialog) {
  std::vector<std::wstring> texts;
  EnumChildWindows(
      dialog,
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[64] = {};
        GetClassNameW(w, cls, 64);
        if (lstrcmpiW(cls, L"ComboBox") != 0) return TRUE;
        const LRESULT n = SendMessageW(w, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
          std::wstring text(static_cast<std::size_t>(SendMessageW(w, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
          text.resize(static_cast<std::size_t>(SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]))));
          reinterpret_cast<std::vector<std::wstring>*>(p)->push_back(text);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// Types into the file name field and presses OK, waiting while the dialog acts on it.
void Enter(HWND dialog, const std::wstring& name) {
  HWND field = GetDlgItem(dialog, 0x47c);  // a combo box with an edit field in some versions
  if (!field) field = GetDlgItem(dialog, 0x480);
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  DWORD_PTR ignored;
  SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, SMTO_NORMAL, 5000, &ignored);
}

void MakeFile(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
}

// The two dialogs of the program (the picture opens in a given folder every time, the sound in one while
// the dialog remembers none, and is found by its title), and a cancelled one. While the user walks folders and after the choice, the
// current folder stays where it was: the settings files are opened by bare name from other threads.
TEST(FileOpenDialog, ChoosesAFileAndNeverMovesTheCurrentFolder) {
  ScratchFolder folder;
  const std::wstring here = folder.Path();
  for (const wchar_t* sub : {L"pictures", L"sounds"}) ASSERT_TRUE(CreateDirectoryW((here + L"\\" + sub).c_str(), nullptr));
  MakeFile(here + L"\\pictures\\face.bmp");
  MakeFile(here + L"\\sounds\\chime.wav");
  const std::wstring sound_title = mokuna::WidenSjis("おとファイルを開く");

  struct Row {
    const char* name;
    FileOpenOptions options;
    std::wstring walk_to;  // a folder entered before the file, empty for none
    std::wstring file;     // empty: cancel
    std::wstring chosen;   // empty: nothing chosen
  };
  const Row rows[] = {
      {"picture", {L"え(*.bmp)", L"*.bmp", L"", here + L"\\pictures", L""}, L"", L"face.bmp",
       here + L"\\pictures\\face.bmp"},
      {"sound", {mokuna::WidenSjis("おと(*.wav)"), L"*.wav", sound_title, L"", here + L"\\sounds"}, L"", L"chime.wav",
       here + L"\\sounds\\chime.wav"},
      {"cancelled", {L"え(*.bmp)", L"*.bmp", L"", here + L"\\pictures", L""}, here + L"\\sounds", L"", L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::wstring title, folder_while_open;
    std::vector<std::wstring> listed;
    bool seen = false;
    std::thread driver([&] {
      HWND dialog = WaitForDialog(row.options.title);
      if (!dialog) return;
      seen = true;
      wchar_t text[128] = {};
      GetWindowTextW(dialog, text, 128);
      title = text;
      listed = ListedTexts(dialog);
      if (!row.walk_to.empty()) Enter(dialog, row.walk_to);
      folder_while_open = ScratchFolder::CurrentDirectory();
      if (row.file.empty()) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      } else {
        Enter(dialog, row.file);
      }
      for (int i = 0; i < 250 && IsWindow(dialog); ++i) Sleep(20);
      if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    std::wstring path = L"before";
    const bool chosen = mokuna::RunFileOpenDialog(nullptr, row.options, path);
    driver.join();
    ASSERT_TRUE(seen) << "no dialog";
    if (!row.options.title.empty()) {
      EXPECT_EQ(row.options.title, title);
    }
    EXPECT_NE(listed.end(), std::find(listed.begin(), listed.end(), row.options.filter_name)) << "file type";
    EXPECT_EQ(here, folder_while_open);
    EXPECT_EQ(here, ScratchFolder::CurrentDirectory());
    EXPECT_EQ(!row.chosen.empty(), chosen);
    EXPECT_EQ(0, lstrcmpiW((row.chosen.empty() ? L"before" : row.chosen.c_str()), path.c_str()))
        << mokuna::NarrowToSjis(path);
  }
}

}  // namespace
