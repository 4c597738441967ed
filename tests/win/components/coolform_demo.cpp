// Shows a shaped window cut to a generated character picture over a patterned desktop window, for a look
// (or a screenshot) under Wine. Usage: coolform_demo [seconds] [picture.bmp]
// Without a picture it draws its own; the mask file is made afresh beside the picture either way.
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "CoolForm.h"
#include "mask_reference.h"

namespace {

mokuna::TCoolForm* g_form = nullptr;

LRESULT CALLBACK ShapedProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  LRESULT result = 0;
  if (g_form && g_form->HandleParentMessage(m, w, l, result)) return result;
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, m, w, l);
}

LRESULT CALLBACK BackdropProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT r;
    GetClientRect(h, &r);
    for (int y = 0; y < r.bottom; y += 16)
      for (int x = 0; x < r.right; x += 16) {
        RECT cell{x, y, x + 16, y + 16};
        HBRUSH b = CreateSolidBrush(((x + y) / 16) % 2 ? RGB(40, 90, 160) : RGB(230, 230, 120));
        FillRect(dc, &cell, b);
        DeleteObject(b);
      }
    EndPaint(h, &ps);
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

// A round character with eyes and feet on a magenta background that becomes transparent.
COLORREF Character(int x, int y) {
  const double dx = x - 60, dy = y - 55;
  const bool body = dx * dx / (55.0 * 55.0) + dy * dy / (50.0 * 50.0) < 1.0;
  const bool foot = (std::abs(x - 35) < 12 || std::abs(x - 85) < 12) && y >= 100 && y < 112;
  const bool ear = y < 20 && std::abs(std::abs(x - 60) - 30) < (20 - y) / 2 + 2 && y > 2;
  if (!(body || foot || ear)) return RGB(255, 0, 255);
  const double ex = std::abs(dx) - 20, ey = dy + 10;
  if (body && ex * ex + ey * ey < 64) return RGB(20, 20, 20);
  if (body && std::abs(dx) < 12 && std::abs(dy - 15) < 3) return RGB(180, 30, 30);
  return foot ? RGB(120, 70, 20) : RGB(250, 170, 60);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW back{};
  back.lpfnWndProc = BackdropProc;
  back.hInstance = instance;
  back.lpszClassName = L"Backdrop";
  RegisterClassW(&back);
  CreateWindowExW(0, back.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, instance,
                  nullptr);

  std::string picture = argc > 2 ? argv[2] : "demo.bmp";
  if (argc <= 2) masktest::WriteBytes(L"demo.bmp", masktest::BitmapFileBytes(121, 113, Character));
  DeleteFileA((picture + ".msk").c_str());

  WNDCLASSW wc{};
  wc.lpfnWndProc = ShapedProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"Shaped";
  RegisterClassW(&wc);
  mokuna::TCoolForm form;
  g_form = &form;
  HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"shaped", WS_OVERLAPPEDWINDOW, 100, 60, 300, 300,
                              nullptr, nullptr, instance, nullptr);
  form.SetParent(hwnd);
  try {
    form.SetUpShape(picture, picture + ".msk");
  } catch (const std::exception& e) {
    MessageBoxA(nullptr, e.what(), "coolform_demo", MB_OK);
    return 1;
  }
  ShowWindow(hwnd, SW_SHOW);
  SetTimer(hwnd, 1, static_cast<UINT>(seconds * 1000), [](HWND h, UINT, UINT_PTR, DWORD) { DestroyWindow(h); });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  g_form = nullptr;
  return 0;
}
