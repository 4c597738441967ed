// The settings dialog and the plug-in submenu, driven by their window messages.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Dpi.h"
#include "UI2.h"
#include "dialog_test_util.h"

namespace mokuna {
namespace {

using namespace dialogs_test;

struct Box {
  std::string text, caption;
  UINT type;
};

// Records the applied steps; optionally looks at the other windows while the dialog is modal.
class RecordingTarget : public SettingsTarget {
 public:
  std::vector<std::string> steps;
  HWND watched = nullptr;
  bool watched_enabled_during_apply = true;
  void SetLocalPolling(int v) override {
    if (watched) watched_enabled_during_apply = IsWindowEnabled(watched) != FALSE;
    steps.push_back("LocalPolling=" + std::to_string(v));
  }
  void SetSerifuInterval(int v) override { steps.push_back("SerifuInterval=" + std::to_string(v)); }
  void SetFukidasiInterval(int v) override { steps.push_back("FukidasiInterval=" + std::to_string(v)); }
  void SetEventPolling(int v) override { steps.push_back("EventPolling=" + std::to_string(v)); }
  void SetMokunaImage(const std::string& v) override { steps.push_back("MokunaImage=" + v); }
  void SetMaxSpeaking(int v) override { steps.push_back("MaxSpeaking=" + std::to_string(v)); }
  void SetDllList(const std::vector<std::string>& v) override {
    std::string joined;
    for (const auto& n : v) joined += n + ";";
    steps.push_back("DllList=" + joined);
  }
  void SetShowCalender(bool v) override { steps.push_back(std::string("ShowCalender=") + (v ? "1" : "0")); }
  void SetShowTime(bool v) override { steps.push_back(std::string("ShowTime=") + (v ? "1" : "0")); }
};

class SettingsDialog : public ::testing::Test {
 protected:
  static HostSettings Initial() {
    HostSettings v;
    v.LocalPolling = 300;
    v.EventPolling = 700;
    v.MokunaImage = "climon.bmp";
    v.DllList = {"Kavrel", "Fennick"};
    v.ShowCalender = true;
    return v;
  }
  void SetUp() override {
    form.message_box = [this](HWND owner, const std::string& text, const std::string& caption, UINT type) {
      EXPECT_EQ(form.Handle(), owner);
      boxes.push_back({text, caption, type});
      return IDOK;
    };
    form.show_error = [this](const std::string& text) { errors.push_back(text); };
    ASSERT_TRUE(form.Create());
  }
  HWND H() const { return form.Handle(); }
  std::vector<std::string> ListItems() const {
    std::vector<std::string> items;
    HWND list = form.Control(TForm2::kListBox1);
    const int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      wchar_t buffer[256];
      const auto len = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
      items.push_back(NarrowToSjis(std::wstring(buffer, static_cast<std::size_t>(len))));
    }
    return items;
  }
  int Selected() const { return static_cast<int>(SendMessageW(form.Control(TForm2::kListBox1), LB_GETCURSEL, 0, 0)); }
  void Select(int i) { SendMessageW(form.Control(TForm2::kListBox1), LB_SETCURSEL, i, 0); }

