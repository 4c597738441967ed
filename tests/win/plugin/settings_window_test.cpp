// The settings window driven by its messages from a second thread while PropertyPage runs its modal loop
// on the test's thread, as the scheduler would call it.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "DpapiProtector.h"
#include "Dpi.h"
#include "POP1.h"
#include "mail_check.h"
#include "plugin_test_support.h"
#include "wait_for_window.h"
#include "win_text.h"

namespace {

using namespace fennick;
using fennick_test::ReadAll;
using fennick_test::ScratchFolder;
using testsupport::WaitForWindow;

const std::string kDefaultFile =
    "isCheckMail=1\r\nisPlay=0\r\nCheckInterval=0\r\nAccount=\r\nPassword=\r\nPOPServer=127.0.0.1\r\n"
    "isUseAPOP=0\r\nFilePlaying=\r\nLastMessageID=\r\nLastMailNum=0\r\n";

HWND Item(HWND w, int id) { return GetDlgItem(w, id); }
bool Enabled(HWND w, int id) { return IsWindowEnabled(Item(w, id)) != FALSE; }
bool Checked(HWND w, int id) { return SendMessageW(Item(w, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Click(HWND w, int id) { SendMessageW(Item(w, id), BM_CLICK, 0, 0); }
std::wstring Text(HWND w, int id) {
  wchar_t text[4096] = {};
  SendMessageW(Item(w, id), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
  return text;
}
void Type(HWND w, int id, const std::string& sjis) {
  SendMessageW(Item(w, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(mokuna::WidenSjis(sjis).c_str()));
}
std::string Sjis(const std::wstring& wide) { return mokuna::NarrowToSjis(wide); }

class SettingsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_hooks_ = Hooks();
    Hooks().show_error = [this](HWND, const std::string& text) { errors_.push_back(text); };
  }
  void TearDown() override { Hooks() = saved_hooks_; }

  // PropertyPage on this thread; script acts on the window from another. Whatever the script does, the
  // window is closed afterwards, so a failing script cannot hang the test.
  std::string RunPage(const std::function<void(HWND)>& script) {
    std::atomic<bool> seen{false};
    std::thread driver([&] {
      HWND w = WaitForWindow(L"FennickTForm1");
      if (!w) return;
      seen = true;
      script(w);
      if (IsWindow(w)) PostMessageW(w, WM_CLOSE, 0, 0);
    });
    std::string result = RunPropertyPage(state_);
    driver.join();
    EXPECT_TRUE(seen) << "the settings window did not appear";
    return result;
  }

  ScratchFolder folder_;
  ModuleState state_;
  UiHooks saved_hooks_;
  std::vector<std::string> errors_;
};

struct Layout {
  int id, x, y, w, h;
};
// The provider, protocol and security rows add 77 pixels to Panel1; what lies below them moves down by as
// much.
const Layout kLayout[] = {
    {kIdButton4, 79, 4, 132, 45},   {kIdCheckBox1, 32, 54, 121, 17}, {kIdEdit5, 176, 54, 57, 20},
    {kIdEdit1, 80, 78, 193, 20},    {kIdEdit2, 80, 102, 193, 20},    {kIdComboBox3, 80, 134, 193, 20},
    {kIdEdit3, 80, 158, 193, 20},   {kIdComboBox2, 80, 182, 96, 20}, {kIdRadioGroup1, 80, 202, 193, 33},
    {kIdComboBox1, 80, 238, 96, 20}, {kIdEdit4, 222, 238, 51, 20},   {kIdCheckBox2, 32, 265, 73, 17},
    {kIdEdit6, 80, 283, 169, 20},   {kIdButton3, 250, 283, 40, 19},  {kIdButton1, 136, 310, 75, 25},
    {kIdButton2, 214, 310, 75, 25}, {kIdCheckBox3, 120, 265, 160, 17},
};

RECT ClientRect(HWND w, int id) {
  RECT r;
  GetWindowRect(Item(w, id), &r);
  MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST_F(SettingsWindow, WithoutFileOpensWithDefaultsAtTheirPlacesAndOkWritesThem) {
  struct Seen {
    std::wstring caption;
    RECT client{};
    LONG style = 0;
    std::vector<RECT> rects;
    bool checking = false, pop = false, apop = false, sound = false;
    std::wstring interval, server, account;
    bool edit1 = false, edit5 = false, radio = false, check2 = false, edit6 = true, button3 = true;
    wchar_t password_char = 0;
    std::wstring label1;
    POINT label1_at{};
    RECT label6{}, label7{};
    std::wstring label6_text, label7_text, port;
    std::vector<std::wstring> securities;
    LRESULT security = -1;
    bool combo = false, edit4 = false;
  } seen;
  const std::string result = RunPage([&](HWND w) {
    wchar_t caption[64] = {};
    GetWindowTextW(w, caption, 64);
    seen.caption = caption;
    GetClientRect(w, &seen.client);
    seen.style = GetWindowLongW(w, GWL_STYLE);
    for (const Layout& l : kLayout) {
      RECT r;
      GetWindowRect(Item(w, l.id), &r);
      MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
      seen.rects.push_back(r);
    }
    RECT label;
    GetWindowRect(Item(w, kIdLabel1), &label);
    MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&label), 2);
    seen.label1_at = {label.left, label.top};
    seen.label1 = Text(w, kIdLabel1);
    seen.label6 = ClientRect(w, kIdLabel6);
    seen.label7 = ClientRect(w, kIdLabel7);
    seen.label6_text = Text(w, kIdLabel6);
    seen.label7_text = Text(w, kIdLabel7);
    for (int i = 0; i < SendMessageW(Item(w, kIdComboBox1), CB_GETCOUNT, 0, 0); ++i) {
      wchar_t item[64] = {};
      SendMessageW(Item(w, kIdComboBox1), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      seen.securities.push_back(item);
    }
    seen.security = SendMessageW(Item(w, kIdComboBox1), CB_GETCURSEL, 0, 0);
    seen.port = Text(w, kIdEdit4);
    seen.combo = Enabled(w, kIdComboBox1);
    seen.edit4 = Enabled(w, kIdEdit4);
    seen.checking = Checked(w, kIdCheckBox1);
    seen.pop = Checked(w, kIdRadioPop);
    seen.apop = Checked(w, kIdRadioApop);
    seen.sound = Checked(w, kIdCheckBox2);
    seen.interval = Text(w, kIdEdit5);
    seen.server = Text(w, kIdEdit3);
    seen.account = Text(w, kIdEdit1);
    seen.edit1 = Enabled(w, kIdEdit1);
    seen.edit5 = Enabled(w, kIdEdit5);
    seen.radio = Enabled(w, kIdRadioApop);
    seen.check2 = Enabled(w, kIdCheckBox2);
    seen.edit6 = Enabled(w, kIdEdit6);
    seen.button3 = Enabled(w, kIdButton3);
    seen.password_char = static_cast<wchar_t>(SendMessageW(Item(w, kIdEdit2), EM_GETPASSWORDCHAR, 0, 0));
    Click(w, kIdButton2);
  });
  EXPECT_EQ(mokuna::WidenSjis("メール取得の設定"), seen.caption);
  EXPECT_EQ(290, seen.client.right);
  EXPECT_EQ(337, seen.client.bottom);
  EXPECT_FALSE(seen.style & WS_SYSMENU) << "no title-bar buttons";
  ASSERT_EQ(std::size(kLayout), seen.rects.size());
  for (std::size_t i = 0; i < seen.rects.size(); ++i) {
    const RECT& r = seen.rects[i];
    const Layout& l = kLayout[i];
    EXPECT_EQ(l.x, r.left) << "control " << l.id;
    EXPECT_EQ(l.y, r.top) << "control " << l.id;
    EXPECT_EQ(l.w, r.right - r.left) << "control " << l.id;
    EXPECT_EQ(l.h, r.bottom - r.top) << "control " << l.id;
  }
  EXPECT_EQ(mokuna::WidenSjis("分おき"), seen.label1);
  EXPECT_EQ(237, seen.label1_at.x);
  EXPECT_EQ(57, seen.label1_at.y);
  // The security row: each label on the row, left of its field and not cut by it.
  EXPECT_EQ(mokuna::WidenSjis("暗号化"), seen.label6_text);
  EXPECT_EQ(mokuna::WidenSjis("ポート"), seen.label7_text);
  EXPECT_EQ(20, seen.label6.left);
  EXPECT_EQ(243, seen.label6.top);
  EXPECT_LE(seen.label6.right, 80);
  EXPECT_EQ(243, seen.label7.top);
  EXPECT_GE(seen.label7.left, 176 + 4);
  EXPECT_LE(seen.label7.right, 222);
  EXPECT_LE(seen.label7.bottom, 126 + 134) << "inside Panel1";
  EXPECT_EQ((std::vector<std::wstring>{mokuna::WidenSjis("なし"), L"SSL/TLS", L"STARTTLS"}), seen.securities);
  EXPECT_EQ(0, seen.security);
  EXPECT_EQ(L"", seen.port);
  EXPECT_TRUE(seen.combo && seen.edit4);
  EXPECT_TRUE(seen.checking);
  EXPECT_TRUE(seen.pop);
  EXPECT_FALSE(seen.apop);
  EXPECT_FALSE(seen.sound);
  EXPECT_EQ(L"0", seen.interval);
  EXPECT_EQ(L"127.0.0.1", seen.server);
  EXPECT_EQ(L"", seen.account);
  EXPECT_TRUE(seen.edit1 && seen.edit5 && seen.radio && seen.check2);
  EXPECT_FALSE(seen.edit6);
  EXPECT_FALSE(seen.button3);
  EXPECT_EQ(L'*', seen.password_char);

  EXPECT_EQ("Fennick PropertyPage 900 * * * * /0 Fennick 0 CheckMail", result);
  EXPECT_EQ(kDefaultFile, ReadAll("epop.ini"));
  EXPECT_TRUE(errors_.empty());
}

// A move onto a monitor of another scale: the suggested frame as it is, every control from its 96-DPI place
// with the one rounding rule (the drop-downs' closed boxes too), the measured labels at their scaled corner.
TEST_F(SettingsWindow, DpiChangeTakesTheSuggestedFrameAndScalesEveryControl) {
  std::vector<std::string> wrong;  // what is not where it belongs, and at which scale
  RunPage([&](HWND w) {
    for (int dpi : {120, 144, 192, 96}) {
      const std::string at = " at " + std::to_string(dpi);
      const SIZE size{mokuna::Scale(296, dpi), mokuna::Scale(362, dpi)};
      const RECT suggested{20, 10, 20 + size.cx, 10 + size.cy};
      SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
      RECT frame, label = ClientRect(w, kIdLabel1);
      GetWindowRect(w, &frame);
      if (frame.right - frame.left != size.cx || frame.bottom - frame.top != size.cy) wrong.push_back("frame" + at);
      if (label.left != mokuna::Scale(237, dpi) || label.top != mokuna::Scale(57, dpi)) wrong.push_back("Label1" + at);
      for (const Layout& l : kLayout) {
        const RECT want = mokuna::Scale(RECT{l.x, l.y, l.x + l.w, l.y + l.h}, dpi), got = ClientRect(w, l.id);
        if (!EqualRect(&want, &got)) wrong.push_back(std::to_string(l.id) + at);
      }
    }
  });
  EXPECT_EQ(std::vector<std::string>{}, wrong);
}

TEST_F(SettingsWindow, EnablingFollowsBothCheckBoxes) {
  std::vector<std::vector<bool>> states;
  auto record = [&](HWND w) {
    states.push_back({Enabled(w, kIdEdit1), Enabled(w, kIdEdit2), Enabled(w, kIdEdit3), Enabled(w, kIdEdit5),
                      Enabled(w, kIdRadioPop), Enabled(w, kIdComboBox1), Enabled(w, kIdEdit4),
                      Enabled(w, kIdComboBox2), Enabled(w, kIdComboBox3), Enabled(w, kIdCheckBox2),
                      Enabled(w, kIdEdit6), Enabled(w, kIdButton3)});
  };
  RunPage([&](HWND w) {
    Click(w, kIdCheckBox2);  // sound on
    record(w);
    Click(w, kIdCheckBox1);  // checking off
    record(w);
    Click(w, kIdCheckBox1);  // checking on again, sound still on
    record(w);
    Click(w, kIdCheckBox2);  // sound off
    record(w);
    Click(w, kIdButton1);
  });
  ASSERT_EQ(4u, states.size());
  const std::vector<bool> all(12, true), none(12, false);
  std::vector<bool> no_sound = all;
  no_sound[10] = no_sound[11] = false;
  EXPECT_EQ(all, states[0]);
  EXPECT_EQ(none, states[1]);
  EXPECT_EQ(all, states[2]);
  EXPECT_EQ(no_sound, states[3]);
}

TEST_F(SettingsWindow, TabWalksTheControlsInTheirOrder) {
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "isPlay=1\r\nisUseAPOP=1\r\n"));
  std::vector<int> order;
  RunPage([&](HWND w) {
    HWND at = Item(w, kIdEdit1);
    for (int i = 0; i < 18; ++i) {
      order.push_back(GetDlgCtrlID(at));
      at = GetNextDlgTabItem(w, at, FALSE);
    }
    Click(w, kIdRadioPop);  // the mark moves, and Tab follows it
    order.push_back(GetDlgCtrlID(GetNextDlgTabItem(w, Item(w, kIdComboBox2), FALSE)));
    Click(w, kIdButton1);
  });
  const std::vector<int> expected = {kIdEdit1,     kIdEdit2,     kIdComboBox3, kIdEdit3,   kIdComboBox2,
                                     kIdRadioApop, kIdComboBox1, kIdEdit4,     kIdButton1, kIdButton2,
                                     kIdCheckBox1, kIdEdit5,     kIdCheckBox2, kIdCheckBox3, kIdEdit6,
                                     kIdButton3,   kIdButton4,   kIdEdit1,     kIdRadioPop};
  EXPECT_EQ(expected, order);
}

// Picks an item of a drop-down as the user does: the selection, then the notification.
void Choose(HWND w, int id, int index) {
  SendMessageW(Item(w, id), CB_SETCURSEL, index, 0);
  SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(w, id)));
}
void ChooseSecurity(HWND w, int index) { Choose(w, kIdComboBox1, index); }

