#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "UI4.h"
#include "scratch_folder.h"
#include "clock.h"

namespace mokuna {
namespace {

// The balloon picture of the program, kept in a folder of its own (a picture search might otherwise find it
// beside the test) and copied into a fresh current directory for each test.
class BalloonTest : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"mokuna-balloon"};

  void SetUp() override {
    ASSERT_TRUE(folder_.CopyIn(L"pictures\\fukidasi.bmp"));
    SetCurrentClock(&clock_);
  }
  void TearDown() override { SetCurrentClock(nullptr); }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  static RECT WindowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
  }

  FakeClock clock_{LocalTime{2026, 12, 7, 1, 10, 0, 0, 0}};
};

TEST_F(BalloonTest, CreationShapesTheWindowToThePicture) {
  TForm4 balloon;
  ASSERT_TRUE(balloon.Create());
  EXPECT_TRUE(balloon.Visible());  // start-up hides it
  EXPECT_EQ(330, balloon.CoolForm1.PictureWidth());
  EXPECT_EQ(170, balloon.CoolForm1.PictureHeight());
  RECT client{};
  GetClientRect(balloon.Handle(), &client);
  EXPECT_EQ(331, client.right);
  EXPECT_EQ(171, client.bottom);
  EXPECT_TRUE(GetWindowLongW(balloon.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(0, GetWindowLongW(balloon.Handle(), GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"fukidasi.msk"));
  // Cut to the outline: the picture's corner is outside, its middle inside.
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(ERROR, GetWindowRgn(balloon.Handle(), rgn));
  EXPECT_FALSE(PtInRegion(rgn, 0, 0));
  EXPECT_TRUE(PtInRegion(rgn, 165, 85));
  DeleteObject(rgn);
  EXPECT_EQ("", balloon.LabelText());
}

TEST_F(BalloonTest, MissingPictureGoesToTheErrorHandlerAndTheWindowStays) {
  ASSERT_TRUE(DeleteFileW(L"fukidasi.bmp")) << GetLastError();
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"fukidasi.bmp"));
  // ShowGeneralError would block in a message box: answer it from a timer of this thread.
  const UINT_PTR timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowW(L"#32770", nullptr);
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  TForm4 balloon;
  ASSERT_TRUE(balloon.Create());
  KillTimer(nullptr, timer);
  EXPECT_FALSE(balloon.CoolForm1.HasPicture());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"fukidasi.msk"));
  EXPECT_TRUE(IsWindow(balloon.Handle()));
}

// A stand-in for the character window: a shaped-window picture of 116 x 102 and the move messages
// forwarded the way the character window forwards them.
class Character : public Window {
 public:
  explicit Character(TSerifu& serifu) : serifu_(serifu) {
    picture.SetPictureBitmap(CreateBitmap(116, 102, 1, 32, nullptr));
    CreateWin(L"BalloonTestCharacter", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE, 400, 300, 117, 103);
  }
  void MoveTo(int left, int top) {
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  TCoolForm picture;
  bool shown = true;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_ENTERSIZEMOVE) serifu_.OnEnterSizeMove();
    if (msg == WM_EXITSIZEMOVE) serifu_.OnExitSizeMove();
    return DefaultProc(msg, wp, lp);
  }

 private:
  TSerifu& serifu_;
};

class PlacementTest : public BalloonTest {
 protected:
  void SetUp() override {
    BalloonTest::SetUp();
    ASSERT_TRUE(balloon_.Create());
    balloon_.Hide();
    serifu_ = std::make_unique<TSerifu>(settings_);
    serifu_->SetBalloon(&balloon_);
    character_ = std::make_unique<Character>(*serifu_);
    serifu_->Attach(character_->Handle(), character_->picture, [this] { return character_->shown; }, &speaking_);
  }
  void TearDown() override {
    character_.reset();
    BalloonTest::TearDown();
  }
  void Tick() {
    clock_.AdvanceMs(500);
    serifu_->RefreshSerifu();
  }

  HostSettings settings_;
  bool speaking_ = true;  // the character window's copy of IsSpeaking
  TForm4 balloon_;
  std::unique_ptr<TSerifu> serifu_;
  std::unique_ptr<Character> character_;
};

TEST_F(PlacementTest, BalloonStandsLeftUnlessItWouldLeaveTheScreen) {
  serifu_->AddSerifu("x");
  character_->MoveTo(400, 300);
  serifu_->PlaceFukidasi();
  RECT b = WindowRect(balloon_.Handle());
  EXPECT_EQ(400 - 330, b.left);
  EXPECT_EQ(300 + 102 - 170, b.top);  // bottom edges level; the taller balloon starts above
  EXPECT_TRUE(balloon_.Visible());
  EXPECT_EQ(400, serifu_->PlacedLeft());
  EXPECT_EQ(300, serifu_->PlacedTop());

  character_->MoveTo(330, 300);
  serifu_->PlaceFukidasi();
  EXPECT_EQ(0, WindowRect(balloon_.Handle()).left);
  character_->MoveTo(329, 300);
  serifu_->PlaceFukidasi();
  EXPECT_EQ(329 + 116, WindowRect(balloon_.Handle()).left);
}

