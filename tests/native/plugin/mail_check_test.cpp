#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "Md5unit.h"
#include "clock.h"
#include "epop_settings.h"
#include "fakes.h"
#include "file_io.h"
#include "imap_check.h"
#include "mail_check.h"
#include "marking_protector.h"
#include "message_id_reader.h"

namespace fennick {
namespace {

using testing::RecordingPlayer;
using testing::ScriptedTransport;
using Strings = std::vector<std::string>;

const std::string kGreeting = "+OK Dovecot ready.\r\n";
const std::string kApopGreeting = "+OK POP3 server ready <1896.697170952@dbc.mit.edu>\r\n";

// A literal with zero bytes in it, whole.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string NewMail(const std::string& count) {
  return std::string(results::kNewMailHead) + count + results::kNewMailTail;
}

std::string Message(const std::string& id) {
  return "+OK 120 octets\r\nReturn-Path: <a@b>\r\nMessage-ID: " + id + "\r\nSubject: hi\r\n\r\nbody > text\r\n.\r\n";
}

struct Check {
  Check() {
    settings.Account = "bob";
    settings.Password = "secret";
  }
  // The server up to the login reply, for USER/PASS.
  ScriptedTransport& LoggedIn(const std::string& login_reply) {
    return server.Reply(kGreeting).Reply("+OK\r\n").Reply(login_reply);
  }
  ConversationOutcome Run() { return RunPop3Conversation(settings, state, server, &player, timeouts, &clock); }