TEST_F(SettingsWindow, SecurityChoiceCarriesTheUsualPortAlongAndOkWritesBoth) {
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "POPSecurity=2\r\nPOPPort=1110\r\nAccount=me\r\n"));
  struct Row {
    const char* port;
    int security;
    const wchar_t* then;
  };
  const Row rows[] = {
      {"", 1, L"995"},     {"110", 1, L"995"},  {"2110", 1, L"2110"}, {"995", 1, L"995"}, {"995", 0, L"110"},
      {"995", 2, L"110"},  {"", 2, L""},        {"", 0, L""},         {"110", 0, L"110"}, {"1995", 0, L"1995"},
  };
  LRESULT loaded_security = -1;
  std::wstring loaded_port;
  std::vector<std::wstring> after;
  const std::string result = RunPage([&](HWND w) {
    loaded_security = SendMessageW(Item(w, kIdComboBox1), CB_GETCURSEL, 0, 0);
    loaded_port = Text(w, kIdEdit4);
    for (const Row& row : rows) {
      Type(w, kIdEdit4, row.port);
      ChooseSecurity(w, row.security);
      after.push_back(Text(w, kIdEdit4));
    }
    Type(w, kIdEdit4, "110");
    ChooseSecurity(w, 1);
    Click(w, kIdButton2);
  });
  EXPECT_EQ(2, loaded_security);
  EXPECT_EQ(L"1110", loaded_port);
  ASSERT_EQ(std::size(rows), after.size());
  for (std::size_t i = 0; i < after.size(); ++i)
    EXPECT_EQ(rows[i].then, after[i]) << "'" << rows[i].port << "' then " << rows[i].security;
  EXPECT_EQ("Fennick PropertyPage 900 * * * * /0 Fennick 0 CheckMail", result);
  EXPECT_EQ(
      "isCheckMail=1\r\nisPlay=0\r\nCheckInterval=0\r\nAccount=me\r\nPassword=\r\nPOPServer=127.0.0.1\r\n"
      "isUseAPOP=0\r\nFilePlaying=\r\nLastMessageID=\r\nLastMailNum=0\r\nPOPSecurity=1\r\nPOPPort=995\r\n",
      ReadAll("epop.ini"));
}

