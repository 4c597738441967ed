#include "CalUnit.h"

#include "ControlTable.h"
#include "Dpi.h"
#include "JapaneseFont.h"
#include "clock.h"
#include "win_text.h"

namespace mokuna {

TCalForm* CalForm = nullptr;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

struct Heading {
  const wchar_t* text;
  int left;
  int colour;  // 0 window text, 1 red, 2 blue
};
constexpr Heading kHeadings[] = {{L"Sun", 15, 1}, {L"Mon", 47, 0},  {L"Tue", 79, 0}, {L"Wed", 110, 0},
                                 {L"Thu", 142, 0}, {L"Fri", 174, 0}, {L"Sat", 203, 2}};
constexpr int kHeadingTop = 2;
constexpr RECT kLabel1 = {152, 144, 152 + 80, 144 + 16};

COLORREF ColourOf(DayColour c) {
  switch (c) {
    case DayColour::kRed: return kRed;
    case DayColour::kBlue: return kBlue;
    default: return GetSysColor(COLOR_WINDOWTEXT);
  }
}

}  // namespace

TCalForm::~TCalForm() {
  if (CalForm == this) CalForm = nullptr;
  if (background_) DeleteObject(background_);
  for (HFONT f : {day_font_, heading_font_, label_font_})
    if (f) DeleteObject(f);
  if (popup_) DestroyMenu(popup_);
}

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

SIZE TCalForm::FrameSize() const {
  return mokuna::FrameSize(kClientWidth, kClientHeight, kStyle, kExStyle, dpi_);
}

