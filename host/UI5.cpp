#include "UI5.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "Controls.h"
#include "Dpi.h"
#include "about_text.h"
#include "file_io.h"
#include "win_text.h"

namespace mokuna {

TForm5* Form5 = nullptr;

namespace {

constexpr int kClientWidth = 323;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
constexpr DWORD kMemoStyle = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;

// Created in tab order.
const ControlSpec kAboutControls[] = {
    {TForm5::kLabel1, L"STATIC", "Oribel開発プロジェクト", WS_VISIBLE | SS_LEFT, 0, 16, 8, 200, 14, 0},
    {TForm5::kLabel2, L"STATIC", "CodeName: Mokuna", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOTIFY, 0, 136, 32, 159, 16, 0},
    {TForm5::kButton1, L"BUTTON", "しめる", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 248, 280, 75, 25, 0},
    {TForm5::kMemo1, L"EDIT", "", kMemoStyle, WS_EX_CLIENTEDGE, 0, 56, 323, 113, 0},
    {TForm5::kButton2, L"BUTTON", "つかいかた", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 171, 280, 75, 25, 0},
    {TForm5::kMemo2, L"EDIT", "", kMemoStyle, WS_EX_CLIENTEDGE, 0, 314, 321, 180, 0},
};

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

// A system library from the system folder only, whatever lies in the program's or the current folder.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // A loader without the search flags refuses them: name the file in the system folder instead.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(folder, n) + L"\\" + name).c_str());
}

const wchar_t* RichEditClass() {
  // The rich text control lives in its own library; without it the credits still show as plain text.
  static const bool loaded = LoadSystemLibrary(L"riched20.dll") != nullptr;
  return loaded ? L"RichEdit20W" : L"EDIT";
}

// Labels size themselves to their text, so a wider substitute font never cuts the link off.
void FitLabelWidth(HWND label, HFONT font) {
  const std::wstring text = WidenSjis(ControlText(label));
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  RECT r;
  GetWindowRect(label, &r);
  // italic glyphs lean past their advance width
  const int width = std::max<int>(r.right - r.left, extent.cx + extent.cy / 4);
  SetWindowPos(label, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OpenWithShell(HWND parent, const char* address) {
  // A failure to open the page is not reported.
  ShellExecuteA(parent, "open", address, "", nullptr, SW_SHOWNORMAL);
}

}  // namespace

TForm5::TForm5() : open_url(OpenWithShell) {}

TForm5::~TForm5() {
  if (Form5 == this) Form5 = nullptr;
  if (Handle()) DestroyWindow(Handle());
  for (HFONT f : {font_, link_font_, credit_font_})
    if (f) DeleteObject(f);
}

bool TForm5::Create(HWND owner) {
  const int dpi = DpiOf(nullptr);
  const int w = FrameSize(kClientWidth, 495, kStyle, kExStyle, dpi).cx;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - Scale(kAboutFoldedHeight, dpi)) / 2;
  if (!CreateWin(L"TForm5", kExStyle, kStyle, x, y, w, Scale(kAboutUnfoldedHeight, dpi), owner)) return false;
  SetWindowTextW(Handle(), L"About Mokuna");
  dpi_ = DpiOf(Handle());
  MakeFonts();
  CreateControls(Handle(), kAboutControls, std::size(kAboutControls), font_);
  SendMessageW(Control(kLabel2), WM_SETFONT, reinterpret_cast<WPARAM>(link_font_), FALSE);
  FitLabelWidth(Control(kLabel2), link_font_);
  FormCreate();
  return true;
}

// The credits are made when the box is first shown: only they need the rich text library, and the program
// loads it then rather than at start. Last in tab order, under the two buttons that overlap their lower edge.
static ControlSpec CreditsSpec() {
  return {TForm5::kRichEdit1, RichEditClass(), "", WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | ES_MULTILINE | ES_READONLY,
          0, 0, 176, 323, 129, 0};
}

void TForm5::CreateCredits() {
  const ControlSpec credits = CreditsSpec();
  CreateControls(Handle(), &credits, 1, credit_font_);
  HWND control = Control(kRichEdit1);
  SendMessageW(control, 0x0443 /* EM_SETBKGNDCOLOR */, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
  SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetControlText(control, JoinLines(CreditLines()));
}

void TForm5::MakeFonts() {
  for (HFONT f : {font_, link_font_, credit_font_})
    if (f) DeleteObject(f);
  font_ = CreatePixelFont(L"ＭＳ Ｐゴシック", Scale(12, dpi_));
  link_font_ = CreatePixelFont(L"ＭＳ Ｐ明朝", Scale(16, dpi_), true, true, true);
  credit_font_ = CreatePixelFont(L"ＭＳ Ｐゴシック", Scale(11, dpi_));
}

// Moved onto a monitor of another scale: the suggested frame, fonts for the new DPI, every control again. A
// folded or unfolded box stays so, at the new scale.
void TForm5::DpiChanged(WPARAM wp, LPARAM lp) {
  const int height = Height();
  const bool folded = height == Scale(kAboutFoldedHeight, dpi_);
  const bool unfolded = height == Scale(kAboutUnfoldedHeight, dpi_);
  dpi_ = TakeSuggestedRect(Handle(), wp, lp);
  if (folded || unfolded) SetHeight(Scale(unfolded ? kAboutUnfoldedHeight : kAboutFoldedHeight, dpi_));
  const HFONT old[] = {font_, link_font_, credit_font_};
  font_ = link_font_ = credit_font_ = nullptr;
  MakeFonts();
  PlaceControls(Handle(), kAboutControls, std::size(kAboutControls), font_, dpi_);
  SendMessageW(Control(kLabel2), WM_SETFONT, reinterpret_cast<WPARAM>(link_font_), FALSE);
  FitLabelWidth(Control(kLabel2), link_font_);
  if (Control(kRichEdit1)) {
    const ControlSpec credits = CreditsSpec();
    PlaceControls(Handle(), &credits, 1, credit_font_, dpi_);
  }
  for (HFONT f : old)
    if (f) DeleteObject(f);
}

void TForm5::FormCreate() {
  SetHeight(Scale(kAboutFoldedHeight, dpi_));
  std::string bytes;
  const bool have_notes = fileio::ReadFile("version.txt", bytes);
  SetControlText(Control(kMemo1), JoinLines(VersionNoteLines(have_notes ? &bytes : nullptr)));
  SetControlText(Control(kMemo2), JoinLines(UserGuideLines()));
}

void TForm5::Show() {
  if (!Handle() && (!deferred_ || !Create(deferred_owner_))) return;
  if (!Control(kRichEdit1)) CreateCredits();
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
}

int TForm5::Height() const {
  RECT r;
  GetWindowRect(Handle(), &r);
  return r.bottom - r.top;
}

void TForm5::SetHeight(int height) {
  RECT r;
  GetWindowRect(Handle(), &r);
  SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm5::Button1Click() { ShowWindow(Handle(), SW_HIDE); }

void TForm5::Button2Click() {
  // The fold is judged and set at 96 DPI.
  const AboutFold next =
      ToggleAboutFold(Height() == Scale(kAboutUnfoldedHeight, dpi_) ? kAboutUnfoldedHeight : kAboutFoldedHeight);
  SetControlText(Control(kButton2), next.button_caption);
  SetHeight(Scale(next.height, dpi_));
}

void TForm5::Label2Click() { open_url(Handle(), kHomePageAddress); }

LRESULT TForm5::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == kButton1 && HIWORD(wp) == BN_CLICKED) {
        Button1Click();
        return 0;
      }
      if (LOWORD(wp) == kButton2 && HIWORD(wp) == BN_CLICKED) {
        Button2Click();
        return 0;
      }
      if (LOWORD(wp) == kLabel2 && HIWORD(wp) == STN_CLICKED) {
        Label2Click();
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == Control(kLabel2)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      HWND control = reinterpret_cast<HWND>(lp);
      if (control == Control(kMemo1) || control == Control(kMemo2)) {
        // Read-only text keeps the white of ordinary text boxes.
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      if (control == Control(kLabel2)) SetTextColor(dc, RGB(0, 0, 255));
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DPICHANGED:
      DpiChanged(wp, lp);
      return 0;
    case WM_CLOSE:  // the close button only hides the box
      Button1Click();
      return 0;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
