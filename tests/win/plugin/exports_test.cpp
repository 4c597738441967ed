// Fennick.dll as the scheduler sees it: loaded by name, its two plain exports called through pointers.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "POP1.h"
#include "plugin_test_support.h"
#include "wait_until.h"
#include "win_text.h"

namespace {

using PluginFunction = const char*(__cdecl*)(int);

class FennickDll : public ::testing::Test {
 protected:
  void SetUp() override {
    dll_ = LoadLibraryW(mokuna::WidenSjis(FENNICK_DLL_PATH).c_str());
    ASSERT_NE(nullptr, dll_) << FENNICK_DLL_PATH;
    check_mail_ = Find("CheckMail");
    property_page_ = Find("PropertyPage");
    ASSERT_NE(nullptr, check_mail_);
    ASSERT_NE(nullptr, property_page_);
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
  }

  PluginFunction Find(const char* name) {
    return reinterpret_cast<PluginFunction>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
  }

  // Presses the button id of the plug-in's window once it shows (within ten seconds).
  static void ClickWhenShown(int id) {
    HWND w = nullptr;
    if (testsupport::WaitUntil([&] { return (w = FindWindowW(L"FennickTForm1", nullptr)) && IsWindowVisible(w); }))
      SendMessageW(GetDlgItem(w, id), BM_CLICK, 0, 0);
  }

  // Runs the DLL's PropertyPage while a second thread presses the button id of its window.
  std::string PressOnPage(int id) {
    std::thread driver([id] { ClickWhenShown(id); });
    const char* result = property_page_(0);
    driver.join();
    return result;
  }

  fennick_test::ScratchFolder folder_;
  HMODULE dll_ = nullptr;
  PluginFunction check_mail_ = nullptr;
  PluginFunction property_page_ = nullptr;
};

TEST_F(FennickDll, FailedCheckReturnsCannotConnectForAnyArgumentAndWritesNothing) {
  const std::string file = "POPServer=\r\nLastMailNum=2\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  const char* first = check_mail_(0);
  const std::string copy = first;
  EXPECT_EQ("Fennick CheckMail 101 Cannot Connect to Server", copy);
  std::string noise(100000, 'z');  // the heap moves on; the result must not
  EXPECT_EQ(copy, std::string(first));
  EXPECT_EQ(copy, std::string(check_mail_(-123456)));
  EXPECT_EQ(file, fennick_test::ReadAll("epop.ini"));
}

TEST_F(FennickDll, EachExportKeepsItsOwnResultAndLongOnesWhole) {
  const std::string interval(3000, '9');
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "POPServer=\r\nCheckInterval=" + interval + "\r\n"));
  const std::string expected = "Fennick PropertyPage 900 * * * * /" + interval + " Fennick 0 CheckMail";
  std::thread driver([] { FennickDll::ClickWhenShown(fennick::kIdButton2); });
  const char* page = property_page_(0);
  driver.join();
  EXPECT_EQ(expected, std::string(page));
  check_mail_(0);  // the other export's call leaves this one's text alone
  EXPECT_EQ(expected, std::string(page));
}

TEST_F(FennickDll, WindowWorksAgainAfterTheLibraryWasReloaded) {
  EXPECT_EQ("Fennick PropertyPage 000 メールは届いていません．", PressOnPage(fennick::kIdButton4));
  FreeLibrary(dll_);
  SetUp();
  EXPECT_EQ("Fennick PropertyPage 000 ", PressOnPage(fennick::kIdButton1));
}

// The same code in this program, where the message box can be watched.
TEST(CheckMailExport, ShowsALoadErrorAndGoesOnWithTheCheck) {
  fennick_test::ScratchFolder folder;
  const fennick::UiHooks saved = fennick::Hooks();
  std::vector<std::string> shown;
  fennick::Hooks().show_error = [&](HWND, const std::string& text) { shown.push_back(text); };
  const std::string file = "POPServer=\r\nisUseAPOP=1x\r\nLastMailNum=5\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  fennick::ModuleState state;
  const std::string result = fennick::RunCheckMail(state);
  fennick::Hooks() = saved;
  EXPECT_EQ("Fennick CheckMail 101 Cannot Connect to Server", result);
  ASSERT_EQ(1u, shown.size());
  EXPECT_NE(std::string::npos, shown[0].find("1x")) << shown[0];
  EXPECT_EQ(0, state.LastMailNum) << "keys after the bad one are not applied";
  EXPECT_EQ(file, fennick_test::ReadAll("epop.ini"));
}

// epop.ini held open without sharing by another program: the result says why, the file is not replaced,
// and a scheduled check puts up no message box (one would hang this call).
TEST_F(FennickDll, FileThatCannotBeReadEndsTheCheckWithItsOwnCode) {
  const std::string file = "POPServer=127.0.0.1\r\nAccount=me\r\nLastMailNum=2\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  HANDLE hold = CreateFileW(L"epop.ini", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, hold);
  EXPECT_EQ("Fennick CheckMail 105 Cannot Read Settings", std::string(check_mail_(0)));
  CloseHandle(hold);
  EXPECT_EQ(file, fennick_test::ReadAll("epop.ini"));
}

}  // namespace
