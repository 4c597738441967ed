#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clock.h"
#include "fakes.h"
#include "imap_check.h"

namespace fennick {
namespace {

using testing::RecordingPlayer;
using testing::ScriptedTransport;
using Strings = std::vector<std::string>;

const std::string kCaps = "* OK [CAPABILITY IMAP4rev1] ready\r\n";
const std::string kStatusItems = "MESSAGES 3 UNSEEN 2 UIDNEXT 10 UIDVALIDITY 7";
const std::string kStatus = "STATUS INBOX (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)";
const std::string kLogin = "LOGIN \"bob\" \"secret\"";
const std::string kOdd = "p w\"\\\x82\xa0";  // a blank, a quote, a backslash and a Shift-JIS character
const std::string kTls = "<tls>", kClosed = "<closed>", kSilence = "<silence>";

std::string Cmd(int tag, const std::string& text) { return "A" + std::to_string(tag) + " " + text + "\r\n"; }
std::string Done(int tag, const std::string& untagged = "") {
  return untagged + "A" + std::to_string(tag) + " OK done\r\n";
}
std::string Status(int tag, const std::string& items = kStatusItems) {
  return Done(tag, "* STATUS INBOX (" + items + ")\r\n");
}
std::string Bye(int tag) { return Done(tag, "* BYE logging out\r\n"); }
std::string NewMail(const std::string& n) { return results::kNewMailHead + n + results::kNewMailTail; }
const Strings kSent = {Cmd(1, kLogin), Cmd(2, kStatus), Cmd(3, "LOGOUT")};  // a plain check's commands
const Strings kSearched = {Cmd(1, kLogin), Cmd(2, kStatus), Cmd(3, "EXAMINE INBOX"),
                           Cmd(4, "UID SEARCH UNSEEN UID 10:*"), Cmd(5, "LOGOUT")};
const std::string kExamined = Done(3, "* 3 EXISTS\r\n* OK [UIDVALIDITY 7] UIDs valid\r\n");
const ImapState kSeen = {7, 10, 2};  // what kStatusItems leaves
const std::string kAuth = "AGJvYgBzZWNyZXQ=";  // NUL bob NUL secret

struct Row {
  const char* name;
  Strings script;      // what the server sends, in order; kClosed and kSilence for an end or a stall
  Strings sent;        // what the check sends, kTls where the handshake begins
  std::string result;
  ImapState after;     // state.imap afterwards
  ImapState before{};
  int security = kSecurityNone;
  std::string password = "secret";
};

const std::vector<Row> kRows = {
    {"FirstCheckAnnouncesUnseen", {kCaps, Done(1), Status(2), Bye(3)}, kSent, NewMail("2"), kSeen},
    {"PreauthSkipsLogin", {"* PREAUTH [CAPABILITY IMAP4rev1] hi\r\n", Status(1), Bye(2)},
     {Cmd(1, kStatus), Cmd(2, "LOGOUT")}, NewMail("2"), kSeen},
    {"ByeGreeting", {"* BYE too many connections\r\n"}, {}, results::kCannotConnect, {}},
    {"GarbageGreeting", {"HELLO\r\n"}, {}, results::kUnexpectedReply, {}},
    {"CapabilityCommandAndAuthenticateByContinuation",
     {"* OK hi\r\n", Done(1, "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\n"), "+ \r\n", Done(2), Status(3), Bye(4)},
     {Cmd(1, "CAPABILITY"), Cmd(2, "AUTHENTICATE PLAIN"), kAuth + "\r\n", Cmd(3, kStatus), Cmd(4, "LOGOUT")},
     NewMail("2"), kSeen},
    {"AuthenticateWithInitialResponse",
     {"* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR] hi\r\n", Done(1), Status(2), Bye(3)},
     {Cmd(1, "AUTHENTICATE PLAIN " + kAuth), Cmd(2, kStatus), Cmd(3, "LOGOUT")}, NewMail("2"), kSeen},
    {"LoginRefused", {kCaps, "A1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n"}, {Cmd(1, kLogin)},
     results::kLoginRefused, {}},
    {"LoginDisabledSendsNothing", {"* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] hi\r\n"}, {},
     results::kUnexpectedReply, {}},
    {"QuotedSpecials", {kCaps, Done(1), Status(2), Bye(3)},
     {Cmd(1, "LOGIN \"bob\" \"a \\\"b\\\\c\""), Cmd(2, kStatus), Cmd(3, "LOGOUT")}, NewMail("2"), kSeen, {},
     kSecurityNone, "a \"b\\c"},
    {"LiteralWaitsForContinuation", {kCaps, "+ go on\r\n", Done(1), Status(2), Bye(3)},
     {Cmd(1, "LOGIN \"bob\" {7}"), kOdd + "\r\n", Cmd(2, kStatus), Cmd(3, "LOGOUT")}, NewMail("2"), kSeen, {},
     kSecurityNone, kOdd},
    {"LiteralPlusSentAtOnce", {"* OK [CAPABILITY IMAP4rev1 LITERAL+] hi\r\n", Done(1), Status(2), Bye(3)},
     {Cmd(1, "LOGIN \"bob\" {7+}\r\n" + kOdd), Cmd(2, kStatus), Cmd(3, "LOGOUT")}, NewMail("2"), kSeen, {},
     kSecurityNone, kOdd},
    {"StartTlsMissingSendsNothing", {kCaps}, {}, results::kStlsRefused, {}, {}, kSecurityStartTls},
    {"StartTlsAfterPreauthSendsNothing", {"* PREAUTH [CAPABILITY STARTTLS] hi\r\n"}, {}, results::kStlsRefused,
     {}, {}, kSecurityStartTls},
    {"StartTlsRefused", {"* OK [CAPABILITY IMAP4rev1 STARTTLS] hi\r\n", "A1 BAD no\r\n"}, {Cmd(1, "STARTTLS")},
     results::kStlsRefused, {}, {}, kSecurityStartTls},
    // The reply sent in plain text after the go-ahead is dropped, and capabilities are asked again.
    {"StartTlsDropsPlainTextAndAsksAgain",
     {"* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED] hi\r\n", "A1 OK begin\r\nA2 NO injected\r\n",
      Done(2, "* CAPABILITY IMAP4rev1\r\n"), Done(3), Status(4), Bye(5)},
     {Cmd(1, "STARTTLS"), kTls, Cmd(2, "CAPABILITY"), Cmd(3, kLogin), Cmd(4, kStatus), Cmd(5, "LOGOUT")},
     NewMail("2"), kSeen, {}, kSecurityStartTls},
    {"SslTlsHandshakeFirst", {kCaps, Done(1), Status(2), Bye(3)},
     {kTls, Cmd(1, kLogin), Cmd(2, kStatus), Cmd(3, "LOGOUT")}, NewMail("2"), kSeen, {}, kSecuritySslTls},
    {"StatusInAnyOrderWithExtras",
     {kCaps, Done(1), Status(2, "UIDVALIDITY 7 HIGHESTMODSEQ 123456789012 uidnext 10 Unseen 2 MESSAGES 3"), Bye(3)},
     kSent, NewMail("2"), kSeen},
    {"StatusWithoutUnseen", {kCaps, Done(1), Status(2, "MESSAGES 3 UIDNEXT 10 UIDVALIDITY 7")},
     {Cmd(1, kLogin), Cmd(2, kStatus)}, results::kUnexpectedReply, {}},
    // Literals are counted, not read: the tagged-looking line inside one is data.
    {"LiteralsInReplies",
     {kCaps, Done(1), "* 1 FETCH (BODY[] {12}\r\nA2 NO fake\r\n)\r\n",
      "* STATUS {5}\r\nINBOX (" + kStatusItems + ")\r\n", Done(2), Bye(3)}, kSent, NewMail("2"), kSeen},
    {"NothingAddedNothingSaid", {kCaps, Done(1), Status(2), Bye(3)}, kSent, results::kNoNewMail, kSeen, kSeen},
    {"AddedAndUnseen", {kCaps, Done(1), Status(2, "UNSEEN 3 UIDNEXT 12 UIDVALIDITY 7"), kExamined, Done(4, "* SEARCH 11\r\n"),
     Bye(5)}, kSearched, NewMail("3"), {7, 12, 3}, kSeen},
    // 10 and 11 are gone; 10:* still matches the old unseen 9.
    {"HighestMatchOfOpenRangeIsOld", {kCaps, Done(1), Status(2, "UNSEEN 1 UIDNEXT 12 UIDVALIDITY 7"),
     kExamined, Done(4, "* SEARCH 9\r\n"), Bye(5)}, kSearched, results::kNoNewMail, {7, 12, 1}, {7, 10, 1}},
    {"ReadBeforeTheCheck", {kCaps, Done(1), Status(2, "UNSEEN 1 UIDNEXT 12 UIDVALIDITY 7"), kExamined, Done(4, "* SEARCH\r\n"),
     Bye(5)}, kSearched, results::kNoNewMail, {7, 12, 1}, {7, 10, 1}},
    {"ExtendedSearchReply", {kCaps, Done(1), Status(2, "UNSEEN 2 UIDNEXT 13 UIDVALIDITY 7"),
     kExamined, Done(4, "* ESEARCH (TAG \"A4\") UID ALL 4,11:12\r\n"), Bye(5)}, kSearched, NewMail("2"), {7, 13, 2}, {7, 10, 0}},
    {"UidValidityChanged", {kCaps, Done(1), Status(2), Bye(3)}, kSent, NewMail("2"), kSeen, {5, 10, 2}},
    {"TruncatedStatus", {kCaps, Done(1), "* STATUS INBOX (MESS", kClosed}, {Cmd(1, kLogin), Cmd(2, kStatus)},
     results::kReceiveFailed, {}},
    {"Stall", {kCaps, kSilence}, {Cmd(1, kLogin)}, results::kCannotConnect, {}},
    {"OversizedLine", {"* OK " + std::string(70000, 'x') + "\r\n"}, {}, results::kUnexpectedReply, {}},
    {"OversizedLiteral", {"* OK {2000000}\r\n", std::string(4096, 'x')}, {}, results::kUnexpectedReply, {}},
    {"WrongTag", {kCaps, "A7 OK done\r\n"}, {Cmd(1, kLogin)}, results::kUnexpectedReply, {}},
    {"ClosedAfterByeIsAGoodbye", {kCaps, Done(1), Status(2), "* BYE\r\n", kClosed}, kSent, NewMail("2"), kSeen},
    {"ClosedWithoutByeFailsAndKeepsTheState", {kCaps, Done(1), Status(2), kClosed}, kSent,
     results::kQuitReceiveFailed, {7, 10, 1}, {7, 10, 1}},
};

TEST(ImapCheck, ServerScripts) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    EpopSettings settings;
    settings.Account = "bob";
    settings.Password = row.password;
    settings.POPSecurity = row.security;
    settings.isPlay = true;
    ModuleState state;
    state.imap = row.before;
    ScriptedTransport server;
    for (const std::string& s : row.script)
      s == kClosed ? server.Closed() : s == kSilence ? server.Silence() : server.Reply(s);
    RecordingPlayer player;
    player.open_ = true;
    mokuna::FakeClock clock{mokuna::LocalTime{}};
    const ConversationOutcome out = RunImapConversation(settings, state, server, &player, {}, &clock);

