// Kavrel.dll through its seven exports, with the test plug-in Tplug.dll, under Wine on Linux.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "DLLHead.h"
#include "file_io.h"
#include "result_dispatch.h"
#include "scratch_folder.h"
#include "wait_until.h"

namespace {

using Strings = std::vector<std::string>;

// Waits for condition while serving this thread's windows (the library's own page lives here).
using testsupport::WaitUntil;

int ThreadCount() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 te{};
  te.dwSize = sizeof te;
  int n = 0;
  for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
    if (te.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snap);
  return n;
}

std::string IniFile() {
  std::string bytes;
  return fileio::ReadFile("kavrel.ini", bytes) ? bytes : "<none>";
}

class Kavrel : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"kavrel-test"};

  void SetUp() override {
    initForm();
  }

  void TearDown() override {
    freeForm();
    if (tplug_) FreeLibrary(tplug_);
  }

  // Fetches result strings until n have come (or 10 seconds passed).
  Strings Results(std::size_t n) {
    Strings got;
    WaitUntil([&] {
      while (got.size() < n && isResult()) got.push_back(GetResults());
      return got.size() >= n;
    });
    return got;
  }

  // Calls an export of the test plug-in directly (the same instance the library loaded).
  std::string Tplug(const char* function, int arg = 0) {
    if (!tplug_) tplug_ = LoadLibraryW(L"Tplug.dll");
    using Fn = const char*(__cdecl*)(int);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(tplug_, function)));
    return fn ? fn(arg) : "";
  }

  HMODULE tplug_ = nullptr;
};

TEST_F(Kavrel, MissingDllAndMissingExportQueue501And502) {
  DirectAction("Nowhere 0 CheckMail");
  DirectAction("Tplug 0 NoSuchExport");
  EXPECT_EQ((Strings{"Nowhere CheckMail 501", "Tplug NoSuchExport 502"}), Results(2));
  EXPECT_EQ(0, isResult());
}

TEST_F(Kavrel, PluginsLoadFromTheLibrarysOwnFolderOnly) {
  // The same plug-in under other names, in a PATH folder and in the current folder.
  ASSERT_TRUE(CreateDirectoryW(L"onpath", nullptr));
  const std::wstring home = folder_.Home() + L"\\";
  ASSERT_TRUE(CopyFileW((home + L"Tplug.dll").c_str(), L"onpath\\Pathplug.dll", FALSE));
  ASSERT_TRUE(CopyFileW((home + L"Tplug.dll").c_str(), L"Hereplug.dll", FALSE));
  wchar_t old_path[32768];
  const DWORD n = GetEnvironmentVariableW(L"PATH", old_path, 32768);
  ASSERT_TRUE(SetEnvironmentVariableW(L"PATH", (folder_.Path() + L"\\onpath;" + old_path).c_str()));
  const std::pair<const char*, const char*> cases[] = {
      {"Pathplug 5 Echo", "Pathplug Echo 501"},
      {"Hereplug 6 Echo", "Hereplug Echo 501"},
      {"kernel32 0 NoSuchExport", "kernel32 NoSuchExport 501"},  // loaded, it would be 502
      {".. 0 Echo", ".. Echo 501"},
      {"..\\Tplug 0 Echo", "Kavrel DirectAction 400 DLL name must not name a folder"},
      {"C:Tplug 0 Echo", "Kavrel DirectAction 400 DLL name must not name a folder"},
      {"Tplug 7 Echo", "Tplug Echo 000 7"},
  };
  for (const auto& [action, result] : cases) {
    DirectAction(action);
    EXPECT_EQ((Strings{result}), Results(1)) << action;
  }
  SetEnvironmentVariableW(L"PATH", n ? old_path : nullptr);
}

TEST_F(Kavrel, ExceptionFromAPluginEndsOnlyItsOwnCall) {
  DirectAction("Tplug 3 Throw");
  DirectAction("Tplug 8 Echo");
  EXPECT_EQ((Strings{"Tplug Echo 000 8"}), Results(1));
  EXPECT_EQ("Tplug Log 000 Throw:3 Echo:8", Tplug("Log"));
}

TEST_F(Kavrel, ResultsArriveInCallOrderAndNullQueuesNothing) {
  ASSERT_TRUE(fileio::WriteFileAtomic("tplug.txt", "Tplug Say 000 こんにちは \"二 語\"\r\n"));
  for (const char* action : {"Tplug 1 Echo", "Tplug 0 Null", "Tplug 101 Fail", "Tplug -5 Echo", "Tplug 1 Say",
                             "Tplug 2147483647 Echo"})
    DirectAction(action);
  EXPECT_EQ((Strings{"Tplug Echo 000 1", "Tplug Fail 101 Test failure", "Tplug Echo 000 -5",
                     "Tplug Say 000 こんにちは \"二 語\"", "Tplug Echo 000 2147483647"}),
            Results(5));
  ASSERT_TRUE(WaitUntil([&] { return Tplug("Log") == "Tplug Log 000 Echo:1 Null:0 Fail:101 Echo:-5 Say:1 Echo:2147483647"; }));
  EXPECT_EQ(0, isResult());
  EXPECT_STREQ("", GetResults());  // asked for nothing: an empty string, never a dangling pointer
}

