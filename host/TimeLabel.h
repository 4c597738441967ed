// TimeLabel, the clock drawn over the character: a fixed-size label with centred text on the caption-text
// colour, kept at its distance from the bottom of the character window when the window changes size.
#pragma once

#include <windows.h>

#include <string>

#include "Window.h"

namespace mokuna {

class TTimeLabel : public Window {
 public:
  static constexpr int kWidth = 75;
  static constexpr int kHeight = 21;

  TTimeLabel() = default;
  ~TTimeLabel() override;

  // A hidden child of parent at its design place (32, 32) showing "24:00".
  bool Create(HWND parent);
  void SetText(const std::string& sjis);
  const std::string& Text() const { return text_; }
  void SetVisible(bool visible);
  bool Visible() const { return Handle() && IsWindowVisible(Handle()); }
  // The parent's client area is now width x height.
  void ParentResized(int width, int height);
  // The label, its font and its distance from the parent's bottom edge at dpi / 96 of their design size.
  void SetDpi(int dpi);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc);
  void MakeFont();
  HFONT font_ = nullptr;
  int dpi_ = 96;
  std::string text_ = "24:00";
};

}  // namespace mokuna