  EpopSettings settings;
  ModuleState state;
  ScriptedTransport server;
  RecordingPlayer player;
  MailWaits timeouts;
  mokuna::FakeClock clock{mokuna::LocalTime{}};
};

#ifndef MOKUNA_UTF8_LITERALS
TEST(MailCheckResults, JapaneseTextsAreShiftJisBytes) {
  // メールが / ．
  EXPECT_EQ(std::string(results::kNewMailHead).substr(22), "\x83\x81\x81\x5B\x83\x8B\x82\xAA");
  const std::string bad_user = results::kBadUser;
  EXPECT_EQ(bad_user.substr(bad_user.size() - 2), "\x81\x44");
}
#endif

TEST(MailCheck, UserPassDialogueSendsExactBytesAndUpdatesState) {
  Check c;
  c.LoggedIn("+OK bob has 2 messages (320 octets)\r\n").Reply(Message("<Abc.123@Example.org>")).Reply("+OK bye\r\n");
  const ConversationOutcome out = c.Run();
  EXPECT_TRUE(out.success);
  EXPECT_EQ(out.result, NewMail("2"));
  EXPECT_EQ(c.server.sent_, (Strings{"USER bob\r\n", "PASS secret\r\n", "RETR 2\r\n", "QUIT\r\n"}));
  EXPECT_EQ(c.server.host_, "127.0.0.1");
  EXPECT_EQ(c.server.port_, 110);
  EXPECT_EQ(c.server.closes_, 1);
  EXPECT_EQ(c.state.LastMessageID, "<abc.123@example.org>");
  EXPECT_EQ(c.state.LastMailNum, 2);
  EXPECT_EQ(c.server.read_maxima_, (std::vector<std::size_t>{4095, 4095, 4095, 4095, 255}));
  for (int ms : c.server.wait_timeouts_) EXPECT_EQ(ms, 10000);
  for (int ms : c.server.read_timeouts_) EXPECT_EQ(ms, 10000);
}

TEST(MailCheck, ApopSendsTheDigestOfTimestampAndPassword) {
  Check c;
  c.settings.isUseAPOP = 1;
  c.settings.Account = "mrose";
  c.settings.Password = "tanstaafl";
  c.server.Reply(kApopGreeting).Reply("+OK mrose has 0 messages\r\n").Reply("+OK\r\n");
  const ConversationOutcome out = c.Run();
  EXPECT_EQ(out.result, results::kNoNewMail);
  EXPECT_EQ(c.server.sent_, (Strings{"APOP mrose f7b573d16487ce5291f853cdef863ef5\r\n", "QUIT\r\n"}));

  // Timestamps made of base64 characters are well formed.
  Check b;
  b.settings.isUseAPOP = 1;
  b.server.Reply("+OK ready <Zm9v+YmFy/YmF6==@host.example>\r\n").Reply("+OK bob has 0\r\n").Reply("+OK\r\n");
  EXPECT_TRUE(b.Run().success);
  EXPECT_EQ(b.server.sent_[0], "APOP bob " + Md5Hex("<Zm9v+YmFy/YmF6==@host.example>secret") + "\r\n");
}

TEST(MailCheck, ApopWithoutAProperTimestampSendsNothing) {
  const Strings greetings = {
      "+OK ready\r\n",
      "+OK ready <1896.697170952@dbc.mit.edu> now\r\n",  // not the last token
      "+OK <no-at-sign>\r\n",
      "+OK <two@at@signs>\r\n",
      "+OK <missing@close\r\n",
      "+OK <>\r\n",
      "+OK <ctl\x7F@x>\r\n",
      "+OK <\x82\xA0@x>\r\n",
      "\r\n",
      Bytes("+OK\0<a@b>\r\n"),  // the reply's text ends at the zero byte
  };
  for (const std::string& greeting : greetings) {
    Check c;
    c.settings.isUseAPOP = 1;
    c.server.Reply(greeting).Reply("+OK bob has 0\r\n").Reply("+OK\r\n");
    const ConversationOutcome out = c.Run();
    EXPECT_EQ(out.result, results::kUnexpectedReply) << greeting;
    EXPECT_FALSE(out.success);
    EXPECT_TRUE(c.server.sent_.empty()) << greeting;
    EXPECT_EQ(c.server.closes_, 1);
  }
}

// The sender box reads the newest header with TOP (RETR where there is none); a header cut short names what
// it holds. Rows: replies after login ("": nothing read), commands after PASS, LastMailNum, tokens said.
TEST(MailCheck, SenderBoxReadsTheNewestHeaderWithTopAndNamesIt) {
  const std::string id = "+OK\r\nMessage-ID: <n@x>\r\n", rest = "From: =?UTF-8?B?5bGx55Sw?= <y@x>\r\nSubject: hi\r\n\r\n.\r\n";
  const std::tuple<Strings, Strings, int, std::string> rows[] = {
      {{id, rest, "+OK bye\r\n"}, {"TOP 4 0\r\n", "QUIT\r\n"}, 1, " 山田さんから 「hi」 ほかに2通あります．"},
      {{"-ERR no\r\n", Message("<n@x>"), "+OK\r\n"}, {"TOP 4 0\r\n", "RETR 4\r\n", "QUIT\r\n"}, 4,
       " （差出人不明）さんから 「hi」"},
      {{id, "", "+OK\r\n"}, {"TOP 4 0\r\n", "QUIT\r\n"}, 4, " （差出人不明）さんから 「（件名なし）」"},
  };
  for (const auto& [replies, sent, last_count, tokens] : rows) {
    Check c;
    c.settings.AnnounceSender = true;
    c.state.LastMailNum = last_count;
    ScriptedTransport& server = c.LoggedIn("+OK bob has 4\r\n");
    for (const std::string& r : replies) r.empty() ? server.Closed() : server.Reply(r);
    EXPECT_EQ(c.Run().result, NewMail("4") + tokens);
    EXPECT_EQ(Strings(c.server.sent_.begin() + 2, c.server.sent_.end()), sent);
    EXPECT_EQ(c.state.LastMessageID, "<n@x>");
  }
}

struct FailureRow {
  const char* name;
  void (*script)(Check&);
  std::string result;
  bool quit_sent;
};

TEST(MailCheck, EveryFailureEndsWithItsResultAndClosesWithoutQuit) {
  const std::vector<FailureRow> rows = {
      {"connect refused", [](Check& c) { c.server.connect_ok_ = false; }, results::kCannotConnect, false},
      {"silent after connect", [](Check& c) { c.server.Silence(); }, results::kCannotConnect, false},
      {"greeting closed", [](Check& c) { c.server.Closed(); }, results::kReceiveFailed, false},
      {"greeting wait error", [](Check& c) { c.server.WaitError(); }, results::kCannotConnect, false},
      {"greeting read error", [](Check& c) { c.server.ReadError(); }, results::kCannotConnect, false},
      {"USER silent", [](Check& c) { c.server.Reply(kGreeting).Silence(); }, results::kCannotConnect, false},
      {"USER closed", [](Check& c) { c.server.Reply(kGreeting).Closed(); }, results::kReceiveFailed, false},
      {"USER rejected", [](Check& c) { c.server.Reply(kGreeting).Reply("-ERR unknown\r\n"); }, results::kBadUser,
       false},
      {"USER +ok lower case", [](Check& c) { c.server.Reply(kGreeting).Reply("+ok\r\n"); }, results::kBadUser, false},
      {"USER reply blank", [](Check& c) { c.server.Reply(kGreeting).Reply(" \r\n"); }, results::kUnexpectedReply,
       false},
      {"USER send fails", [](Check& c) { c.server.fail_send_ = 1, c.server.Reply(kGreeting); },
       results::kCannotConnect, false},
      {"PASS silent", [](Check& c) { c.server.Reply(kGreeting).Reply("+OK\r\n").Silence(); }, results::kCannotConnect,
       false},
      {"PASS closed", [](Check& c) { c.server.Reply(kGreeting).Reply("+OK\r\n").Closed(); }, results::kReceiveFailed,
       false},
      {"PASS rejected", [](Check& c) { c.LoggedIn("-ERR [AUTH] Authentication failed.\r\n"); },
       results::kBadPassword, false},
      {"login reply blank", [](Check& c) { c.LoggedIn("\r\n"); }, results::kUnexpectedReply, false},
      {"APOP closed",
       [](Check& c) {
         c.settings.isUseAPOP = 1;
         c.server.Reply(kApopGreeting).Closed();
       },
       results::kReceiveFailed, false},
      {"APOP rejected",
       [](Check& c) {
         c.settings.isUseAPOP = 1;
         c.server.Reply(kApopGreeting).Reply("-ERR denied\r\n");
       },
       results::kBadPassword, false},
      {"STAT without count", [](Check& c) { c.LoggedIn("+OK Logged in.\r\n").Reply("+OK\r\n"); },
       results::kUnexpectedReply, false},
      {"STAT error", [](Check& c) { c.LoggedIn("+OK Logged in.\r\n").Reply("-ERR later\r\n"); },
       results::kUnexpectedReply, false},
      {"STAT count not a number", [](Check& c) { c.LoggedIn("+OK Logged in.\r\n").Reply("+OK two 300\r\n"); },
       results::kUnexpectedReply, false},
      {"STAT closed", [](Check& c) { c.LoggedIn("+OK Logged in.\r\n").Closed(); }, results::kReceiveFailed, false},
      {"RETR silent", [](Check& c) { c.LoggedIn("+OK bob has 1\r\n").Silence(); }, results::kCannotConnect, false},
      {"RETR ends before identifier",
       [](Check& c) { c.LoggedIn("+OK bob has 1\r\n").Reply("+OK\r\nSubject: x\r\n").Closed(); },
       results::kSendingFailure, false},
      {"RETR error status", [](Check& c) { c.LoggedIn("+OK bob has 1\r\n").Reply("-ERR no such message\r\n"); },
       results::kSendingFailure, false},
      {"RETR read error", [](Check& c) { c.LoggedIn("+OK bob has 1\r\n").ReadError(); }, results::kCannotConnect,
       false},
      {"QUIT silent", [](Check& c) { c.LoggedIn("+OK bob has 1\r\n").Reply(Message("<a@b>")).Silence(); },
       results::kCannotConnect, true},
      {"QUIT closed", [](Check& c) { c.LoggedIn("+OK bob has 1\r\n").Reply(Message("<a@b>")).Closed(); },
       results::kQuitReceiveFailed, true},
      {"QUIT send fails",
       [](Check& c) {
         c.server.fail_send_ = 4;
         c.LoggedIn("+OK bob has 1\r\n").Reply(Message("<a@b>")).Reply("+OK\r\n");
       },
       results::kCannotConnect, true},
  };
  for (const FailureRow& row : rows) {
    Check c;
    row.script(c);
    const ConversationOutcome out = c.Run();
    EXPECT_EQ(out.result, row.result) << row.name;
    EXPECT_FALSE(out.success) << row.name;
    EXPECT_EQ(c.server.closes_, 1) << row.name;
    const bool quit = !c.server.sent_.empty() && c.server.sent_.back() == "QUIT\r\n";
    EXPECT_EQ(quit, row.quit_sent) << row.name;
  }
}

struct SecuredRow {
  const char* name;
  int security;
  bool apop;
  Strings replies;  // the server's, in order, after connecting
  Strings sent;
  int port;
  std::size_t sent_before_handshake;
};

TEST(MailCheck, SecuredConversationsSendCredentialsOnlyAfterTheHandshake) {
  const std::string apop_digest = "APOP mrose f7b573d16487ce5291f853cdef863ef5\r\n";
  const std::vector<SecuredRow> rows = {
      {"SSL/TLS, USER/PASS", kSecuritySslTls, false, {kGreeting, "+OK\r\n", "+OK mrose has 0\r\n", "+OK\r\n"},
       {"USER mrose\r\n", "PASS tanstaafl\r\n", "QUIT\r\n"}, 995, 0},
      {"SSL/TLS, APOP", kSecuritySslTls, true, {kApopGreeting, "+OK mrose has 0\r\n", "+OK\r\n"},
       {apop_digest, "QUIT\r\n"}, 995, 0},
      {"STARTTLS, USER/PASS", kSecurityStartTls, false,
       {kGreeting, "+OK Begin TLS negotiation now.\r\n", "+OK\r\n", "+OK mrose has 0\r\n", "+OK\r\n"},
       {"STLS\r\n", "USER mrose\r\n", "PASS tanstaafl\r\n", "QUIT\r\n"}, 110, 1},
      // APOP digests the timestamp of the greeting read before STLS.
      {"STARTTLS, APOP", kSecurityStartTls, true,
       {kApopGreeting, "+OK Begin TLS negotiation now.\r\n", "+OK mrose has 0\r\n", "+OK\r\n"},
       {"STLS\r\n", apop_digest, "QUIT\r\n"}, 110, 1},
  };
  for (const SecuredRow& row : rows) {
    Check c;
    c.settings.POPSecurity = row.security;
    c.settings.isUseAPOP = row.apop ? 1 : 0;
    c.settings.Account = "mrose";
    c.settings.Password = "tanstaafl";
    c.settings.POPServer = "mail.example.org";
    c.timeouts.wait_ms = 7000;
    for (const std::string& reply : row.replies) c.server.Reply(reply);
    const ConversationOutcome out = c.Run();
    EXPECT_TRUE(out.success) << row.name;
    EXPECT_EQ(out.result, results::kNoNewMail) << row.name;
    EXPECT_EQ(c.server.sent_, row.sent) << row.name;
    EXPECT_EQ(c.server.port_, row.port) << row.name;
    ASSERT_EQ(c.server.tls_.size(), 1u) << row.name;
    EXPECT_EQ(c.server.tls_[0].server_name, "mail.example.org") << row.name;
    EXPECT_EQ(c.server.tls_[0].timeout_ms, 7000) << row.name;
    EXPECT_EQ(c.server.tls_[0].sent_before, row.sent_before_handshake) << row.name;
  }
}

struct RefusalRow {
  const char* name;
  int security;
  MailTransport::TlsResult verdict;
  Strings replies;  // "" for silence
  std::string result;
  Strings sent;  // all that is ever sent
};

TEST(MailCheck, RefusedSecurityEndsTheCheckWithoutCredentials) {
  using V = MailTransport::TlsResult;
  const Strings greeted = {kGreeting, "+OK Begin TLS\r\n"};
  const Strings stls = {"STLS\r\n"};
  const std::vector<RefusalRow> rows = {
      {"SSL/TLS, name", kSecuritySslTls, V::NameMismatch, {kGreeting}, results::kTlsNameMismatch, {}},
      {"SSL/TLS, trust", kSecuritySslTls, V::Untrusted, {kGreeting}, results::kTlsUntrusted, {}},
      {"SSL/TLS, handshake", kSecuritySslTls, V::HandshakeFailed, {kGreeting}, results::kSecureConnectionFailed, {}},
      {"STARTTLS, name", kSecurityStartTls, V::NameMismatch, greeted, results::kTlsNameMismatch, stls},
      {"STARTTLS, trust", kSecurityStartTls, V::Untrusted, greeted, results::kTlsUntrusted, stls},
      {"STARTTLS, handshake", kSecurityStartTls, V::HandshakeFailed, greeted, results::kSecureConnectionFailed, stls},
      {"STLS refused", kSecurityStartTls, V::Ok, {kGreeting, "-ERR Unknown command\r\n"}, results::kStlsRefused, stls},
      {"STLS +ok lower case", kSecurityStartTls, V::Ok, {kGreeting, "+ok\r\n"}, results::kStlsRefused, stls},
      {"STLS blank reply", kSecurityStartTls, V::Ok, {kGreeting, " \r\n"}, results::kStlsRefused, stls},
      {"STLS unanswered", kSecurityStartTls, V::Ok, {kGreeting, ""}, results::kCannotConnect, stls},
  };
  for (const RefusalRow& row : rows) {
    for (bool apop : {false, true}) {
      Check c;
      c.settings.POPSecurity = row.security;
      c.settings.isUseAPOP = apop ? 1 : 0;
      c.server.tls_result_ = row.verdict;
      for (const std::string& reply : row.replies) {
        if (reply.empty())
          c.server.Silence();
        else
          c.server.Reply(apop && reply == kGreeting ? kApopGreeting : reply);
      }
      c.server.Reply("+OK bob has 0\r\n").Reply("+OK\r\n");  // what a careless client would go on to read
      const ConversationOutcome out = c.Run();
      EXPECT_EQ(out.result, row.result) << row.name;
      EXPECT_FALSE(out.success) << row.name;
      EXPECT_EQ(c.server.sent_, row.sent) << row.name;
      EXPECT_EQ(c.server.closes_, 1) << row.name;
    }
  }
}

TEST(MailCheck, ConnectsToTheResolvedPortAndNotAtAllToNoPort) {
  const std::vector<std::tuple<int, std::string, int>> rows = {
      {kSecurityNone, "", 110}, {kSecuritySslTls, "", 995}, {kSecurityStartTls, "", 110},
      {kSecurityNone, "2110", 2110}, {kSecuritySslTls, "70000", 0}, {kSecurityNone, "pop3", 0},
  };
  for (const auto& [security, text, port] : rows) {
    Check c;
    c.settings.POPSecurity = security;
    c.settings.POPPort = text;
    c.server.Reply(kGreeting);
    if (security == kSecurityStartTls) c.server.Reply("+OK\r\n");
    c.server.Reply("+OK\r\n").Reply("+OK bob has 0\r\n").Reply("+OK\r\n");
    const ConversationOutcome out = c.Run();
    EXPECT_EQ(c.server.connects_, port ? 1 : 0) << text;
    EXPECT_EQ(c.server.closes_, 1) << text;
    if (port) {
      EXPECT_TRUE(out.success) << text;
      EXPECT_EQ(c.server.port_, port) << text;
    } else {
      EXPECT_EQ(out.result, results::kCannotConnect) << text;
      EXPECT_TRUE(c.server.sent_.empty()) << text;
    }
  }
}

TEST(MailCheck, ErrorReplyToRetrEndsWithoutWaitingForMore) {
  Check c;
  c.LoggedIn("+OK bob has 4\r\n").Reply("-ER").Reply("R no such message\r\n").Reply("+OK more\r\n");
  EXPECT_EQ(c.Run().result, results::kSendingFailure);
  EXPECT_EQ(c.server.read_maxima_.size(), 5u);  // greeting, USER, PASS, then the two pieces of the status
  EXPECT_EQ(c.server.events_.size(), 1u);
}

struct DecisionRow {
  int n;
  std::int32_t last_num;
  const char* last_id;
  const char* id;
  bool new_mail;
};

TEST(MailCheck, NewMailDecision) {
  const std::vector<DecisionRow> rows = {
      {3, 0, "", "<c@x>", true},           // first check ever
      {3, 3, "<c@x>", "<c@x>", false},     // unchanged
      {2, 3, "<c@x>", "<c@x>", false},     // old mail deleted, newest the same
      {2, 3, "<c@x>", "<d@x>", true},      // fetched elsewhere, newer mail came
      {4, 3, "<c@x>", "<c@x>", true},      // more messages
      {3, 3, "<abc@x>", "<ABC@X>", false}, // identifiers are kept in lower case
      {1, -5, "<c@x>", "<c@x>", true},     // signed comparison
  };
  for (const DecisionRow& row : rows) {
    for (bool sound : {false, true}) {
      Check c;
      c.settings.isPlay = sound;
      c.player.open_ = true;
      c.state = {row.last_id, row.last_num};
      const std::string count = std::to_string(row.n);
      c.LoggedIn("+OK bob has " + count + " messages\r\n").Reply(Message(row.id)).Reply("+OK\r\n");
      const ConversationOutcome out = c.Run();
      const std::string where = count + " " + row.last_id + " " + row.id;
      EXPECT_TRUE(out.success) << where;
      EXPECT_EQ(out.result, row.new_mail ? NewMail(count) : std::string(results::kNoNewMail)) << where;
      EXPECT_EQ(c.player.plays_, row.new_mail && sound ? 1 : 0) << where;
      EXPECT_EQ(c.state.LastMailNum, row.n);
      std::string lower = row.id;
      for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      EXPECT_EQ(c.state.LastMessageID, lower);
    }
  }
}

TEST(MailCheck, EmptyMailboxRetrievesNothingAndKeepsTheIdentifier) {
  Check c;
  c.state = {"<old@x>", 5};
  c.LoggedIn("+OK bob has 0 messages\r\n").Reply("+OK bye\r\n");
  const ConversationOutcome out = c.Run();
  EXPECT_EQ(out.result, results::kNoNewMail);
  EXPECT_EQ(c.server.sent_, (Strings{"USER bob\r\n", "PASS secret\r\n", "QUIT\r\n"}));
  EXPECT_EQ(c.state.LastMailNum, 0);
  EXPECT_EQ(c.state.LastMessageID, "<old@x>");
}

TEST(MailCheck, LoginReplyWithoutCountAsksForStat) {
  for (const std::string login : {"+OK Logged in.\r\n", "+OK 2 messages (320 octets)\r\n",
                                  "+OK bob's maildrop has 2\r\n", "+OK bob has 99999999999 messages\r\n", "+OK\r\n"}) {
    Check c;
    c.LoggedIn(login).Reply("+OK 3 4096\r\n").Reply(Message("<n@x>")).Reply("+OK\r\n");
    const ConversationOutcome out = c.Run();
    EXPECT_EQ(out.result, NewMail("3")) << login;
    EXPECT_EQ(c.server.sent_, (Strings{"USER bob\r\n", "PASS secret\r\n", "STAT\r\n", "RETR 3\r\n", "QUIT\r\n"}))
        << login;
  }
  // A fourth token that is some other number is taken as the count, without STAT, and written plainly.
  Check c;
  c.LoggedIn("+OK bob has 0007 (9 octets)\r\n").Reply(Message("<n@x>")).Reply("+OK\r\n");
  EXPECT_EQ(c.Run().result, NewMail("7"));
  EXPECT_EQ(c.server.sent_[2], "RETR 7\r\n");
}

// Only a "+OK" greeting lets the account go; a count is 1 to 10 digits within 32 bits, sent and said plainly.
TEST(MailCheck, GreetingAndCountRules) {
  const struct { std::string greeting, login, stat, result; Strings sent; } rows[] = {
      {"-ERR too busy\r\n", "", "", results::kCannotConnect, {}},
      {"* OK IMAP4rev1 ready\r\n", "", "", results::kUnexpectedReply, {}},
      {kGreeting, "+OK bob has -3 messages\r\n", "+OK -3 0\r\n", results::kUnexpectedReply, {"STAT\r\n"}},
      {kGreeting, "+OK\r\n", "+OK 00000000007 0\r\n", results::kUnexpectedReply, {"STAT\r\n"}},
      {kGreeting, "+OK\r\n", "+OK 2147483648 0\r\n", results::kUnexpectedReply, {"STAT\r\n"}},
      {kGreeting, "+OK\r\n", "+OK 0000000007 0\r\n", NewMail("7"), {"STAT\r\n", "RETR 7\r\n", "QUIT\r\n"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.greeting + row.login + row.stat);
    Check c;
    c.server.Reply(row.greeting).Reply("+OK\r\n").Reply(row.login).Reply(row.stat).Reply(Message("<n@x>")).Reply("+OK\r\n");
    EXPECT_EQ(c.Run().result, row.result);
    Strings sent = row.sent;
    if (!row.login.empty()) sent.insert(sent.begin(), {"USER bob\r\n", "PASS secret\r\n"});
    EXPECT_EQ(c.server.sent_, sent);
  }
}

TEST(MailCheck, IdentifierIsFoundWhereverTheReadsSplitTheMessage) {
  const std::string message = Message("<Split.Me@Example.org>");
  for (std::size_t cut = 1; cut < message.size(); ++cut) {
    Check c;
    c.state = {"<split.me@example.org>", 1};
    c.LoggedIn("+OK bob has 1\r\n").Reply(message.substr(0, cut)).Reply(message.substr(cut)).Reply("+OK\r\n");
    const ConversationOutcome out = c.Run();
    EXPECT_EQ(out.result, results::kNoNewMail) << cut;
    EXPECT_EQ(c.state.LastMessageID, "<split.me@example.org>") << cut;
  }
}

TEST(MailCheck, IdentifierForms) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"+OK\r\nMessage-ID:\r\n <Fold@X>\r\n\r\n.\r\n", "<fold@x>"},  // folded header
      {"+OK\r\nResent-Message-ID: <r@x>\r\nMESSAGE-id: <m@x>\r\n.\r\n", "<m@x>"},  // that field alone
      {Bytes("+OK\r\nX: \0\0\r\nMessage-ID: <z@x>\r\n.\r\n"), "<z@x>"},  // zero bytes do not end a chunk
      {"+OK\r\nMessage-ID: <a\r\n LastMailNum=9@x>\r\n.\r\n", "<a lastmailnum=9@x>"},  // no line breaks kept
      {"+OK\r\nSubject: no id\r\n\r\nbody\r\n.\r\n", ""},  // ends without the header
      {"+OK\r\nMessage-ID: broken\r\n\r\nbody\r\n.\r\nMessage-ID: <after@end>", ""},
      {"+OK\r\n.\r\nMessage-ID: <after@end>\r\n", ""},
      {"+OK\nMessage-ID: <lf@x>\n.\n", "<lf@x>"},
      {"+OK\nMessage-ID:<q@x>", "<q@x>"},  // no CR at all
  };
  for (const auto& [message, id] : cases) {
    Check c;
    c.state = {"<before@x>", 1};
    c.LoggedIn("+OK bob has 1\r\n").Reply(message).Reply("+OK\r\n");
    const ConversationOutcome out = c.Run();
    EXPECT_TRUE(out.success) << message;
    EXPECT_EQ(c.state.LastMessageID, id) << message;
    EXPECT_EQ(out.result, NewMail("1")) << message;  // every identifier here differs from the last one
  }
}

