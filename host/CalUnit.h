// TCalForm, the calendar window: a small tool window with one month as a grid of day numbers over the
// background picture back.bmp, Sundays and holidays red, Saturdays blue, today marked yellow. Its pop-up
// menu steps to the previous month, back to this month, or to the next. Closing it only hides it.
#pragma once

#include <windows.h>

#include <string>

#include "Window.h"
#include "calendar.h"

namespace mokuna {

class TCalForm : public Window {
 public:
  enum : UINT { kN3 = 200, kN5, kN4 };  // menu commands: previous, this, next month
  static constexpr int kClientWidth = 232;
  static constexpr int kClientHeight = 160;

  TCalForm() = default;
  ~TCalForm() override;

  // Builds the window hidden, loads back.bmp (a missing or unreadable picture leaves the plain window
  // colour), shows the current month, moves to (cal_x, cal_y) and shows itself when show is set.
  // owner: the window that keeps it off the task bar.
  bool FormCreate(int cal_x, int cal_y, bool show, HWND owner = nullptr);

  void N3Click();  // previous month
  void N4Click();  // next month
  void N5Click();  // this month

  // The window, its picture, fonts and text at dpi / 96 of their design size; the top-left corner stays.
  void SetDpi(int dpi);
  int Dpi() const { return dpi_; }

  void Show();
  void Hide();
  bool Visible() const;
  // The window's current top-left corner, written to edll.ini as CalX and CalY.
  int Left() const;
  int Top() const;

  // What the window shows, for its users and tests.
  const CalendarMonth& Month() const { return month_; }
  const ShownMonth& Shown() const { return shown_; }
  bool HasBackground() const { return background_ != nullptr; }
  HMENU PopupMenu1() const { return popup_; }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Display();
  void Paint(HDC dc);
  void MakeFonts();
  SIZE FrameSize() const;

  HBITMAP background_ = nullptr;
  int background_width_ = 0, background_height_ = 0;
  HFONT day_font_ = nullptr, heading_font_ = nullptr, label_font_ = nullptr;
  HMENU popup_ = nullptr;
  int dpi_ = 96;
  ShownMonth shown_;
  CalendarMonth month_;
};

// The calendar window of the process (null until start-up creates it).
extern TCalForm* CalForm;

}  // namespace mokuna
