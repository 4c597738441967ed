// TForm3, the character window: the main window of the program. It shows the character picture cut to
// its outline, owns the host settings, drives the program with its timers and ends the program when it
// closes.
//
// Where things go:
//   FormCreate   the creation handler, one numbered step per line; a failing step ends it (the general
//                error handler shows the message and the window stays as designed).
//   FormClose    shutdown: edll.ini, tray icon, freeForm, in that order.
//   OnTimer      Timer1 -> RefreshSerifu, Timer2 -> DispatchResultString, WatchTimer -> WatchTimerTimer.
//   OnCommand    the PopupMenu1 items (kDebug1 ... kExit1) and the plug-in submenu (kFirstDllItem + i).
//   HandleMessage every other message, each to a handler of its own.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CharacterFrames.h"
#include "CoolForm.h"
#include "FullScreenWatch.h"
#include "TaskTray.h"
#include "TimeLabel.h"
#include "UI4.h"
#include "Window.h"
#include "animation.h"
#include "host_settings.h"
#include "presence.h"
#include "result_dispatch.h"
#include "settings_apply.h"

namespace mokuna {

class TForm3 : public Window {
 public:
  // Timer identifiers (WM_TIMER wParam) and menu command identifiers (WM_COMMAND).
  enum : UINT_PTR { kTimer1 = 1, kTimer2 = 2, kWatchTimer = 3, kAnimationTimer = 4 };
  enum : UINT {
    kDebug1 = 100, kN4, kN2, kDLL1, kN1, kN5, kN3, kAbout1, kHide1, kExit1,
    kFirstDllItem = 1000,  // the plug-in submenu: item i has the command kFirstDllItem + i
  };
  // Posted by the listener of a later start in the same folder: show the windows as the tray does.
  static constexpr UINT kShowRequest = WM_APP + 1;
  // A full-screen program may have come or gone (FullScreenWatch; wParam says which event).
  static constexpr UINT kFullScreenNotice = WM_APP + 2;
  // The window as designed, before the picture gives it its size.
  static constexpr int kDesignClientWidth = 117;
  static constexpr int kDesignClientHeight = 103;

  TForm3();
  ~TForm3() override;

  // Creates the window, runs FormCreate and shows it. The first window created is the main window.
  bool Create(HWND owner);

  // --- Process-wide state of the unit ---------------------------------------------------------------
  // The host settings. Top, Left, LocalPolling and EventPolling here are the values read at start-up;
  // while the program runs they live in the window and its timers (see CurrentSettings).
  HostSettings Settings;
  bool IsSpeaking = false;  // something is being said (speech refresh)
  bool IsShown = true;      // false while the character is hidden (by the user or for a full-screen program)
  // Why the character is hidden: the user's hide wins over the return after a full-screen program.
  CharacterPresence Presence;
  // The shell's user notification state, asked on Timer1 (at most once a second) after the system has
  // told of a change in front (kFullScreenNotice), and once at start-up, while HideOnFullScreen is on;
  // nothing when unknown. Replaceable for tests.
  std::function<std::optional<int>()> QueryNotificationState;
  // The speech queue and the balloon beside the character (UI4); keeps IsSpeaking up to date.
  TSerifu Serifu{Settings};
  double LastClickTime = 0; // last left release that did not announce (date-time)
  // The calendar window once it exists; its place is written at exit.
  HWND CalendarWindow = nullptr;

  // The settings as they are now: the host settings with the window's position, the timers' intervals
  // and the calendar's place. This is what shutdown writes.
  HostSettings CurrentSettings() const;

  // Where Timer2 takes the result strings from; null: the scheduler library. Replaceable for tests.
  ResultSource* Results = nullptr;

  // --- Components -------------------------------------------------------------------------------------
  TCoolForm CoolForm1;
  HMENU PopupMenu1 = nullptr;
  HMENU DLL1 = nullptr;  // the plug-in submenu under "拡張DLL"
  WindowTimer Timer1{kTimer1, 500};
  WindowTimer Timer2{kTimer2, 500};
  WindowTimer WatchTimer{kWatchTimer, 100};
  TTimeLabel TimeLabel;            // the clock over the character
  TTaskTray TaskTray1{nullptr};    // the tray icon; right button: PopupMenu1

