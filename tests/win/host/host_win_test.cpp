#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "Instance.h"
#include "TaskTray.h"
#include "Dpi.h"
#include "UI3.h"
#include "UI4.h"
#include "Window.h"
#include "file_io.h"
#include "host_settings.h"
#include "win_text.h"
#include "../components/mask_reference.h"
#include "scratch_folder.h"
#include "wait_until.h"

namespace mokuna {
namespace {

std::vector<std::string> g_errors;
void RecordError(const std::string& text) { g_errors.push_back(text); }

using testsupport::WaitUntil;

std::string Slurp(const char* name) {
  std::string bytes;
  fileio::ReadFile(name, bytes);
  return bytes;
}

// Each test runs in an empty folder of its own holding only the character picture.
class CharacterWindow : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"mokuna-host"};

  void SetUp() override {
    for (const wchar_t* name : {L"climon.bmp", L"mokuna.ico"}) {
      ASSERT_TRUE(folder_.CopyIn(std::wstring(L"pictures\\") + name));
    }
    g_errors.clear();
    SetGeneralErrorDisplay(RecordError);
  }
  void TearDown() override {
    SetGeneralErrorDisplay(nullptr);
  }
  static RECT WindowRect(const TForm3& form) {
    RECT r{};
    GetWindowRect(form.Handle(), &r);
    return r;
  }
  static std::string MenuText(HMENU menu, UINT id) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, id, text, 64, MF_BYCOMMAND);
    return NarrowToSjis(text);
  }

};

class TickCounter : public Window {
 public:
  bool Create() { return CreateWin(L"MokunaTickCounter", 0, WS_POPUP, 0, 0, 10, 10); }
  int ticks = 0;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_TIMER && wp == 7) ++ticks;
    return DefaultProc(msg, wp, lp);
  }
};

TEST(WindowTimer, EnabledWithIntervalTicksAndZeroStops) {
  TickCounter window;
  ASSERT_TRUE(window.Create());
  WindowTimer timer(7, 0);
  timer.Attach(window.Handle());
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.Running());  // interval 0: no ticks
  timer.SetInterval(15);
  EXPECT_TRUE(timer.Running());
  EXPECT_TRUE(WaitUntil([&] { return window.ticks >= 3; }, 5000));

  timer.SetInterval(0);
  EXPECT_FALSE(timer.Running());
  EXPECT_TRUE(timer.Enabled());
  const int before = window.ticks;
  WaitUntil([] { return false; }, 200);  // ten intervals without a tick
  EXPECT_EQ(window.ticks, before);

  timer.SetEnabled(false);
  timer.SetInterval(15);
  EXPECT_FALSE(timer.Running());
  timer.SetEnabled(true);
  EXPECT_TRUE(WaitUntil([&] { return window.ticks > before; }, 5000));
}

TEST_F(CharacterWindow, StartUpAppliesEdllIniAndShutdownWritesIt) {
  ASSERT_TRUE(fileio::WriteFileAtomic(
      "edll.ini", "top=40\r\nLeft=50\r\nLocalPolling=250\r\nEventPolling=0\r\nShowCalender=1\r\n[DLLlist]\r\nA\r\nB\r\n"));
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  EXPECT_TRUE(g_errors.empty()) << g_errors.front();

  const RECT r = WindowRect(form);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, 117);  // the picture (116 x 102) + 1
  EXPECT_EQ(r.bottom - r.top, 103);
  EXPECT_TRUE(GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));

  EXPECT_EQ(form.Timer1.Interval(), 250);
  EXPECT_TRUE(form.Timer1.Running());
  EXPECT_TRUE(form.Timer2.Enabled());
  EXPECT_FALSE(form.Timer2.Running());  // an interval of 0 gives no ticks
  EXPECT_FALSE(form.WatchTimer.Enabled());
  EXPECT_EQ(MenuText(form.PopupMenu1, TForm3::kN5), "カレンダー非表示");

  // The outline comes from the mask file made at start-up.
  EXPECT_NE(GetFileAttributesW(L"climon.bmp.msk"), INVALID_FILE_ATTRIBUTES);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(form.Handle(), region), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(region, 0, 50));  // column 0 is never in the outline
  EXPECT_TRUE(PtInRegion(region, 58, 58));
  DeleteObject(region);

  HostSettings expected;
  expected.Top = 40;
  expected.Left = 50;
  expected.LocalPolling = 250;
  expected.EventPolling = 0;
  expected.ShowCalender = true;
  expected.DllList = {"A", "B"};
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(form.Handle()));
  EXPECT_EQ(Slurp("edll.ini"), WriteHostIni(expected));
}

