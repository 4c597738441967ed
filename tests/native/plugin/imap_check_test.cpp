#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "clock.h"
#include "fakes.h"
#include "imap_check.h"

namespace fennick {
namespace {

using testing::ScriptedTransport;
using Strings = std::vector<std::string>;

const std::string kCaps = "* OK [CAPABILITY IMAP4rev1] ready\r\n";
const std::string kStatus = "STATUS INBOX (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)";
const std::string kLogin = "LOGIN \"bob\" \"secret\"";
const std::string kOdd = "p w\"\\\x82\xa0";  // a blank, a quote, a backslash and a Shift-JIS character
const std::string kOddUtf8 = "p w\"\\\xe3\x81\x82";  // as the server gets it
const std::string kTls = "<tls>", kClosed = "<closed>";

std::string Cmd(int tag, const std::string& text) { return "A" + std::to_string(tag) + " " + text + "\r\n"; }
std::string Done(int tag, const std::string& untagged = "") { return untagged + "A" + std::to_string(tag) + " OK\r\n"; }
const std::string kItems = "MESSAGES 3 UNSEEN 2 UIDNEXT 10 UIDVALIDITY 7";
std::string Status(int tag, const std::string& in = kItems) { return Done(tag, "* STATUS INBOX (" + in + ")\r\n"); }
std::string NewMail(const std::string& n) { return results::kNewMailHead + n + results::kNewMailTail; }
const Strings kOk = {kCaps, Done(1), Status(2), Done(3, "* BYE\r\n")};  // a plain check: replies, commands, state
const Strings kSent = {Cmd(1, kLogin), Cmd(2, kStatus), Cmd(3, "LOGOUT")};
const ImapState kSeen = {7, 10, 2};

struct Row {
  const char* name;
  Strings script, sent;  // the server's replies (kClosed: it hangs up); the check's commands (kTls: the handshake)
  std::string result;
  ImapState after, before{};  // state.imap afterwards and before
  std::string password = "secret";
  int security = kSecurityNone;
  bool announce = false;
};

// A FETCH response carrying a header as a literal, its section written as the server likes.
std::string Fetch(int seq, int uid, const std::string& section, const std::string& header) {
  return "* " + std::to_string(seq) + " FETCH (UID " + std::to_string(uid) + " BODY[" + section + "] {" +
         std::to_string(header.size()) + "}\r\n" + header + ")\r\n";
}
const std::string kFields = "HEADER.FIELDS (FROM SUBJECT)";

// UIDNEXT moved from 10 to 12; by default no unseen among the added.
Row Searched(const char* name, const std::string& search, const std::string& result = results::kNoNewMail) {
  return {name, {kCaps, Done(1), Status(2, "UNSEEN 1 UIDNEXT 12 UIDVALIDITY 7"), Done(3), Done(4, search), Done(5)},
          {Cmd(1, kLogin), Cmd(2, kStatus), Cmd(3, "EXAMINE INBOX"), Cmd(4, "UID SEARCH UNSEEN UID 10:4294967295"),
           Cmd(5, "LOGOUT")},
          result, {7, 12, 1}, {7, 10, 1}};
}

const std::vector<Row> kRows = {
    {"FirstCheckAnnouncesUnseen", kOk, kSent, NewMail("2"), kSeen},
    // A server may give a new UIDVALIDITY at every STATUS: only more unseen mail than last time is news.
    {"NewUidValidityWithSameUnseen", kOk, kSent, results::kNoNewMail, kSeen, {5, 10, 2}},
    {"NewUidValidityWithMoreUnseen", kOk, kSent, NewMail("2"), kSeen, {5, 10, 1}},
    {"PreauthSkipsLogin", {"* PREAUTH [CAPABILITY IMAP4rev1] hi\r\n", Status(1), Done(2)},
     {Cmd(1, kStatus), Cmd(2, "LOGOUT")}, NewMail("2"), kSeen},
    {"ByeGreeting", {"* BYE too many connections\r\n"}, {}, results::kCannotConnect, {}},
    {"AuthPlain", {"* OK hi\r\n", Done(1, "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\n"), "+ \r\n", Done(2), Status(3), Done(4)},
     {Cmd(1, "CAPABILITY"), Cmd(2, "AUTHENTICATE PLAIN"), "AGJvYgBzZWNyZXQ=\r\n", Cmd(3, kStatus), Cmd(4, "LOGOUT")},
     NewMail("2"), kSeen},
    {"LoginRefused", {kCaps, "A1 NO [AUTHENTICATIONFAILED] no\r\n"}, {Cmd(1, kLogin)}, results::kLoginRefused, {}},
    {"LoginDisabled", {"* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] hi\r\n"}, {}, results::kUnexpectedReply, {}},
    {"LiteralPassword", {kCaps, "+ go on\r\n", Done(1), Status(2), Done(3)},
     {Cmd(1, "LOGIN \"bob\" {8}"), kOddUtf8 + "\r\n", Cmd(2, kStatus), Cmd(3, "LOGOUT")}, NewMail("2"), kSeen, {}, kOdd},
    {"OkBeforeThePasswordWasSent", {kCaps, Done(1)}, {Cmd(1, "LOGIN \"bob\" {8}")}, results::kUnexpectedReply, {}, {},
     kOdd},
    {"AuthPlainInUtf8", {"* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR] hi\r\n", Done(1), Status(2), Done(3)},
     {Cmd(1, "AUTHENTICATE PLAIN AGJvYgBwIHciXOOBgg=="), Cmd(2, kStatus), Cmd(3, "LOGOUT")}, NewMail("2"), kSeen, {}, kOdd},
    {"StartTlsMissing", {kCaps}, {}, results::kStlsRefused, {}, {}, "secret", kSecurityStartTls},
    // The reply sent in plain text after the go-ahead is dropped, and capabilities are asked again.
    {"StartTlsDropsPlainText", {"* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED] hi\r\n",
     "A1 OK begin\r\nA2 NO injected\r\n", Done(2, "* CAPABILITY IMAP4rev1\r\n"), Done(3), Status(4), Done(5)},
     {Cmd(1, "STARTTLS"), kTls, Cmd(2, "CAPABILITY"), Cmd(3, kLogin), Cmd(4, kStatus), Cmd(5, "LOGOUT")},
     NewMail("2"), kSeen, {}, "secret", kSecurityStartTls},
    {"StatusInAnyOrder", {kCaps, Done(1), Status(2, "UIDVALIDITY 7 HIGHESTMODSEQ 123456789012 uidnext 10 Unseen 2 MESSAGES 3"),
     Done(3)}, kSent, NewMail("2"), kSeen},
    Searched("OpenRangeMatchesOld", "* SEARCH 9\r\n"),  // 10 and 11 are gone; 10:* still matches the old 9
    Searched("ReadBeforeTheCheck", "* SEARCH\r\n"),
    Searched("OnlyNumbersAreUids", "* SEARCH \"15\" 15x\r\n"),
    Searched("EsearchOfAnotherCommand", "* ESEARCH (TAG \"A3\") UID ALL 11\r\n* ESEARCH UID MAX 11\r\n"),
    Searched("EsearchOfOurs", "* ESEARCH (TAG \"A4\") UID COUNT 1 ALL 11\r\n", NewMail("1")),
    Searched("EsearchSetOfNumbersOnly", "* ESEARCH (TAG \"A4\") UID ALL 11x\r\n"),
    // Literals are counted, not read: the tagged-looking line inside one is data.
    {"LiteralsInReplies", {kCaps, Done(1), "* 1 FETCH (BODY[] {12}\r\nA2 NO fake\r\n)\r\n",
     "* STATUS {5}\r\nINBOX (" + kItems + ")\r\n", Done(2), Done(3)}, kSent, NewMail("2"), kSeen},
    {"TruncatedStatus", {kCaps, Done(1), "* STATUS INBOX (MESS", kClosed}, {Cmd(1, kLogin), Cmd(2, kStatus)},
     results::kReceiveFailed, {}},
    {"OversizedLiteral", {"* OK {2000000}\r\n", std::string(4096, 'x')}, {}, results::kUnexpectedReply, {}},
    {"WrongTag", {kCaps, "A7 OK done\r\n"}, {Cmd(1, kLogin)}, results::kUnexpectedReply, {}},
    // Sender box: the newest 3 of 4 new UIDs fetched unseen, answered in any order, a section quoted, one
    // header missing, a flags update unasked. A first check searches to name, and ESEARCH counts too.
    {"NamesTheNewestThree", {kCaps, Done(1), Status(2, "UNSEEN 5 UIDNEXT 14 UIDVALIDITY 7"), Done(3),
     Done(4, "* SEARCH 10 11 12 13\r\n"), Done(5, Fetch(4, 13, "HEADER.FIELDS (\"FROM\" \"SUBJECT\")", "From: B <b@x>\r\n"
     "Subject: y\r\n\r\n") + "* 1 FETCH (FLAGS (\\Seen))\r\n" + Fetch(2, 11, kFields, "Subject: x\r\nFrom: a@x\r\n\r\n")), Done(6)},
     {Cmd(1, kLogin), Cmd(2, kStatus), Cmd(3, "EXAMINE INBOX"), Cmd(4, "UID SEARCH UNSEEN UID 10:4294967295"),
      Cmd(5, "UID FETCH 11,12,13 (BODY.PEEK[" + kFields + "])"), Cmd(6, "LOGOUT")},
     NewMail("5") + " a@xさんから 「x」 （差出人不明）さんから 「（件名なし）」 Bさんから 「y」 ほかに1通あります．",
     {7, 14, 5}, {7, 10, 1}, "secret", kSecurityNone, true},
    {"FirstCheckSearchesToName", {kCaps, Done(1), Status(2), Done(3), Done(4, "* ESEARCH (TAG \"A4\") UID ALL 8:9\r\n"),
     Done(5, Fetch(1, 9, kFields, "From: c@x\r\n\r\n")), Done(6)},
     {Cmd(1, kLogin), Cmd(2, kStatus), Cmd(3, "EXAMINE INBOX"), Cmd(4, "UID SEARCH UNSEEN UID 1:4294967295"),
      Cmd(5, "UID FETCH 8,9 (BODY.PEEK[HEADER.FIELDS (FROM SUBJECT)])"), Cmd(6, "LOGOUT")},
     NewMail("2") + " （差出人不明）さんから 「（件名なし）」 c@xさんから 「（件名なし）」", kSeen, {}, "secret", 0, true},
};

TEST(ImapCheck, ServerScripts) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    EpopSettings settings;
    settings.Account = "bob";
    settings.Password = row.password;
    settings.POPSecurity = row.security;
    settings.AnnounceSender = row.announce;
    ModuleState state{"", 0, row.before};
    ScriptedTransport server;
    for (const std::string& s : row.script) s == kClosed ? server.Closed() : server.Reply(s);
    mokuna::FakeClock clock{mokuna::LocalTime{}};
    const auto to_utf8 = [](const std::string& s) { return s == kOdd ? kOddUtf8 : s; };
    const ConversationOutcome out = RunImapConversation(settings, state, server, nullptr, {}, &clock, to_utf8);
    EXPECT_EQ(out.result, row.result);
    EXPECT_EQ(out.success, row.result == results::kNoNewMail || row.result.rfind(results::kNewMailHead, 0) == 0);
    Strings sent = server.sent_;
    for (auto h = server.tls_.rbegin(); h != server.tls_.rend(); ++h) sent.insert(sent.begin() + h->sent_before, kTls);
    EXPECT_EQ(sent, row.sent);
    auto key = [](const ImapState& s) { return std::make_tuple(s.UidValidity, s.UidNext, s.Unseen); };
    EXPECT_EQ(key(state.imap), key(row.after));
    EXPECT_EQ(server.closes_, 1);
  }
}

}  // namespace
}  // namespace fennick
