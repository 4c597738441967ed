// Yotei.dll and the SDK's sample plug-in, loaded and called by the real Kavrel.dll, with the page driven by
// its messages while it runs on Kavrel's worker thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ControlTable.h"
#include "DLLHead.h"
#include "YoteiPage.h"
#include "file_io.h"
#include "scratch_folder.h"
#include "wait_until.h"
#include "tokenizer.h"
#include "wait_for_window.h"
#include "win_text.h"

namespace {

using Strings = std::vector<std::string>;
using namespace yotei;

class ThroughKavrel : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"yotei-test"};
  void SetUp() override { initForm(); }
  void TearDown() override { freeForm(); }

  // The next result string, within ten seconds.
  std::string Result() { return testsupport::WaitUntil([] { return isResult() != 0; }) ? GetResults() : "<none>"; }
};

// The local minute minutes_ago minutes back.
std::int64_t Ago(int minutes_ago) { return MinuteOf(mokuna::SystemClock().Now()) - minutes_ago; }

std::string File(const char* name) {
  std::string bytes;
  return fileio::ReadFile(name, bytes) ? bytes : "<none>";
}

HWND Item(HWND w, int id) { return GetDlgItem(w, id); }
void Type(HWND w, int id, const std::string& sjis) {
  SendMessageW(Item(w, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(mokuna::WidenSjis(sjis).c_str()));
}
void Command(HWND w, int id, int code) { SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(w, id))); }
void Choose(HWND w, int id, int index) {
  SendMessageW(Item(w, id), id == kIdList ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Command(w, id, id == kIdList ? LBN_SELCHANGE : CBN_SELCHANGE);
}
Strings Listed(HWND w) {
  Strings items;
  const LRESULT n = SendMessageW(Item(w, kIdList), LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    wchar_t text[512] = {};
    SendMessageW(Item(w, kIdList), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    items.push_back(mokuna::NarrowToSjis(text));
  }
  return items;
}

// Opens Yotei's page through Kavrel and runs script on it; the page is closed afterwards in any case.
void RunPage(const std::function<void(HWND)>& script) {
  PropertyPage("Yotei");
  HWND page = testsupport::WaitForWindow(L"YoteiSettingsPage");
  EXPECT_TRUE(page) << "the page did not appear";
  if (page) script(page);
  if (page && IsWindow(page)) PostMessageW(page, WM_CLOSE, 0, 0);
}

TEST_F(ThroughKavrel, SdkSampleSpeaksAndSchedulesItself) {
  DirectAction("Break 0 Remind");
  const std::string said = Result();
  EXPECT_EQ("Break Remind 000 ひと休みしましょう． 目を閉じて，肩を回して．", said);
  EXPECT_EQ((Strings{"Break", "Remind", "000", "ひと休みしましょう．", "目を閉じて，肩を回して．"}), SplitCommaText(said));
  for (const auto& [button, entry] : {std::pair{IDYES, "/60"}, std::pair{IDNO, "/0"}}) {
    PropertyPage("Break");
    HWND box = testsupport::WaitForWindow(L"#32770", L"Break");
    ASSERT_TRUE(box);
    PostMessageW(box, WM_COMMAND, button, 0);
    EXPECT_EQ(std::string("Break PropertyPage 900 * * * * ") + entry + " Break 0 Remind", Result());
  }
}

TEST_F(ThroughKavrel, PageAddsChangesDeletesAndOkWritesTheFile) {
  ASSERT_TRUE(fileio::WriteFileAtomic(
      kIniName, "HourlyChime=0\r\n[Reminders]\r\nweekdays 09:00 朝会\r\ndaily 25:00 壊れた行\r\n"));
  RunPage([](HWND w) {
    EXPECT_EQ((Strings{"平日 9:00 朝会", "（読めない行）daily 25:00 壊れた行"}), Listed(w));
    EXPECT_FALSE(IsWindowEnabled(Item(w, kIdChange)));
    // Selecting fills the fields; a change of text and days replaces the line in its place.
    Choose(w, kIdList, 0);
    EXPECT_EQ(L"9:00", mokuna::WindowTextW(Item(w, kIdTime)));
    Choose(w, kIdRepeat, static_cast<int>(Repeat::kChosenDays));
    EXPECT_TRUE(IsWindowEnabled(Item(w, kIdSunday)));
    EXPECT_FALSE(IsWindowEnabled(Item(w, kIdDate)));
    SendMessageW(Item(w, kIdSunday + 1), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(Item(w, kIdSunday + 3), BM_SETCHECK, BST_CHECKED, 0);
    Type(w, kIdText, "朝会 \"全員\"");
    Command(w, kIdChange, BN_CLICKED);
    // A monthly reminder, added at the end.
    Choose(w, kIdRepeat, static_cast<int>(Repeat::kMonthly));
    Type(w, kIdDate, "25");
    Type(w, kIdTime, "10:00");
    Type(w, kIdText, "家賃の振り込み");
    Command(w, kIdAdd, BN_CLICKED);
    // Fields that make no reminder are refused with a message, and nothing is added.
    Choose(w, kIdRepeat, static_cast<int>(Repeat::kDate));
    Type(w, kIdDate, "2026-12-24");
    Type(w, kIdTime, "24:00");
    PostMessageW(w, WM_COMMAND, MAKEWPARAM(kIdAdd, BN_CLICKED), reinterpret_cast<LPARAM>(Item(w, kIdAdd)));
    HWND box = testsupport::WaitForWindow(L"#32770", L"Error");
    ASSERT_TRUE(box);
    SendMessageW(box, WM_COMMAND, IDOK, 0);
    Type(w, kIdTime, "18:00");
    Type(w, kIdText, "ケーキを受け取る");
    Command(w, kIdAdd, BN_CLICKED);
    EXPECT_EQ((Strings{"月・水 9:00 朝会 \"全員\"", "（読めない行）daily 25:00 壊れた行", "毎月25日 10:00 家賃の振り込み",
                       "2026-12-24 18:00 ケーキを受け取る"}),
              Listed(w));
    Choose(w, kIdList, 2);
    Command(w, kIdDelete, BN_CLICKED);
    SendMessageW(Item(w, kIdChime), BM_SETCHECK, BST_CHECKED, 0);
    Command(w, kIdOk, BN_CLICKED);
  });
  EXPECT_EQ("Yotei PropertyPage 900 * * * * /1 Yotei 0 Tick", Result());
  const auto expected = [](std::int64_t now) {
    return "HourlyChime=1\r\nLastTick=" + FormatMinute(now) +
           "\r\n[Reminders]\r\nmon,wed 09:00 朝会 \"全員\"\r\ndaily 25:00 壊れた行\r\n2026-12-24 18:00 ケーキを受け取る\r\n";
  };
  const std::string file = File(kIniName);
  // The minute may have turned since OK.
  EXPECT_TRUE(file == expected(Ago(0)) || file == expected(Ago(1))) << file;

  // Nothing set any more: the entry goes off.
  RunPage([](HWND w) {
    for (int i = 0; i < 3; ++i) {
      Choose(w, kIdList, 0);
      Command(w, kIdDelete, BN_CLICKED);
    }
    SendMessageW(Item(w, kIdChime), BM_SETCHECK, BST_UNCHECKED, 0);
    Command(w, kIdOk, BN_CLICKED);
  });
  EXPECT_EQ("Yotei PropertyPage 900 * * * * /0 Yotei 0 Tick", Result());
  // Cancel writes nothing.
  const std::string before = File(kIniName);
  RunPage([](HWND w) {
    SendMessageW(Item(w, kIdChime), BM_SETCHECK, BST_CHECKED, 0);
    Command(w, kIdCancel, BN_CLICKED);
  });
  EXPECT_EQ("Yotei PropertyPage 000", Result());
  EXPECT_EQ(before, File(kIniName));
}

TEST_F(ThroughKavrel, ReminderMissedWhileAwayIsSaidOnceWithItsTime) {
  const mokuna::LocalTime due = AtMinute(Ago(120));
  const std::string hhmm = FormatMinute(Ago(120)).substr(11), text = "HourlyChime=0\r\nLastTick=" +
      FormatMinute(Ago(180)) + "\r\n[Reminders]\r\ndaily " + hhmm + " 朝会 です\r\n";
  ASSERT_TRUE(fileio::WriteFileAtomic(kIniName, text));
  DirectAction("Yotei 0 Tick");
  EXPECT_EQ("Yotei Tick 000 \"（" + std::to_string(due.hour) + hhmm.substr(2) + "）朝会 です\"", Result());
  const std::string written = File(kIniName);
  EXPECT_NE(std::string::npos, written.find("LastTick=" + FormatMinute(Ago(0)).substr(0, 10))) << written;
  DirectAction("Yotei 0 Tick");
  EXPECT_EQ("Yotei Tick 000", Result());
  EXPECT_EQ(written, File(kIniName));  // nothing said, nothing written
}

}  // namespace