TEST_F(Kavrel, MalformedTextIsReportedAndChangesNothing) {
  AddEntry("* * * * /5 Tplug 0 Echo");
  ASSERT_EQ((Strings{"Tplug Echo 000 0"}), Results(1));
  const std::string before = IniFile();

  AddEntry("* * * 24 /5 Tplug 0 Echo");
  AddEntry("* * * * /5 ..\\Tplug 0 Echo");
  AddEntry("* * * * /5 Tplug 0");
  AddEntry(nullptr);
  AddEntry("* * * * /0 Kavrel 0 freeForm");
  DirectAction("Tplug x Echo");
  PropertyPage("sub/Tplug");
  EXPECT_EQ((Strings{"Kavrel AddEntry 400 hour out of range (0-23)", "Kavrel AddEntry 400 DLL name must not name a folder",
                     "Kavrel AddEntry 400 expected 8 fields, found 7", "Kavrel AddEntry 400 empty",
                     "Kavrel AddEntry 400 Kavrel cannot call itself", "Kavrel DirectAction 400 arg is not a 32-bit integer",
                     "Kavrel PropertyPage 400 DLL name must not name a folder"}),
            Results(7));
  EXPECT_EQ(before, IniFile());
  EXPECT_EQ(0, isResult());
}

TEST_F(Kavrel, ScheduleResultsAreBoundedAndEachWritesKavrelIniOnce) {
  std::string lines;  // five results of 20 000 entries, each a call of its own and never due
  for (int r = 0; r < 5; ++r) {
    lines += "Tplug Schedule 900";
    for (int i = 0; i < 20000; ++i) lines += " 2 31 * * 5 P" + std::to_string(r * 20000 + i) + " 0 Run +";
    lines += "\r\n";
  }
  ASSERT_TRUE(fileio::WriteFileAtomic("tplug.txt", lines));
  // The host's own dispatch; what it fetched is kept.
  struct Recorder : mokuna::FunctionResultSource, mokuna::SpeechSink {
    Recorder() : FunctionResultSource(isResult, ::GetResults, ::AddEntry) {}
    std::string GetResults() override { return got.emplace_back(FunctionResultSource::GetResults()); }
    void AddSerifu(const std::string&) override {}
    Strings got;
  } host;
  const std::string too_many = "Kavrel AddEntry 400 Too many entries in one result (at most 256), 19744 not added";
  const struct {
    bool read_only;
    std::size_t lines;
    Strings reports;  // beginnings of what came after the result itself
  } cases[] = {{false, 256, {too_many}},
               {true, 256, {"Kavrel AddEntry 500 Cannot write kavrel.ini: ", too_many}},
               {false, 768, {too_many}},
               {false, 1024, {too_many}},
               {false, 1024, {too_many, "Kavrel AddEntry 400 Timetable full (1024 entries), 256 not added"}}};
  for (int r = 0; r < 5; ++r) {
    SCOPED_TRACE(r);
    DirectAction(("Tplug " + std::to_string(r + 1) + " Say").c_str());
    ASSERT_TRUE(WaitUntil([] { return isResult() != 0; }));
    SetFileAttributesW(L"kavrel.ini", cases[r].read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    host.got.clear();
    const DWORD start = GetTickCount();
    mokuna::DispatchResultString(host, host);
    EXPECT_LT(GetTickCount() - start, 3000u);
    ASSERT_EQ(cases[r].reports.size() + 1, host.got.size());
    for (std::size_t i = 0; i < cases[r].reports.size(); ++i) EXPECT_EQ(0u, host.got[i + 1].find(cases[r].reports[i]));
    const std::string ini = IniFile();
    EXPECT_EQ(cases[r].lines, static_cast<std::size_t>(std::count(ini.begin(), ini.end(), '\n')));
  }
}

TEST_F(Kavrel, CallsDueTogetherRunOneAtATimeOnOneWorkerThread) {
  Tplug("Stats", 1);
  AddEntry("* * * * /5 Tplug 300 Block");
  AddEntry("* * * * /5 Tplug 7 Echo");
  DirectAction("Tplug 200 Block");
  Strings got = Results(3);
  std::sort(got.begin(), got.end());
  EXPECT_EQ((Strings{"Tplug Block 000 200", "Tplug Block 000 300", "Tplug Echo 000 7"}), got);
  const std::string stats = Tplug("Stats");
  EXPECT_NE(std::string::npos, stats.find("calls=3 running=0 most=1 threads=1 ")) << stats;
  EXPECT_EQ(std::string::npos, stats.find("thread=" + std::to_string(GetCurrentThreadId()))) << stats;
}

TEST_F(Kavrel, ReplacementAndOffRewriteKavrelIni) {
  AddEntry("* * * * /5 Tplug 1 Echo");
  EXPECT_EQ((Strings{"Tplug Echo 000 1"}), Results(1));
  EXPECT_EQ("* * * * /5 Tplug 1 Echo\r\n", IniFile());

  // Same DLL (any case) and function: replaced in place, and due at once with its new arg.
  AddEntry("* * * 9 30 Tplug 0 Block");
  AddEntry(" *  *\t* * /7 tplug 2 Echo ");
  EXPECT_EQ((Strings{"Tplug Echo 000 2"}), Results(1));
  EXPECT_EQ("* * * * /7 tplug 2 Echo\r\n* * * 9 30 Tplug 0 Block\r\n", IniFile());

  AddEntry("* * * * /0 TPLUG 0 Echo");
  EXPECT_EQ("* * * 9 30 Tplug 0 Block\r\n", IniFile());
  AddEntry("/0 * * * * Tplug 0 Nothing");  // nothing to remove: no change
  AddEntry("* * * * /0 Tplug 0 Block");
  EXPECT_EQ("", IniFile());
  EXPECT_FALSE(WaitUntil([] { return isResult() != 0; }, 300));

  // A file that cannot be written is reported; the entry still counts until then.
  ASSERT_TRUE(SetFileAttributesW(L"kavrel.ini", FILE_ATTRIBUTE_READONLY));
  AddEntry("* * * * /9 Tplug 9 Echo");
  Strings got = Results(2);
  SetFileAttributesW(L"kavrel.ini", FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(2u, got.size());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(0u, got[0].find("Kavrel AddEntry 500 Cannot write kavrel.ini: ")) << got[0];
  EXPECT_EQ("Tplug Echo 000 9", got[1]);
}

TEST_F(Kavrel, KavrelIniThatCannotBeReadIsReportedAndNeverReplaced) {
  freeForm();
  const std::string user_file = "* * * 9 30 Tplug 0 Block\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("kavrel.ini", user_file));
  // Held open without sharing, as an editor or a backup tool may.
  HANDLE held = CreateFileW(L"kavrel.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  initForm();
  const Strings got = Results(1);
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(0u, got[0].find("Kavrel initForm 500 Cannot read kavrel.ini: ")) << got[0];
  CloseHandle(held);
  AddEntry("* * * * /5 Tplug 1 Echo");
  EXPECT_EQ((Strings{"Tplug Echo 000 1"}), Results(1));
  freeForm();
  EXPECT_EQ(user_file, IniFile());
  initForm();
}

TEST_F(Kavrel, TimetableSurvivesFreeFormAndInitForm) {
  AddEntry("* * * * /15 Tplug 3 Echo");
  ASSERT_EQ((Strings{"Tplug Echo 000 3"}), Results(1));
  freeForm();
  EXPECT_EQ("* * * * /15 Tplug 3 Echo\r\n", IniFile());

  // Loaded entries are due at once again; a bad line is skipped and reported.
  ASSERT_TRUE(fileio::WriteFileAtomic("kavrel.ini", IniFile() + "* * * * /15\r\n\r\n* * * 9 0 Tplug 4 Say\r\n"));
  initForm();
  EXPECT_EQ((Strings{"Kavrel initForm 400 kavrel.ini line 2: expected 8 fields, found 5", "Tplug Echo 000 3"}),
            Results(2));
  freeForm();
  EXPECT_EQ("* * * * /15 Tplug 3 Echo\r\n* * * 9 0 Tplug 4 Say\r\n", IniFile());
  initForm();
}

TEST_F(Kavrel, BlockingPluginDoesNotHoldUpTheCaller) {
  DirectAction("Tplug 3000 Block");
  DirectAction("Tplug 8 Echo");
  ASSERT_TRUE(WaitUntil([&] { return Tplug("Stats").find("running=1") != std::string::npos; }));
  const DWORD start = GetTickCount();
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(0, isResult());
    AddEntry("* * * 9 0 Tplug 0 Say");
    PropertyPage("Nowhere");
  }
  EXPECT_LT(GetTickCount() - start, 2500u);
  EXPECT_NE(std::string::npos, Tplug("Stats").find("running=1"));  // all of it happened during the call
  EXPECT_EQ((Strings{"Tplug Block 000 3000", "Tplug Echo 000 8", "Nowhere PropertyPage 501"}), Strings(Results(3)));
}

TEST_F(Kavrel, FreeFormWaitsForTheCallInProgressAndLeavesNothingBehind) {
  freeForm();
  const int threads = ThreadCount();
  initForm();
  DirectAction("Tplug 1500 Block");
  DirectAction("Tplug 1 Echo");  // still waiting at freeForm: never runs
  ASSERT_TRUE(WaitUntil([] { return GetModuleHandleW(L"Tplug.dll") != nullptr; }));
  const DWORD start = GetTickCount();
  freeForm();
  EXPECT_GE(GetTickCount() - start, 1000u);
  EXPECT_EQ(nullptr, GetModuleHandleW(L"Tplug.dll"));
  EXPECT_EQ(threads, ThreadCount());
  EXPECT_EQ(0, isResult());

  initForm();
  DirectAction("Tplug 2 Echo");
  EXPECT_EQ((Strings{"Tplug Echo 000 2"}), Results(1));
}

TEST_F(Kavrel, FreeFormGivesUpOnACallThatWillNotEndAndStartsAfresh) {
  DirectAction("Tplug 12500 Block");
  ASSERT_TRUE(WaitUntil([] { return GetModuleHandleW(L"Tplug.dll") != nullptr; }));
  const DWORD start = GetTickCount();
  freeForm();
  const DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 9000u);
  EXPECT_LT(waited, 12000u);
  EXPECT_NE(nullptr, GetModuleHandleW(L"Tplug.dll"));  // still running: not unloaded under its feet

  initForm();
  DirectAction("Tplug 3 Echo");
  EXPECT_EQ((Strings{"Tplug Echo 000 3"}), Results(1));
  // The old call ends later; its result belongs to the finished session and does not show up here.
  ASSERT_TRUE(WaitUntil([&] { return Tplug("Log").find("Block:12500") != std::string::npos; }, 5000));
  EXPECT_FALSE(WaitUntil([] { return isResult() != 0; }, 300));
}

TEST_F(Kavrel, FreeFormClosesAPluginWindowLeftOpen) {
  DirectAction("Tplug 0 Modal");
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindWindowW(nullptr, L"Tplug")) != nullptr; }));
  const DWORD start = GetTickCount();
  freeForm();
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(nullptr, GetModuleHandleW(L"Tplug.dll"));
}

