#include "YoteiPage.h"

#include <iterator>

#include "ControlTable.h"
#include "Dpi.h"
#include "JapaneseFont.h"
#include "MessageLoop.h"
#include "clock.h"
#include "file_io.h"
#include "win_text.h"

namespace yotei {
namespace {

constexpr wchar_t kClassName[] = L"YoteiSettingsPage";
constexpr char kCaption[] = "予定の設定";
constexpr int kClientWidth = 360;
constexpr int kClientHeight = 345;
constexpr int kOk = 1, kCancel = 2;
const char* const kRepeatNames[] = {"日付を指定", "毎日", "平日", "曜日を選ぶ", "毎月"};
constexpr const char* kDayNames[] = {"日", "月", "火", "水", "木", "金", "土"};
constexpr char kBadFields[] =
    "予定を読み取れません．\r\n日付は 2026-12-24，毎月の日は 1 から 31，時刻は 9:00 の形で入れ，"
    "内容は 100 文字までにしてください．曜日を選ぶときは一つ以上に印を付けてください．";

using Kind = mokuna::ControlKind;
// x, y, w, h in 96-DPI client pixels; w = 0 sizes a label to its text; a drop-down's h is its opened height.
using mokuna::ControlRow;

constexpr int kDayX = 72, kDayStep = 40;
constexpr mokuna::ControlSpec DayRow(int day) {  // 0 Sunday
  return ControlRow(kIdSunday + day, Kind::kCheckBox, kDayNames[day], kDayX + day * kDayStep, 187, 36, 17);
}
// In tab order; labels take no focus and come first.
const mokuna::ControlSpec kControls[] = {
    ControlRow(kIdListLabel, Kind::kLabel, "予定", 8, 8, 0, 0),
    ControlRow(kIdRepeatLabel, Kind::kLabel, "くり返し", 8, 164, 0, 0),
    ControlRow(kIdDateLabel, Kind::kLabel, "日付", 204, 164, 32, 14),
    ControlRow(kIdTimeLabel, Kind::kLabel, "時刻", 8, 214, 0, 0),
    ControlRow(kIdTextLabel, Kind::kLabel, "内容", 8, 240, 0, 0),
    ControlRow(kIdList, Kind::kList, "", 8, 24, 344, 124),
    ControlRow(kIdRepeat, Kind::kDropDown, "", 72, 160, 120, 140),
    ControlRow(kIdDate, Kind::kEdit, "", 240, 160, 112, 20),
    DayRow(0), DayRow(1), DayRow(2), DayRow(3), DayRow(4), DayRow(5), DayRow(6),
    ControlRow(kIdTime, Kind::kEdit, "", 72, 210, 56, 20),
    ControlRow(kIdText, Kind::kEdit, "", 72, 236, 280, 20),
    ControlRow(kIdAdd, Kind::kButton, "追加", 72, 264, 75, 25),
    ControlRow(kIdChange, Kind::kButton, "変更", 152, 264, 75, 25),
    ControlRow(kIdDelete, Kind::kButton, "削除", 232, 264, 75, 25),
    ControlRow(kIdChime, Kind::kCheckBox, "毎正時に時刻を知らせる", 8, 316, 180, 17),
    ControlRow(kIdCancel, Kind::kButton, "キャンセル", 196, 312, 75, 25),
    ControlRow(kIdOk, Kind::kButton, "OK", 277, 312, 75, 25),
};

std::string TodayText() { return FormatMinute(MinuteOf(mokuna::CurrentClock().Now())).substr(0, 10); }

void ShowError(HWND owner, const std::string& text) {
  MessageBoxW(owner, mokuna::WidenSjis(text).c_str(), L"Error", MB_OK | MB_ICONEXCLAMATION | (owner ? 0u : MB_TASKMODAL));
}

Repeat ChosenRepeat(HWND combo) {
  const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return i >= 0 && i < static_cast<LRESULT>(std::size(kRepeatNames)) ? static_cast<Repeat>(i) : Repeat::kDaily;
}

}  // namespace

SettingsPage::~SettingsPage() {
  if (font_) DeleteObject(font_);
}

bool SettingsPage::ShowModal() {
  // Kavrel calls plug-ins as knowing nothing of DPI; this page scales itself, so it says so.
  const mokuna::ThreadDpiAwareness aware(mokuna::ThreadDpiAwareness::Kind::PerMonitorV2);
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  const SIZE frame = mokuna::FrameSize(kClientWidth, kClientHeight, style, ex_style, mokuna::DpiOf(nullptr));
  const int x = (GetSystemMetrics(SM_CXSCREEN) - frame.cx) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - frame.cy) / 2;
  HWND owner = GetActiveWindow();
  modal_result_ = 0;
  if (!CreateWin(kClassName, ex_style, style, x, y, frame.cx, frame.cy, owner)) {
    UnregisterClassW(kClassName, Module());
    return false;
  }
  SetWindowTextW(hwnd_, mokuna::WidenSjis(kCaption).c_str());
  CreateControls();
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  SetFocus(Item(kIdList));
  if (!mokuna::RunModalLoop(hwnd_, [this] { return modal_result_ != 0; })) modal_result_ = kCancel;
  file_.hourly_chime = IsDlgButtonChecked(hwnd_, kIdChime) == BST_CHECKED;
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  DestroyWindow(hwnd_);
  // The class lives in this DLL, which may be unloaded before the next call.
  UnregisterClassW(kClassName, Module());
  return modal_result_ == kOk;
}