TEST(MailCheck, HostileRepliesStayBounded) {
  {  // a 100 000-byte greeting: its rest becomes the next replies
    Check c;
    c.server.Reply("+OK " + std::string(99996, 'x'));
    EXPECT_EQ(c.Run().result, results::kBadUser);
    for (std::size_t max : c.server.read_maxima_) EXPECT_LE(max, 4095u);
  }
  {  // a 100 000-byte message without an identifier that stops without its end
    Check c;
    c.LoggedIn("+OK bob has 1\r\n").Reply("+OK\r\n" + std::string(100000, 'y')).Closed();
    EXPECT_EQ(c.Run().result, results::kSendingFailure);
  }
  {  // a header whose ">" never comes
    Check c;
    c.state = {"<x@y>", 1};
    c.LoggedIn("+OK bob has 1\r\n").Reply("+OK\r\nMessage-ID: <" + std::string(20000, 'z') + ">\r\n.\r\n");
    EXPECT_TRUE(c.Run().success);
    EXPECT_EQ(c.state.LastMessageID, "");
  }
  {  // zero bytes cut a reply's text: the count is not seen
    Check c;
    c.LoggedIn(Bytes("+OK\0 bob has 5\r\n")).Reply("+OK 0 0\r\n").Reply("+OK\r\n");
    EXPECT_EQ(c.Run().result, results::kNoNewMail);
    EXPECT_EQ(c.server.sent_[2], "STAT\r\n");
  }
  {  // no CR LF anywhere (a bare LF ends the retrieval's status line)
    Check c;
    c.server.Reply("+OK").Reply("+OK").Reply("+OK bob has 1").Reply("+OK\nMessage-ID: <q@x>").Reply("+OK");
    EXPECT_EQ(c.Run().result, NewMail("1"));
  }
  {  // a count of thousands of digits overflows: STAT is asked
    Check c;
    c.LoggedIn("+OK bob has " + std::string(3000, '9') + " messages\r\n").Reply("+OK 0 0\r\n").Reply("+OK\r\n");
    EXPECT_EQ(c.Run().result, results::kNoNewMail);
  }
  {  // a count with thousands of leading zeros is no count
    Check c;
    const std::string count = std::string(4000, '0') + "7";
    c.LoggedIn("+OK Logged in.\r\n").Reply("+OK " + count + " 100\r\n").Reply(Message("<n@x>")).Reply("+OK\r\n");
    EXPECT_EQ(c.Run().result, results::kUnexpectedReply);
    EXPECT_EQ(c.server.sent_.back(), "STAT\r\n");
  }
}

