#include "TaskTray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mokuna {
namespace {

struct Sent {
  DWORD message;
  NOTIFYICONDATAA record;
};
std::vector<Sent> g_sent;
bool g_refuse = false;

BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAA record) {
  g_sent.push_back({message, *record});
  return !g_refuse;
}

// A plain window to own the components, counting the menus it is asked to show.
int g_menus_opened = 0;
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITMENUPOPUP) ++g_menus_opened;
  // The menu loop is idle once the menu is up: close it so the test goes on.
  if (msg == WM_ENTERIDLE && wp == MSGF_MENU) EndMenu();
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_sent.clear();
    g_refuse = false;
    g_menus_opened = 0;
    TTaskTray::SetNotifyFunction(RecordNotify);
    TTaskTray::SetErrorHandler([this](const std::string& text) { errors.push_back(text); });
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TrayTestOwner";
    RegisterClassW(&wc);
    owner = CreateWindowExW(0, L"TrayTestOwner", L"owner", WS_OVERLAPPEDWINDOW, 10, 10, 100, 100, nullptr, nullptr,
                            wc.hInstance, nullptr);
    icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  }
  void TearDown() override { TTaskTray::SetErrorHandler(nullptr); }

  LRESULT Callback(int id, UINT mouse_message) {
    return SendMessageW(TNotifyWindow::Instance()->Handle(), kTrayCallbackMessage, id, mouse_message);
  }
  static std::string Message(const std::function<void()>& f) {
    try {
      f();
    } catch (const TrayInvalidOperation& e) {
      return e.what();
    }
    return "";
  }

  HWND owner = nullptr;
  HICON icon = nullptr;
  std::vector<std::string> errors;
};