void SettingsPage::CreateControls() {
  dpi_ = mokuna::DpiOf(hwnd_);
  font_ = mokuna::CreatePageFont(dpi_);
  mokuna::CreateControls(hwnd_, kControls, std::size(kControls), font_);
  for (const char* name : kRepeatNames)
    SendMessageW(Item(kIdRepeat), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mokuna::WidenSjis(name).c_str()));
  SendMessageW(Item(kIdRepeat), CB_SETCURSEL, static_cast<WPARAM>(Repeat::kDaily), 0);
  SendMessageW(Item(kIdText), EM_SETLIMITTEXT, kMaxTextChars, 0);
  mokuna::SetControlText(Item(kIdDate), TodayText());
  CheckDlgButton(hwnd_, kIdChime, file_.hourly_chime ? BST_CHECKED : BST_UNCHECKED);
  FillList(-1);
}

void SettingsPage::FillList(int select) {
  HWND list = Item(kIdList);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const ReminderLine& line : file_.reminders)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mokuna::WidenSjis(ShownLine(line)).c_str()));
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
  ApplyEnabling();
}

// The date field serves a date and the day of the month; the days only the chosen weekdays; change and
// delete a selected line.
void SettingsPage::ApplyEnabling() {
  const Repeat repeat = ChosenRepeat(Item(kIdRepeat));
  const bool dated = repeat == Repeat::kDate || repeat == Repeat::kMonthly;
  EnableWindow(Item(kIdDate), dated);
  EnableWindow(Item(kIdDateLabel), dated);
  mokuna::SetControlText(Item(kIdDateLabel), repeat == Repeat::kMonthly ? "日" : "日付");
  for (int id = kIdSunday; id <= kIdSaturday; ++id) EnableWindow(Item(id), repeat == Repeat::kChosenDays);
  const bool selected = Selected() >= 0;
  EnableWindow(Item(kIdChange), selected);
  EnableWindow(Item(kIdDelete), selected);
}

int SettingsPage::Selected() const {
  const LRESULT i = SendMessageW(Item(kIdList), LB_GETCURSEL, 0, 0);
  return i >= 0 && i < static_cast<LRESULT>(file_.reminders.size()) ? static_cast<int>(i) : -1;
}

// A selected reminder fills the fields, ready for 変更 or as the start of a new one.
void SettingsPage::ListSelected() {
  const int i = Selected();
  if (i >= 0 && file_.reminders[static_cast<std::size_t>(i)].reminder) {
    const Reminder& r = *file_.reminders[static_cast<std::size_t>(i)].reminder;
    const Repeat repeat = RepeatOf(r);
    SendMessageW(Item(kIdRepeat), CB_SETCURSEL, static_cast<WPARAM>(repeat), 0);
    if (repeat == Repeat::kDate) mokuna::SetControlText(Item(kIdDate), WhenText(r));
    if (repeat == Repeat::kMonthly) mokuna::SetControlText(Item(kIdDate), std::to_string(r.day));
    for (int d = 0; d < 7; ++d)
      CheckDlgButton(hwnd_, kIdSunday + d, repeat == Repeat::kChosenDays && ((r.weekdays >> d) & 1u) ? BST_CHECKED : BST_UNCHECKED);
    mokuna::SetControlText(Item(kIdTime), ShortTime(r.hour, r.minute));
    mokuna::SetControlText(Item(kIdText), r.text);
  }
  ApplyEnabling();
}