// The provider presets fill the connection rows, which stay editable; the protocol row disables APOP and
// carries the usual port along; a mailbox read another way gets a first check.
TEST_F(SettingsWindow, PresetsAndProtocolRowFillTheConnectionAndOkStartsAfresh) {
  ASSERT_TRUE(fileio::WriteFileAtomic(
      "epop.ini", "POPServer=mail.example\r\nisUseAPOP=1\r\nPOPPort=2110\r\nLastMessageID=<a@b>\r\nLastMailNum=3\r\n"));
  // protocol, security, the drop-down changed last, the port before it; then the port and whether APOP is open
  const std::tuple<int, int, int, const char*> rows[] = {
      {1, 1, kIdComboBox2, "995"}, {1, 0, kIdComboBox2, "110"},  {1, 1, kIdComboBox1, ""},
      {1, 2, kIdComboBox1, "993"}, {1, 0, kIdComboBox1, ""},      {1, 1, kIdComboBox2, "1993"},
      {0, 1, kIdComboBox2, "993"}, {0, 0, kIdComboBox2, "143"}};
  std::vector<std::wstring> seen;
  const std::string result = RunPage([&](HWND w) {
    for (int preset = 0; preset < 5; ++preset) {  // その他 first: it changes nothing
      Choose(w, kIdComboBox3, preset);
      seen.push_back(Text(w, kIdEdit3) + L" " + Text(w, kIdEdit4) + L" " +
                     std::to_wstring(SendMessageW(Item(w, kIdComboBox2), CB_GETCURSEL, 0, 0)) +
                     std::to_wstring(SendMessageW(Item(w, kIdComboBox1), CB_GETCURSEL, 0, 0)) +
                     (Checked(w, kIdRadioApop) ? L" APOP" : L""));
    }
    for (const auto& [protocol, security, changed, port] : rows) {
      SendMessageW(Item(w, kIdComboBox1), CB_SETCURSEL, security, 0);
      SendMessageW(Item(w, kIdComboBox2), CB_SETCURSEL, protocol, 0);
      Type(w, kIdEdit4, port);
      Choose(w, changed, changed == kIdComboBox2 ? protocol : security);
      seen.push_back(Text(w, kIdEdit4) + (Enabled(w, kIdRadioApop) ? L" APOP" : L""));
    }
    Click(w, kIdRadioApop);
    Choose(w, kIdComboBox3, 1);
    Type(w, kIdEdit3, "imap.example.jp");
    Click(w, kIdButton2);
  });
  EXPECT_EQ((std::vector<std::wstring>{L"mail.example 2110 00 APOP", L"imap.gmail.com 993 11 APOP",
                                       L"imap.mail.me.com 993 11 APOP", L"imap.spmode.ne.jp 993 11 APOP",
                                       L"mail.biglobe.ne.jp 995 01", L"993", L"143", L"993", L"143", L"", L"1993",
                                       L"995 APOP", L"110 APOP"}),
            seen);
  EXPECT_EQ("Fennick PropertyPage 900 * * * * /0 Fennick 0 CheckMail", result);
  const std::string file = ReadAll("epop.ini");
  EXPECT_NE(std::string::npos, file.find("POPServer=imap.example.jp\r\nisUseAPOP=1\r\nFilePlaying=\r\n"
                                         "LastMessageID=\r\nLastMailNum=0\r\nPOPSecurity=1\r\nPOPPort=993\r\n"
                                         "MailProtocol=1\r\n"
                                         "IMAPUIDValidity=0\r\nIMAPUIDNext=0\r\nIMAPUnseen=0\r\n"))
      << file;
}