TEST(MailCheck, EveryCheckEndsWithinOneDeadline) {
  const struct {
    const char* name;
    bool imap;
    Strings script;  // after the login, or "drip": a byte or an untagged OK every read
    std::int64_t ms_per_read, connect_ms, sound_ms;
    std::string result;
  } rows[] = {
      {"POP3 message dripping", false, {"+OK bob has 1\r\n", "+OK\r\n", "drip"}, 5000, 0, 0, results::kSendingFailure},
      {"IMAP dripping untagged OKs", true, {"* OK [CAPABILITY IMAP4rev1] hi\r\n", "drip"}, 5000, 0, 0,
       results::kReceiveFailed},
      {"addresses that took 50 s, then a slow TLS server", false, {}, 6000, 50000, 0, results::kCannotConnect},
      {"a sound of 100 s", false, {"+OK bob has 1\r\n", Message("<n@x>"), "+OK\r\n"}, 1000, 0, 100000, NewMail("1")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Check c;
    c.settings.isPlay = c.player.open_ = true;
    c.settings.POPSecurity = row.connect_ms ? kSecuritySslTls : kSecurityNone;
    if (!row.imap) c.server.Reply("+OK hi\r\n").Reply("+OK\r\n");
    for (const std::string& r : row.script)
      for (int i = 0; i < (r == "drip" ? 1000 : 1); ++i) c.server.Reply(r != "drip" ? r : row.imap ? "* OK\r\n" : "y");
    c.server.on_connect_ = [&] { c.clock.AdvanceMs(row.connect_ms); };
    c.server.on_read_ = [&] { c.clock.AdvanceMs(row.ms_per_read); };
    c.player.on_play_ = [&] { c.clock.AdvanceMs(row.sound_ms); };
    const ConversationOutcome out =
        row.imap ? RunImapConversation(c.settings, c.state, c.server, &c.player, c.timeouts, &c.clock) : c.Run();
    EXPECT_EQ(out.result, row.result);
    EXPECT_LE(c.clock.TickMs(), 60000 + 10000 + row.sound_ms);
    EXPECT_EQ(c.server.connect_within_ms_, 60000);
    for (const auto& handshake : c.server.tls_) EXPECT_EQ(handshake.within_ms, 10000);
  }
}

// Only the header field named Message-ID holds the identifier, however the reads cut the message.
TEST(MessageIdReader, OnlyTheHeaderFieldNamedMessageIdCounts) {
  using Step = MessageIdReader::Step;
  const struct {
    Strings reads;
    Step step;
    std::string id;
  } rows[] = {
      {{"+OK\r\nSubject: re: Message-ID: <s@x>\r\nmessage-ID: <M@X>\r\n"}, Step::Found, "<m@x>"},
      {{"+OK\r\nSubject: Message-ID: <s@x>\r\n\r\nMessage-ID: <b@x>\r\n"}, Step::NoIdentifier, ""},  // the body
      {{"+OK Message-ID: <q@x>\r\n\r\n"}, Step::NoIdentifier, ""},  // the status line is no header
      {{"+OK\r\nX-Message-ID: <x@x>\r\n.\r\n"}, Step::NoIdentifier, ""},
      {{"+OK\r\nMessage-ID: <a\r\nFrom: b>\r\n"}, Step::NoIdentifier, ""},  // the field ended without ">"
      {{"+OK\r\nMessage-ID:\r", "\n\t<F@X", ">"}, Step::Found, "<f@x>"},  // folded, across reads
      {{"+OK\r\nMessa", "ge-Id: <s@x>"}, Step::Found, "<s@x>"},
      {{"+OK\r\nFrom: a\r\n"}, Step::More, ""},
      {{"-ER", "R no such message\r\n"}, Step::Refused, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.reads[0]);
    MessageIdReader reader;
    Step step = Step::More;
    for (const std::string& read : row.reads) step = reader.Take(read);
    EXPECT_EQ(step, row.step);
    EXPECT_EQ(reader.Identifier(), row.id);
  }
}

// CheckMail around the conversation: epop.ini in a scratch folder.
class CheckMailCall : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / "popcore_checkmail";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    env_.ini_path = (dir_ / "epop.ini").string();
    env_.player = &player_;
    env_.protector = &protector_;
    env_.on_load_error = [this](const EpopLoadResult& r) { load_errors_.push_back(r.message); };
    env_.on_save_error = [this](const std::string& e) { save_errors_.push_back(e); };
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void WriteIni(const std::string& bytes) { ASSERT_TRUE(fileio::WriteFileAtomic(env_.ini_path, bytes)); }
  std::string Ini() {
    std::string bytes;
    fileio::ReadFile(env_.ini_path, bytes);
    return bytes;
  }
  std::string Call(ModuleState& state, ScriptedTransport& server) {
    env_.transport = &server;
    return CheckMail(state, env_);
  }
  static void Mailbox(ScriptedTransport& server) {
    server.Reply(kGreeting).Reply("+OK\r\n").Reply("+OK bob has 2\r\n").Reply(Message("<Two@x>")).Reply("+OK\r\n");
  }

  std::filesystem::path dir_;
  CheckMailEnv env_;
  RecordingPlayer player_;
  testing::MarkingProtector protector_;
  Strings load_errors_, save_errors_;
};