std::optional<Reminder> SettingsPage::FromFields() {
  unsigned days = 0;
  for (int d = 0; d < 7; ++d)
    if (IsDlgButtonChecked(hwnd_, kIdSunday + d) == BST_CHECKED) days |= 1u << d;
  std::optional<Reminder> r =
      ReminderFromFields(ChosenRepeat(Item(kIdRepeat)), mokuna::ControlText(Item(kIdDate)), days,
                         mokuna::ControlText(Item(kIdTime)), mokuna::ControlText(Item(kIdText)));
  if (!r) ShowError(hwnd_, kBadFields);
  return r;
}

void SettingsPage::AddClick() {
  const std::optional<Reminder> r = FromFields();
  if (!r) return;
  file_.reminders.push_back({FormatReminder(*r), r});
  FillList(static_cast<int>(file_.reminders.size()) - 1);
  SetWindowTextW(Item(kIdText), L"");
}

void SettingsPage::ChangeClick() {
  const int i = Selected();
  if (i < 0) return;
  const std::optional<Reminder> r = FromFields();
  if (!r) return;
  file_.reminders[static_cast<std::size_t>(i)] = {FormatReminder(*r), r};
  FillList(i);
}

void SettingsPage::DeleteClick() {
  const int i = Selected();
  if (i < 0) return;
  file_.reminders.erase(file_.reminders.begin() + i);
  FillList(-1);
}

void SettingsPage::EndModal(int result) {
  modal_result_ = result;
  // A click that came as a sent message leaves GetMessage waiting: give the loop a message to wake on.
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

LRESULT SettingsPage::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == kIdRepeat && HIWORD(wp) == CBN_SELCHANGE) {
        ApplyEnabling();
        return 0;
      }
      if (LOWORD(wp) == kIdList && HIWORD(wp) == LBN_SELCHANGE) {
        ListSelected();
        return 0;
      }
      if (HIWORD(wp) != BN_CLICKED) break;
      switch (LOWORD(wp)) {
        case kIdAdd: AddClick(); return 0;
        case kIdChange: ChangeClick(); return 0;
        case kIdDelete: DeleteClick(); return 0;
        case kIdOk: EndModal(kOk); return 0;
        case kIdCancel:
        case IDCANCEL:  // Escape
          EndModal(kCancel);
          return 0;
      }
      break;
    case WM_DPICHANGED: {
      // Moved onto a monitor of another scale: the suggested frame, a font for the new DPI, every control again.
      dpi_ = mokuna::RescalePage(hwnd_, wp, lp, kControls, std::size(kControls), font_);
      return 0;
    }
    case WM_CLOSE:
      EndModal(kCancel);
      return 0;
  }
  return DefaultProc(msg, wp, lp);
}

std::string RunPropertyPage(std::optional<std::int64_t>& remembered) {
  std::string text, reason;
  YoteiFile file;
  switch (fileio::ReadFileStatus(kIniName, text, &reason)) {
    case fileio::ReadStatus::Unreadable:
      // The page would show nothing, and OK would write that over the user's reminders.
      ShowError(nullptr, std::string("設定ファイル ") + kIniName + " を読み込めませんでした．\r\n" + reason);
      return kPropertyPageCancelled;
    case fileio::ReadStatus::Ok: file = ParseYoteiFile(text); break;
    case fileio::ReadStatus::Missing: break;
  }
  SettingsPage page(std::move(file));
  if (!page.ShowModal()) return kPropertyPageCancelled;
  file = page.File();
  // What was due before this minute is not said after it: the user has just looked at the list.
  file.last_tick = MinuteOf(mokuna::CurrentClock().Now());
  if (!fileio::WriteFileAtomic(kIniName, FormatYoteiFile(file), &reason)) {
    ShowError(GetActiveWindow(), std::string("設定を ") + kIniName + " に保存できませんでした．\r\n" + reason);
    return kPropertyPageCancelled;
  }
  remembered = file.last_tick;
  return PropertyPageResult(file.AnythingSet());
}

}  // namespace yotei
