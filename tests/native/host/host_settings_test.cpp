#include "host_settings.h"

#include <gtest/gtest.h>

#include <functional>

#include "host_error.h"
#include "presence.h"

namespace mokuna {
namespace {

const char kDefaultFile[] =
    "MokunaImage=climon.bmp\r\nSerifuInterval=3\r\nFukidasiInterval=5\r\nEventPolling=500\r\n"
    "LocalPolling=500\r\nTop=393\r\nLeft=894\r\nMaxSpeaking=7\r\nShowCalender=0\r\nShowTime=0\r\n"
    "CalX=100\r\nCalY=100\r\n[DLLlist]\r\nKavrel\r\n";

HostSettings Read(const std::string& text) {
  HostSettings s;
  ReadHostIni(text, s);
  return s;
}

TEST(HostSettings, DefaultsWriteTheFullFile) {
  EXPECT_EQ(WriteHostIni(HostSettings{}), kDefaultFile);
  // An empty file changes nothing.
  EXPECT_EQ(WriteHostIni(Read("")), kDefaultFile);
}

TEST(HostSettings, KeyMatching) {
  // Letter case does not matter; a blank before "=" is part of the key; the first occurrence wins; the
  // value is everything after the first "=".
  HostSettings s = Read("top=10\r\nLeft =20\r\nTOP=30\nMokunaImage=a=b.bmp \rMaxSpeaking=-4");
  EXPECT_EQ(s.Top, 10);
  EXPECT_EQ(s.Left, 894);
  EXPECT_EQ(s.MokunaImage, "a=b.bmp ");
  EXPECT_EQ(s.MaxSpeaking, -4);
}

TEST(HostSettings, Booleans) {
  EXPECT_TRUE(Read("ShowCalender=1").ShowCalender);
  EXPECT_FALSE(Read("ShowCalender=2").ShowCalender);
  EXPECT_TRUE(Read("ShowTime=+1").ShowTime);
  EXPECT_FALSE(Read("ShowTime=-1").ShowTime);
  HostSettings s;
  s.ShowTime = true;
  ReadHostIni("ShowTime=0", s);
  EXPECT_FALSE(s.ShowTime);
  EXPECT_NE(WriteHostIni(Read("ShowCalender=2")).find("\r\nShowCalender=0\r\n"), std::string::npos);
}

TEST(HostSettings, BadIntegerStopsAtThatKey) {
  HostSettings s;
  std::vector<HostKey> applied;
  try {
    ReadHostIni("MokunaImage=x.bmp\r\nCalY=7\r\nTop=12\r\nShowCalender=1\r\nLeft=1 2\r\n[DLLlist]\r\nA\r\n", s,
                [&](HostKey k) { applied.push_back(k); });
    FAIL() << "no error";
  } catch (const HostError& e) {
    EXPECT_STREQ(e.what(), "'1 2' は整数ではありません");
  }
  EXPECT_EQ(applied, (std::vector<HostKey>{HostKey::MokunaImage, HostKey::Top}));
  EXPECT_EQ(s.MokunaImage, "x.bmp");
  EXPECT_EQ(s.Top, 12);
  EXPECT_FALSE(s.ShowCalender);
  EXPECT_EQ(s.CalY, 100);
  EXPECT_EQ(s.DllList, std::vector<std::string>{"Kavrel"});

  // An empty value and a boolean that is not a number are errors too.
  EXPECT_THROW(Read("SerifuInterval="), HostError);
  EXPECT_THROW(Read("ShowTime=yes"), HostError);
  EXPECT_THROW(Read("CalX=99999999999"), HostError);
}

TEST(HostSettings, ObserverSeesKeysInApplyOrder) {
  std::vector<HostKey> applied;
  HostSettings s;
  ReadHostIni("ShowTime=1\r\nCalX=5\r\nTop=1\r\nEventPolling=9\r\n[dlllist]\r\nX\r\n", s,
              [&](HostKey k) { applied.push_back(k); });
  EXPECT_EQ(applied, (std::vector<HostKey>{HostKey::EventPolling, HostKey::Top, HostKey::ShowTime, HostKey::CalX,
                                           HostKey::DllList}));
}

TEST(HostSettings, DllListSection) {
  // No section, or a section with nothing after it: the single default entry.
  EXPECT_EQ(Read("Top=1\r\n").DllList, std::vector<std::string>{"Kavrel"});
  EXPECT_EQ(Read("[DLLlist]\r\n").DllList, std::vector<std::string>{"Kavrel"});
  // The section line matches whole and without regard to case; lines after it are taken whole, blank
  // lines and key lines included, and such a key line still counts as a key.
  HostSettings s = Read("[DLLlist] \r\n[dlllist]\r\nFennick\r\n\r\nTop=5\r\n [DLLlist]\r\n");
  EXPECT_EQ(s.DllList, (std::vector<std::string>{"Fennick", "", "Top=5", " [DLLlist]"}));
  EXPECT_EQ(s.Top, 5);
  // A section replaces the list instead of adding to it.
  HostSettings t;
  t.DllList = {"Old"};
  ReadHostIni("[DLLLIST]\nNew", t);
  EXPECT_EQ(t.DllList, std::vector<std::string>{"New"});
}

// What exit writes after the read at start. After a bad value, the keys the read never reached keep the
// file's own lines byte for byte unless the program changed them. HideOnFullScreen and NotifyWhileHidden are
// on unless the file says otherwise (only exactly 1 is on), written only when off, after CalY in this order;
// Animate likewise, after them.
TEST(HostSettings, WriteAfterReadKeepsWhatTheReadNeverReached) {
  const std::string def(kDefaultFile), head = def.substr(0, def.find("Top=")), cal = def.substr(0, def.find("CalX")),
                    courtesy = def.substr(0, def.find("[DLL"));  // all before the section line
  const struct { const char* file; std::function<void(HostSettings&)> change; bool hide, notify; std::string written; }
      cases[] = {  // change: what the running program did
      {"ShowTime=x\r\ncalx= 7\r\nCALY=8\r\nCalY=9\r\n[dlllist]\r\nA\r\n", nullptr, true, true,
       cal + "calx= 7\r\nCALY=8\r\n[dlllist]\r\nA\r\n"},
      {"SerifuInterval=z\r\nTop=1\r\nLeft=2\r\n[DLLlist]\r\nA\r\n", [](HostSettings& s) { s.Top = 50; s.DllList = {"B"}; },
       true, true,
       head + "Top=50\r\nLeft=2\r\nMaxSpeaking=7\r\nShowCalender=0\r\nShowTime=0\r\nCalX=100\r\nCalY=100\r\n[DLLlist]\r\nB\r\n"},
      {"CalY=q\r\n", nullptr, true, true, def},  // nothing unreached: the usual lines
      {"NotifyWhileHidden=2\r\nhideonfullscreen=0\r\n", nullptr, false, false,
       courtesy + "HideOnFullScreen=0\r\nNotifyWhileHidden=0\r\n[DLLlist]\r\nKavrel\r\n"},
      {"HideOnFullScreen=no\r\nnotifywhilehidden=0\r\n[DLLlist]\r\nA\r\n", nullptr, true, true,
       courtesy + "notifywhilehidden=0\r\n[DLLlist]\r\nA\r\n"},
      {"animate=2\r\nNotifyWhileHidden=0\r\nAnimate=1\r\n", nullptr, true, false,
       courtesy + "NotifyWhileHidden=0\r\nAnimate=0\r\n[DLLlist]\r\nKavrel\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    HostIniFile file;
    HostSettings s;
    try {
      file.Read(c.file, s);
    } catch (const HostError&) {
    }
    if (c.change) c.change(s);
    EXPECT_EQ(s.HideOnFullScreen, c.hide);
    EXPECT_EQ(s.NotifyWhileHidden, c.notify);
    EXPECT_TRUE(file.MayWrite());
    EXPECT_EQ(file.Write(s), c.written);
  }
}

// Steps: H the user's hide, S the tray's show, a digit the shell's notification state, - no answer; shown:
// the character's visibility after each step. Busy (2), full-screen Direct3D (3) and presentation (4) step
// aside; the user's hide is never undone by the shell, and the user's show lasts until the program goes.
TEST(CharacterPresence, UserHideWinsOverTheFullScreenReturn) {
  const struct { bool courtesy; const char* steps; const char* shown; } cases[] = {
      {true, "25354551676-", "010101111111"}, {true, "H252S", "00001"}, {true, "2H5S", "0001"},
      {true, "2S3352", "011110"}, {false, "234H2S", "111001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    CharacterPresence p(c.courtesy);
    std::string shown;
    for (const char* step = c.steps; *step; ++step) {
      const bool before = p.Shown();
      if (*step == 'H') p.Hide();
      else if (*step == 'S') p.Show();
      else if (p.SetNotificationState(*step == '-' ? std::nullopt : std::optional<int>(*step - '0')))
        EXPECT_NE(before, p.Shown());
      else EXPECT_EQ(before, p.Shown());
      shown += p.Shown() ? '1' : '0';
    }
    EXPECT_EQ(shown, c.shown);
  }
  CharacterPresence p;  // asked at most once a second, also across the counter's wrap
  EXPECT_TRUE(p.PollDue(~0u));
  EXPECT_FALSE(p.PollDue(998));
  EXPECT_TRUE(p.PollDue(999));
}

TEST(HostSettings, RoundTrip) {
  HostSettings s;
  s.MokunaImage = "C:\\絵\\表示.bmp";  // a Shift-JIS name whose second bytes include '\\'
  s.SerifuInterval = 0;
  s.FukidasiInterval = -1;
  s.EventPolling = 0;
  s.LocalPolling = 2147483647;
  s.Top = -2147483647 - 1;
  s.Left = -5;
  s.MaxSpeaking = 31;
  s.ShowCalender = true;
  s.ShowTime = true;
  s.CalX = -100;
  s.CalY = 7;
  s.DllList.clear();
  for (int i = 0; i < 40; ++i) s.DllList.push_back(i == 3 ? "" : "Plugin" + std::to_string(i));
  const std::string written = WriteHostIni(s);

  HostSettings back;
  ReadHostIni(written, back);
  EXPECT_EQ(WriteHostIni(back), written);
  EXPECT_EQ(back.MokunaImage, s.MokunaImage);
  EXPECT_EQ(back.Top, s.Top);
  EXPECT_EQ(back.LocalPolling, s.LocalPolling);
  EXPECT_EQ(back.DllList, s.DllList);
  EXPECT_TRUE(back.ShowCalender && back.ShowTime);

  // Comments and unknown keys of the old file are dropped on the way through.
  HostSettings c;
  ReadHostIni("; note\r\nColour=3\r\nTop=4\r\n", c);
  const std::string out = WriteHostIni(c);
  EXPECT_EQ(out.find("note"), std::string::npos);
  EXPECT_EQ(out.find("Colour"), std::string::npos);
  EXPECT_NE(out.find("\r\nTop=4\r\n"), std::string::npos);
}

}  // namespace
}  // namespace mokuna
