#include "mail_check.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "Md5unit.h"
#include "clock.h"
#include "config_file.h"
#include "imap_check.h"
#include "pop_transport.h"
#include "secret_protector.h"
#include "session_base.h"
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
// An identifier whose ">" is further than one read's worth from its header is not one.
constexpr std::size_t kIdentifierLimit = kReadMax;
constexpr std::string_view kIdHeader = "message-id:";

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

void LowerAscii(std::string& s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

// The end of the message: the line holding only ".", after the line break that ends the one before it.
std::size_t FindTerminator(std::string_view s) {
  return std::min(s.find("\n.\r\n"), s.find("\n.\n"));
}

// Blanks and line breaks around the identifier go (a folded header puts them there); control bytes inside
// it go too, since the identifier is stored as one line of epop.ini.
std::string CleanIdentifier(std::string_view raw) {
  std::size_t begin = 0, end = raw.size();
  while (begin < end && static_cast<unsigned char>(raw[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(raw[end - 1]) <= 32) --end;
  std::string id;
  for (std::size_t i = begin; i < end; ++i)
    if (static_cast<unsigned char>(raw[i]) >= 32) id += raw[i];
  return id;
}

class Session : SessionBase {
 public:
  Session(const EpopSettings& settings, ModuleState& state, PopTransport& transport, SoundPlayer* player,
          const PopTimeouts& timeouts, const mokuna::Clock& clock)
      : SessionBase(settings, state, transport, player, timeouts), clock_(clock) {}

  ConversationOutcome Run() { return Conclude([this] { return Converse(); }); }

 private:
  bool Send(const std::string& command) { return transport_.Send(command) || Fail(results::kCannotConnect); }

  bool Wait() {
    return transport_.WaitReadable(timeouts_.wait_ms) == PopTransport::WaitResult::Readable ||
           Fail(results::kCannotConnect);
  }

  // One read into the zeroed buffer: the byte count, 0 for nothing, -1 after a socket error.
  std::ptrdiff_t Read(std::size_t max) {
    buffer_.fill(0);
    const std::ptrdiff_t got = transport_.Read(buffer_.data(), max, timeouts_.read_ms);
    return std::min<std::ptrdiff_t>(got, static_cast<std::ptrdiff_t>(max));
  }

  // Waits for a reply and reads it; its text ends at the first zero byte.
  bool WaitAndRead(const char* read_failure, std::string& text) {
    if (!Wait()) return false;
    const std::ptrdiff_t got = Read(kReadMax);
    if (got < 0) return Fail(results::kCannotConnect);
    if (got == 0) return Fail(read_failure);
    text.assign(buffer_.data(), std::find(buffer_.data(), buffer_.data() + got, '\0'));
    return true;
  }

  // STLS on the plain connection after the greeting; only "+OK" lets the handshake begin.
  bool Stls() {
    std::string reply;
    if (!Send("STLS\r\n") || !WaitAndRead(results::kReceiveFailed, reply)) return false;
    const std::vector<std::string> tokens = SplitCommaText(reply);
    if (tokens.empty() || tokens[0] != "+OK") return Fail(results::kStlsRefused);
    return StartTls();
  }

  bool Converse() {
    const std::optional<int> port = ResolvePort(settings_);
    if (!port) return Fail(results::kCannotConnect);
    if (!transport_.Connect(settings_.POPServer, *port)) return Fail(results::kCannotConnect);
    if (settings_.POPSecurity == kSecuritySslTls && !StartTls()) return false;
    std::string greeting, login;
    if (!WaitAndRead(results::kReceiveFailed, greeting)) return false;
    // No greeting follows STLS: APOP digests the timestamp of the one read in plain text.
    if (settings_.POPSecurity == kSecurityStartTls && !Stls()) return false;

    if (settings_.UsesApop()) {
      const std::vector<std::string> tokens = SplitCommaText(greeting);
      // Without a proper timestamp the digest would be of something the server never sent.
      if (tokens.empty() || !WellFormedTimestamp(tokens.back())) return Fail(results::kUnexpectedReply);
      const std::string digest = Md5Hex(tokens.back() + settings_.Password);
      if (!Send("APOP " + settings_.Account + " " + digest + "\r\n")) return false;
      if (!WaitAndRead(results::kReceiveFailed, login)) return false;
    } else {
      if (!Send("USER " + settings_.Account + "\r\n")) return false;
      std::string reply;
      if (!WaitAndRead(results::kReceiveFailed, reply)) return false;
      const std::vector<std::string> tokens = SplitCommaText(reply);
      if (tokens.empty()) return Fail(results::kUnexpectedReply);
      if (tokens[0] != "+OK") return Fail(results::kBadUser);
      if (!Send("PASS " + settings_.Password + "\r\n")) return false;
      if (!WaitAndRead(results::kReceiveFailed, login)) return false;
    }

    const std::vector<std::string> tokens = SplitCommaText(login);
    if (tokens.empty()) return Fail(results::kUnexpectedReply);
    if (tokens[0] != "+OK") return Fail(results::kBadPassword);

    std::string count_token;
    std::optional<int> count;
    if (tokens.size() > 3) {
      count_token = tokens[3];
      count = config::ParseInt(count_token);
    }
    // Most servers say only "+OK Logged in." now: ask for the count.
    if (!count && !Stat(count_token, count)) return false;
    const int n = *count;

    if (n == 0) {
      result_ = results::kNoNewMail;
    } else {
      if (!Send("RETR " + count_token + "\r\n") || !Wait()) return false;
      std::string id;
      if (!RetrieveIdentifier(id)) return false;
      if (n > state_.LastMailNum || id != state_.LastMessageID) {
        AnnounceNewMail(count_token);
      } else {
        result_ = results::kNoNewMail;
      }
      state_.LastMessageID = id;
    }
    state_.LastMailNum = n;

    if (!Send("QUIT\r\n") || !Wait()) return false;
    // What follows is usually the rest of the retrieved message, not the reply to QUIT: not examined.
    const std::ptrdiff_t got = Read(kQuitReadMax);
    if (got < 0) return Fail(results::kCannotConnect);
    if (got == 0) return Fail(results::kQuitReceiveFailed);
    return true;
  }

  bool Stat(std::string& count_token, std::optional<int>& count) {
    std::string reply;
    if (!Send("STAT\r\n") || !WaitAndRead(results::kReceiveFailed, reply)) return false;
    const std::vector<std::string> tokens = SplitCommaText(reply);
    if (tokens.size() < 2 || tokens[0] != "+OK") return Fail(results::kUnexpectedReply);
    count_token = tokens[1];
    count = config::ParseInt(count_token);
    return count || Fail(results::kUnexpectedReply);
  }

  // Reads the retrieved message until its identifier: the text after the first "message-id:" (any case)
  // up to and including the next ">", lower-cased. Header and identifier may each straddle two reads. A
  // message that ends without one, or whose identifier runs on far past where its ">" could be, gives an
  // empty identifier. Reaching the size or time bound first is a failed retrieval, not a message without
  // an identifier: the newest message was never seen whole, so nothing may be decided or remembered from it.
  bool RetrieveIdentifier(std::string& id) {
    id.clear();
    const std::int64_t start = clock_.TickMs();
    std::string status;   // the first bytes, to tell an error reply
    std::string carry;    // the last bytes read so far, lower-cased, for matches across two reads
    std::string pending;  // the identifier so far, once its header was found
    bool in_identifier = false;
    std::size_t total = 0;
    for (;;) {
      if (total >= kRetrieveLimit || clock_.TickMs() - start >= timeouts_.retrieve_total_ms)
        return Fail(results::kSendingFailure);
      const std::ptrdiff_t got = Read(kReadMax);
      if (got < 0) return Fail(results::kCannotConnect);
      if (got == 0) return Fail(results::kSendingFailure);
      total += static_cast<std::size_t>(got);
      std::string chunk(buffer_.data(), static_cast<std::size_t>(got));  // zero bytes included

      if (status.size() < 4) {
        status.append(chunk, 0, 4 - status.size());
        if (status == "-ERR") return Fail(results::kSendingFailure);
      }

      LowerAscii(chunk);
      const std::size_t base = carry.size();
      const std::string text = carry + chunk;
      const std::size_t end = FindTerminator(text);

      if (!in_identifier) {
        const std::size_t header = text.find(kIdHeader);
        if (header == std::string::npos || end < header) {
          if (end != std::string::npos) return true;
        } else {
          const std::size_t value = header + kIdHeader.size();
          const std::size_t close = text.find('>', value);
          if (close != std::string::npos && close < end) {
            id = CleanIdentifier(std::string_view(text).substr(value, close + 1 - value));
            return true;
          }
          if (end != std::string::npos) return true;
          in_identifier = true;
          pending = text.substr(value);
        }
      } else {
        const std::size_t close = chunk.find('>');
        if (close != std::string::npos && base + close < end) {
          pending.append(chunk, 0, close + 1);
          id = CleanIdentifier(pending);
          return true;
        }
        if (end != std::string::npos) return true;
        pending += chunk;
        if (pending.size() > kIdentifierLimit) return true;
      }
      carry = text.substr(text.size() - std::min<std::size_t>(text.size(), kIdHeader.size() - 1));
    }
  }

  const mokuna::Clock& clock_;
  std::array<char, kBufferSize> buffer_{};
};

// Without a protector nothing protected opens and nothing is protected: the password is then not kept.
class NoProtector : public SecretProtector {
 public:
  std::optional<std::string> Protect(std::string_view) const override { return std::nullopt; }
  std::optional<std::string> Unprotect(std::string_view) const override { return std::nullopt; }
};

}  // namespace

const char* TlsRefusal(PopTransport::TlsResult result) {
  switch (result) {
    case PopTransport::TlsResult::Ok: return nullptr;
    case PopTransport::TlsResult::NameMismatch: return results::kTlsNameMismatch;
    case PopTransport::TlsResult::Untrusted: return results::kTlsUntrusted;
    case PopTransport::TlsResult::HandshakeFailed: break;
  }
  return results::kSecureConnectionFailed;
}

ConversationOutcome RunConversation(const EpopSettings& settings, ModuleState& state, PopTransport& transport,
                                    SoundPlayer* player, const PopTimeouts& timeouts,
                                    const mokuna::Clock* clock) {
  return Session(settings, state, transport, player, timeouts, clock ? *clock : mokuna::CurrentClock()).Run();
}

std::string CheckMail(ModuleState& state, const CheckMailEnv& env) {
  EpopSettings settings;
  const EpopLoadResult load = LoadEpopFile(env.ini_path, settings, state, env.player);
  if (load.error == EpopLoadResult::Error::Unreadable) return results::kCannotReadSettings;
  if (!load.ok() && env.on_load_error) env.on_load_error(load);
  static const NoProtector no_protector;
  const SecretProtector& protector = env.protector ? *env.protector : no_protector;
  if (load.MayConnect() && !OpenPassword(settings, protector)) {
    if (env.player) env.player->Close();
    return results::kPasswordUnreadable;
  }
  ConversationOutcome outcome;
  if (!load.MayConnect()) {
    outcome.result = results::kCannotReadSettings;
  } else if (env.transport && settings.MailProtocol == kProtocolImap) {
    outcome = RunImapConversation(settings, state, *env.transport, env.player, env.timeouts, env.clock);
  } else if (env.transport) {
    outcome = RunConversation(settings, state, *env.transport, env.player, env.timeouts, env.clock);
  } else {
    outcome.result = results::kCannotConnect;
  }
  if (env.player) env.player->Close();
  if (outcome.success && load.SettingsComplete()) {
    std::string error;
    const bool kept = ProtectPassword(settings, protector);
    if (!WriteEpopFile(env.ini_path, settings, state, &error) && env.on_save_error) env.on_save_error(error);
    if (!kept && env.on_save_error) env.on_save_error("パスワードを暗号化できなかったため，保存しませんでした．");
  }
  return outcome.result;
}

std::string PropertyPageResult(int modal_result, const EpopSettings& settings, const ModuleState& state) {
  std::string result = results::kPropertyPageHead;
  if (modal_result == mrOk) {
    if (settings.isCheckMail)
      result += "900 * * * * /" + settings.CheckInterval + " Fennick 0 CheckMail";
    else
      result += "900 * * * * /0 Fennick 0 CheckMail";
    return result;
  }
  result += "000 ";
  if (modal_result == mrRecheck) {
    // IMAP remembers the unseen count of the last check, POP3 the count of messages.
    const std::int32_t count = settings.MailProtocol == kProtocolImap ? state.imap.Unseen : state.LastMailNum;
    if (count != 0)
      result += std::to_string(count) + "通のメールがきています． はやく受信しましょう．";
    else
      result += "メールは届いていません．";
  }
  return result;
}

std::string FinishPropertyPage(int modal_result, const EpopSettings& settings, const ModuleState& state,
                               const std::string& ini_path, std::string* save_error) {
  if (modal_result == mrOk) WriteEpopFile(ini_path, settings, state, save_error);
  return PropertyPageResult(modal_result, settings, state);
}

}  // namespace fennick
