// The main program's general error handler, window placing, timers and application object, over the
// shared window base.
#pragma once

#include <windows.h>

#include <string>

#include "WindowBase.h"
#include "window_place.h"

namespace mokuna {

// Shows text (Shift-JIS) in a message box captioned with the application title. The general error
// handler; the program goes on afterwards.
void ShowGeneralError(const std::string& sjis_text);

// Tests replace the message box with a recorder (nullptr restores the box). Returns the previous one.
using GeneralErrorDisplay = void (*)(const std::string& sjis_text);
GeneralErrorDisplay SetGeneralErrorDisplay(GeneralErrorDisplay display);

// The system's rectangle as the portable placing code takes it.
inline ScreenRect ToScreenRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// The work area of the monitor nearest to r; false when the system cannot tell.
bool WorkAreaNear(const RECT& r, RECT& work);

// Moves a window that shows less than a 32 x 32 part of itself on every monitor into the work area of the
// nearest one; true when it moved.
bool MoveIntoReach(HWND window);

// A window-message timer of one window, identified by id: its ticks arrive as WM_TIMER with wParam = id.
// Like a timer component it has an interval and an on/off switch; it ticks only while it is enabled, its
// interval is above 0 and its window exists. Changing either takes effect at once.
class WindowTimer {
 public:
  WindowTimer(UINT_PTR id, int interval_ms) : id_(id), interval_(interval_ms) {}
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;
  ~WindowTimer() { SetEnabled(false); }

  // The window that receives the ticks; the timer starts if it is already enabled.
  void Attach(HWND window);
  UINT_PTR Id() const { return id_; }
  int Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }
  bool Running() const { return running_; }
  void SetInterval(int ms);
  void SetEnabled(bool enabled);
  // Enabled with interval ms, the next tick ms from now: one call to the system, where turning it off and
  // on again would take two.
  void Restart(int ms);

 private:
  void Update();
  UINT_PTR id_;
  int interval_;
  bool enabled_ = false;
  bool running_ = false;
  HWND window_ = nullptr;
};

// The application object: a hidden top-level window that owns the main window. An owned window gets no
// task-bar button, so hiding this one leaves the program without one. Its title is the application title.
class TApplication : public Window {
 public:
  // What a window's handler throws goes to the general error handler.
  TApplication() { SetErrorReporter(ShowGeneralError); }
  void Initialize();
  void SetTitle(const std::string& sjis_title);
  // The main window: when it is destroyed the message loop ends.
  void SetMainWindow(HWND window) { main_window_ = window; }
  HWND MainWindow() const { return main_window_; }
  // Runs the message loop until the main window has been destroyed; returns the exit code.
  int Run();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HWND main_window_ = nullptr;
};

// The one application object of the process.
extern TApplication Application;

}  // namespace mokuna
