// The settings dialog's model: what its controls hold, how they are filled, and how applying copies them
// into the running program.
#pragma once

#include <string>
#include <vector>

#include "host_settings.h"

namespace mokuna {

// The dialog's controls. The numeric edits hold text as typed.
struct SettingsForm {
  std::string eself, eserifu, efukidasi, eevent;  // Timer1, SerifuInterval, FukidasiInterval, Timer2
  std::string edit1;                              // picture path
  std::string edit3;                              // MaxSpeaking
  std::vector<std::string> list_box1;             // DllList
  bool check_box1 = false;                        // ShowCalender
  bool check_box2 = false;                        // ShowTime
};

// The controls as filled from the running program's settings (timer intervals included).
SettingsForm FormFromValues(const HostSettings& values);

// What applying changes in the program, one call per step. The program's implementation makes the timer
// intervals effective at once, shows or hides the calendar and the clock, and rebuilds the plug-in
// submenu from the new list.
class SettingsTarget {
 public:
  virtual ~SettingsTarget() = default;
  virtual void SetLocalPolling(int ms) = 0;
  virtual void SetSerifuInterval(int seconds) = 0;
  virtual void SetFukidasiInterval(int seconds) = 0;
  virtual void SetEventPolling(int ms) = 0;
  virtual void SetMokunaImage(const std::string& path) = 0;
  virtual void SetMaxSpeaking(int lines) = 0;
  virtual void SetDllList(const std::vector<std::string>& names) = 0;
  virtual void SetShowCalender(bool show) = 0;
  virtual void SetShowTime(bool show) = 0;
};

// Copies the form into target step by step. The first numeric edit that is not a whole number ends it with
// a HostError "'<text>' は整数ではありません": the steps before it have been applied, the later ones not.
void ApplySettings(const SettingsForm& form, SettingsTarget& target);

}  // namespace mokuna