TEST_F(CharacterWindow, BadValueStopsStartUpAndLeavesTheDesignedWindow) {
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "Top=40\r\nShowTime=yes\r\nCalX=5\r\n[DLLlist]\r\nFennick\r\n"));
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  ASSERT_EQ(g_errors, std::vector<std::string>{"'yes' は整数ではありません"});

  const RECT r = WindowRect(form);
  EXPECT_EQ(r.left, 894);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, TForm3::kDesignClientWidth);
  EXPECT_EQ(r.bottom - r.top, TForm3::kDesignClientHeight);
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_FALSE(form.Timer2.Enabled());
  EXPECT_EQ(GetFileAttributesW(L"climon.bmp.msk"), INVALID_FILE_ATTRIBUTES);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(form.Handle(), region), ERROR);  // still rectangular
  DeleteObject(region);

  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  const std::string written = Slurp("edll.ini");
  EXPECT_NE(written.find("\r\nTop=40\r\n"), std::string::npos) << written;
  // The bad value gives way to the one in force; what the read never reached stays as the file had it.
  EXPECT_NE(written.find("\r\nShowTime=0\r\nCalX=5\r\nCalY=100\r\n[DLLlist]\r\nFennick\r\n"), std::string::npos)
      << written;
}

// A file held open without sharing by another program cannot be read at start-up; it is reported and
// never written in that run, even once it has been let go.
TEST_F(CharacterWindow, LockedEdllIniIsNeverOverwritten) {
  const std::string original = "Top=40\r\n[DLLlist]\r\nFennick\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", original));
  HANDLE held = CreateFileW(L"edll.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  CloseHandle(held);
  EXPECT_EQ(g_errors, std::vector<std::string>{"ファイル edll.ini は開けません（このファイルは上書きしません）"});
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(Slurp("edll.ini"), original);
}

TEST_F(CharacterWindow, MissingPictureIsReported) {
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "MokunaImage=gone.bmp\r\n"));
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  EXPECT_EQ(g_errors, std::vector<std::string>{"ファイル gone.bmp は開けません"});
  EXPECT_FALSE(form.Timer1.Enabled());
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(Slurp("edll.ini").rfind("MokunaImage=gone.bmp\r\n", 0), 0u);
}

TEST_F(CharacterWindow, PictureWithoutBitmapIsReported) {
  // An icon loads, but its pixels cannot be read for the transparent colour.
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "MokunaImage=mokuna.ico\r\n"));
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  EXPECT_EQ(g_errors, std::vector<std::string>{"ビットマップを持っている時のみイメージの変更が可能です"});
  const RECT r = WindowRect(form);
  EXPECT_EQ(r.right - r.left, TForm3::kDesignClientWidth);
  EXPECT_EQ(GetFileAttributesW(L"mokuna.ico.msk"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(form.Timer1.Enabled());
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

TEST_F(CharacterWindow, UnwritableEdllIniAsksRetryOrCancel) {
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "old"));
  SetFileAttributesW(L"edll.ini", FILE_ATTRIBUTE_READONLY);

  std::vector<std::string> asked;
  form.AskRetry = [&](HWND, const std::string& text) {
    asked.push_back(text);
    // The second answer comes after the user made the file writable again.
    if (asked.size() == 2) SetFileAttributesW(L"edll.ini", FILE_ATTRIBUTE_NORMAL);
    return IDRETRY;
  };
  EXPECT_TRUE(form.SaveHostSettings());
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_NE(asked[0].find("edll.ini"), std::string::npos);
  EXPECT_GT(asked[0].size(), std::string("設定ファイル  edll.ini に書き込めません。").size());  // with a reason
  EXPECT_EQ(Slurp("edll.ini"), WriteHostIni(form.CurrentSettings()));

  // Cancel: nothing is written, and closing still ends the window.
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "old"));
  SetFileAttributesW(L"edll.ini", FILE_ATTRIBUTE_READONLY);
  asked.clear();
  form.AskRetry = [&](HWND, const std::string& text) {
    asked.push_back(text);
    return IDCANCEL;
  };
  EXPECT_FALSE(form.SaveHostSettings());
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_FALSE(IsWindow(form.Handle()));
  EXPECT_EQ(Slurp("edll.ini"), "old");
}

