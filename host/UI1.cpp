#include "UI1.h"

#include "Controls.h"
#include "Dpi.h"
#include "win_text.h"

namespace mokuna {

TForm1* Form1 = nullptr;

namespace {

const ControlSpec kForm1Controls[] = {
    {TForm1::kEdit1, L"EDIT", "Edit1", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 8, 6, 235, 21, 0},
    {TForm1::kButton2, L"BUTTON", "即時実行", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 8, 32, 113, 25, 0},
    {TForm1::kButton1, L"BUTTON", "エントリ入力", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 130, 32, 113, 25, 0},
};

}  // namespace

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
  if (Handle()) DestroyWindow(Handle());
  if (font_) DeleteObject(font_);
}

bool TForm1::Create(HWND owner) {
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  const int dpi = DpiOf(nullptr);
  if (!CreateWin(L"TForm1", WS_EX_CONTROLPARENT, style, Scale(192, dpi), Scale(106, dpi), Scale(259, dpi),
                 Scale(89, dpi), owner))
    return false;
  SetWindowTextW(Handle(), L"EventEntry(DEBUG)");
  dpi_ = DpiOf(Handle());
  font_ = CreatePixelFont(L"ＭＳ Ｐゴシック", Scale(12, dpi_));
  CreateControls(Handle(), kForm1Controls, std::size(kForm1Controls), font_);
  return true;
}

void TForm1::Show() {
  if (!Handle() && (!deferred_ || !Create(deferred_owner_))) return;
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
}

// The text goes exactly as typed: no trimming, no check of its form, empty included.
void TForm1::Button1Click() { scheduler_.AddEntry(ControlText(Control(kEdit1))); }

void TForm1::Button2Click() { scheduler_.DirectAction(ControlText(Control(kEdit1))); }

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == kButton1) {
        Button1Click();
        return 0;
      }
      if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == kButton2) {
        Button2Click();
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = TakeSuggestedRect(Handle(), wp, lp);
      HFONT old = font_;
      font_ = CreatePixelFont(L"ＭＳ Ｐゴシック", Scale(12, dpi_));
      PlaceControls(Handle(), kForm1Controls, std::size(kForm1Controls), font_, dpi_);
      if (old) DeleteObject(old);
      return 0;
    }
    case WM_CLOSE:  // closing only hides; the window lives until the program ends
      ShowWindow(Handle(), SW_HIDE);
      return 0;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
