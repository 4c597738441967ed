#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CalUnit.h"
#include "UI3.h"
#include "Window.h"
#include "announcement.h"
#include "clock.h"
#include "file_io.h"
#include "win_text.h"
#include "scratch_folder.h"
#include "tray_probe.h"

namespace mokuna {
namespace {

std::vector<std::string> g_errors;
void RecordError(const std::string& text) { g_errors.push_back(text); }

struct Notified {
  DWORD message;
  UINT id;
  HWND hwnd;
};
std::vector<Notified> g_notified;
BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAA record) {
  g_notified.push_back({message, record->uID, record->hWnd});
  return TRUE;
}

class Lines : public SpeechSink {
 public:
  void AddSerifu(const std::string& text) override { said.push_back(text); }
  std::vector<std::string> said;
};

LocalTime Noon() {
  LocalTime t;
  t.year = 2025, t.month = 1, t.day = 5, t.hour = 9, t.minute = 5, t.weekday = WeekdayOf(2025, 1, 5);
  return t;
}

// The character window, its calendar and a stand-in balloon, in an empty folder holding only the picture.
class CharacterCommands : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"mokuna-commands"};

  void SetUp() override {
    ASSERT_TRUE(folder_.CopyIn(L"pictures\\climon.bmp"));
    g_errors.clear();
    g_notified.clear();
    SetGeneralErrorDisplay(RecordError);
    TTaskTray::SetNotifyFunction(RecordNotify);
    SetCurrentClock(&clock_);
  }
  void TearDown() override {
    if (form_ && IsWindow(form_->Handle())) SendMessageW(form_->Handle(), WM_CLOSE, 0, 0);
    form_.reset();
    calendar_.reset();
    if (balloon_) DestroyWindow(balloon_);
    SetCurrentClock(nullptr);
    TTaskTray::SetNotifyFunction(nullptr);
    SetGeneralErrorDisplay(nullptr);
  }

  // Start-up as the program does it: the character window, then (later) the calendar.
  TForm3& Start(const char* ini = nullptr) {
    if (ini) fileio::WriteFileAtomic("edll.ini", ini);
    form_ = std::make_unique<TForm3>();
    EXPECT_TRUE(form_->Create(nullptr));
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
    form_->Speech = &lines_;
    balloon_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
    form_->BalloonWindow = balloon_;
    calendar_ = std::make_unique<TCalForm>();
    calendar_->FormCreate(form_->Settings.CalX, form_->Settings.CalY, form_->Settings.ShowCalender);
    form_->CalendarWindow = calendar_->Handle();
    return *form_;
  }

  void Command(UINT id) { SendMessageW(form_->Handle(), WM_COMMAND, id, 0); }
  std::string N5Caption() const {
    wchar_t text[64] = {};
    GetMenuStringW(form_->PopupMenu1, TForm3::kN5, text, 64, MF_BYCOMMAND);
    return NarrowToSjis(text);
  }
  void TrayCallback(UINT mouse_message) {
    SendMessageW(testsupport::TrayNotifyWindow(), kTrayCallbackMessage, form_->TaskTray1.IconID(), mouse_message);
  }
  void Click(int move_by = 0) {
    form_->CoolForm1MouseDown(TCoolForm::mbLeft, TCoolForm::ssLeft, 10, 10);
    if (move_by) {
      RECT r;
      GetWindowRect(form_->Handle(), &r);
      SetWindowPos(form_->Handle(), nullptr, r.left + move_by, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    form_->CoolForm1MouseUp(TCoolForm::mbLeft, 0, 10, 10);
  }

  FakeClock clock_{Noon()};
  Lines lines_;
  std::unique_ptr<TForm3> form_;
  std::unique_ptr<TCalForm> calendar_;
  HWND balloon_ = nullptr;
};

TEST_F(CharacterCommands, CalendarToggleTwiceRestoresCaptionSettingAndVisibility) {
  TForm3& form = Start();
  EXPECT_EQ(N5Caption(), "カレンダー表示");
  EXPECT_FALSE(calendar_->Visible());
  Command(TForm3::kN5);
  EXPECT_EQ(N5Caption(), "カレンダー非表示");
  EXPECT_TRUE(form.Settings.ShowCalender);
  EXPECT_TRUE(calendar_->Visible());
  Command(TForm3::kN5);
  EXPECT_EQ(N5Caption(), "カレンダー表示");
  EXPECT_FALSE(form.Settings.ShowCalender);
  EXPECT_FALSE(calendar_->Visible());
}

TEST_F(CharacterCommands, HideThenTrayDoubleClickBringsTheWindowsBack) {
  TForm3& form = Start("ShowCalender=1\r\n");
  EXPECT_TRUE(calendar_->Visible());
  ShowWindow(balloon_, SW_SHOWNOACTIVATE);
  Command(TForm3::kHide1);
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
  EXPECT_FALSE(IsWindowVisible(balloon_));
  EXPECT_FALSE(calendar_->Visible());
  EXPECT_FALSE(form.IsShown);
  EXPECT_TRUE(form.Settings.ShowCalender);  // hiding keeps the setting

  // Nothing is being said: the character and the calendar come back, the balloon stays hidden.
  form.IsSpeaking = false;
  TrayCallback(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_TRUE(calendar_->Visible());
  EXPECT_FALSE(IsWindowVisible(balloon_));
  EXPECT_TRUE(form.IsShown);

  // A right double click does the same, and shows the balloon while speaking.
  Command(TForm3::kHide1);
  form.IsSpeaking = true;
  TrayCallback(WM_RBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_TRUE(IsWindowVisible(balloon_));

  // With the calendar switched off it stays away.
  Command(TForm3::kN5);
  Command(TForm3::kHide1);
  TrayCallback(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_FALSE(calendar_->Visible());
}

TEST_F(CharacterCommands, QuickSecondClickAnnouncesAndDragsDoNot) {
  Start();
  Click();
  EXPECT_TRUE(lines_.said.empty());
  clock_.AdvanceMs(200);
  Click();
  ASSERT_EQ(lines_.said.size(), 2u);
  EXPECT_EQ(lines_.said[0], "今日は，1月5日(日曜日)，");
  EXPECT_EQ(lines_.said[1], "ただいま，9時5分です．");

  // Released 300 ms after the last click: nothing.
  lines_.said.clear();
  clock_.AdvanceMs(300);
  Click();
  EXPECT_TRUE(lines_.said.empty());
  // A quick release that ends a move of the window says nothing either.
  clock_.AdvanceMs(100);
  Click(25);
  EXPECT_TRUE(lines_.said.empty());
  // The right button never counts.
  clock_.AdvanceMs(100);
  form_->CoolForm1MouseDown(TCoolForm::mbRight, TCoolForm::ssRight, 10, 10);
  form_->CoolForm1MouseUp(TCoolForm::mbRight, 0, 10, 10);
  EXPECT_TRUE(lines_.said.empty());
  clock_.AdvanceMs(100);
  Click();
  EXPECT_EQ(lines_.said.size(), 2u);  // 200 ms after the drag's release
}

TEST_F(CharacterCommands, ClockShowsWithShowTimeAndBlinks) {
  LocalTime t = Noon();
  t.hour = 12, t.minute = 0, t.second = 0, t.millisecond = 700;
  clock_.Set(t);
  TForm3& form = Start("ShowTime=1\r\n");
  EXPECT_TRUE(form.TimeLabel.Visible());
  EXPECT_TRUE(form.WatchTimer.Enabled());
  form.WatchTimerTimer();
  EXPECT_EQ(form.TimeLabel.Text(), "12:00");
  clock_.AdvanceMs(500);
  form.WatchTimerTimer();
  EXPECT_EQ(form.TimeLabel.Text(), "12 00");
  // The label sits at its design place: the default picture keeps the window at 117 x 103.
  RECT r;
  GetWindowRect(form.TimeLabel.Handle(), &r);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 32);
  EXPECT_EQ(r.top, 32);
}

TEST_F(CharacterCommands, TrayIconLivesFromCreationToShutdownAndCalendarPlaceIsSaved) {
  TForm3& form = Start();
  ASSERT_FALSE(g_notified.empty());
  EXPECT_EQ(g_notified.front().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_TRUE(form.TaskTray1.Registered());
  EXPECT_EQ(form.TaskTray1.PopupMenuR(), form.PopupMenu1);
  EXPECT_EQ(form.TaskTray1.PopupMenuL(), nullptr);

  SetWindowPos(calendar_->Handle(), nullptr, 345, 67, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  g_notified.clear();
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  ASSERT_EQ(g_notified.size(), 1u);
  EXPECT_EQ(g_notified[0].message, static_cast<DWORD>(NIM_DELETE));
  std::string ini;
  ASSERT_TRUE(fileio::ReadFile("edll.ini", ini));
  EXPECT_NE(ini.find("\r\nCalX=345\r\nCalY=67\r\n"), std::string::npos) << ini;
}

}  // namespace
}  // namespace mokuna