TEST_F(CharacterWindow, CurrentSettingsFollowTheWindowsAndTimers) {
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  SetWindowPos(form.Handle(), nullptr, -30, 700, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  form.Timer1.SetInterval(123);
  form.Timer2.SetInterval(0);
  HWND calendar = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 321, 222, 50, 50, nullptr, nullptr, nullptr, nullptr);
  form.CalendarWindow = calendar;

  const HostSettings s = form.CurrentSettings();
  EXPECT_EQ(s.Left, -30);
  EXPECT_EQ(s.Top, 700);
  EXPECT_EQ(s.LocalPolling, 123);
  EXPECT_EQ(s.EventPolling, 0);
  EXPECT_EQ(s.CalX, 321);
  EXPECT_EQ(s.CalY, 222);
  DestroyWindow(calendar);
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

struct ScriptedResults : ResultSource {
  std::vector<std::string> queued;  // said last first
  bool IsResult() override { return !queued.empty(); }
  std::string GetResults() override { std::string r = queued.back(); queued.pop_back(); return r; }
  void AddEntry(const std::string&) override {}
};

// A run of bad result strings, one per Timer2 tick, while the error box's modal loop keeps the timers
// running: one box at a time, and each box after the first tells how many came while it was away.
int g_boxes_open = 0, g_most_boxes_open = 0;
// A box's own modal loop, kept up long enough for many ticks.
void SlowBox(const std::string& text) {
  g_errors.push_back(text);
  g_most_boxes_open = std::max(g_most_boxes_open, ++g_boxes_open);
  WaitUntil([] { return false; }, 1000);
  --g_boxes_open;
}

TEST_F(CharacterWindow, ErrorBoxesDoNotStack) {
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  ScriptedResults bad;
  for (int i = 999; i >= 0; --i) bad.queued.push_back("Bad Result x" + std::to_string(i));
  form.Results = &bad;
  SetGeneralErrorDisplay(SlowBox);
  form.Timer2.SetInterval(1);
  ASSERT_TRUE(WaitUntil([&] { return bad.queued.empty() && g_boxes_open == 0; }, 120000));
  EXPECT_EQ(g_most_boxes_open, 1);
  int told = 0;
  for (const std::string& error : g_errors) {
    const int more = told ? std::stoi(error.substr(sizeof "ほかに " - 1)) : 1;
    told += more;
    const std::string lead = told > 1 ? "ほかに " + std::to_string(more) + " 件のエラーがありました．\r\n\r\n" : "";
    EXPECT_EQ(error, lead + "'x" + std::to_string(told - 1) + "' は整数ではありません");
  }
  EXPECT_EQ(told, 1000);
  form.Results = nullptr;
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

// A lost window comes back on the messages that say the screens changed, and only then; a window within
// reach keeps its place.
TEST_F(CharacterWindow, ScreenChangesBringLostWindowsBack) {
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  HWND calendar = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 238, 190, nullptr, nullptr, nullptr, nullptr);
  form.CalendarWindow = calendar;
  auto place = [](HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
  };
  auto move = [](HWND w, int x, int y) {
    SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  auto on_screen = [&](HWND w) {
    RECT r = place(w);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR m = MonitorFromRect(&r, MONITOR_DEFAULTTONULL);
    if (!m || !GetMonitorInfoW(m, &info)) return false;
    RECT inside{};
    IntersectRect(&inside, &r, &info.rcWork);
    return EqualRect(&inside, &r) != 0;
  };
  const struct {
    UINT msg;
    WPARAM wp;
    bool brings_back;
  } cases[] = {
      {WM_DISPLAYCHANGE, 32, true},
      {WM_SETTINGCHANGE, SPI_SETWORKAREA, true},
      {WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.msg << " " << c.wp);
    move(form.Handle(), 5000, 4000);
    move(calendar, -3000, 100);
    SendMessageW(form.Handle(), c.msg, c.wp, 0);
    EXPECT_EQ(c.brings_back, on_screen(form.Handle()));
    EXPECT_EQ(c.brings_back, on_screen(calendar));
    if (c.brings_back) {
      EXPECT_EQ(100, place(calendar).top);  // moved no further than needed
      EXPECT_EQ(0, place(calendar).left);
    }
  }
  // Half off the screen but within reach: both stay.
  move(form.Handle(), -60, 10);
  move(calendar, 20, -150);
  SendMessageW(form.Handle(), WM_DISPLAYCHANGE, 32, 0);
  EXPECT_EQ(-60, place(form.Handle()).left);
  EXPECT_EQ(-150, place(calendar).top);
  DestroyWindow(calendar);
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

std::vector<NOTIFYICONDATAW> g_infos;
BOOL WINAPI AcceptTray(DWORD, PNOTIFYICONDATAA) { return TRUE; }
BOOL WINAPI RecordInfo(DWORD, PNOTIFYICONDATAW record) { return g_infos.push_back(*record), TRUE; }

// A full-screen program takes the character and calendar away and its end brings them back; the user's
// hide outlasts it. While hidden, what plug-ins say reaches the tray as a notification; the announcement,
// and anything said while shown, do not.
TEST_F(CharacterWindow, StepsAsideForFullScreenAndNotifiesWhileHidden) {
  TTaskTray::SetNotifyFunction(AcceptTray);
  TTaskTray::SetInfoNotifyFunction(RecordInfo);
  std::optional<int> shell_state = 5;  // accepts notifications
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  form.QueryNotificationState = [&] { return shell_state; };
  ScriptedResults results;
  form.Results = &results;
  // A stand-in that never takes the focus, like the real one (Wine waits seconds on windows that do).
  HWND calendar = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50,
                                  nullptr, nullptr, nullptr, nullptr);
  form.CalendarWindow = calendar;
  form.Settings.ShowCalender = true;
  form.TaskTray1DblClick();  // shows the calendar
  form.Timer1.SetInterval(50);
  form.Timer2.SetInterval(50);
  auto shown = [&] { return IsWindowVisible(form.Handle()) && IsWindowVisible(calendar); };
  // The shell is asked only after the system tells of a change in front, as its full-screen notice does.
  const auto shell_says = [&](int state) {
    shell_state = state;
    PostMessageW(form.Handle(), TForm3::kFullScreenNotice, ABN_FULLSCREENAPP, 0);
  };
  WaitUntil([] { return false; }, 200);  // the start's own ask
  shell_state = 3;
  WaitUntil([] { return false; }, 1200);
  EXPECT_TRUE(shown());
  shell_says(3);  // full-screen Direct3D
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(form.Handle()) && !IsWindowVisible(calendar); }, 5000));
  results.queued = {"Fennick CheckMail 000 メールが3通きています． abcdefghijklmnopqrstuvwxy"};
  ASSERT_TRUE(WaitUntil([&] { return g_infos.size() == 1; }, 5000));
  form.Announce();
  EXPECT_EQ(NarrowToSjis(g_infos[0].szInfoTitle) + ": " + NarrowToSjis(g_infos[0].szInfo),
            "Mokuna: メールが3通きています．\r\nabcdefghijklmnopqrst\r\nuvwxy");
  EXPECT_EQ(g_infos[0].uFlags, static_cast<UINT>(NIF_INFO));
  shell_says(5);
  ASSERT_TRUE(WaitUntil(shown, 5000));
  results.queued = {"Fennick CheckMail 000 shown"};
  ASSERT_TRUE(WaitUntil([&] { return results.queued.empty(); }, 5000));
  form.Hide1Click();
  for (int state : {2, 5}) shell_says(state), WaitUntil([] { return false; }, 1200);
  EXPECT_FALSE(IsWindowVisible(form.Handle()) || IsWindowVisible(calendar));
  EXPECT_EQ(g_infos.size(), 1u);
  form.TaskTray1DblClick();
  EXPECT_TRUE(shown());
  form.Results = nullptr;
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  DestroyWindow(calendar);
  TTaskTray::SetNotifyFunction(nullptr);
  TTaskTray::SetInfoNotifyFunction(nullptr);
}