TEST_F(Kavrel, PluginSettingsPageRunsOnTheWorker) {
  PropertyPage("Tplug");
  PropertyPage("Nowhere");
  EXPECT_EQ((Strings{"Tplug PropertyPage 000 Tplugの設定ページです．", "Nowhere PropertyPage 501"}), Results(2));
  EXPECT_EQ("Tplug Log 000 PropertyPage:0", Tplug("Log"));
}

TEST_F(Kavrel, OwnSettingsPageListsTheTimetableAndRemovesAnEntry) {
  AddEntry("* * * 9 0 Tplug 1 Say");
  AddEntry("1 1 * 0 0 テスト 0 Echo");
  PropertyPage("Kavrel");
  HWND page = FindWindowW(L"KavrelTimetablePage", nullptr);
  ASSERT_NE(nullptr, page);
  EXPECT_TRUE(IsWindowVisible(page));
  HWND list = FindWindowExW(page, nullptr, L"ListBox", nullptr);
  ASSERT_NE(nullptr, list);
  ASSERT_EQ(2, SendMessageW(list, LB_GETCOUNT, 0, 0));
  wchar_t text[256];
  SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(L"1 1 * 0 0 テスト 0 Echo", text);

  if (const char* hold = std::getenv("KAVREL_HOLD_PAGE_MS")) WaitUntil([] { return false; }, std::atoi(hold));

  // Remove the first entry as the user would: select it, press 削除.
  HWND remove = FindWindowExW(page, nullptr, L"Button", L"削除");
  ASSERT_NE(nullptr, remove);
  EXPECT_FALSE(IsWindowEnabled(remove));
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  ASSERT_TRUE(IsWindowEnabled(remove));
  SendMessageW(remove, BM_CLICK, 0, 0);
  EXPECT_EQ(1, SendMessageW(list, LB_GETCOUNT, 0, 0));
  EXPECT_EQ("1 1 * 0 0 テスト 0 Echo\r\n", IniFile());

  // A change from elsewhere shows while the page is open; asking again brings up the same window.
  AddEntry("* * 0 12 0 Tplug 5 Echo");
  EXPECT_TRUE(WaitUntil([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 2; }));
  PropertyPage("kavrel");
  EXPECT_EQ(page, FindWindowW(L"KavrelTimetablePage", nullptr));
  EXPECT_EQ(0, isResult());

  freeForm();
  EXPECT_FALSE(IsWindow(page));
}

}  // namespace
