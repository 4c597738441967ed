#include "UI2.h"

#include <commctrl.h>

#include "CurrentFolder.h"
#include "Dpi.h"
#include "FileDialog.h"
#include "MessageLoop.h"
#include "dll_list.h"
#include "win_text.h"

namespace mokuna {

TForm2* Form2 = nullptr;

namespace {

constexpr int kClientWidth = 332;
constexpr int kClientHeight = 403;
constexpr RECT kTabs = {8, 8, 8 + 316, 8 + 352};
constexpr DWORD kEditStyle = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheckStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kLabelStyle = WS_VISIBLE | SS_LEFT;

// Page 1 rows: label at the left, edit at the right.
constexpr int kRow(int i) { return 48 + 34 * i; }

const ControlSpec kForm2Controls[] = {
    // 基本設定
    {TForm2::kLabelFirst + 0, L"STATIC", "せりふの更新速度（秒）", kLabelStyle, 0, 24, kRow(0) + 4, 200, 16, 1},
    {TForm2::kEserifu, L"EDIT", "", kEditStyle, WS_EX_CLIENTEDGE, 232, kRow(0), 76, 22, 1},
    {TForm2::kLabelFirst + 1, L"STATIC", "吹き出しの表示時間（秒）", kLabelStyle, 0, 24, kRow(1) + 4, 200, 16, 1},
    {TForm2::kEfukidasi, L"EDIT", "", kEditStyle, WS_EX_CLIENTEDGE, 232, kRow(1), 76, 22, 1},
    {TForm2::kLabelFirst + 2, L"STATIC", "Kavrelへのポーリング頻度(msec)", kLabelStyle, 0, 24, kRow(2) + 4, 200, 16, 1},
    {TForm2::kEevent, L"EDIT", "", kEditStyle, WS_EX_CLIENTEDGE, 232, kRow(2), 76, 22, 1},
    {TForm2::kLabelFirst + 3, L"STATIC", "自己イベントのポーリング頻度(msec)", kLabelStyle, 0, 24, kRow(3) + 4, 206, 16, 1},
    {TForm2::kEself, L"EDIT", "", kEditStyle, WS_EX_CLIENTEDGE, 232, kRow(3), 76, 22, 1},
    {TForm2::kLabelFirst + 4, L"STATIC", "最大せりふ行数", kLabelStyle, 0, 24, kRow(4) + 4, 200, 16, 1},
    {TForm2::kEdit3, L"EDIT", "", kEditStyle, WS_EX_CLIENTEDGE, 232, kRow(4), 76, 22, 1},
    {TForm2::kLabelFirst + 5, L"STATIC", "見た目", kLabelStyle, 0, 24, kRow(5) + 4, 200, 16, 1},
    {TForm2::kEdit1, L"EDIT", "", kEditStyle, WS_EX_CLIENTEDGE, 24, kRow(5) + 24, 208, 22, 1},
    {TForm2::kButton4, L"BUTTON", "参照", kButtonStyle, 0, 240, kRow(5) + 23, 68, 25, 1},
    {TForm2::kCheckBox1, L"BUTTON", "カレンダーを表示する", kCheckStyle, 0, 24, kRow(7) + 4, 240, 20, 1},
    {TForm2::kCheckBox2, L"BUTTON", "時計を表示する", kCheckStyle, 0, 24, kRow(8), 240, 20, 1},
    // DLL設定
    {TForm2::kLabelFirst + 6, L"STATIC", "利用DLL", kLabelStyle, 0, 24, 48, 200, 16, 2},
    {TForm2::kListBox1, L"LISTBOX", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE, 24, 66, 284, 200, 2},
    {TForm2::kEdit2, L"EDIT", "", kEditStyle, WS_EX_CLIENTEDGE, 24, 276, 188, 22, 2},
    {TForm2::kButton5, L"BUTTON", "DLL追加", kButtonStyle, 0, 220, 275, 88, 25, 2},
    {TForm2::kButton6, L"BUTTON", "DLL削除", kButtonStyle, 0, 220, 307, 88, 25, 2},
    // the row at the bottom right
    {TForm2::kButton1, L"BUTTON", "キャンセル", kButtonStyle, 0, 89, 370, 75, 25, 0},
    {TForm2::kButton2, L"BUTTON", "適用", kButtonStyle, 0, 169, 370, 75, 25, 0},
    {TForm2::kButton3, L"BUTTON", "OK", kButtonStyle, 0, 249, 370, 75, 25, 0},
};

// The colour the page control fills its pages with, which depends on the theme: the page's labels and
// check boxes paint their background in it.
COLORREF PaneColour(HWND tabs) {
  RECT r;
  GetClientRect(tabs, &r);
  HDC screen = GetDC(tabs);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  COLORREF colour = GetPixel(dc, r.right / 2, r.bottom / 2);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(tabs, screen);
  return colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : colour;
}

bool RunBitmapOpenDialog(HWND owner, const std::wstring& initial_dir, std::wstring& path) {
  FileOpenOptions options;
  options.filter_name = L"え(*.bmp)";
  options.filter_pattern = L"*.bmp";
  options.initial_folder = initial_dir;
  return RunFileOpenDialog(owner, options, path);
}

bool RegularFileExists(const std::string& sjis_name) {
  const DWORD attributes = GetFileAttributesW(WidenSjis(sjis_name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListItems(HWND list) {
  std::vector<std::string> items;
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const auto length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    items.push_back(NarrowToSjis(text));
  }
  return items;
}

void SetListItems(HWND list, const std::vector<std::string>& items, int selected) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& item : items)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WidenSjis(item).c_str()));
  SendMessageW(list, LB_SETCURSEL, selected, 0);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

}  // namespace

