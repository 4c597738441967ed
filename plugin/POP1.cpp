#include "POP1.h"

#include <iterator>
#include <string>

#include "ControlTable.h"
#include "CurrentFolder.h"
#include "Dpi.h"
#include "DpapiProtector.h"
#include "FileDialog.h"
#include "MessageLoop.h"
#include "JapaneseFont.h"
#include "TlsTransport.h"
#include "mail_check.h"
#include "mail_presets.h"
#include "win_text.h"

namespace fennick {
namespace {

constexpr wchar_t kClassName[] = L"FennickTForm1";
constexpr char kCaption[] = "メール取得の設定";
// The connection's row (security and port) makes Panel1 and everything below it this much taller; so do
// the provider row above the server and the protocol row under it.
constexpr int kSecurityRow = 24;
constexpr int kPresetRow = 24;
// The protocol's drop-down ends where RadioGroup1's frame begins: a group box paints over what it overlaps.
constexpr int kProtocolRow = 29;
constexpr int kNewRows = kSecurityRow + kPresetRow + kProtocolRow;
constexpr int kClientWidth = 290;
constexpr int kClientHeight = 260 + kNewRows;
// Panel1 in client pixels; its controls are placed relative to it.
constexpr RECT kPanel1 = {8, 126, 8 + 273, 126 + 57 + kNewRows};
constexpr int kBelowPanel1 = kNewRows;  // how far the controls under Panel1 moved down
// How far the server row and the rows under the protocol row moved down in Panel1.
constexpr int kBelowPreset = kPresetRow;
constexpr int kBelowProtocol = kPresetRow + kProtocolRow;
// The security and protocol choices in the order of their values in epop.ini.
const char* const kSecurityNames[] = {"なし", "SSL/TLS", "STARTTLS"};
const char* const kProtocolNames[] = {"POP3", "IMAP"};
constexpr char kPortErrorCaption[] = "Error";
constexpr char kPortErrorText[] =
    "ポートには 1 から 65535 までの数を入れてください．\r\n空にすると暗号化に合ったポートを使います．";

using Kind = mokuna::ControlKind;
constexpr int kFieldHeight = 20;     // the edit fields, and the drop-downs' closed boxes beside them
constexpr int kDropDownRoom = 120;  // below a drop-down's closed box, for the opened list

// A row of the control table. x, y: client pixels, or Panel1's with in_panel; w = 0 sizes a label to its
// text; h of a drop-down is its closed height.
constexpr mokuna::ControlSpec Row(int id, Kind kind, const char* text, int x, int y, int w, int h, bool in_panel) {
  return mokuna::ControlRow(id, kind, text, x + (in_panel ? kPanel1.left : 0), y + (in_panel ? kPanel1.top : 0), w,
                            kind == Kind::kDropDown ? h + kDropDownRoom : h);
}

// In tab order: creation order is the order Tab walks. Labels take no focus and come first.
const mokuna::ControlSpec kControls[] = {
    Row(kIdLabel1, Kind::kLabel, "分おき", 237, 57, 0, 0, false),
    Row(kIdLabel2, Kind::kLabel, "POPアカウント", 3, 82, 0, 0, false),
    Row(kIdLabel3, Kind::kLabel, "POPパスワード", 2, 106, 0, 0, false),
    Row(kIdLabel9, Kind::kLabel, "プロバイダ", 8, 13, 0, 0, true),
    Row(kIdLabel4, Kind::kLabel, "POPサーバ", 8, 13 + kBelowPreset, 0, 0, true),
    Row(kIdLabel8, Kind::kLabel, "受信方式", 12, 13 + kBelowPreset + 24, 0, 0, true),
    Row(kIdLabel5, Kind::kLabel, "プロトコル", 12, 35 + kBelowProtocol, 0, 0, true),
    Row(kIdLabel6, Kind::kLabel, "暗号化", 12, 64 + kBelowProtocol, 0, 0, true),
    Row(kIdLabel7, Kind::kLabel, "ポート", 178, 64 + kBelowProtocol, 0, 0, true),
    Row(kIdEdit1, Kind::kEdit, "", 80, 78, 193, 20, false),
    Row(kIdEdit2, Kind::kPassword, "", 80, 102, 193, 20, false),
    // The provider row: a preset fills the rows under it.
    Row(kIdComboBox3, Kind::kDropDown, "", 72, 8, 193, kFieldHeight, true),
    Row(kIdEdit3, Kind::kEdit, "127.0.0.1", 72, 8 + kBelowPreset, 193, 20, true),
    // The protocol row, as wide as the security's drop-down.
    Row(kIdComboBox2, Kind::kDropDown, "", 72, 8 + kBelowPreset + 24, 96, kFieldHeight, true),
    Row(kIdRadioGroup1, Kind::kGroup, "", 72, 23 + kBelowProtocol, 193, 33, true),
    // The two items of RadioGroup1 in two columns of (193 - 10) / 2 pixels.
    Row(kIdRadioPop, Kind::kRadioFirst, "POP", 72 + 8, 23 + 12 + kBelowProtocol, 85, 16, true),
    Row(kIdRadioApop, Kind::kRadio, "APOP", 72 + 8 + 91, 23 + 12 + kBelowProtocol, 85, 16, true),
    // The connection's row: the drop-down under the protocol's left edge, the port ending with Edit3.
    Row(kIdComboBox1, Kind::kDropDown, "", 72, 59 + kBelowProtocol, 96, kFieldHeight, true),
    Row(kIdEdit4, Kind::kEdit, "", 214, 59 + kBelowProtocol, 51, 20, true),
    Row(kIdButton1, Kind::kButton, "キャンセル", 136, 233 + kBelowPanel1, 75, 25, false),
    Row(kIdButton2, Kind::kButton, "OK", 214, 233 + kBelowPanel1, 75, 25, false),
    Row(kIdCheckBox1, Kind::kCheckBox, "メールチェックする", 32, 54, 121, 17, false),
    Row(kIdEdit5, Kind::kEdit, "0", 176, 54, 57, 20, false),
    Row(kIdCheckBox2, Kind::kCheckBox, "音を出す", 32, 188 + kBelowPanel1, 73, 17, false),
    Row(kIdCheckBox3, Kind::kCheckBox, "差出人と件名も知らせる", 120, 188 + kBelowPanel1, 160, 17, false),
    Row(kIdEdit6, Kind::kEdit, "", 80, 206 + kBelowPanel1, 169, 20, false),
    Row(kIdButton3, Kind::kButton, "参照", 250, 206 + kBelowPanel1, 40, 19, false),
    Row(kIdButton4, Kind::kButton, "直前の受信を再確認", 79, 4, 132, 45, false),
};

std::vector<const char*> DropDownItems(int id) {
  if (id == kIdComboBox2) return {std::begin(kProtocolNames), std::end(kProtocolNames)};
  if (id == kIdComboBox3) {
    int count = 0;
    const MailPreset* presets = MailPresets(count);
    std::vector<const char*> names;
    for (int i = 0; i < count; ++i) names.push_back(presets[i].name);
    return names;
  }
  return {std::begin(kSecurityNames), std::end(kSecurityNames)};
}

// A path goes into epop.ini as Shift-JIS; a name with characters outside it is stored by its short name,
// which the file system keeps in plain letters, so the sound still opens.
std::wstring StorablePath(const std::wstring& path) {
  if (mokuna::WidenSjis(mokuna::NarrowToSjis(path)) == path) return path;
  std::wstring short_path(MAX_PATH, L'\0');
  const DWORD n = GetShortPathNameW(path.c_str(), &short_path[0], static_cast<DWORD>(short_path.size()));
  if (n == 0 || n >= short_path.size()) return path;
  short_path.resize(n);
  return short_path;
}

// Shift-JIS text as UTF-8. Bytes that are no Shift-JIS (a file saved in another code) go as they stand.
std::string SjisToUtf8(const std::string& sjis) {
  if (sjis.empty()) return sjis;
  const int size = static_cast<int>(sjis.size());
  const int wide_size = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, sjis.data(), size, nullptr, 0);
  if (wide_size <= 0) return sjis;
  std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
  MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, sjis.data(), size, &wide[0], wide_size);
  const int utf8_size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  if (utf8_size <= 0) return sjis;
  std::string utf8(static_cast<std::size_t>(utf8_size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, &utf8[0], utf8_size, nullptr, nullptr);
  return utf8;
}

}  // namespace