TEST_F(CheckMailCall, SuccessWritesTheFileAndTheNextCheckSeesNoNewMail) {
  WriteIni("Account=bob\r\nPassword=secret\r\nPOPServer=10.0.0.9\r\nCheckInterval=15\r\n");
  ModuleState state;
  ScriptedTransport first;
  Mailbox(first);
  EXPECT_EQ(Call(state, first), NewMail("2"));
  EXPECT_EQ(first.host_, "10.0.0.9");
  EXPECT_EQ(Ini(),
            "isCheckMail=1\r\nisPlay=0\r\nCheckInterval=15\r\nAccount=bob\r\nPassword=\r\nPOPServer=10.0.0.9\r\n"
            "isUseAPOP=0\r\nFilePlaying=\r\nLastMessageID=<two@x>\r\nLastMailNum=2\r\nPasswordProtected=" +
                Base64Encode("M:secret") + "\r\n");

  ModuleState reloaded;  // as after the library was loaded anew: only the file remembers
  ScriptedTransport second;
  Mailbox(second);
  EXPECT_EQ(Call(reloaded, second), results::kNoNewMail);
  EXPECT_TRUE(load_errors_.empty());
  EXPECT_TRUE(save_errors_.empty());
}

TEST_F(CheckMailCall, SecuredCheckKeepsItsKeysAndStaysSecuredAfterALaterBadNumber) {
  WriteIni("POPSecurity=2\r\nAccount=bob\r\nPassword=secret\r\n");
  ModuleState state;
  ScriptedTransport server;
  server.Reply(kGreeting).Reply("+OK\r\n").Reply("+OK\r\n").Reply("+OK bob has 0\r\n").Reply("+OK\r\n");
  EXPECT_EQ(Call(state, server), results::kNoNewMail);
  EXPECT_EQ(Ini(),
            "isCheckMail=1\r\nisPlay=0\r\nCheckInterval=0\r\nAccount=bob\r\nPassword=\r\n"
            "POPServer=127.0.0.1\r\nisUseAPOP=0\r\nFilePlaying=\r\nLastMessageID=\r\nLastMailNum=0\r\n"
            "POPSecurity=2\r\nPasswordProtected=" +
                Base64Encode("M:secret") + "\r\n");

  const std::string bad = "Account=bob\r\nPassword=secret\r\nisUseAPOP=x\r\nPOPSecurity=1\r\n";
  WriteIni(bad);
  ScriptedTransport tls;
  tls.tls_result_ = MailTransport::TlsResult::Untrusted;
  EXPECT_EQ(Call(state, tls), results::kTlsUntrusted);
  EXPECT_EQ(tls.port_, 995);
  EXPECT_TRUE(tls.sent_.empty());
  EXPECT_EQ(Ini(), bad);
}

