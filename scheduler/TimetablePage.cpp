#include "TimetablePage.h"

#include <iterator>

#include "ControlTable.h"
#include "Dpi.h"
#include "Engine.h"
#include "JapaneseFont.h"
#include "win_text.h"

namespace kavrel {

namespace {

const wchar_t kClassName[] = L"KavrelTimetablePage";
constexpr int kLabelId = 100, kListId = 101, kRemoveId = 102, kCloseId = 103;
constexpr int kClientWidth = 420, kClientHeight = 250;

const mokuna::ControlSpec kControls[] = {
    {kLabelId, L"STATIC", "", WS_VISIBLE | SS_LEFT, 0, 10, 10, 400, 18, 0},
    {kListId, L"LISTBOX", "", WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE, 10, 32, 400, 168, 0},
    {kRemoveId, L"BUTTON", "削除", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 230, 212, 85, 26, 0},
    {kCloseId, L"BUTTON", "閉じる", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 325, 212, 85, 26, 0},
};

}  // namespace

TimetablePage::~TimetablePage() {
  // Destroyed while this page still answers, so the engine hears that it closed.
  if (hwnd_) DestroyWindow(hwnd_);
}

void TimetablePage::UnregisterWindowClass() { UnregisterClassW(kClassName, Module()); }

void TimetablePage::Show() {
  if (!hwnd_) {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const SIZE size = mokuna::FrameSize(kClientWidth, kClientHeight, style, 0, mokuna::DpiOf(nullptr));
    const int width = size.cx, height = size.cy;
    RECT work{0, 0, 800, 600};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (!CreateWin(kClassName, 0, style, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, width, height, nullptr, nullptr, 0,
                   LoadIconW(nullptr, IDI_APPLICATION)))
      return;
    SetWindowTextW(hwnd_, L"Kavrel の予定表");
  }
  Refresh();
  ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd_);
}

LRESULT TimetablePage::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case kRefreshMessage:
      Refresh();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kRemoveId:
          RemoveClick();
          return 0;
        case kCloseId:
          DestroyWindow(hwnd_);
          return 0;
        case kListId:
          if (HIWORD(wp) == LBN_SELCHANGE) UpdateButtons();
          return 0;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = mokuna::RescalePage(hwnd_, wp, lp, kControls, std::size(kControls), font_);
      Refresh();  // the scroll range follows the font
      return 0;
    }
    case WM_NCDESTROY:
      label_ = list_ = remove_ = close_ = nullptr;
      if (font_) DeleteObject(font_);
      font_ = nullptr;
      engine_.PageClosed(hwnd_);
      break;
  }
  return DefaultProc(msg, wp, lp);
}

void TimetablePage::OnCreate() {
  dpi_ = mokuna::DpiOf(hwnd_);
  font_ = mokuna::CreatePageFont(dpi_);
  mokuna::CreateControls(hwnd_, kControls, std::size(kControls), font_);
  label_ = GetDlgItem(hwnd_, kLabelId);
  list_ = GetDlgItem(hwnd_, kListId);
  remove_ = GetDlgItem(hwnd_, kRemoveId);
  close_ = GetDlgItem(hwnd_, kCloseId);
}

void TimetablePage::Refresh() {
  if (!hwnd_) return;
  // Keep the selection on the same entry when the list is filled anew.
  std::string selected;
  const LRESULT sel = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (sel != LB_ERR && static_cast<std::size_t>(sel) < shown_.size()) selected = shown_[sel];

  shown_ = engine_.EntryTexts();
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  // The widest entry sets the horizontal scroll range, so a long one can still be read whole.
  HDC dc = GetDC(list_);
  const HGDIOBJ old_font = SelectObject(dc, font_);
  int widest = 0;
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    const std::wstring text = mokuna::WidenSjis(shown_[i]);
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (!selected.empty() && shown_[i] == selected) SendMessageW(list_, LB_SETCURSEL, i, 0);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (size.cx > widest) widest = size.cx;
  }
  SelectObject(dc, old_font);
  ReleaseDC(list_, dc);
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, widest + 8, 0);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  SetWindowTextW(label_, shown_.empty() ? L"予定はありません．"
                                        : L"登録されている予定（月 日 曜日 時 分 DLL 引数 関数）:");
  UpdateButtons();
}

void TimetablePage::UpdateButtons() {
  EnableWindow(remove_, SendMessageW(list_, LB_GETCURSEL, 0, 0) != LB_ERR);
}

void TimetablePage::RemoveClick() {
  const LRESULT sel = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (sel == LB_ERR || static_cast<std::size_t>(sel) >= shown_.size()) return;
  engine_.RemoveEntry(shown_[sel]);
  Refresh();
}

}  // namespace kavrel