    EXPECT_EQ(out.result, row.result);
    Strings sent = server.sent_;
    for (auto h = server.tls_.rbegin(); h != server.tls_.rend(); ++h) sent.insert(sent.begin() + h->sent_before, kTls);
    EXPECT_EQ(sent, row.sent);
    const bool ok = row.result == results::kNoNewMail || row.result.rfind(results::kNewMailHead, 0) == 0;
    EXPECT_EQ(out.success, ok);
    EXPECT_EQ(state.imap.UidValidity, row.after.UidValidity);
    EXPECT_EQ(state.imap.UidNext, row.after.UidNext);
    EXPECT_EQ(state.imap.Unseen, row.after.Unseen);
    EXPECT_EQ(player.plays_, ok && row.result != results::kNoNewMail ? 1 : 0);
    EXPECT_EQ(server.closes_, 1);
    for (int ms : server.wait_timeouts_) EXPECT_EQ(ms, 10000);
    for (int ms : server.read_timeouts_) EXPECT_EQ(ms, 10000);
  }
}

TEST(ImapCheck, DrippingServerIsLeftAfterTheTotalTime) {
  EpopSettings settings;
  ModuleState state;
  ScriptedTransport server;
  for (char c : kCaps + std::string(200, 'x')) server.Reply(std::string(1, c));
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  server.on_read_ = [&clock] { clock.AdvanceMs(1000); };
  EXPECT_EQ(RunImapConversation(settings, state, server, nullptr, {}, &clock).result, results::kReceiveFailed);
  EXPECT_EQ(server.read_timeouts_.size(), 120u + kCaps.size());  // the greeting's reads, then the login reply's
}

}  // namespace
}  // namespace fennick
