#include "TimeLabel.h"

#include <gtest/gtest.h>

namespace mokuna {
namespace {

class TimeLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TimeLabelParent";
    RegisterClassW(&wc);
    parent = CreateWindowExW(0, L"TimeLabelParent", L"", WS_POPUP | WS_VISIBLE, 0, 0, 117, 103, nullptr, nullptr,
                             wc.hInstance, nullptr);
  }
  void TearDown() override { DestroyWindow(parent); }

  HWND parent = nullptr;
};

TEST_F(TimeLabelTest, OpaqueCaptionTextBackgroundAndMouseGoesThrough) {
  TTimeLabel label;
  ASSERT_TRUE(label.Create(parent));
  label.SetVisible(true);
  EXPECT_TRUE(label.Visible());
  label.SetText("12:00");
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 75, 21);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(label.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  EXPECT_EQ(GetPixel(dc, 1, 1), GetSysColor(COLOR_CAPTIONTEXT));
  // The time is legible: some pixels differ from the background, whatever the theme's colours.
  int text_pixels = 0;
  for (int x = 0; x < 75; ++x)
    for (int y = 0; y < 21; ++y) text_pixels += GetPixel(dc, x, y) != GetSysColor(COLOR_CAPTIONTEXT);
  EXPECT_GT(text_pixels, 20);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(SendMessageW(label.Handle(), WM_NCHITTEST, 0, MAKELPARAM(40, 40)), HTTRANSPARENT);
  label.SetVisible(false);
  EXPECT_FALSE(label.Visible());
}

}  // namespace
}  // namespace mokuna