TEST_F(SettingsWindow, RecheckOfAnImapMailboxRepeatsItsUnseenCount) {
  const std::string file = "MailProtocol=1\r\nLastMailNum=5\r\nIMAPUIDValidity=7\r\nIMAPUIDNext=9\r\nIMAPUnseen=2\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  EXPECT_EQ("Fennick PropertyPage 000 2通のメールがきています． はやく受信しましょう．", RunPage([&](HWND w) {
              Choose(w, kIdComboBox2, 0);  // not confirmed: the last check was still over IMAP
              Click(w, kIdButton4);
            }));
  EXPECT_EQ(file, ReadAll("epop.ini"));
}

// A security in the file that names none of the choices is told and taken as SSL/TLS: OK writes it so,
// with the rest of the settings.
TEST_F(SettingsWindow, UnknownSecurityShowsAsSslTlsAndOkWritesIt) {
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "POPSecurity=3\r\nAccount=me\r\n"));
  RunPage([&](HWND w) { Click(w, kIdButton2); });
  EXPECT_EQ(std::vector<std::string>{"'3' は 0, 1, 2 のどれでもありません"}, errors_);
  std::string want = kDefaultFile + "POPSecurity=1\r\n";
  EXPECT_EQ(want.insert(want.find("Account=") + 8, "me"), ReadAll("epop.ini"));
}

