// Shows one of the dialogs on screen for a while, for looking at it: dialogs_preview settings1|settings2|
// about|about-open|debug [seconds].
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "Dpi.h"
#include "UI1.h"
#include "UI2.h"
#include "UI5.h"

namespace {

class NoTarget : public mokuna::SettingsTarget {
  void SetLocalPolling(int) override {}
  void SetSerifuInterval(int) override {}
  void SetFukidasiInterval(int) override {}
  void SetEventPolling(int) override {}
  void SetMokunaImage(const std::string&) override {}
  void SetMaxSpeaking(int) override {}
  void SetDllList(const std::vector<std::string>&) override {}
  void SetShowCalender(bool) override {}
  void SetShowTime(bool) override {}
};

class NoScheduler : public mokuna::SchedulerPort {
  bool IsResult() override { return false; }
  std::string GetResults() override { return {}; }
  void AddEntry(const std::string&) override {}
  void DirectAction(const std::string&) override {}
  void PropertyPage(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  // Aware of the monitor's scale, as the program's manifest makes it.
  const mokuna::ThreadDpiAwareness aware(mokuna::ThreadDpiAwareness::Kind::PerMonitorV2);
  const char* what = argc > 1 ? argv[1] : "settings1";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
  NoTarget target;
  NoScheduler scheduler;
  mokuna::HostSettings values;
  values.DllList = {"Kavrel", "Fennick"};
  values.ShowCalender = true;
  mokuna::TForm2 settings(target, values);
  mokuna::TForm5 about;
  mokuna::TForm1 debug(scheduler);
  HWND shown = nullptr;
  if (std::strncmp(what, "settings", 8) == 0) {
    settings.Create();
    if (std::strcmp(what, "settings2") == 0) {
      HWND tabs = settings.Control(mokuna::TForm2::kPageControl1);
      SendMessageW(tabs, TCM_SETCURSEL, 1, 0);
      NMHDR change{tabs, static_cast<UINT_PTR>(mokuna::TForm2::kPageControl1), static_cast<UINT>(TCN_SELCHANGE)};
      SendMessageW(settings.Handle(), WM_NOTIFY, mokuna::TForm2::kPageControl1, reinterpret_cast<LPARAM>(&change));
    }
    shown = settings.Handle();
  } else if (std::strncmp(what, "about", 5) == 0) {
    about.Create();
    if (std::strcmp(what, "about-open") == 0) about.Button2Click();
    shown = about.Handle();
  } else {
    debug.Create();
    shown = debug.Handle();
  }
  ShowWindow(shown, SW_SHOW);
  SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
