// The shaped-window component and the mask generator against GDI and user32 themselves (under Wine on Linux).
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "CoolForm.h"
#include "Dpi.h"
#include "extMaskgenerator.h"
#include "mask_reference.h"
#include "mask_region.h"
#include "mask_region_probe.h"
#include "scratch_folder.h"
#include "wait_until.h"

namespace {

using mokuna::TCoolForm;
using masktest::MakePicture;
using masktest::ReadBytes;
using masktest::ReferenceMaskFile;
using masktest::WriteBytes;

constexpr COLORREF kWhite = 0xFFFFFF;

// A top-level window carrying one TCoolForm, forwarding its messages the way the program's windows do.
struct Host {
  HWND hwnd = nullptr;
  TCoolForm form;
  std::vector<std::string> events;
  int menus_shown = 0;
  int commands = 0;
  int app_messages = 0;
  POINT last_move{-1, -1};  // screen position of the last WM_MOUSEMOVE

  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (host) {
      LRESULT result = 0;
      if (host->form.HandleParentMessage(m, w, l, result)) return result;
      if (m == WM_INITMENUPOPUP) ++host->menus_shown;
      if (m == WM_COMMAND) ++host->commands;
      if (m == WM_APP) ++host->app_messages;
      if (m == WM_MOUSEMOVE) {
        host->last_move = POINT{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        ClientToScreen(h, &host->last_move);
      }
    }
    return DefWindowProcW(h, m, w, l);
  }

  explicit Host(int x = 120, int y = 120, int w = 200, int h = 150) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"CoolFormTestHost";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW, x, y, w, h, nullptr,
                           nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    form.SetParent(hwnd);
    auto record = [this](const char* what) {
      return [this, what](TCoolForm&, TCoolForm::TMouseButton b, TCoolForm::TShiftState, int x, int y) {
        events.push_back(std::string(what) + " " + "LRM"[b] + " " + std::to_string(x) + "," + std::to_string(y));
      };
    };
    form.OnMouseDown = record("down");
    form.OnMouseUp = record("up");
  }
  ~Host() { DestroyWindow(hwnd); }

  RECT WindowRect() const {
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
  }
  // The window's current region as region data, empty when it has none.
  std::string RegionData() const {
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    std::string out;
    if (GetWindowRgn(hwnd, r) != ERROR) {
      const DWORD n = GetRegionData(r, 0, nullptr);
      out.resize(n);
      GetRegionData(r, n, reinterpret_cast<RGNDATA*>(&out[0]));
    }
    DeleteObject(r);
    return out;
  }
};

using testsupport::WaitUntil;

void SendMouse(DWORD flags, int screen_x = 0, int screen_y = 0) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  if (flags & MOUSEEVENTF_MOVE) {
    in.mi.dx = screen_x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = screen_y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    flags |= MOUSEEVENTF_ABSOLUTE;
  }
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

class CoolFormWin : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"mokuna-coolform"};
};

