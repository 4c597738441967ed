#include "pop3_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "Md5unit.h"
#include "clock.h"
#include "mail_header.h"
#include "mail_results.h"
#include "message_id_reader.h"
#include "sound_player.h"
#include "tokenizer.h"

namespace fennick {
namespace {

constexpr std::size_t kBufferSize = 4096;
constexpr std::size_t kReadMax = kBufferSize - 1;  // the buffer always keeps a zero byte after the text
constexpr std::size_t kQuitReadMax = 255;
// Reading the retrieved message stops here when no identifier has turned up: the header sits at the top of
// a message, and a server must not make us read without end.
constexpr std::size_t kRetrieveLimit = 1 << 20;
// The most of a message's top kept to name its sender and subject: far more than any real header.
constexpr std::size_t kHeaderLimit = 64 * 1024;

// Where the header read so far ends (its empty line, or the end of a message that has no body); npos while
// it goes on.
std::size_t HeaderEnd(std::string_view top) {
  const std::size_t status = top.find('\n');  // the reply's status line comes first
  if (status == std::string_view::npos) return status;
  const std::string_view rest = top.substr(status + 1);
  const std::size_t end = std::min({rest.find("\r\n\r\n"), rest.find("\n\n"), rest.find("\n.\r\n"),
                                    rest.rfind(".\r\n", 0), rest.rfind("\r\n", 0)});
  return end == std::string_view::npos ? end : status + 1 + end;
}

// A message count: 1 to 10 decimal digits and no more than a signed 32-bit number holds. Anything else (a
// sign, thousands of leading zeros) is no count.
std::optional<int> ParseCount(std::string_view token) {
  if (token.empty() || token.size() > 10) return std::nullopt;
  std::int64_t n = 0;
  for (const char c : token) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > INT32_MAX) return std::nullopt;
  return static_cast<int>(n);
}

bool WellFormedTimestamp(std::string_view t) {
  if (t.size() < 3 || t.front() != '<' || t.back() != '>') return false;
  int at_signs = 0;
  for (std::size_t i = 1; i + 1 < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (c <= 32 || c >= 127) return false;
    if (c == '@') ++at_signs;
  }
  return at_signs == 1;
}

// What the conversation changes in the module state once it has decided.
struct Pop3Change {
  std::int32_t mail_num = 0;
  std::optional<std::string> message_id;  // none when the mailbox was empty: the old one stays
};

class Pop3Conversation {
 public:
  Pop3Conversation(MailConnection& connection, const EpopSettings& settings, const ModuleState& last,
                   SoundPlayer* player)
      : c_(connection), settings_(settings), last_(last), player_(player) {}

  bool Run() { return Converse(); }
  const MailDecision& Decision() const { return decision_; }
  const std::optional<Pop3Change>& Change() const { return change_; }

 private:
  // Waits for a reply and reads it; its text ends at the first zero byte.
  bool WaitAndRead(const char* read_failure, std::string& text) {
    if (!c_.Wait()) return false;
    const std::ptrdiff_t got = Read(kReadMax);
    if (got < 0) return c_.Fail(results::kCannotConnect);
    if (got == 0) return c_.Fail(read_failure);
    text.assign(buffer_.data(), std::find(buffer_.data(), buffer_.data() + got, '\0'));
    return true;
  }

  // One read into the zeroed buffer.
  std::ptrdiff_t Read(std::size_t max) {
    buffer_.fill(0);
    return c_.Read(buffer_.data(), max);
  }

  // STLS on the plain connection after the greeting; only "+OK" lets the handshake begin.
  bool Stls() {
    std::string reply;
    if (!c_.Send("STLS\r\n") || !WaitAndRead(results::kReceiveFailed, reply)) return false;
    const std::vector<std::string> tokens = SplitCommaText(reply);
    if (tokens.empty() || tokens[0] != "+OK") return c_.Fail(results::kStlsRefused);
    return c_.StartTls(settings_.POPServer);
  }