  ScratchDir dir;
  HostSettings values = Initial();
  RecordingTarget target;
  TForm2 form{target, values};
  std::vector<Box> boxes;
  std::vector<std::string> errors;
};

TEST_F(SettingsDialog, CreatedHiddenWithItsPagesFilledFromTheSettings) {
  EXPECT_FALSE(IsWindowVisible(H()));
  EXPECT_EQ("プロパティ", TextOf(H()));
  RECT client;
  GetClientRect(H(), &client);
  EXPECT_EQ(332, client.right);
  EXPECT_EQ(403, client.bottom);
  EXPECT_FALSE(GetWindowLongW(H(), GWL_STYLE) & WS_SYSMENU);  // no title-bar buttons

  EXPECT_EQ("300", TextOf(H(), TForm2::kEself));
  EXPECT_EQ("3", TextOf(H(), TForm2::kEserifu));
  EXPECT_EQ("5", TextOf(H(), TForm2::kEfukidasi));
  EXPECT_EQ("700", TextOf(H(), TForm2::kEevent));
  EXPECT_EQ("7", TextOf(H(), TForm2::kEdit3));
  EXPECT_EQ("climon.bmp", TextOf(H(), TForm2::kEdit1));
  EXPECT_EQ(BST_CHECKED, SendMessageW(form.Control(TForm2::kCheckBox1), BM_GETCHECK, 0, 0));
  EXPECT_EQ(BST_UNCHECKED, SendMessageW(form.Control(TForm2::kCheckBox2), BM_GETCHECK, 0, 0));
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Fennick"}), ListItems());

  EXPECT_EQ("キャンセル", TextOf(H(), TForm2::kButton1));
  EXPECT_EQ("適用", TextOf(H(), TForm2::kButton2));
  EXPECT_EQ("OK", TextOf(H(), TForm2::kButton3));
  // Left to right at the bottom right.
  RECT b1, b3;
  GetWindowRect(form.Control(TForm2::kButton1), &b1);
  GetWindowRect(form.Control(TForm2::kButton3), &b3);
  EXPECT_LT(b1.left, b3.left);

  // The first page is active; the second page's controls only show when it is chosen.
  EXPECT_EQ(1, form.ActivePage());
  EXPECT_TRUE(GetWindowLongW(form.Control(TForm2::kEserifu), GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(GetWindowLongW(form.Control(TForm2::kListBox1), GWL_STYLE) & WS_VISIBLE);
  HWND tabs = form.Control(TForm2::kPageControl1);
  SendMessageW(tabs, TCM_SETCURSEL, 1, 0);
  NMHDR change{tabs, static_cast<UINT_PTR>(TForm2::kPageControl1), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(H(), WM_NOTIFY, TForm2::kPageControl1, reinterpret_cast<LPARAM>(&change));
  EXPECT_EQ(2, form.ActivePage());
  EXPECT_FALSE(GetWindowLongW(form.Control(TForm2::kEserifu), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongW(form.Control(TForm2::kListBox1), GWL_STYLE) & WS_VISIBLE);
}

RECT InClient(HWND parent, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A move onto a monitor of another scale: the frame the system suggests is taken as it is, every control and
// the font scale from their 96-DPI places with the one rounding rule, and coming back to 96 is exact.
TEST_F(SettingsDialog, DpiChangeTakesTheSuggestedFrameAndScalesEveryControl) {
  if (DpiOf(H()) != 96) GTEST_SKIP() << "made at another scale";
  std::vector<std::pair<HWND, RECT>> at96;
  for (int id : {+TForm2::kPageControl1, TForm2::kLabelFirst + 3, +TForm2::kEself, +TForm2::kEdit1, +TForm2::kButton4,
                 +TForm2::kCheckBox2, +TForm2::kListBox1, +TForm2::kButton6, +TForm2::kButton1, +TForm2::kButton3})
    at96.emplace_back(form.Control(id), InClient(H(), form.Control(id)));
  for (int dpi : {120, 144, 192, 96}) {
    RECT suggested{40, 30, 40 + Scale(338, dpi), 30 + Scale(431, dpi)}, frame, want, got;
    SendMessageW(H(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(H(), &frame);
    EXPECT_TRUE(EqualRect(&frame, &suggested)) << dpi;
    for (const auto& [control, place] : at96)
      EXPECT_TRUE(EqualRect(&(want = Scale(place, dpi)), &(got = InClient(H(), control))))
          << "control " << GetDlgCtrlID(control) << " at " << dpi;
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.Control(TForm2::kEself), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_EQ(-Scale(12, dpi), font.lfHeight) << dpi;
  }
}

TEST_F(SettingsDialog, ApplyStopsAtTheFirstBadNumberAndStaysOpen) {
  Type(H(), TForm2::kEserifu, "4");
  Type(H(), TForm2::kEevent, "１０");  // full-width digits are no number
  Type(H(), TForm2::kEdit3, "9");
  ShowWindow(H(), SW_SHOW);
  Click(H(), TForm2::kButton2);
  EXPECT_EQ((std::vector<std::string>{"LocalPolling=300", "SerifuInterval=4", "FukidasiInterval=5"}), target.steps);
  EXPECT_EQ(std::vector<std::string>{"'１０' は整数ではありません"}, errors);
  EXPECT_TRUE(IsWindowVisible(H()));

  Type(H(), TForm2::kEevent, "0");  // an interval of 0 reaches the timer as 0, which stops it
  target.steps.clear();
  Click(H(), TForm2::kButton2);
  EXPECT_EQ("EventPolling=0", target.steps.at(3));
  EXPECT_EQ("MaxSpeaking=9", target.steps.at(5));
  EXPECT_EQ(9u, target.steps.size());
}

TEST_F(SettingsDialog, OkClosesTheModalDialogEvenWhenApplyingFails) {
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
  target.watched = other;
  Type(H(), TForm2::kEdit3, "seven");
  PostClick(H(), TForm2::kButton3);
  form.ShowModal();  // returns once OK has closed it
  EXPECT_FALSE(IsWindowVisible(H()));
  EXPECT_FALSE(form.IsModalOpen());
  EXPECT_EQ(std::vector<std::string>{"'seven' は整数ではありません"}, errors);
  EXPECT_EQ(5u, target.steps.size());  // the picture step ran, MaxSpeaking and later did not
  EXPECT_FALSE(target.watched_enabled_during_apply);
  EXPECT_TRUE(IsWindowEnabled(other));
  DestroyWindow(other);
}

TEST_F(SettingsDialog, CancelAppliesNothingButKeepsTheEditsForTheNextOpening) {
  Type(H(), TForm2::kEserifu, "8");
  SendMessageW(form.Control(TForm2::kCheckBox1), BM_CLICK, 0, 0);  // clears it
  PostClick(H(), TForm2::kButton1);
  form.ShowModal();
  EXPECT_TRUE(target.steps.empty());
  EXPECT_FALSE(IsWindowVisible(H()));

  PostClick(H(), TForm2::kButton3);
  form.ShowModal();
  EXPECT_EQ("8", TextOf(H(), TForm2::kEserifu));
  ASSERT_EQ(9u, target.steps.size());
  EXPECT_EQ("SerifuInterval=8", target.steps[1]);
  EXPECT_EQ("ShowCalender=0", target.steps[7]);
}

TEST_F(SettingsDialog, AddingNeedsTheDllFileAndNeverDuplicates) {
  dir.Write(L"Fennick.dll", "MZ");
  dir.Write(L"Extra.dll", "MZ");

  for (const char* refused : {"Nothing", "Fennick.dll", ""}) {
    Type(H(), TForm2::kEdit2, refused);
    Click(H(), TForm2::kButton5);
    ASSERT_EQ(1u, boxes.size()) << refused;
    EXPECT_EQ("No Such DLL", boxes[0].text);
    EXPECT_EQ("Error", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes[0].type);
    EXPECT_EQ(refused, TextOf(H(), TForm2::kEdit2));
    boxes.clear();
  }
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Fennick"}), ListItems());

  Type(H(), TForm2::kEdit2, "Fennick");
  Click(H(), TForm2::kButton5);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Fennick"}), ListItems());
  EXPECT_EQ(1, Selected());
  EXPECT_EQ("", TextOf(H(), TForm2::kEdit2));

  Type(H(), TForm2::kEdit2, "Extra");
  Click(H(), TForm2::kButton5);
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Fennick", "Extra"}), ListItems());
  EXPECT_EQ(2, Selected());
  EXPECT_EQ("", TextOf(H(), TForm2::kEdit2));
  EXPECT_TRUE(target.steps.empty());  // the list reaches DllList only by applying

  Click(H(), TForm2::kButton2);
  EXPECT_EQ("DllList=Kavrel;Fennick;Extra;", target.steps.at(6));
}

TEST_F(SettingsDialog, RemovingKeepsKavrelAndLeavesTheNameInTheEdit) {
  Click(H(), TForm2::kButton6);  // nothing selected
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(2u, ListItems().size());

  Select(0);
  Click(H(), TForm2::kButton6);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Kavrel.dll は削除できません．", boxes[0].text);
  EXPECT_EQ("Error", boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes[0].type);
  EXPECT_EQ(2u, ListItems().size());

  Select(1);
  Click(H(), TForm2::kButton6);
  EXPECT_EQ(std::vector<std::string>{"Kavrel"}, ListItems());
  EXPECT_EQ("Fennick", TextOf(H(), TForm2::kEdit2));

  // and DLL追加 puts it back at the end
  dir.Write(L"Fennick.dll", "MZ");
  Click(H(), TForm2::kButton5);
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Fennick"}), ListItems());
}

TEST_F(SettingsDialog, BrowsingRestoresTheCurrentDirectory) {
  const std::wstring start = CurrentDir();
  CreateDirectoryW(L"pictures", nullptr);
  std::wstring seen_initial;
  form.open_dialog = [&](HWND owner, const std::wstring& initial, std::wstring& path) {
    EXPECT_EQ(H(), owner);
    seen_initial = initial;
    SetCurrentDirectoryW(L"pictures");  // as the real dialog does when the user walks folders
    path = start + L"\\pictures\\\x30AD\x30E3\x30E9.bmp";
    return true;
  };
  Click(H(), TForm2::kButton4);
  EXPECT_EQ(start, seen_initial);
  EXPECT_EQ(start, CurrentDir());
  EXPECT_EQ(NarrowToSjis(start) + "\\pictures\\キャラ.bmp", TextOf(H(), TForm2::kEdit1));

  form.open_dialog = [&](HWND, const std::wstring&, std::wstring&) {
    SetCurrentDirectoryW(L"pictures");
    return false;
  };
  Click(H(), TForm2::kButton4);
  EXPECT_EQ(start, CurrentDir());
  EXPECT_EQ(NarrowToSjis(start) + "\\pictures\\キャラ.bmp", TextOf(H(), TForm2::kEdit1));
}

std::string MenuText(HMENU menu, int position) {
  wchar_t buffer[256];
  const int n = GetMenuStringW(menu, position, buffer, 256, MF_BYPOSITION);
  return NarrowToSjis(std::wstring(buffer, static_cast<std::size_t>(n)));
}

TEST(DllSubmenu, AtMost31ItemsInListOrderRebuiltWhole) {
  HMENU menu = CreatePopupMenu();
  std::vector<std::string> list;
  for (int i = 0; i < 40; ++i) list.push_back("Plugin" + std::to_string(i));
  list[1] = list[0];  // duplicates stay
  list[2] = "Mail&News";
  BuildDllSubmenu(menu, list, 5000);
  ASSERT_EQ(31, GetMenuItemCount(menu));
  EXPECT_EQ("Plugin0", MenuText(menu, 0));
  EXPECT_EQ("Plugin0", MenuText(menu, 1));
  EXPECT_EQ("Mail&&News", MenuText(menu, 2));  // shown as "Mail&News", no accelerator
  EXPECT_EQ("Plugin30", MenuText(menu, 30));
  EXPECT_EQ(5000u, GetMenuItemID(menu, 0));
  EXPECT_EQ(5030u, GetMenuItemID(menu, 30));

  BuildDllSubmenu(menu, {"Kavrel", "ふぇにっく"}, 5000);
  ASSERT_EQ(2, GetMenuItemCount(menu));
  EXPECT_EQ("ふぇにっく", MenuText(menu, 1));
  DestroyMenu(menu);
}

}  // namespace
}  // namespace mokuna