std::string Le32(std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::string GeneratedFile(HBITMAP bitmap, COLORREF transparent) {
  DeleteFileW(L"a.msk");
  mokuna::GenerateMaskFile(bitmap, transparent, "a.msk");
  return ReadBytes(L"a.msk");
}

// ---------------------------------------------------------------------------------------------------------
// Generation

TEST_F(CoolFormWin, GeneratedFileEqualsTheRegionRouteByteForByte) {
  struct Case {
    const char* name;
    int w, h;
    std::function<COLORREF(int, int)> colour;
  };
  const std::vector<Case> shapes = {
      {"all transparent", 9, 4, [](int, int) { return kWhite; }},
      {"all opaque", 7, 5, [](int, int) { return RGB(200, 10, 10); }},
      {"one column", 1, 6, [](int, int y) { return y % 2 ? kWhite : RGB(1, 2, 3); }},
      {"two columns", 2, 4, [](int x, int y) { return (x + y) % 2 ? kWhite : RGB(1, 2, 3); }},
      {"one row", 12, 1, [](int x, int) { return x % 3 ? RGB(9, 9, 9) : kWhite; }},
      {"disk", 64, 48,
       [](int x, int y) { return (x - 32) * (x - 32) + (y - 24) * (y - 24) < 400 ? RGB(255, 0, 0) : kWhite; }},
      {"stripes and bands", 40, 30,
       [](int x, int y) { return ((x / 3) % 2 && (y / 5) % 2) || x == 39 ? RGB(0, 128, 0) : kWhite; }},
      {"near white is opaque", 10, 3, [](int x, int) { return x % 2 ? RGB(255, 255, 254) : kWhite; }},
      // Read in several strips: rows must still come in order and bands join across strip borders.
      {"many strips", 1500, 130,
       [](int x, int y) { return (x / 7 + y / 40) % 3 && (x * y) % 11 ? RGB(5, 5, 5) : kWhite; }},
  };
  for (const Case& c : shapes)
    for (int bpp : {8, 16, 24, 32}) {
      if (c.w > 1000 && bpp != 24) continue;
      HBITMAP bitmap = MakePicture(c.w, c.h, bpp, c.colour);
      ASSERT_NE(nullptr, bitmap);
      const std::string expected = ReferenceMaskFile(bitmap, kWhite);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(expected, GeneratedFile(bitmap, kWhite)) << c.name << " at " << bpp << " bits";
      DeleteObject(bitmap);
    }

  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + static_cast<int>(rng() % 90);
    const int h = 1 + static_cast<int>(rng() % 70);
    const unsigned density = rng() % 6;
    const COLORREF key = rng() % 2 ? kWhite : RGB(rng() % 256, rng() % 256, rng() % 256);
    std::vector<COLORREF> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        pixels[y * w + x] = y > 0 && rng() % 4 == 0 ? pixels[(y - 1) * w + x]
                            : rng() % 6 < density  ? RGB(rng() % 4, 100, 200)
                                                   : key;
    const int bpp = round % 3 == 0 ? 24 : 32;
    HBITMAP bitmap = MakePicture(w, h, bpp, [&](int x, int y) { return pixels[y * w + x]; });
    ASSERT_NE(nullptr, bitmap);
    const std::string expected = ReferenceMaskFile(bitmap, key);
    ASSERT_EQ(expected, GeneratedFile(bitmap, key)) << "round " << round << " " << w << "x" << h;
    // The region made in one go is the same region.
    HRGN made = testsupport::CreateMaskRegion(bitmap, key);
    ASSERT_NE(nullptr, made);
    std::string data(GetRegionData(made, 0, nullptr), '\0');
    GetRegionData(made, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(&data[0]));
    EXPECT_EQ(expected.substr(4), data);
    DeleteObject(made);
    DeleteObject(bitmap);
  }
}

TEST_F(CoolFormWin, GenerationReportsAFileThatCannotBeCreatedAndReplacesAWholeOldFile) {
  HBITMAP bitmap = MakePicture(8, 8, 24, [](int x, int) { return x > 3 ? RGB(1, 1, 1) : kWhite; });
  try {
    mokuna::GenerateMaskFile(bitmap, kWhite, "no-such-folder\\a.msk");
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("ファイル no-such-folder\\a.msk を作成できません", e.what());
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"no-such-folder\\a.msk"));

  ASSERT_TRUE(WriteBytes(L"a.msk", std::string(5000, 'x')));
  mokuna::GenerateMaskFile(bitmap, kWhite, "a.msk");
  EXPECT_EQ(ReferenceMaskFile(bitmap, kWhite), ReadBytes(L"a.msk"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"a.msk.~tmp"));
  DeleteObject(bitmap);
}