// The message box a refused port brings up: its texts and whether it shows the exclamation icon.
struct PortErrorBox {
  bool shown = false;
  std::wstring texts;
  bool exclamation = false;
};

PortErrorBox AnswerPortErrorBox() {
  PortErrorBox box;
  HWND dialog = WaitForWindow(L"#32770", L"Error");
  if (!dialog) return box;
  box.shown = true;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM p) -> BOOL {
        auto* b = reinterpret_cast<PortErrorBox*>(p);
        wchar_t cls[32] = {}, text[512] = {};
        GetClassNameW(child, cls, 32);
        if (lstrcmpiW(cls, L"Static") != 0) return TRUE;
        GetWindowTextW(child, text, 512);
        b->texts += text;
        if (reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == LoadIconW(nullptr, IDI_EXCLAMATION))
          b->exclamation = true;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  testsupport::WaitUntil([&] { return !IsWindow(dialog); }, 5000);
  return box;
}

TEST_F(SettingsWindow, OkRefusesAPortThatIsNoPortAndWritesNothing) {
  const std::string file = "Account=me\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  const char* const bad_ports[] = {"0", "65536", "99a", " 995", "+995", "ポート"};
  std::vector<PortErrorBox> boxes;
  std::vector<bool> still_open;
  std::string written_meanwhile;
  const std::string result = RunPage([&](HWND w) {
    for (const char* port : bad_ports) {
      Type(w, kIdEdit4, port);
      PostMessageW(Item(w, kIdButton2), BM_CLICK, 0, 0);  // the message box runs its own loop: do not wait on it
      boxes.push_back(AnswerPortErrorBox());
      // Returns once the page's thread has finished the click and waits for messages again; fails at once if
      // the page is gone.
      SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
      still_open.push_back(IsWindow(w) && IsWindowVisible(w));
    }
    written_meanwhile = ReadAll("epop.ini");
    Type(w, kIdEdit4, "65535");
    Click(w, kIdButton2);
  });
  ASSERT_EQ(std::size(bad_ports), boxes.size());
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_TRUE(boxes[i].shown) << bad_ports[i];
    EXPECT_NE(std::wstring::npos, boxes[i].texts.find(L"65535")) << bad_ports[i];
    EXPECT_TRUE(boxes[i].exclamation) << bad_ports[i];
    EXPECT_TRUE(still_open[i]) << bad_ports[i];
  }
  EXPECT_EQ(file, written_meanwhile);
  EXPECT_EQ("Fennick PropertyPage 900 * * * * /0 Fennick 0 CheckMail", result);
  EXPECT_NE(std::string::npos, ReadAll("epop.ini").find("\r\nLastMailNum=0\r\nPOPPort=65535\r\n"));
}

