// TForm5, the About box "About Mokuna": version notes, credits, the link to the project's home page and a
// user's guide that folds out below.
#pragma once

#include <windows.h>

#include <functional>

#include "Window.h"

namespace mokuna {

class TForm5 : public Window {
 public:
  enum : int { kLabel1 = 100, kLabel2, kButton1, kMemo1, kRichEdit1, kButton2, kMemo2 };

  TForm5();
  ~TForm5() override;

  // Creates the window hidden, folded, centred on the screen; reads version.txt from the current directory.
  // The credits come with the first Show.
  // owner: the application window, so that the window has no task-bar button of its own.
  bool Create(HWND owner = nullptr);
  // Or only remembers owner: the box, its controls and the notes are made and read at the first Show.
  void CreateWhenShown(HWND owner) { deferred_ = true, deferred_owner_ = owner; }
  void Show();

  void Button1Click();  // しめる
  void Button2Click();  // つかいかた / 説明とじる
  void Label2Click();   // the home page

  HWND Control(int id) const { return GetDlgItem(Handle(), id); }
  int Height() const;

  // Opens an address in the user's browser; replaceable for tests.
  std::function<void(HWND, const char*)> open_url;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool deferred_ = false;
  HWND deferred_owner_ = nullptr;
  void FormCreate();
  void CreateCredits();
  void SetHeight(int height);
  void MakeFonts();
  void DpiChanged(WPARAM wp, LPARAM lp);

  HFONT font_ = nullptr, link_font_ = nullptr, credit_font_ = nullptr;
  int dpi_ = 96;  // the DPI the controls and fonts are made for
};

// The TForm5 of the process (null before start-up creates it).
extern TForm5* Form5;

}  // namespace mokuna