  // --- The living character: blinking, and the mouth while a line enters the balloon ----------------
  // Only with Animate on and frame files beside the picture; otherwise AnimationTimer never runs. It is a
  // one-shot timer set to the next change of frame, and off while the character is hidden.
  TCharacterFrames Frames;
  CharacterAnimation Animation{false, false, 0};
  WindowTimer AnimationTimer{kAnimationTimer, 0};

  // --- Character commands: clicks, announcement, hide and show again ---------------------------------
  int DownLeft = 0, DownTop = 0;   // the window's place at the last press on the character
  SpeechSink* Speech = nullptr;    // where the announcement's lines go (AddSerifu)
  HWND BalloonWindow = nullptr;    // the balloon, hidden and shown with the character
  void Announce();                 // today's date and the time as two speech lines

  // --- Handlers -----------------------------------------------------------------------------------------
  void FormCreate();
  void FormShow();
  // Shutdown. Runs once; the window is destroyed afterwards and the message loop ends.
  void FormClose();

  void AddSerifu(const std::string& text);  // queues a text as speech lines
  void PlaceFukidasi();                     // the balloon beside the character
  void RefreshSerifu();         // Timer1: speech lines into the balloon
  void DispatchResultString();  // Timer2: result strings from the scheduler library
  void WatchTimerTimer();       // WatchTimer: the clock over the character

  void CoolForm1MouseDown(TCoolForm::TMouseButton button, TCoolForm::TShiftState shift, int x, int y);
  void CoolForm1MouseUp(TCoolForm::TMouseButton button, TCoolForm::TShiftState shift, int x, int y);

  void Debug1Click();
  void N4Click();
  void N1Click();
  void N5Click();
  void About1Click();
  void Hide1Click();
  void Exit1Click();
  void SubMenu1Click(int index);  // an item of the plug-in submenu
  void TaskTray1DblClick();
  // Timer1: steps aside while a full-screen program is in front, comes back when it has gone.
  void CheckFullScreen();
  // What the system told: the shell's full-screen notice (ABN_FULLSCREENAPP) or a change of the window in
  // front (FullScreenWatch::kWindowEvent). The shell is asked now and again a second later, as its state
  // may follow the window a little late.
  void FullScreenNotice(WPARAM what);
  // Brings the character and the calendar back onto the nearest monitor's work area when either shows
  // less than a 32 x 32 part of itself on every monitor; a window within reach keeps its place.
  void KeepWindowsReachable();

  // What the settings dialog (UI2) applies to: the host settings, the timers, the calendar window with
  // the N5 caption, the clock and the plug-in submenu, which is rebuilt from the new DllList.
  SettingsTarget& SettingsLink();

  // edll.ini as read at start-up: what the write at exit keeps of it.
  HostIniFile HostIni;
  // Writes edll.ini from CurrentSettings (not at all when it could not be read at start-up). On failure
  // asks Retry or Cancel; false after Cancel.
  bool SaveHostSettings();
  // Asks whether to retry a failed save: the message (Shift-JIS) in a Retry/Cancel box; gives IDRETRY or
  // IDCANCEL. Replaceable for tests.
  std::function<int(HWND owner, const std::string& text)> AskRetry;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ReadHostSettings();
  void HostKeyApplied(HostKey key);
  void CreatePopupMenu1();
  void BuildPluginMenu();
  void SetN5Caption(bool calendar_shown);
  void SetTimeLabelVisible(bool visible);
  void SetTrayIconRegistered(bool registered);
  void SetUpTaskTray1();
  void HideCharacterWindows();  // the character, the balloon and the calendar
  void ShowCharacterWindows();  // the character, and the calendar and balloon when they have something
  void MoveTo(int left, int top);
  void OnTimer(UINT_PTR id);
  void OnCommand(UINT id);
  void OnEnterSizeMove();
  void OnExitSizeMove();
  // Moved to a monitor of another scale: the suggested place, then picture, outline, clock, balloon,
  // calendar and tray icon at the new scale.
  void OnDpiChanged(int dpi, const RECT& suggested);
  void LoadFrames();
  void SetAnimationVisible(bool visible);
  void StepAnimation();  // the frame for now on screen, the timer set to the next change

  bool closing_ = false;  // shutdown has begun
  FullScreenWatch full_screen_watch_;
  int full_screen_checks_ = 1;  // asks of the shell still due; the first tick asks once
  class SettingsLinkImpl;
  std::unique_ptr<SettingsTarget> settings_link_;
};

// The character window of the process (null before start-up creates it).
extern TForm3* Form3;

}  // namespace mokuna