TEST_F(CoolFormWin, GenerationHandlesWaitingMessagesWhileItRuns) {
  Host host;
  HBITMAP bitmap = MakePicture(2000, 1500, 32, [](int x, int y) { return (x ^ y) & 64 ? RGB(9, 9, 9) : kWhite; });
  ASSERT_NE(nullptr, bitmap);
  PostMessageW(host.hwnd, WM_APP, 0, 0);
  mokuna::GenerateMaskFile(bitmap, kWhite, "big.msk");
  EXPECT_EQ(1, host.app_messages);
  DeleteObject(bitmap);
}

// ---------------------------------------------------------------------------------------------------------
// Loading masks

TEST_F(CoolFormWin, LoadingGoodEmptyAndHostileMaskFiles) {
  Host host;
  const std::vector<mask::Rect> rects{{1, 0, 30, 10}, {5, 10, 20, 20}, {40, 10, 50, 20}};
  const std::string good = mask::EncodeMaskFile(rects);
  ASSERT_TRUE(WriteBytes(L"a.msk", good));
  EXPECT_FALSE(host.form.LoadMaskFromFile("missing.msk"));
  ASSERT_TRUE(host.form.LoadMaskFromFile("a.msk"));
  const HRGN applied = host.form.Mask()->Region();
  ASSERT_NE(nullptr, applied);
  EXPECT_EQ(good.substr(4), host.RegionData());
  EXPECT_EQ(good, host.form.SaveMask2());

  const std::string header_ok = Le32(32) + Le32(1) + Le32(1) + Le32(16) + std::string(16, '\0');
  const struct {
    const char* what;
    std::string bytes;
  } hostile[] = {
      {"empty file", ""},
      {"cut short", good.substr(0, good.size() - 3)},
      {"negative N", Le32(0xFFFFFFD0) + header_ok + std::string(16, '\0')},
      {"N beyond the file", Le32(0x7FFFFFF0) + header_ok + std::string(16, '\0')},
      {"count against N", Le32(48) + Le32(32) + Le32(1) + Le32(2) + Le32(32) + std::string(32, '\0')},
  };
  for (const auto& h : hostile) {
    ASSERT_TRUE(WriteBytes(L"b.msk", h.bytes));
    EXPECT_FALSE(host.form.LoadMaskFromFile("b.msk")) << h.what;
    EXPECT_EQ(applied, host.form.Mask()->Region()) << h.what;
    EXPECT_EQ(good.substr(4), host.RegionData()) << h.what;
    EXPECT_FALSE(host.form.LoadMask2(h.bytes)) << h.what;
  }

  // Rectangles the platform has to sort out itself (unordered, overlapping, extreme) still load.
  const std::string odd = mask::EncodeMaskFile({{50, 50, 60, 60}, {-2147483647 - 1, 0, 2147483647, 5}, {1, 1, 3, 3}});
  EXPECT_TRUE(host.form.LoadMask2(odd));
  ASSERT_TRUE(host.form.LoadMask2(good));

  // N = 0: success, no mask region, and the outline stays.
  ASSERT_TRUE(WriteBytes(L"b.msk", Le32(0)));
  EXPECT_TRUE(host.form.LoadMaskFromFile("b.msk"));
  EXPECT_EQ(nullptr, host.form.Mask()->Region());
  EXPECT_EQ(good.substr(4), host.RegionData());
  EXPECT_EQ(Le32(0), host.form.SaveMask2());
}

TEST_F(CoolFormWin, Mask2BytesCarryAMaskFromOneWindowToAnother) {
  Host first, second(340, 120);
  const std::string file = mask::EncodeMaskFile({{1, 0, 9, 4}, {2, 4, 3, 6}});
  ASSERT_TRUE(first.form.LoadMask2(file));
  const std::string saved = first.form.SaveMask2();
  EXPECT_EQ(file, saved);
  ASSERT_TRUE(second.form.LoadMask2(saved));
  EXPECT_EQ(file.substr(4), second.RegionData());
  // A new picture forgets the handle but not the outline.
  second.form.SetPictureBitmap(MakePicture(4, 4, 24, [](int, int) { return kWhite; }));
  EXPECT_EQ(nullptr, second.form.Mask()->Region());
  EXPECT_EQ(Le32(0), second.form.SaveMask2());
  EXPECT_EQ(file.substr(4), second.RegionData());
}

