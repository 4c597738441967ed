#include "pop3_check.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "Md5unit.h"
#include "clock.h"
#include "config_file.h"
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
    // No greeting follows STLS: APOP digests the timestamp of the one read in plain text.
    if (settings_.POPSecurity == kSecurityStartTls && !Stls()) return false;

    if (settings_.UsesApop()) {
      const std::vector<std::string> tokens = SplitCommaText(greeting);
      // Without a proper timestamp the digest would be of something the server never sent.
      if (tokens.empty() || !WellFormedTimestamp(tokens.back())) return c_.Fail(results::kUnexpectedReply);
      const std::string digest = Md5Hex(tokens.back() + settings_.Password);
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

    std::string count_token;
    std::optional<int> count;
    if (tokens.size() > 3) {
      count_token = tokens[3];
      count = config::ParseInt(count_token);
    }
    // Most servers say only "+OK Logged in." now: ask for the count.
    if (!count && !Stat(count_token, count)) return false;
    const int n = *count;

    Pop3Change change;
    change.mail_num = n;
    if (n != 0) {
      if (!c_.Send("RETR " + count_token + "\r\n") || !c_.Wait()) return false;
      std::string id;
      if (!RetrieveIdentifier(id)) return false;
      decision_.new_mail = n > last_.LastMailNum || id != last_.LastMessageID;
      decision_.count = count_token;
      if (decision_.new_mail) PlayNewMailSound(settings_.isPlay, player_);
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

  bool Stat(std::string& count_token, std::optional<int>& count) {
    std::string reply;
    if (!c_.Send("STAT\r\n") || !WaitAndRead(results::kReceiveFailed, reply)) return false;
    const std::vector<std::string> tokens = SplitCommaText(reply);
    if (tokens.size() < 2 || tokens[0] != "+OK") return c_.Fail(results::kUnexpectedReply);
    count_token = tokens[1];
    count = config::ParseInt(count_token);
    return count || c_.Fail(results::kUnexpectedReply);
  }

  // Reads the retrieved message until the reader has its identifier. Reaching the size or time bound first
  // is a failed retrieval, not a message without an identifier: the newest message was never seen whole,
  // so nothing may be decided or remembered from it.
  bool RetrieveIdentifier(std::string& id) {
    MessageIdReader reader;
    c_.StartReplies();
    std::size_t total = 0;
    for (;;) {
      if (total >= kRetrieveLimit || c_.RepliesOverdue()) return c_.Fail(results::kSendingFailure);
      const std::ptrdiff_t got = Read(kReadMax);
      if (got < 0) return c_.Fail(results::kCannotConnect);
      if (got == 0) return c_.Fail(results::kSendingFailure);
      total += static_cast<std::size_t>(got);
      switch (reader.Take(std::string_view(buffer_.data(), static_cast<std::size_t>(got)))) {
        case MessageIdReader::Step::More: continue;
        case MessageIdReader::Step::Refused: return c_.Fail(results::kSendingFailure);
        case MessageIdReader::Step::Found:
        case MessageIdReader::Step::NoIdentifier: id = reader.Identifier(); return true;
      }
    }
  }

  MailConnection& c_;
  const EpopSettings& settings_;
  const ModuleState& last_;
  SoundPlayer* player_;
  MailDecision decision_;
  std::optional<Pop3Change> change_;
  std::array<char, kBufferSize> buffer_{};
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