TEST_F(CheckMailCall, UnknownProtocolOrSecurityIsShownAndNoServerIsContacted) {
  const struct { const char* file; std::string result; } rows[] = {
      {"MailProtocol=3\r\nAccount=bob\r\nPassword=secret\r\n", results::kCannotReadSettings},
      {"POPSecurity=3\r\nAccount=bob\r\nPassword=secret\r\nPOPServer=10.0.0.9\r\n", results::kCannotConnect},
  };
  for (const auto& row : rows) {
    WriteIni(row.file);
    load_errors_.clear();
    ModuleState state;
    ScriptedTransport server;
    EXPECT_EQ(Call(state, server), row.result) << row.file;
    EXPECT_EQ(server.connects_, 0);
    EXPECT_EQ(load_errors_.size(), 1u);
  }
}

TEST_F(CheckMailCall, UnopenablePasswordEndsTheCheckBeforeAnyConnection) {
  const std::string file = "Account=bob\r\nPasswordProtected=" + Base64Encode("X:secret") + "\r\n";
  WriteIni(file);
  ModuleState state;
  ScriptedTransport server;
  EXPECT_EQ(Call(state, server), results::kPasswordUnreadable);
  EXPECT_EQ(server.connects_, 0);
  EXPECT_EQ(Ini(), file);
}

