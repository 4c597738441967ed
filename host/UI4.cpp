#include "UI4.h"

#include "Dpi.h"
#include "JapaneseFont.h"
#include "win_text.h"

namespace mokuna {
namespace {

constexpr wchar_t kClassName[] = L"TForm4";
// "ＭＳ Ｐゴシック"
constexpr wchar_t kFontFace[] = L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF";
constexpr int kDesignLeft = 1, kDesignTop = 601, kDesignWidth = 190, kDesignHeight = 137;

}  // namespace

TForm4::TForm4() {
  CoolForm1.OnMouseDown = [this](TCoolForm& sender, TCoolForm::TMouseButton button, TCoolForm::TShiftState shift,
                                 int x, int y) { CoolForm1MouseDown(sender, button, shift, x, y); };
  CoolForm1.OnPaint = [this](HDC dc) { PaintLabel(dc); };
}

TForm4::~TForm4() {
  if (font_) DeleteObject(font_);
}

bool TForm4::Create(HWND owner) {
  if (!CreateWin(kClassName, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP, kDesignLeft, kDesignTop, kDesignWidth,
                 kDesignHeight, owner))
    return false;
  dpi_ = DpiOf(Handle());
  MakeFont();
  CoolForm1.SetParent(Handle());
  GuardHandler([this] { FormCreate(); });
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  return true;
}

void TForm4::MakeFont() {
  if (font_) DeleteObject(font_);
  LOGFONTW lf{};
  lf.lfHeight = Scale(-12, dpi_);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  lstrcpynW(lf.lfFaceName, kFontFace, LF_FACESIZE);
  font_ = CreateJapaneseFont(lf);
}

void TForm4::SetDpi(int dpi) {
  if (dpi == dpi_ && dpi == CoolForm1.Dpi()) return;
  dpi_ = dpi;
  MakeFont();
  CoolForm1.SetDpi(dpi);
}

void TForm4::FormCreate() {
  CoolForm1.SetUpShape(kFukidasiImage, kFukidasiMask);
  SetLabelText("");
}

void TForm4::SetLabelText(const std::string& sjis) {
  label_text_ = sjis;
  // What the character says is visible to a debugger (and to the end-to-end tests), not only on screen.
  if (!sjis.empty()) OutputDebugStringA(("Oribel Mokuna: Label1: " + sjis + "\n").c_str());
  InvalidateRect(Handle(), nullptr, FALSE);
}

RECT TForm4::Label1Rect() const {
  const int left = Scale(kLabelLeft, dpi_), top = Scale(kLabelTop, dpi_);
  RECT rc{left, top, left, top};
  if (label_text_.empty()) return rc;
  HDC dc = GetDC(Handle());
  HGDIOBJ old = SelectObject(dc, font_);
  const std::wstring text = WidenSjis(label_text_);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_NOPREFIX | DT_LEFT);
  SelectObject(dc, old);
  ReleaseDC(Handle(), dc);
  return rc;
}

void TForm4::PaintLabel(HDC dc) {
  if (label_text_.empty()) return;
  const std::wstring text = WidenSjis(label_text_);
  HGDIOBJ old = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  const int left = Scale(kLabelLeft, dpi_), top = Scale(kLabelTop, dpi_);
  RECT rc{left, top, left, top};
  // Speech is data: an "&" in it is shown, never taken as an accelerator mark.
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_NOPREFIX | DT_LEFT);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_NOPREFIX | DT_LEFT | DT_NOCLIP);
  SelectObject(dc, old);
}

void TForm4::Show() {
  if (!Visible()) ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TForm4::Hide() {
  if (Visible()) ShowWindow(Handle(), SW_HIDE);
}

void TForm4::CoolForm1MouseDown(TCoolForm&, TCoolForm::TMouseButton button, TCoolForm::TShiftState, int, int) {
  // The lines stay: the next placement brings the balloon back. A left press drags it (the component).
  if (button == TCoolForm::mbRight) Hide();
}

LRESULT TForm4::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (CoolForm1.HandleParentMessage(msg, wp, lp, result)) return result;
  // Clicking the balloon must not take the focus from the user's work either.
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  // Dragged onto another monitor by itself; the next placement brings it beside the character again.
  if (msg == WM_DPICHANGED) {
    SetDpi(LOWORD(wp));
    return 0;
  }
  return DefaultProc(msg, wp, lp);
}

void TSerifu::Attach(HWND character, const TCoolForm& character_picture, std::function<bool()> is_shown,
                     bool* is_speaking) {
  character_ = character;
  character_picture_ = &character_picture;
  is_shown_ = std::move(is_shown);
  is_speaking_ = is_speaking;
  MirrorSpeaking();
  ReadLocaleSeparators();
}

namespace {

std::string LocaleText(LCTYPE type, const char* fallback) {
  wchar_t text[16];
  const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 16);
  return n > 0 ? NarrowToSjis(std::wstring_view(text, static_cast<std::size_t>(n - 1))) : fallback;
}

}  // namespace

void TSerifu::ReadLocaleSeparators() {
  queue_.SetTipSeparators(LocaleText(LOCALE_SDATE, "/"), LocaleText(LOCALE_STIME, ":"));
}

void TSerifu::RefreshSerifu() {
  queue_.RefreshSerifu(CurrentClock().Now());
  MirrorSpeaking();
}

void TSerifu::PlaceFukidasi() {
  if (!balloon_ || !character_) return;
  RECT c{};
  GetWindowRect(character_, &c);
  if (c.top != placed_top_ || c.left != placed_left_) balloon_->Hide();
  const FukidasiSpot spot =
      PlaceBeside(c.left, c.top, character_picture_->ShownWidth(), character_picture_->ShownHeight(),
                  balloon_->CoolForm1.ShownWidth(), balloon_->CoolForm1.ShownHeight());
  SetWindowPos(balloon_->Handle(), nullptr, spot.left, spot.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (queue_.IsSpeaking() && (!is_shown_ || is_shown_()))
    balloon_->Show();
  else
    balloon_->Hide();
  placed_top_ = c.top;
  placed_left_ = c.left;
}

void TSerifu::OnEnterSizeMove() {
  if (queue_.IsSpeaking() && balloon_) balloon_->Hide();
}

void TSerifu::OnDpiChanged(int dpi) {
  if (!balloon_) return;
  balloon_->SetDpi(dpi);
  if (queue_.IsSpeaking()) PlaceFukidasi();
}

void TSerifu::OnExitSizeMove() {
  if (queue_.IsSpeaking()) PlaceFukidasi();
}

}  // namespace mokuna