TForm2::TForm2(SettingsTarget& target, const HostSettings& values)
    : open_dialog(RunBitmapOpenDialog), target_(target), initial_(values) {}

TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
  if (Handle()) DestroyWindow(Handle());
  if (font_) DeleteObject(font_);
  if (pane_brush_) DeleteObject(pane_brush_);
}

bool TForm2::Create(HWND owner) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_DLGFRAME | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  const SIZE size = FrameSize(kClientWidth, kClientHeight, style, ex_style, DpiOf(nullptr));
  const int w = size.cx, h = size.cy;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  if (!CreateWin(L"TForm2", ex_style, style, x, y, w, h, owner)) return false;
  SetWindowTextW(Handle(), WidenSjis("プロパティ").c_str());

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  dpi_ = DpiOf(Handle());
  MakeFont();
  const RECT t = Scale(kTabs, dpi_);
  HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, t.left,
                              t.top, t.right - t.left, t.bottom - t.top, Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPageControl1)), GetModuleHandleW(nullptr),
                              nullptr);
  SendMessageW(tabs, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  const std::wstring page1 = WidenSjis("基本設定"), page2 = WidenSjis("DLL設定");
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(page1.c_str());
  SendMessageW(tabs, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  item.pszText = const_cast<wchar_t*>(page2.c_str());
  SendMessageW(tabs, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));

  CreateControls(Handle(), kForm2Controls, std::size(kForm2Controls), font_);
  // The page frame lies under the controls drawn on it.
  SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  pane_brush_ = CreateSolidBrush(pane_colour_ = PaneColour(tabs));
  ShowPage(1);
  FormCreate(initial_);
  return true;
}

void TForm2::MakeFont() {
  if (font_) DeleteObject(font_);
  font_ = CreatePixelFont(L"ＭＳ Ｐゴシック", Scale(12, dpi_));
}