void ShowErrorMessageBox(HWND owner, const std::string& text) {
  MessageBoxW(owner, mokuna::WidenSjis(text).c_str(), mokuna::WidenSjis(kCaption).c_str(),
              MB_OK | MB_ICONERROR | (owner ? 0u : MB_TASKMODAL));
}

bool RunSoundFileDialog(HWND owner, std::wstring& path) {
  mokuna::FileOpenOptions options;
  options.filter_name = mokuna::WidenSjis("おと(*.wav)");
  options.filter_pattern = L"*.wav";
  options.title = mokuna::WidenSjis("おとファイルを開く");
  options.default_folder = mokuna::CurrentFolder();  // where the older dialog opened
  return mokuna::RunFileOpenDialog(owner, options, path);
}

UiHooks& Hooks() {
  static UiHooks hooks{ShowErrorMessageBox, RunSoundFileDialog};
  return hooks;
}

TForm1::TForm1(ModuleState& state) : state_(state) {
  const EpopLoadResult load = file_.LoadFile(kEpopFileName, settings_, state_, &player_);
  loaded_protocol_ = settings_.MailProtocol;
  unreadable_ = load.error == EpopLoadResult::Error::Unreadable;
  // A password protected for another user or PC shows as empty, to be typed again.
  OpenPassword(settings_, DpapiProtector());
  if (load.ok() || !Hooks().show_error) return;
  if (unreadable_)
    Hooks().show_error(nullptr, std::string("設定ファイル ") + kEpopFileName + " を読み込めませんでした．\r\n" +
                                    load.message +
                                    "\r\nファイルを使っているほかのプログラムを閉じてから，もう一度開いてください．");
  else
    Hooks().show_error(nullptr, load.message);
}

