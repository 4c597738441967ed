#include "imap_check.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base64.h"
#include "clock.h"
#include "imap_reply.h"
#include "mail_announcement.h"
#include "mail_header.h"
#include "mail_results.h"
#include "sound_player.h"

namespace fennick {
namespace {

using imap::Response;
using imap::Token;

// The largest literal LITERAL- lets a client send without waiting for the server's go-ahead.
constexpr std::size_t kLiteralMinusMax = 4096;

// A quoted string carries the 7-bit bytes other than NUL, CR and LF; everything else needs a literal.
bool Quotable(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 127 && c != '\r' && c != '\n';
  });
}

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The new unseen messages a search found: how many, and the UIDs of the newest, ascending.
struct NewUids {
  std::size_t count = 0;
  std::vector<std::uint32_t> newest;

  void Add(std::uint32_t uid) {
    ++count;
    newest.insert(std::upper_bound(newest.begin(), newest.end(), uid), uid);
    if (newest.size() > kNamedMessages) newest.erase(newest.begin());
  }
  // The UIDs of a set as ESEARCH gives it ("5,7:9") that are at least from; none when any piece is no
  // number.
  void AddSet(std::string_view set, std::uint32_t from) {
    for (std::size_t i = 0; i <= set.size();) {
      const std::size_t end = std::min(set.find_first_of(",:", i), set.size());
      if (!imap::ParseNumber(set.substr(i, end - i))) return;
      i = end + 1;
    }
    std::size_t i = 0;
    while (i < set.size()) {
      const std::size_t end = std::min(set.find(',', i), set.size());
      const std::string_view item = set.substr(i, end - i);
      const std::size_t colon = item.find(':');
      const auto a = imap::ParseNumber(item.substr(0, colon));
      const auto b = colon == std::string_view::npos ? a : imap::ParseNumber(item.substr(colon + 1));
      if (a && b) {
        const std::uint32_t low = std::max(std::min(*a, *b), from), high = std::max(*a, *b);
        if (low <= high) {
          const std::size_t size = std::size_t{high} - low + 1;
          count += size - std::min(size, kNamedMessages);
          for (std::uint32_t u = high - std::min<std::uint32_t>(high - low, kNamedMessages - 1);; ++u) {
            Add(u);
            if (u == high) break;
          }
        }
      }
      i = end + 1;
    }
  }
};

// The header bytes of one FETCH response's data: its UID and the value after the BODY[...] section.
bool FetchedHeader(std::string_view data, std::uint32_t& uid, std::string& header) {
  const auto tokens = imap::Tokenize(data);
  if (!tokens) return false;
  const std::vector<Token>& t = *tokens;
  bool have_uid = false, have_header = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Token::Kind::Atom) continue;
    if (imap::EqualsNoCase(t[i].text, "UID") && i + 1 < t.size()) {
      if (const auto n = imap::ParseNumber(t[i + 1].text)) uid = *n, have_uid = true;
    } else if (t[i].text.size() >= 5 && imap::EqualsNoCase(t[i].text.substr(0, 5), "BODY[")) {
      std::size_t v = i + 1;
      if (t[i].text.find(']') == std::string::npos) {  // the field list, then the "]"
        int depth = 0;
        for (; v < t.size(); ++v) {
          if (t[v].kind == Token::Kind::Open) ++depth;
          else if (t[v].kind == Token::Kind::Close && --depth <= 0) break;
        }
        if (++v < t.size() && t[v].kind == Token::Kind::Atom && t[v].text.front() == ']') ++v;
      }
      if (v < t.size() && t[v].kind == Token::Kind::String) header = t[v].text, have_header = true;
      i = v;
    }
  }
  return have_uid && have_header;
}

// The end of the data item at i: past the list it opens, or the one token.
std::size_t SkipItem(const std::vector<Token>& t, std::size_t i) {
  int depth = 0;
  do {
    if (t[i].kind == Token::Kind::Open) ++depth;
    else if (t[i].kind == Token::Kind::Close) --depth;
    ++i;
  } while (depth > 0 && i < t.size());
  return i;
}

class ImapConversation {
 public:
  ImapConversation(MailConnection& connection, const EpopSettings& settings, const ImapState& last,
                   SoundPlayer* player, const TextToUtf8& to_utf8)
      : c_(connection), settings_(settings), last_(last), player_(player), reader_(connection) {
    // Servers keep user names and passwords as UTF-8, and SASL asks for it.
    account_ = to_utf8 ? to_utf8(settings.Account) : settings.Account;
    password_ = to_utf8 ? to_utf8(settings.Password) : settings.Password;
  }

