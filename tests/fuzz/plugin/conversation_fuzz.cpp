// Arbitrary server behaviour against the mail check: whatever the server sends, the check ends with one of
// its result strings, sends only well-formed commands, closes the connection once and reads a bounded
// amount.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "../../native/plugin/fakes.h"
#include "clock.h"
#include "known_results.h"
#include "mail_check.h"

using fennick::testing::RecordingPlayer;
using fennick::testing::ScriptedTransport;

namespace {

bool IsCommand(const std::string& c) {
  if (c.size() < 2 || c.compare(c.size() - 2, 2, "\r\n") != 0) return false;
  for (const char* verb : {"USER ", "PASS ", "APOP ", "RETR ", "TOP ", "STAT\r\n", "QUIT\r\n", "STLS\r\n"})
    if (c.compare(0, std::strlen(verb), verb) == 0) return true;
  return false;
}

}  // namespace

// Input: one byte of flags; when its top bit is set, a byte choosing the connection's security, the
// handshake's verdict and the sender box; then the server's events separated by "|#|", each event's first
// byte picking its kind.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::uint8_t tls = 0;
  if ((flags & 0x80) && !rest.empty()) {
    tls = static_cast<std::uint8_t>(rest[0]);
    rest.remove_prefix(1);
  }

  fennick::EpopSettings settings;
  settings.Account = "bob";
  settings.Password = "secret";
  settings.isUseAPOP = (flags & 1) ? 1 : 0;
  settings.isPlay = (flags & 2) != 0;
  settings.POPSecurity = tls % 3;
  settings.AnnounceSender = (tls / 12) % 2 == 1;
  fennick::ModuleState state{(flags & 4) ? "<a@b>" : "", (flags >> 3) & 7};

  ScriptedTransport server;
  server.connect_ok_ = (flags & 0x40) == 0;
  server.tls_result_ = static_cast<fennick::MailTransport::TlsResult>((tls / 3) % 4);
  std::size_t supplied = 0;
  while (!rest.empty()) {
    const std::size_t cut = rest.find("|#|");
    std::string_view event = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 3);
    if (event.empty()) continue;
    switch (static_cast<unsigned char>(event[0]) % 8) {
      case 5: server.Closed(); break;
      case 6: server.Silence(); break;
      case 7: server.ReadError(); break;
      default:
        supplied += event.size() - 1;
        if (event.size() > 1) server.Reply(std::string(event.substr(1)));
    }
  }

  RecordingPlayer player;
  player.open_ = true;
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  server.on_read_ = [&clock] { clock.AdvanceMs(1000); };
  fennick::MailWaits timeouts;
  const fennick::ConversationOutcome out =
      fennick::RunPop3Conversation(settings, state, server, &player, timeouts, &clock);

  if (!fuzzing::IsKnownCheckResult(out.result, false, settings.AnnounceSender)) __builtin_trap();
  if (server.closes_ != 1) __builtin_trap();
  for (const std::string& c : server.sent_)
    if (!IsCommand(c)) __builtin_trap();
  if (out.success && (server.sent_.empty() || server.sent_.back() != "QUIT\r\n")) __builtin_trap();
  for (char c : state.LastMessageID)
    if (static_cast<unsigned char>(c) < 32) __builtin_trap();
  if (server.bytes_read_ > supplied) __builtin_trap();
  if (player.plays_ > 1) __builtin_trap();
  // A secured check sends nothing but STLS before its one handshake, and nothing at all after a refused one.
  if (settings.POPSecurity != fennick::kSecurityNone) {
    if (server.tls_.size() > 1) __builtin_trap();
    const std::size_t before = server.tls_.empty() ? server.sent_.size() : server.tls_[0].sent_before;
    for (std::size_t i = 0; i < before; ++i)
      if (server.sent_[i] != "STLS\r\n") __builtin_trap();
    if (server.tls_result_ != fennick::MailTransport::TlsResult::Ok && server.sent_.size() != before) __builtin_trap();
  } else if (!server.tls_.empty()) {
    __builtin_trap();
  }
  return 0;
}
