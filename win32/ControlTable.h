// Child controls made from a table at their pixel places, and their text in Shift-JIS.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace mokuna {

// One child control at its pixel position. text is Shift-JIS. A static control of width 0 is as wide and as
// tall as its text in the table's font. page: 0 none, else the tab page it is on.
struct ControlSpec {
  int id;
  const wchar_t* window_class;
  const char* text;
  DWORD style;
  DWORD ex_style;
  int x, y, w, h;
  int page;
};

// The kinds of control the settings pages are made of. No kind clips its siblings: a group box must let its
// radio buttons show through.
enum class ControlKind { kLabel, kEdit, kPassword, kButton, kCheckBox, kGroup, kRadioFirst, kRadio, kList, kDropDown };

// A visible control of kind with the class and styles of that kind. x, y, w, h in 96-DPI client pixels.
constexpr ControlSpec ControlRow(int id, ControlKind kind, const char* text, int x, int y, int w, int h) {
  struct KindStyle {
    const wchar_t* window_class;
    DWORD style, ex_style;
  };
  constexpr KindStyle kinds[] = {
      {L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
      {L"EDIT", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
      {L"EDIT", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE},
      {L"BUTTON", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0},
      {L"BUTTON", WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, 0},
      {L"BUTTON", BS_GROUPBOX, 0},
      {L"BUTTON", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0},
      {L"BUTTON", BS_AUTORADIOBUTTON, 0},
      {L"LISTBOX", WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE},
      {L"COMBOBOX", WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST, 0},
  };
  const KindStyle& k = kinds[static_cast<int>(kind)];
  return {id, k.window_class, text, WS_VISIBLE | k.style, k.ex_style, x, y, w, h, 0};
}

// The 12-pixel ＭＳ Ｐゴシック the settings pages are written in, made for dpi; the caller owns it.
HFONT CreatePageFont(int dpi);

// Creates the controls of table on parent, in the table's order (which is the tab order), with font; the
// controls are found by id. The table's places are 96-DPI pixels, scaled to the parent's DPI; font is made
// for that DPI by the caller.
void CreateControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font);

// Moves the controls of table (found by id) to their places at dpi and gives them font, made for dpi: what a
// window does when it comes onto a monitor of another scale.
void PlaceControls(HWND parent, const ControlSpec* table, std::size_t count, HFONT font, int dpi);

// WM_DPICHANGED: window takes the rectangle the system suggests (lp); the new DPI (from wp).
int TakeSuggestedRect(HWND window, WPARAM wp, LPARAM lp);

// WM_DPICHANGED on a page of table's controls: the suggested rectangle, font (from CreatePageFont) replaced by
// one for the new DPI, and every control placed again. Returns the new DPI.
int RescalePage(HWND window, WPARAM wp, LPARAM lp, const ControlSpec* table, std::size_t count, HFONT& font);

// The outer size of a window of style whose client area is client_w x client_h pixels at 96 DPI, at dpi.
SIZE FrameSize(int client_w, int client_h, DWORD style, DWORD ex_style, int dpi);

// A window's text as Shift-JIS, and back.
std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& sjis);
// The same as it is: for text compared with what it held, where bytes outside Shift-JIS must not be lost.
std::wstring WindowTextW(HWND window);

}  // namespace mokuna