TEST_F(SettingsWindow, LoadedSettingsShowAndOkWritesWhatTheWindowHolds) {
  ASSERT_TRUE(fileio::WriteFileAtomic(
      "epop.ini",
      "ISCHECKMAIL=1\r\nCheckInterval=5\r\nAccount=ユーザ\r\nPassword=a=b\r\nPOPServer=mail.example\r\n"
      "isUseAPOP=5\r\nisPlay=1\r\nFilePlaying=C:\\no\\such.wav\r\nLastMessageID=<x@y>\r\nLastMailNum=3\r\n"
      "Account =ignored\r\n"));
  std::wstring account, password, server, sound_file;
  bool apop = false, edit6 = false;
  const std::string result = RunPage([&](HWND w) {
    account = Text(w, kIdEdit1);
    password = Text(w, kIdEdit2);
    server = Text(w, kIdEdit3);
    sound_file = Text(w, kIdEdit6);
    apop = Checked(w, kIdRadioApop);
    edit6 = Enabled(w, kIdEdit6);
    Type(w, kIdEdit5, "15");
    Click(w, kIdButton2);
  });
  EXPECT_EQ(mokuna::WidenSjis("ユーザ"), account);
  EXPECT_EQ(L"a=b", password);
  EXPECT_EQ(L"mail.example", server);
  EXPECT_EQ(L"C:\\no\\such.wav", sound_file);
  EXPECT_TRUE(apop);
  EXPECT_TRUE(edit6);
  EXPECT_EQ("Fennick PropertyPage 900 * * * * /15 Fennick 0 CheckMail", result);
  const std::string written = ReadAll("epop.ini");
  const std::string ten =
      "isCheckMail=1\r\nisPlay=1\r\nCheckInterval=15\r\nAccount=ユーザ\r\nPassword=\r\n"
      "POPServer=mail.example\r\nisUseAPOP=1\r\nFilePlaying=C:\\no\\such.wav\r\nLastMessageID=<x@y>\r\n"
      "LastMailNum=3\r\nPasswordProtected=";
  ASSERT_EQ(ten, written.substr(0, ten.size()));
  const auto blob = Base64Decode(written.substr(ten.size(), written.size() - 2 - ten.size()));
  EXPECT_EQ("a=b", DpapiProtector().Unprotect(blob.value_or("")));
  EXPECT_TRUE(errors_.empty());
}

// A blob from elsewhere shows an empty password; the sender box is enabled, and written only ticked.
TEST_F(SettingsWindow, UnopenablePasswordShowsEmptyAndTheSenderBoxIsWrittenOnlyTicked) {
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "PasswordProtected=" + Base64Encode("x") + "\r\nAnnounceSender=1\r\n"));
  std::vector<std::wstring> seen;
  for (int run = 0; run < 2; ++run) {
    RunPage([&](HWND w) {
      seen.push_back(Text(w, kIdEdit2) + (Checked(w, kIdCheckBox3) && Enabled(w, kIdCheckBox3) ? L"on" : L"off"));
      Click(w, kIdCheckBox3);
      Click(w, kIdButton2);
    });
    if (run == 0) seen.push_back(mokuna::WidenSjis(ReadAll("epop.ini")));
  }
  EXPECT_EQ(seen[0], L"on");
  EXPECT_EQ(seen[1].find(L"AnnounceSender"), std::wstring::npos) << seen[1];
  EXPECT_EQ(seen[2], L"off");
  EXPECT_EQ(mokuna::WidenSjis(ReadAll("epop.ini")), seen[1] + L"AnnounceSender=1\r\n");
}

TEST_F(SettingsWindow, CheckingOffSchedulesZeroButKeepsTheDisabledFields) {
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "CheckInterval=15\r\nAccount=me\r\nisUseAPOP=-3\r\n"));
  bool pop = true, apop = true;
  const std::string result = RunPage([&](HWND w) {
    pop = Checked(w, kIdRadioPop);
    apop = Checked(w, kIdRadioApop);
    Click(w, kIdCheckBox1);
    Click(w, kIdButton2);
  });
  EXPECT_FALSE(pop || apop) << "-3 marks no choice";
  EXPECT_EQ("Fennick PropertyPage 900 * * * * /0 Fennick 0 CheckMail", result);
  EXPECT_EQ(
      "isCheckMail=0\r\nisPlay=0\r\nCheckInterval=15\r\nAccount=me\r\nPassword=\r\nPOPServer=127.0.0.1\r\n"
      "isUseAPOP=-1\r\nFilePlaying=\r\nLastMessageID=\r\nLastMailNum=0\r\n",
      ReadAll("epop.ini"));
}

TEST_F(SettingsWindow, CancelEscapeAndCloseLeaveTheFileAlone) {
  const std::string file = "CheckInterval=15\r\nAccount=me\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  EXPECT_EQ("Fennick PropertyPage 000 ", RunPage([](HWND w) {
              Type(w, kIdEdit1, "changed");
              Click(w, kIdCheckBox1);
              Click(w, kIdButton1);
            }));
  EXPECT_EQ("Fennick PropertyPage 000 ", RunPage([](HWND w) {
              Type(w, kIdEdit1, "changed");
              SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // Escape
            }));
  EXPECT_EQ("Fennick PropertyPage 000 ", RunPage([](HWND w) { SendMessageW(w, WM_CLOSE, 0, 0); }));
  EXPECT_EQ(file, ReadAll("epop.ini"));
}