TEST_F(CheckMailCall, FailureLeavesTheFileUntouched) {
  const std::string before = "Account=bob\r\nPassword=wrong\r\nLastMailNum=1\r\n";
  WriteIni(before);
  ModuleState state;
  ScriptedTransport server;
  server.Reply(kGreeting).Reply("+OK\r\n").Reply("-ERR nope\r\n");
  EXPECT_EQ(Call(state, server), results::kBadPassword);
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(state.LastMailNum, 1);
}

TEST_F(CheckMailCall, LoadErrorIsShownAndThePartlyLoadedSettingsAreNotWrittenBack) {
  const std::string before = "Account=bob\r\nPassword=secret\r\nisPlay=on\r\nFilePlaying=C:\\ding.wav\r\n";
  WriteIni(before);
  ModuleState state;
  ScriptedTransport server;
  Mailbox(server);
  EXPECT_EQ(Call(state, server), NewMail("2"));
  EXPECT_EQ(load_errors_, Strings{"'on' は整数ではありません"});
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(state.LastMailNum, 2);  // remembered while the library stays loaded
}

TEST_F(CheckMailCall, SoundPlaysOnNewMailAndThePlayerIsClosedOnEveryPath) {
  WriteIni("Account=bob\r\nPassword=secret\r\nisPlay=1\r\nFilePlaying=ding.wav\r\n");
  player_.existing_ = {"ding.wav"};
  ModuleState state;
  ScriptedTransport server;
  Mailbox(server);
  EXPECT_EQ(Call(state, server), NewMail("2"));
  EXPECT_EQ(player_.plays_, 1);
  EXPECT_FALSE(player_.IsOpen());

  ScriptedTransport failing;
  failing.Silence();
  EXPECT_EQ(Call(state, failing), results::kCannotConnect);
  EXPECT_EQ(player_.opened_.size(), 2u);
  EXPECT_EQ(player_.closes_, 2);
  EXPECT_EQ(player_.plays_, 1);
}

TEST_F(CheckMailCall, UnreadableFileEndsTheCheckBeforeAnyServerIsContacted) {
  std::filesystem::create_directories(env_.ini_path);  // there, but reading it fails
  ModuleState state{"<old@x>", 4, {}};
  ScriptedTransport server;
  Mailbox(server);
  EXPECT_EQ(Call(state, server), results::kCannotReadSettings);
  EXPECT_EQ(server.connects_, 0);
  EXPECT_TRUE(player_.opened_.empty());
  EXPECT_TRUE(load_errors_.empty()) << "the result reports it; no message box on a scheduled check";
  EXPECT_TRUE(save_errors_.empty());
  EXPECT_TRUE(std::filesystem::is_directory(env_.ini_path));
  EXPECT_EQ(state.LastMessageID, "<old@x>");
  EXPECT_EQ(state.LastMailNum, 4);
}

