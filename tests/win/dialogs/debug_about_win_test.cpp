// The debug entry window and the About box, driven by their window messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UI1.h"
#include "UI5.h"
#include "about_text.h"
#include "dialog_test_util.h"

namespace mokuna {
namespace {

using namespace dialogs_test;

class RecordingScheduler : public SchedulerPort {
 public:
  std::vector<std::string> calls;
  bool IsResult() override { return false; }
  std::string GetResults() override { return {}; }
  void AddEntry(const std::string& e) override { calls.push_back("AddEntry[" + e + "]"); }
  void DirectAction(const std::string& a) override { calls.push_back("DirectAction[" + a + "]"); }
  void PropertyPage(const std::string& n) override { calls.push_back("PropertyPage[" + n + "]"); }
};

TEST(DebugWindow, CreatedHiddenAtItsPlaceAndClosingOnlyHides) {
  RecordingScheduler scheduler;
  TForm1 form(scheduler);
  ASSERT_TRUE(form.Create());
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
  EXPECT_EQ("EventEntry(DEBUG)", TextOf(form.Handle()));
  RECT r;
  GetWindowRect(form.Handle(), &r);
  EXPECT_EQ(192, r.left);
  EXPECT_EQ(106, r.top);
  EXPECT_EQ(259, r.right - r.left);
  EXPECT_EQ(89, r.bottom - r.top);
  EXPECT_EQ("Edit1", TextOf(form.Handle(), TForm1::kEdit1));
  EXPECT_EQ("即時実行", TextOf(form.Handle(), TForm1::kButton2));
  EXPECT_EQ("エントリ入力", TextOf(form.Handle(), TForm1::kButton1));

  form.Show();
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(form.Handle()));
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
}

TEST(DebugWindow, ButtonsPassTheTextExactlyAsTyped) {
  RecordingScheduler scheduler;
  TForm1 form(scheduler);
  ASSERT_TRUE(form.Create());
  HWND h = form.Handle();
  Type(h, TForm1::kEdit1, "");
  Click(h, TForm1::kButton1);
  Click(h, TForm1::kButton2);
  Type(h, TForm1::kEdit1, "  * * * * /5 Fennick 0 CheckMail ");
  Click(h, TForm1::kButton1);
  Type(h, TForm1::kEdit1, "Fennick 0 CheckMail　ぜんかく");
  Click(h, TForm1::kButton2);
  EXPECT_EQ((std::vector<std::string>{"AddEntry[]", "DirectAction[]", "AddEntry[  * * * * /5 Fennick 0 CheckMail ]",
                                      "DirectAction[Fennick 0 CheckMail　ぜんかく]"}),
            scheduler.calls);
  EXPECT_EQ("Fennick 0 CheckMail　ぜんかく", TextOf(h, TForm1::kEdit1));  // the edit keeps its text
}

int ClientHeight(HWND h) {
  RECT r;
  GetClientRect(h, &r);
  return r.bottom;
}

TEST(AboutBox, OpensFoldedAndTheButtonFoldsAndUnfolds) {
  ScratchDir dir;
  TForm5 form;
  ASSERT_TRUE(form.Create());
  HWND h = form.Handle();
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ("About Mokuna", TextOf(h));
  EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(323, client.right);

  RECT guide;
  GetWindowRect(form.Control(TForm5::kMemo2), &guide);
  MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&guide), 2);
  EXPECT_EQ(334, form.Height());
  EXPECT_EQ("つかいかた", TextOf(h, TForm5::kButton2));
  EXPECT_GE(guide.top, ClientHeight(h));  // the guide lies below the lower edge

  Click(h, TForm5::kButton2);
  EXPECT_EQ(522, form.Height());
  EXPECT_EQ("説明とじる", TextOf(h, TForm5::kButton2));
  EXPECT_LE(guide.bottom, ClientHeight(h) + 2);

  Click(h, TForm5::kButton2);
  EXPECT_EQ(334, form.Height());
  EXPECT_EQ("つかいかた", TextOf(h, TForm5::kButton2));

  form.Show();
  Click(h, TForm5::kButton1);
  EXPECT_FALSE(IsWindowVisible(h));
  form.Show();
  SendMessageW(h, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(h));
  EXPECT_FALSE(IsWindowVisible(h));
}

TEST(AboutBox, VersionNotesFromTheFileOrTheMissingLine) {
  {
    ScratchDir dir;
    TForm5 form;
    ASSERT_TRUE(form.Create());
    EXPECT_EQ("version.txt がないにょ～(T^T)", TextOf(form.Handle(), TForm5::kMemo1));
    const std::string guide = TextOf(form.Handle(), TForm5::kMemo2);
    EXPECT_EQ(0u, guide.find("＜＜ つかいかた ＞＞\r\n１．インストール\r\n"));
    EXPECT_NE(std::string::npos, guide.find("\r\n   1. Mokuna本体（Mokuna.exe)\r\n"));
    EXPECT_EQ(nullptr, form.Control(TForm5::kRichEdit1));  // made, with its library, when first shown
    form.Show();
    EXPECT_NE(std::string::npos, TextOf(form.Handle(), TForm5::kRichEdit1).find("作った人"));
  }
  {
    ScratchDir dir;
    dir.Write(L"version.txt", "");
    TForm5 form;
    ASSERT_TRUE(form.Create());
    EXPECT_EQ("", TextOf(form.Handle(), TForm5::kMemo1));
  }
  {
    ScratchDir dir;
    dir.Write(L"version.txt", "Mokuna 0.9\r\n吹き出しを直した\n");
    TForm5 form;
    ASSERT_TRUE(form.Create());
    EXPECT_EQ("Mokuna 0.9\r\n吹き出しを直した", TextOf(form.Handle(), TForm5::kMemo1));
  }
}

TEST(AboutBox, LinkLabelOpensTheHomePageWithTheHandCursor) {
  ScratchDir dir;
  TForm5 form;
  std::vector<std::string> opened;
  HWND parent = nullptr;
  form.open_url = [&](HWND owner, const char* address) {
    parent = owner;
    opened.push_back(address);
  };
  ASSERT_TRUE(form.Create());
  HWND h = form.Handle();
  EXPECT_EQ("CodeName: Mokuna", TextOf(h, TForm5::kLabel2));
  EXPECT_TRUE(GetWindowLongW(form.Control(TForm5::kLabel2), GWL_STYLE) & SS_NOTIFY);
  SendMessageW(h, WM_COMMAND, MAKEWPARAM(TForm5::kLabel2, STN_CLICKED),
               reinterpret_cast<LPARAM>(form.Control(TForm5::kLabel2)));
  EXPECT_EQ(std::vector<std::string>{kHomePageAddress}, opened);
  EXPECT_EQ(h, parent);

  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_TRUE(SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Control(TForm5::kLabel2)),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
}

}  // namespace
}  // namespace mokuna
