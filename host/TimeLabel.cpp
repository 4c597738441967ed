#include "TimeLabel.h"

#include "Dpi.h"
#include "JapaneseFont.h"
#include "announcement.h"
#include "win_text.h"

namespace mokuna {

TTimeLabel::~TTimeLabel() {
  if (font_) DeleteObject(font_);
}

bool TTimeLabel::Create(HWND parent) {
  dpi_ = DpiOf(parent);
  if (!CreateWin(L"TTimeLabel", 0, WS_CHILD | WS_CLIPSIBLINGS, Scale(32, dpi_), Scale(32, dpi_),
                 Scale(kWidth, dpi_), Scale(kHeight, dpi_), parent))
    return false;
  MakeFont();
  return true;
}

void TTimeLabel::MakeFont() {
  if (font_) DeleteObject(font_);
  font_ = CreateJapaneseFont(WidenSjis("ＭＳ ゴシック").c_str(), Scale(-21, dpi_), FW_BOLD, false, true,
                             FIXED_PITCH | FF_DONTCARE);
}

void TTimeLabel::SetDpi(int dpi) {
  dpi_ = dpi;
  if (!Handle()) return;
  MakeFont();
  SetWindowPos(Handle(), nullptr, 0, 0, Scale(kWidth, dpi_), Scale(kHeight, dpi_),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Handle(), nullptr, FALSE);
}

void TTimeLabel::SetText(const std::string& sjis) {
  if (sjis == text_) return;
  text_ = sjis;
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TTimeLabel::SetVisible(bool visible) {
  if (Handle()) ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void TTimeLabel::ParentResized(int width, int height) {
  if (!Handle()) return;
  // Centred over the same share of the width; the offsets from the centre and the bottom scale.
  LabelPlace place = TimeLabelPlace(width, height);
  place.left += 37 - Scale(37, dpi_);
  place.top += 71 - Scale(71, dpi_);
  SetWindowPos(Handle(), nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TTimeLabel::Paint(HDC dc) {
  RECT r = {0, 0, Scale(kWidth, dpi_), Scale(kHeight, dpi_)};
  FillRect(dc, &r, GetSysColorBrush(COLOR_CAPTIONTEXT));
  SetBkMode(dc, TRANSPARENT);
  // Window text on the caption-text colour; a theme where the two are equal would hide the time.
  const COLORREF text_colour = GetSysColor(COLOR_WINDOWTEXT);
  SetTextColor(dc, text_colour != GetSysColor(COLOR_CAPTIONTEXT) ? text_colour : GetSysColor(COLOR_WINDOW));
  HGDIOBJ old = SelectObject(dc, font_);
  const std::wstring text = WidenSjis(text_);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

LRESULT TTimeLabel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCHITTEST:
      // Like a label, it takes no mouse: presses reach the character beneath, so it can still be dragged.
      return HTTRANSPARENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      Paint(dc);
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