  bool Run() { return Converse(); }
  const MailDecision& Decision() const { return decision_; }
  // What the module state becomes: only a conversation that succeeded changes it.
  const std::optional<ImapState>& Change() const { return change_; }

 private:
  using Untagged = std::function<bool(const Response&)>;

  bool Fail(const char* result) { return c_.Fail(result); }

  bool Send(const std::string& bytes) { return c_.Send(bytes); }

  // The next response, parsed. A connection that ends first gives closed_result; with none, it ends the
  // reading without a result.
  bool Read(Response& response, const char* closed_result = results::kReceiveFailed) {
    switch (reader_.Next(raw_)) {
      case imap::ReplyReader::Status::Ok: break;
      case imap::ReplyReader::Status::Closed: return closed_result && Fail(closed_result);
      case imap::ReplyReader::Status::Overdue: return Fail(results::kReceiveFailed);
      case imap::ReplyReader::Status::TimedOut:
      case imap::ReplyReader::Status::SocketError: return Fail(results::kCannotConnect);
      // The connection works; what came over it is no reply to these commands.
      case imap::ReplyReader::Status::TooLong: return Fail(results::kUnexpectedReply);
    }
    std::optional<Response> parsed = imap::ParseResponse(raw_);
    if (!parsed) return Fail(results::kUnexpectedReply);
    response = std::move(*parsed);
    return true;
  }

  void TakeCapabilities(std::string_view data) {
    capabilities_.clear();
    known_capabilities_ = true;
    if (const auto tokens = imap::Tokenize(data))
      for (const Token& t : *tokens)
        if (t.kind == Token::Kind::Atom) capabilities_.push_back(t.text);
  }

  void TakeCode(const Response& r) {
    constexpr std::string_view kCapability = "CAPABILITY ";
    if (r.code.size() > kCapability.size() && imap::EqualsNoCase(r.code.substr(0, kCapability.size()), kCapability))
      TakeCapabilities(std::string_view(r.code).substr(kCapability.size()));
  }

  bool Has(std::string_view capability) const {
    return std::any_of(capabilities_.begin(), capabilities_.end(),
                       [&](const std::string& c) { return imap::EqualsNoCase(c, capability); });
  }

  // Sends a command and reads up to its completion, whose name (OK, NO or BAD) ends up in done. The command
  // comes in pieces: every piece but the last ends with a literal the server must let through with "+"
  // first. Untagged responses go to on_untagged, which may end the check by returning false.
  bool Command(const std::vector<std::string>& pieces, std::string& done, const Untagged& on_untagged = {}) {
    const std::string tag = "A" + std::to_string(++tags_);
    if (!Send(tag + " " + pieces[0])) return false;
    std::size_t sent = 1;
    for (;;) {
      Response r;
      if (!Read(r)) return false;
      switch (r.kind) {
        case Response::Kind::Continuation:
          if (sent == pieces.size()) return Fail(results::kUnexpectedReply);
          if (!Send(pieces[sent++])) return false;
          break;
        case Response::Kind::Untagged:
          if (r.name == "CAPABILITY") TakeCapabilities(r.data);
          if (on_untagged && !on_untagged(r)) return false;
          break;
        case Response::Kind::Tagged:
          // A command cannot have succeeded before all of it was sent.
          if (r.tag != tag || (r.name != "OK" && r.name != "NO" && r.name != "BAD") ||
              (r.name == "OK" && sent < pieces.size()))
            return Fail(results::kUnexpectedReply);
          TakeCode(r);
          done = r.name;
          return true;
      }
    }
  }

  bool Greeting(bool& preauth) {
    Response r;
    if (!Read(r)) return false;
    if (r.kind != Response::Kind::Untagged) return Fail(results::kUnexpectedReply);
    // The server is there but will not take us now (too many connections, shutting down).
    if (r.name == "BYE") return Fail(results::kCannotConnect);
    if (r.name != "OK" && r.name != "PREAUTH") return Fail(results::kUnexpectedReply);
    preauth = r.name == "PREAUTH";
    TakeCode(r);
    return true;
  }