// ---------------------------------------------------------------------------------------------------------
// The shaped-window set-up

COLORREF Character(int x, int y) {
  const int dx = x - 30, dy = y - 25;
  if (dx * dx + dy * dy < 22 * 22) return (dx * dx + (dy + 6) * (dy + 6) < 25) ? RGB(0, 0, 0) : RGB(230, 80, 40);
  return RGB(0, 255, 0);
}

TEST_F(CoolFormWin, SetUpCutsTheWindowAndKeepsAnExistingMaskFile) {
  Host host;
  ASSERT_TRUE(WriteBytes(L"chara.bmp", masktest::BitmapFileBytes(61, 51, Character)));
  host.form.SetUpShape("chara.bmp", "chara.bmp.msk");

  RECT client;
  GetClientRect(host.hwnd, &client);
  EXPECT_EQ(62, client.right);
  EXPECT_EQ(52, client.bottom);
  EXPECT_EQ(0, GetWindowLongW(host.hwnd, GWL_STYLE) & WS_CAPTION);
  EXPECT_EQ(static_cast<std::int32_t>(RGB(0, 255, 0)), host.form.PixelColor(0, 0));
  const std::string made = ReadBytes(L"chara.bmp.msk");
  EXPECT_EQ(ReferenceMaskFile(host.form.PictureBitmap(), RGB(0, 255, 0)), made);
  EXPECT_EQ(made.substr(4), host.RegionData());

  // A changed picture keeps the old mask file; deleting the file makes it again.
  ASSERT_TRUE(WriteBytes(L"chara.bmp", masktest::BitmapFileBytes(61, 51, [](int x, int y) {
                           return x < 20 ? RGB(0, 255, 0) : Character(x, y);
                         })));
  host.form.SetUpShape("chara.bmp", "chara.bmp.msk");
  EXPECT_EQ(made, ReadBytes(L"chara.bmp.msk"));
  DeleteFileW(L"chara.bmp.msk");
  host.form.SetUpShape("chara.bmp", "chara.bmp.msk");
  const std::string remade = ReadBytes(L"chara.bmp.msk");
  EXPECT_NE(made, remade);
  EXPECT_EQ(remade.substr(4), host.RegionData());
}

TEST_F(CoolFormWin, PictureErrorsStopTheSetUp) {
  Host host;
  const auto message = [&](const std::string& image) {
    try {
      host.form.SetUpShape(image, "chara.bmp.msk");
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ("拡張子 .gif の画像形式は処理できません", message("chara.gif"));
  EXPECT_EQ("ファイル missing.bmp は開けません", message("missing.bmp"));
  EXPECT_EQ("ファイル sub\\COM1.bmp は開けません", message("sub\\COM1.bmp"));
  ASSERT_TRUE(WriteBytes(L"chara.bmp", "BM not really a bitmap"));
  EXPECT_EQ("ファイル chara.bmp は開けません", message("chara.bmp"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"chara.bmp.msk"));

  // A picture beside the program but not in the current folder is not there for the user.
  wchar_t module[MAX_PATH];
  const DWORD len = GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring beside(module, len);
  beside = beside.substr(0, beside.find_last_of(L"\\/") + 1) + L"mokuna-beside-only.bmp";
  ASSERT_TRUE(WriteBytes(beside.c_str(), masktest::BitmapFileBytes(8, 8, Character)));
  EXPECT_EQ("ファイル mokuna-beside-only.bmp は開けません", message("mokuna-beside-only.bmp"));
  DeleteFileW(beside.c_str());

  // An icon loads as a picture but has no bitmap to read the transparent colour from.
  std::string icon = std::string("\0\0\1\0\1\0", 6) + std::string("\x10\x10\0\0\1\0\x20\0", 8) +
                     Le32(40 + 1024 + 64) + Le32(22);
  icon += Le32(40) + Le32(16) + Le32(32) + std::string("\1\0\x20\0", 4) + std::string(24, '\0');
  icon += std::string(1024, '\x7F') + std::string(64, '\0');
  ASSERT_TRUE(WriteBytes(L"pic.ico", icon));
  EXPECT_EQ("ビットマップを持っている時のみイメージの変更が可能です", message("pic.ico"));
  EXPECT_TRUE(host.form.HasPicture());
  EXPECT_EQ(16, host.form.PictureWidth());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"chara.bmp.msk"));
}