bool TCalForm::FormCreate(int cal_x, int cal_y, bool show, HWND owner) {
  // Made at the owner's scale, then at its own once it stands on its monitor.
  dpi_ = DpiOf(owner);
  const SIZE frame = FrameSize();
  if (!CreateWin(L"TCalForm", kExStyle, kStyle, cal_x, cal_y, frame.cx, frame.cy, owner)) return false;
  if (DpiOf(Handle()) != dpi_) SetDpi(DpiOf(Handle()));
  SetWindowTextW(Handle(), L"Calender");
  CalForm = this;

  // Without its picture the calendar still works, drawn on the plain window colour.
  background_ = static_cast<HBITMAP>(LoadImageW(nullptr, L"back.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (background_) {
    BITMAP bm{};
    GetObjectW(background_, sizeof bm, &bm);
    background_width_ = bm.bmWidth;
    background_height_ = bm.bmHeight;
  }

  MakeFonts();

  popup_ = CreatePopupMenu();
  AppendMenuW(popup_, MF_STRING, kN3, WidenSjis("<< 先月").c_str());
  AppendMenuW(popup_, MF_STRING, kN5, WidenSjis("- 今月 -").c_str());
  AppendMenuW(popup_, MF_STRING, kN4, WidenSjis("来月 >>").c_str());

  N5Click();
  if (show) Show();
  return true;
}

void TCalForm::MakeFonts() {
  for (HFONT* f : {&day_font_, &heading_font_, &label_font_}) {
    if (*f) DeleteObject(*f);
    *f = nullptr;
  }
  HDC screen = GetDC(nullptr);
  const int screen_dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  // 16 points at the screen's resolution, and at the window's own where it differs from 96.
  const int points16 = -MulDiv(16, dpi_ == kBaseDpi ? screen_dpi : dpi_, 72);
  constexpr BYTE kFixed = FIXED_PITCH | FF_DONTCARE;
  day_font_ = CreateJapaneseFont(L"Comic Sans MS", points16, FW_BOLD, false, false, kFixed);
  heading_font_ =
      CreateJapaneseFont(L"ＭＳ Ｐゴシック", Scale(-12, dpi_), FW_NORMAL, false, false, kFixed, DEFAULT_CHARSET);
  // The label holds 年 and 月: a Japanese face is needed where "ＭＳ ゴシック" itself is missing.
  label_font_ = CreateJapaneseFont(L"ＭＳ ゴシック", Scale(-16, dpi_), FW_NORMAL, false, false, kFixed);
}

void TCalForm::SetDpi(int dpi) {
  if (dpi <= 0) dpi = kBaseDpi;
  dpi_ = dpi;
  MakeFonts();
  if (!Handle()) return;
  const SIZE frame = FrameSize();
  SetWindowPos(Handle(), nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Handle(), nullptr, FALSE);
}

void TCalForm::N3Click() {
  shown_.Previous();
  Display();
}

void TCalForm::N4Click() {
  shown_.Next();
  Display();
}

void TCalForm::N5Click() {
  const LocalTime now = CurrentClock().Now();
  shown_ = ShownMonth{now.year, now.month};
  Display();
}

void TCalForm::Display() {
  month_ = BuildCalendarMonth(shown_.year, shown_.month, CurrentClock().Now());
  if (!Handle()) return;
  SetWindowTextW(Handle(), WidenSjis(month_.caption).c_str());
  InvalidateRect(Handle(), nullptr, FALSE);
}

void TCalForm::Show() {
  if (Handle()) ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TCalForm::Hide() {
  if (Handle()) ShowWindow(Handle(), SW_HIDE);
}

bool TCalForm::Visible() const { return Handle() && IsWindowVisible(Handle()); }

int TCalForm::Left() const {
  RECT r{};
  GetWindowRect(Handle(), &r);
  return r.left;
}

int TCalForm::Top() const {
  RECT r{};
  GetWindowRect(Handle(), &r);
  return r.top;
}

void TCalForm::Paint(HDC dc) {
  const int d = dpi_;
  RECT client = {0, 0, Scale(kClientWidth, d), Scale(kClientHeight, d)};
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  if (background_) {
    HDC picture = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(picture, background_);
    if (d == kBaseDpi) {
      BitBlt(dc, 0, 0, background_width_, background_height_, picture, 0, 0, SRCCOPY);
    } else {
      // Whole scales repeat pixels and stay crisp; others are smoothed.
      const int old_mode = SetStretchBltMode(dc, d % kBaseDpi == 0 ? COLORONCOLOR : HALFTONE);
      SetBrushOrgEx(dc, 0, 0, nullptr);
      StretchBlt(dc, 0, 0, Scale(background_width_, d), Scale(background_height_, d), picture, 0, 0,
                 background_width_, background_height_, SRCCOPY);
      SetStretchBltMode(dc, old_mode);
    }
    SelectObject(picture, old);
    DeleteDC(picture);
  }
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old_font = SelectObject(dc, heading_font_);
  for (const Heading& h : kHeadings) {
    SetTextColor(dc, h.colour == 1 ? kRed : h.colour == 2 ? kBlue : GetSysColor(COLOR_WINDOWTEXT));
    TextOutW(dc, Scale(h.left, d), Scale(kHeadingTop, d), h.text, lstrlenW(h.text));
  }

  SelectObject(dc, day_font_);
  for (int i = 0; i < kCalendarCells; ++i) {
    const DayCell& cell = month_.cells[i];
    if (cell.text.empty()) continue;
    const std::wstring text = WidenSjis(cell.text);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    const int x = Scale(CalendarCellLeft(i), d), y = Scale(CalendarCellTop(i), d);
    if (cell.today) {
      // The day's label turns opaque: a yellow box the size of its text.
      RECT mark = {x, y, x + size.cx, y + size.cy};
      HBRUSH yellow = CreateSolidBrush(kYellow);
      FillRect(dc, &mark, yellow);
      DeleteObject(yellow);
    }
    SetTextColor(dc, ColourOf(cell.colour));
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
  }

  SelectObject(dc, label_font_);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  RECT label = Scale(kLabel1, d);
  const std::wstring label_text = WidenSjis(month_.label);
  DrawTextW(dc, label_text.c_str(), static_cast<int>(label_text.size()), &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
  SelectObject(dc, old_font);
}

LRESULT TCalForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // painting covers the whole client area
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      // Drawn off screen first so that a month change does not flicker.
      HDC buffer = CreateCompatibleDC(dc);
      const int w = Scale(kClientWidth, dpi_), h = Scale(kClientHeight, dpi_);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
      HGDIOBJ old = SelectObject(buffer, bitmap);
      Paint(buffer);
      BitBlt(dc, 0, 0, w, h, buffer, 0, 0, SRCCOPY);
      SelectObject(buffer, old);
      DeleteObject(bitmap);
      DeleteDC(buffer);
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_CONTEXTMENU: {
      // The menu belongs to the picture, the month label and every day cell: the whole client area.
      POINT p = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      if (p.x == -1 && p.y == -1) {
        p = {0, 0};
        ClientToScreen(Handle(), &p);
      } else {
        POINT c = p;
        ScreenToClient(Handle(), &c);
        RECT client;
        GetClientRect(Handle(), &client);
        if (!PtInRect(&client, c)) break;  // the caption keeps its system menu
      }
      SetForegroundWindow(Handle());
      TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, Handle(), nullptr);
      PostMessageW(Handle(), WM_NULL, 0, 0);
      return 0;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kN3: N3Click(); return 0;
        case kN4: N4Click(); return 0;
        case kN5: N5Click(); return 0;
      }
      break;
    case WM_DPICHANGED: {
      const RECT* r = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(Handle(), nullptr, r->left, r->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      SetDpi(LOWORD(wp));
      return 0;
    }
    case WM_CLOSE:
      Hide();  // the window lives until the program ends
      return 0;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