  bool Capabilities() {
    std::string done;
    if (!Command({"CAPABILITY\r\n"}, done)) return false;
    return (done == "OK" && known_capabilities_) || Fail(results::kUnexpectedReply);
  }

  bool StartTlsCommand() {
    if (!known_capabilities_ && !Capabilities()) return false;
    if (!Has("STARTTLS")) return Fail(results::kStlsRefused);
    std::string done;
    if (!Command({"STARTTLS\r\n"}, done)) return false;
    if (done != "OK") return Fail(results::kStlsRefused);
    reader_.DropBuffered();
    // What the server offered in plain text may have been forged on the way: ask again over TLS.
    capabilities_.clear();
    known_capabilities_ = false;
    return c_.StartTls(settings_.POPServer) && Capabilities();
  }

  // One LOGIN argument: quoted where it can be, else a literal. A literal the server must let through
  // closes the current piece.
  void AppendString(std::vector<std::string>& pieces, std::string_view s) {
    if (Quotable(s)) {
      pieces.back() += Quoted(s);
      return;
    }
    const bool plus = Has("LITERAL+") || (Has("LITERAL-") && s.size() <= kLiteralMinusMax);
    pieces.back() += "{" + std::to_string(s.size()) + (plus ? "+}\r\n" : "}\r\n");
    if (!plus) pieces.emplace_back();
    pieces.back() += s;
  }

  bool Login() {
    if (!known_capabilities_ && !Capabilities()) return false;
    std::vector<std::string> pieces;
    if (Has("AUTH=PLAIN")) {
      const std::string response =
          Base64Encode(std::string(1, '\0') + account_ + std::string(1, '\0') + password_);
      if (Has("SASL-IR"))
        pieces = {"AUTHENTICATE PLAIN " + response + "\r\n"};
      else
        pieces = {"AUTHENTICATE PLAIN\r\n", response + "\r\n"};
    } else if (Has("LOGINDISABLED")) {
      // Not the login-refusal text: the password was never tried, and telling the user it is wrong would
      // send them hunting for a typo. Such a server wants a secured connection first.
      return Fail(results::kUnexpectedReply);
    } else {
      pieces = {"LOGIN "};
      AppendString(pieces, account_);
      pieces.back() += " ";
      AppendString(pieces, password_);
      pieces.back() += "\r\n";
    }
    std::string done;
    if (!Command(pieces, done)) return false;
    if (done == "NO") return Fail(results::kLoginRefused);
    return done == "OK" || Fail(results::kUnexpectedReply);
  }

  // INBOX's STATUS items. Other items and the STATUS of other mailboxes are passed over.
  bool Status(std::uint32_t& validity, std::uint32_t& next, std::int32_t& unseen) {
    std::optional<std::uint32_t> v, n, u;
    const auto on_status = [&](const Response& r) {
      if (r.name != "STATUS") return true;
      const auto tokens = imap::Tokenize(r.data);
      if (!tokens) return Fail(results::kUnexpectedReply);
      const std::vector<Token>& t = *tokens;
      if (t.size() < 2 || t[0].kind == Token::Kind::Open || t[0].kind == Token::Kind::Close ||
          !imap::EqualsNoCase(t[0].text, "INBOX"))
        return true;
      if (t[1].kind != Token::Kind::Open) return Fail(results::kUnexpectedReply);
      for (std::size_t i = 2; i + 1 < t.size() && t[i].kind == Token::Kind::Atom; i += 2) {
        const std::optional<std::uint32_t> value =
            t[i + 1].kind == Token::Kind::Atom ? imap::ParseNumber(t[i + 1].text) : std::nullopt;
        if (imap::EqualsNoCase(t[i].text, "UIDVALIDITY")) v = value;
        else if (imap::EqualsNoCase(t[i].text, "UIDNEXT")) n = value;
        else if (imap::EqualsNoCase(t[i].text, "UNSEEN")) u = value;
      }
      return true;
    };
    std::string done;
    if (!Command({"STATUS INBOX (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)\r\n"}, done, on_status)) return false;
    // UIDVALIDITY and UIDNEXT are never 0; a 0 would read as "never checked" next time.
    if (done != "OK" || !v || !n || !u || *v == 0 || *n == 0 || *u > 0x7FFFFFFFu)
      return Fail(results::kUnexpectedReply);
    validity = *v;
    next = *n;
    unseen = static_cast<std::int32_t>(*u);
    return true;
  }