TEST_F(CoolFormWin, ControlSitsAtTheTopLeftAndPaintsWithoutErasing) {
  Host host;
  host.form.SetTop(40);
  host.form.SetLeft(-7);
  EXPECT_EQ(0, host.form.Top());
  EXPECT_EQ(0, host.form.Left());
  EXPECT_EQ(1, SendMessageW(host.hwnd, WM_ERASEBKGND, 0, 0));

  // Painting: the picture at 0, 0, then OnPaint.
  host.form.SetPictureBitmap(MakePicture(10, 10, 24, [](int x, int) { return x < 5 ? RGB(255, 0, 0) : RGB(0, 0, 255); }));
  bool painted_over = false;
  host.form.OnPaint = [&](HDC) { painted_over = true; };
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP target = CreateCompatibleBitmap(screen, 50, 50);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, target);
  SendMessageW(host.hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 1, 1));
  EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 9, 9));
  EXPECT_TRUE(painted_over);
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
}

// At every scale the window's outline is the picture's opaque part pixel for pixel (column 0, never in a mask,
// left out), whole scales repeat the picture's pixels, and smoothing never mixes in the transparent green (the
// character's own colours have at most 80 of green).
TEST_F(CoolFormWin, ScaledPictureAndOutlineMatchPixelForPixel) {
  ASSERT_TRUE(WriteBytes(L"chara.bmp", masktest::BitmapFileBytes(61, 51, Character)));
  for (const int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(dpi);
    Host host;
    host.form.SetUpShape("chara.bmp", "chara.bmp.msk");
    host.form.SetDpi(dpi);
    RECT client;
    GetClientRect(host.hwnd, &client);
    EXPECT_EQ(mokuna::Scale(62, dpi), client.right);
    EXPECT_EQ(mokuna::Scale(52, dpi), client.bottom);
    EXPECT_EQ(mokuna::Scale(61, dpi), host.form.ShownWidth());
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, client.right, client.bottom));
    ReleaseDC(nullptr, screen);
    SendMessageW(host.hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(host.hwnd, region));
    int mismatches = 0, fringe = 0, off_source = 0;
    for (int y = 0; y < mokuna::Scale(51, dpi); ++y) {
      for (int x = mokuna::Scale(1, dpi); x < mokuna::Scale(61, dpi); ++x) {
        const COLORREF c = GetPixel(dc, x, y);
        mismatches += (PtInRegion(region, x, y) != FALSE) != (c != RGB(0, 255, 0));
        fringe += c != RGB(0, 255, 0) && GetGValue(c) > 80;
        off_source += dpi % 96 == 0 && c != Character(x * 96 / dpi, y * 96 / dpi);
      }
    }
    EXPECT_EQ(0, mismatches);
    EXPECT_EQ(0, fringe);
    EXPECT_EQ(0, off_source);
    DeleteObject(region);
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
  }
}

TEST_F(CoolFormWin, AMebibyteOfOverlappingRectanglesSetsUpQuicklyAt150Percent) {
  ASSERT_TRUE(WriteBytes(L"chara.bmp", masktest::BitmapFileBytes(480, 360, Character)));
  const std::vector<mask::Rect> rects((1 << 20) / 16 - 3, mask::Rect{1, 0, 481, 360});
  ASSERT_TRUE(WriteBytes(L"chara.bmp.msk", mask::EncodeMaskFile(rects)));
  Host host;
  const DWORD start = GetTickCount();
  host.form.SetUpShape("chara.bmp", "chara.bmp.msk");
  host.form.SetDpi(144);
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(mask::EncodeRegionData({{2, 0, 722, 540}}), host.RegionData());
}

