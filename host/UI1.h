// TForm1, the debug entry window "EventEntry(DEBUG)": a typed text goes to the scheduler library as a new
// schedule entry or as an action carried out at once.
#pragma once

#include <windows.h>

#include "Window.h"
#include "dialog_ports.h"

namespace mokuna {

class TForm1 : public Window {
 public:
  enum : int { kEdit1 = 100, kButton1, kButton2 };

  explicit TForm1(SchedulerPort& scheduler) : scheduler_(scheduler) {}
  ~TForm1() override;

  // Creates the window hidden at its place; Debug1Click of the character window shows it.
  // owner: the application window, so that the window has no task-bar button of its own.
  bool Create(HWND owner = nullptr);
  // Or only remembers owner: the window and its controls are made at the first Show, so a program that
  // never shows them does not carry them.
  void CreateWhenShown(HWND owner) { deferred_ = true, deferred_owner_ = owner; }
  void Show();

  void Button1Click();  // エントリ入力
  void Button2Click();  // 即時実行

  HWND Control(int id) const { return GetDlgItem(Handle(), id); }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool deferred_ = false;
  HWND deferred_owner_ = nullptr;
  SchedulerPort& scheduler_;
  HFONT font_ = nullptr;
  int dpi_ = 96;  // the DPI the controls and font are made for
};

// The TForm1 of the process (null before start-up creates it).
extern TForm1* Form1;

}  // namespace mokuna
