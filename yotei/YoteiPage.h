// The reminders plug-in's settings page: the list of reminders with add, change and delete, and the hourly
// chime. It runs modally on the thread that calls PropertyPage.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "WindowBase.h"
#include "yotei_rules.h"

namespace yotei {

// Control identifiers (the tests find the controls by them).
enum ControlId : int {
  kIdListLabel = 1001,
  kIdRepeatLabel,
  kIdDateLabel,
  kIdTimeLabel,
  kIdTextLabel,
  kIdList,
  kIdRepeat,  // 日付を指定 / 毎日 / 平日 / 曜日を選ぶ / 毎月, in the order of Repeat
  kIdDate,    // the date, or the day of the month
  kIdSunday,  // seven check boxes, Sunday to Saturday
  kIdSaturday = kIdSunday + 6,
  kIdTime,
  kIdText,
  kIdAdd,
  kIdChange,
  kIdDelete,
  kIdChime,
  kIdCancel,
  kIdOk,
};

class SettingsPage : public mokuna::Window {
 public:
  explicit SettingsPage(YoteiFile file) : file_(std::move(file)) {}
  ~SettingsPage();

  // Shows the page centred on the screen and runs it; true for OK. File() then holds what the page held.
  bool ShowModal();
  const YoteiFile& File() const { return file_; }

 private:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void CreateControls();
  void FillList(int select);
  void ApplyEnabling();
  void ListSelected();
  std::optional<Reminder> FromFields();
  void AddClick();
  void ChangeClick();
  void DeleteClick();
  int Selected() const;
  void EndModal(int result);
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  YoteiFile file_;
  HFONT font_ = nullptr;
  int dpi_ = 96;
  int modal_result_ = 0;
};

// The work of the export: yotei.ini into the page, and on OK back with LastTick at this minute (remembered
// too). Returns the result string.
std::string RunPropertyPage(std::optional<std::int64_t>& remembered);

}  // namespace yotei