  bool Converse() {
    if (!c_.Connect(settings_.POPServer, ResolvePort(settings_))) return false;
    if (settings_.POPSecurity == kSecuritySslTls && !c_.StartTls(settings_.POPServer)) return false;
    std::string greeting, login;
    if (!WaitAndRead(results::kReceiveFailed, greeting)) return false;
    // Nothing of the account goes to a server that has not said it is ready; one that says -ERR is there
    // but will not take us now.
    const std::vector<std::string> greeted = SplitCommaText(greeting);
    if (greeted.empty() || greeted[0] != "+OK")
      return c_.Fail(!greeted.empty() && greeted[0] == "-ERR" ? results::kCannotConnect : results::kUnexpectedReply);
    // No greeting follows STLS: APOP digests the timestamp of the one read in plain text.
    if (settings_.POPSecurity == kSecurityStartTls && !Stls()) return false;

    if (settings_.UsesApop()) {
      // Without a proper timestamp the digest would be of something the server never sent.
      if (!WellFormedTimestamp(greeted.back())) return c_.Fail(results::kUnexpectedReply);
      const std::string digest = Md5Hex(greeted.back() + settings_.Password);
      if (!c_.Send("APOP " + settings_.Account + " " + digest + "\r\n")) return false;
      if (!WaitAndRead(results::kReceiveFailed, login)) return false;
    } else {
      if (!c_.Send("USER " + settings_.Account + "\r\n")) return false;
      std::string reply;
      if (!WaitAndRead(results::kReceiveFailed, reply)) return false;
      const std::vector<std::string> tokens = SplitCommaText(reply);
      if (tokens.empty()) return c_.Fail(results::kUnexpectedReply);
      if (tokens[0] != "+OK") return c_.Fail(results::kBadUser);
      if (!c_.Send("PASS " + settings_.Password + "\r\n")) return false;
      if (!WaitAndRead(results::kReceiveFailed, login)) return false;
    }

    const std::vector<std::string> tokens = SplitCommaText(login);
    if (tokens.empty()) return c_.Fail(results::kUnexpectedReply);
    if (tokens[0] != "+OK") return c_.Fail(results::kBadPassword);

    std::optional<int> count;
    if (tokens.size() > 3) count = ParseCount(tokens[3]);
    // Most servers say only "+OK Logged in." now: ask for the count.
    if (!count && !Stat(count)) return false;
    const int n = *count;
    // What is sent and said is the number written plainly, whatever zeros the server put before it.
    const std::string number = std::to_string(n);

    Pop3Change change;
    change.mail_num = n;
    if (n != 0) {
      std::string id;
      if (!RetrieveNewest(number, id)) return false;
      decision_.new_mail = n > last_.LastMailNum || id != last_.LastMessageID;
      decision_.count = number;
      if (decision_.new_mail && settings_.AnnounceSender) NameNewest(n);
      if (decision_.new_mail) c_.OffTheClock([this] { PlayNewMailSound(settings_.isPlay, player_); });
      change.message_id = id;
    }
    change_ = change;

    if (!c_.Send("QUIT\r\n") || !c_.Wait()) return false;
    // What follows is usually the rest of the retrieved message, not the reply to QUIT: not examined.
    const std::ptrdiff_t got = Read(kQuitReadMax);
    if (got < 0) return c_.Fail(results::kCannotConnect);
    if (got == 0) return c_.Fail(results::kQuitReceiveFailed);
    return true;
  }

  bool Stat(std::optional<int>& count) {
    std::string reply;
    if (!c_.Send("STAT\r\n") || !WaitAndRead(results::kReceiveFailed, reply)) return false;
    const std::vector<std::string> tokens = SplitCommaText(reply);
    if (tokens.size() < 2 || tokens[0] != "+OK") return c_.Fail(results::kUnexpectedReply);
    count = ParseCount(tokens[1]);
    return count || c_.Fail(results::kUnexpectedReply);
  }