// A move to a monitor of another scale, as the system reports it: the character takes the suggested place
// and its picture's scaled size (the outline at each scale is the picture's own test), and the balloon
// stands beside it at the same scale.
TEST_F(CharacterWindow, ScaleChangeResizesTheCharacterAndPlacesTheBalloon) {
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "top=300\r\nLeft=400\r\n[DLLlist]\r\n"));
  ASSERT_TRUE(folder_.CopyIn(L"pictures\\fukidasi.bmp"));
  TForm3 form;
  ASSERT_TRUE(form.Create(nullptr));
  TForm4 balloon;
  ASSERT_TRUE(balloon.Create(form.Handle()));
  form.Serifu.SetBalloon(&balloon);
  form.AddSerifu("hello");
  for (const int dpi : {120, 144, 192, 96}) {
    SCOPED_TRACE(dpi);
    RECT suggested{410, 310, 410 + Scale(117, dpi), 310 + Scale(103, dpi)};
    SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    const RECT r = WindowRect(form);  // the picture (116 x 102) + 1, scaled
    EXPECT_TRUE(EqualRect(&r, &suggested));
    RECT b{};
    GetWindowRect(balloon.Handle(), &b);
    const FukidasiSpot spot = PlaceBeside(410, 310, Scale(116, dpi), Scale(102, dpi),
                                          Scale(balloon.CoolForm1.PictureWidth(), dpi),
                                          Scale(balloon.CoolForm1.PictureHeight(), dpi));
    EXPECT_EQ(std::make_pair(spot.left, spot.top), (std::pair<int, int>(b.left, b.top)));
  }
  form.Serifu.SetBalloon(nullptr);
}

