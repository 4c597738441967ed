// TForm2, the settings dialog "プロパティ".
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Controls.h"
#include "Window.h"
#include "settings_apply.h"

namespace mokuna {

class TForm2 : public Window {
 public:
  enum : int {
    kPageControl1 = 200,
    kEserifu, kEfukidasi, kEevent, kEself, kEdit3, kEdit1, kButton4, kCheckBox1, kCheckBox2,
    kListBox1, kEdit2, kButton5, kButton6,
    kButton1, kButton2, kButton3,
    kLabelFirst = 300,  // the unnamed labels
  };

  // target receives what applying copies; the controls are filled from values once, at creation.
  TForm2(SettingsTarget& target, const HostSettings& values);
  ~TForm2() override;

  // Creates the dialog hidden, centred on the screen.
  bool Create(HWND owner = nullptr);
  // Or only remembers owner: the dialog and its controls are made at the first ShowModal, filled from the
  // values given at construction as Create would have filled them.
  void CreateWhenShown(HWND owner) { deferred_ = true, deferred_owner_ = owner; }
  // Shows the dialog modally: the program's other windows are disabled until OK or キャンセル closes it.
  // Timer and other messages keep being handled meanwhile. A second call while open only brings it forward.
  void ShowModal();
  bool IsModalOpen() const { return modal_; }

  void Button1Click();  // キャンセル
  void Button2Click();  // 適用
  void Button3Click();  // OK
  void Button4Click();  // 参照
  void Button5Click();  // DLL追加
  void Button6Click();  // DLL削除

  HWND Control(int id) const { return GetDlgItem(Handle(), id); }
  int ActivePage() const;

  // Replaceable for tests.
  MessageBoxFn message_box = ShowMessageBox;
  std::function<void(const std::string&)> show_error = ShowGeneralError;
  // Runs OpenDialog1 starting in initial_dir; true with the chosen file's full path.
  std::function<bool(HWND, const std::wstring& initial_dir, std::wstring& path)> open_dialog;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool deferred_ = false;
  HWND deferred_owner_ = nullptr;
  void FormCreate(const HostSettings& values);
  SettingsForm ReadForm() const;
  void ApplySettings();
  void Close();
  void ShowPage(int page);
  void MakeFont();
  void DpiChanged(int dpi);

  SettingsTarget& target_;
  HostSettings initial_;
  HFONT font_ = nullptr;
  int dpi_ = 96;  // the DPI the controls and font are made for
  HBRUSH pane_brush_ = nullptr;
  COLORREF pane_colour_ = 0;
  bool modal_ = false;
  bool closing_ = false;
};

// The TForm2 of the process (null before start-up creates it).
extern TForm2* Form2;

}  // namespace mokuna