TEST_F(CheckMailCall, UnwritableFileIsReportedAndTheResultStands) {
  env_.ini_path = (dir_ / "missing-folder" / "epop.ini").string();
  ModuleState state;
  ScriptedTransport server;
  server.Reply(kGreeting).Reply("+OK\r\n").Reply("+OK anyone has 0\r\n").Reply("+OK\r\n");
  EXPECT_EQ(Call(state, server), results::kNoNewMail);
  EXPECT_EQ(server.sent_[0], "USER \r\n");
  EXPECT_EQ(save_errors_.size(), 1u);
}

TEST_F(CheckMailCall, RetrievalBoundsEndTheCheckAsFailedAndWriteNothing) {
  const std::string before = "Account=bob\r\nPassword=secret\r\nLastMessageID=<old@x>\r\nLastMailNum=1\r\n";
  const std::size_t kMiB = 1u << 20;
  struct Case {
    const char* name;
    std::vector<std::string> chunks;  // the reply to RETR, read by read
    std::int64_t ms_per_read;         // how long each read takes
    std::string result;
  };
  const std::string filler(kMiB - 200, 'y');
  const Case cases[] = {
      {"a message of 3 MiB without an identifier", {"+OK\r\n" + std::string(3 * kMiB, 'y')}, 0,
       results::kSendingFailure},
      {"an identifier past 1 MiB", {"+OK\r\n" + std::string(kMiB + 8192, 'y') + "\r\nMessage-ID: <late@x>\r\n"}, 0,
       results::kSendingFailure},
      {"an identifier just inside 1 MiB", {"+OK\r\n" + filler + "\r\nMessage-ID: <new@x>\r\n.\r\n", "+OK\r\n"}, 0,
       NewMail("2")},
      {"one byte every 5 s", std::vector<std::string>(1000, "y"), 5000, results::kSendingFailure},
      {"an identifier that drips past 120 s", [] {
         std::vector<std::string> c{"+OK\r\nMessage-ID: <"};
         c.resize(1000, "z");
         return c;
       }(), 5000, results::kSendingFailure},
  };
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  env_.clock = &clock;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIni(before);
    ModuleState state;
    ScriptedTransport server;
    server.Reply(kGreeting).Reply("+OK\r\n").Reply("+OK bob has 2\r\n");
    for (const std::string& chunk : c.chunks) server.Reply(chunk);
    server.on_read_ = [&] { clock.AdvanceMs(c.ms_per_read); };
    EXPECT_EQ(Call(state, server), c.result);
    EXPECT_LT(server.bytes_read_, kMiB + 2 * 4096);
    if (c.ms_per_read) {
      EXPECT_LE(server.read_maxima_.size(), 3u + 120000 / 5000 + 2u);
    }
    if (c.result == results::kSendingFailure) {
      EXPECT_EQ(server.sent_.back(), "RETR 2\r\n") << "no QUIT after a failed retrieval";
      EXPECT_EQ(Ini(), before);
      EXPECT_EQ(state.LastMailNum, 1);
      EXPECT_EQ(state.LastMessageID, "<old@x>");
    } else {
      EXPECT_NE(Ini().find("LastMessageID=<new@x>\r\nLastMailNum=2\r\n"), std::string::npos);
    }
  }
}

TEST(PropertyPage, ResultStrings) {
  EpopSettings s;
  const std::string head = results::kPropertyPageHead;
  s.CheckInterval = "15";
  EXPECT_EQ(PropertyPageResult(mrOk, s, {}), head + "900 * * * * /15 Fennick 0 CheckMail");
  s.CheckInterval = "";
  EXPECT_EQ(PropertyPageResult(mrOk, s, {}), head + "900 * * * * / Fennick 0 CheckMail");
  s.CheckInterval = std::string(2000, '5');
  EXPECT_EQ(PropertyPageResult(mrOk, s, {}), head + "900 * * * * /" + s.CheckInterval + " Fennick 0 CheckMail");
  s.isCheckMail = false;
  EXPECT_EQ(PropertyPageResult(mrOk, s, {}), head + "900 * * * * /0 Fennick 0 CheckMail");

  EXPECT_EQ(PropertyPageResult(mrCancel, s, {"", 3}), head + "000 ");
  EXPECT_EQ(PropertyPageResult(0, s, {"", 3}), head + "000 ");
  EXPECT_EQ(PropertyPageResult(mrRecheck, s, {"", 3}),
            head + "000 3通のメールがきています． はやく受信しましょう．");
  EXPECT_EQ(PropertyPageResult(mrRecheck, s, {"", -2}),
            head + "000 -2通のメールがきています． はやく受信しましょう．");
  EXPECT_EQ(PropertyPageResult(mrRecheck, s, {"", 0}), head + "000 メールは届いていません．");
}

TEST(PropertyPage, OnlyOkWritesTheFile) {
  const auto dir = std::filesystem::temp_directory_path() / "popcore_propertypage";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "epop.ini").string();
  ASSERT_TRUE(fileio::WriteFileAtomic(path, "old\r\n"));
  EpopSettings s;
  s.Account = "new";
  const ModuleState state{"<i@x>", 4, {}};
  std::string bytes;
  for (int modal : {int(mrCancel), int(mrRecheck)}) {
    FinishPropertyPage(modal, s, state, path);
    ASSERT_TRUE(fileio::ReadFile(path, bytes));
    EXPECT_EQ(bytes, "old\r\n");
  }
  std::string error;
  EXPECT_EQ(FinishPropertyPage(mrOk, s, state, path, &error), PropertyPageResult(mrOk, s, state));
  ASSERT_TRUE(fileio::ReadFile(path, bytes));
  EXPECT_EQ(bytes, SaveEpop(s, state));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace fennick
