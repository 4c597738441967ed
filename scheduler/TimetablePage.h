// The library's own settings page: a small window on the host's thread that lists the timetable and lets
// the user remove an entry. Modeless, so the host's timers and the plug-in calls go on while it is open.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "WindowBase.h"

namespace kavrel {

class Engine;

class TimetablePage : public mokuna::Window {
 public:
  // Posted (from any thread) when the timetable changed.
  static constexpr UINT kRefreshMessage = WM_APP + 1;

  explicit TimetablePage(Engine& engine) : engine_(engine) {}
  ~TimetablePage();
  TimetablePage(const TimetablePage&) = delete;
  TimetablePage& operator=(const TimetablePage&) = delete;

  // Creates the window if it is not open, fills the list and brings it to the front.
  void Show();

  // The class lives in this DLL; it must not outlive freeForm.
  static void UnregisterWindowClass();

 private:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnCreate();
  void Refresh();
  void RemoveClick();
  void UpdateButtons();

  Engine& engine_;
  HWND label_ = nullptr;
  HWND list_ = nullptr;
  HWND remove_ = nullptr;
  HWND close_ = nullptr;
  HFONT font_ = nullptr;
  int dpi_ = 96;  // the DPI the controls and font are made for
  std::vector<std::string> shown_;  // the entry texts in list order
};

}  // namespace kavrel