  // The unseen messages with a UID of at least from; the UIDs found are compared as well, since not every
  // server keeps to the range.
  bool UnseenSince(std::uint32_t from, NewUids& found) {
    // SEARCH works on the selected mailbox only. EXAMINE selects it read-only, so nothing is marked seen.
    std::string examined;
    if (!Command({"EXAMINE INBOX\r\n"}, examined)) return false;
    if (examined != "OK") return Fail(results::kUnexpectedReply);
    const std::string tag = "A" + std::to_string(tags_ + 1);  // the one Command gives the search
    const auto on_search = [&](const Response& r) {
      if (r.name != "SEARCH" && r.name != "ESEARCH") return true;
      const auto tokens = imap::Tokenize(r.data);
      if (!tokens) return Fail(results::kUnexpectedReply);
      const std::vector<Token>& t = *tokens;
      if (r.name == "SEARCH") {
        int depth = 0;  // numbers in lists are not UIDs (a MODSEQ, say)
        for (const Token& token : t) {
          if (token.kind == Token::Kind::Open) ++depth;
          else if (token.kind == Token::Kind::Close) --depth;
          else if (depth == 0 && token.kind == Token::Kind::Atom && imap::ParseNumber(token.text).value_or(0) >= from)
            found.Add(*imap::ParseNumber(token.text));
        }
        return true;
      }
      // ESEARCH: (TAG "A5") naming our search (another's answers are not ours), then UID and pairs such as
      // ALL 5,7:9 or MAX 9.
      if (t.size() < 4 || t[0].kind != Token::Kind::Open || !imap::EqualsNoCase(t[1].text, "TAG") ||
          t[2].text != tag || t[3].kind != Token::Kind::Close)
        return true;
      std::size_t i = 4;
      if (i < t.size() && t[i].kind == Token::Kind::Atom && imap::EqualsNoCase(t[i].text, "UID")) ++i;
      // ALL lists them; MAX alone names only the newest.
      NewUids all, max;
      while (i + 1 < t.size()) {
        const Token& name = t[i];
        const Token& value = t[i + 1];
        if (name.kind == Token::Kind::Atom && value.kind == Token::Kind::Atom) {
          if (imap::EqualsNoCase(name.text, "ALL")) all.AddSet(value.text, from);
          if (imap::EqualsNoCase(name.text, "MAX")) max.AddSet(value.text, from);
        }
        i = SkipItem(t, i + 1);
      }
      found = all.count ? all : max;
      return true;
    };
    found = NewUids{};
    std::string done;
    // Not "from:*": some servers answer that with nothing when there is mail, and a "*" matches the highest
    // UID even when it is lower than from.
    if (!Command({"UID SEARCH UNSEEN UID " + std::to_string(from) + ":4294967295\r\n"}, done, on_search))
      return false;
    return done == "OK" || Fail(results::kUnexpectedReply);
  }

  // The sender and subject of the newest new messages, from their headers; fetching with PEEK leaves them
  // unseen (and the mailbox is selected read-only besides). A header that does not come or does not parse
  // names its message as unknown.
  bool NameNewest(const NewUids& found, std::size_t new_count) {
    decision_.new_count = std::max(new_count, found.newest.size());
    if (found.newest.empty()) return true;
    std::string set;
    for (const std::uint32_t uid : found.newest) set += (set.empty() ? "" : ",") + std::to_string(uid);
    std::vector<std::pair<std::uint32_t, std::string>> headers;
    const auto on_fetch = [&](const Response& r) {
      std::uint32_t uid = 0;
      std::string header;
      if (r.name == "FETCH" && FetchedHeader(r.data, uid, header)) headers.emplace_back(uid, std::move(header));
      return true;
    };
    std::string done;
    if (!Command({"UID FETCH " + set + " (BODY.PEEK[HEADER.FIELDS (FROM SUBJECT)])\r\n"}, done, on_fetch))
      return false;
    for (const std::uint32_t uid : found.newest) {
      MessageNames names;
      for (const auto& [fetched, header] : headers)
        if (fetched == uid) names = NamesFromHeader(header, PlatformSjisEncoder());
      decision_.named.push_back(std::move(names));
    }
    return true;
  }

