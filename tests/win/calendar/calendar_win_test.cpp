#include "CalUnit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "clock.h"
#include "win_text.h"

namespace mokuna {
namespace {

LocalTime Moment(int y, int m, int d) {
  LocalTime t;
  t.year = y, t.month = m, t.day = d, t.hour = 10, t.weekday = WeekdayOf(y, m, d);
  return t;
}

std::string Caption(HWND hwnd) {
  wchar_t text[128] = {};
  GetWindowTextW(hwnd, text, 128);
  return NarrowToSjis(text);
}

// Colour of one client pixel, read from what the window paints.
COLORREF PixelOf(HWND hwnd, int x, int y) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, TCalForm::kClientWidth, TCalForm::kClientHeight);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return c;
}

class CalendarWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentClock(&clock); }
  void TearDown() override { SetCurrentClock(nullptr); }
  FakeClock clock{Moment(2026, 12, 7)};
};

TEST_F(CalendarWindowTest, CreatedAtItsPlaceShowingThisMonth) {
  std::remove("back.bmp");
  TCalForm form;
  ASSERT_TRUE(form.FormCreate(123, 77, false));
  EXPECT_EQ(CalForm, &form);
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.Left(), 123);
  EXPECT_EQ(form.Top(), 77);
  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 232);
  EXPECT_EQ(client.bottom, 160);
  EXPECT_TRUE(GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(Caption(form.Handle()), "Calender: 2026年12月");
  EXPECT_FALSE(form.HasBackground());

  // Without back.bmp: the plain window colour, and today (Monday 7 December, cell 8) marked in yellow.
  EXPECT_EQ(PixelOf(form.Handle(), 230, 60), GetSysColor(COLOR_BTNFACE));
  const int cell = 7 - 1 + WeekdayOf(2026, 12, 1);
  EXPECT_EQ(form.Month().cells[cell].text, " 7");
  EXPECT_TRUE(form.Month().cells[cell].today);
  EXPECT_EQ(PixelOf(form.Handle(), CalendarCellLeft(cell) + 1, CalendarCellTop(cell) + 1), RGB(255, 255, 0));
}

TEST_F(CalendarWindowTest, MenuCommandsNavigateAndTodayMarkFollows) {
  TCalForm form;
  ASSERT_TRUE(form.FormCreate(10, 10, true));
  EXPECT_TRUE(form.Visible());
  const int today_cell = 7 - 1 + WeekdayOf(2026, 12, 1);
  for (int i = 0; i < 12; ++i) SendMessageW(form.Handle(), WM_COMMAND, TCalForm::kN4, 0);
  EXPECT_EQ(Caption(form.Handle()), "Calender: 2027年12月");
  for (const DayCell& c : form.Month().cells) EXPECT_FALSE(c.today);
  EXPECT_NE(PixelOf(form.Handle(), CalendarCellLeft(today_cell) + 1, CalendarCellTop(today_cell) + 1),
            RGB(255, 255, 0));
  SendMessageW(form.Handle(), WM_COMMAND, TCalForm::kN5, 0);
  EXPECT_EQ(Caption(form.Handle()), "Calender: 2026年12月");
  EXPECT_TRUE(form.Month().cells[today_cell].today);

  // The 1st of January 2002 back to December 2001.
  clock.Set(Moment(2002, 1, 20));
  SendMessageW(form.Handle(), WM_COMMAND, TCalForm::kN5, 0);
  SendMessageW(form.Handle(), WM_COMMAND, TCalForm::kN3, 0);
  EXPECT_EQ(Caption(form.Handle()), "Calender: 2001年12月");
  EXPECT_EQ(form.Month().label, "2001年12月");
  // "this month" follows the clock, not the month shown at creation.
  SendMessageW(form.Handle(), WM_COMMAND, TCalForm::kN5, 0);
  EXPECT_EQ(Caption(form.Handle()), "Calender: 2002年1月");
}

TEST_F(CalendarWindowTest, ClosingHidesAndTheWindowLives) {
  TCalForm form;
  ASSERT_TRUE(form.FormCreate(50, 60, true));
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(form.Handle()));
  EXPECT_FALSE(form.Visible());
  form.Show();
  EXPECT_TRUE(form.Visible());
  // The user moved it: its place is what edll.ini will get.
  SetWindowPos(form.Handle(), nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(form.Left(), 300);
  EXPECT_EQ(form.Top(), 250);
}

TEST_F(CalendarWindowTest, BackgroundPictureIsDrawn) {
  // A 232 x 160 24-bit picture of one colour, written here so the test needs no file from elsewhere.
  const int w = 232, h = 160, row = w * 3;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof ih;
  ih.biWidth = w;
  ih.biHeight = h;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + row * h;
  {
    std::ofstream out("back.bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    const std::string pixels(static_cast<size_t>(row) * h, '\x40');  // dark grey
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  }
  TCalForm form;
  ASSERT_TRUE(form.FormCreate(0, 0, false));
  std::remove("back.bmp");
  EXPECT_TRUE(form.HasBackground());
  EXPECT_EQ(PixelOf(form.Handle(), 230, 60), RGB(0x40, 0x40, 0x40));
}

}  // namespace
}  // namespace mokuna