TForm1::~TForm1() {
  if (font_) DeleteObject(font_);
  player_.Close();
}

int TForm1::ShowModal() {
  // The scheduler calls plug-ins as knowing nothing of DPI; this window scales itself, so it says so.
  const mokuna::ThreadDpiAwareness aware(mokuna::ThreadDpiAwareness::Kind::PerMonitorV2);
  const DWORD style = WS_POPUP | WS_CAPTION;
  const DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  const SIZE frame = mokuna::FrameSize(kClientWidth, kClientHeight, style, ex_style, mokuna::DpiOf(nullptr));
  const int width = frame.cx, height = frame.cy;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  // The caller's window stays disabled while ours is up, as with any modal window.
  HWND owner = GetActiveWindow();
  modal_result_ = 0;
  if (!CreateWin(kClassName, ex_style, style, x, y, width, height, owner)) {
    UnregisterClassW(kClassName, Module());
    return mrCancel;
  }
  SetWindowTextW(hwnd_, mokuna::WidenSjis(kCaption).c_str());
  CreateControls();
  ApplyEnabling();
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  // Focus on the first control in tab order that takes it.
  SetFocus(GetNextDlgTabItem(hwnd_, nullptr, FALSE));
  if (!mokuna::RunModalLoop(hwnd_, [this] { return modal_result_ != 0; })) modal_result_ = mrCancel;
  CollectSettings();
  // Enabled again before ours goes, so the activation returns to the owner.
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  DestroyWindow(hwnd_);
  // The class lives in this DLL, which may be unloaded before the next call.
  UnregisterClassW(kClassName, Module());
  return modal_result_;
}

