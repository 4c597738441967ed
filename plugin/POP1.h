// POP1: the mail checker's settings window TForm1 and the work of the plug-in's two exports. The window is
// built anew by every call: building it loads epop.ini (settings, module state, sound player); PropertyPage
// shows it modally, CheckMail only uses what it loaded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "MciSound.h"
#include "WindowBase.h"
#include "epop_settings.h"

namespace fennick {

// Control identifiers of TForm1 (the tests find the controls by them).
enum ControlId : int {
  kIdButton1 = 1001,  // キャンセル
  kIdButton2,         // OK
  kIdButton3,         // 参照
  kIdButton4,         // 直前の受信を再確認
  kIdCheckBox1,
  kIdCheckBox2,
  kIdEdit1,
  kIdEdit2,
  kIdEdit3,
  kIdEdit5,
  kIdEdit6,
  kIdRadioGroup1,
  kIdRadioPop,
  kIdRadioApop,
  kIdLabel1,
  kIdLabel2,
  kIdLabel3,
  kIdLabel4,
  kIdLabel5,
  // The connection's row in Panel1, under the protocol.
  kIdLabel6,     // 暗号化
  kIdComboBox1,  // なし / SSL/TLS / STARTTLS
  kIdLabel7,     // ポート
  kIdEdit4,      // port, empty for the default of the security
  // The provider row at the top of Panel1 and the protocol row under the server.
  kIdLabel8,     // 受信方式
  kIdComboBox2,  // POP3 / IMAP
  kIdLabel9,     // プロバイダ
  kIdComboBox3,  // その他 and the providers' presets
  kIdCheckBox3,  // 差出人と件名も知らせる, beside 音を出す
};

// The two things of the plug-in that wait for the user besides the window itself. Tests replace them.
struct UiHooks {
  // Reports an error (Shift-JIS text) in a message box.
  std::function<void(HWND owner, const std::string& text)> show_error;
  // Runs the file-open dialog for the sound file; true with the chosen full path when the user chose one.
  std::function<bool(HWND owner, std::wstring& path)> choose_sound_file;
};
UiHooks& Hooks();
// The real ones, for tests that replace only one hook.
void ShowErrorMessageBox(HWND owner, const std::string& text);
bool RunSoundFileDialog(HWND owner, std::wstring& path);

class TForm1 : public mokuna::Window {
 public:
  // Builds the window object and runs FormCreate: epop.ini into the settings, state and MediaPlayer1. A
  // load error is shown to the user; the object keeps what was loaded before it.
  explicit TForm1(ModuleState& state);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Creates the window (298 x 359, centred), applies the enabling rule, runs it modally on this thread and
  // returns its modal result (1 OK, 2 cancel, 6 recheck). The settings then hold what the controls held.
  int ShowModal();

  const EpopSettings& Settings() const { return settings_; }
  // The protocol epop.ini named when the window was built: the one the last check used.
  int LoadedProtocol() const { return loaded_protocol_; }
  // epop.ini is there but could not be read: the user was told, nothing was loaded, nothing may be written.
  bool Unreadable() const { return unreadable_; }
  MciSound& MediaPlayer1() { return player_; }
  // The load the window made, for the write after OK.
  const EpopFile& File() const { return file_; }
  // Handle(): the window while it is shown, else null.

 private:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void CreateControls();
  void FitDropDowns();
  void DpiChanged(WPARAM wp, LPARAM lp);
  void ApplyEnabling();
  void MoveRadioTabStop();
  void CollectSettings();
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  void CheckBox1Click();
  void CheckBox2Click();
  void ComboBox1Change();
  void ComboBox2Change();
  void ComboBox3Change();
  int ChosenProtocol() const;
  bool PortAccepted();
  void Button3Click();
  void EndModal(int result);

  ModuleState& state_;
  EpopFile file_;
  EpopSettings settings_;
  MciSound player_;
  HFONT font_ = nullptr;
  int dpi_ = 96;  // the DPI the controls and font are made for
  int modal_result_ = 0;
  bool unreadable_ = false;
  int loaded_protocol_ = kProtocolPop3;
};

// The work of the exports, for tests that run them with a module state of their own.
std::string RunCheckMail(ModuleState& state);
std::string RunPropertyPage(ModuleState& state);

}  // namespace fennick