// The client area's pixels (0x00RRGGBB) as the character's paint draws them (the frame in place, or the
// picture), or with on_screen as the window shows them once its repaints are done.
std::vector<std::uint32_t> Painted(const TForm3& form, bool on_screen = false) {
  RECT c{};
  GetClientRect(form.Handle(), &c);
  BITMAPINFO bmi{{sizeof(BITMAPINFOHEADER), c.right, -c.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  std::uint32_t* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
  if (on_screen) {
    WaitUntil([&] { return !GetUpdateRect(form.Handle(), nullptr, FALSE); }, 5000);
    HDC window = GetDC(form.Handle());
    BitBlt(dc, 0, 0, c.right, c.bottom, window, 0, 0, SRCCOPY);
    ReleaseDC(form.Handle(), window);
  } else {
    SendMessageW(form.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  }
  std::vector<std::uint32_t> out(bits, bits + c.right * c.bottom);
  DeleteObject(SelectObject(dc, old));
  DeleteDC(dc);
  for (auto& p : out) p &= 0xFFFFFF;
  return out;
}

// Frames at 96 and 144 DPI: the test's blink frame inverts the picture's colours, its talk frame is green; inside
// the outline a frame shows at the picture's mapping (within rounding), outside it the picture stays. The mouth
// is open as a line enters the balloon and ends closed; hidden, the picture shows, no timer runs. A frame of
// another size or unreadable is left out and said once; with none, or Animate=0, nothing runs.
TEST_F(CharacterWindow, FramesKeepToTheOutlineAndTheMouthMovesAsALineEnters) {
  HDC picture = CreateCompatibleDC(nullptr);
  HGDIOBJ loaded = SelectObject(picture, LoadImageW(nullptr, L"climon.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  const auto inverted = [&](int x, int y) { return ~GetPixel(picture, x, y) & 0xFFFFFF; };
  enum Kind { kNone, kInverted, kGreen, kSmall, kJunk };
  const std::string files[] = {"", masktest::BitmapFileBytes(116, 102, inverted),
                               masktest::BitmapFileBytes(116, 102, [](int, int) { return RGB(0, 255, 0); }),
                               masktest::BitmapFileBytes(10, 10, inverted), "BM not a bitmap"};
  DeleteObject(SelectObject(picture, loaded));
  DeleteDC(picture);
  const struct { int dpi; Kind blink, talk; const char *ini, *error; } cases[] = {  // error: the one box says it
      {96, kInverted, kGreen, "", ""},
      {144, kInverted, kGreen, "", ""},
      {144, kSmall, kGreen, "", "climon-blink.bmp は 10 × 10 で"},
      {96, kInverted, kJunk, "", "ファイル climon-talk.bmp は開けません"},
      {96, kInverted, kGreen, "Animate=0\r\n", ""},
      {144, kNone, kNone, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.dpi) + " " + std::to_string(c.blink) + std::to_string(c.talk) + c.ini);
    g_errors.clear();
    for (const auto& [kind, name] : {std::pair{c.blink, L"climon-blink.bmp"}, std::pair{c.talk, L"climon-talk.bmp"}})
      ASSERT_TRUE((DeleteFileW(name), kind == kNone) || masktest::WriteBytes(name, files[kind]));
    ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", std::string(c.ini) + "[DLLlist]\r\n"));
    TForm3 form;
    ASSERT_TRUE(form.Create(nullptr));
    form.Timer1.SetInterval(20);
    RECT suggested{100, 100, 100 + Scale(117, c.dpi), 100 + Scale(103, c.dpi)};
    if (c.dpi != 96) SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(g_errors.size(), *c.error ? 1u : 0u);
    EXPECT_NE((g_errors.empty() ? std::string() : g_errors[0]).find(c.error), std::string::npos);
    const bool on = !*c.ini, blinks = on && c.blink == kInverted, talks = on && c.talk == kGreen;
    EXPECT_EQ(form.AnimationTimer.Running(), blinks);  // between lines only blinks are due
    form.CoolForm1.SetFrame(nullptr);
    const std::vector<std::uint32_t> still = Painted(form);
    HRGN outline = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(form.Handle(), outline), ERROR);
    const int width = Scale(117, c.dpi);  // the client area (the picture + 1)
    // each pixel against what kind makes of it, and inside the outline the window shows it
    const auto shows = [&](CharacterFrame frame, Kind kind) {
      form.Frames.Show(form.CoolForm1, frame);
      const std::vector<std::uint32_t> shot = Painted(form), seen = Painted(form, true);
      for (int i = 0, x = 0, y = 0; i < static_cast<int>(shot.size()); x = ++i % width, y = i / width) {
        if (seen[i] != shot[i] && PtInRegion(outline, x, y))
          return ADD_FAILURE() << x << "," << y << " shows " << std::hex << seen[i] << " for " << shot[i], shot;
        const bool in = (kind == kInverted || kind == kGreen) && PtInRegion(outline, x, y) &&
                        x < Scale(116, c.dpi) && y < Scale(102, c.dpi);
        const std::uint32_t want = !in ? still[i] : kind == kGreen ? 0x00FF00 : ~still[i] & 0xFFFFFF;
        for (int k = 0; k < 24; k += 8)
          if (std::abs(static_cast<int>((shot[i] >> k & 0xFF) - (want >> k & 0xFF))) > in)
            return ADD_FAILURE() << x << "," << y << ": " << std::hex << shot[i] << " for " << want, shot;
      }
      return shot;
    };
    const auto blinking = shows({true, false}, on ? c.blink : kNone), talking = shows({false, true}, on ? c.talk : kNone);
    const auto both = shows({true, true}, blinks && talks ? kInverted : talks ? kGreen : on ? c.blink : kNone);
    shows({false, false}, kNone);
    DeleteObject(outline);
    form.AddSerifu("hello");  // 5 characters: 400 ms of talking
    ASSERT_TRUE(WaitUntil([&] { return !form.Serifu.Queue().FukidasiLines().empty(); }, 5000));
    const auto entering = Painted(form);
    EXPECT_TRUE(talks ? entering == talking || entering == both : entering == still || entering == blinking);
    WaitUntil([] { return false; }, 600);
    const auto after = Painted(form);
    EXPECT_TRUE(after == still || after == blinking);
    form.Hide1Click();
    EXPECT_TRUE(!form.AnimationTimer.Running() && Painted(form) == still);
    form.TaskTray1DblClick();
    EXPECT_EQ(form.AnimationTimer.Running(), blinks);
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  }
}

// One name per folder whatever its spelling; its first holder keeps it until it ends, and a later one is
// refused (the request that refusal sends is followed end to end, by starting the program twice).
TEST(FolderInstance, OneHolderPerFolder) {
  testsupport::ScratchFolder folder{L"mokuna-instance"};
  const std::wstring name = FolderInstance::NameForCurrentFolder();
  wchar_t here[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, here);
  std::wstring other_case = here;
  for (wchar_t& c : other_case) c = static_cast<wchar_t>(iswupper(c) ? towlower(c) : towupper(c));
  ASSERT_TRUE(SetCurrentDirectoryW((other_case + L"\\").c_str()));
  EXPECT_EQ(name, FolderInstance::NameForCurrentFolder());
  ASSERT_TRUE(SetCurrentDirectoryW(L".."));
  EXPECT_NE(name, FolderInstance::NameForCurrentFolder());
  SetCurrentDirectoryW(here);
  {
    FolderInstance first, second, elsewhere;
    ASSERT_TRUE(first.Claim(name));
    EXPECT_FALSE(second.Claim(name));
    EXPECT_TRUE(elsewhere.Claim(name + L"x"));
  }
  FolderInstance next;
  EXPECT_TRUE(next.Claim(name));
}

}  // namespace
}  // namespace mokuna