void TForm1::CreateControls() {
  dpi_ = mokuna::DpiOf(hwnd_);
  font_ = mokuna::CreatePageFont(dpi_);
  mokuna::CreateControls(hwnd_, kControls, std::size(kControls), font_);
  for (int id : {kIdComboBox3, kIdComboBox2, kIdComboBox1}) {
    HWND control = Item(id);
    for (const char* name : DropDownItems(id))
      SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mokuna::WidenSjis(name).c_str()));
  }
  FitDropDowns();
  for (int id : {kIdEdit1, kIdEdit2, kIdEdit3, kIdEdit4, kIdEdit5, kIdEdit6}) SendMessageW(Item(id), EM_SETLIMITTEXT, 0, 0);
  SendMessageW(Item(kIdEdit2), EM_SETPASSWORDCHAR, L'*', 0);

  // The loaded settings into the controls.
  CheckDlgButton(hwnd_, kIdCheckBox1, settings_.isCheckMail ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd_, kIdCheckBox2, settings_.isPlay ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd_, kIdCheckBox3, settings_.AnnounceSender ? BST_CHECKED : BST_UNCHECKED);
  mokuna::SetControlText(Item(kIdEdit5), settings_.CheckInterval);
  mokuna::SetControlText(Item(kIdEdit1), settings_.Account);
  mokuna::SetControlText(Item(kIdEdit2), settings_.Password);
  mokuna::SetControlText(Item(kIdEdit3), settings_.POPServer);
  mokuna::SetControlText(Item(kIdEdit6), settings_.FilePlaying);
  SendMessageW(Item(kIdComboBox1), CB_SETCURSEL, static_cast<WPARAM>(ShownSecurity(settings_.POPSecurity)), 0);
  SendMessageW(Item(kIdComboBox2), CB_SETCURSEL, static_cast<WPARAM>(settings_.MailProtocol), 0);
  SendMessageW(Item(kIdComboBox3), CB_SETCURSEL, 0, 0);
  mokuna::SetControlText(Item(kIdEdit4), settings_.POPPort);
  if (settings_.isUseAPOP == 0) CheckDlgButton(hwnd_, kIdRadioPop, BST_CHECKED);
  if (settings_.isUseAPOP >= 1) CheckDlgButton(hwnd_, kIdRadioApop, BST_CHECKED);
  MoveRadioTabStop();
}

// The closed boxes as tall as the edit fields beside them. How the selection field's height turns into the
// box's differs between systems, so the field is asked for again until the box measures right.
void TForm1::FitDropDowns() {
  const int wanted = mokuna::Scale(kFieldHeight, dpi_);
  for (int id : {kIdComboBox3, kIdComboBox2, kIdComboBox1}) {
    HWND control = Item(id);
    LRESULT field = SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 4 && field != CB_ERR; ++attempt) {
      RECT closed{};
      GetWindowRect(control, &closed);
      const int off = wanted - (closed.bottom - closed.top);
      if (off == 0) break;
      field += off;
      SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
  }
}

// Moved onto a monitor of another scale: the suggested frame, a font for the new DPI, every control again.
void TForm1::DpiChanged(WPARAM wp, LPARAM lp) {
  dpi_ = mokuna::RescalePage(hwnd_, wp, lp, kControls, std::size(kControls), font_);
  FitDropDowns();
}