  // The newest message's identifier. With the sender box on, TOP brings its header alone and leaves it
  // unread on servers that keep track; a server without TOP gets the RETR of old.
  bool RetrieveNewest(const std::string& number, std::string& id) {
    if (settings_.AnnounceSender) {
      bool refused = false;
      if (!c_.Send("TOP " + number + " 0\r\n") || !c_.Wait() || !RetrieveIdentifier(id, &refused)) return false;
      if (!refused) return true;
      top_.clear();
    }
    return c_.Send("RETR " + number + "\r\n") && c_.Wait() && RetrieveIdentifier(id);
  }

  // Reads the retrieved message until the reader has its identifier. A refusal fails the check, or with
  // refused given is told there. Reaching the size bound or the deadline first
  // is a failed retrieval, not a message without an identifier: the newest message was never seen whole,
  // so nothing may be decided or remembered from it.
  bool RetrieveIdentifier(std::string& id, bool* refused = nullptr) {
    MessageIdReader reader;
    std::size_t total = 0;
    for (;;) {
      if (total >= kRetrieveLimit || c_.Overdue()) return c_.Fail(results::kSendingFailure);
      const std::ptrdiff_t got = Read(kReadMax);
      if (got < 0) return c_.Fail(results::kCannotConnect);
      if (got == 0) return c_.Fail(results::kSendingFailure);
      total += static_cast<std::size_t>(got);
      const std::string_view chunk(buffer_.data(), static_cast<std::size_t>(got));
      if (settings_.AnnounceSender) top_.append(chunk.substr(0, kHeaderLimit - std::min(kHeaderLimit, top_.size())));
      switch (reader.Take(chunk)) {
        case MessageIdReader::Step::More: continue;
        case MessageIdReader::Step::Refused:
          if (refused) return *refused = true;
          return c_.Fail(results::kSendingFailure);
        case MessageIdReader::Step::Found:
        case MessageIdReader::Step::NoIdentifier: id = reader.Identifier(); return true;
      }
    }
  }

  // Names the newest message (of n) from its header: what the identifier's reads brought, and the rest of it
  // when the identifier came first, read on within the retrieval's bounds. The reads after it would be
  // taken by QUIT's all the same. A header cut short names what it holds.
  void NameNewest(int n) {
    std::size_t total = top_.size();
    while (HeaderEnd(top_) == std::string::npos && top_.size() < kHeaderLimit && total < kRetrieveLimit &&
           !c_.Overdue()) {
      const std::ptrdiff_t got = Read(kReadMax);
      if (got <= 0) break;
      total += static_cast<std::size_t>(got);
      top_.append(buffer_.data(), std::min(static_cast<std::size_t>(got), kHeaderLimit - top_.size()));
    }
    const std::size_t end = HeaderEnd(top_);
    decision_.named = {NamesFromHeader(std::string_view(top_).substr(0, end), PlatformSjisEncoder())};
    // Only a grown mailbox tells how many are new.
    decision_.new_count = n > last_.LastMailNum ? static_cast<std::size_t>(n - last_.LastMailNum) : 1;
  }

  MailConnection& c_;
  const EpopSettings& settings_;
  const ModuleState& last_;
  SoundPlayer* player_;
  MailDecision decision_;
  std::optional<Pop3Change> change_;
  std::array<char, kBufferSize> buffer_{};
  std::string top_;  // the retrieved message's first bytes, while its names may be wanted
};

}  // namespace

ConversationOutcome RunPop3Conversation(const EpopSettings& settings, ModuleState& state, MailTransport& transport,
                                        SoundPlayer* player, const MailWaits& waits, const mokuna::Clock* clock) {
  MailConnection connection(transport, waits, clock ? *clock : mokuna::CurrentClock());
  Pop3Conversation pop3(connection, settings, state, player);
  const bool success = pop3.Run();
  // The count and identifier are remembered once decided, even when QUIT then fails.
  if (const auto& change = pop3.Change()) {
    if (change->message_id) state.LastMessageID = *change->message_id;
    state.LastMailNum = change->mail_num;
  }
  return connection.Finish(success, pop3.Decision());
}

}  // namespace fennick