TEST_F(SettingsWindow, RecheckRepeatsTheLastCountWithoutWriting) {
  const std::string file = "LastMessageID=<a@b>\r\nLastMailNum=3\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  EXPECT_EQ("Fennick PropertyPage 000 3通のメールがきています． はやく受信しましょう．",
            RunPage([](HWND w) { Click(w, kIdButton4); }));
  EXPECT_EQ(file, ReadAll("epop.ini"));
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "LastMailNum=0\r\n"));
  EXPECT_EQ("Fennick PropertyPage 000 メールは届いていません．", RunPage([](HWND w) { Click(w, kIdButton4); }));
}

TEST_F(SettingsWindow, LoadErrorIsShownAndStopsLoadingThere) {
  ASSERT_TRUE(fileio::WriteFileAtomic(
      "epop.ini", "Account=me\r\nisUseAPOP=APOP\r\nisPlay=1\r\nLastMailNum=7\r\n"));
  std::wstring account;
  bool sound = true;
  const std::string result = RunPage([&](HWND w) {
    account = Text(w, kIdEdit1);
    sound = Checked(w, kIdCheckBox2);
    Click(w, kIdButton4);
  });
  ASSERT_EQ(1u, errors_.size());
  EXPECT_NE(std::string::npos, errors_[0].find("APOP")) << errors_[0];
  EXPECT_EQ(L"me", account);
  EXPECT_FALSE(sound) << "keys after the bad one keep their initial states";
  EXPECT_EQ("Fennick PropertyPage 000 メールは届いていません．", result) << "LastMailNum was not applied";
}

TEST_F(SettingsWindow, OkAfterALoadErrorKeepsTheLinesTheLoadNeverReached) {
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "MailProtocol=2\r\nAccount=bob\r\nPassword=pw\r\nNote=x\r\n"));
  RunPage([&](HWND w) { Click(w, kIdButton2); });
  ASSERT_EQ(1u, errors_.size());
  std::string want = kDefaultFile;  // the password kept, but never in plain text
  want.insert(want.find("Account=") + 8, "bob");
  const std::string written = ReadAll("epop.ini"), blob_key = "PasswordProtected=";
  ASSERT_EQ(want + blob_key, written.substr(0, want.size() + blob_key.size()));
  ASSERT_EQ("\r\nNote=x\r\n", written.substr(written.size() - 10));
  const auto blob = Base64Decode(written.substr(want.size() + blob_key.size(), written.size() - 10 - want.size() - blob_key.size()));
  EXPECT_EQ("pw", DpapiProtector().Unprotect(blob.value_or("")));
}

TEST_F(SettingsWindow, SoundTheDeviceCannotOpenIsReportedInItsWords) {
  ASSERT_TRUE(fileio::WriteFileAtomic("bad.wav", "this is not a wave file"));
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "isPlay=1\r\nFilePlaying=bad.wav\r\nLastMailNum=4\r\n"));
  std::wstring field;
  const std::string result = RunPage([&](HWND w) {
    field = Text(w, kIdEdit6);
    Click(w, kIdButton4);
  });
  ASSERT_EQ(1u, errors_.size());
  EXPECT_FALSE(errors_[0].empty());
  EXPECT_EQ(L"bad.wav", field);
  EXPECT_EQ("Fennick PropertyPage 000 メールは届いていません．", result) << "loading stopped before LastMailNum";
}