// Tab enters the protocol group at the marked item (the first when none is marked).
void TForm1::MoveRadioTabStop() {
  const bool apop = IsDlgButtonChecked(hwnd_, kIdRadioApop) == BST_CHECKED;
  for (int id : {kIdRadioPop, kIdRadioApop}) {
    HWND radio = Item(id);
    const LONG_PTR style = GetWindowLongPtrW(radio, GWL_STYLE);
    const bool stop = (id == kIdRadioApop) == apop;
    SetWindowLongPtrW(radio, GWL_STYLE, stop ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  }
}

void TForm1::ApplyEnabling() {
  const bool checking = IsDlgButtonChecked(hwnd_, kIdCheckBox1) == BST_CHECKED;
  const bool sound = checking && IsDlgButtonChecked(hwnd_, kIdCheckBox2) == BST_CHECKED;
  for (int id : {kIdEdit1, kIdEdit2, kIdEdit3, kIdEdit5, kIdComboBox1, kIdEdit4, kIdCheckBox2, kIdCheckBox3,
                 kIdComboBox2, kIdComboBox3})
    EnableWindow(Item(id), checking);
  for (int id : {kIdEdit6, kIdButton3}) EnableWindow(Item(id), sound);
  // USER/PASS or APOP is a choice of POP3 only.
  const bool pop3 = checking && ChosenProtocol() == kProtocolPop3;
  for (int id : {kIdRadioGroup1, kIdRadioPop, kIdRadioApop}) EnableWindow(Item(id), pop3);
}

void TForm1::CheckBox1Click() { ApplyEnabling(); }

// CheckBox2 can be clicked only while CheckBox1 is checked, so the one rule serves both.
void TForm1::CheckBox2Click() { ApplyEnabling(); }

int TForm1::ChosenProtocol() const {
  return SendMessageW(Item(kIdComboBox2), CB_GETCURSEL, 0, 0) == kProtocolImap ? kProtocolImap : kProtocolPop3;
}

// The port follows the protocol and the security while it holds one of their usual ports (or nothing, for
// SSL/TLS); a port typed by the user stays.
void TForm1::ComboBox1Change() {
  const LRESULT security = SendMessageW(Item(kIdComboBox1), CB_GETCURSEL, 0, 0);
  const std::string port = mokuna::ControlText(Item(kIdEdit4));
  const std::string then = PortAfterChoice(port, ChosenProtocol(), static_cast<int>(security));
  if (then != port) mokuna::SetControlText(Item(kIdEdit4), then);
}

void TForm1::ComboBox2Change() {
  ApplyEnabling();
  ComboBox1Change();
}

// A provider's preset fills the server, protocol, security and port; "その他" changes nothing.
void TForm1::ComboBox3Change() {
  const LRESULT chosen = SendMessageW(Item(kIdComboBox3), CB_GETCURSEL, 0, 0);
  int count = 0;
  const MailPreset* presets = MailPresets(count);
  if (chosen < 0 || chosen >= count || !presets[chosen].server) return;
  const MailPreset& preset = presets[chosen];
  mokuna::SetControlText(Item(kIdEdit3), preset.server);
  SendMessageW(Item(kIdComboBox2), CB_SETCURSEL, static_cast<WPARAM>(preset.protocol), 0);
  SendMessageW(Item(kIdComboBox1), CB_SETCURSEL, static_cast<WPARAM>(preset.security), 0);
  SetWindowTextW(Item(kIdEdit4), std::to_wstring(preset.port).c_str());
  // The providers' POP3 takes USER/PASS.
  if (preset.protocol == kProtocolPop3) {
    CheckDlgButton(hwnd_, kIdRadioPop, BST_CHECKED);
    CheckDlgButton(hwnd_, kIdRadioApop, BST_UNCHECKED);
    MoveRadioTabStop();
  }
  ApplyEnabling();
}

// OK takes the port field only empty or as a port; otherwise the user is told and the window stays.
bool TForm1::PortAccepted() {
  const std::string port = mokuna::ControlText(Item(kIdEdit4));
  if (port.empty() || ParsePort(port)) return true;
  MessageBoxW(hwnd_, mokuna::WidenSjis(kPortErrorText).c_str(), mokuna::WidenSjis(kPortErrorCaption).c_str(),
              MB_OK | MB_ICONEXCLAMATION);
  if (IsWindowEnabled(Item(kIdEdit4))) {
    SetFocus(Item(kIdEdit4));
    SendMessageW(Item(kIdEdit4), EM_SETSEL, 0, -1);
  }
  return false;
}

void TForm1::Button3Click() {
  std::wstring path;
  bool chosen;
  {
    const mokuna::KeepCurrentFolder keep;  // epop.ini must stay where it was
    chosen = Hooks().choose_sound_file && Hooks().choose_sound_file(hwnd_, path);
  }
  if (chosen) SetWindowTextW(Item(kIdEdit6), StorablePath(path).c_str());
}

void TForm1::EndModal(int result) {
  modal_result_ = result;
  // A click that came as a sent message leaves GetMessage waiting: give the loop a message to wake on.
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void TForm1::CollectSettings() {
  // A field the user left alone keeps its bytes, even ones that do not survive the way through UTF-16.
  auto text = [&](int id, std::string& field) {
    const std::wstring now = mokuna::WindowTextW(Item(id));
    if (now != mokuna::WidenSjis(field)) field = mokuna::NarrowToSjis(now);
  };
  settings_.isCheckMail = IsDlgButtonChecked(hwnd_, kIdCheckBox1) == BST_CHECKED;
  settings_.isPlay = IsDlgButtonChecked(hwnd_, kIdCheckBox2) == BST_CHECKED;
  settings_.AnnounceSender = IsDlgButtonChecked(hwnd_, kIdCheckBox3) == BST_CHECKED;
  text(kIdEdit5, settings_.CheckInterval);
  text(kIdEdit1, settings_.Account);
  text(kIdEdit2, settings_.Password);
  text(kIdEdit3, settings_.POPServer);
  text(kIdEdit6, settings_.FilePlaying);
  text(kIdEdit4, settings_.POPPort);
  const LRESULT security = SendMessageW(Item(kIdComboBox1), CB_GETCURSEL, 0, 0);
  settings_.POPSecurity = ShownSecurity(security == CB_ERR ? kSecurityUnknown : static_cast<int>(security));
  settings_.MailProtocol = ChosenProtocol();
  if (IsDlgButtonChecked(hwnd_, kIdRadioPop) == BST_CHECKED)
    settings_.isUseAPOP = 0;
  else if (IsDlgButtonChecked(hwnd_, kIdRadioApop) == BST_CHECKED)
    settings_.isUseAPOP = 1;
  else
    settings_.isUseAPOP = -1;
}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == CBN_SELCHANGE) {
        switch (LOWORD(wp)) {
          case kIdComboBox1: ComboBox1Change(); return 0;
          case kIdComboBox2: ComboBox2Change(); return 0;
          case kIdComboBox3: ComboBox3Change(); return 0;
        }
      }
      if (HIWORD(wp) != BN_CLICKED) break;
      switch (LOWORD(wp)) {
        case kIdButton2:
          if (PortAccepted()) EndModal(mrOk);
          return 0;
        case kIdButton1:
        case IDCANCEL:  // Escape
          EndModal(mrCancel);
          return 0;
        case kIdButton4: EndModal(mrRecheck); return 0;
        case kIdButton3: Button3Click(); return 0;
        case kIdCheckBox1: CheckBox1Click(); return 0;
        case kIdCheckBox2: CheckBox2Click(); return 0;
        case kIdRadioPop:
        case kIdRadioApop: MoveRadioTabStop(); return 0;
      }
      break;
    case WM_DPICHANGED:
      DpiChanged(wp, lp);
      return 0;
    case WM_CLOSE:  // Alt+F4: closed some other way than OK or the recheck button
      EndModal(mrCancel);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      RECT panel = mokuna::Scale(kPanel1, dpi_);
      DrawEdge(dc, &panel, BDR_RAISEDINNER, BF_RECT);
      EndPaint(hwnd_, &ps);
      return 0;
    }
  }
  return DefaultProc(msg, wp, lp);
}