// ---------------------------------------------------------------------------------------------------------
// Mouse

// One shown window for all mouse tests: under Wine, closing an active window waits seconds for the focus
// to settle.
class CoolFormMouse : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    host = new Host;
    ShowWindow(host->hwnd, SW_SHOW);
    SetForegroundWindow(host->hwnd);
    UpdateWindow(host->hwnd);
  }
  static void TearDownTestSuite() {
    delete host;
    host = nullptr;
  }
  void SetUp() override {
    SetWindowPos(host->hwnd, nullptr, 120, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    host->form.PopupMenu = nullptr;
    host->events.clear();
    host->menus_shown = host->commands = 0;
  }
  // Waits until a mouse move to (x, y) on the window has been handled: input arrives in order, so every
  // input sent before it has been handled too.
  void Settle(int x, int y) {
    SendMouse(MOUSEEVENTF_MOVE, x, y);
    ASSERT_TRUE(WaitUntil([&] { return host->last_move.x == x && host->last_move.y == y; }, 5000));
  }
  static Host* host;
};

Host* CoolFormMouse::host = nullptr;

TEST_F(CoolFormMouse, LeftClickReportsPressThenExactlyOneReleaseAndDoesNotMove) {
  const RECT before = host->WindowRect();
  const int x = before.left + 20, y = before.top + 15;
  Settle(x, y);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  SendMouse(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(WaitUntil([&] { return host->events.size() >= 2; }, 5000)) << host->events.size();
  Settle(x + 1, y + 1);
  EXPECT_EQ((std::vector<std::string>{"down L 20,15", "up L 20,15"}), host->events);
  const RECT after = host->WindowRect();
  EXPECT_EQ(before.left, after.left);
  EXPECT_EQ(before.top, after.top);
}

TEST_F(CoolFormMouse, LeftDragMovesTheWindowAndReportsOneRelease) {
  const RECT before = host->WindowRect();
  const int x = before.left + 30, y = before.top + 30;
  Settle(x, y);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  SendMouse(MOUSEEVENTF_MOVE, x + 10, y + 5);
  SendMouse(MOUSEEVENTF_MOVE, x + 40, y + 25);
  SendMouse(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(WaitUntil([&] { return host->events.size() >= 2; }, 5000));
  Settle(x + 41, y + 26);
  EXPECT_EQ((std::vector<std::string>{"down L 30,30", "up L 30,30"}), host->events);
  const RECT after = host->WindowRect();
  EXPECT_EQ(before.left + 40, after.left);
  EXPECT_EQ(before.top + 25, after.top);
}

TEST_F(CoolFormMouse, RightClickReportsBothAndOpensThePopupMenu) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 101, L"item");
  host->form.PopupMenu = menu;
  // Closes the menu from inside its own loop, once it is open.
  SetTimer(host->hwnd, 1, 50, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  const RECT r = host->WindowRect();
  Settle(r.left + 12, r.top + 8);
  SendMouse(MOUSEEVENTF_RIGHTDOWN);
  SendMouse(MOUSEEVENTF_RIGHTUP);
  ASSERT_TRUE(WaitUntil([&] { return host->menus_shown > 0 && host->events.size() >= 2; }, 5000));
  KillTimer(host->hwnd, 1);
  EXPECT_EQ((std::vector<std::string>{"down R 12,8", "up R 12,8"}), host->events);
  EXPECT_EQ(0, host->commands);
  const RECT after = host->WindowRect();
  EXPECT_EQ(r.left, after.left);
  DestroyMenu(menu);
}

}  // namespace