// Moved onto a monitor of another scale: the suggested frame, a font for the new DPI, every control again.
void TForm2::DpiChanged(int dpi) {
  HFONT old = font_;
  font_ = nullptr;
  dpi_ = dpi;
  MakeFont();
  const RECT t = Scale(kTabs, dpi_);
  HWND tabs = Control(kPageControl1);
  SendMessageW(tabs, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SetWindowPos(tabs, nullptr, t.left, t.top, t.right - t.left, t.bottom - t.top, SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceControls(Handle(), kForm2Controls, std::size(kForm2Controls), font_, dpi_);
  if (old) DeleteObject(old);  // only once no control holds it
}

void TForm2::FormCreate(const HostSettings& values) {
  const SettingsForm f = FormFromValues(values);
  SetControlText(Control(kEdit1), f.edit1);
  SetControlText(Control(kEself), f.eself);
  SetControlText(Control(kEserifu), f.eserifu);
  SetControlText(Control(kEfukidasi), f.efukidasi);
  SetControlText(Control(kEevent), f.eevent);
  SetControlText(Control(kEdit3), f.edit3);
  SetListItems(Control(kListBox1), f.list_box1, -1);
  SendMessageW(Control(kCheckBox1), BM_SETCHECK, f.check_box1 ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(Control(kCheckBox2), BM_SETCHECK, f.check_box2 ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TForm2::ActivePage() const {
  return static_cast<int>(SendMessageW(Control(kPageControl1), TCM_GETCURSEL, 0, 0)) + 1;
}

void TForm2::ShowPage(int page) {
  SendMessageW(Control(kPageControl1), TCM_SETCURSEL, page - 1, 0);
  for (const ControlSpec& c : kForm2Controls)
    if (c.page != 0) ShowWindow(Control(c.id), c.page == page ? SW_SHOWNA : SW_HIDE);
}

SettingsForm TForm2::ReadForm() const {
  SettingsForm f;
  f.eself = ControlText(Control(kEself));
  f.eserifu = ControlText(Control(kEserifu));
  f.efukidasi = ControlText(Control(kEfukidasi));
  f.eevent = ControlText(Control(kEevent));
  f.edit1 = ControlText(Control(kEdit1));
  f.edit3 = ControlText(Control(kEdit3));
  f.list_box1 = ListItems(Control(kListBox1));
  f.check_box1 = SendMessageW(Control(kCheckBox1), BM_GETCHECK, 0, 0) == BST_CHECKED;
  f.check_box2 = SendMessageW(Control(kCheckBox2), BM_GETCHECK, 0, 0) == BST_CHECKED;
  return f;
}

void TForm2::ApplySettings() {
  try {
    mokuna::ApplySettings(ReadForm(), target_);
  } catch (const std::exception& e) {
    show_error(e.what());
  }
}

void TForm2::ShowModal() {
  if (!Handle() && (!deferred_ || !Create(deferred_owner_))) return;
  if (modal_) {
    SetForegroundWindow(Handle());
    return;
  }
  modal_ = true;
  closing_ = false;
  // Like any modal dialog: the thread's other windows take no input while this one is open.
  struct Collect {
    HWND self;
    std::vector<HWND> windows;
  } others{Handle(), {}};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        try {
          auto* c = reinterpret_cast<Collect*>(p);
          if (w != c->self && IsWindowVisible(w) && IsWindowEnabled(w)) c->windows.push_back(w);
          return TRUE;
        } catch (...) {
          return FALSE;  // no exception crosses the system; the windows found so far are disabled
        }
      },
      reinterpret_cast<LPARAM>(&others));
  const std::vector<HWND>& disabled = others.windows;
  for (HWND w : disabled) EnableWindow(w, FALSE);
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  SetFocus(Control(ActivePage() == 1 ? kEserifu : kListBox1));
  RunModalLoop(Handle(), [this] { return closing_; });
  for (HWND w : disabled)
    if (IsWindow(w)) EnableWindow(w, TRUE);
  if (Handle()) ShowWindow(Handle(), SW_HIDE);
  modal_ = false;
}

void TForm2::Close() {
  closing_ = true;
  if (!modal_) ShowWindow(Handle(), SW_HIDE);
}

void TForm2::Button1Click() { Close(); }

void TForm2::Button2Click() { ApplySettings(); }

void TForm2::Button3Click() {
  ApplySettings();
  Close();
}

void TForm2::Button4Click() {
  const KeepCurrentFolder noted;
  std::wstring path;
  if (open_dialog(Handle(), noted.Folder(), path)) SetWindowTextW(Control(kEdit1), path.c_str());
}

void TForm2::Button5Click() {
  DllListEdit list{ListItems(Control(kListBox1)),
                   static_cast<int>(SendMessageW(Control(kListBox1), LB_GETCURSEL, 0, 0)),
                   ControlText(Control(kEdit2))};
  switch (AddDll(list, RegularFileExists)) {
    case AddDllResult::kNoSuchDll:
      message_box(Handle(), "No Such DLL", "Error", MB_OK | MB_ICONEXCLAMATION);
      return;
    case AddDllResult::kAlreadyListed:
      SendMessageW(Control(kListBox1), LB_SETCURSEL, list.selected, 0);
      break;
    case AddDllResult::kAdded:
      SendMessageW(Control(kListBox1), LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(WidenSjis(list.items.back()).c_str()));
      SendMessageW(Control(kListBox1), LB_SETCURSEL, list.selected, 0);
      break;
  }
  SetControlText(Control(kEdit2), list.edit);
}

void TForm2::Button6Click() {
  HWND box = Control(kListBox1);
  DllListEdit list{ListItems(box), static_cast<int>(SendMessageW(box, LB_GETCURSEL, 0, 0)),
                   ControlText(Control(kEdit2))};
  const int selected = list.selected;
  switch (RemoveDll(list)) {
    case RemoveDllResult::kNothingSelected:
      return;
    case RemoveDllResult::kSchedulerRefused:
      message_box(Handle(), "Kavrel.dll は削除できません．", "Error", MB_OK | MB_ICONEXCLAMATION);
      return;
    case RemoveDllResult::kRemoved:
      SetControlText(Control(kEdit2), list.edit);
      SendMessageW(box, LB_DELETESTRING, selected, 0);
      return;
  }
}

LRESULT TForm2::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) break;
      switch (LOWORD(wp)) {
        case kButton1:
        case IDCANCEL:  // Esc, as the dialog has no close button
          Button1Click();
          return 0;
        case kButton2: Button2Click(); return 0;
        case kButton3: Button3Click(); return 0;
        case kButton4: Button4Click(); return 0;
        case kButton5: Button5Click(); return 0;
        case kButton6: Button6Click(); return 0;
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (header->idFrom == kPageControl1 && header->code == TCN_SELCHANGE) {
        ShowPage(ActivePage());
        return 0;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      for (const ControlSpec& c : kForm2Controls) {
        if (c.id == id && c.page != 0 && pane_brush_) {
          SetBkColor(reinterpret_cast<HDC>(wp), pane_colour_);
          return reinterpret_cast<LRESULT>(pane_brush_);
        }
      }
      break;
    }
    case WM_DPICHANGED:
      DpiChanged(TakeSuggestedRect(Handle(), wp, lp));
      return 0;
    case WM_CLOSE:  // Alt+F4 and the like: hide like キャンセル, the window lives on
      Button1Click();
      return 0;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
