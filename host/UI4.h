// TForm4, the speech balloon: a shaped, borderless, stay-on-top window cut to the outline of
// "fukidasi.bmp", with one label. TSerifu ties it to the character window: the speech queue, the
// placement beside the character and the following of the character's moves.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "CoolForm.h"
#include "Window.h"
#include "host_settings.h"
#include "result_dispatch.h"
#include "speech_queue.h"

namespace mokuna {

inline constexpr const char* kFukidasiImage = "fukidasi.bmp";
inline constexpr const char* kFukidasiMask = "fukidasi.msk";

class TForm4 : public Window {
 public:
  // Label1's place in the window.
  static constexpr int kLabelLeft = 28, kLabelTop = 28;

  TForm4();
  ~TForm4() override;

  // Creates the window at its design place, runs FormCreate (its failures go to the general error
  // handler) and shows it without activating it. owner: the window that keeps it off the task bar.
  bool Create(HWND owner = nullptr);

  // Label1's text (Shift-JIS); the window repaints.
  void SetLabelText(const std::string& sjis);
  const std::string& LabelText() const { return label_text_; }
  // Label1's bounds in client coordinates; the label sizes itself to its text.
  RECT Label1Rect() const;

  // The picture, outline, label font and label place at dpi / 96 of their design size.
  void SetDpi(int dpi);

  void Show();  // never takes the focus from the user's work
  void Hide();
  bool Visible() const { return IsWindowVisible(Handle()) != FALSE; }

  void CoolForm1MouseDown(TCoolForm& sender, TCoolForm::TMouseButton button, TCoolForm::TShiftState shift,
                          int x, int y);

  TCoolForm CoolForm1;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormCreate();
  void PaintLabel(HDC dc);
  void MakeFont();

  HFONT font_ = nullptr;
  int dpi_ = 96;
  std::string label_text_;
};

// The character window's speech: it owns the queue and drives the balloon. The character window forwards
// AddSerifu, its Timer1 tick and its two move messages, and connects the tray icon's tip to OnTipText.
class TSerifu : public SpeechView, public SpeechSink {
 public:
  explicit TSerifu(const HostSettings& settings) : queue_(settings, *this) {}

  // The character window, its picture (whose size places the balloon), its IsShown flag, and optionally
  // a flag of its own that is kept equal to IsSpeaking for the window's other handlers.
  void Attach(HWND character, const TCoolForm& character_picture, std::function<bool()> is_shown,
              bool* is_speaking = nullptr);
  // The balloon is created after the character window; until then lines queue and pass unseen.
  void SetBalloon(TForm4* balloon) { balloon_ = balloon; }
  TForm4* Balloon() const { return balloon_; }

  void AddSerifu(const std::string& text) override {
    queue_.AddSerifu(text);
    MirrorSpeaking();
  }
  void RefreshSerifu();  // one tick of Timer1 at the current clock
  void PlaceFukidasi() override;
  void OnEnterSizeMove();  // WM_ENTERSIZEMOVE of the character window
  void OnExitSizeMove();   // WM_EXITSIZEMOVE of the character window
  // The character now shows at dpi: the balloon takes the same scale and its place beside it again.
  void OnDpiChanged(int dpi);
  // The tray tip's separators from the user's locale; again whenever the user changes it.
  void ReadLocaleSeparators();

  bool IsSpeaking() const { return queue_.IsSpeaking(); }
  const SpeechQueue& Queue() const { return queue_; }
  int PlacedTop() const { return placed_top_; }
  int PlacedLeft() const { return placed_left_; }

  // Receives the tray tip text "yyyy/m/d hh:nn" at every tick.
  std::function<void(const std::string&)> OnTipText;

 private:
  void SetBalloonText(const std::string& text) override {
    if (balloon_) balloon_->SetLabelText(text);
  }
  void HideBalloon() override {
    if (balloon_) balloon_->Hide();
  }
  void SetTipText(const std::string& text) override {
    if (OnTipText) OnTipText(text);
  }

  void MirrorSpeaking() {
    if (is_speaking_) *is_speaking_ = queue_.IsSpeaking();
  }

  SpeechQueue queue_;
  bool* is_speaking_ = nullptr;
  TForm4* balloon_ = nullptr;
  HWND character_ = nullptr;
  const TCoolForm* character_picture_ = nullptr;
  std::function<bool()> is_shown_;
  int placed_top_ = 0, placed_left_ = 0;
};

}  // namespace mokuna