TEST_F(TrayTest, RegisteringAddsTheFirstFormOfTheRecordAndTipChangesModifyIt) {
  TTaskTray tray(owner);
  tray.SetIcon(icon);
  EXPECT_TRUE(g_sent.empty());  // not registered yet
  tray.SetRegistered(true);
  ASSERT_EQ(g_sent.size(), 1u);
  EXPECT_EQ(g_sent[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_sent[0].record.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
  EXPECT_EQ(g_sent[0].record.uFlags, 3u);
  EXPECT_EQ(g_sent[0].record.uCallbackMessage, 1126u);
  EXPECT_EQ(g_sent[0].record.uID, static_cast<UINT>(tray.IconID()));
  EXPECT_EQ(g_sent[0].record.hWnd, TNotifyWindow::Instance()->Handle());
  EXPECT_NE(g_sent[0].record.hIcon, nullptr);

  tray.SetTipString("2001/12/24 23:59");
  ASSERT_EQ(g_sent.size(), 2u);
  EXPECT_EQ(g_sent[1].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(g_sent[1].record.uFlags, 7u);
  EXPECT_STREQ(g_sent[1].record.szTip, "2001/12/24 23:59");
  // The same text many times a second reaches the notification area once.
  for (int i = 0; i < 20; ++i) tray.SetTipString("2001/12/24 23:59");
  EXPECT_EQ(g_sent.size(), 2u);
  tray.SetTipString("");
  ASSERT_EQ(g_sent.size(), 3u);
  EXPECT_EQ(g_sent[2].record.uFlags, 3u);

  tray.SetRegistered(false);
  ASSERT_EQ(g_sent.size(), 4u);
  EXPECT_EQ(g_sent[3].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_FALSE(tray.Added());
  tray.SetRegistered(false);
  EXPECT_EQ(g_sent.size(), 4u);
}

TEST_F(TrayTest, InvalidOperationsRaiseTheirMessages) {
  TTaskTray first(owner);
  TTaskTray second(owner);
  EXPECT_EQ(second.IconID(), first.IconID() + 1);
  EXPECT_EQ(Message([&] { first.SetIconID(0); }), kTrayIdNotPositive);
  EXPECT_EQ(Message([&] { first.SetIconID(-5); }), kTrayIdNotPositive);
  EXPECT_EQ(Message([&] { first.SetIconID(second.IconID()); }), kTrayIdInUse);
  EXPECT_EQ(Message([&] { first.SetIconID(first.IconID()); }), "");
  EXPECT_EQ(Message([&] { first.SetRegistered(true); }), kTrayNoIcon);
  EXPECT_FALSE(first.Registered());

  // A refusing notification area: registered stays, added does not, and each update tries again.
  first.SetIcon(icon);
  g_refuse = true;
  EXPECT_EQ(Message([&] { first.SetRegistered(true); }), kTrayCannotAdd);
  EXPECT_TRUE(first.Registered());
  EXPECT_FALSE(first.Added());
  g_sent.clear();
  // A tip update tries again, silently: no taskbar is no reason for a box once a minute.
  EXPECT_EQ(Message([&] { first.SetTipString("a"); }), "");
  ASSERT_EQ(g_sent.size(), 1u);
  EXPECT_EQ(g_sent[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(first.TipString(), "a");
  // The taskbar comes back: the icon returns with the latest tip.
  g_refuse = false;
  g_sent.clear();
  SendMessageW(TNotifyWindow::Instance()->Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(first.Added());
  ASSERT_EQ(g_sent.size(), 1u);
  EXPECT_STREQ(g_sent[0].record.szTip, "a");
  // An icon already added whose update is refused (Explorer gone) stays quiet too.
  g_refuse = true;
  EXPECT_EQ(Message([&] { first.SetTipString("b"); }), "");
  EXPECT_TRUE(errors.empty());
}

TEST_F(TrayTest, ChangingTheIdentifierMovesTheShownIcon) {
  TTaskTray tray(owner);
  tray.SetIcon(icon);
  tray.SetRegistered(true);
  const int old_id = tray.IconID();
  g_sent.clear();
  tray.SetIconID(40);
  ASSERT_EQ(g_sent.size(), 2u);
  EXPECT_EQ(g_sent[0].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(g_sent[0].record.uID, static_cast<UINT>(old_id));
  EXPECT_EQ(g_sent[1].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_sent[1].record.uID, 40u);
  EXPECT_TRUE(tray.Registered());
  // Callbacks now reach it under the new identifier only.
  int clicks = 0;
  tray.OnDblClick = [&](TTaskTray&, TrayButton) { ++clicks; };
  Callback(old_id, WM_LBUTTONDBLCLK);
  Callback(40, WM_LBUTTONDBLCLK);
  EXPECT_EQ(clicks, 1);
  // Emptying the icon unregisters.
  tray.SetIcon(nullptr);
  EXPECT_FALSE(tray.Registered());
}

TEST_F(TrayTest, CallbacksReachTheRightComponent) {
  TTaskTray a(owner), b(owner);
  a.SetIcon(icon);
  a.SetRegistered(true);
  std::vector<std::string> seen;
  auto watch = [&seen](TTaskTray& t, const char* name) {
    t.OnDblClick = [&seen, name](TTaskTray&, TrayButton btn) {
      seen.push_back(std::string(name) + " dbl " + std::to_string(static_cast<int>(btn)));
    };
    t.OnMouseDown = [&seen, name](TTaskTray&, TrayButton btn, TShiftState s, int, int) {
      seen.push_back(std::string(name) + " down " + std::to_string(static_cast<int>(btn)) + "/" + std::to_string(s));
    };
    t.OnMouseUp = [&seen, name](TTaskTray&, TrayButton btn, TShiftState s, int, int) {
      seen.push_back(std::string(name) + " up " + std::to_string(static_cast<int>(btn)) + "/" + std::to_string(s));
    };
    t.OnMouseMove = [&seen, name](TTaskTray&, TShiftState s, int, int) {
      seen.push_back(std::string(name) + " move " + std::to_string(s));
    };
  };
  watch(a, "a");
  watch(b, "b");
  Callback(a.IconID(), WM_LBUTTONDBLCLK);
  Callback(b.IconID(), WM_RBUTTONDBLCLK);
  Callback(b.IconID(), WM_MBUTTONDOWN);
  Callback(a.IconID(), WM_RBUTTONUP);
  Callback(a.IconID(), WM_MOUSEMOVE);
  Callback(a.IconID(), WM_MBUTTONDBLCLK);  // ignored
  Callback(999, WM_LBUTTONDBLCLK);         // no such icon
  const std::vector<std::string> expected = {"a dbl 0", "b dbl 1", "b down 2/32", "a up 1/16", "a move 0"};
  EXPECT_EQ(seen, expected);
}

TEST_F(TrayTest, BusyFlagDropsCallbacksDuringHandlingAndClearsAfterFailure) {
  TTaskTray tray(owner);
  tray.SetIcon(icon);
  tray.SetRegistered(true);
  int dbl = 0;
  tray.OnDblClick = [&](TTaskTray&, TrayButton) { ++dbl; };
  tray.OnMouseDown = [&](TTaskTray&, TrayButton, TShiftState, int, int) {
    EXPECT_TRUE(TNotifyWindow::Busy());
    Callback(tray.IconID(), WM_LBUTTONDBLCLK);  // arrives while busy: dropped, not queued
    throw TrayInvalidOperation("boom");
  };
  Callback(tray.IconID(), WM_LBUTTONDOWN);
  EXPECT_EQ(dbl, 0);
  EXPECT_FALSE(TNotifyWindow::Busy());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "boom");
  Callback(tray.IconID(), WM_LBUTTONDBLCLK);
  EXPECT_EQ(dbl, 1);
}

TEST_F(TrayTest, MenusOpenOnThePressOfTheirButton) {
  TTaskTray tray(owner);
  tray.SetIcon(icon);
  tray.SetRegistered(true);
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"item");
  tray.SetPopupMenuR(menu);
  Callback(tray.IconID(), WM_LBUTTONDOWN);  // no left menu
  EXPECT_EQ(g_menus_opened, 0);
  Callback(tray.IconID(), WM_RBUTTONUP);  // menus never open on the release
  EXPECT_EQ(g_menus_opened, 0);
  Callback(tray.IconID(), WM_RBUTTONDOWN);
  EXPECT_EQ(g_menus_opened, 1);

  tray.SetPopupMenuL(menu);
  TTaskTray::MenuDestroyed(menu);
  DestroyMenu(menu);
  EXPECT_EQ(tray.PopupMenuL(), nullptr);
  EXPECT_EQ(tray.PopupMenuR(), nullptr);
}

TEST_F(TrayTest, TaskbarRestartAddsRegisteredIconsAgain) {
  TTaskTray shown(owner), hidden(owner);
  shown.SetIcon(icon);
  hidden.SetIcon(icon);
  shown.SetRegistered(true);
  g_sent.clear();
  SendMessageW(TNotifyWindow::Instance()->Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_EQ(g_sent.size(), 1u);
  EXPECT_EQ(g_sent[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_sent[0].record.uID, static_cast<UINT>(shown.IconID()));
}

}  // namespace
}  // namespace mokuna