TEST_F(SettingsWindow, BrowsingElsewhereStillWritesTheFileWhereItWas) {
  const std::wstring sounds = folder_.Path() + L"\\" + mokuna::WidenSjis("おと");
  ASSERT_TRUE(CreateDirectoryW(sounds.c_str(), nullptr));
  const std::wstring wav = sounds + L"\\chime.wav";
  HANDLE h = CreateFileW(wav.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);

  // The real dialog runs; should it leave the current directory alone, move it ourselves, so the test
  // always sees the case the restore exists for.
  bool dialog_chose = false;
  Hooks().choose_sound_file = [&](HWND owner, std::wstring& path) {
    dialog_chose = RunSoundFileDialog(owner, path);
    SetCurrentDirectoryW(sounds.c_str());
    return dialog_chose;
  };
  std::wstring chosen;
  bool dialog_seen = false;
  const std::string result = RunPage([&](HWND w) {
    Click(w, kIdCheckBox2);
    PostMessageW(Item(w, kIdButton3), BM_CLICK, 0, 0);  // the dialog runs its own loop: do not wait on it
    HWND dialog = WaitForWindow(L"#32770", mokuna::WidenSjis("おとファイルを開く"));
    if (!dialog) return;
    dialog_seen = true;
    // The file name field: a combo box in the newer dialog, an edit field in the older.
    HWND name = GetDlgItem(dialog, 0x47c);
    if (!name) name = GetDlgItem(dialog, 0x480);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wav.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    testsupport::WaitUntil([&] { return !IsWindow(dialog); }, 5000);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    chosen = Text(w, kIdEdit6);
    Click(w, kIdButton2);
  });
  ASSERT_TRUE(dialog_seen);
  EXPECT_TRUE(dialog_chose);
  EXPECT_EQ(0, lstrcmpiW(wav.c_str(), chosen.c_str())) << Sjis(chosen);
  EXPECT_EQ(folder_.Path(), ScratchFolder::CurrentDirectory());
  EXPECT_EQ("Fennick PropertyPage 900 * * * * /0 Fennick 0 CheckMail", result);
  EXPECT_NE(std::string::npos, ReadAll("epop.ini").find("FilePlaying=" + Sjis(chosen) + "\r\n"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((sounds + L"\\epop.ini").c_str()));
}

TEST_F(SettingsWindow, CancelledDialogKeepsTheFieldAndTheDirectory) {
  Hooks().choose_sound_file = [&](HWND, std::wstring&) {
    SetCurrentDirectoryW(L"C:\\");
    return false;
  };
  std::wstring field;
  RunPage([&](HWND w) {
    Click(w, kIdCheckBox2);
    Type(w, kIdEdit6, "keep.wav");
    Click(w, kIdButton3);
    field = Text(w, kIdEdit6);
    Click(w, kIdButton1);
  });
  EXPECT_EQ(L"keep.wav", field);
  EXPECT_EQ(folder_.Path(), ScratchFolder::CurrentDirectory());
}

TEST_F(SettingsWindow, UnwritableFileIsReportedAndTheResultStillReturned) {
  const std::string file = "CheckInterval=15\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
  ASSERT_TRUE(SetFileAttributesW(L"epop.ini", FILE_ATTRIBUTE_READONLY));
  const std::string result = RunPage([](HWND w) { Click(w, kIdButton2); });
  EXPECT_EQ("Fennick PropertyPage 900 * * * * /15 Fennick 0 CheckMail", result);
  ASSERT_EQ(1u, errors_.size());
  EXPECT_EQ(0u, errors_[0].find("設定を epop.ini に保存できませんでした．")) << errors_[0];
  EXPECT_GT(errors_[0].size(), std::string("設定を epop.ini に保存できませんでした．\r\n").size()) << "and why";
  EXPECT_EQ(file, ReadAll("epop.ini"));
}

// Another program holding epop.ini: a file the plug-in cannot read is reported, the window stays shut (its
// defaults must never reach the file) and the file is never replaced; a hold that lets readers in is no
// obstacle.
TEST_F(SettingsWindow, FileAnotherProgramHoldsIsReportedAndNeverReplaced) {
  const std::string file = "CheckInterval=15\r\nLastMailNum=3\r\n";
  const struct {
    const char* name;
    DWORD access, share;
    bool readable;
  } cases[] = {
      {"held without sharing", GENERIC_READ | GENERIC_WRITE, 0, false},
      {"held for writing, readers let in", GENERIC_WRITE, FILE_SHARE_READ, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    errors_.clear();
    ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", file));
    HANDLE hold = CreateFileW(L"epop.ini", c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hold);
    std::atomic<bool> returned{false}, seen{false};
    std::thread driver([&] {
      HWND w = nullptr;
      const auto shown = [&] { return (w = FindWindowW(L"FennickTForm1", nullptr)) && IsWindowVisible(w); };
      if (!testsupport::WaitUntil([&] { return returned || shown(); }, 30000) || returned) return;
      seen = true;
      // OK would write; the recheck button shows whether the file was read.
      SendMessageW(Item(w, c.readable ? kIdButton4 : kIdButton2), BM_CLICK, 0, 0);
    });
    const std::string result = RunPropertyPage(state_);
    returned = true;
    driver.join();
    CloseHandle(hold);
    EXPECT_EQ(c.readable, seen.load());
    EXPECT_EQ(file, ReadAll("epop.ini"));
    if (c.readable) {
      EXPECT_EQ("Fennick PropertyPage 000 3通のメールがきています． はやく受信しましょう．", result);
      EXPECT_TRUE(errors_.empty());
      continue;
    }
    EXPECT_EQ("Fennick PropertyPage 000 ", result);
    ASSERT_EQ(1u, errors_.size());
    const std::string head = "設定ファイル epop.ini を読み込めませんでした．\r\n";
    EXPECT_EQ(0u, errors_[0].find(head)) << errors_[0];
    EXPECT_GT(errors_[0].find("\r\n", head.size()), head.size()) << "the system's reason follows: " << errors_[0];
  }
}

}  // namespace