std::string RunCheckMail(ModuleState& state) {
  TlsTransport transport;
  MciSound player;
  const DpapiProtector protector;
  CheckMailEnv env;
  env.transport = &transport;
  env.player = &player;
  env.protector = &protector;
  env.to_utf8 = SjisToUtf8;
  env.on_load_error = [](const EpopLoadResult& load) {
    if (Hooks().show_error) Hooks().show_error(nullptr, load.message);
  };
  return CheckMail(state, env);
}

std::string RunPropertyPage(ModuleState& state) {
  std::string result;
  std::string save_error;
  bool password_kept = true;
  {
    TForm1 form(state);
    // With the file unread the window would show defaults, and OK would write them over the user's file.
    if (form.Unreadable()) return PropertyPageResult(mrCancel, form.Settings(), state);
    const int modal_result = form.ShowModal();
    EpopSettings settings = form.Settings();
    if (modal_result == mrOk) {
      ForgetStateOnProtocolChange(form.LoadedProtocol(), settings, state);
      form.File().KeepUnreadPassword(settings);
      password_kept = ProtectPassword(settings, DpapiProtector());
    } else {
      settings.MailProtocol = form.LoadedProtocol();  // the recheck repeats what the last check saw
    }
    result = FinishPropertyPage(modal_result, settings, state, kEpopFileName, &save_error, &form.File());
  }
  if (!save_error.empty() && Hooks().show_error)
    Hooks().show_error(GetActiveWindow(), "設定を epop.ini に保存できませんでした．\r\n" + save_error);
  // Never in plain text: a password Windows would not encrypt is not kept at all.
  if (!password_kept && Hooks().show_error)
    Hooks().show_error(GetActiveWindow(), "パスワードを暗号化できなかったため，保存しませんでした．");
  return result;
}

}  // namespace fennick