TEST_F(PlacementTest, VisibleOnlyWhileSpeakingAndShown) {
  serifu_->PlaceFukidasi();
  EXPECT_FALSE(balloon_.Visible());  // nothing said
  serifu_->AddSerifu("x");
  character_->shown = false;
  serifu_->PlaceFukidasi();
  EXPECT_FALSE(balloon_.Visible());
  Tick();  // lines still pass while the character is hidden
  EXPECT_EQ("\r\nx", balloon_.LabelText());
  EXPECT_FALSE(balloon_.Visible());
  character_->shown = true;
  serifu_->PlaceFukidasi();
  EXPECT_TRUE(balloon_.Visible());
}

TEST_F(PlacementTest, LinesComeAndTheBalloonGoes) {
  EXPECT_FALSE(speaking_);
  serifu_->AddSerifu("はじめの行");
  EXPECT_TRUE(speaking_);
  serifu_->AddSerifu("つぎの行");
  Tick();
  EXPECT_TRUE(balloon_.Visible());
  EXPECT_EQ("\r\nはじめの行", balloon_.LabelText());
  const RECT label = balloon_.Label1Rect();
  EXPECT_EQ(28, label.left);
  EXPECT_EQ(28, label.top);
  EXPECT_GT(label.right - label.left, 12 * 4);  // five characters of a 12-pixel font
  EXPECT_GT(label.bottom - label.top, 12);       // two lines: the empty first one and the line
  for (int i = 0; i < 20 && serifu_->Queue().SerifuQueue().size(); ++i) Tick();
  EXPECT_EQ("\r\nはじめの行\r\nつぎの行", balloon_.LabelText());
  for (int i = 0; i < 20 && serifu_->IsSpeaking(); ++i) Tick();
  EXPECT_FALSE(serifu_->IsSpeaking());
  EXPECT_FALSE(speaking_);
  EXPECT_FALSE(balloon_.Visible());
  EXPECT_EQ("", balloon_.LabelText());
}

TEST_F(PlacementTest, FollowsAMoveOfTheCharacterWhileSpeaking) {
  serifu_->AddSerifu("x");
  Tick();
  ASSERT_TRUE(balloon_.Visible());
  SendMessageW(character_->Handle(), WM_ENTERSIZEMOVE, 0, 0);
  EXPECT_FALSE(balloon_.Visible());
  character_->MoveTo(600, 200);
  SendMessageW(character_->Handle(), WM_EXITSIZEMOVE, 0, 0);
  EXPECT_TRUE(balloon_.Visible());
  EXPECT_EQ(600 - 330, WindowRect(balloon_.Handle()).left);
  EXPECT_EQ(200 + 102 - 170, WindowRect(balloon_.Handle()).top);
}

TEST_F(PlacementTest, MovesDoNothingWhileSilent) {
  character_->MoveTo(600, 200);
  const RECT before = WindowRect(balloon_.Handle());
  SendMessageW(character_->Handle(), WM_ENTERSIZEMOVE, 0, 0);
  character_->MoveTo(700, 250);
  SendMessageW(character_->Handle(), WM_EXITSIZEMOVE, 0, 0);
  EXPECT_FALSE(balloon_.Visible());
  EXPECT_EQ(before.left, WindowRect(balloon_.Handle()).left);
}

TEST_F(PlacementTest, RightPressHidesUntilTheNextLine) {
  settings_.SerifuInterval = 0;
  serifu_->AddSerifu("one");
  serifu_->AddSerifu("two");
  Tick();
  ASSERT_TRUE(balloon_.Visible());
  const RECT placed = WindowRect(balloon_.Handle());
  SendMessageW(balloon_.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(165, 85));
  SendMessageW(balloon_.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(165, 85));
  Pump();
  EXPECT_FALSE(balloon_.Visible());
  EXPECT_TRUE(serifu_->IsSpeaking());
  for (int i = 0; i < 10 && !balloon_.Visible(); ++i) Tick();
  EXPECT_TRUE(balloon_.Visible());
  EXPECT_EQ("\r\none\r\ntwo", balloon_.LabelText());
  EXPECT_EQ(placed.left, WindowRect(balloon_.Handle()).left);
}

}  // namespace
}  // namespace mokuna
