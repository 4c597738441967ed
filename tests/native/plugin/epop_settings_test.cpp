#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "epop_settings.h"
#include "fakes.h"
#include "file_io.h"
#include "marking_protector.h"
#include "secret_protector.h"

namespace fennick {
namespace {

using testing::RecordingPlayer;

struct Loaded {
  EpopSettings settings;
  ModuleState state{"<old@id>", 7, {}};
  EpopLoadResult result;
};

Loaded Load(const std::string& bytes, RecordingPlayer* player = nullptr) {
  Loaded l;
  l.result = LoadEpop(bytes, l.settings, l.state, player);
  return l;
}

TEST(EpopSettings, SavesTheTenLinesInTheirOrder) {
  EpopSettings s;
  s.isCheckMail = true;
  s.isPlay = true;
  s.CheckInterval = "15";
  s.Account = "bob";
  s.Password = "a=b";
  s.POPServer = "mail.example.org";
  s.isUseAPOP = 1;
  s.FilePlaying = "C:\\sounds\\ding.wav";
  const ModuleState state{"<42@example.org>", 3, {}};
  EXPECT_EQ(SaveEpop(s, state),
            "isCheckMail=1\r\nisPlay=1\r\nCheckInterval=15\r\nAccount=bob\r\nPassword=\r\n"
            "POPServer=mail.example.org\r\nisUseAPOP=1\r\nFilePlaying=C:\\sounds\\ding.wav\r\n"
            "LastMessageID=<42@example.org>\r\nLastMailNum=3\r\n");

  const Loaded back = Load(SaveEpop(s, state));
  ASSERT_TRUE(back.result.ok());
  EXPECT_EQ(SaveEpop(back.settings, back.state), SaveEpop(s, state));
}

TEST(EpopSettings, MissingKeysKeepInitialStatesAndModuleState) {
  const Loaded l = Load("unrelated line\r\nFoo=bar\r\n");
  EXPECT_TRUE(l.result.ok());
  EXPECT_EQ(SaveEpop(l.settings, l.state),
            "isCheckMail=1\r\nisPlay=0\r\nCheckInterval=0\r\nAccount=\r\nPassword=\r\nPOPServer=127.0.0.1\r\n"
            "isUseAPOP=0\r\nFilePlaying=\r\nLastMessageID=<old@id>\r\nLastMailNum=7\r\n");
}

TEST(EpopSettings, MissingFileIsNotAnError) {
  EpopSettings s;
  ModuleState state{"<keep@me>", 2, {}};
  const EpopLoadResult r = LoadEpopFile("/nonexistent/popcore/epop.ini", s, state, nullptr);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(s.isCheckMail);
  EXPECT_EQ(state.LastMessageID, "<keep@me>");
  EXPECT_EQ(state.LastMailNum, 2);
}

TEST(EpopSettings, KeysIgnoreCaseButNotBlanksAndFirstOneWins) {
  const Loaded l = Load("ISCHECKMAIL=0\nacCOUNT=first\nAccount=second\rPassword =nope\r\nlastmailnum=-4\r\n");
  EXPECT_FALSE(l.settings.isCheckMail);
  EXPECT_EQ(l.settings.Account, "first");
  EXPECT_EQ(l.settings.Password, "");
  EXPECT_EQ(l.state.LastMailNum, -4);
}

TEST(EpopSettings, WholeNumberRules) {
  EXPECT_FALSE(Load("isCheckMail=2").settings.isCheckMail);
  EXPECT_TRUE(Load("isCheckMail=+1").settings.isCheckMail);
  EXPECT_FALSE(Load("isPlay=-1").settings.isPlay);
  EXPECT_NE(SaveEpop(Load("isCheckMail=2").settings, {}).find("isCheckMail=0\r\n"), std::string::npos);

  const Loaded five = Load("isUseAPOP=5");
  EXPECT_TRUE(five.settings.UsesApop());
  EXPECT_NE(SaveEpop(five.settings, {}).find("isUseAPOP=1\r\n"), std::string::npos);
  const Loaded minus = Load("isUseAPOP=-3");
  EXPECT_FALSE(minus.settings.UsesApop());
  EXPECT_NE(SaveEpop(minus.settings, {}).find("isUseAPOP=-1\r\n"), std::string::npos);

  EXPECT_EQ(Load("LastMailNum=2147483647").state.LastMailNum, 2147483647);
  EXPECT_EQ(Load("LastMailNum=-2147483648").state.LastMailNum, -2147483647 - 1);
  EXPECT_FALSE(Load("LastMailNum=2147483648").result.ok());
  // Interval and texts are kept as typed.
  EXPECT_EQ(Load("CheckInterval= 15x").settings.CheckInterval, " 15x");
}

TEST(EpopSettings, BadNumberStopsLoadingWhereItStands) {
  const Loaded l = Load(
      "isCheckMail=0\r\nAccount=bob\r\nisUseAPOP=yes\r\nisPlay=1\r\nFilePlaying=x.wav\r\n"
      "LastMessageID=<new@id>\r\nLastMailNum=9\r\n");
  EXPECT_EQ(l.result.error, EpopLoadResult::Error::BadNumber);
  EXPECT_EQ(l.result.key, "isUseAPOP");
  EXPECT_EQ(l.result.message, "'yes' は整数ではありません");
  EXPECT_FALSE(l.result.SettingsComplete());
  EXPECT_FALSE(l.settings.isCheckMail);  // applied before the error
  EXPECT_EQ(l.settings.Account, "bob");
  EXPECT_EQ(l.settings.isUseAPOP, 0);  // not applied after it
  EXPECT_FALSE(l.settings.isPlay);
  EXPECT_EQ(l.settings.FilePlaying, "");
  EXPECT_EQ(l.state.LastMessageID, "<old@id>");
  EXPECT_EQ(l.state.LastMailNum, 7);

  const Loaded last = Load("LastMessageID=<new@id>\r\nLastMailNum=\r\n");
  EXPECT_EQ(last.result.key, "LastMailNum");
  EXPECT_TRUE(last.result.SettingsComplete());
  EXPECT_EQ(last.state.LastMessageID, "<new@id>");
  EXPECT_EQ(last.state.LastMailNum, 7);
}

TEST(EpopSettings, SecurityAndPortKeys) {
  const std::string ten = SaveEpop(EpopSettings{}, {});
  struct Row {
    const char* file;
    int security;
    const char* port;
    const char* written_after_ten;  // what SaveEpop appends to the ten lines
  };
  const Row rows[] = {
      {"", 0, "", ""},  // a file that never had them is written back with its ten lines only
      {"POPSecurity=1\r\n", 1, "", "POPSecurity=1\r\n"},
      {"popsecurity=+2\r\n", 2, "", "POPSecurity=2\r\n"},
      {"POPSecurity=0\r\nPOPPort=\r\n", 0, "", ""},
      {"POPSecurity=0\r\nPOPPort=2110\r\n", 0, "2110", "POPPort=2110\r\n"},
      {"POPPort= 995x\r\nPOPSecurity=1\r\n", 1, " 995x", "POPSecurity=1\r\nPOPPort= 995x\r\n"},  // as typed
  };
  for (const Row& row : rows) {
    const Loaded l = Load(row.file);
    EXPECT_TRUE(l.result.ok()) << row.file;
    EXPECT_EQ(l.settings.POPSecurity, row.security) << row.file;
    EXPECT_EQ(l.settings.POPPort, row.port) << row.file;
    const std::string saved = SaveEpop(l.settings, {});
    EXPECT_EQ(saved, ten + row.written_after_ten) << row.file;
    const Loaded back = Load(saved);
    EXPECT_EQ(back.settings.POPSecurity, row.security) << row.file;
    EXPECT_EQ(back.settings.POPPort, row.port) << row.file;
  }
}

TEST(EpopSettings, MailProtocolAndTheImapState) {
  using E = EpopLoadResult::Error;
  const std::string imap_tail = "MailProtocol=1\r\nIMAPUIDValidity=4294967295\r\nIMAPUIDNext=12\r\nIMAPUnseen=3\r\n";
  const struct { std::string file; E error; std::string written_after_ten; } rows[] = {
      {"MailProtocol=0\r\nIMAPUnseen=4\r\n", E::None, ""},
      {imap_tail, E::None, imap_tail},  // the IMAP state comes back as it was written
      {"POPSecurity=1\r\nMailProtocol=1\r\n", E::None,
       "POPSecurity=1\r\nMailProtocol=1\r\nIMAPUIDValidity=0\r\nIMAPUIDNext=0\r\nIMAPUnseen=0\r\n"},
      {"MailProtocol=2\r\nAccount=bob\r\n", E::UnknownProtocol, ""},
      {"MailProtocol=1\r\nIMAPUIDValidity=4294967296\r\n", E::BadNumber, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const Loaded l = Load(row.file);
    EXPECT_EQ(l.result.error, row.error);
    // An unknown protocol stops the read and keeps the check from every server; a bad IMAP number costs the state.
    EXPECT_EQ(l.result.MayConnect(), row.error != E::UnknownProtocol);
    EXPECT_EQ(l.result.SettingsComplete(), row.error != E::UnknownProtocol);
    EXPECT_EQ(l.settings.Account, "");
    if (row.error == E::None) {
      EXPECT_EQ(SaveEpop(l.settings, l.state), SaveEpop({}, l.state) + row.written_after_ten);
    }
  }
}

// A security that names none of the three is reported and never taken for "none": nothing connects with it,
// and it is written back as SSL/TLS. The other settings are read, so the window shows them.
TEST(EpopSettings, UnknownSecurityIsReportedAndNeverMeansPlainText) {
  const Loaded l = Load("POPSecurity=3\r\nPOPPort=\r\nAccount=bob\r\nPassword=secret\r\nLastMailNum=9\r\n");
  EXPECT_EQ(l.result.key, "POPSecurity");
  EXPECT_EQ(l.result.message, "'3' は 0, 1, 2 のどれでもありません");
  EXPECT_EQ(ResolvePort(l.settings), std::nullopt);
  EXPECT_EQ(ShownSecurity(l.settings.POPSecurity), kSecuritySslTls);
  EXPECT_EQ(l.settings.Password, "secret");
  EXPECT_EQ(l.state.LastMailNum, 9);
  EXPECT_NE(SaveEpop(l.settings, l.state).find("POPSecurity=1\r\n"), std::string::npos);
  // a bad number further on stops the loading, and both are told
  EXPECT_EQ(Load("POPSecurity=3\r\nisPlay=on\r\n").result.message,
            "'3' は 0, 1, 2 のどれでもありません\r\n'on' は整数ではありません");
}

TEST(EpopSettings, BadSecurityNumberStopsBeforeAnyOtherSetting) {
  const Loaded bad = Load("Account=bob\r\nPassword=secret\r\nPOPSecurity=tls\r\nPOPPort=995\r\nLastMailNum=9\r\n");
  EXPECT_EQ(bad.result.key, "POPSecurity");
  EXPECT_EQ(bad.result.message, "'tls' は整数ではありません");
  EXPECT_FALSE(bad.result.SettingsComplete());
  EXPECT_EQ(bad.settings.POPPort, "");
  EXPECT_EQ(bad.settings.Password, "");  // the password never comes without the security asked for
  EXPECT_EQ(bad.state.LastMailNum, 7);

  // A bad number further on leaves the security applied.
  const Loaded later = Load("POPSecurity=2\r\nPOPPort=1110\r\nPassword=secret\r\nisUseAPOP=x\r\n");
  EXPECT_EQ(later.result.key, "isUseAPOP");
  EXPECT_EQ(later.settings.POPSecurity, 2);
  EXPECT_EQ(later.settings.POPPort, "1110");
}

TEST(EpopSettings, PortResolution) {
  struct Row {
    int security;
    const char* text;
    int port;  // 0: no port
  };
  const Row rows[] = {
      {0, "", 110},     {1, "", 995},        {2, "", 110},      {1, "110", 110},  {0, "995", 995},
      {2, "65535", 65535}, {0, "1", 1},      {0, "00995", 995}, {0, "0", 0},      {0, "65536", 0},
      {0, "99999999999", 0}, {0, " 995", 0}, {0, "995 ", 0},    {0, "+995", 0},   {0, "-1", 0},
      {0, "9a", 0},     {0, "\x82\x4f", 0},
  };
  for (const Row& row : rows) {
    EpopSettings s;
    s.POPSecurity = row.security;
    s.POPPort = row.text;
    EXPECT_EQ(ResolvePort(s).value_or(0), row.port) << row.security << " '" << row.text << "'";
  }
}

TEST(EpopSettings, SoundIsOpenedOnlyWhenOnAndTheFileExists) {
  const std::string file = "isPlay=1\r\nFilePlaying=ding.wav\r\nLastMailNum=1\r\n";
  RecordingPlayer missing;
  EXPECT_TRUE(Load(file, &missing).result.ok());
  EXPECT_TRUE(missing.opened_.empty());

  RecordingPlayer off;
  off.existing_ = {"ding.wav"};
  Load("isPlay=0\r\nFilePlaying=ding.wav\r\n", &off);
  EXPECT_TRUE(off.opened_.empty());

  RecordingPlayer present;
  present.existing_ = {"ding.wav"};
  const Loaded l = Load(file, &present);
  EXPECT_TRUE(l.result.ok());
  EXPECT_TRUE(present.IsOpen());
  EXPECT_EQ(l.state.LastMailNum, 1);
}

TEST(EpopSettings, SoundDeviceErrorStopsBeforeTheModuleState) {
  RecordingPlayer broken;
  broken.existing_ = {"ding.wav"};
  broken.open_error_ = "device says no";
  const Loaded l = Load("isPlay=1\r\nFilePlaying=ding.wav\r\nLastMessageID=<x@y>\r\nLastMailNum=1\r\n", &broken);
  EXPECT_EQ(l.result.error, EpopLoadResult::Error::SoundDevice);
  EXPECT_EQ(l.result.message, "device says no");
  EXPECT_TRUE(l.result.SettingsComplete());
  EXPECT_EQ(l.settings.FilePlaying, "ding.wav");
  EXPECT_EQ(l.state.LastMessageID, "<old@id>");
  EXPECT_EQ(l.state.LastMailNum, 7);
}

TEST(EpopSettings, WriteReplacesTheFileAndReportsFailure) {
  const auto dir = std::filesystem::temp_directory_path() / "popcore_epop_write";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "epop.ini").string();
  ASSERT_TRUE(fileio::WriteFileAtomic(path, "isCheckMail=0\r\nstale line\r\n"));
  EpopSettings s;
  s.Account = "bob";
  ASSERT_TRUE(WriteEpopFile(path, s, ModuleState{"<a@b>", 2, {}}));
  std::string bytes;
  ASSERT_TRUE(fileio::ReadFile(path, bytes));
  EXPECT_EQ(bytes, SaveEpop(s, ModuleState{"<a@b>", 2, {}}));
  std::filesystem::remove_all(dir);

  std::string error;
  EXPECT_FALSE(WriteEpopFile("/nonexistent/popcore/epop.ini", s, {}, &error));
  EXPECT_FALSE(error.empty());
}

// Rows: the file, whether its password opens, the password then, the lines a save adds after the ten.
TEST(EpopSettings, PasswordIsKeptOnlyProtected) {
  const std::string a_b = "PasswordProtected=" + Base64Encode("M:a=b") + "\r\n";
  const std::tuple<std::string, bool, const char*, std::string> rows[] = {
      {"Password=a=b\r\n", true, "a=b", a_b},                   // plain, as files had it
      {"Password=\r\n" + a_b, true, "a=b", a_b},                 // protected
      {"Password=new\r\n" + a_b, true, "new", "PasswordProtected=" + Base64Encode("M:new") + "\r\n"},  // typed
      {"PasswordProtected=" + Base64Encode("X:a=b") + "\r\n", false, "", ""},  // made elsewhere
      {"PasswordProtected=M:a=b\r\n", false, "", ""},          // not base64
      {"AnnounceSender=1\r\n", true, "", "AnnounceSender=1\r\n"},
      {"AnnounceSender=yes\r\n", true, "", ""},
  };
  const testing::MarkingProtector protector;
  for (const auto& [file, opens, password, written] : rows) {
    Loaded l = Load(file);
    EXPECT_EQ(OpenPassword(l.settings, protector), opens) << file;
    EXPECT_EQ(l.settings.Password, password) << file;
    ASSERT_TRUE(ProtectPassword(l.settings, protector));
    EXPECT_EQ(SaveEpop(l.settings, l.state), SaveEpop({}, l.state) + written) << file;
  }
}

// After a load error a write keeps the lines of keys never reached (unless changed) and of unknown keys;
// after a load without error it writes exactly what SaveEpop writes.
TEST(EpopFile, WriteAfterALoadErrorKeepsWhatTheLoadNeverTook) {
  const std::string head = "isCheckMail=1\r\nisPlay=0\r\nCheckInterval=0\r\n";
  const std::string tail = "isUseAPOP=0\r\nFilePlaying=\r\nLastMessageID=\r\nLastMailNum=0\r\n";
  const std::string reached = "MailProtocol=2\r\nAccount=bob\r\nPassword=pw\r\nPOPServer=mail.example.org\r\nNote=x\r\n";
  const struct { std::string file; void (*edit)(EpopSettings&); std::string saved; } rows[] = {
      {reached, [](EpopSettings&) {},
       head + "Account=bob\r\nPassword=\r\nPOPServer=mail.example.org\r\n" + tail + "Note=x\r\n"},
      {reached, [](EpopSettings& s) { s.Account = "alice"; },
       head + "Account=alice\r\nPassword=\r\nPOPServer=mail.example.org\r\n" + tail + "Note=x\r\n"},
      {"isUseAPOP=x\r\nisPlay=1\r\nFilePlaying=a.wav\r\nlastmailnum=4\r\nPassword =p\r\n", [](EpopSettings&) {},
       "isCheckMail=1\r\nisPlay=1\r\nCheckInterval=0\r\nAccount=\r\nPassword=\r\nPOPServer=127.0.0.1\r\n"
       "isUseAPOP=0\r\nFilePlaying=a.wav\r\nLastMessageID=\r\nlastmailnum=4\r\nPassword =p\r\n"},
      {"POPSecurity=3\r\nAccount=me\r\nNote=x\r\n", [](EpopSettings&) {},
       head + "Account=me\r\nPassword=\r\nPOPServer=127.0.0.1\r\n" + tail + "POPSecurity=1\r\nNote=x\r\n"},
      {"Account=bob\r\nNote=x\r\n", [](EpopSettings&) {},
       head + "Account=bob\r\nPassword=\r\nPOPServer=127.0.0.1\r\n" + tail},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    EpopFile file;
    EpopSettings settings;
    ModuleState state;
    file.Load(row.file, settings, state, nullptr);
    row.edit(settings);
    EXPECT_EQ(file.Save(settings, state), row.saved);
  }
}

// The plain password a load error left unread is kept protected, unless one was typed since.
TEST(EpopFile, UnreadPlainPasswordIsKeptProtected) {
  const testing::MarkingProtector protector;
  for (const char* typed : {"", "new"}) {
    EpopFile file;
    EpopSettings settings;
    ModuleState state;
    file.Load("MailProtocol=2\r\nPassword=p=w\r\n", settings, state, nullptr);
    settings.Password = typed;
    file.KeepUnreadPassword(settings);
    ASSERT_TRUE(ProtectPassword(settings, protector));
    EXPECT_EQ(settings.PasswordProtected, Base64Encode(std::string("M:") + (*typed ? typed : "p=w"))) << typed;
  }
}

}  // namespace
}  // namespace fennick