  // The server answers LOGOUT with BYE and then OK; one that closes right after its BYE has said goodbye too.
  bool Logout() {
    const std::string tag = "A" + std::to_string(++tags_);
    if (!Send(tag + " LOGOUT\r\n")) return false;
    bool bye = false;
    for (;;) {
      Response r;
      if (!Read(r, bye ? nullptr : results::kQuitReceiveFailed)) return !c_.Failed();
      if (r.kind == Response::Kind::Untagged) {
        bye = bye || r.name == "BYE";
      } else if (r.kind == Response::Kind::Continuation || r.tag != tag) {
        return Fail(results::kUnexpectedReply);
      } else {
        return r.name == "OK" || Fail(results::kUnexpectedReply);
      }
    }
  }

  bool Converse() {
    if (!c_.Connect(settings_.POPServer, ResolveImapPort(settings_))) return false;
    if (settings_.POPSecurity == kSecuritySslTls && !c_.StartTls(settings_.POPServer)) return false;
    bool preauth = false;
    if (!Greeting(preauth)) return false;
    if (settings_.POPSecurity == kSecurityStartTls) {
      // STARTTLS belongs to the state before login. A server that logs us in at once cannot offer it, and
      // that greeting is what someone in the middle would send to keep the connection in plain text.
      if (preauth) return Fail(results::kStlsRefused);
      if (!StartTlsCommand()) return false;
    }
    if (!preauth && !Login()) return false;

    std::uint32_t validity = 0, next = 0;
    std::int32_t unseen = 0;
    if (!Status(validity, next, unseen)) return false;
    bool arrived = false;
    NewUids found;
    // How many are new where no search tells: all unseen at a first check, the growth after a renumbering.
    std::size_t new_count = 0;
    if (unseen == 0) {
      arrived = false;
    } else if (last_.UidValidity == 0) {  // the first check
      arrived = true;
      new_count = static_cast<std::size_t>(unseen);
    } else if (last_.UidValidity != validity) {
      // The UIDs were renumbered, or the server gives a new UIDVALIDITY at every STATUS (a mailbox nobody
      // has opened yet, a spool a delivery agent appended to): only more unseen mail than last time is news.
      arrived = unseen > last_.Unseen;
      new_count = static_cast<std::size_t>(unseen - last_.Unseen);
    } else if (next > last_.UidNext) {  // messages were added since
      if (!UnseenSince(std::max<std::uint32_t>(last_.UidNext, 1), found)) return false;
      arrived = found.count > 0;
      new_count = found.count;
    }
    decision_.new_mail = arrived;
    decision_.count = std::to_string(unseen);
    if (arrived && settings_.AnnounceSender) {
      // Without a search of its own the check knows no UIDs: naming needs the newest unseen ones.
      if (found.count == 0 && !UnseenSince(1, found)) return false;
      if (!NameNewest(found, new_count)) return false;
    }
    if (arrived) c_.OffTheClock([this] { PlayNewMailSound(settings_.isPlay, player_); });
    if (!Logout()) return false;
    change_ = ImapState{validity, next, unseen};
    return true;
  }

  MailConnection& c_;
  const EpopSettings& settings_;
  std::string account_, password_;  // as the server gets them
  const ImapState& last_;
  SoundPlayer* player_;
  MailDecision decision_;
  std::optional<ImapState> change_;
  imap::ReplyReader reader_;
  std::string raw_;  // the response last read
  std::vector<std::string> capabilities_;
  bool known_capabilities_ = false;
  int tags_ = 0;
};

}  // namespace

std::optional<int> ResolveImapPort(const EpopSettings& settings) {
  if (!IsKnownSecurity(settings.POPSecurity)) return std::nullopt;
  if (settings.POPPort.empty()) return settings.POPSecurity == kSecuritySslTls ? kImapsPort : kImapPort;
  return ParsePort(settings.POPPort);
}

ConversationOutcome RunImapConversation(const EpopSettings& settings, ModuleState& state,
                                        MailTransport& transport, SoundPlayer* player, const MailWaits& waits,
                                        const mokuna::Clock* clock, const TextToUtf8& to_utf8) {
  MailConnection connection(transport, waits, clock ? *clock : mokuna::CurrentClock());
  ImapConversation imap(connection, settings, state.imap, player, to_utf8);
  const bool success = imap.Run();
  if (const auto& change = imap.Change()) state.imap = *change;
  return connection.Finish(success, imap.Decision());
}

}  // namespace fennick
